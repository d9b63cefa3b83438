#include "editor/templateruler.h"

#include <QPainter>

namespace {

// Lines run through pixel centres, so each mark fills exactly the pixel
// column (or row) it stands for, without antialiasing blur.
constexpr qreal PIXEL_CENTRE = 0.5;

QFont labelFont()
{
    return QFont(QStringLiteral("宋体"), 8);
}

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
    painter.drawRect(QRectF(PIXEL_CENTRE, PIXEL_CENTRE, width() - 1, height() - 1));

    const RulerScale scale = this->scale();
    painter.setFont(scale.font());
    for (const RulerScale::Mark &mark : scale.marks()) {
        const qreal c = mark.position + PIXEL_CENTRE;
        if (horizontal)
            painter.drawLine(QPointF(c, 0), QPointF(c, mark.length));
        else
            painter.drawLine(QPointF(0, c), QPointF(mark.length, c));
    }
    for (const RulerScale::Label &label : scale.labels())
        painter.drawText(label.baseline, label.text);
}

RulerScale TemplateRuler::scale() const
{
    return RulerScale(horizontal, mm, size(), labelFont(), this);
}
