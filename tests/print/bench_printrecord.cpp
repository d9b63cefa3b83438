// Fills a print record with a million rows by batch inserts and times the
// statistics queries the home page and its charts run on it.
//
//   bench_printrecord [ROWS]     (default 1000000)

#include "print/printrecord.h"
#include "support/testsupport.h"
#include "util/sqlitetool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

using TestSupport::medianMs;

namespace {

void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

const QStringList TYPES{QStringLiteral("城建档案"), QStringLiteral("科技档案"), QStringLiteral("文书档案"),
                        QStringLiteral("业务档案"), QStringLiteral("会计档案"), QStringLiteral("其他")};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int total = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int batch = 100000;
    const int days = 365;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    qInstallMessageHandler(silence);
    if (!PrintRecord::initTable()) {
        out << "cannot create the table\n";
        return 1;
    }

    // One page after another, as the print job records them.
    const int single = 1000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < single; ++i)
        PrintRecord::insertTable(QStringLiteral("文书档案-2cm"), QStringLiteral("文书档案"));
    const double singleMs = timer.nsecsElapsed() / 1e6;
    out << "insertTable: " << single << " rows in " << singleMs << " ms (" << singleMs * 1000.0 / single
        << " us per row)\n";

    const qint64 firstDay = PrintRecord::dayKey(QDate::currentDate().addDays(-days + 1));
    QVector<qint64> dayKeys;
    for (int d = 0; d < days; ++d)
        dayKeys.append(PrintRecord::dayKey(QDate::currentDate().addDays(-days + 1 + d)));

    double batchMs = 0;
    for (int start = single; start < total; start += batch) {
        QList<QString> sqls;
        const int end = qMin(total, start + batch);
        sqls.reserve(end - start);
        for (int i = start; i < end; ++i) {
            const int t = i % TYPES.size();
            sqls.append(QStringLiteral("INSERT INTO t_printrecord(template_name, template_type, print_time,print_date) "
                                       "values ('%1-%2cm','%1',%3,'x')")
                            .arg(TYPES.at(t))
                            .arg(2 + (i / 7) % 5)
                            .arg(dayKeys.at((i * 7919) % days)));
        }
        timer.restart();
        if (!SqliteTool::batchInsert(sqls, PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME)) {
            out << "batch insert failed\n";
            return 1;
        }
        batchMs += timer.nsecsElapsed() / 1e6;
    }
    const int batched = total - single;
    out << "batchInsert: " << batched << " rows in batches of " << batch << ": " << batchMs << " ms ("
        << batched / (batchMs / 1000.0) << " rows/s)\n";
    out << "table rows: " << PrintRecord::getTableDataCount() << ", file "
        << QFileInfo(dir.filePath(PrintRecord::DATABASE_NAME)).size() / (1024 * 1024) << " MiB\n";

    const qint64 today = dayKeys.last();
    const qint64 monthAgo = dayKeys.at(days - 30);
    const auto report = [&out](const char *what, double ms) { out << "  " << what << ": " << ms << " ms\n"; };
    out << "statistics queries (median of 5):\n";
    report("getTableDataCount()", medianMs([] { PrintRecord::getTableDataCount(); }));
    report("getTableDataCount(today)", medianMs([&] { PrintRecord::getTableDataCount(today); }));
    report("getTableDataCount(30 days)", medianMs([&] { PrintRecord::getTableDataCount(monthAgo, today); }));
    report("getDatacountByTemplateName(name, year)", medianMs([&] {
               PrintRecord::getDatacountByTemplateName(QStringLiteral("文书档案-3cm"), firstDay, today);
           }));
    report("getDatacountByTemplateType(type, today)", medianMs([&] {
               PrintRecord::getDatacountByTemplateType(QStringLiteral("文书档案"), today);
           }));
    report("getDatacountGroupByTemplateName()", medianMs([] { PrintRecord::getDatacountGroupByTemplateName(); }));
    report("getDatacountGroupByTemplateType()", medianMs([] { PrintRecord::getDatacountGroupByTemplateType(); }));
    report("getDataGroupByTemplateType(type, 30 days)", medianMs([&] {
               PrintRecord::getDataGroupByTemplateType(QStringLiteral("科技档案"), monthAgo, today, 0);
           }));
    report("getDataGroupByTemplateType(type, year)", medianMs([&] {
               PrintRecord::getDataGroupByTemplateType(QStringLiteral("科技档案"), firstDay, today, 0);
           }));
    double chartMs = medianMs([&] {
        for (const auto &category : PrintRecord::getDatacountGroupByTemplateType())
            PrintRecord::getDataGroupByTemplateType(category.first, firstDay, today, 0);
    });
    report("whole chart (categories, then a year per category)", chartMs);
    double homeMs = medianMs([&] {
        PrintRecord::getTableDataCount();
        PrintRecord::getTableDataCount(today);
        PrintRecord::getTableDataCount(dayKeys.at(days - 2));
        PrintRecord::getDatacountGroupByTemplateName();
    });
    report("whole home page (total, today, yesterday, ranking)", homeMs);
    SqliteTool::destoryConn(PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME);
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
