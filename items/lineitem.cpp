#include "items/lineitem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

void LineItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    setPaintHints(painter);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::black);
    const QRectF r = boundingRect();
    painter->drawRect(QRect(0, 0, int(r.width()), int(r.height())));
    if (option->state & QStyle::State_Selected)
        drawSelectRect(painter);
}
