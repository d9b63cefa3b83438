#include "print/printpreview.h"

#include "items/qwgraphicsview.h"
#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "print/printrecord.h"
#include "ui_printpreview.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/settingutil.h"
#include "util/textutil.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QGraphicsScene>
#include <QIntValidator>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

const char *const STYLE_SHEET = ":/resources/qss/printpreview.css";
const int LOGO_SIDE = 37;
const char *const CUSTOM_RANGE_PATTERN = "(\\d+,|\\d+-\\d+,)*(\\d+|\\d+-\\d+)";
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

    templateModel = JsonUtil::parseTemplate(templateName);
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

    // Bound to the window: a pause still running when it is destroyed does nothing.
    pauseTimer = new QTimer(this);
    pauseTimer->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the printer wants its full pause.
    pauseTimer->setTimerType(Qt::PreciseTimer);
    connect(pauseTimer, &QTimer::timeout, this, [this] {
        // The page scheduled goes, not one turned to after a cancel.
        if (pageIndex != scheduledPageIndex) {
            pageIndex = scheduledPageIndex;
            setDynamicData();
        }
        printSignal();
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
// Job start

bool PrintPreview::isBusy() const
{
    return printing || testPrinting || pageOut || pauseTimer->isActive();
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

QString PrintPreview::parseCustomPage()
{
    const QString range = ui->edit_custom_page->text().trimmed();
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QLatin1String(CUSTOM_RANGE_PATTERN)));
    if (!pattern.match(range).hasMatch())
        return text("打印范围格式不正确:") + range;
    const int count = rows.size();
    const auto inRange = [count](const QString &number, int *value) {
        bool ok = false;
        *value = number.toInt(&ok, 10);
        return ok && *value >= 1 && *value <= count;
    };
    QSet<int> chosen;
    const QStringList parts = range.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QStringList ends = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (!inRange(ends.first(), &first) || !inRange(ends.last(), &last))
            return text("打印超出范围:") + range;
        // A range runs upwards; "2-1" is a typing mistake, not an empty range.
        if (first > last)
            return text("打印范围格式不正确:") + range;
        for (int n = first; n <= last; ++n)
            chosen.insert(n);
    }
    for (int n : qAsConst(chosen))
        pages.append(n);
    std::sort(pages.begin(), pages.end());
    return QString();
}

bool PrintPreview::startJob()
{
    setPrintEnAble(false);
    savePrintCfg2TemplateModel();
    pages.clear();
    jobPosition = 0;

    const QString range = ui->combox_page->currentText();
    if (range == text(RANGE_CURRENT)) {
        pages.append(pageIndex + 1);
        appendLog(text("打印任务开始:当前页") + QString::number(pageIndex + 1));
    } else if (range == text(RANGE_CUSTOM)) {
        const QString error = parseCustomPage();
        if (!error.isEmpty()) {
            TextUtil::showError(error);
            printing = false;
            testPrinting = false;
            setPrintEnAble(true);
            return false;
        }
        appendLog(text("打印任务开始:自定义范围") + ui->edit_custom_page->text());
    } else {
        for (int n = 1; n <= rows.size(); ++n)
            pages.append(n);
        appendLog(text("打印任务开始:所有页") + QStringLiteral("1-") + QString::number(rows.size()));
    }
    // Undo a Ctrl+wheel zoom; shear and translation stay.
    view->setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    const QTransform t = view->transform();
    view->setTransform(QTransform(1.0, t.m12(), t.m13(), t.m21(), 1.0, t.m23(), t.m31(), t.m32(), t.m33()));

    pageIndex = pages.takeFirst() - 1;
    page->rebuild(ui->box_enbackground->isChecked());
    setDynamicData();
    return true;
}

void PrintPreview::on_btn_print_clicked()
{
    if (!printerLinked) {
        TextUtil::showError(text("未连接到打印机"));
        return;
    }
    scrollToolsToBottom();
    if (isBusy()) {
        TextUtil::showError(text("打印正在进行中"));
        setPrintEnAble(false);
        return;
    }
    printing = true;
    if (!startJob())
        return;
    waitingHandshake = true;
    emit sigHandShake();
}

void PrintPreview::on_btn_write_test_page_clicked()
{
    if (!printerLinked) {
        TextUtil::showError(text("未连接到打印机"));
        return;
    }
    if (isBusy()) {
        TextUtil::showError(text("打印正在进行中"));
        return;
    }
    testPrinting = true;
    if (!startJob())
        return;
    // The test page does no handshake: the last one told the printer type.
    schedulePage();
}

bool PrintPreview::onApiPrint(QString &code)
{
    if (isBusy()) {
        TextUtil::showError(text("打印正在进行中"));
        code = QLatin1String(API_BUSY_CODE);
        return false;
    }
    scrollToolsToBottom();
    printing = true;
    closeAfterJob = true;
    if (!startJob()) {
        closeAfterJob = false;
        return false;
    }
    waitingHandshake = true;
    emit sigHandShake();
    return true;
}

// ---------------------------------------------------------------------------
// The printer's replies

bool PrintPreview::checkPrinterVersion(QString version)
{
    static const struct {
        const char *code;
        int type;
    } CODES[] = {{"10", 1}, {"Z1", 1}, {"B18", 1}, {"B28", 1}, {"20", 2}, {"30", 3}, {"40", 4}};
    for (const auto &entry : CODES) {
        if (version.contains(QLatin1String(entry.code), Qt::CaseSensitive)) {
            PrinterUtil::s_protocolType = entry.type;
            return true;
        }
    }
    PrinterUtil::s_protocolType = 0;
    return false;
}

void PrintPreview::receiveHandShake(HandshakeReceiveModel model)
{
    // A reply that nothing here asked for (one requested elsewhere) must not
    // send a page twice.
    if (!waitingHandshake) {
        qInfo().noquote() << "handshake reply outside a job's start ignored";
        return;
    }
    waitingHandshake = false;
    const bool ok = checkPrinterVersion(model.sn.mid(4, 2)) || checkPrinterVersion(model.version);
    if (!ok) {
        appendLog(text("警告：未识别的版本"));
        printing = false;
        testPrinting = false;
        setPrintEnAble(true);
        return;
    }
    appendLog(text("打印机检测状态正常, 版本号:") + model.version);
    schedulePage();
}

void PrintPreview::schedulePage()
{
    scheduledPageIndex = pageIndex;
    pauseTimer->start(Seams::jobPauseMs());
}

void PrintPreview::printSignal()
{
    const int type = PrinterUtil::s_protocolType;
    const QImage image = renderPage();
    qInfo().noquote() << "printSignal" << type;
    const float dx = offsetXFromControls();
    const float dy = offsetYFromControls();

    if (type == 4) {
        PagePlacement::encodeBands(image, templateModel, dx, dy, dpi());
        // The link has no road for these packages yet: the job ends here
        // rather than wait for a notice that cannot come.
        appendLog(text("该机型暂不支持发送打印数据，打印任务结束"));
        pages.clear();
        printing = false;
        testPrinting = false;
        setPrintEnAble(true);
        return;
    }
    if (type < 1 || type > 3) {
        appendLog(text("未识别到打印机型号"));
        qWarning().noquote() << "undefined type" << type;
        printing = false;
        testPrinting = false;
        setPrintEnAble(true);
        return;
    }

    const bool test = testPrinting;
    const PagePlacement::Frame frame =
        PagePlacement::encodeGen1(type, image, templateModel, dx, dy, test, dpi());
    if (frame.bytes.isEmpty()) {
        appendLog(text("第%1页打印失败, 打印数据生成失败").arg(pageIndex + 1));
        if (test)
            endTestJob();
        else
            continueJob();
        return;
    }
    pageOut = true;
    pageOutIndex = pageIndex;
    pageOutDots = frame.dots;
    pageOutPosition = jobPosition;
    emit sigPrint(frame.bytes);
}

void PrintPreview::receivePrint(PrintReceiveModel model)
{
    const int n = (pageOut ? pageOutIndex : pageIndex) + 1;
    if (model.status == 0)
        appendLog(text("第%1页打印开始...").arg(n));
    else
        appendLog(text("第%1页打印取消, 状态码%2").arg(n).arg(model.status));
}

void PrintPreview::receivePrintTest(PrintReceiveModel model)
{
    if (!testPrinting || !pageOut) {
        qInfo().noquote() << "test page reply without a test page ignored";
        return;
    }
    pageOut = false;
    if (model.status == 0)
        appendLog(text("写入测试页任务结束"));
    else
        appendLog(text("写入测试页任务取消，状态码%1").arg(model.status));
    endTestJob();
}

void PrintPreview::endTestJob()
{
    testPrinting = false;
    setPrintEnAble(true);
}

void PrintPreview::receivePrintNotify(PrintReceiveModel model)
{
    // Notices carry no page identity: one that finds no page out cannot be
    // told apart from a late one of a stopped job, and counts for nothing.
    if (!pageOut || testPrinting) {
        qInfo().noquote() << "print notice without a page out ignored";
        return;
    }
    pageOut = false;
    const int n = pageOutIndex + 1;
    if (model.status != 0) {
        appendLog(text("第%1页打印失败, 状态码%2").arg(n).arg(model.status));
    } else {
        appendLog(text("第%1页打印成功!").arg(n));
        emit sigConsumInkDots(pageOutDots, pageOutPosition);
        if (!PrintRecord::insertTable(templateModel.name, templateModel.type))
            TextUtil::showError(text("打印记录失败"));
    }
    continueJob();
}

void PrintPreview::continueJob()
{
    if (pages.isEmpty()) {
        printing = false;
        appendLog(text("打印任务结束!"));
        if (closeAfterJob) {
            closeAfterJob = false;
            QTimer::singleShot(Seams::jobPauseMs(), this, &QWidget::close);
        }
        setPrintEnAble(true);
        return;
    }
    if (printing) {
        pageIndex = pages.takeFirst() - 1;
        ++jobPosition;
        setDynamicData();
        schedulePage();
        return;
    }
    appendLog(text("打印取消!"));
    setPrintEnAble(true);
}

// ---------------------------------------------------------------------------
// Cancel, stop and link loss

void PrintPreview::on_btn_cancel_clicked()
{
    // The page already scheduled or out still prints; its notice ends the job.
    printing = false;
    waitingHandshake = false;
    setPrintEnAble(true);
    appendLog(text("取消打印"));
}

void PrintPreview::onApiStopPrint()
{
    printing = false;
    waitingHandshake = false;
    setPrintEnAble(true);
    appendLog(text("远程打印任务终止!"));
}

void PrintPreview::on_btn_stop_clicked()
{
    if (!printerLinked) {
        TextUtil::showError(text("未连接到打印机"));
        return;
    }
    emit sigStopPrint();
    // The printer stops at once: nothing is out any more, and nothing
    // scheduled may go (a test page included).
    pauseTimer->stop();
    pages.clear();
    printing = false;
    testPrinting = false;
    waitingHandshake = false;
    pageOut = false;
    setPrintEnAble(true);
    appendLog(text("紧急终止打印"));
}

void PrintPreview::serialDisconnected()
{
    appendLog(text("与打印机断开连接，请检查"));
    pauseTimer->stop();
    printing = false;
    testPrinting = false;
    printerLinked = false;
    waitingHandshake = false;
    pageOut = false;
    setPrintEnAble(true);
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
    if (event->button() == Qt::LeftButton
        && QRect(0, 0, ui->print_top_widget->width(), ui->print_top_widget->height()).contains(event->pos())) {
        dragging = true;
        dragPos = event->globalPos();
    }
    event->ignore();
}

void PrintPreview::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging) {
        const QPoint now = event->screenPos().toPoint();
        move(pos() + now - dragPos);
        dragPos = now;
        if (isMaximized())
            showNormal();
    }
    event->ignore();
}

void PrintPreview::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
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
