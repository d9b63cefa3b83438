#pragma once

#include "util/framelessdialog.h"

namespace Ui {
class HelpDocDlg;
}

// The small text dialog of the help pop-up: the local API's address, the
// company lines or the printer's controller versions (HelpPage decides
// what each page says).
class HelpDocDlg : public FramelessDialog
{
    Q_OBJECT

public:
    // page: a HelpPage::Number; any other number shows the empty help page.
    HelpDocDlg(int page, QWidget *parent = nullptr);
    ~HelpDocDlg() override;

private slots:
    void on_btn_close_clicked();

private:
    Ui::HelpDocDlg *ui;
};
