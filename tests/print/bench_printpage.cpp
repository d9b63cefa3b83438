// One label page from scene to print data, and the memory of a long job.
//
//   bench_printpage [rows]          (rows of the long job, default 1000)
//
// The first half times the road of one page for a built-in template at 300 dpi: the
// row filled in, the page rendered, placed, turned and encoded, for each
// printer type. The second half runs a whole job of that many rows through a real
// print preview, the printer's replies answered at once and the pause
// shortened, and samples the resident memory every hundred pages: one scene
// is refilled per page, so it must stay flat.

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

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const int DPI = 300;
const int ROUNDS = 8;

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

void onePage(const QString &name, bool withBackground)
{
    const TemplateModel model = JsonUtil::parseTemplate(name);
    QGraphicsScene scene;
    PageScene page(&scene, model, DPI);
    page.rebuild(withBackground);
    std::printf("\n%s%s: %d x %d dots, %d text fields\n", qPrintable(name),
                withBackground ? " with its background picture" : "", page.pageSize().width(),
                page.pageSize().height(), int(model.textModels.size()));

    QImage image;
    const Timing fill = timeIt([&](int i) { page.fill(rowFor(model, i)); });
    const Timing render = timeIt([&](int i) {
        page.fill(rowFor(model, 100 + i));
        image = page.renderPage();
    });
    std::printf("  fill a row               median %7.1f ms  worst %7.1f ms\n", fill.median, fill.worst);
    std::printf("  fill and render          median %7.1f ms  worst %7.1f ms\n", render.median, render.worst);

    for (int type = 1; type <= 4; ++type) {
        for (int angle : {0, 90}) {
            if (type == 4 && angle != 0)
                continue;
            TemplateModel placed = model;
            placed.angle = angle;
            qint64 bytes = 0;
            const Timing encode = timeIt([&](int) {
                if (type == 4) {
                    bytes = 0;
                    for (const QByteArray &f : PagePlacement::encodeBands(image, placed, 0, 0, DPI))
                        bytes += f.size();
                } else {
                    bytes = PagePlacement::encodeGen1(type, image, placed, 0, 40, false, DPI).bytes.size();
                }
            });
            const Timing whole = timeIt([&](int i) {
                page.fill(rowFor(model, 200 + i));
                const QImage rendered = page.renderPage();
                if (type == 4)
                    PagePlacement::encodeBands(rendered, placed, 0, 0, DPI);
                else
                    PagePlacement::encodeGen1(type, rendered, placed, 0, 40, false, DPI);
            });
            std::printf("  type %d angle %3d: place+encode median %6.1f ms; scene to frame median %6.1f ms, "
                        "worst %6.1f ms; %lld bytes\n",
                        type, angle, encode.median, whole.median, whole.worst, bytes);
        }
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
