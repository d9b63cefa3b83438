// The main window against the fake printer over loopback TCP: the printer
// state it tracks, the indicator's reconnect, the serial permission offer,
// and the print page from template choice to a page the printer decodes.

#include "app/mainwindow.h"
#include "print/printaddfile.h"
#include "print/printpreview.h"
#include "printer/inkaccount.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/terminalfixture.h"
#include "support/xlsxfixtures.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using TestSupport::TerminalFixture;

namespace {

const QString CONNECTED = QStringLiteral("打印机已连接");
const QString UNCONNECTED = QStringLiteral("请确认连接后点击此处进行重连");
const QString INK_ERROR = QStringLiteral("墨盒异常");
const QString LABEL = QStringLiteral("档案盒标签");
// Handshake, then the reads; 0xA005 / 0xA006 are reads of ink-box blocks 5 and 6.
const QList<int> START_REQUESTS{0x10, 0x71, 0x51, 0xA005, 0xA006};

} // namespace

class TestPrinterWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TerminalFixture> t;

private slots:
    void initTestCase() { QVERIFY(TerminalFixture::preparePrinting()); }

    void init()
    {
        t = std::make_unique<TerminalFixture>();
        PrinterUtil::s_printerSys.remainDots = 777;
        Seams::setJobPauseMs(50);
    }

    void cleanup()
    {
        const QStringList warnings = t->connectionWarnings();
        t.reset();
        QCOMPARE(warnings, QStringList());
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
        t->link({"--sn", sn});
        QCOMPARE(t->indicator(), UNCONNECTED);
        QVERIFY(t->waitUntilRead());
        QCOMPARE(t->received(), START_REQUESTS);
        QCOMPARE(t->indicator(), CONNECTED);
        QCOMPARE(PrinterUtil::s_protocolType, type);
        QCOMPARE(t->widget<QLineEdit>("line_edit_print_sn")->text(), sn);
        QCOMPARE(PrinterUtil::s_printerSys.inkboxSerial, QStringLiteral("INK2026000000001"));
        QCOMPARE(t->toasts.texts(), type ? QStringList() : QStringList{QStringLiteral("未知机型")});
    }

    void inkBoxReplies_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("block6");
        QTest::addColumn<QString>("state");
        QTest::addColumn<quint32>("remain");
        QTest::addColumn<QStringList>("toasts");
        QTest::newRow("256") << QJsonObject() << "00000100FFFFFEFF" << CONNECTED << 256u << QStringList();
        QTest::newRow("bad complement") << QJsonObject() << "0000010000000000" << CONNECTED << 777u
                                        << QStringList{QStringLiteral("读取失败：墨量格式错误")};
        QTest::newRow("ink box fails") << QJsonObject{{"match", 0xA0}, {"status", 3}, {"count", 2}}
                                       << "00000100FFFFFEFF" << INK_ERROR << 777u
                                       << QStringList{QStringLiteral("墨盒异常，请先检查墨盒")};
    }

    void inkBoxReplies()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, block6);
        QFETCH(QString, state);
        t->link();
        QVERIFY(t->printer->set({{"blocks", QJsonObject{{"6", block6 + QString(16, '0')}}}}));
        if (!fault.isEmpty())
            QVERIFY(t->printer->fault(fault));
        QVERIFY(t->printer->waitForRequests(START_REQUESTS.size()));
        QTRY_COMPARE(t->indicator(), state);
        QTest::qWait(100);
        QTEST(PrinterUtil::s_printerSys.remainDots, "remain");
        t->click("btn_print");
        QTEST(t->toasts.texts(), "toasts");
        QCOMPARE(t->preview() != nullptr, state == CONNECTED);
        delete t->preview();
        // A press re-reads the ink box only when it is in error.
        t->pressIndicator();
        QTest::qWait(200);
        QTRY_COMPARE(t->received(), state == INK_ERROR ? QList<int>({0xA005, 0xA006}) : QList<int>());
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
        t->link();
        if (refused) {
            QVERIFY(t->printer->fault({{"match", 0x10}, {"status", 32}}));
            // The ink box answers well, yet the printer refused: unconnected.
            QVERIFY(t->waitUntilRead());
        } else {
            QTRY_COMPARE(t->indicator(), CONNECTED);
            QVERIFY(t->printer->disconnectClient());
            QTRY_VERIFY(!t->widget("btn_network_read")->isEnabled());
        }
        QCOMPARE(t->indicator(), UNCONNECTED);
        t->pressIndicator();
        QTRY_COMPARE(t->indicator(), CONNECTED);
        QVERIFY(t->widget("btn_network_read")->isEnabled());
        QTRY_COMPARE(t->received(), (QList<int>{0x10, 0xA005, 0xA006, 0x51, 0x71}));
    }

    void aFailedReconnectSaysSo()
    {
        t->link();
        QTRY_COMPARE(t->indicator(), CONNECTED);
        // The printer goes, and its port with it.
        t->printer.reset();
        QTRY_COMPARE(t->indicator(), UNCONNECTED);
        QTest::mousePress(t->widget(QStringLiteral("lb_title_status")), Qt::LeftButton);
        QCOMPARE(t->indicator(), UNCONNECTED);
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("打印机重连失败，请检查打印机及连接设置")});
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
        Seams::setInputHandler([&](QWidget *, const QString &title, const QString &, QLineEdit::EchoMode echo,
                                   bool *ok) {
            prompts << title + (echo == QLineEdit::Password ? "|masked" : "");
            *ok = typed;
            return password;
        });
        QList<QStringList> calls;
        Seams::setPrivilegedHandler([&](const QString &program, const QStringList &args, const QByteArray &input, int) {
            calls << (QStringList{program} + args + QStringList{QString::fromUtf8(input)});
            return Seams::PrivilegedResult{0, {}};
        });
        t->open();
        QTRY_COMPARE(questions, QStringList{QStringLiteral("提示|串口权限不足，是否提升串口权限?\n（提升权限后需手动重连）")});
        const bool named = !port.contains(QLatin1Char('/')) && !port.contains(QLatin1Char(';'));
        QCOMPARE(prompts, yes && named ? QStringList{port + QStringLiteral("权限提升|masked")} : QStringList());
        const QList<QStringList> expected{{"sudo", "-S", "-p", "", "chmod", "666", "/dev/" + port, password + '\n'}};
        QCOMPARE(calls, runs ? expected : QList<QStringList>());
        QVERIFY(!t->log.contains(QStringLiteral("reboot")));
    }

    void thePrintPageListsFavouritesFirst()
    {
        QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(QStringLiteral("甲标签")), false));
        QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(QStringLiteral("乙标签")), false));
        JsonUtil::setCustomConfig(QStringLiteral("template.default"), QStringLiteral("乙标签|已删除"));
        t->open();
        t->click("btn_nav_print");
        auto *combo = t->widget<QComboBox>("comboBox_print");
        QStringList expected{QStringLiteral("乙标签"), QStringLiteral("已删除")};
        for (const TemplateModel &model : JsonUtil::parseTemplateList(true, true)) {
            if (model.name != expected.first())
                expected << model.name;
        }
        QCOMPARE(TestSupport::columnTexts(combo->model(), 0), expected);
        QCOMPARE(combo->currentText(), expected.first());
        // A favourite that names no template gives a table without columns.
        combo->setCurrentIndex(1);
        QCOMPARE(t->widget<QTableView>("tableView_print_data")->model()->columnCount(), 0);
    }

    // Cells the import left without an item are exported and printed as
    // empty texts; the printed page reaches the printer and its ink (double
    // row, deep colour, heavy cleaning) is charged to the ink box.
    void aRaggedImportIsExportedAndPrinted()
    {
        TemplateModel label = TestSupport::blankLabel(LABEL);
        label.textModels << TestSupport::textField("题名", "模板题名", 4, 21, 32, 7, 4);
        label.qrcodeModels << TestSupport::qrField("档号", "模板", 4, 3, 16);
        QVERIFY(JsonUtil::saveTemplate(label, false));
        JsonUtil::setCustomConfig(QStringLiteral("template.default"), LABEL);
        t->link({"--sn", "KELO2020260001"});
        t->click("btn_nav_print");
        QCOMPARE(t->widget<QTableView>("tableView_print_data")->model()->rowCount(), 1);
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<PrintAddFile *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            emit dialog->sigImportExcelFinished({{"档号", {"WS-1", "WS-2", "WS-3"}},
                                                 {"题名", {"一", "二", "三", "四", "五"}}});
            dialog->reject();
        });
        t->click("btn_import_data");

        const QString xlsx = t->dir.file(QStringLiteral("/导出"));
        Seams::setSaveFileHandler([&](QWidget *, const QString &, const QString &, const QString &) { return xlsx; });
        t->click("btn_export_data");
        QStringList cells;
        for (const QJsonValue &cell : TestSupport::openpyxlDump(xlsx + ".xlsx")["cells"].toObject().begin()->toArray())
            cells << QStringLiteral("%1%2=%3").arg(cell[0].toInt()).arg(cell[1].toInt()).arg(cell[2].toString());
        QCOMPARE(cells.join(' '), QStringLiteral("11=题名 12=档号 21=一 22=WS-1 31=二 32=WS-2 41=三 42=WS-3 51=四 61=五"));
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("导出成功")});

        QVERIFY(t->waitUntilRead());
        QTRY_COMPARE(t->indicator(), CONNECTED);
        PrinterUtil::s_printerSetting.printMode = 2;
        PrinterUtil::s_printerSetting.colorDepth = 3;
        PrinterUtil::s_printerSetting.washLevel = 4;
        t->click("btn_print");
        PrintPreview *preview = t->preview();
        QVERIFY(preview);
        QCOMPARE(preview->pageCount(), 5);
        TestSupport::child<QComboBox>(*preview, "combox_page")->setCurrentText(QStringLiteral("当前页"));
        t->printer->clear();
        TestSupport::child<QAbstractButton>(*preview, "btn_print")->click();
        // Handshake and the ink box's count, the page, then block 6 written
        // and read back.
        QVERIFY(t->printer->waitForRequests(5, 20000));
        QCOMPARE(t->received().mid(0, 5), (QList<int>{0x10, 0xA006, 0x11, 0xA1, 0xA006}));
        const TestSupport::PrintedPage page = TestSupport::decodeRecordedPage(*t->printer, 2);
        QVERIFY(page.valid && page.dots > 0);
        const quint32 remain = 5000000u - (quint32(page.dots) * 2 * 3 + 24000);
        QCOMPARE(t->printer->block(6), QString::fromLatin1(InkAccount::encodeBlock(remain).toHex()));
        QTRY_COMPARE(PrinterUtil::s_printerSys.remainDots, remain);
    }

    void printingTwiceIsRefusedWhileThePreviewIsOpen()
    {
        t->link();
        t->click("btn_print");
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("打印机连接异常，请先检查打印机")});
        QTRY_COMPARE(t->indicator(), CONNECTED);
        t->toasts.clear();
        t->click("btn_print");
        QPointer<PrintPreview> first = t->preview();
        QVERIFY(first);
        t->click("btn_print");
        QCOMPARE(t->toasts.texts(), QStringList{QStringLiteral("当前已打开弹窗, 不能再打开了")});
        first->close();
        QTRY_VERIFY(!first);
        t->click("btn_print");
        QVERIFY(t->preview());
        QCOMPARE(t->toasts.texts().size(), 1);
    }
};

QTEST_MAIN(TestPrinterWindow)
#include "tst_printerwindow.moc"
