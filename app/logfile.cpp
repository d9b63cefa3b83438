#include "app/logfile.h"

#include "util/seams.h"

#include <QDir>
#include <QFile>
#include <QLatin1String>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
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

// What the client messages of one day have taken of its log.
struct ClientShare {
    QDate day;
    qint64 bytes = 0;
};

} // namespace

Q_LOGGING_CATEGORY(clientText, "kelo.client")

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

QString LogFile::escapeControls(const QString &text)
{
    const auto isControl = [](QChar c) { return c.category() == QChar::Other_Control; };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (c == QLatin1Char('\r')) {
            escaped += QLatin1String("\\r");
        } else if (c == QLatin1Char('\n')) {
            escaped += QLatin1String("\\n");
        } else if (isControl(c)) {
            // Every control character lies below U+00A0: two digits suffice.
            escaped += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool LogFile::append(const QByteArray &line, const QDate &day)
{
    const QString folder = folderPath();
    if (!QDir(folder).exists() && !QDir().mkdir(folder))
        return false;
    QFile file(filePath(day));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(line) == line.size() && file.flush();
    file.close();
    return written;
}

void LogFile::write(const QByteArray &line, const QDate &day)
{
    if (!append(line, day))
        writeToStderr(line);
}

void LogFile::outputMessage(QtMsgType, const QMessageLogContext &context, const QString &msg)
{
    const bool fromClient = context.category && qstrcmp(context.category, clientText().categoryName()) == 0;
    // One reading of the clock: a line stamped just before midnight goes to
    // that day's file, however long the lock keeps it waiting.
    const QDateTime now = Seams::now();
    const QByteArray line = formatLine(now, fromClient ? escapeControls(msg) : msg);
    if (insideHandler) {
        writeToStderr(line);
        return;
    }
    insideHandler = true;
    {
        static QMutex mutex;
        QMutexLocker lock(&mutex);
        // Counted for this run only: a client cannot restart the program.
        static ClientShare share;
        if (!fromClient) {
            write(line, now.date());
        } else {
            if (share.day != now.date())
                share = ClientShare{now.date(), 0};
            if (share.bytes < CLIENT_BYTES_PER_DAY) {
                write(line, now.date());
                share.bytes += line.size();
                if (share.bytes >= CLIENT_BYTES_PER_DAY)
                    write(formatLine(now, QStringLiteral("client messages have taken %1 MiB of today's log; "
                                                         "no more are logged today")
                                              .arg(CLIENT_BYTES_PER_DAY / (1024 * 1024))),
                          now.date());
            }
        }
    }
    insideHandler = false;
}
