#include "print/printaddfile.h"

#include "ui_printaddfile.h"
#include "util/excelutil.h"
#include "util/seams.h"
#include "util/textutil.h"
#include "util/translucentwindow.h"

#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGraphicsDropShadowEffect>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QUrl>

PrintAddFile::PrintAddFile(QWidget *parent)
    : PlacedDialog(parent)
    , form(new Ui::PrintAddFile)
{
    form->setupUi(this);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    QFile style(QStringLiteral(":/resources/qss/printaddfile.css"));
    if (style.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromLatin1(style.readAll()));
    setWindowFlags(Qt::FramelessWindowHint);
    TranslucentWindow::apply(this, Qt::white);
    // The list's entries drawn as menu items would take the style sheet's
    // white for the highlighted one's text too; drawn as items, they follow
    // the list's own selection colours.
    form->combox_sheetName->setItemDelegate(new QStyledItemDelegate(form->combox_sheetName));

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(150, 150, 150));
    shadow->setBlurRadius(4);
    form->frame_3->setGraphicsEffect(shadow);
}

PrintAddFile::~PrintAddFile()
{
    delete form;
}

void PrintAddFile::on_btn_close_clicked()
{
    close();
}

void PrintAddFile::on_btn_cancel_clicked()
{
    close();
}

void PrintAddFile::on_btn_addfile_clicked()
{
    chooseFile(Seams::getOpenFileName(this, QStringLiteral("导入文件"), QDir::homePath(), QStringLiteral("(*.xlsx)")));
}

void PrintAddFile::chooseFile(const QString &path)
{
    filePath = path;
    form->combox_sheetName->clear();
    form->combox_sheetName->addItems(ExcelUtil::getExceSheetNames(filePath));
}

void PrintAddFile::on_btn_confirm_clicked()
{
    QString error;
    const QMap<QString, QStringList> data =
        ExcelUtil::importExcelFile(filePath, form->combox_sheetName->currentIndex(), error);
    if (!error.isEmpty()) {
        TextUtil::showError(error);
        return;
    }
    emit sigImportExcelFinished(data);
    close();
}

void PrintAddFile::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, QRect(QPoint(0, 0), form->top_frame->size()).contains(event->localPos().toPoint()));
    event->ignore();
}

void PrintAddFile::mouseMoveEvent(QMouseEvent *event)
{
    titleDrag.follow(this, event);
    event->ignore();
}

void PrintAddFile::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
    event->ignore();
}

void PrintAddFile::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PrintAddFile::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls())
        return;
    QString workbook;
    for (const QUrl &url : event->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        qDebug() << "Dragged file:" << path;
        if (workbook.isEmpty() && url.isLocalFile() && path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
            workbook = path;
    }
    // A dropped workbook is taken exactly as one chosen with the add button.
    if (!workbook.isEmpty())
        chooseFile(workbook);
}
