#pragma once

// Opens a serial device to everyone (mode 666) through sudo, so the terminal
// can use a printer whose device the user's account may not open. The
// password goes to sudo's standard input, never onto a command line or into
// the log.

#include <QString>

class SerialPermission
{
public:
    SerialPermission() = delete;

    // How long sudo may take before it is stopped.
    static constexpr int TIMEOUT_MS = 15000;

    // Only USB serial and modem devices ("ttyUSB0", "ttyACM3") are granted.
    static bool isPortName(const QString &portName);
    // Runs sudo -S -p "" chmod 666 /dev/<portName> with the password and a
    // newline on its standard input. False when the name is refused (nothing
    // runs, nothing is logged) or the command did not succeed.
    static bool grant(const QString &portName, const QString &password);
};
