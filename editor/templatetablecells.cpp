#include "editor/templatetablecells.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace {

const char *const ROW_BUTTON_STYLE = "QPushButton{background:%1;border:0;border-radius:4px;color:#FFFFFF;}"
                                     "QPushButton:hover{text-decoration:underline;}";

} // namespace

QString TemplateTableCells::nameOf(const QObject *widget)
{
    return widget->property(NAME_PROPERTY).toString();
}

QString TemplateTableCells::rowName(const QTableView *view, int row)
{
    return view->model()->index(row, NAME_COLUMN).data().toString();
}

QStandardItemModel *TemplateTableCells::replaceModel(QTableView *view, const QStringList &headers,
                                                     const QList<TemplateModel> &templates)
{
    auto *model = new QStandardItemModel(templates.size(), headers.size(), view);
    model->setHorizontalHeaderLabels(headers);
    for (int row = 0; row < templates.size(); ++row) {
        for (int column = 0; column < headers.size(); ++column)
            model->setItem(row, column, new QStandardItem);
        model->item(row, TYPE_COLUMN)->setText(templates.at(row).type);
        model->item(row, NAME_COLUMN)->setText(templates.at(row).name);
    }
    QAbstractItemModel *old = view->model();
    view->setModel(model);
    if (old)
        old->deleteLater();
    return model;
}

QCheckBox *TemplateTableCells::placeTick(QTableView *view, int row, QStringList *ticked)
{
    auto *box = new QCheckBox;
    box->setProperty(NAME_PROPERTY, rowName(view, row));
    QObject::connect(box, &QCheckBox::stateChanged, box, [box, ticked](int state) {
        if (state > 0)
            ticked->append(nameOf(box));
        else
            ticked->removeOne(nameOf(box));
    });
    place(view, view->model()->index(row, TICK_COLUMN), {box}, true);
    return box;
}

QPushButton *TemplateTableCells::button(const QString &text, QSize size, const char *background, const QString &name)
{
    auto *button = new QPushButton(text);
    button->setFixedSize(size);
    button->setStyleSheet(QString::fromLatin1(ROW_BUTTON_STYLE).arg(QLatin1String(background)));
    button->setProperty(NAME_PROPERTY, name);
    return button;
}

void TemplateTableCells::place(QTableView *view, const QModelIndex &index, const QList<QWidget *> &widgets,
                               bool centred)
{
    auto *cell = new QWidget;
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : widgets) {
        if (centred)
            layout->addWidget(widget, 0, Qt::AlignHCenter | Qt::AlignVCenter);
        else
            layout->addWidget(widget);
    }
    view->setIndexWidget(index, cell);
}

void TemplateTableCells::setUpTable(QTableView *view, const QList<int> &widths, int stretchColumn)
{
    QHeaderView *header = view->horizontalHeader();
    for (int column = 0; column < widths.size(); ++column) {
        if (column == stretchColumn)
            header->setSectionResizeMode(column, QHeaderView::Stretch);
        else
            header->resizeSection(column, widths.at(column));
    }
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    view->verticalHeader()->hide();
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setFocusPolicy(Qt::NoFocus);
}
