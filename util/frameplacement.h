#pragma once

#include <QMargins>
#include <QRect>

#include <functional>

class QWidget;

// Keeps a top-level window on its screen by its frame: its own area and the
// title bar and borders the window system puts around it. That frame is
// known only once the window system has framed the window (on X11, once the
// window manager has taken it, after it is mapped), so a window is placed
// before it is made by the frame it is expected to get and placed again,
// once, when it is first shown and its frame is known.
class FramePlacement
{
public:
    // Where a window goes: its own area, given the frame's margins around it.
    using Placer = std::function<QRect(const QMargins &frame)>;

    // The available area of the screen at a point, else of the primary screen.
    static QRect availableArea(const QPoint &point);
    // The least move of ownArea that puts its frame inside area; a frame
    // larger than the area keeps its top left corner inside.
    static QRect inside(const QRect &ownArea, const QRect &area, const QMargins &frame);
    // An own area of size whose frame is centred on centre and inside area.
    static QRect centred(const QSize &size, const QPoint &centre, const QRect &area, const QMargins &frame);

    // The frame's margins the window has, or is expected to get: none for a
    // frameless window; else its own once framed, else those of the last
    // window of the program that was framed, else what the platform gives a
    // window as it is made.
    static QMargins expectedFrame(const QWidget *window);

    // Places a window not yet made by its expected frame, and again by its
    // real frame when it is first exposed, if that differs.
    static void place(QWidget *window, const Placer &placer);
};
