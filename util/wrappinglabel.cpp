#include "util/wrappinglabel.h"

#include <QPainter>
#include <QPaintEvent>
#include <QTextLayout>
#include <QtMath>

namespace {

// Sizes kept for so many widths at most; a label being resized asks for ever new ones.
constexpr int KEPT_WIDTHS = 16;

} // namespace

WrappingLabel::WrappingLabel(QWidget *parent)
    : QLabel(parent)
{
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrappingLabel::setWrapWidth(int width)
{
    wrapWidth = qMax(0, width);
    updateGeometry();
}

QSize WrappingLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int extra = margins.left() + margins.right();
    int width = measured(0).width();
    if (wrapWidth > 0)
        width = qMin(width, wrapWidth);
    return QSize(width + extra, measured(width).height() + margins.top() + margins.bottom());
}

// It asks for no less than it likes: a text is shown whole, so it is not
// squeezed narrower and taller than it wraps at.
QSize WrappingLabel::minimumSizeHint() const
{
    return sizeHint();
}

int WrappingLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = qMax(1, width - margins.left() - margins.right());
    return measured(inner).height() + margins.top() + margins.bottom();
}

void WrappingLabel::paintEvent(QPaintEvent *event)
{
    // The frame and background the style sheet gives it.
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    QTextLayout layout;
    layOut(layout, qMax(1, area.width()));
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layout.draw(&painter, area.topLeft(), {}, event->rect());
}

qreal WrappingLabel::layOut(QTextLayout &layout, qreal width, qreal *widest) const
{
    QString shown = text();
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(shown);
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(width > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::ManualWrap);
    layout.setTextOption(option);
    qreal height = 0;
    qreal wide = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width > 0 ? width : QWIDGETSIZE_MAX);
        line.setPosition(QPointF(0, height));
        height += line.height();
        wide = qMax(wide, line.naturalTextWidth());
    }
    layout.endLayout();
    if (widest)
        *widest = wide;
    return height;
}

QSize WrappingLabel::measured(int width) const
{
    if (text() != measuredText || font() != measuredFont || measuredSizes.size() >= KEPT_WIDTHS) {
        measuredText = text();
        measuredFont = font();
        measuredSizes.clear();
    }
    auto kept = measuredSizes.constFind(width);
    if (kept != measuredSizes.constEnd())
        return *kept;
    QTextLayout layout;
    qreal widest = 0;
    const qreal height = layOut(layout, width, &widest);
    return *measuredSizes.insert(width, QSize(qCeil(widest), qCeil(height)));
}
