#pragma once

// The window in which one template is printed over a list of data rows, one
// row per page: the page scene at the printer's resolution, page turning, the
// page range, background, placement and rotation controls, the template's
// information and the operation log; and the print job that sends the pages
// one by one, each paced by the printer's replies.
//
// The application shell connects the signals to the printer link and the
// link's replies to the slots, shows the window and destroys it after
// sigWidgetClosed().
//
// Job states: idle; waiting for the handshake reply; a page scheduled (the
// pause before it runs); a page out (its frame sent, its print-finished
// notice awaited); and the test page. Replies carry no job identity, so each
// is taken only in the state that waits for it. No job starts while a page
// is scheduled or out.

#include "model/replymodels.h"
#include "model/templatemodel.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QVariant>
#include <QWidget>

class PageScene;
class QGraphicsScene;
class QTimer;
class QWGraphicsView;

namespace Ui {
class PrintPreview;
}

class PrintPreview : public QWidget
{
    Q_OBJECT

public:
    PrintPreview(QString templateName, QList<QMap<QString, QVariant>> rows, QWidget *parent);
    ~PrintPreview() override;

    // Starts a job over the chosen pages for the local API; the window
    // closes itself after the job's last page. False (and code "11001") when
    // a job is running.
    bool onApiPrint(QString &code);
    // Ends the job after the page in progress; nothing is sent to the printer.
    void onApiStopPrint();

    void initView();
    void setDynamicData();
    void appendLog(QString text);
    // The help texts of the panel headings.
    void setToolTip();
    using QWidget::setToolTip;

    // Sets PrinterUtil::s_protocolType from a model code or version text.
    bool checkPrinterVersion(QString text);
    // Fills the job's pages from the custom range; "" or the error text.
    QString parseCustomPage();
    // Locks or unlocks the page and its controls; the buttons stay usable.
    void setPrintEnAble(bool on);
    // Renders, places and encodes the current page and sends it.
    void printSignal();
    // Stores the placement controls in the template when they changed.
    void savePrintCfg2TemplateModel();

    // The current page as it prints: page size in printer dots, on white.
    QImage renderPage();

    // State, as the shell and the tests see it.
    bool isPrinting() const { return printing; }
    bool isTestPrinting() const { return testPrinting; }
    bool isBusy() const;
    int currentPageIndex() const { return pageIndex; }
    QList<int> remainingPages() const { return pages; }
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
    int dpi() const;
    void showTemplateInfo();
    void restorePlacement();
    void drawRotatedPage(int angle);
    int angleFromControl() const;
    float offsetXFromControls() const;
    float offsetYFromControls() const;
    void turnPage(int wheelDelta);
    void goToTypedPage();
    // The steps every start shares; false when the range is wrong.
    bool startJob();
    void schedulePage();
    // After a page is done with (printed, failed or refused by the encoder):
    // the next page, the end of the job, or the end of a cancelled one.
    void continueJob();
    void endTestJob();
    void scrollToolsToBottom();

    bool dragging = false;
    QPoint dragPos;
    TemplateModel templateModel;
    QList<QMap<QString, QVariant>> rows;
    int pageIndex = 0;
    bool printing = false;
    bool testPrinting = false;
    QList<int> pages;
    QGraphicsScene *scene = nullptr;
    QWGraphicsView *view = nullptr;
    bool closeAfterJob = false;
    bool printerLinked = true;

    // The handshake reply is awaited.
    bool waitingHandshake = false;
    // A frame was sent whose print-finished notice (test page: its reply)
    // has not come.
    bool pageOut = false;
    unsigned int pageOutDots = 0;
    int pageOutPosition = 0;
    // The job's page that is scheduled, and the one that is out (0-based). A
    // cancel unlocks the preview, so the page shown may move away from them.
    int scheduledPageIndex = 0;
    int pageOutIndex = 0;
    // Position of the current page within the job.
    int jobPosition = 0;
    // The pause before the next page (or the test page).
    QTimer *pauseTimer = nullptr;

    PageScene *page = nullptr;
    Ui::PrintPreview *ui;
};
