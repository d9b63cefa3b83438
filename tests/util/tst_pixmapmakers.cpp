#include "items/doublerectitem.h"
#include "items/lineitem.h"
#include "items/pixmapitem.h"
#include "items/rectitem.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

constexpr int QR_MODULE = 10;
constexpr int QUIET_ZONE = 4 * QR_MODULE;

// The picture qrencode's command line makes with the options the maker uses:
// level Q, version 2 at least, the 8-bit hint and case-sensitive (both the
// command's defaults; its -8 flag would skip the mode analysis), 10 pixels a
// module, no margin.
QImage qrencodeImage(const QString &text, const QString &dir)
{
    const QString path = dir + QStringLiteral("/qrencode.png");
    QFile::remove(path);
    const int rc = runProgram(QStringLiteral("qrencode"),
                              {QStringLiteral("-l"), QStringLiteral("Q"), QStringLiteral("-v"), QStringLiteral("2"),
                               QStringLiteral("-s"), QString::number(QR_MODULE), QStringLiteral("-m"),
                               QStringLiteral("0"), QStringLiteral("-t"), QStringLiteral("PNG"), QStringLiteral("-o"),
                               path, text});
    if (rc != 0)
        return QImage();
    return QImage(path);
}

// Pixels that differ in darkness between two pictures of equal size; -1 when
// the sizes differ.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += (qGray(a.pixel(x, y)) < 128) != (qGray(b.pixel(x, y)) < 128) ? 1 : 0;
    return n;
}

QImage take(QPixmap *pixmap)
{
    std::unique_ptr<QPixmap> owned(pixmap);
    return owned ? owned->toImage() : QImage();
}

bool savePicture(const QString &path, const QImage &image)
{
    return image.save(path, "PNG");
}

} // namespace

class TestPixmapMakers : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        Seams::resetAll();
        TextUtil::SCREEN_DPI = 0.0f;
    }

    void qrMatchesQrencode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("digits") << "123";
        QTest::newRow("mixed case") << "AbC-def-123";
        QTest::newRow("chinese") << "城建档案 第7盒";
        QTest::newRow("url") << "https://example.org/archive?box=0007&shelf=A3";
        QTest::newRow("larger version") << QString(120, QLatin1Char('x')) + QStringLiteral("0123456789");
    }

    void qrMatchesQrencode()
    {
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QImage ours = take(FileUtil::getQrCodePixmap(text));
        QVERIFY(!ours.isNull());
        const QImage reference = qrencodeImage(text, dir.path());
        QVERIFY(!reference.isNull());
        QCOMPARE(ours.size(), reference.size());
        QCOMPARE(differingPixels(ours, reference), 0);
        // Pure black and white, nothing in between.
        for (int y = 0; y < ours.height(); y += 3)
            for (int x = 0; x < ours.width(); x += 3) {
                const QRgb c = ours.pixel(x, y);
                QVERIFY(c == qRgb(0, 0, 0) || c == qRgb(255, 255, 255));
            }
        QCOMPARE(zbarDecode(ours, QUIET_ZONE), QStringList({text}));
    }

    void qrOfShortTextIsVersion2WithoutQuietZone()
    {
        const QImage image = take(FileUtil::getQrCodePixmap(QStringLiteral("123")));
        QCOMPARE(image.size(), QSize(250, 250));
        // Finder patterns in three corners touch the edges: a dark ring of one
        // module, a light ring, a dark 3 × 3 centre.
        for (const QPoint corner : {QPoint(0, 0), QPoint(180, 0), QPoint(0, 180)}) {
            QCOMPARE(image.pixel(corner + QPoint(0, 0)), qRgb(0, 0, 0));
            QCOMPARE(image.pixel(corner + QPoint(69, 69)), qRgb(0, 0, 0));
            QCOMPARE(image.pixel(corner + QPoint(15, 15)), qRgb(255, 255, 255));
            QCOMPARE(image.pixel(corner + QPoint(35, 35)), qRgb(0, 0, 0));
        }
        // The light separator beside the top-left finder.
        QCOMPARE(image.pixel(75, 5), qRgb(255, 255, 255));
    }

    void qrRefusals()
    {
        LogCapture log;
        QCOMPARE(FileUtil::getQrCodePixmap(QString()), nullptr);
        QVERIFY(log.warnings().isEmpty());

        // A NUL would cut the text short: refused instead.
        QCOMPARE(FileUtil::getQrCodePixmap(QStringLiteral("12") + QChar(0) + QStringLiteral("34")), nullptr);
        QCOMPARE(log.warnings(), QStringList({QStringLiteral("生成二维码失败")}));

        // More than the largest symbol holds at level Q.
        QCOMPARE(FileUtil::getQrCodePixmap(QString(1700, QLatin1Char('z'))), nullptr);
        QCOMPARE(log.warnings().size(), 2);
        QCOMPARE(log.warnings().at(1), QStringLiteral("生成二维码失败"));
    }

    void barcodePixmap()
    {
        QStringList boxes;
        Seams::setInformationHandler(
            [&boxes](QWidget *, const QString &title, const QString &text) { boxes << title + QLatin1Char('|') + text; });
        const QImage image = take(FileUtil::getBarCodePixmap(QStringLiteral("123")));
        QCOMPARE(image.size(), QSize(236, 182));
        QCOMPARE(zbarDecode(image), QStringList({QStringLiteral("123")}));
        QVERIFY(boxes.isEmpty());

        std::unique_ptr<QPixmap> rejected(FileUtil::getBarCodePixmap(QStringLiteral("条码")));
        QVERIFY(rejected);
        QVERIFY(rejected->isNull());
        QCOMPARE(boxes, QStringList({QStringLiteral("barcode|输入的内容含不可\n编码字符。。。")}));

        // The print path logs instead of asking anyone.
        LogCapture log;
        std::unique_ptr<QPixmap> quiet(FileUtil::getBarCodePixmap(QString(), BarCode::RejectNotice::LogWarning));
        QVERIFY(quiet);
        QVERIFY(quiet->isNull());
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(log.warnings().size(), 1);
        QVERIFY(log.warnings().at(0).contains(QStringLiteral("请输入编号：")));
    }

    void pictureColoursAndBlackWhite()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        QImage source(4, 1, QImage::Format_ARGB32);
        source.setPixel(0, 0, qRgba(128, 128, 130, 255)); // sum 386: black
        source.setPixel(1, 0, qRgba(129, 129, 129, 255)); // sum 387: white
        source.setPixel(2, 0, qRgba(0, 0, 0, 0));         // transparent: white
        source.setPixel(3, 0, qRgba(255, 0, 0, 255));     // pure red: black
        QVERIFY(savePicture(program.file("/attachment/picture/p.png"), source));

        const QImage colours = take(FileUtil::getPicturePixmap(QStringLiteral("p.png"), false));
        QCOMPARE(colours.size(), QSize(4, 1));
        QCOMPARE(colours.pixel(0, 0), qRgb(128, 128, 130));
        QCOMPARE(colours.pixel(3, 0), qRgb(255, 0, 0));
        QCOMPARE(qAlpha(colours.pixel(2, 0)), 0);

        const QImage bw = take(FileUtil::getPicturePixmap(QStringLiteral("p.png"), true));
        QCOMPARE(bw.size(), QSize(4, 1));
        QCOMPARE(bw.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(bw.pixel(1, 0), qRgb(255, 255, 255));
        QCOMPARE(bw.pixel(2, 0), qRgb(255, 255, 255));
        QCOMPARE(bw.pixel(3, 0), qRgb(0, 0, 0));

        // Half-transparent black over white: (127, 127, 127) or so, black.
        QImage half(1, 1, QImage::Format_ARGB32);
        half.setPixel(0, 0, qRgba(0, 0, 0, 128));
        QVERIFY(savePicture(program.file("/attachment/picture/half.png"), half));
        QCOMPARE(take(FileUtil::getPicturePixmap(QStringLiteral("half.png"), true)).pixel(0, 0), qRgb(0, 0, 0));
        // A JPEG keeps working too.
        QImage photo(40, 30, QImage::Format_RGB32);
        photo.fill(QColor(250, 250, 250));
        QVERIFY(photo.save(program.file("/attachment/picture/photo.jpg"), "JPG"));
        const QImage bwPhoto = take(FileUtil::getPicturePixmap(QStringLiteral("photo.jpg"), true));
        QCOMPARE(bwPhoto.size(), QSize(40, 30));
        QCOMPARE(bwPhoto.pixel(20, 15), qRgb(255, 255, 255));
    }

    void missingOrUnsafePictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "nothere.png";
        QTest::newRow("empty") << "";
        QTest::newRow("parent") << "..";
        QTest::newRow("escaping") << "../outside.png";
        QTest::newRow("subfolder") << "sub/inner.png";
        QTest::newRow("backslash") << "sub\\inner.png";
        QTest::newRow("absolute") << "/tmp/outside.png";
        QTest::newRow("not a picture") << "broken.png";
    }

    void missingOrUnsafePictures()
    {
        QFETCH(QString, name);
        TempProgramDir program;
        FileUtil::checkCustomDir();
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        // Real pictures wherever an unsafe name could reach.
        QVERIFY(savePicture(program.file("/attachment/outside.png"), red));
        QVERIFY(QDir().mkpath(program.file("/attachment/picture/sub")));
        QVERIFY(savePicture(program.file("/attachment/picture/sub/inner.png"), red));
        QVERIFY(writeFile(program.file("/attachment/picture/broken.png"), QByteArray("not a picture")));

        for (bool blackWhite : {false, true}) {
            std::unique_ptr<QPixmap> pixmap(FileUtil::getPicturePixmap(name, blackWhite));
            QVERIFY(pixmap);
            QVERIFY(pixmap->isNull());
        }
    }

    void pageAt300DpiIsReadable()
    {
        // A label page built the way the print preview builds it: millimetres
        // converted at the printer's resolution, codes stretched over their
        // elements, rendered to a white page image.
        const int dpi = 300;
        auto px = [dpi](float mm) { return TextUtil::mm2px(mm, dpi); };
        QGraphicsScene scene(0, 0, px(100), px(60));

        auto *frame = new DoubleRectItem;
        frame->setDpi(dpi);
        frame->setRect(0, 0, px(100), px(60));
        scene.addItem(frame);

        auto *line = new LineItem;
        line->setRect(0, 0, px(80), px(0.5));
        line->setPos(px(10), px(30));
        scene.addItem(line);

        auto *qr = new PixmapItem;
        std::unique_ptr<QPixmap> qrPixmap(FileUtil::getQrCodePixmap(QStringLiteral("KL-2026-0007 城建档案")));
        QVERIFY(qrPixmap);
        qr->setPixmap(*qrPixmap);
        qr->setRect(0, 0, px(20), px(20));
        qr->setPos(px(70), px(5));
        scene.addItem(qr);

        auto *bar = new PixmapItem;
        std::unique_ptr<QPixmap> barPixmap(FileUtil::getBarCodePixmap(QStringLiteral("KL-2026-0007")));
        bar->setPixmap(*barPixmap);
        bar->setRect(0, 0, px(60), px(15));
        bar->setPos(px(10), px(38));
        scene.addItem(bar);

        QImage page(px(100), px(60), QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        scene.render(&painter, QRectF(page.rect()), scene.sceneRect());
        painter.end();

        QCOMPARE(zbarDecode(page),
                 QStringList({QStringLiteral("KL-2026-0007"), QStringLiteral("KL-2026-0007 城建档案")}));
    }
};

QTEST_MAIN(TestPixmapMakers)
#include "tst_pixmapmakers.moc"
