#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/templatesave.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"
#include "util/textutil.h"

void TemplateDialog::on_btn_save_template_clicked()
{
    takeSizeBoxes();
    if (model().name.isEmpty()) {
        openSaveDialog(QStringLiteral("保存模版"));
        return;
    }
    TemplateModel stored = doc.storedModel();
    TemplateJson::stampCreation(stored);
    if (!JsonUtil::saveTemplate(stored, false)) {
        TextUtil::showError(QStringLiteral("保存失败"));
        return;
    }
    doc.setStoredAs(stored);
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
    naming = doc.storedModel();
    auto *dialog = new TemplateSave(&naming, this);
    dialog->setWindowTitleMsg(title);
    connect(dialog, &TemplateSave::refreshTemplateView, this, [this, dialog] {
        dialog->close();
        dialog->deleteLater();
        doc.setStoredAs(naming);
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
