#pragma once

#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QPoint>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace Ui {
class MainWindow;
}

// The program's only top-level window: frameless, with its own title strip,
// a navigation column and a stack of pages (home, templates, print,
// settings). Its form names every widget the pages reach.
class MainWindow : public QMainWindow
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

    // The home page, in mainwindow_home.cpp.
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

private:
    // Construction steps, called by the constructor in this order.
    void initFrame();
    void initTitleStatus();
    void applyBranding();
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
    bool dragging = false;
    QPoint lastMousePos;
    QPoint currentMousePos;
    Ui::MainWindow *ui;
    QStringList sysTemplateNames;
    bool adminMode = false;
};
