#pragma once

#include "items/baseitem.h"

// Draws horizontal and vertical lines (element type 2), a filled black bar.
class LineItem : public BaseItem
{
    Q_OBJECT
public:
    LineItem() = default;
    int type() const override { return UserType + 3; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
};
