#include "print/pagescene.h"

#include "items/doublerectitem.h"
#include "items/ellipseitem.h"
#include "items/lineitem.h"
#include "items/pixmapitem.h"
#include "items/rectitem.h"
#include "items/richtextitem.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPen>

#include <memory>

namespace {

const char *const BUILTIN_BACKGROUND_DIR = ":/resources/background/";
constexpr float FOLD_LINE_MM = 0.2f;

// The makers return heap pixmaps; this keeps their deletion in one place.
using PixmapPtr = std::unique_ptr<QPixmap>;

} // namespace

const QColor PageScene::PLAIN_PAGE_COLOR = QColor(221, 148, 66);

PageScene::PageScene(QGraphicsScene *scene, const TemplateModel &model, int dpi)
    : m_scene(scene)
    , m_model(model)
    , m_dpi(dpi)
    , m_size(TextUtil::mm2px(model.printWidth, dpi), TextUtil::mm2px(model.printHeight, dpi))
{
}

int PageScene::px(float mm) const
{
    return TextUtil::mm2px(mm, m_dpi);
}

void PageScene::rebuild(bool withBackground)
{
    // The scene deletes its items; the pointers into it go first.
    m_fields.clear();
    m_background = nullptr;
    m_plainPage = false;
    m_scene->clear();
    if (withBackground) {
        m_scene->setBackgroundBrush(Qt::NoBrush);
        addBackground();
    } else {
        m_scene->setBackgroundBrush(Qt::white);
    }
    addItems();
}

void PageScene::addBackground()
{
    const int w = m_size.width();
    const int h = m_size.height();
    PixmapPtr picture;
    const QString &background = m_model.background;
    if (background.startsWith(QLatin1String(BACKGROUND_OUT_PREFIX))) {
        picture.reset(FileUtil::getPicturePixmap(background.mid(background.lastIndexOf(QLatin1Char(':')) + 1), false));
    } else if (!background.isEmpty()) {
        picture.reset(new QPixmap(QLatin1String(BUILTIN_BACKGROUND_DIR) + background));
    }

    QPixmap page;
    m_plainPage = !picture || picture->isNull() || w <= 0 || h <= 0;
    if (!m_plainPage) {
        page = picture->scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        page = QPixmap(qMax(w, 1), qMax(h, 1));
        page.fill(PLAIN_PAGE_COLOR);
        QPainter painter(&page);
        QPen fold(Qt::red);
        fold.setWidth(px(FOLD_LINE_MM));
        painter.setPen(fold);
        const int x = px(m_model.backLength);
        painter.drawLine(x, 0, x, h);
    }
    m_background = m_scene->addPixmap(page);
    m_background->setZValue(m_model.faceZ());
}

void PageScene::addToScene(QGraphicsItem *item)
{
    item->setFlags({});
    m_scene->addItem(item);
}

void PageScene::addField(QGraphicsItem *item, int type, const QString &title, const QString &content)
{
    Field field;
    field.item = item;
    field.type = type;
    field.title = title;
    field.templateContent = content;
    show(field, content);
    m_fields.append(field);
}

void PageScene::show(Field &field, const QString &value)
{
    field.shown = value;
    if (field.type == ELEMENT_TEXT) {
        static_cast<RichTextItem *>(field.item)->setText(value);
        return;
    }
    auto *item = static_cast<PixmapItem *>(field.item);
    const QRectF r = item->boundingRect();
    item->setPixmap(FileUtil::elementPixmap(field.type, value, QSize(int(r.width()), int(r.height()))));
}

void PageScene::addItems()
{
    const auto place = [this](BaseItem *item, const GraphicsModel &m) { item->place(m, m_dpi); };
    const auto border = [this](BaseItem *item, const GraphicsModel &m) {
        QPen pen;
        pen.setWidth(px(m.border));
        item->setPen(pen);
    };

    for (const RectangleModel &m : qAsConst(m_model.rectangleModels)) {
        auto *item = new RectItem;
        place(item, m);
        border(item, m);
        addToScene(item);
    }
    for (const LineModel &m : qAsConst(m_model.lineModels)) {
        auto *item = new LineItem;
        place(item, m);
        item->setData(2, m.direction);
        border(item, m);
        addToScene(item);
    }
    for (const CircleModel &m : qAsConst(m_model.circleModels)) {
        auto *item = new EllipseItem;
        place(item, m);
        border(item, m);
        addToScene(item);
    }
    for (const TextModel &m : qAsConst(m_model.textModels)) {
        auto *item = new RichTextItem;
        // The print look: no editing frame.
        item->setProperty("edit", false);
        place(item, m);
        item->setData(2, m.textTitle);
        item->applyTextModel(m, m_dpi);
        addField(item, ELEMENT_TEXT, m.textTitle, m.textContent);
        addToScene(item);
    }
    for (const PictureModel &m : qAsConst(m_model.pictureModels)) {
        auto *item = new PixmapItem;
        place(item, m);
        item->setPixmap(FileUtil::elementPixmap(ELEMENT_PICTURE, m.fileName, QSize(px(m.width), px(m.height))));
        addToScene(item);
    }
    for (const BarcodeModel &m : qAsConst(m_model.barcodeModels)) {
        auto *item = new PixmapItem;
        place(item, m);
        item->setData(2, m.title);
        item->setLockState(m.lockstate);
        addField(item, ELEMENT_BARCODE, m.title, m.content);
        addToScene(item);
    }
    for (const QrcodeModel &m : qAsConst(m_model.qrcodeModels)) {
        auto *item = new PixmapItem;
        place(item, m);
        item->setData(2, m.title);
        addField(item, ELEMENT_QRCODE, m.title, m.content);
        addToScene(item);
    }
    for (const RectangleBgModel &m : qAsConst(m_model.rectBgModels)) {
        auto *item = new DoubleRectItem;
        place(item, m);
        // Its frames are fixed in millimetres: drawn at the page's resolution.
        item->setDpi(m_dpi);
        addToScene(item);
    }
}

void PageScene::fill(const QMap<QString, QVariant> &row)
{
    for (Field &field : m_fields) {
        const auto it = row.constFind(field.title);
        const QString value = it != row.constEnd() ? it.value().toString() : field.templateContent;
        // Making a code is the costly part of a page; an unchanged value keeps its picture.
        if (value != field.shown)
            show(field, value);
    }
}

QImage PageScene::renderPage()
{
    // A page is some 45 MB: the last one's buffer is drawn over again unless
    // someone still holds that page.
    const QSize size = m_size.expandedTo(QSize(1, 1));
    if (m_page.size() != size || !m_page.isDetached())
        m_page = QImage(size, QImage::Format_RGB32);
    // An opaque scene background already paints every dot; white first
    // would paint the page twice.
    const QBrush background = m_scene->backgroundBrush();
    if (background.style() != Qt::SolidPattern || !background.isOpaque() || m_size.isEmpty())
        m_page.fill(Qt::white);
    const bool hidePlain = m_background && m_plainPage && m_background->isVisible();
    if (hidePlain)
        m_background->setVisible(false);
    {
        QPainter painter(&m_page);
        m_scene->render(&painter, QRectF(QPointF(0, 0), QSizeF(m_size)), QRectF(QPointF(0, 0), QSizeF(m_size)),
                        Qt::IgnoreAspectRatio);
    }
    if (hidePlain)
        m_background->setVisible(true);
    return m_page;
}

QImage PageScene::renderThumbnail(int side)
{
    if (m_size.isEmpty() || side <= 0)
        return QImage();
    const QSize size = m_size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_scene->render(&painter, QRectF(image.rect()), QRectF(QPointF(0, 0), QSizeF(m_size)), Qt::IgnoreAspectRatio);
    return image;
}
