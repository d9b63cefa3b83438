#pragma once

// Turns the printer's byte stream into reply signals: the bytes go through a
// ReplyFramer, every whole frame is decoded with the PrinterProtocol
// unpackers and announced by the signal of its command. Receivers run
// synchronously, before the next frame is looked at.
//
// The link object owns one dispatcher, feeds it every chunk it reads
// (dispatch) and re-emits its signals as its own: relaySignalsTo
// connects each reply signal to the owner's signal of the same name, and a
// name or signature the owner lacks fails the build.
//
// A receiver may re-enter the event loop (and so feed more bytes) while a
// frame is being dispatched: those bytes wait in the framer and their frames
// are announced after the current frame has reached every receiver, so each
// frame is announced once and every receiver sees them in stream order.
//
// A frame the framer holds back because a longer layout of its command may
// still be arriving is announced once the stream has been quiet for
// QUIET_TIME_MS; each new chunk starts the quiet time again.
//
// Whose doing a reply is (ClientCause) goes by the request it answers: the
// link tells the dispatcher of each request it sends, and a frame is
// announced inside an open ClientCause only when every request awaiting its
// command went for an API client. A reply to the program's own request, a
// frame nobody asked for, or one whose request is in doubt is the program's
// own, and so always logged.

#include "model/replymodels.h"
#include "printer/replyframer.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>

class ReplyDispatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int QUIET_TIME_MS = 100;

    explicit ReplyDispatcher(QObject *parent = nullptr);

    // Whose doing the replies of a chunk are.
    enum class Whose { Program, Client };
    // Appends a chunk and announces every frame it completes. The client's
    // when it announced one and each answered a request sent for an API
    // client; the program's otherwise.
    Whose dispatch(const QByteArray &chunk);
    // Announces one whole frame.
    void dispatchFrame(const QByteArray &frame);
    // Connects every reply signal of this class to owner's signal of the same
    // name and arguments; returns how many were connected.
    template <typename Owner>
    int relaySignalsTo(Owner *owner)
    {
        return relay(owner, &ReplyDispatcher::onReceiveHandshake, &Owner::onReceiveHandshake)
            + relay(owner, &ReplyDispatcher::onReceivePrint, &Owner::onReceivePrint)
            + relay(owner, &ReplyDispatcher::onReceivePrintTest, &Owner::onReceivePrintTest)
            + relay(owner, &ReplyDispatcher::onReceivePrintNotify, &Owner::onReceivePrintNotify)
            + relay(owner, &ReplyDispatcher::onReceiveWriteIP, &Owner::onReceiveWriteIP)
            + relay(owner, &ReplyDispatcher::onReceiveUpdateStatus, &Owner::onReceiveUpdateStatus)
            + relay(owner, &ReplyDispatcher::onReceiveAckStatus, &Owner::onReceiveAckStatus)
            + relay(owner, &ReplyDispatcher::onReceiveReadInkbox, &Owner::onReceiveReadInkbox)
            + relay(owner, &ReplyDispatcher::onReceivePrintPrameter, &Owner::onReceivePrintPrameter)
            + relay(owner, &ReplyDispatcher::onReceiveReadIp, &Owner::onReceiveReadIp)
            + relay(owner, &ReplyDispatcher::onReceiveHardVersion, &Owner::onReceiveHardVersion);
    }
    // A request went out, inside an open ClientCause or not: its reply, and
    // for a page the printer's notice of it, are awaited.
    void requestSent(const QByteArray &request);
    // A new link: what the old one awaited will not come.
    void forgetRequests() { m_awaited.clear(); }
    // Bytes waiting for the rest of a frame.
    int pendingBytes() const { return m_framer.pendingBytes(); }
    // True while a frame waits for the quiet time.
    bool holdsFrame() const { return m_framer.holdsFrame(); }

signals:
    void onReceiveHandshake(HandshakeReceiveModel model);
    void onReceivePrint(PrintReceiveModel model);
    void onReceivePrintTest(PrintReceiveModel model);
    void onReceivePrintNotify(PrintReceiveModel model);
    void onReceiveWriteIP(WriteIPReceiveModel model);
    void onReceiveUpdateStatus(UpdateStatusModel model);
    void onReceiveAckStatus(unsigned char ackStatus);
    void onReceiveReadInkbox(stInkbox blockdataInfo);
    void onReceivePrintPrameter(PrintParameterSettings model);
    void onReceiveReadIp(ReadIPReceiveModel ipInfo);
    void onReceiveHardVersion(PrintHardWareVersion model);

private:
    // Both signals take the same arguments, or the template does not match.
    template <typename Owner, typename... Args>
    int relay(Owner *owner, void (ReplyDispatcher::*mine)(Args...), void (Owner::*theirs)(Args...))
    {
        return connect(this, mine, owner, theirs) ? 1 : 0;
    }

    // True when every frame announced went for an API client (none was).
    bool dispatchWholeFrames();
    // Whether a frame of this command answers a request sent for an API
    // client; its oldest awaiting request is answered.
    bool answersClient(quint8 command);

    ReplyFramer m_framer;
    QTimer m_quietTimer;
    bool m_dispatching = false;
    // Per reply command, whether each request awaiting it went for an API
    // client, oldest first. A printer that drops replies leaves some behind;
    // a few at most are kept.
    QHash<quint8, QList<bool>> m_awaited;
};
