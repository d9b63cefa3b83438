#include "print/printjobkeeper.h"

#include "print/printjob.h"
#include "util/clientcause.h"

#include <QDebug>

#include <algorithm>

PrintJobKeeper::PrintJobKeeper(QObject *parent)
    : QObject(parent)
{
}

void PrintJobKeeper::keep(PrintJob *job)
{
    job->setParent(this);
    m_jobs.append(job);
    connect(job, &PrintJob::logged, this, [](const QString &line) { qInfo().noquote() << line; });
    connect(job, &PrintJob::finished, this, [this, job] { settle(job); });
}

bool PrintJobKeeper::isKeeping() const
{
    return std::any_of(m_jobs.cbegin(), m_jobs.cend(), [](const PrintJob *job) { return job->isBusy(); });
}

bool PrintJobKeeper::whenFree(QObject *context, std::function<void()> start)
{
    if (!isKeeping()) {
        start();
        return true;
    }
    qInfo().noquote() << "print job start held until the page of a closed preview is done";
    m_startContext = context;
    m_start = std::move(start);
    m_startForClient = ClientCause::isOpen();
    return false;
}

void PrintJobKeeper::pageNoticed(const PrintReceiveModel &model)
{
    if (m_jobs.isEmpty())
        return;
    PrintJob *job = m_jobs.first();
    job->pageNoticed(model);
    settle(job);
}

void PrintJobKeeper::pageSent()
{
    tellJobs(&PrintJob::forgetLatePage);
}

void PrintJobKeeper::linkLost()
{
    // Dropped first: the kept jobs' end below must not send it over the link
    // that went.
    m_start = nullptr;
    tellJobs(&PrintJob::linkLost);
}

void PrintJobKeeper::tellJobs(void (PrintJob::*event)())
{
    const QList<PrintJob *> jobs = m_jobs;
    for (PrintJob *job : jobs) {
        (job->*event)();
        settle(job);
    }
}

void PrintJobKeeper::settle(PrintJob *job)
{
    if (!m_jobs.contains(job) || job->isBusy())
        return;
    if (!job->hasLatePage()) {
        m_jobs.removeOne(job);
        // Possibly still inside the job's own signal.
        job->deleteLater();
    }
    if (isKeeping() || !m_start)
        return;
    const std::function<void()> start = std::move(m_start);
    m_start = nullptr;
    // Whoever asked for it, not whatever let it go (a notice, another job's
    // end), is what the start is the doing of.
    const ClientCause cause(m_startForClient);
    if (m_startContext)
        start();
}
