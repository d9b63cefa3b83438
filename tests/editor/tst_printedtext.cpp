// Text fields as they print and as the editor shows them, checked from the
// outside over generated fields (Chinese, Latin, digits, full-width
// punctuation and mixed; boxes 20 to 180 mm, type 3 to 12 mm, spacings,
// indentation, alignments, auto-fit off and on, both directions) and fields
// whose glyphs draw past their advances (tabs, marks, slant; italic type
// up to 40 mm in lines and columns, scaled and turned), each in a box its
// text can fit: the ink on the rendered page lies inside the box, and the
// editor at 96, 100, 120 and 144 dpi breaks and fits the text as the page
// at 300 dpi does, and keeps its ink inside the box too; upright columns
// whose cells are far wider than their ink print where they always did. A
// text far longer than its label is laid out whole.

#include "editor/editorscene.h"
#include "editor/templatedocument.h"
#include "items/richtextitem.h"
#include "print/pagescene.h"
#include "support/labelfixtures.h"
#include "support/testfonts.h"
#include "util/settingutil.h"

#include <QGraphicsScene>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace TestSupport;

namespace {

const int PAGE_DPI = 300;
const float MARGIN_MM = 5;
// A content rectangle 1 mm in from the box, with a wrap margin of 1 mm more.
const float INSET_MM = 3;
// The dots of the page across which upright columns' ink has always
// printed: a block stands where its cells put it wherever its ink lies
// inside the box.
const QHash<QByteArray, QPair<int, int>> PINNED_SPANS = {{"upright year, centred", {91, 484}},
                                                         {"upright year, right to left, left", {147, 531}},
                                                         {"upright year, right to left, centred", {111, 495}},
                                                         {"upright dates, centred", {93, 484}}};

const QString CHINESE = QStringLiteral("道路工程竣工资料第卷含设计变更施工记录与验收报告档案的收集整理保管和利用必须遵守国家规定");
const QStringList WORDS = {"Archive", "box", "report", "survey", "design", "change", "record", "acceptance", "No"};
const QString DIGITS = QStringLiteral("0123456789");
const QString PUNCTUATION = QStringLiteral("（）【】《》，。、：；！？“”…—");

QString pick(QRandomGenerator &rng, const QString &pool) { return pool.at(int(rng.bounded(pool.size()))); }

QString sampleText(QRandomGenerator &rng)
{
    const int kind = int(rng.bounded(5));
    const int length = 4 + int(rng.bounded(45));
    QString text;
    while (text.size() < length) {
        switch (kind) {
        case 0: text += pick(rng, CHINESE); break;
        case 1: text += WORDS.at(int(rng.bounded(WORDS.size()))) + QLatin1Char(' '); break;
        case 2: text += pick(rng, DIGITS); break;
        case 3: text += rng.bounded(3) ? pick(rng, CHINESE) : pick(rng, PUNCTUATION); break;
        default: {
            const QString pools[] = {CHINESE, DIGITS, PUNCTUATION, QStringLiteral("ABCXYZabcxyz-/")};
            text += pick(rng, pools[rng.bounded(4)]);
        }
        }
    }
    return text.trimmed();
}

// A box the text fits at its size (or, with auto-fit, at some size above
// the floor): the text's advance is at most one em a character.
void sizeBox(QRandomGenerator &rng, TextModel &f)
{
    const float em = f.fontSize + f.wordSpacing;
    const float advance = float(f.textContent.size()) * em;
    const float pitch = f.fontSize * 1.3f + f.rowSpacing;
    if (f.direction == 0) {
        const float room = f.width - INSET_MM - em - f.indentation * em;
        const float shrink = f.adapted && f.adaptedMode == 2 ? 0.1f : 1.0f;
        const int lines = int(std::ceil(advance * shrink / std::max(room, em))) + 1;
        f.height = f.adapted && f.adaptedMode == 1 ? 8 + float(rng.bounded(30)) : lines * pitch + INSET_MM;
        return;
    }
    f.height = std::max(pitch + em + INSET_MM, 20.0f + float(rng.bounded(100)));
    const float columnLength = f.height - INSET_MM - 2 * em;
    const int columns = int(std::ceil((advance + f.indentation * pitch) / columnLength)) + 1;
    const float needed = columns * (f.fontSize * 1.2f + f.rowSpacing) + INSET_MM + columns * f.rowSpacing;
    f.width = f.adapted ? std::max(f.width, em + INSET_MM + f.rowSpacing) : std::max(f.width, needed);
}

QVector<TextModel> generatedFields()
{
    QVector<TextModel> cases;
    // The tester's field: 案卷题名 of the built-in 通用3CM.
    TextModel title = textField(QStringLiteral("案卷题名"), QStringLiteral("道路工程竣工资料第1卷（含设计变更、施工记录与验收报告）"),
                                MARGIN_MM, MARGIN_MM, 133, 50, 6);
    title.horizontalAlign = 0;
    title.verticalAlign = 0;
    cases.append(title);
    // The empty first line is dropped: the line drawn indented is the next.
    TextModel indented = textField(QStringLiteral("说明"), QStringLiteral("\n道路工程竣工资料第卷含设计变更施工记录与验收报告档案的收集整理保管"),
                                   MARGIN_MM, MARGIN_MM, 40, 30, 4);
    indented.indentation = 2;
    indented.horizontalAlign = -1;
    indented.verticalAlign = -1;
    cases.append(indented);

    QRandomGenerator rng(20240607);
    const float sizes[] = {3, 4, 4.23f, 5, 6, 8, 10, 12};
    for (int i = 0; i < 90; ++i) {
        TextModel f = textField(QStringLiteral("字段"), sampleText(rng), MARGIN_MM, MARGIN_MM, 0, 0, 0);
        f.fontSize = sizes[rng.bounded(8)];
        f.width = std::max(20.0f + float(rng.bounded(161)), f.fontSize * 1.5f + INSET_MM + 2);
        f.wordSpacing = rng.bounded(3) ? 0 : float(rng.bounded(5)) / 10;
        f.rowSpacing = rng.bounded(2) ? 0 : float(rng.bounded(20)) / 10;
        f.horizontalAlign = int(rng.bounded(3)) - 1;
        f.verticalAlign = int(rng.bounded(3)) - 1;
        f.direction = rng.bounded(5) < 3 ? 0 : 1 + int(rng.bounded(2));
        f.indentation = rng.bounded(3) ? 0 : 1 + int(rng.bounded(2));
        f.noVerRule = rng.bounded(3) == 0;
        f.adapted = rng.bounded(2);
        f.adaptedMode = 1 + int(rng.bounded(2));
        // One line is kept to the box only by auto-fit.
        f.mutiled = !(f.adapted && f.direction == 0 && rng.bounded(4) == 0);
        sizeBox(rng, f);
        cases.append(f);
    }
    return cases;
}

// A field turned by the angle, placed so that the box it prints lies on
// the label as its own box does.
void turn(TextModel &f, int angle)
{
    f.rotate = angle;
    if (angle % 180 != 0)
        f.startX = f.startY = MARGIN_MM + std::abs(f.width - f.height) / 2;
}

// Italic type of 10 to 40 mm, whose glyphs lean past their cells and
// advances, in lines and columns, scaled and turned, in boxes with room
// for the lean.
QVector<TextModel> slantedFields()
{
    QVector<TextModel> cases;
    QRandomGenerator rng(20261208);
    const float scales[] = {0.5f, 1, 1, 1.5f};
    for (int i = 0; i < 12; ++i) {
        const int length = 2 + int(rng.bounded(5));
        QString text;
        while (text.size() < length)
            text += rng.bounded(4) ? pick(rng, CHINESE) : rng.bounded(2) ? pick(rng, PUNCTUATION) : QStringLiteral("No");
        TextModel f = textField(QStringLiteral("字段"), text, MARGIN_MM, MARGIN_MM, 0, 0, 10 + float(rng.bounded(31)));
        f.italic = true;
        f.direction = i % 3;
        f.horizontalAlign = int(rng.bounded(3)) - 1;
        f.verticalAlign = int(rng.bounded(3)) - 1;
        f.scaleX = scales[rng.bounded(4)];
        f.scaleY = scales[rng.bounded(4)];
        const float along = float(text.size()) * f.fontSize * 1.3f + 4;
        if (f.direction == 0) {
            f.width = along * f.scaleX + f.fontSize;
            f.height = 2 * f.fontSize * 1.3f * f.scaleY + 4;
        } else {
            f.width = (2 * f.fontSize + 4) * f.scaleX;
            f.height = along * f.scaleY;
        }
        f.adapted = rng.bounded(3) == 0;
        f.adaptedMode = 1 + int(rng.bounded(2));
        turn(f, 90 * int(rng.bounded(4)));
        cases.append(f);
    }
    return cases;
}

// Fields whose glyphs draw past their advances, where measuring advances
// put ink outside the box.
QVector<QPair<QByteArray, TextModel>> inkPastAdvances()
{
    const auto field = [](const QString &text, float w, float h, float size, int align) {
        TextModel f = textField(QStringLiteral("字段"), text, MARGIN_MM, MARGIN_MM, w, h, size);
        f.horizontalAlign = align;
        f.verticalAlign = -1;
        return f;
    };
    const auto fitted = [&](const QString &text, float size) {
        TextModel f = field(text, 80, 30, size, 0);
        f.adapted = true;
        return f;
    };
    TextModel italic = field(QStringLiteral("j"), 60, 20, 8, -1);
    italic.italic = true;
    TextModel quoted = field(QStringLiteral("“档案”（第1卷）"), 40, 15, 8, 1);
    quoted.adapted = true;
    quoted.italic = true;
    TextModel turned = field(QStringLiteral("jjj fff"), 40, 30, 9, -1);
    turned.direction = 1;
    TextModel latin = field(QStringLiteral("survey No box Archive record acceptance survey box"), 80, 15, 8, 0);
    latin.adapted = true;
    latin.verticalAlign = 1;
    latin.wordSpacing = 0.3f;
    const QString punctuation = QStringLiteral("（）【】《》，。、（）【】《》，。、（）【】《》，。、");
    TextModel lowBox = field(punctuation.left(18), 120, 6, 8, 0); // its one line higher than the box
    lowBox.adapted = true;
    lowBox.adaptedMode = 1;
    lowBox.mutiled = false;
    // Three ideographs of 20 mm reach the edges of 61 mm: whether the third
    // stays on a line is up to its slant, which at that size the metrics
    // leave out.
    const auto slanted = [&](int align, float h, bool adapted, int mode) {
        TextModel f = field(CHINESE.left(6), 61, h, 20, align);
        f.italic = true;
        f.adapted = adapted;
        f.adaptedMode = mode;
        return f;
    };
    // One italic column against the right edge of a box (2 x size + 4) mm
    // wide, as wide again as it is scaled: its ideographs lean across it.
    const auto column = [&](const QString &text, int direction, float size, int angle = 0, float sx = 1) {
        TextModel f = field(text, (2 * size + 4) * sx, float(text.size()) * size * 1.3f + 4, size, 1);
        f.direction = direction;
        f.italic = true;
        f.scaleX = sx;
        turn(f, angle);
        return f;
    };
    // Fitted italic columns in a box only just wide enough for their cells:
    // the cells fit at the type's own size, the lean of its ink does not.
    const auto fittedColumn = [&](const QString &text, int direction, float size, int align) {
        TextModel f = column(text, direction, size);
        QFont font(f.font);
        font.setPixelSize(TextUtil::mm2px(size, PAGE_DPI));
        font.setItalic(true);
        f.width = float(QFontMetrics(font).maxWidth() + 11) * 25.4f / PAGE_DPI;
        f.horizontalAlign = align;
        f.adapted = true;
        return f;
    };
    // Lines scaled to half their width, fitted by scale: the editor draws
    // them at sizes the page does not.
    TextModel narrowLines = field(QStringLiteral("家报和工更整定收收理与"), 44, 364, 20, 1);
    narrowLines.italic = true;
    narrowLines.scaleX = 0.5f;
    narrowLines.adapted = true;
    narrowLines.adaptedMode = 2;
    // Italic 30 mm columns filling their box, a turned run at an end, which
    // leans along the column past it.
    const auto leaning = [&](const QString &family, const QString &text, float w, float h, int direction, int align,
                             int angle = 0) {
        TextModel f = field(text, w, h, 30, align);
        f.font = family;
        f.direction = direction;
        f.italic = true;
        turn(f, angle);
        return f;
    };
    TextModel leaningFitted = leaning(microHeiFamily(), QStringLiteral("黫档W"), 41, 67, 1, 1, 180);
    leaningFitted.fontSize = 45;
    leaningFitted.scaleX = 0.5f;
    leaningFitted.adapted = true;
    // Upright columns in the built-in templates' "宋体", whose cells are far
    // wider than their ink.
    const auto song = [&](const QString &text, int direction, int align) {
        TextModel f = field(text, 40, 88, 12, align);
        f.font = QStringLiteral("宋体");
        f.direction = direction;
        return f;
    };
    const QString year = QStringLiteral("档案管理规定2024");
    // A monospaced font's cells are narrower than the ideographs it takes
    // from another font.
    TextModel monospaced = field(QStringLiteral("ID 0042 档号"), 40, 110, 8, -1);
    monospaced.font = QStringLiteral("DejaVu Sans Mono");
    monospaced.direction = 2;
    TextModel turnedItalic = field(QStringLiteral("jfj fjf"), 40, 60, 20, 1);
    turnedItalic.direction = 1;
    turnedItalic.verticalAlign = 1;
    turnedItalic.italic = true;
    return {{"tab inside, right", field(QStringLiteral("A\tB"), 60, 20, 8, 1)},
            {"tab first, right", field(QStringLiteral("\tAB"), 60, 20, 8, 1)},
            {"mark first, left", field(QStringLiteral("\u0301A"), 60, 20, 8, -1)},
            {"mark last, right", field(QStringLiteral("A\u0301"), 60, 20, 8, 1)},
            {"italic j", italic},
            {"italic quote first, right", quoted},
            {"turned descenders", turned},
            {"latin fitted, spaced", latin},
            {"punctuation fitted 8 mm", fitted(punctuation, 8)},
            {"punctuation fitted 9 mm", fitted(punctuation, 9)},
            {"punctuation fitted in one line, lower box", lowBox},
            {"italic ideographs to the edges, left", slanted(-1, 85, false, 1)},
            {"italic ideographs to the edges, right", slanted(1, 85, false, 1)},
            {"italic ideographs fitted", slanted(0, 40, true, 1)},
            {"italic ideographs fitted by scale", slanted(0, 30, true, 2)},
            {"italic turned runs, bottom", turnedItalic},
            {"italic column 20 mm, right", column(QStringLiteral("工程档案"), 1, 20)},
            {"italic column 20 mm, right to left, right", column(QStringLiteral("档案管理规定"), 2, 20)},
            {"italic column 30 mm, right", column(QStringLiteral("工程档案"), 1, 30)},
            {"italic column 30 mm, right to left, right", column(QStringLiteral("档案管理规定"), 2, 30)},
            {"italic column 40 mm, right", column(QStringLiteral("工程档案"), 1, 40)},
            {"italic column turned 90", column(QStringLiteral("档案管理规定"), 2, 30, 90)},
            {"italic column turned 180", column(QStringLiteral("档案管理规定"), 2, 30, 180)},
            {"italic column scaled 1.5 across", column(QStringLiteral("工程档案"), 1, 30, 0, 1.5f)},
            {"italic column fitted 20 mm, just wide enough, right", fittedColumn(QStringLiteral("黫档"), 1, 20, 1)},
            {"italic column fitted 30 mm, just wide enough, right to left",
             fittedColumn(QStringLiteral("档案黫"), 2, 30, 0)},
            {"italic column fitted 40 mm, just wide enough, left", fittedColumn(QStringLiteral("黫档"), 1, 40, -1)},
            {"italic column fitted 40 mm, just wide enough, right to left",
             fittedColumn(QStringLiteral("\u9EEB"), 2, 40, 1)},
            {"italic lines scaled 0.5 across, fitted by scale", narrowLines},
            {"italic turned run at a column's foot", leaning(zenHeiFamily(), QStringLiteral("档案fjW"), 120, 117, 1, 0)},
            {"italic turned run at a column's foot, turned 180",
             leaning(zenHeiFamily(), QStringLiteral("档案fjW"), 120, 117, 1, 0, 180)},
            {"italic turned run at a column's foot, right to left, right, turned 90",
             leaning(zenHeiFamily(), QStringLiteral("档案fjW"), 120, 117, 2, 1, 90)},
            {"italic turned run at a column's head", leaning(QStringLiteral("DejaVu Serif"), QStringLiteral("Afj档案"), 60, 113, 1, 0)},
            {"italic turned run at a column's foot, fitted, scaled 0.5 across, turned 180", leaningFitted},
            {"ideographs wider than a monospaced font's cells, right to left, left", monospaced},
            {"upright year, centred", song(year, 1, 0)},
            {"upright year, right to left, left", song(year, 2, -1)},
            {"upright year, right to left, centred", song(year, 2, 0)},
            {"upright dates, centred", song(QStringLiteral("2024-07-01至2024-12-31"), 1, 0)}};
}

// The field alone on a label with a margin around it.
TemplateModel labelOf(const TextModel &field)
{
    TemplateModel t = blankLabel(QStringLiteral("文字"));
    const bool across = field.rotate % 180 != 0;
    const float side = std::max(field.width, field.height);
    t.printWidth = field.startX + (across ? side : field.width) + MARGIN_MM;
    t.printHeight = field.startY + (across ? side : field.height) + MARGIN_MM;
    t.textModels << field;
    return t;
}

// Dark pixels inside the rectangle and outside it, with a pixel's room for
// smoothing; and where they all lie, when asked.
QPair<int, int> inkAround(const QImage &image, const QRect &box, QRect *bounds = nullptr)
{
    const QRect allowed = box.adjusted(-1, -1, 1, 1);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QPair<int, int> ink;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (qGray(line[x]) < 160) {
                ++(allowed.contains(x, y) ? ink.first : ink.second);
                if (bounds)
                    *bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink;
}

// The box the field prints in at dpi, turned about its centre as the scenes turn it.
QRect boxAt(const TextModel &f, int dpi)
{
    const QRectF own(TextUtil::mm2px(f.startX, dpi), TextUtil::mm2px(f.startY, dpi), TextUtil::mm2px(f.width, dpi),
                     TextUtil::mm2px(f.height, dpi));
    const QPointF centre = own.center();
    return QTransform().translate(centre.x(), centre.y()).rotate(f.rotate).translate(-centre.x(), -centre.y())
        .mapRect(own).toAlignedRect();
}

QString describe(const TextModel &f)
{
    return QStringLiteral("\"%1\" %2x%3 mm, %4 mm, dir %5, align %6/%7, auto-fit %8/%9, wrap %10, italic %11, "
                          "scale %12/%13, turned %14")
        .arg(f.textContent).arg(f.width).arg(f.height).arg(f.fontSize).arg(f.direction).arg(f.horizontalAlign)
        .arg(f.verticalAlign).arg(f.adapted).arg(f.adaptedMode).arg(f.mutiled).arg(f.italic).arg(f.scaleX)
        .arg(f.scaleY).arg(f.rotate);
}

// What the layout decided: the breaks, the fitted scale and the share of
// its own size the font was fitted to.
QStringList decisions(RichTextItem *item)
{
    const TextLayoutResult &r = item->currentLayout();
    QStringList d = r.lines;
    for (const stRowDataBlock &column : r.columns)
        d << column.text;
    d << QString::number(double(r.font.pixelSize()) / item->layoutInput().font.pixelSize(), 'f', 4)
      << QString::number(double(r.scaleX));
    return d;
}

RichTextItem *textItemOf(QGraphicsScene &scene)
{
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() == RichTextItem::Type)
            return static_cast<RichTextItem *>(item);
    }
    return nullptr;
}

} // namespace

class TestPrintedText : public QObject
{
    Q_OBJECT

    float m_savedScreenDpi = 0;
    QVector<TextModel> m_fields;
    QVector<QByteArray> m_names;

private slots:
    void initTestCase()
    {
        QVERIFY(loadPinnedFonts());
        m_savedScreenDpi = TextUtil::SCREEN_DPI;
        SettingUtil::s_tempSpecialSymbol =
            QVector<QChar>(SettingUtil::DEFAULT_SPECIAL_SYMBOLS.begin(), SettingUtil::DEFAULT_SPECIAL_SYMBOLS.end());
        m_fields = generatedFields();
        for (int i = 0; i < m_fields.size(); ++i)
            m_names << QByteArray::number(i);
        for (const TextModel &f : slantedFields()) {
            m_names << "italic " + QByteArray::number(m_fields.size());
            m_fields << f;
        }
        for (const auto &named : inkPastAdvances()) {
            m_names << named.first;
            m_fields << named.second;
        }
    }

    void cleanupTestCase() { TextUtil::SCREEN_DPI = m_savedScreenDpi; }

    void inkStaysInsideTheBox_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < m_fields.size(); ++i)
            QTest::newRow(m_names.at(i).constData()) << i;
    }

    void inkStaysInsideTheBox()
    {
        QFETCH(int, index);
        const TextModel &field = m_fields.at(index);
        const TemplateModel label = labelOf(field);

        QGraphicsScene printed;
        PageScene page(&printed, label, PAGE_DPI);
        page.rebuild(false);
        const QImage image = page.renderPage();
        QRect inked;
        const QPair<int, int> ink = inkAround(image, boxAt(field, PAGE_DPI), &inked);
        QVERIFY2(ink.first > 0 && ink.second == 0, qPrintable(describe(field)));
        if (PINNED_SPANS.contains(QTest::currentDataTag()))
            QCOMPARE(qMakePair(inked.left(), inked.right()), PINNED_SPANS.value(QTest::currentDataTag()));
        const QStringList printedDecisions = decisions(textItemOf(printed));

        for (int dpi : {96, 100, 120, 144}) {
            TextUtil::SCREEN_DPI = dpi;
            TemplateDocument document(label);
            QGraphicsScene shown;
            EditorScene editor(&shown, document);
            editor.addAll();
            auto *item = static_cast<RichTextItem *>(editor.item(field.id));
            QCOMPARE(decisions(item), printedDecisions);

            QImage screen(TextUtil::mm2px(label.printWidth, dpi), TextUtil::mm2px(label.printHeight, dpi),
                          QImage::Format_RGB32);
            screen.fill(Qt::white);
            QPainter painter(&screen);
            shown.render(&painter, QRectF(screen.rect()), QRectF(screen.rect()));
            painter.end();
            QVERIFY2(inkAround(screen, boxAt(field, dpi)).second == 0, qPrintable(QString::number(dpi) + describe(field)));
        }
    }

    // A data value far longer than its field and its label: which part of it
    // the label shows depends on all of it (a centred or bottom-aligned
    // stack, a centred or right-aligned line, columns from the right), so
    // every line and column of it is laid out.
    void aLongTextIsLaidOutWhole_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("align");
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<bool>("italic");
        for (int align : {-1, 0, 1}) {
            QTest::addRow("lines %d", align) << 0 << align << true << false;
            QTest::addRow("unwrapped %d", align) << 0 << align << false << false;
            QTest::addRow("columns 1 %d", align) << 1 << align << true << false;
            QTest::addRow("columns 2 %d", align) << 2 << align << true << false;
            // Lines beyond those the box holds are broken by ink with room to spare.
            QTest::addRow("italic lines %d", align) << 0 << align << true << true;
        }
    }

    void aLongTextIsLaidOutWhole()
    {
        QFETCH(int, direction);
        QFETCH(int, align);
        QFETCH(bool, wrap);
        QFETCH(bool, italic);
        TextModel field = textField(QStringLiteral("题名"), QString(), 10, 10, 40, 14, 4);
        field.italic = italic;
        field.direction = direction;
        field.horizontalAlign = align;
        field.verticalAlign = align;
        field.mutiled = wrap;
        TemplateModel label = labelOf(field);
        label.printWidth = 60;
        label.printHeight = 40;
        const QString sentence = QStringLiteral("道路工程竣工资料第1卷（含设计变更、施工记录与验收报告）Archive 2024-07，共12件。\n");
        QString text;
        while (text.size() < 4000)
            text += sentence;

        QGraphicsScene printed;
        PageScene page(&printed, label, PAGE_DPI);
        page.rebuild(false);
        page.fill({{field.textTitle, text}});
        const TextLayoutResult &laidOut = textItemOf(printed)->currentLayout();
        QStringList pieces = laidOut.lines;
        for (const stRowDataBlock &column : laidOut.columns)
            pieces << column.text;
        if (direction == 2)
            std::reverse(pieces.begin(), pieces.end());
        QCOMPARE(pieces.join(QString()), QString(text).remove(QLatin1Char('\n')));
    }
};

QTEST_MAIN(TestPrintedText)
#include "tst_printedtext.moc"
