#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QGraphicsScene>

namespace {

QString noPreset()
{
    return QStringLiteral("不选择");
}

// The size boxes show whole millimetres of a model that may hold fractions:
// a box left as it shows the model's value changes nothing.
bool boxChanged(const QSpinBox *box, float mm)
{
    return box->value() != int(mm);
}

void takeBox(const QSpinBox *box, float &mm)
{
    if (boxChanged(box, mm))
        mm = box->value();
}

} // namespace

void TemplateDialog::updateToolView(QString id, int type)
{
    if (id.isEmpty()) {
        ui->stackedWidget->setCurrentWidget(ui->page_base_set);
        ui->edit_print_width->setValue(int(templateModel.printWidth));
        ui->edit_print_height->setValue(int(templateModel.printHeight));
        ui->edit_back_length->setValue(int(templateModel.backLength));
        ui->edit_fold_length->setValue(int(templateModel.foldLength));
        ui->box_full_print->setChecked(templateModel.full);
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
        if (const GraphicsModel *m = elementModel(id, type))
            showGeometry(type, *m);
        break;
    }
}

void TemplateDialog::showPresetOfBackground()
{
    // Shown by program: choosing an entry here must not apply its preset.
    const QSignalBlocker blocker(ui->box_backgroundImg);
    int index = 0;
    const QList<TemplateModel> presets = JsonUtil::parseTemplateList(true, false);
    for (int i = 0; i < presets.size(); ++i) {
        if (presets.at(i).background == templateModel.background)
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
    connect(ui->edit_print_width, &QSpinBox::editingFinished, this, [this] {
        if (!boxChanged(ui->edit_print_width, templateModel.printWidth))
            return;
        templateModel.printWidth = ui->edit_print_width->value();
        refreshGraphicsBackground();
    });
    connect(ui->edit_print_height, &QSpinBox::editingFinished, this, [this] {
        if (!boxChanged(ui->edit_print_height, templateModel.printHeight))
            return;
        templateModel.printHeight = ui->edit_print_height->value();
        refreshGraphicsBackground();
    });
    connect(ui->edit_back_length, &QSpinBox::editingFinished, this, [this] {
        if (!boxChanged(ui->edit_back_length, templateModel.backLength))
            return;
        // The spine grows or shrinks the label by as much.
        const int spine = ui->edit_back_length->value();
        templateModel.printWidth = templateModel.printWidth - templateModel.backLength + spine;
        templateModel.backLength = spine;
        refreshGraphicsBackground();
    });
    connect(ui->edit_fold_length, &QSpinBox::editingFinished, this, [this] {
        if (boxChanged(ui->edit_fold_length, templateModel.foldLength))
            templateModel.foldLength = ui->edit_fold_length->value();
    });
    connect(ui->box_full_print, &QCheckBox::stateChanged, this, [this](int state) { templateModel.full = state > 0; });
}

void TemplateDialog::takeSizeBoxes()
{
    takeBox(ui->edit_print_width, templateModel.printWidth);
    takeBox(ui->edit_print_height, templateModel.printHeight);
    takeBox(ui->edit_back_length, templateModel.backLength);
    takeBox(ui->edit_fold_length, templateModel.foldLength);
}

void TemplateDialog::choosePresetBackground(const QString &name)
{
    if (name == noPreset()) {
        setBackground(QString());
    } else {
        const QList<TemplateModel> presets = JsonUtil::parseTemplateList(true, false);
        for (const TemplateModel &preset : presets) {
            if (preset.name != name)
                continue;
            setBackground(preset.background);
            templateModel.printWidth = preset.printWidth;
            templateModel.printHeight = preset.printHeight;
            templateModel.backLength = preset.backLength;
            break;
        }
    }
    refreshGraphicsBackground();
}

// ---- Element pages ---------------------------------------------------------

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

GraphicsModel *TemplateDialog::elementModel(const QString &id, int type)
{
    const auto find = [&id](auto &list) -> GraphicsModel * {
        for (auto &m : list) {
            if (m.id == id)
                return &m;
        }
        return nullptr;
    };
    switch (type) {
    case ELEMENT_RECTANGLE: return find(templateModel.rectangleModels);
    case ELEMENT_LINE: return find(templateModel.lineModels);
    case ELEMENT_CIRCLE: return find(templateModel.circleModels);
    case ELEMENT_TEXT: return find(templateModel.textModels);
    case ELEMENT_PICTURE: return find(templateModel.pictureModels);
    case ELEMENT_QRCODE: return find(templateModel.qrcodeModels);
    case ELEMENT_RECT_BG: return find(templateModel.rectBgModels);
    case ELEMENT_BARCODE: return find(templateModel.barcodeModels);
    default: return nullptr;
    }
}

// The page shows the element it was filled with even when a Ctrl-click has
// taken that element out of the selection since.
BaseItem *TemplateDialog::elementItem(const QString &id, int type) const
{
    if (id.isEmpty())
        return nullptr;
    const QList<QGraphicsItem *> items = graphicsScene->items();
    for (QGraphicsItem *item : items) {
        if (item->data(0).toString() == id && item->data(1).toInt() == type)
            return dynamic_cast<BaseItem *>(item);
    }
    return nullptr;
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

void TemplateDialog::connectGeometry(int type)
{
    const PageBoxes boxes = pageBoxes(type);
    const auto onEdit = [this](QDoubleSpinBox *box, auto apply) {
        connect(box, &QDoubleSpinBox::editingFinished, this, [box, apply] { apply(box->value()); });
    };
    onEdit(boxes.x, [this, type](double v) { moveElement(type, Qt::Horizontal, v); });
    onEdit(boxes.y, [this, type](double v) { moveElement(type, Qt::Vertical, v); });
    onEdit(boxes.width, [this, type](double v) { resizeElement(type, Qt::Horizontal, v); });
    onEdit(boxes.height, [this, type](double v) { resizeElement(type, Qt::Vertical, v); });
    if (!boxes.borderPx)
        return;
    onEdit(boxes.borderPx, [this, type](double v) { setElementBorder(type, TextUtil::px2mm(int(v), dpi())); });
    onEdit(boxes.borderMm, [this, type](double v) { setElementBorder(type, float(v)); });
}

void TemplateDialog::connectRectProperty() { connectGeometry(ELEMENT_RECTANGLE); }
void TemplateDialog::connectRectBgProperty() { connectGeometry(ELEMENT_RECT_BG); }
void TemplateDialog::connectLineProperty() { connectGeometry(ELEMENT_LINE); }
void TemplateDialog::connectCircleProperty() { connectGeometry(ELEMENT_CIRCLE); }

void TemplateDialog::followItemPosition(GraphicsModel &m, const BaseItem &item) const
{
    if (item.x() != px(m.startX))
        m.startX = TextUtil::px2mm(int(item.x()), dpi());
    if (item.y() != px(m.startY))
        m.startY = TextUtil::px2mm(int(item.y()), dpi());
}

void TemplateDialog::moveElement(int type, Qt::Orientation axis, double value)
{
    if (GraphicsModel *m = elementModel(currentId, type)) {
        if (BaseItem *item = elementItem(currentId, type)) {
            // The item stays on the label, and so does its model.
            moveElement(item, *m, axis, float(value));
            showGeometry(type, *m);
        } else {
            (axis == Qt::Horizontal ? m->startX : m->startY) = float(value);
        }
    }
    graphicsView->viewport()->update();
}

void TemplateDialog::resizeElement(int type, Qt::Orientation side, double value)
{
    if (GraphicsModel *m = elementModel(currentId, type)) {
        (side == Qt::Horizontal ? m->width : m->height) = float(value);
        if (BaseItem *item = elementItem(currentId, type)) {
            QRectF rect = item->boundingRect();
            if (type == ELEMENT_LINE)
                rect = QRectF(0, 0, int(rect.width()), int(rect.height()));
            if (side == Qt::Horizontal)
                rect.setWidth(px(float(value)));
            else
                rect.setHeight(px(float(value)));
            // Moves the item back onto the label when it grew past its edge.
            item->setRect(rect);
            if (type == ELEMENT_PICTURE || type == ELEMENT_QRCODE || type == ELEMENT_BARCODE)
                remakeElementPicture(item, *m);
            followItemPosition(*m, *item);
            showGeometry(type, *m);
        }
    }
    graphicsView->viewport()->update();
}

void TemplateDialog::setElementBorder(int type, float border)
{
    if (GraphicsModel *m = elementModel(currentId, type)) {
        m->border = border;
        showGeometry(type, *m);
        if (BaseItem *item = elementItem(currentId, type)) {
            QPen pen;
            pen.setWidth(px(border));
            item->setPen(pen);
        }
    }
    graphicsView->viewport()->update();
}
