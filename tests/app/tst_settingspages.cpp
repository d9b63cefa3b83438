// The settings pages against the fake printer: print parameters and the
// maintenance commands, the printer's network settings and the
// configuration page. Frames are compared byte for byte with ones written
// out from the frame tables.

#include "app/mainwindow.h"
#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QJsonArray>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

using TestSupport::FakePrinter;
using TestSupport::child;

namespace {

const QString OK_TOAST = QStringLiteral("成功");
const QString WRITTEN = QStringLiteral("写入成功");
const QString WRITE_FAILED = QStringLiteral("写入失败");
// Edit name to the text typed into it.
using Typing = QMap<QString, QString>;
const char *const NETWORK_EDITS[] = {"edit_ip1",      "edit_ip2",      "edit_ip3",      "edit_ip4",
                                     "edit_mask1",    "edit_mask2",    "edit_mask3",    "edit_mask4",
                                     "edit_gateway1", "edit_gateway2", "edit_gateway3", "edit_gateway4",
                                     "edit_network_port"};

void click(const QWidget &window, const char *button)
{
    child<QAbstractButton>(window, QLatin1String(button))->click();
}

QStringList items(const QAbstractItemModel *model)
{
    QStringList list;
    for (int row = 0; model && row < model->rowCount(); ++row)
        list << model->index(row, 0).data().toString();
    return list;
}

} // namespace

class TestSettingsPages : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempProgramDir> m_dir;
    std::unique_ptr<TestSupport::ToastRecorder> m_toasts;
    std::unique_ptr<FakePrinter> m_printer;

    // A window linked over TCP to a fake printer, once it has read the
    // printer's parameters, network settings and ink (set before it reads).
    std::unique_ptr<MainWindow> tcpWindow(const QJsonObject &printerSettings = QJsonObject())
    {
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp);
        m_printer->linkTerminal();
        auto window = std::make_unique<MainWindow>();
        if (!printerSettings.isEmpty() && !m_printer->set(printerSettings))
            qFatal("the fake printer refused its settings");
        if (!m_printer->waitForRequests(5))
            qFatal("the window did not read the printer");
        // Block 6 is answered last.
        if (!QTest::qWaitFor([] { return PrinterUtil::s_printerSys.remainDots != 0; }, 5000))
            qFatal("the window did not read the ink box");
        m_printer->clear();
        return window;
    }

    // A window whose link is the fake printer's pseudo-terminal, named
    // ttyUSB1 among the other devices listed.
    std::unique_ptr<MainWindow> serialWindow(const QList<Seams::SerialPortEntry> &others)
    {
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Pty);
        const QList<Seams::SerialPortEntry> ports = others + QList<Seams::SerialPortEntry>{{"ttyUSB1", m_printer->ptyPath()}};
        Seams::setSerialPortListHandler([ports] { return ports; });
        JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("serialPort"));
        JsonUtil::setCustomConfig(QStringLiteral("com.port"), QStringLiteral("ttyUSB1"));
        FakePrinter::serveApiOnFreePort();
        auto window = std::make_unique<MainWindow>();
        if (!QTest::qWaitFor([] { return PrinterUtil::s_printerSys.remainDots != 0; }, 5000))
            qFatal("the window did not read the ink box");
        return window;
    }

    // What the printer received, ink-box reads with their block number.
    QList<int> received()
    {
        QList<int> list;
        for (const FakePrinter::Request &r : m_printer->requests(true))
            list << (r.command == 0xA0 ? 0xA000 + quint8(r.bytes.at(4)) : r.command);
        return list;
    }

    QByteArray lastFrame(int command)
    {
        QByteArray bytes;
        for (const FakePrinter::Request &r : m_printer->requests(true)) {
            if (r.command == command)
                bytes = r.bytes;
        }
        return bytes.toHex();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<TestSupport::TempProgramDir>();
        m_toasts = std::make_unique<TestSupport::ToastRecorder>();
        PrinterUtil::reset();
    }

    void cleanup()
    {
        m_printer.reset();
        m_toasts.reset();
        m_dir.reset();
        Seams::resetAll();
    }

    // Payload: speed, colour, voltage, pulse width, mode, paper, cleaning,
    // X, Y, reset. The printer's first read left paper front, cleaning low.
    void parametersOnTheWire_data()
    {
        QTest::addColumn<QStringList>("radios");
        QTest::addColumn<double>("voltage");
        QTest::addColumn<QString>("pulse");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("shownSpeed");
        QTest::newRow("single row, rounded") << QStringList{"radio_color_deep", "radio_mode_single", "radio_speed_high"}
                                             << 25.5 << "2.2" << 0.29 << -1.15 << "03 03 FF 16 01 01 02 001D FF8D 01"
                                             << "radio_speed_high";
        QTest::newRow("double, deep") << QStringList{"radio_color_deep", "radio_mode_double", "radio_speed_high"}
                                      << 30.0 << "1.6" << -1.50 << 5.0 << "01 03 FF 10 02 01 02 FF6A 01F4 01"
                                      << "radio_speed_low";
        QTest::newRow("double, medium") << QStringList{"radio_mode_double", "radio_color_medium", "radio_speed_high"}
                                        << 12.3 << "2.8" << 4.0 << -5.0 << "02 02 7B 1C 02 01 02 0190 FE0C 01"
                                        << "radio_speed_medium";
    }

    void parametersOnTheWire()
    {
        QFETCH(QStringList, radios);
        QFETCH(double, voltage);
        QFETCH(QString, pulse);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QString, payload);
        QFETCH(QString, shownSpeed);
        auto window = tcpWindow();
        for (const QString &radio : radios)
            child<QAbstractButton>(*window, radio)->setChecked(true);
        child<QDoubleSpinBox>(*window, "spinbox_print_voltage")->setValue(voltage);
        auto *pulseWidth = child<QComboBox>(*window, "comboBox_print_pwm");
        pulseWidth->setCurrentText(pulse);
        auto *offsetX = child<QDoubleSpinBox>(*window, "spinbox_offset_x");
        offsetX->setValue(x);
        child<QDoubleSpinBox>(*window, "spinbox_offset_y")->setValue(y);
        click(*window, "btn_print_argset_save");
        QVERIFY(m_printer->waitForRequests(1));
        const QByteArray expected = FakePrinter::frame(0x50, QByteArray::fromHex(payload.toLatin1()));
        QCOMPARE(lastFrame(0x50), expected.toHex());
        QVERIFY(child<QAbstractButton>(*window, shownSpeed)->isChecked());
        QTRY_COMPARE(m_toasts->texts(), QStringList{OK_TOAST});
        // Read back, the page shows what the printer now holds.
        offsetX->setValue(0);
        pulseWidth->setCurrentText(QStringLiteral("2.0"));
        click(*window, "btn_print_argset_read");
        QTRY_COMPARE(offsetX->value(), x);
        QCOMPARE(pulseWidth->currentText(), pulse);
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
                                  << "004BD610 FFB429EF 004BD610 06F906F9" << 4970000u << 2;
        QTest::newRow("cleaning, low") << "btn_nav_setting_8" << 30000u << QList<int>{0x60, 0xA1, 0xA006}
                                       << "00000000 FFFFFFFF 00000000 06F906F9" << 30000u << 2;
    }

    void maintenanceCommands()
    {
        QFETCH(QString, button);
        QFETCH(quint32, remain);
        QFETCH(QList<int>, requests);
        QFETCH(QString, block6);
        QFETCH(quint32, held);
        QFETCH(int, acks);
        auto window = tcpWindow({{"blocks", QJsonObject{{"6", QString(InkAccount::encodeBlock(remain).toHex())}}}});
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, remain);
        auto *sn = child<QLineEdit>(*window, "line_edit_print_sn");
        sn->clear();
        child<QAbstractButton>(*window, button)->click();
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, held);
        QVERIFY(m_printer->waitForRequests(requests.size()));
        QCOMPARE(received(), requests);
        QTRY_COMPARE(m_toasts->texts().count(OK_TOAST), acks);
        QCOMPARE(m_toasts->texts().size(), acks);
        QTRY_COMPARE(sn->text().isEmpty(), requests.first() != 0x10);
        if (block6.isEmpty())
            return;
        const QByteArray payload = QByteArray::fromHex("06" + block6.toLatin1());
        QCOMPARE(lastFrame(0xA1), FakePrinter::frame(0xA1, payload).toHex());
        // The ink box's own value replaces the deduction.
        QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, qFromBigEndian<quint32>(payload.constData() + 1));
    }

    void aCleaningThatCannotBeSent()
    {
        auto window = serialWindow({});
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);
        window->findChild<ComManager *>()->closeSerialPort();
        Seams::setSerialPortListHandler([] { return QList<Seams::SerialPortEntry>(); });
        click(*window, "btn_nav_setting_8");
        QCOMPARE(m_toasts->texts(), QStringList{QStringLiteral("打印机连接异常,请先连接打印机")});
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);
    }

    // The printer starts at 10.0.0.200 255.255.0.0 10.0.0.1:8111; a row
    // types over some of the edits and saves.
    void networkSettings_data()
    {
        QTest::addColumn<Typing>("typed");
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("replyStatus");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QStringList>("toasts");
        QTest::addColumn<QString>("storedIp");
        const Typing none;
        QTest::newRow("accepted") << Typing{{"edit_ip4", "7"}, {"edit_network_port", "9100"}} << 1 << 0
                                  << "0A000007 FFFF0000 0A000001 238C" << QStringList{WRITTEN} << "10.0.0.7";
        QTest::newRow("two saves, one reply") << none << 2 << 0 << "0A0000C8 FFFF0000 0A000001 1FAF"
                                              << QStringList{WRITTEN} << "10.0.0.200";
        QTest::newRow("refused by the printer") << none << 1 << 1 << "0A0000C8 FFFF0000 0A000001 1FAF"
                                                << QStringList{WRITE_FAILED} << "";
        QTest::newRow("256") << Typing{{"edit_mask2", "256"}} << 1 << 0 << "" << QStringList{
            QStringLiteral("子网掩码输入有误，每段应为0到255之间的整数")} << "";
        QTest::newRow("port 0") << Typing{{"edit_network_port", ""}} << 1 << 0 << "" << QStringList{
            QStringLiteral("端口输入有误，应为1到65535之间的整数")} << "";
    }

    void networkSettings()
    {
        QFETCH(Typing, typed);
        QFETCH(int, saves);
        QFETCH(int, replyStatus);
        QFETCH(QString, payload);
        QFETCH(QStringList, toasts);
        QFETCH(QString, storedIp);
        const QJsonObject network{{"ip", "10.0.0.200"}, {"mask", "255.255.0.0"}, {"gateway", "10.0.0.1"}, {"port", 8111}};
        auto window = tcpWindow({{"network", network}});
        QStringList shown;
        for (const char *edit : NETWORK_EDITS)
            shown << child<QLineEdit>(*window, QLatin1String(edit))->text();
        QCOMPARE(shown.join(' '), QStringLiteral("10 0 0 200 255 255 0 0 10 0 0 1 8111"));
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            child<QLineEdit>(*window, it.key())->setText(it.value());
        // Only the last of several saves is answered.
        if (saves > 1)
            QVERIFY(m_printer->fault({{"match", 0x70}, {"noReply", true}, {"count", saves - 1}}));
        if (replyStatus)
            QVERIFY(m_printer->fault({{"match", 0x70}, {"status", replyStatus}}));
        for (int i = 0; i < saves; ++i)
            click(*window, "btn_network_save");
        // What is stored is what was sent, whatever the edits say now.
        child<QLineEdit>(*window, "edit_ip1")->setText(QStringLiteral("99"));
        QTRY_COMPARE(m_toasts->texts(), toasts);
        QTest::qWait(100);
        QCOMPARE(m_toasts->texts(), toasts);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.ip"), QString()),
                 storedIp.isEmpty() ? QStringLiteral("127.0.0.1") : storedIp);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("socket.mask"), QString()).isEmpty(), storedIp.isEmpty());
        const QByteArray frame = FakePrinter::frame(0x70, QByteArray::fromHex(payload.toLatin1()));
        QCOMPARE(lastFrame(0x70), payload.isEmpty() ? QByteArray() : frame.toHex());
        QCOMPARE(m_printer->requestCount(), payload.isEmpty() ? 0 : saves);
    }

    void configurationPage()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const QString freePort = QString::fromLatin1(ptsname(master));
        QStringList tried;
        Seams::setSerialOpenHandler([&tried](const QString &name) {
            tried << name;
            return name == QLatin1String("ttyUSB0") ? QSerialPort::ResourceError : QSerialPort::NoError;
        });
        auto window = serialWindow({{"ttyS0", "/dev/null"}, {"ttyUSB0", "/dev/null"}, {"ttyACM0", freePort}});
        tried.clear();
        click(*window, "btn_admin_set");
        click(*window, "btn_nav_setting");
        QCOMPARE(child<QStackedWidget>(*window, "setting_widget_turn")->currentWidget()->objectName(),
                 QStringLiteral("page_printer_set"));
        QVERIFY(child<QAbstractButton>(*window, "radio_serial")->isChecked());
        QVERIFY(child(*window, "btn_network_save")->isEnabled());
        // The link's own device is listed without a trial; busy ones are not.
        auto *ports = child<QComboBox>(*window, "com_port_select");
        QCOMPARE(items(ports->model()), (QStringList{"ttyACM0", "ttyUSB1"}));
        QCOMPARE(tried, (QStringList{"ttyUSB0", "ttyACM0"}));
        QCOMPARE(ports->currentText(), QStringLiteral("ttyUSB1"));
        ::close(master);

        auto *available = child<QListView>(*window, "font_list_view1");
        auto *inUse = child<QListView>(*window, "font_list_view2");
        const QStringList families = QFontDatabase().families();
        QCOMPARE(items(inUse->model()), families);
        QVERIFY(items(available->model()).isEmpty());
        click(*window, "btn_font_unuse");
        click(*window, "btn_cfg_save");
        QCOMPARE(m_toasts->texts(), QStringList{QStringLiteral("至少需要选择一种字体")});
        QVERIFY(JsonUtil::getCustomConfigList(QStringLiteral("font.use")).isEmpty());
        // A click moves a family to the end of the other list.
        QTest::mouseClick(available->viewport(), Qt::LeftButton, {},
                          available->visualRect(available->model()->index(1, 0)).center());
        QCOMPARE(items(inUse->model()), QStringList{families.at(1)});
        click(*window, "btn_font_use");
        click(*window, "btn_cfg_save");
        QCOMPARE(m_toasts->texts().last(), QStringLiteral("保存成功"));
        QStringList expected = families;
        expected.move(1, 0);
        QCOMPARE(JsonUtil::getCustomConfigList(QStringLiteral("font.use")), expected);
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.port"), QString()), QStringLiteral("ttyUSB1"));
        QCOMPARE(JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QString()), QStringLiteral("serialPort"));
    }
};

QTEST_MAIN(TestSettingsPages)
#include "tst_settingspages.moc"
