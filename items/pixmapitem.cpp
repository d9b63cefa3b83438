#include "items/pixmapitem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

void PixmapItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    setPaintHints(painter);
    const bool selected = option->state & QStyle::State_Selected;
    if (selected)
        drawSelectRect(painter);
    const QRectF r = boundingRect();
    painter->setPen(pen);
    if (selected) {
        QPen frame = pen;
        frame.setColor(Qt::red);
        painter->setPen(frame);
        painter->drawRect(r);
    }
    if (!pixmap.isNull())
        painter->drawPixmap(integerRect(r), pixmap);
}

void PixmapItem::setPixmap(QPixmap p)
{
    pixmap = p;
}
