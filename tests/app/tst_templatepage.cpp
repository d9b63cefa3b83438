// The template page of the main window on a temporary store: its filters,
// the row actions clicked through the cell widgets, the editor and the
// rename dialog driven for real, and the way to the recycle bin and back.

#include "app/mainwindow.h"
#include "editor/templatedialog.h"
#include "editor/templatesave.h"
#include "editor/templatetrashdialog.h"
#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/jsonutil.h"
#include "util/seams.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

const QString KEJI = QStringLiteral("科技档案");
const QString BUILT_IN = QStringLiteral("通用3CM");
const QString USER_A = QStringLiteral("用户甲");
const QString USER_B = QStringLiteral("用户乙");
const QString USER_C = QStringLiteral("user丙");
// Larger than any store write allowed while writes are limited.
const QString BULKY = QStringLiteral("大模板");
const qint64 WRITE_LIMIT = BULKY_LABEL_MIN_BYTES / 2;
const QString FAVOURITES = QStringLiteral("template.default");
const QString BUSY = QStringLiteral("当前已打开弹窗, 不能再打开了");

QString storedFavourites() { return JsonUtil::getCustomConfig(FAVOURITES, QString()); }

QStringList namesOf(const QList<TemplateModel> &list)
{
    QStringList names;
    for (const TemplateModel &model : list)
        names.append(model.name);
    return names;
}

} // namespace

class TestTemplatePage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramDir> dir;
    std::unique_ptr<ToastRecorder> toasts;
    std::unique_ptr<LogCapture> log;
    std::unique_ptr<MainWindow> window;
    QStringList questions;

    QTableView *table() const { return window->findChild<QTableView *>(QStringLiteral("tableView_temp_list")); }
    template <typename T = QWidget>
    T *child(const char *name) const { return TestSupport::child<T>(*window, QLatin1String(name)); }
    QStringList shownNames() const { return columnTexts(table()->model(), 2); }

    // The widget a row shows in a column, scrolled into view as a user would.
    template <typename T>
    T *cellWidget(const QString &name, int column, const QString &text = QString()) const
    {
        const QModelIndex index = table()->model()->index(shownNames().indexOf(name), column);
        table()->scrollTo(index);
        QApplication::processEvents();
        const QList<T *> found = table()->indexWidget(index)->findChildren<T *>();
        for (T *widget : found) {
            if (text.isEmpty() || widget->property("text").toString() == text)
                return widget;
        }
        return nullptr;
    }

    void clickRow(const QString &name, const QString &button) { cellWidget<QPushButton>(name, 5, button)->click(); }

    // A fresh window on the template page, with the favourites stored first.
    void openWindow(const QString &favourite = QString())
    {
        JsonUtil::setCustomConfig(FAVOURITES, favourite);
        window = std::make_unique<MainWindow>();
        window->resize(1600, 1000);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->pageTemplateList().isEmpty());
        child<QPushButton>("btn_nav_template")->click();
        toasts->clear();
    }

private slots:
    void initTestCase() { QVERIFY(TestSupport::useOwnWorkingFolder()); }

    void init()
    {
        dir = std::make_unique<TempProgramDir>();
        toasts = std::make_unique<ToastRecorder>();
        log = std::make_unique<LogCapture>();
        questions.clear();
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
        Seams::setQuestionHandler([this](QWidget *, const QString &, const QString &text) {
            questions.append(text);
            return true;
        });
        for (const TemplateModel &t : {blankLabel(USER_A, KEJI), blankLabel(USER_B), blankLabel(USER_C, KEJI),
                                       bulkyLabel(BULKY, QStringLiteral("其他"))})
            QVERIFY(JsonUtil::saveTemplate(t, false));
        openWindow();
    }

    void cleanup()
    {
        window.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Qt's own tray asks the offscreen platform for a signal it lacks.
        for (const QString &warning : log->connectionWarnings())
            QVERIFY2(warning.contains(QLatin1String("systemTrayWindowChanged")), qPrintable(warning));
        log.reset();
        toasts.reset();
        Seams::resetAll();
        dir.reset();
    }

    void filtersLeaveTheApiListWhole_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("no filter") << QStringLiteral("全部") << QString() << QStringList();
        QTest::newRow("category and name") << KEJI << QStringLiteral("用户") << QStringList{USER_A};
        QTest::newRow("part of a name") << QStringLiteral("全部") << QStringLiteral("r丙") << QStringList{USER_C};
    }

    void filtersLeaveTheApiListWhole()
    {
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QStringList, shown);
        const QStringList all = namesOf(JsonUtil::parseTemplateList(true, true));
        if (shown.isEmpty())
            shown = all;
        child<QLineEdit>("edt_template_name")->setText(name);
        child<QPushButton>("btn_temp_search")->click();
        // The category takes the name last searched, not what the edit shows.
        child<QLineEdit>("edt_template_name")->setText(QStringLiteral("不在用"));
        child<QComboBox>("cmb_template_list")->setCurrentText(type);
        QCOMPARE(shownNames(), shown);
        QCOMPARE(namesOf(window->pageTemplateList()), all);
        child<QPushButton>("btn_nav_home")->click();
        child<QPushButton>("btn_nav_template")->click();
        QCOMPARE(shownNames(), shown);
    }

    // Through a row's button or ticked for the batch: a template leaves the
    // store only once it is in the bin, its favourite entry with it, and a
    // failure still refreshes the table.
    void deleteGoesThroughTheBin_data()
    {
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("unwritable");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QStringList>("binned");
        const QString builtIn = QStringLiteral("不能删除系统内置的模板");
        QTest::newRow("row: user template") << false << QStringList{USER_B} << false << "删除成功"
                                            << QStringList{USER_B};
        QTest::newRow("row: built-in") << false << QStringList{BUILT_IN} << false << builtIn << QStringList();
        QTest::newRow("row: bin not written") << false << QStringList{BULKY} << true << "删除失败" << QStringList();
        QTest::newRow("batch: nothing ticked") << true << QStringList() << false << "请选择需要删除的模板"
                                               << QStringList();
        QTest::newRow("batch: a built-in among them") << true << QStringList{USER_A, BUILT_IN} << false << builtIn
                                                      << QStringList();
        QTest::newRow("batch: user templates") << true << QStringList{USER_A, USER_B} << false << "删除完成"
                                               << QStringList{USER_A, USER_B};
        QTest::newRow("batch: bin not written") << true << QStringList{BULKY} << true << "删除失败" << QStringList();
    }

    void deleteGoesThroughTheBin()
    {
        QFETCH(bool, batch);
        QFETCH(QStringList, names);
        QFETCH(bool, unwritable);
        QFETCH(QString, tip);
        QFETCH(QStringList, binned);
        openWindow(names.join(QLatin1Char('|')));
        if (batch) {
            for (const QString &name : names)
                cellWidget<QCheckBox>(name, 0)->click();
        }
        {
            std::unique_ptr<RefusedWrites> refused(unwritable ? new RefusedWrites(WRITE_LIMIT) : nullptr);
            if (batch)
                child<QPushButton>("btn_delete_in_batches")->click();
            else
                clickRow(names.first(), QStringLiteral("删除"));
        }
        QCOMPARE(toasts->texts(), QStringList{tip});
        const QString question = batch ? QStringLiteral("是否删除模板?")
                                       : QStringLiteral("是否删除模板\"%1\"?").arg(names.value(0));
        QCOMPARE(questions, names.isEmpty() ? QStringList() : QStringList{question});
        QStringList binnedNow = namesOf(JsonUtil::parseTemplateListFromTrash());
        binnedNow.sort();
        binned.sort();
        QCOMPARE(binnedNow, binned);
        QStringList kept;
        for (const QString &name : names) {
            QCOMPARE(JsonUtil::getAllTemplateNames().contains(name), !binned.contains(name));
            QCOMPARE(shownNames().contains(name), !binned.contains(name));
            if (!binned.contains(name))
                kept.append(name);
        }
        QCOMPARE(storedFavourites(), kept.join(QLatin1Char('|')));
    }

    void favourites_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("first") << QString() << USER_A << QStringList();
        QTest::newRow("fourth refused") << "通用2CM|通用3CM|通用4CM" << "通用2CM|通用3CM|通用4CM"
                                        << QStringList{QStringLiteral("仅允许设置3个常用模板")};
        QTest::newRow("an empty entry leaves room") << "通用2CM||通用4CM" << "通用2CM||通用4CM|" + USER_A
                                                    << QStringList();
        QTest::newRow("switched off") << "通用2CM|" + USER_A + "|通用4CM" << "通用2CM|通用4CM" << QStringList();
    }

    void favourites()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QFETCH(QStringList, tips);
        openWindow(stored);
        QPushButton *favourite = cellWidget<QPushButton>(USER_A, 4);
        const bool wasOn = favourite->isChecked();
        favourite->click();
        QCOMPARE(toasts->texts(), tips);
        QCOMPARE(storedFavourites(), expected);
        QCOMPARE(favourite->isChecked(), !wasOn && tips.isEmpty());
    }

    // Editing and creating both wait for the open editor to go.
    void editorsOneAtATime()
    {
        const auto openBoth = [this] {
            toasts->clear();
            clickRow(USER_A, QStringLiteral("编辑"));
            child<QPushButton>("btn_create_temp")->click();
        };
        openBoth();
        QPointer<TemplateDialog> editor = topLevel<TemplateDialog>();
        QVERIFY(editor);
        QCOMPARE(editor->model().name, USER_A);
        QCOMPARE(toasts->texts(), QStringList{BUSY});
        editor->close();
        child<QPushButton>("btn_create_temp")->click();
        // The first editor, closed again before it is gone, leaves the
        // next one guarded.
        editor->close();
        openBoth();
        QCOMPARE(toasts->texts(), QStringList({BUSY, BUSY}));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!editor);
        QVERIFY(topLevel<TemplateDialog>());
    }

    void rename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("user template") << USER_A << QStringList{QStringLiteral("修改成功")};
        QTest::newRow("built-in kept")
            << BUILT_IN << QStringList{QStringLiteral("不能删除系统内置的模板"), QStringLiteral("修改成功")};
    }

    void rename()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, tips);
        const bool builtIn = name == BUILT_IN;
        const QString renamed = QStringLiteral("新名字");
        openWindow(name);
        clickRow(name, QStringLiteral("重命名"));
        auto *dialog = window->findChild<TemplateSave *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("修改模板"));
        TestSupport::child<QComboBox>(*dialog, "templateTypeBox")->setCurrentText(QStringLiteral("其他"));
        TestSupport::child<QLineEdit>(*dialog, "templateNameEdit")->setText(renamed);
        TestSupport::child<QPushButton>(*dialog, "btn_yes")->click();
        QCOMPARE(toasts->texts(), tips);
        QCOMPARE(JsonUtil::getAllTemplateNames().contains(name), builtIn);
        QVERIFY(shownNames().contains(renamed));
        QCOMPARE(JsonUtil::parseTemplate(renamed).type, QStringLiteral("其他"));
        QCOMPARE(storedFavourites(), builtIn ? name : renamed);
    }

    void printOpensThePrintPage()
    {
        clickRow(USER_B, QStringLiteral("打印"));
        QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget(), child("page_print"));
        QCOMPARE(child<QComboBox>("comboBox_print")->currentText(), USER_B);
    }

    // A template goes to the bin and back as a user would move it.
    void toTheBinAndBack()
    {
        clickRow(USER_C, QStringLiteral("删除"));
        QVERIFY(!shownNames().contains(USER_C));
        child<QPushButton>("btn_template_trash")->click();
        auto *bin = topLevel<TemplateTrashDialog>();
        QVERIFY(bin);
        auto *binTable = TestSupport::child<QTableView>(*bin, "tableView_temp_list");
        QCOMPARE(binTable->model()->index(0, 2).data().toString(), USER_C);
        binTable->indexWidget(binTable->model()->index(0, 3))->findChildren<QPushButton *>().first()->click();
        TestSupport::child<QPushButton>(*bin, "btn_close")->click();
        QVERIFY(shownNames().contains(USER_C));
        QVERIFY(JsonUtil::parseTemplateListFromTrash().isEmpty());
    }
};

QTEST_MAIN(TestTemplatePage)
#include "tst_templatepage.moc"
