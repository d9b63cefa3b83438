#include "items/baseitem.h"

#include "model/graphicsmodel.h"
#include "util/textutil.h"

#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// The handles in the order GetMouseHandle tests them where their areas
// overlap (elements narrower or lower than three handle sizes).
constexpr BaseItem::E_MouseHandle HANDLE_ORDER[] = {
    BaseItem::HandleTopLeft, BaseItem::HandleTopRight, BaseItem::HandleBottomLeft,
    BaseItem::HandleBottomRight, BaseItem::HandleTop, BaseItem::HandleBottom,
    BaseItem::HandleLeft, BaseItem::HandleRight,
};

constexpr int MARKER_HALF = 5;

} // namespace

BaseItem::BaseItem(QGraphicsItem *parent)
    : QObject(nullptr), QGraphicsItem(parent)
{
    setFlags(UNLOCKED_FLAGS);
    setAcceptHoverEvents(true);
}

QRectF BaseItem::boundingRect() const
{
    return rect;
}

void BaseItem::place(const GraphicsModel &m, int dpi)
{
    setData(0, m.id);
    setData(1, m.type);
    setZValue(m.viewZ);
    setPos(TextUtil::mm2px(m.startX, dpi), TextUtil::mm2px(m.startY, dpi));
    setRect(0, 0, TextUtil::mm2px(m.width, dpi), TextUtil::mm2px(m.height, dpi));
}

void BaseItem::setRect(const QRectF &r)
{
    prepareGeometryChange();
    rect = r;
    // Clamp the current position directly: moving the item down and back up
    // would shift an element that sits on the scene's bottom edge by a pixel.
    if (scene() && (flags() & ItemSendsScenePositionChanges)) {
        const QPointF clamped = clampedPosition(pos());
        if (clamped != pos())
            setPos(clamped);
    }
    update();
    updateHandlesArea();
}

void BaseItem::setRect(int x, int y, int w, int h)
{
    prepareGeometryChange();
    rect = QRectF(x, y, w, h);
    update();
    updateHandlesArea();
}

void BaseItem::setPen(QPen p)
{
    pen = p;
}

int BaseItem::getPenWidth() const
{
    return pen.width();
}

void BaseItem::setLockState(bool lock)
{
    locked = lock;
    setFlags(lock ? LOCKED_FLAGS : UNLOCKED_FLAGS);
}

bool BaseItem::getLockState() const
{
    return locked;
}

void BaseItem::setElementScaleX(float factor)
{
    scaleX = factor;
}

void BaseItem::setElementScaleY(float factor)
{
    scaleY = factor;
}

float BaseItem::getElementScaleX() const
{
    return scaleX;
}

float BaseItem::getElementScaleY() const
{
    return scaleY;
}

void BaseItem::setElementScale(float x, float y)
{
    scaleX = x;
    scaleY = y;
    update();
}

void BaseItem::updateHandlesArea()
{
    const QRectF r = boundingRect();
    const double s = handleSize;
    for (E_MouseHandle h : {HandleTopLeft, HandleTopRight, HandleBottomLeft, HandleTop, HandleLeft})
        handles.insert(h, QRectF(0, 0, 0, 0));
    handles.insert(HandleBottomRight, QRectF(r.x() + r.width() - s, r.y() + r.height() - s, s, s));
    handles.insert(HandleBottom, QRectF(r.x() + r.width() * 0.5 - s * 0.5, r.y() + r.height() - s, s, s));
    handles.insert(HandleRight, QRectF(r.x() + r.width() - s, r.y() + r.height() * 0.5 - s * 0.5, s, s));
}

BaseItem::E_MouseHandle BaseItem::GetMouseHandle(const QPointF &point) const
{
    for (E_MouseHandle h : HANDLE_ORDER) {
        const auto it = handles.constFind(h);
        if (it != handles.constEnd() && it->contains(point))
            return h;
    }
    return HandleNone;
}

void BaseItem::resizeRect(const QPointF &point)
{
    if (currentHandle == HandleNone || locked)
        return;
    prepareGeometryChange();

    const double m = (handleMargin + 1) * 2;
    QRectF r = rect;
    const QRectF &p = pressRect;
    switch (currentHandle) {
    case HandleBottomRight:
        if (point.x() - p.left() > m && point.y() - p.top() > m) {
            r.setRight(point.x());
            r.setBottom(point.y());
        }
        break;
    case HandleRight:
        if (point.x() - p.left() > m && p.height() > m)
            r.setRight(point.x());
        break;
    case HandleBottom:
        if (p.width() > m && point.y() - p.top() > m)
            r.setBottom(point.y());
        break;
    default:
        break;
    }
    setRect(r);
}

void BaseItem::drawSelectRect(QPainter *painter)
{
    const QRectF r = boundingRect();
    painter->save();
    QPen framePen = painter->pen();
    framePen.setWidth(2);
    framePen.setColor(Qt::red);
    painter->setPen(framePen);
    painter->drawRect(r);
    if (!locked) {
        const QPointF points[] = {
            QPointF(r.x() + r.width(), r.y() + r.height()),
            QPointF(r.x() + r.width(), r.y() + r.height() / 2),
            QPointF(r.x() + r.width() / 2, r.y() + r.height()),
        };
        for (const QPointF &pt : points) {
            painter->save();
            painter->translate(pt);
            painter->drawRect(QRect(-MARKER_HALF, -MARKER_HALF, 2 * MARKER_HALF, 2 * MARKER_HALF));
            painter->restore();
        }
    }
    painter->restore();
}

QPointF BaseItem::clampedPosition(const QPointF &proposed) const
{
    const QGraphicsScene *s = scene();
    if (!s)
        return proposed;
    QRectF area = s->sceneRect();
    double w = boundingRect().width();
    double h = boundingRect().height();
    if (int(rotation()) % 180 != 0)
        std::swap(w, h);
    area.setWidth(area.width() - w);
    area.setHeight(area.height() - h);
    if (area.contains(proposed))
        return proposed;
    double x = std::max(proposed.x(), area.left());
    x = std::min(x, area.left() + area.width());
    double y = std::max(proposed.y(), area.top());
    y = std::min(y, area.top() + area.height());
    return QPointF(x, y);
}

void BaseItem::setPaintHints(QPainter *painter)
{
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::TextAntialiasing);
}

QRect BaseItem::integerRect(const QRectF &r)
{
    const int left = qRound(r.x());
    const int top = qRound(r.y());
    return QRect(left, top, qRound(r.x() + r.width()) - left, qRound(r.y() + r.height()) - top);
}

void BaseItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    hovered = true;
}

void BaseItem::hoverMoveEvent(QGraphicsSceneHoverEvent *event)
{
    const bool adding = scene() && scene()->property("OPT_ADD").toBool();
    if (!hovered || !isSelected() || adding || locked)
        return;
    currentHandle = GetMouseHandle(event->pos());
    switch (currentHandle) {
    case HandleBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case HandleRight:
        setCursor(Qt::SizeHorCursor);
        break;
    case HandleBottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    default:
        currentHandle = HandleNone;
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void BaseItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    currentHandle = HandleNone;
    setCursor(Qt::ArrowCursor);
    if (scene())
        scene()->update(sceneBoundingRect());
    update();
    hovered = false;
}

void BaseItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsItem::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && currentHandle != HandleNone) {
        const double hp = pen.widthF() / 2;
        const QRectF r = boundingRect();
        pressRect = QRectF(r.left() - hp, r.top() - hp, r.width() + 2 * hp, r.height() + 2 * hp);
    }
}

void BaseItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && currentHandle != HandleNone)
        setSelected(true);
    QGraphicsItem::mouseReleaseEvent(event);
}

void BaseItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton && currentHandle != HandleNone) {
        resizeRect(event->pos());
        return;
    }
    if (isSelected())
        QGraphicsItem::mouseMoveEvent(event);
}

QVariant BaseItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemPositionChange && scene())
        return clampedPosition(value.toPointF());
    return QGraphicsItem::itemChange(change, value);
}
