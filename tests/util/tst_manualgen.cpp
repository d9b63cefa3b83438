// The user manual the build leaves beside the program, read back by
// poppler's tools: the text is real text, and every chapter is where the
// contents on the cover say it is.

#include "support/testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString SOURCE = QStringLiteral(KELO_SOURCE_DIR "/scripts/manualgen/manual.md");

QString pdfText(const QString &pdf, int page = 0)
{
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << pdf << QStringLiteral("-");
    QByteArray out;
    if (runProgram(QStringLiteral("pdftotext"), args, &out) != 0)
        return QString();
    return QString::fromUtf8(out);
}

int pageCount(const QString &pdf)
{
    QByteArray out;
    runProgram(QStringLiteral("pdfinfo"), {pdf}, &out);
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(out)).captured(1).toInt();
}

} // namespace

class TestManualGen : public QObject
{
    Q_OBJECT

private slots:
    void everyChapterStartsOnThePageTheContentsName()
    {
        const QString pdf = QStringLiteral(KELO_MANUAL_PDF);
        const int pages = pageCount(pdf);
        QVERIFY2(pages >= 6, qPrintable(QString::number(pages)));

        const QString cover = pdfText(pdf, 1);
        QVERIFY(cover.contains(QStringLiteral("Tarnwick 用户手册")));
        QVERIFY(cover.contains(QStringLiteral("共 %1 页").arg(pages)));
        const QStringList source = QString::fromUtf8(readFile(SOURCE)).split(QLatin1Char('\n'));
        int chapters = 0;
        for (const QString &line : source) {
            if (!line.startsWith(QLatin1String("## ")))
                continue;
            const QString title = line.mid(3);
            const QRegularExpressionMatch entry =
                QRegularExpression(QRegularExpression::escape(title) + QStringLiteral("[ .]*(\\d+)\\s*$"),
                                   QRegularExpression::MultilineOption)
                    .match(cover);
            QVERIFY2(entry.hasMatch(), qPrintable(title));
            const int page = entry.captured(1).toInt();
            const QString text = pdfText(pdf, page);
            QVERIFY2(text.contains(title), qPrintable(QStringLiteral("%1 not on page %2").arg(title).arg(page)));
            QVERIFY(text.contains(QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages)));
            ++chapters;
        }
        QCOMPARE(chapters, 7);
        // Reply codes and the request format are text a reader can copy.
        const QString all = pdfText(pdf);
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
