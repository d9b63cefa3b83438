#include "items/qwgraphicsview.h"
#include "items/rectitem.h"
#include "support/testsupport.h"

#include <QGraphicsScene>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// Everything the view reports, in order, as "signal x,y" texts.
class Recorder : public QObject
{
public:
    explicit Recorder(QWGraphicsView *view)
    {
        auto point = [this](const char *name) {
            return [this, name](QPoint p) { log << QStringLiteral("%1 %2,%3").arg(QLatin1String(name)).arg(p.x()).arg(p.y()); };
        };
        connect(view, &QWGraphicsView::mouseClicked, this, point("clicked"));
        connect(view, &QWGraphicsView::mouseMovePoint, this, point("move"));
        connect(view, &QWGraphicsView::mouseRightClicked, this, point("right"));
        connect(view, &QWGraphicsView::mouseDoubleClick, this, point("double"));
        connect(view, &QWGraphicsView::mouseReleasePoint, this, point("release"));
        connect(view, &QWGraphicsView::wheelModified, this,
                [this](int delta) { log << QStringLiteral("wheel %1").arg(delta); });
        connect(view, &QWGraphicsView::keyPress, this,
                [this](QKeyEvent *e) { log << QStringLiteral("key %1").arg(e->key()); });
    }
    QStringList log;
};

struct ViewFixture {
    QGraphicsScene scene{0, 0, 2000, 2000};
    QWGraphicsView view;
    ViewFixture()
    {
        view.setScene(&scene);
        view.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.horizontalScrollBar()->setValue(0);
        view.verticalScrollBar()->setValue(0);
    }
    void wheel(int delta, Qt::KeyboardModifiers mods, bool horizontal = false)
    {
        const QPointF pos(100, 100);
        const QPoint angle = horizontal ? QPoint(delta, 0) : QPoint(0, delta);
        QWheelEvent e(pos, view.viewport()->mapToGlobal(pos.toPoint()), QPoint(), angle, Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &e);
    }
    void mouse(QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, pos, view.viewport()->mapToGlobal(pos.toPoint()), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &e);
    }
    int scroll() const { return view.verticalScrollBar()->value() + view.horizontalScrollBar()->value(); }
};

bool isGuide(QRgb c)
{
    return qRed(c) < 150 && qGreen(c) > 180 && qBlue(c) > 180;
}

int guidePixels(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += isGuide(image.pixel(x, y)) ? 1 : 0;
    return n;
}

} // namespace

class TestQWGraphicsView : public QObject
{
    Q_OBJECT

private slots:
    void construction()
    {
        QWGraphicsView view;
        QVERIFY(view.zoomEnabled);
        QVERIFY(view.renderHints() & QPainter::Antialiasing);
        QVERIFY(view.renderHints() & QPainter::SmoothPixmapTransform);
        QCOMPARE(view.styleSheet(), QStringLiteral("padding:0px;border:0px"));
    }

    void ctrlWheelZooms()
    {
        ViewFixture f;
        Recorder r(&f.view);
        f.wheel(120, Qt::ControlModifier);
        QCOMPARE(f.view.transform().m11(), double(1.1f));
        QCOMPARE(f.view.transform().m22(), double(1.1f));
        QCOMPARE(f.view.transformationAnchor(), QGraphicsView::AnchorViewCenter);
        f.wheel(-120, Qt::ControlModifier);
        // Single-precision factors: in and out again is not quite 1.
        QVERIFY(qAbs(f.view.transform().m11() - 0.9899999952316278) < 1e-15);
        f.wheel(0, Qt::ControlModifier); // no delta zooms out
        QVERIFY(qAbs(f.view.transform().m11() - 0.9899999952316278 * double(0.9f)) < 1e-15);
        QCOMPARE(r.log, QStringList({"wheel 0", "wheel 0", "wheel 0"}));
    }

    void disabledZoomSwallowsCtrlWheel()
    {
        ViewFixture f;
        f.view.zoomEnabled = false;
        Recorder r(&f.view);
        f.view.verticalScrollBar()->setValue(300);
        const int before = f.scroll();
        f.wheel(-120, Qt::ControlModifier);
        f.wheel(120, Qt::ControlModifier);
        QCOMPARE(f.view.transform(), QTransform());
        QCOMPARE(f.scroll(), before);
        QVERIFY(r.log.isEmpty());
    }

    void otherModifiersOnlyScroll()
    {
        ViewFixture f;
        Recorder r(&f.view);
        f.wheel(-120, Qt::ControlModifier | Qt::ShiftModifier);
        f.wheel(-120, Qt::NoModifier);
        QCOMPARE(f.view.transform(), QTransform());
        QVERIFY(r.log.isEmpty());
        QVERIFY(f.scroll() > 0);
    }

    void altWheelReportsDelta()
    {
        ViewFixture f;
        Recorder r(&f.view);
        f.wheel(120, Qt::AltModifier);
        f.wheel(-240, Qt::AltModifier);
        // Some platforms turn Alt and the wheel into horizontal turns.
        f.wheel(-120, Qt::AltModifier, true);
        QCOMPARE(r.log, QStringList({"wheel 120", "wheel -240", "wheel -120"}));
        QCOMPARE(f.view.transform(), QTransform());
    }

    void pressMoveReleaseSignals()
    {
        ViewFixture f;
        f.view.viewport()->setMouseTracking(true);
        Recorder r(&f.view);
        f.mouse(QEvent::MouseButtonPress, QPointF(10, 20), Qt::LeftButton, Qt::LeftButton);
        f.mouse(QEvent::MouseMove, QPointF(15, 25), Qt::NoButton, Qt::LeftButton);
        f.mouse(QEvent::MouseButtonRelease, QPointF(10.5, 3.49), Qt::LeftButton, Qt::NoButton);
        f.mouse(QEvent::MouseMove, QPointF(40, 41), Qt::NoButton, Qt::NoButton);
        QCOMPARE(r.log, QStringList({"clicked 10,20", "move 15,25", "release 11,3", "move 40,41"}));
    }

    void rightButtonSignals()
    {
        ViewFixture f;
        Recorder r(&f.view);
        f.mouse(QEvent::MouseButtonPress, QPointF(30, 30), Qt::RightButton, Qt::RightButton);
        QVERIFY(r.log.isEmpty());
        f.mouse(QEvent::MouseButtonRelease, QPointF(31, 32), Qt::RightButton, Qt::NoButton);
        QCOMPARE(r.log, QStringList({"right 31,32"}));

        // A right release while the left button is held ends the left press.
        r.log.clear();
        f.mouse(QEvent::MouseButtonPress, QPointF(5, 6), Qt::LeftButton, Qt::LeftButton);
        f.mouse(QEvent::MouseButtonPress, QPointF(5, 6), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        f.mouse(QEvent::MouseButtonRelease, QPointF(7, 8), Qt::RightButton, Qt::LeftButton);
        f.mouse(QEvent::MouseButtonRelease, QPointF(9, 9), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(r.log, QStringList({"clicked 5,6", "release 7,8", "right 7,8"}));
    }

    void doubleClickAndKeys()
    {
        ViewFixture f;
        Recorder r(&f.view);
        f.mouse(QEvent::MouseButtonDblClick, QPointF(12, 13), Qt::LeftButton, Qt::LeftButton);
        f.mouse(QEvent::MouseButtonDblClick, QPointF(12, 13), Qt::RightButton, Qt::RightButton);
        QTest::keyClick(&f.view, Qt::Key_Delete);
        QTest::keyClick(&f.view, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(r.log, QStringList({"double 12,13", QString("key %1").arg(Qt::Key_Delete),
                                     QString("key %1").arg(Qt::Key_Control), QString("key %1").arg(Qt::Key_B)}));
    }

    void keySignalComesBeforeScrolling()
    {
        ViewFixture f;
        int scrollWhenReported = -1;
        connect(&f.view, &QWGraphicsView::keyPress, this,
                [&](QKeyEvent *) { scrollWhenReported = f.view.verticalScrollBar()->value(); });
        QTest::keyClick(&f.view, Qt::Key_PageDown);
        QCOMPARE(scrollWhenReported, 0);
        QVERIFY(f.view.verticalScrollBar()->value() > 0);
    }

    void pressSignalFollowsSceneSelection()
    {
        ViewFixture f;
        auto *item = new RectItem;
        item->setRect(0, 0, 50, 50);
        item->setPos(20, 20);
        f.scene.addItem(item);
        bool selectedWhenClicked = false;
        bool selectedWhenReleased = true;
        connect(&f.view, &QWGraphicsView::mouseClicked, this,
                [&] { selectedWhenClicked = item->isSelected(); });
        connect(&f.view, &QWGraphicsView::mouseReleasePoint, this, [&] {
            // The scene has not seen the release yet: the press still grabs.
            selectedWhenReleased = f.scene.mouseGrabberItem() == item;
        });
        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
        QVERIFY(selectedWhenClicked);
        QVERIFY(selectedWhenReleased);
    }

    void guidesToSelectedItems()
    {
        ViewFixture f;
        f.view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        f.view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto *item = new RectItem;
        item->setRect(0, 0, 100, 50);
        item->setPos(20, 10);
        f.scene.addItem(item);
        QCOMPARE(f.view.mapFromScene(QPointF(0, 0)), QPoint(0, 0));

        QImage plain = f.view.viewport()->grab().toImage();
        QCOMPARE(guidePixels(plain, plain.rect()), 0);

        item->setSelected(true);
        QImage guided = f.view.viewport()->grab().toImage();
        // (0, 10) to (20, 10), (20, 0) to (20, 10), (119, 0) to (119, 10), (0, 59) to (20, 59).
        QVERIFY(guidePixels(guided, QRect(0, 9, 17, 3)) > 4);
        QVERIFY(guidePixels(guided, QRect(19, 0, 3, 8)) > 2);
        QVERIFY(guidePixels(guided, QRect(118, 0, 3, 8)) > 2);
        QVERIFY(guidePixels(guided, QRect(0, 58, 17, 3)) > 4);
        // Nothing between the guides or beyond the item.
        QCOMPARE(guidePixels(guided, QRect(0, 20, 16, 30)), 0);
        QCOMPARE(guidePixels(guided, QRect(30, 0, 80, 8)), 0);
        QCOMPARE(guidePixels(guided, QRect(130, 0, 100, 200)), 0);
        QCOMPARE(guidePixels(guided, QRect(0, 70, 300, 130)), 0);
    }

    void viewportRepaintsContinuously()
    {
        ViewFixture f;
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                paints += e->type() == QEvent::Paint ? 1 : 0;
                return false;
            }
        } counter;
        f.view.viewport()->installEventFilter(&counter);
        QTRY_VERIFY2(counter.paints >= 3, qPrintable(QString::number(counter.paints)));
    }
};

QTEST_MAIN(TestQWGraphicsView)
#include "tst_qwgraphicsview.moc"
