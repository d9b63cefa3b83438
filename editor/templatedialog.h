#pragma once

// The template editor: a frameless top-level window that edits one template.
// The template being edited is a TemplateDocument, the one truth the window
// reads and writes: the property pages write their edits into it and show
// what it holds, the scene's items follow it (EditorScene), and what the
// mouse does to the items reaches it as edits in millimetres. Nothing
// reaches the template store until the template is saved. The canvas is a
// graphics scene at screen resolution, the box face behind one item per
// element, shown by a mouse-reporting view with a millimetre ruler above it
// and one to its left. The add tools sit in the left column, the property
// pages in the right one; a page always shows the element its edits change.
//
// The implementation is split by concern: templatedialog.cpp holds the
// window, the scene and the zoom; templatedialog_background.cpp the box face
// and the picture files; templatedialog_add.cpp the add tools;
// templatedialog_panels.cpp the base and shape pages and which element a
// page shows; templatedialog_codes.cpp the picture, QR code and barcode
// pages; templatedialog_text.cpp the text page; templatedialog_menu.cpp the
// context menu, the clipboard and the stacking order;
// templatedialog_mouse.cpp what moving, resizing and keys edit;
// templatedialog_save.cpp saving.

#include "editor/backgroundpicture.h"
#include "editor/editorscene.h"
#include "editor/picturefilebook.h"
#include "editor/templatedocument.h"
#include "model/templatemodel.h"
#include "util/windowdrag.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QAbstractSpinBox;
class QAction;
class QDoubleSpinBox;
class QGraphicsScene;
class QKeyEvent;
class QMenu;
class QPushButton;
class QWGraphicsView;
class TemplateRuler;

namespace Ui {
class TemplateDialog;
}

class QScreen;

class TemplateDialog : public QWidget
{
    Q_OBJECT

public:
    enum IMG_OPT {
        IMG_ADDED = 0,
        IMG_REMOVED = 1,
    };

    // The box face item's id (item data 0); it lies below every element
    // (TemplateModel::faceZ).
    static constexpr const char *BACKGROUND_ID = "bg";

    // The editor for the named template; an empty or unknown name gives a
    // new template of the default size.
    explicit TemplateDialog(QString templateName, QWidget *parent = nullptr);
    ~TemplateDialog() override;

    // Shows the editor maximised on screen. Restored, it stands centred on
    // that screen at its own size, with some of the screen left around it.
    void openMaximized(const QScreen *screen);

    // Adds one item per element of the document to the scene.
    void initView();
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

    // Fills the base page with the template (empty id) or the page of the
    // element's type with the element, from the document; runs no handler.
    void updateToolView(QString id, int type);
    // Makes an element (none: the template) the one the pages show and edit,
    // and shows its page.
    void showElement(const QString &id);
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

    // Builds the scene anew from the document, box face first.
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
    // The clipboard keeps element ids: a paste copies the elements still in
    // the template.
    void operateCopy();
    void operatePaste();
    // Removes every selected element.
    void operateDelete();
    // Raise the element whose page is shown above, or put it below, the
    // elements it overlaps; those go back to 0.
    void bringToTop();
    void sendToBottom();
    const QStringList &clipboard() const { return copyIds; }

    // ---- Moving, resizing and keys (templatedialog_mouse.cpp)
    // Hand what the mouse did to the selected items (moves, handle
    // resizes) to the document, where the whole pixels differ from it.
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

    const TemplateDocument &document() const { return doc; }
    const TemplateModel &model() const { return doc.model(); }
    const EditorScene &elementItems() const { return items; }
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
    static int dpi();
    int px(float mm) const;
    // The items and the page follow what the document changed.
    void documentChanged(const QStringList &ids);
    // Adds the box face item.
    void addBackgroundItem();
    // A preset chosen in the background combo box.
    void choosePresetBackground(const QString &name);
    // The combo box entry of the built-in template with the document's background.
    void showPresetOfBackground();
    // Books the custom picture a change of the background to text drops.
    void bookDroppedBackground(const QString &text);
    // Replaces the background text, booking a dropped custom picture.
    void setBackground(const QString &text);
    QString picturePath(const QString &fileName) const;
    bool insideTitleBar(const QPoint &point) const;

    // ---- Adding elements (templatedialog_add.cpp) ---------------------------
    QList<QPushButton *> toolButtons() const;
    // Asks for a picture to copy into the picture folder (which then exists);
    // empty when the user cancelled.
    QString askPictureFile();
    // Arms tool (checked) or disarms every tool, keeping one button checked at most.
    void armTool(AddTool tool, bool checked);
    QWidget *pageOf(int type) const;
    // The start at the scene point (whole pixels) of a new element; its
    // size and border from the default configuration's "<sizes>.width",
    // "<sizes>.height" and "<border>.border".
    void initNewElement(GraphicsModel &m, const QPointF &point, const char *sizes, const char *border) const;
    // Adds the element to the document and makes it the one selected and shown.
    template <typename Model>
    void appendElement(const Model &m);
    // A new element of nothing but its default size and border.
    template <typename Model>
    void appendShape(const QPointF &point, const char *defaults);
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
    // What was typed into the size boxes and not applied yet, as a save
    // takes them.
    void takeSizeBoxes();
    // The element the pages show, when it is of that type; null otherwise.
    const GraphicsModel *currentElement(int type) const;
    // Applies a box's value when editing it ends, if the user changed it: a
    // box only passed through edits nothing.
    QList<QMetaObject::Connection> onBoxEdit(QAbstractSpinBox *box, const std::function<void(double)> &apply);
    // Applies what was typed into the box, if anything.
    void finishTypedEdit(const QWidget *box);
    void connectGeometry(int type);
    void showGeometry(int type, const GraphicsModel &m);
    void fillCodePage(const QString &id, int type);
    void connectCodeContent(int type);
    void changeCodeContent(int type, const QString &content);
    // Shows the topmost selected element when the one shown is no longer
    // selected.
    void followSelection();

    // ---- Saving (templatedialog_save.cpp) -----------------------------------
    void openSaveDialog(const QString &title);
    void templateSaved();

    // ---- Context menu, clipboard and stacking order
    void setViewLock(bool checked);
    void setPositionLock(bool checked);
    // The element whose page is shown, when it is selected; empty otherwise.
    QString stackingChoice() const;

    // ---- Moving, resizing and keys
    // What the mouse made of an element's item, into the document.
    void takeItemGeometry(const QString &id);
    void nudgeSelection(int key);
    QStringList selectedTexts() const;

    // ---- Text page
    // The texts the text page's shared properties change: the selected ones
    // when the one shown is among them, else the one shown.
    QStringList textTargets() const;
    void onTextValue(QAbstractSpinBox *box, TemplateDocument::Field field, double factor);
    void onTextChoice(QAbstractButton *button, TemplateDocument::Field field, const QVariant &value);
    void applyFontSize(const QString &text);
    void applyTextDirection(int direction);
    void fillTextButtons(const TextModel &m);

    WindowDrag titleDrag;
    Ui::TemplateDialog *ui;
    TemplateDocument doc;
    QString currentId;
    QWidget *canvasWidget = nullptr;
    QWGraphicsView *graphicsView = nullptr;
    QGraphicsScene *graphicsScene = nullptr;
    TemplateRuler *horizontalRuler = nullptr;
    TemplateRuler *verticalRuler = nullptr;
    EditorScene items;
    PictureFileBook pictureBook;
    BackgroundPicture background;
    // Set while a page is filled from the document: the page's handlers
    // then write nothing back.
    bool filling = false;
    // What the user typed into a box since editing it last ended, to apply
    // when it ends (the font size box by its line edit).
    QHash<const QWidget *, std::function<void()>> typedEdits;
    // The model the naming dialog names; the document takes its name, type
    // and creation time once it is stored.
    TemplateModel naming;
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
