#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainterPath>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;

// The glyphs that slanted text is drawn from where the glyph cache would
// lean it otherwise (TextInk::drawSlanted), kept for a view that draws the
// same text again and again: laying a text out and taking its glyphs'
// outlines from the font cost about as much as filling them. Kept for one
// font at a time, and at most MAX_KEPT outlines and MAX_KEPT_PLACES glyphs
// of texts; beyond those, they are taken afresh each time.
class GlyphOutlines
{
public:
    static constexpr int MAX_KEPT = 2048;
    static constexpr int MAX_KEPT_PLACES = 16384;

    // A glyph's outline, and its origin relative to the text's origin on
    // the baseline.
    struct Glyph {
        QPainterPath outline;
        QPointF at;
    };
    // The glyphs of the text as the painter lays it out in that font:
    // shaped, left to right whatever it begins with.
    QVector<Glyph> glyphs(const QFont &font, const QString &text);

private:
    QPainterPath outline(const QRawFont &font, quint32 glyph);
    void clear();

    QFont m_font;
    QHash<QString, QVector<Glyph>> m_texts;
    int m_places = 0;
    // The fonts the glyphs come from: the painter's and any it falls back on.
    QVector<QRawFont> m_fonts;
    QHash<quint64, QPainterPath> m_outlines;
};

// The ink of a stretch of text, relative to its origin on the baseline:
// every glyph's box where the painter sets it, up and down as the glyphs'
// metrics give it. Each end across is exact, or, while its flag is false,
// lies beyond the ink with room to spare: the glyphs of a slanted font are
// looked at only when a question needs it (see TextInk). Null when nothing
// is inked.
struct StretchInk {
    QRectF box;
    bool leftExact = true;
    bool rightExact = true;

    bool exact() const { return leftExact && rightExact; }
};

// Where text drawn with one font at one scale puts ink. An upright glyph
// inks its metric box. A slanted one does not: the font engine, above all
// for a font it slants itself, draws the glyph elsewhere across than its
// metrics say, so where it inks across is read from a picture of it drawn
// at the scale. A picture costs up to a tenth of a millisecond at label
// sizes, and a data row may bring thousands of distinct characters, which
// auto-fit measures again at every size it tries; so a slanted stretch's
// ink is first given from the metrics with room for any slant, which
// settles most questions a layout asks (does the line fit the box, does it
// stay inside where it is drawn). Only an end that does not settle one is
// made exact, and only the glyphs whose room reaches beyond the ink already
// found are drawn for it: that is the glyph at that end of a line, seldom
// another.
//
// A slanted text leans alike on every device, so the ink measured here is
// the ink drawn everywhere: the font engine's glyph cache, which the
// painter uses for glyphs small on its device, leans a glyph it slants
// itself after the painter's scale and turn, and the glyph's outline before
// them, so where the two part (a scale uneven across and down, a turn) the
// text is drawn from its outlines (drawSlanted).
class TextInk
{
public:
    enum class End { Left, Right };

    // Text measured for ink is drawn scaled by (scaleX, scaleY).
    TextInk(const QFont &font, qreal scaleX, qreal scaleY);

    // Italic or oblique.
    static bool slanted(const QFont &font);
    // Draws a slanted text with its origin on the baseline at `origin`, in
    // the painter's pen: as the painter draws it where that leans it as its
    // outline, else from the outlines of its glyphs as the painter lays
    // them out (shaped, left to right whatever it begins with), taken from
    // `outlines` when given.
    static void drawSlanted(QPainter *painter, const QFont &font, const QString &text, const QPointF &origin,
                            GlyphOutlines *outlines = nullptr);

    // One character as the painter sets it alone.
    struct Character {
        qreal advance = 0;
        // Its metric box when the font is upright; when it is slanted, a
        // box holding its ink with room for any slant.
        QRectF box;
        // Drawn where its own advance puts it, with its own glyph: not a
        // mark, a tab, a control or format character, nor right to left.
        bool plain = false;
    };

    // The character s[from, to), kept once measured.
    const Character &character(const QString &s, int from, int to);
    // Where a glyph whose metrics give `box` may ink: the box itself when
    // the font is upright, with room for any slant when it is not.
    QRectF room(const QRectF &box) const;

    // The ink of s[from, to) with its characters set side by side at their
    // own advances, and the sum of those advances. False, with nothing
    // given, when one of them is not plain: the stretch must then be shaped
    // to know its ink.
    bool plainInk(const QString &s, int from, int to, StretchInk &ink, qreal &advance);
    // Makes one end of the ink plainInk gave for s[from, to) exact.
    void sharpen(const QString &s, int from, int to, End end, StretchInk &ink);

    // A character drawn alone, its origin `x` along its baseline.
    struct Placed {
        QString text;
        qreal x = 0;
    };
    // The ink of characters each drawn alone where it is placed, with its
    // ends as plainInk gives them, and one end of it made exact.
    StretchInk placedInk(const QVector<Placed> &characters);
    void sharpen(const QVector<Placed> &characters, End end, StretchInk &ink);
    // The exact ink of a text laid out as the painter lays it out: shaped,
    // left to right whatever it begins with.
    QRectF shapedInk(const QString &text);

private:
    template<class Draw>
    QRectF drawnBox(const QString &what, const QRectF &room, const Draw &draw);
    template<class Draw>
    QRectF pictureBox(const QRectF &room, const Draw &draw) const;

    QFont m_font;
    // Italic or oblique.
    bool m_slanted;
    qreal m_scaleX;
    qreal m_scaleY;
    QFontMetricsF m_metrics;
    QHash<uint, Character> m_characters;
    // What the pictures of this font at this scale are kept under.
    QString m_pictureKey;
};
