// The stores written on a file system that is full: each write reports
// failure with a warning and leaves the old file as it was.

#include "support/smalldisk.h"
#include "support/testsupport.h"
#include "util/excelutil.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QtTest>

using namespace TestSupport;

namespace {

TemplateModel named(const QString &name)
{
    TemplateModel t;
    t.name = name;
    return t;
}

bool exportTable()
{
    Seams::setSaveFileHandler([](QWidget *, const QString &, const QString &, const QString &) {
        return Seams::programDir() + QStringLiteral("/导出.xlsx");
    });
    return ExcelUtil::exportExcelFile(nullptr, {QStringLiteral("档号")}, {{QStringLiteral("A-001")}});
}

using Operation = bool (*)();

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Seams::resetAll(); }

    void aFullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("store");
        QTest::addColumn<QByteArray>("corrupt");
        QTest::addColumn<QString>("warning");
        const QString templates = QString::fromLatin1(CUSTOM_TEMPLATE_PATH).mid(1);
        const QString config = QString::fromLatin1(CUSTOM_CONFIG_PATH).mid(1);
        const QString nospace = QStringLiteral("No space left on device");
        const Operation save = [] { return JsonUtil::saveTemplate(named(QStringLiteral("新")), false); };
        const Operation setConfig = [] {
            return JsonUtil::setCustomConfig(QStringLiteral("socket.ip"), QStringLiteral("10.0.0.9"));
        };
        QTest::newRow("saveTemplate") << save << templates << QByteArray() << nospace;
        QTest::newRow("deleteTemplate") << Operation([] { return JsonUtil::deleteTemplate(QStringLiteral("甲")); })
                                        << templates << QByteArray() << nospace;
        QTest::newRow("saveTemplateToTrash")
            << Operation([] { return JsonUtil::saveTemplateToTrash(named(QStringLiteral("乙"))); })
            << QString::fromLatin1(CUSTOM_TEMPLATE_TRASH_PATH).mid(1) << QByteArray() << nospace;
        QTest::newRow("setCustomConfig") << setConfig << config << QByteArray() << nospace;
        QTest::newRow("xlsx export") << Operation(exportTable) << QStringLiteral("导出.xlsx") << QByteArray()
                                     << QStringLiteral("cannot write the workbook");
        QTest::newRow("corrupt template store")
            << save << templates << QByteArray("[{\"name\": \"甲\", ") << nospace;
        QTest::newRow("corrupt configuration") << setConfig << config << QByteArray("{\"com.mode\": tcp") << nospace;
    }

    void aFullDiskKeepsTheOldFile()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, store);
        QFETCH(QByteArray, corrupt);
        QFETCH(QString, warning);
        SmallDisk disk;
        if (!disk.refusal().isEmpty())
            QSKIP(qPrintable(disk.refusal()));
        Seams::setProgramDir(disk.path());

        QVERIFY(JsonUtil::saveTemplate(named(QStringLiteral("甲")), false));
        QVERIFY(JsonUtil::saveTemplateToTrash(named(QStringLiteral("丙"))));
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("tcpSocket")));
        QVERIFY(exportTable());
        if (!corrupt.isEmpty())
            QVERIFY(writeFile(disk.path() + QLatin1Char('/') + store, corrupt));
        QVERIFY(disk.fill());
        QMap<QString, QByteArray> expected = disk.files();
        QVERIFY(!expected.value(store).isEmpty());

        LogCapture log;
        QVERIFY(!operation());
        QVERIFY(log.contains(warning));

        QMap<QString, QByteArray> files = disk.files();
        if (!corrupt.isEmpty()) {
            // Read as unreadable, the store was set aside whole before the
            // failed write; nothing stands in its place.
            const QStringList aside = files.keys().filter(store + QStringLiteral(".bad-"));
            QCOMPARE(aside.size(), 1);
            QCOMPARE(files.take(aside.first()), corrupt);
            QVERIFY(files.take(store).isEmpty());
            expected.remove(store);
        }
        QCOMPARE(files, expected);
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
