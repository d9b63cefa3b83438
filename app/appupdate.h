#pragma once

#include "util/framelessdialog.h"

#include <QByteArray>
#include <QString>

namespace Ui {
class AppUpdate;
}

// The firmware update dialog: the user picks a firmware file and the printer
// program it replaces; the dialog packs the whole file into one firmware
// frame and hands it on with sigUpdateHardWare. Until the printer's status
// reply is announced with updateAnswered(), the frame is reported unsent
// with updateNotSent() or refused with updateRefused(), the link is
// reported lost with linkLost() or the wait for the answer is reported over
// with updateUnanswered(), 升级 stays disabled, so an image is never
// sent twice by accident.
class AppUpdate : public FramelessDialog
{
    Q_OBJECT

public:
    // Larger files are refused before they are read.
    static constexpr qint64 MAX_FIRMWARE_BYTES = 32 * 1024 * 1024;

    explicit AppUpdate(QWidget *parent = nullptr);
    ~AppUpdate() override;

    // The whole image in the file at path; empty when the file cannot be
    // read, is empty or is larger than MAX_FIRMWARE_BYTES.
    static QByteArray readFirmware(const QString &path);

public slots:
    // The printer answered the image last sent.
    void updateAnswered();
    // The frame last handed on could not be written to the printer.
    void updateNotSent();
    // The frame last handed on was not sent: the printer is busy, as whoever
    // refused it has told the user.
    void updateRefused();
    // The link went: an image sent over it is answered no more.
    void linkLost();
    // The printer has not answered the image in the time it is given.
    void updateUnanswered();
    // Escape closes the dialog like its close button.
    void reject() override;

signals:
    void sigUpdateHardWare(QByteArray cmdMsg);
    void sigClosed();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_btn_close_clicked();
    void on_btn_cancel_clicked();
    void on_btn_choose_clicked();
    void on_btn_update_clicked();

private:
    enum class State { Ready, AwaitingReply };
    void setState(State next);

    Ui::AppUpdate *ui;
    State state = State::Ready;
};
