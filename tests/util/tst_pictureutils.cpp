#include "util/pictureutils.h"

#include <QColor>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

namespace {

using Dot = QPair<int, int>; // page row, page column

QVector<QVector<int> > blankMatrix(int w, int h)
{
    return QVector<QVector<int> >(h, QVector<int>(w, 0));
}

PrintBlock blockOf(const QVector<QVector<int> > &m)
{
    PrintBlock b;
    b.height = m.size();
    b.width = m.isEmpty() ? 0 : m.first().size();
    b.matrix = m;
    return b;
}

// A block whose dots fill the rectangle [l, w - r) × [t, h - b).
PrintBlock framedBlock(int w, int h, int t, int b, int l, int r)
{
    QVector<QVector<int> > m = blankMatrix(w, h);
    for (int y = t; y < h - b; ++y)
        for (int x = l; x < w - r; ++x)
            m[y][x] = 1;
    return blockOf(m);
}

// Rebuilds the page dots from bands, reading the bits least significant
// first, from the band layout alone.
QSet<Dot> pageFromBands(const QList<PrintRowBlock> &bands, int rowHeight, int firstRow)
{
    QSet<Dot> dots;
    const int bytesPerColumn = (rowHeight + 7) / 8;
    int bandStart = 0;
    for (int i = 0; i < bands.size(); ++i) {
        const PrintRowBlock &band = bands.at(i);
        bandStart = i == 0 ? firstRow : bandStart + rowHeight + band.offsetY;
        int column = 0;
        for (const RowDataBlock &run : band.blocks) {
            for (int x = run.start; x < run.end; ++x, ++column) {
                for (int r = 0; r < rowHeight; ++r) {
                    if ((quint8(band.data.at(column * bytesPerColumn + r / 8)) >> (r % 8)) & 1)
                        dots.insert(Dot(bandStart + r, x));
                }
            }
        }
        if (band.data.size() != column * bytesPerColumn)
            dots.insert(Dot(-1, -1)); // data and runs disagree
    }
    return dots;
}

QSet<Dot> imageDots(const QImage &image)
{
    QSet<Dot> dots;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.red() + c.green() + c.blue() <= 377)
                dots.insert(Dot(y, x));
        }
    return dots;
}

} // namespace

class TestPictureUtils : public QObject
{
    Q_OBJECT

private slots:
    void pixelRowsMatchPixel()
    {
        QRandomGenerator random(11);
        QImage base(37, 5, QImage::Format_ARGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x)
                base.setPixel(x, y, random.generate());
        const QImage::Format formats[] = {QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
                                          QImage::Format_RGB32, QImage::Format_Indexed8, QImage::Format_Mono,
                                          QImage::Format_MonoLSB, QImage::Format_RGB888, QImage::Format_RGB16,
                                          QImage::Format_RGBA8888_Premultiplied, QImage::Format_Grayscale8,
                                          QImage::Format_A2BGR30_Premultiplied};
        for (QImage::Format format : formats) {
            const QImage image = base.convertToFormat(format);
            QVector<QRgb> row(image.width());
            for (int y = 0; y < image.height(); ++y) {
                PictureUtils::readPixelRow(image, y, row.data());
                for (int x = 0; x < image.width(); ++x)
                    QVERIFY2(row[x] == image.pixel(x, y), qPrintable(QString("format %1").arg(int(format))));
            }
        }
    }

    void dotRule()
    {
        QImage image(4, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(127, 125, 125)); // 377
        image.setPixel(1, 0, qRgb(128, 125, 125)); // 378
        image.setPixel(2, 0, qRgb(0, 0, 0));
        image.setPixel(3, 0, qRgb(100, 100, 100)); // mean 100
        PrintBlock b = PictureUtils::toMatrix(&image, 150, false);
        QCOMPARE(b.x, 0);
        QCOMPARE(b.width, 4);
        QCOMPARE(b.matrix, (QVector<QVector<int> >{{1, 0, 1, 1}}));
        // With the threshold: means of at most 99 only.
        b = PictureUtils::toMatrix(&image, 99, true);
        QCOMPARE(b.x, 2);
        QCOMPARE(b.matrix, (QVector<QVector<int> >{{1}}));
        // The threshold alone never adds dots beyond the 377 rule.
        b = PictureUtils::toMatrix(&image, 255, true);
        QCOMPARE(b.matrix, (QVector<QVector<int> >{{1, 0, 1, 1}}));
    }

    void emptyPagesGiveEmptyBlocks()
    {
        QImage white(50, 40, QImage::Format_RGB32);
        white.fill(Qt::white);
        for (const QImage &image : {white, QImage()}) {
            const PrintBlock b = PictureUtils::toMatrix(&image, 150, false);
            QCOMPARE(b.width, 0);
            QCOMPARE(b.height, 0);
            QVERIFY(b.matrix.isEmpty());
            QVERIFY(PictureUtils::splitMatrixOfFullLine(b, false, 150).isEmpty());
        }
        QCOMPARE(PictureUtils::toMatrix(nullptr, 150, false).height, 0);
        const PrintBlock b = framedBlock(10, 10, 0, 0, 0, 0);
        QVERIFY(PictureUtils::splitMatrixOfFullLine(b, false, 0).isEmpty());
        QVERIFY(PictureUtils::splitMatrixOfFullLine(b, false, -3).isEmpty());
    }

    void alignedTrim()
    {
        // Hz > 8, T = 5, B = 6: 5 rows go at the top, 3 at the bottom.
        PrintBlock b = framedBlock(40, 30, 5, 6, 5, 5);
        b.x = 100;
        b.y = 200;
        PictureUtils::compressBlock(&b, true);
        QCOMPARE(b.y, 205);
        QCOMPARE(b.height, 30 - 8);
        QCOMPARE(b.x, 105);
        QCOMPARE(b.width, 30);
        QCOMPARE(b.matrix.size(), b.height);
        QCOMPARE(b.matrix.last(), QVector<int>(30, 0)); // 3 blank rows stay at the bottom
        QCOMPARE(b.matrix.at(b.height - 4), QVector<int>(30, 1));

        // T = 10, B = 2: 6 rows at the top, 2 at the bottom; 4 stay on top.
        b = framedBlock(40, 30, 10, 2, 5, 5);
        PictureUtils::compressBlock(&b, true);
        QCOMPARE(b.y, 6);
        QCOMPARE(b.height, 22);
        QCOMPARE(b.matrix.at(3), QVector<int>(30, 0));
        QCOMPARE(b.matrix.at(4), QVector<int>(30, 1));

        // V = 7: no rows removed, columns still.
        b = framedBlock(40, 30, 3, 4, 5, 5);
        PictureUtils::compressBlock(&b, true);
        QCOMPARE(b.y, 0);
        QCOMPARE(b.height, 30);
        QCOMPARE(b.width, 30);

        // Hz <= 8, T = 3, B = 6: all 9 rows go.
        b = framedBlock(40, 30, 3, 6, 4, 4);
        PictureUtils::compressBlock(&b, true);
        QCOMPARE(b.y, 3);
        QCOMPARE(b.height, 21);
        QCOMPARE(b.width, 32);

        // Without align everything blank goes.
        b = framedBlock(40, 30, 5, 6, 5, 5);
        PictureUtils::compressBlock(&b, false);
        QCOMPARE(b.height, 19);
        QCOMPARE(b.matrix.first(), QVector<int>(30, 1));
    }

    void bandsOfAFullPage()
    {
        // 320 inked rows: bands of 150, 150 and 20; the last still packs
        // 19 bytes per column with its bits past row 20 clear.
        PrintBlock b = framedBlock(3, 320, 0, 0, 0, 0);
        b.y = 42;
        const QList<PrintRowBlock> bands = PictureUtils::splitMatrixOfFullLine(b, false, 150);
        QCOMPARE(bands.size(), 3);
        QCOMPARE(bands.at(0).offsetY, 42);
        QCOMPARE(bands.at(1).offsetY, 0);
        QCOMPARE(bands.at(2).offsetY, 0);
        for (const PrintRowBlock &band : bands) {
            QCOMPARE(band.blocks.size(), 1);
            QCOMPARE(band.blocks.first().start, 0);
            QCOMPARE(band.blocks.first().end, 3);
            QCOMPARE(band.data.size(), 3 * 19);
            QVERIFY(band.debugLines.isEmpty());
        }
        const QByteArray last = bands.at(2).data.left(19);
        QCOMPARE(last, QByteArray::fromHex("FFFF0F") + QByteArray(16, '\0'));
        QCOMPARE(bands.at(0).data.left(19), QByteArray(18, '\xFF') + QByteArray::fromHex("3F"));
        QCOMPARE(PictureUtils::calcBytes(&bands), 9 * 19);
    }

    void blankRowsBetweenBands()
    {
        // Ink in rows 0..9 and 200..209: the second band starts on the first
        // inked row after the gap, its offsetY the blank rows skipped.
        QVector<QVector<int> > m = blankMatrix(20, 210);
        for (int y = 0; y < 10; ++y)
            m[y][2] = 1;
        for (int y = 200; y < 210; ++y)
            m[y][7] = 1;
        PrintBlock b = blockOf(m);
        b.y = 11;
        PictureUtils::compressBlock(&b, true);
        QList<PrintRowBlock> bands = PictureUtils::splitMatrixOfFullLine(b, false, 150);
        QCOMPARE(bands.size(), 2);
        QCOMPARE(bands.at(0).offsetY, 11);
        QCOMPARE(bands.at(1).offsetY, 50);
        QCOMPARE(bands.at(1).blocks.size(), 1);
        QCOMPARE(b.x, 2);
        QCOMPARE(bands.at(1).blocks.first().start, 7); // a page column

        // Four blank rows kept at the bottom by the 8-row rule, fewer than a
        // band: one more band with offsetY 4, no runs and no data.
        m = blankMatrix(20, 154);
        for (int y = 0; y < 150; ++y)
            m[y][3] = 1;
        b = blockOf(m);
        PictureUtils::compressBlock(&b, true);
        QCOMPARE(b.height, 154);
        bands = PictureUtils::splitMatrixOfFullLine(b, false, 150);
        QCOMPARE(bands.size(), 2);
        QCOMPARE(bands.at(1).offsetY, 4);
        QVERIFY(bands.at(1).blocks.isEmpty());
        QVERIFY(bands.at(1).data.isEmpty());
    }

    void runsOfInkedColumns()
    {
        QVector<QVector<int> > m = blankMatrix(10, 3);
        for (int x : {3, 4, 5, 9})
            m[1][x] = 1;
        m[0][4] = 1;
        PrintRowBlock band;
        PictureUtils::calcRowBlock(&band, m, 150, 0, 3, 100, 10, true);
        QCOMPARE(band.blocks.size(), 2);
        QCOMPARE(band.blocks.at(0).start, 103);
        QCOMPARE(band.blocks.at(0).end, 106);
        QCOMPARE(band.blocks.at(1).start, 109);
        QCOMPARE(band.blocks.at(1).end, 110);
        QCOMPARE(band.data.size(), 4 * 19);
        QCOMPARE(quint8(band.data.at(0)), quint8(0x02));
        QCOMPARE(quint8(band.data.at(19)), quint8(0x03));
        QCOMPARE(band.debugLines, (QList<QString>{"   1  ", " 1 1  ", "   1  ", "   1  "}));

        QCOMPARE(PictureUtils::calcGapX(m, 0, 3, 0, 10), 3);
        QCOMPARE(PictureUtils::calcGapX(m, 0, 3, 6, 10), 3);
        QCOMPARE(PictureUtils::calcGapX(m, 2, 3, 0, 10), 10);
        QCOMPARE(PictureUtils::calcGapX(m, 0, 3, 10, 10), 0);
        QCOMPARE(PictureUtils::calcGapY(m, 2, 3, 0, 10), 1);
        QCOMPARE(PictureUtils::calcGapY(m, 0, 3, 0, 10), 0);
        QCOMPARE(PictureUtils::calcGapY(m, 3, 3, 0, 10), 0);
        QVERIFY(PictureUtils::havePrintDotOfY(m[1], 9, 50));
        QVERIFY(!PictureUtils::havePrintDotOfY(m[1], 6, 9));
    }

    void roundTripPageToBandsToPage_data()
    {
        QTest::addColumn<QImage>("page");
        QRandomGenerator random(99);
        const auto page = [&random](int w, int h, int blobs) {
            QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            for (int i = 0; i < blobs; ++i) {
                const int x0 = int(random.bounded(w)), y0 = int(random.bounded(h));
                const int grey = int(random.bounded(256));
                for (int y = y0; y < qMin(h, y0 + 1 + int(random.bounded(40))); ++y)
                    for (int x = x0; x < qMin(w, x0 + 1 + int(random.bounded(40))); ++x)
                        image.setPixel(x, y, qRgb(grey, grey, 255 - grey));
            }
            return image;
        };
        QTest::newRow("sparse") << page(400, 500, 12);
        QTest::newRow("dense") << page(300, 333, 300);
        QTest::newRow("single dot") << page(1, 1, 1);
        QTest::newRow("thin") << page(700, 9, 30);
    }

    void roundTripPageToBandsToPage()
    {
        QFETCH(QImage, page);
        const PrintBlock block = PictureUtils::toMatrix(&page, 150, false);
        // The packed road takes the page column by column and may cut columns off its left.
        const DotMask columns = DotMask::fromImage(page, PictureUtils::matrixRule(150, false)).transposed();
        for (int rowHeight : {150, 8, 13}) {
            const QList<PrintRowBlock> bands = PictureUtils::splitMatrixOfFullLine(block, false, rowHeight);
            QCOMPARE(pageFromBands(bands, rowHeight, block.y), imageDots(page));
            for (int cut : {0, 1, 37}) {
                QSet<Dot> kept;
                for (const Dot &dot : imageDots(page))
                    if (dot.second >= cut)
                        kept.insert(Dot(dot.first, dot.second - cut));
                const QList<PrintRowBlock> packed = PictureUtils::splitColumns(columns, cut, false, rowHeight);
                QCOMPARE(pageFromBands(packed, rowHeight, packed.isEmpty() ? 0 : packed.first().offsetY), kept);
            }
        }
    }

    void offeredHelpers()
    {
        QImage image(3, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(30, 60, 91));   // mean 60
        image.setPixel(1, 0, qRgb(200, 200, 203)); // mean 201
        image.setPixel(2, 0, qRgb(255, 255, 255));
        QScopedPointer<QImage> grey(PictureUtils::greyScale(&image, 100, true));
        QCOMPARE(grey->format(), QImage::Format_ARGB32);
        QCOMPARE(grey->pixel(0, 0), qRgb(60, 60, 60));
        QCOMPARE(grey->pixel(1, 0), qRgb(255, 255, 255));
        grey.reset(PictureUtils::greyScale(&image, 100, false));
        QCOMPARE(grey->pixel(1, 0), qRgb(201, 201, 201));

        // Tiles: column by column, blank tiles dropped, each trimmed.
        QVector<QVector<int> > m = blankMatrix(10, 6);
        m[0][0] = 1;
        m[5][9] = 1;
        m[4][1] = 1;
        PrintBlock b = blockOf(m);
        b.x = 50;
        b.y = 60;
        const QList<PrintBlock> tiles = PictureUtils::splitMatrix(b, 4, 4);
        QCOMPARE(tiles.size(), 3);
        QCOMPARE(tiles.at(0).x, 50);
        QCOMPARE(tiles.at(0).y, 60);
        QCOMPARE(tiles.at(1).x, 51);
        QCOMPARE(tiles.at(1).y, 64);
        QCOMPARE(tiles.at(2).x, 59);
        QCOMPARE(tiles.at(2).y, 64 + 0); // two rows tall tile, kept by the 8-row rule
        QCOMPARE(PictureUtils::calcBytes(&tiles), 0);
        QList<PrintBlock> blocks{framedBlock(16, 4, 0, 0, 0, 0), framedBlock(3, 3, 0, 0, 0, 0)};
        QCOMPARE(PictureUtils::calcBytes(&blocks), 8 + 1);
        QVERIFY(PictureUtils::splitMatrix(b, 0, 4).isEmpty());

        // Segments: runs of 2, 2 and 2 inked columns; the gap of 1 joins,
        // the gap of 5 splits.
        QVector<QVector<int> > s = blankMatrix(14, 1);
        for (int x : {0, 1, 3, 4, 10, 11})
            s[0][x] = 1;
        const QList<DataInfo> segments = PictureUtils::calcGapYMatrix(s, 0, 1, 14);
        QCOMPARE(segments.size(), 2);
        QCOMPARE(segments.at(0).start, 0);
        QCOMPARE(segments.at(0).end, 5);
        QCOMPARE(segments.at(1).start, 10);
        QCOMPARE(segments.at(1).end, 12);
        QVERIFY(PictureUtils::calcGapYMatrix(blankMatrix(5, 2), 0, 2, 5).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPictureUtils)
#include "tst_pictureutils.moc"
