#pragma once

#include "model/apimodel.h"
#include "model/templatemodel.h"

#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

class QWidget;

// The JSON stores: the embedded default configuration, the user
// configuration customConfig.json, the built-in and user templates and the
// template recycle bin. Every call re-reads the files it needs (but the two
// cached readers of the template store); every write rewrites a file whole.
class JsonUtil
{
public:
    JsonUtil() = delete;

    static constexpr int DEFAULT_PRINTER_DPI = 300;
    static constexpr int DEFAULT_API_PORT = 58111;

    // Value of a key of the embedded defaults, "" when absent or not a string.
    static QString getDefaultConfig(const QString &key);
    // The same converted with a float conversion (0 when it holds no number).
    static float getDefaultConfigFloat(const QString &key);

    // Creates the attachment folders and an empty customConfig.json when missing.
    static void checkConfigFile();

    static QString getCustomConfig(const QString &key, const QString &defaultValue);
    static QStringList getCustomConfigList(const QString &key);
    static QMap<QString, QString> getCustomConfigMap(const QString &key);
    // Each returns whether the file was written.
    static bool setCustomConfig(const QString &key, const QString &value);
    static bool setCustomConfigList(const QString &key, const QStringList &list);
    static bool setCustomConfigMap(const QString &key, const QMap<QString, QString> &map);

    // "printer.dpi": an empty value is written back as "300"; a value that is
    // not a whole number from 50 to 2400 gives 300 with a warning.
    static int getPrinterDpi();
    // "api.port": a value that is not a whole number from 1 to 65535 gives
    // 58111 with a warning.
    static quint16 getApiPort();

    // ---- Template store ----------------------------------------------------
    // Templates are found by exact name. The user file (or the recycle bin)
    // comes first and shadows built-in templates of the same name; within one
    // file only the first entry of a name counts.

    // Creates the attachment folders and an empty user file (custom) or
    // recycle bin (!custom) when missing.
    static void checkTemplateFile(bool custom);
    // The merged view: the user file's (or the bin's) entries, then the
    // built-in ones, each name taken once, entries left as stored.
    static QJsonArray getTemplateJsonArray(bool withSystem, bool withCustom, bool customNotTrash);
    // Headers only (name, type, background, sizes, times), unnamed entries
    // dropped, newest "modifyTime" first and equal times by name. Stored
    // sizes are shown as stored, 0 included.
    static QList<TemplateModel> parseTemplateList(bool withSystem, bool withCustom);
    static QStringList getSysTemplateNames();
    // User names first, then the built-in names they do not shadow.
    static QStringList getAllTemplateNames();
    // The distinct non-empty categories, in the order they are first met.
    static QStringList getTemplateTypes();
    // The whole template; sizes stored as 0 get the default configuration's.
    // A name that matches nothing (or "") gives an empty template of the
    // default size.
    static TemplateModel parseTemplate(const QString &name);
    // The same with the sizes as stored, 0 included, for an editor that
    // stores them back as they were; a name that matches nothing gives the
    // empty template of the default size.
    static TemplateModel parseStoredTemplate(const QString &name);
    // Each size stored as 0 takes the default configuration's, as every
    // reader of a whole template takes it.
    static void applySizeDefaults(TemplateModel &model);
    // parseTemplateList(true, true) and parseTemplate(name), answered from
    // what the user file held when last read for them while it is unchanged:
    // the same size, modification and change times, inode and device, no
    // write by this program since, and, while those times lie too close to
    // the last look for a change to show in them, the same bytes. A changed
    // file is read afresh, so each call still sees the store as it is at
    // that moment.
    static QList<TemplateModel> cachedTemplateList();
    static TemplateModel cachedTemplate(const QString &name);
    // Whole template (its old entry moves to the end of the file) or only its
    // print placement. A placement save for a name without a user entry saves
    // the whole template; an unnamed template is never stored. Refreshes
    // "template.count". Returns whether the user file was written.
    static bool saveTemplate(TemplateModel model, bool onlyPlacement);
    // Refuses built-in names with a toast. Returns whether the user file was
    // written (also when it held no such name).
    static bool deleteTemplate(const QString &name);
    // Built-in templates with distinct names.
    static int getAllTemplateCount();
    // (category, number of templates), fewest first; "" is a category too.
    static QList<QPair<QString, long long>> parseTemplateGroupByType();

    // ---- Recycle bin, export, import ---------------------------------------
    // Replaces the bin's entry of that name; stamps "modifyTime" with now.
    static bool saveTemplateToTrash(TemplateModel model);
    static QList<TemplateModel> parseTemplateListFromTrash();
    static TemplateModel parseTemplateFromTrash(const QString &name);
    // The same with the sizes as stored, for a move back into the store.
    static TemplateModel parseStoredTemplateFromTrash(const QString &name);
    // False when the bin holds no entry of that name or was not written.
    static bool deleteTemplateFromTrash(const QString &name);
    // Asks for a file and writes the named templates (merged view, in its
    // order) there; false when cancelled or not written.
    static bool exportTemplate(QWidget *parent, const QList<QString> &names);
    static bool exportTemplateToFile(const QString &path, const QList<QString> &names);
    // Asks for a file and adds its templates to the user file, renaming a
    // taken name to "<name>-副本<k>". Refuses, with a toast, a file that is not
    // an array of named templates. Returns whether the user file was written.
    static bool importTemplate(QWidget *parent);
    static bool importTemplateFromFile(const QString &path);

    // ---- Local API messages (jsonutil_api.cpp) -----------------------------
    // Pure functions of their arguments. The parser accepts any text: what is
    // not a JSON object, or a field of the wrong type, leaves the defaults.
    // Replies are compact JSON with keys in ascending order; the reply key of
    // the request id is spelt "resquestId", as clients expect.
    static APIModel parseAPIRequest(const QString &text);
    static QString buildJsonstrByTemplateModel(const QList<TemplateModel> &templates, quint16 seq);
    // The same reply in two steps, so that a caller answering the same list
    // again builds its "data" (nearly all of the reply) once.
    static QString buildTemplateListData(const QList<TemplateModel> &templates);
    static QString buildTemplateListReply(const QString &data, quint16 seq);
    static QString buildJsonstrByTemplateFailds(const TemplateModel &model, quint16 seq);
    static QString buildJsonstrByStatus(int requestId, quint16 seq, const QString &code);
};
