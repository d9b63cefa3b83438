#pragma once

// Keeps the print jobs of closed print previews while the page each sent
// last is still at the printer, so that the page's notice still writes its
// record row and charges its ink (the job waits a bounded time for it, then
// ends and is deleted).
//
// Replies carry no job identity and the printer reports pages in the order
// they came, so the oldest kept job takes the next notice. While one is kept
// no other job may start, or a notice could be taken for the wrong page: a
// start asked for meanwhile runs once the last kept job has ended.

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

    // Takes a job released by its window that still awaits its page
    // (PrintJob::release() returned true); its log lines go to the log.
    void keep(PrintJob *job);
    bool isKeeping() const { return !m_jobs.isEmpty(); }
    // Runs start now when no job is kept, otherwise once none is, unless
    // context is gone by then. Only the latest start still waiting runs.
    void whenFree(QObject *context, std::function<void()> start);

    void pageNoticed(const PrintReceiveModel &model);

private:
    void jobEnded(PrintJob *job);

    QList<PrintJob *> m_jobs;
    QPointer<QObject> m_startContext;
    std::function<void()> m_start;
};
