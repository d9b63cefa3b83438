#pragma once

// Generation-1 wire protocol: every request frame the terminal sends, the
// print frames of printer types 1 to 3 and the decoding of every reply.
//
// Frame (both directions, numbers big-endian):
//   A9 20 | 10 | command | payload | sum8 | 3C 23
// The sum8 adds every byte before it and keeps the low 8 bits. Requests are
// never escaped: a payload may hold 3C 23.

#include "model/replymodels.h"
#include "util/dotmask.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

class PrinterProtocol
{
public:
    PrinterProtocol() = delete;

    static constexpr char HEAD[] = "\xA9\x20";
    static constexpr char TAIL[] = "\x3C\x23";
    static constexpr quint8 HEAD_0 = 0xA9;
    static constexpr quint8 REQUEST_MARK = 0x10;

    enum Command : quint8 {
        CMD_HANDSHAKE = 0x10,
        CMD_PRINT = 0x11,
        CMD_PRINT_TEST = 0x12,
        CMD_STOP_PRINT = 0x13,
        CMD_PRINT_NOTIFY = 0x20,
        CMD_READ_DATA_PACKAGE = 0x30,
        CMD_WRITE_DATA_PACKAGE = 0x31,
        CMD_WRITE_PARAMETER = 0x50,
        CMD_READ_PARAMETER = 0x51,
        CMD_WASH_INKBOX = 0x60,
        CMD_WRITE_IP = 0x70,
        CMD_READ_IP = 0x71,
        CMD_SELF_CHECK = 0x72,
        CMD_PRINT_TEST_PAGE = 0x73,
        CMD_READ_HARD_VERSION = 0x74,
        CMD_UPDATE_MAIN = 0x80,
        CMD_UPDATE_MOTION = 0x81,
        CMD_READ_DATA = 0xA0,
        CMD_WRITE_DATA = 0xA1,
    };

    // Whole reply lengths of the two handshake layouts.
    static constexpr int HANDSHAKE_REPLY_LENGTH = 109;
    static constexpr int HANDSHAKE_OLD_REPLY_LENGTH = 63;
    static constexpr int READ_DATA_REPLY_LENGTH = 25;

    // Sum of all bytes modulo 256.
    static quint8 toCrc(const QByteArray &data);

    // Requests.
    static QByteArray packHandshake();
    static QByteArray packStopPrint();
    static QByteArray packReadIP();
    static QByteArray packReadPrintParmeter();
    static QByteArray packWashInkbox();
    static QByteArray packPrintTestPage();
    static QByteArray packSelfCheck();
    static QByteArray packReadPrinterHardVersion();
    static QByteArray packReadData(DataBlock block);
    static QByteArray packWriteData(DataBlock block, const QByteArray &data);
    static QByteArray packWritePrintParameter(const PrintParameterSettings &settings);
    // Texts of four dotted parts; a missing part is sent as 0 (with a warning).
    static QByteArray packWriteIP(const QString &ip, const QString &mask, const QString &gateway, int port);
    static QByteArray packUpdateProgramer(const QByteArray &image, bool mainController);
    static QByteArray packReadDataPackage();
    static QByteArray packWriteDataPackage(const QByteArray &data);

    // Print frames. packPrintV10 (type 1): one record per inked column of each
    // 150-row band; offsetX is the position of image column 0, offsetY the
    // number of image rows dropped from the top (a negative value adds white
    // rows above the image). packPrint (types 2 and 3): one record per inked
    // row of each 150-column band, in serpentine order; offsetX is the position
    // of the bottom image row, offsetY travels unchanged in the header.
    // dots receives the number of dots the frame carries, which is what the
    // page costs in ink (0 for a refused page). A page that would
    // need more than 65535 records or a band index above 255 is refused with a
    // warning and an empty result.
    static QByteArray packPrintV10(bool test, const QImage &image, int offsetX, int offsetY);
    static QByteArray packPrintV10(bool test, const QImage &image, int offsetX, int offsetY, unsigned int &dots);
    static QByteArray packPrint(bool test, const QImage &image, int offsetX, int offsetY);
    static QByteArray packPrint(bool test, const QImage &image, int offsetX, int offsetY, unsigned int &dots);
    // The same on a page already reduced to dots by the encoding's rule.
    static QByteArray packPrintV10(bool test, const DotMask &page, int offsetX, int offsetY, unsigned int &dots);
    static QByteArray packPrint(bool test, const DotMask &page, int offsetX, int offsetY, unsigned int &dots);
    // Which pixels are dots: for packPrintV10 each channel at most 199, for
    // packPrint each at most 254.
    static constexpr DotMask::Rule V10_DOTS{199, 3 * 255};
    static constexpr DotMask::Rule DOTS{254, 3 * 255};

    // Replies. Each reads the payload (after the command, before sum8 and the
    // tail) through a bounds-checked reader: what a short frame lacks reads as
    // 0 or as empty text.
    static HandshakeReceiveModel unpackHandshake(const QByteArray &frame);
    static HandshakeReceiveModel unpackHandshakeOld(const QByteArray &frame);
    static PrintReceiveModel unpackPrint(const QByteArray &frame);
    static WriteIPReceiveModel unpackWriteIP(const QByteArray &frame);
    static UpdateStatusModel unpackUpdateProgramer(const QByteArray &frame);
    static quint8 unpackAckStatus(const QByteArray &frame);
    static stInkbox unpackReadData(const QByteArray &frame);
    static PrintParameterSettings unpackReadPrintParameter(const QByteArray &frame);
    static ReadIPReceiveModel unpackReadIP(const QByteArray &frame);
    static PrintHardWareVersion unpackReadPrinterHardVersion(const QByteArray &frame);

    // Replies no one asks for today.
    static bool unpackWriteData(const QByteArray &frame);
    static void unpackReadDataPackage(const QByteArray &frame);
    static void unpackWriteDataPackage(const QByteArray &frame);
    static bool checkData(const QByteArray &frame);

    // The whole lengths a reply to this command can have; empty when the
    // command has no fixed layout. status is the reply's status byte, or -1
    // when it is not known yet: a network read with status 0 carries the
    // address, so only its full length fits it.
    static QVector<int> replyFrameLengths(quint8 command, int status = -1);

    // The four octets of a dotted address text: each part a decimal number
    // (0 when it is not one), low 8 bits; missing parts are 0, with a warning.
    static QByteArray ipv4Octets(const QString &text);
};
