#pragma once

// The serial devices the configuration page offers for the printer link.

#include <QString>
#include <QStringList>

class SerialPortLister
{
public:
    SerialPortLister() = delete;

    // The USB serial and modem devices present, in the system's order, that
    // can be used now: linkPort (the device the printer link holds open, ""
    // when none) as it is, every other one only when it opens on a trial.
    // A device another program holds is left out.
    static QStringList usablePorts(const QString &linkPort);
};
