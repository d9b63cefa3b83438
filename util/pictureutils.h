#pragma once

// The page as the second protocol generation prints it: a dot matrix trimmed
// of its blank border, cut into bands of dot rows, each band described by the
// runs of inked columns and the packed dots of those columns. Pure functions.

#include "model/printblock.h"
#include "util/dotmask.h"

#include <QImage>
#include <QList>
#include <QVector>

class PictureUtils
{
public:
    PictureUtils() = delete;

    // The page's dot matrix: a dot where r + g + b <= 377 and, when
    // useThreshold is set, also (r + g + b) / 3 <= threshold; then trimmed
    // with compressBlock(block, true). A null page gives an empty block.
    static PrintBlock toMatrix(const QImage *image, int threshold, bool useThreshold);
    // toMatrix's dots as a rule for DotMask.
    static DotMask::Rule matrixRule(int threshold, bool useThreshold);
    // toMatrix and splitMatrixOfFullLine in one, on packed dots, for a page
    // held column by column (row c of columns is the page's column c, bit r
    // of it the dot in page row r). Columns before firstColumn are cut off;
    // the runs count columns from it.
    static QList<PrintRowBlock> splitColumns(const DotMask &columns, int firstColumn, bool debug, int rowHeight);
    // Trims the blank border in place. With align, the rows removed are a
    // multiple of 8 unless fewer than 8 blank rows exist or at most 8 blank
    // columns do. A block without dots becomes empty (no rows, no columns).
    static void compressBlock(PrintBlock *block, bool align);
    // Bands of rowHeight rows, top to bottom; none for a block without rows
    // or a row height below 1.
    static QList<PrintRowBlock> splitMatrixOfFullLine(const PrintBlock &block, bool debug, int rowHeight);
    // Fills one band with the runs and dots of rows [startY, endY).
    static void calcRowBlock(PrintRowBlock *band, const QVector<QVector<int> > &matrix, int rowHeight,
                             int startY, int endY, int offsetX, int width, bool debug);
    static int calcGapY(const QVector<QVector<int> > &matrix, int fromY, int toY, int x, int width);
    static int calcGapX(const QVector<QVector<int> > &matrix, int startY, int endY, int fromX, int width);
    static bool havePrintDotOfY(const QVector<int> &row, int first, int end);
    static int calcBytes(const QList<PrintRowBlock> *bands);

    // Offered for other print roads.
    // A new opaque grey copy (the caller deletes it); with useThreshold only
    // pixels whose mean is at most threshold stay grey, the rest turn white.
    static QImage *greyScale(const QImage *image, int threshold, bool useThreshold);
    static int calcBytes(const QList<PrintBlock> *blocks);
    static QList<PrintBlock> splitMatrix(const PrintBlock &block, int tileWidth, int tileHeight);
    // Column segments of rows [startY, endY): inked columns grouped, split at
    // blank gaps wider than the mean inked run.
    static QList<DataInfo> calcGapYMatrix(const QVector<QVector<int> > &matrix, int startY, int endY, int width);

    // Row y of the image as QImage::pixel would give each of its pixels
    // (premultiplied formats as stored), written to out[0 .. width - 1].
    static void readPixelRow(const QImage &image, int y, QRgb *out);
};
