#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

// The drag of a frameless window by its title strip, for the window's own
// mouse handlers: a left press that the window found inside its strip
// starts it, each move takes the window along by how far the mouse went,
// a left release ends it. Positions are global, rounded to whole pixels.
class WindowDrag
{
public:
    void press(const QMouseEvent *event, bool inTitleStrip);
    // Moves window with the mouse while a drag is on; true when it did.
    bool follow(QWidget *window, const QMouseEvent *event);
    void release(const QMouseEvent *event);

    bool isDragging() const { return dragging; }

private:
    bool dragging = false;
    QPoint lastMousePos;
    QPoint currentMousePos;
};
