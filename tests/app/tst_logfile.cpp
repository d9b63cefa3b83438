#include "app/logfile.h"
#include "support/testsupport.h"
#include "util/seams.h"

#include <QDate>
#include <QRegularExpression>
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
        const QByteArray err = withHandler([&] {
            qInfo().noquote() << "start";
            qWarning().noquote() << message;
        });
        QVERIFY2(err.isEmpty(), err.constData());
        const QString day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        const QByteArray bytes = TestSupport::readFile(dir.file(QStringLiteral("/log/log%1.txt").arg(day)));
        const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d $"));
        // Two lines, each a 20-byte time stamp and the message, no BOM.
        const int second = bytes.indexOf("\r\n") + 2;
        QVERIFY(stamp.match(QString::fromLatin1(bytes.left(20))).hasMatch());
        QCOMPARE(bytes.mid(20, second - 20), QByteArray("start\r\n"));
        QVERIFY(stamp.match(QString::fromLatin1(bytes.mid(second, 20))).hasMatch());
        QCOMPARE(bytes.mid(second + 20), written);
    }

    // Client messages stop once they have taken their share of the day's
    // log, which one line says; the program's own go on.
    void clientShareIsBounded()
    {
        TempProgramDir dir;
        const QString text(4000, QLatin1Char('x'));
        const qint64 messages = LogFile::CLIENT_BYTES_PER_DAY / text.size() + 100;
        QVERIFY(withHandler([&] {
                    for (qint64 i = 0; i < messages; ++i)
                        qCDebug(clientText).noquote() << text;
                    qInfo().noquote() << "WebApiServer init successed: ";
                }).isEmpty());
        const QList<QByteArray> lines = TestSupport::readFile(LogFile::filePath(QDate::currentDate())).split('\n');
        // All but the notice, the program's line and the empty end.
        const qint64 clientBytes = (lines.size() - 3) * (20 + text.size() + 2);
        QVERIFY2(clientBytes > LogFile::CLIENT_BYTES_PER_DAY - 64 * 1024
                     && clientBytes < LogFile::CLIENT_BYTES_PER_DAY + 8192,
                 qPrintable(QString::number(clientBytes)));
        QVERIFY(lines.at(lines.size() - 3).contains("no more are logged today"));
        QVERIFY(lines.at(lines.size() - 2).endsWith(" WebApiServer init successed: \r"));
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
