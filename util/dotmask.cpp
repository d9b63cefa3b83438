#include "util/dotmask.h"

#include "util/pictureutils.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr int WORD_BITS = 64;
constexpr QRgb WHITE = 0x00FFFFFFu;

int wordsFor(int bits)
{
    return bits > 0 ? (bits + WORD_BITS - 1) / WORD_BITS : 0;
}

quint64 reversedBits(quint64 v)
{
    v = ((v >> 1) & 0x5555555555555555ULL) | ((v & 0x5555555555555555ULL) << 1);
    v = ((v >> 2) & 0x3333333333333333ULL) | ((v & 0x3333333333333333ULL) << 2);
    v = ((v >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((v & 0x0F0F0F0F0F0F0F0FULL) << 4);
    return qbswap(v);
}

// Transposes a 64 x 64 bit square in place: bit j of a[i] trades places with
// bit i of a[j]. Each step swaps the off-diagonal halves of ever smaller
// sub-squares.
void transpose64(quint64 *a)
{
    quint64 m = 0x00000000FFFFFFFFULL;
    for (int j = 32; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < WORD_BITS; k = ((k | j) + 1) & ~j) {
            const quint64 t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
    }
}

// Eight flags of 0 or 1, one per byte, as the bits of one byte (the first
// flag in bit 0): each flag's multiple lands in the top byte at its place.
inline quint64 packFlags(const uchar *flags)
{
    quint64 v;
    std::memcpy(&v, flags, sizeof v);
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        v = qbswap(v);
    return (v * 0x0102040810204080ULL) >> 56;
}

} // namespace

DotMask::DotMask(int width, int height)
    : m_width(std::max(0, width))
    , m_height(std::max(0, height))
    , m_stride(wordsFor(width))
    , m_words(std::size_t(m_stride) * std::size_t(m_height), 0)
{
}

DotMask DotMask::fromImage(const QImage &image, Rule rule)
{
    DotMask mask(image.width(), image.height());
    const int w = mask.m_width;
    const QImage::Format format = image.format();
    // 32-bit pixels are read in place; alpha does not count, so RGB32's
    // unused byte needs no masking.
    const bool direct = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
                        || format == QImage::Format_ARGB32_Premultiplied;
    std::vector<QRgb> converted(direct ? 0 : std::size_t(w));
    const int channelMax = rule.channelMax;
    const int sumMax = rule.sumMax;
    const bool whiteIsDot = channelMax >= 255 && sumMax >= 3 * 255;
    uchar flags[WORD_BITS];
    for (int y = 0; y < mask.m_height; ++y) {
        const QRgb *pixels;
        if (direct) {
            pixels = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        } else {
            PictureUtils::readPixelRow(image, y, converted.data());
            pixels = converted.data();
        }
        quint64 *out = mask.row(y);
        for (int x0 = 0; x0 < w; x0 += WORD_BITS) {
            const int n = std::min(WORD_BITS, w - x0);
            const QRgb *p = pixels + x0;
            // Most of a label is white paper: a white stretch is decided at once.
            QRgb all = 0xFFFFFFFFu;
            for (int i = 0; i < n; ++i)
                all &= p[i];
            if ((all & WHITE) == WHITE) {
                out[x0 / WORD_BITS] = whiteIsDot ? ~quint64(0) >> (WORD_BITS - n) : 0;
                continue;
            }
            // Flags first and packing after keep the pixel loop free of
            // dependencies between pixels.
            for (int i = 0; i < n; ++i) {
                const int r = int(p[i] >> 16) & 0xFF;
                const int g = int(p[i] >> 8) & 0xFF;
                const int b = int(p[i]) & 0xFF;
                flags[i] = uchar((r <= channelMax) & (g <= channelMax) & (b <= channelMax) & (r + g + b <= sumMax));
            }
            std::fill(flags + n, flags + WORD_BITS, uchar(0));
            quint64 word = 0;
            for (int byte = 0; byte < WORD_BITS / 8; ++byte)
                word |= packFlags(flags + 8 * byte) << (8 * byte);
            out[x0 / WORD_BITS] = word;
        }
    }
    return mask;
}

bool DotMask::dot(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return false;
    return (row(y)[x / WORD_BITS] >> (x % WORD_BITS)) & 1;
}

void DotMask::setDot(int x, int y)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    row(y)[x / WORD_BITS] |= quint64(1) << (x % WORD_BITS);
}

quint64 DotMask::bits(int y, qint64 x) const
{
    // A mask without columns has no word to shift in from the left.
    if (isEmpty() || y < 0 || y >= m_height || x >= m_width || x <= -WORD_BITS)
        return 0;
    const quint64 *words = row(y);
    if (x < 0)
        return words[0] << -x;
    const int index = int(x / WORD_BITS);
    const int shift = int(x % WORD_BITS);
    quint64 v = words[index] >> shift;
    if (shift != 0 && index + 1 < m_stride)
        v |= words[index + 1] << (WORD_BITS - shift);
    return v;
}

bool DotMask::rowHasDot(int y) const
{
    if (y < 0 || y >= m_height)
        return false;
    const quint64 *words = row(y);
    return std::any_of(words, words + m_stride, [](quint64 v) { return v != 0; });
}

DotMask DotMask::transposed() const
{
    DotMask out(m_height, m_width);
    quint64 square[WORD_BITS];
    for (int top = 0; top < m_height; top += WORD_BITS) {
        const int rows = std::min(WORD_BITS, m_height - top);
        for (int word = 0; word < m_stride; ++word) {
            for (int i = 0; i < rows; ++i)
                square[i] = row(top + i)[word];
            std::fill(square + rows, square + WORD_BITS, quint64(0));
            transpose64(square);
            const int left = word * WORD_BITS;
            const int columns = std::min(WORD_BITS, m_width - left);
            for (int j = 0; j < columns; ++j)
                out.row(left + j)[top / WORD_BITS] = square[j];
        }
    }
    return out;
}

DotMask DotMask::turned(int quarterTurns) const
{
    switch (((quarterTurns % 4) + 4) % 4) {
    case 1: // row r is column r read upwards
        return transposed().mirrored(true, false);
    case 2:
        return mirrored(true, true);
    case 3: // row r is column width - 1 - r read downwards
        return transposed().mirrored(false, true);
    default:
        return *this;
    }
}

DotMask DotMask::mirrored(bool horizontal, bool vertical) const
{
    DotMask out(m_width, m_height);
    // Reversing the words and each word's bits puts column x at bit
    // 64 * stride - 1 - x; the shift brings it to width - 1 - x.
    const int shift = m_stride * WORD_BITS - m_width;
    std::vector<quint64> reversed(std::size_t(m_stride) + 1, 0);
    for (int y = 0; y < m_height; ++y) {
        const quint64 *source = row(vertical ? m_height - 1 - y : y);
        quint64 *target = out.row(y);
        if (!horizontal) {
            std::copy(source, source + m_stride, target);
            continue;
        }
        for (int i = 0; i < m_stride; ++i)
            reversed[std::size_t(i)] = reversedBits(source[m_stride - 1 - i]);
        for (int i = 0; i < m_stride; ++i) {
            quint64 v = reversed[std::size_t(i)] >> shift;
            if (shift != 0)
                v |= reversed[std::size_t(i) + 1] << (WORD_BITS - shift);
            target[i] = v;
        }
    }
    return out;
}
