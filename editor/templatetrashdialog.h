#pragma once

// The template recycle bin: the deleted user templates in a table, narrowed
// by category and by a part of the name, each restored into the user
// templates or deleted for good, one at a time or all ticked ones at once.
// Every operation rereads the bin, so the table shows what is stored.

#include "model/templatemodel.h"
#include "util/placeddialog.h"
#include "util/windowdrag.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

class VisibleRowFiller;

namespace Ui {
class TemplateTrashDialog;
}

class TemplateTrashDialog : public PlacedDialog
{
    Q_OBJECT

public:
    explicit TemplateTrashDialog(QWidget *parent = nullptr);
    ~TemplateTrashDialog() override;

    // A template open in an editor: deleting from the bin keeps the pictures
    // it uses.
    void setOpenTemplate(const TemplateModel &model);

    // Reloads the table from the bin with the current filters; unticks all.
    void refreshTableView();

protected:
    // No key acts on the dialog, Escape and Enter included: only its close
    // button closes it.
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private slots:
    void on_cmb_template_list_currentTextChanged(const QString &text);
    void on_btn_temp_search_clicked();
    void on_btn_delete_in_batches_clicked();
    void on_btn_close_clicked();
    void on_btn_cancel_clicked();
    void on_btn_accept_clicked();

private:
    void placeRow(int row);
    void restoreTemplate(const QString &name);
    void deleteTemplate(const QString &name);

    Ui::TemplateTrashDialog *ui;
    // Ticked rows, in the order they were ticked.
    QStringList selectedTemplateNames;
    // "" or "全部" for every category.
    QString templateTypeFilter;
    // "" for every name; a part of the name, letter case included.
    QString templateNameFilter;
    std::optional<TemplateModel> openTemplate;
    VisibleRowFiller *rowFiller;
    WindowDrag titleDrag;
};
