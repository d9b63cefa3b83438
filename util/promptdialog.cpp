#include "util/promptdialog.h"
#include "ui_promptdialog.h"

#include <QScrollBar>

namespace {

// A text wraps at so many times its type's size, or at half the screen's
// width, whichever is narrower: some 36 Chinese characters a line.
constexpr int WRAP_EMS = 36;
// Between a scrolling text and its bar.
constexpr int BAR_GAP = 8;

} // namespace

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

void PromptDialog::setVisible(bool visible)
{
    if (visible && !testAttribute(Qt::WA_WState_Created))
        fitText();
    FramelessDialog::setVisible(visible);
}

void PromptDialog::fitText()
{
    ensurePolished();
    WrappingLabel *text = ui->lab_text;
    const QRect area = openingArea();
    text->setWrapWidth(qMin(WRAP_EMS * QFontInfo(text->font()).pixelSize(), area.width() / 2));
    const auto showText = [this](const QSize &size) {
        ui->scroll_text->setFixedSize(size);
        // The card's layout learns of its body's new size only once the
        // event loop runs: it is told at once, for the card's size now.
        ui->frame_body->updateGeometry();
    };
    const QSize whole = text->sizeHint();
    showText(whole);
    // The card takes two thirds of the screen's height at most; a text
    // taller than its room there scrolls beside a bar of its own.
    const int over = sizeHint().height() - area.height() * 2 / 3;
    if (over <= 0)
        return;
    text->setContentsMargins(0, 0, BAR_GAP, 0);
    showText(QSize(whole.width() + BAR_GAP + ui->scroll_text->verticalScrollBar()->sizeHint().width(),
                   qMax(whole.height() - over, text->fontMetrics().lineSpacing())));
}
