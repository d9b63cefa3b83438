// The home page on a print record that the sqlite3 tool writes and reads
// back: the counter cards, the ranking and the chart.

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
#include <QTableView>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <memory>

QT_CHARTS_USE_NAMESPACE

using namespace TestSupport;

namespace {

const QString KEJI_3CM = QStringLiteral("科技3CM");
const QString KEJI = QStringLiteral("科技档案");
const QString RED = QStringLiteral("#DE0007");
const QString DOWN = QStringLiteral("arrow-narrow-down.png");
// The window's today: a year's last day, whose week ends in the next year.
const QDate TODAY(2024, 12, 31);

QStringList sqlite(const QString &sql)
{
    QByteArray out;
    runProgram(QStringLiteral("sqlite3"), {PrintRecord::DATABASE_NAME, sql}, &out);
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A day's key as sqlite computes it: the local midnight.
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

QString text(const QWidget &window, const char *label) { return child<QLabel>(window, label)->text(); }

// A card's change label and arrow; no arrow image means no arrow.
void verifyCard(const QWidget &w, const char *value, const char *arrow, const QString &text, const QString &color,
                const QString &arrowImage)
{
    QCOMPARE(child<QLabel>(w, value)->text(), text);
    QVERIFY(child<QLabel>(w, value)->styleSheet().contains(color));
    QCOMPARE(child<QLabel>(w, arrow)->isHidden(), arrowImage.isEmpty());
    QVERIFY(child<QLabel>(w, arrow)->styleSheet().contains(arrowImage));
}

} // namespace

class TestHomePage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramDir> m_program;
    std::unique_ptr<QTemporaryDir> m_data;

private slots:
    void init()
    {
        m_program = std::make_unique<TempProgramDir>();
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_data->path()));
        QVERIFY(PrintRecord::initTable());
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
        Seams::setClockHandler([] { return QDateTime(TODAY, QTime(23, 59, 59)); });
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

    void cardsCompareWithYesterday_data()
    {
        QTest::addColumn<int>("today");
        QTest::addColumn<int>("yesterday");
        QTest::addColumn<int>("older");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("arrow");
        QTest::newRow("empty record") << 0 << 0 << 0 << "0" << "#000000" << "";
        QTest::newRow("fewer today") << 5 << 8 << 6 << "3" << RED << DOWN;
        QTest::newRow("more today") << 8 << 5 << 6 << "3" << "#0B9F57" << "arrow-narrow-up.png";
    }

    void cardsCompareWithYesterday()
    {
        QFETCH(int, today);
        QFETCH(int, yesterday);
        QFETCH(int, older);
        QFETCH(QString, change);
        QFETCH(QString, color);
        QFETCH(QString, arrow);
        addRecords(KEJI_3CM, KEJI, TODAY, today);
        addRecords(KEJI_3CM, KEJI, TODAY.addDays(-1), yesterday);
        addRecords(QStringLiteral("会计2CM"), QStringLiteral("会计档案"), TODAY.addDays(-30), older);
        MainWindow w;
        QCOMPARE(text(w, "lb_day_print_cnt"), QString::number(today));
        QCOMPARE(text(w, "lb_print_cnt"), QString::number(today + yesterday + older));
        QCOMPARE(text(w, "lb_template_count"), QStringLiteral("38"));
        verifyCard(w, "lb_day_print_cmp", "lab_cge_today", change, color, arrow);
        verifyCard(w, "lb_print_cnt_cmp", "lab_cge_total", change, color, arrow);
        verifyCard(w, "lb_template_compare", "lab_cge_model", QStringLiteral("0"), QStringLiteral("#000000"), "");
    }

    void templateCardTakesTheDaysFirstCount()
    {
        const QDate day(2024, 3, 4);
        const QStringList added{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")};
        QVERIFY(JsonUtil::saveTemplate(blankLabel(added.at(0)), false));
        QCOMPARE(HomeStats::counters(day).templateChange.difference(), qint64(0));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("template.count.pre"), QString()), QStringLiteral("39"));
        QVERIFY(JsonUtil::saveTemplate(blankLabel(added.at(1)), false));
        QVERIFY(JsonUtil::saveTemplate(blankLabel(added.at(2)), false));
        QCOMPARE(HomeStats::counters(day).templateChange.difference(), qint64(2));
        for (const QString &name : added)
            QVERIFY(JsonUtil::deleteTemplate(name));
        const HomeStats::Counters counters = HomeStats::counters(day);
        QCOMPARE(counters.templates, qint64(38));
        QCOMPARE(counters.templateChange.text(), QStringLiteral("1"));
        QVERIFY(counters.templateChange.labelStyle().contains(RED));
        QVERIFY(counters.templateChange.arrowStyle().contains(DOWN));
        // A new day starts from its own count; a baseline that is no number is 0.
        QCOMPARE(HomeStats::counters(day.addDays(1)).templateChange.difference(), qint64(0));
        QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("template.count.pre"), QStringLiteral("abc")));
        QCOMPARE(HomeStats::counters(day.addDays(1)).templateChange.difference(), qint64(38));
    }

    void emptyRecordRanksEveryTemplate()
    {
        MainWindow w;
        const QAbstractItemModel *ranking = child<QTableView>(w, "tableView_home")->model();
        QCOMPARE(columnTexts(ranking, 1), JsonUtil::getAllTemplateNames());
        QCOMPARE(columnTexts(ranking, 2), QVector<QString>(38, QStringLiteral("0")).toList());
        // One empty line per stored category, sorted.
        QStringList categories;
        for (QLineSeries *line : chartLines(w)) {
            categories.append(line->name());
            QCOMPARE(line->count(), 0);
        }
        QCOMPARE(categories, QStringList({"会计档案", "其他", "城建档案", "文书档案", "科技档案"}));
    }

    void rankingKeepsDeletedTemplates()
    {
        const QDate day = TODAY.addDays(-3);
        addRecords(KEJI_3CM, KEJI, day, 5);
        addRecords(QStringLiteral("已删除的模板"), QStringLiteral("业务档案"), day, 3);
        addRecords(QStringLiteral("会计2CM"), QStringLiteral("会计档案"), day.addDays(-1), 1);
        addRecords(QStringLiteral("城建4CM"), QStringLiteral("会计档案"), day.addDays(-1), 1);
        MainWindow w;
        auto *table = child<QTableView>(w, "tableView_home");
        QCOMPARE(columnTexts(table->model(), 1).mid(0, 2), QStringList({KEJI_3CM, "已删除的模板"}));
        QCOMPARE(columnTexts(table->model(), 2).mid(0, 5), QStringList({"5", "3", "1", "1", "0"}));
        QCOMPARE(table->model()->rowCount(), 39);
        const auto badge = [table](int row) -> QLabel * {
            const QWidget *cell = table->indexWidget(table->model()->index(row, 0));
            return cell ? cell->findChild<QLabel *>() : nullptr;
        };
        // Badges come with their rows into view.
        w.resize(1600, 1000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int lastShown = table->rowAt(table->viewport()->height() - 1);
        QVERIFY2(lastShown >= 3 && lastShown < 38, qPrintable(QString::number(lastShown)));
        QVERIFY(badge(0)->styleSheet().contains(QLatin1String("No1.png")));
        QVERIFY(badge(2)->styleSheet().contains(QLatin1String("No3.png")));
        QCOMPARE(badge(3)->text(), QStringLiteral("4"));
        QVERIFY(badge(3)->styleSheet().contains(QLatin1String("No.png")));
        QVERIFY(badge(lastShown) && !badge(38));
        table->scrollToBottom();
        QCOMPARE(badge(38)->text(), QStringLiteral("39"));
        // The recorded categories lead the chart, most pages first.
        QCOMPARE(chartLines(w).at(0)->name(), KEJI);
        QCOMPARE(chartLines(w).size(), 6);
    }

    void periodButtons()
    {
        MainWindow w;
        auto *start = child<QDateEdit>(w, "edit_start_date");
        auto *end = child<QDateEdit>(w, "edit_end_date");
        const auto button = [&w](const char *name) { return child<QPushButton>(w, name); };
        const QDate today = TODAY;
        // Built on the week: Monday to Sunday around today, into the next year.
        QVERIFY(button("btn_chart_week")->isChecked());
        QCOMPARE(start->date(), QDate(2024, 12, 30));
        QCOMPARE(end->date(), QDate(2025, 1, 5));
        button("btn_chart_month")->click();
        QCOMPARE(start->date(), QDate(today.year(), today.month(), 1));
        QCOMPARE(end->date(), today);
        QVERIFY(!button("btn_chart_week")->isChecked());
        button("btn_chart_year")->click();
        QCOMPARE(start->date(), QDate(today.year(), 1, 1));
        QVERIFY(!button("btn_chart_month")->isChecked());
        // Turning the lit button off changes nothing else.
        QChart *chart = child<QChartView>(w, "chartView")->chart();
        button("btn_chart_year")->click();
        QVERIFY(!button("btn_chart_year")->isChecked());
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
            addRecords(KEJI_3CM, KEJI, day, d % 4);
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
        // Headroom: the top is the first whole step above the highest point.
        const qreal interval = values->max() / (values->tickCount() - 1);
        QCOMPARE(interval, qreal(qRound64(interval)));
        QVERIFY(values->max() > highest);
        QVERIFY(values->max() - interval <= highest);
    }
};

QTEST_MAIN(TestHomePage)
#include "tst_homepage.moc"
