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
        // Centred over the parent's window, else on the screen the mouse is
        // on, by its frame, and wholly on that screen. QDialog would guess a
        // frame of 10 by 40 pixels even for a frameless dialog, and put it
        // that far above and left of the middle.
        const QWidget *opener = parentWidget() ? parentWidget()->window() : nullptr;
        const QRect over = opener && opener->isVisible() ? opener->frameGeometry()
                                                          : FramePlacement::availableArea(QCursor::pos());
        const QPoint centre = over.center();
        const QRect area = FramePlacement::availableArea(centre);
        const QSize own = size();
        FramePlacement::place(this, [own, centre, area](const QMargins &frame) {
            return FramePlacement::centred(own, centre, area, frame);
        });
    }
    QDialog::setVisible(visible);
}
