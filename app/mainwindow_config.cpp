// The settings page: opening it, its two sub-pages, and the basic settings
// section (how the terminal reaches the printer and the fonts offered to
// text elements), which keeps to the user configuration and never talks to
// the printer.

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/serialportlister.h"
#include "printer/comanager.h"
#include "util/fontfamilies.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QStringListModel>

namespace {

const char COM_MODE_KEY[] = "com.mode";
const char COM_PORT_KEY[] = "com.port";
const char FONT_USE_KEY[] = "font.use";
const char SERIAL_MODE[] = "serialPort";
const char TCP_MODE[] = "tcpSocket";

// Every change gives the view a model of its own. The old one goes at the
// next turn of the event loop: a click on it is still being delivered.
void install(QListView *view, const QStringList &families)
{
    QAbstractItemModel *oldModel = view->model();
    QItemSelectionModel *oldSelection = view->selectionModel();
    view->setModel(new QStringListModel(families, view));
    if (oldSelection)
        oldSelection->deleteLater();
    if (oldModel)
        oldModel->deleteLater();
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setFocusPolicy(Qt::NoFocus);
    view->setSelectionMode(QAbstractItemView::MultiSelection);
}

} // namespace

void MainWindow::on_btn_nav_setting_clicked()
{
    setDeviceButtonsEnabled(printerState != PRINTER_UNCONNECTED);
    refreshConfigSettings();
    showPage(ui->btn_nav_setting, ui->page_setting);
    on_btn_printer_set_clicked();
}

void MainWindow::on_btn_printer_set_clicked()
{
    ui->btn_printer_set->setChecked(true);
    ui->btn_admin_set->setChecked(false);
    ui->setting_widget_turn->setCurrentWidget(ui->page_printer_set);
}

void MainWindow::on_btn_admin_set_clicked()
{
    ui->btn_admin_set->setChecked(true);
    ui->btn_printer_set->setChecked(false);
    ui->setting_widget_turn->setCurrentWidget(ui->page_admin_set);
}

void MainWindow::refreshConfigSettings()
{
    const bool serial = JsonUtil::getCustomConfig(QLatin1String(COM_MODE_KEY), QLatin1String(SERIAL_MODE))
                        == QLatin1String(SERIAL_MODE);
    (serial ? ui->radio_serial : ui->radio_net)->setChecked(true);

    ui->com_port_select->clear();
    ui->com_port_select->addItems(SerialPortLister::usablePorts(comManager->getOpenedSerialPortName()));
    // The saved device stays chosen, so saving other settings keeps it.
    const QString saved = JsonUtil::getCustomConfig(QLatin1String(COM_PORT_KEY), QString());
    const int savedIndex = saved.isEmpty() ? -1 : ui->com_port_select->findText(saved, Qt::MatchExactly);
    if (savedIndex >= 0)
        ui->com_port_select->setCurrentIndex(savedIndex);

    const QStringList inUse = FontFamilies::plainNames(JsonUtil::getCustomConfigList(QLatin1String(FONT_USE_KEY)));
    fontSelection = FontSelection(inUse, FontFamilies::plainNames(QFontDatabase().families()));
    showFontLists();
}

void MainWindow::showFontLists()
{
    install(ui->font_list_view1, fontSelection.available());
    install(ui->font_list_view2, fontSelection.inUse());
}

void MainWindow::on_btn_font_use_clicked()
{
    fontSelection.useAll();
    showFontLists();
}

void MainWindow::on_btn_font_unuse_clicked()
{
    fontSelection.unuseAll();
    showFontLists();
}

void MainWindow::on_font_list_view1_clicked(const QModelIndex &index)
{
    fontSelection.use(index.data().toString());
    showFontLists();
}

void MainWindow::on_font_list_view2_clicked(const QModelIndex &index)
{
    fontSelection.unuse(index.data().toString());
    showFontLists();
}

void MainWindow::on_btn_cfg_save_clicked()
{
    if (fontSelection.inUse().isEmpty()) {
        TextUtil::showError(QStringLiteral("至少需要选择一种字体"));
        return;
    }
    JsonUtil::setCustomConfigList(QLatin1String(FONT_USE_KEY), fontSelection.inUse());
    JsonUtil::setCustomConfig(QLatin1String(COM_MODE_KEY),
                              QLatin1String(ui->radio_serial->isChecked() ? SERIAL_MODE : TCP_MODE));
    const QString port = ui->com_port_select->currentText();
    if (!port.isEmpty())
        JsonUtil::setCustomConfig(QLatin1String(COM_PORT_KEY), port);
    TextUtil::showSuccess(QStringLiteral("保存成功"));
}
