// Print jobs. The driver on its own, its pages from a page scene without a
// window: with the printer's replies delivered straight, and end to end over
// the real printer link on 127.0.0.1 to the fake printer. Jobs whose outcome
// shows in the preview window run end to end through a real preview. The
// fake printer decodes every page it receives; the print record lives in a
// temporary working directory.

#include "print/pagescene.h"
#include "print/printjob.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "printer/comanager.h"
#include "support/fakeprinter.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/replyfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using TestSupport::FakePrinter;
using TestSupport::handshakeReply;
using TestSupport::numberedRows;
using TestSupport::printReply;

namespace {

using Rows = QList<QMap<QString, QVariant>>;

const int DPI = 300;
const int PAUSE_MS = 60;
const int NOTICE_WAIT_MS = 300;
const QString NAME = QStringLiteral("测试模板");
const QString BOX_NAME = QStringLiteral("档案盒标签");
const QString CODE_TITLE = QStringLiteral("档号");
const QString TEXT_TITLE = QStringLiteral("题名");
const int CMD_HANDSHAKE = 0x10;
const int CMD_PRINT = 0x11;
const int CMD_STOP = 0x13;
const HandshakeReceiveModel TYPE_2 = TestSupport::typeTwoHandshake();

// A 40 x 30 mm label: a QR code top left, a text field below it.
TemplateModel boxLabel()
{
    TemplateModel t = TestSupport::blankLabel(BOX_NAME);
    t.qrcodeModels << TestSupport::qrField(CODE_TITLE, QStringLiteral("模板"), 4, 3, 16);
    t.textModels << TestSupport::textField(TEXT_TITLE, QStringLiteral("模板题名"), 4, 21, 32, 7, 4);
    return t;
}

QRect pxRect(float x, float y, float w, float h)
{
    return QRect(TextUtil::mm2px(x, DPI), TextUtil::mm2px(y, DPI), TextUtil::mm2px(w, DPI), TextUtil::mm2px(h, DPI));
}

int blackIn(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixel(x, y) == qRgb(0, 0, 0);
    return n;
}

Rows boxRows(int count)
{
    Rows list;
    for (int i = 1; i <= count; ++i)
        list.append({{CODE_TITLE, QStringLiteral("WS-2026-%1").arg(i, 4, 10, QLatin1Char('0'))},
                     {TEXT_TITLE, QStringLiteral("第%1卷").arg(i)}});
    return list;
}

// A job's pages without a window: the stored template's scene on white,
// filled with one row at a time, as a job prints it.
class ScenePages : public PageSource
{
public:
    ScenePages(const QString &templateName, const Rows &rows)
        : m_model(JsonUtil::parseTemplate(templateName))
        , m_rows(rows)
        , m_page(&m_scene, m_model, DPI)
    {
        m_page.rebuild(false);
        m_page.fill(m_rows.at(0));
    }

    int shownPage() const override { return m_shown; }
    void showPage(int index) override
    {
        m_shown = index;
        m_page.fill(m_rows.at(index));
    }
    Printable printablePage() override { return {m_page.renderPage(), m_model, offsetX, 0, DPI}; }

    float offsetX = 0;

private:
    TemplateModel m_model;
    Rows m_rows;
    QGraphicsScene m_scene;
    PageScene m_page;
    int m_shown = 0;
};

} // namespace

class TestPrintJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // First: its record count must lead the print record.
    void threeRowsPrintThreePagesWhereTheTemplatePutsThem();
    void aCancelLetsThePageOutFinish();
    void anEmergencyStopSendsTheStopAndNoMorePages();
    void aLinkLostMidJobEndsIt();
    void aStrayHandshakeDoesNotDoubleAPage();
    void anApiJobClosesItsWindow();

    void oneStateAtATime_data();
    void oneStateAtATime();
    void anEmergencyStopCancelsThePause();
    void anUnknownPrinterEndsTheJob();
    void aFailedPageDoesNotStopTheJob();
    void anEncoderRefusalFailsThePage();
    void aTypeFourJobEndsCleanly();
    void aTestPageWithoutAKnownPrinter();
    void theRealPauseIsOneSecond();

private:
    void openJob(const QString &name, const Rows &rows);
    // Starts a print job over every row, the page locked as a preview locks it.
    bool startAll();
    // startAll() on a type-2 printer, until the first page goes out.
    bool firstPageOut();
    bool startPrinter();
    // The job wired to the link the way the shell wires a preview.
    void connectJobToTheLink();
    // The same for a preview of the print page (or of an API job, which
    // leaves out the test-page reply and the link losses).
    void connectLikeTheShell(bool printPage);
    QStringList log() const;
    QList<int> commands();
    void click(const char *button);

    QTemporaryDir workDir;
    std::unique_ptr<TestSupport::TempProgramDir> programDir;
    std::unique_ptr<TestSupport::ToastRecorder> toasts;
    std::unique_ptr<FakePrinter> printer;
    std::unique_ptr<ComManager> link;
    std::unique_ptr<PrintPreview> preview;
    std::unique_ptr<ScenePages> pages;
    std::unique_ptr<PrintJob> job;
    std::unique_ptr<QSignalSpy> prints; // the job's frames
    QStringList lines;
    bool editable = true;
    int rowCount = 0;
};

void TestPrintJob::initTestCase()
{
    registerReplyMetaTypes();
    QVERIFY(TestSupport::loadPinnedFonts());
    QVERIFY(QDir::setCurrent(workDir.path()));
    QVERIFY(PrintRecord::initTable());
}

void TestPrintJob::init()
{
    programDir.reset(new TestSupport::TempProgramDir);
    toasts.reset(new TestSupport::ToastRecorder);
    Seams::setJobPauseMs(PAUSE_MS);
    Seams::setNoticeWaitMs(NOTICE_WAIT_MS);
    TextUtil::PRINTER_DPI = DPI;
    PrinterUtil::s_protocolType = 0;
    PrinterUtil::s_printerSys.remainKnown = true; // pages are charged
    QVERIFY(JsonUtil::saveTemplate(TestSupport::numberedLabel(NAME), false));
    QVERIFY(JsonUtil::saveTemplate(boxLabel(), false));
}

void TestPrintJob::cleanup()
{
    prints.reset();
    job.reset();
    pages.reset();
    lines.clear();
    editable = true;
    preview.reset();
    link.reset();
    printer.reset();
    toasts.reset();
    programDir.reset();
    Seams::resetAll();
}

void TestPrintJob::openJob(const QString &name, const Rows &rows)
{
    job.reset();
    pages.reset(new ScenePages(name, rows));
    job.reset(new PrintJob(pages.get()));
    prints.reset(new QSignalSpy(job.get(), &PrintJob::frameReady));
    rowCount = rows.size();
    connect(job.get(), &PrintJob::logged, this, [this](const QString &line) { lines.append(line); });
    connect(job.get(), &PrintJob::pageEditable, this, [this](bool on) { editable = on; });
}

bool TestPrintJob::startAll()
{
    QList<int> all;
    for (int n = 1; n <= rowCount; ++n)
        all.append(n);
    editable = false;
    return job->startPrint(all);
}

bool TestPrintJob::firstPageOut()
{
    if (!startAll())
        return false;
    job->handshakeReceived(TYPE_2);
    return prints->wait(TestSupport::WAIT_MS);
}

bool TestPrintJob::startPrinter()
{
    printer.reset(new FakePrinter(FakePrinter::Transport::Tcp,
                                  {QStringLiteral("--sn"), QStringLiteral("KELO2020260001"),
                                   QStringLiteral("--notify-delay-ms"), QStringLiteral("50")}));
    if (!printer->isRunning() || !printer->linkTerminal())
        return false;
    link.reset(new ComManager);
    return link->initSocketTcp() && printer->waitForConnected(true);
}

void TestPrintJob::connectJobToTheLink()
{
    PrintJob *j = job.get();
    ComManager *m = link.get();
    connect(j, &PrintJob::frameReady, m, &ComManager::sendOriginalMsg);
    connect(j, &PrintJob::handshakeRequested, m, &ComManager::startHandHake);
    connect(j, &PrintJob::stopRequested, m, &ComManager::stopPrint);
    connect(m, &ComManager::onReceiveHandshake, j, &PrintJob::handshakeReceived);
    connect(m, &ComManager::onReceivePrint, j, &PrintJob::printAcknowledged);
    connect(m, &ComManager::onReceivePrintNotify, j, &PrintJob::pageNoticed);
    connect(m, &ComManager::onReceivePrintTest, j, &PrintJob::testPageReplied);
}

void TestPrintJob::connectLikeTheShell(bool printPage)
{
    PrintPreview *p = preview.get();
    ComManager *m = link.get();
    connect(p, &PrintPreview::sigPrint, m, &ComManager::sendOriginalMsg);
    connect(p, &PrintPreview::sigHandShake, m, &ComManager::startHandHake);
    connect(p, &PrintPreview::sigStopPrint, m, &ComManager::stopPrint);
    connect(m, &ComManager::onReceiveHandshake, p, &PrintPreview::receiveHandShake);
    connect(m, &ComManager::onReceivePrint, p, &PrintPreview::receivePrint);
    connect(m, &ComManager::onReceivePrintNotify, p, &PrintPreview::receivePrintNotify);
    if (printPage) {
        connect(m, &ComManager::onReceivePrintTest, p, &PrintPreview::receivePrintTest);
        connect(m, &ComManager::serialPortDisconnectError, p, &PrintPreview::serialDisconnected);
        connect(m, &ComManager::tcpSocketReceiveConnectState, p, &PrintPreview::tcpDisconnected);
    }
}

QStringList TestPrintJob::log() const
{
    if (!preview)
        return lines;
    return preview->findChild<QTextBrowser *>(QStringLiteral("printerLogEdit"))
        ->toPlainText()
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<int> TestPrintJob::commands()
{
    QList<int> list;
    for (const FakePrinter::Request &r : printer->requests())
        list.append(r.command);
    return list;
}

void TestPrintJob::click(const char *button)
{
    QTest::mouseClick(preview->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

// ---------------------------------------------------------------------------
// The printer's replies delivered straight

void TestPrintJob::oneStateAtATime_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("lastLine");
    using S = PrintJob::State;
    const auto row = [](const char *name, const QString &steps, S state, int frames = -1, int rows = 3,
                        const QString &lastLine = QString()) {
        QTest::newRow(name) << rows << steps.split(QLatin1Char(' ')) << int(state) << frames << lastLine;
    };
    row("started", "print", S::AwaitingHandshake);
    row("cancelled before the handshake", "print cancel", S::Idle);
    row("pausing before a page", "print handshake", S::PagePending);
    // Once cancelled, no further page goes: the job ends in the pause.
    row("cancelled in the pause", "print handshake cancel wait", S::Idle, 0, 3, QStringLiteral("打印取消!"));
    row("a test page cancelled in its pause", "test cancel wait", S::Idle, 0, 3, QStringLiteral("打印取消!"));
    row("page out", "print handshake sent", S::PageOut);
    row("cancelled with a page out", "print handshake sent cancel", S::CancelledOut);
    row("the next page", "print handshake sent notice", S::PagePending);
    row("a test-page reply is no notice", "print handshake sent testReply", S::PageOut);
    row("no start while busy", "print handshake sent cancel refused", S::CancelledOut);
    // Nothing more is sent, but the page out is still awaited, for a time.
    row("stopped", "print handshake sent stop", S::CancelledOut, 1);
    row("stopped, the page out printed", "print handshake sent stop notice", S::Idle, 1, 3,
        QStringLiteral("打印任务结束!"));
    row("stopped, the page out never reported", "print handshake sent stop noticeWait", S::Idle, 1, 3,
        QStringLiteral("第1页未收到打印结果，打印任务结束"));
    // A page given up unreported still takes the next notice, until a newer
    // page goes out.
    row("stopped, the page out noticed after the wait", "print handshake sent stop noticeWait notice", S::Idle, 1,
        3, QStringLiteral("第1页打印成功!"));
    row("noticed after the wait as the next job starts", "print handshake sent stop noticeWait print notice",
        S::AwaitingHandshake, 1, 3, QStringLiteral("第1页打印成功!"));
    row("a newer page takes the notice", "print handshake sent stop noticeWait print handshake sent notice",
        S::PagePending, 2, 3, QStringLiteral("第1页打印成功!"));
    row("link lost", "print handshake lost", S::Idle);
    row("link lost with a page out", "print handshake sent lost", S::Idle, 1);
    row("released in the pause", "print handshake released wait", S::Idle, 0);
    row("test page pausing", "test", S::TestPagePending);
    row("test page out", "test sent", S::TestPageOut);
    row("a cancel leaves the test page", "test sent cancel", S::TestPageOut);
    row("a notice is no test-page reply", "test sent notice", S::TestPageOut);
    row("test page answered", "test sent testReply", S::Idle);
    row("a cancel on the last page ends the job", "print handshake sent cancel notice", S::Idle, 1, 1,
        QStringLiteral("打印任务结束!"));
    // A cancelled page never reported holds the job no longer than a stopped
    // one; a notice after the link went came over another: it is no page's.
    const QString unreported = QStringLiteral("第1页未收到打印结果，打印任务结束");
    const QString lost = QStringLiteral("与打印机断开连接，请检查");
    row("cancelled, the page out never reported", "print handshake sent cancel noticeWait", S::Idle, 1, 3, unreported);
    row("link lost, a notice after", "print handshake sent lost notice", S::Idle, 1, 3, lost);
    row("lost after the wait, a notice after", "print handshake sent stop noticeWait lost notice", S::Idle, 1, 3, lost);
    // A printer that answers neither the handshake nor a test page holds
    // its job no longer than a short wait, which an answer stops.
    row("handshake never answered", "quick print replyWait", S::Idle, 0, 3, QStringLiteral("未收到打印机应答，打印任务结束"));
    row("test page never answered", "quick test sent replyWait", S::Idle, 1, 3, QStringLiteral("未收到测试页应答，测试任务结束"));
    row("a handshake in time", "quick print handshake sent pastReplyWait", S::PageOut, 1);
    // A handshake held back until the printer is free is awaited from when
    // it leaves.
    row("a handshake held past the wait", "quick print held pastReplyWait leaves handshake sent", S::PageOut, 1);
    // Held, the job takes no answer it did not ask for, and once stopped it
    // asks for none.
    row("a stray handshake while held", "print held handshake wait", S::HandshakeHeld, 0);
    row("cancelled while held", "print held cancel refusedLeave", S::Idle, 0);
    row("stopped while held", "print held stop refusedLeave", S::Idle, 0);
    row("link lost while held", "print held lost refusedLeave", S::Idle, 0);
    row("a held handshake never answered", "quick print held leaves replyWait", S::Idle, 0, 3,
        QStringLiteral("未收到打印机应答，打印任务结束"));
    // Stray handshakes: before any job, with a page out, during the last page.
    row("a stray handshake sends nothing", "handshake wait", S::Idle, 0, 2);
    row("a stray handshake with a page out", "print handshake sent handshake wait", S::PageOut, 1, 2);
    row("stray handshakes all through",
        "handshake wait print handshake sent handshake wait notice sent handshake notice wait", S::Idle, 2, 2,
        QStringLiteral("打印任务结束!"));
}

void TestPrintJob::oneStateAtATime()
{
    QFETCH(int, rows);
    QFETCH(QStringList, steps);
    QFETCH(int, state);
    QFETCH(int, frames);
    QFETCH(QString, lastLine);
    PrinterUtil::s_protocolType = 2;
    openJob(NAME, numberedRows(rows));
    for (const QString &step : qAsConst(steps)) {
        if (step == QLatin1String("print"))
            QVERIFY(startAll());
        else if (step == QLatin1String("test"))
            QVERIFY(job->startTestPage({1}));
        else if (step == QLatin1String("refused"))
            QVERIFY(!job->startPrint({1}));
        else if (step == QLatin1String("handshake"))
            job->handshakeReceived(TYPE_2);
        else if (step == QLatin1String("sent"))
            QVERIFY(prints->wait(TestSupport::WAIT_MS));
        else if (step == QLatin1String("wait"))
            QTest::qWait(5 * PAUSE_MS);
        else if (step == QLatin1String("quick"))
            Seams::setReplyWaitMs(NOTICE_WAIT_MS);
        else if (step == QLatin1String("replyWait"))
            QTRY_VERIFY(!job->isBusy());
        else if (step == QLatin1String("pastReplyWait"))
            QTest::qWait(2 * NOTICE_WAIT_MS);
        else if (step == QLatin1String("noticeWait"))
            QTRY_VERIFY(job->state() != PrintJob::State::CancelledOut);
        else if (step == QLatin1String("released"))
            QCOMPARE(job->release(), job->state() == PrintJob::State::PageOut);
        else if (step == QLatin1String("notice"))
            job->pageNoticed(printReply(0));
        else if (step == QLatin1String("testReply"))
            job->testPageReplied(printReply(0));
        else if (step == QLatin1String("cancel"))
            job->cancel(PrintJob::Canceller::User);
        else if (step == QLatin1String("stop"))
            job->stop();
        else if (step == QLatin1String("lost"))
            job->linkLost();
        else if (step == QLatin1String("held"))
            job->handshakeHeld();
        else if (step == QLatin1String("leaves"))
            QVERIFY(job->handshakeSent());
        else if (step == QLatin1String("refusedLeave"))
            QVERIFY(!job->handshakeSent());
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(int(job->state()), state);
    QCOMPARE(job->isBusy(), PrintJob::State(state) != PrintJob::State::Idle);
    QCOMPARE(job->isLinked(), !steps.contains(QStringLiteral("lost")));
    if (frames >= 0)
        QCOMPARE(prints->count(), frames);
    if (!lastLine.isNull())
        QCOMPARE(log().last(), lastLine);
}

void TestPrintJob::anEmergencyStopCancelsThePause()
{
    const qint64 recordsBefore = PrintRecord::getTableDataCount();
    Seams::setJobPauseMs(100);
    openJob(NAME, numberedRows(3));
    QSignalSpy stops(job.get(), &PrintJob::stopRequested);
    QVERIFY(firstPageOut());
    job->pageNoticed(printReply(0)); // page 2 scheduled
    job->stop();
    QCOMPARE(stops.count(), 1);
    QCOMPARE(log().last(), QStringLiteral("紧急终止打印"));
    QVERIFY(!job->isBusy());
    QVERIFY(job->remainingPages().isEmpty());
    QTest::qWait(400);
    QCOMPARE(prints->count(), 1);
    // A late notice belongs to no page.
    job->pageNoticed(printReply(0));
    QCOMPARE(log().last(), QStringLiteral("紧急终止打印"));
    QCOMPARE(PrintRecord::getTableDataCount() - recordsBefore, qint64(1));

    // Stopped while a page is out: a new job once that page is reported.
    QVERIFY(firstPageOut());
    job->stop();
    job->pageNoticed(printReply(0));
    QSignalSpy handshakes(job.get(), &PrintJob::handshakeRequested);
    QVERIFY(startAll());
    QCOMPARE(handshakes.count(), 1);
}

void TestPrintJob::anUnknownPrinterEndsTheJob()
{
    openJob(NAME, numberedRows(2));
    QVERIFY(startAll());
    job->handshakeReceived(handshakeReply(QStringLiteral("KELO9920260001"), QStringLiteral("V9.9")));
    QCOMPARE(log().last(), QStringLiteral("警告：未识别的版本"));
    QCOMPARE(PrinterUtil::s_protocolType, 0);
    QVERIFY(!job->isBusy());
    QTest::qWait(5 * PAUSE_MS);
    QCOMPARE(prints->count(), 0);

    // The version text tells the type when the serial does not.
    const QList<QPair<QString, int>> versions{{"B28-4.0", 1}, {"X20-10", 1}, {"40", 4}, {"z1", 0}};
    for (const auto &v : versions) {
        QCOMPARE(PrintJob::checkPrinterVersion(v.first), v.second != 0);
        QCOMPARE(PrinterUtil::s_protocolType, v.second);
    }
}

void TestPrintJob::aFailedPageDoesNotStopTheJob()
{
    const qint64 recordsBefore = PrintRecord::getTableDataCount();
    openJob(NAME, numberedRows(2));
    QSignalSpy ink(job.get(), &PrintJob::inkConsumed);
    QVERIFY(firstPageOut());
    job->printAcknowledged(printReply(3));
    QCOMPARE(log().last(), QStringLiteral("第1页打印取消, 状态码3"));
    job->pageNoticed(printReply(7));
    QCOMPARE(log().last(), QStringLiteral("第1页打印失败, 状态码7"));
    QVERIFY(prints->wait(TestSupport::WAIT_MS));
    QCOMPARE(prints->count(), 2);
    job->printAcknowledged(printReply(0));
    job->pageNoticed(printReply(0));
    QCOMPARE(log().last(), QStringLiteral("打印任务结束!"));
    QCOMPARE(PrintRecord::getTableDataCount() - recordsBefore, qint64(1));
    QCOMPARE(ink.count(), 1);
    QCOMPARE(ink.first().at(1).toInt(), 1);
}

void TestPrintJob::anEncoderRefusalFailsThePage()
{
    // A page whose every row is inked across 60 bands: more records than a
    // row-record frame can count.
    TemplateModel wide = TestSupport::numberedLabel(QStringLiteral("超宽"));
    wide.qrcodeModels.clear();
    wide.printWidth = 762;
    wide.printHeight = 93.3f;
    LineModel line;
    line.id = TextUtil::generateId();
    line.width = wide.printWidth;
    line.height = wide.printHeight;
    wide.lineModels << line;
    QVERIFY(JsonUtil::saveTemplate(wide, false));
    openJob(QStringLiteral("超宽"), numberedRows(2));
    QVERIFY(startAll());
    job->handshakeReceived(TYPE_2);
    QTRY_COMPARE(log().last(), QStringLiteral("打印任务结束!"));
    QCOMPARE(prints->count(), 0);
    QVERIFY(log().contains(QStringLiteral("第1页打印失败, 打印数据生成失败")));
    QVERIFY(log().contains(QStringLiteral("第2页打印失败, 打印数据生成失败")));
    QVERIFY(!job->isBusy());
}

void TestPrintJob::aTypeFourJobEndsCleanly()
{
    TestSupport::LogCapture messages;
    openJob(NAME, numberedRows(2));
    // Far enough right that the -33 mm compensation cuts nothing off.
    pages->offsetX = 40;
    QVERIFY(startAll());
    job->handshakeReceived(handshakeReply(QStringLiteral("KELO4020260001")));
    QCOMPARE(PrinterUtil::s_protocolType, 4);
    QTRY_COMPARE(log().last(), QStringLiteral("该机型暂不支持发送打印数据，打印任务结束"));
    QVERIFY(messages.contains(QStringLiteral("发送打包。共计:")));
    QVERIFY(messages.contains(QStringLiteral("正在发送[1/")));
    QCOMPARE(prints->count(), 0);
    QVERIFY(!job->isBusy());
    QVERIFY(editable);
    QVERIFY(job->remainingPages().isEmpty());
}

void TestPrintJob::aTestPageWithoutAKnownPrinter()
{
    openJob(NAME, numberedRows(1));
    QVERIFY(job->startTestPage({1}));
    QTRY_COMPARE(log().value(log().size() - 1), QStringLiteral("未识别到打印机型号"));
    QCOMPARE(prints->count(), 0);
    QVERIFY(!job->isBusy());

    // An emergency stop before the test page goes cancels it.
    PrinterUtil::s_protocolType = 2;
    Seams::setJobPauseMs(100);
    QVERIFY(job->startTestPage({1}));
    job->stop();
    QVERIFY(!job->isBusy());
    QTest::qWait(300);
    QCOMPARE(prints->count(), 0);
}

void TestPrintJob::theRealPauseIsOneSecond()
{
    Seams::setJobPauseMs(0);
    QCOMPARE(Seams::jobPauseMs(), 1000);
    openJob(NAME, numberedRows(1));
    QVERIFY(startAll());
    QElapsedTimer clock;
    clock.start();
    job->handshakeReceived(TYPE_2);
    QVERIFY(prints->wait(TestSupport::WAIT_MS));
    QVERIFY2(clock.elapsed() >= 990, qPrintable(QString::number(clock.elapsed())));
}

// ---------------------------------------------------------------------------
// End to end over the link

void TestPrintJob::threeRowsPrintThreePagesWhereTheTemplatePutsThem()
{
    QVERIFY(startPrinter());
    const qint64 before = PrintRecord::getTableDataCount();
    preview.reset(new PrintPreview(BOX_NAME, boxRows(3), nullptr));
    connectLikeTheShell(true);
    click("btn_print");
    QTRY_COMPARE(log().value(log().size() - 1), QStringLiteral("打印任务结束!"));

    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_PRINT, CMD_PRINT}));
    QCOMPARE(log(), QStringList({QStringLiteral("打印任务开始:所有页1-3"),
                                 QStringLiteral("打印机检测状态正常, 版本号:V2.1.0"),
                                 QStringLiteral("第1页打印开始..."), QStringLiteral("第1页打印成功!"),
                                 QStringLiteral("第2页打印开始..."), QStringLiteral("第2页打印成功!"),
                                 QStringLiteral("第3页打印开始..."), QStringLiteral("第3页打印成功!"),
                                 QStringLiteral("打印任务结束!")}));
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(3));
    QCOMPARE(PrintRecord::getDatacountGroupByTemplateName().value(0).first, BOX_NAME);

    // Type 2, half width, no offsets: the bottom row at mm2px(221 - 15), the
    // vertical placement 25 + 40 + 10 mm in the header.
    const QSize page(TextUtil::mm2px(40, DPI), TextUtil::mm2px(30, DPI));
    const int bottomRow = TextUtil::mm2px(221 - 15, DPI);
    const QRect codeArea = pxRect(4, 3, 16, 16);
    const QRect textArea = pxRect(4, 21, 32, 7);
    const QRect blankArea = pxRect(22, 2, 16, 17);
    const Rows data = boxRows(3);
    for (int i = 0; i < 3; ++i) {
        const TestSupport::PrintedPage printed = TestSupport::decodeRecordedPage(*printer, i + 1);
        QVERIFY2(printed.valid, qPrintable(printed.error));
        QVERIFY(printed.checksumOk && printed.tailOk);
        QCOMPARE(printed.command, CMD_PRINT);
        QCOMPARE(printed.headerY, 75);
        const QImage image = printed.pageImage(bottomRow, page);
        QCOMPARE(TestSupport::zbarDecode(image.copy(codeArea), 30),
                 QStringList{data.at(i).value(CODE_TITLE).toString()});
        QVERIFY(blackIn(image, textArea) > 50);
        QCOMPARE(blackIn(image, blankArea), 0);
        // Nothing of the page lies outside it.
        QCOMPARE(blackIn(image, image.rect()), printed.dots);
    }
    // Each page carries its own title text.
    const QImage first = TestSupport::decodeRecordedPage(*printer, 1).pageImage(bottomRow, page).copy(textArea);
    const QImage second = TestSupport::decodeRecordedPage(*printer, 2).pageImage(bottomRow, page).copy(textArea);
    QVERIFY(first != second);
}

void TestPrintJob::aCancelLetsThePageOutFinish()
{
    QVERIFY(startPrinter());
    QVERIFY(printer->set({{QStringLiteral("notifyDelayMs"), 400}}));
    Seams::setNoticeWaitMs(0); // the notice comes within the real wait
    const qint64 before = PrintRecord::getTableDataCount();
    openJob(BOX_NAME, boxRows(3));
    connectJobToTheLink();
    QVERIFY(startAll());
    QVERIFY(printer->waitForRequests(2));
    job->cancel(PrintJob::Canceller::User);
    QTRY_COMPARE(log().value(log().size() - 1), QStringLiteral("打印取消!"));
    QVERIFY(log().contains(QStringLiteral("取消打印")));
    QTest::qWait(3 * PAUSE_MS);
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT}));
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(1));
    QVERIFY(!job->isBusy());
}

void TestPrintJob::anEmergencyStopSendsTheStopAndNoMorePages()
{
    QVERIFY(startPrinter());
    Seams::setJobPauseMs(500);
    openJob(BOX_NAME, boxRows(3));
    connectJobToTheLink();
    QVERIFY(startAll());
    QTRY_VERIFY(log().contains(QStringLiteral("第1页打印成功!")));
    job->stop();
    QCOMPARE(log().last(), QStringLiteral("紧急终止打印"));
    QVERIFY(printer->waitForRequests(3));
    QTest::qWait(800);
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_STOP}));
    QVERIFY(!job->isBusy());
}

void TestPrintJob::aLinkLostMidJobEndsIt()
{
    QVERIFY(startPrinter());
    const qint64 before = PrintRecord::getTableDataCount();
    // The printer drops the line when the second page arrives.
    QVERIFY(printer->fault({{QStringLiteral("match"), CMD_PRINT}, {QStringLiteral("count"), 1}}));
    QVERIFY(printer->fault({{QStringLiteral("match"), CMD_PRINT}, {QStringLiteral("before"), QStringLiteral("close")}}));
    preview.reset(new PrintPreview(BOX_NAME, boxRows(3), nullptr));
    connectLikeTheShell(true);
    click("btn_print");
    QTRY_VERIFY(log().contains(QStringLiteral("与打印机断开连接，请检查")));
    // No notice can come: the job ends with the link.
    QVERIFY(!preview->isBusy());
    QTest::qWait(3 * PAUSE_MS);
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(1));
    click("btn_print");
    QCOMPARE(toasts->texts(), QStringList{QStringLiteral("未连接到打印机")});
}

void TestPrintJob::aStrayHandshakeDoesNotDoubleAPage()
{
    QVERIFY(startPrinter());
    QVERIFY(printer->set({{QStringLiteral("notifyDelayMs"), 300}}));
    openJob(BOX_NAME, boxRows(3));
    connectJobToTheLink();
    QSignalSpy handshakes(link.get(), &ComManager::onReceiveHandshake);
    QVERIFY(startAll());
    QVERIFY(printer->waitForRequests(2));
    // Page 1 is out; a handshake reply nobody here asked for arrives.
    QVERIFY(printer->reply(CMD_HANDSHAKE));
    QTRY_COMPARE(handshakes.count(), 2);
    QTRY_COMPARE(log().value(log().size() - 1), QStringLiteral("打印任务结束!"));
    QTest::qWait(3 * PAUSE_MS);
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_PRINT, CMD_PRINT}));
}

void TestPrintJob::anApiJobClosesItsWindow()
{
    QVERIFY(startPrinter());
    const qint64 before = PrintRecord::getTableDataCount();
    preview.reset(new PrintPreview(BOX_NAME, boxRows(2), nullptr));
    connectLikeTheShell(false);
    QSignalSpy closed(preview.get(), &PrintPreview::sigWidgetClosed);
    preview->show();
    QString code = QStringLiteral("00000");
    QVERIFY(preview->onApiPrint(code));
    QCOMPARE(code, QStringLiteral("00000"));
    QVERIFY(closed.wait(TestSupport::WAIT_MS));
    QCOMPARE(log().last(), QStringLiteral("打印任务结束!"));
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(2));
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_PRINT}));
}

QTEST_MAIN(TestPrintJob)
#include "tst_printjob.moc"
