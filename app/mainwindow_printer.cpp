// The main window's watch over the printer: the link it opens at start, the
// printer state shown by the title-bar indicator, the replies that move that
// state, the indicator's reconnect and the serial permission offer.

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/appupdate.h"
#include "app/serialpermission.h"
#include "print/printjobkeeper.h"
#include "print/printpreview.h"
#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "util/constants.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDebug>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

namespace {

const char COM_MODE_KEY[] = "com.mode";
const char SERIAL_MODE[] = "serialPort";
// The first requests wait for the printer to take the new link.
constexpr int HANDSHAKE_DELAY_MS = 500;
// A printer reached over TCP gets longer before it is spoken to.
constexpr int TCP_SETTLE_MS = 800;
constexpr uchar HANDSHAKE_REFUSED = 32;
const char UPDATING_TIP[] = "打印机正在升级，请稍后再试";

QString comMode()
{
    return JsonUtil::getCustomConfig(QLatin1String(COM_MODE_KEY), QString());
}

// The ink box's serial: the block's text up to its first NUL, without padding.
QString inkBoxSerial(const stInkbox &reply)
{
    const char *text = reinterpret_cast<const char *>(reply.data);
    return QString::fromLatin1(text, int(qstrnlen(text, sizeof reply.data))).trimmed();
}

} // namespace

bool MainWindow::initCommunication()
{
    comManager = new ComManager(this);
    connect(comManager, &ComManager::serialPortDisconnectError, this, &MainWindow::onSerialLinkLost);
    connect(comManager, &ComManager::tcpSocketReceiveConnectState, this, &MainWindow::onTcpLinkState);
    connect(comManager, &ComManager::onReceiveHandshake, this, &MainWindow::onHandshake);
    connectSettingsReplies();
    connect(comManager, &ComManager::onReceiveReadInkbox, this, &MainWindow::onInkBoxRead);
    connect(comManager, &ComManager::onReceiveAckStatus, this, &MainWindow::onAckStatus);
    jobKeeper = new PrintJobKeeper(this);
    // A page printed while the ink box's count is unknown is charged nothing;
    // the count is asked for again, so a read that went unanswered (the one
    // at a job's start, or the one after a charge) costs that page's charge
    // and not those of every page after it. Asked before the notice is
    // taken, which may start a job that reads the count itself.
    connect(comManager, &ComManager::onReceivePrintNotify, this, [this] {
        if (!PrinterUtil::s_printerSys.remainKnown)
            comManager->readInkBox(DATA_BLOCK_INK_AMOUNT);
    });
    connect(comManager, &ComManager::onReceivePrintNotify, jobKeeper, &PrintJobKeeper::pageNoticed);
    firmwareWait = new QTimer(this);
    firmwareWait->setSingleShot(true);
    connect(firmwareWait, &QTimer::timeout, this, &MainWindow::onFirmwareUnanswered);
    // Only the image's own bytes: nothing else goes out while it is out, and
    // what is held for after it must not prolong the wait.
    connect(comManager, &ComManager::firmwareBytesWritten, this, [this] {
        if (firmwareWait->isActive())
            firmwareWait->start(Seams::firmwareWaitMs());
    });
    // Queued: the offer's dialogs must not run inside the link's own search
    // for a port to open.
    connect(comManager, &ComManager::serialPortPermissionError, this, &MainWindow::offerPermissionElevation,
            Qt::QueuedConnection);

    QString mode = comMode();
    if (mode.isEmpty()) {
        mode = QLatin1String(SERIAL_MODE);
        JsonUtil::setCustomConfig(QLatin1String(COM_MODE_KEY), mode);
    }
    int delay = HANDSHAKE_DELAY_MS;
    bool opened = false;
    if (mode == QLatin1String(SERIAL_MODE)) {
        opened = comManager->initSerialPort();
    } else {
        opened = comManager->initSocketTcp();
        // Waited on a timer rather than in a sleep, so the window is not
        // frozen meanwhile.
        delay += TCP_SETTLE_MS;
    }
    if (!opened) {
        qWarning().noquote() << QStringLiteral("通信模块初始化失败");
        return false;
    }
    QTimer::singleShot(delay, this, [this] {
        if (!comManager->handshake())
            return;
        comManager->readPrinterIp();
        comManager->readPrintParmeter();
        comManager->readInkBox(DATA_BLOCK_INKBOX_SERIAL);
        comManager->readInkBox(DATA_BLOCK_INK_AMOUNT);
    });
    return true;
}

void MainWindow::setPrinterState(uchar state)
{
    printerState = state;
    switch (state) {
    case PRINTER_UNCONNECTED:
        ui->lb_title_status->setStyleSheet(QLatin1String(TITLE_STYLE_UNCONNECTED));
        ui->lb_title_status->setToolTip(QStringLiteral("请确认连接后点击此处进行重连"));
        stopApiServer();
        break;
    case PRINTER_CONNECTED:
        ui->lb_title_status->setStyleSheet(QLatin1String(TITLE_STYLE_CONNECTED));
        ui->lb_title_status->setToolTip(QStringLiteral("打印机已连接"));
        startApiServer();
        break;
    case PRINTER_INK_ERROR:
        // The API server keeps running: its clients may still ask for the state.
        ui->lb_title_status->setStyleSheet(QLatin1String(TITLE_STYLE_INK_ERR));
        ui->lb_title_status->setToolTip(QStringLiteral("墨盒异常"));
        break;
    default:
        break;
    }
}

MainWindow::PrinterTask MainWindow::printerTask() const
{
    if (firmwareWait->isActive())
        return PrinterTask::Updating;
    if (printPreview || apiPreview || jobKeeper->isKeeping())
        return PrinterTask::Printing;
    return PrinterTask::Idle;
}

bool MainWindow::refuseWhileUpdating()
{
    // A printer writing new firmware is to be left alone until it answers.
    if (printerTask() != PrinterTask::Updating)
        return false;
    TextUtil::showError(QString::fromUtf8(UPDATING_TIP));
    return true;
}

bool MainWindow::checkPrinterStatus()
{
    switch (printerState) {
    case PRINTER_CONNECTED:
        return !refuseWhileUpdating();
    case PRINTER_INK_ERROR:
        TextUtil::showError(QStringLiteral("墨盒异常，请先检查墨盒"));
        return false;
    default:
        TextUtil::showError(QStringLiteral("打印机连接异常，请先检查打印机"));
        return false;
    }
}

void MainWindow::setDeviceButtonsEnabled(bool on)
{
    const QList<QWidget *> buttons{ui->btn_print_argset_read, ui->btn_print_argset_save, ui->btn_network_read,
                                   ui->btn_network_save};
    for (QWidget *button : buttons)
        button->setEnabled(on);
}

void MainWindow::onHandshake(const HandshakeReceiveModel &model)
{
    if (model.status == HANDSHAKE_REFUSED) {
        setPrinterState(PRINTER_UNCONNECTED);
        qWarning().noquote() << QStringLiteral("握手异常，状态码：") + QString::number(model.status);
        return;
    }
    setDeviceButtonsEnabled(true);
    setPrinterState(PRINTER_CONNECTED);
    ui->radio_paper_fout->setEnabled(true);
    ui->radio_paper_bout->setEnabled(true);
    qInfo().noquote() << QStringLiteral("读取成功:") << model.version << model.sn << model.inkboxSerial;

    PrinterUtil::s_printerSys.version = model.version;
    PrinterUtil::s_printerSys.sn = model.sn;
    PrinterUtil::s_protocolType = PrinterUtil::protocolTypeFromSn(model.sn);
    if (PrinterUtil::s_protocolType == 0)
        TextUtil::showError(QStringLiteral("未知机型"));
    PrinterUtil::s_printerSys.model = model.model;

    ui->line_edit_print_version->setText(model.version);
    ui->line_edit_print_sn->setText(model.sn);
    ui->edit_speed_level->setText(QString::number(model.model));
    ui->frame_print_argsetting->setEnabled(true);
    ui->frame_print_net->setEnabled(true);
}

void MainWindow::onInkBoxRead(const stInkbox &reply)
{
    // Only a printer that accepted the handshake is connected, whatever its
    // ink box answers.
    const bool shaken = printerState != PRINTER_UNCONNECTED;
    if (reply.status != 0) {
        // The box's count is not to be trusted until block 6 reads well again.
        PrinterUtil::s_printerSys.remainKnown = false;
        if (shaken)
            setPrinterState(PRINTER_INK_ERROR);
        return;
    }
    if (shaken)
        setPrinterState(PRINTER_CONNECTED);

    if (reply.block == DATA_BLOCK_INKBOX_SERIAL) {
        PrinterUtil::s_printerSys.inkboxSerial = inkBoxSerial(reply);
        qInfo().noquote() << QStringLiteral("读取完成:") << int(reply.block) << PrinterUtil::s_printerSys.inkboxSerial
                          << int(reply.status);
    } else if (reply.block == DATA_BLOCK_INK_AMOUNT) {
        quint32 remain = 0;
        if (!InkAccount::decodeBlock(reply, &remain)) {
            // The value kept is the last box's, maybe another box's.
            PrinterUtil::s_printerSys.remainKnown = false;
            ui->widget_ink_num->hide();
            qWarning().noquote() << QStringLiteral("墨量格式错误");
            TextUtil::showError(QStringLiteral("读取失败：墨量格式错误"));
            return;
        }
        PrinterUtil::s_printerSys.remainDots = remain;
        PrinterUtil::s_printerSys.remainKnown = true;
        qInfo().noquote() << QStringLiteral("读取完成:") << int(reply.block) << remain << int(reply.status);
    }
}

void MainWindow::onSerialLinkLost()
{
    onLinkLost();
    qWarning().noquote() << QStringLiteral("串口断开连接->更新打印机连接状态");
}

void MainWindow::onTcpLinkState(const QString &host, int port)
{
    qDebug() << "tcpSocketReceiveConnectState" << host << port;
    // The ink box may have changed while the link was down.
    PrinterUtil::s_printerSys.remainKnown = false;
    // A connection alone proves nothing; the handshake reply does.
    if (!host.isEmpty())
        return;
    onLinkLost();
}

void MainWindow::onLinkLost()
{
    PrinterUtil::s_printerSys.remainKnown = false;
    // A notice over the next link is not for a page sent over this one. Told
    // first: the API job kept as its window closes below has heard it.
    jobKeeper->linkLost();
    endApiJobOnLinkLoss();
    // The printer cannot answer an image sent over the link that went.
    firmwareWait->stop();
    if (updateDialog)
        updateDialog->linkLost();
    setPrinterState(PRINTER_UNCONNECTED);
    setDeviceButtonsEnabled(false);
}

void MainWindow::onAckStatus(uchar status)
{
    if (status == 0)
        TextUtil::showSuccess(QStringLiteral("成功"));
    else
        TextUtil::showError(QStringLiteral("失败"));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The event type first: the form is gone while the label is destroyed.
    if (event->type() == QEvent::MouseButtonPress && watched == ui->lb_title_status) {
        onTitleStatusPressed();
        return true;
    }
    return false;
}

void MainWindow::onTitleStatusPressed()
{
    if (printerState == PRINTER_UNCONNECTED) {
        // A link that is still open counts as opened, so a printer that
        // refused the handshake is asked again.
        const bool opened = comMode() == QLatin1String(SERIAL_MODE) ? comManager->initSerialPort()
                                                                    : comManager->initSocketTcp();
        if (!opened || !comManager->handshake()) {
            TextUtil::showError(QStringLiteral("打印机重连失败，请检查打印机及连接设置"));
            return;
        }
        comManager->readInkBox(DATA_BLOCK_INKBOX_SERIAL);
        comManager->readInkBox(DATA_BLOCK_INK_AMOUNT);
        comManager->readPrintParmeter();
        comManager->readPrinterIp();
    } else if (printerState == PRINTER_INK_ERROR) {
        comManager->readInkBox(DATA_BLOCK_INKBOX_SERIAL);
        comManager->readInkBox(DATA_BLOCK_INK_AMOUNT);
    }
}

void MainWindow::offerPermissionElevation(const QString &portName)
{
    if (Seams::askQuestion(nullptr, QStringLiteral("提示"),
                           QStringLiteral("串口权限不足，是否提升串口权限?\n（提升权限后需手动重连）")))
        improveSerialPort(portName);
}

void MainWindow::improveSerialPort(const QString &portName)
{
    // Refused before the password is asked for.
    if (!SerialPermission::isPortName(portName)) {
        qWarning().noquote() << QStringLiteral("拒绝提升权限，串口名称无效:") << portName;
        return;
    }
    bool accepted = false;
    const QString password = Seams::getText(nullptr, QStringLiteral("%1权限提升").arg(portName),
                                            QStringLiteral("请输入密码"), QLineEdit::Password, &accepted);
    // The user reconnects with the indicator once the device is open to all.
    if (accepted)
        SerialPermission::grant(portName, password);
}

void MainWindow::writeInkCharge(const InkAccount::Charge &charge)
{
    if (!comManager->writeInkBox(DATA_BLOCK_INK_AMOUNT, InkAccount::encodeBlock(charge.value)))
        InkAccount::showWriteFailed();
    // Read back in every case: the reply puts the ink box's own value in place.
    comManager->readInkBox(DATA_BLOCK_INK_AMOUNT);
    qInfo().noquote() << charge.summary;
}

void MainWindow::onPrintPageInkConsumed(unsigned int inkDots, int pageIndex)
{
    writeInkCharge(InkAccount::chargePrintPage(inkDots, pageIndex));
}

void MainWindow::set_combobox_placeholdertext()
{
    ui->comboBox_printerType->setEditable(true);
    ui->comboBox_printerType->lineEdit()->setPlaceholderText(QStringLiteral("请输入"));
}
