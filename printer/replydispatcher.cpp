#include "printer/replydispatcher.h"

#include "printer/printerprotocol.h"
#include "util/clientcause.h"
#include "util/printerutil.h"

#include <QPointer>

namespace {

// Requests awaiting one reply command that are remembered at most: the
// terminal has no more than a few out at a time.
constexpr int MAX_AWAITED = 8;

} // namespace

ReplyDispatcher::ReplyDispatcher(QObject *parent) : QObject(parent)
{
    registerReplyMetaTypes();
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(QUIET_TIME_MS);
    connect(&m_quietTimer, &QTimer::timeout, this, [this]() {
        m_framer.streamWentQuiet();
        if (!m_dispatching)
            dispatchWholeFrames();
    });
}

ReplyDispatcher::Whose ReplyDispatcher::dispatch(const QByteArray &chunk)
{
    m_framer.append(chunk);
    // A receiver that re-entered the event loop brought us here again: the
    // bytes wait in the framer and the outer loop announces them once the
    // current frame has reached every receiver.
    return !m_dispatching && dispatchWholeFrames() ? Whose::Client : Whose::Program;
}

void ReplyDispatcher::requestSent(const QByteArray &request)
{
    if (request.size() < 4 || !request.startsWith(PrinterProtocol::HEAD))
        return;
    const auto await = [this, forClient = ClientCause::isOpen()](quint8 reply) {
        QList<bool> &awaited = m_awaited[reply];
        if (awaited.size() == MAX_AWAITED)
            awaited.removeFirst();
        awaited.append(forClient);
    };
    const quint8 command = quint8(request.at(3));
    await(command);
    if (command == PrinterProtocol::CMD_PRINT)
        await(PrinterProtocol::CMD_PRINT_NOTIFY); // the page printed answers it too
}

bool ReplyDispatcher::answersClient(quint8 command)
{
    QList<bool> &awaited = m_awaited[command];
    if (awaited.isEmpty())
        return false;
    // The printer answers in order, but one that dropped a reply leaves its
    // request here: with the program's own request among those awaiting, the
    // frame may be its answer.
    const bool forClient = !awaited.contains(false);
    awaited.removeFirst();
    return forClient;
}

bool ReplyDispatcher::dispatchWholeFrames()
{
    m_dispatching = true;
    const QPointer<ReplyDispatcher> alive(this);
    bool announced = false;
    bool allForClient = true;
    QByteArray frame;
    while (m_framer.takeFrame(&frame)) {
        const bool forClient = frame.size() >= 4 && answersClient(quint8(frame.at(3)));
        announced = true;
        allForClient = allForClient && forClient;
        const ClientCause cause(forClient);
        dispatchFrame(frame);
        if (!alive)
            return false; // a receiver deleted us
    }
    m_dispatching = false;
    if (m_framer.holdsFrame())
        m_quietTimer.start();
    else
        m_quietTimer.stop();
    return announced && allForClient;
}

void ReplyDispatcher::dispatchFrame(const QByteArray &frame)
{
    if (frame.size() < 4)
        return;
    using P = PrinterProtocol;
    switch (quint8(frame.at(3))) {
    case P::CMD_HANDSHAKE: {
        // The layout shows in the length; the printer type decides only for
        // a frame that fits neither, so an old printer is read right on its
        // very first connection.
        bool old;
        if (frame.size() == P::HANDSHAKE_OLD_REPLY_LENGTH)
            old = true;
        else if (frame.size() == P::HANDSHAKE_REPLY_LENGTH)
            old = false;
        else
            old = PrinterUtil::s_protocolType == 1 || PrinterUtil::s_protocolType == 2;
        emit onReceiveHandshake(old ? P::unpackHandshakeOld(frame) : P::unpackHandshake(frame));
        break;
    }
    case P::CMD_PRINT:
        emit onReceivePrint(P::unpackPrint(frame));
        break;
    case P::CMD_PRINT_TEST:
        emit onReceivePrintTest(P::unpackPrint(frame));
        break;
    case P::CMD_PRINT_NOTIFY:
        emit onReceivePrintNotify(P::unpackPrint(frame));
        break;
    case P::CMD_WRITE_IP:
        emit onReceiveWriteIP(P::unpackWriteIP(frame));
        break;
    case P::CMD_UPDATE_MAIN:
    case P::CMD_UPDATE_MOTION:
        emit onReceiveUpdateStatus(P::unpackUpdateProgramer(frame));
        break;
    case P::CMD_WRITE_DATA:
    case P::CMD_WRITE_PARAMETER:
    case P::CMD_PRINT_TEST_PAGE:
    case P::CMD_SELF_CHECK:
    case P::CMD_WASH_INKBOX:
        emit onReceiveAckStatus(P::unpackAckStatus(frame));
        break;
    case P::CMD_READ_DATA:
        emit onReceiveReadInkbox(P::unpackReadData(frame));
        break;
    case P::CMD_READ_PARAMETER:
        emit onReceivePrintPrameter(P::unpackReadPrintParameter(frame));
        break;
    case P::CMD_READ_IP:
        emit onReceiveReadIp(P::unpackReadIP(frame));
        break;
    case P::CMD_READ_HARD_VERSION:
        emit onReceiveHardVersion(P::unpackReadPrinterHardVersion(frame));
        break;
    default:
        break;
    }
}
