#include "editor/templatetrashdialog.h"
#include "ui_templatetrashdialog.h"

#include "editor/templatelistfilter.h"
#include "editor/templatetablecells.h"
#include "editor/templatetrash.h"
#include "editor/visiblerowfiller.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace {

const char *const STYLE_SHEET = ":/resources/qss/templatetrashdialog.css";

constexpr int COL_ACTIONS = TemplateTableCells::NAME_COLUMN + 1;
const QList<int> COLUMN_WIDTHS{58, 200, 0, 200};
constexpr QSize ROW_BUTTON(58, 28);

} // namespace

TemplateTrashDialog::TemplateTrashDialog(QWidget *parent)
    : PlacedDialog(parent)
    , ui(new Ui::TemplateTrashDialog)
{
    ui->setupUi(this);
    rowFiller = new VisibleRowFiller(ui->tableView_temp_list, [this](int row) { placeRow(row); });
    QFile style{QLatin1String(STYLE_SHEET)};
    if (style.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(style.readAll()));
    // A dialog window even with a parent, without the system's frame.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    templateTypeFilter = ui->cmb_template_list->currentText();
    ui->cmb_template_list->setItemDelegate(new QStyledItemDelegate(ui->cmb_template_list));
    refreshTableView();
    ui->bottom_frame->hide();
}

TemplateTrashDialog::~TemplateTrashDialog()
{
    delete ui;
}

void TemplateTrashDialog::setOpenTemplate(const TemplateModel &model)
{
    openTemplate = model;
}

void TemplateTrashDialog::refreshTableView()
{
    const QList<TemplateModel> shown =
        TemplateListFilter::apply(JsonUtil::parseTemplateListFromTrash(), templateTypeFilter, templateNameFilter);
    QTableView *view = ui->tableView_temp_list;
    const QStringList headers{QString(), QStringLiteral("模板类型"), QStringLiteral("模板名称"), QStringLiteral("操作")};
    TemplateTableCells::replaceModel(view, headers, shown);
    selectedTemplateNames.clear();
    TemplateTableCells::setUpTable(view, COLUMN_WIDTHS, TemplateTableCells::NAME_COLUMN);
    rowFiller->reset();
}

void TemplateTrashDialog::placeRow(int row)
{
    QTableView *view = ui->tableView_temp_list;
    const QString name = TemplateTableCells::rowName(view, row);
    TemplateTableCells::placeTick(view, row, &selectedTemplateNames);
    QPushButton *restore = TemplateTableCells::button(QStringLiteral("还原"), ROW_BUTTON, "rgba(67,207,124,1)", name);
    connect(restore, &QPushButton::clicked, this, [this, restore] { restoreTemplate(TemplateTableCells::nameOf(restore)); });
    QPushButton *remove = TemplateTableCells::button(QStringLiteral("删除"), ROW_BUTTON, "rgba(222,0,7,1)", name);
    connect(remove, &QPushButton::clicked, this, [this, remove] { deleteTemplate(TemplateTableCells::nameOf(remove)); });
    TemplateTableCells::place(view, view->model()->index(row, COL_ACTIONS), {restore, remove}, false);
}

void TemplateTrashDialog::restoreTemplate(const QString &name)
{
    if (JsonUtil::getAllTemplateNames().contains(name)
        && !Seams::askQuestion(nullptr, QStringLiteral("提示"),
                               QStringLiteral("该模板已存在，是否确认还原\"") + name + QStringLiteral("\"?"))) {
        refreshTableView();
        return;
    }
    const TemplateTrash::Outcome outcome = TemplateTrash::restore(name);
    refreshTableView();
    if (outcome != TemplateTrash::Outcome::Done)
        TextUtil::showError(QStringLiteral("还原失败"));
}

void TemplateTrashDialog::deleteTemplate(const QString &name)
{
    if (!Seams::askQuestion(nullptr, QStringLiteral("提示"), QStringLiteral("是否删除模板\"") + name + QStringLiteral("\"?")))
        return;
    // The entry's background stays: only the batch delete settles pictures.
    const bool removed = JsonUtil::deleteTemplateFromTrash(name);
    refreshTableView();
    if (removed)
        TextUtil::showSuccess(QStringLiteral("删除成功"));
    else
        TextUtil::showError(QStringLiteral("删除失败"));
}

void TemplateTrashDialog::on_btn_delete_in_batches_clicked()
{
    if (selectedTemplateNames.isEmpty()) {
        TextUtil::showError(QStringLiteral("请选择需要删除的模板"));
        return;
    }
    if (!Seams::askQuestion(nullptr, QStringLiteral("提示"), QStringLiteral("是否删除模板?")))
        return;
    const TemplateTrash::Purge purge =
        TemplateTrash::purge(selectedTemplateNames, openTemplate ? &*openTemplate : nullptr);
    if (!purge.undeletedFiles.isEmpty())
        TextUtil::showError(QStringLiteral("背景图删除失败"));
    refreshTableView();
    if (purge.complete)
        TextUtil::showSuccess(QStringLiteral("删除完成"));
    else
        TextUtil::showError(QStringLiteral("删除失败"));
}

void TemplateTrashDialog::on_cmb_template_list_currentTextChanged(const QString &text)
{
    templateTypeFilter = text;
    refreshTableView();
}

void TemplateTrashDialog::on_btn_temp_search_clicked()
{
    templateTypeFilter = ui->cmb_template_list->currentText();
    templateNameFilter = ui->edt_template_name->text();
    refreshTableView();
}

void TemplateTrashDialog::on_btn_close_clicked()
{
    close();
}

void TemplateTrashDialog::on_btn_cancel_clicked()
{
    reject();
}

void TemplateTrashDialog::on_btn_accept_clicked()
{
    accept();
}

void TemplateTrashDialog::keyPressEvent(QKeyEvent *)
{
}

void TemplateTrashDialog::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, ui->top_frame->rect().contains(ui->top_frame->mapFrom(this, event->pos())));
}

void TemplateTrashDialog::mouseMoveEvent(QMouseEvent *event)
{
    titleDrag.follow(this, event);
}

void TemplateTrashDialog::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
}
