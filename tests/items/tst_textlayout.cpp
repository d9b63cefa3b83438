#include "items/textink.h"
#include "items/textlayout.h"
#include "support/testfonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

using namespace TestSupport;

namespace {

const QVector<QChar> SYMBOLS{QChar(0xFF08), QChar(0xFF09), QChar(0x3010), QChar(0x3011), QChar(0x300A),
                             QChar(0x300B), QChar(0x2014), QChar(0x002D), QChar(0x2026)};
// U+20BB7 and U+2000B, CJK Extension B: one character, two code units each.
const QString EXT_B_1 = QString::fromUcs4(U"\U00020BB7");
const QString EXT_B_2 = QString::fromUcs4(U"\U0002000B");

TextLayoutInput input(const QString &text, int width, int height, int pixelSize = 24)
{
    TextLayoutInput in;
    in.text = text;
    in.font = pinnedFont(zenHeiFamily(), pixelSize);
    in.rect = QRectF(0, 0, width, height);
    in.horizontalAlign = -1;
    in.verticalAlign = -1;
    in.specialSymbols = SYMBOLS;
    return in;
}

// The width the wrapper measures for a line, before the horizontal scale.
int wrapWidth(const TextLayoutInput &in, const QFont &font, int em, const QString &line, bool firstLine)
{
    const QFontMetrics fm(font);
    int w = int(fm.horizontalAdvance(line) + font.letterSpacing());
    if (firstLine)
        w += em * in.indentation;
    return w;
}

bool reachesLimit(const TextLayoutInput &in, const TextLayoutResult &r, const QString &line, bool firstLine)
{
    const double limit = in.rect.width() - 24;
    return double(float(wrapWidth(in, r.font, r.em, line, firstLine)) * r.scaleX) >= limit;
}

bool hasLoneSurrogate(const QString &s)
{
    for (int i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && !(i + 1 < s.size() && s.at(i + 1).isLowSurrogate()))
            return true;
        if (s.at(i).isLowSurrogate() && !(i > 0 && s.at(i - 1).isHighSurrogate()))
            return true;
    }
    return false;
}

int stackedHeight(const QFont &font, int lines, int rowSpacing, float sy)
{
    return int(float(QFontMetrics(font).height() * lines + (lines - 1) * rowSpacing) * sy);
}

QList<TextDrawOp> opsOfKind(const TextLayoutResult &r, TextDrawOp::Kind kind)
{
    QList<TextDrawOp> ops;
    for (const TextDrawOp &op : r.ops)
        if (op.kind == kind)
            ops.append(op);
    return ops;
}

// Ops grouped by the column they stand in: the left edge of their cell on
// the device.
QMap<int, QList<TextDrawOp>> opsByColumn(const TextLayoutResult &r)
{
    QMap<int, QList<TextDrawOp>> columns;
    for (const TextDrawOp &op : r.ops) {
        QTransform t;
        t.translate(op.origin.x(), op.origin.y());
        if (op.kind == TextDrawOp::TurnedRun)
            t.rotate(90);
        t.scale(op.scaleX, op.scaleY);
        columns[qRound(t.mapRect(op.cell).left())].append(op);
    }
    return columns;
}

// The pixels darker than `below` that `draw` puts on a white picture of
// `area`, in the area's coordinates.
template <typename Draw>
QRect inkedIn(const QRect &area, int below, const Draw &draw)
{
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    painter.translate(-area.topLeft());
    draw(painter);
    painter.end();
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < below)
                ink |= QRect(x, y, 1, 1);
    return ink.translated(area.topLeft());
}

// The ink of a layout drawn on white, in the field's coordinates.
QRect drawnInk(const TextLayoutResult &r, const QSize &size)
{
    return inkedIn(QRect(QPoint(), size), 160, [&](QPainter &painter) { TextLayout::draw(&painter, r); });
}

// Where the text drawn as a line at the origin with the font at the scale
// inks at all, across, in the font's own units; null when it inks nothing.
QRectF drawnAcross(const QFont &font, qreal sx, qreal sy, const QString &text)
{
    const qreal margin = font.pixelSize() * 2 * std::max(sx, sy);
    TextLayoutResult line;
    line.font = font;
    line.ops = {{TextDrawOp::Line, text, QPointF(), sx, sy, QFontMetricsF(font).boundingRect(text)}};
    const QRect area = QTransform::fromScale(sx, sy)
                           .mapRect(line.ops.first().cell)
                           .adjusted(-margin, -margin, margin, margin)
                           .toAlignedRect();
    const QRect ink = inkedIn(area, 255, [&](QPainter &painter) { TextLayout::draw(&painter, line); });
    return ink.isNull() ? QRectF() : QRectF(ink.left() / sx, 0, ink.width() / sx, 1);
}

} // namespace

class TestTextLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(loadPinnedFonts()); }

    // --- horizontal wrapping -------------------------------------------------

    void wrapFillsEachLineToTheLimitAndGivesBackTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("indentation");
        QTest::addColumn<int>("letterSpacing");
        QTest::addColumn<float>("scaleX");
        QTest::addColumn<int>("align");
        QTest::newRow("chinese") << QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用") << 200 << 0 << 0 << 1.0f << -1;
        QTest::newRow("indented") << QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用") << 200 << 2 << 0 << 1.0f << -1;
        QTest::newRow("indented centre") << QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用") << 200 << 2 << 0 << 1.0f << 0;
        QTest::newRow("spaced") << QStringLiteral("Archive box 2024-07 第3卷 共12页 and more words here") << 180 << 0 << 5 << 1.0f << -1;
        QTest::newRow("scaled") << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") << 150 << 1 << 2 << 0.6f << 1;
        QTest::newRow("surrogates") << (EXT_B_1 + QStringLiteral("张") + EXT_B_2 + EXT_B_1 + QStringLiteral("李王") + EXT_B_2
                                        + EXT_B_1 + EXT_B_2 + QStringLiteral("赵") + EXT_B_1)
                                    << 80 << 0 << 0 << 1.0f << -1;
    }

    void wrapFillsEachLineToTheLimitAndGivesBackTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(int, indentation);
        QFETCH(int, letterSpacing);
        QFETCH(float, scaleX);
        QFETCH(int, align);
        TextLayoutInput in = input(text, width, 400);
        in.indentation = indentation;
        in.letterSpacing = letterSpacing;
        in.font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
        in.scaleX = scaleX;
        in.horizontalAlign = align;

        const TextLayoutResult r = TextLayout::layout(in);
        QVERIFY(r.lines.size() > 2);
        QCOMPARE(r.lines.join(QString()), text);
        for (int i = 0; i < r.lines.size(); ++i) {
            const QString &line = r.lines.at(i);
            QVERIFY2(!hasLoneSurrogate(line), qPrintable(line));
            const QStringList chars = TextLayout::characters(line);
            // Every proper prefix stays below the limit: a line breaks at the
            // first character that reaches it, and not before...
            QString prefix;
            for (int c = 0; c + 1 < chars.size(); ++c) {
                prefix += chars.at(c);
                QVERIFY2(!reachesLimit(in, r, prefix, i == 0), qPrintable(prefix));
            }
            // ...after it, or before it where its ink would leave the box.
            if (i + 1 < r.lines.size()) {
                const QString next = TextLayout::characters(r.lines.at(i + 1)).first();
                QVERIFY2(reachesLimit(in, r, line, i == 0) || reachesLimit(in, r, line + next, i == 0),
                         qPrintable(line));
            }
        }
    }

    void lineFeedsEndParagraphsAndEmptyLinesVanish()
    {
        TextLayoutInput in = input(QStringLiteral("第一段\n\n第二段\n"), 400, 200);
        TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.lines, QStringList({"第一段", "第二段"}));
        QCOMPARE(r.ops.size(), 2);

        // Wrap off: explicit line feeds still break, long lines run past.
        in.wrap = false;
        in.text = QStringLiteral("一行很长很长很长很长很长很长很长很长很长很长很长的文字\n短");
        r = TextLayout::layout(in);
        QCOMPARE(r.lines.size(), 2);
        QCOMPARE(r.lines.at(0), QStringLiteral("一行很长很长很长很长很长很长很长很长很长很长很长的文字"));

        in.text.clear();
        r = TextLayout::layout(in);
        QVERIFY(r.lines.isEmpty());
        QVERIFY(r.ops.isEmpty());
    }

    void everyCharacterWiderThanTheLimitStandsAlone()
    {
        // Width 30: the limit is 6, below any character's advance.
        const TextLayoutInput in = input(QStringLiteral("档案盒ABC"), 30, 400);
        const TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.lines, QStringList({"档", "案", "盒", "A", "B", "C"}));
    }

    void indentationIsReservedInEveryAlignmentButDrawnOnlyAtTheLeft()
    {
        const QString text = QStringLiteral("档案的收集整理和保管利用档案的收集整理和保管利用");
        TextLayoutInput in = input(text, 260, 400);
        const TextLayoutResult plain = TextLayout::layout(in);
        in.indentation = 2;
        for (int align : {-1, 0, 1}) {
            in.horizontalAlign = align;
            const TextLayoutResult r = TextLayout::layout(in);
            // The first line breaks two em earlier: two fullwidth characters fewer.
            QCOMPARE(r.lines.at(0).size(), plain.lines.at(0).size() - 2);
            QCOMPARE(r.lines.at(1).size(), plain.lines.at(0).size());
            const QRectF content = TextLayout::contentRect(in.rect);
            if (align == -1) {
                QCOMPARE(r.ops.at(0).origin.x(), std::trunc(content.left() + float(r.em * 2)));
                QCOMPARE(r.ops.at(1).origin.x(), 6.0);
            } else {
                // Drawn where the same line without indentation is.
                TextLayoutInput lone = in;
                lone.indentation = 0;
                lone.text = r.lines.at(0);
                QCOMPARE(r.ops.at(0).origin.x(), TextLayout::layout(lone).ops.at(0).origin.x());
            }
        }
    }

    void textStartingWithALineFeedDrawsItsFirstLineIndented()
    {
        TextLayoutInput in = input(QStringLiteral("\n档案盒"), 300, 200);
        in.indentation = 2;
        const TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.lines, QStringList{QStringLiteral("档案盒")});
        QCOMPARE(r.ops.at(0).origin.x(), std::trunc(6 + float(r.em * 2)));
    }

    void emOfASpacedFieldCarriesItsLetterSpacing()
    {
        // The em is the measure of the text "Ｍ" in the field's font, which
        // holds the letter spacing: 5 pixels more than the bare glyph.
        TextLayoutInput in = input(QStringLiteral("档案的收集整理和保管利用档案的收集整理"), 300, 200);
        in.letterSpacing = 5;
        in.font.setLetterSpacing(QFont::AbsoluteSpacing, 5);
        in.indentation = 2;
        const int bare = QFontMetrics(in.font).horizontalAdvance(QChar(0xFF2D));
        const TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.em, bare + 5);
        QCOMPARE(r.ops.at(0).origin.x(), std::trunc(6 + float((bare + 5) * 2)));
        // The wrap reserves the same em: the first line reaches the limit
        // with two spaced ems in front of it, with its last character or the
        // next line's first.
        QVERIFY(!reachesLimit(in, r, r.lines.at(0).chopped(1), true));
        QVERIFY(reachesLimit(in, r, r.lines.at(0) + r.lines.at(1).front(), true));
    }

    void verticalPlacementOfLines()
    {
        TextLayoutInput in = input(QStringLiteral("第一行\n第二行\n三"), 300, 300);
        in.rowSpacing = 4;
        const QFontMetrics fm(in.font);
        const QRectF content = TextLayout::contentRect(in.rect);
        const float total = float(fm.height() * 3 + 2 * 4);

        TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.ops.at(0).origin.y(), double(6 + fm.ascent()));
        // The pitch follows each line's ink height.
        const QRect br0 = fm.boundingRect(r.lines.at(0));
        QCOMPARE(r.ops.at(1).origin.y(), r.ops.at(0).origin.y() + br0.height() + 4);

        in.verticalAlign = 0;
        r = TextLayout::layout(in);
        QCOMPARE(r.ops.at(0).origin.y(), std::trunc(6 + fm.ascent() + (content.height() - total) / 2));
        in.verticalAlign = 1;
        r = TextLayout::layout(in);
        QCOMPARE(r.ops.at(0).origin.y(), std::trunc(6 + fm.ascent() + content.height() - total));

        // The vertical scale multiplies the content top with the ascent.
        in.verticalAlign = -1;
        in.scaleY = 2.0f;
        r = TextLayout::layout(in);
        QCOMPARE(r.ops.at(0).origin.y(), double(12 + 2 * fm.ascent()));
        QCOMPARE(r.ops.at(0).scaleY, 2.0);
    }

    // The ink as drawn, letter spacing and scale included: right aligned it
    // ends at the content's right edge, however far in its first glyph's ink
    // starts; centred it leaves equal room on both sides.
    void alignedInkMeetsTheContentEdges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("letterSpacing");
        QTest::addColumn<float>("scaleX");
        QTest::newRow("plain") << QStringLiteral("ABC档案") << 0 << 1.0f;
        QTest::newRow("spaced and scaled") << QStringLiteral("ABC档案") << 6 << 0.8f;
        QTest::newRow("bracket first") << QStringLiteral("（档案）") << 0 << 1.0f;
        QTest::newRow("bracket first, spaced") << QStringLiteral("（档案）") << 9 << 1.0f;
    }

    void alignedInkMeetsTheContentEdges()
    {
        QFETCH(QString, text);
        QFETCH(int, letterSpacing);
        QFETCH(float, scaleX);
        TextLayoutInput in = input(text, 400, 100, 48);
        in.letterSpacing = letterSpacing;
        in.font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
        in.scaleX = scaleX;
        const QRectF content = TextLayout::contentRect(in.rect);
        in.horizontalAlign = 1;
        const QRect right = drawnInk(TextLayout::layout(in), in.rect.size().toSize());
        QVERIFY2(right.right() + 1 <= content.right() + 1 && right.right() + 1 >= content.right() - 3,
                 qPrintable(QString::number(right.right())));
        if (text.startsWith(QLatin1Char('A'))) {
            in.horizontalAlign = 0;
            const QRect centre = drawnInk(TextLayout::layout(in), in.rect.size().toSize());
            QVERIFY(qAbs((centre.left() - content.left()) - (content.right() - centre.right() - 1)) <= 2);
        }
    }

    // --- horizontal auto-fit -------------------------------------------------

    void autoFitOneLineEndPoints()
    {
        const QString text = QStringLiteral("中华人民共和国\n档案馆藏档案整理规范");
        TextLayoutInput in = input(text, 200, 60, 30);
        in.adapted = true;
        in.wrap = false;
        const double limit = 200 - 24;
        const QString joined = QString(text).remove(QLatin1Char('\n'));

        in.adaptedMode = 1;
        TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.lines, QStringList{joined});
        const int size = r.font.pixelSize();
        QVERIFY(size < 30);
        QVERIFY(QFontMetrics(r.font).horizontalAdvance(joined) < limit);
        QFont bigger = r.font;
        bigger.setPixelSize(size + 1);
        QVERIFY(QFontMetrics(bigger).horizontalAdvance(joined) >= limit);
        QCOMPARE(r.scaleX, 1.0f);

        in.adaptedMode = 2;
        r = TextLayout::layout(in);
        QCOMPARE(r.font.pixelSize(), 30);
        const int w = QFontMetrics(r.font).horizontalAdvance(joined);
        QVERIFY(double(w * r.scaleX) < limit);
        QVERIFY(double(w * float(double(r.scaleX) + 0.05)) >= limit - 0.01);

        // Any other mode leaves one line unshrunk.
        in.adaptedMode = 0;
        r = TextLayout::layout(in);
        QCOMPARE(r.font.pixelSize(), 30);
        QCOMPARE(r.scaleX, 1.0f);
        QCOMPARE(r.lines, QStringList{joined});

        // Mode 1 stops at pixel size 1, overflowing.
        in.adaptedMode = 1;
        in.rect = QRectF(0, 0, 25, 60);
        r = TextLayout::layout(in);
        QCOMPARE(r.font.pixelSize(), 1);
    }

    void autoFitModeTwoEndsAtTheScaleFloor()
    {
        TextLayoutInput in = input(QStringLiteral("档案盒档案盒档案盒档案盒档案盒档案盒档案盒"), 60, 60);
        in.adapted = true;
        in.wrap = false;
        in.adaptedMode = 2;
        const TextLayoutResult r = TextLayout::layout(in);
        // 18 steps of 0.05 in single precision from 1.0.
        float expected = 1.0f;
        for (int i = 0; i < 18; ++i)
            expected = float(double(expected) - 0.05);
        QCOMPARE(r.scaleX, expected);
        QCOMPARE(r.scaleX, 0.09999985f);

        // With wrap on, every mode other than 1 shrinks the scale the same way.
        in.wrap = true;
        in.rect = QRectF(0, 0, 80, 40);
        for (int mode : {0, 2, 7}) {
            in.adaptedMode = mode;
            const TextLayoutResult w = TextLayout::layout(in);
            QCOMPARE(w.scaleX, 0.09999985f);
            QCOMPARE(w.font.pixelSize(), 24);
        }
    }

    void autoFitWrappedEndPoints()
    {
        const QString text = QStringLiteral("档案的收集整理保管和利用必须遵守国家规定的各项制度以确保档案完整与安全");
        TextLayoutInput in = input(text, 220, 90, 30);
        in.adapted = true;
        in.rowSpacing = 3;
        const double maxHeight = 90 - 6;

        in.adaptedMode = 1;
        TextLayoutResult r = TextLayout::layout(in);
        QVERIFY(r.font.pixelSize() < 30);
        QVERIFY(stackedHeight(r.font, r.lines.size(), 3, 1.0f) <= maxHeight);
        // One pixel larger the wrapped text does not fit.
        TextLayoutInput larger = in;
        larger.adapted = false;
        larger.font.setPixelSize(r.font.pixelSize() + 1);
        const TextLayoutResult l = TextLayout::layout(larger);
        QVERIFY(stackedHeight(l.font, l.lines.size(), 3, 1.0f) > maxHeight);
        QCOMPARE(r.lines.join(QString()), text);

        in.adaptedMode = 2;
        in.scaleY = 1.5f;
        r = TextLayout::layout(in);
        QCOMPARE(r.font.pixelSize(), 30);
        QVERIFY(r.scaleX < 1.0f);
        QVERIFY(stackedHeight(r.font, r.lines.size(), 3, 1.5f) <= maxHeight);
        // The step before did not fit.
        float previous = 1.0f;
        while (float(double(previous) - 0.05) > r.scaleX)
            previous = float(double(previous) - 0.05);
        QCOMPARE(float(double(previous) - 0.05), r.scaleX);
        TextLayoutInput before = in;
        before.adapted = false;
        before.scaleX = previous;
        const TextLayoutResult b = TextLayout::layout(before);
        QVERIFY(stackedHeight(b.font, b.lines.size(), 3, 1.5f) > maxHeight);

        // Mode 1 with a font sized in points never shrinks.
        in.adaptedMode = 1;
        in.scaleY = 1.0f;
        in.font = TextLayoutInput::defaultFont();
        r = TextLayout::layout(in);
        QCOMPARE(r.font, in.font);
        QCOMPARE(r.font.pixelSize(), -1);

        // Text that already fits keeps its size.
        in.font = pinnedFont(zenHeiFamily(), 12);
        in.text = QStringLiteral("短");
        r = TextLayout::layout(in);
        QCOMPARE(r.font.pixelSize(), 12);
    }

    void autoFitAlwaysEnds_data()
    {
        QTest::addColumn<float>("scale");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("zero") << 0.0f << true;
        QTest::newRow("negative") << -2.0f << false;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << true;
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << false;
        // So large that a step of 0.05 no longer lowers it.
        QTest::newRow("huge wrapped") << 1.0e30f << true;
        QTest::newRow("huge one line") << 1.0e30f << false;
    }

    void autoFitAlwaysEnds()
    {
        QFETCH(float, scale);
        QFETCH(bool, wrap);
        TextLayoutInput in = input(QStringLiteral("档案盒档案盒档案盒档案盒档案盒"), 100, 40);
        in.adapted = true;
        in.adaptedMode = 2;
        in.wrap = wrap;
        in.scaleX = scale;
        in.scaleY = scale;
        const TextLayoutResult r = TextLayout::layout(in);
        QVERIFY(!r.ops.isEmpty());
        if (scale == 1.0e30f) {
            QCOMPARE(r.scaleX, scale);
            return;
        }
        // An unusable scale lays out exactly as the scale 1.
        in.scaleX = 1.0f;
        in.scaleY = 1.0f;
        const TextLayoutResult one = TextLayout::layout(in);
        QVERIFY(one.scaleX < 1.0f);
        QCOMPARE(r.scaleX, one.scaleX);
        QCOMPARE(r.lines, one.lines);
        QCOMPARE(r.ops.size(), one.ops.size());
        for (int i = 0; i < r.ops.size(); ++i) {
            QCOMPARE(r.ops.at(i).origin, one.ops.at(i).origin);
            QCOMPARE(r.ops.at(i).scaleY, 1.0);
        }
    }

    // --- character classes and runs ------------------------------------------

    void characterClassesAndRuns()
    {
        QVERIFY(TextLayout::isFullWidth(QString(), false, SYMBOLS));
        QVERIFY(TextLayout::isFullWidth(QStringLiteral("档案"), false, SYMBOLS));
        QVERIFY(!TextLayout::isFullWidth(QStringLiteral("档A"), false, SYMBOLS));
        QVERIFY(TextLayout::isFullWidth(QStringLiteral("AB1"), true, SYMBOLS));
        QVERIFY(!TextLayout::isFullWidth(QStringLiteral("（"), true, SYMBOLS));
        QVERIFY(TextLayout::isFullWidth(QStringLiteral("（"), true, {}));
        QVERIFY(TextLayout::isFullWidth(EXT_B_1, false, SYMBOLS));

        QCOMPARE(TextLayout::splitTextBySymbol(QString(), false, SYMBOLS), QStringList());
        QCOMPARE(TextLayout::splitTextBySymbol(QStringLiteral("档案ABC盒"), false, SYMBOLS),
                 QStringList({"", "档案", "ABC", "盒"}));
        QCOMPARE(TextLayout::splitTextBySymbol(QStringLiteral("AB档（案）-1"), false, SYMBOLS),
                 QStringList({"AB", "档", "（", "案", "）-1"}));
        QCOMPARE(TextLayout::splitTextBySymbol(QStringLiteral("AB档"), true, SYMBOLS), QStringList({"", "AB档"}));
        // A surrogate pair is one full-width character, never cut.
        QCOMPARE(TextLayout::splitTextBySymbol(QStringLiteral("A") + EXT_B_1 + QStringLiteral("B"), false, SYMBOLS),
                 QStringList({"A", EXT_B_1, "B"}));
        // A special symbol given as a surrogate pair turns the pair.
        const QVector<QChar> pairSymbol{EXT_B_2.at(0), EXT_B_2.at(1)};
        QVERIFY(!TextLayout::isFullWidth(EXT_B_2, false, pairSymbol));
        QVERIFY(TextLayout::isFullWidth(EXT_B_1, false, pairSymbol));
    }

    // --- column splitting ----------------------------------------------------

    void columnsFillToTheCapacity_data()
    {
        QTest::addColumn<QString>("paragraph");
        QTest::addColumn<int>("letterSpacing");
        QTest::addColumn<float>("scaleY");
        QTest::newRow("chinese") << QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用") << 0 << 1.0f;
        QTest::newRow("spaced scaled") << QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用") << 4 << 1.3f;
        QTest::newRow("mixed") << QStringLiteral("第12卷ABCDEFGHIJ档案（2024）号ABCDEFGHIJKLMNOP") << 2 << 1.0f;
        QTest::newRow("surrogates") << (EXT_B_1 + EXT_B_2 + QStringLiteral("张") + EXT_B_1 + EXT_B_2 + EXT_B_1
                                        + QStringLiteral("李王") + EXT_B_2 + EXT_B_1)
                                               .repeated(3)
                                    << 0 << 1.0f;
    }

    void columnsFillToTheCapacity()
    {
        QFETCH(QString, paragraph);
        QFETCH(int, letterSpacing);
        QFETCH(float, scaleY);
        TextLayoutInput in = input(paragraph, 60, 112);
        in.letterSpacing = letterSpacing;
        in.scaleY = scaleY;
        const double limit = 100;
        const QList<stRowDataBlock> columns = TextLayout::splitRowDataBlockByLength(in, in.font, paragraph, false);
        QVERIFY(columns.size() > 2);
        QString joined;
        for (int i = 0; i < columns.size(); ++i) {
            const stRowDataBlock &c = columns.at(i);
            QVERIFY(!hasLoneSurrogate(c.text));
            QCOMPARE(c.indent, 0);
            joined += c.text;
            QVERIFY2(c.length <= limit, qPrintable(c.text));
            if (i == 0) {
                // The next character would not have fitted: the column is full.
                const QString next = TextLayout::characters(columns.at(i + 1).text).first();
                const QList<stRowDataBlock> longer =
                    TextLayout::splitRowDataBlockByLength(in, in.font, c.text + next, false);
                QCOMPARE(longer.size(), 2);
            }
            // The column alone fits in one.
            QCOMPARE(TextLayout::splitRowDataBlockByLength(in, in.font, c.text, false).size(), 1);
        }
        QCOMPARE(joined, paragraph);
        QCOMPARE(TextLayout::splitTextByLength(in, paragraph, false).join(QString()), paragraph);
    }

    void characterTallerThanTheCapacityStandsAlone()
    {
        // Capacity 8: every character is taller.
        const TextLayoutInput in = input(QString(), 60, 20);
        const QList<stRowDataBlock> c = TextLayout::splitRowDataBlockByLength(in, in.font, QStringLiteral("档案"), false);
        QCOMPARE(c.size(), 3);
        QVERIFY(c.at(0).text.isEmpty());
        QCOMPARE(c.at(1).text, QStringLiteral("档"));
        QCOMPARE(c.at(2).text, QStringLiteral("案"));

        // An empty paragraph is one empty column.
        const QList<stRowDataBlock> empty = TextLayout::splitRowDataBlockByLength(in, in.font, QString(), false);
        QCOMPARE(empty.size(), 1);
        QVERIFY(empty.at(0).text.isEmpty());
        QCOMPARE(empty.at(0).length, 0);
    }

    // --- vertical drawing ----------------------------------------------------

    void directionsOrderTheColumns()
    {
        TextLayoutInput in = input(QStringLiteral("档案盒\n卷宗册"), 200, 200);
        in.direction = 1;
        TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.columns.size(), 2);
        QCOMPARE(r.columns.at(0).text, QStringLiteral("档案盒"));
        QMap<int, QList<TextDrawOp>> cols = opsByColumn(r);
        QCOMPARE(cols.size(), 2);
        QCOMPARE(cols.first().first().text, QStringLiteral("档"));
        QCOMPARE(cols.last().first().text, QStringLiteral("卷"));
        const int mw = QFontMetrics(r.font).maxWidth();
        QCOMPARE(cols.lastKey() - cols.firstKey(), mw);

        in.direction = 2;
        r = TextLayout::layout(in);
        QCOMPARE(r.columns.at(0).text, QStringLiteral("卷宗册"));
        cols = opsByColumn(r);
        QCOMPARE(cols.first().first().text, QStringLiteral("卷"));
        QCOMPARE(cols.last().first().text, QStringLiteral("档"));

        // Every value other than 0 and 2 lays out as 1.
        in.direction = 5;
        r = TextLayout::layout(in);
        QCOMPARE(r.columns.at(0).text, QStringLiteral("档案盒"));
    }

    void cellsStackDownTheColumnAtOnePitch()
    {
        // U+4E00 is flat, U+4E28 a single vertical stroke: ink of any shape
        // gets the same cell, the column's width.
        TextLayoutInput in = input(QStringLiteral("档一丨案"), 200, 400);
        in.direction = 1;
        in.letterSpacing = 2;
        const TextLayoutResult r = TextLayout::layout(in);
        const QList<TextDrawOp> cells = opsOfKind(r, TextDrawOp::Cell);
        QCOMPARE(cells.size(), 4);
        const double pitch = cells.at(1).origin.y() - cells.at(0).origin.y();
        QVERIFY(pitch > 0);
        for (int i = 1; i < cells.size(); ++i) {
            QCOMPARE(cells.at(i).origin.y() - cells.at(i - 1).origin.y(), pitch);
            QCOMPARE(cells.at(i).cell, cells.at(0).cell);
        }
        QCOMPARE(cells.at(0).cell.width(), double(QFontMetrics(r.font).maxWidth()));
    }

    void halfWidthRunsAreTurnedUnlessUpright()
    {
        TextLayoutInput in = input(QStringLiteral("ABC档案"), 200, 300);
        in.direction = 1;
        TextLayoutResult r = TextLayout::layout(in);
        QCOMPARE(r.ops.size(), 3);
        QCOMPARE(r.ops.at(0).kind, TextDrawOp::TurnedRun);
        QCOMPARE(r.ops.at(0).text, QStringLiteral("ABC"));
        QCOMPARE(r.ops.at(1).kind, TextDrawOp::Cell);
        const QFontMetrics fm(r.font);
        // The run starts at the pen, the head of the column here; the next
        // cell follows after the run's advance.
        QCOMPARE(r.ops.at(0).origin.y(), 6.0);
        QCOMPARE(r.ops.at(1).origin.y(), 6.0 + fm.horizontalAdvance(QStringLiteral("ABC")));

        // A special symbol between characters is turned too.
        in.text = QStringLiteral("档（案）");
        r = TextLayout::layout(in);
        QCOMPARE(opsOfKind(r, TextDrawOp::TurnedRun).size(), 2);

        in.text = QStringLiteral("ABC档案");
        in.uprightAscii = true;
        r = TextLayout::layout(in);
        QCOMPARE(opsOfKind(r, TextDrawOp::Cell).size(), 5);
        QCOMPARE(opsOfKind(r, TextDrawOp::TurnedRun).size(), 0);
    }

    void alignmentOfColumns()
    {
        // The empty middle paragraph is skipped but counted.
        TextLayoutInput in = input(QStringLiteral("档案\n\n卷宗"), 300, 200);
        in.direction = 1;
        in.rowSpacing = 10;
        const QRectF content = TextLayout::contentRect(in.rect);
        for (int align : {-1, 0, 1}) {
            in.horizontalAlign = align;
            const TextLayoutResult r = TextLayout::layout(in);
            QCOMPARE(r.columns.size(), 3);
            const int mw = QFontMetrics(r.font).maxWidth();
            const QList<int> xs = opsByColumn(r).keys();
            QCOMPARE(xs.size(), 2);
            const int n = 3;
            for (int i = 0; i < 2; ++i) {
                double x;
                if (align == -1)
                    x = content.left() + (mw + 10) * i;
                else if (align == 1)
                    x = content.left() + content.width() - ((n - i) * mw + (n - i - 1) * 10);
                else
                    x = content.left() + (content.width() - n * mw) / 2 + i * (mw + 10);
                QCOMPARE(xs.at(i), int(x));
            }
        }

        // Vertical alignment moves each column by the room it leaves.
        in.text = QStringLiteral("档案");
        in.horizontalAlign = -1;
        const TextLayoutResult top = TextLayout::layout(in);
        in.verticalAlign = 1;
        const TextLayoutResult bottom = TextLayout::layout(in);
        in.verticalAlign = 0;
        const TextLayoutResult centre = TextLayout::layout(in);
        const float room = float(content.height() - top.columns.at(0).length);
        QCOMPARE(bottom.ops.at(0).origin.y(), double(float(top.ops.at(0).origin.y()) + room));
        QCOMPARE(centre.ops.at(0).origin.y(), double(float(top.ops.at(0).origin.y()) + room / 2));
    }

    void verticalAutoFitEndPoints()
    {
        const QString text = QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用");
        TextLayoutInput in = input(text, 90, 160, 30);
        in.direction = 2;
        in.adapted = true;
        in.rowSpacing = 2;
        const QRectF content = TextLayout::contentRect(in.rect);
        auto width = [&](const TextLayoutResult &r) {
            const int n = r.columns.size();
            return int(float(n * QFontMetrics(r.font).maxWidth() + n * 2 - 1) * r.scaleX);
        };
        // Italic columns whose ink stands inside the box where their cells
        // fit are fitted by their cells alone.
        for (const bool italic : {false, true}) {
            in.font.setItalic(italic);
            for (int mode : {1, 2, 0}) {
                in.adaptedMode = mode;
                const TextLayoutResult r = TextLayout::layout(in);
                QVERIFY(r.font.pixelSize() < 30);
                QCOMPARE(r.scaleX, 1.0f);
                QVERIFY(width(r) <= content.width());
                TextLayoutInput larger = in;
                larger.adapted = false;
                larger.font.setPixelSize(r.font.pixelSize() + 1);
                QVERIFY(width(TextLayout::layout(larger)) > content.width());
            }
        }
        in.font.setItalic(false);

        // A turned character alone in a column that holds its advance, its
        // slanted ink longer than the box: shrunk until the ink is not.
        TextLayoutInput lone = input(QStringLiteral("f"), 300, 0, 200);
        lone.font = QFont(QStringLiteral("DejaVu Serif"));
        lone.font.setPixelSize(200);
        lone.font.setItalic(true);
        lone.direction = 1;
        lone.rect.setHeight(QFontMetrics(lone.font).horizontalAdvance(lone.text) + 12);
        const QSize page(300, 3 * int(lone.rect.height()));
        QVERIFY(drawnInk(TextLayout::layout(lone), page).height() > lone.rect.height() + 1);
        lone.adapted = true;
        const TextLayoutResult shrunk = TextLayout::layout(lone);
        QVERIFY(shrunk.font.pixelSize() < 200);
        QVERIFY(drawnInk(shrunk, page).height() <= lone.rect.height() + 1);

        // The floor is pixel size 2.
        in.rect = QRectF(0, 0, 20, 40);
        QCOMPARE(TextLayout::layout(in).font.pixelSize(), 2);
        in.font = TextLayoutInput::defaultFont();
        QCOMPARE(TextLayout::layout(in).font.pixelSize(), -1);
    }

    // The column that carries the indentation is the one the splitter kept
    // room for, and it is moved down by exactly that room.
    void indentationShiftsExactlyTheReservedColumn_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("adapted");
        const QString one = QStringLiteral("中华人民共和国档案法规定档案的收集");
        const QString several = QStringLiteral("中华人民共和国档案法\n规定档案\n的收集整理");
        for (int direction : {1, 2}) {
            const QByteArray d = QByteArray::number(direction);
            QTest::newRow("one paragraph " + d) << direction << one << false;
            QTest::newRow("several paragraphs " + d) << direction << several << false;
            QTest::newRow("auto-fit " + d) << direction << several << true;
            QTest::newRow("leading line feed " + d) << direction << (QStringLiteral("\n") + several) << false;
            QTest::newRow("empty column inside " + d) << direction << QStringLiteral("档案法\n\n规定档案") << false;
        }
    }

    void indentationShiftsExactlyTheReservedColumn()
    {
        QFETCH(int, direction);
        QFETCH(QString, text);
        QFETCH(bool, adapted);
        TextLayoutInput in = input(text, 90, 160, 30);
        in.direction = direction;
        in.adapted = adapted;
        in.verticalAlign = -1;
        in.indentation = 2;
        const TextLayoutResult r = TextLayout::layout(in);
        if (adapted)
            QVERIFY(r.font.pixelSize() < 30);
        const QFontMetrics fm(r.font);
        const double headY = 6;

        // Reserved room: only on the first column of the first paragraph.
        const QStringList paragraphs = text.split(QLatin1Char('\n'));
        const QList<stRowDataBlock> firstParagraph =
            TextLayout::splitRowDataBlockByLength(in, r.font, paragraphs.first(), true);
        const int reserved = int(float(2 * fm.height()));
        QCOMPARE(firstParagraph.first().indent, reserved);
        int indented = 0;
        for (const stRowDataBlock &c : r.columns) {
            if (c.indent) {
                ++indented;
                QCOMPARE(c, firstParagraph.first());
            }
        }
        QCOMPARE(indented, 1);

        // Each drawn column starts at the head, the indented one exactly the
        // reserved room lower.
        const QMap<int, QList<TextDrawOp>> cols = opsByColumn(r);
        const bool firstDrawn = !paragraphs.first().isEmpty();
        const QString firstText = firstParagraph.first().text;
        int shifted = 0;
        for (const QList<TextDrawOp> &ops : cols) {
            const TextDrawOp &head = ops.first();
            QString columnText;
            for (const TextDrawOp &op : ops)
                columnText += op.text;
            if (firstDrawn && columnText == firstText) {
                ++shifted;
                QCOMPARE(head.origin.y(), double(float(headY) + float(reserved)));
            } else {
                QCOMPARE(head.origin.y(), headY);
            }
        }
        QCOMPARE(shifted, firstDrawn ? 1 : 0);
        // The text's first column is leftmost in direction 1, rightmost in 2.
        if (firstDrawn) {
            const QList<TextDrawOp> &edge = direction == 1 ? cols.first() : cols.last();
            QCOMPARE(edge.first().text, TextLayout::characters(firstText).first());
        }

        // Without indentation nothing moves and nothing is reserved.
        in.indentation = 0;
        const TextLayoutResult plain = TextLayout::layout(in);
        for (const stRowDataBlock &c : plain.columns)
            QCOMPARE(c.indent, 0);
        for (const QList<TextDrawOp> &ops : opsByColumn(plain))
            QCOMPARE(ops.first().origin.y(), headY);
    }

    void surrogatePairsStayWholeInCells()
    {
        TextLayoutInput in = input(EXT_B_1 + QStringLiteral("张") + EXT_B_2, 100, 300);
        in.direction = 1;
        const TextLayoutResult r = TextLayout::layout(in);
        const QList<TextDrawOp> cells = opsOfKind(r, TextDrawOp::Cell);
        QCOMPARE(cells.size(), 3);
        QCOMPARE(cells.at(0).text, EXT_B_1);
        QCOMPARE(cells.at(2).text, EXT_B_2);
        // A pair takes one cell like any other character.
        QCOMPARE(cells.at(1).origin.y() - cells.at(0).origin.y(), cells.at(2).origin.y() - cells.at(1).origin.y());
    }

    // --- absurd stored values ------------------------------------------------

    // A template file may hold any number; lengths come clamped to the int
    // range, scales as any finite float. The layout still ends, with no
    // overflow, in both directions.
    void absurdValuesLayOutWithoutOverflow_data()
    {
        QTest::addColumn<int>("rowSpacing");
        QTest::addColumn<int>("letterSpacing");
        QTest::addColumn<int>("indentation");
        QTest::addColumn<float>("scale");
        QTest::addColumn<bool>("adapted");
        const int big = std::numeric_limits<int>::max();
        for (bool adapted : {false, true}) {
            const QByteArray a = adapted ? " auto-fit" : "";
            QTest::newRow("row spacing" + a) << big << 0 << 0 << 1.0f << adapted;
            QTest::newRow("letter spacing" + a) << 0 << big << 0 << 1.0f << adapted;
            QTest::newRow("indentation" + a) << 0 << 0 << big << 1.0f << adapted;
            QTest::newRow("negative spacings" + a) << -big << -big << -big << 1.0f << adapted;
            QTest::newRow("scale" + a) << 0 << 0 << 2 << 1.0e30f << adapted;
            QTest::newRow("everything" + a) << big << big << big << 1.0e30f << adapted;
        }
    }

    void absurdValuesLayOutWithoutOverflow()
    {
        QFETCH(int, rowSpacing);
        QFETCH(int, letterSpacing);
        QFETCH(int, indentation);
        QFETCH(float, scale);
        QFETCH(bool, adapted);
        TextLayoutInput in = input(QStringLiteral("档案ABC盒\n卷宗\n第12册（上）"), 200, 300);
        in.rowSpacing = rowSpacing;
        in.letterSpacing = letterSpacing;
        in.font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
        in.indentation = indentation;
        in.scaleX = scale;
        in.scaleY = scale;
        in.adapted = adapted;
        for (int direction : {0, 1, 2}) {
            in.direction = direction;
            for (int align : {-1, 0, 1}) {
                in.horizontalAlign = align;
                in.verticalAlign = align;
                const TextLayoutResult r = TextLayout::layout(in);
                QVERIFY(!r.ops.isEmpty());
                QImage image(50, 50, QImage::Format_RGB32);
                QPainter painter(&image);
                TextLayout::draw(&painter, r);
            }
        }
    }

    // --- long texts ----------------------------------------------------------

    // A text longer than any label shows legibly lays out as its first
    // 100 000 characters, a surrogate pair kept whole, whatever the field
    // (here 1-pixel type in a box that holds far more).
    void onlyTheFirstHundredThousandCharactersAreLaidOut_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("adapted");
        QTest::newRow("lines") << 0 << false;
        QTest::newRow("lines, auto-fit") << 0 << true;
        QTest::newRow("columns") << 2 << false;
    }

    void onlyTheFirstHundredThousandCharactersAreLaidOut()
    {
        QFETCH(int, direction);
        QFETCH(bool, adapted);
        QString text = QStringLiteral("档案ABC盒").repeated(20000);
        text.insert(99999, EXT_B_1);
        TextLayoutInput in = input(text + QStringLiteral("卷").repeated(50000), 2000, 2000, 1);
        in.direction = direction;
        in.adapted = adapted;
        const TextLayoutResult all = TextLayout::layout(in);
        in.text = text.left(100001);
        const TextLayoutResult first = TextLayout::layout(in);
        QCOMPARE(all.lines, first.lines);
        QCOMPARE(all.columns, first.columns);
        QCOMPARE(all.ops.size(), first.ops.size());
        int laidOut = all.lines.join(QString()).size();
        for (const stRowDataBlock &column : all.columns)
            laidOut += column.text.size();
        QCOMPARE(laidOut, 100001);
    }

    // --- cache ---------------------------------------------------------------

    void cacheLaysOutOnlyWhenAnInputChanges()
    {
        TextLayoutCache cache;
        TextLayoutInput in = input(QStringLiteral("档案盒"), 200, 100);
        cache.get(in);
        cache.get(in);
        QCOMPARE(cache.layoutCount(), 1);
        in.scaleX = std::numeric_limits<float>::quiet_NaN();
        cache.get(in);
        cache.get(in);
        QCOMPARE(cache.layoutCount(), 2);

        // Each input is part of the key.
        const QList<std::function<void(TextLayoutInput &)>> changes{
            [](TextLayoutInput &i) { i.text += QLatin1Char('x'); },
            [](TextLayoutInput &i) { i.font.setPixelSize(i.font.pixelSize() + 1); },
            [](TextLayoutInput &i) { i.rect.setWidth(i.rect.width() + 1); },
            [](TextLayoutInput &i) { ++i.letterSpacing; },
            [](TextLayoutInput &i) { ++i.rowSpacing; },
            [](TextLayoutInput &i) { ++i.indentation; },
            [](TextLayoutInput &i) { ++i.direction; },
            [](TextLayoutInput &i) { ++i.horizontalAlign; },
            [](TextLayoutInput &i) { ++i.verticalAlign; },
            [](TextLayoutInput &i) { i.adapted = !i.adapted; },
            [](TextLayoutInput &i) { ++i.adaptedMode; },
            [](TextLayoutInput &i) { i.wrap = !i.wrap; },
            [](TextLayoutInput &i) { i.uprightAscii = !i.uprightAscii; },
            [](TextLayoutInput &i) { i.scaleX = 0.5f; },
            [](TextLayoutInput &i) { i.scaleY = 0.5f; },
            [](TextLayoutInput &i) { i.specialSymbols.removeLast(); },
        };
        int expected = 2;
        for (const auto &change : changes) {
            change(in);
            cache.get(in);
            QCOMPARE(cache.layoutCount(), ++expected);
            cache.get(in);
            QCOMPARE(cache.layoutCount(), expected);
        }
    }

    // --- the ink of slanted text ---------------------------------------------

    // Against a picture of the whole stretch drawn as a line is drawn: the
    // box given with room to spare holds that ink, and the ends made exact
    // lie where it ends, over fonts the engine slants itself and a font's
    // own oblique, at scales that part the slant of the metrics from that of
    // the drawing.
    void slantedInkIsHeldAndItsEndsMet_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<qreal>("sx");
        QTest::addColumn<qreal>("sy");
        QTest::addColumn<QString>("text");
        const QString zenHei = zenHeiFamily();
        QTest::newRow("ideographs, 10 mm") << zenHei << 118 << false << 1.0 << 1.0 << QStringLiteral("道路工程竣工");
        QTest::newRow("ideographs, 1 mm") << zenHei << 12 << false << 1.0 << 1.0 << QStringLiteral("档案，第1卷");
        QTest::newRow("bold, mixed") << zenHei << 50 << true << 1.0 << 1.0 << QStringLiteral("卷J号f");
        QTest::newRow("quotes and dashes, wide and low") << zenHei << 70 << false << 3.0 << 0.2
                                                         << QStringLiteral("“—”");
        QTest::newRow("narrow and tall") << zenHei << 63 << false << 0.1 << 3.0 << QStringLiteral("工程");
        QTest::newRow("auto-fit's scale floor") << zenHei << 40 << false << 0.1 << 1.0 << QStringLiteral("程j");
        QTest::newRow("own oblique") << dejaVuFamily() << 94 << false << 1.0 << 1.0 << QStringLiteral("fjy");
        QTest::newRow("own oblique, ideograph from another font") << dejaVuFamily() << 60 << false << 0.5 << 2.0
                                                                  << QStringLiteral("j档f");
        QTest::newRow("a mark, shaped") << zenHei << 60 << false << 1.0 << 1.0 << QStringLiteral("f\u0301A\u0301");
    }

    void slantedInkIsHeldAndItsEndsMet()
    {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        QFETCH(qreal, sx);
        QFETCH(qreal, sy);
        QFETCH(QString, text);
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setItalic(true);
        const QRectF drawn = drawnAcross(font, sx, sy, text);
        QVERIFY(!drawn.isNull());
        // A pixel of smoothing either way, where the line sets a glyph off
        // the whole pixel its own picture set it on.
        const qreal pixel = 1 / sx;

        TextInk ink(font, sx, sy);
        StretchInk given;
        qreal advance = 0;
        QRectF exact;
        if (ink.plainInk(text, 0, text.size(), given, advance)) {
            QVERIFY(!given.exact());
            QVERIFY2(given.box.left() <= drawn.left() + pixel && given.box.right() >= drawn.right() - pixel,
                     qPrintable(QStringLiteral("room %1..%2, drawn %3..%4").arg(given.box.left()).arg(given.box.right())
                                    .arg(drawn.left()).arg(drawn.right())));
            for (const TextInk::End end : {TextInk::End::Left, TextInk::End::Right})
                ink.sharpen(text, 0, text.size(), end, given);
            QVERIFY(given.exact());
            exact = given.box;
        } else {
            exact = ink.shapedInk(text);
        }
        QVERIFY2(std::abs(exact.left() - drawn.left()) <= pixel && std::abs(exact.right() - drawn.right()) <= pixel,
                 qPrintable(QStringLiteral("exact %1..%2, drawn %3..%4").arg(exact.left()).arg(exact.right())
                                .arg(drawn.left()).arg(drawn.right())));
    }
};

QTEST_MAIN(TestTextLayout)
#include "tst_textlayout.moc"
