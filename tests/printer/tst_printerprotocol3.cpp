#include "printer/printerprotocol3.h"
#include "support/testsupport.h"
#include "util/pictureutils.h"

#include <QColor>
#include <QDateTime>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

using TestSupport::LogCapture;
using TestSupport::hex;

namespace {

// CRC-16/MODBUS from a lookup table, a different road than the code's.
quint16 tableCrc(const QByteArray &data)
{
    static quint16 table[256];
    static bool built = false;
    if (!built) {
        for (int n = 0; n < 256; ++n) {
            quint16 c = quint16(n);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? quint16((c >> 1) ^ 0xA001) : quint16(c >> 1);
            table[n] = c;
        }
        built = true;
    }
    quint16 crc = 0xFFFF;
    for (char ch : data)
        crc = quint16((crc >> 8) ^ table[(crc ^ quint8(ch)) & 0xFF]);
    return crc;
}

int le16(const QByteArray &f, int at)
{
    return quint8(f.at(at)) | (quint8(f.at(at + 1)) << 8);
}

// A generation-2 frame written from the table.
QByteArray gen2(quint8 command, const QByteArray &data)
{
    QByteArray f = hex("A920");
    f.append(char(command));
    f.append(char(data.size() & 0xFF)).append(char(data.size() >> 8));
    f.append(data);
    const quint16 crc = tableCrc(f);
    f.append(char(crc & 0xFF)).append(char(crc >> 8));
    f.append(hex("20AA"));
    return f;
}

// Decodes a frame: checks its envelope and CRC and returns its data.
bool openFrame(const QByteArray &f, quint8 command, QByteArray *data)
{
    if (f.size() < 9 || !f.startsWith(hex("A920")) || !f.endsWith(hex("20AA")) || quint8(f.at(2)) != command)
        return false;
    const int n = le16(f, 3);
    if (f.size() != 9 + n || le16(f, 5 + n) != tableCrc(f.left(5 + n)))
        return false;
    *data = f.mid(5, n);
    return true;
}

} // namespace

class TestPrinterProtocol3 : public QObject
{
    Q_OBJECT

private slots:
    void goldenFrames()
    {
        QCOMPARE(PrinterProtocol3::packHandshake(), hex("A9201000 00721D20AA"));
        QCOMPARE(PrinterProtocol3::startPrintPackage(), hex("A9200800 00F21A20AA"));
        QCOMPARE(PrinterProtocol3::readPrinterInfo(), hex("A9200100 00221820AA"));
        QCOMPARE(PrinterProtocol3::readNetworkInfo(), hex("A9200100 00221820AA"));
        QCOMPARE(PrinterProtocol3::totalBagPackage(3, 57), hex("A9200404 0003003900CCEF20AA"));
        // The total's low 16 bits.
        QCOMPARE(PrinterProtocol3::totalBagPackage(1, 0x12345), gen2(0x04, hex("01004523")));
        QCOMPARE(PrinterProtocol3::packReadData(6), gen2(0x15, hex("06")));
    }

    void crc()
    {
        QCOMPARE(PrinterProtocol3::calc_crc16("123456789"), quint16(0x4B37));
        QCOMPARE(PrinterProtocol3::calc_crc16(QByteArray()), quint16(0xFFFF));
        QRandomGenerator random(5);
        for (int i = 0; i < 50; ++i) {
            QByteArray data;
            for (int n = int(random.bounded(300)); n > 0; --n)
                data.append(char(random.bounded(256)));
            QCOMPARE(PrinterProtocol3::calc_crc16(data), tableCrc(data));
        }
    }

    void printDataPackage()
    {
        PrintRowBlock band;
        band.offsetY = 0x0102;
        band.blocks.append(RowDataBlock{0x10, 0x12});
        for (int i = 0; i < 38; ++i)
            band.data.append(char(i));
        const QByteArray f = PrinterProtocol3::printDataPackage(band, 1);
        QCOMPARE(f.mid(3, 2), hex("3000"));
        QCOMPARE(f.mid(5, 10), hex("01000201010010001200"));
        QByteArray data;
        QVERIFY(openFrame(f, 0x05, &data));
        QCOMPARE(data.mid(10), band.data);

        // Data that the 16-bit length cannot carry is refused.
        LogCapture log;
        PrintRowBlock big;
        big.data = QByteArray(0xFFFF - 6 + 1, '\x01');
        QVERIFY(PrinterProtocol3::printDataPackage(big, 2).isEmpty());
        QCOMPARE(log.warnings().size(), 1);
        big.data.chop(1);
        QCOMPARE(PrinterProtocol3::printDataPackage(big, 2).size(), 9 + 0xFFFF);
    }

    void byteHelpers()
    {
        QCOMPARE(PrinterProtocol3::int2Byte(0x1234, false), hex("3412"));
        QCOMPARE(PrinterProtocol3::int2Byte(0x1234, true), hex("1234"));
        QCOMPARE(PrinterProtocol3::int2Byte(-1, false), hex("FFFF"));
        QCOMPARE(PrinterProtocol3::int4Byte(0x12345678, false), hex("78563412"));
        QCOMPARE(PrinterProtocol3::int4Byte(0x12345678, true), hex("12345678"));

        LogCapture log;
        QVERIFY(PrinterProtocol3::bits2ByteArray(QBitArray(150), false).isEmpty());
        QVERIFY(log.contains("The bits length is not an integer of 8"));
        QBitArray bits(152);
        bits.setBit(0);
        bits.setBit(9);
        bits.setBit(151);
        QCOMPARE(PrinterProtocol3::bits2ByteArray(bits, false), hex("0102") + QByteArray(16, '\0') + hex("80"));
        QCOMPARE(PrinterProtocol3::bits2ByteArray(bits, true), hex("8040") + QByteArray(16, '\0') + hex("01"));

        QBitArray three(3);
        three.setBit(0);
        QCOMPARE(PrinterProtocol3::bit2Byte(three, false), quint8(1));
        QCOMPARE(PrinterProtocol3::bit2Byte(three, true), quint8(4));
        QBitArray ten(10, true);
        QCOMPARE(PrinterProtocol3::bit2Byte(ten, false), quint8(0xFF)); // low 8 bits of 1023

        QCOMPARE(PrinterProtocol3::hexStringToByteArray("  a9   20 zz 1ff\t3c "), hex("A920FF3C"));
        QCOMPARE(PrinterProtocol3::byteArray2HexString(hex("A90F"), false), QString("a90f"));
        QCOMPARE(PrinterProtocol3::byteArray2HexString(hex("A90F"), true), QString("a9 0f "));

        QVector<QVector<int> > m(10, QVector<int>(2, 0));
        m[0][0] = 1;
        m[9][0] = 1;
        m[3][1] = 1;
        QCOMPARE(PrinterProtocol3::dot2ByteArray(m, 2, 10), hex("0102 0800"));
        QCOMPARE(PrinterProtocol3::dot2ByteArray(m, 3, 12), hex("0102 0800 0000"));

        QCOMPARE(PrinterProtocol3::calcCrc(hex("A9200100FF02")), quint8(0x01));
        QCOMPARE(PrinterProtocol3::calcCrc(hex("A9200100")), quint8(0));
    }

    void writeData()
    {
        const QByteArray twenty("ABCDEFGHIJKLMNOPQRST");
        QCOMPARE(PrinterProtocol3::packWriteData(5, twenty), gen2(0x16, QByteArray(1, 5) + twenty.left(16)));
        QCOMPARE(PrinterProtocol3::packWriteData(5, "xyz"), gen2(0x16, QByteArray(1, 5) + "xyz" + QByteArray(13, ' ')));
    }

    void writeNetworkInfo()
    {
        NetworkInfo info;
        info.ip = "192.168.1.30";
        info.mask = "255.255.255.0";
        info.gateway = "192.168.1";
        info.value1 = 0x1FAF;
        info.value2 = 0x0102;
        LogCapture log;
        const QDateTime before = QDateTime::currentDateTime();
        const QByteArray f = PrinterProtocol3::writeNetworkInfo(info);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(log.warnings().size(), 1); // the three-part gateway
        QByteArray data;
        QVERIFY(openFrame(f, 0x02, &data));
        QCOMPARE(data.size(), 22);
        QCOMPARE(data.left(16), hex("C0A8011E FFFFFF00 C0A80100 0201 AF1F"));
        const auto stamp = [](const QDateTime &t) {
            QByteArray b;
            for (int v : {t.date().year() % 256, t.date().month(), t.date().day(), t.time().hour(),
                          t.time().minute(), t.time().second()})
                b.append(char(v));
            return b;
        };
        QVERIFY(data.mid(16) == stamp(before) || data.mid(16) == stamp(after));
        if (before.date().year() == 2026)
            QCOMPARE(quint8(data.at(16)), quint8(0xEA));
    }

    void checkMsg()
    {
        LogCapture log;
        QVERIFY(PrinterProtocol3::checkMsg(hex("A9201000 00721D20AA")));
        QVERIFY(PrinterProtocol3::checkMsg(hex("A9201000 00000020AA"))); // wrong CRC is fine
        QVERIFY(!PrinterProtocol3::checkMsg(hex("A9201001 00721D20AA")));
        QVERIFY(log.warnings().contains(QStringLiteral("数据长度异常")));
        QVERIFY(!PrinterProtocol3::checkMsg(gen2(0x05, hex("0102")).replace(3, 1, hex("01"))));
        QVERIFY(!PrinterProtocol3::checkMsg(hex("A920100000721D")));
        QVERIFY(log.warnings().contains(QStringLiteral("帧头/帧尾异常")));
        QVERIFY(!PrinterProtocol3::checkMsg(hex("A92020AA")));
        QVERIFY(log.warnings().contains(QStringLiteral("报文长度异常")));
    }

    void replies()
    {
        QByteArray handshake;
        handshake.append("V4.0.1\0\0", 8);
        handshake.append("KELO40SN1234567", 15);
        handshake.append(QByteArray("INK4").leftJustified(32, '\0'));
        handshake.append(hex("10270000")); // 10000, little-endian
        const HandshakeReceiveModel h = PrinterProtocol3::unpackHandshake(gen2(0x10, handshake));
        QCOMPARE(h.version, QString("V4.0.1"));
        QCOMPARE(h.sn, QString("KELO40SN1234567"));
        QCOMPARE(h.inkboxSerial, QString("INK4"));
        QCOMPARE(h.inkAmount, 10000);
        QCOMPARE(h.status, quint8(0));
        // Truncated: what is missing reads as empty and 0.
        const HandshakeReceiveModel cut = PrinterProtocol3::unpackHandshake(gen2(0x10, handshake.left(12)));
        QCOMPARE(cut.version, QString("V4.0.1"));
        QCOMPARE(cut.sn, QString("KELO"));
        QVERIFY(cut.inkboxSerial.isEmpty());
        QCOMPARE(cut.inkAmount, 0);

        QCOMPARE(PrinterProtocol3::unPackPrintStatus(gen2(0x05, hex("01"))).status, quint8(0));
        QCOMPARE(PrinterProtocol3::unPackPrintStatus(gen2(0x05, hex("00"))).status, quint8(1));
        QCOMPARE(PrinterProtocol3::unPackPrintStatus(gen2(0x05, hex("07"))).status, quint8(1));
        QVERIFY(!PrinterProtocol3::unPackPrintData(gen2(0x05, hex("01"))));

        QVERIFY(PrinterProtocol3::unpackWriteData(gen2(0x16, hex("00"))));
        QVERIFY(!PrinterProtocol3::unpackWriteData(gen2(0x16, hex("03"))));
        QVERIFY(!PrinterProtocol3::unpackWriteData(hex("A92016")));

        LogCapture log;
        const BlockDataInfo block =
            PrinterProtocol3::unpackReadData(gen2(0x15, hex("0006 40420F00") + QByteArray("0123456789ABCDEF")));
        QCOMPARE(block.status, quint8(0));
        QCOMPARE(block.block, quint8(6));
        QCOMPARE(block.value[0], quint8(0x40));
        QCOMPARE(block.data[15], quint8('F'));
        QVERIFY(log.contains("data value is  1000000"));

        const NetworkInfo net = PrinterProtocol3::getNetworkInfo(gen2(0x01, hex("C0A8011E FFFFFF00 C0A80101 0201 AF1F")));
        QCOMPARE(net.ip, QString("192.168.1.30"));
        QCOMPARE(net.mask, QString("255.255.255.0"));
        QCOMPARE(net.gateway, QString("192.168.1.1"));
        QCOMPARE(net.value2, quint16(0x0102));
        QCOMPARE(net.value1, quint16(0x1FAF));
        log.clear();
        QVERIFY(PrinterProtocol3::getNetworkInfo(gen2(0x02, hex("C0A8011E"))).ip.isEmpty());
        QVERIFY(log.warnings().contains(QStringLiteral(" 命令码错误 ")));
        QVERIFY(PrinterProtocol3::getNetworkInfo(hex("0102")).ip.isEmpty());
        // A short reply: missing octets read as 0.
        QCOMPARE(PrinterProtocol3::getNetworkInfo(gen2(0x01, hex("0A00"))).ip, QString("10.0.0.0"));
    }

    // The type-4 print road end to end: page → matrix → bands → frames, then
    // an independent decoder rebuilds the page from the frames alone.
    void bandRoadFramesRebuildThePage()
    {
        QRandomGenerator random(42);
        QImage page(420, 520, QImage::Format_RGB32);
        page.fill(Qt::white);
        for (int i = 0; i < 60; ++i) {
            const int x0 = int(random.bounded(400)), y0 = int(random.bounded(500));
            const int g = int(random.bounded(200));
            for (int y = y0; y < y0 + 20; ++y)
                for (int x = x0; x < x0 + 20; ++x)
                    page.setPixel(x, y, qRgb(g, g, g));
        }
        const int shiftY = 33, shiftX = 17;
        PrintBlock block = PictureUtils::toMatrix(&page, 150, false);
        block.y += shiftY;
        QList<PrintRowBlock> bands = PictureUtils::splitMatrixOfFullLine(block, false, 150);
        for (PrintRowBlock &band : bands)
            for (RowDataBlock &run : band.blocks) {
                run.start += shiftX;
                run.end += shiftX;
            }
        QList<QByteArray> frames{PrinterProtocol3::totalBagPackage(bands.size(), PictureUtils::calcBytes(&bands))};
        for (int i = 0; i < bands.size(); ++i)
            frames.append(PrinterProtocol3::printDataPackage(bands.at(i), i + 1));

        QByteArray data;
        QVERIFY(openFrame(frames.first(), 0x04, &data));
        const int packages = le16(data, 0);
        const int total = le16(data, 2);
        QCOMPARE(packages, frames.size() - 1);
        int totalSeen = 0;
        QSet<QPair<int, int> > rebuilt;
        int bandStart = 0;
        for (int i = 1; i <= packages; ++i) {
            QVERIFY(openFrame(frames.at(i), 0x05, &data));
            QCOMPARE(le16(data, 0), i);
            const int offsetY = le16(data, 2);
            bandStart = i == 1 ? offsetY : bandStart + 150 + offsetY;
            const int runs = le16(data, 4);
            int at = 6 + 4 * runs;
            for (int r = 0; r < runs; ++r) {
                for (int x = le16(data, 6 + 4 * r); x < le16(data, 8 + 4 * r); ++x, at += 19) {
                    for (int bit = 0; bit < 150; ++bit)
                        if ((quint8(data.at(at + bit / 8)) >> (bit % 8)) & 1)
                            rebuilt.insert(qMakePair(bandStart + bit, x));
                }
            }
            QCOMPARE(at, data.size());
            totalSeen += data.size() - 6 - 4 * runs;
        }
        QCOMPARE(total, totalSeen & 0xFFFF);

        QSet<QPair<int, int> > expected;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c(page.pixel(x, y));
                if (c.red() + c.green() + c.blue() <= 377)
                    expected.insert(qMakePair(y + shiftY, x + shiftX));
            }
        QVERIFY(!expected.isEmpty());
        QCOMPARE(rebuilt, expected);
    }
};

QTEST_GUILESS_MAIN(TestPrinterProtocol3)
#include "tst_printerprotocol3.moc"
