#pragma once

#include "items/textink.h"

#include <QChar>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

class QFontMetrics;
class QPainter;

// One column of vertical text.
struct stRowDataBlock {
    // Pixels along the column taken by its content (the indentation's room
    // included), vertical scale included, rounded up.
    int length = 0;
    QString text;
    // Room kept at the head of the column for the first-line indentation;
    // only the first column of an indented paragraph has any.
    int indent = 0;

    bool operator==(const stRowDataBlock &o) const
    {
        return length == o.length && text == o.text && indent == o.indent;
    }
};

// Everything the layout of a text field depends on. Lengths are whole dots
// of the layout's own resolution (LAYOUT_DPI), whatever device the field is
// drawn on: the decisions (breaks, fitted size and scale, line widths) are
// made once there and each scene draws them scaled to its resolution, so
// the editor shows the breaks the page prints.
struct TextLayoutInput {
    QString text;
    QFont font = defaultFont();
    QRectF rect;
    int letterSpacing = 0;
    int rowSpacing = 0;
    int indentation = 0;
    int direction = 0;
    int horizontalAlign = 0;
    int verticalAlign = 0;
    bool adapted = false;
    int adaptedMode = 1;
    bool wrap = true;
    bool uprightAscii = false;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    QVector<QChar> specialSymbols;

    static QFont defaultFont();

    bool operator==(const TextLayoutInput &o) const;
    bool operator!=(const TextLayoutInput &o) const { return !(*this == o); }
};

// One piece of text to draw: the painter is translated to `origin`, turned a
// quarter clockwise for a turned run, scaled by (scaleX, scaleY), and the
// text drawn with its baseline at the origin, or centred in `cell`.
// Every op gives its cell, in the op's own coordinates: the ink of a line
// (at an end of a slanted line that nothing needed looked at, a box a
// little beyond it), the room in the column of a piece of vertical text.
struct TextDrawOp {
    enum Kind {
        Line,      // a horizontal line
        Cell,      // one upright character of vertical text
        TurnedRun, // a half-width run of vertical text, turned 90 degrees
    };
    Kind kind = Line;
    QString text;
    QPointF origin;
    qreal scaleX = 1.0;
    qreal scaleY = 1.0;
    QRectF cell;
};

struct TextLayoutResult {
    // The working font after auto-fit; the painter draws every op with it.
    QFont font;
    // The working horizontal scale after auto-fit.
    float scaleX = 1.0f;
    // Width of the fullwidth "Ｍ" in the field's own font: the unit of indentation.
    int em = 0;
    // Horizontal text: the lines drawn, in order.
    QStringList lines;
    // Vertical text: every column in drawing order, empty ones included.
    QList<stRowDataBlock> columns;
    QVector<TextDrawOp> ops;
};

// The text layout of a text field, horizontal in lines or vertical in
// columns, with wrapping, spacing, indentation, alignment and auto-fit. What
// it computes is exactly what prints, so it follows the font metrics and
// integer truncations of the label format to the dot. A line is measured as
// it is drawn (shaped, letter spacing included) and holds only what fits.
// Its ink (every glyph's box where the painter sets it: bearings, slant,
// tabs and marks as drawn) stays inside the field's box wherever it fits
// there, and auto-fit fits the ink too. Columns move across as a block,
// and each along its length, as far as their ink (not their cells, which
// are as wide as the font's widest character) leaves the box wherever it
// fits there. Where they break goes by their cells and advances; in
// slanted type, whose turned runs lean along the column, also before a
// character that would make a column's ink longer than the box, as a line
// breaks before one that would lean past its end. Auto-fit goes by the
// same, and for slanted type by whether the block's ink is no wider than
// the box. Single characters' advances only guess
// where to measure, so laying out costs a few measures a line; auto-fit's
// tries stop where a text is known to overflow, and only a text's first
// 100 000 characters are laid out.
class TextLayout
{
public:
    TextLayout() = delete;

    // The resolution every layout is made at: the printer's usual one, so a
    // page printed at it draws the layout 1:1.
    static constexpr int LAYOUT_DPI = 300;

    static TextLayoutResult layout(const TextLayoutInput &in);
    // Draws the ops with the result's font and whatever pen the painter has,
    // in the layout's dots: the painter scales them to its device. Ops that
    // lie wholly outside the device are skipped. Slanted glyphs drawn from
    // their outlines take them from `outlines` when given.
    static void draw(QPainter *painter, const TextLayoutResult &result, GlyphOutlines *outlines = nullptr);

    // The item rectangle moved in by 6 at the left and the top, 12 smaller
    // in width and height.
    static QRectF contentRect(const QRectF &rect);

    // The text's characters in order; a surrogate pair is one character.
    static QStringList characters(const QString &text);

    // Vertical text: a character is full-width (it stands upright) when it
    // lies above ASCII, or when upright ASCII is on, and is not a special symbol.
    static bool isFullWidthChar(const QString &ch, bool uprightAscii, const QVector<QChar> &specialSymbols);
    // True when every character of the run is full-width; true for "".
    static bool isFullWidth(const QString &run, bool uprightAscii, const QVector<QChar> &specialSymbols);
    // The text cut into alternating runs of full-width and half-width
    // characters; a text that begins full-width yields an empty first run.
    static QStringList splitTextBySymbol(const QString &text, bool uprightAscii, const QVector<QChar> &specialSymbols);

    // A paragraph cut into columns no longer than the content height,
    // measured with the given font; with indent the first column keeps room
    // for the indentation.
    static QList<stRowDataBlock> splitRowDataBlockByLength(const TextLayoutInput &in, const QFont &font,
                                                           const QString &paragraph, bool indent);
    // The texts of the columns, measured with the field's own font.
    static QStringList splitTextByLength(const TextLayoutInput &in, const QString &paragraph, bool indent);
};

// Keeps the last layout of one field: views repaint continuously, and a
// repaint with nothing changed must not lay the text out again, nor take
// the outlines its slanted glyphs are drawn from out of the font again.
class TextLayoutCache
{
public:
    const TextLayoutResult &get(const TextLayoutInput &in);
    GlyphOutlines &outlines() { return m_outlines; }
    // How many layouts were computed.
    int layoutCount() const { return m_count; }

private:
    bool m_valid = false;
    int m_count = 0;
    TextLayoutInput m_input;
    TextLayoutResult m_result;
    GlyphOutlines m_outlines;
};
