#pragma once

// The template editor: a frameless top-level window that edits one template.
// It keeps a working copy of the template; every edit goes into that copy at
// once and nothing reaches the template store until the template is saved.
// The canvas is a graphics scene at screen resolution, the box face behind
// one item per element, shown by a mouse-reporting view with a millimetre
// ruler above it and one to its left. The add tools sit in the left column,
// the property pages in the right one.
//
// The implementation is split by concern: templatedialog.cpp holds the
// window, the scene and the zoom; templatedialog_background.cpp the box face
// and the picture files; templatedialog_add.cpp the add tools;
// templatedialog_panels.cpp the base and shape pages; templatedialog_codes.cpp
// the picture, QR code and barcode pages; templatedialog_text.cpp the text
// page; templatedialog_menu.cpp the context menu, the clipboard and the
// stacking order; templatedialog_mouse.cpp what moving, resizing and keys
// write back; templatedialog_save.cpp saving.

#include "editor/backgroundpicture.h"
#include "editor/picturefilebook.h"
#include "model/templatemodel.h"
#include "util/windowdrag.h"

#include <QList>
#include <QMetaObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

class BaseItem;
class QAction;
class QDoubleSpinBox;
class QGraphicsItem;
class QGraphicsScene;
class QKeyEvent;
class QMenu;
class QPixmap;
class QPushButton;
class RichTextItem;
class QWGraphicsView;
class TemplateRuler;

namespace Ui {
class TemplateDialog;
}

class TemplateDialog : public QWidget
{
    Q_OBJECT

public:
    enum IMG_OPT {
        IMG_ADDED = 0,
        IMG_REMOVED = 1,
    };

    // The box face item: its id (item data 0) and its place below every element.
    static constexpr const char *BACKGROUND_ID = "bg";
    static constexpr int BACKGROUND_Z = -999;

    // The editor for the named template; an empty or unknown name gives a
    // new template of the default size.
    explicit TemplateDialog(QString templateName, QWidget *parent = nullptr);
    ~TemplateDialog() override;

    // Adds one item per element of the working model to the scene.
    void initView();
    // One scene item for an element, placed, sized and styled as its model
    // says (ids, type and title as item data); the caller adds it.
    BaseItem *createItem(const RectangleModel &m) const;
    BaseItem *createItem(const LineModel &m) const;
    BaseItem *createItem(const CircleModel &m) const;
    BaseItem *createItem(const TextModel &m) const;
    BaseItem *createItem(const PictureModel &m) const;
    BaseItem *createItem(const BarcodeModel &m) const;
    BaseItem *createItem(const QrcodeModel &m) const;
    BaseItem *createItem(const RectangleBgModel &m) const;
    // Adds an element's item to the scene, moving it (and its model) back
    // inside the label when it lies partly outside.
    void addElementItem(BaseItem *item, GraphicsModel &m);
    // Gives the canvas, the view and the rulers the size of the zoomed label.
    // The argument is not used.
    void on_wheelModified(int scale);
    // Enables or disables the text page's geometry and its title and content.
    void setTextSelectMode(bool enabled);
    // The editor filters the wheel of every spin box and combo box.
    void insertEvent();
    // The help buttons' tooltips; the help buttons without one are hidden.
    void setToolTip();
    using QWidget::setToolTip;
    // Locked: the view takes no mouse and the tool and property columns are off.
    void applyLockState(bool locked);

    // Shows the template on the base page (empty id) or one element on its
    // type's page.
    void updateToolView(QString id, int type);
    // The base page: background presets, sizes and the full-width flag.
    void connectViewProperty();

    // ---- Adding elements (templatedialog_add.cpp) ---------------------------
    // The add tools in the order of their codes; None when no tool is armed.
    enum class AddTool { None = 0, HLine, VLine, Rect, Circle, Text, Picture, Qrcode, RectBg, Barcode };
    AddTool armedTool() const { return addOp; }
    // The canvas cursor and the scene's "OPT_ADD" from the armed tool.
    void updateCursorShape();
    // A left press on the canvas, in view coordinates: adds with an armed
    // tool, otherwise shows the page of the element under the mouse.
    void on_mouseClicked(QPoint point);
    // Makes the armed tool's element at a scene point. A picture asks for its
    // file only after the event in hand has been handled.
    void addItem(const QPointF &point);
    void addRectItem(const QPointF &point);
    void addHLineItem(const QPointF &point);
    void addVLineItem(const QPointF &point);
    void addCircleItem(const QPointF &point);
    void addTextItem(const QPointF &point);
    void addPixmapItem(const QPointF &point);
    void addQrcodeItem(const QPointF &point);
    void addRectBgItem(const QPointF &point);
    void addBarcodeItem(const QPointF &point);
    // A text title no text element uses yet: prefix, or prefix and a number.
    QString createDefaultTextTitle(QString prefix) const;

    // ---- Shape, picture and code pages (templatedialog_panels.cpp, _codes.cpp)
    void connectRectProperty();
    void connectRectBgProperty();
    void connectLineProperty();
    void connectCircleProperty();
    void connectPicutreProperty();
    void connectQrcodeProperty();
    void connectBarcodeProperty();
    const QString &currentElementId() const { return currentId; }

    // Builds the scene anew from the working model, box face first.
    void refreshGraphicsBackground();
    // Books a picture file copied in (IMG_ADDED) or dropped (IMG_REMOVED).
    void recordImgOperate(IMG_OPT opt, QString path);
    // Settles the books after a store (true) or when the editor closes (false).
    void processRecordImg(bool saved);
    void deleteImageFile(QString path);

    // ---- Context menu, clipboard and stacking order (templatedialog_menu.cpp)
    void initGraphicsViewMenu();
    // Shows the menu for the selection at a view point, the paste position.
    void on_mouseRightClicked(QPoint point);
    void updateGraphicsViewMenu();
    // The clipboard keeps element ids: a paste makes copies of the elements
    // still in the template and never reaches a scene item.
    void operateCopy();
    void operatePaste();
    // Removes every selected element, items and models.
    void operateDelete();
    // Raise the element whose page is shown above, or put it below, the
    // elements it overlaps; those go back to 0.
    void bringToTop();
    void sendToBottom();
    void updateZValue2Model(QGraphicsItem *item, QStringList collidedIds);
    const QStringList &clipboard() const { return copyIds; }

    // ---- Moving, resizing and keys (templatedialog_mouse.cpp)
    // Write positions (moves) and geometry (releases) of the selected items
    // back into their models, where the whole pixels differ from the model.
    void on_mouseMovePoint(QPoint point);
    void on_mouseRelease(QPoint point);
    void on_keyPress(QKeyEvent *event);

    // ---- Text page (templatedialog_text.cpp)
    // Connect (again) and disconnect the page's handlers: only the
    // connections the page made itself, never piling up.
    void connectTextProperty();
    void disconnectTextProperty();
    // Shows the text element with that id on the text page; runs no handler.
    void fillTextPage(const QString &id);

    const TemplateModel &model() const { return templateModel; }
    QGraphicsScene *scene() const { return graphicsScene; }
    QWGraphicsView *view() const { return graphicsView; }
    TemplateRuler *ruler(Qt::Orientation orientation) const;
    const PictureFileBook &pictureFiles() const { return pictureBook; }
    const BackgroundPicture &backgroundPicture() const { return background; }

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void dialogClosed();
    void refreshTemplateView();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_btn_hide_clicked();
    void on_btn_max_clicked();
    void on_btn_close_clicked();
    void on_btn_diy_bg_clicked();
    void on_btn_bg_clear_clicked();

    // ---- Add tools and saving (templatedialog_add.cpp, _save.cpp) -----------
    void on_btn_add_rect_clicked();
    void on_btn_add_Hline_clicked();
    void on_btn_add_Vline_clicked();
    void on_btn_add_cir_clicked();
    void on_btn_add_font_clicked();
    void on_btn_add_pic_clicked();
    void on_btn_add_qr_clicked();
    void on_btn_add_rect_bg_clicked();
    void on_btn_add_bar_clicked();
    void on_btn_save_as_template_clicked();
    void on_btn_save_template_clicked();

private:
    void setUpLogo();
    void applyStyleSheet();
    void createCanvas(int width, int height);
    void fillFontBoxes();
    // The screen resolution as the conversions take it.
    static int dpi();
    int px(float mm) const;
    // Adds the box face item.
    void addBackgroundItem();
    // A preset chosen in the background combo box.
    void choosePresetBackground(const QString &name);
    // The combo box entry of the built-in template with the working background.
    void showPresetOfBackground();
    // Replaces the background text, booking a dropped custom picture.
    void setBackground(const QString &text);
    QString picturePath(const QString &fileName) const;
    bool insideTitleBar(const QPoint &point) const;
    BaseItem *placeItem(BaseItem *item, const GraphicsModel &m) const;
    BaseItem *outlinedItem(BaseItem *item, const GraphicsModel &m) const;
    BaseItem *picturedItem(const GraphicsModel &m, QPixmap *made, const QVariant &title) const;

    // ---- Adding elements (templatedialog_add.cpp) ---------------------------
    QList<QPushButton *> toolButtons() const;
    // Asks for a picture to copy into the picture folder (which then exists);
    // empty when the user cancelled.
    QString askPictureFile();
    // Arms tool (checked) or disarms every tool, keeping one button checked at most.
    void armTool(AddTool tool, bool checked);
    QWidget *pageOf(int type) const;
    // Id and start at the scene point (whole pixels) of a new element; its
    // size and border from the default configuration's "<sizes>.width",
    // "<sizes>.height" and "<border>.border".
    void initNewElement(GraphicsModel &m, const QPointF &point, const char *sizes, const char *border) const;
    // Appends the model, adds its item exactly at the point and selects it.
    template <typename Model>
    void appendElement(QList<Model> &list, const Model &m, const QPointF &point);
    // A new element of nothing but its default size and border.
    template <typename Model>
    void appendShape(QList<Model> &list, const QPointF &point, const char *defaults);
    void addLineItem(const QPointF &point, Qt::Orientation orientation);

    // ---- Property pages (templatedialog_panels.cpp, _codes.cpp) ------------
    // The geometry boxes of an element type's page; border boxes may be null.
    struct PageBoxes {
        QDoubleSpinBox *x = nullptr;
        QDoubleSpinBox *y = nullptr;
        QDoubleSpinBox *width = nullptr;
        QDoubleSpinBox *height = nullptr;
        QDoubleSpinBox *borderPx = nullptr;
        QDoubleSpinBox *borderMm = nullptr;
    };
    PageBoxes pageBoxes(int type) const;
    // The size boxes' values where they differ from what they show of the
    // model, as a save takes them.
    void takeSizeBoxes();
    // The model of element id in the list of its type; null when none.
    GraphicsModel *elementModel(const QString &id, int type);
    // The scene item of element id and type, selected or not; null when none.
    BaseItem *elementItem(const QString &id, int type) const;
    void connectGeometry(int type);
    void showGeometry(int type, const GraphicsModel &m);
    void moveElement(int type, Qt::Orientation axis, double value);
    void resizeElement(int type, Qt::Orientation side, double value);
    void setElementBorder(int type, float border);
    // The start follows the item when the label held it back.
    void followItemPosition(GraphicsModel &m, const BaseItem &item) const;
    void fillCodePage(const QString &id, int type);
    void connectCodeContent(int type);
    void changeCodeContent(int type, const QString &content);
    // A picture, QR code or barcode item's pixmap made again at its size; the
    // old one stays when none can be made.
    void remakeElementPicture(BaseItem *item, const GraphicsModel &m) const;

    // ---- Saving (templatedialog_save.cpp) -----------------------------------
    void openSaveDialog(const QString &title);
    void templateSaved();

    // ---- Context menu, clipboard and stacking order
    void setViewLock(bool checked);
    void setPositionLock(bool checked);
    // The selected item whose page is shown; none when it is not selected.
    BaseItem *stackingChoice() const;
    void collideToZero(BaseItem *chosen, qreal z);
    template <typename M>
    void pasteFrom(QList<M> &list, const QStringList &ids, const QPointF &at);
    QString pastedTitle(const QString &source, bool code) const;

    // ---- Moving, resizing and keys
    static bool isTextItem(const QGraphicsItem *item);
    // The first model with that id, in any element list.
    GraphicsModel *elementModel(const QString &id);
    // Moves an item along one axis to a place in millimetres; its model
    // takes the place, or where the scene's edge stopped the item.
    void moveElement(BaseItem *item, GraphicsModel &m, Qt::Orientation axis, float mm);
    void nudgeSelection(int key);
    void toggleTextStyle(int key);

    // ---- Text page
    // Calls change(item, model) for every selected text, then repaints.
    template <typename Change>
    void applyToSelectedTexts(Change change);
    // The first text model with that id.
    TextModel *textModel(const QString &id);
    RichTextItem *currentTextItem() const;
    void applyFontSize(const QString &text);
    void applyTextDirection(int direction);
    void fillTextButtons(const TextModel &m);

    WindowDrag titleDrag;
    Ui::TemplateDialog *ui;
    TemplateModel templateModel;
    QString currentId;
    QWidget *canvasWidget = nullptr;
    QWGraphicsView *graphicsView = nullptr;
    QGraphicsScene *graphicsScene = nullptr;
    TemplateRuler *horizontalRuler = nullptr;
    TemplateRuler *verticalRuler = nullptr;
    PictureFileBook pictureBook;
    BackgroundPicture background;
    // ---- Adding elements ----
    AddTool addOp = AddTool::None;


    // ---- Context menu, clipboard and stacking order
    QMenu *graphicsViewMenu = nullptr;
    QAction *actionViewLock = nullptr;
    QAction *actionPositionLock = nullptr;
    QAction *actionCopy = nullptr;
    QAction *actionPaste = nullptr;
    QAction *actionDelete = nullptr;
    QAction *actionToTop = nullptr;
    QAction *actionToBottom = nullptr;
    QStringList copyIds;
    QPoint rightClickPoint;

    // ---- Text page
    QList<QMetaObject::Connection> textConnections;
};
