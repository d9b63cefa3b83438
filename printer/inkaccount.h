#pragma once

// The terminal's account of the ink left in the ink box. The ink box keeps
// the quantity, in dots, in its data block 6; the terminal deducts what a
// printed page or a manual cleaning uses, writes the new quantity back and
// reads the block again.
//
// A caller deducts with one of the charge functions, then writes the block
// and logs the summary:
//
//     const InkAccount::Charge charge = InkAccount::chargePrintPage(dots, page);
//     if (!link->writeInkBox(DATA_BLOCK_INK_AMOUNT, InkAccount::encodeBlock(charge.value)))
//         InkAccount::showWriteFailed();
//     link->readInkBox(DATA_BLOCK_INK_AMOUNT);
//     qInfo().noquote() << charge.summary;

#include "model/replymodels.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class InkAccount
{
public:
    InkAccount() = delete;

    static constexpr quint32 CLEANING_DOTS = 30000;
    static constexpr int BLOCK_SIZE = 16;

    struct Charge {
        quint64 total = 0; // dots asked for
        quint32 value = 0; // the quantity block 6 is written with; 0 when low
        bool low = false;  // no more ink than asked for: nothing was deducted
        QString summary;   // logged once the block has been written
    };

    // What the automatic cleaning adds to a printed page, by cleaning level
    // (1 none, 2 low, 3 medium, 4 high); the first page of a job pays more.
    static quint32 cleaningSurcharge(int washLevel, int pageIndex);
    // A page printed from the print page: its dots times print mode and
    // colour depth (when both are in range), plus the cleaning surcharge.
    // Computed in 64 bits, where the largest cost fits exactly.
    static quint64 printPageCost(quint32 inkDots, int pageIndex, const PrinterSettingInfo &settings);
    // Takes total from remain when remain is greater; otherwise the charge is
    // low, its value 0, and remain stays as it is.
    static Charge deduct(quint32 remain, quint64 total);

    // Each deducts from PrinterUtil::s_printerSys.remainDots (which keeps its
    // value when low) and logs the lines that precede the block write.
    // A page from the print page, priced by PrinterUtil::s_printerSetting.
    static Charge chargePrintPage(quint32 inkDots, int pageIndex);
    // A page of a local API job: its dots only, logged without a warning.
    static Charge chargeApiPage(quint32 inkDots);
    static Charge chargeCleaning();

    // Block 6: value, its complement, value again (each big-endian), 06 F9 06 F9.
    static QByteArray encodeBlock(quint32 value);
    // The remaining quantity of a block 6 read back; false when the second
    // word is not the complement of the first.
    static bool decodeBlock(const stInkbox &reply, quint32 *value);

    // The red tip shown when block 6 cannot be sent.
    static void showWriteFailed();
};
