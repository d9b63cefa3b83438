// What the program asks of the window system for its own look: file dialogs
// that are Qt's own whoever opens them, translucent windows drawn opaque
// where nothing blends them, and a document opener that says when it fails.

#include "editor/templatesave.h"
#include "print/printaddfile.h"
#include "support/testsupport.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

using namespace TestSupport;

namespace {

// Each listed file's name, size, type and date fit in their columns.
bool columnsFitTheirTexts(const QTreeView *view, int files)
{
    const QAbstractItemModel *model = view->model();
    if (model->rowCount(view->rootIndex()) != files)
        return false;
    for (int row = 0; row < files; ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QString text = model->index(row, column, view->rootIndex()).data().toString();
            const int icon = column == 0 ? view->iconSize().width() : 0;
            const int needed = view->fontMetrics().horizontalAdvance(text) + icon;
            if (text.isEmpty() || view->header()->sectionSize(column) <= needed)
                return false;
        }
    }
    return true;
}

// Each place beside the folder (the computer, the home folder) shows its name whole.
bool placesShowWhole(const QListView *places)
{
    const QAbstractItemModel *model = places->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString text = model->index(row, 0).data().toString();
        const int needed = places->fontMetrics().horizontalAdvance(text) + places->iconSize().width();
        if (places->viewport()->width() <= needed)
            return false;
    }
    return model->rowCount() > 0;
}

} // namespace

class TestWindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Seams::resetAll(); }

    void fileDialogsAreQtsOwn_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("placed");
        const QString centred = QStringLiteral("centred over the opener");
        QTest::newRow("open from the frameless, translucent import card") << false << QPoint(60, 40) << centred;
        QTest::newRow("save from a button on a small card whose sheet styles every widget")
            << true << QPoint(120, 150) << centred;
        QTest::newRow("open from a card half off the screen's corner")
            << false << QPoint(-300, 300) << QStringLiteral("on the screen, at the opener's side");
    }

    void fileDialogsAreQtsOwn()
    {
        QFETCH(bool, save);
        QFETCH(QPoint, at);
        QFETCH(QString, placed);
        QTemporaryDir folder;
        for (const char *name : {"2024年度城建档案数据汇总.xlsx", "rows.xlsx"}) {
            QFile file(folder.filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5300, 'x')) == 5300);
        }
        TempProgramDir dir;
        PrintAddFile importDialog;
        QDialog card;
        card.setFixedSize(590, 398);
        card.setStyleSheet(QStringLiteral("QWidget { background-color: #FFFFFF; font-size: 18px; }"));
        auto *button = new QPushButton(QStringLiteral("导出"), &card);
        QWidget *parent = save ? static_cast<QWidget *>(button) : &importDialog;
        parent->window()->move(at);
        parent->window()->show();
        const QFileDialog plain;

        // The dialog lives only while it runs: it is looked at then.
        QStringList looked;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            const auto *view = dialog ? dialog->findChild<QTreeView *>(QStringLiteral("treeView")) : nullptr;
            if (!view)
                return;
            if (QTest::qWaitFor([view] { return columnsFitTheirTexts(view, 2); }, 5000))
                looked << "columns fit";
            if (dialog->font() == plain.font() && view->font() == QApplication::font(view))
                looked << "Qt's own font";
            if (dialog->width() >= plain.width() && dialog->height() >= plain.height())
                looked << "at least Qt's own size";
            const int spareForBar = view->verticalScrollBar()->sizeHint().width();
            if (view->header()->length() >= view->viewport()->width() - spareForBar)
                looked << "names take the room left";
            const auto *places = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
            if (places && placesShowWhole(places))
                looked << "places show whole";
            const QRect frame = dialog->frameGeometry();
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            const QPoint offCentre = frame.center() - parent->window()->frameGeometry().center();
            if (qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1)
                looked << "centred over the opener";
            else if (screen.contains(frame) && frame.left() == screen.left() && frame.bottom() == screen.bottom())
                looked << "on the screen, at the opener's side";
            dialog->reject();
        });
        const QString caption = QStringLiteral("文件");
        const QString filter = QStringLiteral("(*.xlsx)");
        const QString chosen = save ? Seams::getSaveFileName(parent, caption, folder.path(), filter)
                                    : Seams::getOpenFileName(parent, caption, folder.path(), filter);
        QVERIFY(chosen.isEmpty());
        QCOMPARE(looked, (QStringList{"columns fit", "Qt's own font", "at least Qt's own size",
                                      "names take the room left", "places show whole", placed}));
    }

    void translucentWindowsWithoutCompositing_data()
    {
        QTest::addColumn<bool>("blends");
        QTest::newRow("a compositor blends") << true;
        QTest::newRow("nothing blends") << false;
    }

    void translucentWindowsWithoutCompositing()
    {
        QFETCH(bool, blends);
        Seams::setCompositingHandler([blends] { return blends; });
        TempProgramDir dir;
        TextUtil::showTip(QStringLiteral("打印完成"), QStringLiteral("#02B87E"), QStringLiteral("#FFFFFF"));
        PrintAddFile importDialog;
        TemplateModel model;
        TemplateSave saveDialog(&model);
        QWidget *toast = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            toast = w->objectName() == QLatin1String("notificationToast") ? w : toast;
        for (QWidget *window : {toast, static_cast<QWidget *>(&importDialog), static_cast<QWidget *>(&saveDialog)}) {
            QVERIFY(window);
            QCOMPARE(window->testAttribute(Qt::WA_TranslucentBackground), blends);
            // A corner lies outside the rounded panel, in its shadow's margin:
            // nothing black, the panel's white at most faintly shaded.
            const QRgb corner = window->grab().toImage().pixel(0, 0);
            if (!blends)
                QVERIFY(qAlpha(corner) == 255 && qMin(qRed(corner), qMin(qGreen(corner), qBlue(corner))) >= 0xF0);
        }
        delete toast;
    }

    void documentOpenerFailures_data()
    {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("failures");
        QTest::newRow("opened") << 0 << 0;
        QTest::newRow("no program for the document") << 3 << 1;
    }

    // A stand-in for the desktop's xdg-open that notes its argument and ends as asked.
    void documentOpenerFailures()
    {
        QFETCH(int, exitCode);
        QTemporaryDir bin;
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$1\" > \"$0.arg\"\nexit %1\n").arg(exitCode).toUtf8());
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        const QString manual = bin.filePath(QStringLiteral("用户手册.pdf"));
        int failures = 0;
        Seams::openUrl(QUrl::fromLocalFile(manual), [&failures] { ++failures; });
        qputenv("PATH", path);
        QTRY_COMPARE(readFile(script.fileName() + QStringLiteral(".arg")).trimmed(), manual.toUtf8());
        QTest::qWait(300);
        QTEST(failures, "failures");
    }
};

QTEST_MAIN(TestWindowSystem)
#include "tst_windowsystem.moc"
