// The template editor window: its form, the scene built from a stored
// template, zoom and rulers, the frame, and the box face with the books on
// picture files, always at a screen pinned to 96 dpi in a real program folder.

#include "editor/templatedialog.h"
#include "editor/templateruler.h"
#include "items/pixmapitem.h"
#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Props = QVariantMap;
Q_DECLARE_METATYPE(Props)

namespace {

const QString NAME = QStringLiteral("编辑测试");
const QString SHARED = QStringLiteral("共用背景");

// A 96 dpi screen: 1920 pixels over 508 mm.
Seams::ScreenSize screen96() { return {QSize(1920, 1080), QSizeF(508.0, 285.75)}; }

// Every picture name that a stored template (user file or recycle bin)
// mentions, read straight from the JSON.
QSet<QString> storedPictureNames(const TestSupport::TempProgramDir &dir)
{
    QSet<QString> names;
    for (const char *file : {"/attachment/customTemplate.json", "/attachment/customTemplateTrash.json"}) {
        const QJsonArray stored = QJsonDocument::fromJson(TestSupport::readFile(dir.file(QLatin1String(file)))).array();
        for (const QJsonValue &t : stored) {
            const QString bg = t[QLatin1String("background")].toString();
            if (bg.startsWith(QLatin1String("out:")))
                names.insert(bg.mid(4));
            for (const QJsonValue &p : t[QLatin1String("pictureModels")].toArray())
                names.insert(p[QLatin1String("fileName")].toString());
        }
    }
    return names;
}

} // namespace

class TestTemplateDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void form_data();
    void form();
    void theSceneHoldsOneItemPerElement();
    void builtInTemplatesOpenUnchanged();
    void zoomKeepsRulersOnTheLabel();
    void rulerMarks_data();
    void rulerMarks();
    void theWheelChangesNoValue();
    void aLockedTemplateOpensLocked();
    void theTitleBarDragsAndMaximises();
    void aShrunkLabelHoldsItsElements();
    void backgrounds_data();
    void backgrounds();

private:
    std::unique_ptr<TemplateDialog> open(const QString &name);
    template <typename T>
    T *child(const char *name) const { return editor->findChild<T *>(QLatin1String(name)); }
    QString picture(const QString &name) const { return programDir->file(QStringLiteral("/attachment/picture/")) + name; }
    QSet<QString> pictureFolder() const
    {
        const QStringList files = TestSupport::listFiles(programDir->file(QStringLiteral("/attachment/picture")));
        return QSet<QString>(files.begin(), files.end());
    }
    void checkPictureFolder() const;

    std::unique_ptr<TestSupport::TempProgramDir> programDir;
    std::unique_ptr<TestSupport::LogCapture> log;
    std::unique_ptr<TestSupport::ToastRecorder> toasts;
    std::unique_ptr<TemplateDialog> editor;
    QTemporaryDir sources;
};

void TestTemplateDialog::init()
{
    log.reset(new TestSupport::LogCapture);
    programDir.reset(new TestSupport::TempProgramDir);
    toasts.reset(new TestSupport::ToastRecorder);
    Seams::setScreenHandler(screen96);
    FileUtil::checkCustomDir();
}

void TestTemplateDialog::cleanup()
{
    editor.reset();
    QVERIFY2(log->connectionWarnings().isEmpty(), qPrintable(log->connectionWarnings().join(QLatin1Char('\n'))));
    toasts.reset();
    programDir.reset();
    log.reset();
    Seams::resetAll();
}

std::unique_ptr<TemplateDialog> TestTemplateDialog::open(const QString &name)
{
    return std::make_unique<TemplateDialog>(name);
}

void TestTemplateDialog::form_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Props>("props");
    const auto mm = [](double max, int decimals = 2, const QString &suffix = QStringLiteral("mm")) {
        return Props{{"minimum", 0.0}, {"maximum", max}, {"decimals", decimals}, {"suffix", suffix}};
    };
    QTest::newRow("window") << "TemplateDialog" << Props{{"windowTitle", "模板编辑"}};
    QTest::newRow("title") << "lab_title" << Props{{"text", "修改模板"}};
    QTest::newRow("tool") << "btn_add_rect_bg" << Props{{"text", "添加双矩形"}, {"checkable", true}, {"checked", false}};
    QTest::newRow("size box") << "edit_print_width" << Props{{"minimum", 0}, {"maximum", 9999}, {"suffix", "mm"}};
    QTest::newRow("full width") << "box_full_print" << Props{{"text", "是否全幅:"}, {"checked", false}};
    QTest::newRow("clear") << "btn_bg_clear" << Props{{"toolTip", "清除背景"}, {"autoDefault", false}};
    QTest::newRow("rect x") << "edit_rect_x" << mm(9999.99);
    QTest::newRow("border px") << "edit_rect_bordline_px" << mm(100, 0, "px");
    QTest::newRow("border mm") << "edit_rect_bordline_mm" << mm(100, 1);
    QTest::newRow("line height label") << "label_19" << Props{{"text", "线条高度"}};
    QTest::newRow("circle: no suffix") << "edit_circle_width" << mm(9999.99, 2, QString());
    QTest::newRow("text height") << "edit_text_height" << mm(9999);
    QTest::newRow("double rect height") << "edit_rect_bg_height" << mm(9999);
    QTest::newRow("picture height") << "edit_pix_height" << mm(9999.99);
    QTest::newRow("scale") << "edit_text_scaleX" << Props{{"maximum", 1000}, {"value", 100}, {"suffix", "%"}};
    QTest::newRow("indent") << "edit_text_indentation" << Props{{"maximum", 999}, {"value", 0}, {"suffix", "em"}};
    QTest::newRow("word space") << "edit_text_wordSpace" << mm(99.99);
    QTest::newRow("size adaption") << "radio_size" << Props{{"text", "字号自适应"}, {"checked", true}};
    QTest::newRow("single row") << "radio_row_single" << Props{{"text", "单行"}, {"checked", true}};
    QTest::newRow("align") << "btn_right_to_left" << Props{{"toolTip", "从右向左"}, {"checked", false}};
    QTest::newRow("no ruler") << "box_text_noruler" << Props{{"text", "字母与数字不垂直"}};
    QTest::newRow("qr title") << "lb_qrcode_title" << Props{{"text", "标题:"}};
    QTest::newRow("barcode fixed") << "box_barcode_fixed" << Props{{"text", "是否固定:"}};
    QTest::newRow("save as") << "btn_save_as_template" << Props{{"text", "另存为"}};
    QTest::newRow("help tip") << "btn_help_temp" << Props{{"toolTip", "模板宽高指实际档案盒\n需要打印范围的宽高"}};
}

void TestTemplateDialog::form()
{
    QFETCH(QString, name);
    QFETCH(Props, props);
    editor = open(QString());
    QObject *w = name == editor->objectName() ? editor.get() : editor->findChild<QObject *>(name);
    QVERIFY(w);
    for (auto it = props.cbegin(); it != props.cend(); ++it)
        QCOMPARE(w->property(it.key().toLatin1()), it.value());

    const QStringList pages{"page_base_set", "page_add_rect", "page_add_line", "page_add_picture", "page_add_cir",
                            "page_add_font", "page_add_qrcode", "page_add_rect_bg", "page_add_barcode"};
    auto *stack = child<QStackedWidget>("stackedWidget");
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(stack->widget(i)->objectName(), pages.at(i));
    QCOMPARE(stack->currentIndex(), 0);
    auto *angle = child<QComboBox>("box_text_angle");
    QCOMPARE(angle->count(), 4);
    QCOMPARE(angle->itemText(3), QStringLiteral("270°"));
    QVERIFY(child<QWidget>("btn_help_rect")->isHidden());
    QVERIFY(child<QWidget>("edit_line_bord_px")->isHidden());
}

void TestTemplateDialog::theSceneHoldsOneItemPerElement()
{
    // One element of every kind at one stacking value, so list order decides.
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(2, 2, 10, 5);
    LineModel line = TestSupport::placedElement<LineModel>(2, 9, 20, 0.5);
    line.direction = 0;
    t.lineModels << line;
    t.circleModels << TestSupport::placedElement<CircleModel>(15, 2, 6, 6);
    TextModel turned = TestSupport::textField(QStringLiteral("转"), QStringLiteral("A"), 10, 10, 12, 4, 3);
    turned.rotate = 90;
    TextModel indented = TestSupport::textField(QStringLiteral("缩"), QStringLiteral("B"), 2, 20, 12, 4, 3);
    indented.indentation = 1.7f;
    t.textModels << turned << indented;
    PictureModel present = TestSupport::placedElement<PictureModel>(25, 2, 5, 5);
    present.fileName = QStringLiteral("dot.png");
    PictureModel missing = TestSupport::placedElement<PictureModel>(25, 9, 5, 5);
    missing.fileName = QStringLiteral("gone.png");
    t.pictureModels << present << missing;
    BarcodeModel bar = TestSupport::placedElement<BarcodeModel>(2, 14, 20, 4);
    bar.title = QStringLiteral("条码");
    bar.content = QStringLiteral("123");
    t.barcodeModels << bar;
    t.qrcodeModels << TestSupport::qrField(QStringLiteral("码"), QString(), 30, 20, 6);
    t.rectBgModels << TestSupport::placedElement<RectangleBgModel>(1, 1, 38, 28);
    QImage dot(8, 8, QImage::Format_RGB32);
    dot.fill(Qt::black);
    QVERIFY(dot.save(picture(QStringLiteral("dot.png"))));
    QVERIFY(JsonUtil::saveTemplate(t, false));

    editor = open(NAME);
    const QList<QGraphicsItem *> stack = editor->scene()->items(Qt::AscendingOrder);
    QCOMPARE(stack.size(), 11);
    QCOMPARE(stack.first()->data(0).toString(), QStringLiteral("bg"));
    QCOMPARE(stack.first()->zValue(), -999.0);
    QCOMPARE(stack.first()->flags(), QGraphicsItem::GraphicsItemFlags());

    struct Expected {
        const GraphicsModel *model;
        int itemType;
        QVariant title;
    };
    const QList<Expected> expected{
        {&t.rectangleModels[0], QGraphicsItem::UserType + 2, QVariant()},
        {&t.lineModels[0], QGraphicsItem::UserType + 3, 0},
        {&t.circleModels[0], QGraphicsItem::UserType + 4, QVariant()},
        {&t.textModels[0], QGraphicsItem::UserType + 1, turned.textTitle},
        {&t.textModels[1], QGraphicsItem::UserType + 1, indented.textTitle},
        {&t.pictureModels[0], QGraphicsItem::UserType + 5, QVariant()},
        {&t.pictureModels[1], QGraphicsItem::UserType + 5, QVariant()},
        {&t.barcodeModels[0], QGraphicsItem::UserType + 5, bar.title},
        {&t.qrcodeModels[0], QGraphicsItem::UserType + 5, t.qrcodeModels[0].title},
        {&t.rectBgModels[0], QGraphicsItem::UserType + 6, QVariant()},
    };
    for (int i = 0; i < expected.size(); ++i) {
        const QGraphicsItem *item = stack.at(i + 1);
        const GraphicsModel &m = *expected.at(i).model;
        QCOMPARE(item->data(0).toString(), m.id);
        QCOMPARE(item->data(1).toInt(), m.type);
        QCOMPARE(item->data(2), expected.at(i).title);
        QCOMPARE(item->type(), expected.at(i).itemType);
        QCOMPARE(item->pos(), QPointF(TextUtil::mm2px(m.startX, 96), TextUtil::mm2px(m.startY, 96)));
        QCOMPARE(item->boundingRect(), QRectF(0, 0, TextUtil::mm2px(m.width, 96), TextUtil::mm2px(m.height, 96)));
    }
    auto *turnedItem = static_cast<RichTextItem *>(stack.at(4));
    QCOMPARE(turnedItem->rotation(), 90.0);
    QCOMPARE(turnedItem->transformOriginPoint(), turnedItem->boundingRect().center());
    QCOMPARE(static_cast<RichTextItem *>(stack.at(5))->layoutInput().indentation, 1);
    QVERIFY(!static_cast<PixmapItem *>(stack.at(6))->getPixmap().isNull());
    // A missing picture and an empty QR content show nothing, and nothing breaks.
    QVERIFY(static_cast<PixmapItem *>(stack.at(7))->getPixmap().isNull());
    QVERIFY(static_cast<PixmapItem *>(stack.at(9))->getPixmap().isNull());
    QVERIFY(!static_cast<PixmapItem *>(stack.at(8))->getPixmap().isNull());
}

void TestTemplateDialog::builtInTemplatesOpenUnchanged()
{
    for (const QString &name : JsonUtil::getSysTemplateNames()) {
        const TemplateModel stored = JsonUtil::parseTemplate(name);
        editor = open(name);
        QVERIFY2(!editor->backgroundPicture().isPlain(), qPrintable(name));
        QCOMPARE(editor->scene()->items().size(), stored.textModels.size() + 1);
        for (int i = 0; i < stored.textModels.size(); ++i) {
            QCOMPARE(editor->model().textModels.at(i).startX, stored.textModels.at(i).startX);
            QCOMPARE(editor->model().textModels.at(i).startY, stored.textModels.at(i).startY);
        }
        QCOMPARE(child<QComboBox>("box_backgroundImg")->currentText(), name);
    }
}

void TestTemplateDialog::zoomKeepsRulersOnTheLabel()
{
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.printWidth = 240;
    QVERIFY(JsonUtil::saveTemplate(t, false));
    editor = open(NAME);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
    TemplateRuler *ruler = editor->ruler(Qt::Horizontal);
    QCOMPARE(ruler->width(), 907);
    QWidget *viewport = editor->view()->viewport();
    for (int step = 0; step < 2; ++step) {
        QWheelEvent wheel(QPointF(5, 5), viewport->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    }
    QApplication::processEvents();
    QCOMPARE(ruler->width(), 1097);
    QCOMPARE(editor->ruler(Qt::Vertical)->height(), int(TextUtil::mm2px(30, 96) * 1.21));
    // Ruler 0 is the label's left edge: the scene's origin sits at the view's top left.
    QCOMPARE(editor->view()->mapFromScene(QPointF(0, 0)), QPoint(0, 0));
    QCOMPARE(editor->view()->x(), ruler->x());
    QCOMPARE(editor->view()->y(), editor->ruler(Qt::Vertical)->y());
    QVERIFY(editor->view()->width() >= ruler->width());
    QVERIFY(editor->view()->parentWidget()->width() >= editor->view()->x() + editor->view()->width());
}

void TestTemplateDialog::rulerMarks_data()
{
    QTest::addColumn<float>("mm");
    QTest::addColumn<int>("length");
    QTest::addColumn<QList<int>>("firstMarks");
    QTest::addColumn<int>("markCount");
    QTest::addColumn<int>("lastMark");
    QTest::newRow("240 mm at 96 dpi") << 240.0f << 907 << QList<int>{0, 3, 7, 11, 15} << 240 << 903;
    QTest::newRow("240.5 mm ends at 240") << 240.5f << 907 << QList<int>{0, 3, 7, 11, 15} << 241 << 905;
    QTest::newRow("zero: the frame only") << 0.0f << 200 << QList<int>{0} << 1 << 0;
}

void TestTemplateDialog::rulerMarks()
{
    QFETCH(float, mm);
    QFETCH(int, length);
    QFETCH(QList<int>, firstMarks);
    QFETCH(int, markCount);
    QFETCH(int, lastMark);
    TemplateRuler ruler(true, mm);
    ruler.setFixedSize(length, 30);
    const QImage image = ruler.grab().toImage();
    // Row 3 crosses every mark; row 7 only the 5 mm ones. The frame's right
    // edge is the last dark column and is not a mark.
    const auto darkColumns = [&](int y) {
        QList<int> columns;
        for (int x = 0; x < image.width() - 1; ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                columns << x;
        }
        return columns;
    };
    const QList<int> marks = darkColumns(3);
    QCOMPARE(marks.mid(0, firstMarks.size()), firstMarks);
    QCOMPARE(marks.size(), markCount);
    QCOMPARE(marks.last(), lastMark);
    if (mm > 0) {
        const QList<int> longMarks = darkColumns(7);
        QCOMPARE(longMarks.size(), (markCount + 4) / 5);
        QCOMPARE(longMarks.at(1), 18);
    }
}

void TestTemplateDialog::theWheelChangesNoValue()
{
    editor = open(QString());
    auto *width = child<QSpinBox>("edit_print_width");
    auto *angle = child<QComboBox>("box_text_angle");
    const int before = width->value();
    for (QWidget *target : {static_cast<QWidget *>(width), static_cast<QWidget *>(angle)}) {
        QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }
    QCOMPARE(width->value(), before);
    QCOMPARE(angle->currentIndex(), 0);
}

void TestTemplateDialog::aLockedTemplateOpensLocked()
{
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.lockstate = true;
    QVERIFY(JsonUtil::saveTemplate(t, false));
    editor = open(NAME);
    QVERIFY(!editor->view()->isInteractive());
    QVERIFY(!child<QWidget>("template_left_frame")->isEnabled());
    QVERIFY(!child<QWidget>("stackedWidget")->isEnabled());
}

void TestTemplateDialog::theTitleBarDragsAndMaximises()
{
    editor = open(QString());
    editor->setGeometry(100, 100, 1200, 800);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
    const auto drag = [this](QPoint from) {
        QTest::mousePress(editor.get(), Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, from + QPoint(30, 20), editor->mapToGlobal(from + QPoint(30, 20)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor.get(), &move);
        QTest::mouseRelease(editor.get(), Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 20));
    };
    const QPoint before = editor->pos();
    drag(QPoint(400, 10));
    QCOMPARE(editor->pos(), before + QPoint(30, 20));
    drag(QPoint(400, child<QWidget>("template_top_widget")->height() + 40));
    QCOMPARE(editor->pos(), before + QPoint(30, 20));
    QTest::mouseClick(child<QPushButton>("btn_max"), Qt::LeftButton);
    QTRY_VERIFY(editor->isMaximized());
    QTest::mouseClick(child<QPushButton>("btn_max"), Qt::LeftButton);
    QTRY_VERIFY(!editor->isMaximized());
}

void TestTemplateDialog::aShrunkLabelHoldsItsElements()
{
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.rectangleModels << TestSupport::placedElement<RectangleModel>(30, 20, 8, 8);
    QVERIFY(JsonUtil::saveTemplate(t, false));
    editor = open(NAME);
    auto *width = child<QSpinBox>("edit_print_width");
    width->setValue(20);
    emit width->editingFinished();
    QCOMPARE(editor->scene()->sceneRect(), QRectF(0, 0, TextUtil::mm2px(20, 96), TextUtil::mm2px(30, 96)));
    QCOMPARE(editor->scene()->items().size(), 2);
    const QGraphicsItem *rect = editor->scene()->items(Qt::DescendingOrder).first();
    QCOMPARE(rect->sceneBoundingRect().right(), editor->scene()->sceneRect().right());
    QCOMPARE(editor->model().rectangleModels.first().startX, TextUtil::px2mm(int(rect->x()), 96));
    QCOMPARE(editor->ruler(Qt::Horizontal)->getMM(), 20.0f);
}

void TestTemplateDialog::backgrounds_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("shared");
    QTest::addColumn<bool>("oldKept");
    QTest::addColumn<int>("copiesKept");
    using L = QStringList;
    QTest::newRow("replace twice, close") << L{"custom", "custom", "close"} << false << true << 0;
    QTest::newRow("replace, save, close") << L{"custom", "save", "close"} << false << false << 1;
    QTest::newRow("replace twice, save") << L{"custom", "custom", "save", "close"} << false << false << 1;
    QTest::newRow("shared file replaced") << L{"custom", "save", "close"} << true << true << 1;
    QTest::newRow("preset replaces") << L{"preset", "save", "close"} << false << false << 0;
    QTest::newRow("cleared") << L{"clear", "save", "close"} << false << false << 0;
    QTest::newRow("copy fails") << L{"broken", "save", "close"} << false << true << 0;
    QTest::newRow("save, replace, close") << L{"save", "custom", "close"} << false << true << 0;
}

void TestTemplateDialog::backgrounds()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, shared);
    QFETCH(bool, oldKept);
    QFETCH(int, copiesKept);
    QImage face(40, 30, QImage::Format_RGB32);
    face.fill(Qt::darkCyan);
    const QString source = sources.filePath(QStringLiteral("face.png"));
    QVERIFY(face.save(source));
    QVERIFY(QFile::copy(source, picture(QStringLiteral("old.png"))));
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.background = QStringLiteral("out:old.png");
    QVERIFY(JsonUtil::saveTemplate(t, false));
    if (shared) {
        t.name = SHARED;
        QVERIFY(JsonUtil::saveTemplate(t, false));
    }
    QString chosen;
    Seams::setOpenFileHandler([&chosen](QWidget *, const QString &, const QString &, const QString &) { return chosen; });

    editor = open(NAME);
    for (const QString &step : qAsConst(steps)) {
        if (step == QLatin1String("custom") || step == QLatin1String("broken")) {
            chosen = step == QLatin1String("broken") ? sources.filePath(QStringLiteral("none.png")) : source;
            QTest::mouseClick(child<QWidget>("btn_diy_bg"), Qt::LeftButton);
        } else if (step == QLatin1String("preset")) {
            child<QComboBox>("box_backgroundImg")->setCurrentText(QStringLiteral("档案袋"));
        } else if (step == QLatin1String("clear")) {
            QTest::mouseClick(child<QWidget>("btn_bg_clear"), Qt::LeftButton);
        } else if (step == QLatin1String("save")) {
            QVERIFY(JsonUtil::saveTemplate(editor->model(), false));
            editor->processRecordImg(true);
        } else {
            editor->close();
        }
        // One box face behind everything, always.
        int faces = 0;
        for (const QGraphicsItem *item : editor->scene()->items())
            faces += item->data(0).toString() == QLatin1String("bg") && item->zValue() == -999.0;
        QCOMPARE(faces, 1);
        checkPictureFolder();
    }
    QSet<QString> files = pictureFolder();
    QCOMPARE(files.contains(QStringLiteral("old.png")), oldKept);
    files.remove(QStringLiteral("old.png"));
    QCOMPARE(files.size(), copiesKept);
    QCOMPARE(toasts->texts(), steps.contains(QLatin1String("broken")) ? QStringList{QStringLiteral("背景图片复制失败")}
                                                                      : QStringList());
}

// What the stores reference is always there. While the books are open the
// folder may hold copies nobody stored yet; once they are settled (a store or
// the close), nothing else is.
void TestTemplateDialog::checkPictureFolder() const
{
    const QSet<QString> referenced = storedPictureNames(*programDir);
    const QSet<QString> files = pictureFolder();
    for (const QString &name : referenced)
        QVERIFY2(files.contains(name), qPrintable(name + " is referenced but missing"));
    if (editor->pictureFiles().addedFiles().isEmpty() && editor->pictureFiles().removedFiles().isEmpty()) {
        for (const QString &name : files)
            QVERIFY2(referenced.contains(name), qPrintable(name + " is an orphan"));
    }
}

QTEST_MAIN(TestTemplateDialog)
#include "tst_templatedialog.moc"
