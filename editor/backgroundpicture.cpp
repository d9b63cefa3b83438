#include "editor/backgroundpicture.h"

#include "editor/picturefilebook.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QImageReader>

namespace {

const char *const BUILTIN_BACKGROUND_DIR = ":/resources/background/";
constexpr float SPINE_LINE_MM = 0.2f;

QString picturePath(const QString &background)
{
    const QString custom = PictureFileBook::customBackground(background);
    if (!custom.isEmpty())
        return FileUtil::getFilePathFromCustomPixmap(custom);
    if (background.isEmpty())
        return QString();
    return QLatin1String(BUILTIN_BACKGROUND_DIR) + background;
}

} // namespace

BackgroundPicture::Face BackgroundPicture::face(const TemplateModel &model, int dpi)
{
    const int w = TextUtil::mm2px(model.printWidth, dpi);
    const int h = TextUtil::mm2px(model.printHeight, dpi);
    Face face;
    face.size = QSize(qMax(w, 1), qMax(h, 1));
    face.spineX = TextUtil::mm2px(model.backLength, dpi);
    face.lineWidth = TextUtil::mm2px(SPINE_LINE_MM, dpi);
    const QImage &source = picture(model.background);
    plain = source.isNull() || w <= 0 || h <= 0;
    if (plain)
        return face;
    // Reduced here, where reducing averages; enlarged only while painting.
    const QSize kept = face.size.boundedTo(source.size());
    face.picture = kept == source.size() ? source
                                         : source.scaled(kept, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return face;
}

const QImage &BackgroundPicture::picture(const QString &background)
{
    if (background == pictureKey)
        return pictureImage;
    pictureKey = background;
    pictureImage = QImage();
    const QString path = picturePath(background);
    if (path.isEmpty())
        return pictureImage;
    QImageReader reader(path);
    const QSize full = reader.size();
    // Reduced while decoding where the format allows it (JPEG does), which
    // spares most of the work on a camera picture.
    if (full.isValid() && qMax(full.width(), full.height()) > MAX_KEPT_SIDE)
        reader.setScaledSize(full.scaled(MAX_KEPT_SIDE, MAX_KEPT_SIDE, Qt::KeepAspectRatio));
    pictureImage = reader.read();
    ++decodes;
    return pictureImage;
}
