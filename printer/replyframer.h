#pragma once

// Cuts generation-1 reply frames out of a byte stream that arrives in
// arbitrary chunks. Pure: bytes in, whole frames out, no device, no signals,
// no clock.
//
// A frame runs from a head (A9 20) to a tail (3C 23). Because a payload may
// itself hold 3C 23 (an ink amount, block data, a text), the first tail does
// not always end the frame. A reply must decode the same however its bytes
// are chunked, so the framer decides only on what a later byte cannot
// overturn:
// - A frame that lost its own tail, or a stray generation-2 reply, gives way
//   to a sound frame that starts inside it (decided by the bytes up to the
//   first tail alone).
// - A known reply length of the command (its status considered) that is
//   whole, ends in a tail and adds up wins over a shorter prefix ending in a
//   tail, even one that adds up too.
// - While a longer known length may still be arriving, the prefix is held.
//   It is let go when the longer length has arrived without being sound,
//   when a prefix that fits a known length is followed by a new head, or
//   when the owner reports that the stream went quiet (streamWentQuiet).
// Bytes without a head are dropped (a trailing A9 is kept, it may be half a
// head), and a head that finds no tail within MAX_PENDING bytes is dropped
// with a warning, so the buffer stays bounded.

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
    // True when takeFrame holds back a frame that ends in a tail only
    // because a longer layout of its command may still be arriving; the
    // owner should call streamWentQuiet once no byte has come for a while.
    bool holdsFrame() const { return m_hold == Hold::UntilQuiet; }
    // No more bytes are coming for now: the next takeFrame calls take what
    // is held as it is. Cancelled by the next bytes appended.
    void streamWentQuiet();
    // Bytes held back waiting for the rest of a frame.
    int pendingBytes() const { return m_buffer.size() - m_start; }
    void clear();

private:
    enum class Hold { None, UntilQuiet, Released };

    bool syncToHead();
    bool waitForBytes(Hold hold);
    bool skipToInnerFrame(int firstEnd);
    int tailEnd(int from, int limit) const;
    bool pairAt(int index, const char *pair) const;
    bool checksumOk(int begin, int length) const;
    QVector<int> knownLengths(int begin) const;
    bool sound(int begin, int length) const;
    QByteArray take(int length);
    void compact();

    QByteArray m_buffer;
    int m_start = 0; // bytes before this are consumed
    Hold m_hold = Hold::None;
};
