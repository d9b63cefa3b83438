#include "util/pictureutils.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace {

// Sum of the three channels at or below which a pixel is a dot.
constexpr int DOT_CHANNEL_SUM = 377;

bool hasDotInColumn(const QVector<QVector<int> > &matrix, int startY, int endY, int x)
{
    for (int y = startY; y < endY; ++y) {
        const QVector<int> &row = matrix.at(y);
        if (x < row.size() && row.at(x) != 0)
            return true;
    }
    return false;
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

PrintBlock PictureUtils::toMatrix(const QImage *image, int threshold, bool useThreshold)
{
    PrintBlock block;
    if (!image || image->isNull())
        return block;
    const int w = image->width();
    const int h = image->height();
    block.width = w;
    block.height = h;
    block.matrix.resize(h);
    QVector<QRgb> pixels(w);
    for (int y = 0; y < h; ++y) {
        readPixelRow(*image, y, pixels.data());
        QVector<int> row(w);
        int *cells = row.data();
        const QRgb *p = pixels.constData();
        for (int x = 0; x < w; ++x) {
            const int sum = qRed(p[x]) + qGreen(p[x]) + qBlue(p[x]);
            cells[x] = sum <= DOT_CHANNEL_SUM && (!useThreshold || sum / 3 <= threshold) ? 1 : 0;
        }
        block.matrix[y] = std::move(row);
    }
    compressBlock(&block, true);
    return block;
}

void PictureUtils::compressBlock(PrintBlock *block, bool align)
{
    if (!block)
        return;
    const QVector<QVector<int> > &m = block->matrix;
    const int w = std::max(0, block->width);
    const int h = std::min(std::max(0, block->height), m.size());

    int top = 0;
    while (top < h && !havePrintDotOfY(m.at(top), 0, w))
        ++top;
    if (top == h) {
        // No dot at all: nothing remains to print.
        block->width = 0;
        block->height = 0;
        block->matrix.clear();
        return;
    }
    int bottom = 0;
    while (!havePrintDotOfY(m.at(h - 1 - bottom), 0, w))
        ++bottom;
    // Blank columns at either side, found row by row (the rows are what lies
    // together in memory).
    int firstInked = w;
    int lastInked = -1;
    for (int y = top; y < h - bottom; ++y) {
        const QVector<int> &row = m.at(y);
        const int *cells = row.constData();
        const int stop = std::min(w, row.size());
        for (int x = 0; x < std::min(firstInked, stop); ++x) {
            if (cells[x] != 0) {
                firstInked = x;
                break;
            }
        }
        for (int x = stop - 1; x > lastInked; --x) {
            if (cells[x] != 0) {
                lastInked = x;
                break;
            }
        }
    }
    const int left = firstInked;
    const int right = w - 1 - lastInked;

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

    const int keptWidth = w - left - right;
    const int keptHeight = h - removeTop - removeBottom;
    if (left != 0 || right != 0 || removeTop != 0 || removeBottom != 0 || h != block->matrix.size()) {
        QVector<QVector<int> > kept(keptHeight);
        for (int y = 0; y < keptHeight; ++y) {
            const QVector<int> &source = m.at(removeTop + y);
            QVector<int> row(keptWidth);
            const int available = std::min(keptWidth, std::max(0, source.size() - left));
            if (available > 0)
                std::copy(source.constBegin() + left, source.constBegin() + left + available, row.begin());
            kept[y] = std::move(row);
        }
        block->matrix = std::move(kept);
    }
    block->x += left;
    block->y += removeTop;
    block->width = keptWidth;
    block->height = keptHeight;
}

QList<PrintRowBlock> PictureUtils::splitMatrixOfFullLine(const PrintBlock &block, bool debug, int rowHeight)
{
    QList<PrintRowBlock> bands;
    const int height = std::min(block.height, block.matrix.size());
    if (height < 1 || rowHeight < 1)
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
            const int gap = calcGapY(block.matrix, y, height, block.x, block.width);
            band.offsetY = gap;
            start = y + gap;
        }
        y = start + rowHeight;
        calcRowBlock(&band, block.matrix, rowHeight, start, std::min(y, height), block.x, block.width, debug);
        bands.append(band);
        if (y >= height)
            break;
    }
    return bands;
}

void PictureUtils::calcRowBlock(PrintRowBlock *band, const QVector<QVector<int> > &matrix, int rowHeight,
                                int startY, int endY, int offsetX, int width, bool debug)
{
    if (!band || width < 1 || rowHeight < 1)
        return;
    const int bytesPerColumn = (rowHeight + 7) / 8;
    startY = std::max(0, startY);
    endY = std::min({endY, startY + rowHeight, matrix.size()});
    const int rows = std::max(0, endY - startY);

    // Rows as plain pointers (and their lengths) so the column walk below
    // stays a tight loop.
    QVector<const int *> rowData(rows);
    QVector<int> rowLength(rows);
    for (int r = 0; r < rows; ++r) {
        const QVector<int> &row = matrix.at(startY + r);
        rowData[r] = row.constData();
        rowLength[r] = row.size();
    }
    const auto columnBits = [&](int x, uchar *bits) {
        bool any = false;
        for (int r = 0; r < rows; ++r) {
            if (x < rowLength[r] && rowData[r][x] != 0) {
                bits[r >> 3] |= uchar(1u << (r & 7));
                any = true;
            }
        }
        return any;
    };

    QVector<uchar> column(bytesPerColumn);
    uchar *bits = column.data();
    int x = 0;
    while (x < width) {
        // columnBits leaves the bytes untouched for a blank column.
        while (x < width && !columnBits(x, bits))
            ++x;
        if (x >= width)
            break;
        const int first = x;
        do {
            band->data.append(reinterpret_cast<const char *>(bits), bytesPerColumn);
            if (debug) {
                QString text;
                text.reserve(rows * 2);
                for (int r = 0; r < rows; ++r)
                    text += (bits[r >> 3] >> (r & 7)) & 1 ? QStringLiteral(" 1") : QStringLiteral("  ");
                band->debugLines.append(text);
            }
            std::fill(bits, bits + bytesPerColumn, uchar(0));
            ++x;
        } while (x < width && columnBits(x, bits));
        band->blocks.append(RowDataBlock{first + offsetX, x + offsetX});
        ++x; // known blank
    }
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
