#pragma once

#include <QHash>
#include <QLabel>

class QTextLayout;

// A label of plain text that is never cut: it wraps where a line may break
// (between words, between any two Chinese characters) and, where a run has
// no such place (a long name of Latin letters or digits), between any two
// characters, so no line is wider than the label; and it asks for the height
// of all its lines. QLabel's own word wrap leaves such a run past its edge.
// It asks for the width of its widest line, up to the width it wraps at.
class WrappingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit WrappingLabel(QWidget *parent = nullptr);

    // The widest it asks its lines to be; 0 (the start) lets a line be as
    // wide as it is.
    void setWrapWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Lays the text out in lines no wider than width (none for 0, each line
    // as wide as it is); returns the height of all and, in widest, the width
    // of the widest.
    qreal layOut(QTextLayout &layout, qreal width, qreal *widest = nullptr) const;
    // The width of the widest line and the height of all at a width of
    // its contents (0: unwrapped), kept for the text and font last asked.
    QSize measured(int width) const;

    int wrapWidth = 0;
    mutable QString measuredText;
    mutable QFont measuredFont;
    mutable QHash<int, QSize> measuredSizes;
};
