#include "printer/printerprotocol3.h"

#include "printer/framereader.h"
#include "printer/printerprotocol.h"

#include <QDateTime>
#include <QDebug>
#include <QStringList>

#include <algorithm>

namespace {

const QString HEAD_TEXT = QStringLiteral("A9 20");
const QString TAIL_TEXT = QStringLiteral("20 AA");
constexpr int DATA_OFFSET = 5;
constexpr int BLOCK_BYTES = 16;

// The data of a frame: after head, command and length, and neither past
// what the length field announces nor into the CRC and tail.
FrameReader dataReader(const QByteArray &frame)
{
    int end = frame.size();
    if (frame.size() >= 9) {
        const int length = quint8(frame.at(3)) | (quint8(frame.at(4)) << 8);
        end = std::min(frame.size() - 4, DATA_OFFSET + length);
    }
    return FrameReader(frame, DATA_OFFSET, end, FrameReader::LittleEndian);
}

} // namespace

QByteArray PrinterProtocol3::buildFrame(quint8 command, const QByteArray &data)
{
    QByteArray frame = hexStringToByteArray(HEAD_TEXT);
    frame.append(char(command));
    frame.append(int2Byte(data.size(), false));
    frame.append(data);
    frame.append(int2Byte(calc_crc16(frame), false));
    frame.append(hexStringToByteArray(TAIL_TEXT));
    return frame;
}

QByteArray PrinterProtocol3::readPrinterInfo()
{
    return buildFrame(CMD_READ_INFO, QByteArray());
}

QByteArray PrinterProtocol3::readNetworkInfo()
{
    return buildFrame(CMD_READ_INFO, QByteArray());
}

QByteArray PrinterProtocol3::writeNetworkInfo(const NetworkInfo &info)
{
    QByteArray data;
    data.append(PrinterProtocol::ipv4Octets(info.ip));
    data.append(PrinterProtocol::ipv4Octets(info.mask));
    data.append(PrinterProtocol::ipv4Octets(info.gateway));
    data.append(int2Byte(info.value2, false));
    data.append(int2Byte(info.value1, false));
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    for (int part : {date.year() % 256, date.month(), date.day(), time.hour(), time.minute(), time.second()})
        data.append(char(part));
    return buildFrame(CMD_WRITE_NETWORK, data);
}

QByteArray PrinterProtocol3::totalBagPackage(int packageCount, int totalBytes)
{
    QByteArray data = int2Byte(packageCount, false);
    data.append(int2Byte(totalBytes, false));
    return buildFrame(CMD_TOTAL_BAG, data);
}

QByteArray PrinterProtocol3::printDataPackage(const PrintRowBlock &band, int index)
{
    const qint64 length = 6 + 4 * qint64(band.blocks.size()) + band.data.size();
    if (length > MAX_DATA_LENGTH) {
        qWarning() << "printDataPackage: package" << index << "needs" << length
                   << "data bytes, more than a frame can carry; not built";
        return QByteArray();
    }
    QByteArray data = int2Byte(index, false);
    data.append(int2Byte(band.offsetY, false));
    data.append(int2Byte(band.blocks.size(), false));
    for (const RowDataBlock &run : band.blocks) {
        data.append(int2Byte(run.start, false));
        data.append(int2Byte(run.end, false));
    }
    data.append(band.data);
    return buildFrame(CMD_PRINT_DATA, data);
}

QByteArray PrinterProtocol3::startPrintPackage()
{
    return buildFrame(CMD_START_PRINT, QByteArray());
}

QByteArray PrinterProtocol3::packHandshake()
{
    return buildFrame(CMD_HANDSHAKE, QByteArray());
}

QByteArray PrinterProtocol3::packReadData(unsigned char block)
{
    return buildFrame(CMD_READ_DATA, QByteArray(1, char(block)));
}

QByteArray PrinterProtocol3::packWriteData(unsigned char block, const QByteArray &data)
{
    QByteArray payload(1, char(block));
    QByteArray bytes = data.left(BLOCK_BYTES);
    bytes.append(QByteArray(BLOCK_BYTES - bytes.size(), ' '));
    payload.append(bytes);
    return buildFrame(CMD_WRITE_DATA, payload);
}

HandshakeReceiveModel PrinterProtocol3::unpackHandshake(const QByteArray &frame)
{
    FrameReader in = dataReader(frame);
    HandshakeReceiveModel model;
    model.version = in.text(8);
    model.sn = in.text(15);
    model.inkboxSerial = in.text(32);
    model.inkAmount = in.i32();
    qInfo().noquote() << QStringLiteral(" 握手回执： ") << model.version << model.sn << model.inkboxSerial
                      << model.inkAmount;
    return model;
}

PrintReceiveModel PrinterProtocol3::unPackPrintStatus(const QByteArray &frame)
{
    PrintReceiveModel model;
    model.status = dataReader(frame).u8() == 1 ? 0 : 1;
    return model;
}

bool PrinterProtocol3::unPackPrintData(const QByteArray &frame)
{
    Q_UNUSED(frame)
    return false;
}

bool PrinterProtocol3::unpackWriteData(const QByteArray &frame)
{
    FrameReader in = dataReader(frame);
    if (in.atEnd()) {
        qWarning() << "unpackWriteData: reply without status" << frame.toHex();
        return false;
    }
    const quint8 status = in.u8();
    qInfo().noquote() << QStringLiteral(" 写数据块回执： ") << status;
    return status == 0;
}

BlockDataInfo PrinterProtocol3::unpackReadData(const QByteArray &frame)
{
    FrameReader in = dataReader(frame);
    BlockDataInfo info;
    info.status = in.u8();
    info.block = in.u8();
    in.bytes(info.value, 4);
    in.bytes(info.data, BLOCK_BYTES);
    const QByteArray value(reinterpret_cast<const char *>(info.value), 4);
    qInfo().noquote() << QStringLiteral(" 读数据块回执： ") << info.status << value.toHex()
                      << QByteArray(reinterpret_cast<const char *>(info.data), BLOCK_BYTES).toHex();
    FrameReader number(value, 0, 4, FrameReader::LittleEndian);
    qInfo().noquote() << "data value is " << number.u32();
    return info;
}

NetworkInfo PrinterProtocol3::getNetworkInfo(const QByteArray &frame)
{
    NetworkInfo info;
    if (!checkMsg(frame))
        return info;
    if (quint8(frame.at(2)) != CMD_READ_INFO) {
        qWarning().noquote() << QStringLiteral(" 命令码错误 ");
        return info;
    }
    FrameReader in = dataReader(frame);
    const auto dotted = [&in]() {
        quint8 o[4];
        in.bytes(o, 4);
        return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
    };
    info.ip = dotted();
    info.mask = dotted();
    info.gateway = dotted();
    info.value2 = in.u16();
    info.value1 = in.u16();
    return info;
}

quint16 PrinterProtocol3::calc_crc16(const QByteArray &data)
{
    quint16 crc = 0xFFFF;
    for (char c : data) {
        crc ^= quint8(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

QByteArray PrinterProtocol3::int2Byte(int value, bool bigEndian)
{
    const char low = char(value & 0xFF);
    const char high = char((value >> 8) & 0xFF);
    QByteArray bytes;
    bytes.append(bigEndian ? high : low);
    bytes.append(bigEndian ? low : high);
    return bytes;
}

QByteArray PrinterProtocol3::int4Byte(int value, bool bigEndian)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        const char b = char((quint32(value) >> (8 * i)) & 0xFF);
        bytes[bigEndian ? 3 - i : i] = b;
    }
    return bytes;
}

QByteArray PrinterProtocol3::bits2ByteArray(const QBitArray &bits, bool msbFirst)
{
    if (bits.size() % 8 != 0) {
        qDebug() << "The bits length is not an integer of 8";
        return QByteArray();
    }
    QByteArray bytes(bits.size() / 8, '\0');
    for (int i = 0; i < bits.size(); ++i) {
        if (bits.testBit(i))
            bytes[i / 8] = char(uchar(bytes.at(i / 8)) | (1u << (msbFirst ? 7 - i % 8 : i % 8)));
    }
    return bytes;
}

quint8 PrinterProtocol3::bit2Byte(const QBitArray &bits, bool msbFirst)
{
    quint32 sum = 0;
    const int n = bits.size();
    for (int i = 0; i < n; ++i) {
        const int power = msbFirst ? n - 1 - i : i;
        if (bits.testBit(i) && power < 32)
            sum += 1u << power;
    }
    return quint8(sum & 0xFF);
}

QByteArray PrinterProtocol3::hexStringToByteArray(const QString &text)
{
    QByteArray bytes;
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        bool ok = false;
        const qulonglong value = part.toULongLong(&ok, 16);
        if (ok)
            bytes.append(char(value & 0xFF));
    }
    return bytes;
}

QString PrinterProtocol3::byteArray2HexString(const QByteArray &data, bool spaced)
{
    if (!spaced)
        return QString::fromLatin1(data.toHex());
    QString text;
    text.reserve(data.size() * 3);
    for (char c : data)
        text += QString::fromLatin1(QByteArray(1, c).toHex()) + QLatin1Char(' ');
    return text;
}

QByteArray PrinterProtocol3::dot2ByteArray(const QVector<QVector<int> > &matrix, int width, int height)
{
    QByteArray bytes;
    if (width < 1 || height < 1)
        return bytes;
    const int perColumn = (height + 7) / 8;
    bytes.reserve(width * perColumn);
    for (int x = 0; x < width; ++x) {
        for (int k = 0; k < perColumn; ++k) {
            uchar byte = 0;
            for (int j = 0; j < 8; ++j) {
                const int y = 8 * k + j;
                if (y < height && y < matrix.size() && x < matrix.at(y).size() && matrix.at(y).at(x) == 1)
                    byte |= uchar(1u << j);
            }
            bytes.append(char(byte));
        }
    }
    return bytes;
}

bool PrinterProtocol3::checkMsg(const QByteArray &frame)
{
    const QByteArray head = hexStringToByteArray(HEAD_TEXT);
    const QByteArray tail = hexStringToByteArray(TAIL_TEXT);
    const int tailAt = frame.lastIndexOf(tail);
    if (frame.indexOf(head) < 0 || tailAt < 0) {
        qWarning().noquote() << QStringLiteral("帧头/帧尾异常");
        return false;
    }
    if (frame.size() < 9) {
        qWarning().noquote() << QStringLiteral("报文长度异常");
        return false;
    }
    const int length = quint8(frame.at(3)) | (quint8(frame.at(4)) << 8);
    if (length != tailAt - 7) {
        qWarning().noquote() << QStringLiteral("数据长度异常");
        return false;
    }
    return true;
}

quint8 PrinterProtocol3::calcCrc(const QByteArray &frame)
{
    quint32 sum = 0;
    for (int i = 4; i < frame.size(); ++i)
        sum += quint8(frame.at(i));
    return quint8(sum & 0xFF);
}
