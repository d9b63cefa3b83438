// The help pop-up's firmware update, device information and user manual.

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/appupdate.h"
#include "app/hardversionquery.h"
#include "app/helpdocdlg.h"
#include "app/helppage.h"
#include "printer/comanager.h"
#include "util/constants.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDebug>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

namespace {

const char USER_MANUAL[] = "/Tarnwick用户手册.pdf";

} // namespace

void MainWindow::on_btn_nav_setting_4_clicked()
{
    ui->frame_help_nav->hide();
    if (updateDialog) {
        updateDialog->raise();
        updateDialog->activateWindow();
        return;
    }
    // A firmware image must not go out between the pages of a print job.
    if (dialogBusy) {
        TextUtil::showError(QString::fromUtf8(DIALOG_BUSY_TIP));
        return;
    }
    if (!checkPrinterStatus())
        return;
    auto *dialog = new AppUpdate(this);
    updateDialog = dialog;
    connect(dialog, &AppUpdate::sigUpdateHardWare, this,
            [this, dialog](const QByteArray &frame) { sendFirmware(dialog, frame); });
    disconnect(updateStatusConnection);
    updateStatusConnection = connect(comManager, &ComManager::onReceiveUpdateStatus, this, &MainWindow::onUpdateStatus);
    const QMetaObject::Connection answered =
        connect(comManager, &ComManager::onReceiveUpdateStatus, dialog, &AppUpdate::updateAnswered);
    connect(dialog, &AppUpdate::sigClosed, this, [dialog, answered] {
        disconnect(answered);
        dialog->deleteLater();
    });
    dialog->show();
}

void MainWindow::sendFirmware(AppUpdate *dialog, const QByteArray &frame)
{
    // The dialog may have outlived the link it was opened over: an image is
    // for a printer that has answered the handshake.
    if (!checkPrinterStatus()) {
        dialog->updateRefused();
        return;
    }
    // The dialog stays open beside a print preview opened after it.
    if (printerTask() == PrinterTask::Printing) {
        TextUtil::showError(QString::fromUtf8(PRINT_BUSY_TIP));
        dialog->updateRefused();
        return;
    }
    if (!comManager->sendFirmwareImage(frame)) {
        dialog->updateNotSent();
        return;
    }
    firmwareWait->start(Seams::firmwareWaitMs());
}

void MainWindow::onUpdateStatus(const UpdateStatusModel &model)
{
    firmwareWait->stop();
    comManager->endFirmwareImage();
    if (model.status != 0)
        TextUtil::showError(QStringLiteral("升级失败"));
    else
        TextUtil::showSuccess(QStringLiteral("升级成功"));
}

void MainWindow::onFirmwareUnanswered()
{
    // A printer that lost the image, or took it and said nothing, must not
    // hold off every other use of it for good; an answer coming after all
    // is still shown.
    qWarning().noquote() << "no answer to the firmware image within" << Seams::firmwareWaitMs()
                         << "ms of its last byte; the printer is taken as free again";
    if (updateDialog)
        updateDialog->updateUnanswered();
    comManager->endFirmwareImage();
}

HelpDocDlg *MainWindow::openHelpPage(int page)
{
    auto *dialog = new HelpDocDlg(page, this);
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->open();
    return dialog;
}

void MainWindow::on_btn_nav_setting_7_clicked()
{
    ui->frame_help_nav->hide();
    PrinterUtil::s_printerHardVersion = PrinterHardVerInfo();
    // One request at a time: a second press while one waits adds nothing.
    if (versionQuery || !checkPrinterStatus())
        return;
    auto *query = new HardVersionQuery(comManager, this);
    if (!query->start()) {
        TextUtil::showError(QStringLiteral("打印机连接异常,请先连接打印机"));
        delete query;
        return;
    }
    versionQuery = query;
    // The query keeps taking replies in while its page is shown.
    connect(query, &HardVersionQuery::ready, this, [this, query] {
        HelpDocDlg *page = openHelpPage(HelpPage::VERSIONS);
        connect(page, &QDialog::finished, query, &QObject::deleteLater);
    });
}

void MainWindow::on_btn_nav_setting_5_clicked()
{
    if (!checkPrinterStatus())
        return;
    ui->frame_help_nav->hide();
    openHelpPage(HelpPage::API);
}

void MainWindow::on_btn_nav_setting_6_clicked()
{
    ui->frame_help_nav->hide();
    openHelpPage(HelpPage::ABOUT);
}

void MainWindow::on_btn_nav_setting_1_clicked()
{
    ui->frame_help_nav->hide();
    const QString path = Seams::programDir() + QString::fromUtf8(USER_MANUAL);
    if (!QFileInfo::exists(path)) {
        TextUtil::showError(QStringLiteral("文档丢失，请联系我们"));
        return;
    }
    Seams::openUrl(QUrl::fromLocalFile(path), [path] {
        qWarning().noquote() << "no program opened the user manual" << path;
        TextUtil::showError(QStringLiteral("文档无法打开，请安装PDF阅读器"));
    });
}
