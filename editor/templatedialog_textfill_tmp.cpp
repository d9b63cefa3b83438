#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

// Until the text page fills itself, showing it is all there is to do.
void TemplateDialog::fillTextPage(const QString &id)
{
    Q_UNUSED(id)
    ui->stackedWidget->setCurrentWidget(ui->page_add_font);
}
