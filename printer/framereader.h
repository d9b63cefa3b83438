#pragma once

// The one way the unpackers read a reply: a cursor over a byte range that
// never reads past the range's end. A number that does not fit in what is
// left reads as 0, a text field beyond the end as empty text; either way the
// cursor moves on by the field's width, so later fields stay beyond the end.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class FrameReader
{
public:
    enum ByteOrder { BigEndian, LittleEndian };

    // Reads bytes [begin, end) of frame; end is clamped to the frame's size.
    FrameReader(const QByteArray &frame, int begin, int end, ByteOrder order);

    void skip(int count) { m_pos += count; }
    int position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_end; }

    quint8 u8();
    quint16 u16();
    qint16 i16() { return qint16(u16()); }
    quint32 u32();
    qint32 i32() { return qint32(u32()); }
    // A fixed-width text field: UTF-8 up to the first NUL in the field, or
    // the whole field; what lies beyond the end is not part of it.
    QString text(int width);
    // Copies count bytes into out; missing ones are 0.
    void bytes(quint8 *out, int count);

private:
    quint64 number(int width);

    const QByteArray &m_frame;
    int m_pos;
    int m_end;
    ByteOrder m_order;
};
