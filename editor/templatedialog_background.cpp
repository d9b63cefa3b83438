#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/boxfaceitem.h"
#include "editor/templateruler.h"
#include "items/qwgraphicsview.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGraphicsScene>

void TemplateDialog::addBackgroundItem()
{
    auto *item = new BoxFaceItem(background.face(model(), dpi()));
    graphicsScene->addItem(item);
    item->setData(0, QLatin1String(BACKGROUND_ID));
    item->setPos(0, 0);
    item->setZValue(model().faceZ());
}

void TemplateDialog::refreshGraphicsBackground()
{
    const int w = px(model().printWidth);
    const int h = px(model().printHeight);
    items.forget();
    graphicsScene->clear();
    graphicsScene->setBackgroundBrush(Qt::white);
    // Set on every rebuild: the scene is the label, never the extent of its
    // items.
    graphicsScene->setSceneRect(0, 0, w, h);
    addBackgroundItem();
    graphicsView->setSceneRect(0, 0, w, h);
    horizontalRuler->setMM(model().printWidth);
    verticalRuler->setMM(model().printHeight);
    initView();
    showElement(QString());
    on_wheelModified(0);
}

QString TemplateDialog::picturePath(const QString &fileName) const
{
    return FileUtil::getFilePathFromCustomPixmap(fileName);
}

void TemplateDialog::bookDroppedBackground(const QString &text)
{
    const QString dropped = PictureFileBook::customBackground(model().background);
    if (!dropped.isEmpty() && model().background != text)
        recordImgOperate(IMG_REMOVED, picturePath(dropped));
}

void TemplateDialog::setBackground(const QString &text)
{
    bookDroppedBackground(text);
    doc.setBackground(text);
}

void TemplateDialog::on_btn_diy_bg_clicked()
{
    const QString source = askPictureFile();
    if (source.isEmpty())
        return;
    // QFile::copy has finished when it returns: one look at the copy tells
    // whether it is whole.
    const QString name = FileUtil::copyPictureFile(source);
    const QString copy = picturePath(name);
    if (name.isEmpty() || QFileInfo(copy).size() != QFileInfo(source).size()) {
        if (!copy.isEmpty())
            deleteImageFile(copy);
        TextUtil::showError(QStringLiteral("背景图片复制失败"));
        return;
    }
    recordImgOperate(IMG_ADDED, copy);
    setBackground(QLatin1String(BACKGROUND_OUT_PREFIX) + name);
}

// The scene is rebuilt from the document, its box face with it.
void TemplateDialog::on_btn_bg_clear_clicked()
{
    setBackground(QString());
}

void TemplateDialog::recordImgOperate(IMG_OPT opt, QString path)
{
    if (opt == IMG_ADDED)
        pictureBook.recordAdded(path);
    else if (opt == IMG_REMOVED)
        pictureBook.recordRemoved(path);
}

void TemplateDialog::processRecordImg(bool saved)
{
    pictureBook.settle(saved ? &model() : nullptr);
}

void TemplateDialog::deleteImageFile(QString path)
{
    PictureFileBook::deleteFile(path);
}

void TemplateDialog::closeEvent(QCloseEvent *event)
{
    processRecordImg(false);
    emit dialogClosed();
    QWidget::closeEvent(event);
}
