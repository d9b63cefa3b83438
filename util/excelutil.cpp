#include "util/excelutil.h"

#include "util/seams.h"
#include "util/xlsxreader.h"
#include "util/xlsxwriter.h"

#include <QDebug>
#include <QDir>

namespace {

const QString IMPORT_CAPTION = QStringLiteral("导入文件");

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
    qDebug() << sheet.name() << sheet.rowCount() << sheet.columnCount();
    QMap<QString, QStringList> data;
    if (sheet.isEmpty())
        return data;

    const int startRow = getStartRowNum(sheet);
    const int startCol = getStartColumnNum(sheet);
    qDebug() << "标题起始地址：" << startRow << startCol;

    // Titles first, so that of two columns with one title the right-hand
    // column's cells are the ones kept.
    for (int n = startCol; n <= sheet.lastColumn(); ++n)
        data.insert(sheet.text(startRow, n), QStringList());
    const QVector<QStringList> columns = sheet.columns(startRow + 1, sheet.lastRow(), startCol, sheet.lastColumn(),
                                                       QString::fromLatin1(EMPTY_CELL));
    for (int n = startCol; n <= sheet.lastColumn(); ++n) {
        const QStringList &cells = columns.at(n - startCol);
        qDebug().noquote() << QStringLiteral("第%1列：").arg(n) + cells.join(QLatin1Char(','));
        data.insert(sheet.text(startRow, n), cells);
    }
    return data;
}

QStringList ExcelUtil::getExceSheetNames(const QString &path)
{
    return XlsxReader(path).sheetNames();
}

bool ExcelUtil::exportExcelFile(QWidget *parent, const QList<QString> &headers, const QList<QStringList> &rows)
{
    QString fileName = Seams::getSaveFileName(parent, QStringLiteral("保存文件"), QDir::homePath(),
                                              QStringLiteral("(*.xlsx)"));
    if (fileName.isEmpty())
        return false;
    if (!fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        fileName += QLatin1String(".xlsx");
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
    for (int r = startRow; r <= sheet.lastRow(); ++r) {
        QStringList row;
        row.reserve(sheet.lastColumn() - startCol + 1);
        for (int n = startCol; n <= sheet.lastColumn(); ++n)
            row.append(cellOrBlank(sheet, r, n));
        qDebug().noquote() << QStringLiteral("第%1行：").arg(r) + row.join(QLatin1Char(','));
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
