#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
#include "util/textutil.h"

#include <QGraphicsScene>
#include <QKeyEvent>

namespace {

constexpr float NUDGE_MM = 1.0f;

// Millimetres are rewritten from pixels only where the pixels changed, so
// selecting or hovering leaves stored values as they are: 20 mm is 76
// pixels at 96 dpi, which would read back as 20.11 mm.
void keepPixels(float &mm, int pixels, int dpi)
{
    if (pixels != TextUtil::mm2px(mm, dpi))
        mm = TextUtil::px2mm(pixels, dpi);
}

} // namespace

bool TemplateDialog::isTextItem(const QGraphicsItem *item)
{
    return item->type() == RichTextItem::Type;
}

GraphicsModel *TemplateDialog::elementModel(const QString &id)
{
    GraphicsModel *found = nullptr;
    templateModel.forEachElementList([&found, &id](auto &list) {
        for (auto &m : list) {
            if (!found && m.id == id)
                found = &m;
        }
    });
    return found;
}

void TemplateDialog::on_mouseMovePoint(QPoint)
{
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    if (selected.isEmpty())
        return;
    int texts = 0;
    for (QGraphicsItem *item : selected) {
        if (GraphicsModel *m = elementModel(item->data(0).toString())) {
            keepPixels(m->startX, int(item->x()), dpi());
            keepPixels(m->startY, int(item->y()), dpi());
        }
        if (item->data(1).toInt() == ELEMENT_TEXT)
            ++texts;
    }
    if (texts > 0)
        ui->stackedWidget->setCurrentWidget(ui->page_add_font);
    if (texts > 1)
        setTextSelectMode(false);
}

void TemplateDialog::on_mouseRelease(QPoint)
{
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        GraphicsModel *m = elementModel(item->data(0).toString());
        if (!m)
            continue;
        const QRectF r = item->boundingRect();
        keepPixels(m->width, int(r.width()), dpi());
        keepPixels(m->height, int(r.height()), dpi());
        keepPixels(m->startX, int(item->x()), dpi());
        keepPixels(m->startY, int(item->y()), dpi());
        if (TextModel *text = m->type == ELEMENT_TEXT ? textModel(m->id) : nullptr) {
            const auto *base = static_cast<const BaseItem *>(item);
            text->scaleX = base->getElementScaleX();
            text->scaleY = base->getElementScaleY();
        }
        updateToolView(m->id, m->type);
    }
    // One element left selected, however it was chosen (a rubber band, a
    // Ctrl-click that dropped the others): the page shows it and edits it.
    if (selected.size() == 1) {
        if (const GraphicsModel *m = elementModel(selected.first()->data(0).toString())) {
            currentId = m->id;
            ui->stackedWidget->setCurrentWidget(pageOf(m->type));
        }
    }
}

void TemplateDialog::on_keyPress(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() == Qt::ControlModifier;
    const int key = event->key();
    if (ctrl && key == Qt::Key_A) {
        if (templateModel.lockstate)
            return;
        QString firstText;
        const QList<QGraphicsItem *> items = graphicsScene->items(Qt::DescendingOrder);
        for (QGraphicsItem *item : items) {
            item->setSelected(true);
            if (firstText.isEmpty() && isTextItem(item))
                firstText = item->data(0).toString();
        }
        updateToolView(firstText, ELEMENT_TEXT);
        return;
    }
    if (ctrl && key == Qt::Key_S) {
        on_btn_save_template_clicked();
        return;
    }
    // A locked view edits nothing, whatever was selected before the lock.
    if (templateModel.lockstate || graphicsScene->selectedItems().isEmpty())
        return;
    switch (key) {
    case Qt::Key_Delete:
        operateDelete();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        nudgeSelection(key);
        break;
    case Qt::Key_B:
    case Qt::Key_I:
        if (ctrl)
            toggleTextStyle(key);
        break;
    default:
        break;
    }
}

void TemplateDialog::nudgeSelection(int key)
{
    const bool horizontal = key == Qt::Key_Left || key == Qt::Key_Right;
    const float step = key == Qt::Key_Left || key == Qt::Key_Up ? -NUDGE_MM : NUDGE_MM;
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        auto *base = static_cast<BaseItem *>(item);
        if (base->getLockState())
            continue;
        const QString id = item->data(0).toString();
        GraphicsModel *m = elementModel(id);
        if (m && isTextItem(item)) {
            moveElement(base, *m, horizontal ? Qt::Horizontal : Qt::Vertical,
                        (horizontal ? m->startX : m->startY) + step);
        }
        updateToolView(id, item->data(1).toInt());
        graphicsView->viewport()->update();
    }
}

void TemplateDialog::moveElement(BaseItem *item, GraphicsModel &m, Qt::Orientation axis, float mm)
{
    const int target = px(mm);
    QPointF place = item->pos();
    if (axis == Qt::Horizontal)
        place.setX(target);
    else
        place.setY(target);
    // Locked items do not clamp themselves when moved by program.
    item->setPos(item->clampedPosition(place));
    const int reached = int(axis == Qt::Horizontal ? item->x() : item->y());
    float &stored = axis == Qt::Horizontal ? m.startX : m.startY;
    if (reached == target)
        stored = mm;
    else
        keepPixels(stored, reached, dpi());
}

void TemplateDialog::toggleTextStyle(int key)
{
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (!isTextItem(item))
            continue;
        TextModel *m = textModel(item->data(0).toString());
        if (!m)
            continue;
        auto *text = static_cast<RichTextItem *>(item);
        if (key == Qt::Key_B) {
            m->bold = !m->bold;
            updateToolView(m->id, m->type);
            text->setBold();
        } else {
            m->italic = !m->italic;
            updateToolView(m->id, m->type);
            text->setItalic();
        }
        graphicsView->viewport()->update();
    }
}
