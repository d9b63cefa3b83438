// Placement and encoding of a rendered page per printer type. The frames are
// read back by the fake printer's decoder, written from the frame tables.

#include "print/pageplacement.h"
#include "printer/printerprotocol3.h"
#include "support/fakeprinter.h"
#include "support/printedpage.h"
#include "support/testsupport.h"
#include "util/textutil.h"

#include <QPainter>
#include <QtTest>

using TestSupport::FakePrinter;
using TestSupport::PrintedPage;

namespace {

const int DPI = 300;

TemplateModel boxLabel(float width, float height, float fold, bool full)
{
    TemplateModel m;
    m.name = QStringLiteral("label");
    m.printWidth = width;
    m.printHeight = height;
    m.backLength = width / 2;
    m.foldLength = fold;
    m.full = full;
    return m;
}

// A white page with black blocks; "asymmetric" so every turn and flip shows.
QImage markedPage(const QSize &size)
{
    QImage page(size, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.fillRect(QRect(10, 5, 40, 20), Qt::black);
    painter.fillRect(QRect(size.width() - 30, size.height() - 60, 12, 50), Qt::black);
    painter.fillRect(QRect(size.width() / 2, size.height() / 3, 3, 3), Qt::black);
    return page;
}

// The page as the encoders see dots: black where every channel is at most limit.
QImage dotsOf(const QImage &image, int limit)
{
    QImage out(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool dot = c.red() <= limit && c.green() <= limit && c.blue() <= limit;
            out.setPixel(x, y, dot ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return out;
}

} // namespace

class TestPagePlacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nearestRoundsHalvesUp();
    void compensationComesFromTheDefaults();
    void positionsPerType_data();
    void positionsPerType();
    void typeThreeLogsItsPlacementAsFullWidth();
    void quarterTurnsAreExact();
    void otherAnglesTurnOnWhite();
    void rowRecordPagesDecodeToThePage();
    void columnRecordPagesDecodeToThePage();
    void aTestPageCarriesTheTestCommand();
    void theTemplateAngleTurnsThePrintedPage();
    void unknownTypesGiveNoFrame();
    void bandRoadIgnoresTheAngle();
    void bandRoadCutsWhatLiesLeftOfThePrinter();

private:
    std::unique_ptr<FakePrinter> printer;
};

void TestPagePlacement::initTestCase()
{
    printer.reset(new FakePrinter(FakePrinter::Transport::Tcp));
    QVERIFY(printer->isRunning());
}

void TestPagePlacement::nearestRoundsHalvesUp()
{
    QCOMPARE(PagePlacement::nearest(2.5f), 3);
    QCOMPARE(PagePlacement::nearest(-2.5f), -2);
    QCOMPARE(PagePlacement::nearest(-0.5f), 0);
    QCOMPARE(PagePlacement::nearest(302.49f), 302);
    QCOMPARE(PagePlacement::nearest(-42.6f), -43);
}

void TestPagePlacement::compensationComesFromTheDefaults()
{
    QCOMPARE(PagePlacement::adjustX(1), 294.0f);
    QCOMPARE(PagePlacement::adjustY(1), 20.0f);
    QCOMPARE(PagePlacement::adjustX(2), 221.0f);
    QCOMPARE(PagePlacement::adjustY(2), 25.0f);
    // Type 3 is the "IIIB" machine; the older "III" values are not used.
    QCOMPARE(PagePlacement::adjustX(3), -21.0f);
    QCOMPARE(PagePlacement::adjustY(3), -42.0f);
    QCOMPARE(PagePlacement::adjustX(4), -33.0f);
    QCOMPARE(PagePlacement::adjustY(4), -64.0f);
    QCOMPARE(PagePlacement::adjustX(0), 0.0f);
    QCOMPARE(PagePlacement::adjustY(5), 0.0f);
}

void TestPagePlacement::positionsPerType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("full");
    QTest::addColumn<float>("dx");
    QTest::addColumn<float>("dy");
    QTest::addColumn<QPoint>("expected");

    // Half-width 240 x 310 mm with a 38 mm fold.
    QTest::newRow("type 2 no offsets") << 2 << false << 0.0f << 0.0f << QPoint(780, 303);
    QTest::newRow("type 2 full width") << 2 << true << 0.0f << 0.0f << QPoint(780, 25);
    QTest::newRow("type 2 right 3 top 1") << 2 << false << 3.0f << 1.0f
                                          << QPoint(TextUtil::mm2px(67, DPI), 306);
    QTest::newRow("type 1 right 2") << 1 << false << 2.0f << 0.0f << QPoint(TextUtil::mm2px(54, DPI), 260);
    QTest::newRow("type 1 bottom 4") << 1 << false << 0.0f << -4.0f
                                     << QPoint(TextUtil::mm2px(50, DPI), TextUtil::mm2px(20, DPI));
    QTest::newRow("type 3 half") << 3 << false << 0.0f << 0.0f << QPoint(TextUtil::mm2px(-21, DPI), 236);
    QTest::newRow("type 3 full left 5") << 3 << true << -5.0f << 2.0f
                                        << QPoint(TextUtil::mm2px(-19, DPI), -47);
}

void TestPagePlacement::positionsPerType()
{
    QFETCH(int, type);
    QFETCH(bool, full);
    QFETCH(float, dx);
    QFETCH(float, dy);
    QFETCH(QPoint, expected);
    QCOMPARE(PagePlacement::gen1Position(type, boxLabel(240, 310, 38, full), dx, dy, DPI), expected);
}

void TestPagePlacement::typeThreeLogsItsPlacementAsFullWidth()
{
    // The line reads "全幅打印" for half-width labels too: the same text
    // whichever way the vertical position was worked out.
    for (bool full : {false, true}) {
        TestSupport::LogCapture capture;
        const QPoint at = PagePlacement::gen1Position(3, boxLabel(240, 310, 38, full), 0, 0, DPI);
        QVERIFY(capture.messages(QtDebugMsg)
                    .contains(QStringLiteral("全幅打印 %1 %2").arg(at.x()).arg(at.y())));
    }
}

void TestPagePlacement::quarterTurnsAreExact()
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    const QImage quarter = PagePlacement::rotated(image, 90);
    QCOMPARE(quarter.size(), QSize(2, 3));
    // Clockwise: the top-left corner goes to the top-right.
    QCOMPARE(quarter.pixel(1, 0), qRgb(0, 0, 0));
    const QImage half = PagePlacement::rotated(image, 180);
    QCOMPARE(half.pixel(2, 1), qRgb(0, 0, 0));
    QCOMPARE(half.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(PagePlacement::rotated(image, 270).pixel(0, 2), qRgb(0, 0, 0));
    QCOMPARE(PagePlacement::rotated(image, 360), image);
    QCOMPARE(PagePlacement::rotated(image, -90), PagePlacement::rotated(image, 270));
}

void TestPagePlacement::otherAnglesTurnOnWhite()
{
    QImage image(100, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QImage turned = PagePlacement::rotated(image, 45);
    QVERIFY(turned.width() > 100);
    QVERIFY(!turned.hasAlphaChannel());
    // The corners outside the page stay white: nothing there prints.
    QCOMPARE(turned.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(turned.pixel(turned.width() - 1, turned.height() - 1), qRgb(255, 255, 255));
}

void TestPagePlacement::rowRecordPagesDecodeToThePage()
{
    const TemplateModel model = boxLabel(40, 30, 10, false);
    const QSize size(TextUtil::mm2px(model.printWidth, DPI), TextUtil::mm2px(model.printHeight, DPI));
    const QImage page = markedPage(size);
    for (int type : {2, 3}) {
        const PagePlacement::Frame frame = PagePlacement::encodeGen1(type, page, model, 4, 30, false, DPI);
        QVERIFY(!frame.bytes.isEmpty());
        const PrintedPage printed = TestSupport::decodeFrame(*printer, frame.bytes, 2);
        QVERIFY2(printed.valid, qPrintable(printed.error));
        QVERIFY(printed.checksumOk && printed.tailOk);
        QCOMPARE(printed.command, 0x11);
        QCOMPARE(printed.headerY, frame.position.y());
        QCOMPARE(frame.position, PagePlacement::gen1Position(type, model, 4, 30, DPI));
        QCOMPARE(int(frame.dots), printed.dots);
        QCOMPARE(printed.pageImage(frame.position.x(), size), dotsOf(page, 254));
    }
}

void TestPagePlacement::columnRecordPagesDecodeToThePage()
{
    // The bottom offset is large enough for the type-1 position to stay positive.
    const TemplateModel model = boxLabel(40, 30, 10, false);
    const QSize size(TextUtil::mm2px(model.printWidth, DPI), TextUtil::mm2px(model.printHeight, DPI));
    const QImage page = markedPage(size);
    const PagePlacement::Frame frame = PagePlacement::encodeGen1(1, page, model, -5, 0, false, DPI);
    // Y = mm2px(20 - 5) image rows dropped from the top.
    QCOMPARE(frame.position.y(), TextUtil::mm2px(15, DPI));
    const PrintedPage printed = TestSupport::decodeFrame(*printer, frame.bytes, 1);
    QVERIFY2(printed.valid, qPrintable(printed.error));
    QCOMPARE(printed.command, 0x11);
    const int dropped = frame.position.y();
    const QImage expected = dotsOf(page, 199).copy(0, dropped, size.width(), size.height() - dropped);
    QCOMPARE(printed.pageImage(frame.position.x(), expected.size()), expected);
}

void TestPagePlacement::aTestPageCarriesTheTestCommand()
{
    const TemplateModel model = boxLabel(40, 30, 10, false);
    const QImage page = markedPage(QSize(TextUtil::mm2px(40, DPI), TextUtil::mm2px(30, DPI)));
    const QByteArray v10 = PagePlacement::encodeGen1(1, page, model, 0, 0, true, DPI).bytes;
    QCOMPARE(quint8(v10.at(3)), quint8(0x12));
    QCOMPARE(TestSupport::decodeFrame(*printer, v10, 1).command, 0x12);
    QCOMPARE(quint8(PagePlacement::encodeGen1(3, page, model, 0, 0, true, DPI).bytes.at(3)), quint8(0x12));
}

void TestPagePlacement::theTemplateAngleTurnsThePrintedPage()
{
    TemplateModel model = boxLabel(40, 30, 10, false);
    const QSize size(TextUtil::mm2px(40, DPI), TextUtil::mm2px(30, DPI));
    const QImage page = markedPage(size);
    model.angle = 180;
    const PagePlacement::Frame frame = PagePlacement::encodeGen1(2, page, model, 0, 0, false, DPI);
    const PrintedPage printed = TestSupport::decodeFrame(*printer, frame.bytes, 2);
    QCOMPARE(printed.pageImage(frame.position.x(), size), dotsOf(page.transformed(QTransform().rotate(180)), 254));

    model.angle = 90;
    const PagePlacement::Frame quarter = PagePlacement::encodeGen1(2, page, model, 0, 0, false, DPI);
    const QSize turned(size.height(), size.width());
    QCOMPARE(TestSupport::decodeFrame(*printer, quarter.bytes, 2).pageImage(quarter.position.x(), turned),
             dotsOf(page.transformed(QTransform().rotate(90)), 254));
}

void TestPagePlacement::unknownTypesGiveNoFrame()
{
    const QImage page = markedPage(QSize(100, 100));
    QVERIFY(PagePlacement::encodeGen1(0, page, boxLabel(10, 10, 0, true), 0, 0, false, DPI).bytes.isEmpty());
    QVERIFY(PagePlacement::encodeGen1(4, page, boxLabel(10, 10, 0, true), 0, 0, false, DPI).bytes.isEmpty());
}

void TestPagePlacement::bandRoadIgnoresTheAngle()
{
    TemplateModel model = boxLabel(40, 30, 10, true);
    const QImage page = markedPage(QSize(TextUtil::mm2px(40, DPI), TextUtil::mm2px(30, DPI)));
    // Pushed right, so no column is cut.
    const QList<QByteArray> frames = PagePlacement::encodeBands(page, model, 50, 0, DPI);
    QVERIFY(frames.size() >= 2);
    QCOMPARE(quint8(frames.first().at(2)), quint8(PrinterProtocol3::CMD_TOTAL_BAG));
    for (int i = 1; i < frames.size(); ++i) {
        QCOMPARE(quint8(frames.at(i).at(2)), quint8(PrinterProtocol3::CMD_PRINT_DATA));
        QVERIFY(PrinterProtocol3::checkMsg(frames.at(i)));
    }
    // The turned page is 40 mm of dot rows: more than one band of 150.
    QVERIFY(frames.size() - 1 > 1);
    model.angle = 180;
    QCOMPARE(PagePlacement::encodeBands(page, model, 50, 0, DPI), frames);
}

void TestPagePlacement::bandRoadCutsWhatLiesLeftOfThePrinter()
{
    const TemplateModel model = boxLabel(40, 30, 10, true);
    QImage page(TextUtil::mm2px(40, DPI), TextUtil::mm2px(30, DPI), QImage::Format_RGB32);
    page.fill(Qt::white);
    // After the quarter turn the page's bottom rows become its left columns;
    // a block within the bottom 33 mm falls off the printer (-33 mm compensation).
    QPainter(&page).fillRect(QRect(10, page.height() - 50, 30, 30), Qt::black);
    const QList<QByteArray> cut = PagePlacement::encodeBands(page, model, 0, 0, DPI);
    // Only the total package is left, announcing no bands.
    QCOMPARE(cut.size(), 1);
    QCOMPARE(cut.first(), PrinterProtocol3::totalBagPackage(0, 0));
    QCOMPARE(PagePlacement::encodeBands(page, model, 40, 0, DPI).size(), 2);
}

QTEST_MAIN(TestPagePlacement)
#include "tst_pageplacement.moc"
