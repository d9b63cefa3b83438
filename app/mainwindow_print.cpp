// The print page: choose a template, see and import or export the data rows
// that will be printed, and open the print preview wired to the printer link.

#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/printdatatable.h"
#include "print/printaddfile.h"
#include "print/printpreview.h"
#include "printer/comanager.h"
#include "util/constants.h"
#include "util/excelutil.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace {

constexpr int PRINT_TABLE_SECTION_WIDTH = 105;

// A title wider than the default width widens its column, so none is cut.
void fitColumnsToTitles(QTableView *view)
{
    QHeaderView *header = view->horizontalHeader();
    for (int column = 0; column < header->count(); ++column)
        header->resizeSection(column, qMax(PRINT_TABLE_SECTION_WIDTH, header->sectionSizeHint(column)));
}

} // namespace

void MainWindow::refreshPrinterView()
{
    const QList<TemplateModel> templates = JsonUtil::parseTemplateList(true, true);
    QString selected = templates.isEmpty() ? QString() : templates.first().name;
    {
        // One table is built below, for the text finally chosen.
        const QSignalBlocker blocker(ui->comboBox_print);
        ui->comboBox_print->clear();
        if (!favouriteTemplates.isEmpty()) {
            ui->comboBox_print->addItems(favouriteTemplates);
            selected = favouriteTemplates.first();
        }
        for (const TemplateModel &model : templates) {
            if (!favouriteTemplates.contains(model.name))
                ui->comboBox_print->addItem(model.name);
        }
        ui->comboBox_print->setCurrentText(selected);
    }
    showPrintTable(ui->comboBox_print->currentText());
}

void MainWindow::on_btn_search_clicked()
{
    const QString text = ui->search_print->text();
    if (text.isEmpty()) {
        refreshPrinterView();
        return;
    }
    {
        const QSignalBlocker blocker(ui->comboBox_print);
        ui->comboBox_print->clear();
        const QList<TemplateModel> templates = JsonUtil::parseTemplateList(true, true);
        for (const TemplateModel &model : templates) {
            if (model.name.contains(text, Qt::CaseSensitive))
                ui->comboBox_print->addItem(model.name);
        }
    }
    showPrintTable(ui->comboBox_print->currentText());
}

void MainWindow::on_comboBox_print_currentTextChanged(const QString &name)
{
    showPrintTable(name);
}

void MainWindow::showPrintTable(const QString &templateName)
{
    QTableView *view = ui->tableView_print_data;
    QAbstractItemModel *old = view->model();
    view->setModel(PrintDataTable::fromTemplate(JsonUtil::parseTemplate(templateName), view));
    if (old)
        old->deleteLater();
    QHeaderView *header = view->horizontalHeader();
    header->setDefaultSectionSize(PRINT_TABLE_SECTION_WIDTH);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->verticalHeader()->hide();
    view->setSelectionMode(QAbstractItemView::NoSelection);
    fitColumnsToTitles(view);
}

void MainWindow::on_btn_import_data_clicked()
{
    PrintAddFile dialog;
    connect(&dialog, &PrintAddFile::sigImportExcelFinished, this, &MainWindow::onImportExcelFinished);
    dialog.exec();
}

void MainWindow::onImportExcelFinished(const QMap<QString, QStringList> &data)
{
    if (!qobject_cast<QStandardItemModel *>(ui->tableView_print_data->model()))
        showPrintTable(ui->comboBox_print->currentText());
    auto *table = qobject_cast<QStandardItemModel *>(ui->tableView_print_data->model());
    const QStringList titles = PrintDataTable::titles(JsonUtil::parseTemplate(ui->comboBox_print->currentText()));
    PrintDataTable::fillFromImport(table, titles, data);
    fitColumnsToTitles(ui->tableView_print_data);
}

void MainWindow::on_btn_export_data_clicked()
{
    QStringList headers;
    QList<QStringList> rows;
    if (const QAbstractItemModel *table = ui->tableView_print_data->model()) {
        headers = PrintDataTable::headers(*table);
        rows = PrintDataTable::cells(*table);
    }
    if (ExcelUtil::exportExcelFile(this, headers, rows))
        TextUtil::showSuccess(QStringLiteral("导出成功"));
    else
        TextUtil::showError(QStringLiteral("导出失败"));
}

void MainWindow::on_btn_print_clicked()
{
    if (dialogBusy) {
        TextUtil::showError(QString::fromUtf8(DIALOG_BUSY_TIP));
        return;
    }
    if (!checkPrinterStatus())
        return;
    openPrintPreview();
}

void MainWindow::openPrintPreview()
{
    dialogBusy = true;
    QList<QMap<QString, QVariant>> rows;
    if (const QAbstractItemModel *table = ui->tableView_print_data->model())
        rows = PrintDataTable::printRows(*table);
    // A window of its own; the job starts from its print button.
    printPreview = new PrintPreview(ui->comboBox_print->currentText(), rows, nullptr);
    connectPrintPreview(printPreview);
    printPreview->showMaximized();
}

void MainWindow::connectPrintPreview(PrintPreview *preview)
{
    connectPreviewToLink(preview);
    connect(comManager, &ComManager::serialPortDisconnectError, preview, &PrintPreview::serialDisconnected);
    connect(comManager, &ComManager::tcpSocketReceiveConnectState, preview, &PrintPreview::tcpDisconnected);
    connect(comManager, &ComManager::onReceivePrintTest, preview, &PrintPreview::receivePrintTest);
    connect(preview, &PrintPreview::sigConsumInkDots, this, &MainWindow::onPrintPageInkConsumed);
    connect(preview, &PrintPreview::sigWidgetClosed, this, [this, preview] { releasePreview(preview, false); });
}
