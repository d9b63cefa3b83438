// The editor's millimetre rulers: their numbers stay clear of the marks and
// of each other, and inside the ruler, at every zoom step.

#include "editor/templateruler.h"
#include "util/textutil.h"

#include <QtTest>

namespace {

// Zoom steps as the wheel makes them: 1.1 in, 0.9 out.
QList<double> zoomSteps()
{
    QList<double> zooms;
    for (int n = 0; n <= 15; ++n)
        zooms << std::pow(0.9, n);
    for (int n = 1; n <= 6; ++n)
        zooms << std::pow(1.1, n);
    return zooms;
}

void sizeRuler(TemplateRuler &ruler, int length)
{
    if (ruler.isHorizontal())
        ruler.setFixedSize(length, 30);
    else
        ruler.setFixedSize(30, length);
}

} // namespace

class TestTemplateRuler : public QObject
{
    Q_OBJECT

private slots:
    void numbersAtEveryZoom_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<float>("mm");
        QTest::addColumn<double>("zoom");
        for (const double zoom : zoomSteps()) {
            const QByteArray step = QByteArray::number(zoom, 'f', 3);
            QTest::newRow("240 mm across at " + step) << true << 240.0f << zoom;
            QTest::newRow("340 mm down at " + step) << false << 340.0f << zoom;
        }
        QTest::newRow("240.5 mm: no number cut at the end") << true << 240.5f << 1.0;
    }

    void numbersAtEveryZoom()
    {
        QFETCH(bool, horizontal);
        QFETCH(float, mm);
        QFETCH(double, zoom);
        TemplateRuler ruler(horizontal, mm);
        sizeRuler(ruler, int(TextUtil::mm2px(mm, 96) * zoom));
        const RulerScale scale = ruler.scale();
        const QRectF inner(1, 1, ruler.width() - 2, ruler.height() - 2);
        const QList<RulerScale::Label> labels = scale.labels().toList();
        QVERIFY(!labels.isEmpty());
        QCOMPARE(labels.first().millimetres, 0);
        for (int i = 0; i < labels.size(); ++i) {
            const RulerScale::Label &label = labels.at(i);
            QCOMPARE(label.millimetres % 10, 0);
            QCOMPARE(label.text, QString::number(label.millimetres));
            QVERIFY(inner.contains(label.rect));
            // Its own mark is a long one; the number keeps a free pixel from every mark.
            QCOMPARE(scale.marks().at(label.millimetres).length, RulerScale::LONG_MARK);
            for (const RulerScale::Mark &mark : scale.marks())
                QVERIFY(!label.rect.adjusted(-1, -1, 1, 1).intersects(scale.markRect(mark)));
            if (i > 0)
                QVERIFY(!labels.at(i - 1).rect.adjusted(-1, -1, 1, 1).intersects(label.rect));
        }
        // Unzoomed, every 10 mm is written but the last, cut by the end.
        if (zoom == 1.0) {
            QCOMPARE(labels.last().millimetres, horizontal ? 230 : 330);
            QCOMPARE(labels.size(), labels.last().millimetres / 10 + 1);
        }
    }

    // Every dark pixel is the frame, a mark or a number inside its rectangle.
    void paintedNumbersStayInTheirPlaces_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<double>("zoom");
        QTest::newRow("across") << true << 1.0;
        QTest::newRow("across, zoomed out") << true << std::pow(0.9, 8);
        QTest::newRow("down") << false << 1.0;
        QTest::newRow("down, zoomed in") << false << 1.21;
        QTest::newRow("down, zoomed out") << false << std::pow(0.9, 6);
    }

    void paintedNumbersStayInTheirPlaces()
    {
        QFETCH(bool, horizontal);
        QFETCH(double, zoom);
        TemplateRuler ruler(horizontal, 340);
        sizeRuler(ruler, int(TextUtil::mm2px(340, 96) * zoom));
        const RulerScale scale = ruler.scale();
        const QImage image = ruler.grab().toImage();
        for (int y = 1; y < image.height() - 1; ++y) {
            for (int x = 1; x < image.width() - 1; ++x) {
                if (qGray(image.pixel(x, y)) >= 160)
                    continue;
                const QPointF pixel(x + 0.5, y + 0.5);
                bool explained = false;
                for (const RulerScale::Mark &mark : scale.marks())
                    explained = explained || scale.markRect(mark).contains(pixel);
                for (const RulerScale::Label &label : scale.labels())
                    explained = explained || label.rect.adjusted(-1, -1, 1, 1).contains(pixel);
                if (!explained)
                    QFAIL(qPrintable(QStringLiteral("a stray dark pixel at %1, %2").arg(x).arg(y)));
            }
        }
    }
};

QTEST_MAIN(TestTemplateRuler)
#include "tst_templateruler.moc"
