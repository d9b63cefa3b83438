#pragma once

// The rows of the template tables (the template page and the recycle bin):
// a new item model per refresh, and widgets in cells, each in a plain
// container with a zero-margin horizontal layout, carrying its row's
// template name in the property "templateName" so a handler finds its
// template through the widget that sent the signal.

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QCheckBox;
class QModelIndex;
class QObject;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QWidget;

class TemplateTableCells
{
public:
    TemplateTableCells() = delete;

    static constexpr const char *NAME_PROPERTY = "templateName";

    // The template name a row widget carries.
    static QString nameOf(const QObject *widget);

    // A model of rows × headers, child of the view, with an empty item in
    // every cell; it replaces the view's model, which goes later (its cell
    // widgets may be in the middle of a signal).
    static QStandardItemModel *replaceModel(QTableView *view, const QStringList &headers, int rows);

    // An unticked check box centred in the cell.
    static QCheckBox *placeCheckBox(QTableView *view, const QModelIndex &index, const QString &name);
    // A coloured row button of fixed size.
    static QPushButton *button(const QString &text, QSize size, const char *background, const QString &name);
    // Widgets in the cell, left to right, or centred both ways.
    static void place(QTableView *view, const QModelIndex &index, const QList<QWidget *> &widgets, bool centred);

    // Column widths with one column taking the rest; no vertical header, no
    // selection, no editing and no keyboard focus.
    static void setUpTable(QTableView *view, const QList<int> &widths, int stretchColumn);
};
