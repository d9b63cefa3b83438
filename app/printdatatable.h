#pragma once

// The data table of the print page: one column per variable field of a
// template (text fields, then QR codes, then barcodes that are not fixed,
// each title once), one row per label. A template alone gives one row of
// its stored contents; an imported sheet replaces the rows.
//
// The table lives in a QStandardItemModel so the view can show it. An import
// whose columns differ in length leaves cells without an item; everything
// that reads the table goes through the model's data, where such a cell is
// an empty text.

#include "model/templatemodel.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class QAbstractItemModel;
class QObject;
class QStandardItemModel;

class PrintDataTable
{
public:
    PrintDataTable() = delete;

    struct Field {
        QString title;
        QString content;
    };

    // The variable fields in column order, the first of each title kept.
    static QList<Field> variableFields(const TemplateModel &model);
    static QStringList titles(const TemplateModel &model);

    // A new table for the template: its titles and, when it has any, one row
    // of their stored contents.
    static QStandardItemModel *fromTemplate(const TemplateModel &model, QObject *parent);
    // Replaces the table's contents by imported columns (title -> cells):
    // as many rows as the first column in title order has, a longer column
    // adding rows; a title the sheet lacks gets " " in the rows there are by
    // then; columns the titles do not name are dropped.
    static void fillFromImport(QStandardItemModel *table, const QStringList &titles,
                               const QMap<QString, QStringList> &columns);

    // The header texts, left to right.
    static QStringList headers(const QAbstractItemModel &table);
    // Every cell's display text, row by row.
    static QList<QStringList> cells(const QAbstractItemModel &table);
    // One data row per table row: header text -> the cell's text.
    static QList<QMap<QString, QVariant>> printRows(const QAbstractItemModel &table);
};
