#include "model/replymodels.h"
#include "printer/printerprotocol.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "util/printerutil.h"

#include <QtTest>

using TestSupport::FakePrinter;
using TestSupport::LogCapture;
using TestSupport::hex;

namespace {

// A generation-1 frame written from the frame table, not by our packers.
QByteArray gen1(quint8 command, const QByteArray &payload = QByteArray())
{
    return FakePrinter::frame(command, payload);
}

QByteArray field(const QByteArray &text, int width)
{
    return FakePrinter::textField(text, width);
}

QByteArray be32(quint32 v)
{
    QByteArray b;
    for (int shift = 24; shift >= 0; shift -= 8)
        b.append(char((v >> shift) & 0xFF));
    return b;
}

} // namespace

class TestPrinterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        PrinterUtil::reset();
    }

    void goldenRequests()
    {
        QCOMPARE(PrinterProtocol::packHandshake(), hex("A9201010E93C23"));
        QCOMPARE(PrinterProtocol::packReadData(6), hex("A92010A0067F3C23"));

        const struct {
            QByteArray frame;
            quint8 command;
        } bare[] = {
            {PrinterProtocol::packStopPrint(), 0x13},
            {PrinterProtocol::packReadIP(), 0x71},
            {PrinterProtocol::packReadPrintParmeter(), 0x51},
            {PrinterProtocol::packWashInkbox(), 0x60},
            {PrinterProtocol::packPrintTestPage(), 0x73},
            {PrinterProtocol::packSelfCheck(), 0x72},
            {PrinterProtocol::packReadPrinterHardVersion(), 0x74},
        };
        for (const auto &r : bare) {
            QCOMPARE(r.frame.size(), 7);
            QCOMPARE(quint8(r.frame.at(4)), quint8((0xA9 + 0x20 + 0x10 + r.command) % 256));
            QCOMPARE(r.frame, gen1(r.command));
        }

        QCOMPARE(PrinterProtocol::packReadDataPackage(), gen1(0x30, hex("09")));
    }

    void requestsWithPayload()
    {
        const QByteArray block = QByteArrayLiteral("ABCDEFGH<#345678"); // holds 3C 23, sent as is
        const QByteArray write = PrinterProtocol::packWriteData(5, block);
        QCOMPARE(write.size(), 24);
        QCOMPARE(write, gen1(0xA1, QByteArray(1, 5) + block));

        PrintParameterSettings s;
        s.status = 0x77; // never sent
        s.speed = 3;
        s.colorDepth = 2;
        s.voltage = 210;
        s.pulseWidth = 35;
        s.printMode = 2;
        s.paperExit = 1;
        s.washLevel = 4;
        s.compensationX = -150;
        s.compensationY = 300;
        s.powerOnReset = 1;
        const QByteArray params = PrinterProtocol::packWritePrintParameter(s);
        QCOMPARE(params.size(), 19);
        QCOMPARE(params, gen1(0x50, hex("0302D223020104FF6A012C01")));

        QCOMPARE(PrinterProtocol::packWriteIP("192.168.1.30", "255.255.255.0", "192.168.1.1", 8111),
                 gen1(0x70, hex("C0A8011EFFFFFF00C0A801011FAF")));
        QCOMPARE(PrinterProtocol::packWriteIP("192.168.1.30", "255.255.255.0", "192.168.1.1", 8111).size(), 21);

        // Firmware: 0x80 main controller, 0x81 motion controller; u32 size.
        const QByteArray empty = PrinterProtocol::packUpdateProgramer(QByteArray(), true);
        QCOMPARE(empty.size(), 11);
        QCOMPARE(empty, gen1(0x80, hex("00000000")));
        const QByteArray image = hex("3C2301FF");
        QCOMPARE(PrinterProtocol::packUpdateProgramer(image, false), gen1(0x81, be32(4) + image));

        const QByteArray data(300, '\x01');
        const QByteArray package = PrinterProtocol::packWriteDataPackage(data);
        QCOMPARE(package.size(), 9 + 300);
        QCOMPARE(package, gen1(0x31, hex("082C") + data));
    }

    void checksumKeepsLowEightBits()
    {
        QCOMPARE(PrinterProtocol::toCrc(QByteArray()), quint8(0));
        QCOMPARE(PrinterProtocol::toCrc(hex("FFFF02")), quint8(0x00));
        QCOMPARE(PrinterProtocol::toCrc(hex("A9201010")), quint8(0xE9));
        const QByteArray heavy = PrinterProtocol::packWriteData(1, QByteArray(16, '\xFF'));
        QCOMPARE(quint8(heavy.at(heavy.size() - 3)), PrinterProtocol::toCrc(heavy.left(heavy.size() - 3)));
        QCOMPARE(heavy, gen1(0xA1, QByteArray(1, 1) + QByteArray(16, '\xFF')));
    }

    void writeIpTextsOutsideTheUsualForm()
    {
        LogCapture log;
        // 300 keeps its low 8 bits; a part that is no number is 0; a port
        // keeps its low 16 bits.
        QCOMPARE(PrinterProtocol::packWriteIP("300.abc.-1.7", "255.255.255.0", "1.2.3.4", 70000),
                 gen1(0x70, hex("2C00FF07FFFFFF00010203041170")));
        QVERIFY(log.warnings().isEmpty());
        // Fewer than four parts: the missing ones are 0, with a warning.
        QCOMPARE(PrinterProtocol::packWriteIP("192.168.1", "", "10", 1),
                 gen1(0x70, hex("C0A80100000000000A0000000001")));
        QCOMPARE(log.warnings().size(), 3);
        QVERIFY(log.warnings().first().contains("192.168.1"));
    }

    void packersLogTheirFrames()
    {
        LogCapture log;
        PrinterProtocol::packHandshake();
        PrinterProtocol::packStopPrint();
        PrinterProtocol::packReadData(5);
        PrinterProtocol::packUpdateProgramer(hex("0102"), true);
        const QStringList debug = log.messages(QtDebugMsg);
        QVERIFY(debug.contains("packHandshake a9201010e93c23"));
        QVERIFY(debug.contains("packStopPrint a9201013ec3c23"));
        QVERIFY(debug.contains("packUpdateProgramer a9 20 10 80 00 00 00 02 01 02 5e 3c 23 "));
        QCOMPARE(debug.size(), 3); // packReadData logs nothing
        // A firmware image is logged by its head and size only.
        log.clear();
        PrinterProtocol::packUpdateProgramer(QByteArray(4 << 20, '\x5a'), true);
        const QString line = log.messages(QtDebugMsg).value(0);
        QVERIFY(line.endsWith(QStringLiteral("... (4194315 bytes)")));
        QVERIFY(line.size() < 2000);
    }

    void handshakeCurrentLayout()
    {
        QByteArray payload;
        payload.append(char(0));
        payload.append(field("V2.0.1", 32));
        payload.append(QByteArray("KELO30ABCDEFGHIJKLMNOPQRSTUVWXYZ")); // all 32 bytes used
        payload.append(char(0x35));
        payload.append(field("INK-0001", 32));
        payload.append(be32(0xFFFFFFFE));
        const QByteArray frame = gen1(0x10, payload);
        QCOMPARE(frame.size(), PrinterProtocol::HANDSHAKE_REPLY_LENGTH);

        LogCapture log;
        const HandshakeReceiveModel m = PrinterProtocol::unpackHandshake(frame);
        QCOMPARE(m.status, quint8(0));
        QCOMPARE(m.version, QString("V2.0.1"));
        QCOMPARE(m.sn, QString("KELO30ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        QCOMPARE(m.sn.size(), 32);
        QCOMPARE(m.model, quint8(5));
        QCOMPARE(m.inkboxSerial, QString("INK-0001"));
        QCOMPARE(m.inkAmount, qint32(-2));
        QVERIFY(log.contains(QStringLiteral("版本号：V2.0.1\nSN码：KELO30ABCDEFGHIJKLMNOPQRSTUVWXYZ\n,机型：5\n"
                                            "墨盒序列号：INK-0001\n墨量：4294967294")));
    }

    void handshakeOldLayout()
    {
        QByteArray payload;
        payload.append(char(3));
        payload.append(QByteArray("V1.23456")); // 8 of 8
        payload.append(field("KELO20SN", 15));
        payload.append(field(QString("墨盒A").toUtf8(), 32));
        const QByteArray frame = gen1(0x10, payload);
        QCOMPARE(frame.size(), PrinterProtocol::HANDSHAKE_OLD_REPLY_LENGTH);
        const HandshakeReceiveModel m = PrinterProtocol::unpackHandshakeOld(frame);
        QCOMPARE(m.status, quint8(3));
        QCOMPARE(m.version, QString("V1.23456"));
        QCOMPARE(m.sn, QString("KELO20SN"));
        QCOMPARE(m.inkboxSerial, QString("墨盒A"));
        QCOMPARE(m.model, quint8(0));
        QCOMPARE(m.inkAmount, qint32(0));
    }

    void shortFramesReadAsZerosAndEmptyTexts()
    {
        // Status and half the version field; the checksum and tail are never
        // read as fields.
        const HandshakeReceiveModel h = PrinterProtocol::unpackHandshake(gen1(0x10, hex("07") + "V9"));
        QCOMPARE(h.status, quint8(7));
        QCOMPARE(h.version, QString("V9"));
        QVERIFY(h.sn.isEmpty());
        QVERIFY(h.inkboxSerial.isEmpty());
        QCOMPARE(h.model, quint8(0));
        QCOMPARE(h.inkAmount, qint32(0));

        QCOMPARE(PrinterProtocol::unpackAckStatus(gen1(0x50)), quint8(0));
        QCOMPARE(PrinterProtocol::unpackAckStatus(hex("A92010")), quint8(0));
        QCOMPARE(PrinterProtocol::unpackPrint(QByteArray()).status, quint8(0));

        const PrintParameterSettings p = PrinterProtocol::unpackReadPrintParameter(gen1(0x51, hex("000302D2")));
        QCOMPARE(p.speed, quint8(3));
        QCOMPARE(p.voltage, quint8(0xD2));
        QCOMPARE(p.pulseWidth, quint8(0));
        QCOMPARE(p.compensationX, qint16(0));
        QCOMPARE(p.powerOnReset, quint8(0));

        // Half a 16-bit field reads as 0.
        const PrintParameterSettings half =
            PrinterProtocol::unpackReadPrintParameter(gen1(0x51, hex("00010203040506 07FF")));
        QCOMPARE(half.washLevel, quint8(7));
        QCOMPARE(half.compensationX, qint16(0));

        const PrintHardWareVersion v = PrinterProtocol::unpackReadPrinterHardVersion(gen1(0x74, hex("00") + "M1"));
        QCOMPARE(v.masterVersion, QString("M1"));
        QVERIFY(v.motionVersion.isEmpty());
    }

    void statusReplies()
    {
        QCOMPARE(PrinterProtocol::unpackPrint(gen1(0x11, hex("00"))).status, quint8(0));
        QCOMPARE(PrinterProtocol::unpackPrint(gen1(0x20, hex("09"))).status, quint8(9));
        QCOMPARE(PrinterProtocol::unpackWriteIP(gen1(0x70, hex("01"))).status, quint8(1));
        QCOMPARE(PrinterProtocol::unpackUpdateProgramer(gen1(0x81, hex("20"))).status, quint8(0x20));
        QCOMPARE(PrinterProtocol::unpackAckStatus(gen1(0xA1, hex("98"))), quint8(0x98));
        // An over-long frame: what follows the layout is ignored.
        QCOMPARE(PrinterProtocol::unpackAckStatus(gen1(0x60, hex("05AABBCC"))), quint8(5));
    }

    void parameterReply()
    {
        const QByteArray frame = gen1(0x51, hex("00 03 02 D2 23 02 01 04 FF6A 012C 01"));
        QCOMPARE(frame.size(), 20);
        const PrintParameterSettings s = PrinterProtocol::unpackReadPrintParameter(frame);
        QCOMPARE(s.status, quint8(0));
        QCOMPARE(s.speed, quint8(3));
        QCOMPARE(s.colorDepth, quint8(2));
        QCOMPARE(s.voltage, quint8(210));
        QCOMPARE(s.pulseWidth, quint8(35));
        QCOMPARE(s.printMode, quint8(2));
        QCOMPARE(s.paperExit, quint8(1));
        QCOMPARE(s.washLevel, quint8(4));
        QCOMPARE(s.compensationX, qint16(-150));
        QCOMPARE(s.compensationY, qint16(300));
        QCOMPARE(s.powerOnReset, quint8(1));
        // Every field is read whatever the status.
        QCOMPARE(PrinterProtocol::unpackReadPrintParameter(gen1(0x51, hex("0501"))).speed, quint8(1));
    }

    void networkReply()
    {
        LogCapture log;
        const ReadIPReceiveModel ok =
            PrinterProtocol::unpackReadIP(gen1(0x71, hex("00C0A8011EFFFFFF00C0A801011FAF")));
        QCOMPARE(ok.status, quint8(0));
        QCOMPARE(ok.ip[0], quint8(192));
        QCOMPARE(ok.ip[3], quint8(30));
        QCOMPARE(ok.mask[2], quint8(255));
        QCOMPARE(ok.mask[3], quint8(0));
        QCOMPARE(ok.gateway[3], quint8(1));
        QCOMPARE(ok.port, quint16(8111));
        QVERIFY(log.messages(QtDebugMsg).contains("receive printer ip is: 192.168.1.30"));
        QVERIFY(log.messages(QtDebugMsg).contains("receive port is: 8111"));

        log.clear();
        const ReadIPReceiveModel failed =
            PrinterProtocol::unpackReadIP(gen1(0x71, hex("05C0A8011EFFFFFF00C0A801011FAF")));
        QCOMPARE(failed.status, quint8(5));
        QCOMPARE(failed.ip[0], quint8(0));
        QCOMPARE(failed.port, quint16(0));
        QVERIFY(log.messages(QtDebugMsg).isEmpty());
    }

    void inkboxReply()
    {
        const QByteArray data = hex("00001F40FFFFE0BF3C2300000000AAFF");
        const stInkbox ok = PrinterProtocol::unpackReadData(gen1(0xA0, hex("0006") + data));
        QCOMPARE(ok.status, quint8(0));
        QCOMPARE(ok.block, DataBlock(6));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(ok.data), 16), data);

        LogCapture log;
        const stInkbox shortOne = PrinterProtocol::unpackReadData(gen1(0xA0, hex("0006") + data.left(10)));
        QCOMPARE(shortOne.status, stInkbox::STATUS_BAD_LENGTH);
        QCOMPARE(shortOne.block, DataBlock(0));
        QCOMPARE(shortOne.data[0], quint8(0));
        QVERIFY(log.contains("data len is not 25"));
        QCOMPARE(PrinterProtocol::unpackReadData(gen1(0xA0, hex("0006") + data + "X")).status,
                 stInkbox::STATUS_BAD_LENGTH);
    }

    void hardwareVersionReply()
    {
        const QByteArray full(40, 'M');
        const PrintHardWareVersion v =
            PrinterProtocol::unpackReadPrinterHardVersion(gen1(0x74, hex("00") + full + field("MOT-1.0", 40)));
        QCOMPARE(v.status, quint8(0));
        QCOMPARE(v.masterVersion, QString(full));
        QCOMPARE(v.motionVersion, QString("MOT-1.0"));
    }

    void unusedReplyHelpers()
    {
        LogCapture log;
        QVERIFY(PrinterProtocol::unpackWriteData(gen1(0x31, hex("00"))));
        QVERIFY(log.contains(QStringLiteral("写入成功")));
        const struct {
            const char *status;
            const char *text;
        } failures[] = {{"20", "超时"}, {"98", "校验错误"}, {"99", "协议版本错误"}, {"07", "未知错误"}};
        for (const auto &f : failures) {
            log.clear();
            QVERIFY(!PrinterProtocol::unpackWriteData(gen1(0x31, hex(f.status))));
            QVERIFY(log.warnings().contains(QString::fromUtf8(f.text)));
        }
        // A reply without a status byte is no success.
        QVERIFY(!PrinterProtocol::unpackWriteData(gen1(0x31)));

        log.clear();
        PrinterProtocol::unpackReadDataPackage(gen1(0x30, hex("09AABBCC")));
        QVERIFY(log.messages(QtDebugMsg).contains(QStringLiteral("读到数据: bbcc")));
        PrinterProtocol::unpackWriteDataPackage(gen1(0x31, hex("04")));
        QVERIFY(log.messages(QtDebugMsg).contains(QStringLiteral("写入状态码: 4")));

        log.clear();
        QVERIFY(!PrinterProtocol::checkData(hex("A9203C23")));
        QVERIFY(PrinterProtocol::checkData(gen1(0x11, hex("00"))));
        QVERIFY(!PrinterProtocol::checkData(hex("A8201011003C23")));
        QVERIFY(log.contains(QStringLiteral("头码错误")));
        QVERIFY(!PrinterProtocol::checkData(hex("A92010110000")));
        QVERIFY(log.contains(QStringLiteral("尾码错误")));
    }

    void modelsAndPrinterState()
    {
        const ReadIPReceiveModel ip;
        QCOMPARE(ip.status, quint8(0));
        QCOMPARE(ip.gateway[3], quint8(0));
        QCOMPARE(ip.port, quint16(0));
        QCOMPARE(UpdateStatusModel().status, quint8(0));
        const PrintParameterSettings s;
        QCOMPARE(s.powerOnReset, quint8(0));
        QCOMPARE(s.compensationY, qint16(0));
        const HandshakeReceiveModel h;
        QCOMPARE(h.model, quint8(0));
        QCOMPARE(h.inkAmount, qint32(0));

        // Copies are independent.
        HandshakeReceiveModel copy = h;
        copy.version = "X";
        QVERIFY(h.version.isEmpty());

        // Fields in the order of the reply, the status first: a record
        // written in that order sends its parameters in that order.
        const PrintParameterSettings ordered{5, 1, 2, 120, 16, 2, 1, 3, -150, 200, 2};
        QCOMPARE(ordered.status, quint8(5));
        QCOMPARE(PrinterProtocol::packWritePrintParameter(ordered), gen1(0x50, hex("01 02 78 10 02 01 03 FF6A 00C8 02")));
        PrinterUtil::s_printerSetting = ordered;
        QCOMPARE(PrinterUtil::s_printerSetting.powerOnReset, quint8(2));

        // The shell keeps a parameter reply's fields without its status.
        PrintParameterSettings reply;
        reply.status = 0;
        reply.speed = 2;
        reply.compensationY = -7;
        PrinterUtil::s_printerSetting = reply;
        QCOMPARE(PrinterUtil::s_printerSetting.speed, quint8(2));
        QCOMPARE(PrinterUtil::s_printerSetting.compensationY, qint16(-7));

        PrinterUtil::s_protocolType = 3;
        PrinterUtil::s_printerSys.sn = "SN";
        PrinterUtil::s_printerSys.remainDots = 99;
        PrinterUtil::s_printerSys.ip = "10.0.0.2";
        PrinterUtil::s_printerSys.port = "8111";
        PrinterUtil::s_printerSetting.compensationX = -5;
        PrinterUtil::s_printerHardVersion.motionVersion = "M";
        PrinterUtil::reset();
        QCOMPARE(PrinterUtil::s_protocolType, 0);
        QVERIFY(PrinterUtil::s_printerSys.sn.isEmpty());
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, quint32(0));
        QCOMPARE(PrinterUtil::s_printerSetting.compensationX, qint16(0));
        QVERIFY(PrinterUtil::s_printerHardVersion.motionVersion.isEmpty());
        // The network texts describe the link and survive.
        QCOMPARE(PrinterUtil::s_printerSys.ip, QString("10.0.0.2"));
        QCOMPARE(PrinterUtil::s_printerSys.port, QString("8111"));

        QCOMPARE(PrinterUtil::protocolTypeFromSn("KELO10-1"), 1);
        QCOMPARE(PrinterUtil::protocolTypeFromSn("KELO20"), 2);
        QCOMPARE(PrinterUtil::protocolTypeFromSn("ABC30XYZ"), 0);
        QCOMPARE(PrinterUtil::protocolTypeFromSn("ABCD30"), 3);
        QCOMPARE(PrinterUtil::protocolTypeFromSn("ABCD40"), 0);
        QCOMPARE(PrinterUtil::protocolTypeFromSn("ABCD1"), 0);
        QCOMPARE(PrinterUtil::protocolTypeFromSn(QString()), 0);
    }
};

QTEST_GUILESS_MAIN(TestPrinterProtocol)
#include "tst_printerprotocol.moc"
