#pragma once

// Runs tests/support/apiclient.py, a websocket client of the local API written
// from the message tables, and drives it over its JSON-lines control channel.
// Every wait runs this process's event loop, so a server living in the test
// itself keeps serving. The client ends with the object (and by itself after
// its lifetime).

#include "support/testsupport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

class ApiClient
{
public:
    // What arrived from the server, in order.
    struct Event {
        enum class Type { Text, Binary, Closed };
        Type type = Type::Text;
        QString text;       // Text
        QByteArray binary;  // Binary
        int closeCode = -1; // Closed: the code of the close frame, -1 when none came
        QString closeReason;
        bool byServer = false; // Closed: the server ended the connection
    };

    // Connects to ws://127.0.0.1:port; isConnected() tells whether it did.
    explicit ApiClient(quint16 port, int lifetimeSeconds = TEST_LIMIT_S);
    ~ApiClient();
    ApiClient(const ApiClient &) = delete;
    ApiClient &operator=(const ApiClient &) = delete;

    bool isConnected() const { return m_connected; }
    // Why connecting failed.
    QString error() const { return m_error; }

    // `frames` text frames back to back, each holding text repeated `repeat`
    // times.
    bool sendText(const QString &text, int repeat = 1, int frames = 1);
    // Stops reading from the connection (what the server sends stays queued
    // on its side), and starts again.
    bool pause();
    bool resume();
    bool sendBinary(const QByteArray &bytes);
    // `frames` pings of 125 bytes, back to back.
    bool sendPings(int frames);
    // The next count events; fewer (all that came, left queued) on timeout.
    QList<Event> expect(int count = 1, int timeoutMs = WAIT_MS);
    // The next count events as texts: a text frame as itself, the end of the
    // connection as "<closed CODE>", a binary frame as "<binary HEX>".
    QStringList expectTexts(int count = 1, int timeoutMs = WAIT_MS);
    // The text of the next event, or a null text when it is not a text frame.
    QString expectText(int timeoutMs = WAIT_MS);
    // Takes every event up to the end of the connection, copying none: the
    // end (Closed; a Text event when it had not come within timeoutMs) and
    // how many text frames came before it.
    Event drain(int timeoutMs, int *texts);
    // Closes from the client side and waits for the server's answer.
    bool close(int code = 1000, const QString &reason = QString());

private:
    // One control command; the reply, or an empty object when none came.
    QJsonObject command(const QJsonObject &cmd, int timeoutMs = WAIT_MS);
    bool waitForLine(int timeoutMs);

    QProcess m_process;
    bool m_connected = false;
    QString m_error;
};

} // namespace TestSupport
