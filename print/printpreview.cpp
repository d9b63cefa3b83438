#include "print/printpreview.h"

#include "items/qwgraphicsview.h"
#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "print/printjob.h"
#include "ui_printpreview.h"
#include "util/constants.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/settingutil.h"
#include "util/textutil.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QGraphicsScene>
#include <QIntValidator>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTransform>

#include <cmath>

namespace {

const char *const STYLE_SHEET = ":/resources/qss/printpreview.css";
const int LOGO_SIDE = 37;
const char *const API_BUSY_CODE = "11001";

const char *const RANGE_ALL = "所有页";
const char *const RANGE_CURRENT = "当前页";
const char *const RANGE_CUSTOM = "自定义范围";

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Up to six significant digits, shortest form: 240, 12.5, 0.35.
QString mmText(float value)
{
    return QString::number(double(value), 'g', 6);
}

} // namespace

PrintPreview::PrintPreview(QString templateName, QList<QMap<QString, QVariant>> rowList, QWidget *parent)
    : PrintPreview(JsonUtil::parseTemplate(templateName), std::move(rowList), parent)
{
}

PrintPreview::PrintPreview(TemplateModel model, QList<QMap<QString, QVariant>> rowList, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::PrintPreview)
{
    ui->setupUi(this);
    // Its own window also when the main window is its parent (API jobs).
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    bool logoShown = false;
    if (SettingUtil::s_isConfiged && QFile::exists(SettingUtil::s_logoPath)) {
        QPixmap logo;
        if (logo.load(SettingUtil::s_logoPath)) {
            ui->lab_logo->setPixmap(
                logo.scaled(LOGO_SIDE, LOGO_SIDE, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            logoShown = true;
        }
    }
    ui->lab_logo->setVisible(logoShown);

    QFile style{QString::fromLatin1(STYLE_SHEET)};
    if (style.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromLatin1(style.readAll()));
    setToolTip();

    templateModel = std::move(model);
    rows = rowList;
    if (rows.isEmpty())
        rows.append(QMap<QString, QVariant>());
    pageIndex = 0;

    scene = new QGraphicsScene(this);
    page = new PageScene(scene, templateModel, dpi());
    page->addBackground();
    const QSize size = page->pageSize();

    view = new QWGraphicsView(this);
    view->setCursor(Qt::CrossCursor);
    view->setMouseTracking(true);
    view->setDragMode(QGraphicsView::RubberBandDrag);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view->setFrameShape(QFrame::NoFrame);
    view->setSceneRect(0, 0, size.width(), size.height());
    view->resize(size);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->setScene(scene);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->centerOn(0, 0);
    view->zoomEnabled = true;
    connect(view, &QWGraphicsView::wheelModified, this, &PrintPreview::turnPage);
    ui->scrollArea->setWidgetResizable(false);
    ui->scrollArea->setWidget(view);
    ui->scrollArea->viewport()->installEventFilter(this);

    ui->btn_write_test_page->setVisible(
        JsonUtil::getCustomConfig(QStringLiteral("admin.feature"), QStringLiteral("false")) == QLatin1String("true"));

    ui->combox_angle->setItemDelegate(new QStyledItemDelegate(ui->combox_angle));
    ui->combox_page->setItemDelegate(new QStyledItemDelegate(ui->combox_page));
    ui->label_pageCnt->setText(text("共%1页").arg(rows.size()));

    showTemplateInfo();
    ui->templateInfoEdit->setReadOnly(true);
    ui->printerLogEdit->setReadOnly(true);

    connect(ui->edit_curPage, &QLineEdit::editingFinished, this, &PrintPreview::goToTypedPage);
    initView();
    setDynamicData();
    ui->edit_curPage->setValidator(new QIntValidator(1, rows.size(), ui->edit_curPage));

    restorePlacement();

    for (QObject *control : {static_cast<QObject *>(ui->combox_angle), static_cast<QObject *>(ui->combox_page),
                             static_cast<QObject *>(ui->edit_curPage), static_cast<QObject *>(ui->edit_offset_left),
                             static_cast<QObject *>(ui->edit_offset_right), static_cast<QObject *>(ui->edit_offset_top),
                             static_cast<QObject *>(ui->edit_offset_bottom)})
        control->installEventFilter(this);

    createJob();
}

void PrintPreview::createJob()
{
    // A child of the window: a pause still running when it is destroyed does nothing.
    job = new PrintJob(this, this);
    connect(job, &PrintJob::handshakeRequested, this, &PrintPreview::sigHandShake);
    connect(job, &PrintJob::frameReady, this, &PrintPreview::sigPrint);
    connect(job, &PrintJob::stopRequested, this, &PrintPreview::sigStopPrint);
    connect(job, &PrintJob::inkConsumed, this, &PrintPreview::sigConsumInkDots);
    connect(job, &PrintJob::logged, this, &PrintPreview::appendLog);
    connect(job, &PrintJob::pageEditable, this, &PrintPreview::setPrintEnAble);
    connect(job, &PrintJob::concluded, this, [this] {
        if (closeAfterJob) {
            closeAfterJob = false;
            QTimer::singleShot(Seams::jobPauseMs(), this, &QWidget::close);
        }
    });
}

PrintPreview::~PrintPreview()
{
    delete page;
    delete ui;
}

int PrintPreview::dpi() const
{
    const float d = TextUtil::PRINTER_DPI;
    return std::isfinite(d) && d >= 1.0f ? int(d) : JsonUtil::DEFAULT_PRINTER_DPI;
}

void PrintPreview::showTemplateInfo()
{
    QStringList lines;
    const TemplateModel &m = templateModel;
    lines << (m.full ? text("打印模式: 全幅") : text("打印模式: 半幅"));
    lines << text("模板宽度: ") + mmText(m.printWidth) + QStringLiteral("mm");
    lines << text("模板高度: ") + mmText(m.printHeight) + QStringLiteral("mm");
    if (!m.full) {
        lines << text("脊背宽度: ") + mmText(m.backLength) + QStringLiteral("mm");
        lines << text("折盖宽度: ") + mmText(m.foldLength) + QStringLiteral("mm");
    }
    for (const QString &line : qAsConst(lines))
        ui->templateInfoEdit->append(line);
}

void PrintPreview::setToolTip()
{
    ui->btn_print_info->setToolTip(text("翻页：Alt+鼠标滚轮") + QLatin1Char('\n') + text("缩放：Ctrl+鼠标滚轮"));
    ui->btn_offset_info->hide();
    ui->btn_Hplate_info->hide();
    ui->btn_oper_info->hide();
}

void PrintPreview::appendLog(QString line)
{
    qDebug().noquote() << line;
    ui->printerLogEdit->append(line);
}

// ---------------------------------------------------------------------------
// Page scene and page turning

void PrintPreview::initView()
{
    page->addItems();
}

void PrintPreview::setDynamicData()
{
    page->fill(rows.at(pageIndex));
    ui->edit_curPage->setText(QString::number(pageIndex + 1));
    view->viewport()->update();
}

void PrintPreview::turnPage(int wheelDelta)
{
    if (wheelDelta == 0)
        return;
    // A wheel turned towards the user reports a negative delta: the next page.
    int index = wheelDelta < 1 ? pageIndex + 1 : pageIndex - 1;
    index = qBound(0, index, rows.size() - 1);
    pageIndex = index;
    ui->edit_curPage->setText(QString::number(index + 1));
    setDynamicData();
}

void PrintPreview::goToTypedPage()
{
    const int n = ui->edit_curPage->text().toInt();
    pageIndex = n >= 1 && n <= rows.size() ? n - 1 : 0;
    setDynamicData();
}

QImage PrintPreview::renderPage()
{
    return page->renderPage();
}

// ---------------------------------------------------------------------------
// Placement

void PrintPreview::restorePlacement()
{
    // Clamped before the cast: a stored value past the range of int has no
    // whole number, and the spin boxes stop at 99 anyway.
    const auto whole = [](float mm) {
        const float magnitude = std::fabs(mm);
        return magnitude < 99.0f ? int(magnitude) : 99;
    };
    if (templateModel.offsetX <= 0)
        ui->edit_offset_left->setValue(whole(templateModel.offsetX));
    else
        ui->edit_offset_right->setValue(whole(templateModel.offsetX));
    if (templateModel.offsetY <= 0)
        ui->edit_offset_bottom->setValue(whole(templateModel.offsetY));
    else
        ui->edit_offset_top->setValue(whole(templateModel.offsetY));
    const int index = templateModel.angle / 90;
    if (index >= 0 && index < ui->combox_angle->count())
        ui->combox_angle->setCurrentIndex(index);
    drawRotatedPage(templateModel.angle);
}

int PrintPreview::angleFromControl() const
{
    QString angle = ui->combox_angle->currentText();
    angle.remove(QChar(0x00B0));
    return angle.toInt();
}

float PrintPreview::offsetXFromControls() const
{
    return float(ui->edit_offset_right->value() - ui->edit_offset_left->value());
}

float PrintPreview::offsetYFromControls() const
{
    return float(ui->edit_offset_top->value() - ui->edit_offset_bottom->value());
}

void PrintPreview::drawRotatedPage(int angle)
{
    const QSize box = ui->lb_graphicsview->size();
    const QImage thumbnail = PagePlacement::rotated(page->renderThumbnail(qMax(box.width(), box.height())), angle);
    if (thumbnail.isNull())
        return;
    ui->lb_graphicsview->setPixmap(
        QPixmap::fromImage(thumbnail.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void PrintPreview::on_combox_angle_currentTextChanged(const QString &)
{
    // Called while the form is built, before the page exists.
    if (page)
        drawRotatedPage(angleFromControl());
}

void PrintPreview::savePrintCfg2TemplateModel()
{
    const float dx = offsetXFromControls();
    const float dy = offsetYFromControls();
    const int angle = angleFromControl();
    if (templateModel.offsetX == dx && templateModel.offsetY == dy && templateModel.angle == angle)
        return;
    templateModel.offsetX = dx;
    templateModel.offsetY = dy;
    templateModel.angle = angle;
    // A template that was not found has no name: there is nothing to store it under.
    if (templateModel.name.isEmpty())
        return;
    bool stored = false;
    const QList<TemplateModel> userTemplates = JsonUtil::parseTemplateList(false, true);
    for (const TemplateModel &t : userTemplates) {
        if (t.name == templateModel.name) {
            stored = true;
            break;
        }
    }
    // A built-in template gets a user copy of the same name, which from then
    // on shadows it.
    JsonUtil::saveTemplate(templateModel, stored);
}

// ---------------------------------------------------------------------------
// The job

bool PrintPreview::isPrinting() const
{
    return job->isPrinting();
}

bool PrintPreview::isTestPrinting() const
{
    return job->isTestPrinting();
}

bool PrintPreview::isBusy() const
{
    return job->isBusy();
}

QList<int> PrintPreview::remainingPages() const
{
    return job->remainingPages();
}

void PrintPreview::showPage(int index)
{
    pageIndex = index;
    setDynamicData();
}

PageSource::Printable PrintPreview::printablePage()
{
    return {renderPage(), templateModel, offsetXFromControls(), offsetYFromControls(), dpi()};
}

void PrintPreview::scrollToolsToBottom()
{
    QScrollBar *bar = ui->scrollArea_tool->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void PrintPreview::setPrintEnAble(bool on)
{
    ui->frame_printpage->setEnabled(on);
    ui->frame_print_pos->setEnabled(on);
    view->setEnabled(on);
}

bool PrintPreview::checkPrinterVersion(QString text)
{
    return PrintJob::checkPrinterVersion(text);
}

QString PrintPreview::parseCustomPage(QList<int> *pages) const
{
    return PrintJob::parsePageRange(ui->edit_custom_page->text().trimmed(), rows.size(), pages);
}

bool PrintPreview::prepareJob(QList<int> *pages)
{
    setPrintEnAble(false);
    savePrintCfg2TemplateModel();

    const QString range = ui->combox_page->currentText();
    if (range == text(RANGE_CURRENT)) {
        pages->append(pageIndex + 1);
        appendLog(text("打印任务开始:当前页") + QString::number(pageIndex + 1));
    } else if (range == text(RANGE_CUSTOM)) {
        const QString error = parseCustomPage(pages);
        if (!error.isEmpty()) {
            TextUtil::showError(error);
            setPrintEnAble(true);
            return false;
        }
        appendLog(text("打印任务开始:自定义范围") + ui->edit_custom_page->text());
    } else {
        for (int n = 1; n <= rows.size(); ++n)
            pages->append(n);
        appendLog(text("打印任务开始:所有页") + QStringLiteral("1-") + QString::number(rows.size()));
    }
    // Undo a Ctrl+wheel zoom; shear and translation stay.
    view->setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    const QTransform t = view->transform();
    view->setTransform(QTransform(1.0, t.m12(), t.m13(), t.m21(), 1.0, t.m23(), t.m31(), t.m32(), t.m33()));

    page->rebuild(ui->box_enbackground->isChecked());
    return true;
}

void PrintPreview::on_btn_print_clicked()
{
    if (!job->isLinked()) {
        TextUtil::showError(text("未连接到打印机"));
        return;
    }
    scrollToolsToBottom();
    if (job->isBusy()) {
        TextUtil::showError(text(PRINT_BUSY_TIP));
        setPrintEnAble(false);
        return;
    }
    QList<int> pages;
    if (prepareJob(&pages))
        job->startPrint(pages);
}

void PrintPreview::on_btn_write_test_page_clicked()
{
    if (!job->isLinked()) {
        TextUtil::showError(text("未连接到打印机"));
        return;
    }
    if (job->isBusy() || (printerTaken && printerTaken())) {
        TextUtil::showError(text(PRINT_BUSY_TIP));
        return;
    }
    QList<int> pages;
    if (prepareJob(&pages))
        job->startTestPage(pages);
}

bool PrintPreview::onApiPrint(QString &code)
{
    if (job->isBusy()) {
        TextUtil::showError(text(PRINT_BUSY_TIP));
        code = QLatin1String(API_BUSY_CODE);
        return false;
    }
    scrollToolsToBottom();
    QList<int> pages;
    if (!prepareJob(&pages))
        return false;
    closeAfterJob = true;
    job->startPrint(pages);
    return true;
}

void PrintPreview::receiveHandShake(HandshakeReceiveModel model)
{
    job->handshakeReceived(model);
}

void PrintPreview::handshakeHeld()
{
    job->handshakeHeld();
}

bool PrintPreview::handshakeSent()
{
    return job->handshakeSent();
}

void PrintPreview::receivePrint(PrintReceiveModel model)
{
    job->printAcknowledged(model);
}

void PrintPreview::receivePrintTest(PrintReceiveModel model)
{
    job->testPageReplied(model);
}

void PrintPreview::receivePrintNotify(PrintReceiveModel model)
{
    job->pageNoticed(model);
}

void PrintPreview::on_btn_cancel_clicked()
{
    job->cancel(PrintJob::Canceller::User);
}

void PrintPreview::onApiStopPrint()
{
    job->cancel(PrintJob::Canceller::Api);
}

PrintJob *PrintPreview::releaseJob()
{
    if (!job->release())
        return nullptr;
    PrintJob *released = job;
    released->disconnect(this);
    released->setParent(nullptr);
    // Whatever still reaches the closed window meets a job of its own.
    createJob();
    return released;
}

void PrintPreview::on_btn_stop_clicked()
{
    if (!job->isLinked()) {
        TextUtil::showError(text("未连接到打印机"));
        return;
    }
    job->stop();
}

void PrintPreview::serialDisconnected()
{
    job->linkLost();
}

void PrintPreview::tcpDisconnected(QString host, int)
{
    // The link reports a connection with its peer's address, a loss with "".
    if (host.isEmpty())
        serialDisconnected();
}

// ---------------------------------------------------------------------------
// Window frame

void PrintPreview::on_btn_hide_clicked()
{
    showMinimized();
}

void PrintPreview::on_btn_max_clicked()
{
    // One toggle for every preview window of the program's life.
    static bool isMax = false;
    if (!isMax) {
        showMaximized();
        isMax = true;
    } else {
        showNormal();
        isMax = false;
    }
}

void PrintPreview::on_btn_close_clicked()
{
    close();
}

void PrintPreview::closeEvent(QCloseEvent *event)
{
    emit sigWidgetClosed();
    QWidget::closeEvent(event);
}

bool PrintPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        // The wheel turns pages and zooms; it never changes a value or
        // scrolls the page area.
        if (watched->inherits("QAbstractSpinBox") || watched->inherits("QComboBox")
            || watched == ui->scrollArea->viewport()) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PrintPreview::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, QRect(0, 0, ui->print_top_widget->width(), ui->print_top_widget->height())
                               .contains(event->pos()));
    event->ignore();
}

void PrintPreview::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging a maximised window takes it out of its maximised state.
    if (titleDrag.follow(this, event) && isMaximized())
        showNormal();
    event->ignore();
}

void PrintPreview::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
    event->ignore();
}

void PrintPreview::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p(event->globalX() - frameGeometry().x() - ui->lab_logo->width(),
                   event->globalY() - frameGeometry().y());
    if (QRect(0, 0, ui->print_top_widget->width(), ui->print_top_widget->height()).contains(p))
        on_btn_max_clicked();
}
