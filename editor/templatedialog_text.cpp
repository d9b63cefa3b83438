#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/fontsizetext.h"
#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QGraphicsScene>
#include <QLineEdit>
#include <QtDebug>

namespace {

constexpr int QUARTER_TURN = 90;
constexpr int ANGLES = 4;

float defaultFontSize()
{
    return JsonUtil::getDefaultConfig(QStringLiteral("textModel.fontSize")).toFloat();
}

} // namespace

TextModel *TemplateDialog::textModel(const QString &id)
{
    return static_cast<TextModel *>(elementModel(id, ELEMENT_TEXT));
}

// Formatting changes reach every selected text, each item with its own
// model, whatever page is shown; other selected elements are left alone.
template <typename Change>
void TemplateDialog::applyToSelectedTexts(Change change)
{
    const QList<QGraphicsItem *> selected = graphicsScene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (!isTextItem(item))
            continue;
        if (TextModel *m = textModel(item->data(0).toString()))
            change(static_cast<RichTextItem *>(item), *m);
    }
    graphicsView->viewport()->update();
}

void TemplateDialog::disconnectTextProperty()
{
    for (const QMetaObject::Connection &c : qAsConst(textConnections))
        disconnect(c);
    textConnections.clear();
}

void TemplateDialog::connectTextProperty()
{
    disconnectTextProperty();
    auto &c = textConnections;
    // A box's value, applied when editing ends (Return or leaving the box).
    const auto onValue = [this, &c](auto *box, auto change) {
        c << connect(box, &QAbstractSpinBox::editingFinished, this, [this, box, change] {
            const auto v = box->value();
            applyToSelectedTexts([&](RichTextItem *item, TextModel &m) { change(item, m, v); });
        });
    };
    // A button that sets one property to a fixed value.
    const auto onClick = [this, &c](QAbstractButton *button, auto change) {
        c << connect(button, &QAbstractButton::clicked, this, [this, button, change] {
            const bool checked = button->isChecked();
            applyToSelectedTexts([&](RichTextItem *item, TextModel &m) { change(item, m, checked); });
        });
    };

    // The box then shows where the label's edge let the text go.
    onValue(ui->edit_text_x, [this](RichTextItem *item, TextModel &m, double v) {
        moveElement(item, m, Qt::Horizontal, float(v));
        if (m.id == currentId)
            ui->edit_text_x->setValue(m.startX);
    });
    onValue(ui->edit_text_y, [this](RichTextItem *item, TextModel &m, double v) {
        moveElement(item, m, Qt::Vertical, float(v));
        if (m.id == currentId)
            ui->edit_text_y->setValue(m.startY);
    });
    onValue(ui->edit_text_width, [this](RichTextItem *item, TextModel &m, double v) {
        item->setWidth(px(float(v)));
        item->updateHandlesArea();
        m.width = float(v);
    });
    onValue(ui->edit_text_height, [this](RichTextItem *item, TextModel &m, double v) {
        item->setHeight(px(float(v)));
        item->updateHandlesArea();
        m.height = float(v);
    });
    c << connect(ui->box_text_angle, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        const int angle = TextUtil::extractInteger(text.section(QChar(0x00B0), 0, 0), 0);
        applyToSelectedTexts([angle](RichTextItem *item, TextModel &m) {
            item->setTransformOriginPoint(item->boundingRect().center());
            item->setRotation(angle);
            m.rotate = angle;
        });
    });
    c << connect(ui->box_fontFamily, &QComboBox::currentTextChanged, this, [this](const QString &family) {
        applyToSelectedTexts([&family](RichTextItem *item, TextModel &m) {
            item->setFontFamily(family);
            m.font = family;
        });
    });
    // A size picked from the list applies at once; a typed one when typing ends.
    c << connect(ui->box_fontSize, QOverload<int>::of(&QComboBox::activated), this,
                 [this](int index) { applyFontSize(ui->box_fontSize->itemText(index)); });
    c << connect(ui->box_fontSize->lineEdit(), &QLineEdit::editingFinished, this,
                 [this] { applyFontSize(ui->box_fontSize->lineEdit()->text()); });
    onClick(ui->btn_bold, [](RichTextItem *item, TextModel &m, bool) {
        item->setBold();
        m.bold = !m.bold;
    });
    onClick(ui->btn_italic, [](RichTextItem *item, TextModel &m, bool) {
        item->setItalic();
        m.italic = !m.italic;
    });
    const QList<QAbstractButton *> horizontal{ui->btn_left_align, ui->btn_mid_align, ui->btn_right_align};
    const QList<QAbstractButton *> vertical{ui->btn_top_align, ui->btn_center_align, ui->btn_bottom_align};
    for (int align = -1; align <= 1; ++align) {
        onClick(horizontal.at(align + 1), [align](RichTextItem *item, TextModel &m, bool) {
            item->setHorizontalAlign(align);
            m.horizontalAlign = align;
        });
        onClick(vertical.at(align + 1), [align](RichTextItem *item, TextModel &m, bool) {
            item->setVerticalAlign(align);
            m.verticalAlign = align;
        });
    }
    const QList<QAbstractButton *> directions{ui->btn_left_to_right_hor, ui->btn_left_to_right, ui->btn_right_to_left};
    for (int direction = 0; direction < directions.size(); ++direction) {
        c << connect(directions.at(direction), &QAbstractButton::clicked, this,
                     [this, direction] { applyTextDirection(direction); });
    }
    onValue(ui->edit_text_wordSpace, [this](RichTextItem *item, TextModel &m, double v) {
        item->setLetterSpacing(px(float(v)));
        m.wordSpacing = float(v);
    });
    onValue(ui->edit_text_rowSpace, [this](RichTextItem *item, TextModel &m, double v) {
        item->setRowSpacing(px(float(v)));
        m.rowSpacing = float(v);
    });
    onValue(ui->edit_text_indentation, [](RichTextItem *item, TextModel &m, int v) {
        item->setIndentation(v);
        m.indentation = float(v);
    });
    onValue(ui->edit_text_scaleX, [](RichTextItem *item, TextModel &m, int v) {
        m.scaleX = float(v) / 100.0f;
        item->setElementScaleX(m.scaleX);
    });
    onValue(ui->edit_text_scaleY, [](RichTextItem *item, TextModel &m, int v) {
        m.scaleY = float(v) / 100.0f;
        item->setElementScaleY(m.scaleY);
    });
    c << connect(ui->box_text_adaption, &QCheckBox::stateChanged, this, [this](int state) {
        ui->groupBox_adaption->setEnabled(state > 0);
        applyToSelectedTexts([state](RichTextItem *item, TextModel &m) {
            item->setAdapted(state > 0);
            m.adapted = state > 0;
        });
    });
    onClick(ui->radio_size, [](RichTextItem *item, TextModel &m, bool checked) {
        m.adaptedMode = checked ? 1 : 2;
        item->setAdaptedMode(m.adaptedMode);
    });
    onClick(ui->radio_scale, [](RichTextItem *item, TextModel &m, bool checked) {
        m.adaptedMode = checked ? 2 : 1;
        item->setAdaptedMode(m.adaptedMode);
    });
    onClick(ui->radio_row_single, [](RichTextItem *item, TextModel &m, bool checked) {
        item->setMutilWarp(!checked);
        m.mutiled = !checked;
    });
    onClick(ui->radio_row_mutil, [](RichTextItem *item, TextModel &m, bool checked) {
        item->setMutilWarp(checked);
        m.mutiled = checked;
    });
    onClick(ui->box_text_noruler, [](RichTextItem *item, TextModel &m, bool checked) {
        item->setVerRuler(checked);
        m.noVerRule = checked;
    });

    // Title, content and the fixed flag belong to the element whose page is shown.
    c << connect(ui->edit_text_title, &QLineEdit::textChanged, this, [this](const QString &title) {
        for (const TextModel &m : qAsConst(templateModel.textModels)) {
            if (m.textTitle == title) {
                TextUtil::showError(QStringLiteral("文本标题重复:") + title);
                break;
            }
        }
        if (TextModel *m = textModel(currentId))
            m->textTitle = title;
    });
    c << connect(ui->edit_text_content, &QTextEdit::textChanged, this, [this] {
        const QString text = ui->edit_text_content->toPlainText();
        if (TextModel *m = textModel(currentId))
            m->textContent = text;
        if (RichTextItem *item = currentTextItem())
            item->setText(text);
        graphicsView->viewport()->update();
    });
    c << connect(ui->box_text_fixed, &QCheckBox::stateChanged, this, [this](int state) {
        if (TextModel *m = textModel(currentId))
            m->fixed = state > 0;
    });
}

// Like the other pages, the page edits the element it shows, selected or not.
RichTextItem *TemplateDialog::currentTextItem() const
{
    return static_cast<RichTextItem *>(elementItem(currentId, ELEMENT_TEXT));
}

void TemplateDialog::applyTextDirection(int direction)
{
    applyToSelectedTexts([direction](RichTextItem *item, TextModel &m) {
        item->setTextDirection(direction);
        m.direction = direction;
    });
    // Upright letters only mean something in columns; the tick stays.
    ui->box_text_noruler->setEnabled(!ui->btn_left_to_right_hor->isChecked());
}

void TemplateDialog::applyFontSize(const QString &text)
{
    qDebug() << "box_fontSize currentTextChanged:" << text;
    const float size = FontSizeText::parse(text, defaultFontSize());
    // Shown as the box would show the element: its name, or the millimetres
    // that were taken from what was typed.
    ui->box_fontSize->setEditText(FontSizeText::namedHeight(text) >= 0.0f ? FontSizeText::show(size)
                                                                           : FontSizeText::millimetres(size));
    applyToSelectedTexts([this, size](RichTextItem *item, TextModel &m) {
        item->setFontSize(qMax(1, px(size)));
        m.fontSize = size;
    });
}

void TemplateDialog::fillTextPage(const QString &id)
{
    // Filling by program must run no handler, whoever calls.
    const bool connected = !textConnections.isEmpty();
    disconnectTextProperty();
    setTextSelectMode(true);
    if (const TextModel *found = textModel(id)) {
        const TextModel m = *found;
        // A family this machine lacks is still the element's: offered, it is
        // shown instead of whichever family the box showed before.
        if (ui->box_fontFamily->findText(m.font) < 0)
            ui->box_fontFamily->insertItem(0, m.font);
        ui->box_fontFamily->setCurrentText(m.font);
        const QString size = FontSizeText::show(m.fontSize);
        const int sizeIndex = ui->box_fontSize->findText(size);
        if (sizeIndex >= 0)
            ui->box_fontSize->setCurrentIndex(sizeIndex);
        ui->box_fontSize->setEditText(size);
        ui->edit_text_wordSpace->setValue(m.wordSpacing);
        ui->edit_text_rowSpace->setValue(m.rowSpacing);
        ui->edit_text_indentation->setValue(int(m.indentation));
        // Rounded: 0.57 is stored as 0.569999..., which must show as 57.
        ui->edit_text_scaleX->setValue(qRound(m.scaleX * 100.0f));
        ui->edit_text_scaleY->setValue(qRound(m.scaleY * 100.0f));
        ui->edit_text_x->setValue(m.startX);
        ui->edit_text_y->setValue(m.startY);
        ui->edit_text_width->setValue(m.width);
        ui->edit_text_height->setValue(m.height);
        ui->edit_text_title->setText(m.textTitle);
        ui->box_text_fixed->setChecked(m.fixed);
        ui->edit_text_content->setPlainText(m.textContent);
        const int angle = m.rotate / QUARTER_TURN;
        ui->box_text_angle->setCurrentIndex(angle >= 0 && angle < ANGLES ? angle : 0);
        fillTextButtons(m);
    }
    if (connected)
        connectTextProperty();
}

void TemplateDialog::fillTextButtons(const TextModel &m)
{
    ui->btn_bold->setChecked(m.bold);
    ui->btn_italic->setChecked(m.italic);
    const auto check = [](const QList<QAbstractButton *> &buttons, int index) {
        if (index >= 0 && index < buttons.size())
            buttons.at(index)->setChecked(true);
    };
    check({ui->btn_left_align, ui->btn_mid_align, ui->btn_right_align}, m.horizontalAlign + 1);
    check({ui->btn_top_align, ui->btn_center_align, ui->btn_bottom_align}, m.verticalAlign + 1);
    check({ui->btn_left_to_right_hor, ui->btn_left_to_right, ui->btn_right_to_left}, m.direction);
    ui->box_text_adaption->setChecked(m.adapted);
    ui->groupBox_adaption->setEnabled(m.adapted);
    (m.adaptedMode == 1 ? ui->radio_size : ui->radio_scale)->setChecked(true);
    ui->box_text_noruler->setEnabled(m.direction != 0);
    ui->box_text_noruler->setChecked(m.direction != 0 && m.noVerRule);
    (m.mutiled ? ui->radio_row_mutil : ui->radio_row_single)->setChecked(true);
}
