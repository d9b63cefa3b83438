#include "app/apiserver.h"

#include "app/logfile.h"
#include "util/clientcause.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDebug>
#include <QHostAddress>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>

namespace {

const char SERVER_NAME[] = "WebApiServer";
const char ANY_ADDRESS[] = "Any";

QString code(const char *text)
{
    return QLatin1String(text);
}

// A message as the log shows it: at most LOGGED_CHARS characters of it.
QString logged(const QString &text)
{
    if (text.size() <= ApiServer::LOGGED_CHARS)
        return text;
    return text.left(ApiServer::LOGGED_CHARS) + QStringLiteral("...(%1)").arg(text.size());
}

QString peer(const QWebSocket *socket)
{
    return QStringLiteral("Address:%1  Port:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

// What a request waiting its turn holds: its characters and the queue's own
// bookkeeping, so that a flood of empty messages counts too.
qint64 heldBytes(const QString &text)
{
    return qint64(text.size()) * qint64(sizeof(QChar)) + 64;
}

} // namespace

ApiServer::ApiServer(Host &host, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_server(new QWebSocketServer(QLatin1String(SERVER_NAME), QWebSocketServer::NonSecureMode, this))
    , m_backlogCheck(new QTimer(this))
{
    connect(m_server, &QWebSocketServer::newConnection, this, &ApiServer::onWebSocketNewConnection);
    m_backlogCheck->setInterval(BACKLOG_CHECK_MS);
    connect(m_backlogCheck, &QTimer::timeout, this, &ApiServer::checkBacklogs);
}

ApiServer::~ApiServer()
{
    shutdown();
}

bool ApiServer::initWebSocketServer(const QString &address, quint16 port)
{
    const QHostAddress host = address == QLatin1String(ANY_ADDRESS) ? QHostAddress(QHostAddress::Any)
                                                                     : QHostAddress(address);
    // Qt would take an address it cannot read for every interface.
    if (host.isNull() || !m_server->listen(host, port)) {
        const QString error = host.isNull() ? QStringLiteral("invalid address %1").arg(address)
                                            : m_server->errorString();
        qWarning().noquote() << "webApiServer listen failed:" << error;
        TextUtil::showError(QStringLiteral("API接口初始化失败:") + error);
        return false;
    }
    qInfo().noquote() << "WebApiServer init successed: " << host.toString() << m_server->serverPort();
    return true;
}

bool ApiServer::isListening() const
{
    return m_server->isListening();
}

quint16 ApiServer::serverPort() const
{
    return m_server->serverPort();
}

void ApiServer::shutdown()
{
    m_server->disconnect(this);
    m_server->close();
    m_backlogCheck->stop();
    dropWaiting();
    if (QWebSocket *closing = m_closing.data())
        closing->abort();
    if (QWebSocket *client = m_client.data()) {
        // Its handlers are the server's: none may run once it is going.
        client->disconnect();
        client->close(QWebSocketProtocol::CloseCodeGoingAway);
        client->deleteLater();
        m_client.clear();
    }
}

void ApiServer::onWebSocketNewConnection()
{
    QWebSocket *socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    const ClientCause cause;
    // The server does not own what it hands out; the client lives as long
    // as its connection, and never longer than the server.
    socket->setParent(this);
    // Bounds what one client can make the terminal hold in memory; set
    // before the event loop reads its first frame.
    socket->setMaxAllowedIncomingMessageSize(MAX_MESSAGE_BYTES);
    socket->setMaxAllowedIncomingFrameSize(MAX_MESSAGE_BYTES);
    if (QWebSocket *previous = m_client.data()) {
        closeClient(previous, QWebSocketProtocol::CloseCodeNormal);
        m_host.closeApiPreview();
    }
    m_client = socket;
    m_backlogCheck->start();
    qCInfo(clientText).noquote() << "[New Connect]" << peer(socket);

    send(socket, QLatin1String(WELCOME_TEXT));
    send(socket, JsonUtil::buildJsonstrByStatus(APIModel::REQUEST_WELCOME, 1, code(APIModel::CODE_WELCOME)));

    connect(socket, &QWebSocket::textMessageReceived, socket,
            [this, socket](const QString &text) { onTextMessage(socket, text); }, Qt::DirectConnection);
    connect(socket, &QWebSocket::disconnected, socket, [this, socket] { onDisconnected(socket); },
            Qt::DirectConnection);
    // Binary frames carry no request: they are not read.
}

void ApiServer::onDisconnected(QWebSocket *socket)
{
    const ClientCause cause;
    qCInfo(clientText).noquote() << "[Disconnect]" << peer(socket);
    if (m_client == socket) {
        m_client.clear();
        dropWaiting();
    }
    socket->disconnect();
    socket->deleteLater();
}

void ApiServer::onTextMessage(QWebSocket *socket, const QString &text)
{
    // What a closed client still had on the way is not answered.
    if (socket != m_client)
        return;
    const ClientCause cause;
    m_waiting.enqueue(text);
    m_waitingBytes += heldBytes(text);
    if (m_waitingBytes > MAX_BACKLOG_BYTES) {
        closeOverflowing(socket, QStringLiteral("requests waiting"), m_waitingBytes);
        return;
    }
    postTurn();
}

void ApiServer::postTurn()
{
    if (m_turnPosted || m_waiting.isEmpty())
        return;
    m_turnPosted = true;
    QTimer::singleShot(0, this, &ApiServer::serveNext);
}

void ApiServer::dropWaiting()
{
    m_waiting.clear();
    m_waitingBytes = 0;
}

void ApiServer::serveNext()
{
    m_turnPosted = false;
    QWebSocket *socket = m_client.data();
    if (!socket || m_waiting.isEmpty())
        return;
    const QString text = m_waiting.dequeue();
    m_waitingBytes -= heldBytes(text);
    const ClientCause cause;

    const QString trimmed = text.trimmed();
    qCDebug(clientText).noquote() << "receive msg" << logged(trimmed);
    const APIModel request = JsonUtil::parseAPIRequest(trimmed);
    qCDebug(clientText) << "APIModel" << request.requestId;
    const QString reply = dispatch(socket, request);
    if (!reply.isNull())
        send(socket, reply);

    // Unless the request closed the client, the next one waits for the next pass.
    postTurn();
}

void ApiServer::closeClient(QWebSocket *socket, QWebSocketProtocol::CloseCode code)
{
    if (socket == m_client) {
        m_client.clear();
        dropWaiting();
    }
    // Replies it has not read yet would stay queued for as long as it does
    // not read: they are dropped with the connection after a while, and a
    // second client closed meanwhile drops the first's at once.
    if (socket->bytesToWrite() > 0) {
        if (QWebSocket *earlier = m_closing.data(); earlier && earlier != socket)
            earlier->abort();
        m_closing = socket;
        QTimer::singleShot(Seams::closeGraceMs(), socket, &QWebSocket::abort);
    }
    socket->close(code);
}

void ApiServer::checkBacklogs()
{
    const ClientCause cause;
    QWebSocket *client = m_client.data();
    if (!client)
        m_backlogCheck->stop();
    else if (client->bytesToWrite() > MAX_BACKLOG_BYTES)
        closeOverflowing(client, QStringLiteral("replies unsent"), client->bytesToWrite());
}

void ApiServer::closeOverflowing(QWebSocket *socket, const QString &what, qint64 bytes)
{
    qWarning().noquote() << "[Overflow]" << peer(socket) << what << bytes << "bytes, closed";
    closeClient(socket, QWebSocketProtocol::CloseCodePolicyViolated);
}

QString ApiServer::dispatch(QWebSocket *socket, const APIModel &request)
{
    switch (request.requestId) {
    case APIModel::REQUEST_TEMPLATE_LIST:
        return templateList(request);
    case APIModel::REQUEST_TEMPLATE_FIELDS:
        return templateFields(request);
    case APIModel::REQUEST_PRINT:
        return print(socket, request);
    case APIModel::REQUEST_PRINTER_STATUS:
        return printerStatus(request);
    case APIModel::REQUEST_STOP_PRINT:
        m_host.stopApiJob();
        return JsonUtil::buildJsonstrByStatus(request.requestId, request.seq, code(APIModel::CODE_SUCCESS));
    default:
        qCWarning(clientText).noquote() << QStringLiteral("不识别的requestId") << request.requestId;
        // Answered all the same, with an empty message.
        return QLatin1String("");
    }
}

QString ApiServer::templateList(const APIModel &request)
{
    const QList<TemplateModel> templates = m_host.apiTemplates();
    const auto listedAlike = [](const TemplateModel &a, const TemplateModel &b) {
        return a.name == b.name && a.type == b.type;
    };
    // Building the reply costs far more than comparing what it is built of.
    if (m_listData.isNull() || templates.size() != m_listed.size()
        || !std::equal(templates.begin(), templates.end(), m_listed.begin(), listedAlike)) {
        m_listed = templates;
        m_listData = JsonUtil::buildTemplateListData(templates);
    }
    return JsonUtil::buildTemplateListReply(m_listData, request.seq);
}

QString ApiServer::templateFields(const APIModel &request)
{
    // An empty name finds the empty template, whose fields are none.
    const TemplateModel model = JsonUtil::cachedTemplate(request.templateName);
    if (model.name != request.templateName)
        return JsonUtil::buildJsonstrByStatus(request.requestId, request.seq, code(APIModel::CODE_NO_TEMPLATE));
    return JsonUtil::buildJsonstrByTemplateFailds(model, request.seq);
}

QString ApiServer::printerStatus(const APIModel &request)
{
    const char *status = APIModel::CODE_PRINTER_NOT_READY;
    if (m_host.apiDialogBusy())
        status = APIModel::CODE_BUSY;
    else if (m_host.apiPrinterState() != 0)
        status = APIModel::CODE_IDLE_OR_FINISHED;
    return JsonUtil::buildJsonstrByStatus(request.requestId, request.seq, code(status));
}

QString ApiServer::print(QWebSocket *socket, const APIModel &request)
{
    const auto status = [&request](const char *text) {
        return JsonUtil::buildJsonstrByStatus(request.requestId, request.seq, code(text));
    };
    if (!m_host.apiCheckPrinter())
        return status(APIModel::CODE_PRINTER_NOT_READY);
    if (m_host.apiDialogBusy())
        return status(APIModel::CODE_BUSY);
    // A name that finds no template would print blank labels onto the boxes.
    // Looked up in the kept store: a refused request costs no more than
    // request 11.
    if (request.templateName.isEmpty() || JsonUtil::cachedTemplate(request.templateName).name != request.templateName)
        return status(APIModel::CODE_NO_TEMPLATE);
    if (request.data.isEmpty()) {
        // Nothing to print: the job is over as soon as it is accepted.
        send(socket, status(APIModel::CODE_SUCCESS));
        send(socket, status(APIModel::CODE_IDLE_OR_FINISHED));
        return QString();
    }

    // The client that asked hears when the job's preview closes, if it is
    // still connected then.
    const QPointer<ApiServer> server(this);
    const QPointer<QWebSocket> client(socket);
    const APIModel asked = request;
    QString reply = code(APIModel::CODE_SUCCESS);
    m_host.openApiPreview(request.templateName, request.data, &reply, [server, client, asked] {
        if (server)
            server->send(client.data(), JsonUtil::buildJsonstrByStatus(asked.requestId, asked.seq,
                                                                       code(APIModel::CODE_IDLE_OR_FINISHED)));
        qInfo().noquote() << "Printe finished Dialog::dialogClosed";
    });
    return JsonUtil::buildJsonstrByStatus(request.requestId, request.seq, reply);
}

bool ApiServer::send(QWebSocket *socket, const QString &text)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    if (socket->sendTextMessage(text) < 0) {
        qWarning().noquote() << "sendFailed:" << socket->errorString();
        return false;
    }
    if (socket->bytesToWrite() > MAX_BACKLOG_BYTES)
        closeOverflowing(socket, QStringLiteral("replies unsent"), socket->bytesToWrite());
    return true;
}
