// Prints how long the label pictures take: a QR code and a barcode picture,
// the black-and-white conversion of a 12-megapixel photo (beside plain
// loading), and one full repaint of a label page at 300 dpi holding 70 shape,
// picture and code items, as the print preview renders its page.
#include "items/doublerectitem.h"
#include "items/ellipseitem.h"
#include "items/lineitem.h"
#include "items/pixmapitem.h"
#include "items/rectitem.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

double meanMs(int runs, const std::function<void()> &work)
{
    work(); // warm up
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work();
    return double(timer.nsecsElapsed()) / 1e6 / runs;
}

// A photo-like picture: smooth gradients with noise, so the JPEG is realistic.
QImage makePhoto(int width, int height)
{
    QImage photo(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(rng.bounded(40));
            line[x] = qRgb((x * 255 / width + noise) % 256, (y * 255 / height + noise) % 256, ((x + y) / 40 + noise) % 256);
        }
    }
    return photo;
}

constexpr int DPI = 300;

int px(float mm)
{
    return TextUtil::mm2px(mm, DPI);
}

void place(QGraphicsScene &scene, BaseItem *item, float x, float y, float w, float h, float border)
{
    item->setRect(0, 0, px(w), px(h));
    item->setPos(px(x), px(y));
    item->setPen(QPen(Qt::black, px(border)));
    item->setFlags({});
    scene.addItem(item);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSupport::TempProgramDir program;
    FileUtil::checkCustomDir();

    const QString qrText = QStringLiteral("KL-2026-0007 城建档案 第7盒");
    const double qr = meanMs(500, [&] { std::unique_ptr<QPixmap> p(FileUtil::getQrCodePixmap(qrText)); });
    std::printf("QR code picture (%d chars): %.3f ms\n", int(qrText.size()), qr);

    const QString barText = QStringLiteral("KL-2026-0007");
    const double bar = meanMs(500, [&] { std::unique_ptr<QPixmap> p(FileUtil::getBarCodePixmap(barText)); });
    std::printf("Code 128 B picture (%d chars): %.3f ms\n", int(barText.size()), bar);

    const QImage photo = makePhoto(4000, 3000);
    if (!photo.save(program.file("/attachment/picture/photo.jpg"), "JPG", 90)) {
        std::fprintf(stderr, "cannot write the photo\n");
        return 1;
    }
    const QString name = QStringLiteral("photo.jpg");
    const double load = meanMs(5, [&] { std::unique_ptr<QPixmap> p(FileUtil::getPicturePixmap(name, false)); });
    const double bw = meanMs(5, [&] { std::unique_ptr<QPixmap> p(FileUtil::getPicturePixmap(name, true)); });
    std::printf("12-megapixel JPEG, loaded as is: %.1f ms\n", load);
    std::printf("12-megapixel JPEG, black and white: %.1f ms (%.1f ms beyond loading)\n", bw, bw - load);

    QImage logo(600, 400, QImage::Format_RGB32);
    logo.fill(Qt::white);
    {
        QPainter p(&logo);
        p.setBrush(Qt::darkGray);
        p.drawEllipse(50, 50, 500, 300);
    }
    logo.save(program.file("/attachment/picture/logo.png"));
    std::unique_ptr<QPixmap> picture(FileUtil::getPicturePixmap(QStringLiteral("logo.png"), true));

    // A 240 x 310 mm page: 2835 x 3661 dots.
    QGraphicsScene scene(0, 0, px(240), px(310));
    int items = 0;
    for (int row = 0; row < 10; ++row) {
        const float y = 5 + row * 30.0f;
        place(scene, new RectItem, 5, y, 40, 25, 0.3f);
        auto *frame = new DoubleRectItem;
        frame->setDpi(DPI);
        place(scene, frame, 50, y, 40, 25, 0);
        place(scene, new LineItem, 95, y + 12, 30, 0.5f, 0.1f);
        place(scene, new EllipseItem, 130, y, 25, 25, 0.3f);
        auto *pic = new PixmapItem;
        pic->setPixmap(*picture);
        place(scene, pic, 160, y, 30, 20, 0);
        auto *qr = new PixmapItem;
        std::unique_ptr<QPixmap> qrPixmap(FileUtil::getQrCodePixmap(QStringLiteral("KL-2026-%1 城建档案").arg(row)));
        qr->setPixmap(*qrPixmap);
        place(scene, qr, 195, y, 20, 20, 0);
        auto *bar = new PixmapItem;
        std::unique_ptr<QPixmap> barPixmap(FileUtil::getBarCodePixmap(QStringLiteral("KL-2026-%1").arg(row)));
        bar->setPixmap(*barPixmap);
        place(scene, bar, 215, y, 22, 10, 0);
        items += 7;
    }

    QImage page(px(240), px(310), QImage::Format_ARGB32);
    auto render = [&] {
        page.fill(Qt::white);
        QPainter painter(&page);
        scene.render(&painter, QRectF(page.rect()), scene.sceneRect());
    };
    const double repaint = meanMs(10, render);
    std::printf("Full repaint of a %dx%d page at %d dpi with %d items: %.1f ms\n", page.width(), page.height(), DPI,
                items, repaint);
    return 0;
}
