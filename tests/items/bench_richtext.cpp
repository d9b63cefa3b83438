// Paint time of text fields: the built-in "档案袋" page (71 fields) at 300 dpi
// with a cold and a warm layout cache, one auto-fitting field of 200
// characters, one field without wrap holding 5000 characters, and one title
// field (133 x 50 mm, 6 mm) holding 10 k, 1 M and 16 M characters, with
// auto-fit off and on, on the printed page and in the editor; and a field
// of 20 000 distinct ideographs upright and italic, in lines and in
// columns, auto-fit off and on, and in columns with a Latin word or a
// number after every third; and an italic column auto-fitted in a box only
// just wide enough for its cells.
//
//   bench_richtext [templates.json]
//
// The templates default to the embedded built-in resource.

#include "items/richtextitem.h"
#include "print/pagescene.h"
#include "support/labelfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/settingutil.h"
#include "util/templatejson.h"
#include "util/textutil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <QStyleOptionGraphicsItem>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const int DPI = 300;
const int WARM_ROUNDS = 10;
const QString PAGE = QStringLiteral("档案袋");

bool loadTemplate(const QString &path, const QString &name, TemplateModel &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonArray templates = QJsonDocument::fromJson(file.readAll()).array();
    for (const QJsonValue &v : templates) {
        if (v.toObject().value(QStringLiteral("name")).toString() == name) {
            out = TemplateJson::readTemplate(v.toObject());
            return true;
        }
    }
    return false;
}

// The text item as the print preview sets it up for a printed page.
RichTextItem *makeItem(const TextModel &m)
{
    auto *item = new RichTextItem;
    item->setProperty("edit", false);
    item->setText(m.textContent);
    item->setPos(TextUtil::mm2px(m.startX, DPI), TextUtil::mm2px(m.startY, DPI));
    item->setRect(QRectF(0, 0, TextUtil::mm2px(m.width, DPI), TextUtil::mm2px(m.height, DPI)));
    QFont font(m.font);
    font.setPixelSize(TextUtil::mm2px(m.fontSize, DPI));
    font.setWeight(m.bold ? 75 : 50);
    font.setItalic(m.italic);
    font.setLetterSpacing(QFont::AbsoluteSpacing, TextUtil::mm2px(m.wordSpacing, DPI));
    item->setHorizontalAlign(m.horizontalAlign);
    item->setVerticalAlign(m.verticalAlign);
    item->setTextDirection(m.direction);
    item->setLetterSpacing(TextUtil::mm2px(m.wordSpacing, DPI));
    item->setRowSpacing(TextUtil::mm2px(m.rowSpacing, DPI));
    item->setIndentation(int(m.indentation));
    item->setFont(font);
    item->setBoundingBorder(TextUtil::mm2px(m.border, DPI));
    item->setElementScaleX(m.scaleX);
    item->setElementScaleY(m.scaleY);
    item->setAdapted(m.adapted);
    item->setAdaptedMode(m.adaptedMode);
    item->setVerRuler(m.noVerRule);
    item->setMutilWarp(m.mutiled);
    item->setFlags({});
    return item;
}

// A plausible data row for the page's titles.
QString sampleValue(const QString &title)
{
    if (title.startsWith(QStringLiteral("名称")))
        return QStringLiteral("干部履历表及任免审批材料");
    if (title.startsWith(QStringLiteral("件数")))
        return QStringLiteral("3");
    if (title.startsWith(QStringLiteral("页数")))
        return QStringLiteral("12");
    if (title == QStringLiteral("备注"))
        return QStringLiteral("本袋材料经核对无误，原件存于市档案馆第三库房，借阅须经档案室负责人批准并登记");
    if (title == QStringLiteral("档案号"))
        return QStringLiteral("RS-2024-0318");
    if (title == QStringLiteral("姓名"))
        return QStringLiteral("欧阳明远");
    return QStringLiteral("汉族");
}

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1.0e6; }

struct PageFigures {
    double firstPaint = 0;
    double coldPaint = 0;
    double warmPaint = 0;
    double blankPage = 0;
    double coldLayout = 0;
    double warmLayout = 0;
    int layouts = 0;
};

PageFigures benchPage(const TemplateModel &page, bool filled)
{
    PageFigures f;
    const int w = TextUtil::mm2px(page.printWidth, DPI);
    const int h = TextUtil::mm2px(page.printHeight, DPI);
    QImage image(w, h, QImage::Format_RGB32);
    // A fresh page scene, empty or holding the page's text fields.
    auto makeScene = [&](bool withFields, QList<RichTextItem *> *items) {
        auto scene = std::make_unique<QGraphicsScene>(0, 0, w, h);
        for (const TextModel &m : page.textModels) {
            if (!withFields)
                break;
            RichTextItem *item = makeItem(m);
            if (filled)
                item->setText(sampleValue(m.textTitle));
            scene->addItem(item);
            items->append(item);
        }
        return scene;
    };
    auto render = [&](QGraphicsScene &scene) {
        image.fill(Qt::white);
        QPainter p(&image);
        scene.render(&p, QRectF(0, 0, w, h), QRectF(0, 0, w, h));
    };
    auto timeRenders = [&](QGraphicsScene &scene, int rounds) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < rounds; ++i)
            render(scene);
        return msSince(t) / rounds;
    };

    QList<RichTextItem *> items;
    // The very first paint also fills the glyph caches of the font engine.
    f.firstPaint = timeRenders(*makeScene(true, &items), 1);
    items.clear();
    const auto scene = makeScene(true, &items);
    f.coldPaint = timeRenders(*scene, 1);
    f.warmPaint = timeRenders(*scene, WARM_ROUNDS);
    for (RichTextItem *item : items)
        f.layouts += item->layoutCount();
    f.blankPage = timeRenders(*makeScene(false, nullptr), WARM_ROUNDS);

    // The layout alone, without rasterising.
    items.clear();
    const auto unpainted = makeScene(true, &items);
    QElapsedTimer t;
    t.start();
    for (RichTextItem *item : items)
        item->currentLayout();
    f.coldLayout = msSince(t);
    t.restart();
    for (int i = 0; i < WARM_ROUNDS; ++i)
        for (RichTextItem *item : items)
            item->currentLayout();
    f.warmLayout = msSince(t) / WARM_ROUNDS;
    return f;
}

// A field holding `length` characters of a repeated archive sentence, its
// font size and its size given in millimetres.
TextLayoutInput sampleField(const QString &family, int length, float fontMm, float widthMm, float heightMm)
{
    TextLayoutInput in;
    const QString sentence = QStringLiteral("档案的收集整理保管和利用必须遵守国家规定的各项制度以确保档案完整与安全");
    while (in.text.size() < length)
        in.text += sentence;
    in.text.truncate(length);
    in.font = QFont(family);
    in.font.setPixelSize(TextUtil::mm2px(fontMm, DPI));
    in.rect = QRectF(0, 0, TextUtil::mm2px(widthMm, DPI), TextUtil::mm2px(heightMm, DPI));
    in.specialSymbols = SettingUtil::s_tempSpecialSymbol;
    return in;
}

void benchAutoFit(const QString &family)
{
    TextLayoutInput in = sampleField(family, 200, 6.0f, 60.0f, 25.0f);
    in.adapted = true;
    in.adaptedMode = 1;

    const int rounds = 20;
    QElapsedTimer t;
    t.start();
    TextLayoutResult r;
    for (int i = 0; i < rounds; ++i)
        r = TextLayout::layout(in);
    const double layoutMs = msSince(t) / rounds;
    const int steps = in.font.pixelSize() - r.font.pixelSize();

    RichTextItem item;
    item.setProperty("edit", false);
    item.setText(in.text);
    item.setFont(in.font);
    item.setRect(0, 0, int(in.rect.width()), int(in.rect.height()));
    item.setAdapted(true);
    item.setAdaptedMode(1);
    QImage image(in.rect.size().toSize(), QImage::Format_RGB32);
    QStyleOptionGraphicsItem option;
    auto paint = [&] {
        image.fill(Qt::white);
        QPainter p(&image);
        item.paint(&p, &option, nullptr);
    };
    t.restart();
    paint();
    const double coldPaint = msSince(t);
    t.restart();
    for (int i = 0; i < rounds; ++i)
        paint();
    const double warmPaint = msSince(t) / rounds;

    std::printf("auto-fit mode 1, 200 characters, %d x %d px, font %d px -> %d px (%d steps, %d lines)\n",
                int(in.rect.width()), int(in.rect.height()), in.font.pixelSize(), r.font.pixelSize(), steps,
                int(r.lines.size()));
    std::printf("  layout            %8.2f ms\n", layoutMs);
    std::printf("  paint, cold cache %8.2f ms\n", coldPaint);
    std::printf("  paint, warm cache %8.2f ms\n", warmPaint);
}

// A long data value in a field that does not wrap: one line however long.
void benchLongOneLine(const QString &family)
{
    TextLayoutInput in = sampleField(family, 5000, 4.0f, 60.0f, 10.0f);
    in.wrap = false;

    QElapsedTimer t;
    t.start();
    const TextLayoutResult r = TextLayout::layout(in);
    std::printf("one line of %d characters without wrap (%d line): layout %8.2f ms\n", int(in.text.size()),
                int(r.lines.size()), msSince(t));
}

// A label of that size (mm) with one empty text field filled by the title's
// column, in that box (mm), in type of that size (mm).
TemplateModel oneFieldLabel(const QString &title, QSizeF label, QRectF box, float typeMm)
{
    TemplateModel model = TestSupport::blankLabel(title);
    model.printWidth = float(label.width());
    model.printHeight = float(label.height());
    model.textModels << TestSupport::textField(title, QString(), float(box.x()), float(box.y()), float(box.width()),
                                               float(box.height()), typeMm);
    return model;
}

// A column of 40 mm type auto-fitted in a box only just wide enough for its
// cells: italic, its ink leans past the box at the size its cells fit, so
// smaller sizes are tried, each looking at the glyphs at the block's edges.
void benchTightColumn(const QString &family)
{
    for (bool italic : {false, true}) {
        TextLayoutInput in = sampleField(family, 0, 40.0f, 0, 7 * 40 * 1.3f + 4);
        in.text = QStringLiteral("黫档案管理规定");
        in.font.setItalic(italic);
        in.rect.setWidth(QFontMetrics(in.font).maxWidth() + 11);
        in.direction = 1;
        in.horizontalAlign = 1;
        in.adapted = true;
        QElapsedTimer t;
        t.start();
        const TextLayoutResult r = TextLayout::layout(in);
        const double firstMs = msSince(t);
        t.restart();
        for (int i = 0; i < WARM_ROUNDS; ++i)
            TextLayout::layout(in);
        std::printf("one column of 40 mm type just wide enough for its cells, auto-fit on, %-7s: font %d px -> %d px, "
                    "first layout %6.2f ms, again %6.2f ms\n",
                    italic ? "italic" : "upright", in.font.pixelSize(), r.font.pixelSize(), firstMs,
                    msSince(t) / WARM_ROUNDS);
    }
}

// A title field far longer than its box, as a data row brings it: the page
// at the printer's resolution (layout and first render, then a repaint with
// the layout kept) and the same field in the editor's scene at 96 dpi. A
// case the previous size predicts to take longer than the budget (60 s, or
// KELO_BENCH_BUDGET_S) is skipped.
void benchLongField(const QString &family)
{
    const QString title = QStringLiteral("案卷题名");
    TemplateModel model = oneFieldLabel(title, {250, 310}, {105, 95, 133, 50}, 6);
    model.textModels[0].font = family;
    model.textModels[0].horizontalAlign = model.textModels[0].verticalAlign = 0;

    const QString sentence = QStringLiteral("道路工程竣工资料第1卷（含设计变更、施工记录与验收报告）Archive 2024-07，共12件。");
    const int budgetS = qEnvironmentVariableIntValue("KELO_BENCH_BUDGET_S");
    const double budgetMs = 1000.0 * (budgetS > 0 ? budgetS : 60);
    for (bool adapted : {false, true}) {
        model.textModels[0].adapted = adapted;
        double previousMs = 0;
        int previousLength = 0;
        for (int length : {10000, 1000000, 16 * 1000 * 1000}) {
            const double predicted = previousLength ? previousMs * length / previousLength : 0;
            std::printf("%8d characters, auto-fit %s:", length, adapted ? "on " : "off");
            if (predicted > budgetMs) {
                std::printf(" skipped, %.0f s predicted from the smaller text\n", predicted / 1000);
                continue;
            }
            const QMap<QString, QVariant> row{{title, sentence.repeated(length / sentence.size() + 1).left(length)}};
            // The first paint at that resolution, and a repaint with the layout kept when asked.
            const auto paint = [&](int dpi, double *repaintMs) {
                QGraphicsScene scene;
                PageScene page(&scene, model, dpi);
                page.rebuild(false);
                page.fill(row);
                QElapsedTimer t;
                t.start();
                page.renderPage();
                const double firstMs = msSince(t);
                if (repaintMs) {
                    t.restart();
                    page.renderPage();
                    *repaintMs = msSince(t);
                }
                return firstMs;
            };
            double repaintMs = 0;
            const double pageMs = paint(DPI, &repaintMs);
            const double editorMs = paint(96, nullptr);
            std::printf(" page first render %9.2f ms, repaint %8.2f ms; editor (96 dpi) first paint %9.2f ms\n",
                        pageMs, repaintMs, editorMs);
            std::fflush(stdout);
            previousMs = pageMs + editorMs;
            previousLength = length;
        }
    }
}

// A repaint, at the editor's 96 dpi with the layout kept, of a label whose
// whole face is one field of 2.5 mm type at half its width, in lines level
// and turned a quarter and in columns, upright and italic. Under a scale
// uneven across and down, or a turn, a slanted glyph is drawn from its
// outline, not from the font engine's glyph cache.
void benchSlantedRepaint(const QString &family)
{
    const QString title = QStringLiteral("备注");
    const QString sentence = QStringLiteral("道路工程竣工资料第1卷（含设计变更、施工记录与验收报告）Archive 2024-07，共12件。");
    const int dpi = 96;
    struct Case {
        const char *name;
        int direction;
        int angle;
    };
    for (const Case &c : {Case{"lines", 0, 0}, Case{"lines turned 90", 0, 90}, Case{"columns", 2, 0}}) {
        double ms[2] = {0, 0};
        // They fill the face.
        const int characters = 3600;
        for (bool italic : {false, true}) {
            // Turned, the field's 150 x 100 mm stand 100 x 150 on the label.
            TemplateModel model = c.angle ? oneFieldLabel(title, {160, 160}, {5, 30, 150, 100}, 2.5f)
                                          : oneFieldLabel(title, {160, 110}, {5, 5, 150, 100}, 2.5f);
            TextModel &field = model.textModels[0];
            field.font = family;
            field.italic = italic;
            field.scaleX = 0.5f;
            field.rotate = c.angle;
            field.direction = c.direction;
            field.horizontalAlign = field.verticalAlign = -1;
            QGraphicsScene scene;
            PageScene page(&scene, model, dpi);
            page.rebuild(false);
            page.fill({{title, sentence.repeated(characters / sentence.size() + 1).left(characters)}});
            page.renderPage();
            ms[italic] = TestSupport::medianMs([&] { page.renderPage(); }, 9);
        }
        std::printf("repaint at %d dpi, 150 x 100 mm of 2.5 mm type at half width, %-15s (%d characters): "
                    "upright %6.2f ms, italic %6.2f ms, italic/upright %5.2f\n",
                    dpi, c.name, characters, ms[0], ms[1], ms[0] > 0 ? ms[1] / ms[0] : 0.0);
    }
}

// The ink of a slanted glyph is read from a picture of it, which must not
// make an italic field cost a picture per character it holds, nor per
// character and size auto-fit tries: a field of 20 000 distinct ideographs
// (150 x 100 mm, 10 mm type) as a data row brings it, upright and italic,
// in lines and in columns (right to left, as the spines set them),
// auto-fit off and on. Each case is rendered first in a process of its
// own, run with FIRST_RENDER, so that nothing an earlier case kept helps it.
const char *const FIRST_RENDER = "--first-render-of-distinct-ideographs";

// With `runs`, a Latin word or a number follows every third ideograph:
// turned in columns, each such run is measured where it ends its column,
// as far as its slanted ink leans along it.
double firstRenderOfDistinctIdeographs(bool italic, bool adapted, int direction, bool runs)
{
    const QString title = QStringLiteral("备注");
    TemplateModel model = oneFieldLabel(title, {160, 110}, {5, 5, 150, 100}, 10);
    model.textModels[0].italic = italic;
    model.textModels[0].adapted = adapted;
    model.textModels[0].direction = direction;
    const QStringList words = {"Wolf", "2024", "fjW", "Archive", "No.12", "AVA"};
    QString text;
    for (uint c = 0x4E00; c < 0x4E00 + 20000; ++c) {
        text += QChar(c);
        if (runs && c % 3 == 0)
            text += words.at(int(c / 3 % words.size()));
    }

    QGraphicsScene scene;
    PageScene page(&scene, model, DPI);
    page.rebuild(false);
    page.fill({{title, text}});
    QElapsedTimer t;
    t.start();
    page.renderPage();
    return msSince(t);
}

void benchSlantedIdeographs()
{
    // The median of a few processes: one first render is a noisy figure.
    const int runs = 5;
    std::printf("20000 distinct ideographs, 150 x 100 mm, 10 mm type, first render (median of %d processes):\n", runs);
    for (const char *direction : {"0", "2", "2+runs"}) {
        for (const char *adapted : {"off", "on"}) {
            double ms[2] = {0, 0};
            for (const char *style : {"upright", "italic"}) {
                QVector<double> times;
                for (int i = 0; i < runs; ++i) {
                    QProcess run;
                    run.start(QCoreApplication::applicationFilePath(), {FIRST_RENDER, style, adapted, direction});
                    run.waitForFinished(-1);
                    times.append(run.readAllStandardOutput().trimmed().toDouble());
                }
                std::sort(times.begin(), times.end());
                ms[qstrcmp(style, "italic") == 0] = times.at(runs / 2);
            }
            const char *layout = qstrcmp(direction, "0") == 0 ? "lines"
                : qstrcmp(direction, "2") == 0                ? "columns"
                                                              : "columns, a run every third ideograph";
            std::printf("  %-7s auto-fit %-3s upright %9.2f ms, italic %9.2f ms, italic/upright %5.2f\n", layout,
                        adapted, ms[0], ms[1],
                        ms[0] > 0 ? ms[1] / ms[0] : 0.0);
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSupport::loadPinnedFonts();
    if (argc == 5 && qstrcmp(argv[1], FIRST_RENDER) == 0) {
        std::printf("%.2f\n", firstRenderOfDistinctIdeographs(qstrcmp(argv[2], "italic") == 0,
                                                              qstrcmp(argv[3], "on") == 0, QByteArray(argv[4]).left(1).toInt(),
                                                              QByteArray(argv[4]).endsWith("+runs")));
        return 0;
    }
    // The built-ins ask for "宋体"; pin what it resolves to so the figures
    // do not depend on the machine's fonts.
    QFont::insertSubstitution(QStringLiteral("宋体"), TestSupport::zenHeiFamily());
    SettingUtil::s_tempSpecialSymbol =
        QVector<QChar>(SettingUtil::DEFAULT_SPECIAL_SYMBOLS.begin(), SettingUtil::DEFAULT_SPECIAL_SYMBOLS.end());

    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(":/resources/config/defaultTemplate.json");
    TemplateModel page;
    if (!loadTemplate(path, PAGE, page)) {
        std::fprintf(stderr, "template %s not found in %s\n", qPrintable(PAGE), qPrintable(path));
        return 1;
    }
    const QFont resolved(page.textModels.value(0).font);
    std::printf("page %s: %d text fields, %d x %d px at %d dpi, font \"%s\" resolved to \"%s\"\n", qPrintable(PAGE),
                int(page.textModels.size()), TextUtil::mm2px(page.printWidth, DPI),
                TextUtil::mm2px(page.printHeight, DPI), DPI, qPrintable(resolved.family()),
                qPrintable(QFontInfo(resolved).family()));
    for (bool filled : {false, true}) {
        const PageFigures f = benchPage(page, filled);
        std::printf("%s\n", filled ? "fields filled from a data row" : "fields with their stored content");
        std::printf("  first paint of the process    %8.2f ms (glyph caches empty too)\n", f.firstPaint);
        std::printf("  full paint, cold layout cache %8.2f ms\n", f.coldPaint);
        std::printf("  full paint, warm layout cache %8.2f ms (mean of %d; %d layouts in all)\n", f.warmPaint,
                    WARM_ROUNDS, f.layouts);
        std::printf("  blank page, for comparison    %8.2f ms\n", f.blankPage);
        std::printf("  layout only, cold             %8.2f ms\n", f.coldLayout);
        std::printf("  layout only, warm             %8.3f ms\n", f.warmLayout);
    }
    benchAutoFit(TestSupport::zenHeiFamily());
    benchLongOneLine(TestSupport::zenHeiFamily());
    benchTightColumn(TestSupport::zenHeiFamily());
    benchSlantedRepaint(TestSupport::zenHeiFamily());
    benchSlantedIdeographs();
    benchLongField(TestSupport::zenHeiFamily());
    return 0;
}
