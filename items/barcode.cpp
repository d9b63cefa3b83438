#include "items/barcode.h"

#include "util/seams.h"

#include <iterator>

#include <QPainter>
#include <QPen>
#include <QtDebug>

namespace {

// Bar and space widths of the Code 128 symbol values 0 to 106, alternating
// bar, space, bar...; the last one is Stop.
constexpr const char *CODE128_WIDTHS[] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};

constexpr int CODE128_START_B = 104;
constexpr int CODE128_STOP = 106;
constexpr int CODE128_MODULUS = 103;
constexpr ushort CODE128B_FIRST = 0x20;
constexpr ushort CODE128B_LAST = 0x7F;

constexpr const char *EAN13_PARITY[] = {
    "AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB", "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA",
};
constexpr const char *EAN13_SET_A[] = {
    "0001101", "0011001", "0010011", "0111101", "0100011", "0110001", "0101111", "0111011", "0110111", "0001011",
};
constexpr const char *EAN13_SET_B[] = {
    "0100111", "0110011", "0011011", "0100001", "0011101", "0111001", "0000101", "0010001", "0001001", "0010111",
};
constexpr const char *EAN13_SET_C[] = {
    "1110010", "1100110", "1101100", "1000010", "1011100", "1001110", "1010000", "1000100", "1001000", "1110100",
};

constexpr int EAN13_DIGITS = 12;
constexpr int EAN13_LEFT_QUIET = 11;
constexpr int EAN13_CELL_WIDTH = 21;
constexpr int EAN13_CELL_HEIGHT = 22;
constexpr int EAN13_GUARD_EXTRA = 16;

// Margins of the pictures around the bars.
constexpr int CODE128_MARGIN = 32;
constexpr int EAN13_MARGIN_X = 4;
constexpr int EAN13_MARGIN_Y = 44;

const char *const MSG_EMPTY = "请输入编号：";
const char *const MSG_UNENCODABLE = "输入的内容含不可\n编码字符。。。";
const char *const MSG_EAN13_LENGTH = "请输入12位数字编号：";
const char *const MSG_EAN13_NOT_DIGIT = "输入的字符不应含有\n非数字符号。。。";

QStringList toList(const char *const *table, int count)
{
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(QLatin1String(table[i]));
    return list;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isEan13GuardModule(int i)
{
    return (i >= 11 && i <= 13) || (i >= 56 && i <= 60) || (i >= 103 && i <= 105);
}

} // namespace

BarCode::BarCode(RejectNotice rejectNotice)
    : notice(rejectNotice)
{
    initCode128B();
    initEAN13();
}

BarCode::~BarCode() = default;

void BarCode::initCode128B()
{
    code128Patterns.clear();
    code128Patterns.reserve(int(std::size(CODE128_WIDTHS)));
    for (const char *widths : CODE128_WIDTHS) {
        QString modules;
        bool bar = true;
        for (const char *w = widths; *w; ++w) {
            modules += QString(*w - '0', bar ? QLatin1Char('b') : QLatin1Char('s'));
            bar = !bar;
        }
        code128Patterns.append(modules);
    }
}

void BarCode::initEAN13()
{
    ean13Parity = toList(EAN13_PARITY, 10);
    ean13SetA = toList(EAN13_SET_A, 10);
    ean13SetB = toList(EAN13_SET_B, 10);
    ean13SetC = toList(EAN13_SET_C, 10);
}

void BarCode::reject(const QString &message) const
{
    if (notice == RejectNotice::MessageBox)
        Seams::showInformation(nullptr, QStringLiteral("barcode"), message);
    else
        qWarning().noquote() << "barcode:" << message;
}

QString BarCode::process128BCode(const QString &content)
{
    if (content.isEmpty()) {
        reject(QString::fromUtf8(MSG_EMPTY));
        return QString();
    }
    QString modules = code128Patterns.at(CODE128_START_B);
    int sum = CODE128_START_B;
    for (int i = 0; i < content.size(); ++i) {
        const ushort code = content.at(i).unicode();
        if (code < CODE128B_FIRST || code > CODE128B_LAST) {
            reject(QString::fromUtf8(MSG_UNENCODABLE));
            return QString();
        }
        const int value = code - CODE128B_FIRST;
        modules += code128Patterns.at(value);
        // Kept reduced so that no text is long enough to overflow the sum.
        sum = (sum + (i + 1) % CODE128_MODULUS * value) % CODE128_MODULUS;
    }
    modules += code128Patterns.at(sum % CODE128_MODULUS);
    modules += code128Patterns.at(CODE128_STOP);
    return modules;
}

QString BarCode::processEAN13Code(QString &content)
{
    if (content.size() != EAN13_DIGITS) {
        reject(QString::fromUtf8(MSG_EAN13_LENGTH));
        return QString();
    }
    for (QChar c : content) {
        if (!isAsciiDigit(c)) {
            reject(QString::fromUtf8(MSG_EAN13_NOT_DIGIT));
            return QString();
        }
    }
    int d[EAN13_DIGITS];
    for (int k = 0; k < EAN13_DIGITS; ++k)
        d[k] = content.at(k).unicode() - '0';

    QString modules = QString(EAN13_LEFT_QUIET, QLatin1Char('0')) + QLatin1String("101");
    const QString &parity = ean13Parity.at(d[0]);
    for (int k = 1; k <= 6; ++k)
        modules += parity.at(k - 1) == QLatin1Char('A') ? ean13SetA.at(d[k]) : ean13SetB.at(d[k]);
    modules += QLatin1String("01010");
    for (int k = 7; k <= 11; ++k)
        modules += ean13SetC.at(d[k]);

    int s = 0;
    for (int k = 0; k < EAN13_DIGITS; ++k)
        s += (k % 2 == 0) ? d[k] : 3 * d[k];
    const int check = (10 - s % 10) % 10;
    content += QChar('0' + check);
    modules += ean13SetC.at(check);
    modules += QLatin1String("101") + QString(7, QLatin1Char('0'));
    return modules;
}

bool BarCode::setBarCode(const QString &content, BarCodeType codeType)
{
    QString modules;
    QString encoded = content;
    switch (codeType) {
    case Code128B:
        modules = process128BCode(content);
        break;
    case EAN13:
        modules = processEAN13Code(encoded);
        break;
    default:
        return false;
    }
    if (modules.isNull())
        return false;
    pattern = modules;
    type = codeType;
    text = encoded;
    width = MODULE_WIDTH * int(pattern.size());
    return true;
}

void BarCode::drawBarCode(QPainter &painter, int x, int y)
{
    QPen barPen(Qt::black, double(MODULE_WIDTH), Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(barPen);
    const bool ean = type == EAN13;
    const QChar dark = ean ? QLatin1Char('1') : QLatin1Char('b');
    for (int i = 0; i < pattern.size(); ++i) {
        if (pattern.at(i) != dark)
            continue;
        const int xi = x + MODULE_WIDTH * i;
        const int bottom = y + height + (ean && isEan13GuardModule(i) ? EAN13_GUARD_EXTRA : 0);
        painter.drawLine(xi, y, xi, bottom);
    }
    if (!ean)
        return;

    painter.setRenderHint(QPainter::TextAntialiasing);
    const int cellTop = y + height;
    auto drawDigit = [&](int left, int index) {
        painter.drawText(QRect(left, cellTop, EAN13_CELL_WIDTH, EAN13_CELL_HEIGHT), Qt::AlignCenter,
                         text.mid(index, 1));
    };
    drawDigit(x + 9, 0);
    for (int k = 0; k < 6; ++k) {
        drawDigit(x + 42 + EAN13_CELL_WIDTH * k, 1 + k);
        drawDigit(x + 183 + EAN13_CELL_WIDTH * k, 7 + k);
    }
}

QPixmap BarCode::creatBarCode(const QString &content, BarCodeType codeType)
{
    // A rejected text shows nothing: neither an earlier symbol nor a picture
    // of margins alone.
    if (!setBarCode(content, codeType))
        return QPixmap();
    const QSize size = type == Code128B ? QSize(width + CODE128_MARGIN, height + CODE128_MARGIN)
                                        : QSize(width + EAN13_MARGIN_X, height + EAN13_MARGIN_Y);
    QPixmap picture(size);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(picture.rect());
    drawBarCode(painter, (size.width() - width) / 2, (size.height() - height) / 2);
    painter.end();
    return picture;
}
