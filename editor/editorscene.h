#pragma once

// The editor's scene items, following the document one way: each element's
// item is made, changed and removed as the document's element is, placed at
// the screen resolution exactly as the printed page places it (a turned text
// turns about the centre of its current rectangle). Nothing here writes the
// document; the editor reads the mouse's work off the items and hands it to
// the document as edits.
//
// The items do not hold themselves on the label: the document does, in
// millimetres, by the box an element prints. The box face is the editor's.

#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>

class BaseItem;
class GraphicsModel;
class QGraphicsItem;
class QGraphicsScene;
class TemplateDocument;

class EditorScene
{
public:
    EditorScene(QGraphicsScene *scene, const TemplateDocument &document);

    // Adds an item for every element; the scene must hold none of them.
    void addAll();
    // Forgets every item, before the scene deletes them.
    void forget();
    // Makes the items of these elements what the document says: new ones
    // for added elements, none for removed ones.
    void follow(const QStringList &ids);

    BaseItem *item(const QString &id) const;
    // The element id of an item; empty for the box face or anything else.
    QString idOf(const QGraphicsItem *item) const;
    // The selected elements, topmost first.
    QStringList selectedIds() const;

    // A new item for an element, not added to any scene.
    BaseItem *createItem(const GraphicsModel &m) const;

    // The screen resolution as the conversions take it.
    static int dpi();

private:
    struct Entry {
        BaseItem *item = nullptr;
        // What the item's picture was made from.
        QString source;
        QSize size;
    };

    void add(const GraphicsModel &m);
    // Qt stacks items of one stacking value in the order they came; an
    // element added later goes where its list puts it, as on the page.
    void stackInListOrder(const QString &id);
    // Everything but the picture.
    void show(BaseItem *item, const GraphicsModel &m) const;
    // Makes the picture again when what it shows changed. A code whose
    // text makes none (emptied or refused) shows none, as it prints.
    void showPicture(Entry &entry, const GraphicsModel &m) const;

    QGraphicsScene *scene;
    const TemplateDocument &document;
    QHash<QString, Entry> entries;
    QHash<const QGraphicsItem *, QString> ids;
};
