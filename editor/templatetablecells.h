#pragma once

// The rows of the template tables (the template page and the recycle bin):
// a new item model per refresh, and widgets in cells, each in a plain
// container with a zero-margin horizontal layout, carrying its row's
// template name in the property "templateName" so a handler finds its
// template through the widget that sent the signal.

#include "model/templatemodel.h"

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
    // Both tables begin with the tick, the category and the name.
    enum Column { TICK_COLUMN, TYPE_COLUMN, NAME_COLUMN };

    // The template name a row widget carries.
    static QString nameOf(const QObject *widget);
    // The template name of a row.
    static QString rowName(const QTableView *view, int row);

    // A model with one row per template (category and name filled in, an
    // empty item in every other cell), child of the view; it replaces the
    // view's model, which goes later (its cell widgets may be in the middle
    // of a signal).
    static QStandardItemModel *replaceModel(QTableView *view, const QStringList &headers,
                                            const QList<TemplateModel> &templates);

    // An unticked check box centred in the row's tick cell; ticking appends
    // the row's name to ticked, unticking removes it once.
    static QCheckBox *placeTick(QTableView *view, int row, QStringList *ticked);
    // A coloured row button of fixed size.
    static QPushButton *button(const QString &text, QSize size, const char *background, const QString &name);
    // Widgets in the cell, left to right, or centred both ways.
    static void place(QTableView *view, const QModelIndex &index, const QList<QWidget *> &widgets, bool centred);

    // Column widths with one column taking the rest; no vertical header, no
    // selection, no editing and no keyboard focus.
    static void setUpTable(QTableView *view, const QList<int> &widths, int stretchColumn);
};
