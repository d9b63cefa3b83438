// The recycle bin dialog on a temporary store: its list and filters, ticks
// that a refresh clears, restoring over a taken name, deleting with the
// custom backgrounds that nothing uses any more, and keys that do nothing.

#include "editor/templatetrash.h"
#include "editor/templatetrashdialog.h"
#include "support/editorground.h"
#include "support/labelfixtures.h"
#include "support/widgetlookup.h"
#include "util/jsonfile.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

const QString KEJI = QStringLiteral("科技档案");
const QString BACKGROUND = QStringLiteral("bg.png");

TemplateModel withBackground(TemplateModel model)
{
    model.background = QStringLiteral("out:") + BACKGROUND;
    return model;
}

} // namespace

class TestTemplateTrashDialog : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<EditorGround> ground;
    std::unique_ptr<TemplateTrashDialog> dialog;
    QStringList questions;
    bool answer = true;

    // Bin entries with their change times, stored as the store writes them.
    void writeBin(const QList<QPair<TemplateModel, QString>> &entries)
    {
        QJsonArray array;
        for (const auto &entry : entries)
            array.append(TemplateJson::writeTemplate(
                entry.first, QDateTime::fromString(entry.second, QLatin1String(TemplateJson::TIME_FORMAT))));
        QVERIFY(JsonFile::write(ground->programDir.file(QStringLiteral("/attachment/customTemplateTrash.json")), array));
    }

    void open()
    {
        dialog = std::make_unique<TemplateTrashDialog>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    template <typename T = QWidget>
    T *child(const char *name) const { return TestSupport::child<T>(*dialog, QLatin1String(name)); }
    QTableView *table() const { return child<QTableView>("tableView_temp_list"); }

    QStringList shownNames() const { return columnTexts(table()->model(), 2); }

    template <typename T>
    T *cellWidget(const QString &name, int column, int nth = 0) const
    {
        const QModelIndex index = table()->model()->index(shownNames().indexOf(name), column);
        return table()->indexWidget(index)->findChildren<T *>().at(nth);
    }

    void search(const QString &type, const QString &name)
    {
        child<QComboBox>("cmb_template_list")->setCurrentText(type);
        child<QLineEdit>("edt_template_name")->setText(name);
        child<QPushButton>("btn_temp_search")->click();
    }

private slots:
    void init()
    {
        ground = std::make_unique<EditorGround>();
        questions.clear();
        answer = true;
        Seams::setQuestionHandler([this](QWidget *, const QString &, const QString &text) {
            questions.append(text);
            return answer;
        });
        // 甲 is the one entry too large to be stored while writes are limited.
        writeBin({{withBackground(bulkyLabel(QStringLiteral("甲"), KEJI)), "2024-01-01 08:00:00"},
                  {blankLabel(QStringLiteral("乙"), QStringLiteral("其他")), "2024-03-01 08:00:00"},
                  {blankLabel(QStringLiteral("Abc"), KEJI), "2024-02-01 08:00:00"},
                  {blankLabel(QStringLiteral("abd")), "2023-12-01 08:00:00"}});
        QVERIFY(TestSupport::writeFile(ground->picture(BACKGROUND), "picture"));
    }

    void cleanup()
    {
        dialog.reset();
        QCOMPARE(EditorGround::end(ground), QStringList());
    }

    void listing_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("newest first") << "全部" << "" << QStringList{"乙", "Abc", "甲", "abd"};
        QTest::newRow("category") << KEJI << "" << QStringList{"Abc", "甲"};
        QTest::newRow("letter case counts") << "全部" << "ab" << QStringList{"abd"};
        QTest::newRow("category and name") << KEJI << "b" << QStringList{"Abc"};
    }

    void listing()
    {
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QStringList, shown);
        open();
        search(type, name);
        QCOMPARE(shownNames(), shown);
    }

    void aRefreshUnticks_data()
    {
        QTest::addColumn<bool>("bySearch");
        QTest::newRow("category changed") << false;
        QTest::newRow("searched") << true;
    }

    void aRefreshUnticks()
    {
        QFETCH(bool, bySearch);
        open();
        cellWidget<QCheckBox>(QStringLiteral("甲"), 0)->click();
        if (bySearch)
            search(QStringLiteral("全部"), QString());
        else
            child<QComboBox>("cmb_template_list")->setCurrentText(KEJI);
        child<QPushButton>("btn_delete_in_batches")->click();
        QCOMPARE(ground->toasts.texts(), QStringList{QStringLiteral("请选择需要删除的模板")});
        QVERIFY(questions.isEmpty());
    }

    void restore_data()
    {
        QTest::addColumn<QString>("liveType");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<bool>("unwritable");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("free name") << QString() << true << false << true << QStringList();
        QTest::newRow("taken, 是") << "其他" << true << false << true << QStringList();
        QTest::newRow("taken, 否") << "其他" << false << false << false << QStringList();
        QTest::newRow("store not written") << QString() << true << true << false << QStringList{"还原失败"};
    }

    void restore()
    {
        QFETCH(QString, liveType);
        QFETCH(bool, answerYes);
        QFETCH(bool, unwritable);
        QFETCH(bool, restored);
        QFETCH(QStringList, tips);
        const QString name = QStringLiteral("甲");
        if (!liveType.isEmpty())
            QVERIFY(JsonUtil::saveTemplate(blankLabel(name, liveType), false));
        answer = answerYes;
        open();
        {
            std::unique_ptr<RefusedWrites> refused(unwritable ? new RefusedWrites(BULKY_LABEL_MIN_BYTES / 2) : nullptr);
            cellWidget<QPushButton>(name, 3, 0)->click();
        }
        const QStringList asked{QStringLiteral("该模板已存在，是否确认还原\"甲\"?")};
        QCOMPARE(questions, liveType.isEmpty() ? QStringList() : asked);
        QCOMPARE(ground->toasts.texts(), tips);
        QCOMPARE(shownNames().contains(name), !restored);
        QCOMPARE(JsonUtil::parseTemplateFromTrash(name).name.isEmpty(), restored);
        const QString expectedType = restored ? KEJI : liveType;
        QCOMPARE(JsonUtil::parseTemplate(name).type, expectedType);
    }

    // A size stored as 0 reads as the default; moving the template into the
    // bin and back must not write the default in its place.
    void movesKeepSizesAsStored()
    {
        TemplateModel zeros = blankLabel(QStringLiteral("丙"));
        zeros.backLength = zeros.foldLength = 0;
        QVERIFY(JsonUtil::saveTemplate(zeros, false));
        const auto stored = [this](const char *file) {
            const QJsonArray entries = JsonFile::readArray(ground->programDir.file(QLatin1String(file)));
            for (const QJsonValue &entry : entries) {
                if (entry[QLatin1String("name")].toString() == QStringLiteral("丙"))
                    return QList<double>{entry[QLatin1String("backLength")].toDouble(-1),
                                         entry[QLatin1String("foldLength")].toDouble(-1)};
            }
            return QList<double>();
        };
        QCOMPARE(TemplateTrash::moveIn(QStringLiteral("丙")), TemplateTrash::Outcome::Done);
        QCOMPARE(stored("/attachment/customTemplateTrash.json"), QList<double>({0, 0}));
        QCOMPARE(TemplateTrash::restore(QStringLiteral("丙")), TemplateTrash::Outcome::Done);
        QCOMPARE(stored("/attachment/customTemplate.json"), QList<double>({0, 0}));
    }

    void deleteOne_data()
    {
        QTest::addColumn<bool>("vanished");
        QTest::addColumn<QString>("tip");
        QTest::newRow("deleted") << false << "删除成功";
        QTest::newRow("gone behind the dialog's back") << true << "删除失败";
    }

    void deleteOne()
    {
        QFETCH(bool, vanished);
        QFETCH(QString, tip);
        open();
        if (vanished)
            QVERIFY(JsonUtil::deleteTemplateFromTrash(QStringLiteral("甲")));
        cellWidget<QPushButton>(QStringLiteral("甲"), 3, 1)->click();
        QCOMPARE(questions, QStringList{QStringLiteral("是否删除模板\"甲\"?")});
        QCOMPARE(ground->toasts.texts(), QStringList{tip});
        QCOMPARE(shownNames(), (QStringList{"乙", "Abc", "abd"}));
        // Only the batch delete settles pictures.
        QVERIFY(QFile::exists(ground->picture(BACKGROUND)));
    }

    void batchDeleteSettlesBackgrounds_data()
    {
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QString>("sharedBy");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<bool>("pictureStays");
        QTest::newRow("used by nothing else") << QStringList{"甲"} << "" << "删除完成" << false;
        QTest::newRow("a user template uses it") << QStringList{"甲"} << "user" << "删除完成" << true;
        QTest::newRow("an open editor uses it") << QStringList{"甲"} << "editor" << "删除完成" << true;
        QTest::newRow("another bin entry uses it") << QStringList{"甲"} << "bin" << "删除完成" << true;
        QTest::newRow("both bin entries deleted") << QStringList{"乙", "甲"} << "bin" << "删除完成" << false;
        QTest::newRow("stopped midway") << QStringList{"甲", "abd"} << "gone" << "删除失败" << false;
    }

    void batchDeleteSettlesBackgrounds()
    {
        QFETCH(QStringList, ticked);
        QFETCH(QString, sharedBy);
        QFETCH(QString, tip);
        QFETCH(bool, pictureStays);
        const TemplateModel user = withBackground(blankLabel(QStringLiteral("丁")));
        if (sharedBy == QLatin1String("user"))
            QVERIFY(JsonUtil::saveTemplate(user, false));
        if (sharedBy == QLatin1String("bin"))
            QVERIFY(JsonUtil::saveTemplateToTrash(withBackground(blankLabel(QStringLiteral("乙")))));
        open();
        if (sharedBy == QLatin1String("editor"))
            dialog->setOpenTemplate(user);
        for (const QString &name : ticked)
            cellWidget<QCheckBox>(name, 0)->click();
        if (sharedBy == QLatin1String("gone"))
            QVERIFY(JsonUtil::deleteTemplateFromTrash(ticked.last()));
        child<QPushButton>("btn_delete_in_batches")->click();
        QCOMPARE(questions, QStringList{QStringLiteral("是否删除模板?")});
        QCOMPARE(ground->toasts.texts(), QStringList{tip});
        QCOMPARE(QFile::exists(ground->picture(BACKGROUND)), pictureStays);
        for (const QString &name : ticked)
            QVERIFY(!shownNames().contains(name));
        QVERIFY(shownNames().contains(QStringLiteral("Abc")));
    }

    void keysDoNothing_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
    }

    void keysDoNothing()
    {
        QFETCH(int, key);
        open();
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        QTest::keyClick(dialog.get(), Qt::Key(key));
        QTest::keyClick(child("edt_template_name"), Qt::Key(key));
        QVERIFY(dialog->isVisible());
        QCOMPARE(finished.count(), 0);
        child<QPushButton>("btn_close")->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_MAIN(TestTemplateTrashDialog)
#include "tst_templatetrashdialog.moc"
