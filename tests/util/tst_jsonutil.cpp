#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/jsonutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QtTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace TestSupport;

class TestJsonUtil : public QObject
{
    Q_OBJECT

    static QString configFile(const TempProgramDir &program)
    {
        return program.file(QStringLiteral("/attachment/customConfig.json"));
    }

    static QJsonObject parsedWithPython(const QString &path)
    {
        // An outside reader: if Python's json module accepts the file, so will any other program.
        QByteArray out;
        const int code = runProgram(systemPython(),
                                    {QStringLiteral("-c"),
                                     QStringLiteral("import json,sys; print(json.dumps(json.load(open(sys.argv[1], encoding='utf-8')), ensure_ascii=False))"),
                                     path},
                                    &out);
        if (code != 0)
            return QJsonObject();
        return QJsonDocument::fromJson(out).object();
    }

private slots:
    void defaultConfiguration()
    {
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("template.printWidth")), QStringLiteral("240"));
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("template.printHeight")), QStringLiteral("310"));
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("deviceIIIB.adjustY")), QStringLiteral("-42"));
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("rectangleModel.border")), QStringLiteral("0.3"));
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("barcodeModel.width")), QStringLiteral("50"));
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("textModel.fontSize")), QStringLiteral("6"));
        QCOMPARE(JsonUtil::getDefaultConfig(QStringLiteral("no.such.key")), QString());
        QCOMPARE(JsonUtil::getDefaultConfigFloat(QStringLiteral("deviceIV.adjustX")), -33.0f);
        QCOMPARE(JsonUtil::getDefaultConfigFloat(QStringLiteral("lineModel.border")), 0.3f);

        // the resource starts with a byte-order mark and every value is a string
        QFile resource{QLatin1String(DEFAULT_CONFIG_PATH)};
        QVERIFY(resource.open(QIODevice::ReadOnly));
        const QByteArray bytes = resource.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QJsonObject object = JsonFile::parse(bytes).object();
        QVERIFY(object.size() >= 36);
        for (auto it = object.begin(); it != object.end(); ++it)
            QVERIFY2(it.value().isString(), qPrintable(it.key()));
    }

    void firstReadCreatesAnEmptyFile()
    {
        TempProgramDir program;
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.ip"), QStringLiteral("192.168.1.30")),
                 QStringLiteral("192.168.1.30"));
        QVERIFY(QFileInfo(configFile(program)).exists());
        QCOMPARE(QFileInfo(configFile(program)).size(), 0);
        QVERIFY(QFileInfo(program.file("/attachment/picture")).isDir());
    }

    void writesKeepEveryOtherKey()
    {
        TempProgramDir program;
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("tcpSocket")));
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("socket.port"), QStringLiteral("8111")));
        QVERIFY(JsonUtil::setCustomConfigList(QStringLiteral("font.use"), {QStringLiteral("宋体"), QStringLiteral("黑体")}));
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("serialPort")));

        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QString()), QStringLiteral("serialPort"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.port"), QString()), QStringLiteral("8111"));
        QCOMPARE(JsonUtil::getCustomConfigList(QStringLiteral("font.use")), QStringList({"宋体", "黑体"}));

        const QByteArray text = readFile(configFile(program));
        QCOMPARE(text, QByteArray("{\n    \"com.mode\": \"serialPort\",\n    \"font.use\": [\n        \"宋体\",\n"
                                  "        \"黑体\"\n    ],\n    \"socket.port\": \"8111\"\n}\n"));
        const QJsonObject outside = parsedWithPython(configFile(program));
        QCOMPARE(outside.value(QStringLiteral("font.use")).toArray().at(1).toString(), QStringLiteral("黑体"));
        QCOMPARE(outside.size(), 3);
    }

    void valuesThatAreNotTextReadAsTheDefault()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        QVERIFY(writeFile(configFile(program), R"({"a": 5, "b": true, "c": "", "d": ["x", 3], "e": "ok", "f": {"k": "v", "n": 1}})"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("a"), QStringLiteral("def")), QStringLiteral("def"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("b"), QStringLiteral("def")), QStringLiteral("def"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("c"), QStringLiteral("def")), QStringLiteral("def"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("e"), QStringLiteral("def")), QStringLiteral("ok"));
        QCOMPARE(JsonUtil::getCustomConfigList(QStringLiteral("d")), QStringList({"x", ""}));
        QVERIFY(JsonUtil::getCustomConfigList(QStringLiteral("e")).isEmpty());
        QVERIFY(JsonUtil::getCustomConfigList(QStringLiteral("missing")).isEmpty());
        const QMap<QString, QString> map = JsonUtil::getCustomConfigMap(QStringLiteral("f"));
        QCOMPARE(map.value(QStringLiteral("k")), QStringLiteral("v"));
        QCOMPARE(map.value(QStringLiteral("n")), QString());

        // a key stored as a number is replaced by text on write
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("a"), QStringLiteral("7")));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("a"), QStringLiteral("def")), QStringLiteral("7"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("e"), QStringLiteral("def")), QStringLiteral("ok"));

        QVERIFY(JsonUtil::setCustomConfigMap(QStringLiteral("m"), {{QStringLiteral("x"), QStringLiteral("1")}}));
        QCOMPARE(JsonUtil::getCustomConfigMap(QStringLiteral("m")).value(QStringLiteral("x")), QStringLiteral("1"));
    }

    void aBrokenFileIsKeptAsideBeforeItIsReplaced()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        const QByteArray broken("{\"com.mode\": \"tcpSocket\", \"socket.ip\": ");
        QVERIFY(writeFile(configFile(program), broken));
        LogCapture log;

        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QStringLiteral("serialPort")),
                 QStringLiteral("serialPort"));
        QVERIFY(log.contains(QStringLiteral("unreadable JSON file")));
        QStringList files = listFiles(program.file("/attachment"));
        files.removeOne(QStringLiteral("customConfig.json"));
        QCOMPARE(files.size(), 1);
        QVERIFY(files.at(0).startsWith(QStringLiteral("customConfig.json.bad-")));
        QCOMPARE(files.at(0).size(), int(strlen("customConfig.json.bad-")) + 14);
        QCOMPARE(readFile(program.file("/attachment/") + files.at(0)), broken);

        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("socket.port"), QStringLiteral("9100")));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.port"), QString()), QStringLiteral("9100"));
        // the kept copy is untouched by later reads and writes
        QCOMPARE(readFile(program.file("/attachment/") + files.at(0)), broken);
        QCOMPARE(listFiles(program.file("/attachment")).size(), 2);
    }

    void anArrayIsNotAConfiguration()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        QVERIFY(writeFile(configFile(program), "[1, 2]"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("x"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(listFiles(program.file("/attachment")).size(), 1); // only the kept copy
        // a second broken file in the same second gets its own name
        QVERIFY(writeFile(configFile(program), "not json"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("x"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(listFiles(program.file("/attachment")).size(), 2);
    }

    void templateFilesReadAsArrays()
    {
        TempProgramDir program;
        const QString path = program.file("/store.json");
        QVERIFY(JsonFile::readArray(path).isEmpty()); // missing
        QVERIFY(writeFile(path, ""));
        QVERIFY(JsonFile::readArray(path).isEmpty()); // zero bytes: nothing set aside
        QCOMPARE(listFiles(program.path()), QStringList{QStringLiteral("store.json")});
        QVERIFY(writeFile(path, "\xEF\xBB\xBF[{\"name\": \"a\"}]"));
        QCOMPARE(JsonFile::readArray(path).size(), 1);
        QVERIFY(writeFile(path, "{}"));
        QVERIFY(JsonFile::readArray(path).isEmpty());
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(listFiles(program.path()).size(), 1);
        QVERIFY(listFiles(program.path()).at(0).startsWith(QStringLiteral("store.json.bad-")));
        QVERIFY(JsonFile::write(path, QJsonArray{QJsonObject{{"name", "b"}}}));
        QCOMPARE(readFile(path), QByteArray("[\n    {\n        \"name\": \"b\"\n    }\n]\n"));
    }

    void aByteOrderMarkIsAccepted()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        QVERIFY(writeFile(configFile(program), "\xEF\xBB\xBF{\"api.port\": \"9000\"}"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("api.port"), QString()), QStringLiteral("9000"));
        QCOMPARE(listFiles(program.file("/attachment")), QStringList{QStringLiteral("customConfig.json")});
    }

    void aFailedWriteIsReportedAndLosesNothing()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not stop root");
        TempProgramDir program;
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("tcpSocket")));
        const QByteArray before = readFile(configFile(program));
        QFile::setPermissions(program.file("/attachment"), QFile::ReadOwner | QFile::ExeOwner);
        LogCapture log;
        QVERIFY(!JsonUtil::setCustomConfig(QStringLiteral("socket.ip"), QStringLiteral("10.0.0.9")));
        QFile::setPermissions(program.file("/attachment"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(log.contains(QStringLiteral("cannot")));
        QCOMPARE(readFile(configFile(program)), before);
    }

    void aFileThatCannotBeReadIsKeptAsideNotReplaced()
    {
        // Read as empty and then rewritten, an unreadable store would lose
        // everything it held. A socket cannot be opened, even by root; for
        // other users a file without read permission is tried as well.
        TempProgramDir program;
        FileUtil::checkCustomDir();
        const QString path = configFile(program);
        // Bound by its name in its folder: a socket's path holds at most 107
        // bytes, and the temporary folder's own may be longer.
        const QByteArray socketName = QFile::encodeName(QFileInfo(path).fileName());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        memcpy(address.sun_path, socketName.constData(), size_t(socketName.size()));
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QFileInfo(path).path()));
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        const int bound = bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        close(fd);
        QVERIFY(QDir::setCurrent(cwd));
        QCOMPARE(bound, 0);
        QVERIFY(QFileInfo::exists(path));

        LogCapture log;
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("tcpSocket")));
        // the socket itself is what was kept aside
        const QStringList files = QDir(program.file("/attachment"))
                                      .entryList(QStringList{QStringLiteral("customConfig.json.bad-*")}, QDir::System);
        QCOMPARE(files.size(), 1);
        QVERIFY(log.contains(QStringLiteral("cannot be read")));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QStringLiteral("d")), QStringLiteral("tcpSocket"));

        if (geteuid() == 0)
            return;
        const QString store = FileUtil::customPath(CUSTOM_TEMPLATE_PATH);
        const QByteArray kept("[{\"name\": \"kept\"}]");
        QVERIFY(writeFile(store, kept));
        QFile::setPermissions(store, QFile::WriteOwner);
        TemplateModel model;
        model.name = QStringLiteral("new");
        QVERIFY(JsonUtil::saveTemplate(model, false));
        bool found = false;
        for (const QString &name : listFiles(program.file("/attachment"))) {
            if (!name.startsWith(QStringLiteral("customTemplate.json.bad-")))
                continue;
            const QString aside = program.file("/attachment/") + name;
            QFile::setPermissions(aside, QFile::ReadOwner | QFile::WriteOwner);
            found = readFile(aside) == kept;
        }
        QVERIFY(found);
    }

    void aFailedWriteOverADirectoryIsReported()
    {
        // works for root too: the target path is a folder
        TempProgramDir program;
        QDir().mkpath(program.file("/target.json"));
        LogCapture log;
        QVERIFY(!JsonFile::write(program.file("/target.json"), QJsonObject{{"a", "b"}}));
        QVERIFY(log.contains(QStringLiteral("cannot")));
        QVERIFY(QFileInfo(program.file("/target.json")).isDir());
    }

    void printerDpi()
    {
        TempProgramDir program;
        QCOMPARE(JsonUtil::getPrinterDpi(), 300);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("printer.dpi"), QString()), QStringLiteral("300"));
        const QList<QPair<QString, int>> cases{{"600", 600}, {"50", 50}, {"2400", 2400}, {"49", 300}, {"2401", 300},
                                               {"0", 300}, {"-300", 300}, {"abc", 300}, {"300.5", 300}, {"99999999999", 300}};
        for (const auto &c : cases) {
            JsonUtil::setCustomConfig(QStringLiteral("printer.dpi"), c.first);
            LogCapture log;
            QCOMPARE(JsonUtil::getPrinterDpi(), c.second);
            QCOMPARE(log.contains(QStringLiteral("printer.dpi")), c.second == 300);
        }
    }

    void apiPort()
    {
        TempProgramDir program;
        QCOMPARE(JsonUtil::getApiPort(), quint16(58111));
        const QList<QPair<QString, int>> cases{{"8080", 8080}, {"1", 1}, {"65535", 65535}, {"0", 58111},
                                               {"65536", 58111}, {"123456", 58111}, {"-1", 58111}, {"port", 58111}};
        for (const auto &c : cases) {
            JsonUtil::setCustomConfig(QStringLiteral("api.port"), c.first);
            LogCapture log;
            QCOMPARE(int(JsonUtil::getApiPort()), c.second);
            QCOMPARE(log.contains(QStringLiteral("api.port")), c.second == 58111);
        }
    }
};

QTEST_GUILESS_MAIN(TestJsonUtil)
#include "tst_jsonutil.moc"
