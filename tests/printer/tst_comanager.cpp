// The printer link end to end against the stand-in printer, over loopback TCP
// and over a pseudo-terminal offered as a USB serial device.

#include "printer/comanager.h"
#include "printer/printerprotocol.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using TestSupport::FakePrinter;
using TestSupport::hex;

namespace {

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// A firmware-sized payload that holds head and tail bytes here and there.
QByteArray bigImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 13 + i / 509) & 0xFF);
    return image;
}

template <typename T>
T first(const QSignalSpy &spy, int index = 0)
{
    return spy.at(index).at(0).value<T>();
}

// A loopback listener whose accept queue is full, so a further connection
// attempt neither completes nor fails for a while.
class StalledListener
{
public:
    StalledListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(m_fd, 0) != 0)
            return;
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        socklen_t len = sizeof addr;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        // Fill the queue with connections nobody accepts, until one stalls
        // (a busy machine connects well within the wait; a full queue drops
        // the attempt and its retry after a second); that one is dropped so
        // it cannot take a freed place later.
        for (int i = 0; i < 8; ++i) {
            auto *s = new QTcpSocket;
            s->connectToHost(QHostAddress::LocalHost, m_port);
            if (!s->waitForConnected(2000)) {
                s->abort();
                delete s;
                m_stalls = true;
                break;
            }
            m_fillers.emplace_back(s);
        }
    }
    ~StalledListener()
    {
        m_fillers.clear();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }
    bool stalls() const { return m_stalls; }
    // Takes every queued connection, so the queue has room again.
    int acceptAll()
    {
        int n = 0;
        for (;;) {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0)
                break;
            m_accepted.push_back(c);
            ++n;
        }
        return n;
    }
    void closeAccepted()
    {
        for (int c : m_accepted)
            ::close(c);
        m_accepted.clear();
    }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    bool m_stalls = false;
    std::vector<std::unique_ptr<QTcpSocket>> m_fillers;
    std::vector<int> m_accepted;
};

} // namespace

class TestComManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempProgramDir> m_dir;
    std::unique_ptr<TestSupport::ToastRecorder> m_toasts;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<ComManager> m_com;
    QStringList m_openAttempts;
    int m_portListCalls = 0;

    bool startTcp(const QStringList &args = QStringList())
    {
        m_printer.reset(new FakePrinter(FakePrinter::Transport::Tcp, args));
        if (!m_printer->isRunning())
            return false;
        m_printer->linkTerminal();
        m_com.reset(new ComManager);
        return true;
    }

    // Offers the devices as (name, path) pairs, recording every open attempt.
    void offerSerialPorts(const QList<Seams::SerialPortEntry> &ports,
                          const QMap<QString, QSerialPort::SerialPortError> &refusals = {})
    {
        Seams::setSerialPortListHandler([this, ports]() {
            ++m_portListCalls;
            return ports;
        });
        Seams::setSerialOpenHandler([this, refusals](const QString &name) {
            m_openAttempts.append(name);
            return refusals.value(name, QSerialPort::NoError);
        });
    }

    bool startPty(const QStringList &args = QStringList())
    {
        m_printer.reset(new FakePrinter(FakePrinter::Transport::Pty, args));
        if (!m_printer->isRunning())
            return false;
        offerSerialPorts({{"ttyUSB0", m_printer->ptyPath()}});
        JsonUtil::setCustomConfig("com.mode", "serialPort");
        m_com.reset(new ComManager);
        return true;
    }

    bool open()
    {
        return m_printer->transport() == FakePrinter::Transport::Tcp ? m_com->initSocketTcp()
                                                                     : m_com->initSerialPort();
    }

    void startTransport(const QString &transport)
    {
        if (transport == QLatin1String("tcp"))
            QVERIFY(startTcp({"--notify-delay-ms", "50"}));
        else
            QVERIFY(startPty({"--notify-delay-ms", "50"}));
        QVERIFY(open());
    }

    static void addTransports()
    {
        QTest::addColumn<QString>("transport");
        QTest::newRow("tcp") << "tcp";
        QTest::newRow("pty") << "pty";
    }

private slots:
    void init()
    {
        m_dir.reset(new TestSupport::TempProgramDir);
        m_toasts.reset(new TestSupport::ToastRecorder);
        JsonUtil::checkConfigFile();
        m_openAttempts.clear();
        m_portListCalls = 0;
        PrinterUtil::s_protocolType = 0;
    }

    void cleanup()
    {
        m_com.reset();
        m_printer.reset();
        Seams::setSerialPortListHandler(nullptr);
        Seams::setSerialOpenHandler(nullptr);
        m_toasts.reset();
        m_dir.reset();
        PrinterUtil::s_protocolType = 0;
    }

    // --- TCP link ---------------------------------------------------------

    void tcpConnectsOnceWithFieldsSet()
    {
        QVERIFY(startTcp());
        QSignalSpy state(m_com.get(), &ComManager::tcpSocketReceiveConnectState);
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        // A receiver that sends at once must find the link marked connected,
        // not start a second connection.
        bool sentFromSignal = false;
        connect(m_com.get(), &ComManager::tcpSocketReceiveConnectState, this,
                [&](const QString &host) {
                    if (!host.isEmpty())
                        sentFromSignal = m_com->handshake();
                });
        QVERIFY(m_com->initSocketTcp());
        QCOMPARE(state.count(), 1);
        QCOMPARE(state.at(0).at(0).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(state.at(0).at(1).toInt(), int(m_printer->port()));
        QVERIFY(sentFromSignal);

        auto *socket = m_com->findChild<QTcpSocket *>();
        QVERIFY(socket);
        QCOMPARE(socket->socketOption(QAbstractSocket::KeepAliveOption).toInt(), 1);

        // Opening again reports the open link and wires nothing twice.
        QVERIFY(m_com->initSocketTcp());
        QVERIFY(m_com->initSocketTcp());
        QVERIFY(m_com->handshake());
        QVERIFY(m_printer->waitForRequests(2));
        QTRY_COMPARE(handshakes.count(), 2);
        QTest::qWait(200);
        QCOMPARE(handshakes.count(), 2);
        QCOMPARE(state.count(), 1);
        QCOMPARE(m_printer->connections(), 1);
        const HandshakeReceiveModel model = first<HandshakeReceiveModel>(handshakes);
        QCOMPARE(int(model.status), 0);
        QCOMPARE(model.version, QStringLiteral("V2.1.0"));
        QCOMPARE(model.sn, QStringLiteral("KELO3020260001"));
        QCOMPARE(int(model.model), 3);
        QCOMPARE(model.inkboxSerial, QStringLiteral("INK2026000000001"));
        QCOMPARE(model.inkAmount, 880000);
    }

    void tcpConnectFailureStaysTcp()
    {
        TestSupport::LogCapture log;
        quint16 deadPort = 0;
        {
            FakePrinter gone(FakePrinter::Transport::Tcp);
            QVERIFY(gone.isRunning());
            deadPort = gone.port();
        }
        JsonUtil::setCustomConfig("com.mode", "tcpSocket");
        JsonUtil::setCustomConfig("socket.ip", "127.0.0.1");
        JsonUtil::setCustomConfig("socket.port", QString::number(deadPort));
        offerSerialPorts({});
        m_com.reset(new ComManager);
        QSignalSpy state(m_com.get(), &ComManager::tcpSocketReceiveConnectState);
        QVERIFY(!m_com->initSocketTcp());
        QVERIFY(log.contains(QStringLiteral("socket连接失败! 地址：127.0.0.1:%1").arg(deadPort)));
        // The link kind is known although nothing opened: requests retry TCP
        // and never go looking for serial devices.
        QVERIFY(!m_com->handshake());
        QVERIFY(!m_com->readPrintParmeter());
        QCOMPARE(m_portListCalls, 0);
        QCOMPARE(state.count(), 0);

        // A port that is not a number fails without any connection attempt.
        JsonUtil::setCustomConfig("socket.port", "eighty");
        QVERIFY(!m_com->initSocketTcp());
        JsonUtil::setCustomConfig("socket.ip", "not an address");
        JsonUtil::setCustomConfig("socket.port", "8111");
        QVERIFY(!m_com->initSocketTcp());
    }

    void tcpConnectTimeoutHasNoLateSuccess()
    {
        StalledListener listener;
        QVERIFY(listener.port() != 0);
        QVERIFY(listener.stalls());
        JsonUtil::setCustomConfig("socket.ip", "127.0.0.1");
        JsonUtil::setCustomConfig("socket.port", QString::number(listener.port()));
        m_com.reset(new ComManager);
        QSignalSpy state(m_com.get(), &ComManager::tcpSocketReceiveConnectState);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!m_com->initSocketTcp());
        QVERIFY(timer.elapsed() >= 700);
        // Room in the queue again: a connection that was merely slow would
        // complete now. The abandoned attempt must not.
        listener.acceptAll();
        QTest::qWait(1500);
        listener.acceptAll();
        QCOMPARE(state.count(), 0);
        listener.closeAccepted();
    }

    void lazyReopenAfterPeerLeaves_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("close") << "close";
        QTest::newRow("reset") << "reset";
    }

    void lazyReopenAfterPeerLeaves()
    {
        QFETCH(QString, mode);
        QVERIFY(startTcp());
        QSignalSpy state(m_com.get(), &ComManager::tcpSocketReceiveConnectState);
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        QVERIFY(m_com->initSocketTcp());
        QVERIFY(m_printer->waitForConnected(true));
        QVERIFY(m_printer->disconnectClient(mode));
        QTRY_COMPARE(state.count(), 2);
        QCOMPARE(state.at(1).at(0).toString(), QString());
        QCOMPARE(state.at(1).at(1).toInt(), 0);
        QTest::qWait(100);
        QCOMPARE(state.count(), 2);

        // No automatic reconnection; the next request opens the link again.
        QCOMPARE(m_printer->connections(), 1);
        QVERIFY(m_com->handshake());
        QCOMPARE(state.count(), 3);
        QCOMPARE(state.at(2).at(0).toString(), QStringLiteral("127.0.0.1"));
        QTRY_COMPARE(handshakes.count(), 1);
        QCOMPARE(m_printer->connections(), 2);
    }

    void peerLeavesInsteadOfReplying()
    {
        QVERIFY(startTcp());
        QSignalSpy state(m_com.get(), &ComManager::tcpSocketReceiveConnectState);
        QSignalSpy params(m_com.get(), &ComManager::onReceivePrintPrameter);
        QVERIFY(m_com->initSocketTcp());
        QVERIFY(m_printer->fault({{"match", 0x51}, {"before", "reset"}}));
        QVERIFY(m_com->readPrintParmeter());
        QTRY_COMPARE(state.count(), 2);
        QCOMPARE(params.count(), 0);
        QVERIFY(m_com->readPrintParmeter());
        QTRY_COMPARE(params.count(), 1);
    }

    void reconnectAfterRefusedHandshake()
    {
        QVERIFY(startTcp());
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        QVERIFY(m_com->initSocketTcp());
        QVERIFY(m_printer->fault({{"match", 0x10}, {"status", 32}}));
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), 1);
        QCOMPARE(int(first<HandshakeReceiveModel>(handshakes).status), 32);
        // The shell opens the link again and sends the handshake again.
        QVERIFY(m_com->initSocketTcp());
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), 2);
        QCOMPARE(int(first<HandshakeReceiveModel>(handshakes, 1).status), 0);
        QCOMPARE(m_printer->connections(), 1);
    }

    void oldPrinterOnItsFirstConnection()
    {
        QVERIFY(startTcp({"--handshake-layout", "old", "--sn", "KELO10OLDPRINTER1", "--version", "V1.0.9-long"}));
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), 1);
        const HandshakeReceiveModel model = first<HandshakeReceiveModel>(handshakes);
        QCOMPARE(int(model.status), 0);
        QCOMPARE(model.version, QStringLiteral("V1.0.9-l")); // 8-byte field
        QCOMPARE(model.sn, QStringLiteral("KELO10OLDPRINTE")); // 15-byte field
        QCOMPARE(model.inkboxSerial, QStringLiteral("INK2026000000001"));
        QCOMPARE(int(model.model), 0);
        QCOMPARE(model.inkAmount, 0);
    }

    void firstRequestOpensTheConfiguredKind()
    {
        QVERIFY(startTcp());
        offerSerialPorts({});
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        QVERIFY(m_com->handshake()); // nothing opened yet: "com.mode" says TCP
        QTRY_COMPARE(handshakes.count(), 1);
        QCOMPARE(m_portListCalls, 0);
    }

    void destructorLetsPendingBytesOut()
    {
        QVERIFY(startTcp());
        QVERIFY(m_com->initSocketTcp());
        const QByteArray image = bigImage(1500 * 1024);
        QVERIFY(m_com->writeUpdateProgramer(image, false));
        m_com.reset();
        QVERIFY(m_printer->waitForRequests(1, 20000));
        const FakePrinter::Request r = m_printer->requests().value(0);
        QCOMPARE(r.command, 0x81);
        QCOMPARE(r.length, 11 + image.size());
        QVERIFY(r.checksumOk && r.tailOk);
    }

    // --- both transports ----------------------------------------------------

    void everyRequestAndItsReply_data() { addTransports(); }

    void everyRequestAndItsReply()
    {
        QFETCH(QString, transport);
        startTransport(transport);
        QSignalSpy acks(m_com.get(), &ComManager::onReceiveAckStatus);
        QSignalSpy params(m_com.get(), &ComManager::onReceivePrintPrameter);
        QSignalSpy writeIp(m_com.get(), &ComManager::onReceiveWriteIP);
        QSignalSpy readIp(m_com.get(), &ComManager::onReceiveReadIp);
        QSignalSpy inkbox(m_com.get(), &ComManager::onReceiveReadInkbox);
        QSignalSpy hardware(m_com.get(), &ComManager::onReceiveHardVersion);
        QSignalSpy update(m_com.get(), &ComManager::onReceiveUpdateStatus);
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);

        PrintParameterSettings settings;
        settings.speed = 3;
        settings.colorDepth = 1;
        settings.voltage = 95;
        settings.pulseWidth = 31;
        settings.printMode = 2;
        settings.paperExit = 2;
        settings.washLevel = 4;
        settings.compensationX = -250;
        settings.compensationY = 1234;
        settings.powerOnReset = 2;
        QVERIFY(m_com->writePrinterParmeter(settings));
        QVERIFY(m_com->readPrintParmeter());
        QVERIFY(m_com->writeIP("10.0.0.5", "255.255.0.0", "10.0.0.1", 8123));
        QVERIFY(m_com->readPrinterIp());
        const QByteArray block = hex("3c23a9203c2301020304050607080910");
        QVERIFY(m_com->writeInkBox(9, block));
        QVERIFY(m_com->readInkBox(9));
        QVERIFY(m_com->readPrinterHardVersion());
        QVERIFY(m_com->washInkbox());
        QVERIFY(m_com->sportSelfCheck());
        QVERIFY(m_com->printTestPage());
        QVERIFY(m_com->writeUpdateProgramer(hex("0102033c23"), true));
        m_com->stopPrint();
        m_com->startHandHake();

        QVERIFY(m_printer->waitForRequests(13));
        const QList<FakePrinter::Request> reqs = m_printer->requests();
        const QList<int> commands{0x50, 0x51, 0x70, 0x71, 0xA1, 0xA0, 0x74, 0x60, 0x72, 0x73, 0x80, 0x13, 0x10};
        QCOMPARE(reqs.size(), commands.size());
        for (int i = 0; i < reqs.size(); ++i) {
            QCOMPARE(reqs[i].command, commands[i]);
            QVERIFY(reqs[i].checksumOk && reqs[i].tailOk);
        }

        QTRY_COMPARE(handshakes.count(), 1);
        QCOMPARE(acks.count(), 5); // parameters, block write, cleaning, self-test, test page
        for (const QList<QVariant> &a : qAsConst(acks))
            QCOMPARE(a.at(0).value<unsigned char>(), (unsigned char)0);
        QCOMPARE(params.count(), 1);
        const PrintParameterSettings read = first<PrintParameterSettings>(params);
        QCOMPARE(int(read.status), 0);
        QCOMPARE(int(read.speed), 3);
        QCOMPARE(int(read.colorDepth), 1);
        QCOMPARE(int(read.voltage), 95);
        QCOMPARE(int(read.pulseWidth), 31);
        QCOMPARE(int(read.printMode), 2);
        QCOMPARE(int(read.paperExit), 2);
        QCOMPARE(int(read.washLevel), 4);
        QCOMPARE(int(read.compensationX), -250);
        QCOMPARE(int(read.compensationY), 1234);
        QCOMPARE(int(read.powerOnReset), 2);
        QCOMPARE(writeIp.count(), 1);
        QCOMPARE(int(first<WriteIPReceiveModel>(writeIp).status), 0);
        QCOMPARE(readIp.count(), 1);
        const ReadIPReceiveModel ip = first<ReadIPReceiveModel>(readIp);
        QCOMPARE(int(ip.status), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(ip.ip), 4), hex("0a000005"));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(ip.mask), 4), hex("ffff0000"));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(ip.gateway), 4), hex("0a000001"));
        QCOMPARE(int(ip.port), 8123);
        QCOMPARE(inkbox.count(), 1);
        const stInkbox box = first<stInkbox>(inkbox);
        QCOMPARE(int(box.status), 0);
        QCOMPARE(int(box.block), 9);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(box.data), 16), block);
        QCOMPARE(hardware.count(), 1);
        QCOMPARE(first<PrintHardWareVersion>(hardware).masterVersion, QStringLiteral("MC-1.2.3"));
        QCOMPARE(first<PrintHardWareVersion>(hardware).motionVersion, QStringLiteral("MOT-4.5.6"));
        QCOMPARE(update.count(), 1);
        QCOMPARE(int(first<UpdateStatusModel>(update).status), 0);
    }

    void printPages_data() { addTransports(); }

    void printPages()
    {
        QFETCH(QString, transport);
        startTransport(transport);
        QSignalSpy prints(m_com.get(), &ComManager::onReceivePrint);
        QSignalSpy notices(m_com.get(), &ComManager::onReceivePrintNotify);
        QSignalSpy tests(m_com.get(), &ComManager::onReceivePrintTest);
        QImage page(300, 160, QImage::Format_RGB32);
        page.fill(Qt::white);
        page.setPixel(3, 4, qRgb(0, 0, 0));

        // An unknown printer type sends nothing.
        TestSupport::LogCapture log;
        m_com->print(page, 0, 0, false);
        QTest::qWait(100);
        QCOMPARE(m_printer->requestCount(), 0);

        PrinterUtil::s_protocolType = 3;
        m_com->print(page, 10, 2, false);
        m_com->print(page, 10, 2, true);
        QTRY_COMPARE(notices.count(), 1);
        QCOMPARE(prints.count(), 1);
        QCOMPARE(tests.count(), 1);
        const QList<FakePrinter::Request> reqs = m_printer->requests();
        QCOMPARE(reqs.size(), 2);
        QCOMPARE(reqs[0].command, 0x11);
        QCOMPARE(reqs[1].command, 0x12);
        QCOMPARE(reqs[0].length, 11 + 22); // one row carries the one dot
        QVERIFY(reqs[0].checksumOk);
        QVERIFY(!log.contains(QStringLiteral("print err")));
    }

    void repliesInAnyChunking_data()
    {
        QTest::addColumn<QString>("transport");
        QTest::addColumn<QString>("sn");
        QTest::newRow("tcp") << "tcp" << "KELO3020260001";
        QTest::newRow("pty") << "pty" << "KELO3020260001";
        // "<#" where a handshake of the old layout would end.
        QTest::newRow("tcp, tail bytes in the serial") << "tcp" << "KELO30-00000000000000000<#1";
    }

    void repliesInAnyChunking()
    {
        QFETCH(QString, transport);
        QFETCH(QString, sn);
        startTransport(transport);
        QVERIFY(m_printer->set({{"sn", sn}}));
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        const int length = PrinterProtocol::HANDSHAKE_REPLY_LENGTH;
        int expected = 0;
        for (int cut = 1; cut < length; cut += (transport == QLatin1String("tcp") ? 1 : 3)) {
            QJsonArray cuts{cut};
            if (cut + 40 < length)
                cuts.append(cut + 40);
            QVERIFY(m_printer->fault({{"match", 0x10}, {"split", cuts}, {"splitDelayMs", 3}}));
            QVERIFY(m_com->handshake());
            ++expected;
            QTRY_COMPARE(handshakes.count(), expected);
            const HandshakeReceiveModel model = first<HandshakeReceiveModel>(handshakes, expected - 1);
            QCOMPARE(model.sn, sn);
            QCOMPARE(model.inkAmount, 880000);
        }
        // One byte at a time.
        QJsonArray everyByte;
        for (int i = 1; i < length; ++i)
            everyByte.append(i);
        QVERIFY(m_printer->fault({{"match", 0x10}, {"split", everyByte}, {"splitDelayMs", 1}}));
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), expected + 1);
        QCOMPARE(first<HandshakeReceiveModel>(handshakes, expected).inkboxSerial, QStringLiteral("INK2026000000001"));
    }

    void faultsOnTheWire_data() { addTransports(); }

    void faultsOnTheWire()
    {
        QFETCH(QString, transport);
        startTransport(transport);
        QStringList order;
        QList<int> ackValues;
        connect(m_com.get(), &ComManager::onReceiveAckStatus, this, [&](unsigned char s) {
            order << QStringLiteral("ack");
            ackValues << s;
        });
        connect(m_com.get(), &ComManager::onReceivePrint, this, [&](const PrintReceiveModel &m) {
            order << QStringLiteral("print %1").arg(m.status);
        });
        connect(m_com.get(), &ComManager::onReceivePrintNotify, this, [&](const PrintReceiveModel &m) {
            order << QStringLiteral("notify %1").arg(m.status);
        });
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        QSignalSpy inkbox(m_com.get(), &ComManager::onReceiveReadInkbox);

        // Garbage and a lone tail before a reply.
        QVERIFY(m_printer->fault({{"match", 0x60}, {"prefix", "00ff3c2310"}}));
        QVERIFY(m_com->washInkbox());
        QTRY_COMPARE(ackValues.size(), 1);
        // A lone tail on its own, then a reply.
        QVERIFY(m_printer->send(hex("10113c23")));
        QVERIFY(m_com->sportSelfCheck());
        QTRY_COMPARE(ackValues.size(), 2);

        // Two replies merged into one chunk, with a non-zero status.
        QVERIFY(m_printer->fault({{"match", 0x60}, {"merge", true}, {"status", 7}}));
        QVERIFY(m_com->washInkbox());
        QVERIFY(m_com->printTestPage());
        QTRY_COMPARE(ackValues.size(), 4);
        QCOMPARE(ackValues, (QList<int>{0, 0, 7, 0}));

        // No reply at all: nothing arrives, the next request still works.
        QVERIFY(m_printer->fault({{"match", 0x72}, {"noReply", true}}));
        QVERIFY(m_com->sportSelfCheck());
        QTest::qWait(200);
        QCOMPARE(ackValues.size(), 4);

        // Payloads holding the tail bytes arrive whole.
        QVERIFY(m_printer->set({{"inkAmount", 0x3C23A920}, {"version", "V<#1"}}));
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), 1);
        QCOMPARE(first<HandshakeReceiveModel>(handshakes).inkAmount, 0x3C23A920);
        QCOMPARE(first<HandshakeReceiveModel>(handshakes).version, QStringLiteral("V<#1"));
        QCOMPARE(first<HandshakeReceiveModel>(handshakes).inkboxSerial, QStringLiteral("INK2026000000001"));
        QVERIFY(m_printer->set({{"blocks", QJsonObject{{"6", "3c233c23a9203c230000000000003c23"}}}}));
        QVERIFY(m_com->readInkBox(6));
        QTRY_COMPARE(inkbox.count(), 1);
        QCOMPARE(int(first<stInkbox>(inkbox).status), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(first<stInkbox>(inkbox).data), 16),
                 hex("3c233c23a9203c230000000000003c23"));

        // A print notice before its reply, both with their own status.
        PrinterUtil::s_protocolType = 2;
        QImage page(20, 20, QImage::Format_RGB32);
        page.fill(Qt::black);
        order.clear();
        QVERIFY(m_printer->fault({{"match", 0x11}, {"notifyFirst", true}, {"status", 4}, {"notifyStatus", 9}}));
        m_com->print(page, 0, 0, false);
        QTRY_COMPARE(order.size(), 2);
        QCOMPARE(order, (QStringList{"notify 9", "print 4"}));

        // A reply that lost its tail does not swallow the reply after it.
        order.clear();
        QVERIFY(m_printer->fault({{"match", 0x60}, {"dropTail", true}}));
        QVERIFY(m_com->washInkbox());
        QTest::qWait(100);
        QVERIFY(m_com->printTestPage());
        QTRY_VERIFY(!order.isEmpty());
        QTest::qWait(100);
        QCOMPARE(ackValues.last(), 0);
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), 2);
        QCOMPARE(first<HandshakeReceiveModel>(handshakes, 1).sn, QStringLiteral("KELO3020260001"));
    }

    void largeFrameByteExact_data() { addTransports(); }

    void largeFrameByteExact()
    {
        QFETCH(QString, transport);
        startTransport(transport);
        QSignalSpy update(m_com.get(), &ComManager::onReceiveUpdateStatus);
        const QByteArray image = bigImage(1500 * 1024);
        const QByteArray frame = PrinterProtocol::packUpdateProgramer(image, true);
        m_com->sendOriginalMsg(frame);
        QVERIFY(m_printer->waitForRequests(1));
        QTRY_COMPARE(update.count(), 1);
        const FakePrinter::Request r = m_printer->requests().value(0);
        QCOMPARE(r.command, 0x80);
        QCOMPARE(r.length, frame.size());
        QCOMPARE(r.sha256, sha256Hex(frame));
        QVERIFY(r.checksumOk && r.tailOk);
    }

    // --- serial link --------------------------------------------------------

    void serialCandidateOrder_data()
    {
        QTest::addColumn<QString>("comPort");
        QTest::addColumn<QStringList>("refusePermission");
        QTest::addColumn<QStringList>("refuseOther");
        QTest::addColumn<QStringList>("attempts");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("permissionSignals");

        QTest::newRow("first candidate") << "" << QStringList() << QStringList() << QStringList{"ttyUSB0"}
                                         << "ttyUSB0" << QStringList();
        QTest::newRow("permission refused, next one") << "" << QStringList{"ttyUSB0"} << QStringList()
                                                      << QStringList{"ttyUSB0", "ttyACM0"} << "ttyACM0"
                                                      << QStringList{"ttyUSB0"};
        QTest::newRow("configured port first") << "ttyACM0" << QStringList() << QStringList()
                                               << QStringList{"ttyACM0"} << "ttyACM0" << QStringList();
        QTest::newRow("configured port fails silently") << "ttyACM0" << QStringList() << QStringList{"ttyACM0"}
                                                        << QStringList{"ttyACM0", "ttyUSB0"} << "ttyUSB0"
                                                        << QStringList();
        QTest::newRow("all refused") << "ttyACM0" << QStringList{"ttyUSB0", "ttyACM0"} << QStringList()
                                     << QStringList{"ttyACM0", "ttyUSB0", "ttyACM0"} << ""
                                     << QStringList{"ttyUSB0", "ttyACM0"};
        QTest::newRow("configured non-candidate") << "ttyS0" << QStringList() << QStringList()
                                                  << QStringList{"ttyUSB0"} << "ttyUSB0" << QStringList();
    }

    void serialCandidateOrder()
    {
        QFETCH(QString, comPort);
        QFETCH(QStringList, refusePermission);
        QFETCH(QStringList, refuseOther);
        QFETCH(QStringList, attempts);
        QFETCH(QString, opened);
        QFETCH(QStringList, permissionSignals);

        m_printer.reset(new FakePrinter(FakePrinter::Transport::Pty));
        QVERIFY(m_printer->isRunning());
        const QString pty = m_printer->ptyPath();
        QMap<QString, QSerialPort::SerialPortError> refusals;
        for (const QString &n : refusePermission)
            refusals.insert(n, QSerialPort::PermissionError);
        for (const QString &n : refuseOther)
            refusals.insert(n, QSerialPort::OpenError);
        offerSerialPorts({{"ttyS0", pty}, {"ttyUSB0", pty}, {"ttyACM0", pty}}, refusals);
        JsonUtil::setCustomConfig("com.port", comPort);
        m_com.reset(new ComManager);
        QSignalSpy permission(m_com.get(), &ComManager::serialPortPermissionError);
        TestSupport::LogCapture log;

        QCOMPARE(m_com->initSerialPort(), !opened.isEmpty());
        QCOMPARE(m_openAttempts, attempts);
        QCOMPARE(m_com->getOpenedSerialPortName(), opened);
        QStringList names;
        for (const QList<QVariant> &args : qAsConst(permission))
            names << args.at(0).toString();
        QCOMPARE(names, permissionSignals);
        for (const QString &n : permissionSignals)
            QVERIFY(log.contains(n + QStringLiteral("打开失败：Permission denied")));
        if (comPort == QLatin1String("ttyACM0") && !refuseOther.isEmpty())
            QCOMPARE(log.warnings().filter(QStringLiteral("打开失败")).size(), 0); // the first pass is silent

        if (!opened.isEmpty()) {
            QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
            QVERIFY(m_com->handshake());
            QTRY_COMPARE(handshakes.count(), 1);
        }
    }

    void serialWithoutDevices()
    {
        offerSerialPorts({{"ttyS0", "/dev/null"}});
        m_com.reset(new ComManager);
        QSignalSpy permission(m_com.get(), &ComManager::serialPortPermissionError);
        TestSupport::LogCapture log;
        QVERIFY(!m_com->initSerialPort());
        QVERIFY(!m_com->handshake()); // every request fails too
        QVERIFY(m_openAttempts.isEmpty());
        QCOMPARE(permission.count(), 0);
        QVERIFY(log.warnings().isEmpty());
    }

    void serialOpenTwiceAndOtherErrors()
    {
        QVERIFY(startPty());
        QVERIFY(m_com->initSerialPort());
        QVERIFY(m_com->initSerialPort());
        QCOMPARE(m_openAttempts.size(), 1);
        QSignalSpy lost(m_com.get(), &ComManager::serialPortDisconnectError);
        // A parity error is not a lost device.
        auto *port = m_com->findChild<QSerialPort *>();
        QVERIFY(port);
        emit port->errorOccurred(QSerialPort::ParityError);
        QCOMPARE(lost.count(), 0);
        QCOMPARE(m_com->getOpenedSerialPortName(), QStringLiteral("ttyUSB0"));
        QVERIFY(m_toasts->toasts().isEmpty());

        m_com->closeSerialPort();
        QCOMPARE(m_com->getOpenedSerialPortName(), QString());
        QCOMPARE(lost.count(), 0);
    }

    void serialHangUpAndLazyReopen()
    {
        QVERIFY(startPty());
        QSignalSpy lost(m_com.get(), &ComManager::serialPortDisconnectError);
        QSignalSpy handshakes(m_com.get(), &ComManager::onReceiveHandshake);
        QVERIFY(m_com->initSerialPort());
        QVERIFY(m_com->handshake());
        QTRY_COMPARE(handshakes.count(), 1);

        QVERIFY(m_printer->hangup());
        QTRY_COMPARE(lost.count(), 1);
        QTest::qWait(200);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(m_com->getOpenedSerialPortName(), QString());
        QCOMPARE(m_toasts->texts(), QStringList{"串口断开连接"});
        QCOMPARE(m_toasts->toasts().at(0).color, QStringLiteral("#FF0000"));
        QCOMPARE(m_toasts->toasts().at(0).background, QStringLiteral("#FFFFFF"));

        // A new device appears; the next request opens it by itself.
        m_printer.reset(new FakePrinter(FakePrinter::Transport::Pty));
        QVERIFY(m_printer->isRunning());
        offerSerialPorts({{"ttyACM1", m_printer->ptyPath()}});
        QVERIFY(m_com->handshake());
        QCOMPARE(m_com->getOpenedSerialPortName(), QStringLiteral("ttyACM1"));
        QTRY_COMPARE(handshakes.count(), 2);
        QCOMPARE(lost.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestComManager)
#include "tst_comanager.moc"
