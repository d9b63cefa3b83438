#pragma once

// The label page of the print preview: one template laid out as a graphics
// scene at the printer's resolution, so that what is printed is what the
// user sees. The scene holds the box-face background and one item per
// element, stacked as the editor stacks them (the face below every element,
// then each element's stacking value, then the template's list order);
// the variable fields (text, QR code and barcode elements with a
// title) are refilled with one data row at a time. Every page depends on its
// own row only: a title missing from the row shows the element's template
// content, and a code value that yields no picture shows no code.

#include "model/templatemodel.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QVariant>

class QGraphicsItem;
class QGraphicsPixmapItem;
class QGraphicsScene;

class PageScene
{
public:
    // The plain page when a template has no background picture: an opaque
    // placeholder colour with the fold between spine and cover strip in red.
    // It is shown, never printed.
    static const QColor PLAIN_PAGE_COLOR;

    // The scene is not owned; it must outlive this object.
    PageScene(QGraphicsScene *scene, const TemplateModel &model, int dpi);

    int dpi() const { return m_dpi; }
    // The page in printer dots.
    QSize pageSize() const { return m_size; }

    // Empties the scene and builds it anew: the background (picture or
    // plain page) when asked, else a white page, then the elements.
    void rebuild(bool withBackground);
    // Adds the background picture, or the plain page when the template has
    // none or it cannot be loaded.
    void addBackground();
    // Adds one item per element model; adds, never removes.
    void addItems();
    // Shows one data row in the variable fields.
    void fill(const QMap<QString, QVariant> &row);

    // The page as it prints: a white image of the page's size in printer
    // dots with the scene drawn 1:1 onto it. A background picture is part of
    // it; the plain page never is. The image shares its buffer with the
    // next page's when the caller lets go of it first.
    QImage renderPage();
    // The page as the preview shows it (plain page included), scaled to fit
    // in a square of the given side.
    QImage renderThumbnail(int side);

    // True while the scene shows a real background picture.
    bool hasBackgroundPicture() const { return m_background && !m_plainPage; }
    int fieldCount() const { return m_fields.size(); }

private:
    struct Field {
        QGraphicsItem *item = nullptr;
        int type = 0;
        QString title;
        QString templateContent;
        QString shown;
    };

    int px(float mm) const;
    // Shows value in a field: text as it is, codes as their picture scaled to
    // the element (no picture when the value yields none).
    static void show(Field &field, const QString &value);
    void addField(QGraphicsItem *item, int type, const QString &title, const QString &content);
    void addToScene(QGraphicsItem *item);

    QGraphicsScene *m_scene;
    TemplateModel m_model;
    int m_dpi;
    QSize m_size;
    QGraphicsPixmapItem *m_background = nullptr;
    bool m_plainPage = false;
    QList<Field> m_fields;
    QImage m_page;
};
