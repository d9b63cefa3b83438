#include "printer/comanager.h"

#include "printer/printerprotocol.h"
#include "printer/replydispatcher.h"
#include "util/clientcause.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDebug>
#include <QHostAddress>
#include <QNetworkProxy>

#include <algorithm>
#include <utility>

namespace {

const char *const DEFAULT_PRINTER_IP = "192.168.1.30";
const char *const DEFAULT_PRINTER_PORT = "8111";
constexpr int TCP_CONNECT_WAIT_MS = 800;
constexpr int TCP_CLOSE_WAIT_MS = 30000;

} // namespace

ComManager::ComManager(QObject *parent)
    : QObject(parent)
    , m_tcpSocket(new QTcpSocket(this))
    , m_serialPort(new QSerialPort(this))
    , m_dispatcher(new ReplyDispatcher(this))
{
    registerReplyMetaTypes();
    // Replies are announced by this object's own onReceive... signals.
    m_dispatcher->relaySignalsTo(this);
    // The socket's signals are wired once for the object's life, so opening
    // the link again can never double a connection.
    connect(m_tcpSocket, &QTcpSocket::connected, this, &ComManager::onTcpConnected);
    connect(m_tcpSocket, &QTcpSocket::disconnected, this, &ComManager::onTcpDisconnected);
    connect(m_tcpSocket, &QTcpSocket::readyRead, this, &ComManager::onTcpSocketReceivedMsg);
    connect(m_tcpSocket, &QTcpSocket::bytesWritten, this, &ComManager::onBytesWritten);
}

ComManager::~ComManager()
{
    if (tcpConnected) {
        disconnect(m_tcpSocket, nullptr, this, nullptr);
        // Closing lets pending bytes (a page, a firmware image) go out first.
        m_tcpSocket->disconnectFromHost();
        if (m_tcpSocket->state() != QAbstractSocket::UnconnectedState)
            m_tcpSocket->waitForDisconnected(TCP_CLOSE_WAIT_MS);
    }
    if (m_serialPort->isOpen()) {
        disconnect(m_serialPort, nullptr, this, nullptr);
        m_serialPort->close();
    }
}

// ---------------------------------------------------------------------------
// Serial link

bool ComManager::initSerialPort()
{
    linkType = LINK_SERIAL;
    if (m_serialPort->isOpen())
        return true;

    const QString preferred = JsonUtil::getCustomConfig(QStringLiteral("com.port"), QString());
    QList<Seams::SerialPortEntry> candidates;
    const QList<Seams::SerialPortEntry> ports = Seams::availableSerialPorts();
    for (const Seams::SerialPortEntry &entry : ports) {
        if (isPrinterPortName(entry.name))
            candidates.append(entry);
    }

    bool opened = false;
    if (!preferred.isEmpty()) {
        for (const Seams::SerialPortEntry &entry : qAsConst(candidates)) {
            if (entry.name == preferred && tryOpenSerial(entry.name, entry.systemLocation, false)) {
                opened = true;
                break;
            }
        }
    }
    if (!opened) {
        for (const Seams::SerialPortEntry &entry : qAsConst(candidates)) {
            if (tryOpenSerial(entry.name, entry.systemLocation, true)) {
                opened = true;
                break;
            }
        }
    }
    if (!opened)
        return false;

    connect(m_serialPort, &QSerialPort::readyRead, this, &ComManager::onSerialPortReceivedMsg,
            Qt::UniqueConnection);
    connect(m_serialPort, &QSerialPort::errorOccurred, this, &ComManager::onSerialPortError,
            Qt::UniqueConnection);
    connect(m_serialPort, &QSerialPort::bytesWritten, this, &ComManager::onBytesWritten, Qt::UniqueConnection);
    return true;
}

bool ComManager::tryOpenSerial(const QString &name, const QString &location, bool reportFailure)
{
    m_serialPort->setPortName(location);
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;
    if (Seams::openSerialPort(*m_serialPort, name, QIODevice::ReadWrite, &error, &errorText)) {
        m_serialName = name;
        m_dispatcher->forgetRequests();
        return true;
    }
    if (reportFailure) {
        qWarning().noquote() << QStringLiteral("%1打开失败：%2").arg(name, errorText);
        if (error == QSerialPort::PermissionError)
            emit serialPortPermissionError(name);
    }
    return false;
}

bool ComManager::isPrinterPortName(const QString &name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

QString ComManager::getOpenedSerialPortName() const
{
    return m_serialPort->isOpen() ? m_serialName : QString();
}

void ComManager::closeSerialPort()
{
    if (!m_serialPort->isOpen())
        return;
    disconnect(m_serialPort, nullptr, this, nullptr);
    m_serialPort->clear(QSerialPort::AllDirections);
    m_serialPort->close();
    qInfo().noquote() << "closeSerialPort" << m_serialName;
}

void ComManager::onSerialPortError(QSerialPort::SerialPortError error)
{
    // A vanished device reports a resource error. A line that hung up (an
    // unplugged adapter, a closed pseudo-terminal) instead reports read errors
    // on every turn of the event loop until the port is closed, so it counts
    // as lost too. Parity, framing and the like change nothing.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!m_serialPort->isOpen())
        return;
    qWarning().noquote() << "errorOccurred： 串口断开连接";
    TextUtil::showError(QStringLiteral("串口断开连接"));
    dropFirmwareImage();
    m_serialPort->close();
    qInfo().noquote() << "关闭串口";
    disconnect(m_serialPort, nullptr, this, nullptr);
    qInfo().noquote() << "断开信号槽连接";
    emit serialPortDisconnectError();
}

void ComManager::onSerialPortReceivedMsg()
{
    receive(m_serialPort->readAll(), "serialPortReceiveData");
}

// ---------------------------------------------------------------------------
// TCP link

bool ComManager::initSocketTcp()
{
    // Known before the first connect succeeds: a request after a failed
    // connect tries TCP again rather than looking for serial devices.
    linkType = LINK_TCP;
    if (tcpConnected)
        return true;

    const QString ip = JsonUtil::getCustomConfig(QStringLiteral("socket.ip"), QLatin1String(DEFAULT_PRINTER_IP));
    const QString portText = JsonUtil::getCustomConfig(QStringLiteral("socket.port"),
                                                       QLatin1String(DEFAULT_PRINTER_PORT));
    bool portOk = false;
    const uint port = portText.toUInt(&portOk, 10);
    const QHostAddress address(ip);

    m_tcpSocket->abort();
    if (address.isNull() || !portOk || port == 0 || port > 65535) {
        qWarning().noquote() << QStringLiteral("socket连接失败! 地址：%1:%2").arg(ip, portText);
        return false;
    }
    m_tcpSocket->setProxy(QNetworkProxy::NoProxy);
    m_tcpSocket->connectToHost(address, quint16(port), QIODevice::ReadWrite);
    if (!m_tcpSocket->waitForConnected(TCP_CONNECT_WAIT_MS)) {
        // Give up on the attempt for good, so it cannot succeed after the
        // failure has been reported.
        m_tcpSocket->abort();
        qWarning().noquote() << QStringLiteral("socket连接失败! 地址：%1:%2").arg(ip, portText);
        return false;
    }
    if (!tcpConnected)
        onTcpConnected();
    qInfo().noquote() << QStringLiteral("socket连接成功! 地址：%1:%2").arg(ip, portText);
    return true;
}

void ComManager::onTcpConnected()
{
    if (tcpConnected)
        return;
    // Qt drops socket options set before the connection exists.
    m_tcpSocket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const QString host = m_tcpSocket->peerAddress().toString();
    const int port = m_tcpSocket->peerPort();
    linkType = LINK_TCP;
    tcpConnected = true;
    m_dispatcher->forgetRequests();
    qInfo().noquote() << QStringLiteral("连接打印机成功! 地址：%1:%2").arg(host).arg(port);
    emit tcpSocketReceiveConnectState(host, port);
}

void ComManager::onTcpDisconnected()
{
    if (!tcpConnected)
        return;
    qInfo().noquote() << "连接打印断开连接";
    tcpConnected = false;
    dropFirmwareImage();
    m_tcpSocket->close();
    emit tcpSocketReceiveConnectState(QString(), 0);
}

void ComManager::onTcpSocketReceivedMsg()
{
    receive(m_tcpSocket->readAll(), "tcpSocketReceiveData");
}

// ---------------------------------------------------------------------------
// Sending

QIODevice *ComManager::openLink()
{
    int type = linkType;
    if (type == LINK_NONE) {
        // Nothing opened yet: the configured kind decides.
        type = JsonUtil::getCustomConfig(QStringLiteral("com.mode"), QStringLiteral("serialPort"))
                       == QLatin1String("tcpSocket")
                   ? LINK_TCP
                   : LINK_SERIAL;
    }
    if (type == LINK_SERIAL)
        return m_serialPort->isOpen() || initSerialPort() ? static_cast<QIODevice *>(m_serialPort) : nullptr;
    return tcpConnected || initSocketTcp() ? static_cast<QIODevice *>(m_tcpSocket) : nullptr;
}

bool ComManager::write(const QByteArray &msg, bool forClient)
{
    QIODevice *device = openLink();
    if (!device || device->write(msg) < 0)
        return false;
    // A held request is awaited as the doing of whoever asked for it.
    const ClientCause cause(forClient);
    m_dispatcher->requestSent(msg);
    return true;
}

bool ComManager::sendMsg(const QByteArray &msg)
{
    if (!m_firmwareOut)
        return write(msg, ClientCause::isOpen());
    // Asked again, a request goes once, after what was asked between: a
    // printer that keeps sending notices costs one read, not one per notice.
    m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                [&msg](const HeldRequest &held) { return held.bytes == msg; }),
                 m_held.end());
    m_held.append({msg, ClientCause::isOpen()});
    qInfo().noquote() << "request held until the printer is done with the firmware image:" << msg.left(4).toHex();
    return true;
}

bool ComManager::sendFirmwareImage(const QByteArray &frame)
{
    QIODevice *device = openLink();
    if (!device)
        return false;
    const qint64 before = device->bytesToWrite();
    if (device->write(frame) < 0)
        return false;
    m_dispatcher->requestSent(frame);
    m_firmwareOut = true;
    m_bytesBeforeImage = before;
    m_imageBytesLeft = frame.size();
    return true;
}

void ComManager::endFirmwareImage()
{
    if (!m_firmwareOut)
        return;
    m_firmwareOut = false;
    const QList<HeldRequest> held = std::exchange(m_held, {});
    for (const HeldRequest &request : held) {
        if (!write(request.bytes, request.forClient))
            qWarning().noquote() << "held request not sent:" << request.bytes.left(4).toHex();
    }
}

void ComManager::dropFirmwareImage()
{
    if (!m_held.isEmpty())
        qWarning().noquote() << m_held.size() << "requests held for after the firmware image dropped with the link";
    m_firmwareOut = false;
    m_held.clear();
    m_bytesBeforeImage = 0;
    m_imageBytesLeft = 0;
}

void ComManager::onBytesWritten(qint64 bytes)
{
    const qint64 before = qMin(bytes, m_bytesBeforeImage);
    m_bytesBeforeImage -= before;
    const qint64 image = qMin(bytes - before, m_imageBytesLeft);
    if (image <= 0)
        return;
    m_imageBytesLeft -= image;
    emit firmwareBytesWritten();
}

bool ComManager::handshake() { return sendMsg(PrinterProtocol::packHandshake()); }

bool ComManager::writeIP(const QString &ip, const QString &mask, const QString &gateway, int port)
{
    return sendMsg(PrinterProtocol::packWriteIP(ip, mask, gateway, port));
}

bool ComManager::readPrinterIp() { return sendMsg(PrinterProtocol::packReadIP()); }
bool ComManager::readPrintParmeter() { return sendMsg(PrinterProtocol::packReadPrintParmeter()); }

bool ComManager::writePrinterParmeter(const PrintParameterSettings &settings)
{
    return sendMsg(PrinterProtocol::packWritePrintParameter(settings));
}

bool ComManager::readInkBox(DataBlock block) { return sendMsg(PrinterProtocol::packReadData(block)); }

bool ComManager::writeInkBox(DataBlock block, const QByteArray &data)
{
    return sendMsg(PrinterProtocol::packWriteData(block, data));
}

bool ComManager::readPrinterHardVersion() { return sendMsg(PrinterProtocol::packReadPrinterHardVersion()); }
bool ComManager::washInkbox() { return sendMsg(PrinterProtocol::packWashInkbox()); }
bool ComManager::sportSelfCheck() { return sendMsg(PrinterProtocol::packSelfCheck()); }
bool ComManager::printTestPage() { return sendMsg(PrinterProtocol::packPrintTestPage()); }

bool ComManager::writeUpdateProgramer(const QByteArray &image, bool mainController)
{
    return sendMsg(PrinterProtocol::packUpdateProgramer(image, mainController));
}

void ComManager::startHandHake()
{
    handshake();
}

void ComManager::print(QImage image, int offsetX, int offsetY, bool test)
{
    QByteArray frame;
    switch (PrinterUtil::s_protocolType) {
    case 1:
        frame = PrinterProtocol::packPrintV10(test, image, offsetX, offsetY);
        break;
    case 2:
    case 3:
        frame = PrinterProtocol::packPrint(test, image, offsetX, offsetY);
        break;
    default:
        return;
    }
    // An empty frame is a page the encoder refused; nothing goes out.
    if (frame.isEmpty() || !sendMsg(frame))
        qWarning().noquote() << "print err";
}

void ComManager::stopPrint()
{
    if (!sendMsg(PrinterProtocol::packStopPrint()))
        qWarning().noquote() << "stop print err";
}

void ComManager::sendOriginalMsg(QByteArray cmdMsg)
{
    if (!sendMsg(cmdMsg))
        qWarning().noquote() << "sendOriginalMsg err";
}

// ---------------------------------------------------------------------------
// Receiving

void ComManager::receive(const QByteArray &chunk, const char *source)
{
    const ClientCause cause(m_dispatcher->dispatch(chunk) == ReplyDispatcher::Whose::Client);
    qDebug().noquote() << source << chunk.toHex();
}
