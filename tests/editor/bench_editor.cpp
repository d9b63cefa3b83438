// Figures of the template editor at a 96 dpi screen:
//  - a full repaint of the "档案袋" template while an element is dragged
//    (warm, milliseconds per paint; the goal is under 16 ms);
//  - a spine width edit on a template with a 20-megapixel custom background,
//    which must decode the picture once, not on every edit.
// Build in Release for meaningful figures.

#include "editor/templatedialog.h"
#include "items/qwgraphicsview.h"
#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int WARM_UP = 10;
constexpr int PAINTS = 200;
constexpr int EDITS = 20;

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0.0 : v.at(v.size() / 2);
}

void dragRepaint(QTextStream &out)
{
    TemplateDialog editor(QStringLiteral("档案袋"));
    editor.resize(1600, 1000);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return;
    QGraphicsItem *dragged = editor.scene()->items(Qt::DescendingOrder).first();
    dragged->setSelected(true);
    QWidget *viewport = editor.view()->viewport();
    QVector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < WARM_UP + PAINTS; ++i) {
        dragged->moveBy(i % 2 ? -3 : 3, 1);
        timer.start();
        viewport->repaint();
        if (i >= WARM_UP)
            times.append(timer.nsecsElapsed() / 1e6);
    }
    out << QStringLiteral("drag repaint of 档案袋 (") << viewport->width() << " x " << viewport->height() << " px, "
        << editor.scene()->items().size() << " items): median " << median(times) << " ms, max "
        << *std::max_element(times.begin(), times.end()) << " ms per paint\n";
}

void spineEdits(QTextStream &out, const TestSupport::TempProgramDir &dir)
{
    // A camera-sized picture with detail everywhere, so the decoder has real work.
    QImage big(5472, 3648, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < big.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x)
            line[x] = qRgb((x / 7) & 0xFF, (y / 5) & 0xFF, int(random.bounded(256)));
    }
    if (!big.save(dir.file(QStringLiteral("/attachment/picture/big.jpg")), "JPG", 90))
        return;
    TemplateModel t = TestSupport::blankLabel(QStringLiteral("大背景"));
    t.printWidth = 240;
    t.printHeight = 310;
    t.backLength = 20;
    t.background = QStringLiteral("out:big.jpg");
    JsonUtil::saveTemplate(t, false);

    QElapsedTimer timer;
    timer.start();
    TemplateDialog editor(t.name);
    const double openMs = timer.nsecsElapsed() / 1e6;
    auto *spine = editor.findChild<QSpinBox *>(QStringLiteral("edit_back_length"));
    QVector<double> times;
    for (int i = 0; i < EDITS; ++i) {
        spine->setValue(20 + (i % 5) * 10);
        timer.start();
        emit spine->editingFinished();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    out << "20-megapixel background: open " << openMs << " ms; spine edit median " << median(times) << " ms, max "
        << *std::max_element(times.begin(), times.end()) << " ms; decoded " << editor.backgroundPicture().decodeCount()
        << " time(s) over " << EDITS << " edits" << (editor.backgroundPicture().isPlain() ? " (plain face!)" : "")
        << '\n';
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSupport::TempProgramDir dir;
    Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508.0, 285.75)}; });
    FileUtil::checkCustomDir();
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    dragRepaint(out);
    spineEdits(out, dir);
    return 0;
}
