#include "util/excelutil.h"

#include "util/fileutil.h"
#include "util/seams.h"
#include "util/xlsxreader.h"
#include "util/xlsxwriter.h"

#include <QDebug>
#include <QDir>

#include <algorithm>

namespace {

const QString IMPORT_CAPTION = QStringLiteral("导入文件");

// The most cells one import builds. One value in a far corner stretches a
// sheet over a million rows and thousands of columns; a result beyond this
// is refused rather than left to exhaust memory. It still takes every row a
// sheet can have in 16 columns.
constexpr qint64 MAX_IMPORT_CELLS = XlsxReader::MAX_CELLS;

bool fitsInMemory(const XlsxSheet &sheet, qint64 columns, qint64 rows)
{
    if (columns * rows <= MAX_IMPORT_CELLS)
        return true;
    qWarning().noquote() << "sheet" << sheet.name() << "would import" << columns << "columns of" << rows
                         << "rows, more than" << MAX_IMPORT_CELLS << "cells; not imported";
    return false;
}

// A column or row as the debug log shows it, cut short: cells can share one
// long text, and forty thousand cells of thirty thousand characters joined
// whole would be larger than a text can be.
QString logText(const QStringList &cells)
{
    const int maxCharacters = 10000;
    QString text;
    for (int i = 0; i < cells.size(); ++i) {
        if (text.size() > maxCharacters)
            return text + QStringLiteral("... (%1 of %2 cells)").arg(i).arg(cells.size());
        if (i > 0)
            text += QLatin1Char(',');
        text += cells.at(i);
    }
    return text;
}

QString cellOrBlank(const XlsxSheet &sheet, int row, int column)
{
    const QString text = sheet.text(row, column);
    return text.isEmpty() ? QString::fromLatin1(ExcelUtil::EMPTY_CELL) : text;
}

} // namespace

// The title row is searched from row 1, and the used range is made of the
// cells that hold values, so the first row holding a value is the used
// range's first row: a table far down or far right of A1 is found wherever
// it starts.
int ExcelUtil::getStartRowNum(const XlsxSheet &sheet)
{
    return sheet.isEmpty() ? 1 : sheet.firstRow();
}

int ExcelUtil::getStartColumnNum(const XlsxSheet &sheet)
{
    return sheet.isEmpty() ? 1 : sheet.firstColumn();
}

QMap<QString, QStringList> ExcelUtil::importExcelFile(const QString &path, int sheetIndex, QString &err)
{
    XlsxReader book(path);
    if (sheetIndex < 0 || sheetIndex >= book.sheetCount()) {
        err = QString::fromUtf8(ERROR_NO_SHEET);
        return {};
    }
    const XlsxSheet sheet = book.sheet(sheetIndex);
    if (!sheet.isReadable()) {
        err = QString::fromUtf8(ERROR_NO_SHEET);
        return {};
    }
    qDebug() << sheet.name() << sheet.rowCount() << sheet.columnCount();
    QMap<QString, QStringList> data;
    if (sheet.isEmpty())
        return data;

    const int startRow = getStartRowNum(sheet);
    const int startCol = getStartColumnNum(sheet);
    qDebug() << "标题起始地址：" << startRow << startCol;

    // Of two columns with one title the right-hand one is kept, so only
    // the right-most column of each title is built.
    QMap<QString, int> columnOfTitle;
    for (int n = startCol; n <= sheet.lastColumn(); ++n)
        columnOfTitle.insert(sheet.text(startRow, n), n);
    QVector<int> kept = columnOfTitle.values().toVector();
    std::sort(kept.begin(), kept.end());
    if (!fitsInMemory(sheet, kept.size(), sheet.lastRow() - startRow)) {
        err = QString::fromUtf8(ERROR_NO_SHEET);
        return {};
    }
    const QVector<QStringList> columns =
        sheet.columns(startRow + 1, sheet.lastRow(), kept, QString::fromLatin1(EMPTY_CELL));
    for (int i = 0; i < kept.size(); ++i) {
        qDebug().noquote() << QStringLiteral("第%1列：").arg(kept.at(i)) + logText(columns.at(i));
        data.insert(sheet.text(startRow, kept.at(i)), columns.at(i));
    }
    return data;
}

QStringList ExcelUtil::getExceSheetNames(const QString &path)
{
    return XlsxReader(path).sheetNames();
}

bool ExcelUtil::exportExcelFile(QWidget *parent, const QList<QString> &headers, const QList<QStringList> &rows)
{
    const QString chosen = Seams::getSaveFileName(parent, QStringLiteral("保存文件"), QDir::homePath(),
                                                  QStringLiteral("(*.xlsx)"));
    if (chosen.isEmpty())
        return false;
    const QString fileName = FileUtil::withSuffix(chosen, QStringLiteral(".xlsx"));
    qDebug() << "exportExcelFile" << fileName;

    XlsxWriter writer(fileName);
    bool written = true;
    for (int k = 0; written && k < headers.size(); ++k)
        written = writer.writeString(0, k, headers.at(k));
    for (int i = 0; written && i < rows.size(); ++i) {
        const QStringList &row = rows.at(i);
        for (int j = 0; written && j < row.size(); ++j)
            written = writer.writeString(i + 1, j, row.at(j));
    }
    if (!written || !writer.save()) {
        qWarning() << "exportExcelFile failed:" << fileName << writer.errorString();
        return false;
    }
    return true;
}

QList<QStringList> ExcelUtil::importExcelFile(QWidget *parent)
{
    const QString path = Seams::getOpenFileName(parent, IMPORT_CAPTION, QDir::homePath(),
                                                QStringLiteral("(*.xls *.xlsx)"));
    qDebug() << "importExcelFile" << path;
    QList<QStringList> rows;
    if (path.isEmpty())
        return rows;
    XlsxReader book(path);
    if (book.sheetCount() == 0)
        return rows;
    const XlsxSheet sheet = book.sheet(0);
    if (sheet.isEmpty())
        return rows;
    const int startRow = getStartRowNum(sheet);
    const int startCol = getStartColumnNum(sheet);
    if (!fitsInMemory(sheet, sheet.lastColumn() - startCol + 1, sheet.lastRow() - startRow + 1))
        return rows;
    for (int r = startRow; r <= sheet.lastRow(); ++r) {
        QStringList row;
        row.reserve(sheet.lastColumn() - startCol + 1);
        for (int n = startCol; n <= sheet.lastColumn(); ++n)
            row.append(cellOrBlank(sheet, r, n));
        qDebug().noquote() << QStringLiteral("第%1行：").arg(r) + logText(row);
        rows.append(row);
    }
    return rows;
}

QMap<QString, QStringList> ExcelUtil::importExcelFile(QWidget *parent, int sheetIndex, QString &err)
{
    const QString path = Seams::getOpenFileName(parent, IMPORT_CAPTION, QDir::homePath(),
                                                QStringLiteral("(*.xls *.xlsx)"));
    qDebug() << "importExcelFile" << path;
    if (path.isEmpty()) {
        err = QString::fromUtf8(ERROR_CANCELLED);
        return {};
    }
    return importExcelFile(path, sheetIndex, err);
}
