#pragma once

// Runs tests/fakeprinter/fakeprinter.py, a stand-in printer written from the
// frame tables, and talks to it over its JSON-lines control channel: set what
// it answers, inject faults, read back the requests it recorded. The process
// ends with the object (and by itself after its lifetime).

#include "support/testsupport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

class FakePrinter
{
public:
    enum class Transport { Tcp, Pty };

    struct Request {
        int command = -1;
        int length = 0;
        bool checksumOk = false;
        bool tailOk = false;
        QByteArray sha256; // hex text
        QByteArray bytes;  // filled by request(index) or requests(true)
    };

    // Starts the printer; extra arguments go to its command line
    // (e.g. {"--handshake-layout", "old"}). isRunning() tells whether it came up.
    explicit FakePrinter(Transport transport, const QStringList &arguments = QStringList(),
                         int lifetimeSeconds = TEST_LIMIT_S);
    ~FakePrinter();
    FakePrinter(const FakePrinter &) = delete;
    FakePrinter &operator=(const FakePrinter &) = delete;

    bool isRunning() const;
    // Points the terminal's link at this printer (TCP on 127.0.0.1) in the
    // user configuration, and the local API it serves once connected at a
    // free loopback port, so terminals of tests running side by side never
    // compete for one. False when the configuration was not written.
    bool linkTerminal() const;
    // Only the local API at a free loopback port, for terminals linked
    // another way.
    static bool serveApiOnFreePort();
    Transport transport() const { return m_transport; }
    quint16 port() const { return m_port; }
    QString ptyPath() const { return m_ptyPath; }
    // The whole announcement line it printed on start.
    QJsonObject announcement() const { return m_announcement; }

    // One control command; the reply object, or an empty object when the
    // process did not answer. ok() of the reply tells success.
    QJsonObject command(const QJsonObject &cmd, int timeoutMs = WAIT_MS);
    static bool ok(const QJsonObject &reply) { return reply.value(QStringLiteral("ok")).toBool(); }

    bool set(const QJsonObject &settings);
    bool fault(const QJsonObject &rule);
    bool send(const QByteArray &bytes);
    bool reply(int command, int status = 0);
    // A new ink box: its serial in block 5, dots in block 6 (laid out as the
    // ink table gives it; intact false puts dots where its complement
    // belongs) and both in the handshake.
    bool swapInkBox(const QString &serial, quint32 dots, bool intact = true);
    bool disconnectClient(const QString &mode = QStringLiteral("close"));
    bool hangup();
    bool clear();
    QJsonObject status();
    bool isConnected();
    // The ink-box data block it holds now, as lower-case hex.
    QString block(int number);
    int connections();

    QList<Request> requests(bool withBytes = false);
    Request request(int index);
    int requestCount();
    // Runs the event loop until the printer has recorded at least count
    // requests, or timeoutMs passed.
    bool waitForRequests(int count, int timeoutMs = WAIT_MS);
    // Runs the event loop until the printer's view of its link is as asked.
    bool waitForConnected(bool connected, int timeoutMs = WAIT_MS);

    // A printer-to-terminal frame built by hand from the frame table:
    // A9 20 10 command payload sum8 3C 23.
    static QByteArray frame(quint8 command, const QByteArray &payload);
    // A fixed-width text field: UTF-8 bytes cut or padded with NUL to width.
    static QByteArray textField(const QByteArray &text, int width);

    static QString scriptPath();

private:
    Transport m_transport;
    QProcess m_process;
    QJsonObject m_announcement;
    quint16 m_port = 0;
    QString m_ptyPath;
    QByteArray m_pending;
};

} // namespace TestSupport
