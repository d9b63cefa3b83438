#include "app/logfile.h"

#include "util/clientcause.h"
#include "util/safesave.h"
#include "util/seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLatin1String>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>

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

// What the client messages of one day have taken of its log. It outlives
// the run in a record beside the logs, the day and how many bytes of that
// day's log its client lines may have reached ("20241231 1310720"): a step
// ahead of them, and on the disk before the lines it allows, so a run that
// ends (or a crash that ends it) leaves the share overstated by less than a
// step, never short of what the log holds. A step is a share's
// BOOKING_STEPS-th part, so the record is written about that often a day.
// Once the line that says the share is spent is in the log, the record says
// so too ("20241231 67108864 told"), so no run writes that line twice a day.
struct ClientShare {
    QString log; // the day's file it is the share of; empty: not read yet
    QDate day;
    qint64 bytes = 0;
    qint64 booked = -1; // what the record allows this day; -1: no record of it
    bool told = false; // the log says the share is spent
    // The record could not be replaced this run and day: trying again, with
    // a sync, for every client line would cost the disk for nothing.
    bool unbookable = false;
};

const QByteArray TOLD = QByteArrayLiteral("told");

constexpr qint64 BOOKING_STEPS = 256;

struct LogState {
    QMutex mutex;
    ClientShare share;
};

LogState &state()
{
    static LogState s;
    return s;
}

QString recordPath()
{
    return LogFile::folderPath() + QStringLiteral("/clientshare");
}

QByteArray dayText(const QDate &day)
{
    return day.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

// The share of the day's log as a run first finds it: what the record of
// that day allows, within the file's size. A file the record does not name
// counts whole, its lines not saying whose they are: written by an older
// version, or by a run that ended before its first client line that day.
ClientShare readShare(const QString &log, const QDate &day)
{
    ClientShare share{log, day, QFileInfo(log).size(), -1};
    QFile record(recordPath());
    if (record.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = record.read(64).trimmed().split(' ');
        bool ok = false;
        const bool today = (fields.size() == 2 || fields.size() == 3) && fields.first() == dayText(day);
        const qint64 booked = today ? fields.at(1).toLongLong(&ok) : -1;
        if (ok && booked >= 0) {
            share.booked = booked;
            share.bytes = qMin(share.bytes, booked);
            share.told = fields.size() == 3 && fields.last() == TOLD;
        }
    }
    return share;
}

void book(ClientShare &share, qint64 bytes)
{
    if (share.unbookable)
        return;
    // Booked ahead of the day's first line, which makes the folder.
    QDir().mkpath(LogFile::folderPath());
    QSaveFile record(recordPath());
    const QByteArray text = dayText(share.day) + ' ' + QByteArray::number(bytes) + (share.told ? ' ' + TOLD : "");
    if (record.open(QIODevice::WriteOnly) && record.write(text + '\n') > 0 && SafeSave::commit(record))
        share.booked = bytes;
    else
        share.unbookable = true;
}

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

bool LogFile::append(const QByteArray &line, const QString &path)
{
    const QString folder = folderPath();
    if (!QDir(folder).exists() && !QDir().mkdir(folder))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(line) == line.size() && file.flush();
    file.close();
    return written;
}

void LogFile::write(const QByteArray &line, const QString &path)
{
    if (!append(line, path))
        writeToStderr(line);
}

QtMessageHandler LogFile::install()
{
    LogState &s = state();
    QMutexLocker lock(&s.mutex);
    s.share = ClientShare();
    return qInstallMessageHandler(outputMessage);
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
        LogState &s = state();
        QMutexLocker lock(&s.mutex);
        ClientShare &share = s.share;
        const QString log = filePath(now.date());
        // Read once a run and day, at the day's first line: the program's
        // own lines written after it are no client's.
        if (share.log != log)
            share = readShare(log, now.date());
        const qint64 limit = Seams::clientLogBytesPerDay();
        const auto tellSpent = [&] {
            write(formatLine(now, QStringLiteral("client messages have taken %1 MiB of today's log; "
                                                 "no more are logged today")
                                      .arg(limit / (1024 * 1024))),
                  log);
            share.told = true;
            book(share, qMax(share.booked, share.bytes));
        };
        if (!fromClient) {
            write(line, log);
        } else if (share.bytes >= limit) {
            // Spent before this run could say so: by an older version, or
            // by the program's own lines where no record counted them.
            if (!share.told)
                tellSpent();
        } else {
            if (share.bytes + line.size() > share.booked)
                book(share, share.bytes + line.size() + limit / BOOKING_STEPS);
            // A record of the day that could not be moved on (made read-only,
            // say) would have the next run count less than the log holds:
            // what it does not allow goes to standard error instead.
            if (share.booked >= 0 && share.bytes + line.size() > share.booked) {
                writeToStderr(line);
            } else {
                write(line, log);
                share.bytes += line.size();
                if (share.bytes >= limit)
                    tellSpent();
            }
        }
    }
    insideHandler = false;
}
