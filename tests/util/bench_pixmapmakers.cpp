// Prints how long the pixmap makers take: a QR code, a barcode, and the
// black-and-white conversion of a 12-megapixel photo (beside plain loading).
#include "support/testsupport.h"
#include "util/fileutil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QtDebug>

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
    return 0;
}
