#pragma once

// The local websocket API: other programs on the network list the templates,
// read a template's fields, print rows with a template, ask for the printer's
// state and stop printing. One client at a time; a new one evicts the last.
//
// Requests wait their turn and are answered one per pass of the event loop,
// so a client's backlog never keeps the window, the printer link or a new
// client waiting longer than one request takes. What a client can make the
// terminal hold is bounded: a client whose unsent replies (the pongs Qt
// answers its pings with among them), or whose requests waiting their turn,
// pass MAX_BACKLOG_BYTES is closed as a policy violation.
//
// Every log line a client causes (its connections, its messages, what the
// server notes about each, and the lines of a print job it started) is
// written inside a ClientCause, or in the clientText category, so the day's
// share of client text bounds them all.
//
// The server decides and answers; what it needs of the terminal (the printer
// state, whether a window is open, the API print preview) it asks its Host,
// which the main window is. Requests and replies are the JSON messages built
// and read by JsonUtil.

#include "model/apimodel.h"
#include "model/templatemodel.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <QWebSocketProtocol>

#include <functional>

class QTimer;
class QWebSocket;
class QWebSocketServer;

class ApiServer : public QObject
{
    Q_OBJECT

public:
    // What the server asks of the terminal.
    class Host
    {
    public:
        virtual ~Host() = default;
        // A print preview or template editor opened from the terminal is
        // open, or the printer is taking a firmware image.
        virtual bool apiDialogBusy() const = 0;
        // 0 not connected, 1 connected, 2 ink-box error.
        virtual uchar apiPrinterState() const = 0;
        // Whether a printer action may go ahead; tells the user why not.
        virtual bool apiCheckPrinter() = 0;
        // Every template's header, as the store holds them now.
        virtual QList<TemplateModel> apiTemplates() = 0;
        // Opens the preview of an API job and starts printing. code is the
        // reply: "00000"; what the preview answered when it refused (it is
        // then closed at once); or "10003" when the template is not in the
        // store by the time it is read for the preview (nothing is opened
        // then).
        // jobClosed runs when an opened preview closes.
        virtual void openApiPreview(const QString &templateName, const QList<QMap<QString, QVariant>> &rows,
                                    QString *code, std::function<void()> jobClosed) = 0;
        // Ends the API job after the page in progress; the preview stays open.
        virtual void stopApiJob() = 0;
        // Closes the API job's preview, if one is open.
        virtual void closeApiPreview() = 0;
    };

    // Qt closes a connection whose message or frame is larger.
    static constexpr quint64 MAX_MESSAGE_BYTES = 16 * 1024 * 1024;
    // What the log keeps of a message.
    static constexpr int LOGGED_CHARS = 1024;
    // A client's unsent replies, or its requests waiting their turn, past
    // this close it (1008).
    static constexpr qint64 MAX_BACKLOG_BYTES = 64 * 1024 * 1024;
    // Qt answers pings by itself and tells nobody: what waits to go to the
    // clients is looked at this often while there are any.
    static constexpr int BACKLOG_CHECK_MS = 100;
    static constexpr const char *WELCOME_TEXT = "welcome to the printer api";

    ApiServer(Host &host, QObject *parent = nullptr);
    ~ApiServer() override;

    // Listens on address ("Any" for every interface, otherwise an address
    // text) and port. A failure is logged and shown; the server then stays
    // as it is, not listening.
    bool initWebSocketServer(const QString &address, quint16 port);
    bool isListening() const;
    quint16 serverPort() const;
    // Stops listening and closes the client, at once: the port is free when
    // this returns, whatever is still to be deleted.
    void shutdown();

private:
    void onWebSocketNewConnection();
    void onTextMessage(QWebSocket *socket, const QString &text);
    void onDisconnected(QWebSocket *socket);
    // Answers the request that has waited longest and leaves the rest for
    // the next pass of the event loop.
    void serveNext();
    void postTurn();
    void dropWaiting();
    // Closes a client. Replies not yet sent are kept for it Seams::closeGraceMs()
    // at most, and for one closed client at a time.
    void closeClient(QWebSocket *socket, QWebSocketProtocol::CloseCode code);
    void closeOverflowing(QWebSocket *socket, const QString &what, qint64 bytes);
    // Closes the client when its unsent bytes grew past the bound without a
    // reply of ours (pongs; a closed client is answered no more).
    void checkBacklogs();
    // The reply to a request; null when the request answered by itself.
    QString dispatch(QWebSocket *socket, const APIModel &request);
    QString templateList(const APIModel &request);
    QString templateFields(const APIModel &request);
    QString printerStatus(const APIModel &request);
    QString print(QWebSocket *socket, const APIModel &request);
    // Sends text when the client is still connected; false otherwise.
    bool send(QWebSocket *socket, const QString &text);

    Host &m_host;
    QWebSocketServer *m_server;
    // At most one client; a new connection evicts it.
    QPointer<QWebSocket> m_client;
    // The client's requests not yet answered, oldest first.
    QQueue<QString> m_waiting;
    qint64 m_waitingBytes = 0;
    bool m_turnPosted = false;
    // The last client closed with replies still to send.
    QPointer<QWebSocket> m_closing;
    QTimer *m_backlogCheck;
    // The list last answered and the "data" of its reply.
    QList<TemplateModel> m_listed;
    QString m_listData;
};
