#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "items/qwgraphicsview.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QScopedValueRollback>

namespace {

QString noPreset()
{
    return QStringLiteral("不选择");
}

} // namespace

// ---- Which element the pages show --------------------------------------------

void TemplateDialog::updateToolView(QString id, int type)
{
    const QScopedValueRollback<bool> guard(filling, true);
    if (id.isEmpty()) {
        ui->stackedWidget->setCurrentWidget(ui->page_base_set);
        ui->edit_print_width->setValue(int(model().printWidth));
        ui->edit_print_height->setValue(int(model().printHeight));
        ui->edit_back_length->setValue(int(model().backLength));
        ui->edit_fold_length->setValue(int(model().foldLength));
        ui->box_full_print->setChecked(model().full);
        showPresetOfBackground();
        return;
    }
    switch (type) {
    case ELEMENT_TEXT:
        fillTextPage(id);
        break;
    case ELEMENT_PICTURE:
    case ELEMENT_QRCODE:
    case ELEMENT_BARCODE:
        fillCodePage(id, type);
        break;
    default:
        if (const GraphicsModel *m = doc.element(id))
            showGeometry(type, *m);
        break;
    }
}

void TemplateDialog::showElement(const QString &id)
{
    // What was typed for the element shown so far reaches it first: the
    // mouse may turn the page while a box is still being typed in.
    if (id != currentId) {
        const QList<const QWidget *> typed = typedEdits.keys();
        for (const QWidget *box : typed)
            finishTypedEdit(box);
    }
    const GraphicsModel *m = doc.element(id);
    currentId = m ? id : QString();
    const int type = m ? m->type : 0;
    ui->stackedWidget->setCurrentWidget(pageOf(type));
    updateToolView(currentId, type);
}

void TemplateDialog::followSelection()
{
    const QStringList selected = items.selectedIds();
    if (!selected.isEmpty() && !selected.contains(currentId))
        showElement(selected.first());
}

void TemplateDialog::documentChanged(const QStringList &ids)
{
    items.follow(ids);
    if (!currentId.isEmpty() && ids.contains(currentId)) {
        if (const GraphicsModel *m = doc.element(currentId))
            updateToolView(currentId, m->type);
        else
            showElement(QString());
    }
    graphicsView->viewport()->update();
}

const GraphicsModel *TemplateDialog::currentElement(int type) const
{
    const GraphicsModel *m = doc.element(currentId);
    return m && m->type == type ? m : nullptr;
}

QList<QMetaObject::Connection> TemplateDialog::onBoxEdit(QAbstractSpinBox *box, const std::function<void(double)> &apply)
{
    QList<QMetaObject::Connection> made;
    const auto touched = [this, box, apply] {
        if (!filling)
            typedEdits.insert(box, [box, apply] { apply(box->property("value").toDouble()); });
    };
    if (auto *real = qobject_cast<QDoubleSpinBox *>(box))
        made << connect(real, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, touched);
    else if (auto *whole = qobject_cast<QSpinBox *>(box))
        made << connect(whole, QOverload<int>::of(&QSpinBox::valueChanged), this, touched);
    made << connect(box, &QAbstractSpinBox::editingFinished, this, [this, box] { finishTypedEdit(box); });
    return made;
}

void TemplateDialog::finishTypedEdit(const QWidget *box)
{
    if (const std::function<void()> apply = typedEdits.take(box))
        apply();
}

// ---- Base page ------------------------------------------------------------------

void TemplateDialog::showPresetOfBackground()
{
    // Shown by program: choosing an entry here must not apply its preset.
    const QSignalBlocker blocker(ui->box_backgroundImg);
    int index = 0;
    const QList<TemplateModel> presets = JsonUtil::parseTemplateList(true, false);
    for (int i = 0; i < presets.size(); ++i) {
        if (presets.at(i).background == model().background)
            index = ui->box_backgroundImg->findText(presets.at(i).name);
    }
    ui->box_backgroundImg->setCurrentIndex(qMax(index, 0));
}

void TemplateDialog::connectViewProperty()
{
    {
        const QSignalBlocker blocker(ui->box_backgroundImg);
        ui->box_backgroundImg->clear();
        ui->box_backgroundImg->addItem(noPreset());
        const QList<TemplateModel> presets = JsonUtil::parseTemplateList(true, false);
        for (const TemplateModel &preset : presets)
            ui->box_backgroundImg->addItem(preset.name);
    }
    showPresetOfBackground();

    connect(ui->box_backgroundImg, &QComboBox::currentTextChanged, this, &TemplateDialog::choosePresetBackground);
    onBoxEdit(ui->edit_print_width, [this](double mm) { doc.setLabelSize(Qt::Horizontal, float(mm)); });
    onBoxEdit(ui->edit_print_height, [this](double mm) { doc.setLabelSize(Qt::Vertical, float(mm)); });
    onBoxEdit(ui->edit_back_length, [this](double mm) { doc.setSpineWidth(float(mm)); });
    onBoxEdit(ui->edit_fold_length, [this](double mm) { doc.setFoldWidth(float(mm)); });
    connect(ui->box_full_print, &QCheckBox::stateChanged, this, [this](int state) {
        if (!filling)
            doc.setFull(state > 0);
    });
}

void TemplateDialog::takeSizeBoxes()
{
    // Only what the user typed: a box may show a size it cannot hold (past
    // its range, or with fractions), and a save changes nothing of that.
    for (const QWidget *box : {ui->edit_print_width, ui->edit_print_height, ui->edit_back_length, ui->edit_fold_length})
        finishTypedEdit(box);
}

void TemplateDialog::choosePresetBackground(const QString &name)
{
    if (name == noPreset()) {
        setBackground(QString());
        return;
    }
    const QList<TemplateModel> presets = JsonUtil::parseTemplateList(true, false);
    for (const TemplateModel &preset : presets) {
        if (preset.name == name) {
            // One edit, so the scene is rebuilt once.
            bookDroppedBackground(preset.background);
            doc.applyPreset(preset);
            return;
        }
    }
}

// ---- Element pages -----------------------------------------------------------------

TemplateDialog::PageBoxes TemplateDialog::pageBoxes(int type) const
{
    switch (type) {
    case ELEMENT_RECTANGLE:
        return {ui->edit_rect_x,     ui->edit_rect_y,          ui->edit_rect_width,
                ui->edit_rect_height, ui->edit_rect_bordline_px, ui->edit_rect_bordline_mm};
    case ELEMENT_LINE:
        return {ui->edit_line_x,      ui->edit_line_y,       ui->edit_line_width,
                ui->edit_line_height, ui->edit_line_bord_px, ui->edit_line_bord_mm};
    case ELEMENT_CIRCLE:
        return {ui->edit_circle_x,      ui->edit_circle_y,       ui->edit_circle_width,
                ui->edit_circle_height, ui->edit_circle_bord_px, ui->edit_circle_bord_mm};
    case ELEMENT_RECT_BG:
        return {ui->edit_rect_bg_x, ui->edit_rect_bg_y, ui->edit_rect_bg_width, ui->edit_rect_bg_height};
    case ELEMENT_PICTURE:
        return {ui->edit_pix_x, ui->edit_pix_y, ui->edit_pix_width, ui->edit_pix_height};
    case ELEMENT_QRCODE:
        return {ui->edit_qrc_x, ui->edit_qrc_y, ui->edit_qrc_width, ui->edit_qrc_height};
    case ELEMENT_BARCODE:
        return {ui->edit_brc_x, ui->edit_brc_y, ui->edit_brc_width, ui->edit_brc_height};
    default:
        return {};
    }
}

void TemplateDialog::showGeometry(int type, const GraphicsModel &m)
{
    const PageBoxes boxes = pageBoxes(type);
    if (!boxes.x)
        return;
    boxes.x->setValue(m.startX);
    boxes.y->setValue(m.startY);
    boxes.width->setValue(m.width);
    boxes.height->setValue(m.height);
    if (boxes.borderPx) {
        boxes.borderMm->setValue(m.border);
        boxes.borderPx->setValue(px(m.border));
    }
}

// A page's boxes edit the element the page shows, selected or not.
void TemplateDialog::connectGeometry(int type)
{
    const PageBoxes boxes = pageBoxes(type);
    const auto onEdit = [this, type](QDoubleSpinBox *box, auto apply) {
        onBoxEdit(box, [this, type, apply](double value) {
            if (const GraphicsModel *m = currentElement(type)) {
                apply(m->id, float(value));
                // The box shows what the document made of it, held on the label.
                updateToolView(currentId, type);
            }
        });
    };
    onEdit(boxes.x, [this](const QString &id, float mm) { doc.setStart(id, Qt::Horizontal, mm); });
    onEdit(boxes.y, [this](const QString &id, float mm) { doc.setStart(id, Qt::Vertical, mm); });
    onEdit(boxes.width, [this](const QString &id, float mm) { doc.setSize(id, Qt::Horizontal, mm); });
    onEdit(boxes.height, [this](const QString &id, float mm) { doc.setSize(id, Qt::Vertical, mm); });
    if (!boxes.borderPx)
        return;
    onEdit(boxes.borderPx, [this](const QString &id, float pixels) {
        doc.set({id}, TemplateDocument::Field::Border, TextUtil::px2mm(int(pixels), dpi()));
    });
    onEdit(boxes.borderMm, [this](const QString &id, float mm) { doc.set({id}, TemplateDocument::Field::Border, mm); });
}

void TemplateDialog::connectRectProperty() { connectGeometry(ELEMENT_RECTANGLE); }
void TemplateDialog::connectRectBgProperty() { connectGeometry(ELEMENT_RECT_BG); }
void TemplateDialog::connectLineProperty() { connectGeometry(ELEMENT_LINE); }
void TemplateDialog::connectCircleProperty() { connectGeometry(ELEMENT_CIRCLE); }
