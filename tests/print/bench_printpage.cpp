// One label page from scene to print data, and the memory of a long job.
//
//   bench_printpage [rows]          (rows of the long job, default 1000)
//
// The first half times the road of one page for a built-in template at 300
// dpi (the row filled in, the page rendered, placed, turned and encoded) for
// each printer type, each round paired with a floor measured in the same
// process: the same page as ARGB32 converted to Format_Mono. It prints each
// road as a multiple of the floor beside its goal, and the share of the
// road's CPU time spent in the system, which is what allocating and faulting
// in page buffers costs. The second half runs a whole job of that many rows
// through a real print preview, the printer's replies answered at once and
// the pause shortened, and samples the resident memory every hundred pages:
// one scene is refilled per page, so it must stay flat.

#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "support/replyfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGraphicsScene>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const int DPI = 300;
const int ROUNDS = 8;
const int PAIRED_ROUNDS = 15;

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QMap<QString, QVariant> rowFor(const TemplateModel &t, int n)
{
    QMap<QString, QVariant> row;
    for (const TextModel &m : t.textModels)
        row.insert(m.textTitle, QStringLiteral("%1 第%2卷").arg(m.textTitle).arg(n));
    return row;
}

struct Timing {
    double median = 0;
    double worst = 0;
};

Timing timeIt(const std::function<void(int)> &step)
{
    QVector<double> ms;
    for (int i = 0; i < ROUNDS; ++i) {
        QElapsedTimer clock;
        clock.start();
        step(i);
        ms.append(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.at(ms.size() / 2), ms.last()};
}

// One road's page against the floor, run alternately so that both see the
// same load on the machine.
struct Paired {
    double roadMs = 0;
    double floorMs = 0;
    double ratio = 0;       // median of the rounds' road / floor
    double systemShare = 0; // system CPU time of the road's pages over their whole CPU time
};

double cpuSeconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

Paired pairedWithFloor(const QImage &floorImage, const std::function<void(int)> &road)
{
    QVector<double> roadMs, floorMs, ratios;
    double user = 0;
    double system = 0;
    for (int i = 0; i < PAIRED_ROUNDS; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QImage mono = floorImage.convertToFormat(QImage::Format_Mono);
        floorMs.append(clock.nsecsElapsed() / 1e6);
        Q_UNUSED(mono)
        rusage before;
        rusage after;
        getrusage(RUSAGE_SELF, &before);
        clock.restart();
        road(i);
        roadMs.append(clock.nsecsElapsed() / 1e6);
        getrusage(RUSAGE_SELF, &after);
        user += cpuSeconds(after.ru_utime) - cpuSeconds(before.ru_utime);
        system += cpuSeconds(after.ru_stime) - cpuSeconds(before.ru_stime);
        ratios.append(roadMs.last() / floorMs.last());
    }
    const auto median = [](QVector<double> v) {
        std::sort(v.begin(), v.end());
        return v.at(v.size() / 2);
    };
    return {median(roadMs), median(floorMs), median(ratios), user + system > 0 ? system / (user + system) : 0};
}

void onePage(const QString &name, bool withBackground)
{
    const TemplateModel model = JsonUtil::parseTemplate(name);
    QGraphicsScene scene;
    PageScene page(&scene, model, DPI);
    page.rebuild(withBackground);
    std::printf("\n%s%s: %d x %d dots, %d text fields\n", qPrintable(name),
                withBackground ? " with its background picture" : "", page.pageSize().width(),
                page.pageSize().height(), int(model.textModels.size()));

    const Timing fill = timeIt([&](int i) { page.fill(rowFor(model, i)); });
    const Timing render = timeIt([&](int i) {
        page.fill(rowFor(model, 100 + i));
        page.renderPage();
    });
    std::printf("  fill a row               median %7.1f ms  worst %7.1f ms\n", fill.median, fill.worst);
    std::printf("  fill and render          median %7.1f ms  worst %7.1f ms\n", render.median, render.worst);

    // The floor: the same page as an ARGB32 image converted to one bit a
    // pixel with Qt's default flags (error diffusion).
    const QImage floorImage = page.renderPage().convertToFormat(QImage::Format_ARGB32);
    std::printf("  page to print frame, each round a row filled, the page rendered, placed and encoded\n"
                "  (paired with the floor, %d rounds, medians):\n", PAIRED_ROUNDS);
    std::printf("    road             ms    floor ms   x floor   goal   system CPU   frame bytes\n");
    struct Road {
        int type;
        int angle;
        double goal;
    };
    const Road roads[] = {{1, 0, 1.0}, {2, 0, 1.0}, {3, 0, 1.0}, {1, 90, 1.3}, {2, 90, 1.3}, {3, 90, 1.3},
                          {1, 180, 1.3}, {2, 180, 1.3}, {4, 0, 1.5}};
    for (const Road &road : roads) {
        TemplateModel placed = model;
        placed.angle = road.angle;
        qint64 bytes = 0;
        const Paired figures = pairedWithFloor(floorImage, [&](int i) {
            page.fill(rowFor(model, 200 + i));
            // Held only while it is encoded, as a job does: the next page
            // draws into the same buffer.
            const QImage rendered = page.renderPage();
            bytes = 0;
            if (road.type == 4) {
                for (const QByteArray &f : PagePlacement::encodeBands(rendered, placed, 0, 0, DPI))
                    bytes += f.size();
            } else {
                bytes = PagePlacement::encodeGen1(road.type, rendered, placed, 0, 40, false, DPI).bytes.size();
            }
        });
        const QString label = road.type == 4 ? QStringLiteral("type 4 (bands)")
                                             : QStringLiteral("type %1 at %2°").arg(road.type).arg(road.angle);
        std::printf("    %-14s %6.1f   %7.1f    %5.2f   %s%.1f     %4.1f %%   %9lld\n", qPrintable(label),
                    figures.roadMs, figures.floorMs, figures.ratio, figures.ratio <= road.goal ? "<=" : "> ",
                    road.goal, figures.systemShare * 100, bytes);
    }
}

void longJob(const QString &name, int rowCount)
{
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());
    PrintRecord::initTable();
    Seams::setJobPauseMs(1);

    const TemplateModel model = JsonUtil::parseTemplate(name);
    QList<QMap<QString, QVariant>> rows;
    for (int i = 1; i <= rowCount; ++i)
        rows.append(rowFor(model, i));
    std::printf("\nA job of %d rows of %s through the print preview (type 2)\n", rowCount, qPrintable(name));
    std::printf("  resident memory before the preview: %ld kB\n", residentKb());

    PrintPreview preview(name, rows, nullptr);
    QEventLoop loop;
    int sent = 0;
    QElapsedTimer clock;
    QObject::connect(&preview, &PrintPreview::sigPrint, &preview, [&](const QByteArray &) {
        ++sent;
        if (sent == 1 || sent % 100 == 0)
            std::printf("  page %5d: resident %ld kB, %.1f ms a page so far\n", sent, residentKb(),
                        double(clock.elapsed()) / sent);
        QTimer::singleShot(0, &preview, [&] {
            PrintReceiveModel ok;
            preview.receivePrint(ok);
            preview.receivePrintNotify(ok);
            if (!preview.isBusy())
                loop.quit();
        });
    });
    clock.start();
    QMetaObject::invokeMethod(&preview, "on_btn_print_clicked");
    preview.receiveHandShake(TestSupport::typeTwoHandshake());
    loop.exec();
    std::printf("  %d pages in %.1f s; resident after the job: %ld kB; %lld records\n", sent,
                clock.elapsed() / 1000.0, residentKb(), PrintRecord::getTableDataCount());
    QDir::setCurrent(previous);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    const int rowCount = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    TestSupport::loadPinnedFonts();
    TestSupport::TempProgramDir programDir;
    TestSupport::ToastRecorder toasts;
    TextUtil::PRINTER_DPI = DPI;

    std::printf("Scene to frame at %d dpi (%d rounds each)\n", DPI, ROUNDS);
    // Jobs print without the background unless the user asks for it; a full
    // background inks every row of every band, which the row-record frame
    // may not be able to count (0 bytes: the page is refused).
    onePage(QStringLiteral("老文书2CM"), false);
    onePage(QStringLiteral("档案袋"), false);
    onePage(QStringLiteral("老文书2CM"), true);
    if (rowCount > 0)
        longJob(QStringLiteral("老文书2CM"), rowCount);
    return 0;
}
