// The stand-in printer checked against frames written by hand from the frame
// tables, over a raw TCP socket and a raw serial handle on its pseudo-terminal.

#include "support/fakeprinter.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

using TestSupport::FakePrinter;
using TestSupport::hex;

namespace {

// Reads n bytes, waiting for them at most timeoutMs; later bytes stay unread.
QByteArray readBytes(QIODevice &device, int n, int timeoutMs = TestSupport::WAIT_MS)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (data.size() < n && timer.elapsed() < timeoutMs) {
        if (device.bytesAvailable() == 0)
            device.waitForReadyRead(50);
        data += device.read(n - data.size());
    }
    return data;
}

// Collects what arrives for a while, for "nothing more comes" checks.
QByteArray readFor(QIODevice &device, int ms)
{
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        device.waitForReadyRead(20);
        data += device.readAll();
    }
    return data;
}

quint8 sum8(const QByteArray &bytes)
{
    unsigned s = 0;
    for (char c : bytes)
        s += quint8(c);
    return quint8(s);
}

// Checks head, checksum and tail of a reply frame, returns its command.
int checkReplyFrame(const QByteArray &f)
{
    if (f.size() < 7 || !f.startsWith(hex("a920")) || !f.endsWith(hex("3c23")))
        return -1;
    if (quint8(f.at(f.size() - 3)) != sum8(f.left(f.size() - 3)))
        return -2;
    return quint8(f.at(3));
}

QString textAt(const QByteArray &f, int offset, int width)
{
    QByteArray field = f.mid(offset, width);
    const int nul = field.indexOf('\0');
    if (nul >= 0)
        field.truncate(nul);
    return QString::fromUtf8(field);
}

// A generation-1 request as the tables give it.
QByteArray request(quint8 command, const QByteArray &payload = QByteArray())
{
    return FakePrinter::frame(command, payload);
}

// A types 2/3 print frame: Y, record count, records of 22 bytes.
QByteArray rowPrintFrame(bool test, quint16 y, const QList<QByteArray> &records)
{
    QByteArray payload(4, '\0');
    qToBigEndian<quint16>(y, payload.data());
    qToBigEndian<quint16>(quint16(records.size()), payload.data() + 2);
    for (const QByteArray &r : records)
        payload += r;
    return request(test ? 0x12 : 0x11, payload);
}

QByteArray record(quint16 position, quint8 band, const QByteArray &dots19)
{
    QByteArray r(3, '\0');
    qToBigEndian<quint16>(position, r.data());
    r[2] = char(band);
    return r + dots19.leftJustified(19, '\0', true);
}

} // namespace

class TestPeer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<QTcpSocket> m_socket;

    bool connectTcp(const QStringList &args = QStringList())
    {
        m_printer.reset(new FakePrinter(FakePrinter::Transport::Tcp, args));
        if (!m_printer->isRunning())
            return false;
        m_socket.reset(new QTcpSocket);
        m_socket->connectToHost(QHostAddress::LocalHost, m_printer->port());
        return m_socket->waitForConnected(TestSupport::WAIT_MS);
    }

private slots:
    void cleanup()
    {
        m_socket.reset();
        m_printer.reset();
    }

    void announcesLoopbackPort()
    {
        QVERIFY(connectTcp());
        const QJsonObject a = m_printer->announcement();
        QCOMPARE(a.value("transport").toString(), QStringLiteral("tcp"));
        QCOMPARE(a.value("host").toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(m_printer->port() != 0);
        QVERIFY(m_printer->waitForConnected(true));
        QCOMPARE(m_printer->connections(), 1);
    }

    void handshakeCurrentLayout()
    {
        QVERIFY(connectTcp({"--sn", "ABCD30XYZ", "--version", "V9.8", "--model", "243", "--ink-amount", "-2"}));
        m_socket->write(hex("a9201010e93c23")); // the handshake as the table spells it
        const QByteArray f = readBytes(*m_socket, 109);
        QCOMPARE(f.size(), 109);
        QCOMPARE(checkReplyFrame(f), 0x10);
        QCOMPARE(quint8(f.at(4)), quint8(0));
        QCOMPARE(textAt(f, 5, 32), QStringLiteral("V9.8"));
        QCOMPARE(textAt(f, 37, 32), QStringLiteral("ABCD30XYZ"));
        QCOMPARE(quint8(f.at(69)), quint8(243));
        QCOMPARE(textAt(f, 70, 32), QStringLiteral("INK2026000000001"));
        QCOMPARE(qFromBigEndian<qint32>(f.constData() + 102), -2);
    }

    void handshakeOldLayoutAndStatus()
    {
        QVERIFY(connectTcp({"--handshake-layout", "old", "--sn", "KELO20ABCDEFGHIJKLMN"}));
        QVERIFY(m_printer->fault({{"match", 0x10}, {"status", 32}}));
        m_socket->write(request(0x10));
        const QByteArray f = readBytes(*m_socket, 63);
        QCOMPARE(f.size(), 4 + 1 + 8 + 15 + 32 + 3);
        QCOMPARE(checkReplyFrame(f), 0x10);
        QCOMPARE(quint8(f.at(4)), quint8(32));
        QCOMPARE(textAt(f, 13, 15), QStringLiteral("KELO20ABCDEFGHI")); // cut at the field width
        // The fault was for one request only.
        m_socket->write(request(0x10));
        QCOMPARE(quint8(readBytes(*m_socket, 63).at(4)), quint8(0));
    }

    void cutsRequestsByTheirCommand_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("one write") << 0;
        QTest::newRow("byte by byte") << 1;
        QTest::newRow("chunks of 5") << 5;
    }

    void cutsRequestsByTheirCommand()
    {
        QFETCH(int, chunk);
        QVERIFY(connectTcp());
        // Garbage, then a block write whose data hold the tail bytes, a read
        // of the same block and a parameter write: three requests, no length
        // fields anywhere.
        const QByteArray block = hex("3c233c2300112233445566778899aabb");
        QByteArray stream = hex("0000ff3c23");
        stream += request(0xA1, hex("07") + block);
        stream += request(0xA0, hex("07"));
        stream += request(0x50, hex("030246190201030064ff9c02"));
        if (chunk == 0) {
            m_socket->write(stream);
        } else {
            for (int i = 0; i < stream.size(); i += chunk) {
                m_socket->write(stream.mid(i, chunk));
                m_socket->flush();
                QTest::qWait(2);
            }
        }
        QVERIFY(m_printer->waitForRequests(3));
        const QList<FakePrinter::Request> reqs = m_printer->requests(true);
        QCOMPARE(reqs.size(), 3);
        QCOMPARE(reqs[0].command, 0xA1);
        QCOMPARE(reqs[0].length, 24);
        QCOMPARE(reqs[1].command, 0xA0);
        QCOMPARE(reqs[2].command, 0x50);
        QCOMPARE(reqs[2].length, 19);
        for (const FakePrinter::Request &r : reqs)
            QVERIFY(r.checksumOk && r.tailOk);
        QCOMPARE(m_printer->status().value("garbage").toInt(), 5);

        // Replies: ack of the write, the block read back exactly 25 bytes long,
        // ack of the parameters.
        const QByteArray replies = readBytes(*m_socket, 8 + 25 + 8);
        QCOMPARE(replies.size(), 41);
        QCOMPARE(checkReplyFrame(replies.left(8)), 0xA1);
        const QByteArray read = replies.mid(8, 25);
        QCOMPARE(checkReplyFrame(read), 0xA0);
        QCOMPARE(quint8(read.at(5)), quint8(7));
        QCOMPARE(read.mid(6, 16), block);
        QCOMPARE(checkReplyFrame(replies.mid(33)), 0x50);
    }

    void writesAreReadBack()
    {
        QVERIFY(connectTcp());
        m_socket->write(request(0x50, hex("0301321e0202040190fe0c02")));
        m_socket->write(request(0x51));
        m_socket->write(request(0x70, hex("0a000005ffff0000" "0a000001" "1fbd")));
        m_socket->write(request(0x71));
        m_socket->write(request(0x74));
        const QByteArray r = readBytes(*m_socket, 8 + 20 + 8 + 22 + 88);
        QCOMPARE(r.size(), 146);
        const QByteArray params = r.mid(8, 20);
        QCOMPARE(checkReplyFrame(params), 0x51);
        QCOMPARE(params.mid(4, 13), hex("00" "0301321e020204" "0190" "fe0c" "02"));
        const QByteArray net = r.mid(36, 22);
        QCOMPARE(checkReplyFrame(net), 0x71);
        QCOMPARE(net.mid(4, 15), hex("00" "0a000005" "ffff0000" "0a000001" "1fbd"));
        const QByteArray hw = r.mid(58);
        QCOMPARE(checkReplyFrame(hw), 0x74);
        QCOMPARE(textAt(hw, 5, 40), QStringLiteral("MC-1.2.3"));
        QCOMPARE(textAt(hw, 45, 40), QStringLiteral("MOT-4.5.6"));
        // A failed network read carries the status only.
        QVERIFY(m_printer->fault({{"match", 0x71}, {"status", 5}}));
        m_socket->write(request(0x71));
        const QByteArray failed = readBytes(*m_socket, 8);
        QCOMPARE(failed, FakePrinter::frame(0x71, hex("05")));
    }

    // A swapped box reads back as the ink table lays it out, and the
    // handshake reports it.
    void aSwappedInkBox_data()
    {
        QTest::addColumn<bool>("intact");
        QTest::addColumn<QByteArray>("check");
        QTest::newRow("intact") << true << hex("ffd2393f");
        QTest::newRow("failing its check") << false << hex("002dc6c0");
    }

    void aSwappedInkBox()
    {
        QFETCH(bool, intact);
        QFETCH(QByteArray, check);
        QVERIFY(connectTcp());
        QVERIFY(m_printer->swapInkBox(QStringLiteral("INK-NEW"), 3000000, intact));
        m_socket->write(request(0xA0, hex("05")) + request(0xA0, hex("06")) + request(0x10));
        const QByteArray r = readBytes(*m_socket, 25 + 25 + 109);
        QCOMPARE(r.left(25), FakePrinter::frame(0xA0, hex("0005") + QByteArray("INK-NEW         ")));
        QCOMPARE(r.mid(25, 25), FakePrinter::frame(0xA0, hex("0006002dc6c0") + check + hex("002dc6c006f906f9")));
        const QByteArray handshake = r.mid(50);
        QCOMPARE(checkReplyFrame(handshake), 0x10);
        QCOMPARE(textAt(handshake, 70, 32), QStringLiteral("INK-NEW"));
        QCOMPARE(qFromBigEndian<qint32>(handshake.constData() + 102), 3000000);
    }

    void damagedRequestIsRecordedNotAnswered()
    {
        QVERIFY(connectTcp());
        QByteArray bad = request(0x10);
        bad[4] = char(bad[4] + 1);
        m_socket->write(bad);
        QVERIFY(m_printer->waitForRequests(1));
        const FakePrinter::Request r = m_printer->request(0);
        QCOMPARE(r.bytes, bad);
        QVERIFY(!r.checksumOk);
        QVERIFY(readFor(*m_socket, 200).isEmpty());
    }

    void printFramesAndNotice()
    {
        QVERIFY(connectTcp({"--notify-delay-ms", "300"}));
        // Types 2/3 (serial code "30"): a record whose dots hold the tail bytes.
        const QByteArray frame = rowPrintFrame(false, 12, {record(0x3c23, 0, hex("3c23")), record(5, 1, hex("ff"))});
        QElapsedTimer sent;
        sent.start();
        m_socket->write(frame);
        QCOMPARE(readBytes(*m_socket, 8), FakePrinter::frame(0x11, hex("00")));
        QCOMPARE(readBytes(*m_socket, 8), FakePrinter::frame(0x20, hex("00")));
        QVERIFY(sent.elapsed() >= 290);
        QVERIFY(m_printer->waitForRequests(1));
        QCOMPARE(m_printer->request(0).bytes, frame);

        // A test page is answered by its own reply only.
        m_socket->write(rowPrintFrame(true, 0, {}));
        QCOMPARE(readFor(*m_socket, 500), FakePrinter::frame(0x12, hex("00")));

        // Type 1 frames carry the record count right after the command.
        QVERIFY(m_printer->set({{"printType", 1}, {"notifyDelayMs", 0}}));
        QByteArray v10 = hex("0001") + record(7, 0, hex("3c23"));
        m_socket->write(request(0x11, v10));
        QCOMPARE(readBytes(*m_socket, 16), FakePrinter::frame(0x11, hex("00")) + FakePrinter::frame(0x20, hex("00")));
        QCOMPARE(m_printer->request(2).length, 9 + 22);

        // One page's notice held back by a rule of its own.
        QVERIFY(m_printer->fault({{"match", 0x11}, {"notifyDelayMs", 400}}));
        sent.restart();
        m_socket->write(request(0x11, v10));
        QCOMPARE(readBytes(*m_socket, 8), FakePrinter::frame(0x11, hex("00")));
        QVERIFY(readFor(*m_socket, 200).isEmpty());
        QCOMPARE(readBytes(*m_socket, 8), FakePrinter::frame(0x20, hex("00")));
        QVERIFY(sent.elapsed() >= 390);
    }

    void replyFaults()
    {
        QVERIFY(connectTcp({"--notify-delay-ms", "0"}));
        const QByteArray ack = FakePrinter::frame(0x60, hex("00"));

        // Split: the first piece comes alone.
        QVERIFY(m_printer->fault({{"match", 0x60}, {"split", QJsonArray{3}}, {"splitDelayMs", 300}}));
        m_socket->write(request(0x60));
        QCOMPARE(readBytes(*m_socket, 3), ack.left(3));
        QVERIFY(readFor(*m_socket, 100).isEmpty()); // the rest comes 300 ms later
        QCOMPARE(readBytes(*m_socket, 5), ack.mid(3));

        // Merge: nothing until the next reply, then both together.
        QVERIFY(m_printer->fault({{"match", 0x60}, {"merge", true}}));
        m_socket->write(request(0x60));
        QVERIFY(readFor(*m_socket, 200).isEmpty());
        m_socket->write(request(0x72));
        QCOMPARE(readBytes(*m_socket, 16), ack + FakePrinter::frame(0x72, hex("00")));

        // Garbage around, a dropped tail, a replaced payload.
        QVERIFY(m_printer->fault({{"prefix", "00ff3c23"}, {"suffix", "3c"}, {"dropTail", true}}));
        m_socket->write(request(0x60));
        QCOMPARE(readBytes(*m_socket, 11), hex("00ff3c23") + ack.left(6) + hex("3c"));
        QVERIFY(m_printer->fault({{"payload", "003c2300"}}));
        m_socket->write(request(0x73));
        QCOMPARE(readBytes(*m_socket, 11), FakePrinter::frame(0x73, hex("003c2300")));

        // No reply at all; the request is still recorded.
        QVERIFY(m_printer->fault({{"match", 0x72}, {"noReply", true}, {"count", 2}}));
        m_socket->write(request(0x72) + request(0x72));
        QVERIFY(readFor(*m_socket, 200).isEmpty());

        // The notice before its reply, with a status of its own.
        QVERIFY(m_printer->fault({{"match", 0x11}, {"notifyFirst", true}, {"notifyStatus", 3}}));
        m_socket->write(rowPrintFrame(false, 0, {record(1, 0, hex("01"))}));
        QCOMPARE(readBytes(*m_socket, 16), FakePrinter::frame(0x20, hex("03")) + FakePrinter::frame(0x11, hex("00")));

        // Raw bytes and unsolicited replies on demand.
        QVERIFY(m_printer->send(hex("3c23")));
        QVERIFY(m_printer->reply(0x20, 1));
        QCOMPARE(readBytes(*m_socket, 10), hex("3c23") + FakePrinter::frame(0x20, hex("01")));
        QCOMPARE(m_printer->requestCount(), 8);
    }

    void peerEndsTheConnection_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("mode");
        QTest::newRow("close instead of a reply") << "before" << "close";
        QTest::newRow("reset instead of a reply") << "before" << "reset";
        QTest::newRow("close after the reply") << "then" << "close";
        QTest::newRow("reset now") << "now" << "reset";
    }

    void peerEndsTheConnection()
    {
        QFETCH(QString, when);
        QFETCH(QString, mode);
        QVERIFY(connectTcp());
        QVERIFY(m_printer->waitForConnected(true));
        QSignalSpy gone(m_socket.get(), &QTcpSocket::disconnected);
        if (when == QLatin1String("now")) {
            QVERIFY(m_printer->disconnectClient(mode));
        } else {
            QVERIFY(m_printer->fault({{when, mode}}));
            m_socket->write(request(0x10));
        }
        QTRY_COMPARE(gone.count(), 1);
        if (when == QLatin1String("then"))
            QCOMPARE(checkReplyFrame(m_socket->readAll()), 0x10);
        // It takes the next connection.
        QTcpSocket again;
        again.connectToHost(QHostAddress::LocalHost, m_printer->port());
        QVERIFY(again.waitForConnected(TestSupport::WAIT_MS));
        again.write(request(0x10));
        QCOMPARE(readBytes(again, 109).size(), 109);
        QCOMPARE(m_printer->connections(), 2);
    }

    void largeFrameByteExact()
    {
        QVERIFY(connectTcp());
        QByteArray image(1500 * 1024, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char((i * 7 + i / 251) & 0xFF); // holds 3C 23 and A9 20 here and there
        QByteArray size(4, '\0');
        qToBigEndian<quint32>(quint32(image.size()), size.data());
        const QByteArray frame = request(0x80, size + image);
        m_socket->write(frame);
        QCOMPARE(readBytes(*m_socket, 8), FakePrinter::frame(0x80, hex("00")));
        const QList<FakePrinter::Request> reqs = m_printer->requests();
        QCOMPARE(reqs.size(), 1);
        QCOMPARE(reqs[0].length, frame.size());
        QCOMPARE(reqs[0].sha256, QCryptographicHash::hash(frame, QCryptographicHash::Sha256).toHex());
    }

    void pseudoTerminal()
    {
        m_printer.reset(new FakePrinter(FakePrinter::Transport::Pty));
        QVERIFY(m_printer->isRunning());
        QVERIFY(m_printer->ptyPath().startsWith("/dev/pts/"));
        QSerialPort port;
        port.setPortName(m_printer->ptyPath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        port.write(hex("0000a92010a0067f3c23"));
        const QByteArray r = readBytes(port, 25);
        QCOMPARE(checkReplyFrame(r), 0xA0);
        QCOMPARE(quint8(r.at(5)), quint8(6));
        // Block 6 as the shell reads it: remaining dots, then their complement.
        const quint32 dots = qFromBigEndian<quint32>(r.constData() + 6);
        QCOMPARE(qFromBigEndian<quint32>(r.constData() + 10), ~dots);
        QVERIFY(m_printer->hangup());
        QTRY_VERIFY(m_printer->status().value("hungUp").toBool());
        qRegisterMetaType<QSerialPort::SerialPortError>();
        QSignalSpy errors(&port, &QSerialPort::errorOccurred);
        QTRY_VERIFY(!errors.isEmpty());
        port.close();
    }

    void controlChannelAndLifetime()
    {
        m_printer.reset(new FakePrinter(FakePrinter::Transport::Tcp, QStringList(), 1));
        QVERIFY(m_printer->isRunning());
        QVERIFY(!FakePrinter::ok(m_printer->command({{"cmd", "nonsense"}})));
        QVERIFY(!m_printer->set({{"handshakeLayout", "sideways"}}));
        QVERIFY(!m_printer->fault({{"before", "explode"}}));
        QVERIFY(m_printer->set({{"params", QJsonObject{{"speed", 3}}}}));
        QCOMPARE(m_printer->status().value("settings").toObject().value("params").toObject().value("speed").toInt(), 3);
        // Its lifetime is bounded: after a second it is gone by itself.
        QTRY_VERIFY(!m_printer->isRunning());
    }
};

QTEST_GUILESS_MAIN(TestPeer)
#include "tst_peer.moc"
