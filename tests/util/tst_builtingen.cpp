// The built-in templates' generator, run as it is run by hand: its output is
// what is committed, and a full disk leaves the committed files whole.

#include "support/smalldisk.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString LAYOUT = QStringLiteral(KELO_SOURCE_DIR "/scripts/builtingen/layout.json");

int generate(const QString &outDir, QByteArray *err = nullptr)
{
    return runProgram(QStringLiteral(KELO_BUILTIN_GEN), {LAYOUT, outDir}, nullptr, err);
}

} // namespace

class TestBuiltinGen : public QObject
{
    Q_OBJECT

private slots:
    void theCommittedTemplatesAreTheGeneratorsOutput()
    {
        QTemporaryDir out;
        // Run as a Chinese developer runs it: fontconfig then names the
        // fonts in Chinese (no locale needs to be installed for that).
        QCOMPARE(runProgram(QStringLiteral("env"),
                            {"-u", "FC_LANG", "LC_ALL=zh_CN.UTF-8", KELO_BUILTIN_GEN, LAYOUT, out.path()}),
                 0);
        QCOMPARE(readFile(out.path() + QStringLiteral("/config/defaultTemplate.json")),
                 readFile(QStringLiteral(KELO_SOURCE_DIR "/resources/config/defaultTemplate.json")));
    }

    void aFullDiskLeavesTheOldFilesWhole()
    {
        SmallDisk disk;
        if (!disk.refusal().isEmpty())
            QSKIP(qPrintable(disk.refusal()));
        for (const QString &name : QStringList{"/config/defaultTemplate.json", "/background/xinwenshu2CM.png"}) {
            QVERIFY(QDir().mkpath(QFileInfo(disk.path() + name).path()));
            QVERIFY(writeFile(disk.path() + name, "old " + name.toUtf8()));
        }
        QVERIFY(disk.fill());
        const QMap<QString, QByteArray> before = disk.files();

        QByteArray err;
        QVERIFY(generate(disk.path(), &err) != 0);
        QVERIFY2(err.contains("cannot write"), err.constData());
        // The old files whole, and no half-written file left behind.
        QCOMPARE(disk.files(), before);
    }
};

QTEST_GUILESS_MAIN(TestBuiltinGen)
#include "tst_builtingen.moc"
