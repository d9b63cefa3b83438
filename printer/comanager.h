#pragma once

// The terminal's one connection to the printer: a USB serial device or a TCP
// connection. Requests are packed and written at once, with no retry;
// replies come back as the onReceive... signals, matched to requests only to
// tell whose doing they are (ReplyDispatcher). The one queue: a printer
// taking a firmware image takes nothing else, so while an image is out every
// other request is held until the image is done with. A lost link stays
// closed until the next request (or an explicit init...) opens it again.

#include "model/replymodels.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>

class ReplyDispatcher;

class ComManager : public QObject
{
    Q_OBJECT
public:
    enum LinkType { LINK_NONE = -1, LINK_SERIAL = 0, LINK_TCP = 1 };

    explicit ComManager(QObject *parent = nullptr);
    // When the TCP link is up, closes it and waits (up to 30 s) until what was
    // written has gone out.
    ~ComManager() override;

    // Opens "com.port" if it is a candidate, else the first ttyUSB*/ttyACM*
    // device that opens. True when a device is open (also when one already was).
    bool initSerialPort();
    // Connects to "socket.ip":"socket.port", waiting up to 800 ms. True when
    // connected (also when it already was).
    bool initSocketTcp();

    // Writes msg unchanged, opening the link of the current kind first when
    // it is down. True when the bytes were handed to the device, or are held
    // while a firmware image is out.
    bool sendMsg(const QByteArray &msg);
    // Writes a firmware frame, which the printer must take alone: every
    // request asked for from now on is held until endFirmwareImage() or the
    // link's loss, which drops them. True when the frame was handed to the
    // device.
    bool sendFirmwareImage(const QByteArray &frame);
    // The printer is done with the image (it answered, or is taken as free
    // again): the requests held go out in the order asked, one asked more
    // than once in its last place.
    void endFirmwareImage();

    bool handshake();
    bool writeIP(const QString &ip, const QString &mask, const QString &gateway, int port);
    bool readPrinterIp();
    bool readPrintParmeter();
    bool writePrinterParmeter(const PrintParameterSettings &settings);
    bool readInkBox(DataBlock block);
    bool writeInkBox(DataBlock block, const QByteArray &data);
    bool readPrinterHardVersion();
    bool washInkbox();
    bool sportSelfCheck();
    bool printTestPage();
    bool writeUpdateProgramer(const QByteArray &image, bool mainController);

    // Whether a serial device may be the printer: a USB serial or modem
    // device, its name beginning with "ttyUSB" or "ttyACM".
    static bool isPrinterPortName(const QString &name);

    // The device name ("ttyUSB0") while the serial port is open, else "".
    QString getOpenedSerialPortName() const;
    void closeSerialPort();

public slots:
    void startHandHake();
    // Encodes the page for the current printer type and sends it; nothing is
    // sent for an unknown type.
    void print(QImage image, int offsetX, int offsetY, bool test);
    void stopPrint();
    void sendOriginalMsg(QByteArray cmdMsg);

signals:
    void serialPortPermissionError(QString serialPortName);
    void serialPortDisconnectError();
    void serialPortReceiveConnectState(QString portName);

    void onReceiveHandshake(HandshakeReceiveModel model);
    void onReceivePrint(PrintReceiveModel model);
    void onReceivePrintTest(PrintReceiveModel model);
    void onReceivePrintNotify(PrintReceiveModel model);
    void onReceiveWriteIP(WriteIPReceiveModel model);
    void onReceiveUpdateStatus(UpdateStatusModel model);
    void onReceivePrintPrameter(PrintParameterSettings model);
    void onReceiveReadInkbox(stInkbox blockdataInfo);
    void onReceiveAckStatus(unsigned char ackStatus);
    void onReceiveReadIp(ReadIPReceiveModel ipInfo);
    void onReceiveHardVersion(PrintHardWareVersion model);

    // Bytes of the firmware image last sent, and of nothing else, have left
    // for the printer.
    void firmwareBytesWritten();

    // (peer address, peer port) when connected, ("", 0) when disconnected.
    void tcpSocketReceiveConnectState(QString host, int port);
    void tcpSocketReceiveHandshake(HandshakeReceiveModel model);
    void tcpSocketReceivePrint(PrintReceiveModel model);
    void tcpSocketReceivePrintTest(PrintReceiveModel model);
    void tcpSocketReceivePrintNotify(PrintReceiveModel model);
    void tcpSocketReceivePrintUpdate(UpdateStatusModel model);
    void tcpSocketReceiveReadInkbox(stInkbox blockdataInfo);

private slots:
    void onSerialPortReceivedMsg();
    void onTcpSocketReceivedMsg();
    void onSerialPortError(QSerialPort::SerialPortError error);
    void onTcpConnected();
    void onTcpDisconnected();
    void onBytesWritten(qint64 bytes);

private:
    bool tryOpenSerial(const QString &name, const QString &location, bool reportFailure);
    // The device of the link's kind, opened first when it is down; null when
    // it cannot be.
    QIODevice *openLink();
    bool write(const QByteArray &msg, bool forClient);
    // The link went: an image over it is answered no more, and what was held
    // for after it was meant for that link.
    void dropFirmwareImage();
    // Hands a chunk read to the dispatcher and logs it, as the client's when
    // the replies it completed all answered a client's requests.
    void receive(const QByteArray &chunk, const char *source);

    int linkType = LINK_NONE;
    bool tcpConnected = false;
    QTcpSocket *m_tcpSocket;
    QSerialPort *m_serialPort;
    QString m_serialName;
    // Holds the bytes of a reply still incomplete, kept across reconnections,
    // and the requests awaiting replies on the current link.
    ReplyDispatcher *m_dispatcher;

    // A firmware image is out: requests wait in m_held, each with whether an
    // API client asked for it.
    bool m_firmwareOut = false;
    struct HeldRequest {
        QByteArray bytes;
        bool forClient = false;
    };
    QList<HeldRequest> m_held;
    // Bytes written before the image still to leave, then the image's own.
    qint64 m_bytesBeforeImage = 0;
    qint64 m_imageBytesLeft = 0;
};
