// What the editor shows and stores: the page shows and edits the element
// just added, a template opened and saved without an edit is stored as it
// was, and every element sits where the printed page puts it, turned texts
// dragged and resized included.

#include "items/baseitem.h"
#include "items/pixmapitem.h"
#include "items/qwgraphicsview.h"
#include "print/pagescene.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "support/testfonts.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"

#include <QtTest>
#include <QtWidgets>

using namespace TestSupport;

namespace {

const QDateTime STAMP(QDate(2024, 5, 6), QTime(7, 8, 9));
const QString TURNED = QStringLiteral("转向");

// A 60 x 40 mm label with texts turned each way, elements at 12.34 and
// 30.0 mm, and elements (turned texts among them) flush with every edge.
TemplateModel turnedLabel()
{
    TemplateModel t = blankLabel(TURNED);
    t.printWidth = 60;
    t.printHeight = 40;
    t.createTime = QStringLiteral("2024-01-02 03:04:05");
    const auto text = [&t](float x, float y, int angle) {
        t.textModels << textField(QString::number(t.textModels.size()), QStringLiteral("档案AB12"), x, y, 20, 8, 4);
        t.textModels.last().rotate = angle;
    };
    text(30.0f, 25, 180);
    text(46, 15, 270); // flush right
    text(-6, 6, 90);   // flush left and top
    text(30, 26, 90);  // flush bottom
    text(12.34f, 10, 90); // on top of the other texts, for the drags
    t.rectangleModels << placedElement<RectangleModel>(0, 0, 5, 5) << placedElement<RectangleModel>(52.5f, 32.5f, 7.5f, 7.5f);
    t.lineModels << placedElement<LineModel>(12.34f, 30.0f, 20, 0.5f);
    return t;
}

// The scene's items from the bottom up: element ids, the box face as "bg".
QStringList stackOf(const QGraphicsScene &scene)
{
    QStringList ids;
    for (const QGraphicsItem *item : scene.items(Qt::AscendingOrder)) {
        if (!item->parentItem())
            ids << (item->data(0).toString().isEmpty() ? QStringLiteral("bg") : item->data(0).toString());
    }
    return ids;
}

// The template of that name as the user store holds it.
TemplateModel storedTemplate(const EditorGround &ground, const QString &name)
{
    const QJsonArray stored =
        QJsonDocument::fromJson(readFile(ground.programDir.file(QStringLiteral("/attachment/customTemplate.json")))).array();
    for (const QJsonValue &t : stored) {
        if (t[QLatin1String("name")].toString() == name)
            return TemplateJson::readTemplate(t.toObject());
    }
    return {};
}

} // namespace

class TestEditorFidelity : public QObject
{
    Q_OBJECT

    std::unique_ptr<EditorGround> ground;
    QTemporaryDir sources;

    const TemplateModel &model() const { return ground->editor->model(); }

    // Every element's box in the editor against the printed page's at the
    // editor's dpi: within a pixel.
    void showsWhatPrints(const QString &name) const
    {
        QGraphicsScene printed;
        PageScene page(&printed, model(), EditorScene::dpi());
        page.rebuild(false);
        QHash<QString, QRectF> boxes;
        for (const QGraphicsItem *item : printed.items())
            boxes.insert(item->data(0).toString(), item->sceneBoundingRect());
        for (const QString &id : ground->editor->document().elementIds()) {
            const QRectF shown = ground->item(id)->sceneBoundingRect(), page = boxes.value(id);
            QVERIFY2(qAbs(shown.left() - page.left()) <= 1 && qAbs(shown.top() - page.top()) <= 1
                         && qAbs(shown.right() - page.right()) <= 1 && qAbs(shown.bottom() - page.bottom()) <= 1,
                     qPrintable(name + QLatin1Char('/') + id));
        }
    }

    // The page the editor's template prints, at the editor's dpi.
    struct Printed {
        QGraphicsScene scene;
        std::unique_ptr<PageScene> page;
        explicit Printed(const TemplateModel &t) : page(std::make_unique<PageScene>(&scene, t, EditorScene::dpi()))
        {
            page->rebuild(true);
        }
        QImage picture(const QString &id) const
        {
            for (QGraphicsItem *item : scene.items())
                if (item->data(0).toString() == id)
                    return static_cast<PixmapItem *>(item)->getPixmap().toImage();
            return QImage(1, 1, QImage::Format_Mono);
        }
    };

    QPointF handleOf(const QString &id) const
    {
        const QRectF r = ground->item(id)->boundingRect();
        return ground->item(id)->mapToScene(r.bottomRight() - QPointF(4, 4));
    }

private slots:
    void initTestCase() { QVERIFY(loadPinnedFonts()); }

    void init()
    {
        ground = std::make_unique<EditorGround>();
        QImage picture(30, 16, QImage::Format_RGB32);
        picture.fill(Qt::black);
        QVERIFY(picture.save(sources.filePath(QStringLiteral("dot.png"))));
        Seams::setOpenFileHandler([this](QWidget *, const QString &, const QString &, const QString &) {
            return sources.filePath(QStringLiteral("dot.png"));
        });
    }

    void cleanup() { QCOMPARE(EditorGround::end(ground), QStringList()); }

    void theNewElementIsTheOneEdited_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("page"); // its boxes' middle name
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("title");
        QTest::newRow("rectangle") << "btn_add_rect" << "rect" << "rectangleModels" << "";
        QTest::newRow("horizontal line") << "btn_add_Hline" << "line" << "lineModels" << "";
        QTest::newRow("vertical line") << "btn_add_Vline" << "line" << "lineModels" << "";
        QTest::newRow("circle") << "btn_add_cir" << "circle" << "circleModels" << "";
        QTest::newRow("text") << "btn_add_font" << "text" << "textModels" << "edit_text_title";
        QTest::newRow("picture") << "btn_add_pic" << "pix" << "pictureModels" << "";
        QTest::newRow("qr code") << "btn_add_qr" << "qrc" << "qrcodeModels" << "edit_qrcode_title";
        QTest::newRow("double rectangle") << "btn_add_rect_bg" << "rect_bg" << "rectBgModels" << "";
        QTest::newRow("barcode") << "btn_add_bar" << "brc" << "barcodeModels" << "edit_barcode_title";
    }

    // A of the kind is shown; B added; the page shows B, and its edits reach B only.
    void theNewElementIsTheOneEdited()
    {
        QFETCH(QString, tool);
        QFETCH(QString, page);
        QFETCH(QString, list);
        QFETCH(QString, title);
        const QByteArray x = "edit_" + page.toLatin1() + "_x", width = "edit_" + page.toLatin1() + "_width";
        // The first (A) or the second (B) element of the kind, as stored.
        const auto stored = [&](int i) {
            return TemplateJson::writeTemplate(model(), STAMP)[list].toArray().at(i).toObject();
        };
        TemplateModel t = blankLabel(QStringLiteral("添加"));
        t.printWidth = 100;
        t.printHeight = 60;
        TemplateDialog &editor = ground->open(t, true);
        ground->addWith(tool.toLatin1(), QPointF(20, 20));
        QTRY_COMPARE(editor.document().elementIds().size(), 1);
        const QString a = editor.document().elementIds().first();
        QCOMPARE(editor.currentElementId(), a);
        const QJsonObject before = stored(0);
        ground->addWith(tool.toLatin1(), QPointF(200, 120));
        QTRY_COMPARE(editor.document().elementIds().size(), 2);
        const QString b = editor.document().elementIds().last();
        QCOMPARE(editor.currentElementId(), b);
        QCOMPARE(float(ground->child<QDoubleSpinBox>(x)->value()), editor.document().element(b)->startX);
        ground->edit(x, 12.5);
        ground->edit(width, 11);
        if (!title.isEmpty()) {
            auto *line = ground->child<QLineEdit>(title.toLatin1());
            line->setText(QStringLiteral("乙"));
            emit line->editingFinished();
            const QLatin1String key(page == QLatin1String("text") ? "textTitle" : "title");
            QCOMPARE(stored(1)[key].toString(), QStringLiteral("乙"));
        }
        const GraphicsModel &made = *editor.document().element(b);
        QCOMPARE(QPointF(made.startX, made.width), QPointF(12.5, 11));
        QCOMPARE(stored(0), before);
    }

    // Ctrl-clicks, a paste, a delete and the mouse: the page shows what it
    // edits, and a value typed before it turns reaches the element it was for.
    void thePageFollowsTheSelection()
    {
        TemplateModel t = blankLabel(QStringLiteral("选择"));
        t.rectangleModels << placedElement<RectangleModel>(2, 2, 10, 10) << placedElement<RectangleModel>(20, 2, 10, 10);
        t.textModels << placedElement<TextModel>(40, 2, 10, 10);
        TemplateDialog &editor = ground->open(t, true);
        QApplication::setActiveWindow(&editor);
        const QString a = t.rectangleModels[0].id, b = t.rectangleModels[1].id, text = t.textModels[0].id;
        const auto centre = [this](const QString &id) { return ground->item(id)->sceneBoundingRect().center(); };
        const auto shownX = [this] { return float(ground->child<QDoubleSpinBox>("edit_rect_x")->value()); };
        ground->clickCanvas(centre(a));
        ground->clickCanvas(centre(b), Qt::ControlModifier);
        QCOMPARE(editor.currentElementId(), b);
        // B taken out of the selection again: A, left selected, is shown.
        ground->clickCanvas(centre(b), Qt::ControlModifier);
        QCOMPARE(editor.currentElementId(), a);
        QCOMPARE(shownX(), 2.0f);
        editor.operateCopy();
        editor.operatePaste();
        const QString copy = model().rectangleModels.last().id;
        QCOMPARE(editor.currentElementId(), copy);
        QCOMPARE(shownX(), editor.document().element(copy)->startX);
        editor.operateDelete();
        QVERIFY(editor.currentElementId().isEmpty());
        QCOMPARE(ground->child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
                 QStringLiteral("page_base_set"));

        // A width typed for A, then the mouse over the canvas: the page turns
        // to the text also selected, and the width reaches A.
        ground->select({text, a});
        editor.showElement(a);
        auto *width = ground->child<QDoubleSpinBox>("edit_rect_width");
        QTest::mouseClick(width, Qt::LeftButton);
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("15"));
        ground->mouse(QEvent::MouseMove, QPointF(100, 80));
        QCOMPARE(editor.currentElementId(), text);
        QCOMPARE(editor.document().element(a)->width, 15.0f);
    }

    // Opened, added to, raised and lowered: the editor stacks the elements
    // and the face as the page prints them, the face printed.
    void stacksAsItPrints()
    {
        QImage white(8, 8, QImage::Format_RGB32);
        white.fill(Qt::white);
        QVERIFY(white.save(ground->picture(QStringLiteral("white.png"))));
        TemplateModel t = blankLabel(QStringLiteral("叠放"));
        t.background = QStringLiteral("tongyong2CM.png");
        t.rectangleModels << placedElement<RectangleModel>(2, 2, 30, 20, 2);
        t.textModels << textField(QStringLiteral("甲"), QStringLiteral("文字"), 4, 4, 20, 8, 4);
        t.textModels.last().viewZ = 1;
        t.pictureModels << placedElement<PictureModel>(4, 4, 20, 10);
        t.pictureModels.last().fileName = QStringLiteral("white.png");
        t.qrcodeModels << qrField(QStringLiteral("编号"), QStringLiteral("Q-1"), 10, 3, 15, -1);
        // Stored below the face's usual value: still above the face.
        t.rectBgModels << placedElement<RectangleBgModel>(20, 2, 10, 10, -1200);
        TemplateDialog &editor = ground->open(t, true);
        const auto printedStack = [this] { return stackOf(Printed(model()).scene); };
        QCOMPARE(stackOf(*editor.scene()).first(), QStringLiteral("bg"));
        QCOMPARE(stackOf(*editor.scene()), printedStack());

        // A rectangle added last lies below the later lists' elements of its value.
        ground->addWith("btn_add_rect", QPointF(40, 40));
        QCOMPARE(stackOf(*editor.scene()), printedStack());
        const QString text = t.textModels.first().id, picture = t.pictureModels.first().id;
        ground->select({picture});
        editor.showElement(picture);
        editor.bringToTop();
        QCOMPARE(stackOf(*editor.scene()), printedStack());
        ground->select({text});
        editor.showElement(text);
        editor.sendToBottom();
        QCOMPARE(stackOf(*editor.scene()), printedStack());
        editor.bringToTop();
        QCOMPARE(stackOf(*editor.scene()), printedStack());
    }

    void aRefusedCodeShowsWhatPrints_data()
    {
        QTest::addColumn<QByteArray>("tool");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refused");
        QTest::newRow("barcode: a Chinese character") << QByteArray("btn_add_bar") << QByteArray("edit_barcode")
                                                     << QStringLiteral("A7档");
        QTest::newRow("QR code: 3000 characters") << QByteArray("btn_add_qr") << QByteArray("edit_qrcode")
                                                  << QString(3000, QLatin1Char('z'));
    }

    // A code typed, then a text its maker refuses: at once and reopened, the
    // editor shows what the page prints of the stored text, no code.
    void aRefusedCodeShowsWhatPrints()
    {
        QFETCH(QByteArray, tool);
        QFETCH(QByteArray, content);
        QFETCH(QString, refused);
        Seams::setInformationHandler([](QWidget *, const QString &, const QString &) {});
        TemplateModel t = blankLabel(QStringLiteral("拒收"));
        ground->open(t, true);
        ground->addWith(tool, QPointF(40, 40));
        const QString id = ground->editor->currentElementId();
        const auto shown = [this, &id] { return static_cast<PixmapItem *>(ground->item(id))->getPixmap().toImage(); };
        auto *editBox = ground->child<QTextEdit>(content);
        editBox->setPlainText(QStringLiteral("A7"));
        QCOMPARE(zbarDecode(shown(), 20), QStringList{QStringLiteral("A7")});
        QCOMPARE(shown(), Printed(model()).picture(id));

        editBox->setPlainText(refused);
        QCOMPARE(shown(), Printed(model()).picture(id));
        QVERIFY(shown().isNull());
        const TemplateModel stored = model();
        ground->open(stored);
        QCOMPARE(shown(), Printed(model()).picture(id));
    }

    void openAndSaveStoreTheSameAndShowWhatPrints_data()
    {
        QTest::addColumn<int>("dpi");
        for (int dpi : {96, 100, 120})
            QTest::addRow("%d dpi", dpi) << dpi;
    }

    void openAndSaveStoreTheSameAndShowWhatPrints()
    {
        QFETCH(int, dpi);
        // 508 mm wide: 20 inches.
        Seams::setScreenHandler([dpi] { return Seams::ScreenSize{QSize(20 * dpi, 1080), QSizeF(508.0, 285.75)}; });
        QVERIFY(JsonUtil::saveTemplate(turnedLabel(), false));
        QList<TemplateModel> templates{JsonUtil::parseTemplate(TURNED)};
        for (const QString &name : JsonUtil::getSysTemplateNames())
            templates << JsonUtil::parseTemplate(name);
        for (const TemplateModel &t : qAsConst(templates)) {
            ground->open(t.name);
            QCOMPARE(EditorScene::dpi(), dpi);
            showsWhatPrints(t.name);
            // Hovering over the canvas with everything selected writes nothing either.
            QTest::keyClick(ground->editor->view(), Qt::Key_A, Qt::ControlModifier);
            ground->mouse(QEvent::MouseMove, QPointF(30, 30));
            ground->click("btn_save_template");
            QCOMPARE(TemplateJson::writeTemplate(storedTemplate(*ground, t.name), STAMP),
                     TemplateJson::writeTemplate(t, STAMP));
        }
    }

    // Resized on the page and by its handle, and dragged against every edge,
    // a turned text shows where it prints and never leaves the label.
    void aTurnedTextShowsWhereItPrints()
    {
        ground->open(turnedLabel(), true);
        const QString id = model().textModels.last().id;
        ground->clickCanvas(ground->item(id)->sceneBoundingRect().center());
        ground->edit("edit_text_width", 24);
        ground->edit("edit_text_height", 6);
        showsWhatPrints(QStringLiteral("page"));

        const float before = model().textModels.last().width;
        ground->mouse(QEvent::MouseMove, handleOf(id));
        ground->mouse(QEvent::MouseMove, handleOf(id) + QPointF(0.5, 0.5));
        // Turned a quarter, the rectangle's width runs down the canvas.
        ground->drag({handleOf(id), handleOf(id) + QPointF(0, 20)});
        QVERIFY(model().textModels.last().width > before);
        showsWhatPrints(QStringLiteral("handle"));

        const QRectF label(0, 0, model().printWidth, model().printHeight);
        for (const QPointF &far : {QPointF(-400, 0), QPointF(400, 0), QPointF(0, -400), QPointF(0, 400)}) {
            // Hovered first, as a mouse comes, away from the handles: the
            // handle armed last is let go.
            const QRectF r = ground->item(id)->boundingRect();
            const QPointF from = ground->item(id)->mapToScene(QPointF(r.width() * 0.75 - 4, r.center().y()));
            ground->mouse(QEvent::MouseMove, from + QPointF(0.5, 0.5));
            ground->mouse(QEvent::MouseMove, from);
            ground->drag({from, from + far / 2, from + far});
            const QRectF box = TemplateDocument::shownBox(model().textModels.last());
            const qreal edge = far.x() < 0 ? box.left() - label.left() : far.x() > 0 ? label.right() - box.right()
                               : far.y() < 0 ? box.top() - label.top() : label.bottom() - box.bottom();
            // Flush, within what a float holds.
            QVERIFY2(qAbs(edge) < 1e-3 && label.adjusted(-1e-3, -1e-3, 1e-3, 1e-3).contains(box),
                     qPrintable(QStringLiteral("%1: %2 %3 %4 %5").arg(edge).arg(box.left()).arg(box.top()).arg(box.right()).arg(box.bottom())));
            showsWhatPrints(QStringLiteral("dragged"));
        }
    }
};

QTEST_MAIN(TestEditorFidelity)
#include "tst_editorfidelity.moc"
