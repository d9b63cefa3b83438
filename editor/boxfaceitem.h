#pragma once

// The box face behind the editor's elements, painted where the view shows it.
// A face is as large as the label at the screen's resolution, which at the
// largest label is tens of thousands of pixels a side: held as one picture it
// would take gigabytes, so the item keeps only the picture as decoded (never
// larger than its source) and stretches it while painting, or paints the
// plain face directly; zoomed out, it shows the picture reduced once per
// zoom.

#include "editor/backgroundpicture.h"

#include <QGraphicsItem>

class BoxFaceItem : public QGraphicsItem
{
public:
    explicit BoxFaceItem(const BackgroundPicture::Face &face);

    const BackgroundPicture::Face &face() const { return m_face; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    BackgroundPicture::Face m_face;
    // The picture at the size it was last shown at, when smaller.
    QImage m_reduced;
};
