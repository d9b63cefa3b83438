// The built-in templates' generator, run as it is run by hand: its output is
// what is committed, and a full disk leaves the committed files whole.

#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace TestSupport;

namespace {

const QString LAYOUT = QStringLiteral(KELO_SOURCE_DIR "/scripts/builtingen/layout.json");

int generate(const QString &outDir, QByteArray *err = nullptr)
{
    return runProgram(QStringLiteral(KELO_BUILTIN_GEN), {LAYOUT, outDir}, nullptr, err, QByteArray(), 120000);
}

} // namespace

class TestBuiltinGen : public QObject
{
    Q_OBJECT

private slots:
    void theCommittedTemplatesAreTheGeneratorsOutput()
    {
        QTemporaryDir out;
        QCOMPARE(generate(out.path()), 0);
        QCOMPARE(readFile(out.path() + QStringLiteral("/config/defaultTemplate.json")),
                 readFile(QStringLiteral(KELO_SOURCE_DIR "/resources/config/defaultTemplate.json")));
    }

    void aFullDiskLeavesTheOldFilesWhole()
    {
        if (geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        QTemporaryDir mountPoint;
        QCOMPARE(runProgram(QStringLiteral("mount"),
                            {"-t", "tmpfs", "-o", "size=256k", "tmpfs", mountPoint.path()}),
                 0);
        struct Unmount {
            QString path;
            ~Unmount() { runProgram(QStringLiteral("umount"), {path}); }
        } unmount{mountPoint.path()};

        const QString dir = mountPoint.path();
        const QStringList old{QStringLiteral("/config/defaultTemplate.json"),
                              QStringLiteral("/background/xinwenshu2CM.png")};
        for (const QString &name : old) {
            QVERIFY(QDir().mkpath(QFileInfo(dir + name).path()));
            QVERIFY(writeFile(dir + name, "old " + name.toUtf8()));
        }
        // Fill what is left.
        QFile filler(dir + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();

        QByteArray err;
        QVERIFY(generate(dir, &err) != 0);
        QVERIFY2(err.contains("cannot write"), err.constData());
        for (const QString &name : old)
            QCOMPARE(readFile(dir + name), "old " + name.toUtf8());
        // No half-written file is left behind.
        QCOMPARE(listFiles(dir + QStringLiteral("/background")), QStringList{QStringLiteral("xinwenshu2CM.png")});
    }
};

QTEST_GUILESS_MAIN(TestBuiltinGen)
#include "tst_builtingen.moc"
