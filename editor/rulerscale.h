#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

class QFontMetricsF;
class QPaintDevice;

// What a millimetre ruler of a given size shows: a mark every millimetre,
// a longer one every 5 mm, and the millimetres written every 10 mm. Each
// number stands clear of the marks and inside the ruler; where numbers would
// touch (a zoomed-out label) only every 20th, 50th, 100th, ... millimetre
// is written, so every number shown reads at any zoom. The marks thin out
// with them, to every 2nd, 5th, 10th, ... millimetre, so they never run
// together into a solid band; the longer marks stand halfway between the
// numbers and under each.
class RulerScale
{
public:
    static constexpr int SHORT_MARK = 5;
    static constexpr int LONG_MARK = 10;

    // Marks closer than this many pixels would merge.
    static constexpr int MIN_MARK_SPACING = 3;

    struct Mark {
        int millimetres;
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
    // from the left edge, top to bottom. font: what the numbers are written
    // in, on device.
    RulerScale(bool horizontal, float mm, const QSize &size, const QFont &font, const QPaintDevice *device);

    const QVector<Mark> &marks() const { return m_marks; }
    const QVector<Label> &labels() const { return m_labels; }
    // The font the numbers are drawn in: the font asked for, narrowed on a
    // vertical ruler until its widest number fits beside the longest marks.
    const QFont &font() const { return m_font; }
    // The pixels a mark's line covers.
    QRectF markRect(const Mark &mark) const;

private:
    Label place(int millimetres, int position, const QFontMetricsF &metrics) const;
    // Every step-th millimetre written, as far as numbers stay apart.
    QVector<Label> labelsApart(const QVector<Label> &candidates, int *step) const;
    bool inside(const QRectF &rect) const;

    bool horizontal;
    QSize size;
    QFont m_font;
    QVector<Mark> m_marks;
    QVector<Label> m_labels;
};
