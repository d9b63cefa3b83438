// What the program asks of the window system for its own look: dialogs
// whose windows are made where they open, file dialogs that are Qt's own
// whoever opens them, translucent windows drawn opaque where nothing blends
// them, and a document opener that says when it fails.

#include "editor/templatesave.h"
#include "print/printaddfile.h"
#include "support/testsupport.h"
#include "util/frameplacement.h"
#include "util/placeddialog.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlatformSurfaceEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

// Whether each window was made where it was then shown: a window moved on
// its way to the screen is misrecorded on X11 (see PlacedDialog).
class MadeInPlace : public QObject
{
public:
    MadeInPlace() { qApp->installEventFilter(this); }
    bool of(const QWidget *widget) const
    {
        const QWindow *window = widget->windowHandle();
        return made.contains(window) && made.value(window) == shown.value(window);
    }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *window = qobject_cast<QWindow *>(object);
        if (window && event->type() == QEvent::PlatformSurface
            && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceCreated)
            made.insert(window, window->geometry());
        if (window && event->type() == QEvent::Show)
            shown.insert(window, window->geometry());
        return false;
    }
    QHash<const QWindow *, QRect> made, shown;
};

// Whether a view shows the text at an index whole in so much room beside its icon.
bool showsWhole(const QAbstractItemView *view, const QModelIndex &index, int room, int icon)
{
    return room > view->fontMetrics().horizontalAdvance(index.data().toString()) + icon;
}

// Each listed file's name, size, type and date fit in their columns.
bool columnsFitTheirTexts(const QTreeView *view, int files)
{
    const QModelIndex root = view->rootIndex();
    bool fit = view->model()->rowCount(root) == files;
    for (int row = 0; row < files; ++row)
        for (int column = 0; column < view->model()->columnCount(root); ++column) {
            const QModelIndex index = view->model()->index(row, column, root);
            const int icon = column == 0 ? view->iconSize().width() : 0;
            fit = fit && !index.data().toString().isEmpty()
                  && showsWhole(view, index, view->header()->sectionSize(column), icon);
        }
    return fit;
}

// How dark a picture is: the ink of the glyphs on it, wherever they lie.
qint64 ink(const QImage &picture)
{
    qint64 sum = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            sum += 255 - qGray(picture.pixel(x, y));
    return sum;
}

// Whether the card shows every glyph of its text: the ink of what the card
// shows of it, scrolled through page by page, is that of the same glyphs
// drawn in short lines. A text cut at the card's edge or below its last
// line shown has less.
bool showsWhole(QWidget *box, const QString &text)
{
    const auto *label = box->findChild<QLabel *>(QStringLiteral("lab_text"));
    const auto *area = box->findChild<QScrollArea *>();
    const QRect view(area->viewport()->mapTo(box, QPoint()), area->viewport()->size());
    qint64 shown = 0;
    for (int seen = 0; seen < label->height(); seen = area->verticalScrollBar()->value() + view.height()) {
        area->verticalScrollBar()->setValue(seen);
        shown += ink(box->grab(view.adjusted(0, seen - area->verticalScrollBar()->value(), 0, 0)).toImage());
    }
    const QFontMetrics metrics(label->font());
    QImage lines(metrics.horizontalAdvance(text.left(20)) * 2, metrics.lineSpacing() * (text.size() / 20 + 2),
                 QImage::Format_RGB32);
    lines.fill(Qt::white);
    QPainter painter(&lines);
    painter.setFont(label->font());
    painter.setPen(label->palette().color(label->foregroundRole()));
    for (int at = 0; at < text.size(); at += 20)
        painter.drawText(0, metrics.ascent() + metrics.lineSpacing() * (at / 20), text.mid(at, 20));
    painter.end();
    return qAbs(shown - ink(lines)) * 1000 <= ink(lines);
}

} // namespace

class TestWindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Seams::resetAll(); }

    void dialogsAreMadeWhereTheyOpen_data()
    {
        QTest::addColumn<bool>("card");
        QTest::newRow("the import card, without a parent") << true;
        QTest::newRow("the save dialog over the editor") << false;
    }

    // Each is made where it opens: centred by its frame over its opener's
    // window, or over the screen without one.
    void dialogsAreMadeWhereTheyOpen()
    {
        QFETCH(bool, card);
        TempProgramDir dir;
        QWidget opener;
        opener.setGeometry(20, 20, 760, 560);
        opener.show();
        QVERIFY(QTest::qWaitForWindowExposed(&opener));
        TemplateModel model;
        const std::unique_ptr<QDialog> shown(card ? static_cast<QDialog *>(new PrintAddFile)
                                                  : new TemplateSave(&model, &opener));
        const MadeInPlace made;
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        QVERIFY(made.of(shown.get()));
        const QRect over = card ? QGuiApplication::primaryScreen()->availableGeometry() : opener.frameGeometry();
        const QPoint offCentre = shown->frameGeometry().center() - over.center();
        QVERIFY2(offCentre.manhattanLength() <= 1, qPrintable(QStringLiteral("%1, %2").arg(offCentre.x()).arg(offCentre.y())));
    }

    void promptsAreTheProgramsOwn_data()
    {
        QTest::addColumn<bool>("openerShown");
        QTest::addColumn<bool>("entry");
        QTest::addColumn<QString>("name");
        const QString chinese = QStringLiteral("城建档案馆二〇二四年度道路桥梁排水工程竣工验收资料汇编").repeated(12);
        QTest::newRow("question over its opener") << true << false << QStringLiteral("档案袋");
        QTest::newRow("password asked while the opener is built") << false << true << QString();
        QTest::newRow("a name of 40 Chinese characters") << false << false << chinese.left(40);
        QTest::newRow("a name of 300, taller than the card's room") << true << false << chinese.left(300);
        QTest::newRow("a name no screen holds") << false << false << chinese.repeated(10);
        QTest::newRow("runs of digits and letters without a break")
            << false << false << QStringLiteral("2024年度%1汇总%2表").arg(QString(90, '7'), QString(70, 'W'));
    }

    // Questions and prompts are frameless cards like the other dialogs,
    // placed as they are over their opener's window, or on the screen while
    // that is not shown yet, at a size their texts fit, every character of
    // them shown on the screen; the answer comes back.
    void promptsAreTheProgramsOwn()
    {
        QFETCH(bool, openerShown);
        QFETCH(bool, entry);
        QFETCH(QString, name);
        QWidget opener;
        opener.setGeometry(150, 90, 700, 500);
        if (openerShown) {
            opener.show();
            QVERIFY(QTest::qWaitForWindowExposed(&opener));
        }
        const QString title = entry ? QStringLiteral("管理员登录") : QStringLiteral("提示");
        const QString text = entry ? QStringLiteral("请输入管理员密码") : QStringLiteral("是否删除模板\"%1\"?").arg(name);
        QStringList looked;
        // Looked at once it shows; closed unanswered should it never.
        QTimer poll;
        int polls = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box || !box->isVisible()) {
                if (++polls > WAIT_MS / 10 && box)
                    box->close();
                return;
            }
            poll.stop();
            if (box->windowFlags() & Qt::FramelessWindowHint)
                looked << "frameless";
            // Where the program's dialogs open over that opener, or with none.
            PlacedDialog plain(openerShown ? &opener : nullptr);
            plain.resize(box->size());
            plain.show();
            if (plain.geometry() == box->geometry())
                looked << "placed";
            plain.close();
            bool fit = true;
            QStringList shown;
            for (const QLabel *label : box->findChildren<QLabel *>()) {
                fit = fit && label->width() >= label->sizeHint().width();
                if (label->isVisible())
                    shown << label->text();
            }
            for (const QPushButton *button : box->findChildren<QPushButton *>())
                fit = fit && (button->isHidden() || button->text().isEmpty() || button->width() >= button->sizeHint().width());
            if (fit && shown.contains(title) && shown.contains(text))
                looked << "texts fit";
            if (QGuiApplication::primaryScreen()->availableGeometry().contains(box->frameGeometry())
                && showsWhole(box, text))
                looked << "shown whole";
            if (auto *edit = box->findChild<QLineEdit *>()) {
                if (edit->echoMode() == QLineEdit::Password)
                    looked << "masked";
                QTest::keyClicks(edit, QStringLiteral("kelo240101"));
            }
            for (QPushButton *button : box->findChildren<QPushButton *>()) {
                if (button->text() == (entry ? QStringLiteral("确定") : QStringLiteral("是")))
                    button->click();
            }
            box->close();
        });
        poll.start(10);
        bool ok = false;
        QVERIFY(entry ? Seams::getText(&opener, title, text, QLineEdit::Password, &ok) == QStringLiteral("kelo240101") && ok
                      : Seams::askQuestion(&opener, title, text));
        QCOMPARE(looked, QStringList({"frameless", "placed", "texts fit", "shown whole", "masked"}).mid(0, entry ? 5 : 4));
    }

    void framesAreCentredOnTheScreen_data()
    {
        QTest::addColumn<QPoint>("centre");
        QTest::addColumn<QRect>("placed");
        // A 300 x 200 window under a title bar of 20 and borders of 1 and 5,
        // on a screen of 800 x 600 whose first 30 rows hold a panel.
        QTest::newRow("room all round") << QPoint(400, 300) << QRect(251, 208, 300, 200);
        QTest::newRow("past the top left corner") << QPoint(0, 0) << QRect(1, 50, 300, 200);
        QTest::newRow("past the bottom right corner") << QPoint(800, 600) << QRect(499, 395, 300, 200);
    }

    void framesAreCentredOnTheScreen()
    {
        QFETCH(QPoint, centre);
        const QRect area(0, 30, 800, 570);
        QTEST(FramePlacement::centred(QSize(300, 200), centre, area, QMargins(1, 20, 1, 5)), "placed");
    }

    void windowsStayOnTheScreenByTheirFrames_data()
    {
        QTest::addColumn<bool>("dialog");
        QTest::addColumn<QPoint>("opener");
        for (const QPoint at : {QPoint(-500, -400), QPoint(700, 500), QPoint(-300, 300)}) {
            const QByteArray where = QByteArray::number(at.x()) + ", " + QByteArray::number(at.y());
            QTest::newRow("a window placed over " + where) << false << at;
            QTest::newRow("a dialog opened over " + where) << true << at;
        }
    }

    // Made where they show, whatever frame the platform gives them, and wholly on the screen.
    void windowsStayOnTheScreenByTheirFrames()
    {
        QFETCH(bool, dialog);
        QFETCH(QPoint, opener);
        QWidget over(nullptr, Qt::FramelessWindowHint);
        over.setGeometry(QRect(opener, QSize(600, 400)));
        over.show();
        const MadeInPlace made;
        std::unique_ptr<QWidget> window;
        if (dialog) {
            window = std::make_unique<PlacedDialog>(&over);
            window->resize(500, 350);
        } else {
            window = std::make_unique<QWidget>();
            FramePlacement::place(window.get(), [&over](const QMargins &frame) {
                return FramePlacement::centred(QSize(500, 350), over.geometry().center(),
                                               FramePlacement::availableArea(QPoint()), frame);
            });
        }
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(made.of(window.get()));
        QVERIFY(window->frameGeometry() != window->geometry());
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(window->frameGeometry()));
    }

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
        for (const char *name : {"2024年度城建档案数据汇总.xlsx", "rows.xlsx"})
            QVERIFY(writeFile(folder.filePath(QString::fromUtf8(name)), QByteArray(5300, 'x')));
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
        const MadeInPlace made;

        // The dialog lives only while it runs: it is looked at then.
        QStringList looked;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            const auto *view = dialog ? dialog->findChild<QTreeView *>(QStringLiteral("treeView")) : nullptr;
            if (!view)
                return;
            if (QTest::qWaitFor([view] { return columnsFitTheirTexts(view, 2); }, WAIT_MS))
                looked << "columns fit";
            if (dialog->font() == plain.font() && view->font() == QApplication::font(view))
                looked << "Qt's own font";
            if (dialog->width() >= plain.width() && dialog->height() >= plain.height())
                looked << "at least Qt's own size";
            const int spareForBar = view->verticalScrollBar()->sizeHint().width();
            if (view->header()->length() >= view->viewport()->width() - spareForBar)
                looked << "names take the room left";
            // Each place beside the folder (the computer, the home folder) shows its name whole.
            const auto *places = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
            bool whole = places && places->model()->rowCount() > 0;
            for (int row = 0; whole && row < places->model()->rowCount(); ++row)
                whole = showsWhole(places, places->model()->index(row, 0), places->viewport()->width(),
                                   places->iconSize().width());
            if (whole)
                looked << "places show whole";
            const QRect frame = dialog->frameGeometry();
            if (made.of(dialog))
                looked << "made where it opens";
            if (dialog->windowHandle()->transientParent() == parent->window()->windowHandle())
                looked << "kept above its opener";
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            const QPoint offCentre = frame.center() - parent->window()->frameGeometry().center();
            if (qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1)
                looked << "centred over the opener";
            else if (screen.contains(frame) && frame.left() == screen.left() && frame.bottom() == screen.bottom())
                looked << "on the screen, at the opener's side";
            dialog->reject();
        });
        const auto ask = save ? &Seams::getSaveFileName : &Seams::getOpenFileName;
        QVERIFY(ask(parent, QStringLiteral("文件"), folder.path(), QStringLiteral("(*.xlsx)")).isEmpty());
        QCOMPARE(looked, (QStringList{"columns fit", "Qt's own font", "at least Qt's own size",
                                      "names take the room left", "places show whole", "made where it opens",
                                      "kept above its opener", placed}));
    }

    // Translucent where a compositor blends: the toast's and the import
    // card's own tests look at that.
    void translucentWindowsAreOpaqueWithoutCompositing()
    {
        Seams::setCompositingHandler([] { return false; });
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
            // A corner lies outside the rounded panel, in its shadow's margin:
            // nothing black, the panel's white at most faintly shaded.
            const QRgb corner = window->grab().toImage().pixel(0, 0);
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
        const QString script = bin.filePath(QStringLiteral("xdg-open"));
        const QString body = QStringLiteral("#!/bin/sh\necho \"$1\" > \"$0.arg\"\nexit %1\n").arg(exitCode);
        QVERIFY(writeFile(script, body.toUtf8()));
        QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        const QString manual = bin.filePath(QStringLiteral("用户手册.pdf"));
        QFETCH(int, failures);
        int failed = 0;
        Seams::openUrl(QUrl::fromLocalFile(manual), [&failed] { ++failed; });
        qputenv("PATH", path);
        QTRY_COMPARE(readFile(script + QStringLiteral(".arg")).trimmed(), manual.toUtf8());
        QTest::qWait(300);
        QTRY_COMPARE(failed, failures);
    }
};

QTEST_MAIN(TestWindowSystem)
#include "tst_windowsystem.moc"
