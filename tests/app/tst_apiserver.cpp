// The API server on a loopback port, spoken to by a client written from the
// message tables (tests/support/apiclient.py); the terminal behind it is a
// stand-in whose state each case sets.

#include "app/apiserver.h"
#include "app/logfile.h"
#include "support/apiclient.h"
#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#ifdef __SANITIZE_ADDRESS__
// The sanitizer's count of live heap bytes, freed memory held back for its
// checks left out.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using TestSupport::ApiClient;

namespace {

class StubHost : public ApiServer::Host
{
public:
    bool busy = false;
    uchar state = 1;
    int opened = 0;
    int stopped = 0;
    QList<QMap<QString, QVariant>> rows;
    std::function<void()> jobClosed;
    QList<TemplateModel> templates{TestSupport::blankLabel(QStringLiteral("甲"))};
    // Each list differs from the last, so no reply can be built ahead.
    bool renamesEachTime = false;

    bool apiDialogBusy() const override { return busy; }
    uchar apiPrinterState() const override { return state; }
    bool apiCheckPrinter() override { return state == 1; }
    QList<TemplateModel> apiTemplates() override
    {
        if (renamesEachTime)
            templates.first().name += QLatin1Char('+');
        return templates;
    }
    void openApiPreview(const QString &, const QList<QMap<QString, QVariant>> &data, QString *,
                        std::function<void()> notice) override
    {
        ++opened;
        rows = data;
        jobClosed = std::move(notice);
    }
    void stopApiJob() override { ++stopped; }
    void closeApiPreview() override {}
};

// Bytes the program holds on its heap now (freed memory not counted).
qint64 liveHeapBytes()
{
#ifdef __SANITIZE_ADDRESS__
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}

// n templates whose list reply takes about 60 bytes each.
QList<TemplateModel> manyTemplates(int n)
{
    QList<TemplateModel> list;
    for (int i = 0; i < n; ++i)
        list.append(TestSupport::blankLabel(QStringLiteral("template-%1-abcdefghij").arg(i, 6, 10, QLatin1Char('0'))));
    return list;
}

QString status(int id, int seq, const char *code)
{
    return QStringLiteral(R"({"code":"%1","resquestId":%2,"seq":%3})").arg(QLatin1String(code)).arg(id).arg(seq);
}

// A request as a client writes it: id, seq, then the members after them.
QString request(int id, int seq, const QString &more = QString())
{
    return QStringLiteral(R"({"requestId":%1,"seq":%2%3})").arg(id).arg(seq).arg(more);
}

} // namespace

class TestApiServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempProgramDir> m_dir;
    std::unique_ptr<TestSupport::ToastRecorder> m_toasts;
    StubHost m_host;
    std::unique_ptr<ApiServer> m_server;

    // A client past the two welcome frames.
    std::unique_ptr<ApiClient> welcomed()
    {
        auto client = std::make_unique<ApiClient>(m_server->serverPort());
        const QStringList welcome = client->expectTexts(2);
        if (welcome != QStringList({"welcome to the printer api", status(1, 1, "10000")}))
            qFatal("welcome: %s %s", qPrintable(client->error()), qPrintable(welcome.join('|')));
        return client;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<TestSupport::TempProgramDir>();
        m_toasts = std::make_unique<TestSupport::ToastRecorder>();
        m_host = StubHost();
        m_server = std::make_unique<ApiServer>(m_host);
        QVERIFY(m_server->initWebSocketServer(QStringLiteral("127.0.0.1"), 0));
    }

    void cleanup()
    {
        m_server.reset();
        m_toasts.reset();
        m_dir.reset();
        Seams::resetAll();
    }

    void answersEachRequest_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QStringList>("replies");
        const QString label = QStringLiteral(R"(,"templateName":"档案盒标签")");
        const QString row = label + QStringLiteral(R"(,"data":[{}])");
        QTest::newRow("list") << request(10, 7) << 1 << false << QStringList{
            R"({"code":"00000","data":[{"templateName":"甲","templateType":"文书档案"}],"resquestId":10,"seq":7})"};
        QTest::newRow("fields") << request(11, 8, label) << 0 << false
                                << QStringList{R"({"code":"00000","data":{"":"","题名":""},"resquestId":11,"seq":8})"};
        QTest::newRow("fields, no such template") << request(11, 9, R"(,"templateName":"无")") << 1 << false
                                                  << QStringList{status(11, 9, "10003")};
        QTest::newRow("status, ready") << request(13, 65537) << 1 << false << QStringList{status(13, 1, "11000")};
        QTest::newRow("status, ink error") << request(13, 2) << 2 << false << QStringList{status(13, 2, "11000")};
        QTest::newRow("status, unconnected") << request(13, 3) << 0 << false << QStringList{status(13, 3, "11003")};
        QTest::newRow("status, window open") << request(13, 4) << 1 << true << QStringList{status(13, 4, "11001")};
        QTest::newRow("print, ink error") << request(12, 5, row) << 2 << false << QStringList{status(12, 5, "11003")};
        QTest::newRow("print, window open") << request(12, 6, row) << 1 << true << QStringList{status(12, 6, "11001")};
        QTest::newRow("print, no such template") << request(12, 7, R"(,"templateName":"无","data":[{}])") << 1 << false
                                                 << QStringList{status(12, 7, "10003")};
        QTest::newRow("print, no name") << request(12, 8, R"(,"data":[{}])") << 1 << false
                                        << QStringList{status(12, 8, "10003")};
        QTest::newRow("print, no rows") << request(12, 9, label + R"(,"data":[])") << 1 << false
                                        << QStringList{status(12, 9, "00000"), status(12, 9, "11000")};
        QTest::newRow("print") << request(12, 10, label + R"(,"data":[{"题名":"一"},{"题名":2}])") << 1 << false
                               << QStringList{status(12, 10, "00000")};
        QTest::newRow("stop") << request(14, 11) << 0 << false << QStringList{status(14, 11, "00000")};
        QTest::newRow("unknown id") << request(99, 12) << 1 << false << QStringList{""};
        QTest::newRow("not json") << "{requestId:10}" << 1 << false << QStringList{""};
    }

    // Nothing but the replies comes; only a print that was answered "00000"
    // alone opens the preview, and its close is answered "11000".
    void answersEachRequest()
    {
        QFETCH(QString, request);
        QFETCH(int, state);
        QFETCH(bool, busy);
        QFETCH(QStringList, replies);
        TemplateModel label = TestSupport::blankLabel(QStringLiteral("档案盒标签"));
        for (const char *title : {"题名", "题名", ""})
            label.textModels << TestSupport::textField(QString::fromUtf8(title), QStringLiteral("x"), 1, 1, 10, 5, 3);
        label.qrcodeModels << TestSupport::qrField(QStringLiteral("档号"), QStringLiteral("x"), 1, 1, 8);
        QVERIFY(JsonUtil::saveTemplate(label, false));
        m_host.state = uchar(state);
        m_host.busy = busy;

        auto client = welcomed();
        QVERIFY(client->sendText(request));
        QCOMPARE(client->expectTexts(replies.size()), replies);
        QVERIFY(client->expect(1, 200).isEmpty());
        const bool opens = replies == QStringList{status(12, 10, "00000")};
        QCOMPARE(m_host.opened, opens ? 1 : 0);
        QCOMPARE(m_host.stopped, request.startsWith(QLatin1String(R"({"requestId":14)")) ? 1 : 0);
        if (!opens)
            return;
        QCOMPARE(m_host.rows.size(), 2);
        QCOMPARE(m_host.rows.at(1).value(QStringLiteral("题名")), QVariant(2.0));
        m_host.jobClosed();
        QCOMPARE(client->expectText(), status(12, 10, "11000"));
    }

    // Malformed and oversized input costs bounded memory and log; binary
    // frames are not read.
    void inputIsBounded()
    {
        auto client = welcomed();
        const QString garbage = QStringLiteral("{\"requestId\":") + QString(2000, QLatin1Char('9'));
        const auto sendGarbage = [&] {
            for (int i = 0; i < 1000; ++i)
                client->sendText(garbage);
            const QStringList replies = client->expectTexts(1000);
            return replies.size() == 1000 && replies.join(QString()).isEmpty();
        };
        {
            TestSupport::LogCapture log;
            QVERIFY(sendGarbage());
            int longest = 0;
            for (const QString &message : log.messages(QtDebugMsg))
                longest = qMax(longest, message.size());
            QVERIFY2(longest <= ApiServer::LOGGED_CHARS + 64, qPrintable(QString::number(longest)));
            QCOMPARE(log.warnings().size(), 1000);
        }
        const qint64 live = liveHeapBytes();
        QVERIFY(sendGarbage());
        QVERIFY2(liveHeapBytes() - live < 1024 * 1024, qPrintable(QString::number(liveHeapBytes() - live)));

        QVERIFY(client->sendBinary(QByteArray(100, '\x0A')));
        QVERIFY(client->expect(1, 300).isEmpty());

        // Refused from its header, never held: the peak stays below the cap.
        const qint64 peak = TestSupport::processStatusKb("VmHWM:");
        client->sendText(QStringLiteral("x"), 20 * 1024 * 1024); // may find the connection closed midway
        QCOMPARE(client->expectTexts(), QStringList{"<closed 1009>"});
        const qint64 grown = TestSupport::processStatusKb("VmHWM:") - peak;
        QVERIFY2(grown < qint64(ApiServer::MAX_MESSAGE_BYTES / 1024), qPrintable(QStringLiteral("%1 kB").arg(grown)));
    }

    // The fields asked for next come from the store as it is then, however
    // little of the file's size, times and identity changed; on a file
    // system whose clock moves in steps of an hour too, where every change
    // within the test keeps the times.
    void changedStoreIsSeen_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<qint64>("clockStepNs"); // 0: the file system's own
        const qint64 hour = 3600 * qint64(1000000000);
        for (const char *change : {"saved by the terminal", "replaced, same size and time",
                                   "rewritten in place, same size", "rewritten in place, same time",
                                   "rewritten in place, time put back"})
            QTest::newRow(change) << QString::fromLatin1(change) << qint64(0);
        QTest::newRow("coarse clock, rewritten in place") << "rewritten in place" << hour;
        QTest::newRow("coarse clock, replaced twice") << "replaced twice" << hour;
    }

    void changedStoreIsSeen()
    {
        QFETCH(QString, change);
        QFETCH(qint64, clockStepNs);
        Seams::setFileTimeStepNs(clockStepNs);
        const auto restore = qScopeGuard([] { Seams::setFileTimeStepNs(0); });
        TemplateModel label = TestSupport::blankLabel(QStringLiteral("档案盒标签"));
        label.textModels << TestSupport::textField(QStringLiteral("题名"), QStringLiteral("x"), 1, 1, 10, 5, 3);
        QVERIFY(JsonUtil::saveTemplate(label, false));
        const QString path = FileUtil::customPath(CUSTOM_TEMPLATE_PATH);
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        auto client = welcomed();
        const auto fields = [&client] {
            client->sendText(request(11, 1, QStringLiteral(R"(,"templateName":"档案盒标签")")));
            return client->expectText();
        };
        QCOMPARE(fields(), QStringLiteral(R"({"code":"00000","data":{"题名":""},"resquestId":11,"seq":1})"));

        const QByteArray stored = TestSupport::readFile(path);
        QByteArray bytes = stored; // each as many bytes as stored
        bytes.replace("题名", "卷名");
        const auto replace = [&path](const QByteArray &with) {
            return TestSupport::writeFile(path + QStringLiteral(".new"), with)
                   && ::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                               QFile::encodeName(path).constData()) == 0;
        };
        if (change.startsWith(QLatin1String("saved"))) {
            label.textModels.first().textTitle = QStringLiteral("卷名");
            QVERIFY(JsonUtil::saveTemplate(label, false));
        } else if (change == QLatin1String("replaced twice")) {
            QVERIFY(replace(QByteArray(stored).replace("题名", "书名")) && replace(bytes));
        } else {
            QFile file(change.startsWith(QLatin1String("replaced")) ? path + QStringLiteral(".new") : path);
            QVERIFY(file.open(QIODevice::ReadWrite)); // in place: not truncated
            QVERIFY(file.write(change.endsWith(QLatin1String("same time")) ? bytes + '\n' : bytes) > 0);
            file.close();
            timespec times[2] = {before.st_mtim, before.st_mtim};
            times[1].tv_nsec += change.endsWith(QLatin1String("same size")) ? 1 : 0; // below the clock's tick
            if (!change.endsWith(QLatin1String("in place")))
                QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(file.fileName()).constData(), times, 0), 0);
            QVERIFY(::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) == 0);
        }
        QCOMPARE(fields(), QStringLiteral(R"({"code":"00000","data":{"卷名":""},"resquestId":11,"seq":1})"));
    }

    // A store caught halfway through a write in place is read as it is then
    // and left where it is, whole for the next request.
    void storeWrittenMeanwhileIsLeftInPlace()
    {
        QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(QStringLiteral("档案盒标签")), false));
        QFile file(FileUtil::customPath(CUSTOM_TEMPLATE_PATH));
        const QByteArray whole = TestSupport::readFile(file.fileName());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(whole.left(whole.size() / 2)) > 0 && file.flush());
        auto client = welcomed();
        const QString print = request(12, 2, QStringLiteral(R"(,"templateName":"档案盒标签","data":[])"));
        QVERIFY(client->sendText(print));
        QCOMPARE(client->expectText(), status(12, 2, "10003"));
        QVERIFY(file.write(whole.mid(whole.size() / 2)) > 0 && file.flush() && client->sendText(print));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 2, "00000"), status(12, 2, "11000")}));
    }

    // A client that keeps asking (or pinging) and stops reading, or asks far
    // faster than it is answered, is closed as a policy violation, logged
    // once; what it made the server hold is let go, at once or, for one that
    // does not read, when its grace is over.
    void overflowingClientIsClosed_data()
    {
        QTest::addColumn<QString>("flood");
        QTest::addColumn<bool>("readsAgain");
        QTest::addColumn<QString>("logged");
        // The end the client sees: the close frame behind the replies, or
        // (0) none when dropped, or reset while it still sends.
        QTest::addColumn<int>("closeCode");
        QTest::newRow("replies unsent, read later") << "lists" << true << "replies unsent" << 1008;
        QTest::newRow("replies unsent, never read") << "lists" << false << "replies unsent" << 0;
        QTest::newRow("pongs unsent") << "pings" << true << "replies unsent" << 0;
        QTest::newRow("requests waiting") << "requests" << true << "requests waiting" << 0;
    }

    void overflowingClientIsClosed()
    {
        QFETCH(QString, flood);
        QFETCH(bool, readsAgain);
        QFETCH(QString, logged);
        QFETCH(int, closeCode);
        TestSupport::LogCapture log;
        // One that reads again has its grace to read what was queued, however slowly.
        if (readsAgain)
            Seams::setCloseGraceMs(TestSupport::WAIT_MS);
        const qint64 live = liveHeapBytes();
        const auto released = [&] { return liveHeapBytes() - live < 16 * 1024 * 1024; };
        auto client = welcomed();
        const bool stopsReading = flood != QLatin1String("requests");
        if (stopsReading)
            QVERIFY(client->pause());
        if (flood == QLatin1String("lists")) {
            m_host.templates = manyTemplates(20000); // a 1.2 MB list reply
            QVERIFY(client->sendText(request(10, 1), 1, 100));
        } else if (flood == QLatin1String("pings")) {
            // Replies that stop the client reading at all, then 80 MB of pongs.
            QVERIFY(client->sendText(request(13, 1), 1, 10) && client->sendPings(630000));
        } else {
            // Each answer slow to build, while requests of 64 KiB pour in.
            m_host.templates = manyTemplates(5000);
            m_host.renamesEachTime = true;
            const QString padded = request(10, 1, QStringLiteral(R"(,"pad":"%1")").arg(QString(1 << 15, 'x')));
            client->sendText(padded, 1, 3000); // may find the connection closed midway
        }
        QVERIFY(QTest::qWaitFor([&] { return log.contains(QStringLiteral("[Overflow]")); }, TestSupport::WAIT_MS));
        QVERIFY(liveHeapBytes() - live < ApiServer::MAX_BACKLOG_BYTES + 32 * 1024 * 1024);
        if (!readsAgain)
            QTRY_VERIFY(released());
        QVERIFY(client->resume());
        int answered = 0;
        const ApiClient::Event end = client->drain(TestSupport::WAIT_MS, &answered);
        QCOMPARE(end.type, ApiClient::Event::Type::Closed);
        QVERIFY(answered < (stopsReading ? 100 : 3000));
        QVERIFY(!closeCode || end.closeCode == closeCode);
        const QStringList warnings = log.warnings().filter(QStringLiteral("[Overflow]"));
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().contains(logged), qPrintable(warnings.first()));
        QTRY_VERIFY(released());
    }

    // Evicted clients that do not read hold their unsent replies one at a
    // time: a second one evicted drops the first's at once.
    void evictedBacklogsAreNotKeptTogether()
    {
        Seams::setCloseGraceMs(TestSupport::WAIT_MS);
        m_host.templates = manyTemplates(20000);
        const qint64 live = liveHeapBytes();
        const auto heldMb = [&] { return (liveHeapBytes() - live) >> 20; };
        std::unique_ptr<ApiClient> stalled[2];
        for (int i = 0; i < 2; ++i) {
            stalled[i] = welcomed();
            stalled[i]->pause();
            stalled[i]->sendText(request(10, 1), 1, 40); // 48 MB of replies, under the bound
            QVERIFY(QTest::qWaitFor([&] { return heldMb() > 36 * (i + 1); }, TestSupport::WAIT_MS));
        }
        auto third = welcomed();
        QTRY_VERIFY2(heldMb() < 60, qPrintable(QString::number(heldMb())));
    }

    // A new client is let in between the requests of one that has many
    // waiting; the one it evicts is not answered any further.
    void backlogLetsNewClientIn()
    {
        m_host.templates = manyTemplates(5000);
        m_host.renamesEachTime = true;
        auto first = welcomed();
        QVERIFY(first->sendText(request(10, 1), 1, 300));
        auto second = welcomed();
        int answered = 0;
        QCOMPARE(first->drain(TestSupport::WAIT_MS, &answered).closeCode, int(QWebSocketProtocol::CloseCodeNormal));
        QVERIFY2(answered < 100, qPrintable(QString::number(answered)));
        QVERIFY(second->sendText(request(13, 2)));
        QCOMPARE(second->expectText(), status(13, 2, "11000"));
    }

    // Text from a client reaches the log as one line, every character that
    // could break or reorder it escaped, whatever it holds. Every line a client's traffic
    // writes (its coming and going, its requests, what the server notes of
    // them) counts towards the day's share of client text: with that
    // category off, none is written.
    void clientTextInTheLog()
    {
        const QDate day(2024, 12, 31);
        Seams::setClockHandler([day] { return QDateTime(day, QTime(23, 59, 59)); });
        const QtMessageHandler previous = qInstallMessageHandler(LogFile::outputMessage);
        const auto restore = qScopeGuard([previous] {
            qInstallMessageHandler(previous);
            QLoggingCategory::setFilterRules(QString());
        });
        auto client = welcomed();
        QVERIFY(client->sendText(QStringLiteral("{\"requestId\":0}\r\n2026-01-01 00:00:00 [New Connect] "
                                                "Address:10.9.8.7  Port:4242\x1b[2J\t\x7f\u0085\u2028.\u2029"
                                                "\u202e\u200b\ufeff\U000E0001\U0001F600")));
        QCOMPARE(client->expectText(), QString(""));
        const QString path = LogFile::filePath(day);
        const QByteArray log = TestSupport::readFile(path);
        QVERIFY(!log.contains("\n2026-01-01"));
        QVERIFY(log.contains(" receive msg {\"requestId\":0}\\r\\n2026-01-01 00:00:00 [New Connect] Address:10.9.8.7  "
                             "Port:4242\\x1b[2J\\x09\\x7f\\x85\\u2028.\\u2029\\u202e\\u200b\\ufeff\\U000e0001"
                             "\xf0\x9f\x98\x80\r\n"));
        QCOMPARE(log.count('\n'), log.count("\r\n"));

        QLoggingCategory::setFilterRules(QStringLiteral("kelo.client=false"));
        QVERIFY(client->sendText(request(99, 1)));
        QCOMPARE(client->expectText(), QString(""));
        QVERIFY(client->close());
        welcomed();
        QCOMPARE(TestSupport::readFile(path), log);
    }

    void listenFailures_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("taken");
        QTest::newRow("port taken") << "127.0.0.1" << true;
        QTest::newRow("not an address") << "localhost:1" << false;
    }

    void listenFailures()
    {
        QFETCH(QString, address);
        QFETCH(bool, taken);
        TestSupport::LogCapture log;
        ApiServer second(m_host);
        QVERIFY(!second.initWebSocketServer(address, taken ? m_server->serverPort() : 0));
        QVERIFY(!second.isListening());
        QCOMPARE(m_toasts->toasts().size(), 1);
        QVERIFY(m_toasts->texts().first().startsWith(QStringLiteral("API接口初始化失败:")));
        QCOMPARE(m_toasts->toasts().first().color, QStringLiteral("#FF0000"));
        QVERIFY(log.contains(QStringLiteral("webApiServer listen failed:")));
    }
};

QTEST_GUILESS_MAIN(TestApiServer)
#include "tst_apiserver.moc"
