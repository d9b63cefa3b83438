#pragma once

// What the main window's tests stand on: a fresh program folder, recorded
// toasts, a captured log and, when asked, the fake printer over loopback TCP
// with the window linked to it. The window goes first, then the printer; the
// seams are reset when it goes. For the tests of app/, which link the shell.

#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class MainWindow;
class PrintPreview;

namespace TestSupport {

class TerminalFixture
{
public:
    // The printer state the window keeps is forgotten first, and the process
    // works in a folder of its own (useOwnWorkingFolder).
    TerminalFixture();
    ~TerminalFixture();
    TerminalFixture(const TerminalFixture &) = delete;
    TerminalFixture &operator=(const TerminalFixture &) = delete;

    // Once per test program that prints: the pinned fonts, and the print
    // record's table in the working folder of the program's own.
    static bool preparePrinting();

    // A window linked to nothing of ours.
    MainWindow &open();
    // A fake printer started with these arguments (e.g. {"--sn", ...}) and a
    // window linked to it, which has not read the printer yet.
    MainWindow &link(const QStringList &printerArgs = QStringList());
    // Runs the event loop until the printer has had the start-up's five reads
    // and the window holds that much ink (the ink box is read last).
    bool waitUntilRead(quint32 remainDots = 5000000);

    template <typename T = QWidget>
    T *widget(const QString &name) const
    {
        return child<T>(*window, name);
    }
    void click(const QString &button) const;
    // Widget name to what it is set to: a button checked or not, a spin box's
    // value, a combo box's or an edit's text.
    void set(const QVariantMap &values) const;
    // The indicator's tooltip tells the printer's state; a press on it
    // reconnects (the printer's record is cleared first).
    QString indicator() const;
    void pressIndicator();

    // What the printer received, in order, ink-box reads as 0xA000 + block.
    QList<int> received();
    // The print preview the window has open, or null.
    static PrintPreview *preview();
    // Failed connections of the forms and the code. Qt's own tray asks the
    // offscreen platform for a signal it lacks: that one is not ours.
    QStringList connectionWarnings() const;

    LogCapture log;
    TempProgramDir dir;
    ToastRecorder toasts;
    std::unique_ptr<FakePrinter> printer;
    std::unique_ptr<MainWindow> window;
};

} // namespace TestSupport
