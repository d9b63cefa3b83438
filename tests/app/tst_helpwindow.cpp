// The help pop-up: its pages decided from injected addresses and settings,
// the hardware-version query, and the main window's help entries (firmware
// update, versions, API and about pages, user manual), against the stand-in
// printer on loopback.

#include "app/appupdate.h"
#include "app/hardversionquery.h"
#include "app/helpdocdlg.h"
#include "app/helppage.h"
#include "app/mainwindow.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "printer/comanager.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/settingutil.h"

#include <QAbstractButton>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

constexpr int CMD_HARD_VERSION = 0x74;
const QString BUSY = QStringLiteral("当前已打开弹窗, 不能再打开了");

QString helpText(const QWidget &page) { return child<QTextBrowser>(page, "text_help")->toPlainText(); }

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramDir> m_dir;
    std::unique_ptr<ToastRecorder> m_toasts;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<ComManager> m_link;
    std::unique_ptr<HardVersionQuery> m_query;
    std::unique_ptr<QSignalSpy> m_ready;
    QList<QUrl> m_opened;
    bool m_viewerPresent = true;

    void startPrinter()
    {
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp);
        QVERIFY(m_printer->isRunning() && m_printer->linkTerminal());
    }

    // A window whose link points at the printer; connected unless the
    // printer is gone before the window is built.
    std::unique_ptr<MainWindow> window(bool connected = true)
    {
        startPrinter();
        if (!connected)
            m_printer.reset();
        auto w = std::make_unique<MainWindow>();
        if (connected && !QTest::qWaitFor([&] {
                return child(*w, "lb_title_status")->toolTip() == QStringLiteral("打印机已连接");
            }, WAIT_MS))
            qWarning("the printer did not connect");
        m_toasts->clear();
        return w;
    }

    static void help(MainWindow &w, const char *entry) { child<QAbstractButton>(w, entry)->click(); }

    // Sends a version query to a printer that answers it by rule (a fault
    // rule of the stand-in printer) and waits until the query is ready.
    bool startQuery(QJsonObject rule)
    {
        startPrinter();
        rule.insert(QStringLiteral("match"), CMD_HARD_VERSION);
        if (!m_printer->set({{"masterVersion", "MC-7.0.1"}, {"motionVersion", "MOT-2"}}) || !m_printer->fault(rule))
            return false;
        m_link = std::make_unique<ComManager>();
        m_query = std::make_unique<HardVersionQuery>(m_link.get());
        m_ready = std::make_unique<QSignalSpy>(m_query.get(), &HardVersionQuery::ready);
        return m_query->start() && m_ready->wait(WAIT_MS);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestSupport::useOwnWorkingFolder());
        QVERIFY(PrintRecord::initTable());
    }

    void init()
    {
        m_dir = std::make_unique<TempProgramDir>();
        m_toasts = std::make_unique<ToastRecorder>();
        PrinterUtil::reset();
        m_opened.clear();
        m_viewerPresent = true;
        Seams::setUrlOpenerHandler([this](const QUrl &url) {
            m_opened.append(url);
            return m_viewerPresent;
        });
    }

    void cleanup()
    {
        m_ready.reset();
        m_query.reset();
        m_link.reset();
        m_printer.reset();
        m_toasts.reset();
        m_dir.reset();
        Seams::resetAll();
    }

    void apiPageShowsTheConfiguredServer_data()
    {
        QTest::addColumn<QStringList>("host");
        QTest::addColumn<QString>("configured");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("url");
        const QString any = QStringLiteral("Any");
        QTest::newRow("only loopback and IPv6") << QStringList{"127.0.0.1", "::1", "fe80::1"} << any << 58111
                                                << "URL：ws://:58111";
        QTest::newRow("the first of two IPv4") << QStringList{"127.0.0.1", "fe80::1", "192.0.2.10", "198.51.100.7"}
                                               << any << 58111 << "URL：ws://192.0.2.10:58111";
        QTest::newRow("no loopback of any kind") << QStringList{"127.0.1.1", "0.0.0.0", "198.51.100.7"} << any
                                                 << 58111 << "URL：ws://198.51.100.7:58111";
        QTest::newRow("configured port") << QStringList{"192.0.2.10"} << any << 9100 << "URL：ws://192.0.2.10:9100";
        QTest::newRow("configured address") << QStringList{"192.0.2.10"} << "203.0.113.5" << 58111
                                            << "URL：ws://203.0.113.5:58111";
        QTest::newRow("every IPv4 address") << QStringList{"192.0.2.10"} << "0.0.0.0" << 58111
                                            << "URL：ws://192.0.2.10:58111";
        QTest::newRow("IPv6 address") << QStringList{"192.0.2.10"} << "::1" << 58111 << "URL：ws://[::1]:58111";
    }

    void apiPageShowsTheConfiguredServer()
    {
        QFETCH(QStringList, host);
        QFETCH(QString, configured);
        QFETCH(int, port);
        QFETCH(QString, url);
        QList<QHostAddress> addresses;
        for (const QString &text : host)
            addresses.append(QHostAddress(text));
        const HelpPage page = HelpPage::api(addresses, configured, quint16(port));
        QCOMPARE(page.title, QStringLiteral("API接口"));
        QCOMPARE(page.paragraphs, QStringList({"\n", "\n", "接口类型：websocket", url}));
    }

    void pagesShowTheirText_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("lines");
        // Company lines are plain text.
        QTest::newRow("about") << int(HelpPage::ABOUT) << "关于我们"
                               << QStringList{"Kelo <b>Labels</b>", "电话：010-1234"};
        QTest::newRow("versions") << int(HelpPage::VERSIONS) << "硬件版本"
                                  << QStringList{"主控版本号：MC-1.2.3 ", "电控版本号：MOT-4.5.6 "};
        QTest::newRow("any other number") << 7 << "帮助文档" << QStringList();
    }

    void pagesShowTheirText()
    {
        QFETCH(int, page);
        QFETCH(QString, title);
        QFETCH(QStringList, lines);
        SettingUtil::s_companyInfo = QStringList{"Kelo <b>Labels</b>", "", "电话：010-1234", ""};
        PrinterUtil::s_printerHardVersion = {QStringLiteral("MC-1.2.3"), QStringLiteral("MOT-4.5.6")};
        LogCapture log;
        QPointer<HelpDocDlg> dialog = new HelpDocDlg(page);
        QCOMPARE(log.connectionWarnings(), QStringList());
        QCOMPARE(child<QLabel>(*dialog, "label")->text(), title);
        QCOMPARE(child<QTextBrowser>(*dialog, "text_help")->toPlainText().split('\n', Qt::SkipEmptyParts), lines);
        dialog->show();
        child<QAbstractButton>(*dialog, "btn_close")->click();
        QVERIFY(dialog->isHidden());
        QTRY_VERIFY(dialog.isNull());
    }

    void versionQuery_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QStringList>("toasts");
        QTest::newRow("answered") << QJsonObject{{"status", 0}} << "MC-7.0.1" << QStringList();
        QTest::newRow("refused") << QJsonObject{{"status", 3}} << "" << QStringList{"硬件版本号获取失败"};
        QTest::newRow("never answered") << QJsonObject{{"noReply", true}} << "" << QStringList();
    }

    void versionQuery()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(QString, master);
        QFETCH(QStringList, toasts);
        QVERIFY(startQuery(reply));
        // A reply later than the page's wait, on a busy machine, still counts.
        QTRY_COMPARE(PrinterUtil::s_printerHardVersion.masterVersion, master);
        QTRY_COMPARE(m_toasts->texts(), toasts);
        QCOMPARE(m_ready->count(), 1);
    }

    // A reply arriving after the wait is still taken in until the page
    // closes (finish), then no more.
    void aLateReplyCountsOnlyWhileThePageIsOpen()
    {
        QVERIFY(startQuery({{"noReply", true}}));
        QVERIFY(m_printer->reply(CMD_HARD_VERSION, 0));
        QTRY_COMPARE(PrinterUtil::s_printerHardVersion.masterVersion, QStringLiteral("MC-7.0.1"));
        QCOMPARE(m_ready->count(), 1);

        m_query->finish();
        QVERIFY(m_printer->set({{"masterVersion", "MC-9"}}));
        QVERIFY(m_printer->reply(CMD_HARD_VERSION, 0));
        // A handshake answered after that reply shows it has been read.
        QSignalSpy handshake(m_link.get(), &ComManager::onReceiveHandshake);
        QVERIFY(m_link->handshake());
        QVERIFY(handshake.wait(WAIT_MS));
        QCOMPARE(PrinterUtil::s_printerHardVersion.masterVersion, QStringLiteral("MC-7.0.1"));
    }

    void aRequestThatCannotBeWrittenAwaitsNothing()
    {
        // The link points at a printer that is gone.
        startPrinter();
        m_printer.reset();
        ComManager link;
        HardVersionQuery query(&link);
        QSignalSpy ready(&query, &HardVersionQuery::ready);
        QVERIFY(!query.start());
        QVERIFY(!ready.wait(HardVersionQuery::REPLY_WAIT_MS + 300));
    }

    void printerEntriesNeedAConnectedPrinter_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("firmware update") << "btn_nav_setting_4";
        QTest::newRow("hardware versions") << "btn_nav_setting_7";
        QTest::newRow("API page") << "btn_nav_setting_5";
    }

    void printerEntriesNeedAConnectedPrinter()
    {
        QFETCH(QString, entry);
        auto w = window(false);
        help(*w, entry.toLatin1());
        QCOMPARE(m_toasts->texts(), QStringList{QStringLiteral("打印机连接异常，请先检查打印机")});
        QVERIFY(!topLevel<AppUpdate>() && !topLevel<HelpDocDlg>());
    }

    // Each reply shows one notice, whichever opening connected it, and a
    // reply to a closed dialog still shows.
    void updateRepliesShowOnce()
    {
        auto w = window();
        const QString image = m_dir->file(QStringLiteral("/firmware.bin"));
        QVERIFY(writeFile(image, QByteArray(3000, '\x5A')));
        for (int opening = 0; opening < 3; ++opening) {
            help(*w, "btn_nav_setting_4");
            QPointer<AppUpdate> dialog = topLevel<AppUpdate>();
            QVERIFY(dialog);
            child<QLineEdit>(*dialog, "edit_filepath")->setText(image);
            // The printer is left alone until it has answered.
            if (opening == 1) {
                child<QAbstractButton>(*dialog, "btn_update")->click();
                QTRY_COMPARE(m_toasts->texts(), QStringList{QStringLiteral("升级成功")});
            }
            child<QAbstractButton>(*dialog, "btn_close")->click();
            QTRY_VERIFY(!dialog);
        }
        QTRY_COMPARE(m_toasts->texts(), QStringList{QStringLiteral("升级成功")});

        QVERIFY(m_printer->reply(0x81, 2));
        QTRY_COMPARE(m_toasts->texts().size(), 2);
        QCOMPARE(m_toasts->texts().last(), QStringLiteral("升级失败"));
        QCOMPARE(m_toasts->toasts().last().color, QStringLiteral("#FF0000"));
    }

    // A frame the link could not write, one the link went away under before
    // the printer answered, or one the printer never answers, lets the user
    // send again, says why, and leaves the printer free for other work.
    void anUnsentOrUnansweredUpdateCanBeSentAgain_data()
    {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("tip");
        QTest::newRow("printer gone") << "gone" << QStringLiteral("打印机连接异常，请先检查打印机");
        QTest::newRow("link lost before the answer") << "close" << QStringLiteral("与打印机断开连接，升级结果未知");
        QTest::newRow("no answer") << "silent" << QStringLiteral("打印机未应答，升级结果未知");
    }

    void anUnsentOrUnansweredUpdateCanBeSentAgain()
    {
        QFETCH(QString, printer);
        QFETCH(QString, tip);
        Seams::setFirmwareWaitMs(300);
        auto w = window();
        help(*w, "btn_nav_setting_4");
        QPointer<AppUpdate> dialog = topLevel<AppUpdate>();
        QVERIFY(dialog);
        const QString image = m_dir->file(QStringLiteral("/firmware.bin"));
        QVERIFY(writeFile(image, QByteArray(3000, '\x5A')));
        child<QLineEdit>(*dialog, "edit_filepath")->setText(image);
        if (printer == "gone") {
            m_printer.reset();
            QTRY_COMPARE(child(*w, "lb_title_status")->toolTip(), QStringLiteral("请确认连接后点击此处进行重连"));
        } else {
            QJsonObject rule{{"match", 0x80}, {"noReply", true}};
            if (printer == "close")
                rule.insert("then", "close");
            QVERIFY(m_printer->fault(rule));
        }
        child<QAbstractButton>(*dialog, "btn_update")->click();
        QTRY_COMPARE(m_toasts->texts(), QStringList{tip});
        QVERIFY(child<QAbstractButton>(*dialog, "btn_update")->isEnabled());
        QCOMPARE(w->printerTask(), MainWindow::PrinterTask::Idle);
    }

    void updateIsRefusedWhileAPrintPreviewIsOpen()
    {
        auto w = window();
        child<QAbstractButton>(*w, "btn_print")->click();
        QPointer<PrintPreview> preview = topLevel<PrintPreview>();
        QVERIFY(preview);
        help(*w, "btn_nav_setting_4");
        QCOMPARE(m_toasts->texts(), QStringList{BUSY});
        QVERIFY(!topLevel<AppUpdate>());
        preview->close();
        QTRY_VERIFY(!preview);
        help(*w, "btn_nav_setting_4");
        QVERIFY(topLevel<AppUpdate>());
    }

    void versionsPage()
    {
        auto w = window();
        help(*w, "btn_nav_setting_7");
        QVERIFY(child(*w, "frame_help_nav")->isHidden());
        QTRY_VERIFY(topLevel<HelpDocDlg>());
        QPointer<HelpDocDlg> page = topLevel<HelpDocDlg>();
        QCOMPARE(child<QLabel>(*page, "label")->text(), QStringLiteral("硬件版本"));
        QVERIFY(helpText(*page).contains(QStringLiteral("主控版本号：MC-1.2.3 ")));
        QVERIFY(page->isModal());
        child<QAbstractButton>(*page, "btn_close")->click();
        QTRY_VERIFY(!page);
        QVERIFY(m_toasts->texts().isEmpty());
    }

    void apiAndAboutPages_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("line");
        QTest::newRow("API page") << "btn_nav_setting_5" << true << "URL：ws://203.0.113.5:9100";
        QTest::newRow("about page without a printer") << "btn_nav_setting_6" << false << "service@example.com";
    }

    void apiAndAboutPages()
    {
        QFETCH(QString, entry);
        QFETCH(bool, connected);
        QFETCH(QString, line);
        SettingUtil::s_companyInfo = QStringList{QStringLiteral("service@example.com"), QString(), QString(), QString()};
        auto w = window(connected);
        JsonUtil::setCustomConfig(QStringLiteral("api.address"), QStringLiteral("203.0.113.5"));
        JsonUtil::setCustomConfig(QStringLiteral("api.port"), QStringLiteral("9100"));
        help(*w, entry.toLatin1());
        QPointer<HelpDocDlg> page = topLevel<HelpDocDlg>();
        QVERIFY(page);
        QVERIFY(helpText(*page).contains(line));
        page->close();
        QTRY_VERIFY(!page);
    }

    void userManual_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<QStringList>("toasts");
        QTest::newRow("opened") << true << true << QStringList();
        QTest::newRow("missing") << false << true << QStringList{"文档丢失，请联系我们"};
        QTest::newRow("no viewer") << true << false << QStringList{"文档无法打开，请安装PDF阅读器"};
    }

    void userManual()
    {
        QFETCH(bool, present);
        QFETCH(bool, viewer);
        QFETCH(QStringList, toasts);
        auto w = window(false);
        const QString manual = m_dir->file(QStringLiteral("/Tarnwick用户手册.pdf"));
        if (present)
            QVERIFY(writeFile(manual, "%PDF-1.4\n"));
        m_viewerPresent = viewer;
        help(*w, "btn_nav_setting_1");
        QCOMPARE(m_toasts->texts(), toasts);
        QCOMPARE(m_opened, present ? QList<QUrl>{QUrl::fromLocalFile(manual)} : QList<QUrl>());
        QCOMPARE(m_opened.value(0).scheme(), present ? QStringLiteral("file") : QString());
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
