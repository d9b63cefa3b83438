// Imports a large workbook written by openpyxl and times it against a floor,
// inflating every part of the same file with zlib in this process: the
// import has to do that much and should cost no more than 8 times it. Also
// times openpyxl's own read-only load of the file, and shows the memory the
// reader holds for a full and for a sparse sheet of the same extent, and the
// peak memory of importing small workbooks that ask for gigabytes, each in a
// process of its own.
//
//   bench_xlsximport [ROWS [COLUMNS]]     (default 10000 x 20)
//   bench_xlsximport --import FILE        imports one workbook, prints its result and peak memory

#include "support/testsupport.h"
#include "support/xlsxfixtures.h"
#include "util/excelutil.h"
#include "util/xlsxreader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <quazip5/quazip.h>
#include <quazip5/quazipfile.h>
#include <zlib.h>

#include <algorithm>

namespace {

void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

struct DeflatedPart {
    QByteArray data;
    qint64 size = 0;
};

// Every deflated part of a workbook as it lies in the zip, with the size it
// inflates to.
QVector<DeflatedPart> deflatedParts(const QString &path)
{
    QVector<DeflatedPart> parts;
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return parts;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFile file(&zip);
        int method = 0;
        int level = 0;
        if (!file.open(QIODevice::ReadOnly, &method, &level, true) || method != Z_DEFLATED)
            continue;
        parts.append({file.readAll(), file.usize()});
        file.close();
    }
    zip.close();
    return parts;
}

// Inflates the parts with zlib; the bytes inflated, or -1 on an error.
qint64 inflateAll(const QVector<DeflatedPart> &parts)
{
    qint64 total = 0;
    QByteArray out;
    for (const DeflatedPart &part : parts) {
        out.resize(int(part.size));
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return -1;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(part.data.constData()));
        stream.avail_in = uInt(part.data.size());
        stream.next_out = reinterpret_cast<Bytef *>(out.data());
        stream.avail_out = uInt(out.size());
        const int result = inflate(&stream, Z_FINISH);
        total += qint64(stream.total_out);
        inflateEnd(&stream);
        if (result != Z_STREAM_END)
            return -1;
    }
    return total;
}

double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

int importOne(const QString &path)
{
    qInstallMessageHandler(silence);
    const qint64 start = TestSupport::processStatusKb("VmHWM:");
    QString err;
    const QMap<QString, QStringList> data = ExcelUtil::importExcelFile(path, 0, err);
    QTextStream(stdout) << data.size() << " columns x " << (data.isEmpty() ? 0 : data.first().size()) << " rows"
                        << (err.isEmpty() ? QString() : QStringLiteral(", refused: ") + err) << "; peak memory "
                        << TestSupport::processStatusKb("VmHWM:") / 1024 << " MiB (" << start / 1024
                        << " MiB before the import)\n";
    return 0;
}

// Workbooks of a few kilobytes or megabytes whose sheets would take
// gigabytes, each imported by a fresh process.
void pathological(QTextStream &out, const QString &dir)
{
    const struct {
        QStringList args;
        const char *what;
    } cases[] = {{{QStringLiteral("corners"), dir + QStringLiteral("/corners.xlsx")}, "values in A1 and XFD1048576"},
                 {{QStringLiteral("blanks"), dir + QStringLiteral("/cap.xlsx"), QStringLiteral("255")},
                  "255 MiB of blanks inside a row, just under the cap"},
                 {{QStringLiteral("blanks"), dir + QStringLiteral("/blanks.xlsx"), QStringLiteral("1024")},
                  "1 GiB of blanks inside a row"},
                 {{QStringLiteral("cells"), dir + QStringLiteral("/cells.xlsx"),
                   QString::number(XlsxReader::MAX_CELLS + 1)},
                  "one cell more than the cap"}};
    for (const auto &c : cases) {
        QByteArray result;
        if (TestSupport::runXlsxFixtures(c.args, nullptr, 600000) != 0
            || TestSupport::runProgram(QCoreApplication::applicationFilePath(),
                                       {QStringLiteral("--import"), c.args.at(1)}, &result, nullptr, QByteArray(),
                                       600000)
                != 0) {
            out << c.what << ": failed\n";
            continue;
        }
        out << c.what << ", " << QFileInfo(c.args.at(1)).size() / 1024 << " KiB: " << result;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--import")
        return importOne(QString::fromLocal8Bit(argv[2]));
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
        const qint64 before = TestSupport::processStatusKb("VmRSS:");
        XlsxReader book(path);
        const XlsxSheet sheet = book.sheet(0);
        const qint64 peak = TestSupport::processStatusKb("VmHWM:");
        out << "reader memory, " << QFileInfo(path).completeBaseName() << ": " << sheet.cellCount()
            << " cells with values, used range " << sheet.rowCount() << " x " << sheet.columnCount()
            << ", peak RSS growth " << (peak - before) << " kB\n";
    }

    // Floor and import taken in turns, so that a machine busy with other
    // work weighs on both alike; the ratio printed is the median of the
    // rounds' ratios.
    const QVector<DeflatedPart> parts = deflatedParts(full);
    const double readMs = TestSupport::medianMs([&] { XlsxReader(full).sheet(0); });
    QVector<double> floors;
    QVector<double> imports;
    QVector<double> ratios;
    qint64 inflated = 0;
    int keys = 0;
    int length = 0;
    for (int round = 0; round < 11; ++round) {
        floors.append(elapsedMs([&] { inflated = inflateAll(parts); }));
        // The map is freed outside the timing: it goes on to the caller.
        QMap<QString, QStringList> data;
        imports.append(elapsedMs([&] {
            QString err;
            data = ExcelUtil::importExcelFile(full, 0, err);
        }));
        keys = data.size();
        length = data.isEmpty() ? 0 : data.first().size();
        ratios.append(imports.last() / floors.last());
    }
    const double importMs = median(imports);
    out << "floor: inflating all " << parts.size() << " parts with zlib (" << inflated / 1024 << " KiB) "
        << median(floors) << " ms (median of 11)\n";
    out << "ours: read sheet " << readMs << " ms (median of 5), ExcelUtil::importExcelFile " << importMs
        << " ms (median of 11; " << keys << " columns x " << length << " rows)\n";
    out << "import / floor: " << median(ratios) << "x (median of 11 rounds; goal at most 8x)\n";

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
    out << "ratio openpyxl / ExcelUtil::importExcelFile: " << theirs / importMs << "x\n";
    out.flush();
    pathological(out, dir.path());
    return 0;
}
