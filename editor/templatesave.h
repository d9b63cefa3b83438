#pragma once

// The small frameless dialog that names a template and gives it a category,
// then stores it: the editor's Save of a new template and its Save as, and
// the template page's rename. It edits the model it is given (not owned) only
// once the store has taken the template under its new name.

#include "model/templatemodel.h"
#include "util/placeddialog.h"
#include "util/windowdrag.h"

#include <QPoint>
#include <QString>
#include <QStringList>

namespace Ui {
class TemplateSave;
}

class TemplateSave : public PlacedDialog
{
    Q_OBJECT

public:
    TemplateSave(TemplateModel *model, QWidget *parent = nullptr);
    ~TemplateSave() override;

    // The title label and the window title.
    void setWindowTitleMsg(const QString &msg);

    // The category entry meaning none was chosen, then the categories.
    static QStringList typeChoices();
    // The first check that a category and a name fail, as the message shown;
    // empty when they pass. The name is taken trimmed.
    static QString checkEntries(const QString &type, const QString &name, const QStringList &takenNames);

signals:
    // After the template was stored.
    void refreshTemplateView();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private slots:
    void on_btn_yes_clicked();
    void on_btn_cancel_clicked();
    void on_btn_close_clicked();

private:
    TemplateModel *model;
    Ui::TemplateSave *ui;
    WindowDrag titleDrag;
};
