#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "items/barcode.h"

#include <QPointer>
#include <QScopedValueRollback>

namespace {

// The fields QR codes and barcodes share.
struct CodeFields {
    QString title;
    QString content;
    bool fixed = false;
};

CodeFields codeFields(const GraphicsModel &m)
{
    if (m.type == ELEMENT_QRCODE) {
        const auto &qr = static_cast<const QrcodeModel &>(m);
        return {qr.title, qr.content, qr.fixed};
    }
    const auto &bar = static_cast<const BarcodeModel &>(m);
    return {bar.title, bar.content, bar.fixed};
}

} // namespace

void TemplateDialog::connectPicutreProperty() { connectGeometry(ELEMENT_PICTURE); }

void TemplateDialog::connectQrcodeProperty()
{
    connectGeometry(ELEMENT_QRCODE);
    connectCodeContent(ELEMENT_QRCODE);
}

void TemplateDialog::connectBarcodeProperty()
{
    connectGeometry(ELEMENT_BARCODE);
    connectCodeContent(ELEMENT_BARCODE);
}

void TemplateDialog::fillCodePage(const QString &id, int type)
{
    const QScopedValueRollback<bool> guard(filling, true);
    const GraphicsModel *m = doc.element(id);
    if (!m || m->type != type)
        return;
    showGeometry(type, *m);
    if (type == ELEMENT_PICTURE)
        return;
    const CodeFields fields = codeFields(*m);
    const bool qr = type == ELEMENT_QRCODE;
    QTextEdit *content = qr ? ui->edit_qrcode : ui->edit_barcode;
    // Set again only when it differs: setting it moves the cursor of whoever types.
    if (content->toPlainText() != fields.content)
        content->setPlainText(fields.content);
    QLineEdit *title = qr ? ui->edit_qrcode_title : ui->edit_barcode_title;
    if (title->text() != fields.title)
        title->setText(fields.title);
    (qr ? ui->box_qrcode_fixed : ui->box_barcode_fixed)->setChecked(fields.fixed);
}

void TemplateDialog::connectCodeContent(int type)
{
    const bool qr = type == ELEMENT_QRCODE;
    QTextEdit *content = qr ? ui->edit_qrcode : ui->edit_barcode;
    QLineEdit *title = qr ? ui->edit_qrcode_title : ui->edit_barcode_title;
    QCheckBox *fixed = qr ? ui->box_qrcode_fixed : ui->box_barcode_fixed;
    connect(content, &QTextEdit::textChanged, this, [this, type, content] {
        if (!filling)
            changeCodeContent(type, content->toPlainText());
    });
    connect(title, &QLineEdit::editingFinished, this, [this, type, title] {
        if (const GraphicsModel *m = currentElement(type))
            doc.set({m->id}, TemplateDocument::Field::Title, title->text());
    });
    connect(fixed, &QCheckBox::clicked, this, [this, type, fixed] {
        if (const GraphicsModel *m = currentElement(type))
            doc.set({m->id}, TemplateDocument::Field::Fixed, fixed->isChecked());
    });
}

void TemplateDialog::changeCodeContent(int type, const QString &content)
{
    const GraphicsModel *m = currentElement(type);
    if (!m)
        return;
    const QString id = m->id;
    if (type == ELEMENT_BARCODE && !content.isEmpty()) {
        // Where the text is typed, a rejected one is reported in a box; the
        // editor answers events meanwhile, so nothing found before is trusted.
        const QPointer<TemplateDialog> alive(this);
        BarCode(BarCode::RejectNotice::MessageBox).process128BCode(content);
        if (!alive)
            return;
    }
    doc.set({id}, TemplateDocument::Field::Content, content);
}
