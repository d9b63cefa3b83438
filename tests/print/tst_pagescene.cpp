// The page scene of the print preview: items from the template at the
// printer's resolution, refilled per data row, and the page as it prints.
// Codes on the rendered page are read back by zbarimg.

#include "items/doublerectitem.h"
#include "items/pixmapitem.h"
#include "items/richtextitem.h"
#include "print/pagescene.h"
#include "support/labelfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/seams.h"
#include "util/templatejson.h"
#include "util/textutil.h"

#include <QGraphicsScene>
#include <QJsonArray>
#include <QPainter>
#include <QtTest>

namespace {

const int DPI = 300;

int px(float mm)
{
    return TextUtil::mm2px(mm, DPI);
}

// Every kind of element on a 100 x 80 mm label.
TemplateModel fieldTemplate()
{
    TemplateModel t;
    t.name = QStringLiteral("fields");
    t.printWidth = 100;
    t.printHeight = 80;
    t.backLength = 30;
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(2, 2, 96, 76);
    LineModel line = TestSupport::placedElement<LineModel>(2, 40, 60, 0.5f);
    line.direction = 0;
    t.lineModels << line;
    t.circleModels << TestSupport::placedElement<CircleModel>(70, 60, 10, 10);
    t.textModels << TestSupport::textField(QStringLiteral("姓名"), QStringLiteral("模板姓名"), 5, 5, 60, 12, 6);
    t.qrcodeModels << TestSupport::qrField(QStringLiteral("编号"), QStringLiteral("Q-0"), 65, 5, 30, 3);
    BarcodeModel bar = TestSupport::placedElement<BarcodeModel>(5, 45, 60, 15, 2);
    bar.title = QStringLiteral("条码");
    bar.content = QStringLiteral("B-0");
    t.barcodeModels << bar;
    t.rectBgModels << TestSupport::placedElement<RectangleBgModel>(70, 40, 25, 15, 1);
    return t;
}

// The same on the built-in box face, the QR code sent to the bottom.
TemplateModel onBackground()
{
    TemplateModel t = fieldTemplate();
    t.background = QStringLiteral("tongyong2CM.png");
    t.qrcodeModels.first().viewZ = -1;
    return t;
}

QRect rectOf(const GraphicsModel &m)
{
    return QRect(px(m.startX), px(m.startY), px(m.width), px(m.height));
}

QStringList codesIn(const QImage &page, const QRect &area)
{
    return TestSupport::zbarDecode(page.copy(area), 40);
}

bool isWhite(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

int countColour(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

template <typename Item>
Item *itemOfType(QGraphicsScene &scene, int elementType)
{
    for (QGraphicsItem *item : scene.items())
        if (item->data(1).toInt() == elementType)
            return static_cast<Item *>(item);
    return nullptr;
}

} // namespace

class TestPageScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void itemsCarryTheirKeysAndStacking();
    void aPageDependsOnlyOnItsRow();
    void codesThatCannotBeMadeShowNothing();
    void theRenderedPageIsWhiteWithoutThePlaceholder();
    void aPageBufferIsDrawnAgainOnlyOnceLetGo_data();
    void aPageBufferIsDrawnAgainOnlyOnceLetGo();
    void elementsStackAsInTheEditor_data();
    void elementsStackAsInTheEditor();
    void rebuildingWithoutBackgroundLeavesAWhitePage();
    void doubleRectanglesAreDrawnAtThePrinterResolution();
    void builtInSpineFieldsHoldRealValues();

private:
    QStringList informationBoxes;
};

void TestPageScene::initTestCase()
{
    QVERIFY(TestSupport::loadPinnedFonts());
}

void TestPageScene::init()
{
    informationBoxes.clear();
    Seams::setInformationHandler(
        [this](QWidget *, const QString &title, const QString &text) { informationBoxes << title + text; });
}

void TestPageScene::cleanup()
{
    Seams::resetAll();
}

void TestPageScene::itemsCarryTheirKeysAndStacking()
{
    const TemplateModel t = fieldTemplate();
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    QCOMPARE(page.pageSize(), QSize(px(100), px(80)));
    page.addBackground();
    page.addItems();
    QCOMPARE(scene.items().size(), 1 + 7);
    QCOMPARE(page.fieldCount(), 3);

    for (QGraphicsItem *item : scene.items()) {
        if (item->data(0).isNull()) {
            QCOMPARE(item->zValue(), -999.0); // the background: no keys, below every element
            continue;
        }
        QCOMPARE(item->flags(), QGraphicsItem::GraphicsItemFlags());
        QVERIFY(!item->data(0).toString().isEmpty());
    }
    auto *text = itemOfType<RichTextItem>(scene, ELEMENT_TEXT);
    QVERIFY(text);
    QCOMPARE(text->data(0).toString(), t.textModels.first().id);
    QCOMPARE(text->data(2).toString(), QStringLiteral("姓名"));
    QCOMPARE(text->property("edit").toBool(), false);
    QCOMPARE(text->pos(), QPointF(px(5), px(5)));
    QCOMPARE(text->layoutInput().font.pixelSize(), px(6));

    auto *qr = itemOfType<PixmapItem>(scene, ELEMENT_QRCODE);
    QCOMPARE(qr->data(2).toString(), QStringLiteral("编号"));
    QCOMPARE(qr->zValue(), 3.0);
    QCOMPARE(qr->boundingRect(), QRectF(0, 0, px(30), px(30)));
    QCOMPARE(itemOfType<PixmapItem>(scene, ELEMENT_BARCODE)->zValue(), 2.0);
    QCOMPARE(itemOfType<DoubleRectItem>(scene, ELEMENT_RECT_BG)->zValue(), 1.0);
    QCOMPARE(itemOfType<DoubleRectItem>(scene, ELEMENT_RECT_BG)->getDpi(), DPI);
    QCOMPARE(itemOfType<QGraphicsItem>(scene, ELEMENT_LINE)->data(2).toInt(), 0);
    // Elements of equal stacking keep the template's list order: rectangles lowest.
    const QList<QGraphicsItem *> ordered = scene.items(Qt::AscendingOrder);
    QCOMPARE(ordered.at(0)->data(1).isNull(), true);
    QCOMPARE(ordered.at(1)->data(1).toInt(), int(ELEMENT_RECTANGLE));
}

void TestPageScene::aPageDependsOnlyOnItsRow()
{
    const TemplateModel t = fieldTemplate();
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    page.rebuild(false);
    auto *text = itemOfType<RichTextItem>(scene, ELEMENT_TEXT);
    const QRect qrArea = rectOf(t.qrcodeModels.first());
    const QRect barArea = rectOf(t.barcodeModels.first());

    QCOMPARE(codesIn(page.renderPage(), qrArea), QStringList{QStringLiteral("Q-0")});

    page.fill({{QStringLiteral("姓名"), QStringLiteral("张三")},
               {QStringLiteral("编号"), QStringLiteral("A-0001")},
               {QStringLiteral("条码"), 12345}});
    QCOMPARE(text->layoutInput().text, QStringLiteral("张三"));
    QImage rendered = page.renderPage();
    QCOMPARE(codesIn(rendered, qrArea), QStringList{QStringLiteral("A-0001")});
    QCOMPARE(codesIn(rendered, barArea), QStringList{QStringLiteral("12345")});

    // A row without the titles shows the template's contents, not the last page's.
    page.fill({{QStringLiteral("其他"), QStringLiteral("x")}});
    QCOMPARE(text->layoutInput().text, QStringLiteral("模板姓名"));
    rendered = page.renderPage();
    QCOMPARE(codesIn(rendered, qrArea), QStringList{QStringLiteral("Q-0")});
    QCOMPARE(codesIn(rendered, barArea), QStringList{QStringLiteral("B-0")});

    // An empty value shows no code at all.
    page.fill({{QStringLiteral("编号"), QString()}, {QStringLiteral("条码"), QString()},
               {QStringLiteral("姓名"), QString()}});
    rendered = page.renderPage();
    QVERIFY(isWhite(rendered, qrArea));
    QVERIFY(isWhite(rendered, barArea));
    QCOMPARE(text->layoutInput().text, QString());
    QVERIFY(informationBoxes.isEmpty());
}

void TestPageScene::codesThatCannotBeMadeShowNothing()
{
    const TemplateModel t = fieldTemplate();
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    page.rebuild(false);
    page.fill({{QStringLiteral("编号"), QStringLiteral("A-1")}, {QStringLiteral("条码"), QStringLiteral("B-1")}});
    // A NUL cannot be put into a QR code; Code 128 B has no Chinese characters.
    TestSupport::LogCapture log;
    page.fill({{QStringLiteral("编号"), QStringLiteral("a") + QChar(0) + QStringLiteral("b")},
               {QStringLiteral("条码"), QStringLiteral("条码")}});
    const QImage rendered = page.renderPage();
    QVERIFY(isWhite(rendered, rectOf(t.qrcodeModels.first())));
    QVERIFY(isWhite(rendered, rectOf(t.barcodeModels.first())));
    // The print road reports a rejected barcode in the log, never in a box.
    QVERIFY(informationBoxes.isEmpty());
    QVERIFY(!log.warnings().isEmpty());
}

void TestPageScene::theRenderedPageIsWhiteWithoutThePlaceholder()
{
    TemplateModel t;
    t.printWidth = 60;
    t.printHeight = 40;
    t.backLength = 20;
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    page.rebuild(true);
    QVERIFY(!page.hasBackgroundPicture());
    // Shown: the placeholder colour and the red fold.
    const QImage shown = page.renderThumbnail(300);
    QVERIFY(countColour(shown, PageScene::PLAIN_PAGE_COLOR) > shown.width() * shown.height() / 2);
    // Printed: nothing.
    const QImage printed = page.renderPage();
    QCOMPARE(printed.size(), QSize(px(60), px(40)));
    QVERIFY(isWhite(printed, printed.rect()));
    // And the preview still shows it afterwards.
    QCOMPARE(page.renderThumbnail(300), shown);
}

void TestPageScene::aPageBufferIsDrawnAgainOnlyOnceLetGo_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<bool>("withBackground");
    QTest::newRow("white scene") << false << false;
    QTest::newRow("background picture") << true << true;
    QTest::newRow("plain page") << false << true;
}

void TestPageScene::aPageBufferIsDrawnAgainOnlyOnceLetGo()
{
    QFETCH(bool, picture);
    QFETCH(bool, withBackground);
    QGraphicsScene scene;
    PageScene page(&scene, picture ? onBackground() : fieldTemplate(), DPI);
    page.rebuild(withBackground);
    const QMap<QString, QVariant> shortRow{{QStringLiteral("姓名"), QStringLiteral("甲")}};
    const QMap<QString, QVariant> longRow{{QStringLiteral("姓名"), QStringLiteral("乙丙丁戊己庚辛壬癸")}};
    page.fill(shortRow);
    const QImage held = page.renderPage();
    const QImage heldCopy = held.copy();
    page.fill(longRow);
    QImage next = page.renderPage();
    // A page still held keeps what it showed.
    QCOMPARE(held, heldCopy);
    QVERIFY(next.constBits() != held.constBits());
    const uchar *buffer = next.constBits();
    next = QImage();
    page.fill(shortRow);
    const QImage again = page.renderPage();
    QCOMPARE(again.constBits(), buffer);
    // Nothing of the longer text drawn there before remains.
    QCOMPARE(again, heldCopy);
}

void TestPageScene::elementsStackAsInTheEditor_data()
{
    QTest::addColumn<int>("textZ");
    QTest::addColumn<int>("pictureZ");
    QTest::addColumn<bool>("textOnTop");
    QTest::newRow("text raised over the picture") << 1 << 0 << true;
    QTest::newRow("picture sent to the bottom") << 0 << -1 << true;
    QTest::newRow("picture raised over the text") << 0 << 1 << false;
    QTest::newRow("equal: pictures come later") << 0 << 0 << false;
}

// The box face printed: it lies below every element, the code sent to the
// bottom included; a white picture over a text hides it only when above it.
void TestPageScene::elementsStackAsInTheEditor()
{
    QFETCH(int, textZ);
    QFETCH(int, pictureZ);
    QFETCH(bool, textOnTop);
    TestSupport::TempProgramDir programDir;
    FileUtil::checkCustomDir();
    QImage white(8, 8, QImage::Format_RGB32);
    white.fill(Qt::white);
    QVERIFY(white.save(programDir.file(QStringLiteral("/attachment/picture/white.png"))));
    TemplateModel t = onBackground();
    TextModel &text = t.textModels.first();
    text.viewZ = textZ;
    PictureModel picture = TestSupport::placedElement<PictureModel>(text.startX, text.startY, text.width, text.height, pictureZ);
    picture.fileName = QStringLiteral("white.png");
    t.pictureModels << picture;
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    page.rebuild(true);
    QVERIFY(page.hasBackgroundPicture());
    const QImage printed = page.renderPage();
    QVERIFY(!isWhite(printed, QRect(0, 0, 20, 20)));
    QCOMPARE(codesIn(printed, rectOf(t.qrcodeModels.first())), QStringList{QStringLiteral("Q-0")});
    QCOMPARE(!isWhite(printed, rectOf(text)), textOnTop);
}

void TestPageScene::rebuildingWithoutBackgroundLeavesAWhitePage()
{
    const TemplateModel t = onBackground();
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    page.rebuild(true);
    page.fill({{QStringLiteral("编号"), QStringLiteral("A-7")}});
    page.rebuild(false);
    QVERIFY(!page.hasBackgroundPicture());
    QCOMPARE(scene.items().size(), 7);
    const QImage printed = page.renderPage();
    QVERIFY(isWhite(printed, QRect(0, 0, 5, 5)));
    // Rebuilt items show the template until the next fill.
    QCOMPARE(codesIn(printed, rectOf(t.qrcodeModels.first())), QStringList{QStringLiteral("Q-0")});
    page.fill({{QStringLiteral("编号"), QStringLiteral("A-7")}});
    QCOMPARE(codesIn(page.renderPage(), rectOf(t.qrcodeModels.first())), QStringList{QStringLiteral("A-7")});
}

void TestPageScene::doubleRectanglesAreDrawnAtThePrinterResolution()
{
    TemplateModel t;
    t.printWidth = 60;
    t.printHeight = 40;
    t.rectBgModels << TestSupport::placedElement<RectangleBgModel>(10, 5, 40, 30);
    QGraphicsScene scene;
    PageScene page(&scene, t, DPI);
    page.rebuild(false);
    const QImage printed = page.renderPage();
    // Across the middle: a 2 mm outer frame from the element's left edge.
    const int y = px(5 + 15);
    int x = px(10);
    int run = 0;
    while (qGray(printed.pixel(x + run, y)) < 128)
        ++run;
    QVERIFY2(qAbs(run - px(2)) <= 2, qPrintable(QString::number(run)));
}

// The built-in spine fields printed with real values: an archive number stays
// inside its narrow field, a spine title stands in the middle of its field,
// and nothing runs over a caption or off the page. The built-ins ask for
// "宋体", drawn with whatever this machine resolves it to.
void TestPageScene::builtInSpineFieldsHoldRealValues()
{
    const QString archiveNumber = QStringLiteral("A12-2024-0035");
    const QString title = QStringLiteral("二〇二四年度城建档案（第一卷）");
    const QMap<QString, QString> values{{QStringLiteral("脊背档号"), archiveNumber},
                                        {QStringLiteral("脊背总登记号"), archiveNumber},
                                        {QStringLiteral("脊背归档号"), archiveNumber},
                                        {QStringLiteral("脊背档案号"), archiveNumber},
                                        {QStringLiteral("脊背案卷题名"), title},
                                        {QStringLiteral("文本标题3"), title},
                                        {QStringLiteral("脊背姓名"), QStringLiteral("欧阳建国")}};
    QFile resource{QLatin1String(DEFAULT_TEMPLATE_PATH)};
    QVERIFY(resource.open(QIODevice::ReadOnly));
    int fields = 0;
    for (const QJsonValue &v : JsonFile::parse(resource.readAll()).array()) {
        const TemplateModel t = TemplateJson::readTemplate(v.toObject());
        if (t.full)
            continue;
        QGraphicsScene scene;
        PageScene page(&scene, t, DPI);
        page.rebuild(false);
        QMap<QString, QVariant> row;
        QList<QRect> filled;
        for (const TextModel &m : t.textModels) {
            row.insert(m.textTitle, values.value(m.textTitle));
            if (values.contains(m.textTitle))
                filled.append(rectOf(m));
        }
        page.fill(row);

        // The spine strip with a spine's width of room on either side.
        const int spine = px(t.backLength);
        const QRect area(-spine, -spine, 3 * spine, page.pageSize().height() + 2 * spine);
        QImage image(area.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(area.size())), QRectF(area));
        painter.end();

        QVector<QRect> ink(filled.size());
        for (int y = 0; y < image.height(); ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(line[x]) >= 128)
                    continue;
                const QPoint p = QPoint(x, y) + area.topLeft();
                int owner = 0;
                while (owner < filled.size() && !filled.at(owner).contains(p))
                    ++owner;
                QVERIFY2(owner < filled.size(),
                         qPrintable(QStringLiteral("%1: ink at %2, %3").arg(t.name).arg(p.x()).arg(p.y())));
                ink[owner] |= QRect(p, QSize(1, 1));
            }
        }
        for (int i = 0; i < filled.size(); ++i) {
            QVERIFY2(!ink.at(i).isEmpty(), qPrintable(t.name));
            // Both ways centred: the ink's middle within a millimetre of the field's.
            const QPointF offset = QRectF(ink.at(i)).center() - QRectF(filled.at(i)).center();
            QVERIFY2(qAbs(offset.x()) <= px(1) && qAbs(offset.y()) <= px(1), qPrintable(t.name));
            ++fields;
        }
    }
    // Ten such fields on the five spine widths.
    QCOMPARE(fields, 5 * 10);
}

QTEST_MAIN(TestPageScene)
#include "tst_pagescene.moc"
