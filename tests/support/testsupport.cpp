#include "support/testsupport.h"

#include "util/seams.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QProcess>
#include <QVector>

#include <algorithm>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport {

TempProgramDir::TempProgramDir()
{
    Q_ASSERT(m_dir.isValid());
    Seams::setProgramDir(m_dir.path());
}

TempProgramDir::~TempProgramDir()
{
    Seams::setProgramDir(QString());
}

RefusedWrites::RefusedWrites(qint64 maxBytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_oldLimit = limit.rlim_cur;
    limit.rlim_cur = rlim_t(maxBytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

RefusedWrites::~RefusedWrites()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_oldLimit);
    setrlimit(RLIMIT_FSIZE, &limit);
}

ToastRecorder::ToastRecorder()
{
    Seams::setToastHandler([this](const QString &text, const QString &color, const QString &background) {
        m_toasts.append({text, color, background});
    });
}

ToastRecorder::~ToastRecorder()
{
    Seams::setToastHandler(nullptr);
}

QStringList ToastRecorder::texts() const
{
    QStringList list;
    for (const Toast &t : m_toasts)
        list.append(t.text);
    return list;
}

namespace {

struct Captured {
    QtMsgType type;
    QString text;
};

QMutex g_logMutex;
QList<Captured> g_log;
QtMessageHandler g_previous = nullptr;
int g_captures = 0;

void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    {
        QMutexLocker lock(&g_logMutex);
        g_log.append({type, text});
    }
    if (g_previous)
        g_previous(type, context, text);
}

} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_logMutex);
    if (g_captures++ == 0)
        g_previous = qInstallMessageHandler(captureHandler);
    g_log.clear();
}

LogCapture::~LogCapture()
{
    QMutexLocker lock(&g_logMutex);
    if (--g_captures == 0) {
        qInstallMessageHandler(g_previous);
        g_previous = nullptr;
    }
}

QStringList LogCapture::messages(QtMsgType type) const
{
    QMutexLocker lock(&g_logMutex);
    QStringList list;
    for (const Captured &c : g_log) {
        if (c.type == type)
            list.append(c.text);
    }
    return list;
}

bool LogCapture::contains(const QString &fragment) const
{
    QMutexLocker lock(&g_logMutex);
    for (const Captured &c : g_log) {
        if (c.text.contains(fragment))
            return true;
    }
    return false;
}

QStringList LogCapture::connectionWarnings() const
{
    QStringList found;
    for (const QString &w : warnings()) {
        if (w.contains(QLatin1String("connectSlotsByName")) || w.contains(QLatin1String("QObject::connect")))
            found.append(w);
    }
    return found;
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_logMutex);
    g_log.clear();
}

QStringList columnTexts(const QAbstractItemModel *model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, column).data().toString());
    return texts;
}

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(QByteArray(digits));
}

bool useOwnWorkingFolder()
{
    static QTemporaryDir folder;
    return folder.isValid() && QDir::setCurrent(folder.path());
}

quint16 reservedLoopbackPort()
{
    // Never closed: the process's end frees them all.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    return ntohs(address.sin_port);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList listFiles(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

qint64 processStatusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QString systemPython()
{
    return QStringLiteral("/usr/bin/python3");
}

int runProgram(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err,
               const QByteArray &input, int timeoutMs)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return -1;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        return -1;
    }
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QStringList zbarDecode(const QImage &image, int margin)
{
    QImage padded(image.width() + 2 * margin, image.height() + 2 * margin, QImage::Format_RGB32);
    padded.fill(Qt::white);
    QPainter painter(&padded);
    painter.drawImage(margin, margin, image);
    painter.end();
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/symbols.png");
    if (!padded.save(path))
        return {QStringLiteral("cannot save the picture for zbarimg")};
    QByteArray out;
    runProgram(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), path}, &out);
    QStringList texts = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    texts.sort();
    return texts;
}

bool resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

double medianMs(const std::function<void()> &work, int runs)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace TestSupport
