#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/iconsizeproxystyle.h"
#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/textutil.h"

#include <QAction>
#include <QGraphicsScene>
#include <QMenu>
#include <QtDebug>

namespace {

QIcon checkedIcon(bool checked)
{
    return checked ? QIcon(QStringLiteral(":/resources/icon/ac_checked.png")) : QIcon();
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
    actionViewLock->setChecked(model().lockstate);
    actionViewLock->setIcon(checkedIcon(model().lockstate));
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
    const bool locked = model().lockstate;
    actionViewLock->setChecked(locked);
    actionViewLock->setIcon(checkedIcon(locked));
    const QStringList selected = items.selectedIds();
    for (QAction *action : {actionPositionLock, actionCopy, actionDelete, actionToTop, actionToBottom}) {
        action->setVisible(!selected.isEmpty());
        // A locked view edits nothing; the menu only offers to unlock it.
        action->setEnabled(!locked);
    }
    if (!selected.isEmpty()) {
        const bool first = doc.element(selected.first())->lockstate;
        actionPositionLock->setChecked(first);
        actionPositionLock->setIcon(checkedIcon(first));
    }
    actionPaste->setEnabled(!locked && !copyIds.isEmpty());
}

void TemplateDialog::setViewLock(bool checked)
{
    qDebug() << "acLockView:" << checked << actionViewLock->isChecked();
    applyLockState(checked);
    actionViewLock->setIcon(checkedIcon(checked));
    doc.setViewLock(checked);
}

void TemplateDialog::setPositionLock(bool checked)
{
    actionPositionLock->setIcon(checkedIcon(checked));
    doc.set(items.selectedIds(), TemplateDocument::Field::Locked, checked);
}

void TemplateDialog::operateCopy()
{
    copyIds = items.selectedIds();
}

void TemplateDialog::operatePaste()
{
    graphicsScene->clearSelection();
    // One copy goes where the menu was opened; several keep their layout.
    std::optional<QPointF> at;
    if (copyIds.size() == 1) {
        const QPointF p = graphicsView->mapToScene(rightClickPoint);
        at = QPointF(TextUtil::px2mm(int(p.x()), dpi()), TextUtil::px2mm(int(p.y()), dpi()));
    }
    const QStringList made = doc.paste(copyIds, at);
    for (const QString &id : made)
        items.item(id)->setSelected(true);
    if (!made.isEmpty())
        showElement(made.last());
}

void TemplateDialog::operateDelete()
{
    const QStringList files = doc.remove(items.selectedIds());
    for (const QString &file : files)
        recordImgOperate(IMG_REMOVED, picturePath(file));
}

QString TemplateDialog::stackingChoice() const
{
    return items.selectedIds().contains(currentId) ? currentId : QString();
}

void TemplateDialog::bringToTop()
{
    doc.raise(stackingChoice());
}

void TemplateDialog::sendToBottom()
{
    doc.lower(stackingChoice());
}
