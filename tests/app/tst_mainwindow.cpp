#include "app/mainwindow.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/settingutil.h"
#include "util/textutil.h"

#include <QAbstractButton>
#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QDate>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QtTest>

#include <memory>

using TestSupport::LogCapture;
using TestSupport::TempProgramDir;
using TestSupport::ToastRecorder;
using TestSupport::child;

namespace {

struct Prompt {
    bool asked = false;
    QLineEdit::EchoMode mode = QLineEdit::Normal;
    QString answer;
    bool accept = true;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramDir> m_dir;
    Prompt m_prompt;

    std::unique_ptr<MainWindow> build()
    {
        return std::make_unique<MainWindow>();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<TempProgramDir>();
        m_prompt = Prompt();
        Seams::setInputHandler([this](QWidget *, const QString &, const QString &, QLineEdit::EchoMode mode, bool *ok) {
            m_prompt.asked = true;
            m_prompt.mode = mode;
            *ok = m_prompt.accept;
            return m_prompt.answer;
        });
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
        SettingUtil::s_isConfiged = false;
        SettingUtil::s_appFullName = QStringLiteral("VEMR系列 ");
    }

    void cleanup()
    {
        Seams::resetAll();
        m_dir.reset();
    }

    // Every slot named after a widget finds its signal and every connection
    // of the form holds: a renamed widget fails here, not silently.
    void buildsWithoutConnectionWarnings()
    {
        LogCapture log;
        ToastRecorder toasts;
        auto window = build();
        const QStringList all = log.messages(QtWarningMsg) + log.messages(QtCriticalMsg) + log.messages(QtDebugMsg);
        for (const QString &message : all) {
            // Qt's own tray looks for a tray window through a signal the
            // offscreen platform does not have; that connection is not ours.
            if (message.contains(QLatin1String("systemTrayWindowChanged")))
                continue;
            QVERIFY2(!message.contains(QLatin1String("connectSlotsByName")), qPrintable(message));
            QVERIFY2(!message.contains(QLatin1String("QObject::connect")), qPrintable(message));
        }
        QVERIFY(log.contains(QStringLiteral("VEMR系列 v2.4.0")));
        QCOMPARE(child<QLabel>(*window, QStringLiteral("label_pro_info"))->text(), QStringLiteral("VEMR系列 v2.4.0"));
        QCOMPARE(child<QStackedWidget>(*window, QStringLiteral("stackedWidget"))->currentWidget()->objectName(),
                 QStringLiteral("page_home"));
        QVERIFY(child<QAbstractButton>(*window, QStringLiteral("btn_nav_home"))->isChecked());
        QVERIFY(child(*window, QStringLiteral("frame_help_nav"))->isHidden());
        QVERIFY(child(*window, QStringLiteral("widget_ink_num"))->isHidden());
        QVERIFY(child(*window, QStringLiteral("frame_printer_type"))->isHidden());
        // Branding off: no title, and no about page to show.
        QVERIFY(child<QLabel>(*window, QStringLiteral("label_title"))->text().isEmpty());
        QVERIFY(child(*window, QStringLiteral("btn_nav_setting_6"))->isHidden());
        QVERIFY(qApp->styleSheet().contains(QLatin1String("#ECEFF4")));
        QVERIFY(toasts.toasts().isEmpty());
    }

    void formProperties_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *widget, const char *property, const QVariant &expected) {
            QTest::addRow("%s.%s", widget, property) << QString::fromLatin1(widget) << QByteArray(property) << expected;
        };
        row("spinbox_offset_x", "minimum", -5.0);
        row("spinbox_offset_x", "maximum", 4.0);
        row("spinbox_offset_x", "singleStep", 0.01);
        row("spinbox_offset_x", "decimals", 2);
        row("spinbox_offset_x", "suffix", QStringLiteral("mm"));
        row("spinbox_offset_y", "minimum", -5.0);
        row("spinbox_offset_y", "maximum", 5.0);
        row("spinbox_offset_y", "singleStep", 0.01);
        row("spinbox_print_voltage", "value", 12.0);
        row("spinbox_print_voltage", "singleStep", 0.2);
        row("spinbox_print_voltage", "maximum", 25.5);
        row("spinbox_print_voltage", "decimals", 1);
        row("spinbox_print_voltage", "suffix", QStringLiteral("V"));
        row("edit_ip1", "maxLength", 3);
        row("edit_ip4", "maxLength", 3);
        row("edit_mask1", "maxLength", 3);
        row("edit_mask4", "maxLength", 3);
        row("edit_gateway1", "maxLength", 32767);
        row("edit_network_port", "maxLength", 32767);
        row("line_edit_print_version", "maxLength", 32);
        row("line_edit_print_sn", "maxLength", 18);
        row("edit_ip1", "frame", false);
        row("edit_ip4", "frame", true);
        row("edt_template_name", "placeholderText", QStringLiteral("搜索"));
        row("search_print", "placeholderText", QStringLiteral("搜索"));
        row("comboBox_printerType", "count", 3);
        row("cmb_template_list", "count", 7);
        row("comboBox_print_pwm", "currentText", QStringLiteral("1.6"));
        row("btn_nav_home", "text", QStringLiteral("    首      页"));
        row("btn_nav_setting_4", "text", QStringLiteral("  程序升级 "));
        row("btn_nav_setting_5", "text", QStringLiteral("  API接口  "));
        row("btn_nav_help", "text", QStringLiteral("   帮助"));
        row("setting_widget_turn", "currentIndex", 0);
    }

    void formProperties()
    {
        QFETCH(QString, widget);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        auto window = build();
        const QVariant actual = child(*window, widget)->property(property.constData());
        QVERIFY2(actual.isValid(), property.constData());
        if (expected.type() == QVariant::Double)
            QVERIFY2(qFuzzyCompare(actual.toDouble(), expected.toDouble()), qPrintable(actual.toString()));
        else
            QCOMPARE(actual, expected);
    }

    void returnClicksSearch_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("button");
        QTest::newRow("templates") << QStringLiteral("edt_template_name") << QStringLiteral("btn_temp_search");
        QTest::newRow("print") << QStringLiteral("search_print") << QStringLiteral("btn_search");
    }

    void returnClicksSearch()
    {
        QFETCH(QString, edit);
        QFETCH(QString, button);
        auto window = build();
        QSignalSpy clicked(child<QAbstractButton>(*window, button), &QAbstractButton::clicked);
        QTest::keyClick(child(*window, edit), Qt::Key_Return);
        QCOMPARE(clicked.count(), 1);
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("page");
        QTest::newRow("templates") << QStringLiteral("btn_nav_template") << QStringLiteral("page_template");
        QTest::newRow("print") << QStringLiteral("btn_nav_print") << QStringLiteral("page_print");
        QTest::newRow("settings") << QStringLiteral("btn_nav_setting") << QStringLiteral("page_setting");
        QTest::newRow("home") << QStringLiteral("btn_nav_home") << QStringLiteral("page_home");
    }

    void navigation()
    {
        QFETCH(QString, button);
        QFETCH(QString, page);
        auto window = build();
        child<QAbstractButton>(*window, QStringLiteral("btn_nav_setting"))->click();
        child<QAbstractButton>(*window, button)->click();
        QCOMPARE(child<QStackedWidget>(*window, QStringLiteral("stackedWidget"))->currentWidget()->objectName(), page);
        QStringList checked;
        for (const char *name : {"btn_nav_home", "btn_nav_template", "btn_nav_print", "btn_nav_setting"}) {
            if (child<QAbstractButton>(*window, QLatin1String(name))->isChecked())
                checked << QLatin1String(name);
        }
        QCOMPARE(checked, QStringList{button});
    }

    void titleStripAndHelpPopUp()
    {
        auto window = build();
        window->showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QWidget *popUp = child(*window, QStringLiteral("frame_help_nav"));
        child<QAbstractButton>(*window, QStringLiteral("btn_nav_help"))->click();
        QVERIFY(popUp->isVisible());
        // A right press anywhere the children leave to the window closes it
        // and starts no drag.
        QWidget *strip = child(*window, QStringLiteral("widget_top"));
        const QPoint before = window->pos();
        QTest::mousePress(strip, Qt::RightButton, {}, QPoint(40, 20));
        QTest::mouseMove(strip, QPoint(90, 30));
        QVERIFY(popUp->isHidden());
        QCOMPARE(window->pos(), before);

        QTest::mouseDClick(child(*window, QStringLiteral("page_home")), Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(!window->isMaximized());
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(window->isMaximized());
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(!window->isMaximized());
    }

    void trayMenu()
    {
        auto window = build();
        window->show();
        auto *tray = window->findChild<QSystemTrayIcon *>();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("Tarnwick"));
        QVERIFY(!tray->icon().isNull());
        QStringList entries;
        for (QAction *action : tray->contextMenu()->actions()) {
            if (!action->isSeparator())
                entries << action->text();
        }
        QCOMPARE(entries, (QStringList{QStringLiteral("最小化"), QStringLiteral("恢复"), QStringLiteral("退出")}));

        tray->contextMenu()->actions().first()->trigger();
        QVERIFY(window->isHidden());
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(window->isHidden());
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window->isVisible());

        QStringList questions;
        Seams::setQuestionHandler([&](QWidget *, const QString &title, const QString &text) {
            questions << title + QLatin1Char('|') + text;
            return false;
        });
        tray->contextMenu()->actions().last()->trigger();
        QCOMPARE(questions, QStringList{QStringLiteral("提示|是否退出程序")});
        QVERIFY(window->isVisible());
    }

    void adminLogin_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("adminMode");
        QTest::addColumn<QString>("stored");
        const QString today = QStringLiteral("kelo") + QDate::currentDate().toString(QStringLiteral("yyMMdd"));
        QTest::newRow("right") << "true" << today << true << true << "true";
        QTest::newRow("wrong") << "true" << today.toUpper() << true << false << "false";
        QTest::newRow("yesterday") << "true"
                                   << QStringLiteral("kelo") + QDate::currentDate().addDays(-1).toString("yyMMdd")
                                   << true << false << "false";
        QTest::newRow("cancelled") << "true" << today << false << false << "false";
        QTest::newRow("not configured") << "false" << today << true << false << "false";
    }

    void adminLogin()
    {
        QFETCH(QString, configured);
        QFETCH(QString, typed);
        QFETCH(bool, accept);
        QFETCH(bool, adminMode);
        QFETCH(QString, stored);
        JsonUtil::setCustomConfig(QStringLiteral("admin.feature"), configured);
        m_prompt.answer = typed;
        m_prompt.accept = accept;
        LogCapture log;
        ToastRecorder toasts;
        auto window = build();
        QCOMPARE(m_prompt.asked, configured == QLatin1String("true"));
        QCOMPARE(m_prompt.mode, m_prompt.asked ? QLineEdit::Password : QLineEdit::Normal);
        QCOMPARE(window->isAdminMode(), adminMode);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("admin.feature"), QString()), stored);
        QCOMPARE(toasts.texts(), adminMode ? QStringList{QStringLiteral("管理员登录成功")} : QStringList());
        QVERIFY(!log.contains(typed));
        for (const char *name : {"radio_reset", "radio_unreset", "spinbox_offset_x", "spinbox_offset_y", "label_x_offset",
                                 "label_y_offset", "label_pos_reset", "btn_admin_set"})
            QCOMPARE(child(*window, QLatin1String(name))->isHidden(), !adminMode);

        // Later starts keep what the login left.
        window.reset();
        m_prompt.asked = false;
        window = build();
        QCOMPARE(m_prompt.asked, adminMode);
    }

    void resolutions_data()
    {
        QTest::addColumn<QSizeF>("screenMm");
        QTest::addColumn<QString>("printerDpi");
        QTest::addColumn<float>("screenDpi");
        QTest::addColumn<float>("expectedPrinterDpi");
        QTest::addColumn<QString>("storedPrinterDpi");
        QTest::newRow("measured") << QSizeF(508, 285.75) << "600" << 96.0f << 600.0f << "600";
        QTest::newRow("hi-dpi") << QSizeF(254, 143) << "" << 192.0f << 300.0f << "300";
        QTest::newRow("no millimetres") << QSizeF(0, 0) << "abc" << 96.0f << 300.0f << "abc";
        QTest::newRow("absurd millimetres") << QSizeF(10, 5) << "300" << 96.0f << 300.0f << "300";
    }

    void resolutions()
    {
        QFETCH(QSizeF, screenMm);
        QFETCH(QString, printerDpi);
        QFETCH(float, screenDpi);
        QFETCH(float, expectedPrinterDpi);
        QFETCH(QString, storedPrinterDpi);
        Seams::setScreenHandler([screenMm] { return Seams::ScreenSize{QSize(1920, 1080), screenMm}; });
        if (!printerDpi.isEmpty())
            JsonUtil::setCustomConfig(QStringLiteral("printer.dpi"), printerDpi);
        LogCapture log;
        auto window = build();
        QCOMPARE(TextUtil::SCREEN_DPI, screenDpi);
        QCOMPARE(TextUtil::PRINTER_DPI, expectedPrinterDpi);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("printer.dpi"), QString()), storedPrinterDpi);
        QCOMPARE(log.contains(QStringLiteral("using 96")), screenMm.width() <= 10);
    }

    void brandingLogo_data()
    {
        QTest::addColumn<QByteArray>("logoBytes");
        QTest::addColumn<QString>("toast");
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        QTest::newRow("picture") << png << QString();
        QTest::newRow("missing") << QByteArray() << QStringLiteral("缺少logo文件");
        QTest::newRow("not a picture") << QByteArray("text") << QStringLiteral("logo文件损坏");
    }

    void brandingLogo()
    {
        QFETCH(QByteArray, logoBytes);
        QFETCH(QString, toast);
        SettingUtil::s_isConfiged = true;
        SettingUtil::s_appTitle = QStringLiteral("档案打印");
        SettingUtil::s_logoPath = m_dir->file(QStringLiteral("/logo.png"));
        if (!logoBytes.isEmpty())
            QVERIFY(TestSupport::writeFile(SettingUtil::s_logoPath, logoBytes));
        ToastRecorder toasts;
        auto window = build();
        auto *logo = child<QLabel>(*window, QStringLiteral("label_logo"));
        QCOMPARE(toasts.texts(), toast.isEmpty() ? QStringList() : QStringList{toast});
        QCOMPARE(logo->isHidden(), !toast.isEmpty());
        if (toast.isEmpty())
            QCOMPARE(logo->pixmap(Qt::ReturnByValue).size(), QSize(37, 37));
        QCOMPARE(child<QLabel>(*window, QStringLiteral("label_title"))->text(), SettingUtil::s_appTitle);
        QVERIFY(!child(*window, QStringLiteral("btn_nav_setting_6"))->isHidden());
    }

    // Every picture the form and the style sheets name is in the resources.
    void namedPicturesExist()
    {
        QString text;
        for (const char *file : {"/app/mainwindow.ui", "/resources/qss/normalstyle.css", "/resources/qss/helpdialog.css"})
            text += QString::fromUtf8(TestSupport::readFile(QLatin1String(KELO_SOURCE_DIR) + QLatin1String(file)));
        const QRegularExpression picture(QStringLiteral("(:/resources/icon/[^)<\"\\s]+)"));
        QStringList missing;
        int named = 0;
        for (auto match = picture.globalMatch(text); match.hasNext(); ++named) {
            const QString path = match.next().captured(1);
            if (QImage(path).isNull())
                missing << path;
        }
        QVERIFY(named > 30);
        QCOMPARE(missing, QStringList());
        QVERIFY(!QImage(QStringLiteral(":/resources/icon/logo.ico")).isNull());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
