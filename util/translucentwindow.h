#pragma once

#include <QColor>

class QWidget;

// A frameless window with see-through parts: the margin its drop shadow
// falls in, the corners outside its rounded panel. Where the window system
// cannot blend (an X session without a compositing manager) those pixels
// would show black, so there the window is drawn opaque and its background
// filled with the panel's own colour; the shadow then falls on that colour.
class TranslucentWindow
{
public:
    // Before the window is first shown, once it has its object name and
    // style sheet.
    static void apply(QWidget *window, const QColor &panelColor);
};
