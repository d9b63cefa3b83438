#include "items/textlayout.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

const QChar LINE_FEED(0x000A);
// The unit of indentation, measured as a text: the measure of a text
// carries the font's letter spacing, so a spaced field indents by spaced ems.
const QString FULLWIDTH_M = QStringLiteral("\uFF2D");
// Half-width is ASCII up to the tilde.
const ushort LAST_HALF_WIDTH = 0x007E;
// The frame around the content and the extra margin of the wrap limit.
const int CONTENT_MARGIN = 6;
const int WRAP_MARGIN = 12;
// Compared in double: a scale of exactly 0.1f still lies above it.
const double SCALE_STEP_FLOOR = 0.1;

// A scale the layout can divide and step down from: 0, negative and not
// finite scales count as 1, or auto-fit could never end.
float usableScale(float s)
{
    return (std::isfinite(s) && s > 0.0f) ? s : 1.0f;
}

// A length as the layout truncates it toward zero. Stored templates may
// hold any number, so a result beyond the int range saturates instead of
// overflowing; every length of a sane field converts exactly as int() does.
int toInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v);
}

// One step of the horizontal scale: 0.05 less, taken in double and stored
// in single precision. False when the step no longer lowers the scale.
bool lowerScale(float &sx)
{
    const float lowered = float(double(sx) - 0.05);
    if (!(lowered < sx))
        return false;
    sx = lowered;
    return true;
}

// One step of the pixel size while the result stays above `floor`. A font
// sized in points reads -1 and never shrinks.
bool lowerPixelSize(QFont &font, int floor)
{
    if (font.pixelSize() - 1 <= floor)
        return false;
    font.setPixelSize(font.pixelSize() - 1);
    return true;
}

struct HorizontalWrap {
    const TextLayoutInput &in;
    double limit;
    int em;
    float sx;

    // Lines break after the character that reaches the limit, never before
    // it, and never inside a surrogate pair.
    QString operator()(const QFontMetrics &fm, const QFont &font) const
    {
        QString wrapped;
        QString line;
        bool firstLine = true;
        for (const QString &ch : TextLayout::characters(in.text)) {
            line += ch;
            if (in.wrap && reachesLimit(fm, font, line, firstLine)) {
                line += LINE_FEED;
                wrapped += line;
                line.clear();
                firstLine = false;
            }
            if (ch == LINE_FEED) {
                wrapped += line;
                line.clear();
                firstLine = false;
            }
        }
        wrapped += line;
        return wrapped;
    }

    // Measuring grows with the line, so only a wrapping field measures:
    // a long text in a field that does not wrap would cost a measure of
    // every prefix.
    bool reachesLimit(const QFontMetrics &fm, const QFont &font, const QString &line, bool firstLine) const
    {
        // 64 bits: an absurd indentation must not overflow.
        qint64 w = qint64(fm.horizontalAdvance(line) + font.letterSpacing());
        if (firstLine)
            w += qint64(em) * in.indentation;
        return double(float(w) * sx) >= limit;
    }
};

// 64 bits, as are the other sums of spacings below: a row spacing may be
// anything up to the int range.
qint64 stackedHeight(const QFontMetrics &fm, int lines, int rowSpacing)
{
    return qint64(fm.height()) * lines + qint64(lines - 1) * rowSpacing;
}

void layoutHorizontal(const TextLayoutInput &in, float sy, TextLayoutResult &out)
{
    const QRectF content = TextLayout::contentRect(in.rect);
    HorizontalWrap wrapText{in, content.width() - WRAP_MARGIN, out.em, out.scaleX};
    QFont font = in.font;
    QFontMetrics fm(font);
    QString wrapped = wrapText(fm, font);

    if (in.adapted && !in.wrap) {
        // One line: the wrap leaves the text as it is, so only the size or
        // scale it is drawn at is searched for.
        wrapped.remove(LINE_FEED);
        auto fits = [&] { return double(float(fm.horizontalAdvance(wrapped)) * wrapText.sx) < wrapText.limit; };
        while (!fits()) {
            if (in.adaptedMode == 1) {
                if (!lowerPixelSize(font, 0))
                    break;
                fm = QFontMetrics(font);
            } else if (in.adaptedMode == 2) {
                if (!lowerScale(wrapText.sx) || double(wrapText.sx) <= SCALE_STEP_FLOOR)
                    break;
            } else {
                break;
            }
        }
    } else if (in.adapted) {
        const double maxHeight = content.height() + CONTENT_MARGIN;
        for (;;) {
            const int n = wrapped.split(LINE_FEED, Qt::SkipEmptyParts).size();
            const int h = toInt(float(stackedHeight(fm, n, in.rowSpacing)) * sy);
            if (h <= maxHeight)
                break;
            if (in.adaptedMode == 1) {
                if (!lowerPixelSize(font, 0))
                    break;
                fm = QFontMetrics(font);
            } else {
                if (!lowerScale(wrapText.sx))
                    break;
                if (double(wrapText.sx) <= SCALE_STEP_FLOOR)
                    break;
            }
            wrapped = wrapText(fm, font);
        }
    }

    const float sx = wrapText.sx;
    out.font = font;
    out.scaleX = sx;
    out.lines = wrapped.split(LINE_FEED, Qt::SkipEmptyParts);
    const int n = out.lines.size();

    double y = std::trunc((content.top() + fm.ascent()) * sy);
    const float total = float(stackedHeight(fm, n, in.rowSpacing)) * sy;
    if (in.verticalAlign == 0)
        y = std::trunc(y + (content.height() - total) / 2);
    else if (in.verticalAlign != -1)
        y = std::trunc(y + content.height() - total);

    const qreal letterSpacing = font.letterSpacing();
    for (int i = 0; i < n; ++i) {
        const QString &line = out.lines.at(i);
        const QRect br = fm.boundingRect(line);
        double x;
        if (in.horizontalAlign == -1) {
            x = std::trunc(content.left());
            if (i == 0)
                x = std::trunc(content.left() + float(qint64(out.em) * in.indentation) * sx);
        } else {
            const float lw = float(br.width() - letterSpacing) * sx;
            if (in.horizontalAlign == 0)
                x = std::trunc(content.left() + (content.width() - lw) / 2);
            else
                x = std::trunc(content.left() + content.width() - lw);
        }
        out.ops.append({TextDrawOp::Line, line, QPointF(x, y), sx, sy, QRect()});
        y = std::trunc(y + float(qint64(br.height()) + in.rowSpacing) * sy);
    }
}

// How far each piece of vertical text reaches down its column, vertical
// scale included: an upright character a cell of the line height plus the
// letter spacing, a turned run its advance. The splitter and the drawing
// both measure with it, so a column holds exactly what is drawn in it.
class ColumnPitch
{
public:
    ColumnPitch(const QFontMetrics &fm, int letterSpacing, float sy)
        : m_fm(fm)
        , m_cellHeight(qint64(fm.height()) + letterSpacing)
        , m_sy(sy)
    {
    }

    qint64 cellHeight() const { return m_cellHeight; }
    float cell() const { return float(m_cellHeight) * m_sy; }
    float run(const QString &text) const { return float(m_fm.horizontalAdvance(text)) * m_sy; }
    // The room an indentation of that many cells keeps, whole pixels.
    int indent(int cells) const { return toInt(float(qint64(cells) * m_cellHeight) * m_sy); }

private:
    const QFontMetrics &m_fm;
    qint64 m_cellHeight;
    float m_sy;
};

QList<stRowDataBlock> buildColumns(const TextLayoutInput &in, const QFont &font, const QStringList &paragraphs)
{
    QList<stRowDataBlock> columns;
    for (int p = 0; p < paragraphs.size(); ++p) {
        // The first paragraph is the indented one in both directions; its
        // first column carries the room it keeps, so drawing shifts exactly that.
        columns += TextLayout::splitRowDataBlockByLength(in, font, paragraphs.at(p), p == 0);
    }
    if (in.direction == 2)
        std::reverse(columns.begin(), columns.end());
    return columns;
}

// A half-width run lies turned in the column with its line box centred
// across it: the baseline stands this far right of the column's left edge,
// before the horizontal scale.
double turnedBaseline(const QFontMetrics &fm, int columnWidth)
{
    return (columnWidth - fm.height()) / 2.0 + fm.descent();
}

void layoutVertical(const TextLayoutInput &in, float sy, TextLayoutResult &out)
{
    const QRectF content = TextLayout::contentRect(in.rect);
    const float sx = out.scaleX;
    const int rs = in.rowSpacing;
    const QStringList paragraphs = in.text.split(LINE_FEED);

    QFont font = in.font;
    QFontMetrics fm(font);
    int mw = fm.maxWidth();
    QList<stRowDataBlock> columns = buildColumns(in, font, paragraphs);

    if (in.adapted) {
        for (;;) {
            const int n = columns.size();
            const int w = toInt(float(qint64(n) * mw + qint64(n) * rs - 1) * sx);
            if (!(w > content.width()) || !lowerPixelSize(font, 1))
                break;
            fm = QFontMetrics(font);
            mw = fm.maxWidth();
            columns = buildColumns(in, font, paragraphs);
        }
    }

    out.font = font;
    out.columns = columns;
    const ColumnPitch pitch(fm, in.letterSpacing, sy);
    const double baseline = turnedBaseline(fm, mw);
    const QRectF cell(0, 0, mw, double(pitch.cellHeight()));
    const int n = columns.size();
    int i = 0;
    for (const stRowDataBlock &column : columns) {
        if (column.text.isEmpty())
            continue;
        double x;
        if (in.horizontalAlign == -1) {
            x = std::trunc(content.left() + float((qint64(mw) + rs) * i) * sx);
        } else if (in.horizontalAlign == 1) {
            const int m = n - i;
            x = std::trunc(content.left() + content.width() - float(qint64(m) * mw + qint64(m - 1) * rs) * sx);
        } else {
            x = std::trunc(content.left() + (content.width() - float(qint64(n) * mw) * sx) / 2
                           + float(i * (qint64(mw) + rs)) * sx);
        }
        // y is the top of the next cell; every piece moves it down by exactly
        // what the splitter counted for it.
        float y = float(content.top()) + float(column.indent);
        if (in.verticalAlign == 1)
            y += float(content.height() - column.length);
        else if (in.verticalAlign != -1)
            y += float((content.height() - column.length) / 2);

        const QStringList runs = TextLayout::splitTextBySymbol(column.text, in.uprightAscii, in.specialSymbols);
        for (const QString &run : runs) {
            if (TextLayout::isFullWidth(run, in.uprightAscii, in.specialSymbols)) {
                for (const QString &ch : TextLayout::characters(run)) {
                    out.ops.append({TextDrawOp::Cell, ch, QPointF(x, y), sx, sy, cell});
                    y += pitch.cell();
                }
            } else {
                // The quarter turn swaps the axes the scales act on, and
                // the column's width lies along the turned run's height.
                const QPointF origin(x + baseline * sx, y);
                const QRectF room(0, baseline - mw, fm.horizontalAdvance(run), mw);
                out.ops.append({TextDrawOp::TurnedRun, run, origin, sy, sx, room});
                y += pitch.run(run);
            }
        }
        ++i;
    }
}

} // namespace

QFont TextLayoutInput::defaultFont()
{
    return QFont(QStringLiteral("Arial"), 22);
}

bool TextLayoutInput::operator==(const TextLayoutInput &o) const
{
    // Cheap fields first: a repaint compares every field of every item.
    return rect == o.rect && letterSpacing == o.letterSpacing && rowSpacing == o.rowSpacing
        && indentation == o.indentation && direction == o.direction && horizontalAlign == o.horizontalAlign
        && verticalAlign == o.verticalAlign && adapted == o.adapted && adaptedMode == o.adaptedMode
        && wrap == o.wrap && uprightAscii == o.uprightAscii
        // Bitwise, so that a NaN scale still equals itself.
        && std::memcmp(&scaleX, &o.scaleX, sizeof scaleX) == 0 && std::memcmp(&scaleY, &o.scaleY, sizeof scaleY) == 0
        && specialSymbols == o.specialSymbols && text == o.text && font == o.font;
}

QRectF TextLayout::contentRect(const QRectF &rect)
{
    return QRectF(rect.x() + CONTENT_MARGIN, rect.y() + CONTENT_MARGIN, rect.width() - 2 * CONTENT_MARGIN,
                  rect.height() - 2 * CONTENT_MARGIN);
}

QStringList TextLayout::characters(const QString &text)
{
    QStringList chars;
    chars.reserve(text.size());
    for (int i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const int len = pair ? 2 : 1;
        chars.append(text.mid(i, len));
        i += len;
    }
    return chars;
}

bool TextLayout::isFullWidthChar(const QString &ch, bool uprightAscii, const QVector<QChar> &specialSymbols)
{
    if (ch.isEmpty())
        return true;
    if (ch.size() == 1) {
        if (specialSymbols.contains(ch.at(0)))
            return false;
        return ch.at(0).unicode() > LAST_HALF_WIDTH || uprightAscii;
    }
    // A surrogate pair lies far above ASCII; it is special only when the
    // symbols name the pair itself.
    for (int i = 0; i + 1 < specialSymbols.size(); ++i) {
        if (specialSymbols.at(i) == ch.at(0) && specialSymbols.at(i + 1) == ch.at(1))
            return false;
    }
    return true;
}

bool TextLayout::isFullWidth(const QString &run, bool uprightAscii, const QVector<QChar> &specialSymbols)
{
    const QStringList chars = characters(run);
    return std::all_of(chars.begin(), chars.end(), [&](const QString &ch) {
        return isFullWidthChar(ch, uprightAscii, specialSymbols);
    });
}

QStringList TextLayout::splitTextBySymbol(const QString &text, bool uprightAscii, const QVector<QChar> &specialSymbols)
{
    QStringList runs;
    QString run;
    bool inFullWidth = false;
    for (const QString &ch : characters(text)) {
        if (isFullWidthChar(ch, uprightAscii, specialSymbols)) {
            if (!inFullWidth) {
                runs.append(run);
                run.clear();
            }
            inFullWidth = true;
        } else {
            if (inFullWidth && !run.isEmpty()) {
                runs.append(run);
                run.clear();
            }
            inFullWidth = false;
        }
        run += ch;
    }
    if (!run.isEmpty())
        runs.append(run);
    return runs;
}

QList<stRowDataBlock> TextLayout::splitRowDataBlockByLength(const TextLayoutInput &in, const QFont &font,
                                                            const QString &paragraph, bool indent)
{
    const QFontMetrics fm(font);
    const ColumnPitch pitch(fm, in.letterSpacing, usableScale(in.scaleY));
    const double limit = contentRect(in.rect).height();

    QList<stRowDataBlock> columns;
    QString current;
    const int reserved = indent ? pitch.indent(in.indentation) : 0;
    float u = float(reserved);
    auto close = [&](float length) {
        stRowDataBlock column;
        column.length = toInt(std::ceil(length));
        column.text = current;
        column.indent = columns.isEmpty() ? reserved : 0;
        columns.append(column);
        current.clear();
    };

    const QStringList runs = splitTextBySymbol(paragraph, in.uprightAscii, in.specialSymbols);
    for (const QString &run : runs) {
        if (isFullWidth(run, in.uprightAscii, in.specialSymbols)) {
            for (const QString &ch : characters(run)) {
                if (double(u + pitch.cell()) > limit) {
                    close(u);
                    u = 0;
                }
                u += pitch.cell();
                current += ch;
            }
            continue;
        }
        // A run broken over columns is drawn as one turned piece per column,
        // so each piece is measured whole, as it is drawn.
        float start = u;
        QString piece;
        for (const QString &ch : characters(run)) {
            if (double(start + pitch.run(piece + ch)) > limit) {
                close(start + pitch.run(piece));
                start = 0;
                piece.clear();
            }
            piece += ch;
            current += ch;
        }
        u = start + pitch.run(piece);
    }
    close(u);
    return columns;
}

QStringList TextLayout::splitTextByLength(const TextLayoutInput &in, const QString &paragraph, bool indent)
{
    QStringList texts;
    for (const stRowDataBlock &column : splitRowDataBlockByLength(in, in.font, paragraph, indent))
        texts.append(column.text);
    return texts;
}

TextLayoutResult TextLayout::layout(const TextLayoutInput &in)
{
    TextLayoutResult out;
    out.font = in.font;
    out.scaleX = usableScale(in.scaleX);
    out.em = QFontMetrics(in.font).horizontalAdvance(FULLWIDTH_M);
    const float sy = usableScale(in.scaleY);
    if (in.direction == 0)
        layoutHorizontal(in, sy, out);
    else
        layoutVertical(in, sy, out);
    return out;
}

void TextLayout::draw(QPainter *painter, const TextLayoutResult &result)
{
    painter->setFont(result.font);
    for (const TextDrawOp &op : result.ops) {
        painter->save();
        painter->translate(op.origin);
        if (op.kind == TextDrawOp::TurnedRun)
            painter->rotate(90);
        painter->scale(op.scaleX, op.scaleY);
        if (op.kind == TextDrawOp::Cell)
            painter->drawText(op.cell, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, op.text);
        else
            painter->drawText(0, 0, op.text);
        painter->restore();
    }
}

const TextLayoutResult &TextLayoutCache::get(const TextLayoutInput &in)
{
    if (!m_valid || m_input != in) {
        m_result = TextLayout::layout(in);
        m_input = in;
        m_valid = true;
        ++m_count;
    }
    return m_result;
}
