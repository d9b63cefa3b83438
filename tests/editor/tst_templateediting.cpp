// Editing in the template editor: what the mouse, the keys, the context
// menu and the text page write into the working template. Mouse gestures are
// real mouse events on the canvas.

#include "items/qwgraphicsview.h"
#include "items/richtextitem.h"
#include "print/pagescene.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "support/testfonts.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"

#include <QtTest>
#include <QtWidgets>

using namespace TestSupport;

namespace {

const QString NAME = QStringLiteral("编辑手势");
const QDateTime STAMP(QDate(2024, 5, 6), QTime(7, 8, 9));

int px(float mm)
{
    return TextUtil::mm2px(mm, 96);
}

// A 100 x 60 mm label, roomy enough for the gestures, with that many texts.
TemplateModel label(int texts = 0)
{
    TemplateModel t = blankLabel(NAME);
    t.printWidth = 100;
    t.printHeight = 60;
    for (int i = 0; i < texts; ++i)
        t.textModels << textField(QString::number(i), QStringLiteral("档案"), 5, 5 + 25 * i, 30, 10, 6);
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

    std::unique_ptr<EditorGround> ground;

    TemplateDialog &open(const TemplateModel &t) { return ground->open(t, true); }
    const TemplateModel &model() const { return ground->editor->model(); }
    RichTextItem *textItem(int index) const
    {
        return static_cast<RichTextItem *>(ground->item(model().textModels.at(index).id));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(ground->editor->view(), Qt::Key(key), modifiers);
    }
    void copyAndPaste(const QStringList &ids, QPointF at) const
    {
        ground->select(ids);
        ground->editor->operateCopy();
        ground->editor->on_mouseRightClicked(ground->editor->view()->mapFromScene(at));
        ground->child<QMenu>("graphicsViewMenu")->hide();
        ground->editor->operatePaste();
    }

private slots:
    void initTestCase() { QVERIFY(loadPinnedFonts()); }
    void init() { ground = std::make_unique<EditorGround>(); }
    void cleanup() { QCOMPARE(EditorGround::end(ground), QStringList()); }

    void resizingAndDraggingStoreWhatWasMade()
    {
        TemplateModel t = label(1);
        t.rectangleModels << placedElement<RectangleModel>(50, 30, 20, 20);
        open(t);
        BaseItem *field = textItem(0);
        QCOMPARE(field->boundingRect().size(), QSizeF(113, 38));
        const QPointF origin = field->pos();
        ground->drag({origin + QPointF(50, 19)});
        // Hovering over the bottom-right corner arms its handle.
        ground->mouse(QEvent::MouseMove, origin + QPointF(105, 30));
        ground->mouse(QEvent::MouseMove, origin + QPointF(110, 35));
        ground->drag({origin + QPointF(110, 35), origin + QPointF(151, 57)});
        QCOMPARE(field->boundingRect().size(), QSizeF(151, 57));
        const TextModel &resized = model().textModels.first();
        QCOMPARE(QVector<float>({resized.width, resized.height, resized.startX}),
                 QVector<float>({39.95f, 15.08f, 5.0f}));

        const QPointF from = ground->item(t.rectangleModels.first().id)->pos() + QPointF(30, 30);
        ground->drag({from, from + QPointF(21, -13)});
        const RectangleModel &moved = model().rectangleModels.first();
        QCOMPARE(QVector<float>({moved.startX, moved.startY, moved.width}),
                 QVector<float>({TextUtil::px2mm(px(50) + 21, 96), TextUtil::px2mm(px(30) - 13, 96), 20.0f}));
    }

    void hoveringAndClickingChangeNothingStored()
    {
        // 20 mm is 76 pixels, which read back as 20.11 mm.
        TemplateModel t = label(1);
        t.textModels[0].startY = 12.34f;
        t.textModels[0].scaleX = 0.57f;
        t.rectangleModels << placedElement<RectangleModel>(50, 20, 20, 20);
        t.lineModels << placedElement<LineModel>(5, 50, 30, 0.5f);
        open(t);
        const QByteArray before = stored(JsonUtil::parseTemplate(NAME));
        for (const QString &id : {t.rectangleModels.first().id, t.lineModels.first().id, t.textModels.first().id}) {
            ground->drag({ground->item(id)->sceneBoundingRect().center()});
            for (int step = 0; step < 40; ++step)
                ground->mouse(QEvent::MouseMove, QPointF(step * 9, step * 5));
        }
        key(Qt::Key_A, Qt::ControlModifier);
        ground->mouse(QEvent::MouseMove, QPointF(3, 3));
        QCOMPARE(stored(model()), before);
    }

    void aRubberBandChoiceIsTheEditedOne()
    {
        open(label(2));
        ground->drag({QPointF(2, 2), QPointF(60, 30), QPointF(140, 62)});
        QCOMPARE(ground->editor->scene()->selectedItems().size(), 1);
        QCOMPARE(ground->child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
                 QStringLiteral("page_add_font"));
        ground->child<QLineEdit>("edit_text_title")->setText(QStringLiteral("圈选"));
        QCOMPARE(model().textModels.first().textTitle, QStringLiteral("圈选"));
    }

    void keys()
    {
        TemplateModel t = label(2);
        t.rectangleModels << placedElement<RectangleModel>(50, 5, 10, 10);
        t.pictureModels << placedElement<PictureModel>(70, 5, 10, 10);
        t.pictureModels[0].fileName = QStringLiteral("seal.png");
        TemplateDialog &editor = open(t);
        QSignalSpy saves(&editor, &TemplateDialog::refreshTemplateView);
        key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saves.count(), 1);
        key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(editor.scene()->selectedItems().isEmpty());
        key(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(editor.scene()->selectedItems().size(), 4);

        // Twice Ctrl+B and Ctrl+I give back model and item.
        const TextLayoutInput before = textItem(0)->layoutInput();
        ground->select({t.textModels.first().id});
        key(Qt::Key_B, Qt::ControlModifier);
        QVERIFY(model().textModels.first().bold);
        QCOMPARE(textItem(0)->layoutInput().font.weight(), int(QFont::Bold));
        for (int k : {Qt::Key_I, Qt::Key_B, Qt::Key_I})
            key(k, Qt::ControlModifier);
        QCOMPARE(stored(model()), stored(JsonUtil::parseTemplate(NAME)));
        QVERIFY(textItem(0)->layoutInput() == before);

        // Delete once for the three selected, whose picture file is booked as dropped.
        ground->select({t.textModels.at(0).id, t.rectangleModels.first().id, t.pictureModels.first().id});
        key(Qt::Key_Delete);
        QCOMPARE(editor.scene()->items().size(), 2);
        QCOMPARE(model().textModels.size(), 1);
        QVERIFY(model().rectangleModels.isEmpty() && model().pictureModels.isEmpty());
        QVERIFY(editor.pictureFiles().removedFiles().contains(FileUtil::getFilePathFromCustomPixmap("seal.png")));

        editor.scene()->clearSelection();
        ground->child<QMenu>("graphicsViewMenu")->findChild<QAction *>(QStringLiteral("actionViewLock"))->trigger();
        key(Qt::Key_A, Qt::ControlModifier);
        QVERIFY(editor.scene()->selectedItems().isEmpty());
    }

    void arrows_data()
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

    void arrows()
    {
        QFETCH(QString, element);
        QFETCH(int, key);
        QFETCH(float, startX);
        QFETCH(float, expectedX);
        TemplateModel t = label();
        t.lockstate = element == QLatin1String("locked view");
        if (element == QLatin1String("rectangle")) {
            t.rectangleModels << placedElement<RectangleModel>(startX, 10, 30, 10);
        } else {
            t.textModels << textField(QStringLiteral("题"), QStringLiteral("档案"), startX, 10, 30, 10, 6);
            t.textModels[0].lockstate = element == QLatin1String("locked text");
        }
        const TemplateDialog &editor = open(t);
        // A template stored locked opens with nothing to edit.
        QCOMPARE(editor.view()->isInteractive(), !t.lockstate);
        QCOMPARE(ground->child("template_left_frame")->isEnabled(), !t.lockstate);
        QCOMPARE(ground->child("stackedWidget")->isEnabled(), !t.lockstate);
        const GraphicsModel &m = t.textModels.isEmpty() ? static_cast<const GraphicsModel &>(model().rectangleModels[0])
                                                        : model().textModels[0];
        ground->select({m.id});
        this->key(key);
        QCOMPARE(QVector<float>({m.startX, m.startY}), QVector<float>({expectedX, 10.0f}));
        QCOMPARE(ground->item(m.id)->x(), qreal(px(expectedX)));
    }

    // The clipboard holds ids: a refresh of the face keeps what was copied,
    // and a source deleted since pastes nothing (and reads no freed item).
    void clipboardKeepsIds()
    {
        TemplateDialog &editor = open(label(2));
        const QString kept = model().textModels.at(0).id, deleted = model().textModels.at(1).id;
        ground->select({kept, deleted});
        editor.operateCopy();
        const auto pastes = [&editor] {
            const int before = editor.model().textModels.size();
            editor.operatePaste();
            return editor.model().textModels.size() - before;
        };
        editor.refreshGraphicsBackground();
        QCOMPARE(pastes(), 2);
        ground->select({deleted});
        editor.operateDelete();
        QCOMPARE(pastes(), 1);
        editor.refreshGraphicsBackground();
        QCOMPARE(pastes(), 1);
        QCOMPARE(editor.scene()->items().size(), 1 + model().textModels.size());
    }

    void pastedCopiesTakeFreeTitlesAndNoLocks()
    {
        TemplateModel t = label(1);
        t.qrcodeModels << qrField(QStringLiteral("码"), QStringLiteral("A-1"), 50, 10, 15, 3);
        t.qrcodeModels[0].lockstate = true;
        open(t);
        const QString code = t.qrcodeModels[0].id;
        copyAndPaste({code}, QPointF(120, 150));
        copyAndPaste({code}, QPointF(120, 150));
        copyAndPaste({t.textModels.first().id}, QPointF(30, 150));
        const QList<QrcodeModel> &codes = model().qrcodeModels;
        QCOMPARE(codes.size(), 3);
        QCOMPARE(codes.at(1).title, QStringLiteral("码 - 副本1"));
        QCOMPARE(codes.at(2).title, QStringLiteral("码 - 副本2"));
        QCOMPARE(model().textModels.last().textTitle, QStringLiteral("0 - 副本1"));
        for (const QrcodeModel &copy : codes.mid(1)) {
            QVERIFY(copy.id.toLongLong() > codes.first().id.toLongLong() && !copy.lockstate && copy.viewZ == 0);
            QVERIFY(ground->item(copy.id)->flags() & QGraphicsItem::ItemIsMovable);
            // One copied element lands where the menu was opened.
            QCOMPARE(QPointF(copy.startX, copy.startY), QPointF(TextUtil::px2mm(120, 96), TextUtil::px2mm(150, 96)));
        }
        QVERIFY(codes.at(2).id != codes.at(1).id);
    }

    void aPastedTextPrintsLikeItsSource()
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
            const TextModel &source = model().textModels.at(i);
            const QImage original = printed(source, source);
            QVERIFY(original != printed(TextModel(), source));
            QCOMPARE(printed(model().textModels.at(i + 2), source), original);
        }
    }

    void stacking()
    {
        TemplateModel t = label();
        t.rectangleModels << placedElement<RectangleModel>(10, 10, 20, 20, 5)
                          << placedElement<RectangleModel>(70, 40, 10, 10, 4);
        TemplateDialog &editor = open(t);
        const QString under = t.rectangleModels.first().id;
        copyAndPaste({under}, QPointF(px(15), px(15)));
        const QString chosen = model().rectangleModels.last().id;
        // The item's stacking value and its model's, which must agree.
        const auto z = [this](const QString &id) {
            for (const RectangleModel &m : model().rectangleModels) {
                if (m.id == id)
                    return qMakePair(int(ground->item(id)->zValue()), m.viewZ);
            }
            return qMakePair(0, -1000);
        };
        editor.bringToTop();
        editor.bringToTop();
        QCOMPARE(z(chosen), qMakePair(2, 2));
        QCOMPARE(z(under), qMakePair(0, 0));
        QCOMPARE(z(t.rectangleModels.last().id), qMakePair(4, 4));
        editor.sendToBottom();
        QCOMPARE(z(chosen), qMakePair(-1, -1));
        // Only the element whose page is shown moves, and only while selected.
        editor.scene()->clearSelection();
        editor.bringToTop();
        QCOMPARE(z(chosen), qMakePair(-1, -1));
    }

    void menuAndViewLock()
    {
        // The first editor's menu has been shown and the editor closed.
        open(label(1)).on_mouseRightClicked(QPoint(20, 20));
        TemplateDialog &editor = open(label(1));
        auto *menu = ground->child<QMenu>("graphicsViewMenu");
        const auto shown = [&editor, menu] {
            editor.on_mouseRightClicked(QPoint(300, 200));
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
        ground->select({model().textModels.first().id});
        editor.operateCopy();
        QCOMPARE(shown(), QStringList({"视图锁定", "位置锁定", "复制", "粘贴", "删除", "置顶", "置底"}));
        QAction *positionLock = menu->findChild<QAction *>(QStringLiteral("actionPositionLock"));
        positionLock->trigger();
        QVERIFY(model().textModels.first().lockstate);
        QVERIFY(!(textItem(0)->flags() & QGraphicsItem::ItemIsMovable));
        // A right click on the locked element leaves it selected, so the menu can unlock it.
        const QPoint onText = editor.view()->mapFromScene(textItem(0)->sceneBoundingRect().center());
        QTest::mouseClick(editor.view()->viewport(), Qt::RightButton, Qt::NoModifier, onText);
        QVERIFY(positionLock->isVisible() && positionLock->isChecked());
        menu->hide();

        // Locking disarms a tool: the locked view still reports clicks.
        ground->child<QPushButton>("btn_add_rect")->click();
        QAction *viewLock = menu->findChild<QAction *>(QStringLiteral("actionViewLock"));
        viewLock->trigger();
        QCOMPARE(editor.armedTool(), TemplateDialog::AddTool::None);
        QVERIFY(model().lockstate && !editor.view()->isInteractive());
        QVERIFY(!ground->child("stackedWidget")->isEnabled());
        key(Qt::Key_Delete);
        QCOMPARE(model().textModels.size(), 1);
        QCOMPARE(shown(), QStringList({"视图锁定", "位置锁定-", "复制-", "粘贴-", "删除-", "置顶-", "置底-"}));
        viewLock->trigger();
        QVERIFY(!model().lockstate && editor.view()->isInteractive());
        QVERIFY(ground->child("template_left_frame")->isEnabled());
    }

    void textHandlers_data()
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
    void textHandlers()
    {
        QFETCH(QString, widget);
        QFETCH(QVariant, value);
        QFETCH(QString, field);
        QFETCH(QVariant, expected);
        TemplateModel t = label(2);
        t.rectangleModels << placedElement<RectangleModel>(50, 5, 20, 20);
        TemplateDialog &editor = open(t);
        ground->select({t.textModels.at(0).id, t.textModels.at(1).id, t.rectangleModels.first().id});
        QWidget *w = ground->child(widget.toLatin1());
        // The page shows a selected text: its fit modes are offered once it fits.
        if (field == QLatin1String("adaptedMode"))
            ground->child<QCheckBox>("box_text_adaption")->setChecked(true);
        if (qobject_cast<QAbstractSpinBox *>(w))
            ground->edit(widget.toLatin1(), value.toDouble());
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            combo->setCurrentIndex(value.toInt());
        else if (value.isValid())
            static_cast<QCheckBox *>(w)->setChecked(value.toBool());
        else
            static_cast<QAbstractButton *>(w)->click();
        const QJsonObject now = TemplateJson::writeTemplate(model(), STAMP);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(now[QLatin1String("textModels")][i][field].toVariant().toFloat(), expected.toFloat());
            std::unique_ptr<BaseItem> fresh(editor.elementItems().createItem(model().textModels.at(i)));
            QVERIFY(textItem(i)->layoutInput() == static_cast<RichTextItem *>(fresh.get())->layoutInput());
        }
        const QLatin1String rectangles("rectangleModels");
        QCOMPARE(now[rectangles], TemplateJson::writeTemplate(t, STAMP)[rectangles]);
    }

    void boldFlipsEachTextOnceAfterManyFills()
    {
        TemplateModel t = label(2);
        t.textModels[1].bold = true;
        // Shown as " 小四 ", "0°" and 57 (not 56: the float is 0.5699...).
        t.textModels[0].fontSize = 4.23f;
        t.textModels[0].rotate = 45;
        t.textModels[0].scaleX = 0.57f;
        // A family this machine lacks is shown, not another one.
        t.textModels[0].font = QStringLiteral("缺失字体");
        t.rectangleModels << placedElement<RectangleModel>(50, 5, 20, 20);
        TemplateDialog &editor = open(t);
        ground->select({t.textModels.at(0).id, t.textModels.at(1).id, t.rectangleModels.first().id});
        const QByteArray before = stored(model());
        for (int fill = 0; fill < 50; ++fill) {
            editor.disconnectTextProperty();
            editor.fillTextPage(t.textModels.at(1 - fill % 2).id);
            editor.connectTextProperty();
            editor.connectTextProperty();
        }
        QCOMPARE(ground->child<QComboBox>("box_fontSize")->currentText(), QStringLiteral(" 小四 "));
        QCOMPARE(ground->child<QComboBox>("box_text_angle")->currentText(), QStringLiteral("0°"));
        QCOMPARE(ground->child<QComboBox>("box_fontFamily")->currentText(), QStringLiteral("缺失字体"));
        QCOMPARE(ground->child<QSpinBox>("edit_text_scaleX")->value(), 57);
        // Filling ran no handler (the title handler would have toasted).
        QCOMPARE(stored(model()), before);
        QVERIFY(ground->toasts.texts().isEmpty());
        ground->child<QPushButton>("btn_bold")->click();
        QVERIFY(model().textModels.at(0).bold && !model().textModels.at(1).bold);
        QCOMPARE(textItem(0)->layoutInput().font.weight(), int(QFont::Bold));
        QCOMPARE(textItem(1)->layoutInput().font.weight(), int(QFont::Normal));
        QCOMPARE(stored(model()).count("\"bold\": true"), 1);
    }

    void fontSize_data()
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

    void fontSize()
    {
        QFETCH(QString, input);
        QFETCH(bool, picked);
        QFETCH(float, mm);
        QFETCH(QString, shown);
        open(label(2));
        ground->select({model().textModels.at(0).id, model().textModels.at(1).id});
        auto *box = ground->child<QComboBox>("box_fontSize");
        if (picked) {
            box->showPopup();
            box->view()->setCurrentIndex(box->model()->index(box->findText(input), 0));
            QTest::keyClick(box->view(), Qt::Key_Return);
        } else {
            box->lineEdit()->selectAll();
            QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
            // Typed as text events: the test keyboard knows no Chinese keys.
            for (const QChar c : qAsConst(input)) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(box->lineEdit(), &press);
            }
            QCOMPARE(model().textModels.first().fontSize, 6.0f); // nothing applies while typing
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        }
        QCOMPARE(box->currentText(), shown);
        QCOMPARE(box->count(), 16);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(model().textModels.at(i).fontSize, mm);
            // Laid out in the layout's dots whatever the screen, as on the page.
            QCOMPARE(textItem(i)->layoutInput().font.pixelSize(), TextUtil::mm2px(mm, TextLayout::LAYOUT_DPI));
        }
    }

    // Clicked into and left, the size box changes no text: neither the one
    // it shows to two decimals nor the other one selected.
    void theFontSizeBoxPassedThroughChangesNothing()
    {
        TemplateModel t = label(2);
        t.textModels[0].fontSize = 4.567f;
        QApplication::setActiveWindow(&open(t));
        ground->select({t.textModels.at(0).id, t.textModels.at(1).id});
        QLineEdit *size = ground->child<QComboBox>("box_fontSize")->lineEdit();
        QTest::mouseClick(size, Qt::LeftButton);
        QTest::keyClick(size, Qt::Key_Tab);
        const QLatin1String texts("textModels");
        QCOMPARE(TemplateJson::writeTemplate(model(), STAMP)[texts], TemplateJson::writeTemplate(t, STAMP)[texts]);
    }
};

QTEST_MAIN(TestTemplateEditing)
#include "tst_templateediting.moc"
