#pragma once

#include <QFontMetricsF>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

// What a millimetre ruler of a given size shows: a mark every millimetre,
// a longer one every 5 mm, and the millimetres written every 10 mm. Each
// number stands clear of its mark and inside the ruler; where numbers would
// touch (a zoomed-out label) only every 20th, 50th, 100th, ... millimetre
// is written, so every number shown reads at any zoom.
class RulerScale
{
public:
    static constexpr int SHORT_MARK = 5;
    static constexpr int LONG_MARK = 10;

    struct Mark {
        int position;
        int length;
    };
    struct Label {
        int millimetres;
        QString text;
        // Where the text is drawn from, and the rectangle its digits cover.
        QPointF baseline;
        QRectF rect;
    };

    // horizontal: marks hang from the top edge, left to right; otherwise
    // from the left edge, top to bottom. metrics: the font the numbers are
    // drawn in, on the ruler's paint device.
    RulerScale(bool horizontal, float mm, const QSize &size, const QFontMetricsF &metrics);

    const QVector<Mark> &marks() const { return m_marks; }
    const QVector<Label> &labels() const { return m_labels; }
    // The pixels a mark's line covers.
    QRectF markRect(const Mark &mark) const;

private:
    Label place(int millimetres, int position, const QFontMetricsF &metrics) const;
    bool inside(const QRectF &rect) const;

    bool horizontal;
    QSize size;
    QVector<Mark> m_marks;
    QVector<Label> m_labels;
};
