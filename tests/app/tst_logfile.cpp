#include "app/logfile.h"
#include "support/testsupport.h"
#include "util/seams.h"

#include <QDate>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

using TestSupport::TempProgramDir;

namespace {

// Runs f with the log handler installed and standard error sent to a file;
// returns what reached standard error.
template <typename F>
QByteArray withHandler(F f)
{
    QTemporaryFile errFile;
    if (!errFile.open())
        qFatal("no temporary file");
    std::fflush(stderr);
    const int savedErr = dup(STDERR_FILENO);
    dup2(errFile.handle(), STDERR_FILENO);
    const QtMessageHandler previous = qInstallMessageHandler(LogFile::outputMessage);
    f();
    qInstallMessageHandler(previous);
    std::fflush(stderr);
    dup2(savedErr, STDERR_FILENO);
    close(savedErr);
    return TestSupport::readFile(errFile.fileName());
}

} // namespace

class TestLogFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Seams::resetAll(); }

    void linesAsEmitted_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << "打印任务结束!" << QByteArray("打印任务结束!\r\n");
        QTest::newRow("placeholders") << "%1 and %2 stay" << QByteArray("%1 and %2 stay\r\n");
        QTest::newRow("line break") << "first\nsecond" << QByteArray("first\nsecond\r\n");
        QTest::newRow("empty") << "" << QByteArray("\r\n");
    }

    void linesAsEmitted()
    {
        QFETCH(QString, message);
        QFETCH(QByteArray, written);
        TempProgramDir dir;
        QVERIFY(!QFileInfo::exists(dir.file(QStringLiteral("/log"))));
        Seams::setClockHandler([] { return QDateTime(QDate(2024, 2, 29), QTime(8, 5, 9)); });
        const QByteArray err = withHandler([&] {
            qInfo().noquote() << "start";
            qWarning().noquote() << message;
        });
        QVERIFY2(err.isEmpty(), err.constData());
        QCOMPARE(TestSupport::listFiles(dir.file(QStringLiteral("/log"))), QStringList{"log20240229.txt"});
        // Two lines, each a time stamp and the message, no BOM.
        QCOMPARE(TestSupport::readFile(dir.file(QStringLiteral("/log/log20240229.txt"))),
                 "2024-02-29 08:05:09 start\r\n2024-02-29 08:05:09 " + written);
    }

    // A line goes to the file of the day its stamp names, however close to
    // midnight.
    void linesAcrossMidnight()
    {
        TempProgramDir dir;
        QDateTime now(QDate(2024, 12, 31), QTime(23, 59, 59));
        Seams::setClockHandler([&now] { return now; });
        QVERIFY(withHandler([&] {
                    qWarning().noquote() << "last";
                    now = now.addSecs(1);
                    qWarning().noquote() << "first";
                }).isEmpty());
        QCOMPARE(TestSupport::readFile(LogFile::filePath(QDate(2024, 12, 31))),
                 QByteArray("2024-12-31 23:59:59 last\r\n"));
        QCOMPARE(TestSupport::readFile(LogFile::filePath(QDate(2025, 1, 1))),
                 QByteArray("2025-01-01 00:00:00 first\r\n"));
    }

    // Client messages stop once they have taken their share of the day's
    // log, which one line says; the program's own go on, and the next day
    // has a share of its own.
    void clientShareIsBounded()
    {
        TempProgramDir dir;
        QDateTime now(QDate(2024, 3, 1), QTime(12, 0));
        Seams::setClockHandler([&now] { return now; });
        const QString text(4000, QLatin1Char('x'));
        const qint64 messages = Seams::CLIENT_LOG_BYTES_PER_DAY / text.size() + 100;
        QVERIFY(withHandler([&] {
                    for (qint64 i = 0; i < messages; ++i)
                        qCDebug(clientText).noquote() << text;
                    qInfo().noquote() << "WebApiServer init successed: ";
                    now = now.addDays(1);
                    qCDebug(clientText).noquote() << "next day";
                }).isEmpty());
        QCOMPARE(TestSupport::readFile(LogFile::filePath(QDate(2024, 3, 2))),
                 QByteArray("2024-03-02 12:00:00 next day\r\n"));
        const QList<QByteArray> lines = TestSupport::readFile(LogFile::filePath(QDate(2024, 3, 1))).split('\n');
        // All but the notice, the program's line and the empty end.
        const qint64 clientBytes = (lines.size() - 3) * (20 + text.size() + 2);
        QVERIFY2(clientBytes > Seams::CLIENT_LOG_BYTES_PER_DAY - 64 * 1024
                     && clientBytes < Seams::CLIENT_LOG_BYTES_PER_DAY + 8192,
                 qPrintable(QString::number(clientBytes)));
        QVERIFY(lines.at(lines.size() - 3).contains("no more are logged today"));
        QVERIFY(lines.at(lines.size() - 2).endsWith(" WebApiServer init successed: \r"));
    }

    // A run that finds the day's share spent says so once a day, whatever
    // spent it: an older version's log with no record, a record booked past
    // the share by a run that never said so, or a run that did.
    void aSpentShareIsToldOnceADay_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("told");
        QTest::newRow("no record") << QByteArray() << 1;
        QTest::newRow("booked past the share") << QByteArray("20240301 1100000\n") << 1;
        QTest::newRow("already told") << QByteArray("20240301 1100000 told\n") << 0;
    }

    void aSpentShareIsToldOnceADay()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, told);
        TempProgramDir dir;
        Seams::setClockHandler([] { return QDateTime(QDate(2024, 3, 1), QTime(12, 0)); });
        Seams::setClientLogBytesPerDay(1024 * 1024);
        const QString log = LogFile::filePath(QDate(2024, 3, 1));
        QVERIFY(QDir().mkpath(LogFile::folderPath()) && TestSupport::writeFile(log, QByteArray(1100000, 'o')));
        QVERIFY(record.isEmpty() || TestSupport::writeFile(LogFile::folderPath() + "/clientshare", record));
        QVERIFY(withHandler([] {
                    for (int run = 0; run < 2; ++run) {
                        LogFile::install();
                        qCDebug(clientText).noquote() << "client";
                        qCDebug(clientText).noquote() << "client";
                    }
                }).isEmpty());
        const QByteArray added = TestSupport::readFile(log).mid(1100000);
        QCOMPARE(added.count("no more are logged today"), told);
        QCOMPARE(added.count('\n'), told);
    }

    // A log folder that cannot be made loses no line: it goes to standard
    // error, and the handler comes back.
    void unwritableFolderFallsBackToStderr()
    {
        TempProgramDir dir;
        QVERIFY(TestSupport::writeFile(dir.file(QStringLiteral("/log")), "a file where the folder should be"));
        const QByteArray err = withHandler([] { qWarning().noquote() << "kept 中文"; });
        QVERIFY2(err.endsWith(QByteArray(" kept 中文\r\n")), err.constData());
        QCOMPARE(TestSupport::listFiles(dir.path()), QStringList{QStringLiteral("log")});
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
