#include "items/doublerectitem.h"
#include "items/ellipseitem.h"
#include "items/lineitem.h"
#include "items/pixmapitem.h"
#include "items/rectitem.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <limits>
#include <memory>

namespace {

constexpr int ORIGIN = 10; // image pixel of the item's origin

// Renders one item, placed at the scene origin, into a white image whose
// pixel (ORIGIN, ORIGIN) is the item's origin; pixel(x, y) below takes item
// coordinates.
class Rendered
{
public:
    Rendered(BaseItem *item, bool selected, QSize size = QSize(140, 100))
    {
        QGraphicsScene scene;
        scene.addItem(item);
        item->setSelected(selected);
        m_image = QImage(size, QImage::Format_ARGB32);
        m_image.fill(Qt::white);
        QPainter painter(&m_image);
        const QRectF area(-ORIGIN, -ORIGIN, size.width(), size.height());
        scene.render(&painter, QRectF(QPointF(0, 0), size), area);
        painter.end();
        scene.removeItem(item);
    }
    QRgb pixel(int x, int y) const { return m_image.pixel(x + ORIGIN, y + ORIGIN); }
    bool dark(int x, int y) const { return qGray(pixel(x, y)) < 100 && !red(x, y); }
    bool light(int x, int y) const { return qGray(pixel(x, y)) > 220; }
    bool red(int x, int y) const
    {
        const QRgb c = pixel(x, y);
        return qRed(c) > 150 && qGreen(c) < 110 && qBlue(c) < 110;
    }
    int count(bool (Rendered::*test)(int, int) const) const
    {
        int n = 0;
        for (int y = -ORIGIN; y < m_image.height() - ORIGIN; ++y)
            for (int x = -ORIGIN; x < m_image.width() - ORIGIN; ++x)
                n += (this->*test)(x, y) ? 1 : 0;
        return n;
    }
    int blackPixels() const
    {
        int n = 0;
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x) {
                const QRgb c = m_image.pixel(x, y);
                n += (qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80) ? 1 : 0;
            }
        return n;
    }
    // Runs of dark pixels along one row, as "from-to" texts.
    QStringList darkRuns(int y, int from, int to) const
    {
        QStringList runs;
        int start = std::numeric_limits<int>::min();
        for (int x = from; x <= to + 1; ++x) {
            const bool d = x <= to && dark(x, y);
            if (d && start == std::numeric_limits<int>::min())
                start = x;
            if (!d && start != std::numeric_limits<int>::min()) {
                runs << QStringLiteral("%1-%2").arg(start).arg(x - 1);
                start = std::numeric_limits<int>::min();
            }
        }
        return runs;
    }

private:
    QImage m_image;
};

template <typename T>
std::unique_ptr<T> makeItem(const QRectF &rect, int penWidth = 1)
{
    auto item = std::make_unique<T>();
    item->setRect(int(rect.x()), int(rect.y()), int(rect.width()), int(rect.height()));
    if (rect != item->boundingRect())
        item->setRect(rect);
    item->setPen(QPen(Qt::black, penWidth));
    return item;
}

QPixmap solidPixmap(QSize size, QColor color)
{
    QPixmap p(size);
    p.fill(color);
    return p;
}

} // namespace

class TestShapeItems : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        TextUtil::SCREEN_DPI = 0.0f;
        Seams::resetAll();
    }

    void typesAndFlags()
    {
        RectItem rect;
        LineItem line;
        EllipseItem ellipse;
        PixmapItem pixmap;
        DoubleRectItem doubleRect;
        QCOMPARE(rect.type(), 65538);
        QCOMPARE(line.type(), 65539);
        QCOMPARE(ellipse.type(), 65540);
        QCOMPARE(pixmap.type(), 65541);
        QCOMPARE(doubleRect.type(), 65542);
        for (BaseItem *item : std::initializer_list<BaseItem *>{&rect, &line, &ellipse, &pixmap, &doubleRect}) {
            QCOMPARE(int(item->flags()), 0x10007);
            QVERIFY(item->acceptHoverEvents());
            QCOMPARE(item->boundingRect(), QRectF());
        }
        QVERIFY(pixmap.getPixmap().isNull());
    }

    void rectangleBorderLiesInside()
    {
        auto thick = makeItem<RectItem>(QRectF(0, 0, 50, 30), 3);
        Rendered t(thick.get(), false);
        // A 3-pixel pen on (1, 1, 48, 28) covers -0.5 to 2.5 and 47.5 to 50.5.
        QCOMPARE(t.darkRuns(15, -5, 55), QStringList({"0-1", "48-49"}));
        QVERIFY(t.light(25, 15));
        QVERIFY(t.dark(25, 0) && t.dark(25, 1) && t.light(25, 3));
        QVERIFY(t.dark(25, 28) && t.light(25, 26));

        auto thin = makeItem<RectItem>(QRectF(0, 0, 50, 30), 1);
        Rendered n(thin.get(), false);
        QVERIFY(qGray(n.pixel(0, 15)) < 200);
        QVERIFY(n.light(1, 15));
        QVERIFY(n.light(48, 15));
        QVERIFY(qGray(n.pixel(49, 15)) < 200);
    }

    void selectedRectangleShowsOnlyTheFrame()
    {
        auto item = makeItem<RectItem>(QRectF(0, 0, 50, 30), 3);
        Rendered r(item.get(), true);
        QCOMPARE(r.blackPixels(), 0);
        QVERIFY(r.red(25, 0));
        QVERIFY(r.red(54, 33)); // bottom-right marker, its last column at 4
        QVERIFY(r.light(56, 33));
        QVERIFY(r.light(25, 15));
    }

    void lineIsATruncatedBar()
    {
        auto item = makeItem<LineItem>(QRectF(0, 0, 10.7, 2.9), 1);
        Rendered r(item.get(), false);
        QVERIFY(r.dark(5, 0) && r.dark(5, 1));
        QVERIFY(r.dark(0, 1) && r.dark(9, 1));
        QVERIFY(r.light(11, 1));
        QVERIFY(r.light(5, 3));
        QVERIFY(r.light(12, 4));

        Rendered s(item.get(), true);
        QVERIFY(s.dark(5, 1));
        QVERIFY(s.red(5, -3)); // the bottom marker's top edge
        // Markers are filled black inside their red outlines.
        QVERIFY(s.dark(12, 4));
        QVERIFY(s.red(15, 6) || s.red(16, 6));
    }

    void ellipseInsideItsBorder()
    {
        auto item = makeItem<EllipseItem>(QRectF(0, 0, 60, 40), 2);
        Rendered r(item.get(), false);
        // Inscribed in (1, 1, 58, 38): extremes at x 1 and 59, y 1 and 39.
        QVERIFY(r.dark(0, 20) || r.dark(1, 20));
        QVERIFY(r.dark(58, 20) || r.dark(59, 20));
        QVERIFY(r.dark(30, 0) || r.dark(30, 1));
        QVERIFY(r.light(30, 20)); // not filled
        QVERIFY(r.light(2, 2));   // corners stay empty
        QVERIFY(r.light(-2, 20) && r.light(62, 20));

        Rendered s(item.get(), true);
        QVERIFY(s.dark(1, 20) || s.dark(0, 20) || s.dark(2, 20));
        QVERIFY(s.red(30, 40) || s.red(30, 39));
    }

    void pixmapStretchedOverRoundedRect()
    {
        auto item = makeItem<PixmapItem>(QRectF(0, 0, 80.4, 80.6));
        item->setPixmap(solidPixmap(QSize(4, 2), Qt::black));
        Rendered r(item.get(), false, QSize(120, 120));
        QVERIFY(r.dark(0, 0) && r.dark(79, 80) && r.dark(79, 0) && r.dark(0, 80));
        QVERIFY(r.light(80, 40));
        QVERIFY(r.light(40, 81));

        // Selected: frames first, the picture drawn over them.
        Rendered s(item.get(), true, QSize(120, 120));
        QVERIFY(s.dark(40, 0));
        QVERIFY(s.red(40, -1));
        QVERIFY(s.red(84, 84)); // bottom-right marker outside the picture

        PixmapItem empty;
        empty.setRect(0, 0, 50, 50);
        Rendered e(&empty, false);
        QCOMPARE(e.count(&Rendered::light), 140 * 100);
    }

    void doubleRectangleAtScreenResolution()
    {
        TextUtil::SCREEN_DPI = 96.0f;
        auto item = makeItem<DoubleRectItem>(QRectF(0, 0, 100, 60), 5);
        QCOMPARE(item->getDpi(), 96);
        Rendered r(item.get(), false);
        // Outer frame 8 wide on (4, 4, 92, 52), inner 2 wide on (13, 13, 74, 34).
        QCOMPARE(r.darkRuns(30, -5, 105), QStringList({"0-7", "12-13", "86-87", "92-99"}));
        QCOMPARE(r.darkRuns(-1, -5, 105), QStringList());
        QVERIFY(r.dark(50, 0) && r.dark(50, 7) && r.light(50, 9) && r.dark(50, 12) && r.light(50, 15));
        QVERIFY(r.dark(50, 59) && r.light(50, 61));

        Rendered s(item.get(), true);
        QCOMPARE(s.blackPixels(), 0);
        QVERIFY(s.red(50, 0));
    }

    void doubleRectangleDefaultsToTheScreen()
    {
        // No resolution set yet: the screen's, and a broken one counts as 96.
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(0, 0)}; });
        DoubleRectItem item;
        QCOMPARE(item.getDpi(), 96);
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(2400, 1350), QSizeF(508, 285.75)}; });
        QCOMPARE(item.getDpi(), 120);
        TextUtil::SCREEN_DPI = std::numeric_limits<float>::quiet_NaN();
        QCOMPARE(item.getDpi(), 120);
        TextUtil::SCREEN_DPI = 110.7f;
        QCOMPARE(item.getDpi(), 110);
        item.setDpi(300);
        QCOMPARE(item.getDpi(), 300);
        item.setDpi(0);
        QCOMPARE(item.getDpi(), 110);
        item.setDpi(-5);
        QCOMPARE(item.getDpi(), 110);
    }

    void doubleRectangleAtPrinterResolution()
    {
        TextUtil::SCREEN_DPI = 96.0f;
        auto item = makeItem<DoubleRectItem>(QRectF(0, 0, 300, 200));
        item->setDpi(300);
        Rendered r(item.get(), false, QSize(330, 230));
        // 2 mm = 24 dots, 2.5 mm = 30 dots, 0.5 mm = 6 dots: the frames are as
        // thick on paper as on the screen.
        QCOMPARE(r.darkRuns(100, -5, 305), QStringList({"0-23", "39-44", "255-260", "276-299"}));
    }

    void doubleRectangleTooSmallDrawsNothing()
    {
        TextUtil::SCREEN_DPI = 96.0f;
        // At 96 dpi the inner frame needs more than 2 × (4 + 9) = 26 pixels.
        auto small = makeItem<DoubleRectItem>(QRectF(0, 0, 26, 60));
        Rendered r(small.get(), false);
        QCOMPARE(r.count(&Rendered::light), 140 * 100);
        auto flat = makeItem<DoubleRectItem>(QRectF(0, 0, 100, 26));
        Rendered f(flat.get(), false);
        QCOMPARE(f.count(&Rendered::light), 140 * 100);

        auto fits = makeItem<DoubleRectItem>(QRectF(0, 0, 27, 60));
        Rendered g(fits.get(), false);
        QVERIFY(g.dark(2, 30));
        QVERIFY(g.dark(13, 30)); // a one-pixel-wide inner rectangle
    }
};

QTEST_MAIN(TestShapeItems)
#include "tst_shapeitems.moc"
