#pragma once

// Writes a one-sheet .xlsx workbook of texts. The file appears at its path
// only when save() succeeds; a failed or abandoned export leaves any earlier
// file there as it was.
//
// The package is zipped with QuaZip, the library that reads workbooks: the
// packaged libxlsxwriter links the system minizip, whose zip functions carry
// the same unversioned names as QuaZip's modified copy, so in one process its
// calls land in QuaZip and crash.

#include <QHash>
#include <QString>
#include <QVector>

class QIODevice;

class XlsxWriter
{
public:
    explicit XlsxWriter(const QString &path);

    // The most characters (UTF-16 units) one cell can hold, and the sheet's size.
    static constexpr int MAX_CELL_TEXT = 32767;
    static constexpr int MAX_ROWS = 1048576;
    static constexpr int MAX_COLUMNS = 16384;

    // Writes a text cell at a zero-based row and column with the default
    // format; an empty text leaves the cell empty, a later write to the same
    // cell replaces it. False, with errorString(), when the text is too long
    // or the place lies outside the sheet; the workbook then cannot be saved.
    bool writeString(int row, int column, const QString &text);
    // Writes the workbook and puts it in place. False, with errorString(),
    // when anything failed before or during it.
    bool save();
    QString errorString() const { return m_error; }

    // A text as a workbook stores it: characters XML cannot carry (a lone
    // surrogate among them), carriage returns and text that looks like such
    // an escape become "_xHHHH_".
    static QString escapeText(const QString &text);
    // "A1" for zero-based (0, 0).
    static QString cellReference(int row, int column);

private:
    struct Cell {
        int row;
        int column;
        int string; // index into m_strings
    };
    bool writeSheet(QIODevice *device);
    bool writeSharedStrings(QIODevice *device) const;

    QString m_path;
    QString m_error;
    QVector<Cell> m_cells;
    QVector<QString> m_strings;
    QHash<QString, int> m_stringIndex;
};
