#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "items/pixmapitem.h"
#include "items/qwgraphicsview.h"
#include "util/fileutil.h"

#include <QPointer>
#include <QtDebug>

#include <memory>

namespace {

// The fields QR codes and barcodes share; all null for no model.
struct CodeFields {
    QString *title = nullptr;
    QString *content = nullptr;
    bool *fixed = nullptr;
};

CodeFields codeFields(GraphicsModel *m)
{
    if (m && m->type == ELEMENT_QRCODE) {
        auto *qr = static_cast<QrcodeModel *>(m);
        return {&qr->title, &qr->content, &qr->fixed};
    }
    if (m && m->type == ELEMENT_BARCODE) {
        auto *bar = static_cast<BarcodeModel *>(m);
        return {&bar->title, &bar->content, &bar->fixed};
    }
    return {};
}

QString codeContent(const GraphicsModel &m)
{
    if (m.type == ELEMENT_QRCODE)
        return static_cast<const QrcodeModel &>(m).content;
    return static_cast<const BarcodeModel &>(m).content;
}

// What a maker made, owned here; null when it made nothing usable.
QPixmap taken(QPixmap *made)
{
    const std::unique_ptr<QPixmap> owned(made);
    return owned ? *owned : QPixmap();
}

QPixmap codePicture(int type, const QString &content, BarCode::RejectNotice notice)
{
    if (type == ELEMENT_QRCODE)
        return taken(FileUtil::getQrCodePixmap(content));
    return taken(FileUtil::getBarCodePixmap(content, notice));
}

void showPicture(BaseItem *item, const QPixmap &picture, int width, int height)
{
    static_cast<PixmapItem *>(item)->setPixmap(
        picture.isNull() ? QPixmap() : picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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
    GraphicsModel *m = elementModel(id, type);
    if (!m)
        return;
    showGeometry(type, *m);
    const CodeFields fields = codeFields(m);
    if (!fields.content)
        return;
    const bool qr = type == ELEMENT_QRCODE;
    QTextEdit *content = qr ? ui->edit_qrcode : ui->edit_barcode;
    // Filling the box is no edit: it must not write this content into
    // whichever element the page showed before.
    const QSignalBlocker blocker(content);
    content->setPlainText(*fields.content);
    (qr ? ui->edit_qrcode_title : ui->edit_barcode_title)->setText(*fields.title);
    (qr ? ui->box_qrcode_fixed : ui->box_barcode_fixed)->setChecked(*fields.fixed);
}

void TemplateDialog::connectCodeContent(int type)
{
    const bool qr = type == ELEMENT_QRCODE;
    QTextEdit *content = qr ? ui->edit_qrcode : ui->edit_barcode;
    QLineEdit *title = qr ? ui->edit_qrcode_title : ui->edit_barcode_title;
    QCheckBox *fixed = qr ? ui->box_qrcode_fixed : ui->box_barcode_fixed;
    connect(content, &QTextEdit::textChanged, this, [this, type, content] {
        changeCodeContent(type, content->toPlainText());
    });
    connect(title, &QLineEdit::editingFinished, this, [this, type, title] {
        const CodeFields fields = codeFields(elementModel(currentId, type));
        if (fields.title) {
            *fields.title = title->text();
            if (BaseItem *item = elementItem(currentId, type))
                item->setData(2, *fields.title);
        }
        graphicsView->viewport()->update();
    });
    connect(fixed, &QCheckBox::clicked, this, [this, type, fixed] {
        if (bool *flag = codeFields(elementModel(currentId, type)).fixed)
            *flag = fixed->isChecked();
        graphicsView->viewport()->update();
    });
}

void TemplateDialog::changeCodeContent(int type, const QString &content)
{
    // A rejected barcode text shows its message box here, and the editor
    // answers events meanwhile: nothing found before it is trusted after it.
    const QPointer<TemplateDialog> alive(this);
    const QPixmap picture = content.isEmpty() ? QPixmap() : codePicture(type, content, BarCode::RejectNotice::MessageBox);
    if (!alive)
        return;
    GraphicsModel *m = elementModel(currentId, type);
    if (!m) {
        graphicsView->viewport()->update();
        return;
    }
    *codeFields(m).content = content;
    BaseItem *item = elementItem(currentId, type);
    if (!item)
        return;
    // An emptied code shows nothing; a text that makes no code keeps the old one.
    if (!content.isEmpty() && picture.isNull()) {
        qWarning().noquote() << (type == ELEMENT_QRCODE ? QStringLiteral("生成二维码失败") : QStringLiteral("生成条形码失败"))
                             << content;
        return;
    }
    showPicture(item, picture, px(m->width), px(m->height));
    graphicsView->viewport()->update();
}

void TemplateDialog::remakeElementPicture(BaseItem *item, const GraphicsModel &m) const
{
    QPixmap picture;
    if (m.type == ELEMENT_PICTURE) {
        picture = taken(FileUtil::getPicturePixmap(static_cast<const PictureModel &>(m).fileName, true));
    } else {
        // The content did not change: a rejected one was reported when typed.
        const QString content = codeContent(m);
        if (!content.isEmpty())
            picture = codePicture(m.type, content, BarCode::RejectNotice::LogWarning);
    }
    if (!picture.isNull())
        showPicture(item, picture, px(m.width), px(m.height));
}
