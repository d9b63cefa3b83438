#include "util/printerutil.h"

int PrinterUtil::s_protocolType = 0;
PrinterSysInfo PrinterUtil::s_printerSys;
PrinterSettingInfo PrinterUtil::s_printerSetting;
PrinterHardVerInfo PrinterUtil::s_printerHardVersion;

void PrinterUtil::reset()
{
    s_protocolType = 0;
    s_printerSys.version.clear();
    s_printerSys.sn.clear();
    s_printerSys.model = 0;
    s_printerSys.inkboxSerial.clear();
    s_printerSys.remainDots = 0;
    s_printerSys.remainKnown = false;
    s_printerSetting = PrinterSettingInfo();
    s_printerHardVersion = PrinterHardVerInfo();
}

int PrinterUtil::protocolTypeFromSn(const QString &sn)
{
    const QString code = sn.mid(4, 2);
    if (code == QLatin1String("10"))
        return 1;
    if (code == QLatin1String("20"))
        return 2;
    if (code == QLatin1String("30"))
        return 3;
    return 0;
}
