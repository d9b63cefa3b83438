// The template editor window: its form, the scene built from a stored
// template, zoom and rulers, the frame, and the box face with the books on
// picture files.

#include "editor/boxfaceitem.h"
#include "editor/templateruler.h"
#include "items/pixmapitem.h"
#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "util/jsonutil.h"

#include <QtTest>
#include <QtWidgets>

using namespace TestSupport;

using Props = QVariantMap;
Q_DECLARE_METATYPE(Props)

namespace {

const QString NAME = QStringLiteral("编辑测试");

// Every picture name a stored template (user file or recycle bin) mentions,
// read straight from the JSON.
QSet<QString> storedPictureNames(const TempProgramDir &dir)
{
    QSet<QString> names;
    for (const char *file : {"/attachment/customTemplate.json", "/attachment/customTemplateTrash.json"}) {
        const QJsonArray stored = QJsonDocument::fromJson(readFile(dir.file(QLatin1String(file)))).array();
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

void wheel(QWidget *target, int delta, Qt::KeyboardModifiers keys = Qt::NoModifier)
{
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton, keys,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestTemplateDialog : public QObject
{
    Q_OBJECT

    // What the stores reference is always there. While the books are open the
    // folder may hold copies nobody stored yet; once they are settled (a store or
    // the close), nothing else is.
    void checkPictureFolder() const
    {
        const QSet<QString> referenced = storedPictureNames(ground->programDir);
        const QStringList files = ground->pictureFolder();
        for (const QString &name : referenced)
            QVERIFY2(files.contains(name), qPrintable(name + " is referenced but missing"));
        const PictureFileBook &books = ground->editor->pictureFiles();
        if (books.addedFiles().isEmpty() && books.removedFiles().isEmpty()) {
            for (const QString &name : files)
                QVERIFY2(referenced.contains(name), qPrintable(name + " is an orphan"));
        }
    }

    std::unique_ptr<EditorGround> ground;

private slots:
    void init() { ground = std::make_unique<EditorGround>(); }
    void cleanup() { QCOMPARE(EditorGround::end(ground), QStringList()); }

    // The boxes whose ranges, decimals or suffixes differ from their neighbours'.
    void form_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Props>("props");
        const auto mm = [](double max, int decimals, const QString &suffix) {
            return Props{{"minimum", 0.0}, {"maximum", max}, {"decimals", decimals}, {"suffix", suffix}};
        };
        QTest::newRow("border px") << "edit_rect_bordline_px" << mm(100, 0, "px");
        QTest::newRow("border mm") << "edit_rect_bordline_mm" << mm(100, 1, "mm");
        QTest::newRow("circle: no suffix") << "edit_circle_width" << mm(9999.99, 2, QString());
        QTest::newRow("text height") << "edit_text_height" << mm(9999, 2, "mm");
        QTest::newRow("indent") << "edit_text_indentation" << Props{{"maximum", 999}, {"value", 0}, {"suffix", "em"}};
    }

    void form()
    {
        QFETCH(QString, name);
        QFETCH(Props, props);
        ground->open(QString());
        QObject *w = ground->child<QObject>(name.toLatin1());
        for (auto it = props.cbegin(); it != props.cend(); ++it)
            QCOMPARE(w->property(it.key().toLatin1()), it.value());
    }

    void theSceneHoldsOneItemPerElement()
    {
        // One element of every kind at one stacking value, so list order decides.
        TemplateModel t = blankLabel(NAME);
        t.rectangleModels << placedElement<RectangleModel>(2, 2, 10, 5);
        t.lineModels << placedElement<LineModel>(2, 9, 20, 0.5);
        t.lineModels[0].direction = 0;
        t.circleModels << placedElement<CircleModel>(15, 2, 6, 6);
        t.textModels << textField(QStringLiteral("转"), QStringLiteral("A"), 10, 10, 12, 4, 3)
                     << textField(QStringLiteral("缩"), QStringLiteral("B"), 2, 20, 12, 4, 3);
        t.textModels[0].rotate = 90;
        t.textModels[1].indentation = 1.7f;
        t.pictureModels << placedElement<PictureModel>(25, 2, 5, 5)
                        << placedElement<PictureModel>(25, 9, 5, 5);
        t.pictureModels[0].fileName = QStringLiteral("dot.png");
        t.pictureModels[1].fileName = QStringLiteral("gone.png");
        t.barcodeModels << placedElement<BarcodeModel>(2, 14, 20, 4);
        t.barcodeModels[0].title = QStringLiteral("条码");
        t.barcodeModels[0].content = QStringLiteral("123");
        t.qrcodeModels << qrField(QStringLiteral("码"), QString(), 30, 20, 6);
        t.rectBgModels << placedElement<RectangleBgModel>(1, 1, 38, 28);
        QImage dot(8, 8, QImage::Format_RGB32);
        dot.fill(Qt::black);
        QVERIFY(dot.save(ground->picture(QStringLiteral("dot.png"))));

        const QList<QGraphicsItem *> stack = ground->open(t).scene()->items(Qt::AscendingOrder);
        QCOMPARE(stack.size(), 11);
        QCOMPARE(stack.first()->data(0).toString(), QStringLiteral("bg"));
        QCOMPARE(stack.first()->zValue(), -999.0);
        QCOMPARE(stack.first()->flags(), QGraphicsItem::GraphicsItemFlags());
        const QList<QPair<const GraphicsModel *, QVariant>> expected{
            {&t.rectangleModels[0], QVariant()},  {&t.lineModels[0], 0},
            {&t.circleModels[0], QVariant()},     {&t.textModels[0], t.textModels[0].textTitle},
            {&t.textModels[1], t.textModels[1].textTitle}, {&t.pictureModels[0], QVariant()},
            {&t.pictureModels[1], QVariant()},    {&t.barcodeModels[0], t.barcodeModels[0].title},
            {&t.qrcodeModels[0], t.qrcodeModels[0].title}, {&t.rectBgModels[0], QVariant()}};
        const QList<int> itemTypes{2, 3, 4, 1, 1, 5, 5, 5, 5, 6};
        for (int i = 0; i < expected.size(); ++i) {
            const QGraphicsItem *item = stack.at(i + 1);
            const GraphicsModel &m = *expected.at(i).first;
            QCOMPARE(item->data(0).toString(), m.id);
            QCOMPARE(item->data(1).toInt(), m.type);
            QCOMPARE(item->data(2), expected.at(i).second);
            QCOMPARE(item->type(), QGraphicsItem::UserType + itemTypes.at(i));
            QCOMPARE(item->pos(), QPointF(TextUtil::mm2px(m.startX, 96), TextUtil::mm2px(m.startY, 96)));
            QCOMPARE(item->boundingRect(), QRectF(0, 0, TextUtil::mm2px(m.width, 96), TextUtil::mm2px(m.height, 96)));
        }
        auto *turned = static_cast<RichTextItem *>(stack.at(4));
        QCOMPARE(turned->rotation(), 90.0);
        QCOMPARE(turned->transformOriginPoint(), turned->boundingRect().center());
        QCOMPARE(static_cast<RichTextItem *>(stack.at(5))->layoutInput().indentation, 1);
        // The picture and the barcode show; a missing picture and an empty QR
        // content show nothing, and nothing breaks.
        const auto drawn = [&stack](int i) { return !static_cast<PixmapItem *>(stack.at(i))->getPixmap().isNull(); };
        QCOMPARE(QList<bool>({drawn(6), drawn(7), drawn(8), drawn(9)}), QList<bool>({true, false, true, false}));
    }

    void builtInTemplatesOpenUnchanged()
    {
        for (const QString &name : JsonUtil::getSysTemplateNames()) {
            const TemplateModel stored = JsonUtil::parseTemplate(name);
            const TemplateDialog &editor = ground->open(name);
            QVERIFY2(!editor.backgroundPicture().isPlain(), qPrintable(name));
            QCOMPARE(editor.scene()->items().size(), stored.textModels.size() + 1);
            for (int i = 0; i < stored.textModels.size(); ++i) {
                QCOMPARE(editor.model().textModels.at(i).startX, stored.textModels.at(i).startX);
                QCOMPARE(editor.model().textModels.at(i).startY, stored.textModels.at(i).startY);
            }
            QCOMPARE(ground->child<QComboBox>("box_backgroundImg")->currentText(), name);
        }
    }

    void zoomKeepsRulersOnTheLabel()
    {
        TemplateModel t = blankLabel(NAME);
        t.printWidth = 240;
        const TemplateDialog &editor = ground->open(t, true);
        TemplateRuler *ruler = editor.ruler(Qt::Horizontal);
        QCOMPARE(ruler->width(), 907);
        wheel(editor.view()->viewport(), 120, Qt::ControlModifier);
        wheel(editor.view()->viewport(), 120, Qt::ControlModifier);
        QApplication::processEvents();
        QCOMPARE(ruler->width(), 1097);
        QCOMPARE(editor.ruler(Qt::Vertical)->height(), int(TextUtil::mm2px(30, 96) * 1.21));
        // Ruler 0 is the label's left edge: the scene's origin sits at the view's top left.
        QCOMPARE(editor.view()->mapFromScene(QPointF(0, 0)), QPoint(0, 0));
        QCOMPARE(editor.view()->pos(), QPoint(ruler->x(), editor.ruler(Qt::Vertical)->y()));
        QVERIFY(editor.view()->width() >= ruler->width());
        QVERIFY(editor.view()->parentWidget()->width() >= editor.view()->x() + editor.view()->width());
    }

    // However far the wheel goes, the canvas stays a widget of some pixels
    // and no larger than a widget can be, and the wheel brings it back.
    void zoomStaysWithinTheCanvas()
    {
        TemplateModel t = blankLabel(NAME);
        t.printWidth = 9999;
        t.printHeight = 40;
        const TemplateDialog &editor = ground->open(t, true);
        QWidget *viewport = editor.view()->viewport();
        for (const int delta : {120, -120}) {
            for (int step = 0; step < 250; ++step)
                wheel(viewport, delta, Qt::ControlModifier);
            const QSize far = editor.view()->size();
            QVERIFY(far.width() <= QWIDGETSIZE_MAX && far.height() >= 1);
            wheel(viewport, -delta, Qt::ControlModifier);
            QVERIFY(editor.view()->size() != far);
        }
    }

    void rulerMarks_data()
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

    void rulerMarks()
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

    void theWheelChangesNoValue()
    {
        ground->open(QString());
        auto *width = ground->child<QSpinBox>("edit_print_width");
        auto *angle = ground->child<QComboBox>("box_text_angle");
        const int before = width->value();
        wheel(width, -120);
        wheel(angle, -120);
        QCOMPARE(width->value(), before);
        QCOMPARE(angle->currentIndex(), 0);
    }

    void theTitleBarDragsAndMaximises()
    {
        TemplateDialog &editor = ground->open(QString());
        editor.setGeometry(100, 100, 1200, 800);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QPoint before = editor.pos();
        // Only a press on the title bar drags.
        for (const int y : {10, ground->child("template_top_widget")->height() + 40}) {
            const QPoint from(400, y), to = from + QPoint(30, 20);
            QTest::mousePress(&editor, Qt::LeftButton, Qt::NoModifier, from);
            QMouseEvent move(QEvent::MouseMove, to, editor.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(&editor, &move);
            QTest::mouseRelease(&editor, Qt::LeftButton, Qt::NoModifier, to);
            QCOMPARE(editor.pos(), before + QPoint(30, 20));
        }
        ground->click("btn_max");
        QTRY_VERIFY(editor.isMaximized());
        ground->click("btn_max");
        QTRY_VERIFY(!editor.isMaximized());
    }

    // The main window deletes an open editor when it goes: the box being
    // typed in loses the focus on the way and says so.
    void deletedWhileABoxIsTyped()
    {
        TemplateDialog &editor = ground->open(QString(), true);
        QApplication::setActiveWindow(&editor);
        auto *box = ground->child<QSpinBox>("edit_print_width");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), box);
        ground->editor.reset();
    }

    void aShrunkLabelHoldsItsElements()
    {
        TemplateModel t = blankLabel(NAME);
        t.rectangleModels << placedElement<RectangleModel>(30, 20, 8, 8);
        const TemplateDialog &editor = ground->open(t);
        ground->edit("edit_print_width", 20);
        QCOMPARE(editor.scene()->sceneRect(), QRectF(0, 0, TextUtil::mm2px(20, 96), TextUtil::mm2px(30, 96)));
        QCOMPARE(editor.scene()->items().size(), 2);
        // Flush with the new edge, in millimetres; the item where the page puts it.
        const QGraphicsItem *rect = ground->item(t.rectangleModels.first().id);
        QCOMPARE(editor.model().rectangleModels.first().startX, 12.0f);
        QCOMPARE(rect->x(), qreal(TextUtil::mm2px(12, 96)));
        QCOMPARE(editor.ruler(Qt::Horizontal)->getMM(), 20.0f);
    }

    // The face is painted as the view shows it, from a picture no larger
    // than its source: the plain face with the spine's red line, or the
    // picture stretched over the label.
    void theBoxFacePaints()
    {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(ground->picture(QStringLiteral("face.png"))));
        TemplateModel t = blankLabel(NAME);
        for (const QString &background : {QString(), QStringLiteral("out:face.png")}) {
            t.background = background;
            const TemplateDialog &editor = ground->open(t);
            const auto *face = static_cast<const BoxFaceItem *>(editor.scene()->items(Qt::AscendingOrder).first());
            QCOMPARE(face->face().picture.size(), background.isEmpty() ? QImage().size() : picture.size());
            QImage shown(editor.scene()->sceneRect().size().toSize(), QImage::Format_RGB32);
            QPainter painter(&shown);
            editor.scene()->render(&painter, shown.rect(), editor.scene()->sceneRect());
            painter.end();
            const QColor plain(221, 148, 66);
            QCOMPARE(shown.pixelColor(10, 10), background.isEmpty() ? plain : QColor(Qt::darkCyan));
            QCOMPARE(shown.pixelColor(TextUtil::mm2px(20, 96), 60), background.isEmpty() ? QColor(Qt::red) : QColor(Qt::darkCyan));
        }
    }

    // Zoomed out, the picture is reduced by averaging its pixels, not
    // sampled: columns of black and white a pixel wide turn an even grey.
    void aZoomedOutFaceIsSmooth()
    {
        TemplateModel t = blankLabel(NAME);
        QImage stripes(TextUtil::mm2px(t.printWidth, 96), TextUtil::mm2px(t.printHeight, 96), QImage::Format_RGB32);
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, 0, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        stripes = stripes.copy(0, 0, stripes.width(), 1).scaled(stripes.size());
        QVERIFY(stripes.save(ground->picture(QStringLiteral("stripes.png"))));
        t.background = QStringLiteral("out:stripes.png");
        const TemplateDialog &editor = ground->open(t);
        QImage shown(stripes.size() * 0.45 - QSize(1, 1), QImage::Format_RGB32);
        QPainter painter(&shown);
        editor.scene()->render(&painter, QRectF(QPointF(), stripes.size() * 0.45), editor.scene()->sceneRect());
        painter.end();
        for (int x = 0; x < shown.width(); ++x)
            QVERIFY2(qAbs(qGray(shown.pixel(x, shown.height() / 2)) - 128) < 32, qPrintable(QString::number(x)));
    }

    void backgrounds_data()
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

    void backgrounds()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, shared);
        QFETCH(bool, oldKept);
        QFETCH(int, copiesKept);
        QTemporaryDir sources;
        QImage face(40, 30, QImage::Format_RGB32);
        face.fill(Qt::darkCyan);
        QVERIFY(face.save(sources.filePath(QStringLiteral("face.png"))));
        QVERIFY(face.save(ground->picture(QStringLiteral("old.png"))));
        TemplateModel t = blankLabel(QStringLiteral("共用背景"));
        t.background = QStringLiteral("out:old.png");
        if (shared)
            QVERIFY(JsonUtil::saveTemplate(t, false));
        t.name = NAME;
        QString chosen;
        Seams::setOpenFileHandler([&](QWidget *, const QString &, const QString &, const QString &) {
            return sources.filePath(chosen);
        });

        TemplateDialog &editor = ground->open(t);
        for (const QString &step : qAsConst(steps)) {
            if (step == QLatin1String("custom") || step == QLatin1String("broken")) {
                chosen = step == QLatin1String("broken") ? QStringLiteral("none.png") : QStringLiteral("face.png");
                ground->click("btn_diy_bg");
            } else if (step == QLatin1String("preset")) {
                ground->child<QComboBox>("box_backgroundImg")->setCurrentText(QStringLiteral("档案袋"));
            } else if (step == QLatin1String("clear")) {
                ground->click("btn_bg_clear");
            } else if (step == QLatin1String("save")) {
                QVERIFY(JsonUtil::saveTemplate(editor.model(), false));
                editor.processRecordImg(true);
            } else {
                editor.close();
            }
            // One box face behind everything, always.
            int faces = 0;
            for (const QGraphicsItem *item : editor.scene()->items())
                faces += item->data(0).toString() == QLatin1String("bg") && item->zValue() == -999.0;
            QCOMPARE(faces, 1);
            checkPictureFolder();
        }
        QStringList files = ground->pictureFolder();
        QCOMPARE(files.removeAll(QStringLiteral("old.png")), int(oldKept));
        QCOMPARE(files.size(), copiesKept);
        const bool failed = steps.contains(QLatin1String("broken"));
        QCOMPARE(ground->toasts.texts(), failed ? QStringList{QStringLiteral("背景图片复制失败")} : QStringList());
    }
};

QTEST_MAIN(TestTemplateDialog)
#include "tst_templatedialog.moc"
