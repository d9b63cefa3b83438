// The local API served by the main window, end to end: a client written from
// the message tables prints rows through the window to the fake printer,
// stops a job, is evicted, outlives a printer that goes and comes back; the
// ink each API page costs reaches the ink box, and a page at the printer when
// its window goes is still recorded and charged.

#include "app/appupdate.h"
#include "app/logfile.h"
#include "app/mainwindow.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "support/apiclient.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/terminalfixture.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::ApiClient;
using TestSupport::FakePrinter;
using TestSupport::TerminalFixture;

namespace {

const QString LABEL = QStringLiteral("档案盒标签");
const QString CONNECTED = QStringLiteral("打印机已连接");
const QString UNCONNECTED = QStringLiteral("请确认连接后点击此处进行重连");
constexpr quint32 INK_AT_START = 5000000; // the fake printer's block 6
// The day whose share of client lines the log tests spend, and its size.
const QDate SPENT_DAY(2024, 12, 31);
constexpr qint64 SHARE = 1024 * 1024;

QString status(int id, int seq, const char *code)
{
    return QStringLiteral(R"({"code":"%1","resquestId":%2,"seq":%3})").arg(QLatin1String(code)).arg(id).arg(seq);
}

// Ink-box block 6 holding v: v, ~v, v big-endian, then 06 F9 06 F9.
QString inkBlock(quint32 v)
{
    return QString::asprintf("%08x%08x%08x06f906f9", v, ~v, v);
}

QString printRequest(int seq, int rows)
{
    QJsonArray data;
    for (const QMap<QString, QVariant> &row : TestSupport::numberedRows(rows))
        data.append(QJsonObject::fromVariantMap(row));
    const QJsonObject request{{"requestId", 12}, {"seq", seq}, {"templateName", LABEL}, {"data", data}};
    return QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

} // namespace

class TestApiWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TerminalFixture> t;

    bool connectWindow()
    {
        t->link({"--sn", "KELO2020260001"});
        return t->waitUntilRead(INK_AT_START) && QTest::qWaitFor([this] { return t->indicator() == CONNECTED; }, TestSupport::WAIT_MS);
    }

    std::unique_ptr<ApiClient> welcomed()
    {
        auto client = std::make_unique<ApiClient>(JsonUtil::getApiPort());
        const QStringList texts = client->expectTexts(2);
        if (texts != QStringList({"welcome to the printer api", status(1, 1, "10000")}))
            qFatal("no welcome: %s %s", qPrintable(client->error()), qPrintable(texts.join('|')));
        return client;
    }

    // The print frames the printer received, as it decodes them.
    QList<TestSupport::PrintedPage> printedPages()
    {
        QList<TestSupport::PrintedPage> pages;
        const QList<FakePrinter::Request> requests = t->printer->requests();
        for (int i = 0; i < requests.size(); ++i) {
            if (requests.at(i).command == 0x11)
                pages << TestSupport::decodeRecordedPage(*t->printer, i);
        }
        return pages;
    }

    // A print job whose first page the printer takes but never reports done.
    bool startStalledJob(ApiClient &client, int seq, int rows)
    {
        return t->printer->fault({{"match", 0x11}, {"noNotify", true}}) && client.sendText(printRequest(seq, rows))
               && client.expectText() == status(12, seq, "00000");
    }

    // The log handler writes the log until the returned guard goes, that
    // much of the day's share of client lines spent, on a day of its own:
    // the day the test began could end while it runs.
    static auto spentClientShare(qint64 bytes = SHARE)
    {
        Seams::setClockHandler([] { return QDateTime(SPENT_DAY, QTime(12, 0)); });
        Seams::setClientLogBytesPerDay(SHARE);
        const QtMessageHandler previous = LogFile::install();
        const QString kibibyte(1024 - 22, QLatin1Char('x')); // a line of 1 KiB with its stamp
        for (qint64 spent = 0; spent < bytes; spent += 1024)
            qCDebug(clientText).noquote() << kibibyte;
        return qScopeGuard([previous] { qInstallMessageHandler(previous); });
    }

private slots:
    void initTestCase() { QVERIFY(TerminalFixture::preparePrinting()); }

    void init()
    {
        t = std::make_unique<TerminalFixture>();
        Seams::setJobPauseMs(20);
        QVERIFY(JsonUtil::saveTemplate(TestSupport::numberedLabel(LABEL), false));
    }

    void cleanup()
    {
        const QStringList warnings = t->connectionWarnings();
        t.reset();
        QCOMPARE(warnings, QStringList());
    }

    // Three rows printed, each page's ink taken from the box as the printer
    // counts the dots it received, though the client that asked left after
    // the job began (nothing is written to it then).
    void aClientLeavingMidJob()
    {
        QVERIFY(connectWindow());
        auto client = welcomed();
        t->printer->clear();
        QVERIFY(client->sendText(printRequest(41, 3)));
        QCOMPARE(client->expectText(), status(12, 41, "00000"));
        client.reset();

        QTRY_VERIFY(!t->preview());
        const QList<TestSupport::PrintedPage> pages = printedPages();
        QCOMPARE(pages.size(), 3);
        quint32 dots = 0;
        const QSize size(TextUtil::mm2px(40, 300), TextUtil::mm2px(30, 300));
        for (int i = 0; i < pages.size(); ++i) {
            QVERIFY2(pages.at(i).valid && pages.at(i).dots > 0, qPrintable(pages.at(i).error));
            dots += quint32(pages.at(i).dots);
            QCOMPARE(TestSupport::zbarDecode(pages.at(i).pageImage(TextUtil::mm2px(221 - 15, 300), size), 20),
                     QStringList{QStringLiteral("N-%1").arg(i + 1)});
        }
        const quint32 left = INK_AT_START - dots;
        QTRY_COMPARE(t->printer->block(6), inkBlock(left));
        QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, left);
        QVERIFY(t->log.contains(QStringLiteral("consumInkDots :%1").arg(pages.last().dots)));
    }

    // A stop ends the job after the page in progress, or at once in the pause
    // before the next, once however often it is asked for; no further page
    // goes, and the preview stays open, and busy, until it is closed.
    void aStopEndsTheJobAndTheCloseAnswers_data()
    {
        QTest::addColumn<bool>("inThePause");
        QTest::newRow("page out") << false;
        QTest::newRow("in the pause after a page") << true;
    }

    void aStopEndsTheJobAndTheCloseAnswers()
    {
        QFETCH(bool, inThePause);
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(startStalledJob(*client, 7, 3));
        QTRY_COMPARE(printedPages().size(), 1);
        if (inThePause) { // a pause no machine outlasts, so the stop comes in it
            Seams::setJobPauseMs(24 * 3600 * 1000);
            QVERIFY(t->printer->reply(0x20));
            QTRY_VERIFY(t->log.contains(QStringLiteral("第1页打印成功!")));
        }
        QVERIFY(client->sendText(QStringLiteral(R"({"requestId":14,"seq":8})"), 1, 3));
        QCOMPARE(client->expectTexts(3), QStringList({status(14, 8, "00000"), status(14, 8, "00000"), status(14, 8, "00000")}));
        QCOMPARE(t->log.messages(QtDebugMsg).filter(QStringLiteral("远程打印任务终止!")).size(), 1);
        if (inThePause)
            QVERIFY(!t->preview()->isBusy());
        else
            QVERIFY(t->printer->reply(0x20)); // the page in progress is done
        QTRY_VERIFY(t->log.contains(QStringLiteral("打印取消!")));
        QTest::qWait(300);
        QCOMPARE(printedPages().size(), 1);
        QVERIFY(client->sendText(QStringLiteral(R"({"requestId":13,"seq":9})")));
        QCOMPARE(client->expectText(), status(13, 9, "11001"));
        QVERIFY(t->preview());
        t->preview()->close();
        QCOMPARE(client->expectText(), status(12, 7, "11000"));
    }

    // A new client evicts the last with a normal closure and closes its
    // job's preview; the window is free for the newcomer.
    void aNewClientClosesTheLastOnesPreview()
    {
        QVERIFY(connectWindow());
        auto first = welcomed();
        QVERIFY(startStalledJob(*first, 3, 2));
        QVERIFY(t->preview());
        auto second = welcomed();
        QCOMPARE(first->expectTexts(), QStringList{"<closed 1000>"});
        QTRY_VERIFY(!t->preview());
        QVERIFY(second->sendText(QStringLiteral(R"({"requestId":13,"seq":4})")));
        QCOMPARE(second->expectText(), status(13, 4, "11000"));
    }

    // The server goes with the printer and listens on the same port again
    // when it comes back.
    void listensAgainAfterTheLinkReturns()
    {
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(t->printer->disconnectClient());
        QTRY_COMPARE(t->indicator(), UNCONNECTED);
        QVERIFY(client->expectTexts().first().startsWith(QLatin1String("<closed")));
        QVERIFY(!ApiClient(JsonUtil::getApiPort()).isConnected());
        t->pressIndicator();
        QTRY_COMPARE(t->indicator(), CONNECTED);
        auto again = welcomed();
        QVERIFY(again->sendText(QStringLiteral(R"({"requestId":10,"seq":5})")));
        QVERIFY(again->expectText().contains(LABEL));
    }

    // The page at the printer when its window goes is still recorded and
    // charged, also when its notice comes after the wait for it ended; no
    // page follows it. Never reported, it ends a cancelled one-row job after
    // the wait, and an evicting client's job held behind it prints then;
    // noticed over a new link, it is not recorded, nor holds up a new job.
    void aPageOutOutlivesItsWindow_data()
    {
        QTest::addColumn<QString>("closer");
        QTest::addColumn<int>("noticeWaitMs");
        QTest::addColumn<QString>("clientHears");
        // late; dropped (one row); relinked; or held by the printer until
        // what the row does meanwhile is done (one row)
        QTest::addColumn<QString>("notice");
        QTest::newRow("client evicted") << "evict" << 0 << "<closed 1000>" << "late";
        QTest::newRow("client evicted, notice dropped") << "evict" << 0 << "<closed 1000>" << "dropped";
        QTest::newRow("client evicted, a stray handshake answer meanwhile") << "evict" << 0 << "<closed 1000>" << "stray";
        QTest::newRow("client evicted, its job stopped while held") << "evict" << 0 << "<closed 1000>" << "stopped";
        QTest::newRow("window closed, a test page meanwhile") << "btn_close" << 0 << status(12, 21, "11000") << "test";
        QTest::newRow("window closed") << "btn_close" << 0 << status(12, 21, "11000") << "late";
        QTest::newRow("emergency stop") << "btn_stop" << 0 << status(12, 21, "11000") << "late";
        QTest::newRow("window closed, notice after the wait") << "btn_close" << 300 << status(12, 21, "11000") << "late";
        QTest::newRow("emergency stop, notice after the wait") << "btn_stop" << 300 << QString() << "late";
        QTest::newRow("api stop, notice dropped") << "stop" << 500 << status(12, 21, "11000") << "dropped";
        QTest::newRow("cancelled, notice dropped") << "btn_cancel" << 500 << status(12, 21, "11000") << "dropped";
        QTest::newRow("closed, notice over a new link") << "btn_close" << 0 << status(12, 21, "11000") << "relinked";
    }

    void aPageOutOutlivesItsWindow()
    {
        QFETCH(QString, closer);
        QFETCH(int, noticeWaitMs);
        QFETCH(QString, clientHears);
        QFETCH(QString, notice);
        Seams::setNoticeWaitMs(noticeWaitMs);
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(t->printer->set({{"notifyDelayMs", 1000}}));
        if (notice != "late")
            QVERIFY(t->printer->fault({{"match", 0x11}, {"noNotify", true}}));
        const bool held = notice == "stray" || notice == "stopped" || notice == "test";
        t->printer->clear();
        const qint64 before = PrintRecord::getTableDataCount();
        const QString inkBefore = t->printer->block(6);
        QVERIFY(client->sendText(printRequest(21, notice == "late" || notice == "relinked" ? 3 : 1)));
        QCOMPARE(client->expectText(), status(12, 21, "00000"));
        QTRY_COMPARE(printedPages().size(), 1);
        auto evictor = closer == "evict" ? welcomed() : nullptr;
        if (evictor) // its job waits until the page before it is done with
            QVERIFY(evictor->sendText(printRequest(22, 1)));
        else if (closer == "stop")
            QVERIFY(client->sendText(QStringLiteral(R"({"requestId":14,"seq":22})"))
                    && client->expectText() == status(14, 22, "00000"));
        else
            TestSupport::child<QAbstractButton>(*t->preview(), closer)->click();
        if (!clientHears.isEmpty())
            QCOMPARE(client->expectTexts(), QStringList{clientHears});
        if (held) {
            if (evictor) {
                QCOMPARE(evictor->expectText(), status(12, 22, "00000"));
                QTRY_VERIFY(t->log.contains(QStringLiteral("print job start held")));
            }
            if (notice == "stray") { // 读取 asks for a handshake of its own
                t->click(QStringLiteral("btn_print_info_read"));
                QTRY_VERIFY(t->log.contains(QStringLiteral("handshake reply outside a job's start ignored")));
            } else if (notice == "stopped") {
                QVERIFY(evictor->sendText(QStringLiteral(R"({"requestId":14,"seq":23})"))
                        && evictor->expectText() == status(14, 23, "00000"));
            } else {
                t->click(QStringLiteral("btn_nav_print"));
                t->click(QStringLiteral("btn_print"));
            }
            if (notice != "stray") { // a test page waits for the kept page too
                TestSupport::child<QAbstractButton>(*t->preview(), "btn_write_test_page")->click();
                QVERIFY(t->toasts.texts().endsWith(QStringLiteral("打印正在进行中")));
            }
            QCOMPARE(printedPages().size(), 1);
            QVERIFY(t->printer->reply(0x20));
        }
        if (notice == "stray") { // told only once its own page was reported
            QCOMPARE(evictor->expectText(), status(12, 22, "11000"));
            QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(2));
        } else if (notice == "test") { // free again: the test page goes
            QTRY_VERIFY(PrintRecord::getTableDataCount() > before);
            TestSupport::child<QAbstractButton>(*t->preview(), "btn_write_test_page")->click();
            QTRY_VERIFY(t->received().contains(0x12));
        } else if (evictor && notice != "stopped") { // held until the page before it is done with, then printed
            QCOMPARE(evictor->expectTexts(2), QStringList({status(12, 22, "00000"), status(12, 22, "11000")}));
        } else if (notice == "dropped") { // the window is free
            QVERIFY(client->sendText(QStringLiteral(R"({"requestId":13,"seq":23})"))
                    && client->expectText() == status(13, 23, "11000"));
        }
        if (notice == "relinked") { // the press clears what the printer received
            QVERIFY(t->printer->disconnectClient());
            QTRY_COMPARE(t->indicator(), UNCONNECTED);
            t->pressIndicator();
            QTRY_COMPARE(t->indicator(), CONNECTED);
            QVERIFY(t->printer->reply(0x20));
            QTRY_VERIFY(t->log.contains(QStringLiteral("tcpSocketReceiveData a9201020")));
            // The job the lost link cut off holds nothing up.
            auto again = welcomed();
            QVERIFY(again->sendText(printRequest(24, 1)));
            QCOMPARE(again->expectTexts(2), QStringList({status(12, 24, "00000"), status(12, 24, "11000")}));
            QVERIFY(!t->log.contains(QStringLiteral("print job start held")));
        }
        // The pages noticed are the last ones printed. Every job has ended by
        // now, so a record would have been written, but not a late notice's.
        const int pages = evictor && notice != "stopped" ? 2 : 1;
        const int noticed = notice == "late" || held ? pages : evictor || notice == "relinked" ? 1 : 0;
        quint32 dots = 0;
        for (const TestSupport::PrintedPage &page : printedPages().mid(pages - noticed))
            dots += quint32(page.dots);
        const QString ink = noticed ? inkBlock(INK_AT_START - dots) : inkBefore;
        if (noticed) {
            QTRY_COMPARE(PrintRecord::getTableDataCount() - before, qint64(noticed));
            QTRY_COMPARE(t->printer->block(6), ink);
        }
        QTest::qWait(300); // an ink write on its way has arrived
        QCOMPARE(printedPages().size(), pages);
        QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(noticed));
        QCOMPARE(t->printer->block(6), ink);
        // One charge a page, and the page of a held job leaves after the
        // notice before it; nothing at all for a job stopped while held.
        const QList<int> job{0x10, 0xA006, 0x11}, charge{0xA1, 0xA006}, stray{0x10}, test{0x12};
        const QMap<QString, QList<int>> received{{"late", job + charge + job + charge},
                                                 {"dropped", job + job + charge},
                                                 {"stray", job + stray + charge + job + charge},
                                                 {"stopped", job + charge},
                                                 {"test", job + charge + test}};
        if (evictor || held)
            QCOMPARE(t->received(), received.value(notice));
    }

    // A page given up unreported once a newer page went out leaves that
    // page's notice to the newer one: it is recorded and charged once.
    void aPageGivenUpLeavesTheNextNoticeAlone()
    {
        Seams::setNoticeWaitMs(200);
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(startStalledJob(*client, 61, 1));
        QTRY_COMPARE(printedPages().size(), 1);
        t->preview()->close();
        QCOMPARE(client->expectText(), status(12, 61, "11000"));
        QVERIFY(t->printer->set({{"notifyDelayMs", 600}}));
        const qint64 before = PrintRecord::getTableDataCount();
        QVERIFY(client->sendText(printRequest(62, 1)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 62, "00000"), status(12, 62, "11000")}));
        QTest::qWait(300);
        QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(1));
        QTRY_COMPARE(t->printer->block(6), inkBlock(INK_AT_START - quint32(printedPages().last().dots)));
    }

    // The printer takes one thing at a time: no firmware image goes out
    // while a job runs, and while an image awaits its answer API jobs are
    // refused as busy, the print page says so and nothing but the image goes
    // to the printer. A printer that never answers the image is free again
    // within the wait after its last byte, whatever it sends meanwhile.
    void aFirmwareImageAndAJobExcludeEachOther_data()
    {
        QTest::addColumn<int>("firmwareWaitMs"); // 0: the printer answers
        QTest::newRow("image answered") << 0;
        QTest::newRow("image unanswered, notices and ink failures meanwhile") << 10000;
    }

    void aFirmwareImageAndAJobExcludeEachOther()
    {
        QFETCH(int, firmwareWaitMs);
        Seams::setFirmwareWaitMs(firmwareWaitMs);
        QVERIFY(connectWindow());
        auto client = welcomed();
        const QString image = t->dir.file(QStringLiteral("/firmware.bin"));
        QVERIFY(TestSupport::writeFile(image, QByteArray(1024 * 1024, '\x5A')));
        t->click(QStringLiteral("btn_nav_setting_4"));
        QPointer<AppUpdate> dialog = TestSupport::topLevel<AppUpdate>();
        QVERIFY(dialog);
        TestSupport::child<QLineEdit>(*dialog, "edit_filepath")->setText(image);
        auto *update = TestSupport::child<QAbstractButton>(*dialog, "btn_update");

        if (!firmwareWaitMs) { // the dialog outlives its link: no image goes out until it is back
            QVERIFY(t->printer->disconnectClient());
            QTRY_COMPARE(t->indicator(), UNCONNECTED);
            t->toasts.clear();
            update->click();
            QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("打印机连接异常，请先检查打印机")});
            QVERIFY(update->isEnabled() && !t->received().contains(0x80));
            t->pressIndicator();
            QTRY_COMPARE(t->indicator(), CONNECTED);
            client = welcomed();
        }
        QVERIFY(startStalledJob(*client, 71, 1));
        t->toasts.clear();
        update->click();
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("打印正在进行中")});
        QVERIFY(update->isEnabled());
        QTRY_COMPARE(printedPages().size(), 1);
        QVERIFY(t->printer->reply(0x20));
        QCOMPARE(client->expectText(), status(12, 71, "11000"));

        QVERIFY(t->printer->fault({{"match", 0x80}, {"noReply", true}}));
        update->click();
        QTRY_VERIFY(t->received().contains(0x80));
        // The image's last byte had left. A wait that every write restarted never
        // ends while notices keep coming. Each pass below lasts 200 ms at least,
        // however slow the machine, so the wait is out within so many passes.
        const int passesToFree = firmwareWaitMs / 200 + 3;
        QVERIFY(client->sendText(printRequest(72, 1)));
        QVERIFY(client->sendText(QStringLiteral(R"({"requestId":13,"seq":73})")));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 72, "11001"), status(13, 73, "11001")}));
        t->click(QStringLiteral("btn_nav_print"));
        t->toasts.clear();
        t->click(QStringLiteral("btn_print"));
        QVERIFY(!t->preview());
        // Nor do the device page's reads and writes go out meanwhile.
        for (const char *button : {"btn_print_argset_read", "btn_print_argset_save", "btn_network_read",
                                   "btn_network_save", "btn_print_info_read"})
            t->click(QLatin1String(button));
        QCOMPARE(t->toasts.texts(), QVector<QString>(6, QStringLiteral("打印机正在升级，请稍后再试")).toList());
        QTest::qWait(200);
        const QList<int> received = t->received();
        QCOMPARE(received.mid(received.indexOf(0x80)), QList<int>{0x80});

        QVERIFY(firmwareWaitMs || t->printer->reply(0x80));
        QString answer;
        for (int seq = 100; firmwareWaitMs && answer != status(13, seq - 1, "11000"); ++seq) {
            QVERIFY(seq < 100 + passesToFree);
            QVERIFY(t->printer->reply(0xA0, 1) && t->printer->reply(0x20));
            const QList<int> seen = t->received();
            QVERIFY(client->sendText(QStringLiteral(R"({"requestId":13,"seq":%1})").arg(seq)));
            answer = client->expectText();
            if (answer == status(13, seq, "11001"))
                QCOMPARE(seen.mid(received.indexOf(0x80)), QList<int>{0x80});
            QTest::qWait(200);
        }
        if (firmwareWaitMs) // what the notices asked for went once the printer was free
            QTRY_VERIFY(t->received().mid(received.indexOf(0x80)).contains(0xA006));
        QTRY_COMPARE(t->indicator(), CONNECTED);
        QTRY_VERIFY(update->isEnabled());
        QVERIFY(client->sendText(printRequest(74, 1)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 74, "00000"), status(12, 74, "11000")}));
    }

    // A box swapped while the printer stays linked is charged from its own
    // count, read before the job's first page; a box whose count fails its
    // check is not written.
    void aSwappedInkBoxIsChargedFromItsOwnCount_data()
    {
        QTest::addColumn<bool>("intact");
        QTest::newRow("intact count") << true;
        QTest::newRow("count failing its check") << false;
    }

    void aSwappedInkBoxIsChargedFromItsOwnCount()
    {
        QFETCH(bool, intact);
        constexpr quint32 fresh = 3000000;
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(t->printer->swapInkBox(QStringLiteral("INK2026000000002"), fresh, intact));
        const QString inserted = t->printer->block(6);
        QVERIFY(client->sendText(printRequest(81, 1)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 81, "00000"), status(12, 81, "11000")}));
        QTest::qWait(200);
        QTRY_COMPARE(t->printer->block(6), intact ? inkBlock(fresh - quint32(printedPages().first().dots)) : inserted);
    }

    // A job the link loses mid-job, or whose handshake the printer never
    // answers, ends and closes its preview: its client hears so, and the API
    // is free for the next job.
    void aJobEndsAndFreesTheApi_data()
    {
        QTest::addColumn<bool>("unanswered");
        QTest::newRow("link lost") << false;
        QTest::newRow("handshake never answered") << true;
    }

    void aJobEndsAndFreesTheApi()
    {
        QFETCH(bool, unanswered);
        Seams::setNoticeWaitMs(500);
        Seams::setReplyWaitMs(unanswered ? 500 : 0);
        QVERIFY(connectWindow());
        auto client = welcomed();
        t->printer->clear();
        if (unanswered) {
            QVERIFY(t->printer->fault({{"match", 0x10}, {"noReply", true}}));
            QVERIFY(client->sendText(printRequest(5, 3)));
            QCOMPARE(client->expectTexts(2), QStringList({status(12, 5, "00000"), status(12, 5, "11000")}));
            QVERIFY(printedPages().isEmpty());
            Seams::setReplyWaitMs(0); // the real wait: an answer never misses it
        } else {
            QVERIFY(startStalledJob(*client, 5, 3));
            QTRY_COMPARE(printedPages().size(), 1);
            QVERIFY(t->printer->disconnectClient());
            QCOMPARE(client->expectTexts(2), QStringList({status(12, 5, "11000"), "<closed 1001>"}));
            QCOMPARE((t->log.messages(QtDebugMsg) + t->log.messages(QtInfoMsg)).filter("与打印机断开连接").size(), 1);
            t->pressIndicator();
            QTRY_COMPARE(t->indicator(), CONNECTED);
            client = welcomed();
        }
        QVERIFY(client->sendText(QStringLiteral(R"({"requestId":13,"seq":6})")));
        QCOMPARE(client->expectText(), status(13, 6, "11000"));
        QVERIFY(client->sendText(printRequest(7, 2)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 7, "00000"), status(12, 7, "11000")}));
        QCOMPARE(printedPages().size(), 2);
    }

    // While the ink box's count is unknown (no block 6 passed its check since
    // the link opened, or a read of it failed), printed pages write nothing
    // to the box; a warning says so once per job.
    void inkOfUnknownCountIsNotCharged_data()
    {
        QTest::addColumn<bool>("malformed");
        QTest::newRow("count failing its check since the link opened") << true;
        QTest::newRow("read-back failing mid-job") << false;
    }

    void inkOfUnknownCountIsNotCharged()
    {
        QFETCH(bool, malformed);
        QVERIFY(connectWindow());
        const QString bad = QStringLiteral("00000100000000000000000006f906f9");
        if (malformed) {
            QVERIFY(t->printer->set({{"blocks", QJsonObject{{"6", bad}}}}) && t->printer->disconnectClient());
            QTRY_COMPARE(t->indicator(), UNCONNECTED);
            t->pressIndicator();
            QTRY_COMPARE(t->indicator(), CONNECTED);
        } else {
            // The job's own read at its start passes; the read-back fails.
            QVERIFY(t->printer->fault({{"match", 0xA0}}));
            QVERIFY(t->printer->fault({{"match", 0xA0}, {"status", 1}}));
        }
        auto client = welcomed();
        QVERIFY(client->sendText(printRequest(31, 2)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 31, "00000"), status(12, 31, "11000")}));
        QCOMPARE(t->printer->block(6), malformed ? bad : inkBlock(INK_AT_START - quint32(printedPages().first().dots)));
        QCOMPARE(t->log.warnings().filter(QStringLiteral("墨量未知")).size(), 1);
    }

    // A read of the count lost at the job's start costs the charge of one
    // page, not of the whole job: the count is asked for again.
    void aLostCountReadIsAskedAgain()
    {
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(t->printer->fault({{"match", 0xA0}, {"noReply", true}}));
        QVERIFY(client->sendText(printRequest(41, 2)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 41, "00000"), status(12, 41, "11000")}));
        QTRY_COMPARE(t->printer->block(6), inkBlock(INK_AT_START - quint32(printedPages().last().dots)));
    }

    // A template gone from the store since the client last asked, however
    // little of the file's size and times changed, prints nothing: asked
    // for, it is unknown; and one gone between the request's check and the
    // preview's reading of it opens nothing.
    void aTemplateGoneMeanwhilePrintsNothing()
    {
        QVERIFY(connectWindow());
        auto client = welcomed();
        QVERIFY(client->sendText(QStringLiteral(R"({"requestId":11,"seq":1,"templateName":"档案盒标签"})")));
        QVERIFY(client->expectText().startsWith(QLatin1String(R"({"code":"00000")")));
        const QString path = FileUtil::customPath(CUSTOM_TEMPLATE_PATH);
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        QVERIFY(TestSupport::writeFile(path, TestSupport::readFile(path).replace("档案盒标签", "档案盒标记")));
        const timespec times[2] = {before.st_mtim, before.st_mtim};
        QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        t->printer->clear();
        QVERIFY(client->sendText(printRequest(2, 1)));
        QCOMPARE(client->expectText(), status(12, 2, "10003"));

        ApiServer::Host &host = *t->window;
        QString code = QStringLiteral("00000");
        bool closed = false;
        host.openApiPreview(LABEL, TestSupport::numberedRows(1), &code, [&closed] { closed = true; });
        QCOMPARE(code, QStringLiteral("10003"));
        QVERIFY(!t->preview() && !host.apiDialogBusy());
        QTest::qWait(300);
        QVERIFY(!closed);
        QCOMPARE(t->received(), QList<int>());
    }

    // A client's print request only looks at the user's store: one that reads
    // as broken (someone is writing it just then) is left where it is.
    void aPrintRequestLeavesAStoreBeingWrittenInPlace()
    {
        QVERIFY(connectWindow());
        auto client = welcomed();
        const QString path = FileUtil::customPath(CUSTOM_TEMPLATE_PATH);
        const QByteArray half = TestSupport::readFile(path).left(40);
        QVERIFY(TestSupport::writeFile(path, half));
        const QString builtin = JsonUtil::cachedTemplateList().first().name;
        const QJsonObject request{{"requestId", 12}, {"seq", 3}, {"templateName", builtin},
                                  {"data", QJsonArray{QJsonObject{{"x", "1"}}}}};
        QVERIFY(client->sendText(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact))));
        QCOMPARE(client->expectText(), status(12, 3, "00000"));
        QCOMPARE(TestSupport::readFile(path), half);
    }

    // Once the day's share of client lines is spent, also by an earlier run
    // that day, a client that prints a row and has the next connection evict
    // it, again and again, adds no line to the log: neither of its requests
    // nor of its jobs and the printer's answers to them. The program's own
    // events still go in, the reply to the user's read among them though it
    // came in one piece with the client's.
    void aClientsJobsAreInItsShareOfTheLog_data()
    {
        QTest::addColumn<qint64>("spent");
        QTest::addColumn<bool>("restart");
        QTest::addColumn<bool>("userRead");
        QTest::addColumn<bool>("frozen"); // the day's record of it read-only, 8 KiB short of it
        QTest::newRow("share spent") << SHARE << false << false << false;
        QTest::newRow("share spent, restarted") << SHARE << true << false << false;
        QTest::newRow("share nearly spent, restarted") << SHARE - 8192 << true << false << false;
        QTest::newRow("user's read before a client's job") << SHARE << false << true << false;
        QTest::newRow("share spent past its read-only record, restarted") << SHARE << true << false << true;
    }

    void aClientsJobsAreInItsShareOfTheLog()
    {
        QFETCH(qint64, spent);
        QFETCH(bool, restart);
        QFETCH(bool, userRead);
        QFETCH(bool, frozen);
        QVERIFY(connectWindow());
        const QString record = LogFile::folderPath() + QStringLiteral("/clientshare");
        const auto thaw = qScopeGuard([&] { frozen && !geteuid() && QProcess::execute("chattr", {"-i", record}); });
        if (frozen && !(QDir().mkpath(LogFile::folderPath()) && TestSupport::writeFile(record, "20241231 1040384")
                        && QFile::setPermissions(record, QFile::ReadOwner)
                        && (geteuid() || !QProcess::execute("chattr", {"+i", record}))))
            QSKIP("the file system keeps no file from root");
        const auto restore = spentClientShare(spent);
        if (restart) {
            qInfo().noquote() << QString(16384, QLatin1Char('o')); // the program's own
            LogFile::install(); // as the program does when it starts again
        }
        const QString spentDay = LogFile::filePath(SPENT_DAY);
        const QByteArray before = TestSupport::readFile(spentDay);
        if (userRead) { // answered in one write with the next reply, the client's
            QVERIFY(t->printer->fault({{"match", 0x51}, {"status", 1}, {"merge", true}}));
            t->click(QStringLiteral("btn_print_argset_read"));
        }

        auto client = welcomed();
        for (int seq = 1; seq <= 4; ++seq) {
            QVERIFY(client->sendText(printRequest(seq, 1)));
            QCOMPARE(client->expectText(), status(12, seq, "00000"));
            client = welcomed();
        }
        QVERIFY(client->sendText(printRequest(9, 2)));
        QCOMPARE(client->expectTexts(2), QStringList({status(12, 9, "00000"), status(12, 9, "11000")}));
        QVERIFY(!printedPages().isEmpty());
        QTest::qWait(300);
        const QByteArray added = TestSupport::readFile(spentDay).mid(before.size());
        if (userRead) {
            QVERIFY(added.contains("打印参数读取失败") && added.contains(" tcpSocketReceiveData a9201051"));
            QVERIFY(!added.contains("打印机检测状态正常"));
        } else {
            QVERIFY2(added.isEmpty() == (spent >= SHARE), added.left(600).constData());
            QVERIFY(added.isEmpty()
                    || (added.endsWith("no more are logged today\r\n") && added.size() < SHARE - spent + 2048));
        }

        QVERIFY(t->printer->disconnectClient());
        QTRY_COMPARE(t->indicator(), UNCONNECTED);
        QVERIFY(TestSupport::readFile(spentDay).contains("连接打印断开连接"));
    }

    // A print-page job held back until a client's page is done with is the
    // user's, not the client's, however the held start is let go: its lines
    // are written though the client's share is spent.
    void aJobHeldBehindAClientsPageIsTheUsers()
    {
        QVERIFY(connectWindow());
        const auto restore = spentClientShare();
        auto client = welcomed();
        QVERIFY(startStalledJob(*client, 91, 1));
        QTRY_COMPARE(printedPages().size(), 1);
        t->preview()->close();
        QCOMPARE(client->expectText(), status(12, 91, "11000"));
        QTRY_VERIFY(!t->preview());

        t->click(QStringLiteral("btn_nav_print"));
        t->click(QStringLiteral("btn_print"));
        QVERIFY(t->preview());
        TestSupport::child<QAbstractButton>(*t->preview(), "btn_print")->click();
        QVERIFY(t->printer->reply(0x20));
        QTRY_COMPARE(printedPages().size(), 2);
        QVERIFY(TestSupport::readFile(LogFile::filePath(SPENT_DAY)).contains("打印机检测状态正常"));
    }

    // Block 6 that cannot be written is still read back.
    void aFailedInkWriteStillReadsBack()
    {
        QVERIFY(connectWindow());
        t->click(QStringLiteral("btn_nav_print"));
        t->click(QStringLiteral("btn_print"));
        QPointer<PrintPreview> preview = t->preview();
        QVERIFY(preview);
        t->printer.reset();
        QTRY_COMPARE(t->indicator(), UNCONNECTED);
        t->toasts.clear();
        t->log.clear();
        emit preview->sigConsumInkDots(100, 1);
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("写入失败，请检查打印机连接状态")});
        // One attempt to reach the printer for the write, one for the read.
        QCOMPARE(t->log.warnings().filter(QStringLiteral("socket连接失败")).size(), 2);

        // A closed preview leaves nothing behind in the style sheet's cache
        // that the next window's style sheet would reach.
        preview->close();
        QTRY_VERIFY(!preview);
        MainWindow another;
    }
};

QTEST_MAIN(TestApiWindow)
#include "tst_apiwindow.moc"
