#include "util/seams.h"

#include "util/frameplacement.h"
#include "util/promptdialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QSplitter>
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
    ClockHandler clock;
    int jobPauseMs = 0;
    int noticeWaitMs = 0;
    int replyWaitMs = 0;
    int firmwareWaitMs = 0;
    qint64 clientLogBytesPerDay = 0;
    int closeGraceMs = 0;
    qint64 fileTimeStepNs = 0;
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
// A file dialog starts at this share of its screen, so a folder of long
// names reads well whether a small card or a maximised window opens it.
constexpr int START_WIDTH_PERCENT = 45;
constexpr int START_HEIGHT_PERCENT = 55;

// Qt's own file dialog without a parent: as the child of the window that
// opens it, it would take on that window's style sheets (a larger font,
// paddings, fixed sizes), which cut its columns and clip it. It is modal,
// transient for the opener's window and centred over it.
class PlainFileDialog : public QFileDialog
{
public:
    PlainFileDialog(QWidget *opener, const QString &caption, const QString &dir, const QString &filter)
        : QFileDialog(nullptr, caption, dir, filter)
        , opener(opener ? opener->window() : nullptr)
        , view(findChild<QTreeView *>(QStringLiteral("treeView")))
        , places(findChild<QListView *>(QStringLiteral("sidebar")))
        , splitter(findChild<QSplitter *>(QStringLiteral("splitter")))
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
        const QRect over = opener ? opener->frameGeometry() : FramePlacement::availableArea(QCursor::pos());
        const QRect area = FramePlacement::availableArea(over.center());
        if (!area.isEmpty()) {
            resize(qMin(qMax(width(), area.width() * START_WIDTH_PERCENT / 100),
                        area.width() * SCREEN_SHARE_PERCENT / 100),
                   qMin(qMax(height(), area.height() * START_HEIGHT_PERCENT / 100),
                        area.height() * SCREEN_SHARE_PERCENT / 100));
        }
        // Wide enough for its columns before it shows, so it is centred at
        // that width; the folder's own texts may widen it once read.
        ensurePolished();
        if (view) {
            layout()->activate();
            fitColumns();
        }
        // Placed before its window is made, as a PlacedDialog is and for the
        // same reason, by the frame it is expected to get, and again once the
        // window manager has framed it.
        const QPoint centre = over.center();
        FramePlacement::place(this, [this, centre, area](const QMargins &frame) {
            return FramePlacement::centred(size(), centre, area, frame);
        });
        if (opener && opener->windowHandle())
            windowHandle()->setTransientParent(opener->windowHandle());
        if (exec() != QDialog::Accepted)
            return QString();
        return selectedFiles().value(0);
    }

private:
    // Every column but the name's grows to what it shows; the name column
    // takes the room left, but never less than Qt's own file dialog starts
    // it with, and elides longer names as any file dialog does. Where that
    // room is missing the dialog grows on both sides, within its screen, so
    // it stays centred where it is.
    void fitColumns()
    {
        // The places beside the folder show their names whole (the home
        // folder is named after the user).
        if (places && splitter && splitter->count() == 2) {
            QList<int> sizes = splitter->sizes();
            const int wanted = places->sizeHintForColumn(0) + 2 * places->frameWidth();
            if (sizes.at(0) < wanted) {
                sizes[1] -= wanted - sizes.at(0);
                sizes[0] = wanted;
                splitter->setSizes(sizes);
            }
        }
        QHeaderView *header = view->header();
        int others = 0;
        for (int column = 1; column < header->count(); ++column) {
            if (header->isSectionHidden(column))
                continue;
            const int shown = static_cast<const QAbstractItemView *>(view)->sizeHintForColumn(column);
            const int wanted = qMax(shown, header->sectionSizeHint(column));
            if (header->sectionSize(column) < wanted)
                header->resizeSection(column, wanted);
            others += header->sectionSize(column);
        }
        // A scroll bar's width is kept free for a folder that outgrows the view.
        const int room = view->contentsRect().width() - view->verticalScrollBar()->sizeHint().width();
        const int fewestForNames = view->fontMetrics().horizontalAdvance(QString(26, QLatin1Char('w')));
        header->resizeSection(0, qMax(fewestForNames, room - others));
        const int missing = header->length() - room;
        if (missing <= 0)
            return;
        const QRect area = FramePlacement::availableArea(frameGeometry().center());
        int wider = width() + missing;
        if (!area.isEmpty())
            wider = qMin(wider, area.width() * SCREEN_SHARE_PERCENT / 100);
        if (wider <= width())
            return;
        if (!isVisible()) {
            resize(wider, height());
            return;
        }
        const QRect grown = geometry().adjusted(-(wider - width()) / 2, 0, (wider - width() + 1) / 2, 0);
        setGeometry(FramePlacement::inside(grown, area, FramePlacement::expectedFrame(this)));
    }

    QWidget *opener;
    QTreeView *view;
    QListView *places;
    QSplitter *splitter;
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
    PromptDialog box(parent, title, text);
    box.setButtons(QStringLiteral("是"), QStringLiteral("否"));
    return box.exec() == QDialog::Accepted;
}

void showInformation(QWidget *parent, const QString &title, const QString &text, const QString &buttonText)
{
    if (handlers().information) {
        handlers().information(parent, title, text);
        return;
    }
    PromptDialog box(parent, title, text);
    box.setButtons(buttonText.isEmpty() ? QStringLiteral("确定") : buttonText);
    box.exec();
}

void setQuestionHandler(QuestionHandler handler) { handlers().question = std::move(handler); }
void setInformationHandler(InformationHandler handler) { handlers().information = std::move(handler); }

QString getText(QWidget *parent, const QString &title, const QString &label, QLineEdit::EchoMode mode, bool *ok)
{
    if (handlers().input)
        return handlers().input(parent, title, label, mode, ok);
    PromptDialog dialog(parent, title, label);
    dialog.setButtons(QStringLiteral("确定"), QStringLiteral("取消"));
    dialog.askForText(mode);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (ok)
        *ok = accepted;
    return accepted ? dialog.typedText() : QString();
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

// A length a test has set, or the real one where it has set none.
template<class T>
T orReal(T set, T real)
{
    return set > 0 ? set : real;
}

int jobPauseMs() { return orReal(handlers().jobPauseMs, JOB_PAUSE_MS); }
void setJobPauseMs(int ms) { handlers().jobPauseMs = ms; }

int noticeWaitMs() { return orReal(handlers().noticeWaitMs, NOTICE_WAIT_MS); }
void setNoticeWaitMs(int ms) { handlers().noticeWaitMs = ms; }

int replyWaitMs() { return orReal(handlers().replyWaitMs, REPLY_WAIT_MS); }
void setReplyWaitMs(int ms) { handlers().replyWaitMs = ms; }

int closeGraceMs() { return orReal(handlers().closeGraceMs, CLOSE_GRACE_MS); }
void setCloseGraceMs(int ms) { handlers().closeGraceMs = ms; }

int firmwareWaitMs() { return orReal(handlers().firmwareWaitMs, FIRMWARE_WAIT_MS); }
void setFirmwareWaitMs(int ms) { handlers().firmwareWaitMs = ms; }

qint64 clientLogBytesPerDay() { return orReal(handlers().clientLogBytesPerDay, CLIENT_LOG_BYTES_PER_DAY); }
void setClientLogBytesPerDay(qint64 bytes) { handlers().clientLogBytesPerDay = bytes; }

qint64 fileTimeStepNs() { return orReal(handlers().fileTimeStepNs, FILE_TIME_STEP_NS); }

qint64 fileTimeNs(qint64 reportedNs)
{
    const qint64 step = handlers().fileTimeStepNs;
    if (step <= 0)
        return reportedNs;
    const qint64 rest = reportedNs % step;
    return reportedNs - (rest < 0 ? rest + step : rest);
}

void setFileTimeStepNs(qint64 ns) { handlers().fileTimeStepNs = ns; }

QDateTime now()
{
    return handlers().clock ? handlers().clock() : QDateTime::currentDateTime();
}

void setClockHandler(ClockHandler handler) { handlers().clock = std::move(handler); }

void openUrl(const QUrl &url, const std::function<void()> &failed)
{
    const std::function<void()> fail = failed ? failed : [] {};
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
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, fail](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qWarning().noquote() << "xdg-open did not start:" << opener->errorString();
        fail();
        opener->deleteLater();
    });
    QObject::connect(opener, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), opener,
                     [opener, fail, running](int code, QProcess::ExitStatus status) {
                         if ((status != QProcess::NormalExit || code != 0)
                             && running.elapsed() < OPEN_FAILURE_WINDOW_MS) {
                             qWarning().noquote() << "xdg-open found nothing to open the document with, exit code"
                                                  << code;
                             fail();
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
