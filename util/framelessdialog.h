#pragma once

#include "util/placeddialog.h"
#include "util/windowdrag.h"

// Base of the shell's small dialogs (firmware update, help pages): a frameless
// top-level dialog styled by helpdialog.css and dragged by a left press in
// its title strip.
class FramelessDialog : public PlacedDialog
{
    Q_OBJECT

public:
    explicit FramelessDialog(QWidget *parent = nullptr);

protected:
    // The common settings, once the form is built: background, style sheet,
    // frameless flags. A drag may start anywhere within titleStrip's size
    // placed at the dialog's origin.
    void WidgetInit(QWidget *titleStrip);

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QWidget *titleStrip = nullptr;
    WindowDrag titleDrag;
};
