#include "items/qwgraphicsview.h"

#include <QGraphicsItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace {

constexpr float ZOOM_IN = 1.1f;
constexpr float ZOOM_OUT = 0.9f;
const QColor GUIDE_COLOR(0, 251, 255);
constexpr int GUIDE_WIDTH = 2;

} // namespace

QWGraphicsView::QWGraphicsView(QWidget *parent)
    : QGraphicsView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    setRenderHint(QPainter::SmoothPixmapTransform);
    setStyleSheet(QStringLiteral("padding:0px;border:0px"));
}

void QWGraphicsView::mousePressEvent(QMouseEvent *event)
{
    QGraphicsView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        leftPressed = true;
        emit mouseClicked(event->pos());
    }
}

void QWGraphicsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (leftPressed) {
        leftPressed = false;
        emit mouseReleasePoint(event->pos());
    }
    if (event->button() == Qt::RightButton)
        emit mouseRightClicked(event->pos());
    QGraphicsView::mouseReleaseEvent(event);
}

void QWGraphicsView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QGraphicsView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit mouseDoubleClick(event->pos());
}

void QWGraphicsView::mouseMoveEvent(QMouseEvent *event)
{
    QGraphicsView::mouseMoveEvent(event);
    emit mouseMovePoint(event->pos());
}

void QWGraphicsView::wheelEvent(QWheelEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    // The wheel's delta along its dominant axis: some platforms turn Alt and
    // the wheel into horizontal turns.
    const QPoint angle = event->angleDelta();
    const int delta = qAbs(angle.x()) > qAbs(angle.y()) ? angle.x() : angle.y();
    if (mods == Qt::ControlModifier) {
        if (!zoomEnabled)
            return;
        setTransformationAnchor(QGraphicsView::AnchorViewCenter);
        const float f = delta > 0 ? ZOOM_IN : ZOOM_OUT;
        scale(f, f);
        viewport()->update();
        emit wheelModified(0);
    } else if (mods == Qt::AltModifier) {
        emit wheelModified(delta);
    }
    QGraphicsView::wheelEvent(event);
}

void QWGraphicsView::keyPressEvent(QKeyEvent *event)
{
    emit keyPress(event);
    QGraphicsView::keyPressEvent(event);
}

void QWGraphicsView::paintEvent(QPaintEvent *event)
{
    QGraphicsView::paintEvent(event);
    if (QGraphicsScene *s = scene()) {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPen guide(GUIDE_COLOR);
        guide.setWidth(GUIDE_WIDTH);
        guide.setStyle(Qt::DotLine);
        painter.setPen(guide);
        for (QGraphicsItem *item : s->selectedItems()) {
            const QRectF b = item->boundingRect();
            const int left = qRound(b.x());
            const int top = qRound(b.y());
            const int right = qRound(b.x() + b.width()) - 1;
            const int bottom = qRound(b.y() + b.height()) - 1;
            const QPoint p = mapFromScene(item->mapToScene(QPointF(left, top)));
            const QPoint q = mapFromScene(item->mapToScene(QPointF(right, top)));
            const QPoint sp = mapFromScene(item->mapToScene(QPointF(left, bottom)));
            painter.drawLine(QPoint(0, p.y()), p);
            painter.drawLine(QPoint(p.x(), 0), p);
            painter.drawLine(QPoint(q.x(), 0), q);
            painter.drawLine(QPoint(0, sp.y()), sp);
        }
    }
    // Keep repainting: the guides follow items while they are dragged, and
    // what items draw outside their bounding rectangles never stays behind.
    viewport()->update();
}
