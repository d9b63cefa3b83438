#include "util/placeddialog.h"

#include "util/frameplacement.h"

#include <QCursor>
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
        // Centred by its frame, and wholly on its screen. QDialog would guess
        // a frame of 10 by 40 pixels even for a frameless dialog, and put it
        // that far above and left of the middle.
        const QPoint centre = openingCentre();
        const QRect area = openingArea();
        // Its size as it is then: placed again when first shown, it keeps
        // whatever size it took on the way.
        FramePlacement::place(this, [this, centre, area](const QMargins &frame) {
            return FramePlacement::centred(size(), centre, area, frame);
        });
    }
    QDialog::setVisible(visible);
}

QRect PlacedDialog::openingArea() const
{
    return FramePlacement::availableArea(openingCentre());
}

// Over the parent's window, else on the screen the mouse is on.
QPoint PlacedDialog::openingCentre() const
{
    const QWidget *opener = parentWidget() ? parentWidget()->window() : nullptr;
    return (opener && opener->isVisible() ? opener->frameGeometry() : FramePlacement::availableArea(QCursor::pos()))
        .center();
}
