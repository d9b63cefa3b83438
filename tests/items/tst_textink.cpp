// The ink of slanted text, against a picture of the whole stretch drawn as
// a line is drawn: the box given with room to spare holds that ink, and the
// ends made exact lie where it ends, over fonts the engine slants itself
// and a font's own oblique, at scales that part the slant of the metrics
// from that of the drawing.

#include "items/textink.h"
#include "support/testfonts.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

using namespace TestSupport;

namespace {

// Where the text drawn at the origin with the font at the scale inks,
// across, in the font's own units; null when it inks nothing.
QRectF drawnAcross(const QFont &font, qreal sx, qreal sy, const QString &text)
{
    const QRectF metrics = QFontMetricsF(font).boundingRect(text);
    const qreal margin = font.pixelSize() * 2 * std::max(sx, sy);
    const QRect area =
        QTransform::fromScale(sx, sy).mapRect(metrics).adjusted(-margin, -margin, margin, margin).toAlignedRect();
    QImage picture(area.size(), QImage::Format_Alpha8);
    picture.fill(0);
    QPainter painter(&picture);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.translate(-area.left(), -area.top());
    painter.scale(sx, sy);
    painter.setFont(font);
    painter.drawText(QPointF(), text);
    painter.end();
    int left = picture.width();
    int right = -1;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.constScanLine(y)[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    if (right < 0)
        return QRectF();
    return QRectF((area.left() + left) / sx, 0, (right + 1 - left) / sx, 1);
}

} // namespace

class TestTextInk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(loadPinnedFonts()); }

    void slantedInkIsHeldAndItsEndsMet_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<qreal>("sx");
        QTest::addColumn<qreal>("sy");
        QTest::addColumn<QString>("text");
        const QString zenHei = zenHeiFamily();
        QTest::newRow("ideographs, 10 mm") << zenHei << 118 << false << 1.0 << 1.0 << QStringLiteral("道路工程竣工");
        QTest::newRow("ideographs, 1 mm") << zenHei << 12 << false << 1.0 << 1.0 << QStringLiteral("档案，第1卷");
        QTest::newRow("bold, mixed") << zenHei << 50 << true << 1.0 << 1.0 << QStringLiteral("卷J号f");
        QTest::newRow("quotes and dashes, wide and low") << zenHei << 70 << false << 3.0 << 0.2
                                                         << QStringLiteral("“—”");
        QTest::newRow("narrow and tall") << zenHei << 63 << false << 0.1 << 3.0 << QStringLiteral("工程");
        QTest::newRow("auto-fit's scale floor") << zenHei << 40 << false << 0.1 << 1.0 << QStringLiteral("程j");
        QTest::newRow("own oblique") << dejaVuFamily() << 94 << false << 1.0 << 1.0 << QStringLiteral("fjy");
        QTest::newRow("own oblique, ideograph from another font") << dejaVuFamily() << 60 << false << 0.5 << 2.0
                                                                  << QStringLiteral("j档f");
        QTest::newRow("a mark, shaped") << zenHei << 60 << false << 1.0 << 1.0 << QStringLiteral("f\u0301A\u0301");
    }

    void slantedInkIsHeldAndItsEndsMet()
    {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        QFETCH(qreal, sx);
        QFETCH(qreal, sy);
        QFETCH(QString, text);
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setItalic(true);
        const QRectF drawn = drawnAcross(font, sx, sy, text);
        QVERIFY(!drawn.isNull());
        // A pixel of smoothing either way, where the line sets a glyph off
        // the whole pixel its own picture set it on.
        const qreal pixel = 1 / sx;

        TextInk ink(font, sx, sy);
        StretchInk given;
        qreal advance = 0;
        QRectF exact;
        if (ink.plainInk(text, 0, text.size(), given, advance)) {
            QVERIFY(!given.exact());
            QVERIFY2(given.box.left() <= drawn.left() + pixel && given.box.right() >= drawn.right() - pixel,
                     qPrintable(QStringLiteral("room %1..%2, drawn %3..%4").arg(given.box.left()).arg(given.box.right())
                                    .arg(drawn.left()).arg(drawn.right())));
            for (const TextInk::End end : {TextInk::End::Left, TextInk::End::Right})
                ink.sharpen(text, 0, text.size(), end, given);
            QVERIFY(given.exact());
            exact = given.box;
        } else {
            exact = ink.shapedInk(text);
        }
        QVERIFY2(std::abs(exact.left() - drawn.left()) <= pixel && std::abs(exact.right() - drawn.right()) <= pixel,
                 qPrintable(QStringLiteral("exact %1..%2, drawn %3..%4").arg(exact.left()).arg(exact.right())
                                .arg(drawn.left()).arg(drawn.right())));
    }
};

QTEST_MAIN(TestTextInk)
#include "tst_textink.moc"
