// Figures of the template editor at a 96 dpi screen:
//  - a full repaint of the "档案袋" template while an element is dragged,
//    unzoomed and zoomed out (warm, milliseconds per paint; the goal is
//    under 16 ms);
//  - a mouse move that drags a text of "档案袋" through the document (the
//    edit in millimetres, the item following it and the page refilled),
//    against a move that only hovers over the canvas;
//  - a spine width edit on a template with a 20-megapixel custom background,
//    which must decode the picture once, not on every edit;
//  - opening, a width edit and a repaint of a label at the boxes' largest
//    size (9,999 x 9,999 mm, some 37,800 pixels a side), plain and with a
//    built-in background, with the peak memory each takes.
// Build in Release for meaningful figures.

#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "util/jsonutil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QRandomGenerator>
#include <QTest>
#include <QTextStream>

#include <functional>

namespace {

void dragRepaint(QTextStream &out, TestSupport::EditorGround &ground, qreal zoom)
{
    TemplateDialog &editor = ground.open(QStringLiteral("档案袋"));
    editor.resize(1600, 1000);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return;
    editor.view()->scale(zoom, zoom);
    QGraphicsItem *dragged = editor.scene()->items(Qt::DescendingOrder).first();
    dragged->setSelected(true);
    QWidget *viewport = editor.view()->viewport();
    int step = 0;
    const auto paint = [&] {
        dragged->moveBy(++step % 2 ? -3 : 3, 1);
        viewport->repaint();
    };
    TestSupport::medianMs(paint, 10);
    out << QStringLiteral("drag repaint of 档案袋 at zoom ") << zoom << " (" << viewport->width() << " x "
        << viewport->height() << " px, "
        << editor.scene()->items().size() << " items): median " << TestSupport::medianMs(paint, 200)
        << " ms per paint\n";
}

void mouseDrag(QTextStream &out, TestSupport::EditorGround &ground)
{
    TemplateDialog &editor = ground.open(QStringLiteral("档案袋"), true);
    const QStringList ids = editor.document().elementIds();
    const QPointF from = ground.item(ids.last())->sceneBoundingRect().center();
    constexpr int MOVES = 200;
    const auto moves = [&](bool pressed) {
        return [&, pressed] {
            if (pressed)
                ground.mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
            for (int i = 0; i < MOVES; ++i)
                ground.mouse(QEvent::MouseMove, from + QPointF(i % 40, i % 30), pressed ? Qt::LeftButton : Qt::NoButton);
            if (pressed)
                ground.mouse(QEvent::MouseButtonRelease, from);
        };
    };
    editor.scene()->clearSelection();
    const double hover = TestSupport::medianMs(moves(false), 9) / MOVES;
    const double drag = TestSupport::medianMs(moves(true), 9) / MOVES;
    out << QStringLiteral("mouse move over 档案袋: hovering ") << hover << " ms, dragging a text through the document " << drag
        << " ms (" << drag / hover << " times)\n";
}

void spineEdits(QTextStream &out, TestSupport::EditorGround &ground)
{
    // A camera-sized picture with detail everywhere, so the decoder has real work.
    QImage big(5472, 3648, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < big.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x)
            line[x] = qRgb((x / 7) & 0xFF, (y / 5) & 0xFF, int(random.bounded(256)));
    }
    if (!big.save(ground.picture(QStringLiteral("big.jpg")), "JPG", 90))
        return;
    TemplateModel t = TestSupport::blankLabel(QStringLiteral("大背景"));
    t.printWidth = 240;
    t.printHeight = 310;
    t.backLength = 20;
    t.background = QStringLiteral("out:big.jpg");
    JsonUtil::saveTemplate(t, false);
    QElapsedTimer timer;
    timer.start();
    const TemplateDialog &editor = ground.open(t.name);
    const double openMs = timer.nsecsElapsed() / 1e6;
    constexpr int EDITS = 20;
    int edit = 0;
    const auto spineEdit = [&] { ground.edit("edit_back_length", 20 + (edit++ % 5) * 10); };
    const double editMs = TestSupport::medianMs(spineEdit, EDITS);
    out << "20-megapixel background: open " << openMs << " ms; spine edit median " << editMs << " ms; decoded "
        << editor.backgroundPicture().decodeCount() << " time(s) over " << EDITS << " edits"
        << (editor.backgroundPicture().isPlain() ? " (plain face!)" : "") << '\n';
}

// The process's peak memory while work runs, in MiB.
qint64 peakMib(const std::function<void()> &work)
{
    TestSupport::resetPeakMemory();
    work();
    return TestSupport::processStatusKb("VmHWM:") / 1024;
}

void largestLabel(QTextStream &out, TestSupport::EditorGround &ground, const QString &background)
{
    TemplateModel t = TestSupport::blankLabel(QStringLiteral("最大标签"));
    t.printWidth = 9999;
    t.printHeight = 9999;
    t.background = background;
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(9900, 9900, 20, 20);
    JsonUtil::saveTemplate(t, false);
    ground.editor.reset();
    const qint64 before = TestSupport::processStatusKb("VmRSS:") / 1024;
    double openMs = 0;
    const qint64 openPeak = peakMib([&] {
        QElapsedTimer timer;
        timer.start();
        ground.open(t.name);
        openMs = timer.nsecsElapsed() / 1e6;
    });
    int edit = 0;
    double editMs = 0;
    const qint64 editPeak = peakMib([&] {
        editMs = TestSupport::medianMs([&] { ground.edit("edit_print_width", 9999 - (++edit % 2)); }, 5);
    });
    TemplateDialog &editor = *ground.editor;
    editor.resize(1600, 1000);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return;
    QWidget *viewport = editor.view()->viewport();
    double paintMs = 0;
    const qint64 paintPeak = peakMib([&] { paintMs = TestSupport::medianMs([&] { viewport->repaint(); }, 20); });
    out << "9,999 x 9,999 mm label (" << editor.scene()->sceneRect().width() << " px a side), "
        << (background.isEmpty() ? QStringLiteral("plain face") : background) << ", process at " << before
        << " MiB before: open " << openMs << " ms (peak " << openPeak << " MiB); width edit median " << editMs
        << " ms (peak " << editPeak << " MiB); repaint median " << paintMs << " ms (peak " << paintPeak << " MiB)\n";
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSupport::EditorGround ground;
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    dragRepaint(out, ground, 1);
    dragRepaint(out, ground, 0.59); // five wheel steps out
    mouseDrag(out, ground);
    spineEdits(out, ground);
    largestLabel(out, ground, QString());
    largestLabel(out, ground, QStringLiteral("kuaiji_da.jpg"));
    return 0;
}
