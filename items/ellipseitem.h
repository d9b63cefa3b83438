#pragma once

#include "items/baseitem.h"

// Draws circle elements (element type 3), the ellipse inscribed inside the border.
class EllipseItem : public BaseItem
{
    Q_OBJECT
public:
    EllipseItem() = default;
    int type() const override { return UserType + 4; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
};
