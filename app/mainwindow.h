#pragma once

#include "app/apiserver.h"
#include "app/fontselection.h"
#include "app/networksettings.h"
#include "printer/inkaccount.h"
#include "model/replymodels.h"
#include "model/templatemodel.h"
#include "util/windowdrag.h"

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPair>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class AppUpdate;
class ComManager;
class HardVersionQuery;
class HelpDocDlg;
class PrintJobKeeper;
class PrintPreview;
struct PrintParameterChoices;
class QAction;
class QButtonGroup;
class QMenu;
class QTimer;
class QPushButton;
class QSystemTrayIcon;
class TemplateDialog;
class VisibleRowFiller;

namespace Ui {
class MainWindow;
}

// The program's only top-level window: frameless, with its own title strip,
// a navigation column and a stack of pages (home, templates, print,
// settings). Its form names every widget the pages reach.
class MainWindow : public QMainWindow, public ApiServer::Host
{
    Q_OBJECT

public:
    // The version shown after the product line on the home page.
    static constexpr const char *PRODUCT_VERSION = "2.4.0";

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Whether the administrator logged in when the window was built.
    bool isAdminMode() const { return adminMode; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_btn_close_clicked();
    void on_btn_hide_clicked();
    void on_btn_max_clicked();
    void on_btn_nav_help_clicked();
    void on_btn_nav_home_clicked();
    void on_btn_nav_template_clicked();
    void on_btn_nav_print_clicked();
    void on_btn_nav_setting_clicked();

private:
    // Construction steps, called by the constructor in this order.
    void initFrame();
    void initTitleStatus();
    void applyBranding();
    int titleRoom() const;
    void initInkGauge();
    void showProductLine();
    void initHomeChart();
    void applyStyleSheet();
    void shareComboDelegate();
    void initTrayIcon();
    void initResolutions();
    void fillPrinterTypes();
    void showAdminWidgets();
    void initFactoryFields();
    void loadTemplateNames();

    // Checks navButton, unchecks the other page buttons and shows page.
    void showPage(QPushButton *navButton, QWidget *page);
    void confirmQuit();
    // Whether a global position lies in the title strip, edges included.
    bool inTitleStrip(const QPoint &globalPos) const;

    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    QAction *minimizeAction = nullptr;
    QAction *restoreAction = nullptr;
    QAction *quitAction = nullptr;
    QStringList favouriteTemplates;
    WindowDrag titleDrag;
    Ui::MainWindow *ui;
    QStringList sysTemplateNames;
    bool adminMode = false;

    // ---- Printer supervision (mainwindow_printer.cpp) and the print page
    // (mainwindow_print.cpp) ----
public:
    // The printer states held in printerState.
    static constexpr uchar PRINTER_UNCONNECTED = 0;
    static constexpr uchar PRINTER_CONNECTED = 1;
    static constexpr uchar PRINTER_INK_ERROR = 2;

    // What the printer is doing for the terminal. It does one thing at a
    // time: while one of these holds it, nothing else is sent its way.
    enum class PrinterTask {
        Idle,
        // A print preview is open (it may start a job at any time), or a
        // closed one's page is still awaited at the printer.
        Printing,
        // A firmware image awaits the printer's answer.
        Updating,
    };
    PrinterTask printerTask() const;

    // True when a printer action may go ahead (the printer is connected, its
    // ink box is in order and it is not taking a firmware image); otherwise
    // tells the user why and is false.
    bool checkPrinterStatus();
    // True, telling the user, while a firmware image awaits its answer: the
    // device page's reads and writes, sent whenever the link is up, wait too.
    bool refuseWhileUpdating();

protected:
    // Presses on the title-bar printer indicator reconnect or re-read.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_comboBox_print_currentTextChanged(const QString &name);
    void on_btn_search_clicked();
    void on_btn_import_data_clicked();
    void on_btn_export_data_clicked();
    void on_btn_print_clicked();

private:
    // Creates the printer link, wires its signals and opens it.
    bool initCommunication();
    // The only writer of printerState: indicator, tool tip and API server.
    void setPrinterState(uchar state);
    void startApiServer();
    void stopApiServer();
    // The first requests after the link opened, once the handshake went out.
    void requestPrinterInfo();
    void setDeviceButtonsEnabled(bool on);
    void onHandshake(const HandshakeReceiveModel &model);
    void onInkBoxRead(const stInkbox &reply);
    void onSerialLinkLost();
    void onTcpLinkState(const QString &host, int port);
    // Either link gone: the state, the API job and a firmware image still
    // awaiting its answer follow.
    void onLinkLost();
    void onAckStatus(uchar status);
    void onTitleStatusPressed();
    void offerPermissionElevation(const QString &portName);
    void improveSerialPort(const QString &portName);
    // The one write of ink-box block 6, shared by the print page's and the
    // API's pages and the manual cleaning: writes the charged quantity,
    // reads the block back and logs the charge.
    void writeInkCharge(const InkAccount::Charge &charge);
    void onPrintPageInkConsumed(unsigned int inkDots, int pageIndex);
    void set_combobox_placeholdertext();

    void refreshPrinterView();
    void showPrintTable(const QString &templateName);
    void onImportExcelFinished(const QMap<QString, QStringList> &data);
    void openPrintPreview();
    void connectPrintPreview(PrintPreview *preview);
    // What every preview has of the link: its frames, handshake and stop go
    // out, the replies to its job come in.
    void connectPreviewToLink(PrintPreview *preview);
    // A preview's job starts: its handshake and a read of the ink box's
    // count, sent once no closed preview's page is awaited any more.
    void startPreviewHandshake(PrintPreview *preview);

    ComManager *comManager = nullptr;
    // The jobs of closed previews whose last page is still at the printer.
    PrintJobKeeper *jobKeeper = nullptr;
    uchar printerState = 0;
    // A preview or the template editor is open: one window at a time.
    bool dialogBusy = false;
    // Runs while a firmware image is out and the printer has not answered
    // it; started again as each piece of the image leaves, so a link too
    // slow to have sent it all yet cannot end the wait, and a silent printer
    // is free again no later than Seams::firmwareWaitMs() after the image's
    // last byte, whatever it sends meanwhile. Until then the link holds
    // every other request.
    QTimer *firmwareWait = nullptr;
    // The preview opened from the print page, while it is open.
    QPointer<PrintPreview> printPreview;

    // ---- Printer settings pages: print parameters and maintenance
    // commands (mainwindow_settings.cpp), the printer's network settings
    // (mainwindow_network.cpp), the configuration page and the settings
    // sub-pages (mainwindow_config.cpp) ----
private slots:
    void on_btn_print_argset_read_clicked();
    void on_btn_print_argset_save_clicked();
    void on_btn_print_argset_reset_clicked();
    void on_btn_print_info_read_clicked();
    void on_btn_nav_setting_2_clicked();
    void on_btn_nav_setting_3_clicked();
    void on_btn_nav_setting_8_clicked();
    void on_btn_network_read_clicked();
    void on_btn_network_save_clicked();
    void on_btn_printer_set_clicked();
    void on_btn_admin_set_clicked();
    void on_btn_cfg_save_clicked();
    void on_btn_font_use_clicked();
    void on_btn_font_unuse_clicked();
    void on_font_list_view1_clicked(const QModelIndex &index);
    void on_font_list_view2_clicked(const QModelIndex &index);

private:
    // The six print-parameter choices, their first values and the
    // double-row speed rule; a construction step.
    void initPrintParameterGroups();
    // Handlers of the parameter and network replies; part of initCommunication.
    void connectSettingsReplies();
    void updatePrintParameter2UI(const PrintParameterSettings &settings);
    void showPrintParameterChoices(const PrintParameterChoices &choices);
    PrintParameterChoices printParameterChoices() const;
    void applyDoubleRowSpeedRule();
    void onPrintParameterRead(const PrintParameterSettings &settings);
    // Sends a maintenance command once the printer is ready for it.
    void runMaintenanceCommand(bool (ComManager::*command)());

    void onNetworkRead(const ReadIPReceiveModel &reply);
    void onNetworkWritten(const WriteIPReceiveModel &reply);
    void fitPortBox();

    void refreshConfigSettings();
    void showFontLists();

    QButtonGroup *speedGroup = nullptr;
    QButtonGroup *modeGroup = nullptr;
    QButtonGroup *colorGroup = nullptr;
    QButtonGroup *paperGroup = nullptr;
    QButtonGroup *washGroup = nullptr;
    QButtonGroup *resetGroup = nullptr;
    // What the last network write sent; stored once the printer accepts it.
    std::optional<NetworkSettings> sentNetworkSettings;
    FontSelection fontSelection;

    // ---- The home page (mainwindow_home.cpp) ----
private slots:
    void on_btn_chart_year_clicked();
    void on_btn_chart_month_clicked();
    void on_btn_chart_week_clicked();
    void on_edit_start_date_editingFinished();
    void on_edit_end_date_editingFinished();

private:
    // Counters, ranking, then the chart, read afresh from the print record
    // and the template store.
    void refreshHomeView();
    // The chart of pages per day and category between the two dates.
    void refreshChartsView();
    // Acts only when the click turned button on: the other period buttons
    // go off, the dates take the period's and the chart is redrawn.
    void choosePeriod(QPushButton *button);
    void showRanking(const QList<QPair<QString, qint64>> &ranking);

    // ---- The local API server and API print jobs (mainwindow_api.cpp) ----
private:
    // Creates the server and listens, unless one exists (listening or not).
    void initWebSocketServer();
    void connectApiPreview(PrintPreview *preview, std::function<void()> jobClosed);
    // A closed preview (of the print page or the API) is let go: its
    // connections to the link and the window are cut, it is deleted later,
    // and the window is free for the next one. A page of its job still at
    // the printer is kept to be recorded and charged as the preview's own.
    void releasePreview(PrintPreview *preview, bool api);
    void onApiPageInkConsumed(unsigned int inkDots);
    // The link is gone: an API job ends and its preview closes, so the API
    // is free when the link comes back.
    void endApiJobOnLinkLoss();

    bool apiDialogBusy() const override;
    uchar apiPrinterState() const override;
    bool apiCheckPrinter() override;
    QList<TemplateModel> apiTemplates() override;
    void openApiPreview(const QString &templateName, const QList<QMap<QString, QVariant>> &rows, QString *code,
                        std::function<void()> jobClosed) override;
    void stopApiJob() override;
    void closeApiPreview() override;

    // Present while the printer is connected (state 1, and 2 after it).
    QPointer<ApiServer> apiServer;
    // The preview of the API print job, while it is open.
    QPointer<PrintPreview> apiPreview;

    // ---- Firmware update, device information and help (mainwindow_help.cpp) ----
private slots:
    void on_btn_nav_setting_1_clicked();
    void on_btn_nav_setting_4_clicked();
    void on_btn_nav_setting_5_clicked();
    void on_btn_nav_setting_6_clicked();
    void on_btn_nav_setting_7_clicked();

private:
    // Sends the dialog's firmware frame unless the printer is busy.
    void sendFirmware(AppUpdate *dialog, const QByteArray &frame);
    void onUpdateStatus(const UpdateStatusModel &model);
    void onFirmwareUnanswered();
    // Opens a help page over the window; it deletes itself when it closes.
    HelpDocDlg *openHelpPage(int page);

    // The update-status handler: one at a time, so each reply is shown once,
    // and kept after the dialog closes, so a late reply is still shown.
    QMetaObject::Connection updateStatusConnection;
    QPointer<AppUpdate> updateDialog;
    // The hardware-version request awaiting its reply or its page's closing.
    QPointer<HardVersionQuery> versionQuery;

    // ---- Template list page (mainwindow_templates.cpp) ----
public:
    // Every template, unfiltered, as of the page's last rebuild; empty until
    // the page was first shown. The local API reads the store itself, at the
    // time of each request.
    const QList<TemplateModel> &pageTemplateList() const { return apiTemplateList; }

public slots:
    // Rebuilds the template table from the store with the page's filters,
    // and renews apiTemplateList.
    void refreshTemplateView();

private slots:
    void on_btn_temp_query_clicked();
    void on_btn_temp_search_clicked();
    void on_cmb_template_list_currentTextChanged(const QString &text);
    void on_btn_create_temp_clicked();
    void on_btn_import_temp_clicked();
    void on_btn_export_temp_clicked();
    void on_btn_delete_in_batches_clicked();
    void on_btn_template_trash_clicked();

private:
    // The check box, the favourite switch and the row buttons of one row.
    void placeTemplateRow(int row);
    void onFavouriteSwitched(QPushButton *favourite, const QString &name, bool on);
    // A template left the store: renamed to `to`, or deleted when it is "".
    void followFavourite(const QString &from, const QString &to);
    // Opens the editor on a template ("" for a new one) unless a window is open.
    void openTemplateEditor(const QString &name);
    void renameTemplate(const QString &name);
    void deleteTemplateRow(const QString &name);
    void printTemplate(const QString &name);

    // Ticked rows, in the order they were ticked; emptied by every rebuild.
    QStringList selectedTemplates;
    // "" or "全部" for every category.
    QString templateTypeFilter;
    // "" for every name; a part of the name, letter case included.
    QString templateNameFilter;
    QList<TemplateModel> apiTemplateList;
    // The editor opened from this page, while it is open.
    QPointer<TemplateDialog> templateEditor;
    // Places the row widgets as rows come into view.
    VisibleRowFiller *templateRowFiller = nullptr;
    // The same for the home page's ranking badges.
    VisibleRowFiller *rankingRowFiller = nullptr;
};
