#include "app/singleinstance.h"

#include "util/seams.h"

#include <QDebug>

SingleInstance::SingleInstance(const QString &key)
    : m_memory(key)
{
}

bool SingleInstance::acquire()
{
    // Detaching as the last one attached destroys the segment, which is what
    // frees a segment whose owner died without detaching; a live owner stays
    // attached and keeps it.
    if (m_memory.attach())
        m_memory.detach();
    if (m_memory.create(1))
        return true;
    if (m_memory.error() == QSharedMemory::AlreadyExists)
        return false;
    // Any other failure leaves this instance unguarded rather than locked out.
    qWarning().noquote() << "single instance guard:" << m_memory.errorString();
    return true;
}

bool SingleInstance::acquireOrTell()
{
    if (acquire())
        return true;
    Seams::showInformation(nullptr, QStringLiteral("提示"), QStringLiteral(" 程序已运行！"), QStringLiteral("确 定"));
    return false;
}
