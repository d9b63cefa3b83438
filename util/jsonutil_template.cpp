// The template store, its recycle bin and template import and export.

#include "util/jsonutil.h"

#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/jsonscan.h"
#include "util/seams.h"
#include "util/templatejson.h"
#include "util/textutil.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QVector>
#include <QtDebug>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

namespace {

const QLatin1String KEY_NAME("name");

// One stored template: its JSON text as stored, the first member of each
// header key and the header fields read from those. An entry holding a key
// twice reads as its first one everywhere: lists, lookups, loading, deleting
// and rewriting the file.
struct Entry {
    QByteArray raw;
    QJsonObject firsts;
    TemplateModel header;
    bool isObject = false;
};
using Entries = QVector<Entry>;

QString userPath() { return FileUtil::customPath(CUSTOM_TEMPLATE_PATH); }
QString trashPath() { return FileUtil::customPath(CUSTOM_TEMPLATE_TRASH_PATH); }

const QByteArrayList &headerKeys()
{
    static const QByteArrayList keys{"name", "type", "background", "printWidth", "printHeight",
                                     "backLength", "foldLength", "createTime", "modifyTime"};
    return keys;
}

QJsonValue parseValue(const QByteArray &raw)
{
    // Qt 5 parses only objects and arrays at the top level.
    return QJsonDocument::fromJson('[' + raw + ']').array().at(0);
}

// The entries of a JSON array text, or false when it is not well formed.
bool scanEntries(const QByteArray &bytes, Entries *entries)
{
    QVector<JsonScan::Element> elements;
    if (!JsonScan::splitArray(bytes, headerKeys(), &elements))
        return false;
    entries->clear();
    entries->reserve(elements.size());
    for (const JsonScan::Element &e : elements) {
        Entry entry;
        entry.raw = bytes.mid(e.begin, e.length);
        entry.firsts = QJsonDocument::fromJson(e.picked).object();
        entry.header = TemplateJson::readHeader(entry.firsts);
        entry.isObject = e.isObject;
        entries->append(entry);
    }
    return true;
}

// Entries of an array Qt has parsed (the scanner refuses a few texts Qt
// takes); Qt has already settled duplicate keys there.
Entries entriesOf(const QJsonArray &array)
{
    Entries entries;
    entries.reserve(array.size());
    for (const QJsonValue &value : array) {
        Entry entry;
        entry.raw = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        entry.raw = entry.raw.mid(1, entry.raw.size() - 2);
        entry.header = TemplateJson::readHeader(value.toObject());
        entry.isObject = value.isObject();
        entries.append(entry);
    }
    return entries;
}

// The stored value, its header keys holding their first members.
QJsonValue valueOf(const Entry &entry)
{
    const QJsonValue value = parseValue(entry.raw);
    if (!value.isObject())
        return value;
    QJsonObject object = value.toObject();
    for (auto it = entry.firsts.begin(); it != entry.firsts.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

QJsonArray arrayOf(const Entries &entries)
{
    QJsonArray array;
    for (const Entry &entry : entries)
        array.append(valueOf(entry));
    return array;
}

// What becomes of a store file that cannot be read as an array.
enum class BadFile {
    // Set aside by JsonFile, before anything can write over it.
    SetAside,
    // Left where it is and read as empty: the reader only looks, and what
    // it sees may be a file that someone is writing in place just then.
    Leave,
};

// A store file's bytes as entries. Missing or empty files hold nothing; a
// file that cannot be read or that the scanner refuses has Qt decide:
// through JsonFile, which sets a bad file aside, or here, leaving it where
// it is.
Entries entriesOf(const QString &path, const QByteArray &bytes, bool readable, BadFile bad)
{
    Entries entries;
    if (readable && (bytes.isEmpty() || scanEntries(bytes, &entries)))
        return entries;
    if (bad == BadFile::SetAside)
        return entriesOf(JsonFile::readArray(path));
    if (readable) {
        QJsonParseError error;
        const QJsonDocument doc = JsonFile::parse(bytes, &error);
        if (error.error == QJsonParseError::NoError && doc.isArray())
            return entriesOf(doc.array());
    }
    qWarning().noquote() << "unreadable JSON file" << path << "left in place, read as empty";
    return entries;
}

Entries readEntries(const QString &path)
{
    bool readable = true;
    const QByteArray bytes = JsonFile::readBytes(path, &readable);
    return entriesOf(path, bytes, readable, BadFile::SetAside);
}

// The embedded templates cannot change while the program runs, so they are
// scanned once.
const Entries &builtinEntries()
{
    static const Entries entries = [] {
        QFile file{QLatin1String(DEFAULT_TEMPLATE_PATH)};
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning() << "cannot open the embedded templates";
            return Entries();
        }
        Entries result;
        if (!scanEntries(file.readAll(), &result))
            qWarning() << "the embedded templates are not a JSON array";
        return result;
    }();
    return entries;
}

// The merged view as entries: the user file's (or the bin's), then the
// built-ins, the first entry of each name only.
Entries merged(const Entries &custom, bool withSystem)
{
    Entries result;
    QSet<QString> names;
    auto take = [&](const Entries &source) {
        for (const Entry &entry : source) {
            if (names.contains(entry.header.name))
                continue;
            names.insert(entry.header.name);
            result.append(entry);
        }
    };
    take(custom);
    if (withSystem)
        take(builtinEntries());
    return result;
}

Entries mergedEntries(bool withSystem, bool withCustom, bool customNotTrash)
{
    return merged(withCustom ? readEntries(customNotTrash ? userPath() : trashPath()) : Entries(), withSystem);
}

QStringList namesOf(const Entries &entries)
{
    QStringList names;
    names.reserve(entries.size());
    for (const Entry &entry : entries) {
        if (!entry.header.name.isEmpty())
            names.append(entry.header.name);
    }
    return names;
}

QList<TemplateModel> sortedHeaders(const Entries &entries)
{
    QList<TemplateModel> list;
    list.reserve(entries.size());
    for (const Entry &entry : entries) {
        if (!entry.header.name.isEmpty())
            list.append(entry.header);
    }
    std::stable_sort(list.begin(), list.end(), [](const TemplateModel &a, const TemplateModel &b) {
        if (a.modifyTime != b.modifyTime)
            return a.modifyTime > b.modifyTime;
        return a.name < b.name;
    });
    return list;
}

// The template of that name, read whole (sizes as stored); an empty template
// when none has it.
bool findTemplate(const Entries &entries, const QString &name, TemplateModel *model)
{
    *model = TemplateModel();
    if (name.isEmpty())
        return false;
    for (const Entry &entry : entries) {
        if (entry.header.name == name) {
            *model = TemplateJson::readTemplate(valueOf(entry).toObject());
            return true;
        }
    }
    return false;
}

TemplateModel findTemplate(const Entries &entries, const QString &name)
{
    TemplateModel model;
    findTemplate(entries, name, &model);
    JsonUtil::applySizeDefaults(model);
    return model;
}

int indexOfName(const Entries &entries, const QString &name)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).header.name == name)
            return i;
    }
    return -1;
}

// What the file system tells of one state of the user file: a write
// through this program, or anyone's write or replacement of the file,
// changes it, unless it comes within one step of the file system's clock of
// the last change. The entry's change time is there because no one can put
// it back.
struct FileStamp {
    QString path;
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    quint64 writes = 0;

    bool operator==(const FileStamp &o) const
    {
        return path == o.path && exists == o.exists && size == o.size && modifiedNs == o.modifiedNs
               && changedNs == o.changedNs && inode == o.inode && device == o.device && writes == o.writes;
    }
};

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

FileStamp stampOf(const QString &path)
{
    FileStamp stamp;
    stamp.path = path;
    stamp.writes = JsonFile::writeCount();
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = Seams::fileTimeNs(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
    stamp.changedNs = Seams::fileTimeNs(qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec);
    stamp.inode = quint64(st.st_ino);
    stamp.device = quint64(st.st_dev);
    return stamp;
}

// Whether any change made after takenNs would show in the stamp taken then:
// the file's times lie more than two steps of the file system's clock
// before it (one for the step, one for the clocks' drift). Closer, a change
// in place within the same step keeps size and times, and a file replaced
// by rename twice can come back with the first one's freed inode: only the
// bytes tell. A time ahead of the clock is never trusted.
bool tellsLaterChanges(const FileStamp &stamp, qint64 takenNs)
{
    return !stamp.exists || qMax(stamp.modifiedNs, stamp.changedNs) < takenNs - 2 * Seams::fileTimeStepNs();
}

// Tells whether the bytes are those kept: 64 bits, several times faster
// than a cryptographic digest, and no defence against anyone, who could as
// well change the file.
size_t digestOf(const QByteArray &bytes)
{
    return std::hash<std::string_view>()(std::string_view(bytes.constData(), size_t(bytes.size())));
}

// The merged view with the user file as it was when stamped. Stamped before
// it is read: a file that changes while being read is read again next time.
// Clients may ask for it many times a second, while someone writes the file:
// an unreadable file is left in place for the next state to be read.
struct KeptStore {
    FileStamp stamp;
    // When the stamp was taken, or last found to hold the kept bytes.
    qint64 takenNs = 0;
    // The digest of the bytes read, when they could be read.
    std::optional<size_t> digest;
    bool filled = false;
    Entries entries;
    QHash<QString, int> indexOfName;
    QList<TemplateModel> headers;
    // Templates read whole for a request, by entry: the same one is asked
    // for again and again, and reading it costs far more than the request.
    QHash<int, TemplateModel> models;
};

KeptStore &keptStore()
{
    static KeptStore kept;
    JsonUtil::checkTemplateFile(true);
    const qint64 now = nowNs();
    const FileStamp stamp = stampOf(userPath());
    const bool sameStamp = kept.filled && kept.stamp == stamp;
    // A clock set back since could stamp a change as it stamped the last.
    if (sameStamp && now >= kept.takenNs && tellsLaterChanges(stamp, kept.takenNs))
        return kept;
    bool readable = true;
    const QByteArray bytes = JsonFile::readBytes(stamp.path, &readable);
    const std::optional<size_t> digest = readable ? std::optional<size_t>(digestOf(bytes)) : std::nullopt;
    if (sameStamp && digest && digest == kept.digest) {
        kept.takenNs = now;
        return kept;
    }
    kept = KeptStore();
    kept.entries = merged(entriesOf(stamp.path, bytes, readable, BadFile::Leave), true);
    for (int i = 0; i < kept.entries.size(); ++i)
        kept.indexOfName.insert(kept.entries.at(i).header.name, i);
    kept.headers = sortedHeaders(kept.entries);
    kept.stamp = stamp;
    kept.takenNs = now;
    kept.digest = digest;
    kept.filled = true;
    return kept;
}

void refreshTemplateCount()
{
    JsonUtil::setCustomConfig(QStringLiteral("template.count"),
                              QString::number(JsonUtil::getAllTemplateNames().size()));
}

// Replaces the first entry of the name in a store file (or adds one) with
// the object `make` builds from the stored one (null when there is none) and
// rewrites the file with it at the end. Unnamed entries are never written.
bool putEntry(const QString &path, const QString &name,
              const std::function<QJsonObject(const QJsonObject *stored)> &make)
{
    if (name.isEmpty()) {
        qWarning().noquote() << "a template without a name is not stored in" << path;
        return false;
    }
    Entries entries = readEntries(path);
    const int index = indexOfName(entries, name);
    const QJsonObject stored = index >= 0 ? valueOf(entries.at(index)).toObject() : QJsonObject();
    const QJsonObject object = make(index >= 0 ? &stored : nullptr);
    if (index >= 0)
        entries.removeAt(index);
    QJsonArray array = arrayOf(entries);
    array.append(object);
    return JsonFile::write(path, array);
}

// Removes the first entry of the name from a store file and rewrites it.
// When the entry is required, a file without it is left alone and false
// returned.
bool removeEntry(const QString &path, const QString &name, bool required = false)
{
    Entries entries = readEntries(path);
    const int index = indexOfName(entries, name);
    if (index >= 0)
        entries.removeAt(index);
    else if (required)
        return false;
    return JsonFile::write(path, arrayOf(entries));
}

} // namespace

void JsonUtil::checkTemplateFile(bool custom)
{
    FileUtil::checkCustomDir();
    JsonFile::ensureExists(custom ? userPath() : trashPath());
}

void JsonUtil::applySizeDefaults(TemplateModel &model)
{
    const struct {
        float *field;
        const char *key;
    } sizes[] = {{&model.printWidth, "template.printWidth"},
                 {&model.printHeight, "template.printHeight"},
                 {&model.backLength, "template.backLength"},
                 {&model.foldLength, "template.foldLength"}};
    for (const auto &size : sizes) {
        if (*size.field == 0.0f)
            *size.field = getDefaultConfigFloat(QLatin1String(size.key));
    }
}

QJsonArray JsonUtil::getTemplateJsonArray(bool withSystem, bool withCustom, bool customNotTrash)
{
    return arrayOf(mergedEntries(withSystem, withCustom, customNotTrash));
}

QList<TemplateModel> JsonUtil::parseTemplateList(bool withSystem, bool withCustom)
{
    checkTemplateFile(true);
    return sortedHeaders(mergedEntries(withSystem, withCustom, true));
}

QStringList JsonUtil::getSysTemplateNames()
{
    checkTemplateFile(true);
    return namesOf(mergedEntries(true, false, true));
}

QStringList JsonUtil::getAllTemplateNames()
{
    checkTemplateFile(true);
    return namesOf(mergedEntries(true, true, true));
}

QStringList JsonUtil::getTemplateTypes()
{
    checkTemplateFile(true);
    QStringList types;
    QSet<QString> seen;
    for (const Entry &entry : mergedEntries(true, true, true)) {
        const QString &type = entry.header.type;
        if (type.isEmpty() || seen.contains(type))
            continue;
        seen.insert(type);
        types.append(type);
    }
    return types;
}

TemplateModel JsonUtil::parseTemplate(const QString &name)
{
    checkTemplateFile(true);
    return findTemplate(mergedEntries(true, true, true), name);
}

TemplateModel JsonUtil::parseStoredTemplate(const QString &name)
{
    checkTemplateFile(true);
    TemplateModel model;
    if (!findTemplate(mergedEntries(true, true, true), name, &model))
        applySizeDefaults(model);
    return model;
}

QList<TemplateModel> JsonUtil::cachedTemplateList()
{
    return keptStore().headers;
}

TemplateModel JsonUtil::cachedTemplate(const QString &name)
{
    KeptStore &kept = keptStore();
    const auto it = kept.indexOfName.constFind(name);
    if (name.isEmpty() || it == kept.indexOfName.constEnd()) {
        TemplateModel none;
        JsonUtil::applySizeDefaults(none);
        return none;
    }
    auto model = kept.models.find(it.value());
    if (model == kept.models.end()) {
        TemplateModel read = TemplateJson::readTemplate(valueOf(kept.entries.at(it.value())).toObject());
        JsonUtil::applySizeDefaults(read);
        model = kept.models.insert(it.value(), read);
    }
    return model.value();
}

bool JsonUtil::saveTemplate(TemplateModel model, bool onlyPlacement)
{
    checkTemplateFile(true);
    const bool written = putEntry(userPath(), model.name, [&](const QJsonObject *stored) {
        if (onlyPlacement && stored)
            return TemplateJson::writePlacement(*stored, model);
        if (onlyPlacement)
            qInfo().noquote() << "no stored template" << model.name << "to place; saving it whole";
        return TemplateJson::writeTemplate(model);
    });
    refreshTemplateCount();
    return written;
}

bool JsonUtil::deleteTemplate(const QString &name)
{
    checkTemplateFile(true);
    if (getSysTemplateNames().contains(name)) {
        TextUtil::showError(QStringLiteral("不能删除系统内置的模板"));
        return false;
    }
    const bool written = removeEntry(userPath(), name);
    refreshTemplateCount();
    return written;
}

int JsonUtil::getAllTemplateCount()
{
    return mergedEntries(true, false, true).size();
}

QList<QPair<QString, long long>> JsonUtil::parseTemplateGroupByType()
{
    checkTemplateFile(true);
    QList<QPair<QString, long long>> groups;
    QHash<QString, int> indexOfType;
    for (const Entry &entry : mergedEntries(true, true, true)) {
        const QString &type = entry.header.type;
        auto it = indexOfType.constFind(type);
        if (it == indexOfType.constEnd()) {
            indexOfType.insert(type, groups.size());
            groups.append(qMakePair(type, 1LL));
        } else {
            ++groups[it.value()].second;
        }
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const QPair<QString, long long> &a, const QPair<QString, long long> &b) {
                         return a.second < b.second;
                     });
    return groups;
}

bool JsonUtil::saveTemplateToTrash(TemplateModel model)
{
    checkTemplateFile(false);
    return putEntry(trashPath(), model.name, [&](const QJsonObject *) { return TemplateJson::writeTemplate(model); });
}

QList<TemplateModel> JsonUtil::parseTemplateListFromTrash()
{
    checkTemplateFile(false);
    return sortedHeaders(mergedEntries(false, true, false));
}

TemplateModel JsonUtil::parseTemplateFromTrash(const QString &name)
{
    checkTemplateFile(false);
    return findTemplate(mergedEntries(false, true, false), name);
}

TemplateModel JsonUtil::parseStoredTemplateFromTrash(const QString &name)
{
    checkTemplateFile(false);
    TemplateModel model;
    findTemplate(mergedEntries(false, true, false), name, &model);
    return model;
}

bool JsonUtil::deleteTemplateFromTrash(const QString &name)
{
    // Nothing removed is a failure here: the bin's callers count on the entry
    // being gone.
    return removeEntry(trashPath(), name, true);
}

bool JsonUtil::exportTemplate(QWidget *parent, const QList<QString> &names)
{
    const QString chosen = Seams::getSaveFileName(parent, QStringLiteral("保存文件"), QDir::homePath(),
                                                  QStringLiteral("(*.json)"));
    if (chosen.isEmpty())
        return false;
    return exportTemplateToFile(FileUtil::withSuffix(chosen, QStringLiteral(".json")), names);
}

bool JsonUtil::exportTemplateToFile(const QString &path, const QList<QString> &names)
{
    const QSet<QString> wanted(names.begin(), names.end());
    QJsonArray array;
    for (const Entry &entry : mergedEntries(true, true, true)) {
        if (wanted.contains(entry.header.name))
            array.append(valueOf(entry));
    }
    return JsonFile::write(path, array);
}

bool JsonUtil::importTemplate(QWidget *parent)
{
    const QString path = Seams::getOpenFileName(parent, QStringLiteral("导入文件"), QDir::homePath(),
                                                QStringLiteral("(*.json)"));
    if (path.isEmpty())
        return false;
    return importTemplateFromFile(path);
}

bool JsonUtil::importTemplateFromFile(const QString &path)
{
    // The user's own file: read as it is, never set aside.
    const QByteArray bytes = JsonFile::readBytes(path);
    Entries imported;
    bool wellFormed = scanEntries(bytes, &imported);
    if (!wellFormed) {
        QJsonParseError error;
        const QJsonDocument doc = JsonFile::parse(bytes, &error);
        wellFormed = error.error == QJsonParseError::NoError && doc.isArray();
        imported = entriesOf(doc.array());
    }
    for (int i = 0; wellFormed && i < imported.size(); ++i)
        wellFormed = imported.at(i).isObject && !imported.at(i).header.name.isEmpty();
    if (!wellFormed) {
        qWarning().noquote() << "import file" << path << "is not an array of named templates";
        TextUtil::showError(QStringLiteral("导入文件格式不正确"));
        return false;
    }
    if (imported.isEmpty())
        return false;

    checkTemplateFile(true);
    const QStringList stored = getAllTemplateNames();
    QSet<QString> taken(stored.begin(), stored.end());
    const QString suffix = QStringLiteral("-副本");
    const QString now = QDateTime::currentDateTime().toString(QLatin1String(TemplateJson::TIME_FORMAT));

    QJsonArray array = arrayOf(readEntries(userPath()));
    for (const Entry &entry : qAsConst(imported)) {
        QJsonObject object = valueOf(entry).toObject();
        const QString &name = entry.header.name;
        QString candidate = name;
        for (int k = 1; taken.contains(candidate); ++k)
            candidate = name + suffix + QString::number(k);
        taken.insert(candidate);
        object.insert(KEY_NAME, candidate);
        object.insert(QLatin1String("createTime"), now);
        object.insert(QLatin1String("modifyTime"), now);
        array.append(object);
    }
    return JsonFile::write(userPath(), array);
}
