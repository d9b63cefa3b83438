#include "util/placeddialog.h"

#include "util/frameplacement.h"

#include <QLayout>

PlacedDialog::PlacedDialog(QWidget *parent)
    : QDialog(parent)
{
}

void PlacedDialog::setVisible(bool visible)
{
    // Once made, the window keeps the place the window system knows, and a
    // dialog placed by its opener or shown maximised is left as it is.
    if (visible && !testAttribute(Qt::WA_WState_Created) && !testAttribute(Qt::WA_Moved)
        && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        ensurePolished();
        if (layout())
            layout()->activate();
        if (!testAttribute(Qt::WA_Resized))
            adjustSize();
        // Where QDialog would put it: over the parent's window, else on the
        // screen the mouse is on. Moved before it is made, a window is placed
        // by its frame's corner; QDialog places its own area there. Its
        // frame then stays on that screen.
        adjustPosition(parentWidget());
        const QRect opens(pos(), size());
        const QRect area = FramePlacement::availableArea(opens.center());
        FramePlacement::place(this, [opens, area](const QMargins &frame) {
            return FramePlacement::inside(opens, area, frame);
        });
    }
    QDialog::setVisible(visible);
}
