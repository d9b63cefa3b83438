// The help dialog's pages, decided from injected addresses and settings, and
// the hardware-version query against the stand-in printer on loopback
// answering at once, with an error, late or never.

#include "app/hardversionquery.h"
#include "app/helpdocdlg.h"
#include "app/helppage.h"
#include "printer/comanager.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/settingutil.h"

#include <QAbstractButton>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

constexpr int CMD_HARD_VERSION = 0x74;

} // namespace

class TestHelpDocDlg : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramDir> m_dir;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<ComManager> m_link;
    std::unique_ptr<HardVersionQuery> m_query;
    std::unique_ptr<QSignalSpy> m_ready;

    // Sends a version query to a printer that answers it by rule (a fault
    // rule of the stand-in printer) and waits until the query is ready.
    bool startQuery(QJsonObject rule)
    {
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp);
        rule.insert(QStringLiteral("match"), CMD_HARD_VERSION);
        if (!m_printer->isRunning() || !m_printer->linkTerminal()
            || !m_printer->set({{"masterVersion", "MC-7.0.1"}, {"motionVersion", "MOT-2"}}) || !m_printer->fault(rule))
            return false;
        m_link = std::make_unique<ComManager>();
        m_query = std::make_unique<HardVersionQuery>(m_link.get());
        m_ready = std::make_unique<QSignalSpy>(m_query.get(), &HardVersionQuery::ready);
        return m_query->start() && m_ready->wait(5000);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<TempProgramDir>();
        PrinterUtil::reset();
    }

    void cleanup()
    {
        m_ready.reset();
        m_query.reset();
        m_link.reset();
        m_printer.reset();
        Seams::resetAll();
        m_dir.reset();
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
        QTest::newRow("about") << int(HelpPage::ABOUT) << "关于我们" << QStringList{"Kelo <b>Labels</b>", "电话：010-1234"};
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
        ToastRecorder toast;
        QVERIFY(startQuery(reply));
        QCOMPARE(PrinterUtil::s_printerHardVersion.masterVersion, master);
        QCOMPARE(toast.texts(), toasts);
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
        QVERIFY(handshake.wait(5000));
        QCOMPARE(PrinterUtil::s_printerHardVersion.masterVersion, QStringLiteral("MC-7.0.1"));
    }

    void aRequestThatCannotBeWrittenAwaitsNothing()
    {
        quint16 deadPort = 0;
        {
            FakePrinter gone(FakePrinter::Transport::Tcp);
            QVERIFY(gone.isRunning() && gone.linkTerminal());
            deadPort = gone.port();
        }
        QVERIFY(deadPort != 0);
        ComManager link;
        HardVersionQuery query(&link);
        QSignalSpy ready(&query, &HardVersionQuery::ready);
        QVERIFY(!query.start());
        QVERIFY(!ready.wait(HardVersionQuery::REPLY_WAIT_MS + 300));
    }
};

QTEST_MAIN(TestHelpDocDlg)
#include "tst_helpdocdlg.moc"
