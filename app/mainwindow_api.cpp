// The local API as the main window serves it: the server's life with the
// printer state, and the print preview of an API job, wired to the printer
// link, charged for its ink and reported to the client when it closes.

#include "app/mainwindow.h"

#include "print/printjob.h"
#include "print/printjobkeeper.h"
#include "print/printpreview.h"
#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "util/clientcause.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"

#include <QDebug>

// The server listens while a printer is connected: it is created on entering
// state 1 when none exists and closed on entering state 0; an ink-box error
// leaves it running.
void MainWindow::startApiServer()
{
    initWebSocketServer();
}

void MainWindow::stopApiServer()
{
    if (!apiServer)
        return;
    // Closed now, so the port is free for the next server; deleted later,
    // as this may run inside one of its own handlers.
    apiServer->shutdown();
    apiServer->deleteLater();
    apiServer = nullptr;
}

void MainWindow::initWebSocketServer()
{
    if (apiServer)
        return;
    apiServer = new ApiServer(*this, this);
    apiServer->initWebSocketServer(JsonUtil::getCustomConfig(QStringLiteral("api.address"), QStringLiteral("Any")),
                                   JsonUtil::getApiPort());
}

bool MainWindow::apiDialogBusy() const
{
    return dialogBusy || printerTask() == PrinterTask::Updating;
}

uchar MainWindow::apiPrinterState() const
{
    return printerState;
}

bool MainWindow::apiCheckPrinter()
{
    // A printer taking a firmware image is busy, not unready: the busy
    // answer follows.
    return printerTask() == PrinterTask::Updating || checkPrinterStatus();
}

QList<TemplateModel> MainWindow::apiTemplates()
{
    // The store as it is now, whether or not the template page was ever
    // shown; read again only when the file has changed.
    return JsonUtil::cachedTemplateList();
}

void MainWindow::openApiPreview(const QString &templateName, const QList<QMap<QString, QVariant>> &rows,
                                QString *code, std::function<void()> jobClosed)
{
    // The request's name was checked against the kept store, but the file
    // may have changed since: the job prints the template read just now,
    // and only when that is the template asked for. Read as a client's
    // reads are, a store that someone is writing just then is left in place.
    const TemplateModel model = JsonUtil::cachedTemplate(templateName);
    if (templateName.isEmpty() || model.name != templateName) {
        *code = QLatin1String(APIModel::CODE_NO_TEMPLATE);
        return;
    }
    dialogBusy = true;
    apiPreview = new PrintPreview(model, rows, this);
    connectApiPreview(apiPreview, std::move(jobClosed));
    apiPreview->showMaximized();
    if (!apiPreview->onApiPrint(*code))
        apiPreview->close();
}

void MainWindow::connectApiPreview(PrintPreview *preview, std::function<void()> jobClosed)
{
    connectPreviewToLink(preview);
    connect(preview, &PrintPreview::sigConsumInkDots, this, &MainWindow::onApiPageInkConsumed);
    connect(preview, &PrintPreview::sigWidgetClosed, this, [this, preview, jobClosed] {
        // However it closes, these lines are of the client's job.
        const ClientCause cause;
        const std::function<void()> notice = jobClosed; // the connection goes below
        releasePreview(preview, true);
        qDebug() << "PrinterDialog::dialogClosed";
        notice();
    });
}

void MainWindow::connectPreviewToLink(PrintPreview *preview)
{
    connect(preview, &PrintPreview::sigPrint, comManager, &ComManager::sendOriginalMsg);
    // The printer reports pages in order: once a newer page is out, a closed
    // preview's page given up unreported has had its chance.
    connect(preview, &PrintPreview::sigPrint, jobKeeper, &PrintJobKeeper::pageSent);
    connect(preview, &PrintPreview::sigHandShake, this, [this, preview] { startPreviewHandshake(preview); });
    connect(preview, &PrintPreview::sigStopPrint, comManager, &ComManager::stopPrint);
    connect(comManager, &ComManager::onReceiveHandshake, preview, &PrintPreview::receiveHandShake);
    connect(comManager, &ComManager::onReceivePrint, preview, &PrintPreview::receivePrint);
    connect(comManager, &ComManager::onReceivePrintNotify, preview, &PrintPreview::receivePrintNotify);
    // An API preview shows the test-page button too, and a stopped API job
    // leaves its window open while a kept page may still be awaited.
    preview->setPrinterTaken([this] { return jobKeeper->isKeeping(); });
}

void MainWindow::releasePreview(PrintPreview *preview, bool api)
{
    // Still inside the preview's signal: it goes once control is back in the
    // event loop. Its connections to the link and to the window go now, so a
    // window closed again cannot clear the busy flag of whatever is open by
    // then; Qt's own connections to it (the style sheet's cache among them)
    // stay until it is destroyed.
    disconnect(preview, nullptr, comManager, nullptr);
    disconnect(comManager, nullptr, preview, nullptr);
    disconnect(preview, nullptr, this, nullptr);
    if (PrintJob *job = preview->releaseJob()) {
        // Its page is charged as the preview would have had it charged.
        if (api)
            connect(job, &PrintJob::inkConsumed, this, [this](unsigned int dots) { onApiPageInkConsumed(dots); });
        else
            connect(job, &PrintJob::inkConsumed, this, &MainWindow::onPrintPageInkConsumed);
        jobKeeper->keep(job);
    }
    preview->deleteLater();
    if (printPreview == preview)
        printPreview = nullptr;
    if (apiPreview == preview)
        apiPreview = nullptr;
    dialogBusy = false;
}

void MainWindow::startPreviewHandshake(PrintPreview *preview)
{
    const bool sent = jobKeeper->whenFree(preview, [this, preview] {
        // Its answer is awaited from when the printer is asked, not from
        // when the job began to wait for the printer to be free. A job
        // stopped while held asks nothing: neither a handshake nor a read
        // that would leave the ink count unknown amid whatever job runs then.
        if (!preview->handshakeSent()) {
            qInfo().noquote() << "held print job start dropped: its job has ended";
            return;
        }
        comManager->startHandHake();
        // The ink box may have been swapped since its count was last read:
        // the job's pages are charged to the count of the box now in place,
        // read before the first of them is reported printed.
        PrinterUtil::s_printerSys.remainKnown = false;
        comManager->readInkBox(DATA_BLOCK_INK_AMOUNT);
    });
    if (!sent)
        preview->handshakeHeld();
}

void MainWindow::endApiJobOnLinkLoss()
{
    if (!apiPreview)
        return;
    // Told before the server goes with the link, so its client still hears
    // that the job's preview closed.
    apiPreview->serialDisconnected();
    apiPreview->close();
}

void MainWindow::stopApiJob()
{
    // Once per job: a client repeating the request must not add a line to
    // the preview and the log each time.
    if (apiPreview && apiPreview->isPrinting())
        apiPreview->onApiStopPrint();
}

void MainWindow::closeApiPreview()
{
    if (apiPreview)
        apiPreview->close();
}

void MainWindow::onApiPageInkConsumed(unsigned int inkDots)
{
    writeInkCharge(InkAccount::chargeApiPage(inkDots));
}
