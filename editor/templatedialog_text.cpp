#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/fontsizetext.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QLineEdit>
#include <QScopedValueRollback>
#include <QtDebug>

namespace {

constexpr int QUARTER_TURN = 90;
constexpr int ANGLES = 4;
constexpr double PERCENT = 100.0;

using Field = TemplateDocument::Field;

float defaultFontSize()
{
    return JsonUtil::getDefaultConfig(QStringLiteral("textModel.fontSize")).toFloat();
}

} // namespace

QStringList TemplateDialog::selectedTexts() const
{
    QStringList texts;
    for (const QString &id : items.selectedIds()) {
        if (doc.text(id))
            texts << id;
    }
    return texts;
}

// Formatting reaches every selected text; a text the page shows while it is
// not selected (a Ctrl-click took it out) is edited alone.
QStringList TemplateDialog::textTargets() const
{
    const QStringList selected = selectedTexts();
    if (doc.text(currentId) && !selected.contains(currentId))
        return {currentId};
    return selected;
}

void TemplateDialog::disconnectTextProperty()
{
    for (const QMetaObject::Connection &c : qAsConst(textConnections))
        disconnect(c);
    textConnections.clear();
}

void TemplateDialog::onTextValue(QAbstractSpinBox *box, Field field, double factor)
{
    textConnections << onBoxEdit(box, [this, field, factor](double v) {
        doc.set(textTargets(), field, float(v / factor));
        updateToolView(currentId, ELEMENT_TEXT);
    });
}

void TemplateDialog::onTextChoice(QAbstractButton *button, Field field, const QVariant &value)
{
    textConnections << connect(button, &QAbstractButton::clicked, this,
                               [this, field, value] { doc.set(textTargets(), field, value); });
}

void TemplateDialog::connectTextProperty()
{
    disconnectTextProperty();
    auto &c = textConnections;
    const auto onGeometry = [this, &c](QAbstractSpinBox *box, Qt::Orientation axis, bool start) {
        c << onBoxEdit(box, [this, axis, start](double mm) {
            for (const QString &id : textTargets()) {
                if (start)
                    doc.setStart(id, axis, float(mm));
                else
                    doc.setSize(id, axis, float(mm));
            }
            // The box shows where the label's edge let the text go.
            updateToolView(currentId, ELEMENT_TEXT);
        });
    };
    onGeometry(ui->edit_text_x, Qt::Horizontal, true);
    onGeometry(ui->edit_text_y, Qt::Vertical, true);
    onGeometry(ui->edit_text_width, Qt::Horizontal, false);
    onGeometry(ui->edit_text_height, Qt::Vertical, false);
    c << connect(ui->box_text_angle, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        if (!filling)
            doc.set(textTargets(), Field::Rotate, TextUtil::extractInteger(text.section(QChar(0x00B0), 0, 0), 0));
    });
    c << connect(ui->box_fontFamily, &QComboBox::currentTextChanged, this, [this](const QString &family) {
        if (!filling)
            doc.set(textTargets(), Field::Font, family);
    });
    // A size picked from the list applies at once; a typed one when typing
    // ends. Only passed through, the box would give every selected text the
    // size it shows of one of them.
    QLineEdit *sizeText = ui->box_fontSize->lineEdit();
    c << connect(ui->box_fontSize, QOverload<int>::of(&QComboBox::activated), this,
                 [this](int index) { applyFontSize(ui->box_fontSize->itemText(index)); });
    c << connect(sizeText, &QLineEdit::textEdited, this, [this, sizeText] {
        typedEdits.insert(sizeText, [this, sizeText] { applyFontSize(sizeText->text()); });
    });
    c << connect(sizeText, &QLineEdit::editingFinished, this, [this, sizeText] { finishTypedEdit(sizeText); });
    for (const auto &toggle : {qMakePair(ui->btn_bold, Field::Bold), qMakePair(ui->btn_italic, Field::Italic)}) {
        const Field field = toggle.second;
        c << connect(toggle.first, &QAbstractButton::clicked, this, [this, field] { doc.toggle(textTargets(), field); });
    }
    const QList<QAbstractButton *> horizontal{ui->btn_left_align, ui->btn_mid_align, ui->btn_right_align};
    const QList<QAbstractButton *> vertical{ui->btn_top_align, ui->btn_center_align, ui->btn_bottom_align};
    for (int align = -1; align <= 1; ++align) {
        onTextChoice(horizontal.at(align + 1), Field::HorizontalAlign, align);
        onTextChoice(vertical.at(align + 1), Field::VerticalAlign, align);
    }
    const QList<QAbstractButton *> directions{ui->btn_left_to_right_hor, ui->btn_left_to_right, ui->btn_right_to_left};
    for (int direction = 0; direction < directions.size(); ++direction) {
        c << connect(directions.at(direction), &QAbstractButton::clicked, this,
                     [this, direction] { applyTextDirection(direction); });
    }
    onTextValue(ui->edit_text_wordSpace, Field::WordSpacing, 1);
    onTextValue(ui->edit_text_rowSpace, Field::RowSpacing, 1);
    onTextValue(ui->edit_text_indentation, Field::Indentation, 1);
    onTextValue(ui->edit_text_scaleX, Field::ScaleX, PERCENT);
    onTextValue(ui->edit_text_scaleY, Field::ScaleY, PERCENT);
    c << connect(ui->box_text_adaption, &QCheckBox::stateChanged, this, [this](int state) {
        if (filling)
            return;
        ui->groupBox_adaption->setEnabled(state > 0);
        doc.set(textTargets(), Field::Adapted, state > 0);
    });
    // Each radio button says its own choice, checked or not.
    c << connect(ui->radio_size, &QAbstractButton::clicked, this,
                 [this](bool checked) { doc.set(textTargets(), Field::AdaptedMode, checked ? 1 : 2); });
    c << connect(ui->radio_scale, &QAbstractButton::clicked, this,
                 [this](bool checked) { doc.set(textTargets(), Field::AdaptedMode, checked ? 2 : 1); });
    c << connect(ui->radio_row_single, &QAbstractButton::clicked, this,
                 [this](bool checked) { doc.set(textTargets(), Field::Wrap, !checked); });
    c << connect(ui->radio_row_mutil, &QAbstractButton::clicked, this,
                 [this](bool checked) { doc.set(textTargets(), Field::Wrap, checked); });
    c << connect(ui->box_text_noruler, &QAbstractButton::clicked, this,
                 [this](bool checked) { doc.set(textTargets(), Field::UprightAscii, checked); });

    // Title, content and the fixed flag belong to the element whose page is shown.
    c << connect(ui->edit_text_title, &QLineEdit::textChanged, this, [this](const QString &title) {
        if (filling || !doc.text(currentId))
            return;
        if (doc.textTitleUsed(title))
            TextUtil::showError(QStringLiteral("文本标题重复:") + title);
        doc.set({currentId}, Field::Title, title);
    });
    c << connect(ui->edit_text_content, &QTextEdit::textChanged, this, [this] {
        if (!filling)
            doc.set({currentId}, Field::Content, ui->edit_text_content->toPlainText());
    });
    c << connect(ui->box_text_fixed, &QCheckBox::stateChanged, this, [this](int state) {
        if (!filling)
            doc.set({currentId}, Field::Fixed, state > 0);
    });
}

void TemplateDialog::applyTextDirection(int direction)
{
    doc.set(textTargets(), Field::Direction, direction);
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
    doc.set(textTargets(), Field::FontSize, size);
}

void TemplateDialog::fillTextPage(const QString &id)
{
    const QScopedValueRollback<bool> guard(filling, true);
    const TextModel *found = doc.text(id);
    if (!found)
        return;
    const TextModel m = *found;
    // Several texts share the page: only what they share is edited.
    setTextSelectMode(textTargets().size() < 2);
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
    ui->edit_text_scaleX->setValue(qRound(m.scaleX * PERCENT));
    ui->edit_text_scaleY->setValue(qRound(m.scaleY * PERCENT));
    ui->edit_text_x->setValue(m.startX);
    ui->edit_text_y->setValue(m.startY);
    ui->edit_text_width->setValue(m.width);
    ui->edit_text_height->setValue(m.height);
    // Set again only when they differ: setting them moves the cursor of whoever types.
    if (ui->edit_text_title->text() != m.textTitle)
        ui->edit_text_title->setText(m.textTitle);
    ui->box_text_fixed->setChecked(m.fixed);
    if (ui->edit_text_content->toPlainText() != m.textContent)
        ui->edit_text_content->setPlainText(m.textContent);
    const int angle = m.rotate / QUARTER_TURN;
    ui->box_text_angle->setCurrentIndex(angle >= 0 && angle < ANGLES ? angle : 0);
    fillTextButtons(m);
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
