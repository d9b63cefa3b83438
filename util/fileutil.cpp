#include "util/fileutil.h"

#include "model/graphicsmodel.h"
#include "util/seams.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QUuid>
#include <QtDebug>

#include <qrencode.h>

#include <memory>
#include <utility>

QString FileUtil::customPath(const char *suffix)
{
    return Seams::programDir() + QLatin1String(suffix);
}

void FileUtil::checkCustomDir()
{
    for (const char *suffix : {CUSTOM_ROOT, CUSTOM_PICTURE}) {
        const QString path = customPath(suffix);
        if (QFileInfo::exists(path))
            continue;
        if (!QDir().mkdir(path))
            qWarning() << "cannot create folder" << path;
    }
}

QString FileUtil::copyPictureFile(const QString &source)
{
    const QString name = QUuid::createUuid().toString().remove(QLatin1Char('{')).remove(QLatin1Char('}'))
        + QLatin1Char('.') + QFileInfo(source).suffix();
    const QString target = getFilePathFromCustomPixmap(name);
    if (!QFile::copy(source, target)) {
        qWarning() << "cannot copy picture" << source << "to" << target;
        return QString();
    }
    return name;
}

QString FileUtil::getFilePathFromCustomPixmap(const QString &name)
{
    if (!isPlainFileName(name))
        return QString();
    return QStringLiteral("%1%2/%3").arg(Seams::programDir(), QLatin1String(CUSTOM_PICTURE), name);
}

bool FileUtil::isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString FileUtil::withSuffix(const QString &path, const QString &suffix)
{
    if (path.endsWith(suffix, Qt::CaseInsensitive))
        return path;
    return path + suffix;
}

QString FileUtil::getPixmapBase64(const QPixmap &pixmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    pixmap.toImage().save(&buffer, "png");
    return QString::fromLatin1(bytes.toBase64());
}

namespace {

constexpr int BLACK_WHITE_THRESHOLD = 386;
constexpr int QR_MIN_VERSION = 2;
constexpr int QR_MODULE_PIXELS = 10;

} // namespace

QPixmap *FileUtil::getPicturePixmap(const QString &fileName, bool blackWhite)
{
    const QString path = getFilePathFromCustomPixmap(fileName);
    if (path.isEmpty())
        return new QPixmap();
    if (!blackWhite)
        return new QPixmap(path);

    const QImage source(path);
    if (source.isNull())
        return new QPixmap();
    // Laid on white first, so that transparent parts of the picture are
    // white. The result is opaque, so an opaque format spares the
    // premultiplying conversions; an opaque picture needs no painting at all.
    QImage image;
    if (source.hasAlphaChannel()) {
        image = QImage(source.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.drawImage(0, 0, source);
    } else {
        image = source.convertToFormat(QImage::Format_RGB32);
    }
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRed(c) + qGreen(c) + qBlue(c) > BLACK_WHITE_THRESHOLD ? white : black;
        }
    }
    return new QPixmap(QPixmap::fromImage(std::move(image)));
}

QPixmap *FileUtil::getQrCodePixmap(const QString &content)
{
    if (content.isEmpty())
        return nullptr;
    // The library takes a C string: a NUL inside the text would silently cut
    // the code short, so such a text counts as unencodable.
    const QByteArray utf8 = content.toUtf8();
    QRcode *code = utf8.contains('\0')
        ? nullptr
        : QRcode_encodeString(utf8.constData(), QR_MIN_VERSION, QR_ECLEVEL_Q, QR_MODE_8, 1);
    if (!code) {
        qWarning().noquote() << QStringLiteral("生成二维码失败");
        return nullptr;
    }
    const int modules = qMax(code->width, 1);
    const int side = modules * QR_MODULE_PIXELS;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        for (int row = 0; row < code->width; ++row) {
            const unsigned char *data = code->data + row * code->width;
            for (int column = 0; column < code->width; ++column) {
                if (data[column] & 1)
                    painter.drawRect(column * QR_MODULE_PIXELS, row * QR_MODULE_PIXELS, QR_MODULE_PIXELS,
                                     QR_MODULE_PIXELS);
            }
        }
    }
    QRcode_free(code);
    return new QPixmap(QPixmap::fromImage(std::move(image)));
}

QPixmap *FileUtil::getBarCodePixmap(const QString &content, BarCode::RejectNotice notice)
{
    BarCode generator(notice);
    return new QPixmap(generator.creatBarCode(content, Code128B));
}

QPixmap FileUtil::elementPixmap(int type, const QString &source, const QSize &size)
{
    std::unique_ptr<QPixmap> made;
    if (type == ELEMENT_PICTURE)
        made.reset(getPicturePixmap(source, true));
    else if (source.isEmpty())
        return QPixmap();
    else if (type == ELEMENT_QRCODE)
        made.reset(getQrCodePixmap(source));
    else if (type == ELEMENT_BARCODE)
        made.reset(getBarCodePixmap(source, BarCode::RejectNotice::LogWarning));
    if (!made || made->isNull())
        return QPixmap();
    return made->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
