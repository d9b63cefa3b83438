// The main window's pictures (navigation, title strip, help pop-up, home
// page, settings page, tray logo) and the shared small window buttons of the
// print preview and the data import dialog.
//
// Line icons are drawn on a 24-unit grid with one stroke width, so they look
// alike at every size; each is scaled to the size its widget shows it at,
// twice that where Qt scales it down for sharp edges.

#include "icongen.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

const QColor NAVY(18, 60, 128);
const QColor BLUE(0x18, 0x90, 0xFF);
const QColor INK_BLUE(0x3F, 0x87, 0xF9);
const QColor GREY(0x5A, 0x62, 0x70);
const QColor MUTED(0x7D, 0x7D, 0x7D);
const QColor BORDER(0xBF, 0xBF, 0xBF);
const QColor UP_GREEN(0x0B, 0x9F, 0x57);
const QColor DOWN_RED(0xDE, 0x00, 0x07);
const QColor WHITE(Qt::white);

constexpr qreal GRID = 24.0;
constexpr qreal STROKE = 1.8;

using Shape = void (*)(QPainter &);

QPolygonF poly(std::initializer_list<QPointF> points)
{
    return QPolygonF(QVector<QPointF>(points));
}

void beginPainting(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A shape of the 24-unit grid stroked in one colour, scaled to width x height
// with padding (in output pixels) kept clear on every side.
QImage lineIcon(int width, int height, const QColor &color, Shape shape, qreal padding = 0, qreal stroke = STROKE)
{
    QImage image = blankIcon(width, height);
    QPainter p(&image);
    beginPainting(p);
    const qreal side = std::min(width, height) - 2 * padding;
    p.translate((width - side) / 2, (height - side) / 2);
    p.scale(side / GRID, side / GRID);
    p.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    shape(p);
    return image;
}

QImage lineIcon(int size, const QColor &color, Shape shape, qreal padding = 0)
{
    return lineIcon(size, size, color, shape, padding);
}

void dot(QPainter &p, QPointF centre, qreal radius = 1.1)
{
    const QColor color = p.pen().color();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(centre, radius, radius);
    p.restore();
}

// ---- shapes on the 24-unit grid ---------------------------------------

void house(QPainter &p)
{
    p.drawPolyline(poly({{3, 11}, {12, 3.5}, {21, 11}}));
    p.drawPolyline(poly({{5.5, 9.5}, {5.5, 20.5}, {18.5, 20.5}, {18.5, 9.5}}));
    p.drawPolyline(poly({{10, 20.5}, {10, 14.5}, {14, 14.5}, {14, 20.5}}));
}

void templateSheet(QPainter &p)
{
    p.drawRoundedRect(QRectF(4, 3, 16, 18), 2, 2);
    p.drawRect(QRectF(7.5, 6.5, 9, 4.5));
    p.drawLine(QPointF(7.5, 14.5), QPointF(16.5, 14.5));
    p.drawLine(QPointF(7.5, 17.5), QPointF(13, 17.5));
}

void printerShape(QPainter &p)
{
    p.drawPolyline(poly({{6.5, 8}, {6.5, 3.5}, {17.5, 3.5}, {17.5, 8}}));
    QPainterPath body;
    body.moveTo(6.5, 17);
    body.lineTo(4.5, 17);
    body.arcTo(QRectF(2.5, 13, 4, 4), 270, -90);
    body.lineTo(2.5, 10);
    body.arcTo(QRectF(2.5, 8, 4, 4), 180, -90);
    body.lineTo(19.5, 8);
    body.arcTo(QRectF(17.5, 8, 4, 4), 90, -90);
    body.lineTo(21.5, 15);
    body.arcTo(QRectF(17.5, 13, 4, 4), 0, -90);
    body.lineTo(17.5, 17);
    p.drawPath(body);
    p.drawRect(QRectF(6.5, 13.5, 11, 7));
    dot(p, {17.5, 11}, 0.9);
}

void gear(QPainter &p)
{
    // Eight rounded teeth around a ring, with the hub left open.
    constexpr int teeth = 8;
    constexpr qreal outer = 9.5, inner = 7.2;
    QPainterPath path;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal angle = (i - 1.5) * M_PI * 2 / (teeth * 4);
        const bool onTooth = (i % 4) < 2;
        const qreal r = onTooth ? outer : inner;
        const QPointF point(12 + r * std::cos(angle), 12 + r * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    p.drawPath(path);
    p.drawEllipse(QPointF(12, 12), 3, 3);
}

void questionCircle(QPainter &p)
{
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    QPainterPath mark;
    mark.moveTo(9.2, 9.5);
    mark.cubicTo(9.2, 6.2, 14.8, 6.2, 14.8, 9.5);
    mark.cubicTo(14.8, 11.6, 12, 11.8, 12, 14);
    p.drawPath(mark);
    dot(p, {12, 17.2});
}

void foldedPage(QPainter &p)
{
    QPainterPath page;
    page.moveTo(14, 3);
    page.lineTo(6, 3);
    page.quadTo(4.5, 3, 4.5, 4.5);
    page.lineTo(4.5, 19.5);
    page.quadTo(4.5, 21, 6, 21);
    page.lineTo(18, 21);
    page.quadTo(19.5, 21, 19.5, 19.5);
    page.lineTo(19.5, 8.5);
    page.closeSubpath();
    p.drawPath(page);
    p.drawPolyline(poly({{14, 3}, {14, 8.5}, {19.5, 8.5}}));
}

void documentShape(QPainter &p)
{
    foldedPage(p);
    p.drawLine(QPointF(8, 12.5), QPointF(16, 12.5));
    p.drawLine(QPointF(8, 16.5), QPointF(13.5, 16.5));
}

void testPage(QPainter &p)
{
    p.drawRoundedRect(QRectF(4, 3, 16, 18), 2, 2);
    // A test pattern: three bars of falling length over a diagonal ramp.
    p.drawLine(QPointF(7.5, 7), QPointF(16.5, 7));
    p.drawLine(QPointF(7.5, 10.5), QPointF(14, 10.5));
    p.drawLine(QPointF(7.5, 14), QPointF(11.5, 14));
    p.drawPolyline(poly({{7.5, 18}, {10.5, 18}, {16.5, 13.5}}));
}

void upgrade(QPainter &p)
{
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    p.drawLine(QPointF(12, 16.5), QPointF(12, 7.5));
    p.drawPolyline(poly({{8.2, 11.2}, {12, 7.4}, {15.8, 11.2}}));
}

QPainterPath dropPath(QPointF tip, qreal width, qreal height)
{
    const qreal r = width / 2;
    const QPointF centre(tip.x(), tip.y() + height - r);
    QPainterPath drop;
    drop.moveTo(tip);
    drop.cubicTo(tip.x() + r * 0.35, tip.y() + height * 0.25, centre.x() + r, centre.y() - r * 0.55, centre.x() + r,
                 centre.y());
    drop.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 0, -180);
    drop.cubicTo(centre.x() - r, centre.y() - r * 0.55, tip.x() - r * 0.35, tip.y() + height * 0.25, tip.x(), tip.y());
    return drop;
}

void inkCleaning(QPainter &p)
{
    p.drawPath(dropPath({10, 3}, 12, 17));
    // Sparkle: the ink box is cleaned.
    p.drawLine(QPointF(19, 3.5), QPointF(19, 8.5));
    p.drawLine(QPointF(16.5, 6), QPointF(21.5, 6));
    p.drawArc(QRectF(6.5, 12, 7, 7), 200 * 16, 70 * 16);
}

void chip(QPainter &p)
{
    p.drawRoundedRect(QRectF(6.5, 6.5, 11, 11), 1.5, 1.5);
    p.drawRect(QRectF(10, 10, 4, 4));
    for (const qreal at : {9.5, 12.0, 14.5}) {
        p.drawLine(QPointF(at, 6.5), QPointF(at, 3.5));
        p.drawLine(QPointF(at, 17.5), QPointF(at, 20.5));
        p.drawLine(QPointF(6.5, at), QPointF(3.5, at));
        p.drawLine(QPointF(17.5, at), QPointF(20.5, at));
    }
}

void codeBrackets(QPainter &p)
{
    p.drawPolyline(poly({{8, 7}, {3, 12}, {8, 17}}));
    p.drawPolyline(poly({{16, 7}, {21, 12}, {16, 17}}));
    p.drawLine(QPointF(13.8, 5), QPointF(10.2, 19));
}

void pulse(QPainter &p)
{
    p.drawRoundedRect(QRectF(2.5, 4, 19, 16), 2.5, 2.5);
    p.drawPolyline(poly({{5.5, 12.5}, {8.5, 12.5}, {10.5, 8}, {13.5, 17}, {15.5, 12.5}, {18.5, 12.5}}));
}

void infoCircle(QPainter &p)
{
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    p.drawLine(QPointF(12, 11), QPointF(12, 16.5));
    dot(p, {12, 7.6});
}

void minimiseBar(QPainter &p)
{
    p.drawLine(QPointF(6, 12), QPointF(18, 12));
}

void maximiseBox(QPainter &p)
{
    p.drawRoundedRect(QRectF(6, 6, 12, 12), 1.5, 1.5);
}

void cross(QPainter &p)
{
    p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
    p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
}

void magnifier(QPainter &p)
{
    p.drawEllipse(QPointF(10.5, 10.5), 6.5, 6.5);
    p.drawLine(QPointF(15.3, 15.3), QPointF(20, 20));
}

void arrowRight(QPainter &p)
{
    p.drawLine(QPointF(5, 12), QPointF(19, 12));
    p.drawPolyline(poly({{13, 6}, {19, 12}, {13, 18}}));
}

void arrowLeft(QPainter &p)
{
    p.drawLine(QPointF(19, 12), QPointF(5, 12));
    p.drawPolyline(poly({{11, 6}, {5, 12}, {11, 18}}));
}

void arrowUp(QPainter &p)
{
    p.drawLine(QPointF(12, 20), QPointF(12, 4.5));
    p.drawPolyline(poly({{6, 10.5}, {12, 4.5}, {18, 10.5}}));
}

void arrowDown(QPainter &p)
{
    p.drawLine(QPointF(12, 4), QPointF(12, 19.5));
    p.drawPolyline(poly({{6, 13.5}, {12, 19.5}, {18, 13.5}}));
}

void chevronDown(QPainter &p)
{
    p.drawPolyline(poly({{6, 9}, {12, 15}, {18, 9}}));
}

void chevronUp(QPainter &p)
{
    p.drawPolyline(poly({{6, 15}, {12, 9}, {18, 15}}));
}

void calendar(QPainter &p)
{
    p.drawRoundedRect(QRectF(3.5, 5, 17, 15.5), 2, 2);
    p.drawLine(QPointF(3.5, 10), QPointF(20.5, 10));
    p.drawLine(QPointF(8, 3), QPointF(8, 7));
    p.drawLine(QPointF(16, 3), QPointF(16, 7));
}

void fileAdd(QPainter &p)
{
    foldedPage(p);
    p.drawLine(QPointF(12, 11), QPointF(12, 18));
    p.drawLine(QPointF(8.5, 14.5), QPointF(15.5, 14.5));
}

// ---- filled pictures ----------------------------------------------------

QImage inkDrop(int size)
{
    QImage image = blankIcon(size, size);
    QPainter p(&image);
    beginPainting(p);
    p.scale(size / GRID, size / GRID);
    QLinearGradient fill(QPointF(6, 3), QPointF(18, 21));
    fill.setColorAt(0, INK_BLUE.lighter(125));
    fill.setColorAt(1, INK_BLUE.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(dropPath({12, 2.5}, 13, 19));
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8.5, 12, 7, 7), 190 * 16, 70 * 16);
    return image;
}

QImage checkbox(bool checked)
{
    constexpr int size = 18;
    QImage image = blankIcon(size, size);
    QPainter p(&image);
    beginPainting(p);
    const QRectF box(1, 1, size - 2, size - 2);
    if (checked) {
        p.setPen(Qt::NoPen);
        p.setBrush(BLUE);
        p.drawRoundedRect(box, 3, 3);
        p.setPen(QPen(WHITE, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(poly({{4.8, 9.2}, {7.8, 12.2}, {13.2, 6.2}}));
    } else {
        p.setPen(QPen(BORDER, 1));
        p.setBrush(WHITE);
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    return image;
}

// Rank badges sit behind a 40 x 44 label without scaling, so they are drawn
// at exactly that size with the badge in the middle.
QImage rankMedal(int rank)
{
    static const QColor metals[][2] = {
        {QColor(0xFF, 0xD5, 0x4F), QColor(0xE0, 0x9B, 0x00)},
        {QColor(0xE3, 0xE8, 0xEF), QColor(0x9A, 0xA5, 0xB4)},
        {QColor(0xF4, 0xC0, 0x98), QColor(0xC2, 0x74, 0x3C)},
    };
    const QColor light = metals[rank - 1][0];
    const QColor dark = metals[rank - 1][1];
    QImage image = blankIcon(40, 44);
    QPainter p(&image);
    beginPainting(p);
    // Ribbon tails behind the medal.
    p.setPen(Qt::NoPen);
    p.setBrush(dark.darker(110));
    p.drawPolygon(poly({{13, 26}, {9, 38}, {13.5, 36}, {16, 40}, {19, 29}}));
    p.drawPolygon(poly({{27, 26}, {31, 38}, {26.5, 36}, {24, 40}, {21, 29}}));
    QRadialGradient fill(QPointF(17, 16), 14);
    fill.setColorAt(0, light.lighter(110));
    fill.setColorAt(1, dark);
    p.setBrush(fill);
    p.setPen(QPen(dark.darker(115), 1));
    p.drawEllipse(QPointF(20, 20), 11.5, 11.5);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(20, 20), 8.5, 8.5);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(WHITE);
    p.drawText(QRectF(8.5, 8.5, 23, 23), Qt::AlignCenter, QString::number(rank));
    return image;
}

QImage rankPlain()
{
    QImage image = blankIcon(40, 44);
    QPainter p(&image);
    beginPainting(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0xF2, 0xF5));
    p.drawEllipse(QPointF(20, 22), 11, 11);
    return image;
}

// The title strip's printer indicator, shown unscaled in an 80 x 30 label: a
// pill tinted in the state's colour holding a printer and a badge whose mark
// tells the state.
enum class PrinterMark { Cross, Tick, Exclamation };

QImage printerStatus(const QColor &color, PrinterMark mark)
{
    QImage image = blankIcon(80, 30);
    QPainter p(&image);
    beginPainting(p);
    QColor tint = color;
    tint.setAlpha(28);
    p.setPen(QPen(color, 1));
    p.setBrush(tint);
    p.drawRoundedRect(QRectF(0.5, 0.5, 79, 29), 14.5, 14.5);

    p.save();
    p.translate(17, 4);
    p.scale(22 / GRID, 22 / GRID);
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    printerShape(p);
    p.restore();

    const QPointF centre(54, 15);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(centre, 8.5, 8.5);
    p.setPen(QPen(WHITE, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (mark) {
    case PrinterMark::Cross:
        p.drawLine(centre + QPointF(-3.2, -3.2), centre + QPointF(3.2, 3.2));
        p.drawLine(centre + QPointF(3.2, -3.2), centre + QPointF(-3.2, 3.2));
        break;
    case PrinterMark::Tick:
        p.drawPolyline(poly({centre + QPointF(-4, 0.2), centre + QPointF(-1.2, 3), centre + QPointF(4, -2.8)}));
        break;
    case PrinterMark::Exclamation:
        p.drawLine(centre + QPointF(0, -4.5), centre + QPointF(0, 1));
        dot(p, centre + QPointF(0, 4.2), 1.2);
        break;
    }
    return image;
}

// The chip beside the welcome text: a blue pill with a tick and two bars,
// shown stretched over a 170 x 22 label.
QImage welcomeChip()
{
    QImage image = blankIcon(340, 44);
    QPainter p(&image);
    beginPainting(p);
    QLinearGradient fill(QPointF(0, 0), QPointF(340, 0));
    fill.setColorAt(0, BLUE);
    fill.setColorAt(1, QColor(0x36, 0xCF, 0xC9));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1, 1, 338, 42), 21, 21);
    p.setBrush(WHITE);
    p.drawEllipse(QPointF(24, 22), 12, 12);
    p.setPen(QPen(BLUE, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(poly({{18.5, 22.5}, {22.5, 26.5}, {30, 18}}));
    p.setPen(QPen(QColor(255, 255, 255, 230), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(50, 22), QPointF(190, 22));
    p.setPen(QPen(QColor(255, 255, 255, 140), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(208, 22), QPointF(300, 22));
    return image;
}

// The welcome band: a pale blue wash with archive boxes on the right, drawn
// at about the band's width on a large screen and stretched to it.
QImage welcomeBand()
{
    constexpr int width = 1300, height = 104;
    QImage image = blankIcon(width, height);
    QPainter p(&image);
    beginPainting(p);
    QLinearGradient wash(QPointF(0, 0), QPointF(width, height));
    wash.setColorAt(0, QColor(0xF4, 0xF8, 0xFF));
    wash.setColorAt(1, QColor(0xD9, 0xE8, 0xFF));
    p.setPen(Qt::NoPen);
    p.setBrush(wash);
    p.drawRect(0, 0, width, height);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(width - 330, -30), 120, 120);
    p.drawEllipse(QPointF(width - 60, 120), 110, 110);
    // Three archive boxes standing side by side, each with a spine label.
    const int heights[] = {70, 82, 62};
    qreal x = width - 300;
    for (int i = 0; i < 3; ++i) {
        const qreal h = heights[i];
        const QRectF box(x, height - 8 - h, 52, h);
        QLinearGradient side(box.topLeft(), box.topRight());
        side.setColorAt(0, QColor(0x6F, 0xA8, 0xFF));
        side.setColorAt(1, QColor(0x3F, 0x87, 0xF9));
        p.setBrush(side);
        p.drawRoundedRect(box, 4, 4);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRoundedRect(QRectF(box.left() + 10, box.top() + 12, 32, 22), 2, 2);
        p.setBrush(QColor(0x3F, 0x87, 0xF9, 160));
        p.drawRect(QRectF(box.left() + 15, box.top() + 18, 22, 2.5));
        p.drawRect(QRectF(box.left() + 15, box.top() + 25, 14, 2.5));
        x += 62;
    }
    // The printer head passing over the last box's spine.
    p.setBrush(NAVY);
    p.drawRoundedRect(QRectF(width - 112, 14, 70, 16), 4, 4);
    p.setBrush(INK_BLUE);
    p.drawPath(dropPath({width - 77.0, 34}, 8, 11));
    return image;
}

// The tray and window logo: a blue tile with a white printer.
QImage logo(int size)
{
    QImage image = blankIcon(size, size);
    QPainter p(&image);
    beginPainting(p);
    p.scale(size / GRID, size / GRID);
    QLinearGradient fill(QPointF(0, 0), QPointF(24, 24));
    fill.setColorAt(0, BLUE);
    fill.setColorAt(1, NAVY);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 23, 23), 5, 5);
    p.translate(3, 3);
    p.scale(0.75, 0.75);
    p.setPen(QPen(WHITE, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    printerShape(p);
    return image;
}

IconDrawing line(const char *name, int size, const QColor &color, Shape shape, qreal padding = 0)
{
    return {QStringLiteral("icon/") + QLatin1String(name), [=] { return lineIcon(size, color, shape, padding); }};
}

IconDrawing picture(const char *name, std::function<QImage()> draw)
{
    return {QStringLiteral("icon/") + QLatin1String(name), std::move(draw)};
}

} // namespace

QList<IconDrawing> shellIcons()
{
    return {
        // Navigation column, white on navy, shown at 20 (pages) and 18 (help).
        line("nav_home.png", 40, WHITE, house),
        line("nav_template.png", 40, WHITE, templateSheet),
        line("nav_print.png", 40, WHITE, printerShape),
        line("nav_setting.png", 40, WHITE, gear),
        line("nav_help.png", 36, WHITE, questionCircle),
        // Help pop-up, navy on white buttons, shown at 18.
        line("help_document.png", 36, NAVY, documentShape),
        line("help_testpage.png", 36, NAVY, testPage),
        line("help_update.png", 36, NAVY, upgrade),
        line("help_inkbox.png", 36, NAVY, inkCleaning),
        line("help_hardversion.png", 36, NAVY, chip),
        line("help_api.png", 36, NAVY, codeBrackets),
        line("help_check.png", 36, NAVY, pulse),
        line("help_about.png", 36, NAVY, infoCircle),
        // Title strip, shown at 24.
        line("hide.png", 48, GREY, minimiseBar),
        line("max.png", 48, GREY, maximiseBox),
        line("close.png", 48, GREY, cross),
        picture("ico_ink_blue.png", [] { return inkDrop(60); }),
        picture("status_unconnected.png", [] { return printerStatus(QColor(0x8A, 0x92, 0x9C), PrinterMark::Cross); }),
        picture("status_connected.png", [] { return printerStatus(QColor(0x02, 0xB8, 0x7E), PrinterMark::Tick); }),
        picture("status_ink_err.png", [] { return printerStatus(QColor(0xF0, 0x8C, 0x00), PrinterMark::Exclamation); }),
        // Home page.
        picture("bg_home.png", welcomeBand),
        picture("title_rc_msg.png", welcomeChip),
        line("printer.png", 36, BLUE, printerShape),
        picture("arrow-narrow-up.png", [] { return lineIcon(14, 14, UP_GREEN, arrowUp, 0, 2.6); }),
        picture("arrow-narrow-down.png", [] { return lineIcon(14, 14, DOWN_RED, arrowDown, 0, 2.6); }),
        picture("chart_calendar_line.png", [] { return lineIcon(16, 16, MUTED, calendar, 0, 2.0); }),
        picture("No1.png", [] { return rankMedal(1); }),
        picture("No2.png", [] { return rankMedal(2); }),
        picture("No3.png", [] { return rankMedal(3); }),
        picture("No.png", rankPlain),
        // Drop-down and step arrows of the combo, date and spin boxes.
        picture("chevron_down.png", [] { return lineIcon(24, 24, GREY, chevronDown, 0, 2.4); }),
        picture("chevron_up.png", [] { return lineIcon(24, 24, GREY, chevronUp, 0, 2.4); }),
        // Template table and settings page.
        picture("checkbox_checked.png", [] { return checkbox(true); }),
        picture("checkbox_unchecked.png", [] { return checkbox(false); }),
        line("btn_search.png", 32, WHITE, magnifier, 7),
        line("Right_unchecked.png", 29, MUTED, arrowRight, 6),
        line("Left_unchecked.png", 29, MUTED, arrowLeft, 6),
        line("Right_checked.png", 29, WHITE, arrowRight, 6),
        line("Left_checked.png", 29, WHITE, arrowLeft, 6),
        // Tray.
        picture("logo.ico", [] { return logo(64); }),
        // Window buttons and help of the print preview and the import dialog,
        // at the sizes their forms show them.
        line("min_2.png", 32, GREY, minimiseBar, 4),
        line("max_2.png", 32, GREY, maximiseBox, 4),
        line("close_2.png", 32, GREY, cross, 4),
        line("save_close.png", 16, MUTED, cross),
        line("help.png", 32, BLUE, questionCircle, 4),
        line("add_file.png", 32, BLUE, fileAdd, 2),
    };
}
