#include "util/windowdrag.h"

#include <QMouseEvent>
#include <QWidget>

void WindowDrag::press(const QMouseEvent *event, bool inTitleStrip)
{
    if (event->button() != Qt::LeftButton || !inTitleStrip)
        return;
    dragging = true;
    lastMousePos = event->screenPos().toPoint();
}

bool WindowDrag::follow(QWidget *window, const QMouseEvent *event)
{
    if (!dragging)
        return false;
    currentMousePos = event->screenPos().toPoint();
    window->move(window->pos() + (currentMousePos - lastMousePos));
    lastMousePos = currentMousePos;
    return true;
}

void WindowDrag::release(const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
}
