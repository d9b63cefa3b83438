#include "util/fileutil.h"

#include "util/seams.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <QtDebug>

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
