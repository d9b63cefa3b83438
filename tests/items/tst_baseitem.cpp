#include "items/baseitem.h"

#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QtTest>

namespace {

// A minimal element: shows the selection frame when selected, nothing else,
// and opens the protected interaction to the tests.
class ProbeItem : public BaseItem
{
public:
    int type() const override { return UserType + 100; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *) override
    {
        if (option->state & QStyle::State_Selected)
            drawSelectRect(painter);
    }

    using BaseItem::hoverEnterEvent;
    using BaseItem::hoverLeaveEvent;
    using BaseItem::hoverMoveEvent;
    using BaseItem::mouseMoveEvent;
    using BaseItem::mousePressEvent;
    using BaseItem::mouseReleaseEvent;

    E_MouseHandle handle() const { return currentHandle; }
    void forceHandle(E_MouseHandle h) { currentHandle = h; }
    QRectF pressed() const { return pressRect; }
    bool isHovered() const { return hovered; }
    int handleCount() const { return handles.size(); }
    QRectF handleArea(E_MouseHandle h) const { return handles.value(h); }

    void hoverAt(const QPointF &p)
    {
        QGraphicsSceneHoverEvent e(QEvent::GraphicsSceneHoverMove);
        e.setPos(p);
        hoverMoveEvent(&e);
    }
    void press(const QPointF &p) { mouse(QEvent::GraphicsSceneMousePress, p, Qt::LeftButton, Qt::LeftButton); }
    void dragTo(const QPointF &p, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        mouse(QEvent::GraphicsSceneMouseMove, p, Qt::NoButton, buttons);
    }
    void release(const QPointF &p) { mouse(QEvent::GraphicsSceneMouseRelease, p, Qt::LeftButton, Qt::NoButton); }

private:
    void mouse(QEvent::Type type, const QPointF &p, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QGraphicsSceneMouseEvent e(type);
        e.setPos(p);
        e.setScenePos(mapToScene(p));
        e.setButton(button);
        e.setButtons(buttons);
        if (type == QEvent::GraphicsSceneMousePress)
            mousePressEvent(&e);
        else if (type == QEvent::GraphicsSceneMouseMove)
            mouseMoveEvent(&e);
        else
            mouseReleaseEvent(&e);
    }
};

// A selected, hovered 100 × 60 item in a scene, ready for a handle drag.
struct HandleFixture {
    QGraphicsScene scene{0, 0, 500, 500};
    ProbeItem *item = new ProbeItem;
    HandleFixture(int penWidth = 1)
    {
        scene.addItem(item);
        item->setRect(0, 0, 100, 60);
        item->setPen(QPen(Qt::black, penWidth));
        item->setSelected(true);
        QGraphicsSceneHoverEvent enter(QEvent::GraphicsSceneHoverEnter);
        item->hoverEnterEvent(&enter);
    }
};

bool isRed(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100;
}

int redPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += isRed(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// Renders the scene area (-20, -20, 160, 120) onto white.
QImage renderScene(QGraphicsScene &scene)
{
    QImage image(160, 120, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(0, 0, 160, 120), QRectF(-20, -20, 160, 120));
    painter.end();
    return image;
}

} // namespace

class TestBaseItem : public QObject
{
    Q_OBJECT

private slots:
    void freshItem()
    {
        ProbeItem item;
        QCOMPARE(item.boundingRect(), QRectF(0, 0, 0, 0));
        QCOMPARE(int(item.flags()), 0x10007);
        QVERIFY(item.acceptHoverEvents());
        QCOMPARE(item.handleCount(), 0);
        QCOMPARE(item.GetMouseHandle(QPointF(0, 0)), BaseItem::HandleNone);
        QCOMPARE(item.getPenWidth(), 1);
        QVERIFY(!item.getLockState());
        QCOMPARE(item.getElementScaleX(), 1.0f);
        QCOMPARE(item.getElementScaleY(), 1.0f);
        QVERIFY(item.parent() == nullptr);

        item.setElementScaleX(0.5f);
        item.setElementScaleY(2.0f);
        QCOMPARE(item.getElementScaleX(), 0.5f);
        QCOMPARE(item.getElementScaleY(), 2.0f);
        item.setElementScale(0.25f, 4.0f);
        QCOMPARE(item.getElementScaleX(), 0.25f);
        QCOMPARE(item.getElementScaleY(), 4.0f);
        item.setPen(QPen(Qt::black, 3));
        QCOMPARE(item.getPenWidth(), 3);
    }

    void lockStateSwitchesFlags()
    {
        ProbeItem item;
        item.setLockState(true);
        QVERIFY(item.getLockState());
        QCOMPARE(int(item.flags()), 6);
        item.setLockState(false);
        QVERIFY(!item.getLockState());
        QCOMPARE(int(item.flags()), 0x10007);
    }

    void handleAreas()
    {
        ProbeItem item;
        item.setRect(0, 0, 100, 60);
        QCOMPARE(item.handleCount(), 8);
        QCOMPARE(item.handleArea(BaseItem::HandleBottomRight), QRectF(85, 45, 15, 15));
        QCOMPARE(item.handleArea(BaseItem::HandleBottom), QRectF(42.5, 45, 15, 15));
        QCOMPARE(item.handleArea(BaseItem::HandleRight), QRectF(85, 22.5, 15, 15));
        for (auto h : {BaseItem::HandleTopLeft, BaseItem::HandleTopRight, BaseItem::HandleBottomLeft,
                       BaseItem::HandleTop, BaseItem::HandleLeft})
            QCOMPARE(item.handleArea(h), QRectF(0, 0, 0, 0));

        QCOMPARE(item.GetMouseHandle(QPointF(99, 59)), BaseItem::HandleBottomRight);
        QCOMPARE(item.GetMouseHandle(QPointF(50, 59)), BaseItem::HandleBottom);
        QCOMPARE(item.GetMouseHandle(QPointF(99, 30)), BaseItem::HandleRight);
        QCOMPARE(item.GetMouseHandle(QPointF(0, 0)), BaseItem::HandleNone);
        QCOMPARE(item.GetMouseHandle(QPointF(1, 1)), BaseItem::HandleNone);
        QCOMPARE(item.GetMouseHandle(QPointF(50, 30)), BaseItem::HandleNone);

        // Narrow items: overlapping areas resolve in one fixed order.
        item.setRect(0, 0, 20, 60);
        QCOMPARE(item.GetMouseHandle(QPointF(10, 59)), BaseItem::HandleBottomRight);
        QCOMPARE(item.GetMouseHandle(QPointF(3, 59)), BaseItem::HandleBottom);
        item.setRect(0, 0, 200, 2);
        QCOMPARE(item.GetMouseHandle(QPointF(190, 1)), BaseItem::HandleBottomRight);
        QCOMPARE(item.GetMouseHandle(QPointF(100, 1)), BaseItem::HandleBottom);
    }

    void hoverSetsHandleAndCursor()
    {
        HandleFixture f;
        ProbeItem *item = f.item;
        item->hoverAt(QPointF(50, 58));
        QCOMPARE(item->handle(), BaseItem::HandleBottom);
        QCOMPARE(item->cursor().shape(), Qt::SizeVerCursor);
        item->hoverAt(QPointF(98, 30));
        QCOMPARE(item->handle(), BaseItem::HandleRight);
        QCOMPARE(item->cursor().shape(), Qt::SizeHorCursor);
        item->hoverAt(QPointF(98, 58));
        QCOMPARE(item->handle(), BaseItem::HandleBottomRight);
        QCOMPARE(item->cursor().shape(), Qt::SizeFDiagCursor);
        // Only three handles exist: the top-left corner is plain.
        item->hoverAt(QPointF(1, 1));
        QCOMPARE(item->handle(), BaseItem::HandleNone);
        QCOMPARE(item->cursor().shape(), Qt::ArrowCursor);

        // Leaving resets everything.
        item->hoverAt(QPointF(98, 58));
        QGraphicsSceneHoverEvent leave(QEvent::GraphicsSceneHoverLeave);
        item->hoverLeaveEvent(&leave);
        QCOMPARE(item->handle(), BaseItem::HandleNone);
        QCOMPARE(item->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!item->isHovered());
        // Not hovered any more: moves are ignored.
        item->hoverAt(QPointF(98, 58));
        QCOMPARE(item->handle(), BaseItem::HandleNone);
    }

    void hoverIgnoredWhenLockedUnselectedOrAdding_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::newRow("locked") << "locked";
        QTest::newRow("unselected") << "unselected";
        QTest::newRow("adding") << "adding";
    }

    void hoverIgnoredWhenLockedUnselectedOrAdding()
    {
        QFETCH(QString, condition);
        HandleFixture f;
        ProbeItem *item = f.item;
        item->hoverAt(QPointF(50, 58));
        QCOMPARE(item->handle(), BaseItem::HandleBottom);
        if (condition == "locked")
            item->setLockState(true);
        else if (condition == "unselected")
            item->setSelected(false);
        else
            f.scene.setProperty("OPT_ADD", true);
        item->hoverAt(QPointF(98, 30));
        QCOMPARE(item->handle(), BaseItem::HandleBottom);
        QCOMPARE(item->cursor().shape(), Qt::SizeVerCursor);
        item->hoverAt(QPointF(1, 1));
        QCOMPARE(item->handle(), BaseItem::HandleBottom);

        if (condition == "adding") {
            f.scene.setProperty("OPT_ADD", false);
            item->hoverAt(QPointF(98, 30));
            QCOMPARE(item->handle(), BaseItem::HandleRight);
        }
    }

    void bottomHandleDragMeasuresFromPressRect()
    {
        HandleFixture f(2);
        ProbeItem *item = f.item;
        item->hoverAt(QPointF(50, 58));
        item->press(QPointF(50, 58));
        QCOMPARE(item->pressed(), QRectF(-1, -1, 102, 62));

        item->dragTo(QPointF(50, 11.5)); // 12.5 from the press rectangle's top
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 100, 11.5));
        item->dragTo(QPointF(50, 10.9)); // refused, the last accepted size stays
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 100, 11.5));
        item->dragTo(QPointF(50, 11)); // exactly 12: refused too
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 100, 11.5));
        item->dragTo(QPointF(300, 80)); // follows the pointer again; width kept
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 100, 80));
        // Handle areas follow the new size.
        QCOMPARE(item->GetMouseHandle(QPointF(99, 79)), BaseItem::HandleBottomRight);
        item->release(QPointF(300, 80));
        QVERIFY(item->isSelected());
        QCOMPARE(item->pos(), QPointF(0, 0));
    }

    void rightAndCornerHandles()
    {
        HandleFixture f(2);
        ProbeItem *item = f.item;
        item->hoverAt(QPointF(98, 30));
        item->press(QPointF(98, 30));
        item->dragTo(QPointF(11.5, 500));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 11.5, 60));
        item->dragTo(QPointF(10, 0));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 11.5, 60));
        item->dragTo(QPointF(150, 0));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 150, 60));
        item->release(QPointF(150, 0));

        item->hoverAt(QPointF(148, 58));
        QCOMPARE(item->handle(), BaseItem::HandleBottomRight);
        item->press(QPointF(148, 58));
        item->dragTo(QPointF(40, 5)); // height too small: both refused
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 150, 60));
        item->dragTo(QPointF(40, 30));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 40, 30));
        QCOMPARE(item->boundingRect().topLeft(), QPointF(0, 0));
        QCOMPARE(item->pos(), QPointF(0, 0));
    }

    void dragWithoutHandleMovesOnlySelected()
    {
        HandleFixture f;
        ProbeItem *item = f.item;
        // With another button held the move is a plain drag, never a resize.
        item->forceHandle(BaseItem::HandleBottom);
        item->dragTo(QPointF(50, 20), Qt::LeftButton | Qt::RightButton);
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 100, 60));
    }

    void lockedItemDoesNotResize()
    {
        HandleFixture f;
        ProbeItem *item = f.item;
        item->setLockState(true);
        item->forceHandle(BaseItem::HandleBottomRight);
        item->resizeRect(QPointF(300, 300));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 100, 60));
        item->setLockState(false);
        item->resizeRect(QPointF(300, 300));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 300, 300));
        item->forceHandle(BaseItem::HandleNone);
        item->resizeRect(QPointF(30, 30));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 300, 300));
    }

    void clampingIntoSceneRect()
    {
        QGraphicsScene scene(0, 0, 100, 100);
        auto *item = new ProbeItem;
        scene.addItem(item);
        item->setRect(0, 0, 10, 10);
        item->setPos(50, 90);
        QCOMPARE(item->pos(), QPointF(50, 90));
        // An item on the bottom edge stays where it is when its rectangle is set.
        item->setRect(QRectF(0, 0, 10, 10));
        QCOMPARE(item->pos(), QPointF(50, 90));
        item->setPos(95, -20);
        QCOMPARE(item->pos(), QPointF(90, 0));
        item->setPos(40, 50);
        QCOMPARE(item->pos(), QPointF(40, 50));
        // Growing an element pulls it back inside with its new size.
        item->setPos(90, 90);
        item->setRect(QRectF(0, 0, 20, 30));
        QCOMPARE(item->pos(), QPointF(80, 70));
        // The integer overload never moves the element.
        item->setRect(0, 0, 50, 50);
        QCOMPARE(item->pos(), QPointF(80, 70));
    }

    void clampingRotatedAndOversized()
    {
        QGraphicsScene scene(0, 0, 100, 100);
        auto *item = new ProbeItem;
        scene.addItem(item);
        item->setRect(0, 0, 30, 10);
        item->setRotation(90);
        item->setPos(200, 200);
        QCOMPARE(item->pos(), QPointF(90, 70));
        item->setPos(-5, -5);
        QCOMPARE(item->pos(), QPointF(0, 0));
        item->setRotation(180.7); // truncated to 180: no swap
        item->setPos(200, 200);
        QCOMPARE(item->pos(), QPointF(70, 90));

        item->setRotation(0);
        item->setRect(0, 0, 150, 10);
        item->setPos(-20, 30);
        QCOMPARE(item->pos(), QPointF(-20, 30));
        item->setPos(10, 30);
        QCOMPARE(item->pos(), QPointF(-50, 30));
        item->setPos(-80, 30);
        QCOMPARE(item->pos(), QPointF(-50, 30));
    }

    void unflaggedItemsAreNotClamped()
    {
        QGraphicsScene scene(0, 0, 100, 100);
        auto *item = new ProbeItem;
        scene.addItem(item);
        item->setRect(0, 0, 10, 10);
        item->setFlags(QGraphicsItem::ItemIsMovable | QGraphicsItem::ItemIsSelectable);
        item->setPos(300, -40);
        QCOMPARE(item->pos(), QPointF(300, -40));
        item->setRect(QRectF(0, 0, 20, 20));
        QCOMPARE(item->pos(), QPointF(300, -40));
        item->setFlags({});
        item->setPos(-300, 40);
        item->setRect(QRectF(0, 0, 10, 10));
        QCOMPARE(item->pos(), QPointF(-300, 40));
        // Locking restores the reporting flag only when unlocked again.
        item->setLockState(true);
        item->setPos(500, 500);
        QCOMPARE(item->pos(), QPointF(500, 500));
        item->setLockState(false);
        item->setPos(400, 400);
        QCOMPARE(item->pos(), QPointF(90, 90));
    }

    void growingSceneRectOfEditorScene()
    {
        // Without a scene rectangle of its own the scene clamps to the
        // bounding rectangle of all its items, background included.
        QGraphicsScene scene;
        scene.addRect(0, 0, 200, 100, QPen(Qt::NoPen));
        auto *item = new ProbeItem;
        item->setRect(0, 0, 20, 20);
        scene.addItem(item);
        item->setPos(190, 95);
        QCOMPARE(item->pos(), QPointF(180, 80));
    }

    void sceneIndexFollowsNewSize()
    {
        // The scene must hear of every size change, or it keeps finding the
        // item by its old rectangle.
        QGraphicsScene scene(0, 0, 500, 500);
        auto *item = new ProbeItem;
        scene.addItem(item);
        item->setRect(0, 0, 10, 10);
        QCOMPARE(scene.items(QPointF(5, 5)).size(), 1);
        QVERIFY(scene.items(QPointF(150, 150)).isEmpty());
        item->setRect(0, 0, 200, 200);
        QCOMPARE(scene.items(QPointF(150, 150)).size(), 1);
        item->setRect(QRectF(0, 0, 300, 300));
        QCOMPARE(scene.items(QPointF(250, 250)).size(), 1);
        item->setRect(QRectF(0, 0, 20, 20));
        QVERIFY(scene.items(QPointF(150, 150)).isEmpty());
    }

    void selectionFramePainting()
    {
        QGraphicsScene scene(-20, -20, 160, 120);
        auto *item = new ProbeItem;
        scene.addItem(item);
        item->setRect(0, 0, 100, 60);

        QImage plain = renderScene(scene);
        QCOMPARE(redPixels(plain, plain.rect()), 0);

        item->setSelected(true);
        QImage selected = renderScene(scene);
        // Frame along the rectangle's top edge (scene y 0 = image row 20).
        QVERIFY(redPixels(selected, QRect(40, 19, 40, 2)) > 30);
        // Markers reach 5 pixels beyond the right and bottom edges.
        const QRect beyondCorner(120 + 2, 80 + 2, 4, 4);
        const QRect beyondRight(120 + 2, 40 + 2, 4, 4);
        const QRect beyondBottom(70 + 2, 80 + 2, 4, 4);
        QVERIFY(redPixels(selected, beyondCorner) > 0);
        QVERIFY(redPixels(selected, beyondRight) > 0);
        QVERIFY(redPixels(selected, beyondBottom) > 0);
        // The interior stays unpainted.
        QCOMPARE(redPixels(selected, QRect(30, 30, 60, 30)), 0);

        item->setLockState(true);
        QImage locked = renderScene(scene);
        QVERIFY(redPixels(locked, QRect(40, 19, 40, 2)) > 30);
        QCOMPARE(redPixels(locked, beyondCorner), 0);
        QCOMPARE(redPixels(locked, beyondRight), 0);
        QCOMPARE(redPixels(locked, beyondBottom), 0);
    }

    void dragThroughViewIsClamped()
    {
        QGraphicsScene scene(0, 0, 200, 200);
        auto *item = new ProbeItem;
        item->setRect(0, 0, 40, 40);
        scene.addItem(item);
        item->setPos(20, 20);
        QGraphicsView view(&scene);
        view.setFixedSize(260, 260);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QWidget *vp = view.viewport();
        const QPoint start = view.mapFromScene(QPointF(30, 30));
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, start);
        QVERIFY(item->isSelected());
        for (int step = 1; step <= 5; ++step) {
            QMouseEvent move(QEvent::MouseMove, start + QPoint(60 * step, 60 * step),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(vp, &move);
        }
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, start + QPoint(300, 300));
        QCOMPARE(item->pos(), QPointF(160, 160));
    }
};

QTEST_MAIN(TestBaseItem)
#include "tst_baseitem.moc"
