#include "items/doublerectitem.h"

#include "util/textutil.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace {

constexpr float OUTER_WIDTH_MM = 2.0f;
constexpr float GAP_MM = 2.5f;
constexpr float INNER_WIDTH_MM = 0.5f;

} // namespace

void DoubleRectItem::setDpi(int value)
{
    dpi = value > 0 ? value : 0;
}

int DoubleRectItem::getDpi() const
{
    if (dpi > 0)
        return dpi;
    // The shell sets the screen's resolution at start-up; before that (and in
    // programs without a shell) ask the screen itself.
    const float screen = TextUtil::SCREEN_DPI > 0.0f ? TextUtil::SCREEN_DPI : TextUtil::screenDpi();
    return TextUtil::dpiToInt(screen);
}

void DoubleRectItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    setPaintHints(painter);
    QPen framePen(Qt::black);
    framePen.setStyle(Qt::SolidLine);
    framePen.setCapStyle(Qt::FlatCap);
    framePen.setJoinStyle(Qt::MiterJoin);
    if (option->state & QStyle::State_Selected) {
        drawSelectRect(painter);
        return;
    }

    const int d = getDpi();
    const int outerWidth = TextUtil::mm2px(OUTER_WIDTH_MM, d);
    const int hw = outerWidth / 2;
    const int gap = TextUtil::mm2px(GAP_MM, d);
    const QRect r = integerRect(boundingRect());
    const QRect outer(r.left() + hw, r.top() + hw, r.width() - 2 * hw, r.height() - 2 * hw);
    const QRect inner(outer.left() + gap, outer.top() + gap, outer.width() - 2 * gap, outer.height() - 2 * gap);
    // An element too small to hold its inner frame would be drawn with
    // rectangles turned inside out; it shows nothing instead.
    if (inner.width() <= 0 || inner.height() <= 0)
        return;

    painter->setBrush(Qt::NoBrush);
    framePen.setWidth(outerWidth);
    painter->setPen(framePen);
    painter->drawRect(outer);
    framePen.setWidth(TextUtil::mm2px(INNER_WIDTH_MM, d));
    painter->setPen(framePen);
    painter->drawRect(inner);
}
