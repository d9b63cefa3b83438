// The user manual the build leaves beside the program, read back by
// poppler's pdftotext: the text is real text, and every chapter is where the
// contents on the cover say it is.

#include "support/testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class TestManualGen : public QObject
{
    Q_OBJECT

private slots:
    void everyChapterStartsOnThePageTheContentsName()
    {
        QByteArray out;
        QCOMPARE(runProgram(QStringLiteral("pdftotext"), {"-layout", KELO_MANUAL_PDF, "-"}, &out), 0);
        const QString all = QString::fromUtf8(out);
        QStringList pages = all.split(QLatin1Char('\f')); // one form feed after each page
        pages.removeLast();
        QVERIFY2(pages.size() >= 6, qPrintable(QString::number(pages.size())));

        const QString &cover = pages.first();
        QVERIFY(cover.contains(QStringLiteral("Tarnwick 用户手册")));
        QVERIFY(cover.contains(QStringLiteral("共 %1 页").arg(pages.size())));
        const QByteArray source = readFile(QStringLiteral(KELO_SOURCE_DIR "/scripts/manualgen/manual.md"));
        int chapters = 0;
        for (const QString &line : QString::fromUtf8(source).split(QLatin1Char('\n'))) {
            if (!line.startsWith(QLatin1String("## ")))
                continue;
            const QString title = line.mid(3);
            const QRegularExpressionMatch entry =
                QRegularExpression(QRegularExpression::escape(title) + QStringLiteral("[ .]*(\\d+)\\s*$"),
                                   QRegularExpression::MultilineOption)
                    .match(cover);
            QVERIFY2(entry.hasMatch(), qPrintable(title));
            const int page = entry.captured(1).toInt();
            const QString text = pages.value(page - 1);
            QVERIFY2(text.contains(title), qPrintable(QStringLiteral("%1 not on page %2").arg(title).arg(page)));
            QVERIFY(text.contains(QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages.size())));
            ++chapters;
        }
        QCOMPARE(chapters, 7);
        // Reply codes and the request format are text a reader can copy.
        for (const char *needle : {"resquestId", "\"requestId\":12", "11003", "升级文件读取失败"})
            QVERIFY2(all.contains(QString::fromUtf8(needle)), needle);
    }

    void aSourceWithoutTitleWritesNothing()
    {
        QTemporaryDir out;
        const QString source = out.filePath(QStringLiteral("bad.md"));
        QVERIFY(writeFile(source, "## no title\n"));
        const QString pdf = out.filePath(QStringLiteral("manual.pdf"));
        QCOMPARE(runProgram(QStringLiteral(KELO_MANUAL_GEN), {source, pdf}), 1);
        QVERIFY(!QFile::exists(pdf));
    }
};

QTEST_GUILESS_MAIN(TestManualGen)
#include "tst_manualgen.moc"
