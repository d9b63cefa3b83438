// Saving in the editor: Save and Save as, the naming dialog's checks, a store
// that cannot be written, and the picture files a save keeps or drops.

#include "editor/templatedialog.h"
#include "editor/templatesave.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <memory>

namespace {

const QString NAME = QStringLiteral("保存测试");

} // namespace

class TestTemplateSave : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void theDialogChecksInOrder_data();
    void theDialogChecksInOrder();
    void saveAndSaveAs();
    void aFailedStoreReportsAndKeepsEverything();
    void saveAsKeepsTheFilesOfBothTemplates();

private:
    void open(const QString &name)
    {
        editor.reset(new TemplateDialog(name));
        stored.reset(new QSignalSpy(editor.get(), &TemplateDialog::refreshTemplateView));
    }
    void click(const char *button) { QTest::mouseClick(editor->findChild<QPushButton *>(button), Qt::LeftButton); }
    // Fills the open naming dialog and confirms; the dialog, still open or not.
    TemplateSave *answer(const QString &type, const QString &name)
    {
        auto *dialog = editor->findChild<TemplateSave *>();
        if (!dialog)
            return nullptr;
        dialog->findChild<QComboBox *>(QStringLiteral("templateTypeBox"))->setCurrentText(type);
        dialog->findChild<QLineEdit *>(QStringLiteral("templateNameEdit"))->setText(name);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btn_yes")), Qt::LeftButton);
        return dialog;
    }
    QString tip(TemplateSave *dialog) const { return dialog->findChild<QLabel *>(QStringLiteral("templateTipLabel"))->text(); }
    QString picture(const QString &name) const { return ground->picture(name); }
    // A template of that name using the picture file as its background.
    void storeWithBackground(const QString &name, const QString &file)
    {
        TemplateModel t = TestSupport::blankLabel(name);
        t.background = QStringLiteral("out:") + file;
        QVERIFY(JsonUtil::saveTemplate(t, false));
        QVERIFY(TestSupport::writeFile(picture(file), "picture"));
    }

    std::unique_ptr<TestSupport::EditorGround> ground;
    std::unique_ptr<TemplateDialog> editor;
    std::unique_ptr<QSignalSpy> stored;
};

void TestTemplateSave::init()
{
    ground.reset(new TestSupport::EditorGround);
    QVERIFY(JsonUtil::saveTemplate(TestSupport::blankLabel(NAME), false));
}

void TestTemplateSave::cleanup()
{
    stored.reset();
    editor.reset();
    const QStringList failed = ground->log.connectionWarnings();
    ground.reset();
    QVERIFY2(failed.isEmpty(), qPrintable(failed.join(QLatin1Char('\n'))));
}

void TestTemplateSave::theDialogChecksInOrder_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    const QString builtIn = JsonUtil::getSysTemplateNames().first();
    QTest::newRow("no type, no name") << "请选择" << "" << "请选择模板类型";
    QTest::newRow("blanks") << "其他" << "   " << "模板名称不能为空";
    QTest::newRow("taken") << "其他" << NAME << "模板名称不允许重复";
    QTest::newRow("taken once trimmed") << "其他" << " " + NAME + " " << "模板名称不允许重复";
    QTest::newRow("built-in") << "会计档案" << builtIn << "模板名称不允许重复";
    QTest::newRow("new, trimmed") << "会计档案" << "  新模板 " << "";
}

void TestTemplateSave::theDialogChecksInOrder()
{
    QFETCH(QString, type);
    QFETCH(QString, name);
    QFETCH(QString, message);
    open(QString());
    click("btn_save_template");
    TemplateSave *dialog = answer(type, name);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("保存模版"));
    QCOMPARE(tip(dialog), message);
    QCOMPARE(dialog->isVisible(), !message.isEmpty());
    QCOMPARE(stored->count(), int(message.isEmpty()));
    QCOMPARE(editor->model().name, message.isEmpty() ? name.trimmed() : QString());
    if (message.isEmpty()) {
        QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("新模板")).type, type);
        QCOMPARE(ground->toasts.texts(), QStringList{QStringLiteral("保存成功")});
    }
}

void TestTemplateSave::saveAndSaveAs()
{
    open(NAME);
    // A named template is stored under its name without asking, with what
    // the size boxes show.
    editor->findChild<QSpinBox *>(QStringLiteral("edit_fold_length"))->setValue(12);
    click("btn_save_template");
    QVERIFY(!editor->findChild<TemplateSave *>());
    QCOMPARE(stored->count(), 1);
    QCOMPARE(JsonUtil::parseTemplate(NAME).foldLength, 12.0f);

    click("btn_save_as_template");
    TemplateSave *dialog = answer(QStringLiteral("其他"), NAME);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("另存为模版"));
    QCOMPARE(tip(dialog), QStringLiteral("模板名称不允许重复"));
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btn_cancel")), Qt::LeftButton);
    QTRY_VERIFY(!editor->findChild<TemplateSave *>());

    click("btn_save_as_template");
    answer(QStringLiteral("其他"), QStringLiteral("副本"));
    QCOMPARE(stored->count(), 2);
    QCOMPARE(editor->model().name, QStringLiteral("副本"));
    QCOMPARE(JsonUtil::parseTemplate(NAME).type, QStringLiteral("文书档案"));
    QCOMPARE(JsonUtil::parseTemplate(QStringLiteral("副本")).type, QStringLiteral("其他"));
}

void TestTemplateSave::aFailedStoreReportsAndKeepsEverything()
{
    storeWithBackground(NAME, QStringLiteral("old.png"));
    open(NAME);
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("btn_bg_clear")), Qt::LeftButton);
    // Root writes anywhere but into an immutable folder.
    const QString folder = ground->programDir.file(QStringLiteral("/attachment"));
    if (TestSupport::runProgram(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0)
        QSKIP("the store's folder cannot be made immutable here");
    const auto writable = qScopeGuard([&folder] { TestSupport::runProgram(QStringLiteral("chattr"), {"-i", folder}); });

    click("btn_save_template");
    click("btn_save_as_template");
    TemplateSave *dialog = answer(QStringLiteral("其他"), QStringLiteral("副本"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(ground->toasts.texts(), (QStringList{"保存失败", "保存失败"}));
    QCOMPARE(ground->toasts.toasts().first().color, QStringLiteral("#FF0000"));
    QCOMPARE(stored->count(), 0);
    QCOMPARE(editor->model().name, NAME);
    QCOMPARE(editor->pictureFiles().removedFiles(), QStringList{picture(QStringLiteral("old.png"))});
    QVERIFY(QFile::exists(picture(QStringLiteral("old.png"))));
}

void TestTemplateSave::saveAsKeepsTheFilesOfBothTemplates()
{
    storeWithBackground(NAME, QStringLiteral("old.png"));
    QImage face(20, 20, QImage::Format_RGB32);
    face.fill(Qt::gray);
    QTemporaryDir sources;
    QVERIFY(face.save(sources.filePath(QStringLiteral("new.png"))));
    Seams::setOpenFileHandler(
        [&sources](QWidget *, const QString &, const QString &, const QString &) { return sources.filePath("new.png"); });
    open(NAME);
    QTest::mouseClick(editor->findChild<QWidget *>(QStringLiteral("btn_diy_bg")), Qt::LeftButton);
    const QString copy = editor->model().background.mid(4);
    click("btn_save_as_template");
    answer(QStringLiteral("其他"), QStringLiteral("副本"));
    editor->close();
    // The old template still shows the old face, the new one the new face.
    QVERIFY(QFile::exists(picture(QStringLiteral("old.png"))));
    QVERIFY(QFile::exists(picture(copy)));

    // Dropped by its last user, a file goes with the next store.
    open(QStringLiteral("副本"));
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("btn_bg_clear")), Qt::LeftButton);
    click("btn_save_template");
    QVERIFY(!QFile::exists(picture(copy)));
    QVERIFY(QFile::exists(picture(QStringLiteral("old.png"))));
}

QTEST_MAIN(TestTemplateSave)
#include "tst_templatesave.moc"
