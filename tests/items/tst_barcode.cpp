#include "items/barcode.h"
#include "support/testsupport.h"
#include "util/seams.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace TestSupport;

namespace {

struct Notice {
    QString title;
    QString text;
};

// Answers the generator's message boxes and keeps what they said.
class NoticeRecorder
{
public:
    NoticeRecorder()
    {
        Seams::setInformationHandler([this](QWidget *parent, const QString &title, const QString &text) {
            QVERIFY(parent == nullptr);
            notices.append({title, text});
        });
    }
    ~NoticeRecorder() { Seams::setInformationHandler(nullptr); }
    QStringList texts() const
    {
        QStringList list;
        for (const Notice &n : notices)
            list << n.text;
        return list;
    }
    QList<Notice> notices;
};

// zint's modules for the text, '1' dark and '0' light, padded to whole hex
// digits with light modules.
QString zintModules(int symbology, const QString &text)
{
    QByteArray out;
    QByteArray err;
    const int rc = runProgram(QStringLiteral("zint"),
                              {QStringLiteral("-b"), QString::number(symbology), QStringLiteral("--dump"),
                               QStringLiteral("-d"), text},
                              &out, &err);
    if (rc != 0)
        return QStringLiteral("zint failed: ") + QString::fromUtf8(err);
    QString bits;
    for (char c : out.trimmed()) {
        if (c == ' ')
            continue;
        bool ok = false;
        const int nibble = QString(QLatin1Char(c)).toInt(&ok, 16);
        if (!ok)
            return QStringLiteral("bad dump: ") + QString::fromLatin1(out);
        bits += QStringLiteral("%1").arg(nibble, 4, 2, QLatin1Char('0'));
    }
    return bits;
}

QString code128AsBits(const QString &pattern)
{
    QString bits = pattern;
    bits.replace(QLatin1Char('b'), QLatin1Char('1')).replace(QLatin1Char('s'), QLatin1Char('0'));
    while (bits.size() % 4)
        bits += QLatin1Char('0');
    return bits;
}

bool isBlack(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 60;
}

QString allCode128BCharacters()
{
    QString text;
    for (ushort c = 0x20; c <= 0x7F; ++c)
        text += QChar(c);
    return text;
}

} // namespace

class TestBarCode : public QObject
{
    Q_OBJECT

private slots:
    void freshGenerator()
    {
        BarCode code;
        QCOMPARE(code.getType(), Code128B);
        QVERIFY(code.getText().isEmpty());
        QVERIFY(code.getPattern().isEmpty());
        QCOMPARE(code.getWidth(), 0);
        QCOMPARE(code.getHeight(), 150);
    }

    void everyCharacterMatchesZint()
    {
        BarCode code;
        const QString all = allCode128BCharacters();
        QCOMPARE(all.size(), 96);
        for (QChar c : all) {
            const QString text(c);
            const QString pattern = code.process128BCode(text);
            QCOMPARE(pattern.size(), 11 * 3 + 13);
            QVERIFY2(code128AsBits(pattern) == zintModules(60, text),
                     qPrintable(QStringLiteral("character %1").arg(c.unicode())));
        }
        // Longer texts: every value weighted by its position (zint takes at
        // most 60 characters).
        QString reversed;
        for (auto it = all.crbegin(); it != all.crend(); ++it)
            reversed += *it;
        for (const QString &text : {all.left(48), all.mid(48), reversed.left(48), reversed.mid(48)}) {
            const QString pattern = code.process128BCode(text);
            QCOMPARE(pattern.size(), 11 * (48 + 2) + 13);
            QCOMPARE(code128AsBits(pattern), zintModules(60, text));
        }
    }

    void code128Examples()
    {
        BarCode code;
        const QString start = QStringLiteral("bbsbssbssss");
        const QString stop = QStringLiteral("bbsssbbbsbsbb");
        QVERIFY(code.setBarCode(QStringLiteral("A"), Code128B));
        QCOMPARE(code.getPattern().size(), 46);
        QCOMPARE(code.getWidth(), 138);
        QVERIFY(code.getPattern().startsWith(start));
        QVERIFY(code.getPattern().endsWith(stop));
        QCOMPARE(code.getText(), QStringLiteral("A"));

        QVERIFY(code.setBarCode(QStringLiteral("123"), Code128B));
        QCOMPARE(code.getPattern().size(), 68);
        // Values 17, 18, 19; check value (104 + 17 + 36 + 57) mod 103 = 8.
        const QString value8 = code.process128BCode(QStringLiteral("("));
        QCOMPARE(code.getPattern().mid(44, 11), value8.mid(11, 11));

        // The blank is value 0 ("bbsbbssbbss"); "A B" has check value 33 ("A").
        const QString aB = code.process128BCode(QStringLiteral("A B"));
        QCOMPARE(aB.mid(22, 11), QStringLiteral("bbsbbssbbss"));
        QCOMPARE(aB.mid(44, 11), aB.mid(11, 11));
    }

    void code128Rejections()
    {
        NoticeRecorder notices;
        BarCode code;
        QVERIFY(code.setBarCode(QStringLiteral("OK"), Code128B));
        const QString before = code.getPattern();

        QVERIFY(code.process128BCode(QString()).isNull());
        QVERIFY(code.process128BCode(QStringLiteral("编号1")).isNull());
        QVERIFY(code.process128BCode(QStringLiteral("tab\there")).isNull());
        QVERIFY(!code.setBarCode(QStringLiteral("é"), Code128B));
        QVERIFY(!code.setBarCode(QStringLiteral("x"), BarCodeType(2)));
        QCOMPARE(code.getPattern(), before);
        QCOMPARE(code.getText(), QStringLiteral("OK"));
        // A rejected text gives no picture, not the earlier symbol.
        QVERIFY(code.creatBarCode(QStringLiteral("条码"), Code128B).isNull());

        for (const Notice &n : notices.notices)
            QCOMPARE(n.title, QStringLiteral("barcode"));
        QCOMPARE(notices.texts(), QStringList({QStringLiteral("请输入编号："),
                                               QStringLiteral("输入的内容含不可\n编码字符。。。"),
                                               QStringLiteral("输入的内容含不可\n编码字符。。。"),
                                               QStringLiteral("输入的内容含不可\n编码字符。。。"),
                                               QStringLiteral("输入的内容含不可\n编码字符。。。")}));
    }

    void printPathNeverBlocks()
    {
        NoticeRecorder notices;
        LogCapture log;
        BarCode code(BarCode::RejectNotice::LogWarning);
        QVERIFY(code.creatBarCode(QStringLiteral("档案"), Code128B).isNull());
        QVERIFY(code.creatBarCode(QString(), Code128B).isNull());
        QVERIFY(code.creatBarCode(QStringLiteral("12"), EAN13).isNull());
        QVERIFY(notices.notices.isEmpty());
        const QStringList warnings = log.warnings();
        QCOMPARE(warnings.size(), 3);
        QVERIFY(warnings.at(0).contains(QStringLiteral("输入的内容含不可\n编码字符。。。")));
        QVERIFY(warnings.at(1).contains(QStringLiteral("请输入编号：")));
        QVERIFY(warnings.at(2).contains(QStringLiteral("请输入12位数字编号：")));
    }

    void ean13MatchesZint_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QChar>("check");
        QTest::newRow("weighted sum 83") << "590123412345" << QChar('7');
        QTest::newRow("sum ends in 0") << "000000000000" << QChar('0');
        QTest::newRow("sum 60") << "123456789012" << QChar('8');
        QTest::newRow("first digit 1") << "190000000001" << QChar('9');
        for (int first = 2; first <= 9; ++first) {
            QString digits = QString::number(first) + QStringLiteral("00638133393");
            QTest::newRow(qPrintable(QStringLiteral("first digit %1").arg(first))) << digits << QChar();
        }
    }

    void ean13MatchesZint()
    {
        QFETCH(QString, digits);
        QFETCH(QChar, check);
        NoticeRecorder notices;
        BarCode code;
        QString text = digits;
        const QString pattern = code.processEAN13Code(text);
        QCOMPARE(pattern.size(), 113);
        QCOMPARE(text.size(), 13);
        QVERIFY(text.startsWith(digits));
        if (!check.isNull())
            QCOMPARE(text.at(12), check);
        QCOMPARE(pattern.left(11), QString(11, QLatin1Char('0')));
        QCOMPARE(pattern.right(7), QString(7, QLatin1Char('0')));
        QString zint = zintModules(13, digits);
        QCOMPARE(pattern.mid(11, 95), zint.left(95));

        QVERIFY(code.setBarCode(digits, EAN13));
        QCOMPARE(code.getType(), EAN13);
        QCOMPARE(code.getText(), text);
        QCOMPARE(code.getWidth(), 339);
        QVERIFY(notices.notices.isEmpty());
    }

    void ean13Rejections()
    {
        NoticeRecorder notices;
        BarCode code;
        QString eleven = QStringLiteral("59012341234");
        QString thirteen = QStringLiteral("5901234123457");
        QString letter = QStringLiteral("59012341234A");
        QString wide = QStringLiteral("59012341234１");
        QVERIFY(code.processEAN13Code(eleven).isNull());
        QVERIFY(code.processEAN13Code(thirteen).isNull());
        QVERIFY(code.processEAN13Code(letter).isNull());
        QVERIFY(code.processEAN13Code(wide).isNull());
        QCOMPARE(letter, QStringLiteral("59012341234A"));
        QCOMPARE(eleven.size(), 11);
        QCOMPARE(thirteen.size(), 13);
        QVERIFY(!code.setBarCode(letter, EAN13));
        QCOMPARE(code.getWidth(), 0);
        for (const Notice &n : notices.notices)
            QCOMPARE(n.title, QStringLiteral("barcode"));
        const QString length = QStringLiteral("请输入12位数字编号：");
        const QString digit = QStringLiteral("输入的字符不应含有\n非数字符号。。。");
        QCOMPARE(notices.texts(), QStringList({length, length, digit, digit, digit}));
    }

    void code128Picture()
    {
        BarCode code;
        const QImage image = code.creatBarCode(QStringLiteral("A"), Code128B).toImage();
        QCOMPARE(image.size(), QSize(170, 182));
        const QString pattern = code.getPattern();
        // Each module is the 3-pixel column centred on 16 + 3 i.
        for (int i = 0; i < pattern.size(); ++i) {
            const bool dark = pattern.at(i) == QLatin1Char('b');
            for (int dx = -1; dx <= 1; ++dx)
                QVERIFY2(isBlack(image, 16 + 3 * i + dx, 90) == dark, qPrintable(QString::number(i)));
        }
        QVERIFY(isBlack(image, 16, 16) && isBlack(image, 16, 166));
        QVERIFY(!isBlack(image, 16, 12) && !isBlack(image, 16, 170));
        for (int x = 0; x < 14; ++x)
            QVERIFY(!isBlack(image, x, 90));
        for (int x = 156; x < 170; ++x)
            QVERIFY(!isBlack(image, x, 90));

        QCOMPARE(code.creatBarCode(QStringLiteral("123"), Code128B).size(), QSize(236, 182));
    }

    void ean13Picture()
    {
        BarCode code;
        const QImage image = code.creatBarCode(QStringLiteral("590123412345"), EAN13).toImage();
        QCOMPARE(image.size(), QSize(343, 194));
        QCOMPARE(code.getText(), QStringLiteral("5901234123457"));
        // Guard bars reach 16 pixels further down than the digit bars.
        const int x0 = 2;
        QVERIFY(isBlack(image, x0 + 3 * 11, 180));  // start guard
        QVERIFY(isBlack(image, x0 + 3 * 57, 180));  // centre guard
        QVERIFY(isBlack(image, x0 + 3 * 105, 180)); // end guard
        const int digitBar = int(code.getPattern().indexOf(QLatin1Char('1'), 14));
        QVERIFY(digitBar < 56);
        QVERIFY(isBlack(image, x0 + 3 * digitBar, 160));
        QVERIFY(!isBlack(image, x0 + 3 * digitBar, 180));
        // Digits are written under the bars.
        int ink = 0;
        for (int y = 174; y < 192; ++y)
            for (int x = x0 + 42; x < x0 + 42 + 126; ++x)
                ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        QVERIFY(ink > 30);
    }

    void zbarReadsThePictures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("letter") << "A" << int(Code128B) << "A";
        QTest::newRow("digits") << "123" << int(Code128B) << "123";
        QTest::newRow("blank") << "A B" << int(Code128B) << "A B";
        QTest::newRow("archive number") << "KL-2026/0007 box#12" << int(Code128B) << "KL-2026/0007 box#12";
        QTest::newRow("printable ASCII") << allCode128BCharacters().left(95) << int(Code128B)
                                         << allCode128BCharacters().left(95);
        QTest::newRow("ean13") << "590123412345" << int(EAN13) << "5901234123457";
    }

    void zbarReadsThePictures()
    {
        QFETCH(QString, text);
        QFETCH(int, type);
        QFETCH(QString, expected);
        BarCode code;
        const QImage image = code.creatBarCode(text, BarCodeType(type)).toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(zbarDecode(image), QStringList({expected}));
    }
};

QTEST_MAIN(TestBarCode)
#include "tst_barcode.moc"
