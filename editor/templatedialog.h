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
// and the picture files; templatedialog_panels.cpp the property pages.

#include "editor/backgroundpicture.h"
#include "editor/picturefilebook.h"
#include "model/templatemodel.h"

#include <QPoint>
#include <QString>
#include <QWidget>

class BaseItem;
class QGraphicsScene;
class QPixmap;
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

    // Builds the scene anew from the working model, box face first.
    void refreshGraphicsBackground();
    // Books a picture file copied in (IMG_ADDED) or dropped (IMG_REMOVED).
    void recordImgOperate(IMG_OPT opt, QString path);
    // Settles the books after a store (true) or when the editor closes (false).
    void processRecordImg(bool saved);
    void deleteImageFile(QString path);

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

    bool isDragging = false;
    QPoint dragLastGlobalPos;
    QPoint dragCurrentGlobalPos;
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
};
