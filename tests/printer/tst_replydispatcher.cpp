#include "printer/replydispatcher.h"
#include "printer/replyframer.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "util/printerutil.h"

#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

using TestSupport::FakePrinter;
using TestSupport::LogCapture;
using TestSupport::hex;

namespace {

// Reply frames written from the protocol tables, independent of our code.
QByteArray reply(quint8 command, const QByteArray &payload = QByteArray())
{
    return FakePrinter::frame(command, payload);
}

QByteArray field(const QByteArray &text, int width)
{
    return FakePrinter::textField(text, width);
}

QByteArray currentHandshake(quint8 status, const QByteArray &version, const QByteArray &sn, quint8 model,
                            const QByteArray &ink, const QByteArray &amountBe)
{
    return reply(0x10, QByteArray(1, char(status)) + field(version, 32) + field(sn, 32) + QByteArray(1, char(model))
                           + field(ink, 32) + amountBe);
}

QByteArray oldHandshake(quint8 status, const QByteArray &version, const QByteArray &sn, const QByteArray &ink)
{
    return reply(0x10, QByteArray(1, char(status)) + field(version, 8) + field(sn, 15) + field(ink, 32));
}

// Writes down every signal of a dispatcher as one line of text.
class Recorder : public QObject
{
public:
    explicit Recorder(ReplyDispatcher *d)
    {
        connect(d, &ReplyDispatcher::onReceiveHandshake, this, [this](const HandshakeReceiveModel &m) {
            add(QString("handshake %1 %2 %3 %4 %5 %6")
                    .arg(m.status).arg(m.version, m.sn).arg(m.model).arg(m.inkboxSerial).arg(m.inkAmount));
        });
        connect(d, &ReplyDispatcher::onReceivePrint, this,
                [this](const PrintReceiveModel &m) { add(QString("print %1").arg(m.status)); });
        connect(d, &ReplyDispatcher::onReceivePrintTest, this,
                [this](const PrintReceiveModel &m) { add(QString("test %1").arg(m.status)); });
        connect(d, &ReplyDispatcher::onReceivePrintNotify, this,
                [this](const PrintReceiveModel &m) { add(QString("notify %1").arg(m.status)); });
        connect(d, &ReplyDispatcher::onReceiveWriteIP, this,
                [this](const WriteIPReceiveModel &m) { add(QString("writeip %1").arg(m.status)); });
        connect(d, &ReplyDispatcher::onReceiveUpdateStatus, this,
                [this](const UpdateStatusModel &m) { add(QString("update %1").arg(m.status)); });
        connect(d, &ReplyDispatcher::onReceiveAckStatus, this,
                [this](unsigned char s) { add(QString("ack %1").arg(s)); });
        connect(d, &ReplyDispatcher::onReceiveReadInkbox, this, [this](const stInkbox &m) {
            add(QString("inkbox %1 %2 %3")
                    .arg(m.status).arg(m.block)
                    .arg(QString(QByteArray(reinterpret_cast<const char *>(m.data), 16).toHex())));
        });
        connect(d, &ReplyDispatcher::onReceivePrintPrameter, this, [this](const PrintParameterSettings &m) {
            add(QString("params %1 %2 %3 %4 %5").arg(m.status).arg(m.speed).arg(m.compensationX)
                    .arg(m.compensationY).arg(m.powerOnReset));
        });
        connect(d, &ReplyDispatcher::onReceiveReadIp, this, [this](const ReadIPReceiveModel &m) {
            add(QString("readip %1 %2.%3.%4.%5 %6").arg(m.status).arg(m.ip[0]).arg(m.ip[1]).arg(m.ip[2])
                    .arg(m.ip[3]).arg(m.port));
        });
        connect(d, &ReplyDispatcher::onReceiveHardVersion, this, [this](const PrintHardWareVersion &m) {
            add(QString("hardversion %1 %2 %3").arg(m.status).arg(m.masterVersion, m.motionVersion));
        });
    }
    QStringList lines;
    std::function<void(const QString &)> onLine;

private:
    void add(const QString &line)
    {
        lines.append(line);
        if (onLine)
            onLine(line);
    }
};

// One stream holding every reply kind, with payloads that contain the tail
// bytes 3C 23 and with noise between frames.
struct Stream {
    QByteArray bytes;
    QStringList expected;
};

Stream mixedStream()
{
    Stream s;
    const auto add = [&s](const QByteArray &frame, const QString &line) {
        s.bytes.append(frame);
        if (!line.isEmpty())
            s.expected.append(line);
    };
    // "<#" is 3C 23: in a serial number and in the ink amount 0x003C2300.
    add(currentHandshake(0, "V3.1", "KEL<#30-0001", 0xA4, "INKBOX-7", hex("003C2300")),
        "handshake 0 V3.1 KEL<#30-0001 4 INKBOX-7 3941120");
    add(hex("0000FF3C"), QString()); // noise
    add(reply(0x11, hex("00")), "print 0");
    add(reply(0x20, hex("00")), "notify 0");
    add(reply(0x12, hex("02")), "test 2");
    add(reply(0x70, hex("00")), "writeip 0");
    add(reply(0x80, hex("00")), "update 0");
    add(reply(0x81, hex("01")), "update 1");
    add(hex("A9"), QString()); // half a head, then a real one
    add(reply(0xA1, hex("00")), "ack 0");
    add(reply(0x50, hex("00")), "ack 0");
    add(reply(0x73, hex("03")), "ack 3");
    add(reply(0x72, hex("00")), "ack 0");
    add(reply(0x60, hex("04")), "ack 4");
    add(reply(0xA0, hex("0006") + hex("3C23003C23FFC3DC3C2300000000AAFF")),
        "inkbox 0 6 3c23003c23ffc3dc3c2300000000aaff");
    add(reply(0x51, hex("00 03 02 D2 23 02 01 04 3C23 FF6A 01")), "params 0 3 15395 -150 1");
    add(reply(0x71, hex("00 C0A8011E FFFFFF00 C0A80101 3C23")), "readip 0 192.168.1.30 15395");
    add(reply(0x74, hex("00") + field("MAIN<#1.0", 40) + field("MOTION-2", 40)), "hardversion 0 MAIN<#1.0 MOTION-2");
    add(reply(0x99, hex("0102")), QString()); // not a reply we know
    add(oldHandshake(5, "V1.0", "KELO20SERIAL", "INK-OLD"), "handshake 5 V1.0 KELO20SERIAL 0 INK-OLD 0");
    add(reply(0x20, hex("07")), "notify 7");
    return s;
}

} // namespace

class TestReplyDispatcher : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        PrinterUtil::reset();
    }

    void wholeStreamGivesEverySignalInOrder()
    {
        const Stream s = mixedStream();
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(s.bytes);
        QCOMPARE(r.lines, s.expected);
        QCOMPARE(d.pendingBytes(), 0);
    }

    void anyChunkingGivesTheSameSignals()
    {
        const Stream s = mixedStream();
        QRandomGenerator random(20261207);
        for (int round = 0; round < 300; ++round) {
            ReplyDispatcher d;
            Recorder r(&d);
            const int maxChunk = round == 0 ? 1 : 1 + int(random.bounded(round % 3 == 0 ? 8 : 200));
            for (int at = 0; at < s.bytes.size();) {
                const int n = 1 + int(random.bounded(maxChunk));
                d.dispatch(s.bytes.mid(at, n));
                at += n;
            }
            QCOMPARE(r.lines, s.expected);
        }
    }

    void bytesBeforeTheHeadAreDropped()
    {
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(hex("0000A920101100EA3C23"));
        QCOMPARE(r.lines, QStringList{"print 0"});
    }

    void tailWithoutHead()
    {
        LogCapture log;
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(hex("1011003C23"));
        QVERIFY(r.lines.isEmpty());
        QCOMPARE(d.pendingBytes(), 0);
        QVERIFY(log.warnings().contains("only have tailCode,but no headCode"));

        log.clear();
        d.dispatch(hex("1011003C23") + reply(0x11, hex("01")));
        QCOMPARE(r.lines, QStringList{"print 1"});
        QVERIFY(log.warnings().isEmpty());
    }

    void frameSplitOverThreeChunks()
    {
        ReplyDispatcher d;
        Recorder r(&d);
        const QByteArray f = reply(0x12, hex("00"));
        d.dispatch(f.left(2));
        d.dispatch(f.mid(2, 3));
        QVERIFY(r.lines.isEmpty());
        QCOMPARE(d.pendingBytes(), 5);
        d.dispatch(f.mid(5));
        QCOMPARE(r.lines, QStringList{"test 0"});
    }

    void unknownCommandIsSkipped()
    {
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(reply(0x99, hex("00")) + reply(0x11, hex("00")));
        QCOMPARE(r.lines, QStringList{"print 0"});
    }

    void frameThatLostItsTailGivesWayToTheNext()
    {
        LogCapture log;
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(hex("A9201011A920101100EA3C23"));
        QCOMPARE(r.lines, QStringList{"print 0"});
        QVERIFY(!log.warnings().isEmpty());
    }

    void lostTailAtAKnownLengthGivesWayToTheNext()
    {
        // A block read that lost its tail, merged with the next reply into
        // exactly the 25 bytes a block reply has: the sound reply inside wins.
        const QByteArray merged = hex("A92010A0") + QByteArray(13, '\x55') + reply(0x11, hex("00"));
        QCOMPARE(merged.size(), 25);
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(merged);
        QCOMPARE(r.lines, QStringList{"print 0"});
        QCOMPARE(d.pendingBytes(), 0);
    }

    void strayGenerationTwoReplyDoesNotSwallowTheNextFrame()
    {
        ReplyDispatcher d;
        Recorder r(&d);
        // A generation-2 frame (no 3C 23 tail), then real replies.
        d.dispatch(hex("A92010000072 1D20AA"));
        d.dispatch(reply(0x11, hex("00")));
        // One whose length byte reads like a handshake command (0x10).
        d.dispatch(hex("A920011000") + QByteArray(16, '\x11') + hex("ABCD20AA"));
        d.dispatch(reply(0x20, hex("00")));
        QCOMPARE(r.lines, (QStringList{"print 0", "notify 0"}));
    }

    void headWithoutTailIsDroppedAfterFourKilobytes()
    {
        LogCapture log;
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(hex("A9201011") + QByteArray(3000, '\x55'));
        QVERIFY(log.warnings().isEmpty());
        for (int i = 0; i < 10; ++i) {
            d.dispatch(QByteArray(1000, '\x55'));
            QVERIFY(d.pendingBytes() < ReplyFramer::MAX_PENDING);
        }
        QVERIFY(!log.warnings().isEmpty());
        d.dispatch(reply(0x11, hex("00")));
        QCOMPARE(r.lines, QStringList{"print 0"});
        QCOMPARE(d.pendingBytes(), 0);

        // Noise without any head never accumulates; a trailing A9 is kept.
        d.dispatch(QByteArray(10000, '\x01') + hex("A9"));
        QCOMPARE(d.pendingBytes(), 1);
        d.dispatch(hex("20101100EA3C23"));
        QCOMPARE(r.lines, (QStringList{"print 0", "print 0"}));
    }

    void payloadTailAtAShortLayoutLengthReadsOn()
    {
        // 10.60.35.100: the address bytes 3C 23 sit where a failed network
        // read (status only) would end, but a read with status 0 carries
        // the address, so the framer waits for it in any chunking.
        const QByteArray readIp = reply(0x71, hex("00 0A3C2364 FFFFFF00 0A3C2301 1FAF"));
        QCOMPARE(readIp.indexOf(hex("3C23")), 6);
        const QByteArray stream = readIp + reply(0x71, hex("05")) + reply(0x11, hex("00"));
        for (int chunk : {stream.size(), 1, 7}) {
            ReplyDispatcher d;
            Recorder r(&d);
            for (int at = 0; at < stream.size(); at += chunk)
                d.dispatch(stream.mid(at, chunk));
            QCOMPARE(r.lines, (QStringList{"readip 0 10.60.35.100 8111", "readip 5 0.0.0.0 0", "print 0"}));
            QCOMPARE(d.pendingBytes(), 0);
        }
    }

    void decodesAsWholeAtEverySplit_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("expected");
        // Block data whose first bytes end in 3C 23 and add up.
        QTest::newRow("block") << reply(0xA0, hex("0005 41BF3C23") + QByteArray(12, '\x78'))
                               << "inkbox 0 5 41bf3c23787878787878787878787878";
        QTest::newRow("block, head after the prefix") << reply(0xA0, hex("0005 41BF3C23 A920101100EA3C23 78787878"))
                                                      << "inkbox 0 5 41bf3c23a920101100ea3c2378787878";
        // "<#" where the old handshake layout ends, the 63 bytes before it
        // adding up or not.
        QTest::newRow("handshake")
            << currentHandshake(0, "V3.0", "KELO30-00000000000000000<#", 2, "INK3", hex("00000010"))
            << "handshake 0 V3.0 KELO30-00000000000000000<# 2 INK3 16";
        QTest::newRow("handshake, prefix adds up")
            << currentHandshake(0, "V3.0", "KELO30-LLLLLLLLLLLLLLLLK<#", 2, "INK3", hex("00000010"))
            << "handshake 0 V3.0 KELO30-LLLLLLLLLLLLLLLLK<# 2 INK3 16";
    }

    void decodesAsWholeAtEverySplit()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, expected);
        const QByteArray stream = frame + reply(0x11, hex("00"));
        QList<QList<int>> cuttings{{}};
        QList<int> everyByte;
        for (int at = 1; at < stream.size(); ++at) {
            cuttings.append({at});
            everyByte.append(at);
        }
        cuttings.append(everyByte);
        for (const QList<int> &cuts : cuttings) {
            ReplyDispatcher d;
            Recorder r(&d);
            int from = 0;
            for (int at : cuts + QList<int>{stream.size()}) {
                d.dispatch(stream.mid(from, at - from));
                from = at;
            }
            QCOMPARE(r.lines, (QStringList{expected, "print 0"}));
            QCOMPARE(d.pendingBytes(), 0);
        }
    }

    void heldFrameGoesOutAfterQuiet_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("expected");
        const QByteArray old = oldHandshake(0, "V1.0", "KELO10SERIAL", "INK");
        QByteArray oldOff = old;
        oldOff[old.size() - 3] = char(old.at(old.size() - 3) + 1);
        QTest::newRow("old handshake") << old << "handshake 0 V1.0 KELO10SERIAL 0 INK 0";
        QTest::newRow("old handshake, checksum off") << oldOff << "handshake 0 V1.0 KELO10SERIAL 0 INK 0";
        QTest::newRow("failed network read") << reply(0x71, hex("05")) << "readip 5 0.0.0.0 0";
        QTest::newRow("cut block reply") << hex("A92010A0000541BF3C23")
                                         << "inkbox 32 0 00000000000000000000000000000000";
    }

    void heldFrameGoesOutAfterQuiet()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, expected);
        ReplyDispatcher d;
        Recorder r(&d);
        d.dispatch(frame);
        QVERIFY(r.lines.isEmpty());
        QVERIFY(d.holdsFrame());
        QTRY_COMPARE(r.lines, QStringList{expected});
        QVERIFY(!d.holdsFrame());
        QCOMPARE(d.pendingBytes(), 0);
    }

    void truncatedReplyFallsBackToItsFirstTail()
    {
        LogCapture log;
        ReplyDispatcher d;
        Recorder r(&d);
        // A read-block reply cut short (wrong checksum, wrong length), then
        // enough traffic to show that no tail sits at its full length.
        QByteArray cut = reply(0xA0, hex("0006") + QByteArray(6, 'B'));
        cut[cut.size() - 3] = char(cut.at(cut.size() - 3) + 1);
        d.dispatch(cut);
        QVERIFY(r.lines.isEmpty());
        d.dispatch(reply(0x11, hex("00")) + reply(0x20, hex("00")));
        QCOMPARE(r.lines, (QStringList{"inkbox 32 0 00000000000000000000000000000000", "print 0", "notify 0"}));
        QVERIFY(log.contains("checksum"));
    }

    void wrongChecksumIsLoggedNotDropped()
    {
        LogCapture log;
        ReplyDispatcher d;
        Recorder r(&d);
        QByteArray f = reply(0x11, hex("00"));
        f[5] = char(0x00);
        d.dispatch(f);
        QCOMPARE(r.lines, QStringList{"print 0"});
        QVERIFY(log.contains("checksum"));
    }

    void handshakeLayoutFollowsTheLength()
    {
        ReplyDispatcher d;
        Recorder r(&d);
        // Type 3 would pick the current layout, but 63 bytes is the old one.
        PrinterUtil::s_protocolType = 3;
        d.dispatch(oldHandshake(0, "V1.2", "KELO10ABC", "INK1"));
        // Type 2 would pick the old layout, but 109 bytes is the current one.
        PrinterUtil::s_protocolType = 2;
        d.dispatch(currentHandshake(0, "V2.2", "KELO20XYZ", 0x03, "INK2", hex("00000064")));
        QCOMPARE(r.lines, (QStringList{"handshake 0 V1.2 KELO10ABC 0 INK1 0",
                                       "handshake 0 V2.2 KELO20XYZ 3 INK2 100"}));

        // Any other length (shorter than a layout, so it goes out once the
        // stream is quiet): the printer type decides.
        const QByteArray odd = reply(0x10, hex("00") + "V7.7" + QByteArray(30, '\0'));
        r.lines.clear();
        for (int type : {1, 4, 0}) {
            PrinterUtil::s_protocolType = type;
            d.dispatch(odd);
            QTRY_COMPARE(r.lines.size(), 1);
            QCOMPARE(r.lines.takeFirst(), QStringLiteral("handshake 0 V7.7  0  0"));
        }
    }

    void receiverReenteringTheEventLoopKeepsOrder()
    {
        const QByteArray first = reply(0x11, hex("00"));
        const QByteArray rest = reply(0x20, hex("00")) + reply(0x12, hex("01")) + reply(0x50, hex("02"));
        ReplyDispatcher d;
        Recorder r(&d);
        QStringList second; // a receiver connected after the re-entering one
        connect(&d, &ReplyDispatcher::onReceivePrint, this, [&second](const PrintReceiveModel &) { second << "print"; });
        connect(&d, &ReplyDispatcher::onReceivePrintNotify, this,
                [&second](const PrintReceiveModel &) { second << "notify"; });
        bool reentered = false;
        r.onLine = [&](const QString &line) {
            if (line != "print 0" || reentered)
                return;
            reentered = true;
            // More bytes arrive while this receiver waits in a local loop.
            QTimer::singleShot(0, &d, [&d, rest]() { d.dispatch(rest.left(10)); });
            QTimer::singleShot(1, &d, [&d, rest]() { d.dispatch(rest.mid(10)); });
            QEventLoop loop;
            QTimer::singleShot(30, &loop, &QEventLoop::quit);
            loop.exec();
        };
        d.dispatch(first + rest.left(3));
        QVERIFY(reentered);
        QCOMPARE(r.lines, (QStringList{"print 0", "notify 0", "test 1", "ack 2"}));
        QCOMPARE(second, (QStringList{"print", "notify"}));
        QCOMPARE(d.pendingBytes(), 0);
    }

    void receiverMayDeleteTheDispatcher()
    {
        auto *d = new ReplyDispatcher;
        Recorder r(d);
        r.onLine = [&d](const QString &) {
            delete d;
            d = nullptr;
        };
        d->dispatch(reply(0x11, hex("00")) + reply(0x11, hex("01")));
        QCOMPARE(r.lines, QStringList{"print 0"});
        QVERIFY(!d);
    }

    void ownerRelaysEverySignal();
};

// An owner with the link's reply signals, as the link object declares them.
class FakeOwner : public QObject
{
    Q_OBJECT
signals:
    void onReceiveHandshake(HandshakeReceiveModel model);
    void onReceivePrint(PrintReceiveModel model);
    void onReceivePrintTest(PrintReceiveModel model);
    void onReceivePrintNotify(PrintReceiveModel model);
    void onReceiveWriteIP(WriteIPReceiveModel model);
    void onReceiveUpdateStatus(UpdateStatusModel model);
    void onReceiveAckStatus(uchar ackStatus);
    void onReceiveReadInkbox(stInkbox blockdataInfo);
    void onReceivePrintPrameter(PrintParameterSettings model);
    void onReceiveReadIp(ReadIPReceiveModel ipInfo);
    void onReceiveHardVersion(PrintHardWareVersion model);
};

void TestReplyDispatcher::ownerRelaysEverySignal()
{
    FakeOwner owner;
    ReplyDispatcher d(&owner);
    QCOMPARE(d.relaySignalsTo(&owner), 11);

    QSignalSpy handshakes(&owner, &FakeOwner::onReceiveHandshake);
    QSignalSpy acks(&owner, &FakeOwner::onReceiveAckStatus);
    QSignalSpy inkbox(&owner, &FakeOwner::onReceiveReadInkbox);
    d.dispatch(mixedStream().bytes);
    QCOMPARE(handshakes.size(), 2);
    QCOMPARE(handshakes.at(0).at(0).value<HandshakeReceiveModel>().version, QString("V3.1"));
    QCOMPARE(acks.size(), 5);
    QCOMPARE(acks.at(2).at(0).value<uchar>(), uchar(3));
    QCOMPARE(inkbox.size(), 1);
    QCOMPARE(inkbox.at(0).at(0).value<stInkbox>().block, DataBlock(6));
}

QTEST_GUILESS_MAIN(TestReplyDispatcher)
#include "tst_replydispatcher.moc"
