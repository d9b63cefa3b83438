#pragma once

#include "items/baseitem.h"

#include <QPixmap>

// Draws pictures, QR codes and barcodes (element types 5, 6 and 8): a ready
// pixmap stretched over the element's rectangle.
class PixmapItem : public BaseItem
{
    Q_OBJECT
public:
    PixmapItem() = default;
    int type() const override { return UserType + 5; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // Stores a copy; the caller repaints.
    void setPixmap(QPixmap p);
    QPixmap getPixmap() const { return pixmap; }

private:
    QPixmap pixmap;
};
