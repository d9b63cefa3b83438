#include "editor/templatedialog.h"

#include "ui_templatedialog.h"

#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QCursor>
#include <QDir>
#include <QGraphicsScene>

#include <memory>

namespace {

// Indexed by the tool's code.
const char *const CURSORS[] = {
    nullptr,
    ":/resources/icon/cursor_line_h.png",
    ":/resources/icon/cursor_line_v.png",
    ":/resources/icon/cursor_rect.png",
    ":/resources/icon/cursor_circle.png",
    ":/resources/icon/cursor_text.png",
    ":/resources/icon/cursor_img.png",
    ":/resources/icon/cursor_qr.png",
    ":/resources/icon/cursor_rect2.png",
    ":/resources/icon/cursor_bar.png",
};

// The thin side of a new line.
constexpr float LINE_THICKNESS_MM = 0.5f;
const char *const TEXT_FONT = "宋体";

float defaultSize(const char *key)
{
    return JsonUtil::getDefaultConfigFloat(QLatin1String(key));
}

// A new code's own text and title; it prints as it is until a row fills it.
template <typename Code>
Code newCode(const QString &title, const QString &content)
{
    Code m;
    m.title = title;
    m.content = content;
    m.fixed = true;
    return m;
}

} // namespace

QList<QPushButton *> TemplateDialog::toolButtons() const
{
    return {ui->btn_add_Hline, ui->btn_add_Vline, ui->btn_add_rect,    ui->btn_add_cir, ui->btn_add_font,
            ui->btn_add_pic,   ui->btn_add_qr,    ui->btn_add_rect_bg, ui->btn_add_bar};
}

void TemplateDialog::armTool(AddTool tool, bool checked)
{
    addOp = checked ? tool : AddTool::None;
    const QList<QPushButton *> buttons = toolButtons();
    for (int i = 0; i < buttons.size(); ++i)
        buttons.at(i)->setChecked(i + 1 == int(addOp));
    updateCursorShape();
}

void TemplateDialog::on_btn_add_Hline_clicked() { armTool(AddTool::HLine, ui->btn_add_Hline->isChecked()); }
void TemplateDialog::on_btn_add_Vline_clicked() { armTool(AddTool::VLine, ui->btn_add_Vline->isChecked()); }
void TemplateDialog::on_btn_add_rect_clicked() { armTool(AddTool::Rect, ui->btn_add_rect->isChecked()); }
void TemplateDialog::on_btn_add_cir_clicked() { armTool(AddTool::Circle, ui->btn_add_cir->isChecked()); }
void TemplateDialog::on_btn_add_font_clicked() { armTool(AddTool::Text, ui->btn_add_font->isChecked()); }
void TemplateDialog::on_btn_add_pic_clicked() { armTool(AddTool::Picture, ui->btn_add_pic->isChecked()); }
void TemplateDialog::on_btn_add_qr_clicked() { armTool(AddTool::Qrcode, ui->btn_add_qr->isChecked()); }
void TemplateDialog::on_btn_add_rect_bg_clicked() { armTool(AddTool::RectBg, ui->btn_add_rect_bg->isChecked()); }
void TemplateDialog::on_btn_add_bar_clicked() { armTool(AddTool::Barcode, ui->btn_add_bar->isChecked()); }

void TemplateDialog::updateCursorShape()
{
    const bool armed = addOp != AddTool::None;
    // The items show no resize cursors while a tool is armed.
    graphicsScene->setProperty("OPT_ADD", armed);
    if (armed)
        graphicsView->viewport()->setCursor(QCursor(QPixmap(QLatin1String(CURSORS[int(addOp)]))));
    else
        graphicsView->viewport()->setCursor(Qt::ArrowCursor);
}

QWidget *TemplateDialog::pageOf(int type) const
{
    switch (type) {
    case ELEMENT_RECTANGLE: return ui->page_add_rect;
    case ELEMENT_LINE: return ui->page_add_line;
    case ELEMENT_CIRCLE: return ui->page_add_cir;
    case ELEMENT_TEXT: return ui->page_add_font;
    case ELEMENT_PICTURE: return ui->page_add_picture;
    case ELEMENT_QRCODE: return ui->page_add_qrcode;
    case ELEMENT_RECT_BG: return ui->page_add_rect_bg;
    case ELEMENT_BARCODE: return ui->page_add_barcode;
    default: return ui->page_base_set;
    }
}

void TemplateDialog::on_mouseClicked(QPoint point)
{
    const QPointF p = graphicsView->mapToScene(point);
    if (addOp != AddTool::None) {
        addItem(p);
        armTool(AddTool::None, false);
        return;
    }
    // The box face is no element: it shows the template's own page.
    showElement(items.idOf(graphicsScene->itemAt(p, graphicsView->transform())));
}

void TemplateDialog::addItem(const QPointF &point)
{
    switch (addOp) {
    case AddTool::HLine: addHLineItem(point); break;
    case AddTool::VLine: addVLineItem(point); break;
    case AddTool::Rect: addRectItem(point); break;
    case AddTool::Circle: addCircleItem(point); break;
    case AddTool::Text: addTextItem(point); break;
    case AddTool::Picture:
        // A file dialog inside the view's mouse press would leave the view
        // waiting for a release it never gets.
        QMetaObject::invokeMethod(this, [this, point] { addPixmapItem(point); }, Qt::QueuedConnection);
        break;
    case AddTool::Qrcode: addQrcodeItem(point); break;
    case AddTool::RectBg: addRectBgItem(point); break;
    case AddTool::Barcode: addBarcodeItem(point); break;
    case AddTool::None: break;
    }
}

void TemplateDialog::initNewElement(GraphicsModel &m, const QPointF &point, const char *sizes,
                                    const char *border) const
{
    const auto key = [](const char *model, const char *field) {
        return JsonUtil::getDefaultConfigFloat(QLatin1String(model) + QLatin1Char('.') + QLatin1String(field));
    };
    m.startX = TextUtil::px2mm(int(point.x()), dpi());
    m.startY = TextUtil::px2mm(int(point.y()), dpi());
    m.width = key(sizes, "width");
    m.height = key(sizes, "height");
    m.border = key(border, "border");
    m.viewZ = 0;
    m.lockstate = false;
}

template <typename Model>
void TemplateDialog::appendElement(const Model &m)
{
    const QString id = doc.add(m);
    graphicsScene->clearSelection();
    items.item(id)->setSelected(true);
    showElement(id);
}

template <typename Model>
void TemplateDialog::appendShape(const QPointF &point, const char *defaults)
{
    Model m;
    initNewElement(m, point, defaults, defaults);
    appendElement(m);
}

void TemplateDialog::addRectItem(const QPointF &point)
{
    appendShape<RectangleModel>(point, "rectangleModel");
}

void TemplateDialog::addRectBgItem(const QPointF &point)
{
    appendShape<RectangleBgModel>(point, "rectangleModel");
}

void TemplateDialog::addHLineItem(const QPointF &point)
{
    addLineItem(point, Qt::Horizontal);
}

void TemplateDialog::addVLineItem(const QPointF &point)
{
    addLineItem(point, Qt::Vertical);
}

// A line is its default length one way and thin the other; its direction
// (0 horizontal, 1 vertical) goes with it.
void TemplateDialog::addLineItem(const QPointF &point, Qt::Orientation orientation)
{
    LineModel m;
    initNewElement(m, point, "lineModel", "lineModel");
    const bool horizontal = orientation == Qt::Horizontal;
    (horizontal ? m.height : m.width) = LINE_THICKNESS_MM;
    m.direction = horizontal ? 0 : 1;
    appendElement(m);
}

void TemplateDialog::addCircleItem(const QPointF &point)
{
    appendShape<CircleModel>(point, "circleModel");
}

void TemplateDialog::addTextItem(const QPointF &point)
{
    TextModel m;
    initNewElement(m, point, "textModel", "textModel");
    m.font = QString::fromUtf8(TEXT_FONT);
    m.fontSize = defaultSize("textModel.fontSize");
    m.wordSpacing = defaultSize("textModel.wordSpacing");
    m.rowSpacing = defaultSize("textModel.rowSpacing");
    m.indentation = defaultSize("textModel.indentation");
    m.scaleX = defaultSize("textModel.scaleX");
    m.scaleY = defaultSize("textModel.scaleY");
    m.textTitle = createDefaultTextTitle(QStringLiteral("文本标题"));
    m.textContent = QStringLiteral("文本");
    // Auto-fit, its mode, wrapping and upright ASCII keep the model's
    // defaults, and the item takes them from the model as it prints.
    appendElement(m);
}

void TemplateDialog::addQrcodeItem(const QPointF &point)
{
    auto m = newCode<QrcodeModel>(QStringLiteral("二维码"), QStringLiteral("二维码"));
    initNewElement(m, point, "qrcodeModel", "rectangleModel");
    appendElement(m);
}

void TemplateDialog::addBarcodeItem(const QPointF &point)
{
    auto m = newCode<BarcodeModel>(QStringLiteral("条形码"), QStringLiteral("123"));
    initNewElement(m, point, "barcodeModel", "rectangleModel");
    appendElement(m);
}

void TemplateDialog::addPixmapItem(const QPointF &point)
{
    const QString source = askPictureFile();
    if (source.isEmpty())
        return;
    const QString name = FileUtil::copyPictureFile(source);
    const std::unique_ptr<QPixmap> picture(name.isEmpty() ? nullptr : FileUtil::getPicturePixmap(name, true));
    if (!picture || picture->isNull()) {
        // An element of no size showing nothing would only be lost on the label.
        if (!name.isEmpty())
            deleteImageFile(picturePath(name));
        TextUtil::showError(QStringLiteral("图片读取失败"));
        return;
    }
    PictureModel m;
    initNewElement(m, point, "rectangleModel", "rectangleModel");
    // The picture keeps its pixel size on screen.
    m.width = TextUtil::px2mm(picture->width(), dpi());
    m.height = TextUtil::px2mm(picture->height(), dpi());
    m.fileName = name;
    appendElement(m);
    recordImgOperate(IMG_ADDED, picturePath(name));
}

QString TemplateDialog::askPictureFile()
{
    const QString source = Seams::getOpenFileName(this, QStringLiteral("选择图片"), QDir::homePath(),
                                                  QStringLiteral("image files(*.jpg *.png *.bmp)"));
    if (!source.isEmpty())
        FileUtil::checkCustomDir();
    return source;
}

QString TemplateDialog::createDefaultTextTitle(QString prefix) const
{
    return doc.freeTextTitle(prefix);
}
