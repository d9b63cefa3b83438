#include "app/printdatatable.h"

#include <QSet>
#include <QStandardItemModel>

namespace {

QString cellText(const QAbstractItemModel &table, int row, int column)
{
    return table.data(table.index(row, column), Qt::DisplayRole).toString();
}

} // namespace

QList<PrintDataTable::Field> PrintDataTable::variableFields(const TemplateModel &model)
{
    QList<Field> fields;
    QSet<QString> seen;
    const auto add = [&](bool fixed, const QString &title, const QString &content) {
        if (fixed || seen.contains(title))
            return;
        seen.insert(title);
        fields.append({title, content});
    };
    for (const TextModel &text : model.textModels)
        add(text.fixed, text.textTitle, text.textContent);
    for (const QrcodeModel &code : model.qrcodeModels)
        add(code.fixed, code.title, code.content);
    for (const BarcodeModel &code : model.barcodeModels)
        add(code.fixed, code.title, code.content);
    return fields;
}

QStringList PrintDataTable::titles(const TemplateModel &model)
{
    QStringList list;
    const QList<Field> fields = variableFields(model);
    for (const Field &field : fields)
        list.append(field.title);
    return list;
}

QStandardItemModel *PrintDataTable::fromTemplate(const TemplateModel &model, QObject *parent)
{
    const QList<Field> fields = variableFields(model);
    auto *table = new QStandardItemModel(parent);
    QStringList labels;
    QList<QStandardItem *> row;
    for (const Field &field : fields) {
        labels.append(field.title);
        row.append(new QStandardItem(field.content));
    }
    table->setColumnCount(labels.size());
    table->setHorizontalHeaderLabels(labels);
    if (!row.isEmpty())
        table->appendRow(row);
    return table;
}

void PrintDataTable::fillFromImport(QStandardItemModel *table, const QStringList &titles,
                                    const QMap<QString, QStringList> &columns)
{
    table->clear();
    table->setColumnCount(titles.size());
    table->setRowCount(columns.isEmpty() ? 0 : columns.first().size());
    table->setHorizontalHeaderLabels(titles);
    for (int column = 0; column < titles.size(); ++column) {
        const auto found = columns.constFind(titles.at(column));
        if (found == columns.constEnd()) {
            for (int row = 0; row < table->rowCount(); ++row)
                table->setItem(row, column, new QStandardItem(QStringLiteral(" ")));
            continue;
        }
        // setItem grows the table when the column is longer.
        for (int row = 0; row < found->size(); ++row)
            table->setItem(row, column, new QStandardItem(found->at(row)));
    }
}

QStringList PrintDataTable::headers(const QAbstractItemModel &table)
{
    QStringList list;
    for (int column = 0; column < table.columnCount(); ++column)
        list.append(table.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    return list;
}

QList<QStringList> PrintDataTable::cells(const QAbstractItemModel &table)
{
    QList<QStringList> rows;
    for (int row = 0; row < table.rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < table.columnCount(); ++column)
            texts.append(cellText(table, row, column));
        rows.append(texts);
    }
    return rows;
}

QList<QMap<QString, QVariant>> PrintDataTable::printRows(const QAbstractItemModel &table)
{
    const QStringList titles = headers(table);
    QList<QMap<QString, QVariant>> rows;
    for (int row = 0; row < table.rowCount(); ++row) {
        QMap<QString, QVariant> values;
        for (int column = 0; column < titles.size(); ++column)
            values.insert(titles.at(column), cellText(table, row, column));
        rows.append(values);
    }
    return rows;
}
