#include "app/homestats.h"
#include "app/mainwindow.h"
#include "print/printrecord.h"
#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/sqlitetool.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <memory>

QT_CHARTS_USE_NAMESPACE

using TestSupport::child;

namespace {

// The built-in templates' categories, sorted.
const QStringList BUILT_IN_CATEGORIES{QStringLiteral("会计档案"), QStringLiteral("其他"),
                                      QStringLiteral("城建档案"), QStringLiteral("文书档案"),
                                      QStringLiteral("科技档案")};

// The sqlite3 tool writes and reads the record; it computes a day's key
// (local midnight) itself.
QStringList sqlite(const QString &sql)
{
    QByteArray out;
    TestSupport::runProgram(QStringLiteral("sqlite3"), {PrintRecord::DATABASE_NAME, sql}, &out);
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString dayKeySql(const QDate &day)
{
    return QStringLiteral("CAST(strftime('%s','%1','utc') AS INTEGER)").arg(day.toString(Qt::ISODate));
}

void addRecords(const QString &name, const QString &type, const QDate &day, int count)
{
    if (count > 0)
        sqlite(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1) "
                          "INSERT INTO t_printrecord(template_name,template_type,print_time,print_date) "
                          "SELECT '%2','%3',%4,'x' FROM n;")
               .arg(count)
               .arg(name, type, dayKeySql(day)));
}

QList<QLineSeries *> chartLines(const QWidget &window)
{
    QList<QLineSeries *> lines;
    for (QAbstractSeries *series : child<QChartView>(window, "chartView")->chart()->series())
        lines.append(qobject_cast<QLineSeries *>(series));
    return lines;
}

} // namespace

class TestHomePage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempProgramDir> m_program;
    std::unique_ptr<QTemporaryDir> m_data;

    // Checks a card's comparison label and arrow.
    static void verifyCard(const MainWindow &w, const char *arrow, const char *value, const QString &text,
                           const QString &color, const QString &arrowImage)
    {
        QCOMPARE(child<QLabel>(w, value)->text(), text);
        QVERIFY(child<QLabel>(w, value)->styleSheet().contains(color));
        QCOMPARE(child<QLabel>(w, arrow)->isHidden(), arrowImage.isEmpty());
        if (!arrowImage.isEmpty())
            QVERIFY(child<QLabel>(w, arrow)->styleSheet().contains(arrowImage));
    }

private slots:
    void init()
    {
        m_program = std::make_unique<TestSupport::TempProgramDir>();
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_data->path()));
        QVERIFY(PrintRecord::initTable());
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
        // No printer: the window's link finds no port to open.
        Seams::setSerialPortListHandler([] { return QList<Seams::SerialPortEntry>(); });
    }

    void cleanup()
    {
        SqliteTool::destoryConn(PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME);
        QDir::setCurrent(QDir::tempPath());
        Seams::resetAll();
        m_data.reset();
        m_program.reset();
    }

    void emptyRecordShowsZerosAndEveryTemplate()
    {
        MainWindow w;
        QCOMPARE(child<QLabel>(w, "lb_day_print_cnt")->text(), QStringLiteral("0"));
        QCOMPARE(child<QLabel>(w, "lb_print_cnt")->text(), QStringLiteral("0"));
        QCOMPARE(child<QLabel>(w, "lb_template_count")->text(), QStringLiteral("38"));
        verifyCard(w, "lab_cge_today", "lb_day_print_cmp", QStringLiteral("0"), QStringLiteral("#000000"), QString());
        verifyCard(w, "lab_cge_total", "lb_print_cnt_cmp", QStringLiteral("0"), QStringLiteral("#000000"), QString());
        verifyCard(w, "lab_cge_model", "lb_template_compare", QStringLiteral("0"), QStringLiteral("#000000"),
                   QString());

        const QAbstractItemModel *ranking = child<QTableView>(w, "tableView_home")->model();
        const QStringList names = JsonUtil::getAllTemplateNames();
        QCOMPARE(ranking->rowCount(), 38);
        for (int row = 0; row < names.size(); ++row) {
            QCOMPARE(ranking->index(row, 1).data().toString(), names.at(row));
            QCOMPARE(ranking->index(row, 2).data().toString(), QStringLiteral("0"));
        }

        const QList<QLineSeries *> lines = chartLines(w);
        QStringList categories;
        for (QLineSeries *line : lines) {
            categories.append(line->name());
            QCOMPARE(line->count(), 0);
        }
        QCOMPARE(categories, BUILT_IN_CATEGORIES);
    }

    void printCardsCompareWithYesterday_data()
    {
        QTest::addColumn<int>("today");
        QTest::addColumn<int>("yesterday");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("arrow");
        QTest::newRow("fewer today") << 5 << 8 << "3" << "#DE0007" << "arrow-narrow-down.png";
        QTest::newRow("more today") << 8 << 5 << "3" << "#0B9F57" << "arrow-narrow-up.png";
    }

    void printCardsCompareWithYesterday()
    {
        QFETCH(int, today);
        QFETCH(int, yesterday);
        QFETCH(QString, text);
        QFETCH(QString, color);
        QFETCH(QString, arrow);
        const QDate date = QDate::currentDate();
        addRecords(QStringLiteral("科技3CM"), QStringLiteral("科技档案"), date, today);
        addRecords(QStringLiteral("科技3CM"), QStringLiteral("科技档案"), date.addDays(-1), yesterday);
        addRecords(QStringLiteral("会计2CM"), QStringLiteral("会计档案"), date.addDays(-30), 6);
        MainWindow w;
        QCOMPARE(child<QLabel>(w, "lb_day_print_cnt")->text(), QString::number(today));
        QCOMPARE(child<QLabel>(w, "lb_print_cnt")->text(), QString::number(today + yesterday + 6));
        verifyCard(w, "lab_cge_today", "lb_day_print_cmp", text, color, arrow);
        verifyCard(w, "lab_cge_total", "lb_print_cnt_cmp", text, color, arrow);
    }

    void templateCardTakesTheDaysFirstCount()
    {
        const QDate day(2024, 3, 4);
        const auto save = [](const char *name) {
            QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(QString::fromUtf8(name)), false));
        };
        save("甲");
        QCOMPARE(HomeStats::counters(day).templateChange.difference(), qint64(0));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("template.count.pre"), QString()), QStringLiteral("39"));
        save("乙");
        save("丙");
        QCOMPARE(HomeStats::counters(day).templateChange.difference(), qint64(2));
        for (const char *name : {"甲", "乙", "丙"})
            QVERIFY(JsonUtil::deleteTemplate(QString::fromUtf8(name)));
        const HomeStats::Counters counters = HomeStats::counters(day);
        QCOMPARE(counters.templates, qint64(38));
        QCOMPARE(counters.templateChange.text(), QStringLiteral("1"));
        QVERIFY(counters.templateChange.labelStyle().contains(QLatin1String("#DE0007")));
        QVERIFY(counters.templateChange.arrowStyle().contains(QLatin1String("arrow-narrow-down.png")));
        // A new day starts from its own count; a baseline that is no number is 0.
        QCOMPARE(HomeStats::counters(day.addDays(1)).templateChange.difference(), qint64(0));
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("template.count.pre"), QStringLiteral("abc")));
        QCOMPARE(HomeStats::counters(day.addDays(1)).templateChange.difference(), qint64(38));
    }

    void rankingKeepsDeletedTemplates()
    {
        const QDate day = QDate::currentDate().addDays(-3);
        addRecords(QStringLiteral("科技3CM"), QStringLiteral("科技档案"), day, 5);
        addRecords(QStringLiteral("已删除的模板"), QStringLiteral("业务档案"), day, 3);
        for (const char *name : {"会计2CM", "城建4CM"})
            addRecords(QString::fromUtf8(name), QStringLiteral("会计档案"), day.addDays(-1), 1);
        MainWindow w;
        const auto *table = child<QTableView>(w, "tableView_home");
        const QAbstractItemModel *model = table->model();
        QCOMPARE(model->index(0, 1).data().toString() + model->index(0, 2).data().toString(),
                 QStringLiteral("科技3CM5"));
        QCOMPARE(model->index(1, 1).data().toString() + model->index(1, 2).data().toString(),
                 QStringLiteral("已删除的模板3"));
        QCOMPARE(model->rowCount(), 39);
        const auto badge = [table](int row) {
            return table->indexWidget(table->model()->index(row, 0))->findChild<QLabel *>();
        };
        QVERIFY(badge(0)->styleSheet().contains(QLatin1String("No1.png")));
        QVERIFY(badge(2)->styleSheet().contains(QLatin1String("No3.png")));
        QCOMPARE(badge(3)->text(), QStringLiteral("4"));
        QVERIFY(badge(3)->styleSheet().contains(QLatin1String("No.png")));
        // The recorded categories lead the chart, most pages first.
        QCOMPARE(chartLines(w).at(0)->name(), QStringLiteral("科技档案"));
        QCOMPARE(chartLines(w).size(), 6);
    }

    void periodButtons()
    {
        MainWindow w;
        auto *start = child<QDateEdit>(w, "edit_start_date");
        auto *end = child<QDateEdit>(w, "edit_end_date");
        const QDate today = QDate::currentDate();
        // Built on the week: Monday to Sunday around today.
        QVERIFY(child<QPushButton>(w, "btn_chart_week")->isChecked());
        QCOMPARE(start->date().dayOfWeek(), 1);
        QCOMPARE(start->date().daysTo(end->date()), qint64(6));
        QVERIFY(start->date() <= today && today <= end->date());

        child<QPushButton>(w, "btn_chart_month")->click();
        QCOMPARE(start->date(), QDate(today.year(), today.month(), 1));
        QCOMPARE(end->date(), today);
        QVERIFY(!child<QPushButton>(w, "btn_chart_week")->isChecked());

        child<QPushButton>(w, "btn_chart_year")->click();
        QCOMPARE(start->date(), QDate(today.year(), 1, 1));
        QVERIFY(!child<QPushButton>(w, "btn_chart_month")->isChecked());
        // Turning the lit button off changes nothing else.
        QChart *chart = child<QChartView>(w, "chartView")->chart();
        child<QPushButton>(w, "btn_chart_year")->click();
        QVERIFY(!child<QPushButton>(w, "btn_chart_year")->isChecked());
        QCOMPARE(start->date(), QDate(today.year(), 1, 1));
        QCOMPARE(child<QChartView>(w, "chartView")->chart(), chart);
    }

    void chartFollowsTheDates_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::newRow("in order") << QDate(2024, 3, 2) << QDate(2024, 3, 9);
        QTest::newRow("swapped") << QDate(2024, 3, 9) << QDate(2024, 3, 2);
        QTest::newRow("one day") << QDate(2024, 3, 5) << QDate(2024, 3, 5);
    }

    void chartFollowsTheDates()
    {
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        for (int d = 0; d < 12; ++d) {
            const QDate day = QDate(2024, 3, 1).addDays(d);
            addRecords(QStringLiteral("科技3CM"), QStringLiteral("科技档案"), day, d % 4);
            addRecords(QStringLiteral("会计2CM"), QStringLiteral("会计档案"), day, 7 - d % 3);
        }
        MainWindow w;
        child<QDateEdit>(w, "edit_start_date")->setDate(start);
        child<QDateEdit>(w, "edit_end_date")->setDate(end);
        emit child<QDateEdit>(w, "edit_end_date")->editingFinished();

        const QDate first = qMin(start, end);
        const QDate last = qMax(start, end);
        QCOMPARE(child<QDateEdit>(w, "edit_start_date")->date(), first);
        QCOMPARE(child<QDateEdit>(w, "edit_end_date")->date(), last);
        QStringList drawn;
        qreal highest = 0;
        for (QLineSeries *line : chartLines(w)) {
            for (const QPointF &p : line->pointsVector()) {
                drawn.append(QStringLiteral("%1|%2|%3").arg(line->name()).arg(qint64(p.x())).arg(p.y()));
                highest = qMax(highest, p.y());
            }
        }
        QStringList expected = sqlite(
            QStringLiteral("SELECT template_type, print_time*1000, count(*) FROM t_printrecord WHERE print_time "
                           "BETWEEN %1 AND %2 GROUP BY 1, 2")
                .arg(dayKeySql(first), dayKeySql(last)));
        drawn.sort();
        expected.sort();
        QVERIFY(!expected.isEmpty());
        QCOMPARE(drawn, expected);

        QChart *chart = child<QChartView>(w, "chartView")->chart();
        auto *dates = qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0));
        auto *values = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
        QCOMPARE(dates->min(), first.startOfDay());
        QCOMPARE(dates->max(), (first == last ? last.addDays(1) : last).startOfDay());
        QCOMPARE(values->min(), 0.0);
        QVERIFY(values->max() >= highest);
    }
};

QTEST_MAIN(TestHomePage)
#include "tst_homepage.moc"
