#include "editor/boxfaceitem.h"

#include "print/pagescene.h"

#include <QPainter>

BoxFaceItem::BoxFaceItem(const BackgroundPicture::Face &face)
    : m_face(face)
{
}

QRectF BoxFaceItem::boundingRect() const
{
    return QRectF(QPointF(0, 0), m_face.size);
}

void BoxFaceItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    // The painter is clipped to what the view shows: only that much is drawn.
    const QRectF all = boundingRect();
    if (!m_face.picture.isNull()) {
        const QTransform &shown = painter->worldTransform();
        const QRectF onScreen = shown.mapRect(all);
        const QSize reduced = onScreen.size().toSize();
        // Shown smaller than it is kept (the view zoomed out), the picture
        // is reduced once per zoom, averaging every pixel, and then copied
        // pixel for pixel: reduced while painting, each screen pixel would
        // take one or four of the picture's and leave its printed labels
        // ragged. A drag repaints only a copy.
        if (shown.type() <= QTransform::TxScale && !reduced.isEmpty()
            && (reduced.width() < m_face.picture.width() || reduced.height() < m_face.picture.height())) {
            if (m_reduced.size() != reduced)
                m_reduced = m_face.picture.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            painter->save();
            painter->resetTransform();
            painter->drawImage(onScreen.topLeft().toPoint(), m_reduced);
            painter->restore();
            return;
        }
        painter->setRenderHint(QPainter::SmoothPixmapTransform, m_face.picture.size() != m_face.size);
        painter->drawImage(all, m_face.picture);
        return;
    }
    painter->fillRect(all, PageScene::PLAIN_PAGE_COLOR);
    QPen spine(Qt::red);
    spine.setWidth(m_face.lineWidth);
    painter->setPen(spine);
    painter->drawLine(m_face.spineX, 0, m_face.spineX, m_face.size.height());
}
