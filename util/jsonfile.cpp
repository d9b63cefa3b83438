#include "util/jsonfile.h"

#include "util/safesave.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>

namespace JsonFile {
namespace {

enum class Form { Object, Array };

quint64 writesBegun = 0;

void setAside(const QString &path, const QString &why)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    QString target = path + QStringLiteral(".bad-") + stamp;
    for (int i = 1; QFileInfo::exists(target); ++i)
        target = path + QStringLiteral(".bad-") + stamp + QLatin1Char('-') + QString::number(i);
    if (QFile::rename(path, target))
        qWarning().noquote() << "unreadable JSON file" << path << "(" + why + ") kept as" << target;
    else
        qWarning().noquote() << "unreadable JSON file" << path << "(" + why + ") could not be kept as" << target;
}

QJsonDocument readDocument(const QString &path, Form form)
{
    bool readable = true;
    const QByteArray bytes = readBytes(path, &readable);
    if (!readable) {
        // Reading it as empty would let the next write replace what it holds.
        setAside(path, QStringLiteral("cannot be read"));
        return QJsonDocument();
    }
    if (bytes.isEmpty())
        return QJsonDocument();

    QJsonParseError error;
    const QJsonDocument doc = parse(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        setAside(path, error.errorString());
        return QJsonDocument();
    }
    const bool expected = form == Form::Object ? doc.isObject() : doc.isArray();
    if (!expected) {
        setAside(path, form == Form::Object ? QStringLiteral("not an object") : QStringLiteral("not an array"));
        return QJsonDocument();
    }
    return doc;
}

} // namespace

QJsonDocument parse(const QByteArray &bytes, QJsonParseError *error)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom))
        return QJsonDocument::fromJson(bytes.mid(bom.size()), error);
    return QJsonDocument::fromJson(bytes, error);
}

QByteArray readBytes(const QString &path, bool *readable)
{
    if (readable)
        *readable = true;
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "cannot read" << path << ":" << file.errorString();
        if (readable)
            *readable = false;
        return QByteArray();
    }
    return file.readAll();
}

QJsonObject readObject(const QString &path)
{
    return readDocument(path, Form::Object).object();
}

QJsonArray readArray(const QString &path)
{
    return readDocument(path, Form::Array).array();
}

bool write(const QString &path, const QJsonDocument &doc)
{
    ++writesBegun;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "cannot write" << path << ":" << file.errorString();
        return false;
    }
    const QByteArray bytes = doc.toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size()) {
        qWarning().noquote() << "cannot write" << path << ":" << file.errorString();
        file.cancelWriting();
        return false;
    }
    QString error;
    if (!SafeSave::commit(file, &error)) {
        qWarning().noquote() << "cannot save" << path << ":" << error;
        return false;
    }
    return true;
}

bool ensureExists(const QString &path)
{
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "cannot create" << path << ":" << file.errorString();
        return false;
    }
    return true;
}

quint64 writeCount()
{
    return writesBegun;
}

} // namespace JsonFile
