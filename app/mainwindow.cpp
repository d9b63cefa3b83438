#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/adminlogin.h"
#include "app/templatefavourites.h"
#include "editor/templatedialog.h"
#include "print/printpreview.h"
#include "util/constants.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/settingutil.h"
#include "util/textutil.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>

namespace {

const char STYLE_SHEET[] = ":/resources/qss/normalstyle.css";
const char TRAY_ICON[] = ":/resources/icon/logo.ico";
const char TRAY_TOOL_TIP[] = "Tarnwick";
const QStringList PRINTER_MODELS{QStringLiteral("VEMR-V10"), QStringLiteral("VEMR-V20"), QStringLiteral("VEMR-V30")};
constexpr QSize LOGO_SIZE(37, 37);
constexpr int FIRMWARE_VERSION_MAX_LENGTH = 32;
constexpr int SERIAL_NUMBER_MAX_LENGTH = 18;
// A title too long for the navigation column is written smaller, down to
// this size, and beyond it cut short with an ellipsis.
constexpr qreal SMALLEST_TITLE_POINTS = 12;
constexpr qreal TITLE_POINT_STEP = 0.5;

// Writes title whole in at most room pixels: in the label's own font, or
// smaller, or at the smallest size cut short, the whole title then its
// tool tip.
void fitTitle(QLabel *label, const QString &title, int room)
{
    label->ensurePolished();
    const QString sheet = label->styleSheet();
    QFont font = label->font();
    qreal points = font.pointSizeF();
    while (points > SMALLEST_TITLE_POINTS && QFontMetricsF(font).horizontalAdvance(title) > room) {
        points = qMax(SMALLEST_TITLE_POINTS, points - TITLE_POINT_STEP);
        font.setPointSizeF(points);
    }
    if (points != label->font().pointSizeF())
        label->setStyleSheet(sheet + QStringLiteral(" font-size: %1pt;").arg(points));
    const QString shown = QFontMetrics(font).elidedText(title, Qt::ElideRight, room);
    label->setText(shown);
    label->setToolTip(shown == title ? QString() : title);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // The order matters: the administrator prompt runs before anything that
    // talks to the printer, and the home page is filled last.
    ui->setupUi(this);
    initFrame();
    initTitleStatus();
    applyBranding();
    initInkGauge();
    showProductLine();
    setPrinterState(0);
    initHomeChart();
    applyStyleSheet();
    ui->stackedWidget->setCurrentIndex(0);
    ui->btn_nav_home->setChecked(true);
    shareComboDelegate();
    initTrayIcon();
    initResolutions();
    fillPrinterTypes();
    adminMode = AdminLogin::login(this);
    initPrintParameterGroups();
    showAdminWidgets();
    initFactoryFields();
    fitPortBox();
    ui->frame_printer_type->hide();
    loadTemplateNames();
    initCommunication();
    on_btn_nav_home_clicked();
}

MainWindow::~MainWindow()
{
    // The API server asks the window for what it needs: it goes first.
    delete apiServer.data();
    // The print page's preview and the template page's editor are windows
    // of their own, without a parent.
    delete printPreview.data();
    delete templateEditor.data();
    delete ui;
}

void MainWindow::initFrame()
{
    setAttribute(Qt::WA_QuitOnClose);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    ui->menubar->hide();
    ui->statusbar->hide();
    ui->frame_help_nav->hide();
}

void MainWindow::initTitleStatus()
{
    ui->lb_title_status->setStyleSheet(QLatin1String(TITLE_STYLE_UNCONNECTED));
    ui->lb_title_status->installEventFilter(this);
}

void MainWindow::applyBranding()
{
    if (!SettingUtil::s_isConfiged) {
        ui->label_title->setText(QString());
        ui->label_logo->setPixmap(QPixmap());
        ui->btn_nav_setting_6->hide();
        return;
    }
    if (QFile::exists(SettingUtil::s_logoPath)) {
        const QPixmap logo(SettingUtil::s_logoPath);
        if (!logo.isNull()) {
            ui->label_logo->setPixmap(logo.scaled(LOGO_SIZE, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        } else {
            TextUtil::showError(QStringLiteral("logo文件损坏"));
            ui->label_logo->hide();
        }
    } else {
        TextUtil::showError(QStringLiteral("缺少logo文件"));
        ui->label_logo->hide();
    }
    fitTitle(ui->label_title, SettingUtil::s_appTitle, titleRoom());
}

int MainWindow::titleRoom() const
{
    // The column is of fixed width: the title has what its logo leaves.
    const QMargins column = ui->widget_left->layout()->contentsMargins();
    const QLayout *row = ui->frame_title->layout();
    int room = ui->widget_left->maximumWidth() - column.left() - column.right() - row->contentsMargins().left()
               - row->contentsMargins().right();
    if (!ui->label_logo->isHidden())
        room -= ui->label_logo->maximumWidth() + row->spacing();
    return room;
}

void MainWindow::initInkGauge()
{
    ui->widget_ink_num->hide();
    ui->lb_ink_num->setText(QStringLiteral("100%"));
    ui->lb_ink_num->setStyleSheet(QStringLiteral("color:#3F87F9;"));
}

void MainWindow::showProductLine()
{
    const QString text = SettingUtil::s_appFullName + QStringLiteral("v%1").arg(QLatin1String(PRODUCT_VERSION));
    ui->label_pro_info->setText(text);
    qInfo().noquote() << text;
}

void MainWindow::applyStyleSheet()
{
    QFile file{QLatin1String(STYLE_SHEET)};
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    qApp->setStyleSheet(QString::fromLatin1(bytes.constData()));
    file.close();
}

void MainWindow::shareComboDelegate()
{
    // A styled delegate lets the style sheet reach the drop-down lists' items.
    auto *delegate = new QStyledItemDelegate(this);
    const QList<QComboBox *> combos{ui->cmb_template_list, ui->comboBox_print, ui->comboBox_printerType,
                                    ui->com_port_select, ui->comboBox_print_pwm};
    for (QComboBox *combo : combos)
        combo->setItemDelegate(delegate);
}

void MainWindow::initTrayIcon()
{
    trayMenu = new QMenu(this);
    minimizeAction = new QAction(tr("最小化"), this);
    connect(minimizeAction, &QAction::triggered, this, &QWidget::hide);
    trayMenu->addAction(minimizeAction);
    restoreAction = new QAction(tr("恢复"), this);
    connect(restoreAction, &QAction::triggered, this, &QWidget::showNormal);
    trayMenu->addAction(restoreAction);
    quitAction = new QAction(tr("退出"), this);
    connect(quitAction, &QAction::triggered, qApp, [this] { confirmQuit(); });
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setToolTip(QLatin1String(TRAY_TOOL_TIP));
    trayIcon->setIcon(QIcon(QLatin1String(TRAY_ICON)));
    trayIcon->setContextMenu(trayMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            showNormal();
    });
    trayIcon->show();
}

void MainWindow::confirmQuit()
{
    if (Seams::askQuestion(this, QStringLiteral("提示"), QStringLiteral("是否退出程序")))
        QCoreApplication::quit();
}

void MainWindow::initResolutions()
{
    TextUtil::SCREEN_DPI = TextUtil::screenDpi();
    TextUtil::PRINTER_DPI = float(JsonUtil::getPrinterDpi());
    qDebug() << "SCREEN_DPI: " << TextUtil::SCREEN_DPI << "Printer's DPI:" << TextUtil::PRINTER_DPI;
}

void MainWindow::fillPrinterTypes()
{
    ui->comboBox_printerType->clear();
    ui->comboBox_printerType->addItems(PRINTER_MODELS);
}

void MainWindow::showAdminWidgets()
{
    const QList<QWidget *> adminOnly{ui->radio_reset,    ui->radio_unreset,   ui->spinbox_offset_x,
                                     ui->spinbox_offset_y, ui->label_x_offset, ui->label_y_offset,
                                     ui->label_pos_reset, ui->btn_admin_set};
    for (QWidget *widget : adminOnly)
        widget->setVisible(adminMode);
    // The reset choices' box would otherwise stay as an empty row.
    ui->groupBox_7->setVisible(adminMode);
}

void MainWindow::initFactoryFields()
{
    ui->line_edit_print_version->setMaxLength(FIRMWARE_VERSION_MAX_LENGTH);
    ui->line_edit_print_sn->setMaxLength(SERIAL_NUMBER_MAX_LENGTH);
    ui->line_edit_print_version->setAttribute(Qt::WA_InputMethodEnabled, false);
    ui->line_edit_print_sn->setAttribute(Qt::WA_InputMethodEnabled, false);
}

void MainWindow::loadTemplateNames()
{
    sysTemplateNames = JsonUtil::getSysTemplateNames();
    favouriteTemplates = TemplateFavourites::load();
}

void MainWindow::showPage(QPushButton *navButton, QWidget *page)
{
    const QList<QPushButton *> navButtons{ui->btn_nav_home, ui->btn_nav_template, ui->btn_nav_print,
                                          ui->btn_nav_setting};
    for (QPushButton *button : navButtons)
        button->setChecked(button == navButton);
    ui->stackedWidget->setCurrentWidget(page);
}

void MainWindow::on_btn_nav_template_clicked()
{
    showPage(ui->btn_nav_template, ui->page_template);
    refreshTemplateView();
}

void MainWindow::on_btn_nav_print_clicked()
{
    showPage(ui->btn_nav_print, ui->page_print);
    refreshPrinterView();
}

void MainWindow::on_btn_close_clicked()
{
    close();
}

void MainWindow::on_btn_hide_clicked()
{
    showMinimized();
}

void MainWindow::on_btn_max_clicked()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void MainWindow::on_btn_nav_help_clicked()
{
    ui->frame_help_nav->setVisible(ui->frame_help_nav->isHidden());
}

bool MainWindow::inTitleStrip(const QPoint &globalPos) const
{
    // The strip stands right of the fixed-width navigation column, at the
    // window's top.
    const int x = globalPos.x() - frameGeometry().left() - ui->widget_left->width();
    const int y = globalPos.y() - frameGeometry().top();
    return x >= 0 && y >= 0 && x <= ui->widget_top->width() && y <= ui->widget_top->height();
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, inTitleStrip(event->screenPos().toPoint()));
    // Any press the window's children leave to it closes the help pop-up.
    ui->frame_help_nav->hide();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    // A maximised window stays put; the drag goes on should it be restored.
    if (!isMaximized())
        titleDrag.follow(this, event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && inTitleStrip(event->screenPos().toPoint()))
        on_btn_max_clicked();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QCoreApplication::quit();
    event->accept();
}
