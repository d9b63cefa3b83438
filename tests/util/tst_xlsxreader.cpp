#include "support/testsupport.h"
#include "support/xlsxfixtures.h"
#include "util/xlsxreader.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

// Reads workbooks that openpyxl wrote, and ones zipped by hand for what
// openpyxl never writes (shared and rich strings, cached formula results,
// missing references and dimensions), and checks every cell text.
class TestXlsxReader : public QObject
{
    Q_OBJECT

private:
    TestSupport::WorkbookFixtures m_fixtures;
    QString fixture(const QString &name) const { return m_fixtures.path(name); }

    static XlsxSheet sheetOf(const QString &path, int index)
    {
        XlsxReader book(path);
        return book.sheet(index);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.make());
    }

    void sheetNamesFollowTheWorkbookOrder()
    {
        // Files numbered against the workbook order, targets absolute,
        // relative and with "..", the workbook itself outside "xl/".
        QCOMPARE(XlsxReader(fixture("handmade.xlsx")).sheetNames(),
                 (QStringList{QStringLiteral("汇总"), QStringLiteral("明细"), QStringLiteral("公式")}));
        QCOMPARE(XlsxReader(fixture("sheets.xlsx")).sheetNames(),
                 (QStringList{QStringLiteral("第一页"), QStringLiteral("空白"), QStringLiteral("Data 2")}));
        QCOMPARE(XlsxReader(fixture("relocated.xlsx")).sheetNames(), QStringList{QStringLiteral("唯一")});

        XlsxReader book(fixture("sheets.xlsx"));
        QCOMPARE(book.sheet(2).text(3, 2), QStringLiteral("五"));
        QCOMPARE(book.sheet(2).name(), QStringLiteral("Data 2"));
        QVERIFY(book.sheet(1).isEmpty());
        QCOMPARE(book.sheet(0).text(2, 1), QStringLiteral("一"));
    }

    void anythingButAWorkbookHasNoSheets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "nowhere.xlsx";
        QTest::newRow("text file") << "text.xlsx";
        QTest::newRow("zip without workbook") << "nobook.xlsx";
        QTest::newRow("malformed workbook") << "broken.xlsx";
        QTest::newRow("folder") << "";
    }

    void anythingButAWorkbookHasNoSheets()
    {
        QFETCH(QString, name);
        XlsxReader book(fixture(name));
        QCOMPARE(book.sheetCount(), 0);
        QVERIFY(book.sheetNames().isEmpty());
        QVERIFY(book.sheet(0).isEmpty());
        QVERIFY(book.sheet(-1).isEmpty());
        QCOMPARE(XlsxReader(QString()).sheetCount(), 0);
    }

    void unreadableSheetsAreEmptyOthersStillRead()
    {
        XlsxReader book(fixture("badsheet.xlsx"));
        QCOMPARE(book.sheetCount(), 3);
        const XlsxSheet good = book.sheet(0);
        // References beyond the last column or row, even counted on from the
        // last row, or before row 1 are dropped.
        QCOMPARE(good.cellCount(), 1);
        QCOMPARE(good.text(1, 1), QStringLiteral("好"));
        QVERIFY(good.isReadable());
        for (int index : {1, 2, 3}) { // cut off mid-way, a missing part, no such sheet
            QVERIFY(book.sheet(index).isEmpty());
            QVERIFY(!book.sheet(index).isReadable());
        }
        // Shorter than the package's directory says: its checksum unchecked.
        XlsxReader shortPart(fixture("shortpart.xlsx"));
        QCOMPARE(shortPart.sheetCount(), 1);
        QVERIFY(!shortPart.sheet(0).isReadable());
    }

    // Any byte of a real workbook damaged: every read returns, and a sheet
    // reads either whole and unchanged or as unreadable.
    void damagedCopiesReadWholeOrNotAtAll_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("stride");
        QTest::newRow("one sheet, every byte") << "basic.xlsx" << 1;
        QTest::newRow("three sheets") << "sheets.xlsx" << 3;
    }

    void damagedCopiesReadWholeOrNotAtAll()
    {
        QFETCH(QString, name);
        QFETCH(int, stride);
        const QByteArray original = TestSupport::readFile(fixture(name));
        XlsxReader book(fixture(name));
        QVector<XlsxSheet> intact;
        for (int i = 0; i < book.sheetCount(); ++i)
            intact.append(book.sheet(i));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("damaged.xlsx"));
        int unreadable = 0;
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // a warning each
        const auto restore = qScopeGuard([] { qInstallMessageHandler(nullptr); });
        for (int offset = 0; offset < original.size(); offset += stride) {
            QByteArray damaged = original;
            damaged[offset] = char(damaged.at(offset) ^ 0x5A);
            QVERIFY(TestSupport::writeFile(path, damaged));
            XlsxReader copy(path);
            QVERIFY(copy.sheetCount() == 0 || copy.sheetNames() == book.sheetNames());
            for (int i = 0; i < copy.sheetCount(); ++i) {
                const XlsxSheet sheet = copy.sheet(i);
                unreadable += sheet.isReadable() ? 0 : 1;
                if (!sheet.isReadable())
                    continue;
                const XlsxSheet &expected = intact.at(i);
                QCOMPARE(sheet.cellCount(), expected.cellCount());
                for (int r = expected.firstRow(); r <= expected.lastRow(); ++r) {
                    for (int c = expected.firstColumn(); c <= expected.lastColumn(); ++c)
                        QCOMPARE(sheet.text(r, c), expected.text(r, c));
                }
            }
        }
        QVERIFY(unreadable > original.size() / stride / 4);
    }

    void usedRangeComesFromCellsWithValues()
    {
        // Stored dimension A1:M40 because of a styled empty cell.
        const XlsxSheet basic = sheetOf(fixture("basic.xlsx"), 0);
        QCOMPARE(basic.firstRow(), 1);
        QCOMPARE(basic.lastRow(), 4);
        QCOMPARE(basic.firstColumn(), 1);
        QCOMPARE(basic.lastColumn(), 8);
        QCOMPARE(basic.rowCount(), 4);
        QCOMPARE(basic.columnCount(), 8);

        // A lying dimension A1:Z999 and a value-less cell at E9.
        const XlsxSheet detail = sheetOf(fixture("handmade.xlsx"), 1);
        QCOMPARE(detail.firstRow(), 2);
        QCOMPARE(detail.lastRow(), 3);
        QCOMPARE(detail.firstColumn(), 2);
        QCOMPARE(detail.lastColumn(), 3);
        QCOMPARE(detail.cellCount(), 4);
        // Cells that came out of order.
        QCOMPARE(detail.text(2, 2), QStringLiteral("甲"));
        QCOMPARE(detail.text(2, 3), QStringLiteral("乙"));

        const XlsxSheet far = sheetOf(fixture("far.xlsx"), 0);
        QCOMPARE(far.firstRow(), 50);
        QCOMPARE(far.lastRow(), 52);
        QCOMPARE(far.firstColumn(), 8);
        QCOMPARE(far.lastColumn(), 9);

        const XlsxSheet empty = sheetOf(fixture("empty.xlsx"), 0);
        QVERIFY(empty.isEmpty());
        QCOMPARE(empty.rowCount(), 0);
        QCOMPARE(empty.columnCount(), 0);
        QCOMPARE(empty.lastRow(), 0);
    }

    void valuesReadAsTheirText()
    {
        const XlsxSheet s = sheetOf(fixture("basic.xlsx"), 0);
        QCOMPARE(s.name(), QStringLiteral("数据"));
        QCOMPARE(s.text(1, 1), QStringLiteral("档号"));
        QCOMPARE(s.text(2, 3), QStringLiteral("2024"));
        QCOMPARE(s.text(2, 4), QStringLiteral("100000"));
        QCOMPARE(s.text(3, 4), QStringLiteral("0.1"));
        QCOMPARE(s.text(4, 3), QStringLiteral("13812345678"));
        QCOMPARE(s.text(4, 4), QStringLiteral("-2.5"));
        QCOMPARE(s.text(2, 5), QStringLiteral("2024-03-05"));
        QCOMPARE(s.text(3, 5), QStringLiteral("2024-03-05 14:30:15"));
        QCOMPARE(s.text(4, 5), QStringLiteral("2024-12-31"));
        QCOMPARE(s.text(2, 6), QStringLiteral("true"));
        QCOMPARE(s.text(3, 6), QStringLiteral("false"));
        QCOMPARE(s.text(2, 7), QStringLiteral("#N/A"));
        QCOMPARE(s.text(2, 8), QStringLiteral("08:05:09"));
        QCOMPARE(s.text(4, 2), QStringLiteral("  前后空格  "));
        QVERIFY(!s.hasValue(3, 2));
        QVERIFY(s.text(3, 2).isEmpty());
        QVERIFY(!s.hasValue(40, 13));
        QVERIFY(!s.hasValue(0, 0));
    }

    void textsAgreeWithOpenpyxl()
    {
        // openpyxl's own reading is the oracle for the texts and numbers it wrote.
        for (const QString &name : {QStringLiteral("basic.xlsx"), QStringLiteral("offset.xlsx"),
                                   QStringLiteral("sheets.xlsx"), QStringLiteral("far.xlsx")}) {
            const QJsonObject dump = TestSupport::openpyxlDump(fixture(name));
            QVERIFY2(!dump.isEmpty(), qPrintable(name));
            XlsxReader book(fixture(name));
            const QJsonArray sheets = dump.value(QStringLiteral("sheets")).toArray();
            QCOMPARE(book.sheetCount(), sheets.size());
            int compared = 0;
            for (int i = 0; i < sheets.size(); ++i) {
                const XlsxSheet sheet = book.sheet(i);
                const QJsonArray cells =
                    dump.value(QStringLiteral("cells")).toObject().value(sheets.at(i).toString()).toArray();
                for (const QJsonValue &v : cells) {
                    const QJsonArray cell = v.toArray();
                    const int row = cell.at(0).toInt();
                    const int column = cell.at(1).toInt();
                    const QString value = cell.at(2).toString();
                    const QString type = cell.at(3).toString();
                    const QString ours = sheet.text(row, column);
                    if (type == QLatin1String("s")) {
                        QCOMPARE(ours, value);
                        ++compared;
                    } else if (type == QLatin1String("n")) {
                        QCOMPARE(ours.toDouble(), value.toDouble());
                        ++compared;
                    }
                }
            }
            QVERIFY2(compared > 3, qPrintable(name));
        }
    }

    void sharedInlineAndRichStrings()
    {
        const XlsxSheet s = sheetOf(fixture("handmade.xlsx"), 0);
        // No dimension; rows and cells without references count on from
        // the previous ones.
        QCOMPARE(s.text(1, 1), QStringLiteral("题名"));
        QCOMPARE(s.text(1, 2), QStringLiteral("内联"));
        QCOMPARE(s.text(1, 3), QStringLiteral("富 文本")); // rich runs joined
        QCOMPARE(s.text(2, 1), QStringLiteral("斜体"));    // inline rich runs
        QCOMPARE(s.text(2, 2), QStringLiteral("漢字"));    // phonetic run left out
        QCOMPARE(s.text(2, 3), QStringLiteral("  两端空格  "));
        QCOMPARE(s.text(3, 1), QStringLiteral("第一行\r\n第二行"));
        QVERIFY(!s.hasValue(3, 2));
        QCOMPARE(s.text(3, 3), QStringLiteral(" ")); // a blank is a value
        QCOMPARE(s.lastRow(), 6);
        QCOMPARE(s.lastColumn(), 4);
        // Dates by a custom format, a built-in date format with a time of
        // day, and a time-only format.
        QCOMPARE(s.text(2, 4), QStringLiteral("2024-03-05"));
        QCOMPARE(s.text(3, 4), QStringLiteral("2024-03-05 18:00:00"));
        QCOMPARE(s.text(6, 4), QStringLiteral("12:00:00"));
    }

    void formulasGiveTheirCachedResults()
    {
        const XlsxSheet s = sheetOf(fixture("handmade.xlsx"), 2);
        QCOMPARE(s.name(), QStringLiteral("公式"));
        QCOMPARE(s.text(2, 1), QStringLiteral("3"));
        QCOMPARE(s.text(2, 2), QStringLiteral("ab"));
        QCOMPARE(s.text(2, 3), QStringLiteral("true"));
        QCOMPARE(s.text(2, 4), QStringLiteral("#DIV/0!"));
        QVERIFY(!s.hasValue(2, 5)); // never calculated: no value, not its formula
        QCOMPARE(s.text(3, 1), QStringLiteral("6"));
        QCOMPARE(s.text(3, 2), QStringLiteral("  ab  "));
        QCOMPARE(s.text(4, 1), QStringLiteral("12"));
        QCOMPARE(s.lastColumn(), 5);
        QCOMPARE(s.lastRow(), 4);
    }

    void dateSystemsAndFormats()
    {
        const XlsxSheet mac = sheetOf(fixture("dates1904.xlsx"), 0);
        QCOMPARE(mac.text(2, 1), QStringLiteral("2024-03-05"));
        QCOMPARE(mac.text(3, 1), QStringLiteral("1904-01-02 06:00:00"));
        QCOMPARE(sheetOf(fixture("relocated.xlsx"), 0).text(2, 1), QStringLiteral("1904-01-01"));

        // Each format code is looked at once, however many cell formats share it.
        QCOMPARE(sheetOf(fixture("longformat.xlsx"), 0).text(1, 1), QStringLiteral("2024-03-05"));

        const XlsxSheet f = sheetOf(fixture("formats.xlsx"), 0);
        QCOMPARE(f.text(2, 1), QStringLiteral("2024-03-05"));          // yyyy"年"m"月"d"日"
        QCOMPARE(f.text(2, 2), QStringLiteral("2024-03-05 12:00:00")); // m/d/yy h:mm
        QCOMPARE(f.text(2, 3), QStringLiteral("45356"));               // text format
        QCOMPARE(f.text(2, 4), QStringLiteral("12345.678"));           // scientific
        QCOMPARE(f.text(2, 5), QStringLiteral("2024-03-05"));          // [$-804]yyyy/mm/dd;@
        QCOMPARE(f.text(2, 6), QStringLiteral("1200000"));             // not "1.2e+06"
        QCOMPARE(f.text(2, 7), QStringLiteral("1e+20"));
        QCOMPARE(f.text(2, 8), QStringLiteral("1e-05"));
    }

    void numbersAsText_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("hundred thousand") << 100000.0 << "100000";
        QTest::newRow("round million") << 1200000.0 << "1200000";
        QTest::newRow("phone number") << 13800000000.0 << "13800000000";
        QTest::newRow("largest written out") << 999999999999999.0 << "999999999999999";
        QTest::newRow("too large to write out") << 1e15 << "1e+15";
        QTest::newRow("negative whole") << -3000000.0 << "-3000000";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("fraction") << 1234567.5 << "1234567.5";
        QTest::newRow("small") << 0.00001 << "1e-05";
        QTest::newRow("huge") << 1e20 << "1e+20";
    }

    void numbersAsText()
    {
        QFETCH(double, number);
        QFETCH(QString, text);
        QCOMPARE(XlsxReader::numberText(number), text);
    }

    void numbersReadWithoutConversion()
    {
        // Cells holding numbers already written as they are shown skip the
        // round trip through double; the texts must be exactly those the
        // round trip gives.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ints.xlsx"));
        QStringList literals{"0", "7", "-7", "10", "100000", "1200000", "999999999999999", "-999999999999999",
                             "1000000000000000", "007", "-0", "1.0", "1e3", "+5", "12345678901234567890",
                             "148.688", "-0.5", "0.0001", "0.00001", "-0.00012", "12345678901234.5",
                             "1234567890123.45", "578.2380000000001", "0.10", "5.", ".5", "00.5", "-.5",
                             "0.1234567890123456", "1.5e2", " 1.5"};
        QCOMPARE(TestSupport::runXlsxFixtures(QStringList{QStringLiteral("numbers"), path} + literals), 0);
        const XlsxSheet sheet = sheetOf(path, 0);
        QCOMPARE(sheet.cellCount(), literals.size());
        for (int i = 0; i < literals.size(); ++i)
            QCOMPARE(sheet.text(i + 1, 1), XlsxReader::numberText(literals.at(i).toDouble()));
    }

    void onlyTheTopLeftCellOfAMergeHoldsAValue()
    {
        const XlsxSheet s = sheetOf(fixture("merged.xlsx"), 0);
        QCOMPARE(s.text(2, 1), QStringLiteral("文书档案"));
        QVERIFY(!s.hasValue(3, 1));
        QVERIFY(!s.hasValue(4, 1));
        QCOMPARE(s.text(5, 1), QStringLiteral("科技档案"));
        QCOMPARE(s.text(1, 2), QStringLiteral("题名"));
        QVERIFY(!s.hasValue(1, 3));
        QCOMPARE(s.lastRow(), 5);
        QCOMPARE(s.lastColumn(), 3);

        // Values a workbook stores inside a range are dropped, wherever the
        // range runs.
        const XlsxSheet v = sheetOf(fixture("merged_values.xlsx"), 0);
        const QStringList texts{"甲", "", "丙", "1", "2", "3", "4", "", ""};
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(v.text(1 + i / 3, 1 + i % 3), texts.at(i));
        QCOMPARE(v.text(5, 1), QStringLiteral("整行"));
        QVERIFY(!v.hasValue(5, 4));
        QCOMPARE(v.text(6, 4), QStringLiteral("8"));
        QCOMPARE(v.cellCount(), 8);
    }

    void cellReferences_data()
    {
        QTest::addColumn<QString>("ref");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("A1") << "A1" << true << 1 << 1;
        QTest::newRow("lower case") << "ab12" << true << 12 << 28;
        QTest::newRow("last cell") << "XFD1048576" << true << 1048576 << 16384;
        QTest::newRow("column too far") << "XFE1" << false << 0 << 0;
        QTest::newRow("row too far") << "A1048577" << false << 0 << 0;
        QTest::newRow("row 0") << "A0" << false << 0 << 0;
        QTest::newRow("no row") << "AB" << false << 0 << 0;
        QTest::newRow("no column") << "12" << false << 0 << 0;
        QTest::newRow("digits first") << "1A" << false << 0 << 0;
        QTest::newRow("empty") << "" << false << 0 << 0;
        QTest::newRow("absolute") << "$A$1" << false << 0 << 0;
        QTest::newRow("huge column") << "ZZZZZZZZZZZZZZZZ1" << false << 0 << 0;
        QTest::newRow("huge row") << "A99999999999999999999" << false << 0 << 0;
    }

    void cellReferences()
    {
        QFETCH(QString, ref);
        QFETCH(bool, valid);
        QFETCH(int, row);
        QFETCH(int, column);
        int parsedRow = 0;
        int parsedColumn = 0;
        QCOMPARE(XlsxReader::parseCellReference(QStringRef(&ref), &parsedRow, &parsedColumn), valid);
        QCOMPARE(parsedRow, row);
        QCOMPARE(parsedColumn, column);
    }

    void serialDates_data()
    {
        QTest::addColumn<double>("serial");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<bool>("timeOnly");
        QTest::addColumn<QString>("text");
        QTest::newRow("first day") << 1.0 << false << false << "1900-01-01";
        QTest::newRow("before the phantom leap day") << 59.0 << false << false << "1900-02-28";
        QTest::newRow("after the phantom leap day") << 61.0 << false << false << "1900-03-01";
        QTest::newRow("modern") << 45356.0 << false << false << "2024-03-05";
        QTest::newRow("noon") << 45356.5 << false << false << "2024-03-05 12:00:00";
        QTest::newRow("rounds to next midnight") << 45356.999999999 << false << false << "2024-03-06";
        QTest::newRow("1904 epoch") << 0.0 << true << false << "1904-01-01";
        QTest::newRow("1904 modern") << 43894.0 << true << false << "2024-03-05";
        QTest::newRow("time only") << 0.25 << false << true << "06:00:00";
        QTest::newRow("time format on a date") << 45356.25 << false << true << "2024-03-05 06:00:00";
        QTest::newRow("zero is no 1900 date") << 0.0 << false << false << "";
        QTest::newRow("negative") << -1.0 << false << false << "";
        QTest::newRow("beyond year 9999") << 1e12 << false << false << "";
        QTest::newRow("not finite") << qInf() << false << false << "";
    }

    void serialDates()
    {
        QFETCH(double, serial);
        QFETCH(bool, date1904);
        QFETCH(bool, timeOnly);
        QFETCH(QString, text);
        QCOMPARE(XlsxReader::serialDateText(serial, date1904, timeOnly), text);
    }

    void numberFormats_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("kind");
        const int plain = XlsxReader::PlainNumber;
        const int date = XlsxReader::DateFormat;
        const int time = XlsxReader::TimeFormat;
        QTest::newRow("general") << 0 << "" << plain;
        QTest::newRow("built-in date") << 14 << "" << date;
        QTest::newRow("built-in date time") << 22 << "" << date;
        QTest::newRow("built-in time") << 20 << "" << time;
        QTest::newRow("built-in CJK date") << 31 << "" << date;
        QTest::newRow("built-in percent") << 10 << "" << plain;
        QTest::newRow("iso") << 164 << "yyyy-mm-dd" << date;
        QTest::newRow("month only") << 164 << "mmm" << date;
        QTest::newRow("minutes") << 164 << "h:mm" << time;
        QTest::newRow("elapsed") << 164 << "[h]:mm:ss" << time;
        QTest::newRow("am pm") << 164 << "h:mm AM/PM" << time;
        QTest::newRow("scientific") << 164 << "0.00E+00" << plain;
        QTest::newRow("quoted letters") << 164 << "0 \"days\"" << plain;
        QTest::newRow("escaped letter") << 164 << "0\\d" << plain;
        QTest::newRow("colour") << 164 << "[Red]0.00" << plain;
        QTest::newRow("currency locale") << 164 << "[$-804]#,##0.00" << plain;
        QTest::newRow("general by name") << 164 << "General" << plain;
        QTest::newRow("chinese date") << 164 << "yyyy\"年\"m\"月\"d\"日\"" << date;
        QTest::newRow("custom replaces built-in") << 14 << "0.00" << plain;
    }

    void numberFormats()
    {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(int, kind);
        QCOMPARE(int(XlsxReader::numberFormatKind(id, code)), kind);
    }
};

QTEST_GUILESS_MAIN(TestXlsxReader)
#include "tst_xlsxreader.moc"
