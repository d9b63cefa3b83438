#include "items/ellipseitem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

void EllipseItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    setPaintHints(painter);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const QRect r = integerRect(boundingRect());
    const int hw = halfPenWidth();
    painter->drawEllipse(QRect(r.left() + hw, r.top() + hw, r.width() - 2 * hw, r.height() - 2 * hw));
    if (option->state & QStyle::State_Selected)
        drawSelectRect(painter);
}
