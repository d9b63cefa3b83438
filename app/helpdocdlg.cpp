#include "app/helpdocdlg.h"

#include "app/helppage.h"
#include "ui_helpdocdlg.h"

#include <QTextBlockFormat>
#include <QTextCursor>

HelpDocDlg::HelpDocDlg(int page, QWidget *parent)
    : FramelessDialog(parent)
    , ui(new Ui::HelpDocDlg)
{
    ui->setupUi(this);
    WidgetInit(ui->top_frame);

    const HelpPage content = HelpPage::forNumber(page);
    ui->label->setText(content.title);
    if (!content.textStyle.isEmpty())
        ui->text_help->setStyleSheet(content.textStyle);
    // Paragraphs go in as plain text: company lines come from an INI file
    // and are shown as written, whatever they hold.
    QTextCursor cursor(ui->text_help->document());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    for (int i = 0; i < content.paragraphs.size(); ++i) {
        if (i == 0)
            cursor.setBlockFormat(centred);
        else
            cursor.insertBlock(centred);
        cursor.insertText(content.paragraphs.at(i));
    }
}

HelpDocDlg::~HelpDocDlg()
{
    delete ui;
}

void HelpDocDlg::on_btn_close_clicked()
{
    close();
    deleteLater();
}
