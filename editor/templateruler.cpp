#include "editor/templateruler.h"

#include <QPainter>

namespace {

constexpr int SHORT_MARK = 5;
constexpr int LONG_MARK = 10;
constexpr int LABEL_BASELINE = 20;
constexpr int LABEL_WIDTH = 3;
// Lines run through pixel centres, so each mark fills exactly the pixel
// column (or row) it stands for, without antialiasing blur.
constexpr qreal PIXEL_CENTRE = 0.5;

} // namespace

TemplateRuler::TemplateRuler(bool horizontal, float mm, QWidget *parent)
    : QWidget(parent)
    , horizontal(horizontal)
    , mm(mm)
{
}

void TemplateRuler::setMM(float value)
{
    mm = value;
}

void TemplateRuler::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0, 0, 0));
    painter.setFont(QFont(QStringLiteral("宋体"), 8));
    painter.drawRect(QRectF(PIXEL_CENTRE, PIXEL_CENTRE, width() - 1, height() - 1));

    const int length = horizontal ? width() : height();
    if (!(mm > 0.0f))
        return;
    const float step = float(length) / mm;
    for (int i = 0; float(i) < mm; ++i) {
        const int p = int(float(i) * step);
        const int mark = i % 5 == 0 ? LONG_MARK : SHORT_MARK;
        const qreal c = p + PIXEL_CENTRE;
        if (horizontal) {
            painter.drawLine(QPointF(c, 0), QPointF(c, mark));
            if (i % 10 == 0)
                painter.drawText(QPoint(p, LABEL_BASELINE), QString::number(i));
        } else {
            painter.drawLine(QPointF(0, c), QPointF(mark, c));
            if (i % 10 == 0)
                painter.drawText(QPoint(0, p), QString::number(i).rightJustified(LABEL_WIDTH, QLatin1Char(' ')));
        }
    }
}
