#pragma once

#include "util/framelessdialog.h"

#include <QLineEdit>

namespace Ui {
class PromptDialog;
}

// The program's own question, message and text prompt: a frameless card
// like its other small dialogs, with the title in its strip, the text, an
// optional entry and one or two buttons, sized to its texts. A long text
// (a template's name of hundreds of characters) wraps well inside the
// screen and the card grows taller; one taller than the screen allows
// scrolls, above the buttons in their place. Over an opener not yet on the
// screen (the main window asking for the administrator's password while it
// is built) it opens in the middle of the screen, not over where that
// window will be.
//
//     PromptDialog box(parent, QStringLiteral("提示"), QStringLiteral("是否删除模板?"));
//     box.setButtons(QStringLiteral("是"), QStringLiteral("否"));
//     if (box.exec() == QDialog::Accepted) ...
class PromptDialog : public FramelessDialog
{
    Q_OBJECT

public:
    PromptDialog(QWidget *opener, const QString &title, const QString &text);
    ~PromptDialog() override;

    // The accepting button's text and the refusing one's; without a
    // refusing text the dialog has one button.
    void setButtons(const QString &accept, const QString &refuse = QString());
    // Shows the entry, its typed text shown as mode says.
    void askForText(QLineEdit::EchoMode mode);
    QString typedText() const;

    void setVisible(bool visible) override;

private:
    // Sizes the text's area for the screen it opens on.
    void fitText();

    Ui::PromptDialog *ui;
};
