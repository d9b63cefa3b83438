#pragma once

// The terminal's one connection to the printer: a USB serial device or a TCP
// connection. Requests are packed and written at once, with no queue or
// retry; replies come back as the onReceive... signals, matched to requests
// only to tell whose doing they are (ReplyDispatcher).
// A lost link stays closed until the next request (or an explicit init...)
// opens it again.

#include "model/replymodels.h"

#include <QByteArray>
#include <QImage>
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
    // it is down. True when the bytes were handed to the device.
    bool sendMsg(const QByteArray &msg);

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

    // Bytes of what was sent have left for the printer.
    void bytesWritten(qint64 bytes);

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

private:
    bool tryOpenSerial(const QString &name, const QString &location, bool reportFailure);
    // True when the chunk completed replies, each to a request sent for an
    // API client: its line in the log is that client's too.
    bool processReceiceData(const QByteArray &input);

    int linkType = LINK_NONE;
    bool tcpConnected = false;
    QTcpSocket *m_tcpSocket;
    QSerialPort *m_serialPort;
    QString m_serialName;
    // Holds the bytes of a reply still incomplete, kept across reconnections,
    // and the requests awaiting replies on the current link.
    ReplyDispatcher *m_dispatcher;
};
