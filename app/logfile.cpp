#include "app/logfile.h"

#include "util/seams.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace {

// Set while this thread is inside the handler. The file functions used there
// may emit a message of their own; taking the (non-recursive) lock again
// would hang the program, so such a message goes to standard error instead.
thread_local bool insideHandler = false;

void writeToStderr(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString LogFile::folderPath()
{
    return Seams::programDir() + QStringLiteral("/log");
}

QString LogFile::filePath(const QDate &day)
{
    return folderPath() + QStringLiteral("/log") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".txt");
}

QByteArray LogFile::formatLine(const QDateTime &when, const QString &msg)
{
    // Concatenated rather than filled through arg(), so a "%1" in the
    // message is written as it stands.
    return (when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(' ') + msg).toUtf8()
           + QByteArrayLiteral("\r\n");
}

bool LogFile::append(const QByteArray &line)
{
    const QString folder = folderPath();
    if (!QDir(folder).exists() && !QDir().mkdir(folder))
        return false;
    QFile file(filePath(QDate::currentDate()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(line) == line.size() && file.flush();
    file.close();
    return written;
}

void LogFile::outputMessage(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    const QByteArray line = formatLine(QDateTime::currentDateTime(), msg);
    if (insideHandler) {
        writeToStderr(line);
        return;
    }
    insideHandler = true;
    {
        static QMutex mutex;
        QMutexLocker lock(&mutex);
        if (!append(line))
            writeToStderr(line);
    }
    insideHandler = false;
}
