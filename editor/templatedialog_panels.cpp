#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "util/jsonutil.h"

namespace {

QString noPreset()
{
    return QStringLiteral("不选择");
}

} // namespace

void TemplateDialog::updateToolView(QString id, int type)
{
    Q_UNUSED(type)
    if (!id.isEmpty())
        return;
    ui->stackedWidget->setCurrentWidget(ui->page_base_set);
    ui->edit_print_width->setValue(int(templateModel.printWidth));
    ui->edit_print_height->setValue(int(templateModel.printHeight));
    ui->edit_back_length->setValue(int(templateModel.backLength));
    ui->edit_fold_length->setValue(int(templateModel.foldLength));
    ui->box_full_print->setChecked(templateModel.full);
    showPresetOfBackground();
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
        templateModel.printWidth = ui->edit_print_width->value();
        refreshGraphicsBackground();
    });
    connect(ui->edit_print_height, &QSpinBox::editingFinished, this, [this] {
        templateModel.printHeight = ui->edit_print_height->value();
        refreshGraphicsBackground();
    });
    connect(ui->edit_back_length, &QSpinBox::editingFinished, this, [this] {
        const int spine = ui->edit_back_length->value();
        templateModel.printWidth = templateModel.printWidth - templateModel.backLength + spine;
        templateModel.backLength = spine;
        refreshGraphicsBackground();
    });
    connect(ui->edit_fold_length, &QSpinBox::editingFinished, this,
            [this] { templateModel.foldLength = ui->edit_fold_length->value(); });
    connect(ui->box_full_print, &QCheckBox::stateChanged, this, [this](int state) { templateModel.full = state > 0; });
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
