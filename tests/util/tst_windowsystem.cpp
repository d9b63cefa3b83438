// What the program asks of the window system for its own look: file dialogs
// that are Qt's own whoever opens them, translucent windows drawn opaque
// where nothing blends them, and a document opener that says when it fails.

#include "editor/templatesave.h"
#include "print/printaddfile.h"
#include "support/testsupport.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QtTest>

using namespace TestSupport;

namespace {

QWidget *toast()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("notificationToast"))
            return w;
    }
    return nullptr;
}

// Each listed file's name, size, type and date fit in their columns.
bool columnsFitTheirTexts(const QTreeView *view, int files)
{
    const QAbstractItemModel *model = view->model();
    if (model->rowCount(view->rootIndex()) != files)
        return false;
    const int icon = view->iconSize().width() > 0 ? view->iconSize().width() : 16;
    for (int row = 0; row < files; ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            if (view->header()->isSectionHidden(column))
                continue;
            const QString text = model->index(row, column, view->rootIndex()).data().toString();
            const int needed = view->fontMetrics().horizontalAdvance(text) + (column == 0 ? icon : 0);
            if (text.isEmpty() || view->header()->sectionSize(column) <= needed)
                return false;
        }
    }
    return true;
}

} // namespace

class TestWindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Seams::resetAll(); }

    void fileDialogsAreQtsOwn_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<bool>("save");
        QTest::newRow("open from the import dialog") << "import" << false;
        QTest::newRow("save from a small styled card") << "card" << true;
    }

    void fileDialogsAreQtsOwn()
    {
        QFETCH(QString, opener);
        QFETCH(bool, save);
        QTemporaryDir folder;
        for (const char *name : {"2024年度城建档案数据汇总.xlsx", "rows.xlsx"}) {
            QFile file(folder.filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(5300, 'x'));
        }
        TempProgramDir dir;
        PrintAddFile importDialog;
        // The firmware dialog's kind: a fixed small card whose sheet styles every widget.
        QDialog card;
        card.setFixedSize(590, 398);
        card.setStyleSheet(QStringLiteral("QWidget { background-color: #FFFFFF; font-size: 18px; }"));
        QWidget *parent = opener == QLatin1String("import") ? static_cast<QWidget *>(&importDialog) : &card;
        parent->show();
        QFileDialog plain;

        // The dialog lives only while it runs: it is looked at then.
        bool shown = false;
        bool fitted = false;
        bool ownLook = false;
        bool ownSize = false;
        bool overOpener = false;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            shown = dialog;
            const auto *view = dialog ? dialog->findChild<QTreeView *>(QStringLiteral("treeView")) : nullptr;
            if (!view)
                return;
            fitted = QTest::qWaitFor([view] { return columnsFitTheirTexts(view, 2); }, 5000);
            ownLook = dialog->font() == plain.font() && view->font() == QApplication::font(view);
            ownSize = dialog->width() >= plain.width() && dialog->height() >= plain.height();
            overOpener = parent->frameGeometry().contains(dialog->frameGeometry().center());
            mode = dialog->acceptMode();
            dialog->reject();
        });
        const QString chosen = save ? Seams::getSaveFileName(parent, QStringLiteral("保存文件"), folder.path(),
                                                             QStringLiteral("(*.xlsx)"))
                                    : Seams::getOpenFileName(parent, QStringLiteral("导入文件"), folder.path(),
                                                             QStringLiteral("(*.xlsx)"));
        QVERIFY(chosen.isEmpty());
        QVERIFY(shown);
        QVERIFY(fitted);
        // Qt's own look and at least its own size, placed over the opener.
        QVERIFY(ownLook);
        QVERIFY(ownSize);
        QVERIFY(overOpener);
        QCOMPARE(mode, save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
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
        const QList<QWidget *> windows{toast(), &importDialog, &saveDialog};
        for (QWidget *window : windows) {
            QVERIFY(window);
            // A corner lies outside the rounded panel, in its shadow's margin.
            const QImage picture = window->grab().toImage();
            const QRgb corner = picture.pixel(0, 0);
            QCOMPARE(window->testAttribute(Qt::WA_TranslucentBackground), blends);
            // Nothing black: the panel's white, at most faintly shaded.
            if (!blends)
                QVERIFY(qAlpha(corner) == 255 && qMin(qRed(corner), qMin(qGreen(corner), qBlue(corner))) >= 0xF0);
        }
        delete toast();
    }

    void documentOpenerFailures_data()
    {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("failed");
        QTest::newRow("opened") << 0 << false;
        QTest::newRow("no program for the document") << 3 << true;
    }

    // A stand-in for the desktop's xdg-open that ends as asked.
    void documentOpenerFailures()
    {
        QFETCH(int, exitCode);
        QFETCH(bool, failed);
        QTemporaryDir bin;
        const QString script = bin.filePath(QStringLiteral("xdg-open"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$1\" > \"%1\"\nexit %2\n")
                       .arg(bin.filePath(QStringLiteral("opened")))
                       .arg(exitCode)
                       .toUtf8());
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);

        const QString manual = bin.filePath(QStringLiteral("用户手册.pdf"));
        int failures = 0;
        Seams::openUrl(QUrl::fromLocalFile(manual), [&failures] { ++failures; });
        QTRY_VERIFY(QFile::exists(bin.filePath(QStringLiteral("opened"))));
        QTest::qWait(300);
        qputenv("PATH", path);
        QCOMPARE(failures, failed ? 1 : 0);
        QFile opened(bin.filePath(QStringLiteral("opened")));
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(opened.readAll()).trimmed(), manual);
    }
};

QTEST_MAIN(TestWindowSystem)
#include "tst_windowsystem.moc"
