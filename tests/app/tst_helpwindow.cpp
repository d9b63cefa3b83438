// The help pop-up of the main window against the stand-in printer on
// loopback: firmware update, hardware versions, the API and about pages and
// the user manual.

#include "app/appupdate.h"
#include "app/helpdocdlg.h"
#include "app/mainwindow.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/settingutil.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

const QString BUSY = QStringLiteral("当前已打开弹窗, 不能再打开了");

QString helpText(const QWidget &page) { return child<QTextBrowser>(page, "text_help")->toPlainText(); }

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_workDir;
    std::unique_ptr<TempProgramDir> m_dir;
    std::unique_ptr<ToastRecorder> m_toasts;
    std::unique_ptr<FakePrinter> m_printer;
    QList<QUrl> m_opened;
    bool m_viewerPresent = true;

    // A window whose link points at the printer; connected unless the
    // printer is gone before the window is built.
    std::unique_ptr<MainWindow> window(bool connected = true)
    {
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp);
        m_printer->linkTerminal();
        if (!connected)
            m_printer.reset();
        auto w = std::make_unique<MainWindow>();
        if (connected && !QTest::qWaitFor([&] {
                return child(*w, "lb_title_status")->toolTip() == QStringLiteral("打印机已连接");
            }))
            qWarning("the printer did not connect");
        m_toasts->clear();
        return w;
    }

    static void help(MainWindow &w, const char *entry) { child<QAbstractButton>(w, entry)->click(); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_workDir.path()));
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
        m_printer.reset();
        m_toasts.reset();
        m_dir.reset();
        Seams::resetAll();
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
            if (opening == 1)
                child<QAbstractButton>(*dialog, "btn_update")->click();
            child<QAbstractButton>(*dialog, "btn_close")->click();
            QTRY_VERIFY(!dialog);
        }
        QTRY_COMPARE(m_toasts->texts(), QStringList{QStringLiteral("升级成功")});

        QVERIFY(m_printer->reply(0x81, 2));
        QTRY_COMPARE(m_toasts->texts().size(), 2);
        QCOMPARE(m_toasts->texts().last(), QStringLiteral("升级失败"));
        QCOMPARE(m_toasts->toasts().last().color, QStringLiteral("#FF0000"));
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
