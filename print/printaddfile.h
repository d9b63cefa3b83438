#pragma once

// The modal dialog that brings print data onto the print page: choose (or
// drop) an .xlsx workbook, pick a sheet, confirm.

#include "util/placeddialog.h"
#include "util/windowdrag.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace Ui {
class PrintAddFile;
}

class PrintAddFile : public PlacedDialog
{
    Q_OBJECT

public:
    explicit PrintAddFile(QWidget *parent = nullptr);
    ~PrintAddFile() override;

signals:
    void sigImportExcelFinished(QMap<QString, QStringList> data);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void on_btn_close_clicked();
    void on_btn_addfile_clicked();
    void on_btn_confirm_clicked();
    void on_btn_cancel_clicked();

private:
    // Takes a workbook as the one to import and lists its sheets.
    void chooseFile(const QString &path);

    WindowDrag titleDrag;
    QString filePath;
    Ui::PrintAddFile *form;
};
