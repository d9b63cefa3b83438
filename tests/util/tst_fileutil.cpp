#include "support/testsupport.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

using namespace TestSupport;

class TestFileUtil : public QObject
{
    Q_OBJECT

private slots:
    void foldersAreCreatedOnDemand()
    {
        TempProgramDir program;
        QVERIFY(!QFileInfo::exists(program.file("/attachment")));
        FileUtil::checkCustomDir();
        QVERIFY(QFileInfo(program.file("/attachment")).isDir());
        QVERIFY(QFileInfo(program.file("/attachment/picture")).isDir());

        // only the missing picture folder is made again, the rest is left alone
        QVERIFY(writeFile(program.file("/attachment/customConfig.json"), "{}"));
        QVERIFY(QDir(program.file("/attachment/picture")).removeRecursively());
        FileUtil::checkCustomDir();
        QVERIFY(QFileInfo(program.file("/attachment/picture")).isDir());
        QCOMPARE(readFile(program.file("/attachment/customConfig.json")), QByteArray("{}"));
        QCOMPARE(FileUtil::customPath(CUSTOM_TEMPLATE_TRASH_PATH), program.file("/attachment/customTemplateTrash.json"));
    }

    void picturesAreCopiedUnderFreshNames()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        QTemporaryDir sources;
        const QString jpg = sources.path() + QStringLiteral("/照片.JPG");
        const QString readme = sources.path() + QStringLiteral("/README");
        QVERIFY(writeFile(jpg, "jpeg bytes"));
        QVERIFY(writeFile(readme, "text"));

        const QRegularExpression uuid(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"));
        const QString first = FileUtil::copyPictureFile(jpg);
        const QString second = FileUtil::copyPictureFile(jpg);
        QVERIFY(uuid.match(first).hasMatch());
        QCOMPARE(first.size(), 36 + 4);
        QVERIFY(first.endsWith(QStringLiteral(".JPG")));
        QVERIFY(first != second);
        QCOMPARE(readFile(FileUtil::getFilePathFromCustomPixmap(first)), QByteArray("jpeg bytes"));
        QCOMPARE(readFile(FileUtil::getFilePathFromCustomPixmap(second)), QByteArray("jpeg bytes"));
        QCOMPARE(FileUtil::getFilePathFromCustomPixmap(first), program.file("/attachment/picture/") + first);

        const QString noSuffix = FileUtil::copyPictureFile(readme);
        QCOMPARE(noSuffix.size(), 37);
        QVERIFY(noSuffix.endsWith(QLatin1Char('.')));
        QCOMPARE(listFiles(program.file("/attachment/picture")).size(), 3);
    }

    void aFailedCopyGivesNoName()
    {
        TempProgramDir program;
        FileUtil::checkCustomDir();
        LogCapture log;
        QCOMPARE(FileUtil::copyPictureFile(program.file("/missing.png")), QString());
        QVERIFY(listFiles(program.file("/attachment/picture")).isEmpty());
        QVERIFY(log.contains(QStringLiteral("cannot copy picture")));

        // no picture folder to copy into
        QVERIFY(QDir(program.file("/attachment/picture")).removeRecursively());
        QVERIFY(writeFile(program.file("/source.png"), "png"));
        QCOMPARE(FileUtil::copyPictureFile(program.file("/source.png")), QString());
    }

    void onlyPlainNamesReachThePictureFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("uuid") << "0f8fad5b-d9cb-469f-a165-70867728950e.png" << true;
        QTest::newRow("chinese") << "背景.jpg" << true;
        QTest::newRow("dots inside") << "a..b.png" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("parent") << "../customConfig.json" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("subfolder") << "sub/x.png" << false;
        QTest::newRow("backslash") << "..\\x.png" << false;
    }

    void onlyPlainNamesReachThePictureFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        TempProgramDir program;
        QCOMPARE(FileUtil::isPlainFileName(name), accepted);
        const QString path = FileUtil::getFilePathFromCustomPixmap(name);
        if (accepted)
            QCOMPARE(QFileInfo(path).dir().absolutePath(), QFileInfo(program.file("/attachment/picture")).absoluteFilePath());
        else
            QVERIFY(path.isEmpty());
    }

    void pixmapBase64IsPng()
    {
        QImage image(3, 2, QImage::Format_ARGB32);
        image.fill(Qt::red);
        const QString text = FileUtil::getPixmapBase64(QPixmap::fromImage(image));
        QVERIFY(!text.contains(QLatin1Char('\n')));
        const QByteArray png = QByteArray::fromBase64(text.toLatin1());
        QVERIFY(png.startsWith("\x89PNG"));
        QImage back;
        QVERIFY(back.loadFromData(png, "png"));
        QCOMPARE(back.size(), QSize(3, 2));
        QCOMPARE(back.pixelColor(1, 1), QColor(Qt::red));
    }
};

QTEST_MAIN(TestFileUtil)
#include "tst_fileutil.moc"
