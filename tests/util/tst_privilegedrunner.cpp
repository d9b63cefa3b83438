// The runner behind commands that need raised privileges, run for real with
// ordinary programs standing in for sudo.

#include "util/seams.h"

#include <QtTest>

class TestPrivilegedRunner : public QObject
{
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        // Input reaches the program byte for byte; nothing is interpreted.
        const QByteArray password = "it's $(id) `id`\n; rm x\n";
        QTest::newRow("input as it is") << "cat" << QStringList() << password << 10000 << 0 << password;
        QTest::newRow("arguments as they are") << "printf" << QStringList{"%s|", "", "a b", "$(id)"} << QByteArray()
                                               << 10000 << 0 << QByteArray("|a b|$(id)|");
        QTest::newRow("exit code and error output") << "sh" << QStringList{"-c", "read p; echo \"no $p\" >&2; exit 3"}
                                                    << QByteArray("x\n") << 10000 << 3 << QByteArray("no x\n");
        QTest::newRow("no such program") << "/nonexistent/sudo" << QStringList() << QByteArray() << 10000 << -1
                                         << QByteArray();
        QTest::newRow("stopped at the bound") << "sleep" << QStringList{"30"} << QByteArray() << 300 << -1 << QByteArray();
    }

    void runs()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, timeoutMs);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        const Seams::PrivilegedResult result = Seams::runPrivileged(program, arguments, input, timeoutMs);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.output, output);
    }
};

QTEST_GUILESS_MAIN(TestPrivilegedRunner)
#include "tst_privilegedrunner.moc"
