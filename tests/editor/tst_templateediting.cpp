// Editing in the template editor: what the mouse, the keys, the context
// menu and the text page write into the working template, at a screen pinned
// to 96 dpi. Mouse gestures are real mouse events on the canvas.

#include "editor/templatedialog.h"
#include "items/richtextitem.h"
#include "items/qwgraphicsview.h"
#include "print/pagescene.h"
#include "support/labelfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/templatejson.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

namespace {

const QString NAME = QStringLiteral("编辑手势");
const QDateTime STAMP(QDate(2024, 5, 6), QTime(7, 8, 9));

int px(float mm)
{
    return TextUtil::mm2px(mm, 96);
}

// A 100 x 60 mm label, roomy enough for the gestures.
TemplateModel label()
{
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.printWidth = 100;
    t.printHeight = 60;
    return t;
}

TextModel text(const QString &title, float x, float y)
{
    return TestSupport::textField(title, QStringLiteral("档案"), x, y, 30, 10, 6);
}

QByteArray stored(const TemplateModel &t)
{
    return QJsonDocument(TemplateJson::writeTemplate(t, STAMP)).toJson();
}

} // namespace

class TestTemplateEditing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void resizingStoresTheNewSize();
    void hoveringAndClickingChangeNothingStored();
    void deleteRemovesEverySelectedElementOnce();
    void arrows_data();
    void arrows();
    void boldAndItalicKeysToggleBack();
    void selectAllAndSaveKeys();
    void clipboardKeepsIds_data();
    void clipboardKeepsIds();
    void pastedCopiesTakeFreeTitlesAndNoLocks();
    void aPastedTextPrintsLikeItsSource();
    void stacking();
    void menuEntriesAndTheViewLock();
    void aSecondEditorsMenuWorks();
    void textHandlers_data();
    void textHandlers();
    void boldFlipsEachSelectedTextOnceAfterManyFills();
    void fontSize_data();
    void fontSize();
    void fillingShowsTheModel_data();
    void fillingShowsTheModel();

private:
    void open(const TemplateModel &t);
    template <typename T>
    T *child(const char *name) const { return editor->findChild<T *>(QLatin1String(name)); }
    BaseItem *item(const QString &id) const;
    void mouse(QEvent::Type type, QPointF scenePoint, Qt::MouseButtons buttons) const;
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
    void select(const QStringList &ids) const;
    void copyAndPaste(const QStringList &ids, QPointF at);

    std::unique_ptr<TestSupport::TempProgramDir> programDir;
    std::unique_ptr<TestSupport::LogCapture> log;
    std::unique_ptr<TestSupport::ToastRecorder> toasts;
    std::unique_ptr<TemplateDialog> editor;
};

void TestTemplateEditing::initTestCase()
{
    QVERIFY(TestSupport::loadPinnedFonts());
}

void TestTemplateEditing::init()
{
    log.reset(new TestSupport::LogCapture);
    programDir.reset(new TestSupport::TempProgramDir);
    toasts.reset(new TestSupport::ToastRecorder);
    Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508.0, 285.75)}; });
    FileUtil::checkCustomDir();
}

void TestTemplateEditing::cleanup()
{
    editor.reset();
    for (const QString &w : log->warnings())
        QVERIFY2(!w.contains(QLatin1String("connectSlotsByName")) && !w.contains(QLatin1String("QObject::connect")),
                 qPrintable(w));
    toasts.reset();
    programDir.reset();
    log.reset();
    Seams::resetAll();
}

void TestTemplateEditing::open(const TemplateModel &t)
{
    QVERIFY(JsonUtil::saveTemplate(t, false));
    editor = std::make_unique<TemplateDialog>(t.name);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
}

BaseItem *TestTemplateEditing::item(const QString &id) const
{
    for (QGraphicsItem *i : editor->scene()->items()) {
        if (i->data(0).toString() == id)
            return static_cast<BaseItem *>(i);
    }
    return nullptr;
}

// The view is not zoomed: view and scene coordinates agree.
void TestTemplateEditing::mouse(QEvent::Type type, QPointF scenePoint, Qt::MouseButtons buttons) const
{
    QWidget *viewport = editor->view()->viewport();
    const QPoint at = editor->view()->mapFromScene(scenePoint);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

void TestTemplateEditing::key(int key, Qt::KeyboardModifiers modifiers) const
{
    QTest::keyClick(editor->view(), Qt::Key(key), modifiers);
}

void TestTemplateEditing::select(const QStringList &ids) const
{
    editor->scene()->clearSelection();
    for (const QString &id : ids)
        item(id)->setSelected(true);
}

void TestTemplateEditing::copyAndPaste(const QStringList &ids, QPointF at)
{
    select(ids);
    editor->operateCopy();
    editor->on_mouseRightClicked(editor->view()->mapFromScene(at));
    child<QMenu>("graphicsViewMenu")->hide();
    editor->operatePaste();
}

void TestTemplateEditing::resizingStoresTheNewSize()
{
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("题"), 10, 10);
    RectangleModel rect = TestSupport::placedElement<RectangleModel>(50, 30, 20, 20);
    t.rectangleModels << rect;
    open(t);
    const QString id = t.textModels.first().id;
    BaseItem *field = item(id);
    QCOMPARE(field->boundingRect().size(), QSizeF(113, 38));

    const QPointF origin = field->pos();
    mouse(QEvent::MouseButtonPress, origin + QPointF(50, 19), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, origin + QPointF(50, 19), Qt::NoButton);
    // Hovering over the bottom-right corner arms its handle.
    mouse(QEvent::MouseMove, origin + QPointF(105, 30), Qt::NoButton);
    mouse(QEvent::MouseMove, origin + QPointF(110, 35), Qt::NoButton);
    mouse(QEvent::MouseButtonPress, origin + QPointF(110, 35), Qt::LeftButton);
    mouse(QEvent::MouseMove, origin + QPointF(151, 57), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, origin + QPointF(151, 57), Qt::NoButton);
    QCOMPARE(field->boundingRect().size(), QSizeF(151, 57));
    const TextModel &resized = editor->model().textModels.first();
    QCOMPARE(resized.width, 39.95f);
    QCOMPARE(resized.height, 15.08f);
    QCOMPARE(resized.startX, 10.0f);

    // Dragging the rectangle stores the place it was dropped at.
    BaseItem *box = item(rect.id);
    const QPointF from = box->pos() + QPointF(30, 30);
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, from + QPointF(21, -13), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, from + QPointF(21, -13), Qt::NoButton);
    const RectangleModel &moved = editor->model().rectangleModels.first();
    QCOMPARE(box->pos(), QPointF(px(50) + 21, px(30) - 13));
    QCOMPARE(moved.startX, TextUtil::px2mm(px(50) + 21, 96));
    QCOMPARE(moved.startY, TextUtil::px2mm(px(30) - 13, 96));
    QCOMPARE(moved.width, 20.0f);
}

void TestTemplateEditing::hoveringAndClickingChangeNothingStored()
{
    // 20 mm is 76 pixels, which read back as 20.11 mm.
    TemplateModel t = label();
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(20, 20, 20, 20);
    LineModel line = TestSupport::placedElement<LineModel>(5, 50, 30, 0.5f);
    t.lineModels << line;
    TextModel field = text(QStringLiteral("题"), 45.3f, 12.34f);
    field.scaleX = 0.57f;
    t.textModels << field;
    open(t);
    const QByteArray before = stored(JsonUtil::parseTemplate(NAME));

    for (const QString &id : {t.rectangleModels.first().id, line.id, field.id}) {
        const QPointF inside = item(id)->sceneBoundingRect().center();
        mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, inside, Qt::NoButton);
        for (int step = 0; step < 40; ++step)
            mouse(QEvent::MouseMove, QPointF(step * 9, step * 5), Qt::NoButton);
    }
    key(Qt::Key_A, Qt::ControlModifier);
    mouse(QEvent::MouseMove, QPointF(3, 3), Qt::NoButton);
    QCOMPARE(stored(editor->model()), before);
}

void TestTemplateEditing::deleteRemovesEverySelectedElementOnce()
{
    TemplateModel t = label();
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(5, 5, 10, 10);
    t.textModels << text(QStringLiteral("题"), 20, 5) << text(QStringLiteral("留"), 20, 30);
    PictureModel picture = TestSupport::placedElement<PictureModel>(60, 5, 10, 10);
    picture.fileName = QStringLiteral("seal.png");
    t.pictureModels << picture;
    open(t);
    select({t.rectangleModels.first().id, t.textModels.first().id, picture.id});
    key(Qt::Key_Delete);
    QCOMPARE(editor->scene()->items().size(), 2);
    QVERIFY(item(t.textModels.last().id));
    QCOMPARE(editor->model().textModels.size(), 1);
    QVERIFY(editor->model().rectangleModels.isEmpty());
    QVERIFY(editor->model().pictureModels.isEmpty());
    QVERIFY(editor->pictureFiles().removedFiles().contains(FileUtil::getFilePathFromCustomPixmap(picture.fileName)));
}

void TestTemplateEditing::arrows_data()
{
    QTest::addColumn<bool>("isText");
    QTest::addColumn<bool>("itemLocked");
    QTest::addColumn<bool>("viewLocked");
    QTest::addColumn<int>("key");
    QTest::addColumn<float>("startX");
    QTest::addColumn<float>("expectedX");
    QTest::newRow("right") << true << false << false << int(Qt::Key_Right) << 10.0f << 11.0f;
    QTest::newRow("left") << true << false << false << int(Qt::Key_Left) << 10.0f << 9.0f;
    QTest::newRow("left edge clamps") << true << false << false << int(Qt::Key_Left) << 0.5f << 0.0f;
    QTest::newRow("right edge stays") << true << false << false << int(Qt::Key_Right) << 70.0f << 70.0f;
    QTest::newRow("locked text") << true << true << false << int(Qt::Key_Right) << 10.0f << 10.0f;
    QTest::newRow("locked view") << true << false << true << int(Qt::Key_Right) << 10.0f << 10.0f;
    QTest::newRow("rectangle stays") << false << false << false << int(Qt::Key_Right) << 10.0f << 10.0f;
}

void TestTemplateEditing::arrows()
{
    QFETCH(bool, isText);
    QFETCH(bool, itemLocked);
    QFETCH(bool, viewLocked);
    QFETCH(int, key);
    QFETCH(float, startX);
    QFETCH(float, expectedX);
    TemplateModel t = label();
    t.lockstate = viewLocked;
    GraphicsModel *m = nullptr;
    if (isText) {
        t.textModels << text(QStringLiteral("题"), startX, 10);
        m = &t.textModels.first();
    } else {
        t.rectangleModels << TestSupport::placedElement<RectangleModel>(startX, 10, 30, 10);
        m = &t.rectangleModels.first();
    }
    m->lockstate = itemLocked;
    open(t);
    select({m->id});
    this->key(key);
    const GraphicsModel &after =
        isText ? static_cast<const GraphicsModel &>(editor->model().textModels.first()) : editor->model().rectangleModels.first();
    QCOMPARE(after.startX, expectedX);
    QCOMPARE(after.startY, 10.0f);
    QCOMPARE(item(m->id)->x(), qreal(px(expectedX)));
}

void TestTemplateEditing::boldAndItalicKeysToggleBack()
{
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("题"), 10, 10);
    open(t);
    auto *field = static_cast<RichTextItem *>(item(t.textModels.first().id));
    const TextLayoutInput before = field->layoutInput();
    select({t.textModels.first().id});
    key(Qt::Key_B, Qt::ControlModifier);
    QVERIFY(editor->model().textModels.first().bold);
    QCOMPARE(field->layoutInput().font.weight(), int(QFont::Bold));
    key(Qt::Key_I, Qt::ControlModifier);
    QVERIFY(editor->model().textModels.first().italic);
    key(Qt::Key_B, Qt::ControlModifier);
    key(Qt::Key_I, Qt::ControlModifier);
    key(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(stored(editor->model()), stored(JsonUtil::parseTemplate(NAME)));
    QVERIFY(field->layoutInput() == before);
}

void TestTemplateEditing::selectAllAndSaveKeys()
{
    TemplateModel t = label();
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(5, 5, 10, 10);
    t.textModels << text(QStringLiteral("题"), 20, 5);
    open(t);
    QSignalSpy saves(child<QPushButton>("btn_save_template"), &QPushButton::clicked);
    key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(editor->scene()->selectedItems().isEmpty());
    key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(editor->scene()->selectedItems().size(), 2);
    key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(saves.count(), 1);

    editor->scene()->clearSelection();
    child<QMenu>("graphicsViewMenu")->findChild<QAction *>(QStringLiteral("actionViewLock"))->trigger();
    key(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(editor->scene()->selectedItems().isEmpty());
}

void TestTemplateEditing::clipboardKeepsIds_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("pasted");
    QTest::newRow("source deleted") << QStringList{"delete"} << 0;
    QTest::newRow("source deleted, background refreshed") << QStringList{"delete", "refresh"} << 0;
    QTest::newRow("background refreshed") << QStringList{"refresh"} << 1;
}

void TestTemplateEditing::clipboardKeepsIds()
{
    QFETCH(QStringList, steps);
    QFETCH(int, pasted);
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("题"), 10, 10);
    open(t);
    select({t.textModels.first().id});
    editor->operateCopy();
    for (const QString &step : qAsConst(steps)) {
        if (step == QLatin1String("delete")) {
            select({t.textModels.first().id});
            editor->operateDelete();
        } else {
            editor->refreshGraphicsBackground();
        }
    }
    const int before = editor->scene()->items().size();
    editor->operatePaste();
    QCOMPARE(editor->scene()->items().size(), before + pasted);
    QCOMPARE(editor->model().textModels.size(), before - 1 + pasted);
}

void TestTemplateEditing::pastedCopiesTakeFreeTitlesAndNoLocks()
{
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("题"), 10, 10);
    QrcodeModel code = TestSupport::qrField(QStringLiteral("码"), QStringLiteral("A-1"), 50, 10, 15, 3);
    code.lockstate = true;
    t.qrcodeModels << code;
    open(t);
    copyAndPaste({code.id}, QPointF(120, 150));
    copyAndPaste({code.id}, QPointF(120, 150));
    copyAndPaste({t.textModels.first().id}, QPointF(30, 150));
    const QList<QrcodeModel> &codes = editor->model().qrcodeModels;
    QCOMPARE(codes.size(), 3);
    QCOMPARE(codes.at(1).title, QStringLiteral("码 - 副本1"));
    QCOMPARE(codes.at(2).title, QStringLiteral("码 - 副本2"));
    QCOMPARE(editor->model().textModels.last().textTitle, QStringLiteral("题 - 副本1"));
    for (const QrcodeModel &copy : codes.mid(1)) {
        QVERIFY(copy.id.toLongLong() > codes.first().id.toLongLong());
        QCOMPARE(copy.viewZ, 0);
        QVERIFY(!copy.lockstate);
        QCOMPARE(copy.content, code.content);
        QVERIFY(item(copy.id)->flags() & QGraphicsItem::ItemIsMovable);
        // One copied element lands where the menu was opened.
        QCOMPARE(copy.startX, TextUtil::px2mm(120, 96));
        QCOMPARE(copy.startY, TextUtil::px2mm(150, 96));
    }
    QVERIFY(codes.at(2).id != codes.at(1).id);
}

void TestTemplateEditing::aPastedTextPrintsLikeItsSource()
{
    // Fitted into one line by narrowing, and upright letters in columns:
    // with the text defaults either would print differently.
    TemplateModel t = label();
    TextModel fitted = TestSupport::textField(QStringLiteral("名"), QStringLiteral("档案馆藏编号长文本内容测试"), 5, 5,
                                              20, 6, 4);
    fitted.adapted = true;
    fitted.adaptedMode = 2;
    fitted.mutiled = false;
    fitted.wordSpacing = 0.4f;
    TextModel upright = TestSupport::textField(QStringLiteral("号"), QStringLiteral("AB12档案\n第二列"), 40, 5, 12, 40, 4);
    upright.direction = 1;
    upright.noVerRule = true;
    upright.rowSpacing = 1.5f;
    upright.indentation = 1;
    t.textModels << fitted << upright;
    open(t);
    copyAndPaste({fitted.id, upright.id}, QPointF(0, 0));
    QCOMPARE(editor->model().textModels.size(), 4);

    const auto printed = [](TextModel m, const TextModel &at) {
        TemplateModel page = label();
        m.startX = at.startX;
        m.startY = at.startY;
        page.textModels << m;
        QGraphicsScene scene;
        PageScene pageScene(&scene, page, 300);
        pageScene.rebuild(false);
        return pageScene.renderPage();
    };
    for (int i = 0; i < 2; ++i) {
        const TextModel &source = editor->model().textModels.at(i);
        const QImage original = printed(source, source);
        QVERIFY(original != printed(TextModel(), source));
        QCOMPARE(printed(editor->model().textModels.at(i + 2), source), original);
    }
}

void TestTemplateEditing::stacking()
{
    TemplateModel t = label();
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(10, 10, 20, 20, 5)
                      << TestSupport::placedElement<RectangleModel>(70, 40, 10, 10, 4);
    open(t);
    const QString under = t.rectangleModels.first().id;
    copyAndPaste({under}, QPointF(px(15), px(15)));
    const QString chosen = editor->model().rectangleModels.last().id;
    editor->bringToTop();
    editor->bringToTop();
    // The item's stacking value and its model's, which must agree.
    const auto z = [this](const QString &id) {
        for (const RectangleModel &m : editor->model().rectangleModels) {
            if (m.id == id)
                return qMakePair(int(item(id)->zValue()), m.viewZ);
        }
        return qMakePair(0, -1000);
    };
    QCOMPARE(z(chosen), qMakePair(2, 2));
    QCOMPARE(z(under), qMakePair(0, 0));
    QCOMPARE(z(t.rectangleModels.last().id), qMakePair(4, 4));
    editor->sendToBottom();
    QCOMPARE(z(chosen), qMakePair(-1, -1));
    QCOMPARE(z(under), qMakePair(0, 0));
    // Only the element whose page is shown moves, and only while selected.
    editor->scene()->clearSelection();
    editor->bringToTop();
    QCOMPARE(z(chosen), qMakePair(-1, -1));
}

void TestTemplateEditing::menuEntriesAndTheViewLock()
{
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("题"), 10, 10);
    open(t);
    auto *menu = child<QMenu>("graphicsViewMenu");
    const auto shown = [menu] {
        QStringList texts;
        for (const QAction *a : menu->actions()) {
            if (a->isVisible() && !a->isSeparator())
                texts << a->text() + (a->isEnabled() ? "" : "-");
        }
        return texts;
    };
    editor->on_mouseRightClicked(QPoint(300, 200));
    QVERIFY(menu->isVisible());
    QCOMPARE(shown(), QStringList({"视图锁定", "粘贴-"}));
    menu->hide();
    select({t.textModels.first().id});
    editor->operateCopy();
    editor->on_mouseRightClicked(QPoint(300, 200));
    QCOMPARE(shown(), QStringList({"视图锁定", "位置锁定", "复制", "粘贴", "删除", "置顶", "置底"}));
    menu->hide();
    menu->findChild<QAction *>(QStringLiteral("actionPositionLock"))->trigger();
    QVERIFY(editor->model().textModels.first().lockstate);
    QVERIFY(!(item(t.textModels.first().id)->flags() & QGraphicsItem::ItemIsMovable));

    QAction *viewLock = menu->findChild<QAction *>(QStringLiteral("actionViewLock"));
    viewLock->trigger();
    QVERIFY(editor->model().lockstate);
    QVERIFY(!editor->view()->isInteractive());
    QVERIFY(!child<QWidget>("stackedWidget")->isEnabled());
    key(Qt::Key_Delete);
    QCOMPARE(editor->model().textModels.size(), 1);
    editor->on_mouseRightClicked(QPoint(300, 200));
    QCOMPARE(shown(), QStringList({"视图锁定", "位置锁定-", "复制-", "粘贴-", "删除-", "置顶-", "置底-"}));
    menu->hide();
    viewLock->trigger();
    QVERIFY(!editor->model().lockstate);
    QVERIFY(editor->view()->isInteractive());
    QVERIFY(child<QWidget>("template_left_frame")->isEnabled());
}

void TestTemplateEditing::aSecondEditorsMenuWorks()
{
    open(label());
    editor->on_mouseRightClicked(QPoint(20, 20));
    editor->close();
    editor.reset();
    open(label());
    auto *menu = child<QMenu>("graphicsViewMenu");
    editor->on_mouseRightClicked(QPoint(20, 20));
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->style()->pixelMetric(QStyle::PM_SmallIconSize), 22);
    QVERIFY(!menu->grab().isNull());
}

void TestTemplateEditing::textHandlers_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("scale") << "edit_text_scaleX" << QVariant(80) << "scaleX" << QVariant(0.8);
    QTest::newRow("letter spacing") << "edit_text_wordSpace" << QVariant(1.5) << "wordSpacing" << QVariant(1.5);
    QTest::newRow("row spacing") << "edit_text_rowSpace" << QVariant(0.75) << "rowSpacing" << QVariant(0.75);
    QTest::newRow("indentation") << "edit_text_indentation" << QVariant(2) << "indentation" << QVariant(2);
    QTest::newRow("right aligned") << "btn_right_align" << QVariant() << "horizontalAlign" << QVariant(1);
    QTest::newRow("bottom") << "btn_bottom_align" << QVariant() << "verticalAlign" << QVariant(1);
    QTest::newRow("columns") << "btn_right_to_left" << QVariant() << "direction" << QVariant(2);
    QTest::newRow("one line") << "radio_row_single" << QVariant() << "mutiled" << QVariant(false);
    QTest::newRow("fit by scale") << "radio_scale" << QVariant() << "adaptedMode" << QVariant(2);
    QTest::newRow("fitted") << "box_text_adaption" << QVariant(true) << "adapted" << QVariant(true);
    QTest::newRow("turned") << "box_text_angle" << QVariant(2) << "rotate" << QVariant(180);
    QTest::newRow("family") << "box_fontFamily" << QVariant(1) << "font" << QVariant("the chosen family");
}

// Every selected text changes, each item as a fresh scene build would make
// it from its changed model; the selected rectangle does not.
void TestTemplateEditing::textHandlers()
{
    QFETCH(QString, widget);
    QFETCH(QVariant, value);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("甲"), 5, 5) << text(QStringLiteral("乙"), 5, 30);
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 5, 20, 20);
    open(t);
    select({t.textModels.at(0).id, t.textModels.at(1).id, t.rectangleModels.first().id});
    QWidget *w = child<QWidget>(widget.toLatin1());
    if (auto *box = qobject_cast<QAbstractSpinBox *>(w)) {
        box->setProperty("value", value);
        emit box->editingFinished();
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        combo->setCurrentIndex(value.toInt());
        if (field == QLatin1String("font"))
            expected = combo->currentText();
    } else if (auto *check = qobject_cast<QCheckBox *>(w); check && value.isValid()) {
        check->setChecked(value.toBool());
    } else {
        static_cast<QAbstractButton *>(w)->click();
    }
    const QJsonObject now = TemplateJson::writeTemplate(editor->model(), STAMP);
    for (int i = 0; i < 2; ++i) {
        const QVariant actual = now[QLatin1String("textModels")][i][field].toVariant();
        if (expected.type() == QVariant::Double)
            QCOMPARE(actual.toFloat(), expected.toFloat());
        else
            QCOMPARE(actual, expected);
        std::unique_ptr<BaseItem> fresh(editor->createItem(editor->model().textModels.at(i)));
        QVERIFY(static_cast<RichTextItem *>(item(t.textModels.at(i).id))->layoutInput()
                == static_cast<RichTextItem *>(fresh.get())->layoutInput());
    }
    QCOMPARE(now[QLatin1String("rectangleModels")], TemplateJson::writeTemplate(t, STAMP)[QLatin1String("rectangleModels")]);
}

void TestTemplateEditing::boldFlipsEachSelectedTextOnceAfterManyFills()
{
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("甲"), 5, 5) << text(QStringLiteral("乙"), 5, 30);
    t.textModels[1].bold = true;
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 5, 20, 20);
    open(t);
    for (int fill = 0; fill < 50; ++fill) {
        editor->disconnectTextProperty();
        editor->fillTextPage(t.textModels.at(fill % 2).id);
        editor->connectTextProperty();
        editor->connectTextProperty();
    }
    select({t.textModels.at(0).id, t.textModels.at(1).id, t.rectangleModels.first().id});
    child<QPushButton>("btn_bold")->click();
    QVERIFY(editor->model().textModels.at(0).bold);
    QVERIFY(!editor->model().textModels.at(1).bold);
    QCOMPARE(static_cast<RichTextItem *>(item(t.textModels.at(0).id))->layoutInput().font.weight(), int(QFont::Bold));
    QCOMPARE(static_cast<RichTextItem *>(item(t.textModels.at(1).id))->layoutInput().font.weight(), int(QFont::Normal));
    QCOMPARE(stored(editor->model()).count("\"bold\": true"), 1);
}

void TestTemplateEditing::fontSize_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("picked");
    QTest::addColumn<float>("mm");
    QTest::addColumn<QString>("shown");
    QTest::newRow("picked name") << " 小四 " << true << 4.23f << " 小四 ";
    QTest::newRow("typed name") << "小四" << false << 4.23f << " 小四 ";
    QTest::newRow("decimals") << "3.456" << false << 3.46f << "3.46mm";
    QTest::newRow("whole") << "12" << false << 12.0f << "12mm";
    QTest::newRow("with unit") << "3.5mm" << false << 3.5f << "3.5mm";
    QTest::newRow("letters refused") << "1x2" << false << 12.0f << "12mm";
    QTest::newRow("emptied") << "" << false << 6.0f << "6mm";
}

void TestTemplateEditing::fontSize()
{
    QFETCH(QString, input);
    QFETCH(bool, picked);
    QFETCH(float, mm);
    QFETCH(QString, shown);
    TemplateModel t = label();
    t.textModels << text(QStringLiteral("甲"), 5, 5) << text(QStringLiteral("乙"), 5, 30);
    open(t);
    select({t.textModels.at(0).id, t.textModels.at(1).id});
    auto *box = child<QComboBox>("box_fontSize");
    if (picked) {
        box->showPopup();
        box->view()->setCurrentIndex(box->model()->index(box->findText(input), 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
    } else {
        box->lineEdit()->clear();
        // Typed as text events: the test keyboard knows no Chinese keys.
        for (const QChar c : qAsConst(input)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box->lineEdit(), &press);
        }
        // Nothing applies while typing.
        QCOMPARE(editor->model().textModels.first().fontSize, 6.0f);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(box->count(), 16);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(editor->model().textModels.at(i).fontSize, mm);
        QCOMPARE(static_cast<RichTextItem *>(item(t.textModels.at(i).id))->layoutInput().font.pixelSize(), px(mm));
    }
}

void TestTemplateEditing::fillingShowsTheModel_data()
{
    QTest::addColumn<float>("fontSize");
    QTest::addColumn<int>("rotate");
    QTest::addColumn<float>("scale");
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<QString>("angleText");
    QTest::addColumn<int>("scaleValue");
    QTest::newRow("named size, half turn") << 4.23f << 180 << 1.5f << " 小四 " << "180°" << 150;
    QTest::newRow("other size, odd angle") << 4.5f << 45 << 0.57f << "4.5mm" << "0°" << 57;
}

void TestTemplateEditing::fillingShowsTheModel()
{
    QFETCH(float, fontSize);
    QFETCH(int, rotate);
    QFETCH(float, scale);
    QFETCH(QString, sizeText);
    QFETCH(QString, angleText);
    QFETCH(int, scaleValue);
    TemplateModel t = label();
    TextModel field = text(QStringLiteral("甲"), 5, 5);
    field.fontSize = fontSize;
    field.rotate = rotate;
    field.scaleX = scale;
    t.textModels << field;
    open(t);
    const QByteArray before = stored(editor->model());
    select({field.id});
    editor->fillTextPage(field.id);
    QCOMPARE(child<QComboBox>("box_fontSize")->currentText(), sizeText);
    QCOMPARE(child<QComboBox>("box_text_angle")->currentText(), angleText);
    QCOMPARE(child<QSpinBox>("edit_text_scaleX")->value(), scaleValue);
    // Filling ran no handler, and leaving the box as shown keeps the value.
    QCOMPARE(stored(editor->model()), before);
    QVERIFY(toasts->texts().isEmpty());
    emit child<QSpinBox>("edit_text_scaleX")->editingFinished();
    QCOMPARE(editor->model().textModels.first().scaleX, scale);
}

QTEST_MAIN(TestTemplateEditing)
#include "tst_templateediting.moc"
