#include "printer/framereader.h"

#include <algorithm>

FrameReader::FrameReader(const QByteArray &frame, int begin, int end, ByteOrder order)
    : m_frame(frame), m_pos(std::max(begin, 0)), m_end(std::min(end, frame.size())), m_order(order)
{
}

quint64 FrameReader::number(int width)
{
    const int start = m_pos;
    m_pos += width;
    if (start < 0 || m_pos > m_end)
        return 0;
    const auto *p = reinterpret_cast<const uchar *>(m_frame.constData()) + start;
    quint64 value = 0;
    for (int i = 0; i < width; ++i) {
        const int index = m_order == BigEndian ? i : width - 1 - i;
        value = (value << 8) | p[index];
    }
    return value;
}

quint8 FrameReader::u8()
{
    return quint8(number(1));
}

quint16 FrameReader::u16()
{
    return quint16(number(2));
}

quint32 FrameReader::u32()
{
    return quint32(number(4));
}

QString FrameReader::text(int width)
{
    const int start = m_pos;
    m_pos += width;
    const int available = std::min(m_pos, m_end) - start;
    if (available <= 0)
        return QString();
    const char *p = m_frame.constData() + start;
    const int length = int(std::find(p, p + available, '\0') - p);
    return QString::fromUtf8(p, length);
}

void FrameReader::bytes(quint8 *out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = u8();
}
