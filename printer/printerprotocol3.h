#pragma once

// Generation-2 wire protocol (printer type 4):
//   A9 20 | command | length u16 | data | CRC-16/MODBUS u16 | 20 AA
// Numbers little-endian; the CRC covers head, command, length and data.

#include "model/printblock.h"
#include "model/replymodels.h"

#include <QBitArray>
#include <QByteArray>
#include <QString>
#include <QVector>

// Network settings as generation 2 carries them. The two 16-bit values go
// on the wire second first.
struct NetworkInfo {
    QString ip;
    QString mask;
    QString gateway;
    quint16 value1 = 0;
    quint16 value2 = 0;
};

// Reply to a block read.
struct BlockDataInfo {
    quint8 status = 0;
    quint8 block = 0;
    quint8 value[4] = {};
    quint8 data[16] = {};
};

class PrinterProtocol3
{
public:
    PrinterProtocol3() = delete;

    enum Command : quint8 {
        CMD_READ_INFO = 0x01,
        CMD_WRITE_NETWORK = 0x02,
        CMD_TOTAL_BAG = 0x04,
        CMD_PRINT_DATA = 0x05,
        CMD_START_PRINT = 0x08,
        CMD_HANDSHAKE = 0x10,
        CMD_READ_DATA = 0x15,
        CMD_WRITE_DATA = 0x16,
    };
    static constexpr int MAX_DATA_LENGTH = 0xFFFF;

    // Requests.
    static QByteArray readPrinterInfo();
    static QByteArray readNetworkInfo();
    // Stamped with the current local date and time.
    static QByteArray writeNetworkInfo(const NetworkInfo &info);
    static QByteArray totalBagPackage(int packageCount, int totalBytes);
    // An empty result (and a warning) when the band's data cannot fit the
    // 16-bit length.
    static QByteArray printDataPackage(const PrintRowBlock &band, int index);
    static QByteArray startPrintPackage();
    static QByteArray packHandshake();
    static QByteArray packReadData(unsigned char block);
    // Exactly 16 bytes are sent: longer data is cut, shorter padded with blanks.
    static QByteArray packWriteData(unsigned char block, const QByteArray &data);

    // Replies, read from offset 5 through a bounds-checked reader.
    static HandshakeReceiveModel unpackHandshake(const QByteArray &frame);
    static PrintReceiveModel unPackPrintStatus(const QByteArray &frame);
    static bool unPackPrintData(const QByteArray &frame);
    static bool unpackWriteData(const QByteArray &frame);
    static BlockDataInfo unpackReadData(const QByteArray &frame);
    static NetworkInfo getNetworkInfo(const QByteArray &frame);

    // Frame and byte helpers.
    static quint16 calc_crc16(const QByteArray &data);
    static QByteArray int2Byte(int value, bool bigEndian);
    static QByteArray int4Byte(int value, bool bigEndian);
    // One byte per 8 bits: bit i to value 2^(i mod 8) of byte i / 8, or
    // 2^(7 - i mod 8) with msbFirst. Empty when the count is not a multiple of 8.
    static QByteArray bits2ByteArray(const QBitArray &bits, bool msbFirst);
    static quint8 bit2Byte(const QBitArray &bits, bool msbFirst);
    static QByteArray hexStringToByteArray(const QString &text);
    static QString byteArray2HexString(const QByteArray &data, bool spaced);
    static QByteArray dot2ByteArray(const QVector<QVector<int> > &matrix, int width, int height);
    static bool checkMsg(const QByteArray &frame);
    static quint8 calcCrc(const QByteArray &frame);

private:
    static QByteArray buildFrame(quint8 command, const QByteArray &data);
};
