#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QtGlobal>

// One request of the local websocket API, as JsonUtil::parseAPIRequest reads
// it. Fields a request does not carry keep their defaults.
class APIModel
{
public:
    // The operations a client asks for; 1 answers only the welcome of a new
    // connection.
    enum RequestId {
        REQUEST_WELCOME = 1,
        REQUEST_TEMPLATE_LIST = 10,
        REQUEST_TEMPLATE_FIELDS = 11,
        REQUEST_PRINT = 12,
        REQUEST_PRINTER_STATUS = 13,
        REQUEST_STOP_PRINT = 14,
    };

    // The "code" of a reply.
    static constexpr const char CODE_SUCCESS[] = "00000";
    static constexpr const char CODE_WELCOME[] = "10000";
    static constexpr const char CODE_NO_TEMPLATE[] = "10003";
    // Printer ready with nothing open; also an API job's preview has closed.
    static constexpr const char CODE_IDLE_OR_FINISHED[] = "11000";
    static constexpr const char CODE_BUSY[] = "11001";
    static constexpr const char CODE_PRINTER_NOT_READY[] = "11003";

    int requestId = 0;
    quint16 seq = 0;
    QString templateName; // requests 11 and 12
    QList<QMap<QString, QVariant>> data; // request 12: one row per label, title to value
};
