// The settings pages against the fake printer: print parameters and the
// maintenance commands, the printer's network settings and the
// configuration page. Frames are compared byte for byte with ones written
// out from the frame tables.

#include "app/mainwindow.h"
#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "support/terminalfixture.h"
#include "util/fontfamilies.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using TestSupport::FakePrinter;
using TestSupport::TerminalFixture;
using TestSupport::columnTexts;

namespace {

const QString OK_TOAST = QStringLiteral("成功");

} // namespace

class TestSettingsPages : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TerminalFixture> t;

    // A window linked over TCP to a fake printer holding these settings,
    // once it has read them; the printer's record cleared.
    bool readWindow(const QJsonObject &printerSettings, quint32 remainDots = 5000000)
    {
        t->link();
        return (printerSettings.isEmpty() || t->printer->set(printerSettings)) && t->waitUntilRead(remainDots)
               && t->printer->clear();
    }

    // A window whose link is the fake printer's pseudo-terminal, named
    // ttyUSB1 among the other devices listed, once it has read the ink box.
    bool serialWindow(const QList<Seams::SerialPortEntry> &others)
    {
        t->printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Pty);
        QList<Seams::SerialPortEntry> ports = others;
        ports.append({QStringLiteral("ttyUSB1"), t->printer->ptyPath()});
        Seams::setSerialPortListHandler([ports] { return ports; });
        JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("serialPort"));
        JsonUtil::setCustomConfig(QStringLiteral("com.port"), QStringLiteral("ttyUSB1"));
        FakePrinter::serveApiOnFreePort();
        t->open();
        return QTest::qWaitFor([] { return PrinterUtil::s_printerSys.remainDots == 5000000; }, TestSupport::WAIT_MS);
    }

    QByteArray lastFrame(int command)
    {
        QByteArray bytes;
        for (const FakePrinter::Request &r : t->printer->requests(true)) {
            if (r.command == command)
                bytes = r.bytes;
        }
        return bytes.toHex();
    }

    static QByteArray frame(int command, const QString &payload)
    {
        const QByteArray bytes = QByteArray::fromHex(payload.toLatin1());
        return payload.isEmpty() ? QByteArray() : FakePrinter::frame(command, bytes).toHex();
    }

private slots:
    void init() { t = std::make_unique<TerminalFixture>(); }

    void cleanup()
    {
        const QStringList warnings = t->connectionWarnings();
        t.reset();
        QCOMPARE(warnings, QStringList());
    }

    // Payload: speed, colour, voltage, pulse width, mode, paper, cleaning,
    // X, Y, reset. The printer's first read left paper front, cleaning low.
    void parametersOnTheWire_data()
    {
        QTest::addColumn<QVariantMap>("values");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("shownSpeed");
        QTest::newRow("single row, rounded")
            << QVariantMap{{"radio_color_deep", true}, {"radio_mode_single", true}, {"radio_speed_high", true},
                           {"spinbox_print_voltage", 25.5}, {"comboBox_print_pwm", "2.2"}, {"spinbox_offset_x", 0.29},
                           {"spinbox_offset_y", -1.15}}
            << "03 03 FF 16 01 01 02 001D FF8D 01" << "radio_speed_high";
        QTest::newRow("double, deep")
            << QVariantMap{{"radio_color_deep", true}, {"radio_mode_double", true}, {"radio_speed_high", true},
                           {"spinbox_print_voltage", 30.0}, {"comboBox_print_pwm", "1.6"}, {"spinbox_offset_x", -1.50},
                           {"spinbox_offset_y", 5.0}}
            << "01 03 FF 10 02 01 02 FF6A 01F4 01" << "radio_speed_low";
        QTest::newRow("double, medium")
            << QVariantMap{{"radio_color_medium", true}, {"radio_mode_double", true}, {"radio_speed_high", true},
                           {"spinbox_print_voltage", 12.3}, {"comboBox_print_pwm", "2.8"}, {"spinbox_offset_x", 4.0},
                           {"spinbox_offset_y", -5.0}}
            << "02 02 7B 1C 02 01 02 0190 FE0C 01" << "radio_speed_medium";
    }

    void parametersOnTheWire()
    {
        QFETCH(QVariantMap, values);
        QFETCH(QString, payload);
        QFETCH(QString, shownSpeed);
        QVERIFY(readWindow({}));
        t->set(values);
        t->click("btn_print_argset_save");
        QVERIFY(t->printer->waitForRequests(1));
        QCOMPARE(lastFrame(0x50), frame(0x50, payload));
        QVERIFY(t->widget<QAbstractButton>(shownSpeed)->isChecked());
        QTRY_COMPARE(t->toasts.texts(), QStringList{OK_TOAST});
        // Read back, the page shows what the printer now holds.
        t->set({{"spinbox_offset_x", 0.0}, {"comboBox_print_pwm", "2.0"}});
        t->click("btn_print_argset_read");
        QTRY_COMPARE(t->widget<QDoubleSpinBox>("spinbox_offset_x")->value(), values["spinbox_offset_x"].toDouble());
        QCOMPARE(t->widget<QComboBox>("comboBox_print_pwm")->currentText(), values["comboBox_print_pwm"].toString());
    }

    void maintenanceCommands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<quint32>("remain");
        QTest::addColumn<QList<int>>("requests");
        QTest::addColumn<QString>("block6");
        QTest::addColumn<quint32>("held");
        QTest::addColumn<int>("acks");
        QTest::newRow("self-test") << "btn_nav_setting_2" << 5000000u << QList<int>{0x72} << "" << 5000000u << 1;
        QTest::newRow("test page") << "btn_nav_setting_3" << 5000000u << QList<int>{0x73} << "" << 5000000u << 1;
        QTest::newRow("identity") << "btn_print_info_read" << 5000000u << QList<int>{0x10} << "" << 5000000u << 0;
        QTest::newRow("cleaning") << "btn_nav_setting_8" << 5000000u << QList<int>{0x60, 0xA1, 0xA006}
                                  << "06 004BD610 FFB429EF 004BD610 06F906F9" << 4970000u << 2;
        QTest::newRow("cleaning, low") << "btn_nav_setting_8" << 30000u << QList<int>{0x60, 0xA1, 0xA006}
                                       << "06 00000000 FFFFFFFF 00000000 06F906F9" << 30000u << 2;
    }

    void maintenanceCommands()
    {
        QFETCH(QString, button);
        QFETCH(quint32, remain);
        QFETCH(QList<int>, requests);
        QFETCH(QString, block6);
        QFETCH(int, acks);
        QVERIFY(readWindow({{"blocks", QJsonObject{{"6", QString(InkAccount::encodeBlock(remain).toHex())}}}}, remain));
        auto *sn = t->widget<QLineEdit>("line_edit_print_sn");
        sn->clear();
        t->click(button);
        QTEST(PrinterUtil::s_printerSys.remainDots, "held");
        QVERIFY(t->printer->waitForRequests(requests.size()));
        QCOMPARE(t->received(), requests);
        QTRY_COMPARE(t->toasts.texts().count(OK_TOAST), acks);
        QCOMPARE(t->toasts.texts().size(), acks);
        QTRY_COMPARE(sn->text().isEmpty(), requests.first() != 0x10);
        QCOMPARE(lastFrame(0xA1), frame(0xA1, block6));
        // The ink box's own value replaces the deduction.
        if (!block6.isEmpty())
            QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, block6.mid(3, 8).toUInt(nullptr, 16));
    }

    void aCleaningThatCannotBeSent()
    {
        QVERIFY(serialWindow({}));
        t->window->findChild<ComManager *>()->closeSerialPort();
        Seams::setSerialPortListHandler([] { return QList<Seams::SerialPortEntry>(); });
        t->click("btn_nav_setting_8");
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("打印机连接异常,请先连接打印机")});
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);
    }

    // The printer starts at 10.0.0.200 255.255.0.0 10.0.0.1:8111; a row
    // types over some of the edits and saves.
    void networkSettings_data()
    {
        QTest::addColumn<QVariantMap>("typed");
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("replyStatus");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<QString>("storedIp");
        const QString same = QStringLiteral("0A0000C8 FFFF0000 0A000001 1FAF");
        QTest::newRow("accepted") << QVariantMap{{"edit_ip4", "7"}, {"edit_network_port", "9100"}} << 1 << 0
                                  << "0A000007 FFFF0000 0A000001 238C" << "写入成功" << "10.0.0.7";
        QTest::newRow("two saves, one reply") << QVariantMap() << 2 << 0 << same << "写入成功" << "10.0.0.200";
        QTest::newRow("refused by the printer") << QVariantMap() << 1 << 1 << same << "写入失败" << "";
        QTest::newRow("256") << QVariantMap{{"edit_mask2", "256"}} << 1 << 0 << ""
                             << "子网掩码输入有误，每段应为0到255之间的整数" << "";
        QTest::newRow("port 0") << QVariantMap{{"edit_network_port", ""}} << 1 << 0 << ""
                                << "端口输入有误，应为1到65535之间的整数" << "";
    }

    void networkSettings()
    {
        QFETCH(QVariantMap, typed);
        QFETCH(int, saves);
        QFETCH(int, replyStatus);
        QFETCH(QString, payload);
        QFETCH(QString, toast);
        QFETCH(QString, storedIp);
        const QJsonObject network{
            {"ip", "10.0.0.200"}, {"mask", "255.255.0.0"}, {"gateway", "10.0.0.1"}, {"port", 8111}};
        QVERIFY(readWindow({{"network", network}}));
        QStringList shown;
        for (const char *group : {"ip", "mask", "gateway"}) {
            for (int i = 1; i <= 4; ++i)
                shown << t->widget<QLineEdit>(QStringLiteral("edit_%1%2").arg(QLatin1String(group)).arg(i))->text();
        }
        shown << t->widget<QLineEdit>("edit_network_port")->text();
        QCOMPARE(shown.join(' '), QStringLiteral("10 0 0 200 255 255 0 0 10 0 0 1 8111"));
        t->set(typed);
        // Only the last of several saves is answered.
        if (saves > 1)
            QVERIFY(t->printer->fault({{"match", 0x70}, {"noReply", true}, {"count", saves - 1}}));
        if (replyStatus)
            QVERIFY(t->printer->fault({{"match", 0x70}, {"status", replyStatus}}));
        for (int i = 0; i < saves; ++i)
            t->click("btn_network_save");
        // What is stored is what was sent, whatever the edits say now.
        t->set({{"edit_ip1", "99"}});
        QTRY_COMPARE(t->toasts.texts(), QStringList{toast});
        QTest::qWait(100);
        QCOMPARE(t->toasts.texts(), QStringList{toast});
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.ip"), QString()),
                 storedIp.isEmpty() ? QStringLiteral("127.0.0.1") : storedIp);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.mask"), QString()).isEmpty(), storedIp.isEmpty());
        QCOMPARE(lastFrame(0x70), frame(0x70, payload));
        QCOMPARE(t->printer->requestCount(), payload.isEmpty() ? 0 : saves);
    }

    void configurationPage()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        QStringList tried;
        Seams::setSerialOpenHandler([&tried](const QString &name) {
            tried << name;
            return name == QLatin1String("ttyUSB0") ? QSerialPort::ResourceError : QSerialPort::NoError;
        });
        const QString freePort = QString::fromLatin1(ptsname(master));
        QVERIFY(serialWindow({{"ttyS0", "/dev/null"}, {"ttyUSB0", "/dev/null"}, {"ttyACM0", freePort}}));
        tried.clear();
        t->click("btn_admin_set");
        t->click("btn_nav_setting");
        QCOMPARE(t->widget<QStackedWidget>("setting_widget_turn")->currentWidget()->objectName(),
                 QStringLiteral("page_printer_set"));
        QVERIFY(t->widget<QAbstractButton>("radio_serial")->isChecked());
        QVERIFY(t->widget("btn_network_save")->isEnabled());
        // The link's own device is listed without a trial; busy ones are not.
        auto *ports = t->widget<QComboBox>("com_port_select");
        QCOMPARE(columnTexts(ports->model(), 0), (QStringList{"ttyACM0", "ttyUSB1"}));
        QCOMPARE(tried, (QStringList{"ttyUSB0", "ttyACM0"}));
        QCOMPARE(ports->currentText(), QStringLiteral("ttyUSB1"));
        ::close(master);

        auto *available = t->widget<QListView>("font_list_view1");
        auto *inUse = t->widget<QListView>("font_list_view2");
        // Each family once, by its plain name, whichever foundries make it.
        const QStringList families = FontFamilies::plainNames(QFontDatabase().families());
        QCOMPARE(columnTexts(inUse->model(), 0), families);
        QCOMPARE(available->model()->rowCount(), 0);
        t->click("btn_font_unuse");
        t->click("btn_cfg_save");
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("至少需要选择一种字体")});
        QVERIFY(JsonUtil::getCustomConfigList(QStringLiteral("font.use")).isEmpty());
        // A click moves a family to the end of the other list.
        QTest::mouseClick(available->viewport(), Qt::LeftButton, {},
                          available->visualRect(available->model()->index(1, 0)).center());
        QCOMPARE(columnTexts(inUse->model(), 0), QStringList{families.at(1)});
        t->click("btn_font_use");
        t->click("btn_cfg_save");
        QCOMPARE(t->toasts.texts().last(), QStringLiteral("保存成功"));
        QStringList expected = families;
        expected.move(1, 0);
        QCOMPARE(JsonUtil::getCustomConfigList(QStringLiteral("font.use")), expected);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.port"), QString()), QStringLiteral("ttyUSB1"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QString()), QStringLiteral("serialPort"));
    }
};

QTEST_MAIN(TestSettingsPages)
#include "tst_settingspages.moc"
