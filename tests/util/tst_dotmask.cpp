// Pages reduced to dots: the rule on every pixel format, and turning, mirroring
// and transposing the bits against QImage doing the same to the pixels.

#include "util/dotmask.h"

#include <QRandomGenerator>
#include <QTransform>
#include <QtTest>

namespace {

// Every dot of the mask, read one at a time, as text rows of '#' and '.'.
QStringList picture(const DotMask &mask)
{
    QStringList rows;
    for (int y = 0; y < mask.height(); ++y) {
        QString row;
        for (int x = 0; x < mask.width(); ++x)
            row += mask.dot(x, y) ? QLatin1Char('#') : QLatin1Char('.');
        rows << row;
    }
    return rows;
}

const DotMask::Rule BLACK{0, 0};

} // namespace

class TestDotMask : public QObject
{
    Q_OBJECT

private slots:
    void ruleDecidesEachPixel()
    {
        const QRgb pixels[] = {qRgb(199, 199, 199), qRgb(200, 0, 0), qRgb(127, 125, 125), qRgb(128, 125, 125),
                               qRgba(0, 0, 0, 0), qRgb(254, 254, 254), qRgb(255, 255, 255)};
        const int count = int(std::size(pixels));
        QImage base(count, 1, QImage::Format_ARGB32);
        for (int x = 0; x < count; ++x)
            base.setPixel(x, 0, pixels[x]);
        // Each pixel format is read as QImage::pixel gives its pixels.
        for (QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied,
                                      QImage::Format_RGB888, QImage::Format_RGBA8888}) {
            const QImage image = base.convertToFormat(format);
            QCOMPARE(picture(DotMask::fromImage(image, {199, 765})), QStringList{"#.###.."});
            QCOMPARE(picture(DotMask::fromImage(image, {255, 377})), QStringList{".##.#.."});
            QCOMPARE(picture(DotMask::fromImage(image, {254, 765})), QStringList{"######."});
        }
        QCOMPARE(DotMask::fromImage(QImage(), BLACK).isEmpty(), true);
        // A rule that takes white paper for dots: white stretches are all dots, and none past the edge.
        QImage white(70, 1, QImage::Format_RGB32);
        white.fill(Qt::white);
        const DotMask all = DotMask::fromImage(white, {255, 765});
        QCOMPARE(all.bits(0, 0), ~quint64(0));
        QCOMPARE(all.bits(0, 64), quint64(0x3F));
        QCOMPARE(DotMask::fromImage(white, {254, 765}).rowHasDot(0), false);
    }

    void aMaskWithoutColumnsReadsNoBits()
    {
        QCOMPARE(DotMask(0, 2).bits(1, -2), quint64(0));
    }

    void turnsAndMirrorsMoveDotsAsQImageMovesPixels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("one dot") << QSize(1, 1);
        QTest::newRow("word square") << QSize(64, 64);
        QTest::newRow("ragged") << QSize(131, 70);
        QTest::newRow("tall") << QSize(3, 200);
    }

    void turnsAndMirrorsMoveDotsAsQImageMovesPixels()
    {
        QFETCH(QSize, size);
        QRandomGenerator random(quint32(size.width() * 1000 + size.height()));
        QImage page(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                page.setPixel(x, y, random.bounded(3) == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        const DotMask mask = DotMask::fromImage(page, BLACK);
        for (int turns : {0, 1, 2, 3, -1, 5}) {
            const QImage turned = page.transformed(QTransform().rotate(90 * ((turns % 4 + 4) % 4)));
            QCOMPARE(picture(mask.turned(turns)), picture(DotMask::fromImage(turned, BLACK)));
        }
        for (bool horizontal : {false, true})
            for (bool vertical : {false, true})
                QCOMPARE(picture(mask.mirrored(horizontal, vertical)),
                         picture(DotMask::fromImage(page.mirrored(horizontal, vertical), BLACK)));
        // Turned a quarter clockwise and mirrored left to right, rows become columns.
        QCOMPARE(picture(mask.transposed()),
                 picture(DotMask::fromImage(page.transformed(QTransform().rotate(90)).mirrored(true, false), BLACK)));
    }
};

QTEST_GUILESS_MAIN(TestDotMask)
#include "tst_dotmask.moc"
