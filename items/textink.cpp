#include "items/textink.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

// How many boxes of slanted glyphs are kept before they are forgotten.
const int MAX_SLANTED_BOXES = 100000;
// How far across a slanted glyph's ink may lie from its metric box, per
// unit up or down from the baseline, in the glyph's own units: its outline
// leans there, whatever the scale it is drawn at. The font engine slants a
// font without an italic of its own by about 0.2, and its metrics may lean
// or not; a font's own italic leans in its metrics already.
const qreal SLANT_ROOM = 0.25;
// And pixels more, for smoothing and hinting.
const qreal SMOOTHING_ROOM = 6;
// How often a picture is drawn larger because the ink reached its edge.
const int PICTURE_TRIES = 3;

// The end of the character that starts at i; a surrogate pair is one character.
int characterEnd(const QString &s, int i)
{
    return i + (i + 1 < s.size() && s.at(i).isHighSurrogate() && s.at(i + 1).isLowSurrogate() ? 2 : 1);
}

bool drawnAtItsAdvance(uint ucs4)
{
    constexpr uint LEFT_TO_RIGHT_OR_NEUTRAL = 1u << QChar::DirL | 1u << QChar::DirEN | 1u << QChar::DirES
        | 1u << QChar::DirET | 1u << QChar::DirCS | 1u << QChar::DirWS | 1u << QChar::DirON;
    constexpr uint PLACED_BY_OTHERS = 1u << QChar::Mark_NonSpacing | 1u << QChar::Mark_SpacingCombining
        | 1u << QChar::Mark_Enclosing | 1u << QChar::Other_Control | 1u << QChar::Other_Format
        | 1u << QChar::Other_Surrogate;
    return (LEFT_TO_RIGHT_OR_NEUTRAL >> QChar::direction(ucs4) & 1u)
        && !(PLACED_BY_OTHERS >> QChar::category(ucs4) & 1u);
}

// Where the ink of glyphs whose rooms are `rooms` ends toward one side,
// `look(i)` giving glyph i's ink. The glyph whose room reaches furthest
// that way is looked at first, then only those whose room still reaches
// beyond the ink found: across a line, the glyph at its end. NaN when none
// inks.
template<class Look>
qreal inkEnd(const QVector<QRectF> &rooms, TextInk::End end, const Look &look)
{
    // How far a box reaches toward that end: more is further.
    const auto reach = [end](const QRectF &r) { return end == TextInk::End::Right ? r.right() : -r.left(); };
    qreal found = -std::numeric_limits<qreal>::infinity();
    const auto lookAt = [&](int i) {
        const QRectF ink = look(i);
        if (!ink.isNull())
            found = std::max(found, reach(ink));
    };
    if (rooms.isEmpty())
        return std::numeric_limits<qreal>::quiet_NaN();
    const int furthest = int(std::max_element(rooms.begin(), rooms.end(),
                                              [&](const QRectF &a, const QRectF &b) { return reach(a) < reach(b); })
                             - rooms.begin());
    lookAt(furthest);
    for (int i = 0; i < rooms.size(); ++i) {
        if (i != furthest && reach(rooms.at(i)) > found)
            lookAt(i);
    }
    if (found == -std::numeric_limits<qreal>::infinity())
        return std::numeric_limits<qreal>::quiet_NaN();
    return end == TextInk::End::Right ? found : -found;
}

// Every glyph of the text as the painter lays it out (shaped, left to
// right whatever it begins with): `glyph(font, index, place)` with its
// place relative to the text's origin on the baseline.
template<class Glyph>
void forEachGlyph(const QFont &font, const QString &text, const Glyph &glyph)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;
    const qreal baseline = line.ascent();
    for (const QGlyphRun &run : layout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QVector<quint32> indexes = run.glyphIndexes();
        const QVector<QPointF> positions = run.positions();
        for (int i = 0; i < indexes.size(); ++i)
            glyph(font, indexes.at(i), QPointF(positions.at(i).x(), positions.at(i).y() - baseline));
    }
}

// Whether the font engine's glyph cache leans a slanted glyph drawn through
// the transform as its outline leans. The cache leans it after the
// transform and the outline before, so they agree only where the
// transform scales evenly, without turning or mirroring.
bool cacheLeansAsOutline(const QTransform &t)
{
    return t.type() <= QTransform::TxScale && t.m11() > 0 && qFuzzyCompare(t.m11(), t.m22());
}

// Draws glyphs from their outlines, as the painter draws a glyph too large
// for its cache: smoothed as text is. `glyphs(fill)` calls fill(outline,
// place) for each. Each glyph is filled alone: a line's outline filled
// whole costs tenfold.
template<class Glyphs>
void fillGlyphs(QPainter *painter, const Glyphs &glyphs)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, painter->testRenderHint(QPainter::TextAntialiasing));
    const QBrush ink = painter->pen().brush();
    glyphs([&](const QPainterPath &outline, const QPointF &at) { painter->fillPath(outline.translated(at), ink); });
    painter->restore();
}

// Draws a slanted glyph as TextInk::drawSlanted draws the text it is part of.
void drawSlantedGlyph(QPainter *painter, const QRawFont &font, quint32 glyph, const QPointF &at)
{
    if (!cacheLeansAsOutline(painter->combinedTransform())) {
        fillGlyphs(painter, [&](const auto &fill) { fill(font.pathForGlyph(glyph), at); });
        return;
    }
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes({glyph});
    run.setPositions({at});
    painter->drawGlyphRun(QPointF(), run);
}

// The inked pixels of a picture; null when there are none.
QRect inkedRect(const QImage &picture)
{
    const auto inked = [](uchar alpha) { return alpha != 0; };
    QRect rect;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar *line = picture.constScanLine(y);
        const uchar *end = line + picture.width();
        const uchar *first = std::find_if(line, end, inked);
        if (first == end)
            continue;
        const uchar *last =
            std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(first), inked).base();
        rect |= QRect(int(first - line), y, int(last - first), 1);
    }
    return rect;
}

} // namespace

TextInk::TextInk(const QFont &font, qreal scaleX, qreal scaleY)
    : m_font(font)
    , m_slanted(slanted(font))
    , m_scaleX(scaleX)
    , m_scaleY(scaleY)
    , m_metrics(font)
{
}

bool TextInk::slanted(const QFont &font)
{
    return font.style() != QFont::StyleNormal;
}

QVector<GlyphOutlines::Glyph> GlyphOutlines::glyphs(const QFont &font, const QString &text)
{
    if (font != m_font) {
        clear();
        m_font = font;
    }
    const auto it = m_texts.constFind(text);
    if (it != m_texts.constEnd())
        return *it;
    QVector<Glyph> glyphs;
    forEachGlyph(font, text, [&](const QRawFont &raw, quint32 glyph, const QPointF &at) {
        glyphs.append({outline(raw, glyph), at});
    });
    // A text without glyphs takes a place too: nothing is kept unbounded.
    const int places = std::max(1, int(glyphs.size()));
    if (m_places + places <= MAX_KEPT_PLACES) {
        m_places += places;
        m_texts.insert(text, glyphs);
    }
    return glyphs;
}

QPainterPath GlyphOutlines::outline(const QRawFont &font, quint32 glyph)
{
    int index = m_fonts.indexOf(font);
    if (index < 0) {
        if (m_outlines.size() >= MAX_KEPT)
            return font.pathForGlyph(glyph);
        index = m_fonts.size();
        m_fonts.append(font);
    }
    const quint64 key = quint64(index) << 32 | glyph;
    const auto it = m_outlines.constFind(key);
    if (it != m_outlines.constEnd())
        return *it;
    const QPainterPath outline = font.pathForGlyph(glyph);
    if (m_outlines.size() < MAX_KEPT)
        m_outlines.insert(key, outline);
    return outline;
}

void GlyphOutlines::clear()
{
    m_texts.clear();
    m_places = 0;
    m_fonts.clear();
    m_outlines.clear();
}

void TextInk::drawSlanted(QPainter *painter, const QFont &font, const QString &text, const QPointF &origin,
                          GlyphOutlines *outlines)
{
    painter->setFont(font);
    if (cacheLeansAsOutline(painter->combinedTransform())) {
        painter->drawText(origin, text);
        return;
    }
    fillGlyphs(painter, [&](const auto &fill) {
        if (outlines) {
            for (const GlyphOutlines::Glyph &g : outlines->glyphs(font, text))
                fill(g.outline, origin + g.at);
            return;
        }
        forEachGlyph(font, text, [&](const QRawFont &raw, quint32 glyph, const QPointF &at) {
            fill(raw.pathForGlyph(glyph), origin + at);
        });
    });
}

const TextInk::Character &TextInk::character(const QString &s, int from, int to)
{
    const bool pair = to - from == 2;
    const uint key = pair ? QChar::surrogateToUcs4(s.at(from), s.at(from + 1)) : s.at(from).unicode();
    const auto it = m_characters.constFind(key);
    if (it != m_characters.constEnd())
        return *it;
    Character c;
    const QString text = s.mid(from, to - from);
    c.advance = m_metrics.horizontalAdvance(text);
    const QRectF metricBox = pair ? m_metrics.boundingRect(text) : m_metrics.boundingRect(s.at(from));
    c.box = metricBox.isEmpty() ? metricBox : room(metricBox);
    c.plain = drawnAtItsAdvance(key);
    return *m_characters.insert(key, c);
}

bool TextInk::plainInk(const QString &s, int from, int to, StretchInk &ink, qreal &advance)
{
    QRectF box;
    qreal x = 0;
    for (int i = from; i < to;) {
        const int next = characterEnd(s, i);
        const Character &c = character(s, i, next);
        if (!c.plain)
            return false;
        if (!c.box.isEmpty())
            box |= c.box.translated(x, 0);
        x += c.advance;
        i = next;
    }
    const bool exact = !m_slanted || box.isNull();
    ink = {box, exact, exact};
    advance = x;
    return true;
}

void TextInk::sharpen(const QString &s, int from, int to, End end, StretchInk &ink)
{
    if (end == End::Left ? ink.leftExact : ink.rightExact)
        return;
    QVector<Placed> characters;
    qreal x = 0;
    for (int i = from; i < to;) {
        const int next = characterEnd(s, i);
        characters.append({s.mid(i, next - i), x});
        x += character(s, i, next).advance;
        i = next;
    }
    sharpen(characters, end, ink);
}

StretchInk TextInk::placedInk(const QVector<Placed> &characters)
{
    QRectF box;
    for (const Placed &p : characters) {
        const Character &c = character(p.text, 0, p.text.size());
        if (!c.box.isEmpty())
            box |= c.box.translated(p.x, 0);
    }
    const bool exact = !m_slanted || box.isNull();
    return {box, exact, exact};
}

void TextInk::sharpen(const QVector<Placed> &characters, End end, StretchInk &ink)
{
    bool &exact = end == End::Left ? ink.leftExact : ink.rightExact;
    if (exact)
        return;
    exact = true;
    QVector<QRectF> rooms;
    QVector<const Placed *> inked;
    for (const Placed &p : characters) {
        const Character &c = character(p.text, 0, p.text.size());
        if (!c.box.isEmpty()) {
            rooms.append(c.box.translated(p.x, 0));
            inked.append(&p);
        }
    }
    const qreal at = inkEnd(rooms, end, [&](int k) {
        const Placed &p = *inked.at(k);
        return drawnBox(QStringLiteral("c") + p.text, rooms.at(k).translated(-p.x, 0), [&](QPainter &painter) {
                   drawSlanted(&painter, m_font, p.text, QPointF());
               }).translated(p.x, 0);
    });
    if (std::isnan(at))
        ink = StretchInk();
    else if (end == End::Left)
        ink.box.setLeft(at);
    else
        ink.box.setRight(at);
}

QRectF TextInk::shapedInk(const QString &text)
{
    QRectF ink;
    // A slanted text's glyphs, each alone at the origin, and where they are set.
    QVector<QRectF> rooms;
    QVector<QPair<QRawFont, quint32>> glyphs;
    QVector<QPointF> places;
    forEachGlyph(m_font, text, [&](const QRawFont &font, quint32 glyph, const QPointF &at) {
        const QRectF box = font.boundingRect(glyph);
        if (box.isEmpty())
            return;
        ink |= box.translated(at);
        if (!m_slanted)
            return;
        rooms.append(room(box).translated(at));
        glyphs.append({font, glyph});
        places.append(at);
    });
    if (!m_slanted || ink.isNull())
        return ink;
    const auto look = [&](int k) {
        const QRawFont &font = glyphs.at(k).first;
        const quint32 glyph = glyphs.at(k).second;
        const QString key = QStringLiteral("g%1/%2/%3").arg(font.familyName()).arg(font.pixelSize()).arg(glyph);
        return drawnBox(key, rooms.at(k).translated(-places.at(k)), [&](QPainter &painter) {
                   drawSlantedGlyph(&painter, font, glyph, QPointF());
               }).translated(places.at(k));
    };
    const qreal left = inkEnd(rooms, End::Left, look);
    const qreal right = inkEnd(rooms, End::Right, look);
    if (std::isnan(left) || std::isnan(right))
        return QRectF();
    return QRectF(QPointF(left, ink.top()), QPointF(right, ink.bottom()));
}

// Up and down a slanted glyph's room takes the metrics' word, as for an
// upright glyph: a slant moves ink only across.
QRectF TextInk::room(const QRectF &box) const
{
    if (!m_slanted)
        return box;
    const qreal height = std::max(std::abs(box.top()), std::abs(box.bottom()));
    const qreal across = SLANT_ROOM * height + SMOOTHING_ROOM / m_scaleX;
    return box.adjusted(-across, 0, across, 0);
}

// The ink a glyph drawn at the origin puts down, looked at on a picture of
// it drawn at the line's scale, `room` telling where to look. Pictures are
// costly and a field is laid out again at the same sizes while it is
// edited, so the boxes found are kept for the process, by font, scale and
// what `what` names in it.
template<class Draw>
QRectF TextInk::drawnBox(const QString &what, const QRectF &room, const Draw &draw)
{
    static QHash<QString, QRectF> seen;
    if (m_pictureKey.isEmpty())
        m_pictureKey = QStringLiteral("%1/%2/%3/").arg(m_font.key()).arg(m_scaleX).arg(m_scaleY);
    const QString key = m_pictureKey + what;
    const auto it = seen.constFind(key);
    if (it != seen.constEnd())
        return *it;
    if (seen.size() >= MAX_SLANTED_BOXES)
        seen.clear();
    return *seen.insert(key, pictureBox(room, draw));
}

template<class Draw>
QRectF TextInk::pictureBox(const QRectF &room, const Draw &draw) const
{
    const QTransform scale = QTransform::fromScale(m_scaleX, m_scaleY);
    if (!scale.isInvertible())
        return room;
    const QRectF scaled = scale.mapRect(room);
    // Up and down a glyph may ink a little past its metrics, which the
    // margin takes in; ink at the picture's edge may go on beyond it, so
    // the picture is drawn again larger.
    qreal margin = scaled.height() / 8 + 4;
    for (int tries = 1;; ++tries, margin *= 4) {
        const QRect area = scaled.adjusted(-margin, -margin, margin, margin).toAlignedRect();
        if (area.isEmpty())
            return room;
        QImage picture(area.size(), QImage::Format_Alpha8);
        picture.fill(0);
        {
            QPainter painter(&picture);
            painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
            painter.translate(-area.left(), -area.top());
            painter.scale(m_scaleX, m_scaleY);
            draw(painter);
        }
        const QRect inked = inkedRect(picture);
        if (inked.isNull())
            return QRectF();
        const bool atEdge = inked.left() == 0 || inked.top() == 0 || inked.right() == picture.width() - 1
            || inked.bottom() == picture.height() - 1;
        if (!atEdge || tries == PICTURE_TRIES)
            return scale.inverted().mapRect(QRectF(inked.translated(area.topLeft())));
    }
}
