#pragma once

#include "items/baseitem.h"

// Draws the double rectangle (element type 7): a 2 mm outer frame and a
// 0.5 mm inner frame 2.5 mm inside it. The widths are fixed in millimetres,
// so the item must know the resolution of the scene it is drawn in; the
// item's own pen is not used.
class DoubleRectItem : public BaseItem
{
    Q_OBJECT
public:
    DoubleRectItem() = default;
    int type() const override { return UserType + 6; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // The resolution the frames are drawn at; 0 (the default) means the
    // screen's. The print preview passes the printer's.
    void setDpi(int dpi);
    // The resolution in force: the given one, else the screen's.
    int getDpi() const;

private:
    int dpi = 0;
};
