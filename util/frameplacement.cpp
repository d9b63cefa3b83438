#include "util/frameplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace {

// The margins of the window last framed, decorated ones only: the window
// manager frames the program's windows alike.
QMargins &lastFramed()
{
    static QMargins margins;
    return margins;
}

// What the platform gives a decorated window as it is made: the offscreen
// platform frames it at once, X11 only once the window manager has taken it
// (none until then).
QMargins madeFrame()
{
    static const QMargins margins = [] {
        QWindow probe;
        probe.setFlags(Qt::Dialog);
        probe.create();
        return probe.frameMargins();
    }();
    return margins;
}

QMargins marginsOf(const QWindow *window)
{
    return window ? window->frameMargins() : QMargins();
}

// Places the window again at its first exposure, when its frame is known,
// and then lets it be: from then on the window goes where the user drags it.
class PlaceWhenFramed : public QObject
{
public:
    PlaceWhenFramed(QWidget *widget, FramePlacement::Placer placer)
        : QObject(widget)
        , widget(widget)
        , placer(std::move(placer))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWindow *>(watched);
        if (event->type() != QEvent::Expose || !window || !window->isExposed())
            return false;
        window->removeEventFilter(this);
        deleteLater();
        const QMargins frame = marginsOf(window);
        const bool frameless = window->flags() & Qt::FramelessWindowHint;
        // A window system that tells no frame even now leaves the guess standing.
        if (!widget || (frame.isNull() && !frameless))
            return false;
        if (!frameless)
            lastFramed() = frame;
        const QRect placed = placer(frame);
        if (placed != widget->geometry())
            widget->setGeometry(placed);
        return false;
    }

private:
    QPointer<QWidget> widget;
    FramePlacement::Placer placer;
};

} // namespace

QRect FramePlacement::availableArea(const QPoint &point)
{
    const QScreen *screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QRect FramePlacement::inside(const QRect &ownArea, const QRect &area, const QMargins &frame)
{
    if (area.isEmpty())
        return ownArea;
    const QRect outer = ownArea.marginsAdded(frame);
    const int left = qMax(area.left(), qMin(outer.left(), area.right() + 1 - outer.width()));
    const int top = qMax(area.top(), qMin(outer.top(), area.bottom() + 1 - outer.height()));
    return ownArea.translated(left - outer.left(), top - outer.top());
}

QRect FramePlacement::centred(const QSize &size, const QPoint &centre, const QRect &area, const QMargins &frame)
{
    QRect outer = QRect(QPoint(), size).marginsAdded(frame);
    outer.moveCenter(centre);
    return inside(outer.marginsRemoved(frame), area, frame);
}

QMargins FramePlacement::expectedFrame(const QWidget *window)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return QMargins();
    const QMargins own = marginsOf(window->windowHandle());
    if (!own.isNull())
        return own;
    if (!lastFramed().isNull())
        return lastFramed();
    return madeFrame();
}

void FramePlacement::place(QWidget *window, const Placer &placer)
{
    window->setGeometry(placer(expectedFrame(window)));
    window->winId();
    window->windowHandle()->installEventFilter(new PlaceWhenFramed(window, placer));
}
