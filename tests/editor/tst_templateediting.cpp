// Editing in the template editor: what the mouse, the keys, the context
// menu and the text page write into the working template, at a screen pinned
// to 96 dpi. Mouse gestures are real mouse events on the canvas.

#include "editor/templatedialog.h"
#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
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

// A 100 x 60 mm label, roomy enough for the gestures, with two texts.
TemplateModel label(int texts = 0)
{
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.printWidth = 100;
    t.printHeight = 60;
    for (int i = 0; i < texts; ++i)
        t.textModels << TestSupport::textField(QString::number(i), QStringLiteral("档案"), 5, 5 + 25 * i, 30, 10, 6);
    return t;
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
    void initTestCase() { QVERIFY(TestSupport::loadPinnedFonts()); }
    void init();
    void cleanup();

    void resizingAndDraggingStoreWhatWasMade();
    void hoveringAndClickingChangeNothingStored();
    void aRubberBandChoiceIsTheEditedOne();
    void keys();
    void arrows_data();
    void arrows();
    void clipboardKeepsIds_data();
    void clipboardKeepsIds();
    void pastedCopiesTakeFreeTitlesAndNoLocks();
    void aPastedTextPrintsLikeItsSource();
    void stacking();
    void menuAndViewLock();
    void textHandlers_data();
    void textHandlers();
    void boldFlipsEachTextOnceAfterManyFills();
    void fontSize_data();
    void fontSize();

private:
    void open(const TemplateModel &t);
    template <typename T>
    T *child(const char *name) const { return editor->findChild<T *>(QLatin1String(name)); }
    BaseItem *item(const QString &id) const;
    RichTextItem *textItem(int index) const
    {
        return static_cast<RichTextItem *>(item(editor->model().textModels.at(index).id));
    }
    void mouse(QEvent::Type type, QPointF scenePoint, Qt::MouseButtons buttons) const;
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
    void select(const QStringList &ids) const;
    void copyAndPaste(const QStringList &ids, QPointF at);

    std::unique_ptr<TestSupport::TempProgramDir> programDir;
    std::unique_ptr<TestSupport::LogCapture> log;
    std::unique_ptr<TestSupport::ToastRecorder> toasts;
    std::unique_ptr<TemplateDialog> editor;
};

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
    QCOMPARE(log->connectionWarnings(), QStringList());
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

void TestTemplateEditing::resizingAndDraggingStoreWhatWasMade()
{
    TemplateModel t = label(1);
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 30, 20, 20);
    open(t);
    BaseItem *field = textItem(0);
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
    QCOMPARE(QVector<float>({resized.width, resized.height, resized.startX}), QVector<float>({39.95f, 15.08f, 5.0f}));

    const QPointF from = item(t.rectangleModels.first().id)->pos() + QPointF(30, 30);
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, from + QPointF(21, -13), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, from + QPointF(21, -13), Qt::NoButton);
    const RectangleModel &moved = editor->model().rectangleModels.first();
    QCOMPARE(QVector<float>({moved.startX, moved.startY, moved.width}),
             QVector<float>({TextUtil::px2mm(px(50) + 21, 96), TextUtil::px2mm(px(30) - 13, 96), 20.0f}));
}

void TestTemplateEditing::hoveringAndClickingChangeNothingStored()
{
    // 20 mm is 76 pixels, which read back as 20.11 mm.
    TemplateModel t = label(1);
    t.textModels[0].startY = 12.34f;
    t.textModels[0].scaleX = 0.57f;
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 20, 20, 20);
    t.lineModels << TestSupport::placedElement<LineModel>(5, 50, 30, 0.5f);
    open(t);
    const QByteArray before = stored(JsonUtil::parseTemplate(NAME));
    for (const QString &id : {t.rectangleModels.first().id, t.lineModels.first().id, t.textModels.first().id}) {
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

void TestTemplateEditing::aRubberBandChoiceIsTheEditedOne()
{
    open(label(2));
    mouse(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(60, 30), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(140, 62), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPointF(140, 62), Qt::NoButton);
    QCOMPARE(editor->scene()->selectedItems().size(), 1);
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(), QStringLiteral("page_add_font"));
    child<QLineEdit>("edit_text_title")->setText(QStringLiteral("圈选"));
    QCOMPARE(editor->model().textModels.first().textTitle, QStringLiteral("圈选"));
}

void TestTemplateEditing::keys()
{
    TemplateModel t = label(2);
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 5, 10, 10);
    PictureModel picture = TestSupport::placedElement<PictureModel>(70, 5, 10, 10);
    picture.fileName = QStringLiteral("seal.png");
    t.pictureModels << picture;
    open(t);
    QSignalSpy saves(editor.get(), &TemplateDialog::refreshTemplateView);
    key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(saves.count(), 1);
    key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(editor->scene()->selectedItems().isEmpty());
    key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(editor->scene()->selectedItems().size(), 4);

    // Twice Ctrl+B and Ctrl+I give back model and item.
    const TextLayoutInput before = textItem(0)->layoutInput();
    select({t.textModels.first().id});
    key(Qt::Key_B, Qt::ControlModifier);
    QVERIFY(editor->model().textModels.first().bold);
    QCOMPARE(textItem(0)->layoutInput().font.weight(), int(QFont::Bold));
    for (int k : {Qt::Key_I, Qt::Key_B, Qt::Key_I})
        key(k, Qt::ControlModifier);
    QCOMPARE(stored(editor->model()), stored(JsonUtil::parseTemplate(NAME)));
    QVERIFY(textItem(0)->layoutInput() == before);

    select({t.textModels.at(0).id, t.rectangleModels.first().id, picture.id});
    key(Qt::Key_Delete);
    QCOMPARE(editor->scene()->items().size(), 2);
    QCOMPARE(editor->model().textModels.size(), 1);
    QVERIFY(editor->model().rectangleModels.isEmpty() && editor->model().pictureModels.isEmpty());
    QVERIFY(editor->pictureFiles().removedFiles().contains(FileUtil::getFilePathFromCustomPixmap(picture.fileName)));

    editor->scene()->clearSelection();
    child<QMenu>("graphicsViewMenu")->findChild<QAction *>(QStringLiteral("actionViewLock"))->trigger();
    key(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(editor->scene()->selectedItems().isEmpty());
}

void TestTemplateEditing::arrows_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<int>("key");
    QTest::addColumn<float>("startX");
    QTest::addColumn<float>("expectedX");
    QTest::newRow("right") << "text" << int(Qt::Key_Right) << 10.0f << 11.0f;
    QTest::newRow("left") << "text" << int(Qt::Key_Left) << 10.0f << 9.0f;
    QTest::newRow("left edge clamps") << "text" << int(Qt::Key_Left) << 0.5f << 0.0f;
    QTest::newRow("right edge stays") << "text" << int(Qt::Key_Right) << 70.0f << 70.0f;
    QTest::newRow("locked text") << "locked text" << int(Qt::Key_Right) << 10.0f << 10.0f;
    QTest::newRow("locked view") << "locked view" << int(Qt::Key_Right) << 10.0f << 10.0f;
    QTest::newRow("rectangle stays") << "rectangle" << int(Qt::Key_Right) << 10.0f << 10.0f;
}

void TestTemplateEditing::arrows()
{
    QFETCH(QString, element);
    QFETCH(int, key);
    QFETCH(float, startX);
    QFETCH(float, expectedX);
    TemplateModel t = label();
    t.lockstate = element == QLatin1String("locked view");
    if (element == QLatin1String("rectangle")) {
        t.rectangleModels << TestSupport::placedElement<RectangleModel>(startX, 10, 30, 10);
    } else {
        t.textModels << TestSupport::textField(QStringLiteral("题"), QStringLiteral("档案"), startX, 10, 30, 10, 6);
        t.textModels[0].lockstate = element == QLatin1String("locked text");
    }
    open(t);
    const GraphicsModel &m = t.textModels.isEmpty() ? static_cast<const GraphicsModel &>(editor->model().rectangleModels[0])
                                                    : editor->model().textModels[0];
    select({m.id});
    this->key(key);
    QCOMPARE(QVector<float>({m.startX, m.startY}), QVector<float>({expectedX, 10.0f}));
    QCOMPARE(item(m.id)->x(), qreal(px(expectedX)));
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
    open(label(1));
    const QString source = editor->model().textModels.first().id;
    select({source});
    editor->operateCopy();
    for (const QString &step : qAsConst(steps)) {
        if (step == QLatin1String("delete")) {
            select({source});
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
    TemplateModel t = label(1);
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
    QCOMPARE(editor->model().textModels.last().textTitle, QStringLiteral("0 - 副本1"));
    for (const QrcodeModel &copy : codes.mid(1)) {
        QVERIFY(copy.id.toLongLong() > codes.first().id.toLongLong() && !copy.lockstate && copy.viewZ == 0);
        QVERIFY(item(copy.id)->flags() & QGraphicsItem::ItemIsMovable);
        // One copied element lands where the menu was opened.
        QCOMPARE(QPointF(copy.startX, copy.startY), QPointF(TextUtil::px2mm(120, 96), TextUtil::px2mm(150, 96)));
    }
    QVERIFY(codes.at(2).id != codes.at(1).id);
}

void TestTemplateEditing::aPastedTextPrintsLikeItsSource()
{
    // Fitted into one line by narrowing, and upright letters in columns:
    // with the text defaults either would print differently.
    TemplateModel t = label(2);
    TextModel &fitted = t.textModels[0];
    fitted.textContent = QStringLiteral("档案馆藏编号长文本内容测试");
    fitted.width = 20;
    fitted.adapted = true;
    fitted.adaptedMode = 2;
    fitted.mutiled = false;
    fitted.wordSpacing = 0.4f;
    TextModel &upright = t.textModels[1];
    upright.textContent = QStringLiteral("AB12档案\n第二列");
    upright.height = 30;
    upright.direction = 1;
    upright.noVerRule = true;
    upright.rowSpacing = 1.5f;
    open(t);
    copyAndPaste({fitted.id, upright.id}, QPointF(0, 0));
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
    // The item's stacking value and its model's, which must agree.
    const auto z = [this](const QString &id) {
        for (const RectangleModel &m : editor->model().rectangleModels) {
            if (m.id == id)
                return qMakePair(int(item(id)->zValue()), m.viewZ);
        }
        return qMakePair(0, -1000);
    };
    editor->bringToTop();
    editor->bringToTop();
    QCOMPARE(z(chosen), qMakePair(2, 2));
    QCOMPARE(z(under), qMakePair(0, 0));
    QCOMPARE(z(t.rectangleModels.last().id), qMakePair(4, 4));
    editor->sendToBottom();
    QCOMPARE(z(chosen), qMakePair(-1, -1));
    // Only the element whose page is shown moves, and only while selected.
    editor->scene()->clearSelection();
    editor->bringToTop();
    QCOMPARE(z(chosen), qMakePair(-1, -1));
}

void TestTemplateEditing::menuAndViewLock()
{
    // The first editor's menu has been shown and the editor closed.
    open(label(1));
    editor->on_mouseRightClicked(QPoint(20, 20));
    editor.reset();
    open(label(1));
    auto *menu = child<QMenu>("graphicsViewMenu");
    const auto shown = [this, menu] {
        editor->on_mouseRightClicked(QPoint(300, 200));
        QStringList texts;
        for (const QAction *a : menu->actions()) {
            if (a->isVisible() && !a->isSeparator())
                texts << a->text() + (a->isEnabled() ? "" : "-");
        }
        menu->hide();
        return texts;
    };
    QCOMPARE(shown(), QStringList({"视图锁定", "粘贴-"}));
    QCOMPARE(menu->style()->pixelMetric(QStyle::PM_SmallIconSize), 22);
    select({editor->model().textModels.first().id});
    editor->operateCopy();
    QCOMPARE(shown(), QStringList({"视图锁定", "位置锁定", "复制", "粘贴", "删除", "置顶", "置底"}));
    menu->findChild<QAction *>(QStringLiteral("actionPositionLock"))->trigger();
    QVERIFY(editor->model().textModels.first().lockstate);
    QVERIFY(!(textItem(0)->flags() & QGraphicsItem::ItemIsMovable));
    // A right click on the locked element leaves it selected, so the menu can unlock it.
    const QPoint onText = editor->view()->mapFromScene(textItem(0)->sceneBoundingRect().center());
    QTest::mouseClick(editor->view()->viewport(), Qt::RightButton, Qt::NoModifier, onText);
    const QAction *positionLock = menu->findChild<QAction *>(QStringLiteral("actionPositionLock"));
    QVERIFY(positionLock->isVisible() && positionLock->isChecked());
    menu->hide();

    // Locking disarms a tool: the locked view still reports clicks.
    child<QPushButton>("btn_add_rect")->click();
    QAction *viewLock = menu->findChild<QAction *>(QStringLiteral("actionViewLock"));
    viewLock->trigger();
    QCOMPARE(editor->armedTool(), TemplateDialog::AddTool::None);
    QVERIFY(editor->model().lockstate && !editor->view()->isInteractive());
    QVERIFY(!child<QWidget>("stackedWidget")->isEnabled());
    key(Qt::Key_Delete);
    QCOMPARE(editor->model().textModels.size(), 1);
    QCOMPARE(shown(), QStringList({"视图锁定", "位置锁定-", "复制-", "粘贴-", "删除-", "置顶-", "置底-"}));
    viewLock->trigger();
    QVERIFY(!editor->model().lockstate && editor->view()->isInteractive());
    QVERIFY(child<QWidget>("template_left_frame")->isEnabled());
}

void TestTemplateEditing::textHandlers_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("scale") << "edit_text_scaleX" << QVariant(80) << "scaleX" << QVariant(0.8);
    QTest::newRow("row spacing") << "edit_text_rowSpace" << QVariant(0.75) << "rowSpacing" << QVariant(0.75);
    QTest::newRow("indentation") << "edit_text_indentation" << QVariant(2) << "indentation" << QVariant(2);
    QTest::newRow("right aligned") << "btn_right_align" << QVariant() << "horizontalAlign" << QVariant(1);
    QTest::newRow("columns") << "btn_right_to_left" << QVariant() << "direction" << QVariant(2);
    QTest::newRow("one line") << "radio_row_single" << QVariant() << "mutiled" << QVariant(false);
    QTest::newRow("fit by scale") << "radio_scale" << QVariant() << "adaptedMode" << QVariant(2);
    QTest::newRow("fitted") << "box_text_adaption" << QVariant(true) << "adapted" << QVariant(true);
    QTest::newRow("turned") << "box_text_angle" << QVariant(2) << "rotate" << QVariant(180);
}

// Every selected text changes, each item as a fresh scene build would make
// it from its changed model; the selected rectangle does not.
void TestTemplateEditing::textHandlers()
{
    QFETCH(QString, widget);
    QFETCH(QVariant, value);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    TemplateModel t = label(2);
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 5, 20, 20);
    open(t);
    select({t.textModels.at(0).id, t.textModels.at(1).id, t.rectangleModels.first().id});
    QWidget *w = child<QWidget>(widget.toLatin1());
    if (qobject_cast<QAbstractSpinBox *>(w)) {
        w->setProperty("value", value);
        emit static_cast<QAbstractSpinBox *>(w)->editingFinished();
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        combo->setCurrentIndex(value.toInt());
    } else if (value.isValid()) {
        static_cast<QCheckBox *>(w)->setChecked(value.toBool());
    } else {
        static_cast<QAbstractButton *>(w)->click();
    }
    const QJsonObject now = TemplateJson::writeTemplate(editor->model(), STAMP);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(now[QLatin1String("textModels")][i][field].toVariant().toFloat(), expected.toFloat());
        std::unique_ptr<BaseItem> fresh(editor->createItem(editor->model().textModels.at(i)));
        QVERIFY(textItem(i)->layoutInput() == static_cast<RichTextItem *>(fresh.get())->layoutInput());
    }
    QCOMPARE(now[QLatin1String("rectangleModels")], TemplateJson::writeTemplate(t, STAMP)[QLatin1String("rectangleModels")]);
}

void TestTemplateEditing::boldFlipsEachTextOnceAfterManyFills()
{
    TemplateModel t = label(2);
    t.textModels[1].bold = true;
    // Shown as " 小四 ", "0°" and 57 (not 56: the float is 0.5699...).
    t.textModels[0].fontSize = 4.23f;
    t.textModels[0].rotate = 45;
    t.textModels[0].scaleX = 0.57f;
    // A family this machine lacks is shown, not another one.
    t.textModels[0].font = QStringLiteral("缺失字体");
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(50, 5, 20, 20);
    open(t);
    select({t.textModels.at(0).id, t.textModels.at(1).id, t.rectangleModels.first().id});
    const QByteArray before = stored(editor->model());
    for (int fill = 0; fill < 50; ++fill) {
        editor->disconnectTextProperty();
        editor->fillTextPage(t.textModels.at(1 - fill % 2).id);
        editor->connectTextProperty();
        editor->connectTextProperty();
    }
    QCOMPARE(child<QComboBox>("box_fontSize")->currentText(), QStringLiteral(" 小四 "));
    QCOMPARE(child<QComboBox>("box_text_angle")->currentText(), QStringLiteral("0°"));
    QCOMPARE(child<QComboBox>("box_fontFamily")->currentText(), QStringLiteral("缺失字体"));
    QCOMPARE(child<QSpinBox>("edit_text_scaleX")->value(), 57);
    // Filling ran no handler (the title handler would have toasted).
    QCOMPARE(stored(editor->model()), before);
    QVERIFY(toasts->texts().isEmpty());
    child<QPushButton>("btn_bold")->click();
    QVERIFY(editor->model().textModels.at(0).bold && !editor->model().textModels.at(1).bold);
    QCOMPARE(textItem(0)->layoutInput().font.weight(), int(QFont::Bold));
    QCOMPARE(textItem(1)->layoutInput().font.weight(), int(QFont::Normal));
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
    open(label(2));
    select({editor->model().textModels.at(0).id, editor->model().textModels.at(1).id});
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
        QCOMPARE(editor->model().textModels.first().fontSize, 6.0f); // nothing applies while typing
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(box->count(), 16);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(editor->model().textModels.at(i).fontSize, mm);
        QCOMPARE(textItem(i)->layoutInput().font.pixelSize(), px(mm));
    }
}

QTEST_MAIN(TestTemplateEditing)
#include "tst_templateediting.moc"
