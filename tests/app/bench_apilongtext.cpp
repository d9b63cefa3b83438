// What a print request whose one text field holds 16 MiB of text (the
// largest message the API takes) costs the terminal, against the fake
// printer:
// - the round trip of request 13 (printer status) from a second connection
//   opened the moment the server begins to handle the big request, beside
//   the same round trip with the server idle: how long the event loop (the
//   printer link and every client with it) is held;
// - the process's resident memory before and after a job of that request
//   (request to the "11000" after its preview closed), and its peak.
// The second connection's client runs on a thread of its own, so its clock
// runs while the terminal's thread is held. A stage that takes longer than
// the timeout ends the program with what it measured so far.
//
//   QT_QPA_PLATFORM=offscreen bench_apilongtext [MiB, default 16] [timeout seconds, default 600]

#include "app/apiserver.h"
#include "support/labelfixtures.h"
#include "support/terminalfixture.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

const QString LABEL = QStringLiteral("长文本标签");
const QString TITLE = QStringLiteral("题名");

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Resident and peak memory of this process, in MiB.
double procStatusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toDouble() / 1024 : -1;
}

// The peak from now on (Linux 4.0 and later).
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// A print request of one row whose field holds CJK text and blanks, the
// whole message exactly bytes long in UTF-8.
QString bigRequest(int seq, qint64 bytes)
{
    const QJsonObject shell{{"requestId", 12},
                            {"seq", seq},
                            {"templateName", LABEL},
                            {"data", QJsonArray{QJsonObject{{TITLE, QString()}}}}};
    const QByteArray empty = QJsonDocument(shell).toJson(QJsonDocument::Compact);
    const QByteArray phrase = QStringLiteral("城建档案科技档案文书档案业务档案会计档案 ").toUtf8();
    QByteArray text;
    const qint64 room = bytes - empty.size();
    text.reserve(int(room));
    while (text.size() + phrase.size() <= room)
        text += phrase;
    text += QByteArray(int(room - text.size()), 'x');
    QByteArray message = empty;
    message.insert(message.indexOf("\"\"") + 1, text);
    return QString::fromUtf8(message);
}

// A websocket client on a thread of its own: connects, sends request 13
// once welcomed and times the whole from its start to the reply.
class StatusProbe
{
public:
    StatusProbe()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~StatusProbe()
    {
        QMetaObject::invokeMethod(&m_context, [this] { qDeleteAll(m_context.children()); },
                                  Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    // Safe from any thread, a message handler included.
    void start(quint16 port)
    {
        m_ns = -1;
        QMetaObject::invokeMethod(&m_context, [this, port] { open(port); }, Qt::QueuedConnection);
    }
    void forget() { m_ns = -1; }
    bool answered() const { return m_ns >= 0; }
    QString elapsedMs() const { return QString::number(m_ns / 1e6, 'f', 1); }
    QString reply() const
    {
        QMutexLocker lock(&m_mutex);
        return m_reply;
    }

private:
    void open(quint16 port)
    {
        qDeleteAll(m_context.children());
        m_clock.start();
        m_seen = 0;
        auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, &m_context);
        QObject::connect(socket, &QWebSocket::textMessageReceived, &m_context, [this, socket](const QString &text) {
            if (++m_seen == 2) {
                socket->sendTextMessage(QStringLiteral(R"({"requestId":13,"seq":13})"));
            } else if (m_seen == 3) {
                {
                    QMutexLocker lock(&m_mutex);
                    m_reply = text;
                }
                m_ns = m_clock.nsecsElapsed();
                socket->close();
            }
        });
        socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
    }

    QThread m_thread;
    QObject m_context;
    QElapsedTimer m_clock;
    int m_seen = 0;
    std::atomic<qint64> m_ns{-1};
    mutable QMutex m_mutex;
    QString m_reply;
};

// Ends the program when a stage outlasts the timeout: the terminal's
// thread may be held, so the watch runs on a thread of its own.
class Watchdog
{
public:
    explicit Watchdog(int seconds)
        : m_seconds(seconds)
    {
        m_timer.setSingleShot(true);
        m_timer.moveToThread(&m_thread);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            std::printf("%s: no end within %d s\n", m_stage.c_str(), m_seconds);
            std::fflush(stdout);
            std::_Exit(2);
        });
        m_thread.start();
    }
    ~Watchdog()
    {
        stop();
        m_thread.quit();
        m_thread.wait();
    }
    void watch(const char *stage)
    {
        m_stage = stage;
        QMetaObject::invokeMethod(&m_timer, [this] { m_timer.start(m_seconds * 1000); }, Qt::BlockingQueuedConnection);
    }
    void stop()
    {
        QMetaObject::invokeMethod(&m_timer, [this] { m_timer.stop(); }, Qt::BlockingQueuedConnection);
    }

private:
    QThread m_thread;
    QTimer m_timer;
    int m_seconds;
    std::string m_stage;
};

StatusProbe *g_probe = nullptr;
std::atomic<bool> g_armed{false};
QtMessageHandler g_previous = nullptr;

// The server logs a request as it takes it up: a long one is cut short in
// the log, and the probe connects right then.
void startProbeOnBigRequest(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (g_armed && msg.startsWith(QLatin1String("receive msg")) && msg.size() > ApiServer::LOGGED_CHARS) {
        g_armed = false;
        g_probe->start(JsonUtil::getApiPort());
    }
    if (g_previous)
        g_previous(type, context, msg);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 bytes = (args.size() > 1 ? args.at(1).toLongLong() : 16) * 1024 * 1024;
    const int timeoutS = args.size() > 2 ? args.at(2).toInt() : 600;
    QTextStream out(stdout);

    TestSupport::TerminalFixture::preparePrinting();
    TestSupport::TerminalFixture terminal;
    TemplateModel label = TestSupport::blankLabel(LABEL);
    label.textModels << TestSupport::textField(TITLE, QStringLiteral("题名"), 4, 4, 32, 22, 4);
    JsonUtil::saveTemplate(label, false);
    Seams::setJobPauseMs(1);
    terminal.link({"--sn", "KELO2020260001", "--notify-delay-ms", "0"});
    if (!terminal.waitUntilRead()) {
        out << "the printer did not connect\n";
        return 1;
    }
    const quint16 port = JsonUtil::getApiPort();
    Watchdog watchdog(timeoutS);
    StatusProbe probe;
    g_probe = &probe;
    g_previous = qInstallMessageHandler(startProbeOnBigRequest);

    watchdog.watch("request 13 with the server idle");
    probe.start(port);
    if (!waitFor([&] { return probe.answered(); }, timeoutS * 1000)) {
        out << "the idle server did not answer request 13\n";
        return 1;
    }
    out << "message: " << bytes << " bytes\n";
    out << "request 13 from a new connection, server idle: " << probe.elapsedMs() << " ms (" << probe.reply()
        << ")\n";
    out.flush();

    QWebSocket client;
    QStringList replies;
    QObject::connect(&client, &QWebSocket::textMessageReceived, [&](const QString &text) { replies << text; });
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
    if (!waitFor([&] { return replies.size() == 2; }, 10000)) {
        out << "no welcome from the server\n";
        return 1;
    }

    // The job, from the request to the "11000" after its preview closed.
    replies.clear();
    const QString job = bigRequest(1, bytes);
    QCoreApplication::processEvents();
    const double before = procStatusMiB("VmRSS");
    const bool peakReset = resetPeak();
    watchdog.watch("the job");
    QElapsedTimer timer;
    timer.start();
    client.sendTextMessage(job);
    const QString finished = QStringLiteral(R"({"code":"11000","resquestId":12,"seq":1})");
    if (!waitFor([&] { return replies.contains(finished); }, timeoutS * 1000)) {
        out << "the job did not finish: " << replies.join(' ') << "\n";
        return 1;
    }
    const qint64 jobMs = timer.elapsed();
    // What the closed preview leaves is deleted once control is back in the event loop.
    waitFor([] { return false; }, 500);
    out << "job of one " << bytes << "-byte request: " << jobMs << " ms, replies " << replies.join(' ') << "\n";
    out << "resident memory: before " << QString::number(before, 'f', 1) << " MiB, after "
        << QString::number(procStatusMiB("VmRSS"), 'f', 1) << " MiB, peak "
        << QString::number(procStatusMiB("VmHWM"), 'f', 1) << " MiB" << (peakReset ? "" : " (since start)") << "\n";
    out.flush();

    // The same request again; a second connection asks for the status as the
    // server takes it up (and so evicts the first client once it is served).
    replies.clear();
    watchdog.watch("request 13 while the big request is handled");
    probe.forget();
    g_armed = true;
    client.sendTextMessage(bigRequest(2, bytes));
    if (!waitFor([&] { return probe.answered(); }, timeoutS * 1000)) {
        out << "request 13 was not answered while the big request was handled\n";
        return 1;
    }
    watchdog.stop();
    out << "request 13 from a second connection while the " << bytes << "-byte request is handled: "
        << probe.elapsedMs() << " ms (" << probe.reply() << ")\n";
    qInstallMessageHandler(g_previous);
    return 0;
}
