// The editor's millimetre rulers: their numbers stay clear of the marks and
// of each other, and inside the ruler, and the marks stay apart, at every
// zoom step.

#include "editor/templateruler.h"
#include "util/textutil.h"

#include <QtTest>

class TestTemplateRuler : public QObject
{
    Q_OBJECT

private slots:
    void numbersAtEveryZoom_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<float>("mm");
        QTest::addColumn<double>("zoom");
        // As the wheel zooms: 1.1 in, 0.9 out.
        for (int n = -15; n <= 6; ++n) {
            const double zoom = n < 0 ? std::pow(0.9, -n) : std::pow(1.1, n);
            QTest::addRow("240 mm across, zoom %d", n) << true << 240.0f << zoom;
            QTest::addRow("340 mm down, zoom %d", n) << false << 340.0f << zoom;
        }
        QTest::newRow("240.5 mm: no number cut at the end") << true << 240.5f << 1.0;
    }

    void numbersAtEveryZoom()
    {
        QFETCH(bool, horizontal);
        QFETCH(float, mm);
        QFETCH(double, zoom);
        TemplateRuler ruler(horizontal, mm);
        const int length = int(TextUtil::mm2px(mm, 96) * zoom);
        ruler.setFixedSize(horizontal ? QSize(length, 30) : QSize(30, length));
        const RulerScale scale = ruler.scale();
        const QVector<RulerScale::Label> &labels = scale.labels();
        QVERIFY(!labels.isEmpty());
        QCOMPARE(labels.first().millimetres, 0);
        QHash<int, int> markLengths;
        for (int i = 0; i < scale.marks().size(); ++i) {
            const RulerScale::Mark &mark = scale.marks().at(i);
            markLengths.insert(mark.millimetres, mark.length);
            if (i > 0)
                QVERIFY(mark.position - scale.marks().at(i - 1).position >= RulerScale::MIN_MARK_SPACING);
        }
        for (int i = 0; i < labels.size(); ++i) {
            const RulerScale::Label &label = labels.at(i);
            QCOMPARE(markLengths.value(label.millimetres), RulerScale::LONG_MARK);
            QVERIFY(QRectF(1, 1, ruler.width() - 2, ruler.height() - 2).contains(label.rect));
            // A free pixel from every mark and from the next number.
            for (const RulerScale::Mark &mark : scale.marks())
                QVERIFY(!label.rect.adjusted(-1, -1, 1, 1).intersects(scale.markRect(mark)));
            if (i > 0)
                QVERIFY(!labels.at(i - 1).rect.adjusted(-1, -1, 1, 1).intersects(label.rect));
        }
        // Unzoomed, every 10 mm is written but where the end would cut it,
        // and every millimetre marked, the fifth ones longer.
        if (zoom == 1.0) {
            QCOMPARE(labels.size(), horizontal ? 24 : 34);
            QCOMPARE(scale.marks().size(), int(std::ceil(mm)));
            QCOMPARE(markLengths.value(235), RulerScale::LONG_MARK);
            QCOMPARE(markLengths.value(236), RulerScale::SHORT_MARK);
        }
    }
};

QTEST_MAIN(TestTemplateRuler)
#include "tst_templateruler.moc"
