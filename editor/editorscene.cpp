#include "editor/editorscene.h"

#include "editor/templatedocument.h"
#include "items/doublerectitem.h"
#include "items/ellipseitem.h"
#include "items/lineitem.h"
#include "items/pixmapitem.h"
#include "items/rectitem.h"
#include "items/richtextitem.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QGraphicsScene>
#include <QtDebug>

namespace {

bool isPictured(int type)
{
    return type == ELEMENT_PICTURE || type == ELEMENT_QRCODE || type == ELEMENT_BARCODE;
}

// What a picture, QR code or barcode shows is made from.
QString pictureSource(const GraphicsModel &m)
{
    switch (m.type) {
    case ELEMENT_PICTURE: return static_cast<const PictureModel &>(m).fileName;
    case ELEMENT_QRCODE: return static_cast<const QrcodeModel &>(m).content;
    case ELEMENT_BARCODE: return static_cast<const BarcodeModel &>(m).content;
    default: return QString();
    }
}

QSize pictureSize(const GraphicsModel &m)
{
    return QSize(TextUtil::mm2px(m.width, EditorScene::dpi()), TextUtil::mm2px(m.height, EditorScene::dpi()));
}

QVariant titleOf(const GraphicsModel &m)
{
    switch (m.type) {
    case ELEMENT_LINE: return static_cast<const LineModel &>(m).direction;
    case ELEMENT_TEXT: return static_cast<const TextModel &>(m).textTitle;
    case ELEMENT_QRCODE: return static_cast<const QrcodeModel &>(m).title;
    case ELEMENT_BARCODE: return static_cast<const BarcodeModel &>(m).title;
    default: return QVariant();
    }
}

} // namespace

EditorScene::EditorScene(QGraphicsScene *scene, const TemplateDocument &document)
    : scene(scene)
    , document(document)
{
}

int EditorScene::dpi()
{
    return TextUtil::dpiToInt(TextUtil::SCREEN_DPI);
}

void EditorScene::addAll()
{
    // In list order: items of one stacking value stack by their kind.
    document.model().forEachElementList([this](const auto &list) {
        for (const auto &m : list)
            add(m);
    });
}

void EditorScene::forget()
{
    entries.clear();
    ids.clear();
}

void EditorScene::follow(const QStringList &changed)
{
    for (const QString &id : changed) {
        const GraphicsModel *m = document.element(id);
        const auto it = entries.find(id);
        if (!m) {
            if (it != entries.end()) {
                ids.remove(it->item);
                delete it->item;
                entries.erase(it);
            }
        } else if (it == entries.end()) {
            add(*m);
            stackInListOrder(m->id);
        } else {
            show(it->item, *m);
            showPicture(*it, *m);
        }
    }
}

void EditorScene::stackInListOrder(const QString &id)
{
    // Below the first element after it in the lists that has an item; the
    // elements still to come are placed in turn.
    const QStringList order = document.elementIds();
    for (int i = order.indexOf(id) + 1; i < order.size(); ++i) {
        if (BaseItem *above = item(order.at(i))) {
            item(id)->stackBefore(above);
            return;
        }
    }
}

BaseItem *EditorScene::item(const QString &id) const
{
    return entries.value(id).item;
}

QString EditorScene::idOf(const QGraphicsItem *item) const
{
    return ids.value(item);
}

QStringList EditorScene::selectedIds() const
{
    // Asked on every mouse move: only several selected items need the
    // stacking order, which sorts every item.
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    const QList<QGraphicsItem *> stack = selected.size() > 1 ? scene->items(Qt::DescendingOrder) : selected;
    QStringList found;
    for (const QGraphicsItem *item : stack) {
        const QString id = ids.value(item);
        if (item->isSelected() && !id.isEmpty())
            found << id;
    }
    return found;
}

BaseItem *EditorScene::createItem(const GraphicsModel &m) const
{
    BaseItem *item = nullptr;
    switch (m.type) {
    case ELEMENT_RECTANGLE: item = new RectItem; break;
    case ELEMENT_LINE: item = new LineItem; break;
    case ELEMENT_CIRCLE: item = new EllipseItem; break;
    case ELEMENT_TEXT: item = new RichTextItem; break;
    case ELEMENT_RECT_BG: item = new DoubleRectItem; break;
    default: item = new PixmapItem; break;
    }
    show(item, m);
    if (isPictured(m.type))
        static_cast<PixmapItem *>(item)->setPixmap(FileUtil::elementPixmap(m.type, pictureSource(m), pictureSize(m)));
    return item;
}

void EditorScene::add(const GraphicsModel &m)
{
    Entry entry;
    entry.item = createItem(m);
    entry.source = pictureSource(m);
    entry.size = pictureSize(m);
    scene->addItem(entry.item);
    ids.insert(entry.item, m.id);
    entries.insert(m.id, entry);
}

void EditorScene::show(BaseItem *item, const GraphicsModel &m) const
{
    const int d = dpi();
    item->place(m, d);
    const QVariant title = titleOf(m);
    if (title.isValid())
        item->setData(2, title);
    if (m.type == ELEMENT_TEXT) {
        const auto &text = static_cast<const TextModel &>(m);
        auto *textItem = static_cast<RichTextItem *>(item);
        textItem->setText(text.textContent);
        // Turns it about the centre of its rectangle as it is now.
        textItem->applyTextModel(text, d);
    } else {
        item->setLockState(m.lockstate);
    }
    if (m.type == ELEMENT_RECTANGLE || m.type == ELEMENT_LINE || m.type == ELEMENT_CIRCLE) {
        QPen pen;
        pen.setWidth(TextUtil::mm2px(m.border, d));
        item->setPen(pen);
    }
    // The document holds elements on the label; the item's own hold would
    // keep a turned text by its unturned box.
    item->setFlag(QGraphicsItem::ItemSendsScenePositionChanges, false);
    item->update();
}

void EditorScene::showPicture(Entry &entry, const GraphicsModel &m) const
{
    if (!isPictured(m.type))
        return;
    const QString source = pictureSource(m);
    const QSize size = pictureSize(m);
    if (source == entry.source && size == entry.size)
        return;
    const bool newSource = source != entry.source;
    entry.source = source;
    entry.size = size;
    const QPixmap picture = FileUtil::elementPixmap(m.type, source, size);
    if (picture.isNull() && newSource && !source.isEmpty() && m.type != ELEMENT_PICTURE) {
        qWarning().noquote() << (m.type == ELEMENT_QRCODE ? QStringLiteral("生成二维码失败")
                                                          : QStringLiteral("生成条形码失败"))
                             << source;
    }
    static_cast<PixmapItem *>(entry.item)->setPixmap(picture);
}
