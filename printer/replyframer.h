#pragma once

// Cuts generation-1 reply frames out of a byte stream that arrives in
// arbitrary chunks. Pure: bytes in, whole frames out, no device, no signals.
//
// A frame runs from a head (A9 20) to a tail (3C 23). Because a payload may
// itself hold 3C 23 (an ink amount, block data, a text), the first tail ends
// the frame at once only when the checksum says the frame is whole. A frame
// that lost its own tail, or a stray generation-2 reply, gives way to a
// sound frame that starts inside it. A first tail at a known reply length
// of the command (its status considered) ends the frame unless a longer
// known length, already received, ends in a tail and adds up. Otherwise the
// framer reads on to the command's known lengths and falls back to the first
// tail only when no tail sits there. Bytes without a head are dropped
// (a trailing A9 is kept, it may be half a head), and a head that finds no
// tail within MAX_PENDING bytes is dropped with a warning, so the buffer
// stays bounded.

#include <QByteArray>
#include <QVector>

class ReplyFramer
{
public:
    static constexpr int MAX_PENDING = 4096;

    void append(const QByteArray &bytes);
    // Takes the next whole frame out of the stream; false when none is
    // complete yet.
    bool takeFrame(QByteArray *frame);
    // Bytes held back waiting for the rest of a frame.
    int pendingBytes() const { return m_buffer.size() - m_start; }
    void clear();

private:
    bool syncToHead();
    int tailEnd(int from, int limit) const;
    bool hasTailAt(int index) const;
    bool checksumOk(int begin, int length) const;
    QVector<int> knownLengths(int begin) const;
    bool knownLength(int begin, int length) const;
    bool sound(int begin, int length) const;
    QByteArray take(int length);
    void compact();

    QByteArray m_buffer;
    int m_start = 0; // bytes before this are consumed
};
