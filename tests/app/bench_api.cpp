// Times the local API as the main window serves it, with 1000 user templates
// beside the 38 built-ins:
// - the median round trip of requests 10 (template list), 11 (template
//   fields) and 12 refused for a name that names no template, one at a time,
//   beside that of request 13 (printer status, which reads no file) as the
//   floor;
// - those three kinds per second, sent back to back;
// - how long a second client waits for its welcome while the first has 2000
//   list requests waiting, sent back to back by the outside test client;
// - the round trip of request 10 just after the user file changed, while
//   each request compares the file's bytes;
// - the round trip of a 3-row print job against the fake printer with the
//   job's pauses cut to 1 ms, from the request to the "11000" that follows
//   the preview's close;
// - a print request whose one text field holds 16 MiB of text (the largest
//   message the API takes): the round trip of request 13 from a new
//   connection opened the moment the server begins to handle it, beside the
//   same with the server idle (how long the event loop, the printer link
//   and every client with it, is held); the process's resident memory
//   before and after a job of it (to the "11000" after its preview closed),
//   and its peak. That connection's client runs on a thread of its own, so
//   its clock runs while the terminal's thread is held; a stage that holds
//   it past 600 s ends the program with what it measured so far.
//
//   QT_QPA_PLATFORM=offscreen bench_api [user templates, default 1000] [requests, default 200] [MiB, default 16]

#include "app/apiserver.h"
#include "support/apiclient.h"
#include "support/labelfixtures.h"
#include "support/terminalfixture.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/templatejson.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <QThread>
#include <QWebSocket>

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

const QString LONG_LABEL = QStringLiteral("长文本标签");
const QString LONG_FIELD = QStringLiteral("题名");

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void writeUserTemplates(int count)
{
    QList<TemplateModel> builtins;
    for (const QString &name : JsonUtil::getSysTemplateNames())
        builtins.append(JsonUtil::parseTemplate(name));
    QJsonArray users;
    for (int i = 0; i < count; ++i) {
        TemplateModel t = builtins.at(i % builtins.size());
        t.name = QStringLiteral("用户模板%1").arg(i, 4, 10, QLatin1Char('0'));
        users.append(TemplateJson::writeTemplate(t));
    }
    users.append(TemplateJson::writeTemplate(TestSupport::numberedLabel(QStringLiteral("档案盒标签"))));
    TemplateModel label = TestSupport::blankLabel(LONG_LABEL);
    label.textModels << TestSupport::textField(LONG_FIELD, LONG_FIELD, 4, 4, 32, 22, 4);
    users.append(TemplateJson::writeTemplate(label));
    JsonFile::write(FileUtil::customPath(CUSTOM_TEMPLATE_PATH), users);
}

// A print request of one row whose field holds CJK text and blanks, the
// whole message exactly bytes long in UTF-8.
QString longTextRequest(int seq, qint64 bytes)
{
    const QJsonObject shell{{"requestId", 12},
                            {"seq", seq},
                            {"templateName", LONG_LABEL},
                            {"data", QJsonArray{QJsonObject{{LONG_FIELD, QString()}}}}};
    QByteArray message = QJsonDocument(shell).toJson(QJsonDocument::Compact);
    const QByteArray phrase = QStringLiteral("城建档案科技档案文书档案业务档案会计档案 ").toUtf8();
    QByteArray text;
    const qint64 room = bytes - message.size();
    text.reserve(int(room));
    while (text.size() + phrase.size() <= room)
        text += phrase;
    text += QByteArray(int(room - text.size()), 'x');
    message.insert(message.indexOf("\"\"") + 1, text);
    return QString::fromUtf8(message);
}

// A client on a thread of its own: connects, sends request 13 once welcomed
// and times the whole from its start to the reply.
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
    bool answered() const { return m_ns >= 0; }
    // Once answered.
    QString result() const { return QStringLiteral("%1 ms (%2)").arg(m_ns / 1e6, 0, 'f', 1).arg(m_reply); }

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
                m_reply = text;
                m_ns = m_clock.nsecsElapsed(); // publishes m_reply
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
    QString m_reply;
};

StatusProbe *g_probe = nullptr;
std::atomic<bool> g_armed{false};
QtMessageHandler g_previous = nullptr;

// The server logs a request as it takes it up, a long one cut short: the
// armed probe connects right then.
void startProbeOnLongRequest(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (g_armed && msg.startsWith(QLatin1String("receive msg")) && msg.size() > ApiServer::LOGGED_CHARS) {
        g_armed = false;
        g_probe->start(JsonUtil::getApiPort());
    }
    if (g_previous)
        g_previous(type, context, msg);
}

const char *volatile g_stage = "";

void stageOutlasted(int)
{
    const char *const end = ": no end within 600 s\n";
    if (write(STDOUT_FILENO, g_stage, strlen(g_stage)) < 0 || write(STDOUT_FILENO, end, strlen(end)) < 0)
        _exit(3);
    _exit(2);
}

// The terminal's thread may be held: an alarm ends the program should the
// stage outlast 600 s; what was measured so far is written out first.
void watch(QTextStream &out, const char *stage)
{
    out.flush();
    g_stage = stage;
    std::signal(SIGALRM, stageOutlasted);
    alarm(600);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int requests = args.size() > 2 ? args.at(2).toInt() : 200;
    const qint64 longBytes = (args.size() > 3 ? args.at(3).toLongLong() : 16) * 1024 * 1024;
    QTextStream out(stdout);

    TestSupport::TerminalFixture::preparePrinting();
    TestSupport::TerminalFixture terminal;
    FileUtil::checkCustomDir();
    writeUserTemplates(count);
    QElapsedTimer sinceWritten;
    sinceWritten.start();
    Seams::setJobPauseMs(1);
    terminal.link({"--sn", "KELO2020260001", "--notify-delay-ms", "0"});
    if (!terminal.waitUntilRead()) {
        out << "the printer did not connect\n";
        return 1;
    }

    QWebSocket client;
    QStringList replies;
    QObject::connect(&client, &QWebSocket::textMessageReceived, [&](const QString &text) { replies << text; });
    const auto welcomed = [&](int timeoutMs) {
        replies.clear();
        client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(JsonUtil::getApiPort())));
        return waitFor([&] { return replies.size() == 2; }, timeoutMs);
    };
    if (!welcomed(10000)) {
        out << "no welcome from the server\n";
        return 1;
    }
    out << "user templates: " << count << ", requests per kind: " << requests << "\n";
    // The figures first are of a user file that has not changed for a while.
    waitFor([&] { return sinceWritten.nsecsElapsed() > 2 * Seams::fileTimeStepNs(); }, 10000);

    const QString list = QStringLiteral(R"({"requestId":10,"seq":1})");
    const QList<QPair<const char *, QString>> kinds{
        {"request 10 (template list)", list},
        {"request 11 (template fields)", QStringLiteral(R"({"requestId":11,"seq":1,"templateName":"用户模板0500"})")},
        {"request 12 (refused: no such template)",
         QStringLiteral(R"({"requestId":12,"seq":1,"templateName":"无此模板","data":[{}]})")},
    };
    double floorMs = 0;
    const QList<QPair<const char *, QString>> timed =
        QList<QPair<const char *, QString>>{{"request 13 (status, the floor)", R"({"requestId":13,"seq":1})"}} + kinds;
    for (const auto &kind : timed) {
        bool answered = true;
        const double ms = TestSupport::medianMs(
            [&] {
                replies.clear();
                client.sendTextMessage(kind.second);
                answered = waitFor([&] { return !replies.isEmpty(); }, 10000) && answered;
            },
            requests);
        if (!answered) {
            out << kind.first << ": a request was not answered\n";
            return 1;
        }
        if (floorMs == 0)
            floorMs = ms;
        out << kind.first << ": median round trip " << QString::number(ms, 'f', 3) << " ms of " << requests << " ("
            << QString::number(ms / floorMs, 'f', 1) << " x the floor)\n";
    }

    double listRate = 0;
    for (const auto &kind : kinds) {
        replies.clear();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < requests; ++i)
            client.sendTextMessage(kind.second);
        if (!waitFor([&] { return replies.size() == requests; }, 600000)) {
            out << kind.first << ": only " << replies.size() << " replies\n";
            return 1;
        }
        const double rate = requests / (timer.nsecsElapsed() / 1e9);
        if (listRate == 0)
            listRate = rate;
        out << kind.first << ": " << qRound(rate) << " per second (" << replies.first().toUtf8().size()
            << " bytes each)\n";
    }

    // The backlog is sent by another process, so the one measured here only
    // serves and connects.
    {
        const int flood = 2000;
        TestSupport::ApiClient flooder(JsonUtil::getApiPort());
        if (!flooder.isConnected() || flooder.expect(2).size() != 2) {
            out << "the outside client did not connect: " << flooder.error() << "\n";
            return 1;
        }
        client.close();
        waitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5000);
        if (!flooder.sendText(list, 1, flood)) {
            out << "the outside client could not send\n";
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        if (!welcomed(120000)) {
            out << "the second client was not welcomed\n";
            return 1;
        }
        const qint64 waited = timer.elapsed();
        int answered = 0;
        flooder.drain(10000, &answered);
        out << "second client's welcome behind " << flood << " list requests: " << waited << " ms (the first had "
            << answered << " answered when it was evicted; all of them would take " << qRound(flood * 1000 / listRate)
            << " ms at the rate above)\n";
    }

    // Within two steps of the file system's clock of a change to the user
    // file, every request also reads it and compares the digest of its bytes.
    {
        const QString path = FileUtil::customPath(CUSTOM_TEMPLATE_PATH);
        const QByteArray bytes = TestSupport::readFile(path);
        const int runs = 50;
        bool answered = TestSupport::writeFile(path, bytes);
        QElapsedTimer since;
        since.start();
        const auto ask = [&] {
            replies.clear();
            client.sendTextMessage(list);
            answered = waitFor([&] { return !replies.isEmpty(); }, 10000) && answered;
        };
        ask(); // read afresh
        const double ms = TestSupport::medianMs(ask, runs);
        const bool within = since.nsecsElapsed() < 2 * Seams::fileTimeStepNs();
        out << "request 10 (template list) just after the " << bytes.size() / 1024 << " KiB user file changed: median "
            << QString::number(ms, 'f', 3) << " ms of " << runs
            << (answered && within ? "\n" : " (not all within the time the bytes are compared)\n");
    }

    QJsonArray rows;
    for (const QMap<QString, QVariant> &row : TestSupport::numberedRows(3))
        rows.append(QJsonObject::fromVariantMap(row));
    const QJsonObject job{{"requestId", 12}, {"seq", 2}, {"templateName", QStringLiteral("档案盒标签")}, {"data", rows}};
    const QString finished = QStringLiteral(R"({"code":"11000","resquestId":12,"seq":2})");
    bool allFinished = true;
    const double trip = TestSupport::medianMs([&] {
        replies.clear();
        client.sendTextMessage(QString::fromUtf8(QJsonDocument(job).toJson(QJsonDocument::Compact)));
        allFinished = waitFor([&] { return replies.contains(finished); }, 60000) && allFinished;
    });
    if (!allFinished) {
        out << "a print job did not finish: " << replies.join(' ') << "\n";
        return 1;
    }
    out << "3-row print job, request to \"11000\": median " << qRound(trip) << " ms of 5\n";

    StatusProbe probe;
    g_probe = &probe;
    g_previous = qInstallMessageHandler(startProbeOnLongRequest);
    watch(out, "request 13 from a new connection, server idle");
    probe.start(JsonUtil::getApiPort());
    if (!waitFor([&] { return probe.answered(); }, 600000)) {
        out << "the idle server did not answer request 13\n";
        return 1;
    }
    out << "request 13 from a new connection, server idle: " << probe.result() << "\n";
    // The probe's connection evicted the client.
    if (!welcomed(10000)) {
        out << "no welcome from the server\n";
        return 1;
    }
    replies.clear();
    const QString longJob = longTextRequest(1, longBytes);
    QCoreApplication::processEvents();
    const qint64 before = TestSupport::processStatusKb("VmRSS:") / 1024;
    const bool peakReset = TestSupport::resetPeakMemory();
    watch(out, "the long-text job");
    QElapsedTimer timer;
    timer.start();
    client.sendTextMessage(longJob);
    if (!waitFor([&] { return replies.contains(QStringLiteral(R"({"code":"11000","resquestId":12,"seq":1})")); }, 600000)) {
        out << "the long-text job did not finish: " << replies.join(' ') << "\n";
        return 1;
    }
    const qint64 jobMs = timer.elapsed();
    // What the closed preview leaves is deleted once control is back in the event loop.
    waitFor([] { return false; }, 500);
    out << "job of one " << longBytes << "-byte request: " << jobMs << " ms, replies " << replies.join(' ')
        << "\nresident memory: before " << before << " MiB, after " << TestSupport::processStatusKb("VmRSS:") / 1024
        << " MiB, peak " << TestSupport::processStatusKb("VmHWM:") / 1024 << " MiB"
        << (peakReset ? "" : " (since start)") << "\n";

    // The same request again; the probe asks for the status as the server
    // takes it up (and so evicts the client once it is served).
    watch(out, "request 13 while the long request is handled");
    g_armed = true;
    client.sendTextMessage(longTextRequest(2, longBytes));
    if (!waitFor([&] { return probe.answered() && !g_armed; }, 600000)) {
        out << "request 13 was not answered while the long request was handled\n";
        return 1;
    }
    alarm(0);
    out << "request 13 from a new connection while the " << longBytes << "-byte request is handled: "
        << probe.result() << "\n";
    qInstallMessageHandler(g_previous);
    return 0;
}
