#pragma once

// The driver of a print preview's jobs, without a window: it sends the pages
// of a job one by one, each paced by the printer's replies, and says what it
// does in log lines.
//
// A job asks for a handshake, learns the printer type from the reply, then
// for every page pauses, has the page source render it, encodes it and hands
// the frame to the link, and waits for the printer's print-finished notice
// before the next page. A test page skips the handshake (the last one told
// the printer type) and ends with the printer's test-page reply.
//
// Replies carry no job identity, so each is taken only in the state that
// waits for it, once the job's own request has left. Once a job is cancelled or stopped no further page goes out:
// a cancel in the pause before a page ends the job there, and a cancel with
// a page out lets that page finish. An emergency stop and the window's
// closing send nothing more either, but a page already at the printer is
// still awaited, as a cancelled job's page is, for at most
// Seams::noticeWaitMs(), so that its notice is recorded and its ink charged.
// A lost link ends the job at once and refuses it for good: no notice is its
// own any more, since one over the next link is not for a page sent over the
// last. A job released by its closing window goes on without it for that
// page alone. A pause still running when the job is destroyed does nothing.
//
// The wait ends the job, not the page's claim: the printer reports pages in
// the order they came, so the next notice is still that page's until a
// newer page goes out (from this job or, told by forgetLatePage(), another).

#include "model/replymodels.h"
#include "print/pagesource.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class PrintJob : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Idle,
        AwaitingHandshake,
        // The shell holds the handshake back until the printer is free: no
        // answer is this job's before its own handshake has left.
        HandshakeHeld,
        // The pause before a page (the page is scheduled).
        PagePending,
        // A page's frame was sent; its print-finished notice is awaited.
        PageOut,
        // Cancelled, stopped or released with a page out: that page is
        // awaited for a bounded time, then the job ends.
        CancelledOut,
        TestPagePending,
        // The test page was sent; the printer's test-page reply is awaited.
        TestPageOut,
    };

    // The source must outlive the job.
    explicit PrintJob(PageSource *source, QObject *parent = nullptr);

    // Sets PrinterUtil::s_protocolType from a model code or version text;
    // false (and type 0) when the text names no known model.
    static bool checkPrinterVersion(const QString &text);
    // The pages (1-based, ascending, each once) of a range such as "3,1-2"
    // over pageCount pages: "" and the pages appended, or the error text.
    static QString parsePageRange(const QString &range, int pageCount, QList<int> *pages);

    // Starts a job over the given pages (1-based, ascending): the first is
    // shown at once. False, and nothing done, while busy or without pages.
    bool startPrint(const QList<int> &pages);
    // The same for a test page, sent after the pause as the first page.
    bool startTestPage(const QList<int> &pages);
    // Who cancelled, for the log.
    enum class Canceller { User, Api };
    // Nothing scheduled goes: a job in the pause before a page ends at once.
    // A page out still prints; its notice, or the end of the wait for it,
    // ends the job.
    void cancel(Canceller by);
    // The printer is told to stop at once; nothing scheduled goes, and the
    // page out, if any, is awaited as the job's last.
    void stop();
    // The job ends at once, without telling the printer; isLinked() is false
    // from then on, and no notice is taken.
    void linkLost();
    // The shell holds the handshake back until the printer is free (a
    // closed preview's page is still awaited): no answer counts, nor is one
    // awaited, until handshakeSent().
    void handshakeHeld();
    // The handshake leaves for the printer now: its answer is awaited from
    // now, for at most Seams::replyWaitMs(). False when the job no longer
    // waits for one (it was stopped, cancelled or released while held):
    // then nothing is to be sent for it.
    bool handshakeSent();
    // The page source is gone: nothing is shown or sent any more. True when
    // a page is still out: the job goes on until its notice (or the end of
    // the wait, finished() then tells its end) or, once the wait is over,
    // still takes the next notice (hasLatePage()).
    bool release();
    // A newer page went to the printer by another job: a page given up
    // unreported takes no notice any more.
    void forgetLatePage();

    // The printer's replies.
    void handshakeReceived(const HandshakeReceiveModel &model);
    void printAcknowledged(const PrintReceiveModel &model);
    void testPageReplied(const PrintReceiveModel &model);
    void pageNoticed(const PrintReceiveModel &model);

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Idle; }
    // A print job that has not been cancelled.
    bool isPrinting() const;
    bool isTestPrinting() const;
    bool isLinked() const { return m_linked; }
    // The wait for the last page sent ended without its notice, and no newer
    // page has gone out since: the next notice is still that page's.
    bool hasLatePage() const { return m_latePage; }
    // Pages still to print after the current one (1-based).
    QList<int> remainingPages() const { return m_pages; }

signals:
    void handshakeRequested();
    void frameReady(QByteArray frame);
    void stopRequested();
    // Once per page the printer reported printed: the page's dots and its
    // position within the job (0 for the job's first page).
    void inkConsumed(unsigned int dots, int position);
    void logged(QString line);
    // Whether the pages and their placement may be changed: not while a job
    // holds them, again once it ends, is cancelled or stopped.
    void pageEditable(bool editable);
    // The job came to its end without being stopped: its last page is done
    // with (a cancel while it was out included), the wait for it after a
    // cancel ended, or the printer never answered the handshake or the test
    // page. An API job's window closes then; a stopped one stays open.
    void concluded();
    // Back to idle, however the job ended.
    void finished();

private:
    bool start(State first, const QList<int> &pages);
    void schedulePage();
    void printSignal();
    // After a page is done with (printed, failed or refused by the encoder):
    // the next page, the end of the job, or the end of a cancelled one.
    void continueJob();
    // Back to idle with the page editable again.
    void end();
    // Nothing more is sent; a page out is awaited for a bounded time. True
    // when one is.
    bool awaitPageOut();
    // Starts the bounded wait for the page out, unless it runs.
    void awaitNotice();

    PageSource *m_source;
    State m_state = State::Idle;
    bool m_linked = true;
    // Pages still to print (1-based), the job's current page (0-based) and
    // its position within the job.
    QList<int> m_pages;
    int m_page = 0;
    int m_position = 0;
    // The page out: a cancel unlocks the preview, so the page shown may move
    // away from it.
    struct PageOut {
        int page = 0;
        int position = 0;
        unsigned int dots = 0;
        QString templateName;
        QString templateType;
    } m_out;
    QTimer m_pause;
    // How long a page out is awaited once nothing follows it.
    QTimer m_noticeWait;
    // A handshake or a test page is answered at once; a printer that does
    // not answer must not hold the job for good.
    QTimer m_replyWait;
    // m_out is given up by the job but its notice is still its own.
    bool m_latePage = false;
    // A page charged nothing for want of a known ink quantity was logged.
    bool m_inkUnknownLogged = false;
    // Started for an API client: its steps are the client's doing.
    bool m_forClient = false;
    // Stopped, cut off or released rather than cancelled: the job was given
    // up, so the end of the wait for its page out does not conclude it.
    bool m_abandoned = false;
};
