#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/templatesave.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

void TemplateDialog::on_btn_save_template_clicked()
{
    takeSizeBoxes();
    if (model().name.isEmpty()) {
        openSaveDialog(QStringLiteral("保存模版"));
        return;
    }
    if (!JsonUtil::saveTemplate(model(), false)) {
        TextUtil::showError(QStringLiteral("保存失败"));
        return;
    }
    templateSaved();
}

void TemplateDialog::on_btn_save_as_template_clicked()
{
    takeSizeBoxes();
    openSaveDialog(QStringLiteral("另存为模版"));
}

void TemplateDialog::openSaveDialog(const QString &title)
{
    // The dialog names and stores a copy; the document takes the name it stored.
    naming = model();
    auto *dialog = new TemplateSave(&naming, this);
    dialog->setWindowTitleMsg(title);
    connect(dialog, &TemplateSave::refreshTemplateView, this, [this, dialog] {
        dialog->close();
        dialog->deleteLater();
        doc.setName(naming.name, naming.type);
        templateSaved();
    });
    // Escape rejects without a close: the dialog goes then too.
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    // Window-modal without a nested event loop: the answer comes as a signal.
    dialog->open();
}

// The stored template now owns the pictures copied in since the last store;
// the files it dropped go once nothing stored uses them (a template saved
// under a new name still shares its files with the one it was made from).
void TemplateDialog::templateSaved()
{
    emit refreshTemplateView();
    TextUtil::showSuccess(QStringLiteral("保存成功"));
    processRecordImg(true);
}
