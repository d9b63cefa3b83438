#pragma once

// Print data of the second protocol generation: a page's trimmed dot matrix,
// its bands of dot rows and the runs of inked columns of a band. Distances are
// printer dots; rows run top to bottom, columns left to right.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// A rectangle of the page as a dot matrix, indexed [row][column]; 1 is a dot.
struct PrintBlock {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    QVector<QVector<int> > matrix;
};

// A run of inked columns of a band: the half-open page column range [start, end).
struct RowDataBlock {
    int start = 0;
    int end = 0;
};

// One band.
struct PrintRowBlock {
    // First band: the block's y. Later bands: the blank rows skipped between
    // the end of the previous band and the start of this one.
    int offsetY = 0;
    QList<RowDataBlock> blocks;
    // Every column of every run in order, packed into ceil(rows / 8) bytes:
    // bit j (value 2^j) of byte k is the dot in band row 8k + j.
    QByteArray data;
    // Debug mode only: per inked column, " 1" or two blanks per row of the band.
    QList<QString> debugLines;
};

// A segment of columns, [start, end).
struct DataInfo {
    int start = 0;
    int end = 0;
};
