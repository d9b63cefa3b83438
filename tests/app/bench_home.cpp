// Times the main window's home page on a large print record: the full
// refresh (cards, ranking, chart) and the chart's refresh alone over a week,
// a month and a year. The record is written by the sqlite3 tool.
//
//   bench_home [ROWS]     (default 1000000)

#include "app/homestats.h"
#include "app/mainwindow.h"
#include "print/printrecord.h"
#include "support/testsupport.h"
#include "util/sqlitetool.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

using TestSupport::medianMs;

namespace {

void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

// Rows over the last 365 days, 6 categories and 30 template names; the
// day key is the local midnight as sqlite computes it.
QString seedSql(int rows)
{
    return QStringLiteral(
               "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i < %1) "
               "INSERT INTO t_printrecord(template_name,template_type,print_time,print_date) "
               "SELECT t || '-' || (i % 5 + 2) || 'cm', t, "
               "CAST(strftime('%s', date('now','localtime','-' || ((i * 7919) % 365) || ' days'), 'utc') "
               "AS INTEGER), 'x' FROM (SELECT i, CASE i % 6 WHEN 0 THEN '城建档案' WHEN 1 THEN '科技档案' "
               "WHEN 2 THEN '文书档案' WHEN 3 THEN '业务档案' WHEN 4 THEN '会计档案' ELSE '其他' END AS t "
               "FROM n);")
        .arg(rows - 1);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    TestSupport::TempProgramDir programDir;
    QTemporaryDir dataDir;
    QDir::setCurrent(dataDir.path());
    qInstallMessageHandler(silence);

    QElapsedTimer timer;
    timer.start();
    const QString sql = CREATE_TABLE_PRINT_RECORD + QLatin1Char(';') + seedSql(rows);
    if (TestSupport::runProgram(QStringLiteral("sqlite3"), {PrintRecord::DATABASE_NAME, sql}, nullptr, nullptr, {},
                                600000)
        != 0) {
        out << "sqlite3 could not write the record\n";
        return 1;
    }
    out << "seeded " << rows << " rows with sqlite3 in " << timer.elapsed() << " ms\n";
    timer.restart();
    PrintRecord::initTable();
    out << "initTable on the seeded file: " << timer.elapsed() << " ms\n";
    out << "table rows: " << PrintRecord::getTableDataCount() << "\n";

    MainWindow window;
    window.resize(1600, 1000);
    auto *home = window.findChild<QPushButton *>(QStringLiteral("btn_nav_home"));
    auto *start = window.findChild<QDateEdit *>(QStringLiteral("edit_start_date"));
    auto *end = window.findChild<QDateEdit *>(QStringLiteral("edit_end_date"));
    const QDate today = QDate::currentDate();

    const auto report = [&out](const char *what, double ms) { out << "  " << what << ": " << ms << " ms\n"; };
    out << "median of 5:\n";
    report("HomeStats::counters", medianMs([&] { HomeStats::counters(today); }));
    report("HomeStats::ranking", medianMs([] { HomeStats::ranking(); }));
    report("HomeStats::chartSeries, a year", medianMs([&] { HomeStats::chartSeries(today.addYears(-1), today); }));
    const auto chartOver = [&](int days) {
        start->setDate(today.addDays(-days));
        end->setDate(today);
        return medianMs([&] { emit start->editingFinished(); });
    };
    report("chart refresh, a week", chartOver(7));
    report("chart refresh, a month", chartOver(31));
    report("chart refresh, a year", chartOver(365));
    report("home page, full refresh (year chart)", medianMs([&] { home->click(); }));

    SqliteTool::destoryConn(PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME);
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
