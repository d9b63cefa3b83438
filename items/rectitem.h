#pragma once

#include "items/baseitem.h"

// Draws rectangle elements (element type 1); the border lies inside the element.
class RectItem : public BaseItem
{
    Q_OBJECT
public:
    RectItem() = default;
    int type() const override { return UserType + 2; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
};
