// The template editor's pictures: the add tools and their cursors, the
// context menu, the text layout buttons, switches, spin box arrows, the
// background buttons and the title bar. Flat drawings in
// the editor's colours, one stroke weight per size.

#include "icongen.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor INK(0x2B, 0x3A, 0x55);        // strokes of the tool and menu icons
const QColor ACCENT(0x18, 0x90, 0xFF);     // the editor's blue
const QColor ACCENT_SOFT(0xD6, 0xEA, 0xFF); // light fills
const QColor MUTED(0x8C, 0x8C, 0x8C);
const QColor DANGER(0xE5, 0x48, 0x4D);

QPen strokePen(const QColor &color, qreal width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A picture of the given size with an antialiased painter handed to draw.
template <typename Draw>
QImage paintIcon(int width, int height, Draw draw)
{
    QImage image = blankIcon(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return image;
}

// ---- element glyphs, drawn into a square box (tools at 32 px, cursor badges at 14 px)

void rectGlyph(QPainter &p, const QRectF &box, qreal w)
{
    p.setPen(strokePen(INK, w));
    p.setBrush(ACCENT_SOFT);
    p.drawRect(box.adjusted(box.width() * 0.1, box.height() * 0.2, -box.width() * 0.1, -box.height() * 0.2));
}

void hlineGlyph(QPainter &p, const QRectF &box, qreal w)
{
    p.setPen(strokePen(INK, w * 1.5));
    const qreal y = box.center().y();
    p.drawLine(QPointF(box.left() + box.width() * 0.1, y), QPointF(box.right() - box.width() * 0.1, y));
}

void vlineGlyph(QPainter &p, const QRectF &box, qreal w)
{
    p.setPen(strokePen(INK, w * 1.5));
    const qreal x = box.center().x();
    p.drawLine(QPointF(x, box.top() + box.height() * 0.1), QPointF(x, box.bottom() - box.height() * 0.1));
}

void circleGlyph(QPainter &p, const QRectF &box, qreal w)
{
    p.setPen(strokePen(INK, w));
    p.setBrush(ACCENT_SOFT);
    const qreal inset = box.width() * 0.14;
    p.drawEllipse(box.adjusted(inset, inset, -inset, -inset));
}

void textGlyph(QPainter &p, const QRectF &box, qreal w)
{
    p.setPen(strokePen(INK, w * 1.5));
    const qreal l = box.left() + box.width() * 0.2;
    const qreal r = box.right() - box.width() * 0.2;
    const qreal t = box.top() + box.height() * 0.18;
    const qreal b = box.bottom() - box.height() * 0.15;
    p.drawLine(QPointF(l, t), QPointF(r, t));
    p.drawLine(QPointF(box.center().x(), t), QPointF(box.center().x(), b));
    p.setPen(strokePen(INK, w));
    const qreal foot = box.width() * 0.12;
    p.drawLine(QPointF(box.center().x() - foot, b), QPointF(box.center().x() + foot, b));
}

void pictureGlyph(QPainter &p, const QRectF &box, qreal w)
{
    const QRectF frame = box.adjusted(box.width() * 0.08, box.height() * 0.16, -box.width() * 0.08, -box.height() * 0.16);
    p.setPen(strokePen(INK, w));
    p.setBrush(ACCENT_SOFT);
    p.drawRoundedRect(frame, w, w);
    QPainterPath hills;
    hills.moveTo(frame.left() + w, frame.bottom() - w);
    hills.lineTo(frame.left() + frame.width() * 0.38, frame.top() + frame.height() * 0.45);
    hills.lineTo(frame.left() + frame.width() * 0.58, frame.top() + frame.height() * 0.7);
    hills.lineTo(frame.left() + frame.width() * 0.72, frame.top() + frame.height() * 0.55);
    hills.lineTo(frame.right() - w, frame.bottom() - w);
    hills.closeSubpath();
    p.setBrush(ACCENT);
    p.setPen(Qt::NoPen);
    p.drawPath(hills);
    const qreal sun = frame.width() * 0.11;
    p.drawEllipse(QPointF(frame.right() - frame.width() * 0.25, frame.top() + frame.height() * 0.3), sun, sun);
}

void barcodeGlyph(QPainter &p, const QRectF &box, qreal)
{
    static const int widths[] = {2, 1, 1, 2, 1, 3, 1, 1, 2, 1, 2, 1};
    qreal total = 0;
    for (int v : widths)
        total += v * 2;
    const qreal unit = box.width() * 0.8 / total;
    qreal x = box.left() + box.width() * 0.1;
    const QRectF band(0, box.top() + box.height() * 0.2, 0, box.height() * 0.6);
    p.setPen(Qt::NoPen);
    p.setBrush(INK);
    for (int v : widths) {
        p.drawRect(QRectF(x, band.top(), v * unit, band.height()));
        x += v * unit * 2;
    }
}

void qrGlyph(QPainter &p, const QRectF &box, qreal)
{
    const qreal cell = box.width() * 0.8 / 7;
    const QPointF origin(box.left() + box.width() * 0.1, box.top() + box.height() * 0.1);
    const auto finder = [&](int cx, int cy) {
        const QRectF outer(origin.x() + cx * cell, origin.y() + cy * cell, cell * 3, cell * 3);
        p.setPen(Qt::NoPen);
        p.setBrush(INK);
        p.drawRect(outer);
        p.setBrush(Qt::white);
        p.drawRect(outer.adjusted(cell * 0.6, cell * 0.6, -cell * 0.6, -cell * 0.6));
        p.setBrush(INK);
        p.drawRect(outer.adjusted(cell, cell, -cell, -cell));
    };
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(origin, QSizeF(cell * 7, cell * 7)));
    finder(0, 0);
    finder(4, 0);
    finder(0, 4);
    static const QPoint modules[] = {{4, 4}, {6, 4}, {5, 5}, {4, 6}, {6, 6}, {3, 1}, {3, 3}, {1, 3}};
    p.setBrush(INK);
    for (const QPoint &m : modules)
        p.drawRect(QRectF(origin.x() + m.x() * cell, origin.y() + m.y() * cell, cell, cell));
}

void doubleRectGlyph(QPainter &p, const QRectF &box, qreal w)
{
    const QRectF outer = box.adjusted(box.width() * 0.08, box.height() * 0.16, -box.width() * 0.08, -box.height() * 0.16);
    p.setBrush(Qt::NoBrush);
    p.setPen(strokePen(INK, w * 1.4));
    p.drawRect(outer);
    p.setPen(strokePen(ACCENT, w * 0.8));
    p.drawRect(outer.adjusted(w * 2.2, w * 2.2, -w * 2.2, -w * 2.2));
}

using Glyph = void (*)(QPainter &, const QRectF &, qreal);

// Shown centred at the top of a 90 x 70 tool button above its text, which
// starts 50 pixels down: the glyph sits in the middle of that band.
QImage toolIcon(Glyph glyph)
{
    return paintIcon(32, 48, [glyph](QPainter &p) { glyph(p, QRectF(3, 13, 26, 26), 2.0); });
}

// A crosshair whose centre is the hot spot, with the element's badge beside it.
QImage cursorIcon(Glyph glyph)
{
    return paintIcon(32, 32, [glyph](QPainter &p) {
        const QPointF c(15.5, 15.5);
        const auto cross = [&](const QColor &color, qreal width) {
            p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(c.x() - 9, c.y()), QPointF(c.x() - 2, c.y()));
            p.drawLine(QPointF(c.x() + 2, c.y()), QPointF(c.x() + 9, c.y()));
            p.drawLine(QPointF(c.x(), c.y() - 9), QPointF(c.x(), c.y() - 2));
            p.drawLine(QPointF(c.x(), c.y() + 2), QPointF(c.x(), c.y() + 9));
        };
        cross(Qt::white, 3.0);
        cross(QColor(0x1F, 0x1F, 0x1F), 1.0);
        const QRectF badge(18, 18, 13, 13);
        p.setPen(QPen(QColor(0xBF, 0xBF, 0xBF), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(badge.adjusted(-0.5, -0.5, 0.5, 0.5), 2, 2);
        glyph(p, badge.adjusted(1, 1, -1, -1), 1.0);
    });
}

// ---- context menu (22 px)

QImage copyIcon()
{
    return paintIcon(22, 22, [](QPainter &p) {
        p.setPen(strokePen(INK, 1.5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3.75, 3.75, 10.5, 12.5), 1.5, 1.5);
        p.setBrush(ACCENT_SOFT);
        p.drawRoundedRect(QRectF(7.75, 6.75, 10.5, 12.5), 1.5, 1.5);
    });
}

QImage pasteIcon()
{
    return paintIcon(22, 22, [](QPainter &p) {
        p.setPen(strokePen(INK, 1.5));
        p.setBrush(ACCENT_SOFT);
        p.drawRoundedRect(QRectF(4.75, 4.75, 12.5, 14.5), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(8, 2.75, 6, 4), 1, 1);
        p.drawLine(QPointF(8, 11), QPointF(14, 11));
        p.drawLine(QPointF(8, 14.5), QPointF(12, 14.5));
    });
}

QImage deleteIcon()
{
    return paintIcon(22, 22, [](QPainter &p) {
        p.setPen(strokePen(DANGER, 1.5));
        p.drawLine(QPointF(4, 6), QPointF(18, 6));
        p.drawLine(QPointF(9, 3.5), QPointF(13, 3.5));
        QPainterPath can;
        can.moveTo(5.5, 6);
        can.lineTo(6.5, 18.5);
        can.lineTo(15.5, 18.5);
        can.lineTo(16.5, 6);
        p.drawPath(can);
        p.drawLine(QPointF(9.25, 9.5), QPointF(9.25, 15.5));
        p.drawLine(QPointF(12.75, 9.5), QPointF(12.75, 15.5));
    });
}

QImage stackIcon(bool top)
{
    return paintIcon(22, 22, [top](QPainter &p) {
        const QRectF front = top ? QRectF(3.75, 3.75, 10, 8) : QRectF(8.25, 10.25, 10, 8);
        const QRectF back = top ? QRectF(8.25, 10.25, 10, 8) : QRectF(3.75, 3.75, 10, 8);
        p.setPen(strokePen(MUTED, 1.5));
        p.setBrush(Qt::white);
        p.drawRect(back);
        p.setPen(strokePen(ACCENT, 1.5));
        p.setBrush(ACCENT_SOFT);
        p.drawRect(front);
        p.setPen(strokePen(INK, 1.5));
        const qreal x = top ? 17 : 5;
        const qreal tip = top ? 3.5 : 18.5;
        const qreal tail = top ? 9 : 13;
        const qreal wing = top ? 2.5 : -2.5;
        p.drawLine(QPointF(x, tail), QPointF(x, tip));
        p.drawLine(QPointF(x - 2.5, tip + wing), QPointF(x, tip));
        p.drawLine(QPointF(x + 2.5, tip + wing), QPointF(x, tip));
    });
}

QImage checkedIcon()
{
    return paintIcon(22, 22, [](QPainter &p) {
        p.setPen(strokePen(ACCENT, 2.2));
        QPainterPath tick;
        tick.moveTo(5, 11.5);
        tick.lineTo(9.5, 16);
        tick.lineTo(17.5, 6.5);
        p.drawPath(tick);
    });
}

// ---- text layout buttons (20 px)

// Text lines aligned -1 left, 0 centred, 1 right.
QImage horizontalAlignIcon(int align)
{
    return paintIcon(20, 20, [align](QPainter &p) {
        p.setPen(strokePen(INK, 1.6));
        const qreal lengths[] = {14, 9, 14, 7};
        for (int i = 0; i < 4; ++i) {
            const qreal y = 4.5 + i * 3.7;
            const qreal len = lengths[i];
            const qreal x = align < 0 ? 3 : align == 0 ? 10 - len / 2 : 17 - len;
            p.drawLine(QPointF(x, y), QPointF(x + len, y));
        }
    });
}

// A block of text placed -1 at the top, 0 in the middle, 1 at the bottom of a frame.
QImage verticalAlignIcon(int align)
{
    return paintIcon(20, 20, [align](QPainter &p) {
        p.setPen(strokePen(MUTED, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.6, 2.6, 14.8, 14.8));
        p.setPen(strokePen(INK, 1.6));
        const qreal top = align < 0 ? 5.5 : align == 0 ? 8.5 : 11.5;
        p.drawLine(QPointF(6, top), QPointF(14, top));
        p.drawLine(QPointF(6, top + 3), QPointF(12, top + 3));
    });
}

void arrow(QPainter &p, QPointF from, QPointF to)
{
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 2.5 + n * 2.2);
    p.drawLine(to, to - d * 2.5 - n * 2.2);
}

// 0 lines read left to right; 1 columns placed left to right; 2 right to left.
QImage directionIcon(int direction)
{
    return paintIcon(20, 20, [direction](QPainter &p) {
        p.setPen(strokePen(INK, 1.6));
        if (direction == 0) {
            p.drawLine(QPointF(3, 5), QPointF(17, 5));
            p.drawLine(QPointF(3, 9), QPointF(13, 9));
            p.setPen(strokePen(ACCENT, 1.6));
            arrow(p, QPointF(3, 15), QPointF(17, 15));
            return;
        }
        for (qreal x : {6.0, 10.0, 14.0})
            p.drawLine(QPointF(x, 3), QPointF(x, 12));
        p.setPen(strokePen(ACCENT, 1.6));
        if (direction == 1)
            arrow(p, QPointF(3, 16.5), QPointF(17, 16.5));
        else
            arrow(p, QPointF(17, 16.5), QPointF(3, 16.5));
    });
}

// ---- switches, arrows, background buttons

QImage switchIcon(bool on)
{
    return paintIcon(44, 22, [on](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(on ? ACCENT : QColor(0xC8, 0xCD, 0xD4));
        p.drawRoundedRect(QRectF(1, 1, 42, 20), 10, 10);
        p.setBrush(QColor(0, 0, 0, 30));
        const qreal knobX = on ? 32 : 12;
        p.drawEllipse(QPointF(knobX, 11.6), 8.2, 8.2);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(knobX, 11), 8, 8);
    });
}

QImage chevronIcon(bool up)
{
    return paintIcon(10, 6, [up](QPainter &p) {
        p.setPen(strokePen(QColor(0x59, 0x59, 0x59), 1.4));
        QPainterPath v;
        v.moveTo(1.5, up ? 4.8 : 1.2);
        v.lineTo(5, up ? 1.2 : 4.8);
        v.lineTo(8.5, up ? 4.8 : 1.2);
        p.drawPath(v);
    });
}

QImage customBackgroundIcon()
{
    return paintIcon(20, 20, [](QPainter &p) {
        pictureGlyph(p, QRectF(0, 1, 17, 17), 1.2);
        p.setPen(Qt::NoPen);
        p.setBrush(ACCENT);
        p.drawEllipse(QPointF(15.5, 15.5), 4.2, 4.2);
        p.setPen(strokePen(Qt::white, 1.4));
        p.drawLine(QPointF(13.5, 15.5), QPointF(17.5, 15.5));
        p.drawLine(QPointF(15.5, 13.5), QPointF(15.5, 17.5));
    });
}

QImage clearBackgroundIcon()
{
    return paintIcon(24, 24, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xBF, 0xBF, 0xBF));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setPen(strokePen(Qt::white, 2.0));
        p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
    });
}

// ---- title bar

// The editor's title bar buttons, white on its dark blue: 0 minimise, 1
// maximise, 2 close. The window's form names the grey ones of the other
// windows; the style sheet puts these in their place.
QImage titleButtonIcon(int kind, const QColor &color)
{
    return paintIcon(32, 32, [kind, color](QPainter &p) {
        p.setPen(strokePen(color, 2.0));
        p.setBrush(Qt::NoBrush);
        if (kind == 0) {
            p.drawLine(QPointF(10, 16), QPointF(22, 16));
        } else if (kind == 1) {
            p.drawRect(QRectF(10, 10, 12, 12));
        } else {
            p.drawLine(QPointF(10, 10), QPointF(22, 22));
            p.drawLine(QPointF(22, 10), QPointF(10, 22));
        }
    });
}

// The brand mark in the title bar: an archive box with its spine label.
QImage logoIcon()
{
    return paintIcon(72, 72, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(2, 2, 68, 68), 14, 14);
        p.setBrush(ACCENT);
        p.drawRoundedRect(QRectF(14, 16, 44, 40), 4, 4);
        p.setBrush(QColor(0x12, 0x3C, 0x80));
        p.drawRect(QRectF(14, 16, 12, 40));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(16.5, 22, 7, 18), 1.5, 1.5);
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(31, 24 + i * 9, 21 - i * 5, 4), 2, 2);
    });
}

IconDrawing drawing(const QString &name, std::function<QImage()> draw)
{
    return {QStringLiteral("icon/") + name + QStringLiteral(".png"), std::move(draw)};
}

} // namespace

QList<IconDrawing> editorIcons()
{
    struct Element {
        const char *tool;
        const char *cursor;
        Glyph glyph;
    };
    static const Element elements[] = {
        {"add_rect", "cursor_rect", rectGlyph},     {"add_Hline", "cursor_line_h", hlineGlyph},
        {"add_Vline", "cursor_line_v", vlineGlyph}, {"add_cir", "cursor_circle", circleGlyph},
        {"add_font", "cursor_text", textGlyph},     {"add_pic", "cursor_img", pictureGlyph},
        {"add_bar", "cursor_bar", barcodeGlyph},    {"add_qr", "cursor_qr", qrGlyph},
        {"add_rect_bg", "cursor_rect2", doubleRectGlyph},
    };
    QList<IconDrawing> icons;
    for (const Element &e : elements) {
        const Glyph glyph = e.glyph;
        icons.append(drawing(QLatin1String(e.tool), [glyph] { return toolIcon(glyph); }));
        icons.append(drawing(QLatin1String(e.cursor), [glyph] { return cursorIcon(glyph); }));
    }
    icons += {
        drawing(QStringLiteral("ac_copy"), copyIcon),
        drawing(QStringLiteral("ac_paste"), pasteIcon),
        drawing(QStringLiteral("ac_delete"), deleteIcon),
        drawing(QStringLiteral("ac_to_top"), [] { return stackIcon(true); }),
        drawing(QStringLiteral("ac_to_bottom"), [] { return stackIcon(false); }),
        drawing(QStringLiteral("ac_checked"), checkedIcon),
        drawing(QStringLiteral("toolLeftAlign"), [] { return horizontalAlignIcon(-1); }),
        drawing(QStringLiteral("toolMidAlign"), [] { return horizontalAlignIcon(0); }),
        drawing(QStringLiteral("toolRightAlign"), [] { return horizontalAlignIcon(1); }),
        drawing(QStringLiteral("toolTopAlign"), [] { return verticalAlignIcon(-1); }),
        drawing(QStringLiteral("toolCenterAlign"), [] { return verticalAlignIcon(0); }),
        drawing(QStringLiteral("toolBottomAlign"), [] { return verticalAlignIcon(1); }),
        drawing(QStringLiteral("toolHorLeftToRight"), [] { return directionIcon(0); }),
        drawing(QStringLiteral("toolLeftToRight"), [] { return directionIcon(1); }),
        drawing(QStringLiteral("toolRightToLeft"), [] { return directionIcon(2); }),
        drawing(QStringLiteral("switchbutton_on"), [] { return switchIcon(true); }),
        drawing(QStringLiteral("switchbutton_off"), [] { return switchIcon(false); }),
        drawing(QStringLiteral("Up"), [] { return chevronIcon(true); }),
        drawing(QStringLiteral("Down"), [] { return chevronIcon(false); }),
        drawing(QStringLiteral("diy_bg"), customBackgroundIcon),
        drawing(QStringLiteral("bg_clear"), clearBackgroundIcon),
        drawing(QStringLiteral("logo_kwpl"), logoIcon),
        drawing(QStringLiteral("min_2_light"), [] { return titleButtonIcon(0, Qt::white); }),
        drawing(QStringLiteral("max_2_light"), [] { return titleButtonIcon(1, Qt::white); }),
        drawing(QStringLiteral("close_2_light"), [] { return titleButtonIcon(2, Qt::white); }),
    };
    addDisabledLooks(icons, {QStringLiteral("toolLeftAlign"), QStringLiteral("toolMidAlign"),
                             QStringLiteral("toolRightAlign"), QStringLiteral("toolTopAlign"),
                             QStringLiteral("toolCenterAlign"), QStringLiteral("toolBottomAlign"),
                             QStringLiteral("toolHorLeftToRight"), QStringLiteral("toolLeftToRight"),
                             QStringLiteral("toolRightToLeft"), QStringLiteral("switchbutton_on"),
                             QStringLiteral("switchbutton_off"), QStringLiteral("bg_clear"),
                             QStringLiteral("min_2_light"), QStringLiteral("max_2_light"),
                             QStringLiteral("close_2_light")});
    return icons;
}
