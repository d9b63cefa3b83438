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
//   the preview's close.
//
//   QT_QPA_PLATFORM=offscreen bench_api [user templates, default 1000] [requests, default 200]

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
#include <QWebSocket>

namespace {

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
    JsonFile::write(FileUtil::customPath(CUSTOM_TEMPLATE_PATH), users);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int requests = args.size() > 2 ? args.at(2).toInt() : 200;
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
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(JsonUtil::getApiPort())));
    if (!waitFor([&] { return replies.size() == 2; }, 10000)) {
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
        replies.clear();
        client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(JsonUtil::getApiPort())));
        if (!waitFor([&] { return replies.size() == 2; }, 120000)) {
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
    return 0;
}
