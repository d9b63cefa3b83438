#include "editor/templatedocument.h"

#include "editor/defaulttitle.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTransform>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {

// Copies of several elements keep their layout, each shifted by up to this
// many whole millimetres (exclusive) so they do not hide their sources.
constexpr int PASTE_SCATTER_MM = 5;

// The smallest size the label's boxes take.
constexpr float MIN_LABEL_SIZE_MM = 1.0f;

template <typename T>
bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// How far a box from lo to hi must move to lie within 0..size; a box larger
// than that goes to 0.
double shift(double lo, double hi, double size)
{
    if (hi - lo > size || lo < 0)
        return -lo;
    if (hi > size)
        return size - hi;
    return 0;
}

// A length down to hundredths of a millimetre, as the pages show them, with a
// hair of slack (0.1 µm) so that 35 computed as 34.9999999 is not taken for
// 34.99.
double hundredthsBelow(double mm)
{
    constexpr double SLACK = 1e-2;
    return std::floor(mm * 100 + SLACK) / 100;
}

// A start moved by the hold, to hundredths, rounded toward the label so the
// box stays on it.
float heldValue(double start, double moved)
{
    if (moved == 0)
        return float(start);
    return float(moved > 0 ? -hundredthsBelow(-(start + moved)) : hundredthsBelow(start + moved));
}

std::array<float *, 4> labelSizes(TemplateModel &t)
{
    return {&t.printWidth, &t.printHeight, &t.backLength, &t.foldLength};
}

// Ids are times in milliseconds, so one made now may be held already: by an
// element made on a machine whose clock ran ahead, say.
template <typename Taken>
QString unusedId(const Taken &taken)
{
    QString id;
    do
        id = TextUtil::generateId();
    while (taken(id));
    return id;
}

template <typename Model>
QList<Model> &elementList(TemplateModel &t);
template <> QList<RectangleModel> &elementList(TemplateModel &t) { return t.rectangleModels; }
template <> QList<LineModel> &elementList(TemplateModel &t) { return t.lineModels; }
template <> QList<CircleModel> &elementList(TemplateModel &t) { return t.circleModels; }
template <> QList<TextModel> &elementList(TemplateModel &t) { return t.textModels; }
template <> QList<PictureModel> &elementList(TemplateModel &t) { return t.pictureModels; }
template <> QList<QrcodeModel> &elementList(TemplateModel &t) { return t.qrcodeModels; }
template <> QList<BarcodeModel> &elementList(TemplateModel &t) { return t.barcodeModels; }
template <> QList<RectangleBgModel> &elementList(TemplateModel &t) { return t.rectBgModels; }

// The fields QR codes and barcodes share with text fields.
struct Fields {
    QString *title = nullptr;
    QString *content = nullptr;
    bool *fixed = nullptr;
};

Fields titledFields(GraphicsModel &m)
{
    switch (m.type) {
    case ELEMENT_TEXT: {
        auto &text = static_cast<TextModel &>(m);
        return {&text.textTitle, &text.textContent, &text.fixed};
    }
    case ELEMENT_QRCODE: {
        auto &qr = static_cast<QrcodeModel &>(m);
        return {&qr.title, &qr.content, &qr.fixed};
    }
    case ELEMENT_BARCODE: {
        auto &bar = static_cast<BarcodeModel &>(m);
        return {&bar.title, &bar.content, &bar.fixed};
    }
    default:
        return {};
    }
}

bool setTextField(TextModel &m, TemplateDocument::Field field, const QVariant &v)
{
    using F = TemplateDocument::Field;
    switch (field) {
    case F::Font: return assign(m.font, v.toString());
    case F::FontSize: return assign(m.fontSize, v.toFloat());
    case F::Bold: return assign(m.bold, v.toBool());
    case F::Italic: return assign(m.italic, v.toBool());
    case F::HorizontalAlign: return assign(m.horizontalAlign, v.toInt());
    case F::VerticalAlign: return assign(m.verticalAlign, v.toInt());
    case F::Direction: return assign(m.direction, v.toInt());
    case F::Rotate: return assign(m.rotate, v.toInt());
    case F::WordSpacing: return assign(m.wordSpacing, v.toFloat());
    case F::RowSpacing: return assign(m.rowSpacing, v.toFloat());
    case F::Indentation: return assign(m.indentation, v.toFloat());
    case F::ScaleX: return assign(m.scaleX, v.toFloat());
    case F::ScaleY: return assign(m.scaleY, v.toFloat());
    case F::Adapted: return assign(m.adapted, v.toBool());
    case F::AdaptedMode: return assign(m.adaptedMode, v.toInt());
    case F::Wrap: return assign(m.mutiled, v.toBool());
    case F::UprightAscii: return assign(m.noVerRule, v.toBool());
    default: return false;
    }
}

QRectF geometryOf(const GraphicsModel &m)
{
    return QRectF(m.startX, m.startY, m.width, m.height);
}

int rotationOf(const GraphicsModel &m)
{
    return m.type == ELEMENT_TEXT ? static_cast<const TextModel &>(m).rotate : 0;
}

// The box of an element of that geometry and turn, turned about its centre
// as the scenes turn it.
QRectF turnedBox(const QRectF &own, int angle)
{
    if (angle % 360 == 0)
        return own;
    const QPointF centre = own.center();
    return QTransform().translate(centre.x(), centre.y()).rotate(angle).translate(-centre.x(), -centre.y()).mapRect(own);
}

QPointF heldStartOf(const QRectF &own, int angle, const QSizeF &label)
{
    const QRectF box = turnedBox(own, angle);
    return QPointF(heldValue(own.x(), shift(box.left(), box.right(), label.width())),
                   heldValue(own.y(), shift(box.top(), box.bottom(), label.height())));
}

} // namespace

TemplateDocument::TemplateDocument(const TemplateModel &stored, QObject *parent)
    : QObject(parent)
    , m_model(stored)
{
    const std::array<float *, 4> sizes = labelSizes(m_model);
    std::array<bool, 4> zero;
    for (size_t i = 0; i < sizes.size(); ++i)
        zero[i] = *sizes[i] == 0.0f;
    JsonUtil::applySizeDefaults(m_model);
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (zero[i])
            m_zeroReadAs[i] = *sizes[i];
    }
    giveElementsOwnIds();
}

TemplateModel TemplateDocument::storedModel() const
{
    TemplateModel stored = m_model;
    const std::array<float *, 4> sizes = labelSizes(stored);
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (m_zeroReadAs[i] == *sizes[i])
            *sizes[i] = 0.0f;
    }
    return stored;
}

void TemplateDocument::giveElementsOwnIds()
{
    // The first element of an id keeps it; the printed page never looks at ids.
    const QStringList stored = elementIds();
    QSet<QString> taken(stored.cbegin(), stored.cend());
    QSet<QString> kept;
    m_model.forEachElementList([&](auto &list) {
        for (auto &m : list) {
            if (!m.id.isEmpty() && !kept.contains(m.id)) {
                kept.insert(m.id);
                continue;
            }
            const QString id = unusedId([&taken](const QString &id) { return taken.contains(id); });
            qInfo().noquote() << "element" << (m.id.isEmpty() ? QStringLiteral("without an id") : m.id) << "of"
                              << m_model.name << "given the id" << id;
            m.id = id;
            taken.insert(id);
        }
    });
}

QString TemplateDocument::freshId() const
{
    return unusedId([this](const QString &id) { return element(id) != nullptr; });
}

const GraphicsModel *TemplateDocument::element(const QString &id) const
{
    return const_cast<TemplateDocument *>(this)->find(id);
}

GraphicsModel *TemplateDocument::find(const QString &id)
{
    GraphicsModel *found = nullptr;
    m_model.forEachElementList([&found, &id](auto &list) {
        for (auto &m : list) {
            if (!found && m.id == id)
                found = &m;
        }
    });
    return found;
}

const TextModel *TemplateDocument::text(const QString &id) const
{
    const GraphicsModel *m = element(id);
    return m && m->type == ELEMENT_TEXT ? static_cast<const TextModel *>(m) : nullptr;
}

QStringList TemplateDocument::elementIds() const
{
    QStringList ids;
    m_model.forEachElementList([&ids](const auto &list) {
        for (const auto &m : list)
            ids << m.id;
    });
    return ids;
}

void TemplateDocument::announce(const QStringList &ids)
{
    if (!ids.isEmpty())
        emit changed(ids);
}

// ---- The template's own fields ---------------------------------------------

void TemplateDocument::setStoredAs(const TemplateModel &stored)
{
    m_model.name = stored.name;
    m_model.type = stored.type;
    m_model.createTime = stored.createTime;
}

void TemplateDocument::setLabelSize(Qt::Orientation side, float mm)
{
    if (!assign(side == Qt::Horizontal ? m_model.printWidth : m_model.printHeight, mm))
        return;
    holdAll();
    emit labelChanged();
}

void TemplateDocument::setSpineWidth(float mm)
{
    if (mm == m_model.backLength)
        return;
    // A label keeps a width: stored as 0, it would read as the default one.
    m_model.printWidth = std::max(MIN_LABEL_SIZE_MM, m_model.printWidth - m_model.backLength + mm);
    m_model.backLength = mm;
    holdAll();
    emit labelChanged();
}

void TemplateDocument::setFoldWidth(float mm)
{
    m_model.foldLength = mm;
}

void TemplateDocument::setFull(bool full)
{
    m_model.full = full;
}

void TemplateDocument::setBackground(const QString &background)
{
    if (!assign(m_model.background, background))
        return;
    emit labelChanged();
}

void TemplateDocument::applyPreset(const TemplateModel &preset)
{
    m_model.background = preset.background;
    m_model.printWidth = preset.printWidth;
    m_model.printHeight = preset.printHeight;
    m_model.backLength = preset.backLength;
    holdAll();
    emit labelChanged();
}

void TemplateDocument::setViewLock(bool locked)
{
    m_model.lockstate = locked;
}

void TemplateDocument::holdAll()
{
    const QSizeF label(m_model.printWidth, m_model.printHeight);
    m_model.forEachElementList([this, &label](auto &list) {
        for (auto &m : list) {
            // From where it was before any smaller label pushed it.
            const QPointF from = m_pushedFrom.value(m.id, QPointF(m.startX, m.startY));
            const QPointF held = heldStartOf(QRectF(from, QSizeF(m.width, m.height)), rotationOf(m), label);
            m.startX = float(held.x());
            m.startY = float(held.y());
            if (held == from)
                m_pushedFrom.remove(m.id);
            else
                m_pushedFrom.insert(m.id, from);
        }
    });
}

// ---- Geometry ---------------------------------------------------------------

QRectF TemplateDocument::shownBox(const GraphicsModel &m)
{
    return turnedBox(geometryOf(m), rotationOf(m));
}

QPointF TemplateDocument::heldStart(const GraphicsModel &m, const QSizeF &label)
{
    return heldStartOf(geometryOf(m), rotationOf(m), label);
}

bool TemplateDocument::storeGeometry(GraphicsModel &m, const QRectF &mm)
{
    const QPointF held = heldStartOf(mm, rotationOf(m), QSizeF(m_model.printWidth, m_model.printHeight));
    bool changed = assign(m.width, float(mm.width()));
    changed |= assign(m.height, float(mm.height()));
    changed |= assign(m.startX, float(held.x()));
    changed |= assign(m.startY, float(held.y()));
    if (changed)
        m_pushedFrom.remove(m.id);
    return changed;
}

void TemplateDocument::setStart(const QString &id, Qt::Orientation axis, float mm)
{
    setOneSide(id, axis, mm, true);
}

void TemplateDocument::setSize(const QString &id, Qt::Orientation side, float mm)
{
    setOneSide(id, side, mm, false);
}

void TemplateDocument::setOneSide(const QString &id, Qt::Orientation axis, float mm, bool start)
{
    const GraphicsModel *m = find(id);
    if (!m)
        return;
    const bool x = axis == Qt::Horizontal;
    QRectF g = geometryOf(*m);
    if (start)
        g.moveTopLeft(x ? QPointF(mm, g.y()) : QPointF(g.x(), mm));
    else
        g.setSize(x ? QSizeF(mm, g.height()) : QSizeF(g.width(), mm));
    setGeometry(id, g);
}

void TemplateDocument::setGeometry(const QString &id, const QRectF &mm)
{
    GraphicsModel *m = find(id);
    // Asked for what it holds already, an element stays where it is, even one
    // a stored template left outside the label.
    if (!m || (float(mm.x()) == m->startX && float(mm.y()) == m->startY && float(mm.width()) == m->width
               && float(mm.height()) == m->height))
        return;
    if (storeGeometry(*m, mm))
        announce({id});
}

void TemplateDocument::resize(const QString &id, const QSizeF &mm)
{
    const GraphicsModel *m = find(id);
    if (!m)
        return;
    const QTransform turn = QTransform().rotate(rotationOf(*m));
    const QSizeF size = grownWithin(*m, turn, mm);
    const QPointF half((size.width() - m->width) / 2, (size.height() - m->height) / 2);
    const QPointF start = QPointF(m->startX, m->startY) - half + turn.map(half);
    setGeometry(id, QRectF(start, size));
}

QSizeF TemplateDocument::grownWithin(const GraphicsModel &m, const QTransform &turn, const QSizeF &mm) const
{
    // The corner that stays, and the ways its sides run on the label; only a
    // quarter turn keeps them along the label's edges.
    if (rotationOf(m) % 90 != 0)
        return mm;
    const QRectF own = geometryOf(m);
    const QPointF corner = own.center() + turn.map(QPointF(-own.width() / 2, -own.height() / 2));
    const QPointF along = turn.map(QPointF(1, 0)), down = turn.map(QPointF(0, 1));
    const auto room = [this, &corner](const QPointF &way) {
        if (qRound(way.x()) != 0)
            return way.x() > 0 ? m_model.printWidth - corner.x() : corner.x();
        return way.y() > 0 ? m_model.printHeight - corner.y() : corner.y();
    };
    // A side grows up to the label's edge, never past it; it never has to
    // shrink for being past it already.
    const auto limit = [](double wanted, double now, double room) {
        return wanted <= now || wanted <= room ? wanted : std::max(now, hundredthsBelow(room));
    };
    return QSizeF(limit(mm.width(), m.width, room(along)), limit(mm.height(), m.height, room(down)));
}

void TemplateDocument::set(const QStringList &ids, Field field, const QVariant &value)
{
    QStringList changedIds;
    for (const QString &id : ids) {
        GraphicsModel *m = find(id);
        if (!m)
            continue;
        const Fields titled = titledFields(*m);
        bool changed = false;
        switch (field) {
        case Field::Border:
            changed = assign(m->border, value.toFloat());
            break;
        case Field::Locked:
            changed = assign(m->lockstate, value.toBool());
            break;
        case Field::Title:
            changed = titled.title && assign(*titled.title, value.toString());
            break;
        case Field::Content:
            changed = titled.content && assign(*titled.content, value.toString());
            break;
        case Field::Fixed:
            changed = titled.fixed && assign(*titled.fixed, value.toBool());
            break;
        default:
            changed = m->type == ELEMENT_TEXT && setTextField(static_cast<TextModel &>(*m), field, value);
            // A turned text shows another box.
            if (changed && field == Field::Rotate)
                storeGeometry(*m, geometryOf(*m));
            break;
        }
        if (changed)
            changedIds << id;
    }
    announce(changedIds);
}

void TemplateDocument::toggle(const QStringList &ids, Field field)
{
    // One announcement for all of them: each would refill the text page.
    QStringList flipped;
    for (const QString &id : ids) {
        GraphicsModel *m = find(id);
        if (!m || m->type != ELEMENT_TEXT)
            continue;
        auto &text = static_cast<TextModel &>(*m);
        bool &style = field == Field::Bold ? text.bold : text.italic;
        style = !style;
        flipped << id;
    }
    announce(flipped);
}

// ---- Adding, pasting, removing ------------------------------------------------

template <typename Model>
QString TemplateDocument::add(Model element)
{
    if (element.id.isEmpty() || find(element.id))
        element.id = freshId();
    storeGeometry(element, geometryOf(element));
    elementList<Model>(m_model).append(element);
    announce({element.id});
    return element.id;
}

template QString TemplateDocument::add(RectangleModel);
template QString TemplateDocument::add(LineModel);
template QString TemplateDocument::add(CircleModel);
template QString TemplateDocument::add(TextModel);
template QString TemplateDocument::add(PictureModel);
template QString TemplateDocument::add(QrcodeModel);
template QString TemplateDocument::add(BarcodeModel);
template QString TemplateDocument::add(RectangleBgModel);

QStringList TemplateDocument::paste(const QStringList &ids, const std::optional<QPointF> &at)
{
    QStringList made;
    pasteFrom(m_model.rectangleModels, ids, at, made);
    pasteFrom(m_model.lineModels, ids, at, made);
    pasteFrom(m_model.circleModels, ids, at, made);
    pasteFrom(m_model.textModels, ids, at, made);
    pasteFrom(m_model.pictureModels, ids, at, made);
    pasteFrom(m_model.qrcodeModels, ids, at, made);
    pasteFrom(m_model.rectBgModels, ids, at, made);
    pasteFrom(m_model.barcodeModels, ids, at, made);
    announce(made);
    return made;
}

// A copy is its source in every property, so it lays out and prints alike;
// only its id, place, stacking, position lock and title are its own.
template <typename Model>
void TemplateDocument::pasteFrom(QList<Model> &list, const QStringList &ids, const std::optional<QPointF> &at,
                                 QStringList &made)
{
    const int sources = list.size();
    for (int i = 0; i < sources; ++i) {
        if (!ids.contains(list.at(i).id))
            continue;
        Model copy = list.at(i);
        copy.id = freshId();
        if (at) {
            copy.startX = float(at->x());
            copy.startY = float(at->y());
        } else {
            copy.startX += float(QRandomGenerator::global()->bounded(PASTE_SCATTER_MM));
            copy.startY += float(QRandomGenerator::global()->bounded(PASTE_SCATTER_MM));
        }
        copy.viewZ = 0;
        copy.lockstate = false;
        if constexpr (std::is_same_v<Model, TextModel>)
            copy.textTitle = pastedTitle(copy.textTitle, false);
        else if constexpr (std::is_same_v<Model, QrcodeModel> || std::is_same_v<Model, BarcodeModel>)
            copy.title = pastedTitle(copy.title, true);
        storeGeometry(copy, geometryOf(copy));
        list.append(copy);
        made << copy.id;
    }
}

// A text copy avoids the titles of texts; a code copy those of texts and
// codes alike, so two copies of one code never share a title.
QString TemplateDocument::pastedTitle(const QString &source, bool code) const
{
    QStringList taken;
    for (const TextModel &m : m_model.textModels)
        taken << m.textTitle;
    if (code) {
        for (const QrcodeModel &m : m_model.qrcodeModels)
            taken << m.title;
        for (const BarcodeModel &m : m_model.barcodeModels)
            taken << m.title;
    }
    return DefaultTitle::firstFree(source + QStringLiteral(" - 副本"), taken, taken.size());
}

QStringList TemplateDocument::remove(const QStringList &ids)
{
    QStringList files;
    for (const PictureModel &m : qAsConst(m_model.pictureModels)) {
        if (ids.contains(m.id))
            files << m.fileName;
    }
    QStringList removed;
    m_model.forEachElementList([&ids, &removed](auto &list) {
        for (auto it = list.begin(); it != list.end();) {
            if (ids.contains(it->id)) {
                removed << it->id;
                it = list.erase(it);
            } else {
                ++it;
            }
        }
    });
    for (const QString &id : qAsConst(removed))
        m_pushedFrom.remove(id);
    announce(removed);
    return files;
}

void TemplateDocument::raise(const QString &id)
{
    restack(id, true);
}

void TemplateDocument::lower(const QString &id)
{
    restack(id, false);
}

void TemplateDocument::restack(const QString &id, bool above)
{
    GraphicsModel *chosen = find(id);
    if (!chosen)
        return;
    const QRectF box = shownBox(*chosen);
    QStringList changedIds;
    m_model.forEachElementList([&](auto &list) {
        for (auto &m : list) {
            if (m.id == id || !shownBox(m).intersects(box))
                continue;
            if (!above)
                qDebug() << "collideItem's id is " << m.id;
            if (assign(m.viewZ, 0))
                changedIds << m.id;
        }
    });
    if (assign(chosen->viewZ, above ? chosen->viewZ + 1 : -1))
        changedIds.prepend(id);
    announce(changedIds);
}

// ---- Titles ----------------------------------------------------------------------

QString TemplateDocument::freeTextTitle(const QString &prefix) const
{
    QStringList taken;
    for (const TextModel &text : m_model.textModels)
        taken << text.textTitle;
    return DefaultTitle::firstFree(prefix, taken, m_model.textModels.size());
}

bool TemplateDocument::textTitleUsed(const QString &title) const
{
    return std::any_of(m_model.textModels.cbegin(), m_model.textModels.cend(),
                       [&title](const TextModel &m) { return m.textTitle == title; });
}
