#include "util/promptdialog.h"
#include "ui_promptdialog.h"

PromptDialog::PromptDialog(QWidget *opener, const QString &title, const QString &text)
    : FramelessDialog(opener && opener->window()->isVisible() ? opener : nullptr)
    , ui(new Ui::PromptDialog)
{
    ui->setupUi(this);
    WidgetInit(ui->top_frame);
    setWindowTitle(title);
    ui->label->setText(title);
    ui->lab_text->setText(text);
    ui->edit_text->hide();
    // Return answers yes, as a message box's does.
    ui->btn_yes->setDefault(true);
    connect(ui->btn_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btn_no, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->btn_close, &QPushButton::clicked, this, &QDialog::reject);
}

PromptDialog::~PromptDialog()
{
    delete ui;
}

void PromptDialog::setButtons(const QString &accept, const QString &refuse)
{
    ui->btn_yes->setText(accept);
    ui->btn_no->setText(refuse);
    ui->btn_no->setVisible(!refuse.isEmpty());
}

void PromptDialog::askForText(QLineEdit::EchoMode mode)
{
    ui->edit_text->setEchoMode(mode);
    ui->edit_text->show();
    ui->edit_text->setFocus();
}

QString PromptDialog::typedText() const
{
    return ui->edit_text->text();
}
