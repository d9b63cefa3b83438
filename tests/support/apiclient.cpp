#include "support/apiclient.h"

#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace TestSupport {

namespace {

// Not an object: an empty one.
QJsonObject parseLine(const QByteArray &line)
{
    return QJsonDocument::fromJson(line).object();
}

ApiClient::Event toEvent(const QJsonObject &o)
{
    ApiClient::Event e;
    const QString type = o.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("binary")) {
        e.type = ApiClient::Event::Type::Binary;
        e.binary = QByteArray::fromHex(o.value(QStringLiteral("hex")).toString().toLatin1());
    } else if (type == QLatin1String("closed")) {
        e.type = ApiClient::Event::Type::Closed;
        e.closeCode = o.value(QStringLiteral("code")).toInt(-1);
        e.closeReason = o.value(QStringLiteral("reason")).toString();
        e.byServer = o.value(QStringLiteral("byServer")).toBool();
    } else {
        // An empty frame is an empty text, never a null one.
        e.text = o.value(QStringLiteral("text")).toString();
        if (e.text.isNull())
            e.text = QLatin1String("");
    }
    return e;
}

bool ok(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("ok")).toBool();
}

} // namespace

ApiClient::ApiClient(quint16 port, int lifetimeSeconds)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(systemPython(), {QStringLiteral(KELO_TESTS_DIR "/support/apiclient.py"),
                                     QStringLiteral("--control"), QStringLiteral("--port"), QString::number(port),
                                     QStringLiteral("--lifetime"), QString::number(lifetimeSeconds)});
    if (!m_process.waitForStarted(WAIT_MS)) {
        m_error = m_process.errorString();
        return;
    }
    if (!waitForLine(WAIT_MS)) {
        m_error = QStringLiteral("the client announced nothing");
        return;
    }
    const QJsonObject announcement = parseLine(m_process.readLine());
    m_connected = announcement.value(QStringLiteral("event")).toString() == QLatin1String("connected");
    m_error = announcement.value(QStringLiteral("error")).toString();
}

ApiClient::~ApiClient()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // end of input closes the connection and ends the client
    QDeadlineTimer deadline(5000);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(); // the server may have to answer the close
        m_process.waitForFinished(10);
    }
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool ApiClient::waitForLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return m_process.canReadLine();
        QCoreApplication::processEvents();
        m_process.waitForReadyRead(5);
    }
    return true;
}

QJsonObject ApiClient::command(const QJsonObject &cmd, int timeoutMs)
{
    if (m_process.state() != QProcess::Running)
        return QJsonObject();
    m_process.write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n');
    if (!waitForLine(timeoutMs))
        return QJsonObject();
    return parseLine(m_process.readLine());
}

bool ApiClient::sendText(const QString &text, int repeat, int frames)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("send")},
                       {QStringLiteral("text"), text},
                       {QStringLiteral("repeat"), repeat},
                       {QStringLiteral("frames"), frames}}));
}

bool ApiClient::pause()
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("pause")}}));
}

bool ApiClient::resume()
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("resume")}}));
}

bool ApiClient::sendBinary(const QByteArray &bytes)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("send")},
                       {QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())}}));
}

bool ApiClient::sendPings(int frames)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("ping")}, {QStringLiteral("frames"), frames}}));
}

QList<ApiClient::Event> ApiClient::expect(int count, int timeoutMs)
{
    const QJsonObject reply = command({{QStringLiteral("cmd"), QStringLiteral("expect")},
                                       {QStringLiteral("count"), count},
                                       {QStringLiteral("timeoutMs"), timeoutMs}},
                                      timeoutMs + 10000);
    QList<Event> list;
    for (const QJsonValue &v : reply.value(QStringLiteral("events")).toArray())
        list.append(toEvent(v.toObject()));
    return list;
}

QStringList ApiClient::expectTexts(int count, int timeoutMs)
{
    QStringList texts;
    for (const Event &e : expect(count, timeoutMs)) {
        if (e.type == Event::Type::Closed)
            texts << QStringLiteral("<closed %1>").arg(e.closeCode);
        else if (e.type == Event::Type::Binary)
            texts << QStringLiteral("<binary %1>").arg(QString::fromLatin1(e.binary.toHex()));
        else
            texts << e.text;
    }
    return texts;
}

QString ApiClient::expectText(int timeoutMs)
{
    const QList<Event> list = expect(1, timeoutMs);
    if (list.size() != 1 || list.first().type != Event::Type::Text)
        return QString();
    return list.first().text;
}

ApiClient::Event ApiClient::drain(int timeoutMs, int *texts)
{
    const QJsonObject reply = command({{QStringLiteral("cmd"), QStringLiteral("drain")},
                                       {QStringLiteral("timeoutMs"), timeoutMs}},
                                      timeoutMs + 10000);
    *texts = reply.value(QStringLiteral("texts")).toInt();
    return toEvent(reply.value(QStringLiteral("closed")).toObject());
}

bool ApiClient::close(int code, const QString &reason)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("close")},
                       {QStringLiteral("code"), code},
                       {QStringLiteral("reason"), reason}}));
}

} // namespace TestSupport
