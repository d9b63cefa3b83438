// Ink accounting: page prices, the deduction, block 6 byte for byte, and one
// round trip through the link and the stand-in printer as the window does it.

#include "printer/comanager.h"
#include "printer/inkaccount.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {

stInkbox blockReply(const QByteArray &data)
{
    stInkbox reply;
    reply.block = DATA_BLOCK_INK_AMOUNT;
    memcpy(reply.data, data.constData(), size_t(qMin(data.size(), int(sizeof reply.data))));
    return reply;
}

} // namespace

class TestInkAccount : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { PrinterUtil::reset(); }

    void pricesAndDeducts_data()
    {
        QTest::addColumn<uint>("inkDots");
        QTest::addColumn<int>("pageIndex");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("washLevel");
        QTest::addColumn<uint>("remain");
        QTest::addColumn<qulonglong>("total");
        QTest::addColumn<uint>("value"); // 0: low, nothing deducted

        QTest::newRow("first page, high cleaning") << 1000u << 0 << 2 << 3 << 4 << 1000000u << 30000ull << 970000u;
        QTest::newRow("later page, high cleaning") << 1000u << 1 << 2 << 3 << 4 << 1000000u << 9600ull << 990400u;
        QTest::newRow("low cleaning, later page") << 1000u << 7 << 1 << 1 << 2 << 3200u << 2200ull << 1000u;
        QTest::newRow("level unknown, exactly all") << 1000u << 0 << 1 << 1 << 9 << 1000u << 1000ull << 0u;
        QTest::newRow("parameters never read") << 1000u << 0 << 0 << 0 << 0 << 1u << 0ull << 1u;
        QTest::newRow("mode out of range, too little") << 1000u << 0 << 3 << 3 << 2 << 100u << 7000ull << 0u;
        QTest::newRow("negative index, empty box") << 0u << -1 << 1 << 1 << 4 << 0u << 3600ull << 0u;
        QTest::newRow("all but one") << 0xFFFFFFFEu << 3 << 1 << 1 << 1 << 0xFFFFFFFFu << 0xFFFFFFFEull << 1u;
        QTest::newRow("largest page never wraps") << 0xFFFFFFFFu << 0 << 2 << 3 << 4 << 0xFFFFFFFFu << 25769827770ull << 0u;
    }

    void pricesAndDeducts()
    {
        QFETCH(uint, inkDots);
        QFETCH(int, pageIndex);
        QFETCH(int, mode);
        QFETCH(int, depth);
        QFETCH(int, washLevel);
        QFETCH(uint, remain);
        QFETCH(uint, value);
        PrinterSettingInfo settings;
        settings.printMode = quint8(mode);
        settings.colorDepth = quint8(depth);
        settings.washLevel = quint8(washLevel);
        const InkAccount::Charge charge = InkAccount::deduct(remain, InkAccount::printPageCost(inkDots, pageIndex, settings));
        QTEST(qulonglong(charge.total), "total");
        QCOMPARE(uint(charge.value), value);
        QCOMPARE(charge.low, value == 0);
    }

    void encodesAndChecksBlock6_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("encoded"); // what encodeBlock(value) writes
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<uint>("value");

        QTest::newRow("5") << QByteArray::fromHex("00000005fffffffa0000000506f906f9") << true << true << 5u;
        QTest::newRow("max") << QByteArray::fromHex("ffffffff00000000ffffffff06f906f9") << true << true << 0xFFFFFFFFu;
        QTest::newRow("mixed") << QByteArray::fromHex("12345678edcba9871234567806f906f9") << true << true << 0x12345678u;
        // Only the first two words are checked.
        QTest::newRow("tail unchecked") << QByteArray::fromHex("004c4b40ffb3b4bf0000000000000000") << false << true << 5000000u;
        QTest::newRow("not the complement") << QByteArray::fromHex("00000005fffffffb0000000506f906f9") << false << false << 0u;
    }

    void encodesAndChecksBlock6()
    {
        QFETCH(QByteArray, block);
        QFETCH(bool, encoded);
        QFETCH(uint, value);
        if (encoded)
            QCOMPARE(InkAccount::encodeBlock(value), block);
        quint32 read = 0;
        QTEST(InkAccount::decodeBlock(blockReply(block), &read), "accepted");
        QCOMPARE(read, value);
    }

    void chargesLogAndKeepTheHeldQuantity_data()
    {
        QTest::addColumn<int>("kind"); // 0 print page, 1 API page, 2 cleaning
        QTest::addColumn<uint>("remain");
        QTest::addColumn<uint>("held");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("logged");

        QTest::newRow("page") << 0 << 1000000u << 970000u << "消耗墨量: 30000,剩余墨量 :970000"
                              << QStringList{"ConsumInkDots 1000 2 3", "remainDots: 970000"};
        QTest::newRow("page, low ink") << 0 << 30000u << 30000u << "消耗墨量: 30000,剩余墨量 :0"
                                       << QStringList{"ConsumInkDots 1000 2 3", " 墨量过低 "};
        QTest::newRow("api") << 1 << 1000u << 900u << "consumInkDots :100" << QStringList();
        QTest::newRow("cleaning") << 2 << 30001u << 1u << "剩余墨量 :1" << QStringList{"remainDots: 1"};
    }

    void chargesLogAndKeepTheHeldQuantity()
    {
        QFETCH(int, kind);
        QFETCH(uint, remain);
        QFETCH(QStringList, logged);
        PrinterUtil::s_printerSys.remainDots = remain;
        PrinterUtil::s_printerSetting.printMode = 2;
        PrinterUtil::s_printerSetting.colorDepth = 3;
        PrinterUtil::s_printerSetting.washLevel = 4;
        LogCapture log;
        const InkAccount::Charge charge = kind == 0   ? InkAccount::chargePrintPage(1000, 0)
                                          : kind == 1 ? InkAccount::chargeApiPage(100)
                                                      : InkAccount::chargeCleaning();
        QTEST(charge.summary, "summary");
        QTEST(uint(PrinterUtil::s_printerSys.remainDots), "held");
        QStringList messages = log.messages(QtDebugMsg) + log.messages(QtWarningMsg);
        if (kind == 0) {
            // the page handler starts with the time of day
            QVERIFY(QDateTime::fromString(messages.takeFirst(), QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid());
        }
        QCOMPARE(messages, logged);
    }

    void roundTripThroughThePrinter()
    {
        TempProgramDir program;
        FakePrinter printer(FakePrinter::Transport::Tcp);
        QVERIFY(printer.isRunning());
        QVERIFY(printer.linkTerminal());
        ComManager link;
        QVERIFY(link.initSocketTcp());
        QSignalSpy blocks(&link, &ComManager::onReceiveReadInkbox);

        // The stand-in's own block 6 holds 5,000,000 dots.
        QVERIFY(link.readInkBox(DATA_BLOCK_INK_AMOUNT));
        QTRY_COMPARE(blocks.count(), 1);
        QVERIFY(InkAccount::decodeBlock(blocks.takeFirst().at(0).value<stInkbox>(),
                                        &PrinterUtil::s_printerSys.remainDots));
        QCOMPARE(PrinterUtil::s_printerSys.remainDots, 5000000u);

        const InkAccount::Charge charge = InkAccount::chargeApiPage(4999995);
        QVERIFY(link.writeInkBox(DATA_BLOCK_INK_AMOUNT, InkAccount::encodeBlock(charge.value)));
        QVERIFY(link.readInkBox(DATA_BLOCK_INK_AMOUNT));
        QTRY_COMPARE(blocks.count(), 1);
        QCOMPARE(printer.block(6), QStringLiteral("00000005fffffffa0000000506f906f9"));
        quint32 readBack = 0;
        QVERIFY(InkAccount::decodeBlock(blocks.takeFirst().at(0).value<stInkbox>(), &readBack));
        QCOMPARE(readBack, 5u);
    }
};

QTEST_GUILESS_MAIN(TestInkAccount)
#include "tst_inkaccount.moc"
