#include "app/singleinstance.h"
#include "support/testsupport.h"
#include "util/seams.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>
#include <QUuid>
#include <QtTest>

#include <iostream>
#include <string>

namespace {

const char HOLD_ARG[] = "--take-guard";

// The child side: takes the guard as the program does at start-up, with the
// "already running" box answered by printing it. A holder says "running" and
// keeps the guard until its standard input closes.
int takeGuard(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    Seams::setInformationHandler([&out](QWidget *, const QString &title, const QString &text) {
        out << "box:" << title << '|' << text << '\n';
    });
    SingleInstance guard(QString::fromLocal8Bit(argv[2]));
    if (!guard.acquireOrTell())
        return 0;
    out << "running" << Qt::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    const QString m_key = QStringLiteral("kelo-test-") + QUuid::createUuid().toString(QUuid::Id128);

    bool start(QProcess &process)
    {
        process.start(QCoreApplication::applicationFilePath(), {QLatin1String(HOLD_ARG), m_key});
        return process.waitForStarted(TestSupport::WAIT_MS);
    }

    bool running(QProcess &process)
    {
        return start(process) && process.waitForReadyRead(TestSupport::WAIT_MS) && process.readLine() == "running\n";
    }

private slots:
    // A guard left by a killed instance is released by the next start; a
    // second live instance tells the user and ends normally.
    void oneLiveInstance()
    {
        QProcess killed;
        QVERIFY(running(killed));
        killed.kill(); // SIGKILL: the segment stays behind, unowned
        QVERIFY(killed.waitForFinished(TestSupport::WAIT_MS));

        QProcess holder;
        QVERIFY(running(holder));
        QProcess second;
        QVERIFY(start(second) && second.waitForFinished(TestSupport::WAIT_MS));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()), QStringLiteral("box:提示| 程序已运行！\n"));

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(TestSupport::WAIT_MS));
        QProcess after;
        QVERIFY(running(after));
        after.closeWriteChannel();
        QVERIFY(after.waitForFinished(TestSupport::WAIT_MS));
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], HOLD_ARG) == 0)
        return takeGuard(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
