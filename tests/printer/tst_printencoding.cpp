#include "printer/printerprotocol.h"
#include "support/fakeprinter.h"
#include "support/printedpage.h"
#include "support/testsupport.h"

#include <QColor>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <memory>

using TestSupport::LogCapture;

namespace {

using Dot = QPair<int, int>; // row, column

struct Decoded {
    bool valid = false;
    QString error;
    quint8 command = 0;
    int headerY = 0;
    QSet<Dot> dots;
};

int u16(const QByteArray &f, int at)
{
    return (quint8(f.at(at)) << 8) | quint8(f.at(at + 1));
}

// Checks head, checksum and tail of a print frame; returns the records' start.
bool checkEnvelope(const QByteArray &f, int headerSize, Decoded *d)
{
    if (f.size() < headerSize + 3 || !f.startsWith(QByteArray::fromHex("A92010")) || !f.endsWith("<#")) {
        d->error = "envelope";
        return false;
    }
    int sum = 0;
    for (int i = 0; i < f.size() - 3; ++i)
        sum += quint8(f.at(i));
    if (quint8(sum) != quint8(f.at(f.size() - 3))) {
        d->error = "checksum";
        return false;
    }
    d->command = quint8(f.at(3));
    const int count = u16(f, headerSize - 2);
    if (f.size() != headerSize + 22 * count + 3) {
        d->error = "count";
        return false;
    }
    return true;
}

// The 150 positions of a record's group, bit 0 (MSB of byte 0) being
// position 149. Bits 150 and 151 must be 0 and at least one bit set.
QList<int> positions(const QByteArray &f, int at, QString *error)
{
    QList<int> list;
    for (int i = 0; i < 152; ++i) {
        if ((quint8(f.at(at + i / 8)) >> (7 - i % 8)) & 1) {
            if (i >= 150)
                *error = "padding bit set";
            list.append(149 - i);
        }
    }
    if (list.isEmpty())
        *error = "empty record";
    return list;
}

// Type 1: records (column position, band, bits); band k covers rows
// 150k .. 150k + 149 of the cropped page.
Decoded decodeV10(const QByteArray &f, int offsetX)
{
    Decoded d;
    if (!checkEnvelope(f, 6, &d))
        return d;
    int lastBand = -1, lastColumn = -1;
    for (int at = 6; at < f.size() - 3; at += 22) {
        const int column = u16(f, at) - offsetX;
        const int band = quint8(f.at(at + 2));
        if (band < lastBand || (band == lastBand && column <= lastColumn)) {
            d.error = "order";
            return d;
        }
        lastBand = band;
        lastColumn = column;
        for (int p : positions(f, at + 3, &d.error))
            d.dots.insert(Dot(150 * band + p, column));
    }
    d.valid = d.error.isEmpty();
    return d;
}

// Types 2/3: records (row position, band, bits); band k covers columns
// 150k .. 150k + 149; the position of image row y is X + h - 1 - y.
Decoded decodeType23(const QByteArray &f, int offsetX, int height)
{
    Decoded d;
    if (!checkEnvelope(f, 8, &d))
        return d;
    d.headerY = qint16(u16(f, 4));
    int lastBand = -1, lastPosition = 0;
    for (int at = 8; at < f.size() - 3; at += 22) {
        const int position = u16(f, at);
        const int band = quint8(f.at(at + 2));
        if (band < lastBand) {
            d.error = "band order";
            return d;
        }
        if (band == lastBand && (band % 2 == 0 ? position <= lastPosition : position >= lastPosition)) {
            d.error = "serpentine order";
            return d;
        }
        lastBand = band;
        lastPosition = position;
        const int row = offsetX + height - 1 - position;
        for (int p : positions(f, at + 3, &d.error))
            d.dots.insert(Dot(row, 150 * band + p));
    }
    d.valid = d.error.isEmpty();
    return d;
}

// The dots a page should print, read pixel by pixel as QColor.
QSet<Dot> expectedDots(const QImage &image, int maxChannel, int rowShift = 0)
{
    QSet<Dot> dots;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.red() <= maxChannel && c.green() <= maxChannel && c.blue() <= maxChannel)
                dots.insert(Dot(y + rowShift, x));
        }
    }
    return dots;
}

QImage randomPage(int w, int h, quint32 seed)
{
    QRandomGenerator random(seed);
    static const int levels[] = {0, 120, 199, 200, 254, 255, 255, 255};
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgba(levels[random.bounded(8)], levels[random.bounded(8)], levels[random.bounded(8)],
                                       int(random.bounded(256))));
        }
    }
    return image;
}

QImage whitePage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

} // namespace

class TestPrintEncoding : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::FakePrinter> m_decoder;

private slots:
    void cleanupTestCase() { m_decoder.reset(); }

    void decodedFramesMatchThePage_data()
    {
        QTest::addColumn<QImage>("image");
        const QImage base = randomPage(331, 317, 7);
        QTest::newRow("argb32") << base;
        QTest::newRow("premultiplied") << base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QTest::newRow("rgb32") << base.convertToFormat(QImage::Format_RGB32);
        QTest::newRow("rgb888") << base.convertToFormat(QImage::Format_RGB888);
        QTest::newRow("rgb16") << base.convertToFormat(QImage::Format_RGB16);
        QTest::newRow("rgba8888") << base.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        QTest::newRow("grayscale") << base.convertToFormat(QImage::Format_Grayscale8);
        QTest::newRow("indexed") << base.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        QTest::newRow("mono") << base.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        QTest::newRow("one pixel") << randomPage(1, 1, 3).convertToFormat(QImage::Format_RGB32);
        QTest::newRow("exact bands") << randomPage(300, 150, 5);
    }

    void decodedFramesMatchThePage()
    {
        QFETCH(QImage, image);
        for (const int y : {0, 37, -12}) {
            unsigned int dots = 12345;
            const QByteArray f = PrinterProtocol::packPrintV10(false, image, 40, y, dots);
            const Decoded d = decodeV10(f, 40);
            QVERIFY2(d.valid, qPrintable(d.error));
            QCOMPARE(d.command, quint8(0x11));
            // The page starts at image row y; rows above the image are white.
            QSet<Dot> expected;
            for (const Dot &dot : expectedDots(image, 199, -y)) {
                if (dot.first >= 0)
                    expected.insert(dot);
            }
            QCOMPARE(d.dots, expected);
            QCOMPARE(dots, unsigned(expected.size()));
        }
        for (const int x : {0, 500}) {
            unsigned int dots = 999;
            const QByteArray f = PrinterProtocol::packPrint(true, image, x, 303, dots);
            const Decoded d = decodeType23(f, x, image.height());
            QVERIFY2(d.valid, qPrintable(d.error));
            QCOMPARE(d.command, quint8(0x12));
            QCOMPARE(d.headerY, 303);
            const QSet<Dot> expected = expectedDots(image, 254);
            QCOMPARE(d.dots, expected);
            QCOMPARE(dots, unsigned(expected.size()));
            QCOMPARE(PrinterProtocol::packPrint(true, image, x, 303), f);
        }
    }

    // A page costs the ink of what the printer receives, as the printer
    // itself counts it: rows and columns left out are not charged.
    void dotsAreTheDotsSent_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("offsetX");
        QTest::addColumn<int>("offsetY");
        QTest::newRow("type 1") << 1 << 40 << 0;
        QTest::newRow("type 1, rows cropped") << 1 << 40 << 100;
        QTest::newRow("type 1, white rows above") << 1 << 0 << -30;
        QTest::newRow("type 1, columns before 0") << 1 << -50 << 0;
        QTest::newRow("types 2 and 3") << 2 << 500 << 303;
        QTest::newRow("types 2 and 3, rows before 0") << 2 << -100 << 0;
        QTest::newRow("types 2 and 3, all before 0") << 2 << -317 << 0;
    }

    void dotsAreTheDotsSent()
    {
        QFETCH(int, layout);
        QFETCH(int, offsetX);
        QFETCH(int, offsetY);
        if (!m_decoder)
            m_decoder = std::make_unique<TestSupport::FakePrinter>(TestSupport::FakePrinter::Transport::Tcp);
        TestSupport::FakePrinter &decoder = *m_decoder;
        QVERIFY(decoder.isRunning());
        const QImage image = randomPage(331, 317, 11);
        unsigned int dots = 12345;
        const QByteArray frame = layout == 1 ? PrinterProtocol::packPrintV10(false, image, offsetX, offsetY, dots)
                                             : PrinterProtocol::packPrint(false, image, offsetX, offsetY, dots);
        const TestSupport::PrintedPage page = TestSupport::decodeFrame(decoder, frame, layout);
        QVERIFY2(page.valid, qPrintable(page.error));
        QCOMPARE(dots, unsigned(page.dots));
    }

    void whitePageHasNoRecords()
    {
        unsigned int dots = 7;
        const QByteArray v10 = PrinterProtocol::packPrintV10(false, whitePage(400, 400), 0, 0, dots);
        QCOMPARE(v10.size(), 9);
        QCOMPARE(dots, 0u);
        dots = 7;
        const QByteArray t2 = PrinterProtocol::packPrint(false, whitePage(400, 400), 0, 0, dots);
        QCOMPARE(t2.size(), 11);
        QCOMPARE(dots, 0u);
        QCOMPARE(PrinterProtocol::packPrint(false, QImage(), 0, 0).size(), 11);
        QCOMPARE(PrinterProtocol::packPrintV10(false, QImage(), 0, 0).size(), 9);
        // Cropping everything away leaves no rows.
        QImage black(10, 10, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(PrinterProtocol::packPrintV10(false, black, 0, 10).size(), 9);
    }

    void dotRulesDifferByType()
    {
        QImage image = whitePage(2, 1);
        image.setPixel(0, 0, qRgb(200, 200, 200));
        image.setPixel(1, 0, qRgb(255, 0, 0));
        unsigned int dots = 0;
        PrinterProtocol::packPrintV10(false, image, 0, 0, dots);
        QCOMPARE(dots, 0u);
        PrinterProtocol::packPrint(false, image, 0, 0, dots);
        QCOMPARE(dots, 1u);
        image.setPixel(0, 0, qRgb(199, 199, 199));
        PrinterProtocol::packPrintV10(false, image, 0, 0, dots);
        QCOMPARE(dots, 1u);
        // Alpha is ignored: transparent black is a dot.
        QImage clear(1, 1, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        PrinterProtocol::packPrintV10(false, clear, 0, 0, dots);
        QCOMPARE(dots, 1u);
    }

    void goldenRecords()
    {
        // Type 1: one black pixel at column 5, row 0, X = 10.
        QImage image = whitePage(20, 20);
        image.setPixel(5, 0, qRgb(0, 0, 0));
        const QByteArray v10 = PrinterProtocol::packPrintV10(false, image, 10, 0);
        const QByteArray record = QByteArray::fromHex("000F00") + QByteArray(18, '\0') + QByteArray::fromHex("04");
        QCOMPARE(v10.mid(4, 2), QByteArray::fromHex("0001"));
        QCOMPARE(v10.mid(6, 22), record);
        QCOMPARE(v10.size(), 9 + 22);

        // Type 1, 151 rows: band 1 holds row 150 only, as bit 149.
        QImage tall = whitePage(1, 151);
        tall.setPixel(0, 150, qRgb(0, 0, 0));
        const QByteArray t = PrinterProtocol::packPrintV10(false, tall, 0, 0);
        QCOMPARE(t.mid(6, 22), QByteArray::fromHex("000001") + QByteArray(18, '\0') + QByteArray::fromHex("04"));

        // Types 2/3: black pixel at column 0, row 0 of a 20-row image.
        const QByteArray p = PrinterProtocol::packPrint(false, [] {
            QImage i = whitePage(20, 20);
            i.setPixel(0, 0, qRgb(0, 0, 0));
            return i;
        }(), 100, 0x0102);
        QCOMPARE(p.mid(4, 4), QByteArray::fromHex("01020001"));
        QCOMPARE(p.mid(8, 22), QByteArray::fromHex("007700") + QByteArray(18, '\0') + QByteArray::fromHex("04"));
    }

    void exactWidthGivesTwoBands()
    {
        QImage image = whitePage(300, 2);
        image.setPixel(0, 0, qRgb(0, 0, 0));
        image.setPixel(299, 1, qRgb(0, 0, 0));
        const QByteArray f = PrinterProtocol::packPrint(false, image, 0, 0);
        QCOMPARE(u16(f, 6), 2);
        QCOMPARE(quint8(f.at(10)), quint8(0));
        QCOMPARE(quint8(f.at(32)), quint8(1));
        // Column 299 is position 149 of band 1: the first bit.
        QCOMPARE(quint8(f.at(33)), quint8(0x80));
    }

    void serpentineOrder()
    {
        QImage image = whitePage(160, 3);
        for (int y = 0; y < 3; ++y) {
            image.setPixel(0, y, qRgb(0, 0, 0));
            image.setPixel(155, y, qRgb(0, 0, 0));
        }
        const QByteArray f = PrinterProtocol::packPrint(false, image, 0, 0);
        QList<int> order;
        for (int at = 8; at < f.size() - 3; at += 22)
            order << quint8(f.at(at + 2)) * 100 + u16(f, at);
        // Band 0 from the bottom row (position 0) up, band 1 from the top.
        QCOMPARE(order, (QList<int>{0, 1, 2, 102, 101, 100}));
    }

    void negativePositionsAreLeftOut()
    {
        QImage image = whitePage(4, 10);
        for (int y = 0; y < 10; ++y)
            image.setPixel(1, y, qRgb(0, 0, 0));
        unsigned int dots = 0;
        const QByteArray f = PrinterProtocol::packPrint(false, image, -5, 0, dots);
        QCOMPARE(u16(f, 6), 5); // rows 0..4 have positions 4..0
        QCOMPARE(f.size(), 11 + 5 * 22);
        QCOMPARE(dots, 5u); // only the dots sent cost ink
        const Decoded d = decodeType23(f, -5, 10);
        QVERIFY2(d.valid, qPrintable(d.error));
        QCOMPARE(d.dots.size(), 5);
    }

    void negativeYAddsWhiteRowsAbove()
    {
        QImage image(3, 2, QImage::Format_ARGB32);
        image.fill(Qt::transparent); // dots, even though transparent
        unsigned int dots = 0;
        const QByteArray f = PrinterProtocol::packPrintV10(false, image, 0, -149, dots);
        QCOMPARE(dots, 6u);
        const Decoded d = decodeV10(f, 0);
        QVERIFY2(d.valid, qPrintable(d.error));
        QCOMPARE(d.dots, (QSet<Dot>{{149, 0}, {149, 1}, {149, 2}, {150, 0}, {150, 1}, {150, 2}}));
    }

    void pagesBeyondTheFrameAreRefused()
    {
        LogCapture log;
        QImage wide(65536, 1, QImage::Format_RGB32);
        wide.fill(Qt::black);
        unsigned int dots = 0;
        QVERIFY(PrinterProtocol::packPrintV10(false, wide, 0, 0, dots).isEmpty());
        QVERIFY(log.warnings().size() == 1);
        // One column fewer fits.
        QCOMPARE(u16(PrinterProtocol::packPrintV10(false, wide.copy(0, 0, 65535, 1), 0, 0), 4), 65535);

        QImage tall(1, 65536, QImage::Format_RGB32);
        tall.fill(Qt::black);
        QVERIFY(PrinterProtocol::packPrint(false, tall, 0, 0).isEmpty());

        // Band index 256.
        QImage deep = whitePage(1, 150 * 256 + 1);
        deep.setPixel(0, 150 * 256, qRgb(0, 0, 0));
        QVERIFY(PrinterProtocol::packPrintV10(false, deep, 0, 0).isEmpty());
        deep.setPixel(0, 150 * 256, qRgb(255, 255, 255));
        deep.setPixel(0, 150 * 255, qRgb(0, 0, 0));
        QCOMPARE(u16(PrinterProtocol::packPrintV10(false, deep, 0, 0), 4), 1);

        QImage broad = whitePage(150 * 256 + 1, 1);
        broad.setPixel(150 * 256, 0, qRgb(0, 0, 0));
        QVERIFY(PrinterProtocol::packPrint(false, broad, 0, 0).isEmpty());
        QCOMPARE(log.warnings().size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestPrintEncoding)
#include "tst_printencoding.moc"
