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
