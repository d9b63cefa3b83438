#include "items/textlayout.h"

#include "items/textink.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTransform>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

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
// Nothing of a text beyond this many code units is laid out: more than a
// whole label of 1 mm type holds, so nothing legible is lost, and a text of
// any length costs no more than this, at every size auto-fit tries.
const int MAX_LAID_OUT = 100000;
// The text of a one-line field is flattened (line feeds taken out) this
// much at a time, only as far as measuring it needs.
const int FLAT_CHUNK = 4096;

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

// 64 bits, as are the other sums of spacings below: a row spacing may be
// anything up to the int range.
qint64 stackedHeight(int lineHeight, qint64 lines, int rowSpacing)
{
    return qint64(lineHeight) * lines + (lines - 1) * rowSpacing;
}

// --- characters by offset -----------------------------------------------
// The layout walks the text by offsets: a long text is never cut into a
// list of characters, and a surrogate pair is one character.

bool pairAt(const QString &s, int i)
{
    return i + 1 < s.size() && s.at(i).isHighSurrogate() && s.at(i + 1).isLowSurrogate();
}

// The end of the character that starts at i.
int nextChar(const QString &s, int i)
{
    return i + (pairAt(s, i) ? 2 : 1);
}

// The start of the character that ends at i.
int previousChar(const QString &s, int i)
{
    return (i >= 2 && pairAt(s, i - 2)) ? i - 2 : i - 1;
}

// i, or the end of the pair that i falls inside.
int boundaryFrom(const QString &s, int i)
{
    return (i > 0 && pairAt(s, i - 1)) ? i + 1 : i;
}

bool fullWidthAt(const QString &s, int i, bool uprightAscii, const QVector<QChar> &specialSymbols)
{
    if (pairAt(s, i)) {
        // A surrogate pair lies far above ASCII; it is special only when the
        // symbols name the pair itself.
        for (int k = 0; k + 1 < specialSymbols.size(); ++k) {
            if (specialSymbols.at(k) == s.at(i) && specialSymbols.at(k + 1) == s.at(i + 1))
                return false;
        }
        return true;
    }
    const QChar c = s.at(i);
    if (specialSymbols.contains(c))
        return false;
    return c.unicode() > LAST_HALF_WIDTH || uprightAscii;
}

// --- measuring ----------------------------------------------------------

// Where the painter sets the baseline origin of a character it centres in
// a cell: centred by its advance across and by the font's height down.
QPointF centredOrigin(const QFontMetricsF &fm, const QRectF &cell, const QString &ch)
{
    return QPointF(cell.x() + (cell.width() - fm.horizontalAdvance(ch)) / 2,
                   cell.y() + (cell.height() - (fm.ascent() + fm.descent())) / 2 + fm.ascent());
}

// Measures stretches of text exactly as the painter draws them: shaped,
// with the font's letter spacing after every character. Finding how much
// of a text fits a width this way would cost a measure of every prefix;
// instead single characters' advances, kept once each, guess where the
// stretch ends, and only around the guess is the stretch itself measured.
class Measure
{
public:
    // Lines measured for ink are drawn scaled by (scaleX, scaleY).
    explicit Measure(const QFont &font, qreal scaleX = 1, qreal scaleY = 1)
        : m_font(font)
        , m_fm(font)
        , m_exact(font)
        , m_ink(font, scaleX, scaleY)
    {
    }

    const QFont &font() const { return m_font; }
    const QFontMetrics &metrics() const { return m_fm; }

    // The advance in whole pixels, rounded as the metrics round it.
    int advance(const QString &s, int from, int to)
    {
        if (to <= from)
            return 0;
        const qint64 fixed = qRound64(exactAdvance(s, from, to, true) * 64);
        return int(std::floor((fixed + 32) / 64.0));
    }

    // The box the label format aligns a line by and stacks it with: the
    // metrics' bounding rectangle, which sets the glyphs at their bare
    // advances, with the letter spacing the painter puts after every
    // character, so the character n places on lies n spacings further along.
    QRectF alignmentBox(const QString &line) const
    {
        const QRect bare = m_fm.boundingRect(line);
        int characters = 0;
        for (int i = 0; i < line.size(); i = nextChar(line, i))
            ++characters;
        const qreal shift = (characters - 1) * m_font.letterSpacing();
        return QRectF(bare.left() + std::min(shift, 0.0), bare.top(), bare.width() + std::abs(shift), bare.height());
    }

    // The ink s[from, to) puts down, relative to its origin on the
    // baseline: every glyph's box where the painter sets it. The metrics'
    // box misses what the painter does with a tab, a mark or a glyph of a
    // fallback font, and drifts from the drawn advances along a long line.
    // Plain characters laid side by side are drawn at the sum of their own
    // advances, which the stretch's shaped advance confirms; anything else
    // is shaped and its glyphs looked at, and its ink is exact. The ends of
    // a slanted plain stretch's ink may be left to sharpen().
    StretchInk ink(const QString &s, int from, int to, bool *shaped = nullptr)
    {
        if (shaped)
            *shaped = true;
        StretchInk ink;
        qreal advance = 0;
        // Kerning or a ligature moved something.
        if (!m_ink.plainInk(s, from, to, ink, advance) || (to > from && advance != exactAdvance(s, from, to)))
            return {m_ink.shapedInk(s.mid(from, to - from))};
        if (shaped)
            *shaped = false;
        return ink;
    }

    // Up and down, where the character s[from, to) centred in a cell of
    // that height inks, relative to the cell's top: as its metrics say, for
    // a slant moves ink only across. Null when it inks nothing.
    QRectF cellInk(const QString &s, int from, int to, qreal cellHeight)
    {
        const QRectF box = m_ink.character(s, from, to).box;
        if (box.isEmpty())
            return QRectF();
        const qreal baseline = centredOrigin(m_exact, QRectF(0, 0, 0, cellHeight), QString()).y();
        return QRectF(0, baseline + box.top(), 1, box.height());
    }

    // Makes one end of the ink that ink() gave for s[from, to) exact.
    void sharpen(const QString &s, int from, int to, TextInk::End end, StretchInk &ink)
    {
        m_ink.sharpen(s, from, to, end, ink);
    }

    // The end of the longest stretch s[from, end) whose advance `fits`,
    // taking characters only while `inStretch(offset)` holds and never
    // beyond `limit`; `from` when not one character fits. The advance of a
    // stretch grows with it, so the stretches that fit are its prefixes.
    template<class InStretch, class Fits>
    int longestFitting(const QString &s, int from, int limit, const InStretch &inStretch, const Fits &fits)
    {
        const auto extendable = [&](int pos) { return pos < limit && inStretch(pos); };
        m_probes.clear();
        qreal guessed = 0;
        int end = from;
        while (extendable(end)) {
            const int next = nextChar(s, end);
            guessed += m_ink.character(s, end, next).advance;
            if (!fits(double(guessed)))
                break;
            end = next;
        }
        const auto fitsTo = [&](int to) { return fits(double(advance(s, from, to))); };
        // `good` fits (from itself: nothing), `bad` does not; -1 unknown.
        int good = from;
        int bad = -1;
        if (end > from) {
            if (fitsTo(end))
                good = end;
            else
                bad = end;
        }
        if (bad < 0) {
            // The guess was short or right: step on, twice as far each time.
            for (int step = 1; bad < 0; step *= 2) {
                if (!extendable(good))
                    return good;
                int probe = good;
                for (int k = 0; k < step && extendable(probe); ++k)
                    probe = nextChar(s, probe);
                if (fitsTo(probe))
                    good = probe;
                else
                    bad = probe;
            }
        } else {
            // The guess was long: step back the same way.
            for (int step = 1;; step *= 2) {
                int probe = bad;
                for (int k = 0; k < step && probe > from; ++k)
                    probe = previousChar(s, probe);
                if (probe <= from)
                    break;
                if (fitsTo(probe)) {
                    good = probe;
                    break;
                }
                bad = probe;
            }
        }
        while (nextChar(s, good) < bad) {
            int mid = boundaryFrom(s, good + (bad - good) / 2);
            if (mid <= good || mid >= bad)
                mid = nextChar(s, good);
            if (fitsTo(mid))
                good = mid;
            else
                bad = mid;
        }
        return good;
    }

private:
    // A stretch measured while fitting: the last line's own advance is
    // then at hand when its ink is asked for.
    struct Probe {
        const QChar *text;
        int from;
        int to;
        qreal advance;
    };

    // The shaped advance of s[from, to), kept while fitting one stretch.
    qreal exactAdvance(const QString &s, int from, int to, bool keep = false)
    {
        for (const Probe &p : qAsConst(m_probes)) {
            if (p.text == s.constData() && p.from == from && p.to == to)
                return p.advance;
        }
        const qreal advance = m_exact.horizontalAdvance(s.mid(from, to - from));
        if (keep)
            m_probes.append({s.constData(), from, to, advance});
        return advance;
    }

    QFont m_font;
    QFontMetrics m_fm;
    QFontMetricsF m_exact;
    TextInk m_ink;
    QVarLengthArray<Probe, 32> m_probes;
};

const auto ANY_CHARACTER = [](int) { return true; };

// --- auto-fit's tries ----------------------------------------------------

// Every line or column of a text. Where the part a label shows lies depends
// on all of them (centred and bottom-aligned stacks, centred and
// right-aligned lines, right-to-left runs), so the text is laid out whole,
// up to MAX_LAID_OUT.
const int ALL = std::numeric_limits<int>::max();

// Narrows lo < hi, where `atHigh` is false at lo, true at hi and turns
// once between, to where it turns: the first place it holds.
template<class AtHigh>
qint64 turningPoint(qint64 lo, qint64 hi, const AtHigh &atHigh)
{
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (atHigh(mid))
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

// The largest count n >= 0 for which `fits(n)`, given that it holds up to
// some count and not beyond; -1 when not even 0 fits, the int maximum when
// every count does.
template<class Fits>
int largestCount(const Fits &fits)
{
    if (!fits(0))
        return -1;
    const int top = std::numeric_limits<int>::max();
    qint64 good = 0;
    qint64 bad = 1;
    while (fits(bad)) {
        if (bad >= top)
            return top;
        good = bad;
        bad = std::min<qint64>(bad * 2, top);
    }
    return int(turningPoint(good, bad, [&](qint64 n) { return !fits(n); }) - 1);
}

// The first of `count` tries that fits. Tries are ordered from the largest
// size (or scale) down, so once one fits every later one does: a bisection
// finds it. The last try is taken when none fits, without being tried.
template<class Fits>
int firstFitting(int count, const Fits &fits)
{
    if (count <= 1 || fits(0))
        return 0;
    return int(turningPoint(0, count - 1, [&](qint64 i) { return fits(int(i)); }));
}

// As firstFitting, among the tries from `first` to `last`, looked for
// outward from `guess`: what fits near a good guess is found in a few tries.
template<class Fits>
int firstFittingFrom(int first, int last, int guess, const Fits &fits)
{
    guess = std::max(first, std::min(guess, last));
    // `good` fits, `bad` does not; first - 1 when none is known not to.
    int good = last;
    int bad = guess;
    if (guess == last || fits(guess)) {
        good = guess;
        bad = first - 1;
        for (int step = 1; good > first; step *= 2) {
            const int probe = std::max(first, good - step);
            if (!fits(probe)) {
                bad = probe;
                break;
            }
            good = probe;
        }
        if (bad < first)
            return good;
    } else {
        for (int step = 1; bad + step < last; step *= 2) {
            if (fits(bad + step)) {
                good = bad + step;
                break;
            }
            bad += step;
        }
    }
    return int(turningPoint(bad, good, [&](qint64 i) { return fits(int(i)); }));
}

// The pixel sizes auto-fit tries, from the font's own down to floor + 1. A
// font sized in points reads -1 and never shrinks.
int pixelSizeTries(const QFont &font, int floor)
{
    return std::max(1, font.pixelSize() - floor);
}

// The horizontal scales auto-fit tries: steps of 0.05, each taken in double
// and stored in single precision, down to the first at or below 0.1, or
// until a step no longer lowers the scale.
QVector<float> scaleTries(float sx, bool *endsAtFloor)
{
    QVector<float> tries{sx};
    *endsAtFloor = false;
    for (;;) {
        const float lowered = float(double(tries.last()) - 0.05);
        if (!(lowered < tries.last()))
            return tries;
        tries.append(lowered);
        if (double(lowered) <= SCALE_STEP_FLOOR) {
            *endsAtFloor = true;
            return tries;
        }
    }
}

// --- horizontal lines ---------------------------------------------------

struct LineSpan {
    int from = 0;
    int to = 0;
    // The line's ink, relative to its origin, and whether it had to be
    // shaped to find it.
    StretchInk ink;
    bool shaped = false;
};

struct LineRules {
    QRectF box;
    QRectF content;
    double wrapLimit = 0;
    int em = 0;
    int indentation = 0;
    qreal letterSpacing = 0;
    int align = 0;
    bool wrap = true;
};

// Where a line with this ink is drawn: left aligned at the content's left
// edge, the first line drawn one indentation further in; centred by its ink
// width; right aligned with its ink against the content's right edge.
double lineLeft(const LineRules &rules, const QRectF &ink, float sx, bool firstDrawn)
{
    const QRectF &content = rules.content;
    if (rules.align == -1) {
        if (firstDrawn)
            return std::trunc(content.left() + float(qint64(rules.em) * rules.indentation) * sx);
        return std::trunc(content.left());
    }
    if (rules.align == 0)
        return std::trunc(content.left() + (content.width() - float(ink.width()) * sx) / 2);
    return std::trunc(content.left() + content.width() - float(ink.right()) * sx);
}

// The box a line is aligned by: the label format's alignment box, unless
// the line had to be shaped to find its ink (a tab, a mark, a right to
// left run, kerning), where that box does not follow the drawing.
QRectF alignedBy(const QRectF &alignmentBox, const QRectF &ink, bool shaped)
{
    return shaped ? ink : alignmentBox;
}

// Whether r's end, on a line drawn from x, lies out of the box.
bool endOut(const LineRules &rules, double x, float sx, const QRectF &r, TextInk::End end)
{
    return end == TextInk::End::Left ? !(x + r.left() * double(sx) >= rules.box.left())
                                     : !(x + r.right() * double(sx) <= rules.box.right());
}

// Ink no wider than the box can lie inside it.
bool fitsAcross(const LineRules &rules, const QRectF &ink, float sx)
{
    return ink.width() * double(sx) <= rules.box.width();
}

// The ink of a slanted line is known with room to spare at its ends until
// a question needs them exact (TextInk): any ink inside a box that passes
// the questions below passes them too, so room that passes settles them.

// Whether neither end of the line's ink is out, by `out(ink box, end)`:
// an end out by its room is made exact to tell, unless not to `look`.
template<class Out>
bool neitherEndOut(Measure &measure, const QString &text, LineSpan &line, const Out &out, bool look = true)
{
    for (const TextInk::End end : {TextInk::End::Left, TextInk::End::Right}) {
        if (!out(line.ink.box, end))
            continue;
        if (!look)
            return false;
        measure.sharpen(text, line.from, line.to, end, line.ink);
        if (out(line.ink.box, end))
            return false;
    }
    return true;
}

void sharpenBothEnds(Measure &measure, const QString &text, LineSpan &line)
{
    for (const TextInk::End end : {TextInk::End::Left, TextInk::End::Right})
        measure.sharpen(text, line.from, line.to, end, line.ink);
}

// The left end first: a line's first glyph was most often looked at
// already, as the one that did not fit the line before.
bool inkFitsAcross(const LineRules &rules, Measure &measure, const QString &text, LineSpan &line, float sx,
                   bool look = true)
{
    for (const TextInk::End end : {TextInk::End::Left, TextInk::End::Right}) {
        if (fitsAcross(rules, line.ink.box, sx))
            return true;
        if (!look)
            return false;
        measure.sharpen(text, line.from, line.to, end, line.ink);
    }
    return fitsAcross(rules, line.ink.box, sx);
}

// Where a line is drawn: where its alignment box puts it, moved in as far
// as its ink would leave the box (a mark before the first letter, a
// slanted or overhanging glyph at either end), as long as that ink fits it.
double placedLeft(const LineRules &rules, Measure &measure, const QString &text, LineSpan &line,
                  const QRectF &box, float sx, bool firstDrawn)
{
    const double x = lineLeft(rules, box, sx, firstDrawn);
    if (line.ink.box.isNull() || !inkFitsAcross(rules, measure, text, line, sx))
        return x;
    if (!line.ink.exact()) {
        // Ink inside where the line stands does not move it.
        const bool inside = neitherEndOut(measure, text, line, [&](const QRectF &ink, TextInk::End end) {
            return endOut(rules, x, sx, ink, end);
        });
        if (inside || line.ink.box.isNull())
            return x;
        // Where the line moves, both ends decide how far.
        sharpenBothEnds(measure, text, line);
    }
    const QRectF &ink = line.ink.box;
    const double lowest = std::ceil(rules.box.left() - ink.left() * double(sx));
    const double highest = std::floor(rules.box.right() - ink.right() * double(sx));
    return std::max(lowest, std::min(x, highest));
}

// The text in lines, at most `maxLines` of them; true when more would
// follow. A wrapping line breaks after the character that takes its measure
// (its advance, one more letter spacing, and on the first line drawn the
// indentation) to the wrap limit, as long as that character's ink still
// lies inside the box where the line is drawn; otherwise that character
// starts the next line. A character that alone reaches the limit stands
// alone. A line whose ink would still be wider than the box (slanted or
// overhanging glyphs, marks) gives up characters until it is not. Empty
// lines are dropped.
//
// The first `exactLines` lines, as many as the box holds, are broken by
// their exact ink; later ones by their ink with room to spare, so such a
// line may leave for the next one a character that would have fitted. A
// text that long overflows the box, and a data row may bring thousands of
// its lines, each of which would cost a picture of a slanted glyph.
bool breakLines(const QString &text, Measure &measure, const LineRules &rules, float sx, int maxLines,
                int exactLines, QVector<LineSpan> &lines)
{
    lines.clear();
    // Both the alignment box and the ink, where the alignment box puts them.
    const auto inside = [&](LineSpan &line, bool firstDrawn, bool look) {
        const QRectF aligned = line.shaped ? QRectF() : measure.alignmentBox(text.mid(line.from, line.to - line.from));
        const QRectF box = alignedBy(aligned, line.ink.box, line.shaped);
        const double x = lineLeft(rules, box, sx, firstDrawn);
        const auto out = [&](const QRectF &r, TextInk::End end) { return endOut(rules, x, sx, r, end); };
        // No ink brings back an alignment box that is out.
        if (!box.isNull() && (out(box, TextInk::End::Left) || out(box, TextInk::End::Right)))
            return false;
        const auto bothOut = [&](const QRectF &ink, TextInk::End end) {
            return out(ink.isNull() ? box : box | ink, end);
        };
        return neitherEndOut(measure, text, line, bothOut, look);
    };
    int pos = 0;
    for (;;) {
        int end = text.indexOf(LINE_FEED, pos);
        if (end < 0)
            end = text.size();
        for (int from = pos; from < end;) {
            // The first line drawn is the one drawn indented, also when an
            // empty line before it was dropped.
            const bool firstDrawn = lines.isEmpty();
            const bool look = lines.size() < exactLines;
            const qint64 reserved = firstDrawn ? qint64(rules.em) * rules.indentation : 0;
            const auto width = [&](double advance) {
                return double(float(qint64(advance + rules.letterSpacing) + reserved) * sx);
            };
            LineSpan line{from, end, StretchInk(), false};
            bool measured = false;
            if (rules.wrap) {
                line.to = measure.longestFitting(text, from, end, ANY_CHARACTER,
                                                 [&](double a) { return width(a) < rules.wrapLimit; });
                if (line.to < end) {
                    LineSpan withIt{from, nextChar(text, line.to), StretchInk(), false};
                    withIt.ink = measure.ink(text, from, withIt.to, &withIt.shaped);
                    if (line.to == from || inside(withIt, firstDrawn, look)) {
                        line = withIt;
                        measured = true;
                    }
                }
            }
            if (lines.size() >= maxLines)
                return true;
            if (!measured)
                line.ink = measure.ink(text, from, line.to, &line.shaped);
            while (rules.wrap && !inkFitsAcross(rules, measure, text, line, sx, look)
                   && previousChar(text, line.to) > from) {
                line.to = previousChar(text, line.to);
                line.ink = measure.ink(text, from, line.to, &line.shaped);
            }
            lines.append(line);
            from = line.to;
        }
        if (end == text.size())
            return false;
        pos = end + 1;
    }
}

// The alignment box of each line of the text.
QVector<QRectF> alignmentBoxes(const QString &text, Measure &measure, const QVector<LineSpan> &spans)
{
    QVector<QRectF> boxes;
    boxes.reserve(spans.size());
    for (const LineSpan &span : spans)
        boxes.append(measure.alignmentBox(text.mid(span.from, span.to - span.from)));
    return boxes;
}

// The baselines of lines with these inks and alignment boxes, stacked as
// the label format stacks them and placed by the vertical alignment; when
// the ink of the stack would leave the box and is not taller than it, the
// stack moves in as a whole. False when the ink is taller than the box.
bool stackLines(const QRectF &content, const QRectF &box, int verticalAlign, const QFontMetrics &fm, int rs,
                float sy, const QVector<LineSpan> &lines, const QVector<QRectF> &boxes, QVector<double> &baselines)
{
    const int n = lines.size();
    double y = std::trunc((content.top() + fm.ascent()) * sy);
    const float total = float(stackedHeight(fm.height(), n, rs)) * sy;
    if (verticalAlign == 0)
        y = std::trunc(y + (content.height() - total) / 2);
    else if (verticalAlign != -1)
        y = std::trunc(y + content.height() - total);
    baselines.clear();
    QRectF inked;
    for (int i = 0; i < n; ++i) {
        baselines.append(y);
        const QRectF &ink = lines.at(i).ink.box;
        if (!ink.isNull())
            inked |= QRectF(0, y + ink.top() * double(sy), 1, ink.height() * double(sy));
        // The pitch follows the height of the line's alignment box.
        y = std::trunc(y + float(qint64(boxes.at(i).height()) + rs) * sy);
    }
    if (inked.isNull())
        return true;
    if (inked.height() > box.height())
        return false;
    double shift = 0;
    if (inked.top() < box.top())
        shift = std::ceil(box.top() - inked.top());
    else if (inked.bottom() > box.bottom())
        shift = -std::ceil(inked.bottom() - box.bottom());
    for (double &baseline : baselines)
        baseline += shift;
    return true;
}

// The text of a one-line field, its line feeds taken out, made only as far
// as it is asked for.
class FlatText
{
public:
    explicit FlatText(const QString &text)
        : m_text(text)
    {
    }

    // At least `size` code units of the flat text (all of it when shorter),
    // never ending inside a surrogate pair.
    const QString &upTo(int size)
    {
        while (m_pos < m_text.size() && m_flat.size() < size) {
            const QChar c = m_text.at(m_pos++);
            if (c != LINE_FEED)
                m_flat += c;
        }
        if (!m_flat.isEmpty() && m_flat.at(m_flat.size() - 1).isHighSurrogate() && m_pos < m_text.size()
            && m_text.at(m_pos).isLowSurrogate())
            m_flat += m_text.at(m_pos++);
        return m_flat;
    }
    bool complete() const { return m_pos >= m_text.size(); }

private:
    const QString &m_text;
    int m_pos = 0;
    QString m_flat;
};

// The end of the longest start of the flat text that `fits`, flattening
// only as much as measuring needs.
template<class Fits>
int longestFlatFitting(FlatText &flat, Measure &measure, const Fits &fits)
{
    // The text is at most MAX_LAID_OUT long, so the size never overflows.
    for (int size = FLAT_CHUNK;; size *= 4) {
        const QString &text = flat.upTo(size);
        const int end = measure.longestFitting(text, 0, text.size(), ANY_CHARACTER, fits);
        if (end < text.size() || flat.complete())
            return end;
    }
}

void layoutHorizontal(const TextLayoutInput &in, float sy, TextLayoutResult &out)
{
    const QRectF content = TextLayout::contentRect(in.rect);
    const int rs = in.rowSpacing;
    LineRules rules;
    rules.box = in.rect;
    rules.content = content;
    rules.align = in.horizontalAlign;
    rules.wrapLimit = content.width() - WRAP_MARGIN;
    rules.em = out.em;
    rules.indentation = in.indentation;
    rules.letterSpacing = in.font.letterSpacing();
    rules.wrap = in.wrap;
    const double maxHeight = content.height() + CONTENT_MARGIN;
    // Whether n lines of height h fit the field, and how many it holds;
    // all of them where lines pile up.
    const auto heightFits = [&](int h, qint64 n) { return toInt(float(stackedHeight(h, n, rs)) * sy) <= maxHeight; };
    const auto linesHeld = [&](int h) {
        return qint64(h) + rs > 0 ? largestCount([&](qint64 n) { return heightFits(h, n); }) : ALL;
    };
    const bool oneLine = in.adapted && !in.wrap;
    const auto fontOfSize = [&](int size) {
        QFont f = in.font;
        f.setPixelSize(size);
        return f;
    };

    QFont font = in.font;
    float sx = out.scaleX;
    // The scale the lines are broken at; auto-fit that ends at the scale
    // floor draws the lines of the step before it at the floor's scale.
    float breakScale = sx;
    QVector<LineSpan> spans;

    // Wrapped lines shrink in every mode (the scale in all but mode 1), one
    // line only in modes 1 and 2.
    if (in.adapted && (in.wrap || in.adaptedMode == 1 || in.adaptedMode == 2)) {
        // One line fits when its plain advance stays below the wrap limit;
        // wrapped lines when their stacked height stays within the field.
        // Either way its ink must fit the box as well.
        const auto fits = [&](const QFont &f, float scale) {
            Measure measure(f, scale, sy);
            if (oneLine) {
                FlatText flat(in.text);
                const auto below = [&](double a) { return double(float(a) * scale) < rules.wrapLimit; };
                const int end = longestFlatFitting(flat, measure, below);
                if (end != flat.upTo(0).size() || !flat.complete())
                    return false;
                const QString &line = flat.upTo(0);
                LineSpan whole{0, end, measure.ink(line, 0, end), false};
                if (!inkFitsAcross(rules, measure, line, whole, scale))
                    return false;
                // A smaller font is a lower line too: in a box lower than
                // the type, it shrinks until its ink fits top to bottom.
                // The scale of mode 2 leaves the height as it is.
                if (in.adaptedMode != 1)
                    return true;
                QVector<double> baselines;
                return stackLines(content, in.rect, in.verticalAlign, measure.metrics(), rs, sy, {whole},
                                  {measure.alignmentBox(line)}, baselines);
            }
            const int h = measure.metrics().height();
            if (qint64(h) + rs > 0) {
                const int held = linesHeld(h);
                if (breakLines(in.text, measure, rules, scale, held, held, spans))
                    return false;
            } else {
                // Lines that pile up: their count decides.
                breakLines(in.text, measure, rules, scale, ALL, ALL, spans);
                if (!heightFits(h, spans.size()))
                    return false;
            }
            for (LineSpan &span : spans) {
                if (!inkFitsAcross(rules, measure, in.text, span, scale))
                    return false;
            }
            QVector<double> baselines;
            return stackLines(content, in.rect, in.verticalAlign, measure.metrics(), rs, sy, spans,
                              alignmentBoxes(in.text, measure, spans), baselines);
        };
        if (in.adaptedMode == 1) {
            const int start = in.font.pixelSize();
            const int tries = pixelSizeTries(in.font, 0);
            const int k = firstFitting(tries, [&](int i) { return fits(fontOfSize(start - i), sx); });
            if (tries > 1)
                font = fontOfSize(start - k);
        } else {
            bool endsAtFloor = false;
            const QVector<float> scales = scaleTries(sx, &endsAtFloor);
            const int k = firstFitting(scales.size(), [&](int i) { return fits(font, scales.at(i)); });
            sx = scales.at(k);
            breakScale = (endsAtFloor && k == scales.size() - 1 && k > 0) ? scales.at(k - 1) : sx;
        }
    }

    Measure measure(font, sx, sy);
    out.font = font;
    out.scaleX = sx;
    if (oneLine) {
        FlatText flat(in.text);
        const QString &line = flat.upTo(ALL);
        spans.clear();
        if (!line.isEmpty()) {
            LineSpan span{0, int(line.size()), StretchInk(), false};
            span.ink = measure.ink(line, 0, line.size(), &span.shaped);
            spans = {span};
            out.lines.append(line);
        }
    } else {
        breakLines(in.text, measure, rules, breakScale, ALL, linesHeld(measure.metrics().height()), spans);
        out.lines.reserve(spans.size());
        for (const LineSpan &span : qAsConst(spans))
            out.lines.append(in.text.mid(span.from, span.to - span.from));
    }
    const QString &text = oneLine ? out.lines.value(0) : in.text;
    const QVector<QRectF> boxes = alignmentBoxes(text, measure, spans);
    QVector<double> baselines;
    stackLines(content, in.rect, in.verticalAlign, measure.metrics(), rs, sy, spans, boxes, baselines);
    for (int i = 0; i < spans.size(); ++i) {
        LineSpan &span = spans[i];
        const QRectF box = alignedBy(boxes.at(i), span.ink.box, span.shaped);
        // A line of a text that overflows the box, wholly above or below
        // it, has no ink in the box to keep there: where the ink is known
        // only with room to spare, its glyphs are not looked at (a long
        // data row holds thousands of such lines), and it stands where its
        // alignment box puts it.
        const double top = baselines.at(i) + span.ink.box.top() * double(sy);
        const double bottom = baselines.at(i) + span.ink.box.bottom() * double(sy);
        const bool beyondBox = !span.ink.exact() && (bottom <= in.rect.top() || top >= in.rect.bottom());
        const double x = beyondBox ? lineLeft(rules, box, sx, i == 0)
                                   : placedLeft(rules, measure, text, span, box, sx, i == 0);
        const QRectF drawn = span.ink.box.isNull() ? box : span.ink.box;
        out.ops.append({TextDrawOp::Line, out.lines.at(i), QPointF(x, baselines.at(i)), sx, sy, drawn});
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
        : m_cellHeight(qint64(fm.height()) + letterSpacing)
        , m_sy(sy)
    {
    }

    qint64 cellHeight() const { return m_cellHeight; }
    float cell() const { return float(m_cellHeight) * m_sy; }
    float run(double advance) const { return float(advance) * m_sy; }
    // The room an indentation of that many cells keeps, whole pixels.
    int indent(int cells) const { return toInt(float(qint64(cells) * m_cellHeight) * m_sy); }

private:
    qint64 m_cellHeight;
    float m_sy;
};

// A stretch down a column, in dots; empty where nothing inks.
struct Stretch {
    double top = std::numeric_limits<double>::max();
    double bottom = std::numeric_limits<double>::lowest();

    bool isEmpty() const { return top > bottom; }
    void add(const Stretch &s)
    {
        top = std::min(top, s.top);
        bottom = std::max(bottom, s.bottom);
    }
    // The length of this stretch and `s` together.
    double lengthWith(const Stretch &s) const
    {
        return s.isEmpty() ? bottom - top : std::max(bottom, s.bottom) - std::min(top, s.top);
    }
};

// How far the ink of a column reaches down it. A turned piece's glyphs may
// reach past its advance (in slanted type, lean past it) at either end; an
// upright character is taken to stay in its cell, whose head and foot its
// own ink seldom reaches. Both are first taken with room to spare; in
// slanted type they are looked at where that room leaves open whether the
// column's ink is no longer than the box, which is what a column needs to
// be moved along inside it.
class AlongInk
{
public:
    AlongInk(Measure &measure, const QString &s, double boxHeight, qreal cellHeight, float sy)
        : m_measure(measure)
        , m_text(s)
        , m_boxHeight(boxHeight)
        , m_cellHeight(cellHeight)
        , m_sy(sy)
    {
    }

    // Where the ink of a turned piece set at `at` reaches.
    Stretch turned(const StretchInk &ink, double at) const
    {
        if (ink.box.isNull())
            return Stretch();
        return {at + ink.box.left() * double(m_sy), at + ink.box.right() * double(m_sy)};
    }
    // Where the ink of the upright character s[from, to) in the cell whose
    // head is `at` reaches.
    Stretch upright(int from, int to, double at) const
    {
        const QRectF ink = m_measure.cellInk(m_text, from, to, m_cellHeight);
        if (ink.isNull())
            return Stretch();
        return {at + ink.top() * double(m_sy), at + ink.bottom() * double(m_sy)};
    }

    // The upright character s[from, to) in the cell whose head is `at`.
    void addCell(int from, int to, double at)
    {
        m_cells.push_back({from, to, at});
        m_room.add({at, at + m_cellHeight * double(m_sy)});
    }
    // The turned piece s[from, to) set at `at`, its ink as far as it was looked at.
    void addPiece(int from, int to, double at, const StretchInk &ink)
    {
        m_pieces.push_back({from, to, at, ink});
        m_room.add(turned(ink, at));
    }
    // Whether the column's ink with `more` is no longer than the box.
    bool holds(const Stretch &more)
    {
        if (more.isEmpty() || m_room.lengthWith(more) <= m_boxHeight)
            return true;
        lookAtAll();
        return m_ink.lengthWith(more) <= m_boxHeight;
    }
    // The column's ink with room to spare, and looked at.
    const Stretch &room() const { return m_room; }
    const Stretch &ink()
    {
        lookAtAll();
        return m_ink;
    }
    void clear()
    {
        m_cells.clear();
        m_pieces.clear();
        m_topCellInked = false;
        m_lookedFromTop = 0;
        m_lookedFromBottom = 0;
        m_lookedPieces = 0;
        m_room = Stretch();
        m_ink = Stretch();
    }

private:
    struct Cell {
        int from;
        int to;
        double at;
    };
    struct Piece {
        int from;
        int to;
        double at;
        StretchInk ink;
    };

    void lookAtAll()
    {
        // The cells follow each other down the column, each character in
        // its own: only the first and the last that ink reach furthest.
        for (; !m_topCellInked && m_lookedFromTop < m_cells.size(); ++m_lookedFromTop) {
            const Cell &c = m_cells[m_lookedFromTop];
            const Stretch ink = upright(c.from, c.to, c.at);
            m_topCellInked = !ink.isEmpty();
            m_ink.add(ink);
        }
        for (std::size_t i = m_cells.size(); i > m_lookedFromBottom; --i) {
            const Cell &c = m_cells[i - 1];
            const Stretch ink = upright(c.from, c.to, c.at);
            m_ink.add(ink);
            if (!ink.isEmpty())
                break;
        }
        m_lookedFromBottom = m_cells.size();
        for (; m_lookedPieces < m_pieces.size(); ++m_lookedPieces) {
            Piece &p = m_pieces[m_lookedPieces];
            for (const TextInk::End e : {TextInk::End::Left, TextInk::End::Right})
                m_measure.sharpen(m_text, p.from, p.to, e, p.ink);
            m_ink.add(turned(p.ink, p.at));
        }
    }

    Measure &m_measure;
    const QString &m_text;
    double m_boxHeight;
    qreal m_cellHeight;
    float m_sy;
    std::vector<Cell> m_cells;
    std::vector<Piece> m_pieces;
    // How far the cells were looked at from each end, and the pieces.
    bool m_topCellInked = false;
    std::size_t m_lookedFromTop = 0;
    std::size_t m_lookedFromBottom = 0;
    std::size_t m_lookedPieces = 0;
    // The column's ink with room to spare, and as far as it was looked at.
    Stretch m_room;
    Stretch m_ink;
};

// A turned piece of a column: where it ends, its ink as far as it was
// looked at, and whether the column's ink with it is no longer than the box.
struct TurnedPiece {
    int end = 0;
    StretchInk ink;
    bool held = true;

    // A piece whose ink nobody asked for.
    static TurnedPiece unmeasured(int end)
    {
        TurnedPiece piece;
        piece.end = end;
        return piece;
    }
};

// The paragraph s[from, to) in columns no longer than the content height,
// appending at most `room` of them; true when it held more. With indent its
// first column keeps room for the indentation and carries it. A column of
// slanted type also breaks before a turned character whose ink would make
// the column's ink longer than the box, as a line breaks before a
// character that would lean past its end; `tooTall` tells whether a turned
// character alone in its column is longer than that.
bool splitColumns(const TextLayoutInput &in, Measure &measure, const QString &s, int from, int to, bool indent,
                  int room, QList<stRowDataBlock> &columns, bool *tooTall = nullptr)
{
    const float sy = usableScale(in.scaleY);
    const ColumnPitch pitch(measure.metrics(), in.letterSpacing, sy);
    const double limit = TextLayout::contentRect(in.rect).height();
    const int reserved = indent ? pitch.indent(in.indentation) : 0;
    const auto fullWidth = [&](int pos) { return fullWidthAt(s, pos, in.uprightAscii, in.specialSymbols); };
    const auto halfWidth = [&](int pos) { return !fullWidth(pos); };
    const auto fitsFrom = [&](float at) {
        return [&pitch, at, limit](double advance) { return double(at + pitch.run(advance)) <= limit; };
    };
    const bool slanted = TextInk::slanted(measure.font());
    AlongInk along(measure, s, in.rect.height(), qreal(pitch.cellHeight()), sy);

    int added = 0;
    int columnStart = from;
    // Closes the column so far at `end`; false when there is no room for it.
    const auto close = [&](float length, int end) {
        if (added >= room)
            return false;
        stRowDataBlock column;
        column.length = toInt(std::ceil(length));
        column.text = s.mid(columnStart, end - columnStart);
        column.indent = added == 0 ? reserved : 0;
        columns.append(column);
        ++added;
        columnStart = end;
        along.clear();
        return true;
    };
    // The turned piece s[pieceStart, end) set at `at`, the ends of its ink
    // looked at only where their room leaves open whether the column holds it.
    const auto turnedPiece = [&](int pieceStart, int end, float at) {
        TurnedPiece piece{end, measure.ink(s, pieceStart, end), true};
        piece.held = along.holds(along.turned(piece.ink, at));
        for (const TextInk::End e : {TextInk::End::Right, TextInk::End::Left}) {
            if (piece.held)
                break;
            measure.sharpen(s, pieceStart, end, e, piece.ink);
            piece.held = along.holds(along.turned(piece.ink, at));
        }
        return piece;
    };
    // The longest start of s[pieceStart, end) that the column holds, set at `at`.
    const auto heldPiece = [&](int pieceStart, int end, float at) {
        for (; end > pieceStart; end = previousChar(s, end)) {
            TurnedPiece piece = turnedPiece(pieceStart, end, at);
            if (piece.held)
                return piece;
        }
        return TurnedPiece::unmeasured(pieceStart);
    };

    float u = float(reserved);
    for (int pos = from; pos < to;) {
        if (fullWidth(pos)) {
            const int next = nextChar(s, pos);
            // In slanted type, the cell first, the character's own ink where that does not tell.
            const auto held = [&] {
                return !slanted || along.holds({u, u + double(pitch.cell())})
                    || along.holds(along.upright(pos, next, u));
            };
            if (double(u + pitch.cell()) > limit || !held()) {
                if (!close(u, pos))
                    return true;
                u = 0;
            }
            if (slanted)
                along.addCell(pos, next, u);
            u += pitch.cell();
            pos = next;
            continue;
        }
        // A run broken over columns is drawn as one turned piece per column,
        // so each piece is measured whole, as it is drawn.
        float start = u;
        for (int pieceStart = pos;;) {
            int fitting = measure.longestFitting(s, pieceStart, to, halfWidth, fitsFrom(start));
            TurnedPiece piece = slanted ? heldPiece(pieceStart, fitting, start) : TurnedPiece::unmeasured(fitting);
            // Not one more character fits where the column stands: the
            // column closes, an empty one too where the character's advance
            // is longer than a column, but not where only its ink, alone in
            // its column, is longer than the box.
            if (piece.end == pieceStart && (columnStart < pieceStart || fitting == pieceStart)) {
                if (!close(start, pieceStart))
                    return true;
                start = 0;
                fitting = measure.longestFitting(s, pieceStart, to, halfWidth, fitsFrom(0));
                piece = slanted ? heldPiece(pieceStart, fitting, 0) : TurnedPiece::unmeasured(fitting);
            }
            if (piece.end == pieceStart) {
                piece = slanted ? turnedPiece(pieceStart, nextChar(s, pieceStart), start)
                                : TurnedPiece::unmeasured(nextChar(s, pieceStart));
                if (!piece.held && tooTall)
                    *tooTall = true;
            }
            if (slanted)
                along.addPiece(pieceStart, piece.end, start, piece.ink);
            const int end = piece.end;
            const float length = start + pitch.run(measure.advance(s, pieceStart, end));
            if (end == to || fullWidth(end)) {
                u = length;
                pos = end;
                break;
            }
            if (!close(length, end))
                return true;
            start = 0;
            pieceStart = end;
        }
    }
    return !close(u, to);
}

// The columns of every paragraph, at most `room`, in drawing order; true
// when the text held more. The first paragraph is the indented one in both
// directions; its first column carries the room it keeps, so drawing shifts
// exactly that. `tooTall` as for splitColumns.
bool buildColumns(const TextLayoutInput &in, Measure &measure, int room, QList<stRowDataBlock> &columns,
                  bool *tooTall = nullptr)
{
    columns.clear();
    if (tooTall)
        *tooTall = false;
    bool more = false;
    for (int pos = 0;;) {
        int end = in.text.indexOf(LINE_FEED, pos);
        if (end < 0)
            end = in.text.size();
        if (splitColumns(in, measure, in.text, pos, end, pos == 0, room - columns.size(), columns, tooTall)) {
            more = true;
            break;
        }
        if (end == in.text.size())
            break;
        pos = end + 1;
    }
    if (in.direction == 2)
        std::reverse(columns.begin(), columns.end());
    return more;
}

// A half-width run lies turned in the column with its line box centred
// across it: the baseline stands this far right of the column's left edge,
// before the horizontal scale.
double turnedBaseline(const QFontMetrics &fm, int columnWidth)
{
    return (columnWidth - fm.height()) / 2.0 + fm.descent();
}

// Upright glyphs' ink is read from their metrics, rounded out to whole
// dots (and, for a face the font engine emboldens itself, a little off):
// drawn, it may stop up to a dot short of them. A block of upright columns
// moves only for ink past that dot, so one whose ink was drawn inside the
// box stays where it stood. Slanted glyphs' ink is read from pictures.
const double UPRIGHT_INK_SLACK = 1;

// Across the block of columns: where a drawn column's ink lies, in dots.
// A turned run's ink across is its ink up and down, which its metrics give
// exactly. An upright character is taken to stay in its cell, a slanted one
// in its cell with room for any slant, until the column's characters are
// looked at; a cell is no character's ink, though: it is as wide as the
// font's widest character, in many a font twice an ideograph.
struct ColumnInk {
    // Upright characters, or one turned piece with its ink.
    struct Run {
        QString text;
        bool upright = true;
        StretchInk ink;
    };
    // The column's place in the list of columns, and its left edge.
    int column = 0;
    double x = 0;
    QVector<Run> runs;
    // The upright characters' ink, in units of the font from the page's
    // left edge (dots over the horizontal scale); null when it has none.
    StretchInk cells;
    // Whether `cells` is the characters' own ink rather than the cell's room.
    bool looked = false;
    // The turned runs' ink.
    double turnedLeft = std::numeric_limits<double>::max();
    double turnedRight = std::numeric_limits<double>::lowest();
};

// The left edge of drawn column i of n, where the label format sets it.
double columnLeft(const TextLayoutInput &in, int mw, int n, int i, float sx)
{
    const QRectF content = TextLayout::contentRect(in.rect);
    const int rs = in.rowSpacing;
    if (in.horizontalAlign == -1)
        return std::trunc(content.left() + float((qint64(mw) + rs) * i) * sx);
    if (in.horizontalAlign == 1) {
        const int m = n - i;
        return std::trunc(content.left() + content.width() - float(qint64(m) * mw + qint64(m - 1) * rs) * sx);
    }
    return std::trunc(content.left() + (content.width() - float(qint64(n) * mw) * sx) / 2
                      + float(i * (qint64(mw) + rs)) * sx);
}

// The drawn columns of a text at one size, across, as one block: where
// each stands and where its ink lies. The characters of a column are
// looked at only where the room left for their slant leaves a question
// open: the column reaching furthest toward an end of the box, seldom
// another.
class ColumnBlock
{
public:
    ColumnBlock(const TextLayoutInput &in, Measure &measure, const QList<stRowDataBlock> &columns, float sx, float sy)
        : m_in(in)
        , m_sx(sx)
        , m_metrics(measure.font())
        , m_ink(measure.font(), sx, sy)
    {
        const QFontMetrics &fm = measure.metrics();
        const int mw = fm.maxWidth();
        m_cell = QRectF(0, 0, mw, double(ColumnPitch(fm, in.letterSpacing, sy).cellHeight()));
        // A cell relative to the origin of its character (every character
        // has it on the same baseline), and where the character may ink in
        // it: in the cell, and where a font's widest character is narrower
        // than a full-width one (a monospaced font, whose ideographs come
        // from another), as far as a full-width character centred in it.
        const QRectF cellBox = m_cell.translated(0, -centredOrigin(m_metrics, m_cell, QString()).y());
        const qreal fullWidth = m_metrics.horizontalAdvance(FULLWIDTH_M.at(0));
        const QRectF fullWidthBox(cellBox.center().x() - fullWidth / 2, cellBox.top(), fullWidth, cellBox.height());
        const QRectF cellRoom = m_ink.room(cellBox | fullWidthBox);
        if (!TextInk::slanted(measure.font()))
            m_slack = UPRIGHT_INK_SLACK;
        const double baseline = turnedBaseline(fm, mw);
        const int n = columns.size();
        for (int k = 0, i = 0; k < n; ++k) {
            const QString &text = columns.at(k).text;
            if (text.isEmpty())
                continue;
            ColumnInk c;
            c.column = k;
            c.x = columnLeft(in, mw, n, i++, sx);
            bool hasCells = false;
            for (const QString &run : TextLayout::splitTextBySymbol(text, in.uprightAscii, in.specialSymbols)) {
                ColumnInk::Run r{run, TextLayout::isFullWidth(run, in.uprightAscii, in.specialSymbols), StretchInk()};
                if (r.upright) {
                    hasCells = hasCells || !run.isEmpty();
                } else {
                    r.ink = measure.ink(run, 0, run.size());
                    // Its ink up and down lies across the column, the top to the right.
                    if (!r.ink.box.isNull()) {
                        const double origin = c.x + baseline * sx;
                        c.turnedLeft = std::min(c.turnedLeft, origin - r.ink.box.bottom() * double(sx));
                        c.turnedRight = std::max(c.turnedRight, origin - r.ink.box.top() * double(sx));
                    }
                }
                c.runs.append(r);
            }
            if (hasCells)
                c.cells = {cellRoom.translated(c.x / double(sx), 0), false, false};
            m_columns.push_back(std::move(c));
        }
    }

    const std::vector<ColumnInk> &columns() const { return m_columns; }
    // An upright character's cell, in the font's units.
    const QRectF &cell() const { return m_cell; }

    // Whether the block's ink is no wider than the box: moved across in
    // whole dots, it stands inside it.
    bool fitsAcross()
    {
        if (m_columns.empty() || lowestShift() <= highestShift())
            return true;
        sharpen(End::Left);
        sharpen(End::Right);
        return lowestShift() <= highestShift();
    }

    // The width of the ink as far as it was looked at: exact once
    // fitsAcross() said it is wider than the box.
    double inkWidth() const { return blockReach(End::Left) + blockReach(End::Right); }

    // How far the block moves across so that its ink stays in the box: as
    // far as its ink leaves the box at one end, as long as the other end
    // leaves room. A block wider than the box keeps in the end its
    // alignment holds it by and runs past the other, as columns that do
    // not fit do.
    double shift()
    {
        if (m_columns.empty() || (!out(End::Left) && !out(End::Right)))
            return 0;
        // Ink inside the box where the block stands does not move it.
        for (const End e : {End::Left, End::Right}) {
            if (out(e))
                sharpen(e);
        }
        if (!out(End::Left) && !out(End::Right))
            return 0;
        // Where the block moves, both ends decide how far.
        sharpen(End::Left);
        sharpen(End::Right);
        const double lowest = lowestShift();
        const double highest = highestShift();
        if (lowest <= highest)
            return std::max(lowest, std::min(0.0, highest));
        if (m_in.horizontalAlign == 1)
            return std::min(0.0, highest);
        if (m_in.horizontalAlign == -1)
            return std::max(0.0, lowest);
        return 0;
    }

private:
    using End = TextInk::End;

    double endOf(const ColumnInk &c, End e) const
    {
        const StretchInk &cells = c.cells;
        if (e == End::Left)
            return std::min(cells.box.isNull() ? c.turnedLeft : cells.box.left() * double(m_sx), c.turnedLeft);
        return std::max(cells.box.isNull() ? c.turnedRight : cells.box.right() * double(m_sx), c.turnedRight);
    }
    // How far a column reaches toward an end: more is further.
    double reach(const ColumnInk &c, End e) const { return e == End::Left ? -endOf(c, e) : endOf(c, e); }
    double blockReach(End e) const
    {
        double furthest = std::numeric_limits<double>::lowest();
        for (const ColumnInk &c : m_columns)
            furthest = std::max(furthest, reach(c, e));
        return furthest;
    }
    bool out(End e) const
    {
        return blockReach(e) - m_slack > (e == End::Left ? -m_in.rect.left() : m_in.rect.right());
    }
    // The shifts that keep the ink inside the box, in whole dots, lie
    // between these.
    double lowestShift() const { return std::ceil(m_in.rect.left() + blockReach(End::Left) - m_slack); }
    double highestShift() const { return std::floor(m_in.rect.right() - blockReach(End::Right) + m_slack); }

    // The upright characters of a column, each where it is drawn.
    QVector<TextInk::Placed> cellsOf(const ColumnInk &c) const
    {
        QVector<TextInk::Placed> cells;
        for (const ColumnInk::Run &run : c.runs) {
            if (!run.upright)
                continue;
            for (const QString &ch : TextLayout::characters(run.text))
                cells.append({ch, c.x / double(m_sx) + centredOrigin(m_metrics, m_cell, ch).x()});
        }
        return cells;
    }

    // The column reaching furthest that way is looked at first, then those
    // whose room still reaches beyond the ink found.
    void sharpen(End e)
    {
        std::vector<ColumnInk *> byReach;
        for (ColumnInk &c : m_columns)
            byReach.push_back(&c);
        std::sort(byReach.begin(), byReach.end(),
                  [&](const ColumnInk *a, const ColumnInk *b) { return reach(*a, e) > reach(*b, e); });
        double found = std::numeric_limits<double>::lowest();
        for (ColumnInk *c : byReach) {
            if (reach(*c, e) <= found)
                break;
            if (!(e == End::Left ? c->cells.leftExact : c->cells.rightExact)) {
                const QVector<TextInk::Placed> cells = cellsOf(*c);
                if (!c->looked)
                    c->cells = m_ink.placedInk(cells);
                c->looked = true;
                m_ink.sharpen(cells, e, c->cells);
            }
            found = std::max(found, reach(*c, e));
        }
    }

    const TextLayoutInput &m_in;
    float m_sx;
    QFontMetricsF m_metrics;
    TextInk m_ink;
    QRectF m_cell;
    std::vector<ColumnInk> m_columns;
    // How far ink may reach past the box before it counts as out.
    double m_slack = 0;
};

void layoutVertical(const TextLayoutInput &in, float sy, TextLayoutResult &out)
{
    const QRectF content = TextLayout::contentRect(in.rect);
    const float sx = out.scaleX;
    const int rs = in.rowSpacing;
    // The width n columns take, as auto-fit compares it: n row spacings
    // less one pixel.
    const auto columnsWidth = [&](int mw, qint64 n) { return toInt(float(n * mw + n * rs - 1) * sx); };
    QList<stRowDataBlock> columns;
    // Whether the text's columns at the measure's size fit the width by
    // their cells and, in slanted type, each column's ink fits the box's
    // height; they are then all in `columns`.
    const auto cellsFit = [&](Measure &measure) {
        const int mw = measure.metrics().maxWidth();
        const auto widthFits = [&](qint64 n) { return !(columnsWidth(mw, n) > content.width()); };
        bool tooTall = false;
        if (qint64(mw) + rs > 0)
            return !buildColumns(in, measure, largestCount(widthFits), columns, &tooTall) && !tooTall;
        buildColumns(in, measure, ALL, columns, &tooTall);
        return widthFits(columns.size()) && !tooTall;
    };
    const int start = in.font.pixelSize();
    const int tries = in.adapted ? pixelSizeTries(in.font, 1) : 1;
    const auto fontOfTry = [&](int i) {
        QFont f = in.font;
        if (tries > 1)
            f.setPixelSize(start - i);
        return f;
    };
    // A turned run is drawn scaled by (sy, sx): the quarter turn swaps the
    // axes the scales act on.
    int k = firstFitting(tries, [&](int i) {
        Measure measure(fontOfTry(i), sy, sx);
        return cellsFit(measure);
    });

    std::optional<Measure> measure;
    std::optional<ColumnBlock> block;
    const auto layAt = [&](int i) {
        block.reset();
        measure.emplace(fontOfTry(i), sy, sx);
        buildColumns(in, *measure, ALL, columns);
        block.emplace(in, *measure, columns, sx, sy);
    };
    layAt(k);
    // Slanted characters lean past their cells: a block whose cells fit but
    // whose ink cannot stand inside the box shrinks on until it can, among
    // the smaller sizes, where the cells fit too.
    // Ink grows with its type, so the size at which it would just fit is
    // guessed from its width at this one, and looked for from there.
    if (TextInk::slanted(in.font) && k < tries - 1 && !block->fitsAcross()) {
        const double guess = std::floor((start - k) * in.rect.width() / block->inkWidth());
        k = firstFittingFrom(k + 1, tries - 1, std::isfinite(guess) ? start - int(guess) : k + 1, [&](int i) {
            Measure m(fontOfTry(i), sy, sx);
            return cellsFit(m) && ColumnBlock(in, m, columns, sx, sy).fitsAcross();
        });
        layAt(k);
    }

    const QFontMetrics &fm = measure->metrics();
    const int mw = fm.maxWidth();
    out.font = measure->font();
    out.columns = columns;
    const ColumnPitch pitch(fm, in.letterSpacing, sy);
    const double baseline = turnedBaseline(fm, mw);
    const QRectF &cell = block->cell();
    const bool slanted = TextInk::slanted(out.font);
    for (const ColumnInk &across : block->columns()) {
        const stRowDataBlock &column = columns.at(across.column);
        const double x = across.x;
        // y is the top of the next cell; every piece moves it down by exactly
        // what the splitter counted for it.
        float y = float(content.top()) + float(column.indent);
        if (in.verticalAlign == 1)
            y += float(content.height() - column.length);
        else if (in.verticalAlign != -1)
            y += float((content.height() - column.length) / 2);

        // How far down the column ink reaches: an upright character stays
        // in its cell, a turned run reaches as far as its glyphs do. In
        // slanted type, whose turned runs lean along the column, the
        // characters are looked at where that leaves the box, as the
        // splitter looked at them to keep the column's ink no longer than it.
        const int firstOp = out.ops.size();
        AlongInk along(*measure, column.text, in.rect.height(), cell.height(), sy);
        int at = 0;
        for (const ColumnInk::Run &run : across.runs) {
            if (run.upright) {
                for (const QString &ch : TextLayout::characters(run.text)) {
                    out.ops.append({TextDrawOp::Cell, ch, QPointF(x, y), sx, sy, cell});
                    along.addCell(at, at + ch.size(), y);
                    at += ch.size();
                    y += pitch.cell();
                }
            } else {
                // The quarter turn swaps the axes the scales act on, and
                // the column's width lies along the turned run's height.
                const int advance = fm.horizontalAdvance(run.text);
                const QPointF origin(x + baseline * sx, y);
                const QRectF room(0, baseline - mw, advance, mw);
                out.ops.append({TextDrawOp::TurnedRun, run.text, origin, sy, sx, room});
                along.addPiece(at, at + run.text.size(), y, run.ink);
                at += run.text.size();
                y += pitch.run(advance);
            }
        }
        const bool leaves = along.room().top < in.rect.top() || along.room().bottom > in.rect.bottom();
        const Stretch &reach = slanted && leaves ? along.ink() : along.room();
        const double inkTop = reach.top;
        const double inkBottom = reach.bottom;
        // A column whose ink would leave the box at one end moves in, as far
        // as the other end leaves room: the splitter fills a column by
        // advances, and a turned run's glyphs may reach a little past them.
        double shift = 0;
        if (inkTop < in.rect.top() && inkBottom < in.rect.bottom())
            shift = std::min(std::ceil(in.rect.top() - inkTop), std::floor(in.rect.bottom() - inkBottom));
        else if (inkBottom > in.rect.bottom() && inkTop > in.rect.top())
            shift = -std::min(std::ceil(inkBottom - in.rect.bottom()), std::floor(inkTop - in.rect.top()));
        for (int op = firstOp; op < out.ops.size(); ++op)
            out.ops[op].origin.ry() += shift;
    }
    const double shift = block->shift();
    for (TextDrawOp &op : out.ops)
        op.origin.rx() += shift;
}

// Where the painter puts an op's own coordinates.
QTransform opTransform(const TextDrawOp &op)
{
    QTransform t;
    t.translate(op.origin.x(), op.origin.y());
    if (op.kind == TextDrawOp::TurnedRun)
        t.rotate(90);
    t.scale(op.scaleX, op.scaleY);
    return t;
}

// The part of the painter's coordinates that reaches its device; null when
// it cannot be told.
QRectF visibleArea(QPainter *painter)
{
    const QPaintDevice *device = painter->device();
    if (!device || device->width() <= 0 || device->height() <= 0)
        return QRectF();
    bool invertible = false;
    const QTransform toPainter = painter->combinedTransform().inverted(&invertible);
    if (!invertible)
        return QRectF();
    QRectF area = toPainter.mapRect(QRectF(0, 0, device->width(), device->height()));
    if (painter->hasClipping())
        area &= painter->clipBoundingRect();
    return area;
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
        && specialSymbols == o.specialSymbols
        // A long text is compared only when it is not the same one.
        && (text.constData() == o.text.constData() ? text.size() == o.text.size() : text == o.text)
        && font == o.font;
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
    return ch.isEmpty() || fullWidthAt(ch, 0, uprightAscii, specialSymbols);
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
    // Measured at the scale the columns are drawn at, as the layout does.
    Measure measure(font, usableScale(in.scaleY), usableScale(in.scaleX));
    QList<stRowDataBlock> columns;
    splitColumns(in, measure, paragraph, 0, paragraph.size(), indent, std::numeric_limits<int>::max(), columns);
    return columns;
}

QStringList TextLayout::splitTextByLength(const TextLayoutInput &in, const QString &paragraph, bool indent)
{
    QStringList texts;
    for (const stRowDataBlock &column : splitRowDataBlockByLength(in, in.font, paragraph, indent))
        texts.append(column.text);
    return texts;
}

TextLayoutResult TextLayout::layout(const TextLayoutInput &input)
{
    const TextLayoutInput *used = &input;
    TextLayoutInput cut;
    if (input.text.size() > MAX_LAID_OUT) {
        cut = input;
        cut.text = input.text.left(pairAt(input.text, MAX_LAID_OUT - 1) ? MAX_LAID_OUT + 1 : MAX_LAID_OUT);
        used = &cut;
    }
    const TextLayoutInput &in = *used;
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

void TextLayout::draw(QPainter *painter, const TextLayoutResult &result, GlyphOutlines *outlines)
{
    painter->setFont(result.font);
    const QRectF visible = visibleArea(painter);
    const QFontMetricsF fm(result.font);
    const bool slanted = TextInk::slanted(result.font);
    // Ink may stray a little past the measured extents.
    const qreal margin = fm.height();
    for (const TextDrawOp &op : result.ops) {
        if (!visible.isNull()
            && !opTransform(op).mapRect(op.cell).adjusted(-margin, -margin, margin, margin).intersects(visible))
            continue;
        painter->save();
        painter->translate(op.origin);
        if (op.kind == TextDrawOp::TurnedRun)
            painter->rotate(90);
        painter->scale(op.scaleX, op.scaleY);
        if (slanted) {
            const QPointF at = op.kind == TextDrawOp::Cell ? centredOrigin(fm, op.cell, op.text) : QPointF();
            TextInk::drawSlanted(painter, result.font, op.text, at, outlines);
        } else if (op.kind == TextDrawOp::Cell) {
            painter->drawText(op.cell, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, op.text);
        } else {
            painter->drawText(0, 0, op.text);
        }
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
