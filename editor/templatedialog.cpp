#include "editor/templatedialog.h"
#include "ui_templatedialog.h"

#include "editor/fontsizetext.h"
#include "editor/templateruler.h"
#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/constants.h"
#include "util/fontfamilies.h"
#include "util/frameplacement.h"
#include "util/jsonutil.h"
#include "util/settingutil.h"
#include "util/textutil.h"

#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGraphicsScene>
#include <QGridLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QtDebug>

#include <cmath>

namespace {

const char *const STYLE_SHEET = ":/resources/qss/templatestyle.css";
constexpr int RULER_THICKNESS = 30;
constexpr int LOGO_SIDE = 37;
const char *const FONT_SIZE_EDIT_STYLE = "font-size: 16px;color: rgba(187, 187, 187, 1);border: 0px solid #7B7B7B;";
// The text page's start boxes go below 0: a turned text flush with the
// label's left or top edge starts before it.
constexpr double TEXT_START_MIN = -9999.99;
// A restored editor is at most this share of its screen, so it does not
// look maximised on a small one.
constexpr int RESTORED_SCREEN_SHARE_PERCENT = 90;
// The label's shorter side never shrinks below this many pixels on the canvas.
constexpr qreal MIN_CANVAS_SIDE = 8;

} // namespace

TemplateDialog::TemplateDialog(QString templateName, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TemplateDialog)
    , doc(JsonUtil::parseStoredTemplate(templateName))
    // The scene belongs to the editor: it goes with the window.
    , graphicsScene(new QGraphicsScene(this))
    , items(graphicsScene, doc)
{
    ui->setupUi(this);
    setWindowFlag(Qt::FramelessWindowHint);
    ui->lb_line_bord->hide();
    ui->edit_line_bord_mm->hide();
    ui->edit_line_bord_px->hide();
    setUpLogo();
    TextUtil::SCREEN_DPI = TextUtil::screenDpi();
    insertEvent();
    applyStyleSheet();
    setToolTip();

    ui->edit_text_x->setMinimum(TEXT_START_MIN);
    ui->edit_text_y->setMinimum(TEXT_START_MIN);

    const int w = px(model().printWidth);
    const int h = px(model().printHeight);
    graphicsScene->setBackgroundBrush(Qt::white);
    graphicsScene->setSceneRect(0, 0, w, h);
    qDebug() << "template background:" << model().background;
    addBackgroundItem();
    createCanvas(w, h);

    auto *delegate = new QStyledItemDelegate(this);
    for (QComboBox *box : {ui->box_backgroundImg, ui->box_fontFamily, ui->box_fontSize, ui->box_text_angle})
        box->setItemDelegate(delegate);
    fillFontBoxes();

    initView();
    connect(&doc, &TemplateDocument::changed, this, &TemplateDialog::documentChanged);
    connect(&doc, &TemplateDocument::labelChanged, this, &TemplateDialog::refreshGraphicsBackground);
    // However the selection changed (a click, a Ctrl-click on its release, a
    // rubber band, a delete), the page shows a selected element.
    connect(graphicsScene, &QGraphicsScene::selectionChanged, this, &TemplateDialog::followSelection);
    connectViewProperty();
    connectTextProperty();
    connectRectProperty();
    connectRectBgProperty();
    connectLineProperty();
    connectCircleProperty();
    connectPicutreProperty();
    connectQrcodeProperty();
    connectBarcodeProperty();
    updateToolView(QString(), 0);
    ui->stackedWidget->setCurrentWidget(ui->page_base_set);
    initGraphicsViewMenu();
    applyLockState(model().lockstate);
}

TemplateDialog::~TemplateDialog()
{
    // The widgets and the scene go after the members their handlers use, and
    // still signal as they go: hiding the window takes the focus from a box,
    // which then says its editing finished.
    const QList<QObject *> children = findChildren<QObject *>();
    for (const QObject *child : children)
        disconnect(child, nullptr, this, nullptr);
    delete ui;
}

void TemplateDialog::openMaximized(const QScreen *screen)
{
    // Placed before its window is made: a window first shown maximised
    // comes back, restored, where it was before, and one never placed is
    // in the screen's corner, under the main window's title.
    if (screen) {
        const QRect area = screen->availableGeometry();
        const QSize normal = size().boundedTo(area.size() * RESTORED_SCREEN_SHARE_PERCENT / 100);
        setGeometry(FramePlacement::centred(normal, area.center(), area, FramePlacement::expectedFrame(this)));
    }
    showMaximized();
}

void TemplateDialog::setUpLogo()
{
    if (!SettingUtil::s_isConfiged || !QFileInfo::exists(SettingUtil::s_logoPath)) {
        ui->lab_logo->hide();
        return;
    }
    QPixmap logo;
    if (logo.load(SettingUtil::s_logoPath))
        ui->lab_logo->setPixmap(logo.scaled(LOGO_SIDE, LOGO_SIDE, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TemplateDialog::applyStyleSheet()
{
    QFile file{QLatin1String(STYLE_SHEET)};
    if (file.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(file.readAll()));
}

void TemplateDialog::createCanvas(int width, int height)
{
    canvasWidget = new QWidget(ui->viewScrollArea);
    graphicsView = new QWGraphicsView();
    graphicsView->setCursor(Qt::ArrowCursor);
    graphicsView->setMouseTracking(true);
    graphicsView->setDragMode(QGraphicsView::RubberBandDrag);
    graphicsView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    graphicsView->setContextMenuPolicy(Qt::CustomContextMenu);
    graphicsView->setScene(graphicsScene);
    graphicsView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    graphicsView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    graphicsView->setSceneRect(0, 0, width, height);
    graphicsView->setFixedSize(width, height);
    graphicsView->centerOn(0, 0);
    graphicsView->zoomEnabled = true;
    connect(graphicsView, &QWGraphicsView::wheelModified, this, &TemplateDialog::on_wheelModified);
    connect(graphicsView, &QWGraphicsView::mouseClicked, this, &TemplateDialog::on_mouseClicked);
    connect(graphicsView, &QWGraphicsView::mouseMovePoint, this, &TemplateDialog::on_mouseMovePoint);
    connect(graphicsView, &QWGraphicsView::mouseRightClicked, this, &TemplateDialog::on_mouseRightClicked);
    connect(graphicsView, &QWGraphicsView::keyPress, this, &TemplateDialog::on_keyPress);
    connect(graphicsView, &QWGraphicsView::mouseReleasePoint, this, &TemplateDialog::on_mouseRelease);
    qDebug() << "viewWidth:" << width << "viewHeight" << height << graphicsView->width() << graphicsView->height()
             << graphicsScene->sceneRect().width() << graphicsScene->sceneRect().height();

    horizontalRuler = new TemplateRuler(true, model().printWidth, canvasWidget);
    horizontalRuler->setObjectName(QStringLiteral("horizontalRuler"));
    horizontalRuler->setFixedSize(width, RULER_THICKNESS);
    verticalRuler = new TemplateRuler(false, model().printHeight, canvasWidget);
    verticalRuler->setObjectName(QStringLiteral("verticalRuler"));
    verticalRuler->setFixedSize(RULER_THICKNESS, height);

    auto *grid = new QGridLayout(canvasWidget);
    grid->setSpacing(0);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(horizontalRuler, 0, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(verticalRuler, 1, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(graphicsView, 1, 1);
    ui->viewScrollArea->setWidgetResizable(false);
    ui->viewScrollArea->setWidget(canvasWidget);
    ui->viewScrollArea->viewport()->installEventFilter(this);
    graphicsView->viewport()->installEventFilter(this);
    on_wheelModified(0);
}

void TemplateDialog::fillFontBoxes()
{
    ui->box_fontFamily->clear();
    QStringList families = JsonUtil::getCustomConfigList(QStringLiteral("font.use"));
    if (families.isEmpty())
        families = QFontDatabase().families();
    ui->box_fontFamily->addItems(FontFamilies::plainNames(families));

    ui->box_fontSize->setEditable(true);
    ui->box_fontSize->lineEdit()->setStyleSheet(QLatin1String(FONT_SIZE_EDIT_STYLE));
    // Sizes are typed as millimetres with decimals, "mm" optional; a typed
    // size is never added to the list of names.
    ui->box_fontSize->setValidator(new QRegularExpressionValidator(FontSizeText::pattern(), ui->box_fontSize));
    ui->box_fontSize->setInsertPolicy(QComboBox::NoInsert);
    for (const auto &pair : fontSizePairs)
        ui->box_fontSize->addItem(pair.first);
}

int TemplateDialog::dpi()
{
    return EditorScene::dpi();
}

int TemplateDialog::px(float mm) const
{
    return TextUtil::mm2px(mm, dpi());
}

TemplateRuler *TemplateDialog::ruler(Qt::Orientation orientation) const
{
    return orientation == Qt::Horizontal ? horizontalRuler : verticalRuler;
}

void TemplateDialog::initView()
{
    items.addAll();
    qDebug() << Q_FUNC_INFO << graphicsScene->sceneRect();
}

void TemplateDialog::on_wheelModified(int)
{
    // The view, and with it the canvas, takes the zoomed label's size, so the
    // scene's origin stays at the view's top left and lines up with ruler 0.
    // The view zooms without limits; the canvas cannot: no widget is wider
    // than QWIDGETSIZE_MAX, and a label shrunk below a few pixels can no
    // longer be found under the mouse to zoom it back. A step past either
    // end is taken back to it.
    const qreal width = px(model().printWidth);
    const qreal height = px(model().printHeight);
    const qreal most = QWIDGETSIZE_MAX / qMax(qreal(1), qMax(width, height));
    const qreal least = qMin(qreal(1), MIN_CANVAS_SIDE / qMax(qreal(1), qMin(width, height)));
    const qreal zoom = graphicsView->transform().m11();
    if (zoom > most || zoom < least) {
        const qreal kept = qBound(least, zoom, most);
        graphicsView->scale(kept / zoom, kept / zoom);
    }
    const qreal m = graphicsView->transform().m11();
    const qreal w = qMin(width * m, qreal(QWIDGETSIZE_MAX));
    const qreal h = qMin(height * m, qreal(QWIDGETSIZE_MAX));
    horizontalRuler->setFixedWidth(int(w));
    verticalRuler->setFixedHeight(int(h));
    // Rounded up: a view a fraction smaller than the label could scroll.
    graphicsView->setFixedSize(int(std::ceil(w)), int(std::ceil(h)));
    graphicsView->horizontalScrollBar()->setValue(graphicsView->horizontalScrollBar()->minimum());
    graphicsView->verticalScrollBar()->setValue(graphicsView->verticalScrollBar()->minimum());
    canvasWidget->resize(int(std::ceil(w)) + RULER_THICKNESS, int(std::ceil(h)) + RULER_THICKNESS);
    horizontalRuler->update();
    verticalRuler->update();
}

void TemplateDialog::setTextSelectMode(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(ui->frame_text_border), static_cast<QWidget *>(ui->lb_text_title),
                       static_cast<QWidget *>(ui->edit_text_title), static_cast<QWidget *>(ui->lb_text_content),
                       static_cast<QWidget *>(ui->edit_text_content)})
        w->setEnabled(enabled);
}

void TemplateDialog::insertEvent()
{
    const QList<QWidget *> widgets = findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w))
            w->installEventFilter(this);
    }
}

bool TemplateDialog::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        && graphicsView && watched == graphicsView->viewport()) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A right press only opens the menu (on its release): handed on, it
        // would reach the scene, and a press no item takes (a position-locked
        // element ignores it) clears the selection the menu is about.
        if (mouse->button() == Qt::RightButton)
            return true;
        // With a tool armed a press adds, and that is all it does: handed on,
        // it would also pick the element under it, which its release would
        // then leave selected in place of the new one.
        if (mouse->button() == Qt::LeftButton && addOp != AddTool::None) {
            on_mouseClicked(mouse->pos());
            return true;
        }
    }
    if (event->type() == QEvent::Wheel
        && (watched->inherits("QAbstractSpinBox") || watched->inherits("QComboBox")
            || watched == ui->viewScrollArea->viewport())) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TemplateDialog::setToolTip()
{
    ui->btn_help_bg->setToolTip(QStringLiteral("可扫描盒面\n进行背景插入"));
    ui->btn_help_font2->setToolTip(QStringLiteral("标题需与实体档案\n标题内容一致\n(不能重复)"));
    ui->btn_help_temp->setToolTip(QStringLiteral("模板宽高指实际档案盒\n需要打印范围的宽高"));
    ui->btn_help_fix->setToolTip(QStringLiteral("对打印内容\n进行固定"));
    for (QWidget *w : {ui->btn_help_Vline, ui->btn_help_Hline, ui->btn_help_cir, ui->btn_help_font,
                       ui->btn_help_rect, ui->btn_help_qrcode})
        w->hide();
}

void TemplateDialog::applyLockState(bool locked)
{
    // The view still reports clicks: an armed tool would add through the lock.
    if (locked)
        armTool(AddTool::None, false);
    graphicsView->setInteractive(!locked);
    ui->stackedWidget->setEnabled(!locked);
    ui->template_left_frame->setEnabled(!locked);
}

void TemplateDialog::on_btn_hide_clicked()
{
    showMinimized();
}

void TemplateDialog::on_btn_max_clicked()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void TemplateDialog::on_btn_close_clicked()
{
    close();
}

bool TemplateDialog::insideTitleBar(const QPoint &point) const
{
    return QRect(QPoint(0, 0), ui->template_top_widget->size()).contains(point);
}

void TemplateDialog::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, insideTitleBar(event->pos()));
    event->ignore();
}

void TemplateDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (!isMaximized())
        titleDrag.follow(this, event);
    event->ignore();
}

void TemplateDialog::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
    event->ignore();
}

void TemplateDialog::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p(event->globalX() - frameGeometry().x() - ui->lab_logo->width(),
                   event->globalY() - frameGeometry().y());
    if (insideTitleBar(p))
        on_btn_max_clicked();
}
