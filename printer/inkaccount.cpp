#include "printer/inkaccount.h"

#include "util/printerutil.h"
#include "util/textutil.h"

#include <QDateTime>
#include <QtDebug>
#include <QtEndian>

#include <limits>

namespace {

constexpr quint8 MAX_PRINT_MODE = 2;  // double row
constexpr quint8 MAX_COLOR_DEPTH = 3; // deep
constexpr quint32 MAX_SURCHARGE = 24000;
static_assert(quint64(std::numeric_limits<quint32>::max()) * MAX_PRINT_MODE * MAX_COLOR_DEPTH + MAX_SURCHARGE
                  < std::numeric_limits<quint64>::max(),
              "a page's cost never wraps");

// Parameters never read (mode 0) price the page's dots at nothing.
bool factorsApply(const PrinterSettingInfo &settings)
{
    return settings.printMode <= MAX_PRINT_MODE && settings.colorDepth <= MAX_COLOR_DEPTH;
}

// Deducts from the quantity the terminal holds; logs the outcome when asked.
InkAccount::Charge chargeHeld(quint64 total, bool logged)
{
    InkAccount::Charge charge = InkAccount::deduct(PrinterUtil::s_printerSys.remainDots, total);
    if (!charge.low)
        PrinterUtil::s_printerSys.remainDots = charge.value;
    if (!logged)
        return charge;
    if (charge.low)
        qWarning().noquote() << QStringLiteral(" 墨量过低 ");
    else
        qDebug().noquote() << QStringLiteral("remainDots: %1").arg(charge.value);
    return charge;
}

} // namespace

quint32 InkAccount::cleaningSurcharge(int washLevel, int pageIndex)
{
    const bool first = pageIndex == 0;
    switch (washLevel) {
    case 2: return first ? 6000 : 1200;
    case 3: return first ? 12000 : 2400;
    case 4: return first ? MAX_SURCHARGE : 3600;
    default: return 0;
    }
}

quint64 InkAccount::printPageCost(quint32 inkDots, int pageIndex, const PrinterSettingInfo &settings)
{
    quint64 total = inkDots;
    if (factorsApply(settings))
        total *= quint64(settings.printMode) * settings.colorDepth;
    return total + cleaningSurcharge(settings.washLevel, pageIndex);
}

InkAccount::Charge InkAccount::deduct(quint32 remain, quint64 total)
{
    Charge charge;
    charge.total = total;
    if (remain > total)
        charge.value = quint32(remain - total);
    else
        charge.low = true;
    return charge;
}

InkAccount::Charge InkAccount::chargePrintPage(quint32 inkDots, int pageIndex)
{
    const PrinterSettingInfo &settings = PrinterUtil::s_printerSetting;
    qDebug().noquote() << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (factorsApply(settings))
        qDebug() << "ConsumInkDots" << inkDots << int(settings.printMode) << int(settings.colorDepth);
    Charge charge = chargeHeld(printPageCost(inkDots, pageIndex, settings), true);
    charge.summary = QStringLiteral("消耗墨量: %1,剩余墨量 :%2").arg(charge.total).arg(charge.value);
    return charge;
}

InkAccount::Charge InkAccount::chargeApiPage(quint32 inkDots)
{
    Charge charge = chargeHeld(inkDots, false);
    charge.summary = QStringLiteral("consumInkDots :%1").arg(charge.low ? 0 : charge.total);
    return charge;
}

InkAccount::Charge InkAccount::chargeCleaning()
{
    Charge charge = chargeHeld(CLEANING_DOTS, true);
    charge.summary = QStringLiteral("剩余墨量 :%1").arg(charge.value);
    return charge;
}

QByteArray InkAccount::encodeBlock(quint32 value)
{
    QByteArray block(BLOCK_SIZE, '\0');
    uchar *bytes = reinterpret_cast<uchar *>(block.data());
    qToBigEndian(value, bytes);
    qToBigEndian(~value, bytes + 4);
    qToBigEndian(value, bytes + 8);
    bytes[12] = 0x06;
    bytes[13] = 0xF9;
    bytes[14] = 0x06;
    bytes[15] = 0xF9;
    return block;
}

bool InkAccount::decodeBlock(const stInkbox &reply, quint32 *value)
{
    static_assert(sizeof reply.data >= 8, "block 6 starts with two words");
    const quint32 first = qFromBigEndian<quint32>(reply.data);
    const quint32 second = qFromBigEndian<quint32>(reply.data + 4);
    if (second != ~first)
        return false;
    *value = first;
    return true;
}

void InkAccount::showWriteFailed()
{
    TextUtil::showError(QStringLiteral("写入失败，请检查打印机连接状态"));
}
