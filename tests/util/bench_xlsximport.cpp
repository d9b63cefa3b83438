// Imports a large workbook written by openpyxl and times it beside openpyxl's
// own read-only load of the same file; also shows the memory the reader
// holds for a full and for a sparse sheet of the same extent.
//
//   bench_xlsximport [ROWS [COLUMNS]]     (default 10000 x 20)

#include "support/testsupport.h"
#include "support/xlsxfixtures.h"
#include "util/excelutil.h"
#include "util/xlsxreader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM").
qint64 statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    const int columns = argc > 2 ? QByteArray(argv[2]).toInt() : 20;

    QTemporaryDir dir;
    const QString full = dir.filePath(QStringLiteral("full.xlsx"));
    const QString sparse = dir.filePath(QStringLiteral("sparse.xlsx"));
    const QString n = QString::number(rows);
    const QString c = QString::number(columns);
    if (TestSupport::runXlsxFixtures({QStringLiteral("bench"), full, n, c}, nullptr, 600000) != 0
        || TestSupport::runXlsxFixtures({QStringLiteral("bench"), sparse, n, c, QStringLiteral("0.1")}, nullptr, 600000)
            != 0) {
        out << "could not write the workbooks with openpyxl\n";
        return 1;
    }
    out << "workbook: " << rows << " data rows x " << columns << " columns written by openpyxl, "
        << QFileInfo(full).size() / 1024 << " KiB\n";

    // The import logs every column; the figures are for the work, not the log.
    qInstallMessageHandler(silence);

    // Memory first, while the process is still small: sparse, then full.
    for (const QString &path : {sparse, full}) {
        const qint64 before = statusKb("VmRSS:");
        XlsxReader book(path);
        const XlsxSheet sheet = book.sheet(0);
        const qint64 peak = statusKb("VmHWM:");
        out << "reader memory, " << QFileInfo(path).completeBaseName() << ": " << sheet.cellCount()
            << " cells with values, used range " << sheet.rowCount() << " x " << sheet.columnCount()
            << ", peak RSS growth " << (peak - before) << " kB\n";
    }

    QVector<double> readTimes;
    QVector<double> importTimes;
    int keys = 0;
    int length = 0;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        XlsxReader book(full);
        const XlsxSheet sheet = book.sheet(0);
        readTimes.append(timer.nsecsElapsed() / 1e6);

        timer.restart();
        QString err;
        const QMap<QString, QStringList> data = ExcelUtil::importExcelFile(full, 0, err);
        importTimes.append(timer.nsecsElapsed() / 1e6);
        keys = data.size();
        length = data.isEmpty() ? 0 : data.first().size();
    }
    out << "ours: read sheet " << median(readTimes) << " ms, ExcelUtil::importExcelFile " << median(importTimes)
        << " ms (median of 5; " << keys << " columns x " << length << " rows)\n";

    QVector<double> openpyxlTimes;
    for (int run = 0; run < 3; ++run) {
        QByteArray result;
        if (TestSupport::runXlsxFixtures({QStringLiteral("load"), full}, &result, 600000) != 0) {
            out << "openpyxl load failed\n";
            return 1;
        }
        openpyxlTimes.append(result.split(' ').value(0).toDouble() * 1000.0);
    }
    const double theirs = median(openpyxlTimes);
    out << "openpyxl read-only load of every cell: " << theirs << " ms (median of 3)\n";
    out << "ratio openpyxl / ExcelUtil::importExcelFile: " << theirs / median(importTimes) << "x\n";
    return 0;
}
