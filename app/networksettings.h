#pragma once

// The printer's own network settings as the settings page sends them and
// the terminal remembers them for its next TCP connection.
//
//     NetworkSettings settings;
//     QString error;
//     if (!NetworkSettings::parse(ipParts, maskParts, gatewayParts, portText, &settings, &error))
//         TextUtil::showError(error);

#include <QString>
#include <QStringList>
#include <QtGlobal>

struct NetworkSettings {
    QString ip;      // dotted, each part a whole number 0-255
    QString mask;
    QString gateway;
    int port = 0;    // 1-65535

    // Reads the four parts of each address and the port as typed. A part
    // that is not a whole number 0-255, or a port outside 1-65535, is
    // refused: false, with the text that tells the user what to mend.
    static bool parse(const QStringList &ipParts, const QStringList &maskParts, const QStringList &gatewayParts,
                      const QString &portText, NetworkSettings *settings, QString *error);
    // The four parts of an address as the printer reports it.
    static QStringList octetTexts(const quint8 (&octets)[4]);

    // Keeps them in the user configuration: the TCP link connects to the
    // address and port from its next opening on.
    void remember() const;
};
