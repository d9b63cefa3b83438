#pragma once

#include "util/printerutil.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// What one page of the help dialog shows: a title, the paragraphs of its
// centred text and the text's style sheet. Decided here from plain inputs,
// so every page is checked without a window.
struct HelpPage {
    enum Number { API = 1, ABOUT = 2, VERSIONS = 3 };

    QString title;
    QStringList paragraphs;
    QString textStyle;

    // The page for a page number, from the running terminal: its network
    // addresses and API configuration, the company lines, the versions the
    // printer last reported. Any other number gives the empty help page.
    static HelpPage forNumber(int number);

    // How other programs reach the local API. configuredAddress is the
    // "api.address" setting: "Any" (or an any-address) stands for the first
    // IPv4 address of hostAddresses that is not a loopback address.
    static HelpPage api(const QList<QHostAddress> &hostAddresses, const QString &configuredAddress, quint16 port);
    static HelpPage about(const QStringList &companyLines);
    static HelpPage versions(const PrinterHardVerInfo &versions);
    static HelpPage empty();

    // The host part of the API's URL for that configuration ("" when the host
    // has no such address); IPv6 addresses come in brackets.
    static QString apiHost(const QList<QHostAddress> &hostAddresses, const QString &configuredAddress);
};
