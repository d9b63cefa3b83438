#include "app/serialportlister.h"

#include "printer/comanager.h"
#include "util/seams.h"

#include <QSerialPort>

QStringList SerialPortLister::usablePorts(const QString &linkPort)
{
    QStringList names;
    const QList<Seams::SerialPortEntry> ports = Seams::availableSerialPorts();
    for (const Seams::SerialPortEntry &entry : ports) {
        if (!ComManager::isPrinterPortName(entry.name))
            continue;
        // The link's own device would fail the trial while the link holds it.
        if (!linkPort.isEmpty() && entry.name == linkPort) {
            names << entry.name;
            continue;
        }
        QSerialPort trial;
        trial.setPortName(entry.systemLocation);
        if (Seams::openSerialPort(trial, entry.name, QIODevice::ReadWrite, nullptr, nullptr)) {
            trial.close();
            names << entry.name;
        }
    }
    return names;
}
