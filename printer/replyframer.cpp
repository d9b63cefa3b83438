#include "printer/replyframer.h"

#include "printer/printerprotocol.h"

#include <QDebug>

#include <algorithm>

namespace {

constexpr int COMMAND_OFFSET = 3;
constexpr int STATUS_OFFSET = 4;
// Head, the byte after it, the command: the earliest a tail may start.
constexpr int FIRST_TAIL_OFFSET = 4;
constexpr int MIN_CHECKED_LENGTH = 7;

} // namespace

void ReplyFramer::append(const QByteArray &bytes)
{
    compact();
    m_buffer.append(bytes);
}

void ReplyFramer::clear()
{
    m_buffer.clear();
    m_start = 0;
}

void ReplyFramer::compact()
{
    if (m_start > 0) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
}

bool ReplyFramer::syncToHead()
{
    const int head = m_buffer.indexOf(PrinterProtocol::HEAD, m_start);
    if (head >= 0) {
        m_start = head; // whatever came before is noise
        return true;
    }
    if (m_buffer.indexOf(PrinterProtocol::TAIL, m_start) >= 0)
        qWarning() << "only have tailCode,but no headCode";
    const bool halfHead = m_buffer.size() > m_start && quint8(m_buffer.at(m_buffer.size() - 1)) == PrinterProtocol::HEAD_0;
    m_buffer = halfHead ? QByteArray(1, char(PrinterProtocol::HEAD_0)) : QByteArray();
    m_start = 0;
    return false;
}

// The length of the frame at m_start ended by the first tail at or after
// from, searching no further than limit; -1 when there is none.
int ReplyFramer::tailEnd(int from, int limit) const
{
    const int end = std::min(m_buffer.size(), m_start + limit);
    int index = m_buffer.indexOf(PrinterProtocol::TAIL, m_start + from);
    if (index < 0 || index + 2 > end)
        return -1;
    return index + 2 - m_start;
}

bool ReplyFramer::hasTailAt(int index) const
{
    return index >= 0 && index + 2 <= m_buffer.size() && m_buffer.at(index) == PrinterProtocol::TAIL[0]
        && m_buffer.at(index + 1) == PrinterProtocol::TAIL[1];
}

bool ReplyFramer::checksumOk(int begin, int length) const
{
    if (length < MIN_CHECKED_LENGTH)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(m_buffer.constData()) + begin;
    quint32 sum = 0;
    for (int i = 0; i < length - 3; ++i)
        sum += p[i];
    return quint8(sum) == p[length - 3];
}

// The lengths a reply starting at begin can have, by its command and, once
// received, its status.
QVector<int> ReplyFramer::knownLengths(int begin) const
{
    const int status = begin + STATUS_OFFSET < m_buffer.size() ? quint8(m_buffer.at(begin + STATUS_OFFSET)) : -1;
    return PrinterProtocol::replyFrameLengths(quint8(m_buffer.at(begin + COMMAND_OFFSET)), status);
}

bool ReplyFramer::knownLength(int begin, int length) const
{
    return knownLengths(begin).contains(length);
}

// Stricter than the test for the frame at the front: a frame found inside
// another must both add up and, where the command has a fixed layout, fit it.
bool ReplyFramer::sound(int begin, int length) const
{
    if (length < MIN_CHECKED_LENGTH || !checksumOk(begin, length))
        return false;
    const QVector<int> lengths = knownLengths(begin);
    return lengths.isEmpty() || lengths.contains(length);
}

QByteArray ReplyFramer::take(int length)
{
    const QByteArray frame = m_buffer.mid(m_start, length);
    if (!checksumOk(m_start, length))
        qWarning() << "reply checksum does not add up:" << frame.toHex();
    m_start += length;
    if (m_start >= m_buffer.size())
        clear();
    return frame;
}

bool ReplyFramer::takeFrame(QByteArray *frame)
{
    for (;;) {
        if (!syncToHead())
            return false;
        const int available = m_buffer.size() - m_start;
        if (available <= COMMAND_OFFSET) {
            compact();
            return false;
        }
        const int firstEnd = tailEnd(FIRST_TAIL_OFFSET, MAX_PENDING);

        if (firstEnd > 0 && checksumOk(m_start, firstEnd)) {
            *frame = take(firstEnd);
            return true;
        }

        // A sound frame starting inside this one: this head lost its tail
        // or is not a generation-1 reply at all.
        if (firstEnd > 0) {
            int inner = m_buffer.indexOf(PrinterProtocol::HEAD, m_start + 1);
            while (inner >= 0 && inner - m_start + MIN_CHECKED_LENGTH <= firstEnd) {
                if (sound(inner, firstEnd - (inner - m_start)))
                    break;
                inner = m_buffer.indexOf(PrinterProtocol::HEAD, inner + 1);
            }
            if (inner >= 0 && inner - m_start + MIN_CHECKED_LENGTH <= firstEnd) {
                qWarning() << "dropped an incomplete reply:" << m_buffer.mid(m_start, inner - m_start).toHex();
                m_start = inner;
                continue;
            }
        }

        // The first tail may lie inside the payload: read on to the
        // command's longer known lengths. When the first tail already fits a
        // known length (a handshake whose serial holds "<#" where an old one
        // ends), it stands unless a longer frame already here adds up: a
        // reply that fits its layout is never held back.
        const bool fitsKnownLength = firstEnd > 0 && knownLength(m_start, firstEnd);
        bool waiting = false;
        for (int length : knownLengths(m_start)) {
            if (length <= firstEnd)
                continue;
            if (available < length) {
                waiting = !fitsKnownLength;
                break;
            }
            if (hasTailAt(m_start + length - 2) && (!fitsKnownLength || checksumOk(m_start, length))) {
                *frame = take(length);
                return true;
            }
        }
        if (waiting) {
            compact();
            return false;
        }
        if (firstEnd > 0) {
            *frame = take(firstEnd);
            return true;
        }
        if (available >= MAX_PENDING) {
            qWarning() << "no reply tail within" << MAX_PENDING << "bytes of a head; dropping it";
            m_start += 2;
            continue;
        }
        compact();
        return false;
    }
}
