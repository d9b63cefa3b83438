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
        QTest::addColumn<bool>("fromClient");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << "打印任务结束!" << false << QByteArray("打印任务结束!\r\n");
        QTest::newRow("placeholders") << "%1 and %2 stay" << false << QByteArray("%1 and %2 stay\r\n");
        QTest::newRow("line break") << "first\nsecond" << false << QByteArray("first\nsecond\r\n");
        QTest::newRow("empty") << "" << false << QByteArray("\r\n");
        QTest::newRow("client, line breaks") << "a\r\n2026-01-01 00:00:00 b" << true
                                             << QByteArray("a\\r\\n2026-01-01 00:00:00 b\r\n");
        QTest::newRow("client, controls") << QStringLiteral("\x1b[2J\t\x7f\u0085\u2028é中\\n") << true
                                          << QByteArray("\\x1b[2J\\x09\\x7f\\x85\xe2\x80\xa8é中\\n\r\n");
    }

    void linesAsEmitted()
    {
        QFETCH(QString, message);
        QFETCH(bool, fromClient);
        QFETCH(QByteArray, written);
        TempProgramDir dir;
        QVERIFY(!QFileInfo::exists(dir.file(QStringLiteral("/log"))));
        const QByteArray err = withHandler([&] {
            qInfo().noquote() << "start";
            if (fromClient)
                qCWarning(clientText).noquote() << message;
            else
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
        const QString text = QString(4000, QLatin1Char('x'));
        const qint64 messages = LogFile::CLIENT_BYTES_PER_DAY / text.size() + 100;
        const QByteArray err = withHandler([&] {
            for (qint64 i = 0; i < messages; ++i)
                qCDebug(clientText).noquote() << text;
            qInfo().noquote() << "[New Connect]";
        });
        QVERIFY2(err.isEmpty(), err.constData());
        const QList<QByteArray> lines = TestSupport::readFile(LogFile::filePath(QDate::currentDate())).split('\n');
        QCOMPARE(lines.last(), QByteArray()); // every line ended
        const qint64 clientLines = lines.size() - 3; // the notice, the program's line, the end
        QVERIFY2(clientLines < messages - 50, qPrintable(QString::number(clientLines)));
        const qint64 lineBytes = 20 + text.size() + 2;
        QVERIFY2(clientLines * lineBytes >= LogFile::CLIENT_BYTES_PER_DAY - 64 * 1024,
                 qPrintable(QString::number(clientLines)));
        QVERIFY(lines.at(lines.size() - 3).contains("no more are logged today"));
        QVERIFY(lines.at(lines.size() - 2).endsWith(" [New Connect]\r"));
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
