// Print jobs end to end: a real preview and the real printer link over TCP on
// 127.0.0.1 to the fake printer, which decodes every page it receives; the
// print record in a temporary working directory.

#include "print/printpreview.h"
#include "print/printrecord.h"
#include "printer/comanager.h"
#include "support/fakeprinter.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using TestSupport::FakePrinter;

namespace {

const int DPI = 300;
const int PAUSE_MS = 60;
const QString NAME = QStringLiteral("档案盒标签");
const QString CODE_TITLE = QStringLiteral("档号");
const QString TEXT_TITLE = QStringLiteral("题名");
const int CMD_HANDSHAKE = 0x10;
const int CMD_PRINT = 0x11;
const int CMD_STOP = 0x13;

// A 40 x 30 mm label: a QR code top left, a text field below it.
TemplateModel boxLabel()
{
    TemplateModel t = TestSupport::blankLabel(NAME);
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

QList<QMap<QString, QVariant>> rows(int count)
{
    QList<QMap<QString, QVariant>> list;
    for (int i = 1; i <= count; ++i)
        list.append({{CODE_TITLE, QStringLiteral("WS-2026-%1").arg(i, 4, 10, QLatin1Char('0'))},
                     {TEXT_TITLE, QStringLiteral("第%1卷").arg(i)}});
    return list;
}

} // namespace

class TestPrintJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void threeRowsPrintThreePagesWhereTheTemplatePutsThem();
    void aCancelLetsThePageOutFinish();
    void anEmergencyStopSendsTheStopAndNoMorePages();
    void aLinkLostMidJobEndsIt();
    void aStrayHandshakeDoesNotDoubleAPage();
    void anApiJobClosesItsWindow();

private:
    // The connections the shell makes for a preview of the print page (or of
    // an API job, which leaves out the test-page reply and the link losses).
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
};

void TestPrintJob::initTestCase()
{
    QVERIFY(TestSupport::loadPinnedFonts());
    QVERIFY(QDir::setCurrent(workDir.path()));
    QVERIFY(PrintRecord::initTable());
}

void TestPrintJob::init()
{
    programDir.reset(new TestSupport::TempProgramDir);
    toasts.reset(new TestSupport::ToastRecorder);
    Seams::setJobPauseMs(PAUSE_MS);
    TextUtil::PRINTER_DPI = DPI;
    PrinterUtil::s_protocolType = 0;
    printer.reset(new FakePrinter(FakePrinter::Transport::Tcp,
                                  {QStringLiteral("--sn"), QStringLiteral("KELO2020260001"),
                                   QStringLiteral("--notify-delay-ms"), QStringLiteral("50")}));
    QVERIFY(printer->isRunning());
    QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("tcpSocket")));
    QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("socket.ip"), QStringLiteral("127.0.0.1")));
    QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("socket.port"), QString::number(printer->port())));
    QVERIFY(JsonUtil::saveTemplate(boxLabel(), false));
    link.reset(new ComManager);
    QVERIFY(link->initSocketTcp());
    QVERIFY(printer->waitForConnected(true));
}

void TestPrintJob::cleanup()
{
    preview.reset();
    link.reset();
    printer.reset();
    toasts.reset();
    programDir.reset();
    Seams::resetAll();
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

void TestPrintJob::threeRowsPrintThreePagesWhereTheTemplatePutsThem()
{
    const qint64 before = PrintRecord::getTableDataCount();
    preview.reset(new PrintPreview(NAME, rows(3), nullptr));
    connectLikeTheShell(true);
    click("btn_print");
    QTRY_COMPARE_WITH_TIMEOUT(log().value(log().size() - 1), QStringLiteral("打印任务结束!"), 20000);

    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_PRINT, CMD_PRINT}));
    QCOMPARE(log(), QStringList({QStringLiteral("打印任务开始:所有页1-3"),
                                 QStringLiteral("打印机检测状态正常, 版本号:V2.1.0"),
                                 QStringLiteral("第1页打印开始..."), QStringLiteral("第1页打印成功!"),
                                 QStringLiteral("第2页打印开始..."), QStringLiteral("第2页打印成功!"),
                                 QStringLiteral("第3页打印开始..."), QStringLiteral("第3页打印成功!"),
                                 QStringLiteral("打印任务结束!")}));
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(3));
    QCOMPARE(PrintRecord::getDatacountGroupByTemplateName().value(0).first, NAME);

    // Type 2, half width, no offsets: the bottom row at mm2px(221 - 15), the
    // vertical placement 25 + 40 + 10 mm in the header.
    const QSize page(TextUtil::mm2px(40, DPI), TextUtil::mm2px(30, DPI));
    const int bottomRow = TextUtil::mm2px(221 - 15, DPI);
    const QRect codeArea = pxRect(4, 3, 16, 16);
    const QRect textArea = pxRect(4, 21, 32, 7);
    const QRect blankArea = pxRect(22, 2, 16, 17);
    const QList<QMap<QString, QVariant>> data = rows(3);
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
    QVERIFY(printer->set({{QStringLiteral("notifyDelayMs"), 400}}));
    const qint64 before = PrintRecord::getTableDataCount();
    preview.reset(new PrintPreview(NAME, rows(3), nullptr));
    connectLikeTheShell(true);
    click("btn_print");
    QVERIFY(printer->waitForRequests(2, 10000));
    click("btn_cancel");
    QTRY_COMPARE_WITH_TIMEOUT(log().value(log().size() - 1), QStringLiteral("打印取消!"), 10000);
    QVERIFY(log().contains(QStringLiteral("取消打印")));
    QTest::qWait(3 * PAUSE_MS);
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT}));
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(1));
    QVERIFY(!preview->isBusy());
}

void TestPrintJob::anEmergencyStopSendsTheStopAndNoMorePages()
{
    Seams::setJobPauseMs(500);
    preview.reset(new PrintPreview(NAME, rows(3), nullptr));
    connectLikeTheShell(true);
    click("btn_print");
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("第1页打印成功!")), 10000);
    click("btn_stop");
    QCOMPARE(log().last(), QStringLiteral("紧急终止打印"));
    QVERIFY(printer->waitForRequests(3, 5000));
    QTest::qWait(800);
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_STOP}));
    QVERIFY(!preview->isBusy());
}

void TestPrintJob::aLinkLostMidJobEndsIt()
{
    const qint64 before = PrintRecord::getTableDataCount();
    // The printer drops the line when the second page arrives.
    QVERIFY(printer->fault({{QStringLiteral("match"), CMD_PRINT}, {QStringLiteral("count"), 1}}));
    QVERIFY(printer->fault({{QStringLiteral("match"), CMD_PRINT}, {QStringLiteral("before"), QStringLiteral("close")}}));
    preview.reset(new PrintPreview(NAME, rows(3), nullptr));
    connectLikeTheShell(true);
    click("btn_print");
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("与打印机断开连接，请检查")), 10000);
    QVERIFY(!preview->isBusy());
    QTest::qWait(3 * PAUSE_MS);
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(1));
    click("btn_print");
    QCOMPARE(toasts->texts(), QStringList{QStringLiteral("未连接到打印机")});
}

void TestPrintJob::aStrayHandshakeDoesNotDoubleAPage()
{
    QVERIFY(printer->set({{QStringLiteral("notifyDelayMs"), 300}}));
    preview.reset(new PrintPreview(NAME, rows(3), nullptr));
    connectLikeTheShell(true);
    QSignalSpy handshakes(link.get(), &ComManager::onReceiveHandshake);
    click("btn_print");
    QVERIFY(printer->waitForRequests(2, 10000));
    // Page 1 is out; a handshake reply nobody here asked for arrives.
    QVERIFY(printer->reply(CMD_HANDSHAKE));
    QTRY_COMPARE_WITH_TIMEOUT(handshakes.count(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(log().value(log().size() - 1), QStringLiteral("打印任务结束!"), 20000);
    QTest::qWait(3 * PAUSE_MS);
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_PRINT, CMD_PRINT}));
}

void TestPrintJob::anApiJobClosesItsWindow()
{
    const qint64 before = PrintRecord::getTableDataCount();
    preview.reset(new PrintPreview(NAME, rows(2), nullptr));
    connectLikeTheShell(false);
    QSignalSpy closed(preview.get(), &PrintPreview::sigWidgetClosed);
    preview->show();
    QString code = QStringLiteral("00000");
    QVERIFY(preview->onApiPrint(code));
    QCOMPARE(code, QStringLiteral("00000"));
    QVERIFY(closed.wait(20000));
    QCOMPARE(log().last(), QStringLiteral("打印任务结束!"));
    QCOMPARE(PrintRecord::getTableDataCount() - before, qint64(2));
    QCOMPARE(commands(), QList<int>({CMD_HANDSHAKE, CMD_PRINT, CMD_PRINT}));
}

QTEST_MAIN(TestPrintJob)
#include "tst_printjob.moc"
