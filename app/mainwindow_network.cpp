// The printer network section of the settings page: the printer's own
// address, mask, gateway and port, read from it and written into it. A
// write the printer accepts is also remembered for the terminal's next TCP
// connection.

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "printer/comanager.h"
#include "util/textutil.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QtMath>

namespace {

// The widest port there is.
const char WIDEST_PORT[] = "65535";
// A line edit keeps this many pixels free each side of its text, and one
// more after it for the cursor (Qt's own figures).
constexpr int LINE_EDIT_TEXT_MARGIN = 2;
constexpr int CURSOR_ROOM = 1;

// Widens edit, as its style sheet draws it, until widest shows whole: a
// wider text scrolls its first characters out of sight.
void widenToShow(QLineEdit *edit, const QString &widest)
{
    edit->ensurePolished();
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins text = edit->textMargins();
    const int room = contents.width() - text.left() - text.right() - 2 * LINE_EDIT_TEXT_MARGIN;
    const int needed = qCeil(QFontMetricsF(edit->font()).horizontalAdvance(widest)) + CURSOR_ROOM;
    if (needed > room)
        edit->setFixedWidth(edit->width() + needed - room);
}

struct AddressEdits {
    QList<QLineEdit *> ip;
    QList<QLineEdit *> mask;
    QList<QLineEdit *> gateway;
};

AddressEdits addressEdits(const Ui::MainWindow &ui)
{
    return {{ui.edit_ip1, ui.edit_ip2, ui.edit_ip3, ui.edit_ip4},
            {ui.edit_mask1, ui.edit_mask2, ui.edit_mask3, ui.edit_mask4},
            {ui.edit_gateway1, ui.edit_gateway2, ui.edit_gateway3, ui.edit_gateway4}};
}

QStringList texts(const QList<QLineEdit *> &edits)
{
    QStringList list;
    for (const QLineEdit *edit : edits)
        list << edit->text();
    return list;
}

void showOctets(const QList<QLineEdit *> &edits, const quint8 (&octets)[4])
{
    const QStringList parts = NetworkSettings::octetTexts(octets);
    for (int i = 0; i < edits.size(); ++i)
        edits[i]->setText(parts.value(i));
}

} // namespace

void MainWindow::fitPortBox()
{
    widenToShow(ui->edit_network_port, QLatin1String(WIDEST_PORT));
}

void MainWindow::on_btn_network_read_clicked()
{
    if (refuseWhileUpdating())
        return;
    if (!comManager->readPrinterIp())
        TextUtil::showError(QStringLiteral("读取失败，请检查串口"));
}

void MainWindow::onNetworkRead(const ReadIPReceiveModel &reply)
{
    // A failed read leaves what the edits show.
    if (reply.status != 0)
        return;
    const AddressEdits edits = addressEdits(*ui);
    showOctets(edits.ip, reply.ip);
    showOctets(edits.mask, reply.mask);
    showOctets(edits.gateway, reply.gateway);
    ui->edit_network_port->setText(QString::number(reply.port));
}

void MainWindow::on_btn_network_save_clicked()
{
    if (refuseWhileUpdating())
        return;
    const AddressEdits edits = addressEdits(*ui);
    NetworkSettings settings;
    QString error;
    if (!NetworkSettings::parse(texts(edits.ip), texts(edits.mask), texts(edits.gateway),
                                ui->edit_network_port->text(), &settings, &error)) {
        TextUtil::showError(error);
        return;
    }
    if (!comManager->writeIP(settings.ip, settings.mask, settings.gateway, settings.port)) {
        TextUtil::showError(QStringLiteral("写入失败"));
        return;
    }
    // Kept as sent: the edits may change before the printer answers.
    sentNetworkSettings = settings;
}

void MainWindow::onNetworkWritten(const WriteIPReceiveModel &reply)
{
    // Only this page writes the network settings; a reply to nothing it
    // sent changes nothing.
    if (!sentNetworkSettings)
        return;
    if (reply.status != 0) {
        TextUtil::showError(QStringLiteral("写入失败"));
        return;
    }
    sentNetworkSettings->remember();
    TextUtil::showSuccess(QStringLiteral("写入成功"));
}
