#pragma once

// A reader for .xlsx workbooks, made for data import: it lists the sheets and
// turns one sheet into the texts its cells show. Only cells that hold a value
// are kept, so memory follows the filled cells, not the sheet's extent.

#include <QScopedPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <string_view>
#include <vector>

class QuaZip;

// One sheet's cell texts. Rows and columns are numbered from 1, as in the
// spreadsheet. A cell "holds a value" when its text is not empty; of a merged
// range only the top-left cell can hold one, as a spreadsheet shows it.
class XlsxSheet
{
public:
    // A merged range, corners included.
    struct Range {
        int firstRow;
        int firstColumn;
        int lastRow;
        int lastColumn;
    };

    QString name() const { return m_name; }
    // False for a sheet that does not exist or could not be read whole
    // (damaged, malformed or too large); such a sheet holds no cells.
    bool isReadable() const { return m_readable; }

    bool isEmpty() const { return m_cells.empty(); }
    // The rectangle of cells that hold values; all 0 for an empty sheet.
    int firstRow() const { return m_firstRow; }
    int lastRow() const { return m_lastRow; }
    int firstColumn() const { return m_firstColumn; }
    int lastColumn() const { return m_lastColumn; }
    int rowCount() const { return isEmpty() ? 0 : m_lastRow - m_firstRow + 1; }
    int columnCount() const { return isEmpty() ? 0 : m_lastColumn - m_firstColumn + 1; }
    int cellCount() const { return int(m_cells.size()); }

    // The cell's text; empty when it holds no value.
    QString text(int row, int column) const;
    // The texts of the given columns, each from fromRow to toRow (empty lists
    // when fromRow > toRow); a cell without a value gives blank. One pass
    // over the cells, however far apart the columns lie.
    QVector<QStringList> columns(int fromRow, int toRow, const QVector<int> &columnNumbers,
                                 const QString &blank) const;
    bool hasValue(int row, int column) const { return !text(row, column).isEmpty(); }

private:
    friend class XlsxReader;
    struct Cell {
        int row;
        int column;
        QString text;
    };
    // Sorts the cells, keeps the last of duplicates, drops empty texts and
    // those a merged range hides, and finds the used range.
    void finish(const QVector<Range> &merges);
    const Cell *find(int row, int column) const;

    QString m_name;
    bool m_readable = false;
    // Ordered by row, then column. Growing moves the texts, where a QVector
    // would copy and release each of hundreds of thousands.
    std::vector<Cell> m_cells;
    int m_firstRow = 0;
    int m_lastRow = 0;
    int m_firstColumn = 0;
    int m_lastColumn = 0;
};

// Opens a workbook and reads its sheet list at once; sheets are read on
// demand. A missing, unreadable or malformed file is a workbook without sheets.
class XlsxReader
{
public:
    explicit XlsxReader(const QString &path);
    ~XlsxReader();
    XlsxReader(const XlsxReader &) = delete;
    XlsxReader &operator=(const XlsxReader &) = delete;

    int sheetCount() const { return m_sheets.size(); }
    // Sheet names in workbook order.
    QStringList sheetNames() const;
    // The sheet at a zero-based index; an empty, unreadable sheet when the
    // index is out of range or the sheet cannot be read.
    XlsxSheet sheet(int index);

    // Largest row and column a workbook can address.
    static constexpr int MAX_ROW = 1048576;
    static constexpr int MAX_COLUMN = 16384;
    // A part of the package that inflates to more bytes than this is not
    // read: a few compressed megabytes could otherwise take gigabytes.
    static constexpr qint64 MAX_PART_SIZE = qint64(256) * 1024 * 1024;
    // Nor is a sheet holding more cells than this (every row a sheet can
    // have, in 16 columns): half a megabyte zipped can hold more.
    static constexpr qint64 MAX_CELLS = qint64(1) << 24;
    // A number as a cell shows it: whole numbers below 10^15 in full
    // ("1200000"), others in Qt's shortest form ("0.1", "1e+20").
    static QString numberText(double number);
    // Whether text holds, at i, an escape "_xHHHH_" of the character U+HHHH,
    // as strings write the characters XML cannot hold.
    static bool isEscapeAt(const QString &text, int i);
    static constexpr double MAX_WHOLE_NUMBER = 1e15;
    // "B12" to (12, 2); false for anything else or beyond the limits above.
    static bool parseCellReference(const QStringRef &ref, int *row, int *column);
    // A serial day number as text: "yyyy-MM-dd", followed by " hh:mm:ss" when
    // the time is not midnight; only "hh:mm:ss" for a time-only format.
    // Empty when the number is no date in that system.
    static QString serialDateText(double serial, bool date1904, bool timeOnly);
    // What a number format shows: 0 a number, 1 a date (maybe with a time),
    // 2 a time of day only.
    enum NumberFormatKind : quint8 { PlainNumber = 0, DateFormat = 1, TimeFormat = 2 };
    static NumberFormatKind numberFormatKind(int numFmtId, const QString &formatCode);

private:
    struct SheetEntry {
        QString name;
        QString part; // zip entry of the worksheet, empty when it could not be resolved
    };

    void readWorkbook();
    // Shared strings and cell formats, read once before the first sheet.
    void loadSharedData();
    bool readSheetXml(const QByteArray &bytes, XlsxSheet *sheet, QVector<XlsxSheet::Range> *merges) const;
    // The text a cell shows; type is the cell's kind as the sheet names it,
    // value the UTF-8 text of its value.
    QString cellText(int type, int style, std::string_view value) const;

    QScopedPointer<QuaZip> m_zip;
    QVector<SheetEntry> m_sheets;
    QString m_sharedStringsPart;
    QString m_stylesPart;
    bool m_date1904 = false;
    enum class SharedData { Unread, Read, Damaged };
    SharedData m_shared = SharedData::Unread;
    QVector<QString> m_sharedStrings;
    QVector<quint8> m_styleKinds; // NumberFormatKind per cell format index
};
