#pragma once

// The window in which one template is printed over a list of data rows, one
// row per page: the page scene at the printer's resolution, page turning, the
// page range, background, placement and rotation controls, the template's
// information and the operation log. It is the page source of its print job
// (PrintJob), which sends the pages one by one, each paced by the printer's
// replies; the window starts, cancels and stops the job, hands it the
// replies and shows what it logs.
//
// The application shell connects the signals to the printer link and the
// link's replies to the slots, shows the window and destroys it after
// sigWidgetClosed().

#include "model/replymodels.h"
#include "model/templatemodel.h"
#include "print/pagesource.h"
#include "util/windowdrag.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>

class PageScene;
class PrintJob;
class QGraphicsScene;
class QWGraphicsView;

namespace Ui {
class PrintPreview;
}

class PrintPreview : public QWidget, private PageSource
{
    Q_OBJECT

public:
    // The template of that name as the store holds it now.
    PrintPreview(QString templateName, QList<QMap<QString, QVariant>> rows, QWidget *parent);
    // A template already read (sizes stored as 0 taken as their defaults).
    PrintPreview(TemplateModel model, QList<QMap<QString, QVariant>> rows, QWidget *parent);
    ~PrintPreview() override;

    // Starts a job over the chosen pages for the local API; the window
    // closes itself after the job's last page. False (and code "11001") when
    // a job is running.
    bool onApiPrint(QString &code);
    // Ends the job after the page in progress; nothing is sent to the printer.
    void onApiStopPrint();
    // For the shell, once the window has closed: the job stops sending. When
    // a page of it is still at the printer, the job goes on without the
    // window until that page's notice and is returned, no longer the
    // window's (PrintJob::release); null otherwise.
    PrintJob *releaseJob();
    // The shell holds the job's handshake back until the printer is free,
    // and says when it leaves: its answer is awaited from then on. False
    // when the job no longer wants it (stopped while held): nothing is sent.
    void handshakeHeld();
    bool handshakeSent();
    // Whether another window's page still holds the printer. A test page,
    // which asks the printer nothing before its page, is refused meanwhile.
    void setPrinterTaken(std::function<bool()> taken) { printerTaken = std::move(taken); }

    void initView();
    void setDynamicData();
    void appendLog(QString text);
    // The help texts of the panel headings.
    void setToolTip();
    using QWidget::setToolTip;

    // Sets PrinterUtil::s_protocolType from a model code or version text.
    static bool checkPrinterVersion(QString text);
    // Appends the pages of the custom range; "" or the error text.
    QString parseCustomPage(QList<int> *pages) const;
    // Locks or unlocks the page and its controls; the buttons stay usable.
    void setPrintEnAble(bool on);
    // Stores the placement controls in the template when they changed.
    void savePrintCfg2TemplateModel();

    // The current page as it prints: page size in printer dots, on white.
    // Pages reach the printer only as frames over the link (sigPrint), never
    // through a system print driver.
    QImage renderPage();

    // State, as the shell and the tests see it.
    bool isPrinting() const;
    bool isTestPrinting() const;
    bool isBusy() const;
    int currentPageIndex() const { return pageIndex; }
    QList<int> remainingPages() const;
    const TemplateModel &currentTemplate() const { return templateModel; }
    QGraphicsScene *pageScene() const { return scene; }
    int pageCount() const { return rows.size(); }

signals:
    void sigWidgetClosed();
    void sigHandShake();
    void sigPrint(QByteArray printCmd);
    void sigStopPrint();
    // Once per page the printer reported printed: the page's dots and its
    // position within the job (0 for the job's first page).
    void sigConsumInkDots(unsigned int inkDots, int pageIndex);

public slots:
    void serialDisconnected();
    void tcpDisconnected(QString host, int port);
    void receiveHandShake(HandshakeReceiveModel model);
    void receivePrint(PrintReceiveModel model);
    void receivePrintTest(PrintReceiveModel model);
    void receivePrintNotify(PrintReceiveModel model);

private slots:
    void on_btn_hide_clicked();
    void on_btn_max_clicked();
    void on_btn_close_clicked();
    void on_btn_print_clicked();
    void on_btn_write_test_page_clicked();
    void on_btn_cancel_clicked();
    void on_btn_stop_clicked();
    void on_combox_angle_currentTextChanged(const QString &arg1);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The page source of the job.
    int shownPage() const override { return pageIndex; }
    void showPage(int index) override;
    Printable printablePage() override;

    int dpi() const;
    void showTemplateInfo();
    void restorePlacement();
    void drawRotatedPage(int angle);
    int angleFromControl() const;
    float offsetXFromControls() const;
    float offsetYFromControls() const;
    void turnPage(int wheelDelta);
    void goToTypedPage();
    // The steps every start shares: the pages of the chosen range, the
    // placement saved, the page rebuilt; false when the range is wrong.
    bool prepareJob(QList<int> *pages);
    void scrollToolsToBottom();
    // A new job of this window, its signals shown and passed on.
    void createJob();

    WindowDrag titleDrag;
    TemplateModel templateModel;
    QList<QMap<QString, QVariant>> rows;
    int pageIndex = 0;
    QGraphicsScene *scene = nullptr;
    QWGraphicsView *view = nullptr;
    // An API job closes the window after its last page.
    bool closeAfterJob = false;

    PageScene *page = nullptr;
    PrintJob *job = nullptr;
    std::function<bool()> printerTaken;
    Ui::PrintPreview *ui;
};
