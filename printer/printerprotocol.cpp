#include "printer/printerprotocol.h"

#include "printer/framereader.h"

#include <QDateTime>
#include <QDebug>
#include <QStringList>

#include <cstring>

namespace {

constexpr int BAND_DOTS = 150;
constexpr int RECORD_BITS_BYTES = 19;
constexpr int RECORD_SIZE = 3 + RECORD_BITS_BYTES;
constexpr int MAX_RECORDS = 0xFFFF;
constexpr int MAX_BAND_INDEX = 0xFF;

void appendU16(QByteArray &out, quint32 value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

void appendU32(QByteArray &out, quint32 value)
{
    appendU16(out, value >> 16);
    appendU16(out, value & 0xFFFF);
}

QByteArray frameStart(quint8 command)
{
    QByteArray frame(PrinterProtocol::HEAD, 2);
    frame.append(char(PrinterProtocol::REQUEST_MARK));
    frame.append(char(command));
    return frame;
}

QByteArray frameEnd(QByteArray frame)
{
    frame.append(char(PrinterProtocol::toCrc(frame)));
    frame.append(PrinterProtocol::TAIL, 2);
    return frame;
}

QByteArray bareRequest(quint8 command)
{
    return frameEnd(frameStart(command));
}

QByteArray logFrame(const char *name, const QByteArray &frame)
{
    qDebug().noquote() << name << frame.toHex();
    return frame;
}

// Where the payload of a reply ends: before sum8 and the tail when the frame
// carries them, else at the frame's end.
int payloadEnd(const QByteArray &frame)
{
    if (frame.size() >= 7 && frame.endsWith(PrinterProtocol::TAIL))
        return frame.size() - 3;
    return frame.size();
}

FrameReader payloadReader(const QByteArray &frame)
{
    return FrameReader(frame, 4, payloadEnd(frame), FrameReader::BigEndian);
}

quint8 statusOnly(const QByteArray &frame)
{
    return payloadReader(frame).u8();
}

// The bit group of one record: band positions first .. first + 149 of one
// line of dots (a page row for packPrint, a page column for packPrintV10).
// Position first + 149 - i is bit i of the group, most significant bit
// first, and the last two bits are 0. Read backwards, that is the line's
// dots from first - 2 on, least significant bit first, byte by byte: the
// group is those 19 bytes in reverse order with the two bits before first
// cleared.
class BitGroup
{
public:
    BitGroup(const DotMask &lines, int line, qint64 first)
        : m_words{lines.bits(line, first - 2) & ~quint64(3), lines.bits(line, first + 62),
                  lines.bits(line, first + 126) & ((quint64(1) << (RECORD_BITS_BYTES * 8 - 128)) - 1)}
    {
    }

    bool hasDot() const { return (m_words[0] | m_words[1] | m_words[2]) != 0; }
    unsigned int dots() const
    {
        return qPopulationCount(m_words[0]) + qPopulationCount(m_words[1]) + qPopulationCount(m_words[2]);
    }
    void append(QByteArray &out) const
    {
        char bytes[RECORD_BITS_BYTES];
        for (int j = 0; j < RECORD_BITS_BYTES; ++j) {
            const int k = RECORD_BITS_BYTES - 1 - j;
            bytes[j] = char(m_words[k / 8] >> (8 * (k % 8)));
        }
        out.append(bytes, RECORD_BITS_BYTES);
    }

private:
    quint64 m_words[3];
};

QByteArray refusePage(const char *encoding, const char *reason)
{
    qWarning() << encoding << "page refused:" << reason;
    return QByteArray();
}

} // namespace

quint8 PrinterProtocol::toCrc(const QByteArray &data)
{
    quint32 sum = 0;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    for (int i = 0, n = data.size(); i < n; ++i)
        sum += p[i];
    return quint8(sum & 0xFF);
}

QByteArray PrinterProtocol::packHandshake()
{
    return logFrame("packHandshake", bareRequest(CMD_HANDSHAKE));
}

QByteArray PrinterProtocol::packStopPrint()
{
    return logFrame("packStopPrint", bareRequest(CMD_STOP_PRINT));
}

QByteArray PrinterProtocol::packReadIP()
{
    return logFrame("packReadIP", bareRequest(CMD_READ_IP));
}

QByteArray PrinterProtocol::packReadPrintParmeter()
{
    return logFrame("packReadPrintParmeter", bareRequest(CMD_READ_PARAMETER));
}

QByteArray PrinterProtocol::packWashInkbox()
{
    return logFrame("packWashInkbox", bareRequest(CMD_WASH_INKBOX));
}

QByteArray PrinterProtocol::packPrintTestPage()
{
    return bareRequest(CMD_PRINT_TEST_PAGE);
}

QByteArray PrinterProtocol::packSelfCheck()
{
    return bareRequest(CMD_SELF_CHECK);
}

QByteArray PrinterProtocol::packReadPrinterHardVersion()
{
    return bareRequest(CMD_READ_HARD_VERSION);
}

QByteArray PrinterProtocol::packReadData(DataBlock block)
{
    QByteArray frame = frameStart(CMD_READ_DATA);
    frame.append(char(block));
    return frameEnd(frame);
}

QByteArray PrinterProtocol::packWriteData(DataBlock block, const QByteArray &data)
{
    QByteArray frame = frameStart(CMD_WRITE_DATA);
    frame.append(char(block));
    frame.append(data);
    return frameEnd(frame);
}

QByteArray PrinterProtocol::packWritePrintParameter(const PrintParameterSettings &s)
{
    QByteArray frame = frameStart(CMD_WRITE_PARAMETER);
    for (quint8 v : {s.speed, s.colorDepth, s.voltage, s.pulseWidth, s.printMode, s.paperExit, s.washLevel})
        frame.append(char(v));
    appendU16(frame, quint16(s.compensationX));
    appendU16(frame, quint16(s.compensationY));
    frame.append(char(s.powerOnReset));
    return logFrame("packWritePrintParameter", frameEnd(frame));
}

QByteArray PrinterProtocol::ipv4Octets(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() < 4)
        qWarning() << "address" << text << "has fewer than four parts; the missing ones are sent as 0";
    QByteArray octets(4, '\0');
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        const qlonglong value = parts.at(i).toLongLong(&ok, 10);
        octets[i] = ok ? char(value & 0xFF) : '\0';
    }
    return octets;
}

QByteArray PrinterProtocol::packWriteIP(const QString &ip, const QString &mask, const QString &gateway, int port)
{
    QByteArray frame = frameStart(CMD_WRITE_IP);
    frame.append(ipv4Octets(ip));
    frame.append(ipv4Octets(mask));
    frame.append(ipv4Octets(gateway));
    appendU16(frame, quint32(port) & 0xFFFF);
    return logFrame("packWriteIP", frameEnd(frame));
}

QByteArray PrinterProtocol::packUpdateProgramer(const QByteArray &image, bool mainController)
{
    QByteArray frame = frameStart(mainController ? CMD_UPDATE_MAIN : CMD_UPDATE_MOTION);
    frame.reserve(11 + image.size());
    appendU32(frame, quint32(image.size()));
    frame.append(image);
    frame = frameEnd(frame);
    // A firmware image runs to megabytes: its hex would swell the day's log
    // threefold, so only the frame's head is written out.
    constexpr int LOGGED_BYTES = 512;
    QByteArray logged = frame.left(LOGGED_BYTES).toHex(' ') + ' ';
    if (frame.size() > LOGGED_BYTES)
        logged += "... (" + QByteArray::number(frame.size()) + " bytes)";
    qDebug().noquote() << "packUpdateProgramer" << logged;
    return frame;
}

QByteArray PrinterProtocol::packReadDataPackage()
{
    QByteArray frame = frameStart(CMD_READ_DATA_PACKAGE);
    frame.append(char(0x09));
    return logFrame("packReadDataPackage", frameEnd(frame));
}

QByteArray PrinterProtocol::packWriteDataPackage(const QByteArray &data)
{
    QByteArray frame = frameStart(CMD_WRITE_DATA_PACKAGE);
    frame.append(char(0x08));
    frame.append(char(data.size() & 0xFF));
    frame.append(data);
    return logFrame("packWriteDataPackage", frameEnd(frame));
}

// ---- print frames --------------------------------------------------------

QByteArray PrinterProtocol::packPrintV10(bool test, const QImage &image, int offsetX, int offsetY)
{
    unsigned int dots = 0;
    return packPrintV10(test, image, offsetX, offsetY, dots);
}

QByteArray PrinterProtocol::packPrintV10(bool test, const QImage &image, int offsetX, int offsetY,
                                         unsigned int &dots)
{
    return packPrintV10(test, DotMask::fromImage(image, V10_DOTS), offsetX, offsetY, dots);
}

QByteArray PrinterProtocol::packPrintV10(bool test, const DotMask &page, int offsetX, int offsetY,
                                         unsigned int &dots)
{
    qInfo() << "packPrintV10";
    qDebug() << "start packPrint" << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    qDebug() << "offsetX is" << offsetX << "offsetY is" << offsetY;
    // Counted as the records are built; told only for a page that is sent.
    dots = 0;
    unsigned int sent = 0;

    // Page row r is image row r + offsetY; rows above the image are white.
    const int w = page.width();
    const qint64 pageHeight = std::max<qint64>(0, qint64(page.height()) - offsetY);
    const qint64 firstInkRow = std::max<qint64>(0, -qint64(offsetY));
    const qint64 bandCount = (pageHeight + BAND_DOTS - 1) / BAND_DOTS;
    // A record is a column of the band: the columns as rows.
    const DotMask columns = page.transposed();

    QByteArray frame = frameStart(test ? CMD_PRINT_TEST : CMD_PRINT);
    appendU16(frame, 0); // record count, written below
    int count = 0;
    for (qint64 band = firstInkRow / BAND_DOTS; band < bandCount; ++band) {
        const qint64 firstRow = band * BAND_DOTS + offsetY;
        for (int x = 0; x < w; ++x) {
            const BitGroup group(columns, x, firstRow);
            if (!group.hasDot())
                continue;
            sent += group.dots();
            if (band > MAX_BAND_INDEX)
                return refusePage("packPrintV10", "band index above 255");
            if (++count > MAX_RECORDS)
                return refusePage("packPrintV10", "more than 65535 records");
            appendU16(frame, (quint32(offsetX) + quint32(x)) & 0xFFFF);
            frame.append(char(band));
            group.append(frame);
        }
    }

    frame[4] = char((count >> 8) & 0xFF);
    frame[5] = char(count & 0xFF);
    frame = frameEnd(frame);
    dots = sent;
    qDebug() << "packPrint" << frame.size() * 2;
    qDebug() << "end packPrint" << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return frame;
}

QByteArray PrinterProtocol::packPrint(bool test, const QImage &image, int offsetX, int offsetY)
{
    unsigned int dots = 0;
    return packPrint(test, image, offsetX, offsetY, dots);
}

QByteArray PrinterProtocol::packPrint(bool test, const QImage &image, int offsetX, int offsetY,
                                      unsigned int &dots)
{
    return packPrint(test, DotMask::fromImage(image, DOTS), offsetX, offsetY, dots);
}

QByteArray PrinterProtocol::packPrint(bool test, const DotMask &page, int offsetX, int offsetY,
                                      unsigned int &dots)
{
    // Counted as the records are built; told only for a page that is sent.
    dots = 0;
    unsigned int sent = 0;
    const int w = page.width();
    const int h = page.height();
    const int bandCount = (w + BAND_DOTS - 1) / BAND_DOTS;

    QByteArray frame = frameStart(test ? CMD_PRINT_TEST : CMD_PRINT);
    appendU16(frame, quint32(offsetY) & 0xFFFF);
    appendU16(frame, 0); // record count, written below
    int count = 0;
    for (int band = 0; band < bandCount; ++band) {
        const bool upwards = band % 2 == 0;
        for (int i = 0; i < h; ++i) {
            const int y = upwards ? h - 1 - i : i;
            const qint64 position = qint64(offsetX) + h - 1 - y;
            if (position < 0)
                continue;
            const BitGroup group(page, y, qint64(band) * BAND_DOTS);
            if (!group.hasDot())
                continue;
            if (band > MAX_BAND_INDEX)
                return refusePage("packPrint", "band index above 255");
            if (++count > MAX_RECORDS)
                return refusePage("packPrint", "more than 65535 records");
            appendU16(frame, quint32(position) & 0xFFFF);
            frame.append(char(band));
            group.append(frame);
            // Only what is sent is printed: rows placed before position 0 are
            // left out and cost no ink.
            sent += group.dots();
        }
    }
    frame[6] = char((count >> 8) & 0xFF);
    frame[7] = char(count & 0xFF);
    dots = sent;
    return frameEnd(frame);
}

// ---- replies -------------------------------------------------------------

HandshakeReceiveModel PrinterProtocol::unpackHandshake(const QByteArray &frame)
{
    FrameReader in = payloadReader(frame);
    HandshakeReceiveModel model;
    model.status = in.u8();
    model.version = in.text(32);
    model.sn = in.text(32);
    model.model = in.u8() & 0x0F;
    model.inkboxSerial = in.text(32);
    model.inkAmount = in.i32();
    qInfo().noquote() << QStringLiteral("版本号：%1\nSN码：%2\n,机型：%3\n墨盒序列号：%4\n墨量：%5")
                             .arg(model.version, model.sn)
                             .arg(model.model)
                             .arg(model.inkboxSerial)
                             .arg(quint32(model.inkAmount));
    return model;
}

HandshakeReceiveModel PrinterProtocol::unpackHandshakeOld(const QByteArray &frame)
{
    FrameReader in = payloadReader(frame);
    HandshakeReceiveModel model;
    model.status = in.u8();
    model.version = in.text(8);
    model.sn = in.text(15);
    model.inkboxSerial = in.text(32);
    return model;
}

PrintReceiveModel PrinterProtocol::unpackPrint(const QByteArray &frame)
{
    PrintReceiveModel model;
    model.status = statusOnly(frame);
    return model;
}

WriteIPReceiveModel PrinterProtocol::unpackWriteIP(const QByteArray &frame)
{
    WriteIPReceiveModel model;
    model.status = statusOnly(frame);
    return model;
}

UpdateStatusModel PrinterProtocol::unpackUpdateProgramer(const QByteArray &frame)
{
    UpdateStatusModel model;
    model.status = statusOnly(frame);
    return model;
}

quint8 PrinterProtocol::unpackAckStatus(const QByteArray &frame)
{
    return statusOnly(frame);
}

stInkbox PrinterProtocol::unpackReadData(const QByteArray &frame)
{
    stInkbox info;
    if (frame.size() != READ_DATA_REPLY_LENGTH) {
        qWarning() << "unpackReadData" << "data len is not 25" << frame.toHex();
        info.status = stInkbox::STATUS_BAD_LENGTH;
        return info;
    }
    FrameReader in = payloadReader(frame);
    info.status = in.u8();
    info.block = in.u8();
    in.bytes(info.data, 16);
    return info;
}

PrintParameterSettings PrinterProtocol::unpackReadPrintParameter(const QByteArray &frame)
{
    FrameReader in = payloadReader(frame);
    PrintParameterSettings s;
    s.status = in.u8();
    s.speed = in.u8();
    s.colorDepth = in.u8();
    s.voltage = in.u8();
    s.pulseWidth = in.u8();
    s.printMode = in.u8();
    s.paperExit = in.u8();
    s.washLevel = in.u8();
    s.compensationX = in.i16();
    s.compensationY = in.i16();
    s.powerOnReset = in.u8();
    return s;
}

ReadIPReceiveModel PrinterProtocol::unpackReadIP(const QByteArray &frame)
{
    FrameReader in = payloadReader(frame);
    ReadIPReceiveModel model;
    model.status = in.u8();
    if (model.status != 0)
        return model;
    in.bytes(model.ip, 4);
    in.bytes(model.mask, 4);
    in.bytes(model.gateway, 4);
    model.port = in.u16();
    const auto dotted = [](const quint8 *o) {
        return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
    };
    qDebug().noquote() << "receive printer ip is:" << dotted(model.ip);
    qDebug().noquote() << "receive mask ip is:" << dotted(model.mask);
    qDebug().noquote() << "receive gateway ip is:" << dotted(model.gateway);
    qDebug().noquote() << "receive port is:" << model.port;
    return model;
}

PrintHardWareVersion PrinterProtocol::unpackReadPrinterHardVersion(const QByteArray &frame)
{
    FrameReader in = payloadReader(frame);
    PrintHardWareVersion model;
    model.status = in.u8();
    model.masterVersion = in.text(40);
    model.motionVersion = in.text(40);
    return model;
}

bool PrinterProtocol::unpackWriteData(const QByteArray &frame)
{
    FrameReader in = payloadReader(frame);
    if (in.atEnd()) {
        qWarning() << "unpackWriteData: reply without status" << frame.toHex();
        return false;
    }
    switch (in.u8()) {
    case 0x00:
        qInfo().noquote() << QStringLiteral("写入成功");
        return true;
    case 0x20:
        qWarning().noquote() << QStringLiteral("超时");
        return false;
    case 0x98:
        qWarning().noquote() << QStringLiteral("校验错误");
        return false;
    case 0x99:
        qWarning().noquote() << QStringLiteral("协议版本错误");
        return false;
    default:
        qWarning().noquote() << QStringLiteral("未知错误");
        return false;
    }
}

void PrinterProtocol::unpackReadDataPackage(const QByteArray &frame)
{
    const QByteArray data = frame.size() > 9 ? frame.mid(6, frame.size() - 9) : QByteArray();
    qDebug().noquote() << QStringLiteral("读到数据:") << data.toHex();
}

void PrinterProtocol::unpackWriteDataPackage(const QByteArray &frame)
{
    qDebug().noquote() << QStringLiteral("写入状态码:") << statusOnly(frame);
}

bool PrinterProtocol::checkData(const QByteArray &frame)
{
    if (frame.size() < 5)
        return false;
    if (!frame.startsWith(HEAD)) {
        qWarning().noquote() << QStringLiteral("头码错误") << frame.toHex();
        return false;
    }
    if (frame.endsWith(TAIL))
        return true;
    qWarning().noquote() << QStringLiteral("尾码错误") << frame.toHex();
    return false;
}

QVector<int> PrinterProtocol::replyFrameLengths(quint8 command, int status)
{
    switch (command) {
    case CMD_HANDSHAKE:
        return {HANDSHAKE_OLD_REPLY_LENGTH, HANDSHAKE_REPLY_LENGTH};
    case CMD_PRINT:
    case CMD_PRINT_TEST:
    case CMD_PRINT_NOTIFY:
    case CMD_WRITE_IP:
    case CMD_UPDATE_MAIN:
    case CMD_UPDATE_MOTION:
    case CMD_WRITE_PARAMETER:
    case CMD_WASH_INKBOX:
    case CMD_SELF_CHECK:
    case CMD_PRINT_TEST_PAGE:
    case CMD_WRITE_DATA:
        return {8};
    case CMD_READ_DATA:
        return {READ_DATA_REPLY_LENGTH};
    case CMD_READ_PARAMETER:
        return {20};
    case CMD_READ_IP:
        if (status == 0)
            return {22};
        return {8, 22}; // a failed read may stop after its status
    case CMD_READ_HARD_VERSION:
        return {88};
    default:
        return {};
    }
}
