#include "util/seams.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QTreeView>
#include <QWindow>
#include <QX11Info>

namespace Seams {
namespace {

struct Handlers {
    QString programDir;
    ToastHandler toast;
    FileDialogHandler openFile;
    FileDialogHandler saveFile;
    QuestionHandler question;
    InformationHandler information;
    InputHandler input;
    ScreenHandler screen;
    SerialPortListHandler serialPorts;
    SerialOpenHandler serialOpen;
    PrivilegedHandler privileged;
    UrlOpenerHandler urlOpener;
    CompositingHandler compositing;
    int jobPauseMs = 0;
    int noticeWaitMs = 0;
};

Handlers &handlers()
{
    static Handlers h;
    return h;
}

// A desktop opener that ends with an error this soon found nothing to open
// the document with. One that runs the viewer in the foreground ends only
// with it, and what the viewer answers then says nothing about the opening.
constexpr int OPEN_FAILURE_WINDOW_MS = 10000;
// A file dialog widened to show its columns still leaves some of the screen.
constexpr int SCREEN_SHARE_PERCENT = 90;

// Qt's own file dialog without a parent: as the child of the window that
// opens it, it would take on that window's style sheets (a larger font,
// paddings, fixed sizes), which cut its columns and clip it. It is modal
// and placed over the opener as a child dialog would be.
class PlainFileDialog : public QFileDialog
{
public:
    PlainFileDialog(QWidget *opener, const QString &caption, const QString &dir, const QString &filter)
        : QFileDialog(nullptr, caption, dir, filter)
        , opener(opener)
        , view(findChild<QTreeView *>(QStringLiteral("treeView")))
    {
        // A native dialog has neither and lays itself out.
        auto *model = findChild<QFileSystemModel *>();
        if (view && model)
            connect(model, &QFileSystemModel::directoryLoaded, this, &PlainFileDialog::fitColumns,
                    Qt::QueuedConnection);
    }

    QString run(AcceptMode mode)
    {
        setAcceptMode(mode);
        setFileMode(mode == AcceptOpen ? ExistingFile : AnyFile);
        // Wide enough for its columns before it shows, so it is centred at
        // that width; the folder's own texts may widen it once read.
        if (view) {
            layout()->activate();
            fitColumns();
        }
        if (opener) {
            QWidget *window = opener->window();
            winId();
            if (window->windowHandle())
                windowHandle()->setTransientParent(window->windowHandle());
            adjustPosition(window);
        }
        if (exec() != QDialog::Accepted)
            return QString();
        return selectedFiles().value(0);
    }

private:
    // Every column but the name's grows to what it shows (the name column
    // starts wide and elides long names, as in any file dialog); the dialog
    // then grows to the right, within its screen, until every column is in
    // view. Only its size changes: where the window system put it stays.
    void fitColumns()
    {
        QHeaderView *header = view->header();
        for (int column = 1; column < header->count(); ++column) {
            const int shown = static_cast<const QAbstractItemView *>(view)->sizeHintForColumn(column);
            const int wanted = qMax(shown, header->sectionSizeHint(column));
            if (!header->isSectionHidden(column) && header->sectionSize(column) < wanted)
                header->resizeSection(column, wanted);
        }
        const QScrollBar *bar = view->verticalScrollBar();
        const int room = view->contentsRect().width() - (bar->isVisible() ? bar->width() : 0);
        const int missing = header->length() - room;
        if (missing <= 0)
            return;
        const QScreen *screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
        int wider = width() + missing;
        if (screen)
            wider = qMin(wider, screen->availableGeometry().width() * SCREEN_SHARE_PERCENT / 100);
        if (wider > width())
            resize(wider, height());
    }

    QWidget *opener;
    QTreeView *view;
};

} // namespace

QString programDir()
{
    if (!handlers().programDir.isEmpty())
        return handlers().programDir;
    return QCoreApplication::applicationDirPath();
}

void setProgramDir(const QString &dir)
{
    QString d = dir;
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    handlers().programDir = d;
}

void setToastHandler(ToastHandler handler) { handlers().toast = std::move(handler); }
const ToastHandler &toastHandler() { return handlers().toast; }

QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (handlers().openFile)
        return handlers().openFile(parent, caption, dir, filter);
    return PlainFileDialog(parent, caption, dir, filter).run(QFileDialog::AcceptOpen);
}

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (handlers().saveFile)
        return handlers().saveFile(parent, caption, dir, filter);
    return PlainFileDialog(parent, caption, dir, filter).run(QFileDialog::AcceptSave);
}

void setOpenFileHandler(FileDialogHandler handler) { handlers().openFile = std::move(handler); }
void setSaveFileHandler(FileDialogHandler handler) { handlers().saveFile = std::move(handler); }

bool askQuestion(QWidget *parent, const QString &title, const QString &text)
{
    if (handlers().question)
        return handlers().question(parent, title, text);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes;
}

void showInformation(QWidget *parent, const QString &title, const QString &text, const QString &buttonText)
{
    if (handlers().information) {
        handlers().information(parent, title, text);
        return;
    }
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    if (!buttonText.isEmpty())
        box.button(QMessageBox::Ok)->setText(buttonText);
    box.exec();
}

void setQuestionHandler(QuestionHandler handler) { handlers().question = std::move(handler); }
void setInformationHandler(InformationHandler handler) { handlers().information = std::move(handler); }

QString getText(QWidget *parent, const QString &title, const QString &label, QLineEdit::EchoMode mode, bool *ok)
{
    if (handlers().input)
        return handlers().input(parent, title, label, mode, ok);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    dialog.setTextEchoMode(mode);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (ok)
        *ok = accepted;
    return accepted ? dialog.textValue() : QString();
}

void setInputHandler(InputHandler handler) { handlers().input = std::move(handler); }

ScreenSize screenSize()
{
    if (handlers().screen)
        return handlers().screen();
    ScreenSize s;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        s.pixels = screen->size();
        s.millimetres = screen->physicalSize();
    }
    return s;
}

void setScreenHandler(ScreenHandler handler) { handlers().screen = std::move(handler); }

QList<SerialPortEntry> availableSerialPorts()
{
    if (handlers().serialPorts)
        return handlers().serialPorts();
    QList<SerialPortEntry> list;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        list.append({info.portName(), info.systemLocation()});
    return list;
}

void setSerialPortListHandler(SerialPortListHandler handler) { handlers().serialPorts = std::move(handler); }

bool openSerialPort(QSerialPort &port, const QString &name, QIODevice::OpenMode mode,
                    QSerialPort::SerialPortError *error, QString *errorText)
{
    QSerialPort::SerialPortError refusal = QSerialPort::NoError;
    if (handlers().serialOpen)
        refusal = handlers().serialOpen(name);
    if (refusal != QSerialPort::NoError) {
        if (error)
            *error = refusal;
        if (errorText)
            *errorText = refusal == QSerialPort::PermissionError ? QStringLiteral("Permission denied")
                                                                  : QStringLiteral("Device refused");
        return false;
    }
    const bool opened = port.open(mode);
    if (error)
        *error = opened ? QSerialPort::NoError : port.error();
    if (errorText)
        *errorText = opened ? QString() : port.errorString();
    return opened;
}

void setSerialOpenHandler(SerialOpenHandler handler) { handlers().serialOpen = std::move(handler); }

PrivilegedResult runPrivileged(const QString &program, const QStringList &arguments, const QByteArray &input,
                               int timeoutMs)
{
    if (handlers().privileged)
        return handlers().privileged(program, arguments, input, timeoutMs);
    PrivilegedResult result;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(timeoutMs))
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(timeoutMs);
        result.output = process.readAll();
        return result;
    }
    result.output = process.readAll();
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

void setPrivilegedHandler(PrivilegedHandler handler) { handlers().privileged = std::move(handler); }

int jobPauseMs()
{
    return handlers().jobPauseMs > 0 ? handlers().jobPauseMs : JOB_PAUSE_MS;
}

void setJobPauseMs(int ms) { handlers().jobPauseMs = ms; }

int noticeWaitMs()
{
    return handlers().noticeWaitMs > 0 ? handlers().noticeWaitMs : NOTICE_WAIT_MS;
}

void setNoticeWaitMs(int ms) { handlers().noticeWaitMs = ms; }

void openUrl(const QUrl &url, const std::function<void()> &failed)
{
    const auto fail = [&failed] {
        if (failed)
            failed();
    };
    if (handlers().urlOpener) {
        if (!handlers().urlOpener(url))
            fail();
        return;
    }
    // Qt only starts the desktop's opener, so an opener that finds no program
    // for the document would go unnoticed: xdg-open, where there is one, is
    // started here and watched.
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        if (!QDesktopServices::openUrl(url))
            fail();
        return;
    }
    // Not owned: a viewer it runs in the foreground outlives the program.
    // Nothing is piped, so a viewer writing after the program ended lives on.
    auto *opener = new QProcess;
    opener->setProgram(xdgOpen);
    opener->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString()});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer running;
    running.start();
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qWarning().noquote() << "xdg-open did not start:" << opener->errorString();
        if (failed)
            failed();
        opener->deleteLater();
    });
    QObject::connect(opener, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), opener,
                     [opener, failed, running](int code, QProcess::ExitStatus status) {
                         if ((status != QProcess::NormalExit || code != 0)
                             && running.elapsed() < OPEN_FAILURE_WINDOW_MS) {
                             qWarning().noquote() << "xdg-open found nothing to open the document with, exit code"
                                                  << code;
                             if (failed)
                                 failed();
                         }
                         opener->deleteLater();
                     });
    opener->start();
}

void setUrlOpenerHandler(UrlOpenerHandler handler) { handlers().urlOpener = std::move(handler); }

bool windowsBlend()
{
    if (handlers().compositing)
        return handlers().compositing();
    return !QX11Info::isPlatformX11() || QX11Info::isCompositingManagerRunning();
}

void setCompositingHandler(CompositingHandler handler) { handlers().compositing = std::move(handler); }

void resetAll() { handlers() = Handlers(); }

} // namespace Seams
