// Building a template in the editor: the add tools, the base, shape and code
// pages, saving with the naming dialog, and the road from an empty editor to
// a printed page.

#include "editor/templatesave.h"
#include "items/pixmapitem.h"
#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "print/printpreview.h"
#include "support/editorground.h"
#include "support/fakeprinter.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/replyfixtures.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"

#include <QtTest>
#include <QtWidgets>

using namespace TestSupport;

namespace {

const QString NAME = QStringLiteral("编辑测试");

} // namespace

class TestTemplateEdit : public QObject
{
    Q_OBJECT

    TemplateDialog &open(const QString &name)
    {
        TemplateDialog &editor = ground->open(name);
        stored = std::make_unique<QSignalSpy>(&editor, &TemplateDialog::refreshTemplateView);
        return editor;
    }
    // Fills the open naming dialog and confirms; the dialog, open or not.
    TemplateSave *answer(const QString &type, const QString &name)
    {
        auto *dialog = ground->editor->findChild<TemplateSave *>();
        child<QComboBox>(*dialog, QStringLiteral("templateTypeBox"))->setCurrentText(type);
        child<QLineEdit>(*dialog, QStringLiteral("templateNameEdit"))->setText(name);
        QTest::mouseClick(child<QPushButton>(*dialog, QStringLiteral("btn_yes")), Qt::LeftButton);
        return dialog;
    }
    // A template of that name using the picture file as its background.
    void storeWithBackground(const QString &name, const QString &file)
    {
        TemplateModel t = blankLabel(name);
        t.background = QStringLiteral("out:") + file;
        QVERIFY(JsonUtil::saveTemplate(t, false));
        QVERIFY(writeFile(ground->picture(file), "picture"));
    }
    QString source(const char *name) const { return sources.filePath(QLatin1String(name)); }

    std::unique_ptr<EditorGround> ground;
    std::unique_ptr<QSignalSpy> stored;
    QTemporaryDir sources;

private slots:
    void init()
    {
        ground = std::make_unique<EditorGround>();
        open(QString());
        QImage picture(30, 16, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter(&picture).fillRect(8, 2, 14, 12, Qt::black);
        QVERIFY(picture.save(source("dot.png")));
        Seams::setOpenFileHandler([this](QWidget *, const QString &, const QString &, const QString &) {
            return source("dot.png");
        });
    }

    void cleanup() { QCOMPARE(EditorGround::end(ground), QStringList()); }

    void toolsAreExclusiveAndDisarm()
    {
        const TemplateDialog &editor = *ground->editor;
        QWidget *viewport = editor.view()->viewport();
        const auto adding = [&editor] { return editor.scene()->property("OPT_ADD").toBool(); };
        ground->click("btn_add_rect");
        ground->click("btn_add_cir");
        QVERIFY(!ground->child<QPushButton>("btn_add_rect")->isChecked() && adding());
        QCOMPARE(viewport->cursor().shape(), Qt::BitmapCursor);
        ground->clickCanvas(QPoint(50, 60));
        QCOMPARE(editor.model().circleModels.size(), 1);
        QVERIFY(editor.model().rectangleModels.isEmpty());
        QCOMPARE(editor.armedTool(), TemplateDialog::AddTool::None);
        QVERIFY(!ground->child<QPushButton>("btn_add_cir")->isChecked() && !adding());
        QCOMPARE(viewport->cursor().shape(), Qt::ArrowCursor);

        // An armed tool clicked again disarms: the next click selects.
        ground->click("btn_add_rect");
        ground->click("btn_add_rect");
        QCOMPARE(viewport->cursor().shape(), Qt::ArrowCursor);
        ground->clickCanvas(QPoint(55, 65));
        QVERIFY(editor.model().rectangleModels.isEmpty());
        const auto *pages = ground->child<QStackedWidget>("stackedWidget");
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page_add_cir"));
        QCOMPARE(ground->child<QDoubleSpinBox>("edit_circle_width")->value(), 20.0);
        ground->clickCanvas(QPoint(500, 600));
        QVERIFY(editor.currentElementId().isEmpty());
        QCOMPARE(pages->currentIndex(), 0);

        // Added onto another element, the new one is what stays selected.
        ground->addWith("btn_add_font", QPoint(60, 70));
        const QList<QGraphicsItem *> selected = editor.scene()->selectedItems();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first()->data(0).toString(), editor.model().textModels.first().id);
    }

    void newElements_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("type");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QVariant>("title");
        QTest::newRow("rectangle") << "btn_add_rect" << 1 << QSizeF(20, 20) << QVariant();
        QTest::newRow("horizontal line") << "btn_add_Hline" << 2 << QSizeF(30, 0.5) << QVariant(0);
        QTest::newRow("vertical line") << "btn_add_Vline" << 2 << QSizeF(0.5, 30) << QVariant(1);
        QTest::newRow("circle") << "btn_add_cir" << 3 << QSizeF(20, 20) << QVariant();
        QTest::newRow("text") << "btn_add_font" << 4 << QSizeF(30, 10) << QVariant("文本标题");
        QTest::newRow("qr code") << "btn_add_qr" << 6 << QSizeF(20, 20) << QVariant("二维码");
        QTest::newRow("double rectangle") << "btn_add_rect_bg" << 7 << QSizeF(20, 20) << QVariant();
        QTest::newRow("barcode") << "btn_add_bar" << 8 << QSizeF(50, 20) << QVariant("条形码");
    }

    // A sub-pixel click starts the element at its whole pixels; the item sits
    // where the printed page puts that start.
    void newElements()
    {
        QFETCH(QString, tool);
        QFETCH(int, type);
        QFETCH(QSizeF, size);
        QFETCH(QVariant, title);
        TemplateDialog &editor = *ground->editor;
        ground->click(tool.toLatin1());
        editor.addItem(QPointF(100.6, 50.2));
        QCOMPARE(editor.scene()->selectedItems().size(), 1);
        auto *item = static_cast<BaseItem *>(editor.scene()->selectedItems().first());
        QCOMPARE(item->pos(), QPointF(100, 50));
        QCOMPARE(item->data(1).toInt(), type);
        QCOMPARE(item->data(2), title);
        QVERIFY(!item->getLockState());
        QCOMPARE(editor.currentElementId(), item->data(0).toString());
        const TemplateModel &t = editor.model();
        QList<const GraphicsModel *> made;
        const auto collect = [&made](const auto &list) {
            for (const auto &m : list)
                made << &m;
        };
        collect(t.rectangleModels), collect(t.lineModels), collect(t.circleModels), collect(t.textModels);
        collect(t.qrcodeModels), collect(t.rectBgModels), collect(t.barcodeModels);
        QCOMPARE(made.size(), 1);
        QCOMPARE(made.first()->id, item->data(0).toString());
        QCOMPARE(QPointF(made.first()->startX, made.first()->startY), QPointF(26.46f, 13.23f));
        QCOMPARE(QSizeF(made.first()->width, made.first()->height), size);
        QCOMPARE(made.first()->border, 0.3f);
    }

    void textTitlesFillGaps()
    {
        TemplateModel t = blankLabel(NAME);
        for (const char *title : {"文本标题", "文本标题2", "其他"})
            t.textModels << textField(QString::fromUtf8(title), QStringLiteral("x"), 1, 1, 5, 5, 3);
        QVERIFY(JsonUtil::saveTemplate(t, false));
        for (const QString &name : {NAME, QString()}) {
            const TemplateDialog &editor = open(name);
            for (int i = 0; i < 3; ++i)
                ground->addWith("btn_add_font", QPoint(10 + 5 * i, 10));
            QStringList titles;
            for (const TextModel &text : editor.model().textModels.mid(name.isEmpty() ? 0 : 3))
                titles << text.textTitle;
            QCOMPARE(titles, name.isEmpty() ? (QStringList{"文本标题", "文本标题1", "文本标题2"})
                                            : (QStringList{"文本标题1", "文本标题3", "文本标题4"}));
        }
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("picture") << "dot.png" << QStringList();
        QTest::newRow("cancelled") << QString() << QStringList();
        QTest::newRow("unreadable") << "broken.png" << QStringList{"图片读取失败"};
    }

    void pictures()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, tips);
        const TemplateDialog &editor = *ground->editor;
        QVERIFY(writeFile(source("broken.png"), "not a picture"));
        int asked = 0;
        Seams::setOpenFileHandler([&](QWidget *, const QString &, const QString &, const QString &) {
            // The click that asked is over: its tool is already disarmed.
            asked += editor.armedTool() == TemplateDialog::AddTool::None ? 1 : 100;
            return file.isEmpty() ? QString() : sources.filePath(file);
        });
        ground->addWith("btn_add_pic", QPoint(40, 40));
        QTRY_COMPARE(asked, 1);
        const QStringList copies = ground->pictureFolder();
        const bool added = file == QLatin1String("dot.png");
        QCOMPARE(editor.model().pictureModels.size(), int(added));
        QCOMPARE(copies.size(), int(added));
        QCOMPARE(ground->toasts.texts(), tips);
        if (added) {
            const PictureModel &m = editor.model().pictureModels.first();
            QCOMPARE(m.fileName, copies.first());
            QCOMPARE(QSizeF(m.width, m.height), QSizeF(7.94f, 4.23f));
            QCOMPARE(editor.pictureFiles().addedFiles().size(), 1);
            QVERIFY(!static_cast<PixmapItem *>(ground->item(m.id))->getPixmap().isNull());
        }
    }

    void spineWidth_data()
    {
        QTest::addColumn<float>("spine");
        QTest::addColumn<int>("typed");
        QTest::addColumn<float>("width");
        QTest::newRow("20 to 30") << 20.0f << 30 << 250.0f;
        QTest::newRow("20.5 left as shown") << 20.5f << 20 << 240.0f;
    }

    void spineWidth()
    {
        QFETCH(float, spine);
        QFETCH(int, typed);
        QFETCH(float, width);
        TemplateModel t = blankLabel(NAME);
        t.printWidth = 240;
        t.backLength = spine;
        const TemplateDialog &editor = ground->open(t);
        ground->edit("edit_back_length", typed);
        QCOMPARE(editor.model().printWidth, width);
        QCOMPARE(editor.model().backLength, spine + width - 240);
        QCOMPARE(ground->child<QSpinBox>("edit_print_width")->value(), int(width));
    }

    void pagesReachTheShownElement()
    {
        const TemplateDialog &editor = *ground->editor;
        ground->addWith("btn_add_rect", QPoint(100, 100));
        const QString id = editor.currentElementId();
        ground->edit("edit_rect_bordline_px", 3);
        QCOMPARE(editor.model().rectangleModels.first().border, 0.79f);
        QCOMPARE(ground->child<QDoubleSpinBox>("edit_rect_bordline_mm")->value(), 0.8);
        QCOMPARE(ground->item(id)->getPenWidth(), 3);

        // Ctrl-click takes the element out of the selection; its page still edits it.
        ground->clickCanvas(QPoint(110, 110), Qt::ControlModifier);
        QVERIFY(editor.scene()->selectedItems().isEmpty());
        ground->edit("edit_rect_width", 30);
        QCOMPARE(ground->item(id)->boundingRect().width(), qreal(TextUtil::mm2px(30, 96)));
        // Past the label's edge: the model stops where the label ends, in
        // millimetres, and the item and the box show it.
        ground->edit("edit_rect_x", 9999);
        QCOMPARE(editor.model().rectangleModels.first().startX, 210.0f);
        QCOMPARE(ground->item(id)->x(), qreal(TextUtil::mm2px(210, 96)));
        QCOMPARE(ground->child<QDoubleSpinBox>("edit_rect_x")->value(), 210.0);

        // So does the text page's content.
        ground->addWith("btn_add_font", QPoint(300, 300));
        ground->clickCanvas(QPoint(305, 305), Qt::ControlModifier);
        QVERIFY(editor.scene()->selectedItems().isEmpty());
        ground->child<QTextEdit>("edit_text_content")->setPlainText(QStringLiteral("改过"));
        const auto *text = static_cast<RichTextItem *>(ground->item(editor.currentElementId()));
        QCOMPARE(text->layoutInput().text, QStringLiteral("改过"));
    }

    void codeContents()
    {
        const TemplateDialog &editor = *ground->editor;
        int boxes = 0;
        Seams::setInformationHandler([&boxes](QWidget *, const QString &, const QString &) { ++boxes; });
        ground->addWith("btn_add_qr", QPoint(40, 40));
        const QrcodeModel &qr = editor.model().qrcodeModels.first();
        auto *qrItem = static_cast<PixmapItem *>(ground->item(qr.id));
        auto *content = ground->child<QTextEdit>("edit_qrcode");
        ground->clickCanvas(QPoint(50, 50));
        QCOMPARE(content->toPlainText(), QStringLiteral("二维码"));
        content->clear();
        QVERIFY(qrItem->getPixmap().isNull());
        QTest::keyClicks(content, QStringLiteral("KL-0042"));
        QCOMPARE(qr.content, QStringLiteral("KL-0042"));
        QCOMPARE(zbarDecode(qrItem->getPixmap().toImage(), 20), QStringList{QStringLiteral("KL-0042")});

        // An emptied barcode shows nothing without a box; a rejected text shows the box and, as it prints, no code.
        ground->addWith("btn_add_bar", QPoint(300, 300));
        auto *barItem = static_cast<PixmapItem *>(ground->item(editor.currentElementId()));
        ground->clickCanvas(QPoint(310, 310));
        auto *barContent = ground->child<QTextEdit>("edit_barcode");
        barContent->clear();
        QVERIFY(barItem->getPixmap().isNull());
        QTest::keyClicks(barContent, QStringLiteral("A7"));
        QVERIFY(!barItem->getPixmap().isNull());
        QCOMPARE(boxes, 0);
        barContent->insertPlainText(QStringLiteral("档"));
        QCOMPARE(boxes, 1);
        QCOMPARE(editor.model().barcodeModels.first().content, QStringLiteral("A7档"));
        QVERIFY(barItem->getPixmap().isNull());
        QVERIFY(ground->log.contains(QStringLiteral("生成条形码失败")));

        // Showing one code while another is current writes nothing into either.
        ground->addWith("btn_add_qr", QPoint(500, 40));
        ground->editor->updateToolView(qr.id, 6);
        QCOMPARE(content->toPlainText(), QStringLiteral("KL-0042"));
        QCOMPARE(editor.model().qrcodeModels.last().content, QStringLiteral("二维码"));
        ground->clickCanvas(QPoint(50, 50));
        ground->child<QLineEdit>("edit_qrcode_title")->setText(QStringLiteral("编号"));
        emit ground->child<QLineEdit>("edit_qrcode_title")->editingFinished();
        QCOMPARE(qr.title, QStringLiteral("编号"));
        QCOMPARE(static_cast<QGraphicsItem *>(qrItem)->data(2).toString(), QStringLiteral("编号"));
    }

    // What the editor shows of a new text is what prints, at the same dpi.
    void aNewTextDrawsAsItPrints()
    {
        const TemplateDialog &editor = *ground->editor;
        const auto sameAsPrinted = [&editor] {
            editor.scene()->clearSelection();
            QImage shown(editor.scene()->sceneRect().size().toSize(), QImage::Format_ARGB32);
            shown.fill(Qt::white);
            // The box face never prints; the editing frame is the editor's own.
            for (QGraphicsItem *item : editor.scene()->items()) {
                if (auto *element = dynamic_cast<BaseItem *>(item))
                    element->setProperty("edit", false);
                else
                    item->hide();
            }
            QPainter painter(&shown);
            editor.scene()->render(&painter, QRectF(shown.rect()), editor.scene()->sceneRect());
            painter.end();
            QGraphicsScene printed;
            PageScene page(&printed, editor.model(), 96);
            page.rebuild(false);
            return shown == page.renderPage().convertToFormat(shown.format());
        };
        ground->addWith("btn_add_font", QPoint(40, 30));
        QVERIFY(sameAsPrinted());
        ground->clickCanvas(QPoint(45, 35)); // adding leaves the page as it was
        ground->click("box_text_adaption");
        ground->child<QTextEdit>("edit_text_content")->setPlainText(QStringLiteral("第一卷第二册第三盒档案"));
        QVERIFY(editor.model().textModels.first().adapted);
        QVERIFY(sameAsPrinted());
    }

    void theNamingDialogChecksInOrder_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("no type, no name") << "请选择" << "" << "请选择模板类型";
        QTest::newRow("blanks") << "其他" << "   " << "模板名称不能为空";
        QTest::newRow("taken once trimmed") << "其他" << " " + NAME + " " << "模板名称不允许重复";
        // Looked up in a program folder of its own: the real one is left alone.
        const TempProgramDir program;
        QTest::newRow("built-in") << "会计档案" << JsonUtil::getSysTemplateNames().first() << "模板名称不允许重复";
        QTest::newRow("new, trimmed") << "会计档案" << "  新模板 " << "";
    }

    void theNamingDialogChecksInOrder()
    {
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QVERIFY(JsonUtil::saveTemplate(blankLabel(NAME), false));
        ground->click("btn_save_template");
        TemplateSave *dialog = answer(type, name);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("保存模版"));
        QCOMPARE(child<QLabel>(*dialog, QStringLiteral("templateTipLabel"))->text(), message);
        QCOMPARE(dialog->isVisible(), !message.isEmpty());
        QCOMPARE(stored->count(), int(message.isEmpty()));
        QCOMPARE(ground->editor->model().name, message.isEmpty() ? name.trimmed() : QString());
        QCOMPARE(ground->toasts.texts(), message.isEmpty() ? QStringList{"保存成功"} : QStringList());
    }

    void saveAndSaveAs()
    {
        QVERIFY(JsonUtil::saveTemplate(blankLabel(NAME), false));
        const TemplateDialog &editor = open(NAME);
        // A named template is stored without asking, with what the size boxes show.
        ground->child<QSpinBox>("edit_fold_length")->setValue(12);
        ground->click("btn_save_template");
        QVERIFY(!editor.findChild<TemplateSave *>());
        QCOMPARE(stored->count(), 1);
        QCOMPARE(JsonUtil::parseTemplate(NAME).foldLength, 12.0f);

        // Save as under its own name is refused; cancelled, the dialog goes.
        ground->click("btn_save_as_template");
        TemplateSave *dialog = answer(QStringLiteral("其他"), NAME);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("另存为模版"));
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(child<QPushButton>(*dialog, QStringLiteral("btn_cancel")), Qt::LeftButton);
        QTRY_VERIFY(!editor.findChild<TemplateSave *>());
        ground->click("btn_save_as_template");
        answer(QStringLiteral("其他"), QStringLiteral("副本"));
        QCOMPARE(stored->count(), 2);
        QCOMPARE(editor.model().name, QStringLiteral("副本"));
        QCOMPARE(JsonUtil::parseTemplate(NAME).type, QStringLiteral("文书档案"));
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("副本")).type, QStringLiteral("其他"));
    }

    // Opened and saved, a template changes in its save time only, also where
    // the boxes cannot show a size or a size stored as 0 reads as its default.
    void aPlainSaveStoresWhatWasOpened_data()
    {
        QTest::addColumn<QList<float>>("sizes");
        QTest::newRow("12,000 mm wide") << QList<float>{12000, 30, 20, 10};
        QTest::newRow("-50 mm high") << QList<float>{40, -50, 20, 10};
        QTest::newRow("spine and fold 0") << QList<float>{40, 30, 0, 0};
        QTest::newRow("no size at all") << QList<float>{0, 0, 0, 0};
    }

    void aPlainSaveStoresWhatWasOpened()
    {
        QFETCH(QList<float>, sizes);
        TemplateModel t = blankLabel(NAME);
        t.printWidth = sizes[0];
        t.printHeight = sizes[1];
        t.backLength = sizes[2];
        t.foldLength = sizes[3];
        t.rectangleModels << placedElement<RectangleModel>(11000, 5, 10, 10);
        QVERIFY(JsonUtil::saveTemplate(t, false));
        const auto storedObject = [] {
            QJsonObject o = JsonUtil::getTemplateJsonArray(false, true, true).first().toObject();
            o.remove(QStringLiteral("modifyTime"));
            return o;
        };
        const QJsonObject before = storedObject();
        open(NAME);
        ground->click("btn_save_template");
        QCOMPARE(stored->count(), 1);
        QCOMPARE(storedObject(), before);
    }

    // No box takes a size the store would read as another: what the editor
    // shows after reopening is what the preview places the page by.
    void theSizeShownIsTheSizeStored()
    {
        QVERIFY(JsonUtil::saveTemplate(blankLabel(NAME), false));
        open(NAME);
        // The spine first: it takes the width with it.
        const QList<const char *> boxes{"edit_back_length", "edit_fold_length", "edit_print_width", "edit_print_height"};
        for (const char *box : boxes)
            ground->edit(box, 0);
        QList<int> shown;
        for (const char *box : boxes)
            shown << ground->child<QSpinBox>(box)->value();
        ground->click("btn_save_template");
        open(NAME);
        const TemplateModel placed = JsonUtil::parseTemplate(NAME);
        QCOMPARE(shown, (QList<int>{int(placed.backLength), int(placed.foldLength), int(placed.printWidth),
                                    int(placed.printHeight)}));
        for (int i = 0; i < boxes.size(); ++i)
            QCOMPARE(ground->child<QSpinBox>(boxes[i])->value(), shown[i]);
    }

    void aNewTemplateKeepsItsCreationTime()
    {
        ground->click("btn_save_template");
        answer(QStringLiteral("其他"), QStringLiteral("新模板"));
        const QString created = JsonUtil::parseTemplate(QStringLiteral("新模板")).createTime;
        QCOMPARE(ground->editor->model().createTime, created);
        ground->click("btn_save_template");
        QCOMPARE(stored->count(), 2);
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("新模板")).createTime, created);
    }

    // An imported template may hold elements of one id, or of none: each is
    // shown, selected and deleted alone, and the save stores their new ids.
    void elementsOfOneIdOrNone()
    {
        TemplateModel t = blankLabel(NAME);
        t.rectangleModels << placedElement<RectangleModel>(2, 2, 10, 5) << placedElement<RectangleModel>(20, 2, 4, 4)
                          << placedElement<RectangleModel>(2, 15, 6, 6);
        t.rectangleModels[1].id = t.rectangleModels[0].id;
        t.rectangleModels[2].id.clear();
        QVERIFY(JsonUtil::saveTemplate(t, false));
        const TemplateDialog &editor = open(NAME);
        const QStringList ids = editor.document().elementIds();
        QCOMPARE(QSet<QString>(ids.cbegin(), ids.cend()).size(), 3);
        QCOMPARE(ground->item(ids[2])->pos(), QPointF(TextUtil::mm2px(2, 96), TextUtil::mm2px(15, 96)));
        ground->select({ids[1]});
        QTest::keyClick(editor.view(), Qt::Key_Delete);
        QCOMPARE(editor.scene()->items().size(), 3);
        QCOMPARE(editor.document().elementIds(), (QStringList{ids[0], ids[2]}));
        ground->click("btn_save_template");
        QCOMPARE(JsonUtil::parseTemplate(NAME).rectangleModels.last().id, ids[2]);
    }

    void aFailedStoreReportsAndKeepsEverything()
    {
        storeWithBackground(NAME, QStringLiteral("old.png"));
        const TemplateDialog &editor = open(NAME);
        ground->click("btn_bg_clear");
        {
            // No store can be written, root or not; files can still be deleted.
            RefusedWrites refused;
            ground->click("btn_save_template");
            ground->click("btn_save_as_template");
            QVERIFY(answer(QStringLiteral("其他"), QStringLiteral("副本"))->isVisible());
        }
        QCOMPARE(ground->toasts.texts(), (QStringList{"保存失败", "保存失败"}));
        QCOMPARE(ground->toasts.toasts().first().color, QStringLiteral("#FF0000"));
        QCOMPARE(stored->count(), 0);
        QCOMPARE(editor.model().name, NAME);
        QCOMPARE(editor.pictureFiles().removedFiles(), QStringList{ground->picture(QStringLiteral("old.png"))});
        QVERIFY(QFile::exists(ground->picture(QStringLiteral("old.png"))));
    }

    void filesStayWhileAStoredTemplateUsesThem()
    {
        storeWithBackground(NAME, QStringLiteral("old.png"));
        TemplateDialog &editor = open(NAME);
        ground->click("btn_diy_bg");
        const QString copy = ground->picture(editor.model().background.mid(4));
        ground->click("btn_save_as_template");
        answer(QStringLiteral("其他"), QStringLiteral("副本"));
        editor.close();
        QVERIFY(QFile::exists(ground->picture(QStringLiteral("old.png"))));
        QVERIFY(QFile::exists(copy));
        // Dropped by its last user, a file goes with the next store.
        open(QStringLiteral("副本"));
        ground->click("btn_bg_clear");
        ground->click("btn_save_template");
        QVERIFY(!QFile::exists(copy));
        QVERIFY(QFile::exists(ground->picture(QStringLiteral("old.png"))));
    }

    void aTemplateFromScratchSavesReopensAndPrints()
    {
        const QList<QPair<const char *, QPoint>> steps{
            {"btn_add_rect", {20, 20}}, {"btn_add_Hline", {20, 120}}, {"btn_add_Vline", {200, 20}},
            {"btn_add_cir", {120, 20}}, {"btn_add_font", {20, 160}},  {"btn_add_pic", {300, 20}},
            {"btn_add_qr", {20, 260}},  {"btn_add_rect_bg", {300, 200}}, {"btn_add_bar", {20, 400}}};
        for (const auto &step : steps)
            ground->addWith(step.first, step.second);
        QTRY_COMPARE(ground->editor->model().pictureModels.size(), 1);
        ground->clickCanvas(QPoint(30, 270));
        ground->child<QTextEdit>("edit_qrcode")->setPlainText(QStringLiteral("KL-2026-0007"));
        ground->click("btn_save_template");
        answer(QStringLiteral("其他"), QStringLiteral(" 从零开始 "));
        QCOMPARE(stored->count(), 1);
        TemplateModel made = ground->editor->model();
        const TemplateDialog &reopened = open(QStringLiteral("从零开始"));
        // The store stamps a new template's creation time as it writes it.
        QVERIFY(!reopened.model().createTime.isEmpty());
        made.createTime = reopened.model().createTime;
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(TemplateJson::writeTemplate(reopened.model(), now), TemplateJson::writeTemplate(made, now));
        QCOMPARE(reopened.scene()->items().size(), 10);

        FakePrinter decoder(FakePrinter::Transport::Tcp);
        QVERIFY(decoder.isRunning());
        TextUtil::PRINTER_DPI = 300;
        Seams::setJobPauseMs(1);
        PrintPreview preview(made.name, {}, nullptr);
        QSignalSpy frames(&preview, &PrintPreview::sigPrint);
        QTest::mouseClick(child<QPushButton>(preview, QStringLiteral("btn_print")), Qt::LeftButton);
        preview.receiveHandShake(typeTwoHandshake());
        QVERIFY(frames.wait(WAIT_MS));
        const PrintedPage printed = decodeFrame(decoder, frames.first().at(0).toByteArray(), 2);
        QVERIFY2(printed.valid, qPrintable(printed.error));
        const QSize size(TextUtil::mm2px(made.printWidth, 300), TextUtil::mm2px(made.printHeight, 300));
        const QImage page = printed.pageImage(PagePlacement::gen1Position(2, made, 0, 0, 300).x(), size);
        QCOMPARE(zbarDecode(page, 20), (QStringList{"123", "KL-2026-0007"}));
    }
};

QTEST_MAIN(TestTemplateEdit)
#include "tst_templateedit.moc"
