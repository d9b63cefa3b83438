// The main window against the fake printer over loopback TCP: the printer
// state it tracks, the indicator's reconnect, the serial permission offer,
// and the print page from template choice to a page the printer decodes.

#include "app/mainwindow.h"
#include "print/printaddfile.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "support/fakeprinter.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "support/xlsxfixtures.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

#include <memory>

using TestSupport::FakePrinter;
using TestSupport::child;

namespace {

const QString CONNECTED = QStringLiteral("打印机已连接");
const QString UNCONNECTED = QStringLiteral("请确认连接后点击此处进行重连");
const QString INK_ERROR = QStringLiteral("墨盒异常");
const QString LABEL = QStringLiteral("档案盒标签");
// Handshake, then the reads; 0xA005 / 0xA006 are reads of ink-box blocks 5 and 6.
const QList<int> START_REQUESTS{0x10, 0x71, 0x51, 0xA005, 0xA006};
const QList<int> PRESS_REQUESTS{0x10, 0xA005, 0xA006, 0x51, 0x71};

QString indicator(const MainWindow &window)
{
    return child(window, "lb_title_status")->toolTip();
}

PrintPreview *openPreview()
{
    return TestSupport::topLevel<PrintPreview>();
}

} // namespace

class TestPrinterWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_workDir;
    std::unique_ptr<TestSupport::TempProgramDir> m_dir;
    std::unique_ptr<TestSupport::ToastRecorder> m_toasts;
    std::unique_ptr<FakePrinter> m_printer;

    // A window whose link points at a fake printer started with args.
    std::unique_ptr<MainWindow> connectedWindow(const QStringList &args = QStringList())
    {
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp, args);
        m_printer->linkTerminal();
        return std::make_unique<MainWindow>();
    }

    // What the printer received, ink-box reads with their block number.
    QList<int> received()
    {
        QList<int> list;
        for (const FakePrinter::Request &r : m_printer->requests(true))
            list << (r.command == 0xA0 ? 0xA000 + quint8(r.bytes.at(4)) : r.command);
        return list;
    }

    void press(MainWindow &window)
    {
        m_printer->clear();
        QTest::mousePress(child(window, "lb_title_status"), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestSupport::loadPinnedFonts());
        QVERIFY(QDir::setCurrent(m_workDir.path()));
        QVERIFY(PrintRecord::initTable());
    }

    void init()
    {
        m_dir = std::make_unique<TestSupport::TempProgramDir>();
        m_toasts = std::make_unique<TestSupport::ToastRecorder>();
        PrinterUtil::reset();
        PrinterUtil::s_printerSys.remainDots = 777;
        Seams::setJobPauseMs(50);
    }

    void cleanup()
    {
        m_printer.reset();
        m_toasts.reset();
        m_dir.reset();
        Seams::resetAll();
    }

    void handshakeTellsThePrinterType_data()
    {
        QTest::addColumn<QString>("sn");
        QTest::addColumn<int>("type");
        QTest::newRow("10") << "KELO1020260001" << 1;
        QTest::newRow("20") << "KELO2020260001" << 2;
        QTest::newRow("30") << "KELO3020260001" << 3;
        QTest::newRow("40") << "KELO4020260001" << 0;
        QTest::newRow("short") << "KELO3" << 0;
    }

    void handshakeTellsThePrinterType()
    {
        QFETCH(QString, sn);
        QFETCH(int, type);
        auto window = connectedWindow({QStringLiteral("--sn"), sn});
        QCOMPARE(indicator(*window), UNCONNECTED);
        QVERIFY(m_printer->waitForRequests(START_REQUESTS.size()));
        QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);
        QCOMPARE(received(), START_REQUESTS);
        QCOMPARE(indicator(*window), CONNECTED);
        QCOMPARE(PrinterUtil::s_protocolType, type);
        QCOMPARE(child<QLineEdit>(*window, "line_edit_print_sn")->text(), sn);
        QCOMPARE(PrinterUtil::s_printerSys.inkboxSerial, QStringLiteral("INK2026000000001"));
        QCOMPARE(m_toasts->texts(), type ? QStringList() : QStringList{QStringLiteral("未知机型")});
    }

    void inkBoxReplies_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("block6");
        QTest::addColumn<QString>("state");
        QTest::addColumn<quint32>("remain");
        QTest::addColumn<QStringList>("toasts");
        const QString zeros = QStringLiteral("0000000000000000");
        QTest::newRow("256") << QJsonObject() << "00000100FFFFFEFF" + zeros << CONNECTED << 256u << QStringList();
        QTest::newRow("bad complement") << QJsonObject() << "0000010000000000" + zeros << CONNECTED << 777u
                                        << QStringList{QStringLiteral("读取失败：墨量格式错误")};
        QTest::newRow("ink box fails") << QJsonObject{{"match", 0xA0}, {"status", 3}, {"count", 2}}
                                       << "00000100FFFFFEFF" + zeros << INK_ERROR << 777u
                                       << QStringList{QStringLiteral("墨盒异常，请先检查墨盒")};
    }

    void inkBoxReplies()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, block6);
        QFETCH(QString, state);
        QFETCH(quint32, remain);
        QFETCH(QStringList, toasts);
        auto window = connectedWindow();
        QVERIFY(m_printer->set({{"blocks", QJsonObject{{"6", block6}}}}));
        if (!fault.isEmpty())
            QVERIFY(m_printer->fault(fault));
        QVERIFY(m_printer->waitForRequests(START_REQUESTS.size()));
        QTRY_COMPARE(indicator(*window), state);
        QTest::qWait(100);
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, remain);
        child<QAbstractButton>(*window, "btn_print")->click();
        QCOMPARE(m_toasts->texts(), toasts);
        QCOMPARE(openPreview() != nullptr, state == CONNECTED);
        delete openPreview();
        // A press re-reads the ink box only when it is in error.
        press(*window);
        const QList<int> reread = state == INK_ERROR ? QList<int>{0xA005, 0xA006} : QList<int>();
        QTest::qWait(200);
        QTRY_COMPARE(received(), reread);
    }

    void aPressReconnects_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("link lost") << false;
        QTest::newRow("handshake refused") << true;
    }

    void aPressReconnects()
    {
        QFETCH(bool, refused);
        auto window = connectedWindow();
        if (refused) {
            QVERIFY(m_printer->fault({{"match", 0x10}, {"status", 32}}));
            // The ink box answers well, yet the printer refused: unconnected.
            QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);
        } else {
            QTRY_COMPARE(indicator(*window), CONNECTED);
            QVERIFY(m_printer->disconnectClient());
            QTRY_VERIFY(!child(*window, "btn_network_read")->isEnabled());
        }
        QCOMPARE(indicator(*window), UNCONNECTED);
        press(*window);
        QTRY_COMPARE(indicator(*window), CONNECTED);
        QVERIFY(child(*window, "btn_network_read")->isEnabled());
        QTRY_COMPARE(received(), PRESS_REQUESTS);
    }

    void serialPermission_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<bool>("runs");
        QTest::newRow("granted") << "ttyUSB0" << true << true << true;
        QTest::newRow("modem") << "ttyACM12" << true << true << true;
        QTest::newRow("name with a command") << "ttyUSB0;x" << true << true << false;
        QTest::newRow("name with a path") << "ttyUSB0/../sda" << true << true << false;
        QTest::newRow("password cancelled") << "ttyUSB0" << true << false << false;
        QTest::newRow("declined") << "ttyUSB0" << false << true << false;
    }

    void serialPermission()
    {
        QFETCH(QString, port);
        QFETCH(bool, yes);
        QFETCH(bool, typed);
        QFETCH(bool, runs);
        const QString password = QStringLiteral("it's $(reboot)\n`id` 密码");
        Seams::setSerialPortListHandler([port] { return QList<Seams::SerialPortEntry>{{port, "/dev/null"}}; });
        Seams::setSerialOpenHandler([](const QString &) { return QSerialPort::PermissionError; });
        QStringList questions, prompts;
        Seams::setQuestionHandler([&](QWidget *, const QString &title, const QString &text) {
            questions << title + '|' + text;
            return yes;
        });
        Seams::setInputHandler([&](QWidget *, const QString &title, const QString &, QLineEdit::EchoMode mode, bool *ok) {
            prompts << title + (mode == QLineEdit::Password ? "|masked" : "");
            *ok = typed;
            return password;
        });
        QList<QStringList> calls;
        Seams::setPrivilegedHandler([&](const QString &program, const QStringList &args, const QByteArray &input, int) {
            calls << (QStringList{program} + args + QStringList{QString::fromUtf8(input)});
            return Seams::PrivilegedResult{0, {}};
        });
        TestSupport::LogCapture log;
        MainWindow window;
        QTRY_COMPARE(questions.size(), 1);
        QCOMPARE(questions.first(), QStringLiteral("提示|串口权限不足，是否提升串口权限?\n（提升权限后需手动重连）"));
        const bool named = !port.contains(QLatin1Char('/')) && !port.contains(QLatin1Char(';'));
        QCOMPARE(prompts, yes && named ? QStringList{port + QStringLiteral("权限提升|masked")} : QStringList());
        const QList<QStringList> expected{{"sudo", "-S", "-p", "", "chmod", "666", "/dev/" + port, password + '\n'}};
        QCOMPARE(calls, runs ? expected : QList<QStringList>());
        QVERIFY(!log.contains(QStringLiteral("reboot")));
    }

    void thePrintPageListsFavouritesFirst()
    {
        QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(QStringLiteral("甲标签")), false));
        QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(QStringLiteral("乙标签")), false));
        JsonUtil::setCustomConfig(QStringLiteral("template.default"), QStringLiteral("乙标签|已删除"));
        MainWindow window;
        child<QAbstractButton>(window, "btn_nav_print")->click();
        auto *combo = child<QComboBox>(window, "comboBox_print");
        QStringList expected{QStringLiteral("乙标签"), QStringLiteral("已删除")};
        for (const TemplateModel &t : JsonUtil::parseTemplateList(true, true)) {
            if (t.name != expected.first())
                expected << t.name;
        }
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, expected);
        QCOMPARE(combo->currentText(), expected.first());
        // A favourite that names no template gives a table without columns.
        combo->setCurrentIndex(1);
        QCOMPARE(child<QTableView>(window, "tableView_print_data")->model()->columnCount(), 0);
    }

    // Cells the import left without an item are exported and printed as
    // empty texts; the printed page reaches the printer and its ink is
    // charged to the ink box.
    void aRaggedImportIsExportedAndPrinted()
    {
        TemplateModel label = TestSupport::blankLabel(LABEL);
        label.textModels << TestSupport::textField("题名", "模板题名", 4, 21, 32, 7, 4);
        label.qrcodeModels << TestSupport::qrField("档号", "模板", 4, 3, 16);
        QVERIFY(JsonUtil::saveTemplate(label, false));
        JsonUtil::setCustomConfig(QStringLiteral("template.default"), LABEL);
        auto window = connectedWindow({QStringLiteral("--sn"), QStringLiteral("KELO2020260001")});
        child<QAbstractButton>(*window, "btn_nav_print")->click();
        QCOMPARE(child<QTableView>(*window, "tableView_print_data")->model()->rowCount(), 1);

        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<PrintAddFile *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            emit dialog->sigImportExcelFinished({{"档号", {"WS-1", "WS-2", "WS-3"}},
                                                 {"题名", {"一", "二", "三", "四", "五"}}});
            dialog->reject();
        });
        child<QAbstractButton>(*window, "btn_import_data")->click();

        const QString xlsx = m_workDir.filePath(QStringLiteral("导出"));
        Seams::setSaveFileHandler([&](QWidget *, const QString &, const QString &, const QString &) { return xlsx; });
        child<QAbstractButton>(*window, "btn_export_data")->click();
        QStringList cells;
        for (const QJsonValue &cell : TestSupport::openpyxlDump(xlsx + ".xlsx")["cells"].toObject().begin()->toArray())
            cells << QStringLiteral("%1%2=%3").arg(cell[0].toInt()).arg(cell[1].toInt()).arg(cell[2].toString());
        QCOMPARE(cells.join(' '), QStringLiteral("11=题名 12=档号 21=一 22=WS-1 31=二 32=WS-2 41=三 42=WS-3 51=四 61=五"));
        QCOMPARE(m_toasts->texts(), QStringList{QStringLiteral("导出成功")});

        QTRY_COMPARE(indicator(*window), CONNECTED);
        QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);
        // Double row, deep colour, heavy cleaning.
        PrinterUtil::s_printerSetting.printMode = 2;
        PrinterUtil::s_printerSetting.colorDepth = 3;
        PrinterUtil::s_printerSetting.washLevel = 4;
        child<QAbstractButton>(*window, "btn_print")->click();
        PrintPreview *preview = openPreview();
        QVERIFY(preview);
        QCOMPARE(preview->pageCount(), 5);
        child<QComboBox>(*preview, "combox_page")->setCurrentText(QStringLiteral("当前页"));
        m_printer->clear();
        child<QAbstractButton>(*preview, "btn_print")->click();
        // Handshake, the page, then block 6 written and read back.
        QVERIFY(m_printer->waitForRequests(4, 20000));
        QCOMPARE(received().mid(0, 4), (QList<int>{0x10, 0x11, 0xA1, 0xA006}));
        const TestSupport::PrintedPage page = TestSupport::decodeRecordedPage(*m_printer, 1);
        QVERIFY(page.valid && page.dots > 0);
        const QString block6 = m_printer->block(6);
        const quint32 remain = 5000000u - (quint32(page.dots) * 2 * 3 + 24000);
        QCOMPARE(block6, QString::fromLatin1(InkAccount::encodeBlock(remain).toHex()));
        QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, remain);
    }

    void printingTwiceIsRefusedWhileThePreviewIsOpen()
    {
        auto window = connectedWindow();
        auto *print = child<QAbstractButton>(*window, "btn_print");
        print->click();
        QCOMPARE(m_toasts->texts(), QStringList{QStringLiteral("打印机连接异常，请先检查打印机")});
        QTRY_COMPARE(indicator(*window), CONNECTED);
        m_toasts->clear();
        print->click();
        QPointer<PrintPreview> first = openPreview();
        QVERIFY(first);
        print->click();
        QCOMPARE(m_toasts->texts(), QStringList{QStringLiteral("当前已打开弹窗, 不能再打开了")});
        first->close();
        QTRY_VERIFY(!first);
        print->click();
        QVERIFY(openPreview());
        QCOMPARE(m_toasts->texts().size(), 1);
    }
};

QTEST_MAIN(TestPrinterWindow)
#include "tst_printerwindow.moc"
