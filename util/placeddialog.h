#pragma once

#include <QDialog>

// A dialog that is laid out, sized and placed before its native window is
// made. QDialog centres itself in its show event, after the window is made
// and just before it is mapped. On X11 that move comes back as a notice that
// Qt handles only once the window manager has taken the window into a new
// frame, still in the screen's corner (1 x 1) and not yet where the window
// asked to be; Qt asks the server where the window is and records that
// corner. The frame then goes where the window asked, which tells the window
// nothing, so Qt's record stays in the corner while the dialog is open: a
// drag by its title strip would start from there, and so would a file
// dialog opened from it.
class PlacedDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PlacedDialog(QWidget *parent = nullptr);

    void setVisible(bool visible) override;

protected:
    // The available area of the screen it opens on: that of its opener's
    // window, else of the screen the mouse is on.
    QRect openingArea() const;

private:
    // The point it opens centred on.
    QPoint openingCentre() const;
};
