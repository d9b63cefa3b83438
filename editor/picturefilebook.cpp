#include "editor/picturefilebook.h"

#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/templatejson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtDebug>

namespace {

// The file names of one store file; false when the file exists and cannot be
// read as a list of templates.
bool addStoreFiles(const QString &path, QSet<QString> *files)
{
    bool readable = true;
    const QByteArray bytes = JsonFile::readBytes(path, &readable);
    if (!readable)
        return false;
    if (bytes.trimmed().isEmpty())
        return true;
    QJsonParseError error;
    const QJsonDocument doc = JsonFile::parse(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return false;
    const QJsonArray array = doc.array();
    for (const QJsonValue &value : array)
        files->unite(PictureFileBook::filesOf(TemplateJson::readTemplate(value.toObject())));
    return true;
}

} // namespace

void PictureFileBook::recordAdded(const QString &path)
{
    deleteOnClose.append(path);
}

void PictureFileBook::recordRemoved(const QString &path)
{
    deleteOnSave.append(path);
    deleteOnClose.removeAll(path);
}

void PictureFileBook::settle(const TemplateModel *stored)
{
    // A file copied in and dropped again within the span sits only in the
    // dropped list, so both lists are candidates whichever way the span ends.
    QStringList candidates = deleteOnClose + deleteOnSave;
    deleteOnClose.clear();
    deleteOnSave.clear();
    deleteUnreferenced(candidates, stored);
}

QStringList PictureFileBook::deleteUnreferenced(const QStringList &paths, const TemplateModel *extra)
{
    QStringList candidates = paths;
    candidates.removeDuplicates();
    candidates.removeAll(QString());
    QStringList undeleted;
    if (candidates.isEmpty())
        return undeleted;
    const std::optional<QSet<QString>> referenced = referencedFiles(extra);
    if (!referenced) {
        qWarning() << "picture files kept: a template store cannot be read";
        return undeleted;
    }
    for (const QString &path : qAsConst(candidates)) {
        if (!referenced->contains(QFileInfo(path).fileName()) && !deleteFile(path))
            undeleted.append(path);
    }
    return undeleted;
}

QSet<QString> PictureFileBook::filesOf(const TemplateModel &model)
{
    QSet<QString> files;
    for (const PictureModel &picture : model.pictureModels)
        files.insert(picture.fileName);
    files.insert(customBackground(model.background));
    files.remove(QString());
    return files;
}

QString PictureFileBook::customBackground(const QString &background)
{
    // Readers take the part after the last colon.
    if (!background.startsWith(QLatin1String(BACKGROUND_OUT_PREFIX)))
        return QString();
    return background.mid(background.lastIndexOf(QLatin1Char(':')) + 1);
}

std::optional<QSet<QString>> PictureFileBook::referencedFiles(const TemplateModel *extra)
{
    QSet<QString> files;
    for (const char *store : {CUSTOM_TEMPLATE_PATH, CUSTOM_TEMPLATE_TRASH_PATH}) {
        if (!addStoreFiles(FileUtil::customPath(store), &files))
            return std::nullopt;
    }
    if (extra)
        files.unite(filesOf(*extra));
    return files;
}

bool PictureFileBook::deleteFile(const QString &path)
{
    if (!QFileInfo::exists(path) || QFile::remove(path))
        return true;
    qWarning() << "cannot delete picture file" << path;
    return false;
}
