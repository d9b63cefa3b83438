#include "app/appupdate.h"

#include "printer/printerprotocol.h"
#include "ui_appupdate.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>

namespace {

const char READ_FAILED[] = "升级文件读取失败";
const char SEND_FAILED[] = "升级文件发送失败，请检查打印机连接";
const char LINK_LOST[] = "与打印机断开连接，升级结果未知";
const char UNANSWERED[] = "打印机未应答，升级结果未知";

} // namespace

AppUpdate::AppUpdate(QWidget *parent)
    : FramelessDialog(parent)
    , ui(new Ui::AppUpdate)
{
    ui->setupUi(this);
    WidgetInit(ui->top_frame);
    // The frame goes over whichever link is open: the choice of link is not offered.
    ui->lb_update_mode->hide();
    ui->checkBox_com->hide();
    ui->checkBox_net->hide();
    ui->groupBox->hide();
}

AppUpdate::~AppUpdate()
{
    delete ui;
}

QByteArray AppUpdate::readFirmware(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << READ_FAILED << path << file.errorString();
        return QByteArray();
    }
    // The size is checked before reading, so a wrong choice (a disc image,
    // a device) is not pulled into memory; files without a size read as empty.
    const qint64 size = file.size();
    if (size <= 0 || size > MAX_FIRMWARE_BYTES) {
        qWarning().noquote() << READ_FAILED << path << "size" << size << "is not 1 to" << MAX_FIRMWARE_BYTES;
        return QByteArray();
    }
    QByteArray image = file.read(size);
    if (image.size() != size) {
        qWarning().noquote() << READ_FAILED << path << "read" << image.size() << "of" << size;
        return QByteArray();
    }
    qDebug().noquote() << "firmware size:" << image.size();
    return image;
}

void AppUpdate::updateAnswered()
{
    setState(State::Ready);
}

void AppUpdate::updateNotSent()
{
    qWarning().noquote() << SEND_FAILED;
    TextUtil::showError(QString::fromUtf8(SEND_FAILED));
    setState(State::Ready);
}

void AppUpdate::updateRefused()
{
    setState(State::Ready);
}

void AppUpdate::linkLost()
{
    if (state != State::AwaitingReply)
        return;
    qWarning().noquote() << LINK_LOST;
    TextUtil::showError(QString::fromUtf8(LINK_LOST));
    setState(State::Ready);
}

void AppUpdate::updateUnanswered()
{
    if (state != State::AwaitingReply)
        return;
    TextUtil::showError(QString::fromUtf8(UNANSWERED));
    setState(State::Ready);
}

void AppUpdate::reject()
{
    close();
}

void AppUpdate::closeEvent(QCloseEvent *event)
{
    emit sigClosed();
    event->accept();
}

void AppUpdate::on_btn_close_clicked()
{
    close();
}

void AppUpdate::on_btn_cancel_clicked()
{
    on_btn_close_clicked();
}

void AppUpdate::on_btn_choose_clicked()
{
    // A cancelled choice empties the field.
    ui->edit_filepath->setText(Seams::getOpenFileName(this, QStringLiteral("文件选择"), Seams::programDir(),
                                                      QStringLiteral("All files(*.bin)")));
}

void AppUpdate::on_btn_update_clicked()
{
    if (state != State::Ready)
        return;
    const QString path = ui->edit_filepath->text();
    qInfo().noquote() << QStringLiteral("开始升级：") + path;
    const QByteArray image = readFirmware(path);
    if (image.isEmpty()) {
        TextUtil::showError(QString::fromUtf8(READ_FAILED));
        return;
    }
    setState(State::AwaitingReply);
    emit sigUpdateHardWare(PrinterProtocol::packUpdateProgramer(image, ui->checkBox_master->isChecked()));
}

void AppUpdate::setState(State next)
{
    state = next;
    ui->btn_update->setEnabled(state == State::Ready);
}
