// The main window on a fresh program folder: its form's limits, title strip,
// navigation and tray, the administrator login, the resolutions it settles
// on, the branding it shows and the pictures it names.

#include "app/mainwindow.h"
#include "support/terminalfixture.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/settingutil.h"
#include "util/textutil.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QtTest>

using TestSupport::TerminalFixture;

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TerminalFixture> t;

private slots:
    void init()
    {
        t = std::make_unique<TerminalFixture>();
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
        SettingUtil::s_isConfiged = false;
        SettingUtil::s_appFullName = QStringLiteral("VEMR系列 ");
    }

    // Every slot named after a widget finds its signal and every connection
    // holds (checked after each test): a renamed widget fails, not silently.
    void cleanup()
    {
        const QStringList warnings = t->connectionWarnings();
        t.reset();
        QCOMPARE(warnings, QStringList());
    }

    // The form's ranges, steps and lengths; the voltage's byte holds no
    // more than 25.5 V.
    void formLimits_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QVariantMap>("properties");
        QTest::newRow("X") << "spinbox_offset_x"
                           << QVariantMap{{"minimum", -5.0}, {"maximum", 4.0}, {"singleStep", 0.01}, {"decimals", 2}};
        QTest::newRow("Y") << "spinbox_offset_y"
                           << QVariantMap{{"minimum", -5.0}, {"maximum", 5.0}, {"singleStep", 0.01}};
        QTest::newRow("voltage") << "spinbox_print_voltage" << QVariantMap{{"value", 12.0}, {"maximum", 25.5},
                                                                           {"singleStep", 0.2}, {"decimals", 1}};
        QTest::newRow("address") << "edit_ip1" << QVariantMap{{"maxLength", 3}};
        QTest::newRow("version") << "line_edit_print_version" << QVariantMap{{"maxLength", 32}};
        QTest::newRow("serial number") << "line_edit_print_sn" << QVariantMap{{"maxLength", 18}};
    }

    void formLimits()
    {
        QFETCH(QString, widget);
        QFETCH(QVariantMap, properties);
        t->open();
        for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
            const QVariant actual = t->widget(widget)->property(it.key().toLatin1());
            QVERIFY2(it.value().type() == QVariant::Double ? qFuzzyCompare(actual.toDouble(), it.value().toDouble())
                                                           : actual == it.value(),
                     qPrintable(it.key() + ": " + actual.toString()));
        }
    }

    void returnClicksSearch()
    {
        t->open();
        const QList<QPair<QString, QString>> searches{{"edt_template_name", "btn_temp_search"},
                                                      {"search_print", "btn_search"}};
        for (const auto &search : searches) {
            QSignalSpy clicked(t->widget<QAbstractButton>(search.second), &QAbstractButton::clicked);
            QTest::keyClick(t->widget(search.first), Qt::Key_Return);
            QCOMPARE(clicked.count(), 1);
        }
    }

    // A right press the children leave to the window closes the help pop-up
    // and starts no drag; a double click on the title strip (only there)
    // maximizes and restores.
    void titleStripAndHelpPopUp()
    {
        MainWindow &window = t->open();
        window.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget *popUp = t->widget("frame_help_nav");
        t->click("btn_nav_help");
        QVERIFY(popUp->isVisible());
        QWidget *strip = t->widget("widget_top");
        const QPoint before = window.pos();
        QTest::mousePress(strip, Qt::RightButton, {}, QPoint(40, 20));
        QTest::mouseMove(strip, QPoint(90, 30));
        QVERIFY(popUp->isHidden());
        QCOMPARE(window.pos(), before);
        QTest::mouseDClick(t->widget("page_home"), Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(!window.isMaximized());
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(window.isMaximized());
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(!window.isMaximized());
    }

    // It starts styled, on the home page, without printer widgets; each
    // navigation button shows its page and is the only one checked.
    void startsHomeAndNavigates()
    {
        t->open();
        QCOMPARE(t->widget<QLabel>("label_pro_info")->text(), QStringLiteral("VEMR系列 v2.4.0"));
        QVERIFY(qApp->styleSheet().contains(QLatin1String("#ECEFF4")));
        for (const char *hidden : {"frame_help_nav", "widget_ink_num", "frame_printer_type"})
            QVERIFY2(t->widget(hidden)->isHidden(), hidden);
        const auto page = [this] { return t->widget<QStackedWidget>("stackedWidget")->currentWidget()->objectName(); };
        QCOMPARE(page(), QStringLiteral("page_home"));
        const QStringList buttons{"btn_nav_setting", "btn_nav_template", "btn_nav_print", "btn_nav_home"};
        for (const QString &button : buttons) {
            t->click(button);
            QCOMPARE(page(), QString(button).replace(QLatin1String("btn_nav"), QLatin1String("page")));
            for (const QString &other : buttons)
                QCOMPARE(t->widget<QAbstractButton>(other)->isChecked(), other == button);
        }
    }

    // Minimize hides, only a double click restores, quitting asks first.
    void trayMenu()
    {
        MainWindow &window = t->open();
        window.show();
        auto *tray = window.findChild<QSystemTrayIcon *>();
        QVERIFY(tray && !tray->icon().isNull());
        const QList<QAction *> actions = tray->contextMenu()->actions();
        QCOMPARE(actions.first()->text(), QStringLiteral("最小化"));
        actions.first()->trigger();
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(window.isHidden());
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window.isVisible());
        QStringList questions;
        Seams::setQuestionHandler([&](QWidget *, const QString &title, const QString &text) {
            questions << title + QLatin1Char('|') + text;
            return false;
        });
        QCOMPARE(actions.last()->text(), QStringLiteral("退出"));
        actions.last()->trigger();
        QCOMPARE(questions, QStringList{QStringLiteral("提示|是否退出程序")});
        QVERIFY(window.isVisible());
    }

    void adminLogin_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("adminMode");
        // The day's password, the clock being at 2024-12-31 23:59:59.
        const QString today = QStringLiteral("kelo241231");
        QTest::newRow("right") << "true" << today << true << true;
        QTest::newRow("wrong") << "true" << today.toUpper() << true << false;
        QTest::newRow("yesterday") << "true" << "kelo241230" << true << false;
        QTest::newRow("cancelled") << "true" << today << false << false;
        QTest::newRow("not configured") << "false" << today << true << false;
    }

    void adminLogin()
    {
        QFETCH(QString, configured);
        QFETCH(QString, typed);
        QFETCH(bool, accept);
        QFETCH(bool, adminMode);
        Seams::setClockHandler([] { return QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)); });
        JsonUtil::setCustomConfig(QStringLiteral("admin.feature"), configured);
        QList<QLineEdit::EchoMode> prompts;
        Seams::setInputHandler([&](QWidget *, const QString &, const QString &, QLineEdit::EchoMode echo, bool *ok) {
            prompts << echo;
            *ok = accept;
            return typed;
        });
        QCOMPARE(t->open().isAdminMode(), adminMode);
        const QList<QLineEdit::EchoMode> masked{QLineEdit::Password};
        QCOMPARE(prompts, configured == QLatin1String("true") ? masked : QList<QLineEdit::EchoMode>());
        const QString stored = JsonUtil::getCustomConfig(QStringLiteral("admin.feature"), QString());
        QCOMPARE(stored, QLatin1String(adminMode ? "true" : "false"));
        QCOMPARE(t->toasts.texts(), adminMode ? QStringList{QStringLiteral("管理员登录成功")} : QStringList());
        QVERIFY(!t->log.contains(typed));
        for (const char *name : {"radio_reset", "radio_unreset", "spinbox_offset_x", "spinbox_offset_y",
                                 "label_x_offset", "label_y_offset", "label_pos_reset", "btn_admin_set"})
            QCOMPARE(t->widget(name)->isHidden(), !adminMode);
        // Later starts keep what the login left.
        t->window.reset();
        prompts.clear();
        t->open();
        QCOMPARE(prompts.isEmpty(), !adminMode);
    }

    // A screen that reports no size, or an absurd one, gives 96 dpi; a
    // printer resolution that is no number gives 300 and is left stored.
    void resolutions_data()
    {
        QTest::addColumn<QSizeF>("screenMm");
        QTest::addColumn<QString>("printerDpi");
        QTest::addColumn<float>("screenDpi");
        QTest::addColumn<float>("printerDpiUsed");
        QTest::newRow("measured") << QSizeF(508, 285.75) << "600" << 96.0f << 600.0f;
        QTest::newRow("hi-dpi") << QSizeF(254, 143) << "" << 192.0f << 300.0f;
        QTest::newRow("no millimetres") << QSizeF(0, 0) << "abc" << 96.0f << 300.0f;
        QTest::newRow("absurd millimetres") << QSizeF(10, 5) << "300" << 96.0f << 300.0f;
    }

    void resolutions()
    {
        QFETCH(QSizeF, screenMm);
        QFETCH(QString, printerDpi);
        Seams::setScreenHandler([screenMm] { return Seams::ScreenSize{QSize(1920, 1080), screenMm}; });
        if (!printerDpi.isEmpty())
            JsonUtil::setCustomConfig(QStringLiteral("printer.dpi"), printerDpi);
        t->open();
        QTEST(TextUtil::SCREEN_DPI, "screenDpi");
        QTEST(TextUtil::PRINTER_DPI, "printerDpiUsed");
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("printer.dpi"), QString()),
                 printerDpi.isEmpty() ? QStringLiteral("300") : printerDpi);
        QCOMPARE(t->log.contains(QStringLiteral("using 96")), screenMm.width() <= 10);
    }

    // A logo that is missing or no picture is told and left out; without
    // branding there is no title and no about page to show.
    void branding_data()
    {
        QTest::addColumn<bool>("configured");
        QTest::addColumn<QByteArray>("logo");
        QTest::addColumn<QString>("toast");
        const QByteArray png = TestSupport::readFile(QStringLiteral(":/resources/icon/status_connected.png"));
        QTest::newRow("off") << false << QByteArray() << QString();
        QTest::newRow("picture") << true << png << QString();
        QTest::newRow("missing") << true << QByteArray() << QStringLiteral("缺少logo文件");
        QTest::newRow("not a picture") << true << QByteArray("text") << QStringLiteral("logo文件损坏");
    }

    void branding()
    {
        QFETCH(bool, configured);
        QFETCH(QByteArray, logo);
        QFETCH(QString, toast);
        SettingUtil::s_isConfiged = configured;
        SettingUtil::s_appTitle = QStringLiteral("档案打印");
        SettingUtil::s_logoPath = t->dir.file(QStringLiteral("/logo.png"));
        QVERIFY(logo.isEmpty() || TestSupport::writeFile(SettingUtil::s_logoPath, logo));
        t->open();
        QCOMPARE(t->toasts.texts(), toast.isEmpty() ? QStringList() : QStringList{toast});
        QCOMPARE(t->widget<QLabel>("label_title")->text(), configured ? SettingUtil::s_appTitle : QString());
        QCOMPARE(t->widget("btn_nav_setting_6")->isHidden(), !configured);
        if (configured)
            QCOMPARE(t->widget("label_logo")->isHidden(), !toast.isEmpty());
        if (configured && toast.isEmpty())
            QCOMPARE(t->widget<QLabel>("label_logo")->pixmap(Qt::ReturnByValue).size(), QSize(37, 37));
    }

    // Every picture the form and the style sheets name is in the resources.
    void namedPicturesExist()
    {
        QString text;
        for (const char *file : {"app/mainwindow.ui", "resources/qss/normalstyle.css", "resources/qss/helpdialog.css"})
            text += QString::fromUtf8(TestSupport::readFile(QLatin1String(KELO_SOURCE_DIR "/") + QLatin1String(file)));
        QStringList named{QStringLiteral(":/resources/icon/logo.ico")}, missing;
        const QRegularExpression picture(QStringLiteral("(:/resources/icon/[^)<\"\\s]+)"));
        for (auto match = picture.globalMatch(text); match.hasNext();)
            named << match.next().captured(1);
        for (const QString &path : named) {
            if (QImage(path).isNull())
                missing << path;
        }
        QVERIFY(named.size() > 30);
        QCOMPARE(missing, QStringList());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
