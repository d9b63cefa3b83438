#include "editor/rulerscale.h"

#include <QFontMetricsF>

#include <cmath>

namespace {

// The horizontal ruler's numbers stand on this baseline, below every mark.
constexpr qreal LABEL_BASELINE = 20;
// Free pixels between a number and a mark or the ruler's frame.
constexpr qreal GAP = 1;
// Free pixels between two numbers.
constexpr qreal LABEL_SPACING = 4;
constexpr int FIRST_LABEL_STEP = 10;
// How far a vertical ruler's numbers may be narrowed, in percent.
constexpr int NARROWEST_STRETCH = 50;
constexpr int STRETCH_STEP = 5;

// 1, 2, 5, 10, 20, 50, ...
int nextStep(int step)
{
    int decade = 1;
    while (step >= decade * 10)
        decade *= 10;
    return step == decade ? decade * 2 : step == decade * 2 ? decade * 5 : decade * 10;
}

bool apart(const QVector<RulerScale::Label> &labels, bool horizontal)
{
    for (int i = 1; i < labels.size(); ++i) {
        const QRectF &a = labels.at(i - 1).rect;
        const QRectF &b = labels.at(i).rect;
        const qreal space = horizontal ? b.left() - a.right() : b.top() - a.bottom();
        if (space < LABEL_SPACING)
            return false;
    }
    return true;
}

} // namespace

RulerScale::RulerScale(bool horizontal, float mm, const QSize &size, const QFont &font, const QPaintDevice *device)
    : horizontal(horizontal)
    , size(size)
    , m_font(font)
{
    if (!(mm > 0.0f))
        return;
    const int lastLabel = int(std::ceil(mm)) - 1;
    if (!horizontal) {
        // Beside the longest marks and short of the frame, whatever the zoom.
        const qreal room = size.width() - (LONG_MARK + 1 + GAP) - (1 + GAP);
        const QString widest = QString::number(lastLabel - lastLabel % FIRST_LABEL_STEP);
        for (int stretch = 100; stretch >= NARROWEST_STRETCH; stretch -= STRETCH_STEP) {
            m_font.setStretch(stretch);
            if (QFontMetricsF(m_font, device).tightBoundingRect(widest).width() <= room)
                break;
        }
    }
    const QFontMetricsF metrics(m_font, device);

    const int length = horizontal ? size.width() : size.height();
    const float step = float(length) / mm;
    const auto position = [step](int i) { return int(float(i) * step); };
    QVector<Label> candidates;
    for (int i = 0; float(i) < mm; i += FIRST_LABEL_STEP) {
        const Label label = place(i, position(i), metrics);
        // A number the ruler's end would cut is left out.
        if (inside(label.rect))
            candidates.append(label);
    }
    int every = FIRST_LABEL_STEP;
    m_labels = labelsApart(candidates, &every);

    // The finest marks that stay apart and still fall on every number.
    int markStep = 1;
    while (markStep < mm
           && (float(markStep) * step < MIN_MARK_SPACING || (m_labels.size() > 1 && every % markStep != 0)))
        markStep = nextStep(markStep);
    // Halfway between the numbers, where a mark stands there; with one
    // number or none, every fifth mark.
    const int longStep = markStep > every           ? markStep * 5
                         : (every / 2) % markStep == 0 ? every / 2
                                                       : every;
    for (int i = 0; float(i) < mm; i += markStep)
        m_marks.append({i, position(i), i % longStep == 0 ? LONG_MARK : SHORT_MARK});
}

QVector<RulerScale::Label> RulerScale::labelsApart(const QVector<Label> &candidates, int *step) const
{
    for (int every = FIRST_LABEL_STEP;; every = nextStep(every)) {
        QVector<Label> shown;
        for (const Label &label : candidates) {
            if (label.millimetres % every == 0)
                shown.append(label);
        }
        if (shown.size() <= 1 || apart(shown, horizontal)) {
            *step = every;
            return shown;
        }
    }
}

QRectF RulerScale::markRect(const Mark &mark) const
{
    return horizontal ? QRectF(mark.position, 0, 1, mark.length + 1) : QRectF(0, mark.position, mark.length + 1, 1);
}

RulerScale::Label RulerScale::place(int millimetres, int position, const QFontMetricsF &metrics) const
{
    Label label;
    label.millimetres = millimetres;
    label.text = QString::number(millimetres);
    const QRectF ink = metrics.tightBoundingRect(label.text);
    if (horizontal) {
        // Right of its mark and below the longest marks.
        const qreal baseline = qMax(LABEL_BASELINE, LONG_MARK + 1 + GAP - ink.top());
        label.baseline = QPointF(position + 1 + GAP - ink.left(), baseline);
    } else {
        // Against the frame, beside the longest marks, level with its own
        // mark as far as the ruler's ends allow.
        const qreal top = qBound(1 + GAP, position + 0.5 - ink.height() / 2, size.height() - 1 - GAP - ink.height());
        label.baseline = QPointF(size.width() - 1 - GAP - ink.right(), top - ink.top());
    }
    label.rect = ink.translated(label.baseline);
    return label;
}

bool RulerScale::inside(const QRectF &rect) const
{
    return QRectF(1 + GAP, 1 + GAP, size.width() - 2 * (1 + GAP), size.height() - 2 * (1 + GAP)).contains(rect);
}
