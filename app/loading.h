#pragma once

#include "util/placeddialog.h"

#include <QString>

namespace Ui {
class Loading;
}

// The welcome splash: a frameless dialog that shows one picture stretched
// over its whole area.
class Loading : public PlacedDialog
{
    Q_OBJECT

public:
    static constexpr int SHOW_MS = 3000;

    explicit Loading(QString imagePath, QWidget *parent = nullptr);
    ~Loading() override;

    // Shows the picture at imagePath for SHOW_MS (Escape ends it earlier)
    // when the path is set and a file is there; returns once it is gone.
    static void showWelcome(const QString &imagePath);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::Loading *ui;
    QString imagePath;
};
