#pragma once

// Spreadsheet import and export of print data.
//
// The imported data map: column title -> the texts of the cells below it,
// one per row of the sheet's used range; a cell without a value is " ", and
// of a merged range only the top-left cell holds one. The title row is the
// sheet's first row that holds a value, the title column its first column
// that holds one; every list stops at the last row that holds a value
// anywhere in the sheet.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QWidget;
class XlsxSheet;

class ExcelUtil
{
public:
    ExcelUtil() = delete;

    // One sheet of a workbook (zero-based index). On failure (no such sheet,
    // one that cannot be read, or a table too large to hold) an empty map
    // and err = "输入的sheet页不存在"; err is only written on failure.
    static QMap<QString, QStringList> importExcelFile(const QString &path, int sheetIndex, QString &err);
    // Sheet names in workbook order; empty for anything that is no workbook.
    static QStringList getExceSheetNames(const QString &path);
    // Asks for a file name and writes headers into row 1 and the rows below,
    // all as text. False when the dialog was cancelled or anything could not
    // be written (a failure is logged with its reason).
    static bool exportExcelFile(QWidget *parent, const QList<QString> &headers, const QList<QStringList> &rows);

    // Title row and column of a sheet, from 1; 1 for an empty sheet.
    static int getStartRowNum(const XlsxSheet &sheet);
    static int getStartColumnNum(const XlsxSheet &sheet);

    // Asks for a workbook and returns the rows of its first sheet from the
    // title row on, each from the title column; empty when cancelled or when
    // the table cannot be read or is too large to hold.
    static QList<QStringList> importExcelFile(QWidget *parent);
    // Asks for a workbook, then imports it as importExcelFile(path, ...);
    // a cancelled dialog gives err = "导入取消".
    static QMap<QString, QStringList> importExcelFile(QWidget *parent, int sheetIndex, QString &err);

    static constexpr const char *ERROR_NO_SHEET = "输入的sheet页不存在";
    static constexpr const char *ERROR_CANCELLED = "导入取消";
    // Text of a cell that holds no value.
    static constexpr const char *EMPTY_CELL = " ";
};
