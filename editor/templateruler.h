#pragma once

#include "editor/rulerscale.h"

#include <QWidget>

// A millimetre ruler along the top (horizontal) or the left edge of the
// editor's canvas. It knows only the length it stands for; its length in
// pixels is whatever size the editor gives it, which the editor keeps equal
// to the zoomed label, so the marks line up with the label at every zoom.
class TemplateRuler : public QWidget
{
    Q_OBJECT
public:
    TemplateRuler(bool horizontal, float mm, QWidget *parent = nullptr);

    // Stores the length; the old marks stay until the next repaint.
    void setMM(float mm);
    float getMM() const { return mm; }
    bool isHorizontal() const { return horizontal; }
    // What the ruler shows at its current size.
    RulerScale scale() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool horizontal;
    float mm;
};
