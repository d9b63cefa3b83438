#include "support/testsupport.h"
#include "support/xlsxfixtures.h"
#include "util/excelutil.h"
#include "util/seams.h"
#include "util/xlsxreader.h"
#include "util/xlsxwriter.h"

#include <QDir>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using Data = QMap<QString, QStringList>;

namespace {

struct DialogCall {
    QString caption;
    QString dir;
    QString filter;
};

// The cells openpyxl reads from one sheet: (row, column) -> [value, type].
QMap<QPair<int, int>, QStringList> openpyxlCells(const QString &path, QStringList *sheets = nullptr)
{
    const QJsonObject dump = TestSupport::openpyxlDump(path);
    const QJsonArray names = dump.value(QStringLiteral("sheets")).toArray();
    QMap<QPair<int, int>, QStringList> cells;
    if (sheets) {
        sheets->clear();
        for (const QJsonValue &n : names)
            sheets->append(n.toString());
    }
    if (names.isEmpty())
        return cells;
    const QJsonArray list = dump.value(QStringLiteral("cells")).toObject().value(names.at(0).toString()).toArray();
    for (const QJsonValue &v : list) {
        const QJsonArray c = v.toArray();
        cells.insert(qMakePair(c.at(0).toInt(), c.at(1).toInt()), {c.at(2).toString(), c.at(3).toString()});
    }
    return cells;
}

} // namespace

class TestExcelUtil : public QObject
{
    Q_OBJECT

private:
    TestSupport::WorkbookFixtures m_fixtures;
    QString fixture(const QString &name) const { return m_fixtures.path(name); }

    static Data import(const QString &path, int sheet)
    {
        QString err;
        const Data data = ExcelUtil::importExcelFile(path, sheet, err);
        if (!err.isEmpty())
            qWarning() << "unexpected import error" << err;
        return data;
    }

    // Answers the next save dialog with a name, recording what it was asked.
    static void answerSave(const QString &name, QList<DialogCall> *calls)
    {
        Seams::setSaveFileHandler([name, calls](QWidget *, const QString &caption, const QString &dir,
                                                const QString &filter) {
            calls->append({caption, dir, filter});
            return name;
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.make());
    }

    void cleanup() { Seams::resetAll(); }

    void titlesAtA1WithThreeRows()
    {
        TestSupport::LogCapture log;
        const Data data = import(fixture("basic.xlsx"), 0);
        QCOMPARE(data.keys(),
                 (QStringList{"布尔", "年度", "数量", "日期", "时间", "档号", "错误", "题名"})); // by UTF-16 code units
        QCOMPARE(data.value("档号"), (QStringList{"A-001", "A-002", "A-003"}));
        QCOMPARE(data.value("题名"), (QStringList{"城建档案目录", " ", "  前后空格  "}));
        QCOMPARE(data.value("数量"), (QStringList{"100000", "0.1", "-2.5"}));
        QCOMPARE(data.value("日期"), (QStringList{"2024-03-05", "2024-03-05 14:30:15", "2024-12-31"}));
        QCOMPARE(data.value("布尔"), (QStringList{"true", "false", " "}));
        QCOMPARE(data.value("时间"), (QStringList{"08:05:09", " ", " "}));
        // A styled cell at M40 adds neither rows nor columns.
        for (const QStringList &cells : data)
            QCOMPARE(cells.size(), 3);
        QVERIFY(log.contains(QStringLiteral("标题起始地址：")));
        QVERIFY(log.contains(QStringLiteral("第2列：")));
    }

    void tableAwayFromA1()
    {
        const QString path = fixture("offset.xlsx");
        XlsxReader book(path);
        const XlsxSheet sheet = book.sheet(0);
        QCOMPARE(ExcelUtil::getStartRowNum(sheet), 2);
        QCOMPARE(ExcelUtil::getStartColumnNum(sheet), 2);

        const Data data = import(path, 0);
        // Two columns titled "名称": the right-hand one is kept. An empty
        // title cell gives the empty key.
        QCOMPARE(data.keys(), (QStringList{"", "名称", "备注", "编号"}));
        QCOMPARE(data.value("名称"), (QStringList{"右1", "右2"}));
        QCOMPARE(data.value("编号"), (QStringList{"1", "2"}));
        QCOMPARE(data.value(""), (QStringList{"无题1", "无题2"}));
        QCOMPARE(data.value("备注"), (QStringList{"注1", " "}));

        // A short table far below and right of A1 is found, and its lists
        // end with its last row although styled cells reach row 200.
        const Data far = import(fixture("far.xlsx"), 0);
        QCOMPARE(far.keys(), (QStringList{"年度", "题名"}));
        QCOMPARE(far.value("题名"), (QStringList{"甲", "乙"}));
        QCOMPARE(far.value("年度"), (QStringList{"2001", "2002"}));
    }

    void titleRowOnlyAndEmptySheets()
    {
        const Data titles = import(fixture("titles_only.xlsx"), 0);
        QCOMPARE(titles.keys(), (QStringList{"年度", "档号", "题名"}));
        for (const QStringList &cells : titles)
            QVERIFY(cells.isEmpty());

        QString err;
        QVERIFY(ExcelUtil::importExcelFile(fixture("empty.xlsx"), 0, err).isEmpty());
        QVERIFY(err.isEmpty());
        QVERIFY(ExcelUtil::importExcelFile(fixture("sheets.xlsx"), 1, err).isEmpty());
        QVERIFY(err.isEmpty());

        const XlsxSheet empty = XlsxReader(fixture("empty.xlsx")).sheet(0);
        QCOMPARE(ExcelUtil::getStartRowNum(empty), 1);
        QCOMPARE(ExcelUtil::getStartColumnNum(empty), 1);
    }

    void severalSheets()
    {
        QCOMPARE(ExcelUtil::getExceSheetNames(fixture("sheets.xlsx")),
                 (QStringList{"第一页", "空白", "Data 2"}));
        const Data second = import(fixture("sheets.xlsx"), 2);
        QCOMPARE(second.value("乙"), (QStringList{"二", "四"}));
        QCOMPARE(second.value("丙"), (QStringList{"三", "五"}));
        QCOMPARE(import(fixture("sheets.xlsx"), 0).value("甲"), QStringList{"一"});
    }

    void formulasRichTextAndMergedCells()
    {
        const Data formulas = import(fixture("handmade.xlsx"), 2);
        QCOMPARE(formulas.value("数"), (QStringList{"3", "6", "12"}));
        QCOMPARE(formulas.value("文"), (QStringList{"ab", "  ab  ", " "}));
        QCOMPARE(formulas.value("真"), (QStringList{"true", " ", " "}));
        QCOMPARE(formulas.value("错"), (QStringList{"#DIV/0!", " ", " "}));
        QCOMPARE(formulas.value("空"), (QStringList{" ", " ", " "}));

        const Data rich = import(fixture("handmade.xlsx"), 0);
        QCOMPARE(rich.value("题名"), (QStringList{"斜体", "第一行\r\n第二行", " ", " ", " "}));
        QCOMPARE(rich.value("富 文本"), (QStringList{"  两端空格  ", " ", " ", " ", " "}));
        QCOMPARE(rich.value("日期"), (QStringList{"2024-03-05", "2024-03-05 18:00:00", " ", " ", "12:00:00"}));

        // Only the top-left cell of a merged range holds its value.
        const Data merged = import(fixture("merged.xlsx"), 0);
        QCOMPARE(merged.value("类别"), (QStringList{"文书档案", " ", " ", "科技档案"}));
        QCOMPARE(merged.keys(), (QStringList{"", "类别", "题名"}));
        QCOMPARE(merged.value("题名"), (QStringList{"一", "二", "三", "四"}));
        QCOMPARE(merged.value(""), (QStringList{"x", "y", "z", "w"}));
        QCOMPARE(import(fixture("merged_title.xlsx"), 0),
                 (Data{{"", {"v2"}}, {"T3", {"v3"}}, {"合并标题", {"v1"}}}));
    }

    void missingSheetsAreErrors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("index -1") << "basic.xlsx" << -1;
        QTest::newRow("past the last sheet") << "sheets.xlsx" << 3;
        QTest::newRow("not a workbook") << "text.xlsx" << 0;
        QTest::newRow("missing file") << "nowhere.xlsx" << 0;
        QTest::newRow("no path") << "" << 0;
        QTest::newRow("unreadable sheet") << "badsheet.xlsx" << 1;
    }

    void missingSheetsAreErrors()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QString err;
        const Data data = ExcelUtil::importExcelFile(name.isEmpty() ? QString() : fixture(name), index, err);
        QVERIFY(data.isEmpty());
        QCOMPARE(err, QStringLiteral("输入的sheet页不存在"));
        QVERIFY(ExcelUtil::getExceSheetNames(fixture("text.xlsx")).isEmpty());
    }

    // Small files that ask for gigabytes: a gibibyte of blanks inside a row,
    // one value in each far corner of the sheet, and one long string in
    // forty thousand cells (a column logged whole would be 1.2 billion
    // characters). All return with the right result; the process's peak
    // memory is printed after each.
    void workbooksThatWouldFillTheMemory()
    {
        QTemporaryDir dir;
        const QString blanks = dir.filePath(QStringLiteral("blanks.xlsx"));
        const QString corners = dir.filePath(QStringLiteral("corners.xlsx"));
        const QString repeated = dir.filePath(QStringLiteral("repeated.xlsx"));
        QCOMPARE(TestSupport::runXlsxFixtures({QStringLiteral("blanks"), blanks, QStringLiteral("1024")}), 0);
        QCOMPARE(TestSupport::runXlsxFixtures({QStringLiteral("corners"), corners}), 0);
        QCOMPARE(TestSupport::runXlsxFixtures({"repeated", repeated, "40000", "30000"}), 0);
        QVERIFY(QFileInfo(blanks).size() < 2 * 1024 * 1024);
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); // each column is logged whole
        const auto restoreLog = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        auto peak = [](const char *after) {
            qInfo("peak memory after %s: %lld kB", after, TestSupport::processStatusKb("VmHWM:"));
        };
        peak("start");

        QString err;
        QVERIFY(ExcelUtil::importExcelFile(blanks, 0, err).isEmpty());
        QCOMPARE(err, QStringLiteral("输入的sheet页不存在"));
        peak("1 GiB of blanks");

        err.clear();
        const Data data = ExcelUtil::importExcelFile(corners, 0, err);
        QVERIFY(err.isEmpty());
        QStringList column = QVector<QString>(XlsxReader::MAX_ROW - 1, QStringLiteral(" ")).toList();
        QCOMPARE(data.value("首"), column);
        column.last() = QStringLiteral("尾");
        QCOMPARE(data.value(""), column);
        QCOMPARE(data.size(), 2);
        peak("A1 and XFD1048576");

        const QStringList texts = ExcelUtil::importExcelFile(repeated, 0, err).value("长文");
        QCOMPARE(texts.size(), 40000);
        QCOMPARE(texts.count(QString(30000, QChar(0x6863))), 40000);
        peak("40000 cells of 30000 characters");

        // As rows, every cell of the sheet would be built: refused.
        Seams::setOpenFileHandler(
            [&](QWidget *, const QString &, const QString &, const QString &) { return corners; });
        QVERIFY(ExcelUtil::importExcelFile(static_cast<QWidget *>(nullptr)).isEmpty());
    }

    void importThroughTheOpenDialog()
    {
        QList<DialogCall> calls;
        QString answer = fixture("offset.xlsx");
        Seams::setOpenFileHandler([&](QWidget *, const QString &caption, const QString &dir, const QString &filter) {
            calls.append({caption, dir, filter});
            return answer;
        });

        const QList<QStringList> rows = ExcelUtil::importExcelFile(static_cast<QWidget *>(nullptr));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).caption, QStringLiteral("导入文件"));
        QCOMPARE(calls.at(0).dir, QDir::homePath());
        QCOMPARE(calls.at(0).filter, QStringLiteral("(*.xls *.xlsx)"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), (QStringList{"名称", "编号", "名称", " ", "备注"}));
        QCOMPARE(rows.at(2), (QStringList{"左2", "2", "右2", "无题2", " "}));

        QString err;
        const Data data = ExcelUtil::importExcelFile(static_cast<QWidget *>(nullptr), 0, err);
        QVERIFY(err.isEmpty());
        QCOMPARE(data.value("名称"), (QStringList{"右1", "右2"}));

        answer.clear(); // cancelled
        QVERIFY(ExcelUtil::importExcelFile(static_cast<QWidget *>(nullptr)).isEmpty());
        QVERIFY(ExcelUtil::importExcelFile(static_cast<QWidget *>(nullptr), 0, err).isEmpty());
        QCOMPARE(err, QStringLiteral("导入取消"));
    }

    void exportReadBackByOpenpyxl()
    {
        QTemporaryDir out;
        QList<DialogCall> calls;
        answerSave(out.filePath(QStringLiteral("导出数据")), &calls);
        const QList<QString> headers{"档号", "题名", "年度"};
        const QList<QStringList> rows{{"A-001", "城建档案目录", "100000"},
                                      {"A-002", "  前后空格  ", "0.1", "多出一列"},
                                      {"A-003"},
                                      {"第一行\n第二行", "=SUM(A1)", "'引号'"}};
        QVERIFY(ExcelUtil::exportExcelFile(nullptr, headers, rows));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).caption, QStringLiteral("保存文件"));
        QCOMPARE(calls.at(0).dir, QDir::homePath());
        QCOMPARE(calls.at(0).filter, QStringLiteral("(*.xlsx)"));
        // Only the workbook is left behind, under the Chinese name with its suffix.
        QCOMPARE(TestSupport::listFiles(out.path()), QStringList{"导出数据.xlsx"});

        QStringList sheets;
        const auto cells = openpyxlCells(out.filePath("导出数据.xlsx"), &sheets);
        QCOMPARE(sheets.size(), 1);
        QCOMPARE(cells.size(), 3 + 3 + 4 + 1 + 3);
        QCOMPARE(cells.value({1, 1}), (QStringList{"档号", "s"}));
        QCOMPARE(cells.value({1, 3}), (QStringList{"年度", "s"}));
        QCOMPARE(cells.value({2, 3}), (QStringList{"100000", "s"})); // numbers stay text
        QCOMPARE(cells.value({3, 2}), (QStringList{"  前后空格  ", "s"}));
        QCOMPARE(cells.value({3, 4}), (QStringList{"多出一列", "s"}));
        QCOMPARE(cells.value({4, 1}), (QStringList{"A-003", "s"}));
        QVERIFY(!cells.contains({4, 2}));
        QCOMPARE(cells.value({5, 1}), (QStringList{"第一行\n第二行", "s"}));
        QCOMPARE(cells.value({5, 2}), (QStringList{"=SUM(A1)", "s"})); // a text, not a formula
        QCOMPARE(cells.value({5, 3}), (QStringList{"'引号'", "s"}));

        // And our own reader takes it back as the same table.
        const Data back = import(out.filePath("导出数据.xlsx"), 0);
        QCOMPARE(back.value("档号"), (QStringList{"A-001", "A-002", "A-003", "第一行\n第二行"}));
        QCOMPARE(back.value(""), (QStringList{" ", "多出一列", " ", " "}));
    }

    void exportKeepsEveryCharacter()
    {
        QCOMPARE(XlsxWriter::cellReference(0, 0), QStringLiteral("A1"));
        QCOMPARE(XlsxWriter::cellReference(9, 25), QStringLiteral("Z10"));
        QCOMPARE(XlsxWriter::cellReference(0, 26), QStringLiteral("AA1"));
        QCOMPARE(XlsxWriter::cellReference(1048575, 16383), QStringLiteral("XFD1048576"));
        QCOMPARE(XlsxWriter::escapeText(QStringLiteral("a\u0001b\r\n\t")), QStringLiteral("a_x0001_b_x000D_\n\t"));
        QCOMPARE(XlsxWriter::escapeText(QStringLiteral("_x0041_ _x12_ _xZZZZ_")),
                 QStringLiteral("_x005F_x0041_ _x12_ _xZZZZ_"));
        const QChar high(0xD83D), low(0xDE00);
        QCOMPARE(XlsxWriter::escapeText(QString(high) + low + low + high + QStringLiteral("孤") + high),
                 QString(high) + low + QStringLiteral("_xDE00__xD83D_孤_xD83D_"));

        // Control characters, carriage returns, text that looks like an
        // escape, a leading byte-order mark and surrogates without their
        // other half come back exactly as they went out.
        QTemporaryDir out;
        QList<DialogCall> calls;
        answerSave(out.filePath(QStringLiteral("chars")), &calls);
        const QStringList odd{QStringLiteral("响铃\u0007"), QStringLiteral("回车\r\n换行"), QStringLiteral("_x0041_"),
                              QStringLiteral("😀 <&> \""), QStringLiteral("_x0x41_ _x+041_ _x 041_"),
                              QStringLiteral("\uFEFF题名"), QStringLiteral("孤") + high + QStringLiteral("立") + low};
        QVERIFY(ExcelUtil::exportExcelFile(nullptr, {"a", "b", "c", "d", "e", "f", "g"}, {odd}));
        const XlsxSheet sheet = XlsxReader(out.filePath("chars.xlsx")).sheet(0);
        for (int i = 0; i < odd.size(); ++i)
            QCOMPARE(sheet.text(2, i + 1), odd.at(i));
        // openpyxl reads the escapes as written, as it reads every escape.
        const auto cells = openpyxlCells(out.filePath("chars.xlsx"));
        QCOMPARE(cells.value({2, 4}).value(0), odd.at(3));
        QCOMPARE(cells.value({2, 7}).value(0), QStringLiteral("孤_xD83D_立_xDE00_"));
    }

    void exportSuffixAndEmptyTable()
    {
        QTemporaryDir out;
        QList<DialogCall> calls;
        answerSave(out.filePath(QStringLiteral("表.XLSX")), &calls);
        QVERIFY(ExcelUtil::exportExcelFile(nullptr, {"题名", "年度"}, {}));
        QCOMPARE(TestSupport::listFiles(out.path()), QStringList{"表.XLSX"});
        const auto cells = openpyxlCells(out.filePath("表.XLSX"));
        QCOMPARE(cells.size(), 2);
        QCOMPARE(cells.value({1, 2}), (QStringList{"年度", "s"}));

        answerSave(out.filePath(QStringLiteral("data.xlsx.bak")), &calls);
        QVERIFY(ExcelUtil::exportExcelFile(nullptr, {"题名"}, {{"一"}}));
        QVERIFY(QFile::exists(out.filePath("data.xlsx.bak.xlsx")));
    }

    void cancelledExportWritesNothing()
    {
        QTemporaryDir out;
        QList<DialogCall> calls;
        answerSave(QString(), &calls);
        QVERIFY(QDir::setCurrent(out.path()));
        QVERIFY(!ExcelUtil::exportExcelFile(nullptr, {"题名"}, {{"一"}}));
        QCOMPARE(calls.size(), 1);
        QVERIFY(TestSupport::listFiles(out.path()).isEmpty());
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }

    void failedExportSaysSoAndKeepsTheOldFile()
    {
        QTemporaryDir out;
        QList<DialogCall> calls;
        const QString path = out.filePath(QStringLiteral("记录.xlsx"));
        answerSave(path, &calls);

        // The longest text a cell can hold goes through whole.
        const QString longest(XlsxWriter::MAX_CELL_TEXT, QChar(0x6863));
        QVERIFY(ExcelUtil::exportExcelFile(nullptr, {"题名"}, {{longest}}));
        const QByteArray before = TestSupport::readFile(path);
        QVERIFY(!before.isEmpty());
        QCOMPARE(openpyxlCells(path).value({2, 1}).value(0).size(), XlsxWriter::MAX_CELL_TEXT);

        // One character more fails the export, logged with the cell, and the
        // earlier file stays as it was, with no temporary file left over.
        TestSupport::LogCapture log;
        QVERIFY(!ExcelUtil::exportExcelFile(nullptr, {"题名"}, {{"一"}, {"二", longest + QLatin1Char('x')}}));
        QVERIFY(log.contains(QStringLiteral("row 3, column 2")));
        QCOMPARE(TestSupport::readFile(path), before);
        QCOMPARE(TestSupport::listFiles(out.path()), QStringList{"记录.xlsx"});

        // A folder that does not exist.
        answerSave(out.filePath(QStringLiteral("无此目录/表")), &calls);
        QVERIFY(!ExcelUtil::exportExcelFile(nullptr, {"题名"}, {{"一"}}));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("无此目录"))));
    }
};

QTEST_GUILESS_MAIN(TestExcelUtil)
#include "tst_excelutil.moc"
