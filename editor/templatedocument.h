#pragma once

// The template being edited, and the only thing in the editor that changes
// it. The property pages write into it, the scene's items follow it, and the
// mouse reaches it as edits in millimetres; none of them keeps a copy of its
// own. Every element edit announces the ids it changed, and only when a value
// really changed, so showing, selecting or hovering an element writes
// nothing.
//
// Nothing is stored outside the label: every edit that moves or resizes an
// element, or resizes the label, holds the element on the label by the box it
// shows and prints (a turned text turns about its centre), moving it only
// along the axes that need it. A label made smaller and then larger again
// gives the elements it pushed back their places.
//
// It opens a template as the store holds it and saves it the same way: a
// size stored as 0 reads as its default, as everywhere else, and is stored as
// 0 again while it holds that default; an element without an id of its own
// (none, or one an element before it has) gets a fresh one, unique in the
// template, so that every element can be found, edited and removed alone.

#include "model/templatemodel.h"

#include <QHash>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <QVariant>

#include <array>
#include <optional>

class TemplateDocument : public QObject
{
    Q_OBJECT

public:
    // The element fields other than the geometry. Title, content and fixed
    // belong to text fields and codes alike; the fields from Font on to text
    // fields only.
    enum class Field {
        Border,
        Locked,
        Title,
        Content,
        Fixed,
        Font,
        FontSize,
        Bold,
        Italic,
        HorizontalAlign,
        VerticalAlign,
        Direction,
        Rotate,
        WordSpacing,
        RowSpacing,
        Indentation,
        ScaleX,
        ScaleY,
        Adapted,
        AdaptedMode,
        Wrap,
        UprightAscii,
    };

    explicit TemplateDocument(const TemplateModel &stored = TemplateModel(), QObject *parent = nullptr);

    // The template as edited and shown, sizes stored as 0 read as defaults.
    const TemplateModel &model() const { return m_model; }
    // The template as a save stores it.
    TemplateModel storedModel() const;
    // The element with that id, in any list; null when there is none.
    const GraphicsModel *element(const QString &id) const;
    const TextModel *text(const QString &id) const;
    // Every element id, kinds in the order the scene stacks them.
    QStringList elementIds() const;

    // ---- The template's own fields --------------------------------------
    // Takes the name, type and creation time a store gave the template.
    void setStoredAs(const TemplateModel &stored);
    // The label's width (Qt::Horizontal) or height.
    void setLabelSize(Qt::Orientation side, float mm);
    // The spine grows or shrinks the label by as much, down to a width of
    // 1 mm.
    void setSpineWidth(float mm);
    void setFoldWidth(float mm);
    void setFull(bool full);
    void setBackground(const QString &background);
    // A built-in template's face: its background, width, height and spine.
    void applyPreset(const TemplateModel &preset);
    void setViewLock(bool locked);

    // ---- Element edits --------------------------------------------------
    // The start (x for Qt::Horizontal, y otherwise) or the size of an element.
    void setStart(const QString &id, Qt::Orientation axis, float mm);
    void setSize(const QString &id, Qt::Orientation side, float mm);
    // Start and size at once.
    void setGeometry(const QString &id, const QRectF &mm);
    // A new size as the resize handles give it: the element's own top-left
    // corner stays where it shows, also when the element is turned (a turned
    // text turns about its centre, which moves with its size), and a side
    // dragged past the label's edge stops at it.
    void resize(const QString &id, const QSizeF &mm);
    // One field of each element; an element the field does not belong to
    // is left alone.
    void set(const QStringList &ids, Field field, const QVariant &value);
    // Flips Bold or Italic of each text field by itself.
    void toggle(const QStringList &ids, Field field);

    // Adds an element (its type set), held on the label, with a fresh id
    // unless it has one the template does not hold yet; its id.
    template <typename Model>
    QString add(Model element);
    // Copies of the elements with those ids: new ids, titles no element
    // uses yet, stacking 0 and no lock. One copy starts at the given point;
    // several keep their layout, each shifted by up to 4 whole millimetres.
    // The new ids.
    QStringList paste(const QStringList &ids, const std::optional<QPointF> &at);
    // Removes the elements; the picture files the removed pictures used.
    QStringList remove(const QStringList &ids);
    // Above (raise) or below (lower) the elements it overlaps, which go
    // back to 0.
    void raise(const QString &id);
    void lower(const QString &id);

    // A text title no text field uses yet: prefix, or prefix and a number.
    QString freeTextTitle(const QString &prefix) const;
    bool textTitleUsed(const QString &title) const;

    // The box an element shows and prints, in millimetres.
    static QRectF shownBox(const GraphicsModel &m);
    // Where an element must start for that box to lie on a label of that
    // size; a box larger than the label starts at the label's edge.
    static QPointF heldStart(const GraphicsModel &m, const QSizeF &label);

signals:
    // Elements changed, were added (ids now in the template) or removed
    // (ids no longer in it).
    void changed(const QStringList &ids);
    // The label's size or face changed; the elements may have moved with it.
    void labelChanged();

private:
    GraphicsModel *find(const QString &id);
    // An element id the template holds nowhere.
    QString freshId() const;
    void giveElementsOwnIds();
    // The start (start true) or the size along one axis.
    void setOneSide(const QString &id, Qt::Orientation axis, float mm, bool start);
    // Stores a geometry held on the label; true when it changed.
    bool storeGeometry(GraphicsModel &m, const QRectF &mm);
    // Holds every element on the label after it changed size.
    void holdAll();
    void announce(const QStringList &ids);
    template <typename Model>
    void pasteFrom(QList<Model> &list, const QStringList &ids, const std::optional<QPointF> &at, QStringList &made);
    QString pastedTitle(const QString &source, bool code) const;
    void restack(const QString &id, bool above);
    // A size the handles asked for, its sides grown no further than the
    // label's edges from the element's own first corner.
    QSizeF grownWithin(const GraphicsModel &m, const QTransform &turn, const QSizeF &mm) const;

    TemplateModel m_model;
    // Width, height, spine and fold: what each stored as 0 was read as.
    std::array<std::optional<float>, 4> m_zeroReadAs;
    // Where the label pushed an element from, until the element is edited.
    QHash<QString, QPointF> m_pushedFrom;
};
