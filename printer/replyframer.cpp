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
    if (!bytes.isEmpty())
        m_hold = Hold::None;
}

void ReplyFramer::clear()
{
    m_buffer.clear();
    m_start = 0;
    m_hold = Hold::None;
}

void ReplyFramer::streamWentQuiet()
{
    if (m_hold == Hold::UntilQuiet)
        m_hold = Hold::Released;
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

bool ReplyFramer::pairAt(int index, const char *pair) const
{
    return index >= 0 && index + 2 <= m_buffer.size() && m_buffer.at(index) == pair[0]
        && m_buffer.at(index + 1) == pair[1];
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
    if (m_start >= m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    }
    return frame;
}

bool ReplyFramer::waitForBytes(Hold hold)
{
    m_hold = hold;
    compact();
    return false;
}

// A sound frame starting inside the one ended by the first tail: the head
// at the front lost its tail or is not a generation-1 reply at all.
bool ReplyFramer::skipToInnerFrame(int firstEnd)
{
    for (int inner = m_buffer.indexOf(PrinterProtocol::HEAD, m_start + 1);
         inner >= 0 && inner - m_start + MIN_CHECKED_LENGTH <= firstEnd;
         inner = m_buffer.indexOf(PrinterProtocol::HEAD, inner + 1)) {
        if (sound(inner, firstEnd - (inner - m_start))) {
            qWarning() << "dropped an incomplete reply:" << m_buffer.mid(m_start, inner - m_start).toHex();
            m_start = inner;
            return true;
        }
    }
    return false;
}

bool ReplyFramer::takeFrame(QByteArray *frame)
{
    const bool quiet = m_hold == Hold::Released;
    for (;;) {
        if (!syncToHead())
            return waitForBytes(Hold::None);
        const int available = m_buffer.size() - m_start;
        if (available <= COMMAND_OFFSET)
            return waitForBytes(Hold::None);
        const int firstEnd = tailEnd(FIRST_TAIL_OFFSET, MAX_PENDING);
        if (firstEnd < 0) {
            if (available < MAX_PENDING)
                return waitForBytes(Hold::None);
            qWarning() << "no reply tail within" << MAX_PENDING << "bytes of a head; dropping it";
            m_start += 2;
            continue;
        }
        const bool firstSound = checksumOk(m_start, firstEnd);
        if (!firstSound && skipToInnerFrame(firstEnd))
            continue;

        const QVector<int> lengths = knownLengths(m_start);
        bool longerMayCome = false;
        for (int length : lengths) {
            if (length <= firstEnd)
                continue;
            if (available < length) {
                longerMayCome = true;
                break;
            }
            if (pairAt(m_start + length - 2, PrinterProtocol::TAIL) && checksumOk(m_start, length)) {
                *frame = take(length);
                return true;
            }
        }
        // A frame that fits a layout of its own and is followed by the next
        // reply's head is whole; a shorter one may be a payload's 3C 23.
        const bool fitsLayout = lengths.contains(firstEnd);
        if (longerMayCome && !quiet && !(fitsLayout && pairAt(m_start + firstEnd, PrinterProtocol::HEAD)))
            return waitForBytes(Hold::UntilQuiet);

        // A damaged frame that holds 3C 23 early still ends at its layout's
        // tail when there is one.
        if (!firstSound && !fitsLayout) {
            for (int length : lengths) {
                if (length > firstEnd && length <= available && pairAt(m_start + length - 2, PrinterProtocol::TAIL)) {
                    *frame = take(length);
                    return true;
                }
            }
        }
        *frame = take(firstEnd);
        return true;
    }
}
