#pragma once

// A page reduced to printer dots, one bit per pixel. The print encoders
// decide per pixel whether it is a dot, and turning a page is a permutation
// of its pixels, so a page is reduced once and then turned, cut and read as
// bits: an eighth of a byte per dot instead of four.
//
// Row y is packed in 64-bit words, column x at bit x % 64 of word x / 64;
// bits past the width are always 0.

#include <QImage>
#include <QtGlobal>

#include <cstddef>
#include <vector>

class DotMask
{
public:
    // A pixel is a dot when each of its channels is at most channelMax and
    // the three together at most sumMax; alpha plays no part. Pixels are read
    // as QImage::pixel gives them (premultiplied formats as stored).
    struct Rule {
        int channelMax = 255;
        int sumMax = 3 * 255;
    };

    DotMask() = default;
    // Without any dot.
    DotMask(int width, int height);
    static DotMask fromImage(const QImage &image, Rule rule);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_width <= 0 || m_height <= 0; }

    bool dot(int x, int y) const;
    void setDot(int x, int y);
    // 64 dots of row y from column x on, column x at bit 0. Columns outside
    // the row read as no dot.
    quint64 bits(int y, qint64 x) const;
    // Whether row y has a dot in any column.
    bool rowHasDot(int y) const;

    // Row r of the result is column r of this mask.
    DotMask transposed() const;
    // Turned clockwise by a quarter turns (any whole number; -1 is 270°),
    // as QImage::transformed turns by the angle.
    DotMask turned(int quarterTurns) const;
    DotMask mirrored(bool horizontal, bool vertical) const;

private:
    const quint64 *row(int y) const { return m_words.data() + std::size_t(y) * m_stride; }
    quint64 *row(int y) { return m_words.data() + std::size_t(y) * m_stride; }

    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    std::vector<quint64> m_words;
};
