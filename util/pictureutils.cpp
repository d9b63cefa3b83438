#include "util/pictureutils.h"

#include <QDebug>
#include <QtAlgorithms>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Sum of the three channels at or below which a pixel is a dot.
constexpr int DOT_CHANNEL_SUM = 377;
constexpr int WORD_BITS = 64;

bool hasDotInColumn(const QVector<QVector<int> > &matrix, int startY, int endY, int x)
{
    for (int y = startY; y < endY; ++y) {
        const QVector<int> &row = matrix.at(y);
        if (x < row.size() && row.at(x) != 0)
            return true;
    }
    return false;
}

// A rectangle of a page held column by column: row first + c of columns is
// the block's column c, and bit top + r of that row the dot in the block's
// row r. x and y place the block's corner in the page.
struct ColumnBlock {
    const DotMask *columns;
    int first;
    int width;
    int top;
    int height;
    int x;
    int y;
};

// Rows [firstRow, firstRow + rowCount) of a dot matrix, column by column.
// Rows shorter than width lack dots past their end.
DotMask columnsOf(const QVector<QVector<int> > &matrix, int firstRow, int rowCount, int width)
{
    DotMask columns(rowCount, width);
    for (int r = 0; r < rowCount; ++r) {
        const QVector<int> &row = matrix.at(firstRow + r);
        const int stop = std::min(width, row.size());
        for (int x = 0; x < stop; ++x) {
            if (row.at(x) != 0)
                columns.setDot(r, x);
        }
    }
    return columns;
}

// Which rows of the block's columns hold a dot: bit p of the result for row
// p of columns (the block's row p - top). Only the bits of the block's rows
// count; the others are whatever the columns hold there.
std::vector<quint64> inkedRows(const ColumnBlock &block)
{
    std::vector<quint64> rows(std::size_t(block.top + block.height + WORD_BITS - 1) / WORD_BITS, 0);
    for (int c = 0; c < block.width; ++c) {
        for (std::size_t i = std::size_t(block.top / WORD_BITS); i < rows.size(); ++i)
            rows[i] |= block.columns->bits(block.first + c, qint64(i) * WORD_BITS);
    }
    return rows;
}

// The first set bit at or after from, or to when none is before it.
int nextSetBit(const std::vector<quint64> &bits, int from, int to)
{
    for (int i = from; i < to;) {
        const quint64 word = bits[std::size_t(i / WORD_BITS)] >> (i % WORD_BITS);
        if (word != 0)
            return std::min(to, i + int(qCountTrailingZeroBits(word)));
        i = (i / WORD_BITS + 1) * WORD_BITS;
    }
    return to;
}

// Trims the block's blank border as compressBlock does; false, and the
// block untouched, when it holds no dot. Its columns must hold no rows
// outside the block. inked, when given, receives the block's inkedRows(),
// which trimming leaves true.
bool trim(ColumnBlock &block, bool align, std::vector<quint64> *inked = nullptr)
{
    std::vector<quint64> rows = inkedRows(block);
    const int end = block.top + block.height;
    const int firstRow = nextSetBit(rows, block.top, end);
    if (firstRow == end)
        return false;
    int lastRow = end - 1;
    while ((rows[std::size_t(lastRow / WORD_BITS)] >> (lastRow % WORD_BITS) & 1) == 0)
        --lastRow;
    const int top = firstRow - block.top;
    const int bottom = end - 1 - lastRow;
    // Every dot lies in the rows between: a column is blank when it has none.
    const auto blank = [&](int c) { return !block.columns->rowHasDot(block.first + c); };
    int left = 0;
    while (blank(left))
        ++left;
    int right = 0;
    while (blank(block.width - 1 - right))
        ++right;

    int removeTop = top;
    int removeBottom = bottom;
    if (align) {
        const int vertical = top + bottom;
        const int horizontal = left + right;
        if (vertical < 8) {
            removeTop = 0;
            removeBottom = 0;
        } else if (horizontal > 8) {
            // Keep the removed rows a multiple of 8: the remainder stays on
            // the side that has enough blank rows for it.
            const int rest = vertical % 8;
            if (rest < bottom)
                removeBottom = bottom - rest;
            else
                removeTop = top - rest;
        }
    }
    block.first += left;
    block.width -= left + right;
    block.top += removeTop;
    block.height -= removeTop + removeBottom;
    block.x += left;
    block.y += removeTop;
    if (inked)
        *inked = std::move(rows);
    return true;
}

// The runs and dots of the block's rows [startY, endY) as one band.
void fillBand(PrintRowBlock *band, const ColumnBlock &block, int startY, int endY, int rowHeight, bool debug)
{
    const int bytesPerColumn = (rowHeight + 7) / 8;
    endY = std::min(endY, startY + rowHeight);
    const int rows = std::max(0, endY - startY);
    const int words = (rows + WORD_BITS - 1) / WORD_BITS;
    std::vector<quint64> column(std::size_t(words), 0);
    std::vector<char> bytes(std::size_t(bytesPerColumn), 0);
    const auto load = [&](int c) {
        quint64 any = 0;
        for (int i = 0; i < words; ++i) {
            quint64 v = block.columns->bits(block.first + c, block.top + startY + qint64(i) * WORD_BITS);
            const int left = rows - i * WORD_BITS;
            if (left < WORD_BITS)
                v &= (quint64(1) << left) - 1;
            column[std::size_t(i)] = v;
            any |= v;
        }
        return any != 0;
    };

    int c = 0;
    while (c < block.width) {
        while (c < block.width && !load(c))
            ++c;
        if (c >= block.width)
            break;
        const int first = c;
        do {
            // Bit j of byte k is the dot in band row 8k + j.
            for (int k = 0; k < bytesPerColumn; ++k) {
                const int word = k / 8;
                bytes[std::size_t(k)] = char(word < words ? column[std::size_t(word)] >> (8 * (k % 8)) : 0);
            }
            band->data.append(bytes.data(), bytesPerColumn);
            if (debug) {
                QString text;
                text.reserve(rows * 2);
                for (int r = 0; r < rows; ++r)
                    text += (column[std::size_t(r / WORD_BITS)] >> (r % WORD_BITS)) & 1 ? QStringLiteral(" 1")
                                                                                          : QStringLiteral("  ");
                band->debugLines.append(text);
            }
            ++c;
        } while (c < block.width && load(c));
        band->blocks.append(RowDataBlock{first + block.x, c + block.x});
        ++c; // known blank
    }
}

// Bands of rowHeight rows, top to bottom; each after the first starts on the
// next row with a dot. inked is the block's inkedRows().
QList<PrintRowBlock> split(const ColumnBlock &block, int rowHeight, bool debug, const std::vector<quint64> &inked)
{
    QList<PrintRowBlock> bands;
    if (block.height < 1 || rowHeight < 1)
        return bands;
    int y = 0;
    bool first = true;
    for (;;) {
        PrintRowBlock band;
        int start;
        if (first) {
            band.offsetY = block.y;
            start = y;
            first = false;
        } else {
            start = nextSetBit(inked, block.top + y, block.top + block.height) - block.top;
            band.offsetY = start - y;
        }
        y = start + rowHeight;
        fillBand(&band, block, start, std::min(y, block.height), rowHeight, debug);
        bands.append(band);
        if (y >= block.height)
            break;
    }
    return bands;
}

} // namespace

void PictureUtils::readPixelRow(const QImage &image, int y, QRgb *out)
{
    const int w = image.width();
    if (y < 0 || y >= image.height())
        return;
    const uchar *line = image.constScanLine(y);
    switch (image.format()) {
    case QImage::Format_RGB32: {
        const auto *s = reinterpret_cast<const QRgb *>(line);
        for (int x = 0; x < w; ++x)
            out[x] = 0xFF000000u | s[x];
        return;
    }
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        std::memcpy(out, line, size_t(w) * sizeof(QRgb));
        return;
    case QImage::Format_Indexed8:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: {
        const QVector<QRgb> table = image.colorTable();
        for (int x = 0; x < w; ++x) {
            int index;
            if (image.format() == QImage::Format_Indexed8)
                index = line[x];
            else if (image.format() == QImage::Format_Mono)
                index = (line[x >> 3] >> (~x & 7)) & 1;
            else
                index = (line[x >> 3] >> (x & 7)) & 1;
            out[x] = index < table.size() ? table.at(index) : 0;
        }
        return;
    }
    default:
        for (int x = 0; x < w; ++x)
            out[x] = image.pixel(x, y);
        return;
    }
}

DotMask::Rule PictureUtils::matrixRule(int threshold, bool useThreshold)
{
    DotMask::Rule rule;
    rule.sumMax = DOT_CHANNEL_SUM;
    // sum / 3 <= threshold, in integers, is sum <= 3 * threshold + 2.
    if (useThreshold)
        rule.sumMax = threshold < 0 ? -1 : std::min(DOT_CHANNEL_SUM, 3 * std::min(threshold, 255) + 2);
    return rule;
}

PrintBlock PictureUtils::toMatrix(const QImage *image, int threshold, bool useThreshold)
{
    PrintBlock block;
    if (!image || image->isNull())
        return block;
    const DotMask rows = DotMask::fromImage(*image, matrixRule(threshold, useThreshold));
    const DotMask columns = rows.transposed();
    ColumnBlock kept{&columns, 0, columns.height(), 0, columns.width(), 0, 0};
    if (!trim(kept, true))
        return block;
    block.x = kept.x;
    block.y = kept.y;
    block.width = kept.width;
    block.height = kept.height;
    block.matrix.resize(kept.height);
    for (int y = 0; y < kept.height; ++y) {
        QVector<int> row(kept.width);
        for (int x = 0; x < kept.width; ++x)
            row[x] = rows.dot(kept.first + x, kept.top + y) ? 1 : 0;
        block.matrix[y] = std::move(row);
    }
    return block;
}

void PictureUtils::compressBlock(PrintBlock *block, bool align)
{
    if (!block)
        return;
    const QVector<QVector<int> > &m = block->matrix;
    const int w = std::max(0, block->width);
    const int h = std::min(std::max(0, block->height), m.size());
    const DotMask columns = columnsOf(m, 0, h, w);
    ColumnBlock kept{&columns, 0, w, 0, h, block->x, block->y};
    if (!trim(kept, align)) {
        // No dot at all: nothing remains to print.
        block->width = 0;
        block->height = 0;
        block->matrix.clear();
        return;
    }
    const int left = kept.first;
    const int right = w - kept.first - kept.width;
    const int removeTop = kept.top;
    const int removeBottom = h - kept.top - kept.height;
    if (left != 0 || right != 0 || removeTop != 0 || removeBottom != 0 || h != block->matrix.size()) {
        QVector<QVector<int> > rows(kept.height);
        for (int y = 0; y < kept.height; ++y) {
            const QVector<int> &source = m.at(removeTop + y);
            QVector<int> row(kept.width);
            const int available = std::min(kept.width, std::max(0, source.size() - left));
            if (available > 0)
                std::copy(source.constBegin() + left, source.constBegin() + left + available, row.begin());
            rows[y] = std::move(row);
        }
        block->matrix = std::move(rows);
    }
    block->x = kept.x;
    block->y = kept.y;
    block->width = kept.width;
    block->height = kept.height;
}

QList<PrintRowBlock> PictureUtils::splitMatrixOfFullLine(const PrintBlock &block, bool debug, int rowHeight)
{
    const int height = std::min(block.height, block.matrix.size());
    if (height < 1 || rowHeight < 1)
        return QList<PrintRowBlock>();
    const int width = std::max(0, block.width);
    const DotMask columns = columnsOf(block.matrix, 0, height, width);
    const ColumnBlock whole{&columns, 0, width, 0, height, block.x, block.y};
    return split(whole, rowHeight, debug, inkedRows(whole));
}

QList<PrintRowBlock> PictureUtils::splitColumns(const DotMask &columns, int firstColumn, bool debug, int rowHeight)
{
    if (rowHeight < 1)
        return QList<PrintRowBlock>();
    firstColumn = std::max(0, firstColumn);
    ColumnBlock kept{&columns, firstColumn, std::max(0, columns.height() - firstColumn), 0, columns.width(), 0, 0};
    std::vector<quint64> inked;
    if (!trim(kept, true, &inked))
        return QList<PrintRowBlock>();
    return split(kept, rowHeight, debug, inked);
}

void PictureUtils::calcRowBlock(PrintRowBlock *band, const QVector<QVector<int> > &matrix, int rowHeight,
                                int startY, int endY, int offsetX, int width, bool debug)
{
    if (!band || width < 1 || rowHeight < 1)
        return;
    startY = std::max(0, startY);
    endY = std::min({endY, startY + rowHeight, matrix.size()});
    const int rows = std::max(0, endY - startY);
    const DotMask columns = columnsOf(matrix, startY, rows, width);
    fillBand(band, ColumnBlock{&columns, 0, width, 0, rows, offsetX, 0}, 0, rows, rowHeight, debug);
}

int PictureUtils::calcGapY(const QVector<QVector<int> > &matrix, int fromY, int toY, int x, int width)
{
    Q_UNUSED(x)
    if (fromY >= toY)
        return 0;
    toY = std::min(toY, matrix.size());
    int y = std::max(fromY, 0);
    while (y < toY && !havePrintDotOfY(matrix.at(y), 0, width))
        ++y;
    return y < toY ? y - fromY : toY - fromY;
}

int PictureUtils::calcGapX(const QVector<QVector<int> > &matrix, int startY, int endY, int fromX, int width)
{
    if (fromX >= width)
        return 0;
    startY = std::max(0, startY);
    endY = std::min(endY, matrix.size());
    for (int x = std::max(fromX, 0); x < width; ++x) {
        if (hasDotInColumn(matrix, startY, endY, x))
            return x - fromX;
    }
    return width - fromX;
}

bool PictureUtils::havePrintDotOfY(const QVector<int> &row, int first, int end)
{
    const int stop = std::min(end, row.size());
    const int *cells = row.constData();
    for (int x = std::max(first, 0); x < stop; ++x) {
        if (cells[x] != 0)
            return true;
    }
    return false;
}

int PictureUtils::calcBytes(const QList<PrintRowBlock> *bands)
{
    int total = 0;
    if (bands) {
        for (const PrintRowBlock &band : *bands)
            total += band.data.size();
    }
    return total;
}

QImage *PictureUtils::greyScale(const QImage *image, int threshold, bool useThreshold)
{
    if (!image)
        return nullptr;
    auto *grey = new QImage(image->size(), QImage::Format_ARGB32);
    const int w = image->width();
    QVector<QRgb> pixels(w);
    for (int y = 0; y < image->height(); ++y) {
        readPixelRow(*image, y, pixels.data());
        auto *out = reinterpret_cast<QRgb *>(grey->scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int mean = (qRed(pixels[x]) + qGreen(pixels[x]) + qBlue(pixels[x])) / 3;
            out[x] = !useThreshold || mean <= threshold ? qRgb(mean, mean, mean) : qRgb(255, 255, 255);
        }
    }
    return grey;
}

int PictureUtils::calcBytes(const QList<PrintBlock> *blocks)
{
    int total = 0;
    if (blocks) {
        for (const PrintBlock &block : *blocks)
            total += block.width * block.height / 8;
    }
    return total;
}

QList<PrintBlock> PictureUtils::splitMatrix(const PrintBlock &block, int tileWidth, int tileHeight)
{
    QList<PrintBlock> tiles;
    if (tileWidth < 1 || tileHeight < 1)
        return tiles;
    const int height = std::min(block.height, block.matrix.size());
    for (int left = 0; left < block.width; left += tileWidth) {
        const int w = std::min(tileWidth, block.width - left);
        for (int top = 0; top < height; top += tileHeight) {
            const int h = std::min(tileHeight, height - top);
            PrintBlock tile;
            tile.x = block.x + left;
            tile.y = block.y + top;
            tile.width = w;
            tile.height = h;
            tile.matrix.resize(h);
            bool any = false;
            for (int r = 0; r < h; ++r) {
                const QVector<int> &source = block.matrix.at(top + r);
                QVector<int> row(w);
                for (int c = 0; c < w && left + c < source.size(); ++c) {
                    row[c] = source.at(left + c);
                    any = any || row[c] != 0;
                }
                tile.matrix[r] = std::move(row);
            }
            if (!any)
                continue;
            compressBlock(&tile, true);
            tiles.append(tile);
        }
    }
    return tiles;
}

QList<DataInfo> PictureUtils::calcGapYMatrix(const QVector<QVector<int> > &matrix, int startY, int endY, int width)
{
    struct Run {
        int start;
        int end;
        bool inked;
    };
    QList<Run> runs;
    startY = std::max(0, startY);
    endY = std::min(endY, matrix.size());
    for (int x = 0; x < width; ++x) {
        const bool inked = hasDotInColumn(matrix, startY, endY, x);
        if (!runs.isEmpty() && runs.last().inked == inked)
            runs.last().end = x + 1;
        else
            runs.append(Run{x, x + 1, inked});
    }
    int inkedRuns = 0;
    int inkedColumns = 0;
    for (const Run &run : runs) {
        if (run.inked) {
            ++inkedRuns;
            inkedColumns += run.end - run.start;
        }
    }
    QList<DataInfo> segments;
    if (inkedRuns == 0)
        return segments;
    const double meanRun = double(inkedColumns) / inkedRuns;
    int gapStart = -1;
    for (const Run &run : runs) {
        if (!run.inked) {
            gapStart = segments.isEmpty() ? -1 : run.start;
            continue;
        }
        const bool join = !segments.isEmpty() && gapStart >= 0 && run.start - gapStart <= meanRun;
        if (join)
            segments.last().end = run.end;
        else
            segments.append(DataInfo{run.start, run.end});
    }
    return segments;
}
