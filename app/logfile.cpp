#include "app/logfile.h"

#include "util/clientcause.h"
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

namespace {

// Characters that break a line, or change how the rest of it shows: control
// characters, line and paragraph separators, and format characters
// (direction overrides, zero-width characters, byte-order marks).
bool breaksLine(uint c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Format:
        return true;
    default:
        return false;
    }
}

} // namespace

QString LogFile::escapeControls(const QString &text)
{
    // Most texts hold none: a look at each code unit first, a surrogate
    // standing for what its pair may be (format characters lie beyond the
    // first plane too).
    const auto plain = [](QChar c) { return !c.isSurrogate() && !breaksLine(c.unicode()); };
    if (std::all_of(text.begin(), text.end(), plain))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (int i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const uint c = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        if (c == '\r')
            escaped += QLatin1String("\\r");
        else if (c == '\n')
            escaped += QLatin1String("\\n");
        else if (!breaksLine(c))
            escaped += text.midRef(i, pair ? 2 : 1);
        else if (c < 0x100)
            escaped += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        else if (c < 0x10000)
            escaped += QStringLiteral("\\u%1").arg(c, 4, 16, QLatin1Char('0'));
        else
            escaped += QStringLiteral("\\U%1").arg(c, 8, 16, QLatin1Char('0'));
        if (pair)
            ++i;
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
    const bool fromClient = ClientCause::isOpen()
                            || (context.category && qstrcmp(context.category, clientText().categoryName()) == 0);
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
