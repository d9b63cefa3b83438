#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/defaulttitle.h"
#include "editor/iconsizeproxystyle.h"
#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/textutil.h"

#include <QAction>
#include <QGraphicsScene>
#include <QMenu>
#include <QRandomGenerator>
#include <QtDebug>

#include <algorithm>
#include <type_traits>

namespace {

// Copies of several elements keep their layout, each shifted by up to this
// many whole millimetres (exclusive) so they do not hide their sources.
constexpr int PASTE_SCATTER_MM = 5;

QIcon checkedIcon(bool checked)
{
    return checked ? QIcon(QStringLiteral(":/resources/icon/ac_checked.png")) : QIcon();
}

QString idOf(const QGraphicsItem *item)
{
    return item->data(0).toString();
}

QString copyPrefix(const QString &title)
{
    return title + QStringLiteral(" - 副本");
}

template <typename M>
void appendTitles(QStringList &titles, const QList<M> &list)
{
    for (const M &m : list)
        titles << m.title;
}

} // namespace

void TemplateDialog::initGraphicsViewMenu()
{
    graphicsViewMenu = new QMenu(this);
    graphicsViewMenu->setObjectName(QStringLiteral("graphicsViewMenu"));
    graphicsViewMenu->setStyle(IconSizeProxyStyle::shared());

    const auto add = [this](const char *name, const QString &text, const char *icon) {
        QAction *action = graphicsViewMenu->addAction(text);
        action->setObjectName(QLatin1String(name));
        if (icon)
            action->setIcon(QIcon(QLatin1String(icon)));
        return action;
    };
    actionViewLock = add("actionViewLock", tr("视图锁定"), nullptr);
    actionViewLock->setCheckable(true);
    actionViewLock->setChecked(templateModel.lockstate);
    actionViewLock->setIcon(checkedIcon(templateModel.lockstate));
    actionPositionLock = add("actionPositionLock", tr("位置锁定"), nullptr);
    actionPositionLock->setCheckable(true);
    graphicsViewMenu->addSeparator();
    actionCopy = add("actionCopy", tr("复制"), ":/resources/icon/ac_copy.png");
    actionPaste = add("actionPaste", tr("粘贴"), ":/resources/icon/ac_paste.png");
    actionDelete = add("actionDelete", tr("删除"), ":/resources/icon/ac_delete.png");
    graphicsViewMenu->addSeparator();
    actionToTop = add("actionToTop", tr("置顶"), ":/resources/icon/ac_to_top.png");
    actionToBottom = add("actionToBottom", tr("置底"), ":/resources/icon/ac_to_bottom.png");

    connect(actionViewLock, &QAction::triggered, this, &TemplateDialog::setViewLock);
    connect(actionPositionLock, &QAction::triggered, this, &TemplateDialog::setPositionLock);
    connect(actionCopy, &QAction::triggered, this, &TemplateDialog::operateCopy);
    connect(actionPaste, &QAction::triggered, this, &TemplateDialog::operatePaste);
    connect(actionDelete, &QAction::triggered, this, &TemplateDialog::operateDelete);
    connect(actionToTop, &QAction::triggered, this, &TemplateDialog::bringToTop);
    connect(actionToBottom, &QAction::triggered, this, &TemplateDialog::sendToBottom);
}

void TemplateDialog::on_mouseRightClicked(QPoint point)
{
    updateGraphicsViewMenu();
    rightClickPoint = point;
    graphicsViewMenu->popup(graphicsView->mapToGlobal(point));
}

void TemplateDialog::updateGraphicsViewMenu()
{
    const bool locked = templateModel.lockstate;
    actionViewLock->setChecked(locked);
    actionViewLock->setIcon(checkedIcon(locked));
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QAction *action : {actionPositionLock, actionCopy, actionDelete, actionToTop, actionToBottom}) {
        action->setVisible(!selected.isEmpty());
        // A locked view edits nothing; the menu only offers to unlock it.
        action->setEnabled(!locked);
    }
    if (!selected.isEmpty()) {
        const auto *first = static_cast<const BaseItem *>(selected.first());
        actionPositionLock->setChecked(first->getLockState());
        actionPositionLock->setIcon(checkedIcon(first->getLockState()));
    }
    actionPaste->setEnabled(!locked && !copyIds.isEmpty());
}

void TemplateDialog::setViewLock(bool checked)
{
    qDebug() << "acLockView:" << checked << actionViewLock->isChecked();
    applyLockState(checked);
    actionViewLock->setIcon(checkedIcon(checked));
    templateModel.lockstate = checked;
}

void TemplateDialog::setPositionLock(bool checked)
{
    actionPositionLock->setIcon(checkedIcon(checked));
    QStringList ids;
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        ids << idOf(item);
        static_cast<BaseItem *>(item)->setLockState(checked);
    }
    templateModel.forEachElementList([&ids, checked](auto &list) {
        for (auto &m : list) {
            if (ids.contains(m.id))
                m.lockstate = checked;
        }
    });
}

void TemplateDialog::operateCopy()
{
    copyIds.clear();
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (const QGraphicsItem *item : selected)
        copyIds << idOf(item);
}

void TemplateDialog::operatePaste()
{
    const QStringList ids = copyIds;
    graphicsScene->clearSelection();
    const QPointF at = graphicsView->mapToScene(rightClickPoint);
    const QPointF atMm(TextUtil::px2mm(int(at.x()), dpi()), TextUtil::px2mm(int(at.y()), dpi()));
    pasteFrom(templateModel.rectangleModels, ids, atMm);
    pasteFrom(templateModel.lineModels, ids, atMm);
    pasteFrom(templateModel.circleModels, ids, atMm);
    pasteFrom(templateModel.textModels, ids, atMm);
    pasteFrom(templateModel.pictureModels, ids, atMm);
    pasteFrom(templateModel.qrcodeModels, ids, atMm);
    pasteFrom(templateModel.rectBgModels, ids, atMm);
    pasteFrom(templateModel.barcodeModels, ids, atMm);
}

// A copy is its source in every property, so it lays out and prints alike;
// only its id, place, stacking, position lock and title are its own.
template <typename M>
void TemplateDialog::pasteFrom(QList<M> &list, const QStringList &ids, const QPointF &at)
{
    const int sources = list.size();
    for (int i = 0; i < sources; ++i) {
        if (!ids.contains(list.at(i).id))
            continue;
        M copy = list.at(i);
        copy.id = TextUtil::generateId();
        if (ids.size() == 1) {
            copy.startX = float(at.x());
            copy.startY = float(at.y());
        } else {
            copy.startX += float(QRandomGenerator::global()->bounded(PASTE_SCATTER_MM));
            copy.startY += float(QRandomGenerator::global()->bounded(PASTE_SCATTER_MM));
        }
        copy.viewZ = 0;
        copy.lockstate = false;
        if constexpr (std::is_same_v<M, TextModel>)
            copy.textTitle = pastedTitle(copy.textTitle, false);
        else if constexpr (std::is_same_v<M, QrcodeModel> || std::is_same_v<M, BarcodeModel>)
            copy.title = pastedTitle(copy.title, true);
        list.append(copy);
        BaseItem *item = createItem(list.last());
        addElementItem(item, list.last());
        item->setSelected(true);
        currentId = copy.id;
        updateToolView(copy.id, copy.type);
    }
}

// A text copy avoids the titles of texts; a code copy those of texts and
// codes alike, so two copies of one code never share a title.
QString TemplateDialog::pastedTitle(const QString &source, bool code) const
{
    QStringList taken;
    for (const TextModel &m : templateModel.textModels)
        taken << m.textTitle;
    if (code) {
        appendTitles(taken, templateModel.qrcodeModels);
        appendTitles(taken, templateModel.barcodeModels);
    }
    return DefaultTitle::firstFree(copyPrefix(source), taken, taken.size());
}

void TemplateDialog::operateDelete()
{
    QStringList ids;
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        ids << idOf(item);
        graphicsScene->removeItem(item);
        delete item;
    }
    for (const PictureModel &m : qAsConst(templateModel.pictureModels)) {
        if (ids.contains(m.id))
            recordImgOperate(IMG_REMOVED, picturePath(m.fileName));
    }
    templateModel.forEachElementList([&ids](auto &list) {
        list.erase(std::remove_if(list.begin(), list.end(), [&ids](const auto &m) { return ids.contains(m.id); }),
                   list.end());
    });
}

BaseItem *TemplateDialog::stackingChoice() const
{
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (idOf(item) == currentId)
            return static_cast<BaseItem *>(item);
    }
    return nullptr;
}

void TemplateDialog::bringToTop()
{
    if (BaseItem *chosen = stackingChoice())
        collideToZero(chosen, chosen->zValue() + 1);
}

void TemplateDialog::sendToBottom()
{
    if (BaseItem *chosen = stackingChoice())
        collideToZero(chosen, -1);
}

void TemplateDialog::collideToZero(BaseItem *chosen, qreal z)
{
    QStringList collided;
    const QList<QGraphicsItem *> others = graphicsScene->collidingItems(chosen, Qt::IntersectsItemBoundingRect);
    for (QGraphicsItem *other : others) {
        const QString id = idOf(other);
        qDebug() << "collideItem's id is " << id;
        if (id == QLatin1String(BACKGROUND_ID)) {
            other->setZValue(BACKGROUND_Z);
        } else {
            other->setZValue(0);
            collided << id;
        }
    }
    chosen->setZValue(z);
    updateZValue2Model(chosen, collided);
    graphicsScene->update(graphicsScene->sceneRect());
    graphicsView->viewport()->update();
}

void TemplateDialog::updateZValue2Model(QGraphicsItem *item, QStringList collidedIds)
{
    const QString id = idOf(item);
    const int z = int(item->zValue());
    templateModel.forEachElementList([&](auto &list) {
        for (auto &m : list) {
            if (m.id == id)
                m.viewZ = z;
            else if (collidedIds.contains(m.id))
                m.viewZ = 0;
        }
    });
}
