#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/textutil.h"

#include <QGraphicsScene>
#include <QKeyEvent>

namespace {

constexpr float NUDGE_MM = 1.0f;

// Millimetres are taken from pixels only where the pixels changed, so
// selecting or hovering leaves stored values as they are: 20 mm is 76
// pixels at 96 dpi, which would read back as 20.11 mm.
float fromPixels(float mm, qreal pixels, int dpi)
{
    return int(pixels) == TextUtil::mm2px(mm, dpi) ? mm : TextUtil::px2mm(int(pixels), dpi);
}

} // namespace

void TemplateDialog::takeItemGeometry(const QString &id)
{
    const GraphicsModel *m = doc.element(id);
    const BaseItem *item = items.item(id);
    if (!m || !item)
        return;
    const QRectF r = item->boundingRect();
    const QSizeF size(fromPixels(m->width, r.width(), dpi()), fromPixels(m->height, r.height(), dpi()));
    const QPointF start(fromPixels(m->startX, item->x(), dpi()), fromPixels(m->startY, item->y(), dpi()));
    if (float(start.x()) == m->startX && float(start.y()) == m->startY && float(size.width()) == m->width
        && float(size.height()) == m->height)
        return;
    const QRectF held(m->startX, m->startY, m->width, m->height);
    // A handle resizes, a drag moves: never both in one gesture.
    if (float(size.width()) != m->width || float(size.height()) != m->height)
        doc.resize(id, size);
    else
        doc.setGeometry(id, QRectF(start, size));
    // An element that changed has had its item follow it. One held where it
    // was by the label's edge did not change, but its item went past the
    // edge: it goes back.
    const GraphicsModel *now = doc.element(id);
    if (QRectF(now->startX, now->startY, now->width, now->height) == held)
        items.follow({id});
}

void TemplateDialog::on_mouseMovePoint(QPoint)
{
    const QStringList selected = items.selectedIds();
    // Selected texts share the text page, which shows one of them.
    QStringList texts;
    for (const QString &id : selected) {
        takeItemGeometry(id);
        if (doc.text(id))
            texts << id;
    }
    if (texts.isEmpty())
        return;
    if (!texts.contains(currentId))
        showElement(texts.first());
    ui->stackedWidget->setCurrentWidget(ui->page_add_font);
    if (texts.size() > 1)
        setTextSelectMode(false);
}

void TemplateDialog::on_mouseRelease(QPoint)
{
    for (const QString &id : items.selectedIds())
        takeItemGeometry(id);
}

void TemplateDialog::on_keyPress(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() == Qt::ControlModifier;
    const int key = event->key();
    if (ctrl && key == Qt::Key_A) {
        if (model().lockstate)
            return;
        const QList<QGraphicsItem *> all = graphicsScene->items(Qt::DescendingOrder);
        for (QGraphicsItem *item : all)
            item->setSelected(true);
        const QStringList texts = selectedTexts();
        showElement(texts.isEmpty() ? QString() : texts.first());
        return;
    }
    if (ctrl && key == Qt::Key_S) {
        on_btn_save_template_clicked();
        return;
    }
    // A locked view edits nothing, whatever was selected before the lock.
    if (model().lockstate || items.selectedIds().isEmpty())
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
        if (ctrl)
            doc.toggle(selectedTexts(), TemplateDocument::Field::Bold);
        break;
    case Qt::Key_I:
        if (ctrl)
            doc.toggle(selectedTexts(), TemplateDocument::Field::Italic);
        break;
    default:
        break;
    }
}

// Arrows move unlocked texts by a millimetre; other elements stay.
void TemplateDialog::nudgeSelection(int key)
{
    const Qt::Orientation axis = key == Qt::Key_Left || key == Qt::Key_Right ? Qt::Horizontal : Qt::Vertical;
    const float step = key == Qt::Key_Left || key == Qt::Key_Up ? -NUDGE_MM : NUDGE_MM;
    bool unlocked = false;
    for (const QString &id : items.selectedIds()) {
        const GraphicsModel *m = doc.element(id);
        if (m->lockstate)
            continue;
        unlocked = true;
        if (m->type == ELEMENT_TEXT)
            doc.setStart(id, axis, (axis == Qt::Horizontal ? m->startX : m->startY) + step);
    }
    if (unlocked && doc.element(currentId))
        updateToolView(currentId, doc.element(currentId)->type);
}
