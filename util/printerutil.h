#pragma once

// What the terminal knows about the connected printer. The values outlive a
// disconnection (the next handshake overwrites them) and are never stored.

#include "model/replymodels.h"

#include <QString>
#include <QtGlobal>

struct PrinterSysInfo {
    QString version;
    QString sn;
    quint8 model = 0;
    QString inkboxSerial; // ink-box block 5
    quint32 remainDots = 0; // remaining ink, in dots
    // Whether remainDots came from the ink box: a block 6 that passed its
    // check since the link opened, and no failed ink-box read after it.
    bool remainKnown = false;
    // The printer's network settings as shown.
    QString ip;
    QString mask;
    QString gateway;
    QString port;
};

struct PrinterHardVerInfo {
    QString masterVersion;
    QString motionVersion;
};

class PrinterUtil
{
public:
    PrinterUtil() = delete;

    // Printer type: 0 not recognised, 1 to 4 the printer generations. It picks
    // the handshake reply layout, the print encoding and the position
    // compensation of the print preview.
    static int s_protocolType;
    static PrinterSysInfo s_printerSys;
    // The last print parameters read with status 0.
    static PrinterSettingInfo s_printerSetting;
    static PrinterHardVerInfo s_printerHardVersion;

    // Back to the start-up state, except the four network texts of
    // s_printerSys, which describe the configured link rather than the printer.
    static void reset();

    // The printer type named by characters 4 and 5 of a handshake's serial
    // number: "10" gives 1, "20" 2, "30" 3, anything else 0.
    static int protocolTypeFromSn(const QString &sn);
};
