#include "print/printjobkeeper.h"

#include "print/printjob.h"

#include <QDebug>

PrintJobKeeper::PrintJobKeeper(QObject *parent)
    : QObject(parent)
{
}

void PrintJobKeeper::keep(PrintJob *job)
{
    job->setParent(this);
    m_jobs.append(job);
    connect(job, &PrintJob::logged, this, [](const QString &line) { qInfo().noquote() << line; });
    connect(job, &PrintJob::finished, this, [this, job] { jobEnded(job); });
}

void PrintJobKeeper::whenFree(QObject *context, std::function<void()> start)
{
    if (m_jobs.isEmpty()) {
        start();
        return;
    }
    qInfo().noquote() << "print job start held until the page of a closed preview is done";
    m_startContext = context;
    m_start = std::move(start);
}

void PrintJobKeeper::pageNoticed(const PrintReceiveModel &model)
{
    if (!m_jobs.isEmpty())
        m_jobs.first()->pageNoticed(model);
}

void PrintJobKeeper::jobEnded(PrintJob *job)
{
    m_jobs.removeOne(job);
    // Still inside the job's own signal.
    job->deleteLater();
    if (!m_jobs.isEmpty() || !m_start)
        return;
    const std::function<void()> start = std::move(m_start);
    m_start = nullptr;
    if (m_startContext)
        start();
}
