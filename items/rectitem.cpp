#include "items/rectitem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

void RectItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    setPaintHints(painter);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (option->state & QStyle::State_Selected) {
        drawSelectRect(painter);
        return;
    }
    const QRectF r = boundingRect();
    const int hw = halfPenWidth();
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(r.x() + hw, r.y() + hw, r.width() - 2 * hw, r.height() - 2 * hw));
}
