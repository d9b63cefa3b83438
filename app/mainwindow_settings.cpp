// The print settings section of the settings page (read, edit, write back
// the printer's print parameters) and the maintenance commands of the help
// pop-up and the factory page: self-test, test page, ink-box cleaning and
// the printer-identity read.

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/printparameterform.h"
#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "util/printerutil.h"
#include "util/textutil.h"

#include <QButtonGroup>
#include <QDebug>

#include <initializer_list>
#include <utility>

namespace {

using Choice = std::pair<QAbstractButton *, int>;

QButtonGroup *makeGroup(QObject *parent, std::initializer_list<Choice> choices)
{
    auto *group = new QButtonGroup(parent);
    group->setExclusive(true);
    for (const Choice &choice : choices)
        group->addButton(choice.first, choice.second);
    return group;
}

// A value the group has no button for leaves the group as it is.
void check(QButtonGroup *group, int id)
{
    if (QAbstractButton *button = group->button(id))
        button->setChecked(true);
}

} // namespace

void MainWindow::initPrintParameterGroups()
{
    using F = PrintParameterForm;
    speedGroup = makeGroup(this, {{ui->radio_speed_low, F::SPEED_LOW},
                                  {ui->radio_speed_medium, F::SPEED_MEDIUM},
                                  {ui->radio_speed_high, F::SPEED_HIGH}});
    modeGroup = makeGroup(this, {{ui->radio_mode_single, F::MODE_SINGLE}, {ui->radio_mode_double, F::MODE_DOUBLE}});
    colorGroup = makeGroup(this, {{ui->radio_color_light, F::COLOR_LIGHT},
                                  {ui->radio_color_medium, F::COLOR_MEDIUM},
                                  {ui->radio_color_deep, F::COLOR_DEEP}});
    paperGroup = makeGroup(this, {{ui->radio_paper_fout, F::PAPER_FRONT}, {ui->radio_paper_bout, F::PAPER_BACK}});
    washGroup = makeGroup(this, {{ui->radio_wash_no, F::WASH_NONE},
                                 {ui->radio_wash_low, F::WASH_LOW},
                                 {ui->radio_wash_medium, F::WASH_MEDIUM},
                                 {ui->radio_wash_high, F::WASH_HIGH}});
    resetGroup = makeGroup(this, {{ui->radio_reset, F::RESET_ON}, {ui->radio_unreset, F::RESET_OFF}});

    for (QAbstractButton *button : {static_cast<QAbstractButton *>(ui->radio_mode_double),
                                    static_cast<QAbstractButton *>(ui->radio_color_medium),
                                    static_cast<QAbstractButton *>(ui->radio_color_deep)})
        connect(button, &QAbstractButton::toggled, this, [this] { applyDoubleRowSpeedRule(); });

    // The byte that carries the voltage holds no more than 25.5 V.
    ui->spinbox_print_voltage->setRange(0.0, PrintParameterForm::MAX_VOLTAGE);
    on_btn_print_argset_reset_clicked();
    check(resetGroup, F::RESET_ON);
}

void MainWindow::connectSettingsReplies()
{
    connect(comManager, &ComManager::onReceivePrintPrameter, this, &MainWindow::onPrintParameterRead);
    connect(comManager, &ComManager::onReceiveReadIp, this, &MainWindow::onNetworkRead);
    connect(comManager, &ComManager::onReceiveWriteIP, this, &MainWindow::onNetworkWritten);
}

void MainWindow::showPrintParameterChoices(const PrintParameterChoices &choices)
{
    // Speed first: checking the colour and the mode afterwards applies the
    // double-row rule to the speed just shown.
    check(speedGroup, choices.speed);
    check(colorGroup, choices.colorDepth);
    check(modeGroup, choices.printMode);
    check(paperGroup, choices.paperExit);
    check(washGroup, choices.washLevel);
    check(resetGroup, choices.powerOnReset);
    const int pulseWidth = ui->comboBox_print_pwm->findText(choices.pulseWidth, Qt::MatchExactly);
    if (pulseWidth >= 0)
        ui->comboBox_print_pwm->setCurrentIndex(pulseWidth);
    ui->spinbox_print_voltage->setValue(choices.voltage);
    ui->spinbox_offset_x->setValue(choices.offsetX);
    ui->spinbox_offset_y->setValue(choices.offsetY);
}

void MainWindow::updatePrintParameter2UI(const PrintParameterSettings &settings)
{
    showPrintParameterChoices(PrintParameterForm::fromSettings(settings));
}

PrintParameterChoices MainWindow::printParameterChoices() const
{
    PrintParameterChoices choices;
    choices.speed = speedGroup->checkedId();
    choices.colorDepth = colorGroup->checkedId();
    choices.printMode = modeGroup->checkedId();
    choices.paperExit = paperGroup->checkedId();
    choices.washLevel = washGroup->checkedId();
    choices.powerOnReset = resetGroup->checkedId();
    choices.voltage = ui->spinbox_print_voltage->value();
    choices.pulseWidth = ui->comboBox_print_pwm->currentText();
    choices.offsetX = ui->spinbox_offset_x->value();
    choices.offsetY = ui->spinbox_offset_y->value();
    return choices;
}

void MainWindow::applyDoubleRowSpeedRule()
{
    const int speed = speedGroup->checkedId();
    const int capped = PrintParameterForm::cappedSpeed(speed, colorGroup->checkedId(), modeGroup->checkedId());
    if (capped != speed)
        check(speedGroup, capped);
}

void MainWindow::onPrintParameterRead(const PrintParameterSettings &settings)
{
    if (settings.status != 0) {
        qWarning().noquote() << QStringLiteral("打印参数读取失败");
        return;
    }
    PrinterUtil::s_printerSetting = settings;
    updatePrintParameter2UI(settings);
}

void MainWindow::on_btn_print_argset_read_clicked()
{
    if (refuseWhileUpdating())
        return;
    comManager->readPrintParmeter();
}

void MainWindow::on_btn_print_argset_save_clicked()
{
    if (refuseWhileUpdating())
        return;
    // A higher speed chosen after the colour is corrected here.
    applyDoubleRowSpeedRule();
    comManager->writePrinterParmeter(PrintParameterForm::toSettings(printParameterChoices()));
}

void MainWindow::on_btn_print_argset_reset_clicked()
{
    const PrintParameterChoices factory = PrintParameterForm::factoryChoices();
    check(speedGroup, factory.speed);
    check(colorGroup, factory.colorDepth);
    check(washGroup, factory.washLevel);
    check(modeGroup, factory.printMode);
    check(paperGroup, factory.paperExit);
    ui->spinbox_print_voltage->setValue(factory.voltage);
    ui->comboBox_print_pwm->setCurrentText(factory.pulseWidth);
    ui->spinbox_print_voltage->setFocusPolicy(Qt::NoFocus);
}

void MainWindow::on_btn_print_info_read_clicked()
{
    if (refuseWhileUpdating())
        return;
    // The handshake reply fills the factory page's printer fields.
    comManager->handshake();
}

void MainWindow::runMaintenanceCommand(bool (ComManager::*command)())
{
    if (!checkPrinterStatus())
        return;
    // The printer's acknowledgement tells the user how it went.
    (comManager->*command)();
    ui->frame_help_nav->hide();
}

void MainWindow::on_btn_nav_setting_2_clicked()
{
    runMaintenanceCommand(&ComManager::sportSelfCheck);
}

void MainWindow::on_btn_nav_setting_3_clicked()
{
    runMaintenanceCommand(&ComManager::printTestPage);
}

void MainWindow::on_btn_nav_setting_8_clicked()
{
    if (!checkPrinterStatus())
        return;
    ui->frame_help_nav->hide();
    if (!comManager->washInkbox()) {
        TextUtil::showError(QStringLiteral("打印机连接异常,请先连接打印机"));
        return;
    }
    qInfo().noquote() << QStringLiteral("手动清洗墨盒");
    // As for a printed page: a count the box never gave is not written to it.
    if (!PrinterUtil::s_printerSys.remainKnown) {
        qWarning().noquote() << QStringLiteral("墨量未知，本次清洗不扣除墨量");
        return;
    }
    writeInkCharge(InkAccount::chargeCleaning());
}
