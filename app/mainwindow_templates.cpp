// The template page: every template of the store in one table, narrowed by
// category and by a part of the name, with the row actions (edit, rename,
// delete, print, favourite) and the page's own (create, import, export,
// batch delete, recycle bin).

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/templatefavourites.h"
#include "editor/templatedialog.h"
#include "editor/templatelistfilter.h"
#include "editor/templatesave.h"
#include "editor/templatetablecells.h"
#include "editor/templatetrash.h"
#include "editor/templatetrashdialog.h"
#include "editor/visiblerowfiller.h"
#include "util/constants.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QPushButton>
#include <QStandardItemModel>

#include <memory>

namespace {

enum Column { COL_BUILTIN = TemplateTableCells::NAME_COLUMN + 1, COL_FAVOURITE, COL_ACTIONS };

const QList<int> COLUMN_WIDTHS{58, 200, 0, 200, 200, 360};

const char *const FAVOURITE_STYLE =
    "QPushButton{border: 0;background-color:white;border-image: url(:/resources/icon/switchbutton_off.png);}"
    "QPushButton:checked{border-image: url(:/resources/icon/switchbutton_on.png);}";
constexpr QSize FAVOURITE_SIZE(44, 22);
constexpr QSize NARROW_BUTTON(58, 28);
constexpr QSize WIDE_BUTTON(68, 28);

QString builtInTip() { return QStringLiteral("不能删除系统内置的模板"); }
QString nothingTickedTip() { return QStringLiteral("请选择需要删除的模板"); }
QString deleteFailedTip() { return QStringLiteral("删除失败"); }

QStringList tableHeaders()
{
    return {QString(), QStringLiteral("模板类型"), QStringLiteral("模板名称"), QStringLiteral("系统初始模板"),
            QStringLiteral("常用模板"), QStringLiteral("操作")};
}

} // namespace

void MainWindow::refreshTemplateView()
{
    // One read serves both lists: the API's is the page's before filtering.
    apiTemplateList = JsonUtil::parseTemplateList(true, true);
    const QList<TemplateModel> shown =
        TemplateListFilter::apply(apiTemplateList, templateTypeFilter, templateNameFilter);

    QTableView *view = ui->tableView_temp_list;
    if (!templateRowFiller)
        templateRowFiller = new VisibleRowFiller(view, [this](int row) { placeTemplateRow(row); });
    QStandardItemModel *model = TemplateTableCells::replaceModel(view, tableHeaders(), shown);
    for (int row = 0; row < shown.size(); ++row) {
        const bool builtIn = sysTemplateNames.contains(shown.at(row).name);
        model->item(row, COL_BUILTIN)->setText(builtIn ? QStringLiteral("是") : QStringLiteral("否"));
    }
    selectedTemplates.clear();
    TemplateTableCells::setUpTable(view, COLUMN_WIDTHS, TemplateTableCells::NAME_COLUMN);
    templateRowFiller->reset();
}

void MainWindow::placeTemplateRow(int row)
{
    QTableView *view = ui->tableView_temp_list;
    const QAbstractItemModel *model = view->model();
    const QString name = TemplateTableCells::rowName(view, row);
    TemplateTableCells::placeTick(view, row, &selectedTemplates);

    auto *favourite = new QPushButton;
    favourite->setCheckable(true);
    favourite->setFixedSize(FAVOURITE_SIZE);
    favourite->setStyleSheet(QLatin1String(FAVOURITE_STYLE));
    favourite->setChecked(favouriteTemplates.contains(name));
    favourite->setProperty(TemplateTableCells::NAME_PROPERTY, name);
    connect(favourite, &QPushButton::clicked, this,
            [this, favourite, name](bool on) { onFavouriteSwitched(favourite, name, on); });
    TemplateTableCells::place(view, model->index(row, COL_FAVOURITE), {favourite}, true);

    struct Action {
        const char *text;
        QSize size;
        const char *background;
        void (MainWindow::*handler)(const QString &);
    };
    static const Action actions[] = {
        {"编辑", NARROW_BUTTON, "rgba(92, 207, 66, 1)", &MainWindow::openTemplateEditor},
        {"重命名", WIDE_BUTTON, "rgba(67, 207, 124, 1)", &MainWindow::renameTemplate},
        {"删除", NARROW_BUTTON, "rgba(222,0,7,1)", &MainWindow::deleteTemplateRow},
        {"打印", NARROW_BUTTON, "rgba(24,144,255,1)", &MainWindow::printTemplate},
    };
    QList<QWidget *> buttons;
    for (const Action &action : actions) {
        QPushButton *button =
            TemplateTableCells::button(QString::fromUtf8(action.text), action.size, action.background, name);
        const auto handler = action.handler;
        connect(button, &QPushButton::clicked, this,
                [this, button, handler] { (this->*handler)(TemplateTableCells::nameOf(button)); });
        buttons.append(button);
    }
    TemplateTableCells::place(view, model->index(row, COL_ACTIONS), buttons, false);
}

void MainWindow::onFavouriteSwitched(QPushButton *favourite, const QString &name, bool on)
{
    if (!on) {
        TemplateFavourites::switchOff(favouriteTemplates, name);
        TemplateFavourites::store(favouriteTemplates);
        return;
    }
    switch (TemplateFavourites::switchOn(favouriteTemplates, name)) {
    case TemplateFavourites::SwitchOn::Full:
        TextUtil::showError(QStringLiteral("仅允许设置3个常用模板"));
        favourite->setChecked(false);
        break;
    case TemplateFavourites::SwitchOn::AlreadyThere:
        break;
    case TemplateFavourites::SwitchOn::Added:
        TemplateFavourites::store(favouriteTemplates);
        break;
    }
}

void MainWindow::followFavourite(const QString &from, const QString &to)
{
    if (TemplateFavourites::follow(favouriteTemplates, from, to))
        TemplateFavourites::store(favouriteTemplates);
}

void MainWindow::on_btn_temp_query_clicked()
{
    templateTypeFilter = ui->cmb_template_list->currentText();
    templateNameFilter = ui->edt_template_name->text();
    refreshTemplateView();
}

void MainWindow::on_btn_temp_search_clicked()
{
    on_btn_temp_query_clicked();
}

void MainWindow::on_cmb_template_list_currentTextChanged(const QString &text)
{
    templateTypeFilter = text;
    refreshTemplateView();
}

void MainWindow::on_btn_create_temp_clicked()
{
    openTemplateEditor(QString());
}

void MainWindow::openTemplateEditor(const QString &name)
{
    if (dialogBusy) {
        TextUtil::showError(QString::fromUtf8(DIALOG_BUSY_TIP));
        return;
    }
    dialogBusy = true;
    auto *editor = new TemplateDialog(name, nullptr);
    templateEditor = editor;
    connect(editor, &TemplateDialog::refreshTemplateView, this, &MainWindow::refreshTemplateView);
    connect(editor, &TemplateDialog::dialogClosed, this, [this, editor] {
        // Once only: a second close of the same editor must not free the
        // window for whatever was opened after it.
        disconnect(editor, nullptr, this, nullptr);
        dialogBusy = false;
        editor->deleteLater();
    });
    editor->openMaximized(screen());
}

void MainWindow::renameTemplate(const QString &name)
{
    // The dialog edits the model it is given; the model lives as long as the
    // connection that holds it, which goes with the dialog.
    // Stored again as it was, but for its name and type.
    auto model = std::make_shared<TemplateModel>(JsonUtil::parseStoredTemplate(name));
    auto *dialog = new TemplateSave(model.get(), this);
    dialog->setWindowTitleMsg(QStringLiteral("修改模板"));
    connect(dialog, &TemplateSave::refreshTemplateView, this, [this, dialog, name, model] {
        // The copy under the new name is stored; a built-in keeps its place
        // (the store refuses and says so).
        if (JsonUtil::deleteTemplate(name))
            followFavourite(name, model->name);
        refreshTemplateView();
        TextUtil::showSuccess(QStringLiteral("修改成功"));
        dialog->close();
        dialog->deleteLater();
    });
    // Escape ends it without its own buttons, which would delete it.
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->open();
}

void MainWindow::deleteTemplateRow(const QString &name)
{
    if (!Seams::askQuestion(nullptr, QStringLiteral("提示"),
                            QStringLiteral("是否删除模板\"") + name + QStringLiteral("\"?")))
        return;
    switch (TemplateTrash::moveIn(name)) {
    case TemplateTrash::Outcome::Done:
        followFavourite(name, QString());
        refreshTemplateView();
        TextUtil::showSuccess(QStringLiteral("删除成功"));
        break;
    case TemplateTrash::Outcome::BuiltIn:
        TextUtil::showError(builtInTip());
        break;
    default:
        refreshTemplateView();
        TextUtil::showError(deleteFailedTip());
        break;
    }
}

void MainWindow::printTemplate(const QString &name)
{
    on_btn_nav_print_clicked();
    ui->comboBox_print->setCurrentText(name);
}

void MainWindow::on_btn_delete_in_batches_clicked()
{
    if (selectedTemplates.isEmpty()) {
        TextUtil::showError(nothingTickedTip());
        return;
    }
    if (!Seams::askQuestion(nullptr, QStringLiteral("提示"), QStringLiteral("是否删除模板?")))
        return;
    for (const QString &name : qAsConst(selectedTemplates)) {
        if (sysTemplateNames.contains(name)) {
            TextUtil::showError(builtInTip());
            return;
        }
    }
    // The rebuild below empties the ticks.
    const QStringList names = selectedTemplates;
    bool complete = true;
    for (const QString &name : names) {
        if (name.isEmpty())
            continue;
        if (TemplateTrash::moveIn(name) != TemplateTrash::Outcome::Done) {
            complete = false;
            break;
        }
        followFavourite(name, QString());
    }
    refreshTemplateView();
    if (complete)
        TextUtil::showSuccess(QStringLiteral("删除完成"));
    else
        TextUtil::showError(deleteFailedTip());
}

void MainWindow::on_btn_export_temp_clicked()
{
    if (selectedTemplates.isEmpty()) {
        TextUtil::showError(QStringLiteral("请选择需要导出的模板"));
        return;
    }
    if (JsonUtil::exportTemplate(this, selectedTemplates))
        TextUtil::showSuccess(QStringLiteral("导出成功"));
    else
        TextUtil::showError(QStringLiteral("导出失败"));
}

void MainWindow::on_btn_import_temp_clicked()
{
    JsonUtil::importTemplate(this);
    refreshTemplateView();
}

void MainWindow::on_btn_template_trash_clicked()
{
    auto *dialog = new TemplateTrashDialog(this);
    // Application-modal: an open editor can change neither the stores nor
    // its template while the bin deletes pictures that template may use.
    dialog->setWindowModality(Qt::ApplicationModal);
    if (templateEditor)
        dialog->setOpenTemplate(templateEditor->model());
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        dialog->deleteLater();
        refreshTemplateView();
    });
    dialog->show();
}
