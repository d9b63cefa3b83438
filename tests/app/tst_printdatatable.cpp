// The print page's data table: its columns from a template and its rows from
// an import, read back the way printing and export read them.

#include "app/printdatatable.h"

#include <QStandardItemModel>
#include <QtTest>

namespace {

// "t:" text, "q:" QR code, "b:" barcode, then the title; a trailing "!" marks
// the field fixed.
TemplateModel templateOf(const QStringList &fields)
{
    TemplateModel model;
    for (const QString &code : fields) {
        const auto field = [&code](auto element, auto title, auto content) {
            element.*title = code.mid(2).remove(QLatin1Char('!'));
            element.*content = code + QStringLiteral(" content");
            element.fixed = code.endsWith(QLatin1Char('!'));
            return element;
        };
        if (code.startsWith(QLatin1String("q:")))
            model.qrcodeModels << field(QrcodeModel(), &QrcodeModel::title, &QrcodeModel::content);
        else if (code.startsWith(QLatin1String("b:")))
            model.barcodeModels << field(BarcodeModel(), &BarcodeModel::title, &BarcodeModel::content);
        else
            model.textModels << field(TextModel(), &TextModel::textTitle, &TextModel::textContent);
    }
    return model;
}

} // namespace

class TestPrintDataTable : public QObject
{
    Q_OBJECT

private slots:
    void columnsFromATemplate_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QStringList>("row");
        QTest::newRow("kinds in order") << QStringList{"b:档号", "q:二维码", "t:题名"} << QStringList{"题名", "二维码", "档号"}
                                        << QStringList{"t:题名 content", "q:二维码 content", "b:档号 content"};
        QTest::newRow("shared title") << QStringList{"t:题名", "t:题名", "q:题名"} << QStringList{"题名"}
                                      << QStringList{"t:题名 content"};
        QTest::newRow("fixed left out") << QStringList{"t:标题!", "q:码!", "b:条码"} << QStringList{"条码"}
                                        << QStringList{"b:条码 content"};
        QTest::newRow("empty title, case kept") << QStringList{"t:", "t:Ab", "q:AB"} << QStringList{"", "Ab", "AB"}
                                                << QStringList{"t: content", "t:Ab content", "q:AB content"};
        QTest::newRow("no variable field") << QStringList{"t:标题!"} << QStringList() << QStringList();
    }

    void columnsFromATemplate()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, headers);
        QFETCH(QStringList, row);
        std::unique_ptr<QStandardItemModel> table(PrintDataTable::fromTemplate(templateOf(fields), nullptr));
        QCOMPARE(PrintDataTable::headers(*table), headers);
        QCOMPARE(PrintDataTable::cells(*table), row.isEmpty() ? QList<QStringList>() : QList<QStringList>{row});
    }

    void rowsFromAnImport_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("columns"); // "title=cell|cell|..."
        QTest::addColumn<QList<QStringList>>("cells");
        QTest::newRow("sheet columns dropped, title missing")
            << QStringList{"题名", "档号"} << QStringList{"年度=2024|2025", "题名=甲|乙", "页数=1|2"}
            << QList<QStringList>{{"甲", " "}, {"乙", " "}};
        QTest::newRow("ragged 3/5")
            << QStringList{"A", "B"} << QStringList{"A=a1|a2|a3", "B=b1|b2|b3|b4|b5"}
            << QList<QStringList>{{"a1", "b1"}, {"a2", "b2"}, {"a3", "b3"}, {"", "b4"}, {"", "b5"}};
        QTest::newRow("blank fill stops where the table was") << QStringList{"X", "B"} << QStringList{"A=1", "B=b1|b2"}
                                                              << QList<QStringList>{{" ", "b1"}, {"", "b2"}};
        QTest::newRow("empty import") << QStringList{"A"} << QStringList() << QList<QStringList>();
    }

    void rowsFromAnImport()
    {
        QFETCH(QStringList, titles);
        QFETCH(QStringList, columns);
        QFETCH(QList<QStringList>, cells);
        QMap<QString, QStringList> imported;
        for (const QString &column : columns)
            imported.insert(column.section(QLatin1Char('='), 0, 0), column.section(QLatin1Char('='), 1).split('|'));
        QStandardItemModel table;
        table.setHorizontalHeaderLabels({QStringLiteral("旧")});
        table.appendRow(new QStandardItem(QStringLiteral("旧值")));
        PrintDataTable::fillFromImport(&table, titles, imported);
        QCOMPARE(PrintDataTable::headers(table), titles);
        QCOMPARE(PrintDataTable::cells(table), cells);
        const QList<QMap<QString, QVariant>> rows = PrintDataTable::printRows(table);
        QCOMPARE(rows.size(), cells.size());
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < titles.size(); ++c)
                QCOMPARE(rows.at(r).value(titles.at(c)).toString(), cells.at(r).at(c));
        }
    }
};

QTEST_GUILESS_MAIN(TestPrintDataTable)
#include "tst_printdatatable.moc"
