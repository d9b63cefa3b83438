#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/templatejson.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString ERROR_COLOR = QStringLiteral("#FF0000");

TemplateModel makeTemplate(const QString &name, const QString &type = QStringLiteral("其他"))
{
    TemplateModel t;
    t.name = name;
    t.type = type;
    t.background = QStringLiteral("tongyong2CM.png");
    t.printWidth = 250;
    t.printHeight = 310;
    t.backLength = 30;
    t.foldLength = 38;
    TextModel text;
    text.id = QStringLiteral("1700000000001");
    text.startX = 1.5f;
    text.startY = 20;
    text.width = 18;
    text.height = 10;
    text.border = 0.3f;
    text.font = QStringLiteral("宋体");
    text.fontSize = 6;
    text.textTitle = QStringLiteral("档号");
    text.textContent = QStringLiteral("文本");
    t.textModels.append(text);
    LineModel line;
    line.id = QStringLiteral("1700000000002");
    line.width = 30;
    line.height = 1;
    line.border = 0.3f;
    line.direction = 1;
    t.lineModels.append(line);
    return t;
}

QByteArray entryJson(const QString &name, const QString &type, const QString &modifyTime, int printWidth = 240)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("type"), type);
    o.insert(QStringLiteral("printWidth"), printWidth);
    o.insert(QStringLiteral("printHeight"), 310);
    o.insert(QStringLiteral("createTime"), QStringLiteral("2020-01-01 00:00:00"));
    o.insert(QStringLiteral("modifyTime"), modifyTime);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray arrayJson(const QList<QByteArray> &entries)
{
    QByteArray text = "[";
    for (int i = 0; i < entries.size(); ++i)
        text += (i ? "," : "") + entries.at(i);
    return text + "]";
}

QStringList namesOf(const QList<TemplateModel> &list)
{
    QStringList names;
    for (const TemplateModel &t : list)
        names.append(t.name);
    return names;
}

QJsonArray readArray(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).array();
}

QStringList namesIn(const QString &path)
{
    QStringList names;
    for (const QJsonValue &v : readArray(path))
        names.append(v.toObject().value(QStringLiteral("name")).toString());
    return names;
}

// The names in a JSON file as the system Python reads them.
QStringList pythonNames(const QString &path)
{
    QByteArray out;
    const int code = runProgram(systemPython(),
                                {QStringLiteral("-c"),
                                 QStringLiteral("import json,sys\n"
                                                "d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                                                "assert isinstance(d,list)\n"
                                                "print('\\n'.join(t['name'] for t in d))"),
                                 path},
                                &out);
    if (code != 0)
        return {QStringLiteral("<python failed>")};
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Compared as wall-clock readings: in the hour a clock turns back, a local
// time read from text could be either of two moments.
bool isRecent(const QString &time)
{
    QDateTime t = QDateTime::fromString(time, QLatin1String(TemplateJson::TIME_FORMAT));
    t.setTimeSpec(Qt::UTC);
    const QDateTime now = QDateTime::currentDateTime();
    return t.isValid() && qAbs(t.secsTo(QDateTime(now.date(), now.time(), Qt::UTC))) < 120;
}

} // namespace

class TestTemplateStore : public QObject
{
    Q_OBJECT

private:
    QString userFile(const TempProgramDir &dir) const { return dir.file(QLatin1String(CUSTOM_TEMPLATE_PATH)); }
    QString trashFile(const TempProgramDir &dir) const
    {
        return dir.file(QLatin1String(CUSTOM_TEMPLATE_TRASH_PATH));
    }
    void writeUser(const TempProgramDir &dir, const QByteArray &bytes)
    {
        FileUtil::checkCustomDir();
        QVERIFY(writeFile(userFile(dir), bytes));
    }

private slots:
    void cleanup() { Seams::resetAll(); }

    void firstListCreatesEmptyFileAndListsBuiltins()
    {
        TempProgramDir dir;
        QVERIFY(!QFile::exists(userFile(dir)));
        const QList<TemplateModel> list = JsonUtil::parseTemplateList(true, true);
        QVERIFY(QFile::exists(userFile(dir)));
        QCOMPARE(QFileInfo(userFile(dir)).size(), 0);
        QCOMPARE(list.size(), 38);
        QCOMPARE(namesOf(list).mid(0, 3),
                 (QStringList{QStringLiteral("档案袋"), QStringLiteral("小会计凭证"), QStringLiteral("大会计凭证")}));
        // Headers only.
        for (const TemplateModel &t : list)
            QVERIFY(t.textModels.isEmpty());
        QCOMPARE(JsonUtil::getSysTemplateNames().size(), 38);
        QCOMPARE(JsonUtil::getAllTemplateNames(), JsonUtil::getSysTemplateNames());
        QCOMPARE(JsonUtil::getAllTemplateCount(), 38);
        QVERIFY(JsonUtil::parseTemplateList(false, true).isEmpty());
    }

    void userTemplateShadowsBuiltinEverywhere()
    {
        TempProgramDir dir;
        ToastRecorder toasts;
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("通用2CM"), QStringLiteral("城建档案")), false));

        const QList<TemplateModel> list = JsonUtil::parseTemplateList(true, true);
        QCOMPARE(list.size(), 38);
        QCOMPARE(list.first().name, QStringLiteral("通用2CM")); // saved now: newest
        QCOMPARE(list.first().type, QStringLiteral("城建档案"));
        QCOMPARE(namesOf(list).count(QStringLiteral("通用2CM")), 1);

        const QStringList all = JsonUtil::getAllTemplateNames();
        QCOMPARE(all.size(), 38);
        QCOMPARE(all.first(), QStringLiteral("通用2CM"));
        QCOMPARE(JsonUtil::getSysTemplateNames().size(), 38);
        QCOMPARE(JsonUtil::parseTemplateList(true, false).size(), 38);

        const TemplateModel loaded = JsonUtil::parseTemplate(QStringLiteral("通用2CM"));
        QCOMPARE(loaded.type, QStringLiteral("城建档案"));
        QCOMPARE(loaded.textModels.size(), 1);
        QCOMPARE(loaded.lineModels.size(), 1);
        QCOMPARE(loaded.lineModels.first().direction, 1);

        QVERIFY(!JsonUtil::deleteTemplate(QStringLiteral("通用2CM")));
        QCOMPARE(toasts.texts(), QStringList{QStringLiteral("不能删除系统内置的模板")});
        QCOMPARE(toasts.toasts().first().color, ERROR_COLOR);
        QCOMPARE(namesIn(userFile(dir)), QStringList{QStringLiteral("通用2CM")});
    }

    void listOrderAndHeaders()
    {
        TempProgramDir dir;
        writeUser(dir, arrayJson({entryJson(QStringLiteral("乙"), QStringLiteral("其他"), QStringLiteral("2025-01-01 00:00:00")),
                                  entryJson(QStringLiteral("甲"), QStringLiteral("其他"), QStringLiteral("2025-01-01 00:00:00")),
                                  entryJson(QStringLiteral("旧"), QStringLiteral("其他"), QStringLiteral("2023-01-01 00:00:00"), 0),
                                  entryJson(QString(), QStringLiteral("其他"), QStringLiteral("2026-01-01 00:00:00")),
                                  "17", "{\"name\": 5, \"modifyTime\": \"2026-02-02 00:00:00\"}"}));
        const QList<TemplateModel> list = JsonUtil::parseTemplateList(true, true);
        QCOMPARE(list.size(), 41); // unnamed entries and non-objects are left out
        const QStringList names = namesOf(list);
        // Equal times by name in UTF-16 order: 乙 (U+4E59) before 甲 (U+7532).
        QCOMPARE(names.mid(0, 5), (QStringList{QStringLiteral("乙"), QStringLiteral("甲"), QStringLiteral("档案袋"),
                                              QStringLiteral("小会计凭证"), QStringLiteral("大会计凭证")}));
        QCOMPARE(names.last(), QStringLiteral("旧"));
        for (int i = 1; i < list.size(); ++i) {
            const TemplateModel &a = list.at(i - 1);
            const TemplateModel &b = list.at(i);
            QVERIFY(a.modifyTime > b.modifyTime || (a.modifyTime == b.modifyTime && a.name < b.name));
        }
        // The list shows a stored 0; loading substitutes the default size.
        QCOMPARE(list.last().printWidth, 0.0f);
        const TemplateModel old = JsonUtil::parseTemplate(QStringLiteral("旧"));
        QCOMPARE(old.printWidth, 240.0f);
        QCOMPARE(old.printHeight, 310.0f);
        QCOMPARE(old.backLength, 20.0f);
        QCOMPARE(old.foldLength, 38.0f);
        QCOMPARE(old.createTime, QStringLiteral("2020-01-01 00:00:00"));
    }

    void unknownOrEmptyNameLoadsEmptyTemplateOfDefaultSize()
    {
        TempProgramDir dir;
        // An unnamed entry with elements must not answer for "".
        writeUser(dir, "[{\"type\": \"其他\", \"textModels\": [{\"id\": \"1\"}]}]");
        for (const QString &name : {QStringLiteral("不存在"), QString()}) {
            const TemplateModel t = JsonUtil::parseTemplate(name);
            QVERIFY(t.name.isEmpty());
            QVERIFY(t.type.isEmpty());
            QCOMPARE(t.printWidth, 240.0f);
            QCOMPARE(t.printHeight, 310.0f);
            QCOMPARE(t.backLength, 20.0f);
            QCOMPARE(t.foldLength, 38.0f);
            QVERIFY(t.textModels.isEmpty());
        }
    }

    void wholeSavesStampTimesMoveToEndAndCount()
    {
        TempProgramDir dir;
        TemplateModel x = makeTemplate(QStringLiteral("X"));
        QVERIFY(JsonUtil::saveTemplate(x, false));
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("Y")), false));
        QCOMPARE(namesIn(userFile(dir)), (QStringList{QStringLiteral("X"), QStringLiteral("Y")}));

        TemplateModel stored = JsonUtil::parseTemplate(QStringLiteral("X"));
        QVERIFY(isRecent(stored.createTime));
        QVERIFY(isRecent(stored.modifyTime));

        // A non-empty creation time is kept; the entry moves to the end.
        x.createTime = QStringLiteral("2019-05-06 07:08:09");
        x.type = QStringLiteral("科技档案");
        QVERIFY(JsonUtil::saveTemplate(x, false));
        QCOMPARE(namesIn(userFile(dir)), (QStringList{QStringLiteral("Y"), QStringLiteral("X")}));
        stored = JsonUtil::parseTemplate(QStringLiteral("X"));
        QCOMPARE(stored.createTime, QStringLiteral("2019-05-06 07:08:09"));
        QCOMPARE(stored.type, QStringLiteral("科技档案"));
        QCOMPARE(stored.textModels.first().startX, 1.5f);
        QCOMPARE(stored.textModels.first().textTitle, QStringLiteral("档号"));

        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("template.count"), QString()), QStringLiteral("40"));

        // The file is indented JSON without a byte-order mark, ending in a line feed.
        const QByteArray bytes = readFile(userFile(dir));
        QVERIFY(bytes.startsWith("[\n    {\n"));
        QVERIFY(bytes.endsWith("]\n"));
        QCOMPARE(pythonNames(userFile(dir)), (QStringList{QStringLiteral("Y"), QStringLiteral("X")}));
    }

    void placementSaveChangesOnlyThePlacement()
    {
        TempProgramDir dir;
        QByteArray stored = entryJson(QStringLiteral("P"), QStringLiteral("其他"), QStringLiteral("2021-02-03 04:05:06"));
        stored.insert(1, "\"extra\":\"kept\",");
        writeUser(dir, arrayJson({stored, entryJson(QStringLiteral("Q"), QStringLiteral("其他"), QStringLiteral("2021-01-01 00:00:00"))}));

        TemplateModel p = makeTemplate(QStringLiteral("P"), QStringLiteral("会计档案"));
        p.offsetX = 1.5f;
        p.offsetY = -2.25f;
        p.angle = 90;
        QVERIFY(JsonUtil::saveTemplate(p, true));

        const QJsonArray array = readArray(userFile(dir));
        QCOMPARE(array.size(), 2);
        const QJsonObject o = array.at(1).toObject();
        QCOMPARE(o.value(QStringLiteral("name")).toString(), QStringLiteral("P"));
        QCOMPARE(o.value(QStringLiteral("offsetX")).toDouble(), 1.5);
        QCOMPARE(o.value(QStringLiteral("offsetY")).toDouble(), -2.25);
        QCOMPARE(o.value(QStringLiteral("angle")).toInt(), 90);
        QCOMPARE(o.value(QStringLiteral("type")).toString(), QStringLiteral("其他"));
        QCOMPARE(o.value(QStringLiteral("modifyTime")).toString(), QStringLiteral("2021-02-03 04:05:06"));
        QCOMPARE(o.value(QStringLiteral("extra")).toString(), QStringLiteral("kept"));
        QVERIFY(!o.contains(QStringLiteral("textModels")));

        // No user entry yet: the whole template is stored instead.
        TemplateModel builtin = JsonUtil::parseTemplate(QStringLiteral("档案袋"));
        builtin.offsetX = 3;
        QVERIFY(JsonUtil::saveTemplate(builtin, true));
        const TemplateModel copy = JsonUtil::parseTemplate(QStringLiteral("档案袋"));
        QCOMPARE(copy.offsetX, 3.0f);
        QCOMPARE(copy.textModels.size(), 71);
        QCOMPARE(namesIn(userFile(dir)).last(), QStringLiteral("档案袋"));
    }

    void unnamedTemplateIsNeverStored()
    {
        TempProgramDir dir;
        writeUser(dir, arrayJson({entryJson(QStringLiteral("A"), QStringLiteral("其他"), QStringLiteral("2021-01-01 00:00:00"))}));
        const QByteArray before = readFile(userFile(dir));
        QVERIFY(!JsonUtil::saveTemplate(TemplateModel(), false));
        QVERIFY(!JsonUtil::saveTemplate(TemplateModel(), true));
        QVERIFY(!JsonUtil::saveTemplateToTrash(TemplateModel()));
        QCOMPARE(readFile(userFile(dir)), before);
        QCOMPARE(QFileInfo(trashFile(dir)).size(), 0);
    }

    void firstEntryOfANameCounts()
    {
        TempProgramDir dir;
        writeUser(dir, arrayJson({entryJson(QStringLiteral("双"), QStringLiteral("科技档案"), QStringLiteral("2021-01-01 00:00:00")),
                                  entryJson(QStringLiteral("双"), QStringLiteral("会计档案"), QStringLiteral("2022-01-01 00:00:00"))}));
        const QList<TemplateModel> list = JsonUtil::parseTemplateList(false, true);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().type, QStringLiteral("科技档案"));
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("双")).type, QStringLiteral("科技档案"));

        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("双"), QStringLiteral("城建档案")), false));
        QJsonArray array = readArray(userFile(dir));
        QCOMPARE(array.size(), 2);
        QCOMPARE(array.at(0).toObject().value(QStringLiteral("type")).toString(), QStringLiteral("会计档案"));
        QCOMPARE(array.at(1).toObject().value(QStringLiteral("type")).toString(), QStringLiteral("城建档案"));

        QVERIFY(JsonUtil::deleteTemplate(QStringLiteral("双")));
        array = readArray(userFile(dir));
        QCOMPARE(array.size(), 1);
        QCOMPARE(array.at(0).toObject().value(QStringLiteral("type")).toString(), QStringLiteral("城建档案"));
    }

    void aNameGivenTwiceReadsAsItsFirst_data()
    {
        // Qt's parser keeps the first of these two names in one layout and
        // the second in the other; the store takes the first in both.
        const QByteArray stored = QJsonDocument(TemplateJson::writeTemplate(makeTemplate(QStringLiteral("X"))))
                                      .toJson(QJsonDocument::Compact)
                                      .replace("\"name\":\"X\",", "");
        QTest::addColumn<QByteArray>("entry");
        QTest::newRow("names side by side") << "{\"name\":\"甲\",\"name\":\"乙\"," + stored.mid(1);
        QTest::newRow("names apart") << "{\"name\":\"甲\"," + stored.mid(1, stored.size() - 2) + ",\"name\":\"乙\"}";
    }

    void aNameGivenTwiceReadsAsItsFirst()
    {
        QFETCH(QByteArray, entry);
        TempProgramDir dir;
        writeUser(dir, "[" + entry + "]");
        QCOMPARE(namesOf(JsonUtil::parseTemplateList(false, true)), QStringList{QStringLiteral("甲")});
        QCOMPARE(JsonUtil::getAllTemplateNames().first(), QStringLiteral("甲"));
        const TemplateModel loaded = JsonUtil::parseTemplate(QStringLiteral("甲"));
        QCOMPARE(loaded.name, QStringLiteral("甲"));
        QCOMPARE(loaded.textModels.size(), 1);
        QVERIFY(JsonUtil::parseTemplate(QStringLiteral("乙")).textModels.isEmpty());
        QCOMPARE(JsonUtil::getTemplateJsonArray(false, true, true).at(0).toObject().value(QStringLiteral("name")),
                 QJsonValue(QStringLiteral("甲")));

        // Rewriting the file for another template keeps the entry's name.
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("丙")), false));
        QCOMPARE(pythonNames(userFile(dir)), (QStringList{QStringLiteral("甲"), QStringLiteral("丙")}));
        writeUser(dir, "[" + entry + "]");
        QVERIFY(JsonUtil::deleteTemplate(QStringLiteral("乙")));
        QCOMPARE(namesOf(JsonUtil::parseTemplateList(false, true)), QStringList{QStringLiteral("甲")});
        QVERIFY(JsonUtil::deleteTemplate(QStringLiteral("甲")));
        QVERIFY(JsonUtil::parseTemplateList(false, true).isEmpty());
    }

    void deletes()
    {
        TempProgramDir dir;
        ToastRecorder toasts;
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("删")), false));
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("留")), false));
        QVERIFY(JsonUtil::deleteTemplate(QStringLiteral("删")));
        QCOMPARE(namesIn(userFile(dir)), QStringList{QStringLiteral("留")});
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("template.count"), QString()), QStringLiteral("39"));

        // A name that is not stored rewrites the file unchanged and succeeds.
        const QByteArray before = readFile(userFile(dir));
        QVERIFY(JsonUtil::deleteTemplate(QStringLiteral("没有")));
        QCOMPARE(readFile(userFile(dir)), before);

        QVERIFY(!JsonUtil::deleteTemplate(QStringLiteral("档案袋")));
        QCOMPARE(toasts.texts(), QStringList{QStringLiteral("不能删除系统内置的模板")});
    }

    void corruptUserFileIsKeptAsideNotLost()
    {
        TempProgramDir dir;
        LogCapture log;
        const QByteArray broken = "[{\"name\": \"丢不得\", \"type\": ";
        writeUser(dir, broken);
        QCOMPARE(JsonUtil::parseTemplateList(true, true).size(), 38);
        QStringList aside = QDir(dir.file(QLatin1String(CUSTOM_ROOT))).entryList({QStringLiteral("customTemplate.json.bad-*")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(dir.file(QLatin1String(CUSTOM_ROOT)) + QLatin1Char('/') + aside.first()), broken);
        QVERIFY(log.contains(QStringLiteral("customTemplate.json")));

        // Saving afterwards writes a fresh file and leaves the kept copy alone.
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("新")), false));
        QCOMPARE(namesIn(userFile(dir)), QStringList{QStringLiteral("新")});
        aside = QDir(dir.file(QLatin1String(CUSTOM_ROOT))).entryList({QStringLiteral("customTemplate.json.bad-*")});
        QCOMPARE(aside.size(), 1);

        // A file that is JSON but not an array is set aside too.
        writeUser(dir, "{\"name\": \"对象\"}");
        QCOMPARE(JsonUtil::getAllTemplateNames().size(), 38);
        QVERIFY(!QFile::exists(userFile(dir)) || QFileInfo(userFile(dir)).size() == 0);
    }

    void typesInFirstMetOrderAndGroups()
    {
        TempProgramDir dir;
        QCOMPARE(JsonUtil::getTemplateTypes(),
                 (QStringList{QStringLiteral("文书档案"), QStringLiteral("科技档案"), QStringLiteral("城建档案"),
                              QStringLiteral("会计档案"), QStringLiteral("其他")}));
        using Group = QPair<QString, long long>;
        QCOMPARE(JsonUtil::parseTemplateGroupByType(),
                 (QList<Group>{{QStringLiteral("科技档案"), 5}, {QStringLiteral("城建档案"), 5},
                               {QStringLiteral("会计档案"), 7}, {QStringLiteral("文书档案"), 10},
                               {QStringLiteral("其他"), 11}}));

        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("自定"), QStringLiteral("自定义")), false));
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("无类"), QString()), false));
        const QStringList types = JsonUtil::getTemplateTypes();
        QCOMPARE(types.size(), 6);
        QCOMPARE(types.first(), QStringLiteral("自定义"));
        const QList<Group> groups = JsonUtil::parseTemplateGroupByType();
        QCOMPARE(groups.size(), 7);
        QCOMPARE(groups.at(0), Group(QStringLiteral("自定义"), 1));
        QCOMPARE(groups.at(1), Group(QString(), 1));
    }

    void recycleBinRoundTrip()
    {
        TempProgramDir dir;
        QVERIFY(JsonUtil::parseTemplateListFromTrash().isEmpty());
        QVERIFY(QFile::exists(trashFile(dir)));

        // An older bin entry, then the same name trashed again: one entry, listed first.
        QVERIFY(writeFile(trashFile(dir),
                          arrayJson({entryJson(QStringLiteral("甲"), QStringLiteral("其他"), QStringLiteral("2021-01-01 00:00:00")),
                                     entryJson(QStringLiteral("乙"), QStringLiteral("其他"), QStringLiteral("2022-01-01 00:00:00"))})));
        TemplateModel a = makeTemplate(QStringLiteral("甲"), QStringLiteral("科技档案"));
        QVERIFY(JsonUtil::saveTemplateToTrash(a));
        QList<TemplateModel> bin = JsonUtil::parseTemplateListFromTrash();
        QCOMPARE(namesOf(bin), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
        QCOMPARE(bin.first().type, QStringLiteral("科技档案"));
        QVERIFY(isRecent(bin.first().createTime)); // trashed with an empty creation time
        QCOMPARE(namesIn(trashFile(dir)), (QStringList{QStringLiteral("乙"), QStringLiteral("甲")}));

        // Restore: load from the bin, save whole, purge from the bin.
        const TemplateModel restored = JsonUtil::parseTemplateFromTrash(QStringLiteral("甲"));
        QCOMPARE(restored.textModels.size(), 1);
        QCOMPARE(restored.lineModels.size(), 1);
        QVERIFY(JsonUtil::saveTemplate(restored, false));
        QVERIFY(JsonUtil::deleteTemplateFromTrash(QStringLiteral("甲")));
        QCOMPARE(namesOf(JsonUtil::parseTemplateListFromTrash()), QStringList{QStringLiteral("乙")});
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("甲")).type, QStringLiteral("科技档案"));
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("甲")).createTime, restored.createTime);

        // The bin's sizes default like the store's; a missing name gives the default template.
        const TemplateModel b = JsonUtil::parseTemplateFromTrash(QStringLiteral("乙"));
        QCOMPARE(b.backLength, 20.0f);
        QVERIFY(JsonUtil::parseTemplateFromTrash(QStringLiteral("没有")).name.isEmpty());
        // The bin never answers for user or built-in templates.
        QVERIFY(JsonUtil::parseTemplateFromTrash(QStringLiteral("档案袋")).name.isEmpty());

        QVERIFY(JsonUtil::deleteTemplateFromTrash(QStringLiteral("乙")));
        QVERIFY(JsonUtil::parseTemplateListFromTrash().isEmpty());
        QCOMPARE(pythonNames(trashFile(dir)), QStringList());
    }

    void importRenamesTakenNames()
    {
        TempProgramDir dir;
        const QString importPath = dir.file(QStringLiteral("/import.json"));
        QByteArray entry = entryJson(QStringLiteral("通用2CM"), QStringLiteral("其他"), QStringLiteral("2000-01-01 00:00:00"));
        entry.insert(1, "\"extra\":[1,2],\"textModels\":[{\"id\":\"9\",\"textTitle\":\"档号\"}],");
        QVERIFY(writeFile(importPath, arrayJson({entry})));

        QVERIFY(JsonUtil::importTemplateFromFile(importPath));
        QVERIFY(JsonUtil::importTemplateFromFile(importPath));
        QCOMPARE(namesIn(userFile(dir)), (QStringList{QStringLiteral("通用2CM-副本1"), QStringLiteral("通用2CM-副本2")}));

        const QJsonObject stored = readArray(userFile(dir)).at(0).toObject();
        QCOMPARE(stored.value(QStringLiteral("extra")).toArray().size(), 2);
        QVERIFY(isRecent(stored.value(QStringLiteral("createTime")).toString()));
        QVERIFY(isRecent(stored.value(QStringLiteral("modifyTime")).toString()));
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("通用2CM-副本1")).textModels.first().textTitle, QStringLiteral("档号"));
        // Imported templates list first: their times are the import's.
        QVERIFY(namesOf(JsonUtil::parseTemplateList(true, true)).mid(0, 2).contains(QStringLiteral("通用2CM-副本1")));

        // The suffix follows the name from the file, and names repeated
        // within the file are made unique too.
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("X")), false));
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("X-副本1")), false));
        QVERIFY(writeFile(importPath, arrayJson({entryJson(QStringLiteral("X"), QString(), QString()),
                                                 entryJson(QStringLiteral("新"), QString(), QString()),
                                                 entryJson(QStringLiteral("新"), QString(), QString())})));
        QVERIFY(JsonUtil::importTemplateFromFile(importPath));
        QCOMPARE(namesIn(userFile(dir)).mid(4),
                 (QStringList{QStringLiteral("X-副本2"), QStringLiteral("新"), QStringLiteral("新-副本1")}));
        // Built-in templates are never copied into the user file.
        QCOMPARE(pythonNames(userFile(dir)).size(), 7);
    }

    void importRefusesMalformedFiles()
    {
        TempProgramDir dir;
        ToastRecorder toasts;
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("已有")), false));
        const QByteArray before = readFile(userFile(dir));
        const QString importPath = dir.file(QStringLiteral("/bad.json"));
        const QList<QByteArray> bad{
            arrayJson({entryJson(QStringLiteral("好"), QString(), QString()), "{\"type\":\"其他\"}"}),
            arrayJson({"{\"name\":\"\"}"}),
            arrayJson({"{\"name\":7}"}),
            arrayJson({"\"字符串\""}),
            "{\"name\":\"对象\"}",
            "[{\"name\":",
            "",
        };
        for (const QByteArray &bytes : bad) {
            toasts.clear();
            QVERIFY(writeFile(importPath, bytes));
            QVERIFY(!JsonUtil::importTemplateFromFile(importPath));
            QCOMPARE(toasts.texts(), QStringList{QStringLiteral("导入文件格式不正确")});
            QCOMPARE(toasts.toasts().first().color, ERROR_COLOR);
            QCOMPARE(readFile(userFile(dir)), before);
            // The user's own file is left where and as it was.
            QCOMPARE(readFile(importPath), bytes);
        }
        // An empty array adds nothing and says nothing.
        toasts.clear();
        QVERIFY(writeFile(importPath, "[]"));
        QVERIFY(!JsonUtil::importTemplateFromFile(importPath));
        QVERIFY(toasts.texts().isEmpty());
        QCOMPARE(readFile(userFile(dir)), before);
        QVERIFY(!JsonUtil::importTemplateFromFile(dir.file(QStringLiteral("/missing.json"))));
    }

    void importDialog()
    {
        TempProgramDir dir;
        QString caption, start, filter;
        QString answer;
        Seams::setOpenFileHandler([&](QWidget *, const QString &c, const QString &d, const QString &f) {
            caption = c;
            start = d;
            filter = f;
            return answer;
        });
        QVERIFY(!JsonUtil::importTemplate(nullptr));
        QCOMPARE(caption, QStringLiteral("导入文件"));
        QCOMPARE(start, QDir::homePath());
        QCOMPARE(filter, QStringLiteral("(*.json)"));
        QVERIFY(!QFile::exists(userFile(dir)));

        answer = dir.file(QStringLiteral("/in.json"));
        QVERIFY(writeFile(answer, arrayJson({entryJson(QStringLiteral("导入的"), QString(), QString())})));
        QVERIFY(JsonUtil::importTemplate(nullptr));
        QCOMPARE(namesIn(userFile(dir)), QStringList{QStringLiteral("导入的")});
    }

    void exportWritesStoredObjectsInMergedOrder()
    {
        TempProgramDir dir;
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("我的")), false));
        QVERIFY(JsonUtil::saveTemplate(makeTemplate(QStringLiteral("通用2CM"), QStringLiteral("城建档案")), false));
        const QString path = dir.file(QStringLiteral("/out.json"));
        QVERIFY(JsonUtil::exportTemplateToFile(
            path, {QStringLiteral("档案袋"), QStringLiteral("通用2CM"), QStringLiteral("没有")}));
        QCOMPARE(pythonNames(path), (QStringList{QStringLiteral("通用2CM"), QStringLiteral("档案袋")}));
        const QJsonArray array = readArray(path);
        // The user form of the shadowing template, the built-in as stored.
        QCOMPARE(array.at(0).toObject(), readArray(userFile(dir)).at(1).toObject());
        QCOMPARE(array.at(1).toObject().value(QStringLiteral("textModels")).toArray().size(), 71);

        // Exported files import again under fresh names.
        QVERIFY(JsonUtil::importTemplateFromFile(path));
        QVERIFY(JsonUtil::getAllTemplateNames().contains(QStringLiteral("档案袋-副本1")));

        QVERIFY(JsonUtil::exportTemplateToFile(path, {QStringLiteral("没有")}));
        QCOMPARE(readArray(path).size(), 0);
        QVERIFY(readFile(path).size() > 0);
    }

    void exportDialogAndSuffix()
    {
        TempProgramDir dir;
        QString caption, filter, answer;
        Seams::setSaveFileHandler([&](QWidget *, const QString &c, const QString &, const QString &f) {
            caption = c;
            filter = f;
            return answer;
        });
        QVERIFY(!JsonUtil::exportTemplate(nullptr, {QStringLiteral("档案袋")}));
        QCOMPARE(caption, QStringLiteral("保存文件"));
        QCOMPARE(filter, QStringLiteral("(*.json)"));
        QCOMPARE(listFiles(dir.path()), QStringList());

        answer = dir.file(QStringLiteral("/a"));
        QVERIFY(JsonUtil::exportTemplate(nullptr, {QStringLiteral("档案袋")}));
        answer = dir.file(QStringLiteral("/b.json"));
        QVERIFY(JsonUtil::exportTemplate(nullptr, {QStringLiteral("档案袋")}));
        answer = dir.file(QStringLiteral("/c.JSON"));
        QVERIFY(JsonUtil::exportTemplate(nullptr, {QStringLiteral("档案袋")}));
        QCOMPARE(listFiles(dir.path()),
                 (QStringList{QStringLiteral("a.json"), QStringLiteral("b.json"), QStringLiteral("c.JSON")}));

        // A folder that does not exist cannot be written.
        answer = dir.file(QStringLiteral("/no/such/folder/d"));
        QVERIFY(!JsonUtil::exportTemplate(nullptr, {QStringLiteral("档案袋")}));
    }

    void mergedViewKeepsEntriesAsStored()
    {
        TempProgramDir dir;
        writeUser(dir, "[{\"name\":\"原样\",\"extra\":{\"a\":[1,2.5,\"\\u00e9\"]},\"printWidth\":\"240\"}, 3]");
        const QJsonArray merged = JsonUtil::getTemplateJsonArray(true, true, true);
        QCOMPARE(merged.size(), 40); // the number stands in under the name ""
        QCOMPARE(merged.at(0).toObject().value(QStringLiteral("extra")).toObject().value(QStringLiteral("a")).toArray().at(2).toString(),
                 QStringLiteral("é"));
        QCOMPARE(merged.at(1).toDouble(), 3.0);
        QCOMPARE(JsonUtil::getTemplateJsonArray(false, true, true).size(), 2);
        QCOMPARE(JsonUtil::getTemplateJsonArray(true, false, true).size(), 38);
        // A width stored as text lists as 0 and loads with the default.
        QCOMPARE(JsonUtil::parseTemplateList(false, true).first().printWidth, 0.0f);
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("原样")).printWidth, 240.0f);
    }
};

QTEST_GUILESS_MAIN(TestTemplateStore)
#include "tst_templatestore.moc"
