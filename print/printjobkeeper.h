#pragma once

// Keeps the print jobs of closed print previews while the page each sent
// last is still at the printer, so that the page's notice still writes its
// record row and charges its ink. A job waits a bounded time for it, then
// ends; its page still takes the next notice until a newer page goes out
// (pageSent()), and the job is deleted once nothing more can be its own.
//
// Replies carry no job identity and the printer reports pages in the order
// they came, so the oldest kept job takes the next notice. While a kept job
// still waits no other job may start, or a notice could be taken for the
// wrong page: a start asked for meanwhile runs once no kept job waits.

#include "model/replymodels.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class PrintJob;

class PrintJobKeeper : public QObject
{
    Q_OBJECT

public:
    explicit PrintJobKeeper(QObject *parent = nullptr);

    // Takes a job released by its window that still has a page out
    // (PrintJob::release() returned true); its log lines go to the log.
    void keep(PrintJob *job);
    // A kept job still waits for its page: no other job may start.
    bool isKeeping() const;
    // Runs start now when no kept job waits and returns true; otherwise
    // returns false and runs it once none does, unless context is gone by
    // then or the link went meanwhile, as the doing of whoever asked (a
    // client or the program). Only the latest start still waiting runs.
    bool whenFree(QObject *context, std::function<void()> start);

    void pageNoticed(const PrintReceiveModel &model);
    // A newer page went to the printer: the pages given up unreported take
    // no notice any more.
    void pageSent();
    // The link went: a notice over the next one is for none of the pages
    // the kept jobs sent, so they end. A start held back is dropped: it was
    // asked for over that link, and the job that asked hears of the loss
    // itself.
    void linkLost();

private:
    // Tells every kept job of an event of the link, and settles each.
    void tellJobs(void (PrintJob::*event)());
    // Drops the job when nothing more can be its own, and runs the start
    // held back once no kept job waits.
    void settle(PrintJob *job);

    QList<PrintJob *> m_jobs;
    QPointer<QObject> m_startContext;
    std::function<void()> m_start;
    // The start was asked for inside a ClientCause.
    bool m_startForClient = false;
};
