#include "app/terminationsignal.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

class TestTerminationSignal : public QObject
{
    Q_OBJECT

private slots:
    void reachesTheEventLoop_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void reachesTheEventLoop()
    {
        QFETCH(int, signalNumber);
        TerminationSignal termination;
        QVERIFY(termination.isWatching());
        QSignalSpy spy(&termination, &TerminationSignal::sigTerminate);
        QCOMPARE(std::raise(signalNumber), 0);
        QVERIFY(spy.wait(TestSupport::WAIT_MS));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toInt(), signalNumber);

        // Only one watches at a time.
        TerminationSignal second;
        QVERIFY(!second.isWatching());
    }
};

QTEST_MAIN(TestTerminationSignal)
#include "tst_terminationsignal.moc"
