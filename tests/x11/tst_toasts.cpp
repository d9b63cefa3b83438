// The toasts of the recycle bin and the import card as a user sees them on
// a desktop: on a display of its own under a real window manager
// (ondisplay.sh), with the main window maximised and the dialog open over
// it. Each message shows above the dialog and the main window, centred on
// the screen, and the dialog keeps the focus. What lies above what is read
// from the X server, as its utilities report it.

#include "app/mainwindow.h"
#include "support/labelfixtures.h"
#include "support/terminalfixture.h"
#include "util/jsonfile.h"
#include "util/seams.h"
#include "util/templatejson.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

enum class Act { BatchNothingTicked, DeleteOne, DeleteTicked, ConfirmWithoutFile, ConfirmTextFile };

// What the command (its words split at blanks) writes, or nothing when it fails.
QString run(const QString &command)
{
    QStringList args = command.split(QLatin1Char(' '));
    const QString program = args.takeFirst();
    QByteArray out;
    return runProgram(program, args, &out) == 0 ? QString::fromLatin1(out) : QString();
}

QString hexId(WId id) { return QStringLiteral("0x") + QString::number(id, 16); }

// The window id after a label in xwininfo's or xprop's words, or 0.
WId idAfter(const QString &text, const QString &label)
{
    const QRegularExpression re(QRegularExpression::escape(label) + QStringLiteral("\\s*(0x[0-9a-f]+)"));
    return re.match(text).captured(1).toULongLong(nullptr, 16);
}

// The root window's children, topmost first, as xwininfo lists them.
QList<WId> rootStacking()
{
    QList<WId> ids;
    static const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) "), QRegularExpression::MultilineOption);
    auto it = child.globalMatch(run(QStringLiteral("xwininfo -root -children")));
    while (it.hasNext())
        ids.append(it.next().captured(1).toULongLong(nullptr, 16));
    return ids;
}

// The root's child that holds the window: the frame the window manager put
// it in, or the window itself when it stands on the root.
WId stackedAs(WId id)
{
    for (int depth = 0; id && depth < 8; ++depth) {
        const QString tree = run(QStringLiteral("xwininfo -children -id ") + hexId(id));
        const WId parent = idAfter(tree, QStringLiteral("Parent window id:"));
        if (parent && parent == idAfter(tree, QStringLiteral("Root window id:")))
            return id;
        id = parent;
    }
    return 0;
}

QString info(WId id) { return run(QStringLiteral("xwininfo -id ") + hexId(id)); }

int infoNumber(const QString &text, const char *label)
{
    const QRegularExpression re(QLatin1String(label) + QStringLiteral("\\s*(-?\\d+)"));
    return re.match(text).captured(1).toInt();
}

// The window the window manager says has the focus.
WId activeWindow() { return idAfter(run(QStringLiteral("xprop -root _NET_ACTIVE_WINDOW")), QStringLiteral("window id #")); }

QWidget *shownToast()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("notificationToast") && w->isVisible())
            return w;
    return nullptr;
}

WId xid(QWidget *window) { return window->windowHandle()->winId(); }

} // namespace

class TestToasts : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TerminalFixture> fixture;
    QTemporaryDir files;

    // The buttons the user presses in the dialog, the last one raising the
    // message; null for one not there yet (a row gets its widgets once it is
    // in view).
    static QList<QAbstractButton *> presses(QWidget *dialog, Act what)
    {
        const auto named = [dialog](const char *name) -> QAbstractButton * {
            return child<QPushButton>(*dialog, QLatin1String(name));
        };
        QAbstractButton *rowDelete = nullptr;
        for (QPushButton *button : dialog->findChildren<QPushButton *>())
            rowDelete = button->text() == QStringLiteral("删除") ? button : rowDelete;
        switch (what) {
        case Act::BatchNothingTicked:
            return {named("btn_delete_in_batches")};
        case Act::DeleteOne:
            return {rowDelete};
        case Act::DeleteTicked:
            return {dialog->findChild<QCheckBox *>(), named("btn_delete_in_batches")};
        case Act::ConfirmWithoutFile:
            return {named("btn_confirm")};
        case Act::ConfirmTextFile:
            return {named("btn_addfile"), named("btn_confirm")};
        }
        return {};
    }

    // A click as the user makes it, through the X server, so that the window
    // manager knows when the user last acted, as on a desktop; returns once
    // the button has taken it.
    static bool clickThroughX(QAbstractButton *button)
    {
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        const QPoint at = button->mapToGlobal(button->rect().center());
        const QStringList args = QStringLiteral("mousemove --sync %1 %2 click 1").arg(at.x()).arg(at.y()).split(' ');
        return runProgram(QStringLiteral("xdotool"), args) == 0 && clicked.wait(WAIT_MS);
    }

    // Raises the message in the dialog that has just opened and says what
    // the X server shows of its toast.
    QStringList raiseAndLook(Act what, const QString &text)
    {
        QWidget *dialog = nullptr;
        if (!QTest::qWaitFor([&dialog] { return (dialog = QApplication::activeModalWidget()) && dialog->isActiveWindow(); },
                             WAIT_MS))
            return {QStringLiteral("no dialog")};
        QList<QAbstractButton *> buttons;
        if (!QTest::qWaitFor([&] { return !(buttons = presses(dialog, what)).contains(nullptr); }, WAIT_MS))
            return {QStringLiteral("no buttons to press")};
        for (QAbstractButton *button : buttons)
            if (!clickThroughX(button))
                return {QStringLiteral("a click missed ") + button->objectName()};
        QWidget *toast = shownToast();
        if (!toast || toast->findChild<QLabel *>()->text() != text)
            return {QStringLiteral("no toast ") + text};
        // Held as it shows, however slowly the machine goes.
        toast->findChild<QPropertyAnimation *>()->pause();
        const WId toastId = stackedAs(xid(toast));
        if (!QTest::qWaitFor([toastId] { return info(toastId).contains(QStringLiteral("IsViewable")); }, WAIT_MS))
            return {QStringLiteral("the toast never showed")};

        const bool focusKept = activeWindow() == xid(dialog);
        // Where the window manager gave the toast the focus, the program
        // hands it back to the modal dialog, and the window manager raises
        // that again: what the user sees is what is left once it has. A
        // dialog that never gets it back fails the focus check below.
        static_cast<void>(QTest::qWaitFor([dialog] { return activeWindow() == xid(dialog); }, WAIT_MS));

        QStringList looked;
        const QList<WId> stacking = rootStacking();
        const int toastAt = stacking.indexOf(toastId);
        if (toastAt >= 0 && toastAt < stacking.indexOf(stackedAs(xid(dialog))))
            looked << QStringLiteral("above the dialog");
        if (toastAt >= 0 && toastAt < stacking.indexOf(stackedAs(xid(fixture->window.get()))))
            looked << QStringLiteral("above the main window");
        const QString where = info(xid(toast));
        const QPoint centre(infoNumber(where, "Absolute upper-left X:") + infoNumber(where, "Width:") / 2,
                            infoNumber(where, "Absolute upper-left Y:") + infoNumber(where, "Height:") / 2);
        if ((centre - QGuiApplication::primaryScreen()->geometry().center()).manhattanLength() <= 2)
            looked << QStringLiteral("centred on the screen");
        if (focusKept && activeWindow() == xid(dialog))
            looked << QStringLiteral("the dialog keeps the focus");
        return looked;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(files.isValid());
        QVERIFY(writeFile(files.filePath(QStringLiteral("notes.xlsx")), "nothing but text\n"));
    }

    void init()
    {
        fixture = std::make_unique<TerminalFixture>();
        Seams::setToastHandler({});
        Seams::setQuestionHandler([](QWidget *, const QString &, const QString &) { return true; });
        const QString notes = files.filePath(QStringLiteral("notes.xlsx"));
        Seams::setOpenFileHandler([notes](QWidget *, const QString &, const QString &, const QString &) { return notes; });
        QJsonArray bin;
        for (const char *name : {"回收甲", "回收乙"})
            bin.append(TemplateJson::writeTemplate(blankLabel(QString::fromUtf8(name)), QDateTime::currentDateTime()));
        QVERIFY(QDir().mkpath(fixture->dir.file(QStringLiteral("/attachment"))));
        QVERIFY(JsonFile::write(fixture->dir.file(QStringLiteral("/attachment/customTemplateTrash.json")), bin));
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("notificationToast"))
                delete w;
        fixture.reset();
    }

    void toastsShowAboveTheDialog_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("text");
        const QString bin = QStringLiteral("btn_template_trash");
        const QString card = QStringLiteral("btn_import_data");
        const QString noSheet = QStringLiteral("输入的sheet页不存在");
        QTest::newRow("recycle bin: 批量删除 with nothing ticked") << bin << int(Act::BatchNothingTicked)
                                                                    << QStringLiteral("请选择需要删除的模板");
        QTest::newRow("recycle bin: one entry deleted") << bin << int(Act::DeleteOne) << QStringLiteral("删除成功");
        QTest::newRow("recycle bin: ticked entries deleted") << bin << int(Act::DeleteTicked) << QStringLiteral("删除完成");
        QTest::newRow("import card: 确定 without a workbook") << card << int(Act::ConfirmWithoutFile) << noSheet;
        QTest::newRow("import card: a text file named .xlsx") << card << int(Act::ConfirmTextFile) << noSheet;
    }

    void toastsShowAboveTheDialog()
    {
        QFETCH(QString, opener);
        QFETCH(int, what);
        QFETCH(QString, text);
        MainWindow &window = fixture->open();
        window.showMaximized();
        QVERIFY(QTest::qWaitForWindowActive(&window, WAIT_MS));

        // The import card runs its own event loop: what is looked at is
        // looked at from within it.
        QStringList looked;
        bool done = false;
        QTimer::singleShot(0, this, [&] {
            looked = raiseAndLook(Act(what), text);
            if (QWidget *dialog = QApplication::activeModalWidget())
                dialog->close();
            done = true;
        });
        fixture->click(opener);
        QTRY_VERIFY(done && !QApplication::activeModalWidget());
        QCOMPARE(looked.join(QStringLiteral(", ")),
                 QStringLiteral("above the dialog, above the main window, centred on the screen, "
                                "the dialog keeps the focus"));
    }
};

QTEST_MAIN(TestToasts)
#include "tst_toasts.moc"
