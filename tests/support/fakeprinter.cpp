#include "support/fakeprinter.h"

#include "support/testsupport.h"
#include "util/jsonutil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

namespace TestSupport {

namespace {

QJsonObject parseLine(const QByteArray &line)
{
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    return doc.isObject() ? doc.object() : QJsonObject();
}

} // namespace

QString FakePrinter::scriptPath()
{
    return QStringLiteral(KELO_TESTS_DIR "/fakeprinter/fakeprinter.py");
}

FakePrinter::FakePrinter(Transport transport, const QStringList &arguments, int lifetimeSeconds)
    : m_transport(transport)
{
    QStringList args{scriptPath(), transport == Transport::Tcp ? QStringLiteral("--tcp") : QStringLiteral("--pty"),
                     QStringLiteral("--lifetime"), QString::number(lifetimeSeconds)};
    args += arguments;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(systemPython(), args);
    if (!m_process.waitForStarted(WAIT_MS))
        return;
    QDeadlineTimer deadline(WAIT_MS);
    while (!m_process.canReadLine() && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
    }
    if (!m_process.canReadLine())
        return;
    m_announcement = parseLine(m_process.readLine());
    m_port = quint16(m_announcement.value(QStringLiteral("port")).toInt());
    m_ptyPath = m_announcement.value(QStringLiteral("path")).toString();
}

FakePrinter::~FakePrinter()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // end of input ends the printer
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool FakePrinter::linkTerminal() const
{
    return JsonUtil::setCustomConfig(QStringLiteral("com.mode"), QStringLiteral("tcpSocket"))
           && JsonUtil::setCustomConfig(QStringLiteral("socket.ip"), QStringLiteral("127.0.0.1"))
           && JsonUtil::setCustomConfig(QStringLiteral("socket.port"), QString::number(m_port))
           && serveApiOnFreePort();
}

bool FakePrinter::serveApiOnFreePort()
{
    const quint16 port = reservedLoopbackPort();
    return port != 0 && JsonUtil::setCustomConfig(QStringLiteral("api.address"), QStringLiteral("127.0.0.1"))
           && JsonUtil::setCustomConfig(QStringLiteral("api.port"), QString::number(port));
}

QString FakePrinter::block(int number)
{
    return status()["settings"].toObject()["blocks"].toObject()[QString::number(number)].toString();
}

bool FakePrinter::isRunning() const
{
    return m_process.state() == QProcess::Running
           && m_announcement.value(QStringLiteral("event")).toString() == QLatin1String("ready");
}

QJsonObject FakePrinter::command(const QJsonObject &cmd, int timeoutMs)
{
    if (m_process.state() != QProcess::Running)
        return QJsonObject();
    m_process.write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n');
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return QJsonObject();
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return parseLine(m_process.readLine());
}

bool FakePrinter::set(const QJsonObject &settings)
{
    QJsonObject cmd = settings;
    cmd.insert(QStringLiteral("cmd"), QStringLiteral("set"));
    return ok(command(cmd));
}

bool FakePrinter::fault(const QJsonObject &rule)
{
    QJsonObject cmd = rule;
    cmd.insert(QStringLiteral("cmd"), QStringLiteral("fault"));
    return ok(command(cmd));
}

bool FakePrinter::send(const QByteArray &bytes)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("send")},
                       {QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())}}));
}

bool FakePrinter::reply(int commandCode, int status)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("reply")},
                       {QStringLiteral("command"), commandCode},
                       {QStringLiteral("status"), status}}));
}

bool FakePrinter::swapInkBox(const QString &serial, quint32 dots, bool intact)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("swapInkBox")},
                       {QStringLiteral("serial"), serial},
                       {QStringLiteral("dots"), qint64(dots)},
                       {QStringLiteral("intact"), intact}}));
}

bool FakePrinter::disconnectClient(const QString &mode)
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("disconnect")}, {QStringLiteral("mode"), mode}}));
}

bool FakePrinter::hangup()
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("hangup")}}));
}

bool FakePrinter::clear()
{
    return ok(command({{QStringLiteral("cmd"), QStringLiteral("clear")}}));
}

QJsonObject FakePrinter::status()
{
    return command({{QStringLiteral("cmd"), QStringLiteral("status")}});
}

bool FakePrinter::isConnected()
{
    return status().value(QStringLiteral("connected")).toBool();
}

int FakePrinter::connections()
{
    return status().value(QStringLiteral("connections")).toInt(-1);
}

static FakePrinter::Request toRequest(const QJsonObject &o)
{
    FakePrinter::Request r;
    r.command = o.value(QStringLiteral("command")).toInt(-1);
    r.length = o.value(QStringLiteral("length")).toInt();
    r.checksumOk = o.value(QStringLiteral("checksumOk")).toBool();
    r.tailOk = o.value(QStringLiteral("tailOk")).toBool();
    r.sha256 = o.value(QStringLiteral("sha256")).toString().toLatin1();
    r.bytes = QByteArray::fromHex(o.value(QStringLiteral("hex")).toString().toLatin1());
    return r;
}

QList<FakePrinter::Request> FakePrinter::requests(bool withBytes)
{
    const QJsonObject reply = command({{QStringLiteral("cmd"), QStringLiteral("requests")},
                                       {QStringLiteral("hex"), withBytes}});
    QList<Request> list;
    const QJsonArray array = reply.value(QStringLiteral("requests")).toArray();
    for (const QJsonValue &v : array)
        list.append(toRequest(v.toObject()));
    return list;
}

FakePrinter::Request FakePrinter::request(int index)
{
    const QJsonObject reply = command({{QStringLiteral("cmd"), QStringLiteral("request")},
                                       {QStringLiteral("index"), index}});
    return toRequest(reply.value(QStringLiteral("request")).toObject());
}

int FakePrinter::requestCount()
{
    return status().value(QStringLiteral("requests")).toInt(-1);
}

bool FakePrinter::waitForRequests(int count, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (requestCount() < count) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

bool FakePrinter::waitForConnected(bool connected, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (isConnected() != connected) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

QByteArray FakePrinter::frame(quint8 commandCode, const QByteArray &payload)
{
    QByteArray f = QByteArray::fromHex("a92010");
    f.append(char(commandCode));
    f.append(payload);
    unsigned sum = 0;
    for (char c : qAsConst(f))
        sum += quint8(c);
    f.append(char(sum & 0xFF));
    f.append("\x3c\x23", 2);
    return f;
}

QByteArray FakePrinter::textField(const QByteArray &text, int width)
{
    QByteArray field = text.left(width);
    field.append(QByteArray(width - field.size(), '\0'));
    return field;
}

} // namespace TestSupport
