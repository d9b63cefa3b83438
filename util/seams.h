#pragma once

// The few places where the program meets its surroundings: the program's
// folder, modal dialogs, the screen, the serial devices, commands run with
// raised privileges, the notification toast, the desktop's URL opener, the
// file system's clock and the wall clock. Production code calls these
// functions, which do the real thing; tests install handlers to answer
// dialogs, pin the screen or the clock, or record toasts.
// Nothing else in the code base is replaceable from outside.

#include <QByteArray>
#include <QDateTime>
#include <QLineEdit>
#include <QList>
#include <QSerialPort>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QWidget;

namespace Seams {

// The directory of the running executable, without a trailing separator.
QString programDir();
// Tests point the program at a temporary folder; an empty path restores the real one.
void setProgramDir(const QString &dir);

// Notification toast. Without a handler TextUtil::showTip shows the real toast.
using ToastHandler = std::function<void(const QString &text, const QString &color, const QString &background)>;
void setToastHandler(ToastHandler handler);
const ToastHandler &toastHandler();

// File dialogs: caption, start folder, filter; an empty result means cancelled.
// The real dialog is Qt's own, modal over the parent's window but not its
// child, so none of the parent's style sheets reach it. It opens centred
// over that window at a share of the screen, and its columns are widened to
// what they show.
using FileDialogHandler = std::function<QString(QWidget *parent, const QString &caption,
                                                const QString &dir, const QString &filter)>;
QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
void setOpenFileHandler(FileDialogHandler handler);
void setSaveFileHandler(FileDialogHandler handler);

// Message boxes. A question offers "是" and "否" and returns true for "是".
using QuestionHandler = std::function<bool(QWidget *parent, const QString &title, const QString &text)>;
using InformationHandler = std::function<void(QWidget *parent, const QString &title, const QString &text)>;
bool askQuestion(QWidget *parent, const QString &title, const QString &text);
// The box's only button reads buttonText when one is given, else Qt's own Ok.
void showInformation(QWidget *parent, const QString &title, const QString &text,
                     const QString &buttonText = QString());
void setQuestionHandler(QuestionHandler handler);
void setInformationHandler(InformationHandler handler);

// Text prompt with the buttons "确定" and "取消"; ok is false when the user cancels.
using InputHandler = std::function<QString(QWidget *parent, const QString &title, const QString &label,
                                           QLineEdit::EchoMode mode, bool *ok)>;
QString getText(QWidget *parent, const QString &title, const QString &label, QLineEdit::EchoMode mode, bool *ok);
void setInputHandler(InputHandler handler);

// The primary screen's size in pixels and in millimetres.
struct ScreenSize {
    QSize pixels;
    QSizeF millimetres;
};
using ScreenHandler = std::function<ScreenSize()>;
ScreenSize screenSize();
void setScreenHandler(ScreenHandler handler);

// Serial devices present on the machine: the device name ("ttyUSB0") and the
// path that is opened for it. Tests offer pseudo-terminals under such names.
struct SerialPortEntry {
    QString name;
    QString systemLocation;
};
using SerialPortListHandler = std::function<QList<SerialPortEntry>()>;
QList<SerialPortEntry> availableSerialPorts();
void setSerialPortListHandler(SerialPortListHandler handler);

// Opens port (its name already set) for the device called name. On failure
// error and errorText tell why. Tests may refuse a device with an error of
// their choosing (running as root, no permission error can be provoked);
// a handler returning NoError lets the real open go ahead.
using SerialOpenHandler = std::function<QSerialPort::SerialPortError(const QString &name)>;
bool openSerialPort(QSerialPort &port, const QString &name, QIODevice::OpenMode mode,
                    QSerialPort::SerialPortError *error, QString *errorText);
void setSerialOpenHandler(SerialOpenHandler handler);

// A command run with raised privileges (sudo): program and argument list as
// they are, input written to its standard input and then closed, at most
// timeoutMs of waiting. exitCode is -1 when it did not start, crashed or was
// stopped at the bound; output holds what it wrote to its standard output and
// error. Tests record the call instead of running anything.
struct PrivilegedResult {
    int exitCode = -1;
    QByteArray output;
};
using PrivilegedHandler = std::function<PrivilegedResult(const QString &program, const QStringList &arguments,
                                                         const QByteArray &input, int timeoutMs)>;
PrivilegedResult runPrivileged(const QString &program, const QStringList &arguments, const QByteArray &input,
                               int timeoutMs);
void setPrivilegedHandler(PrivilegedHandler handler);

// The pause a print job makes between its steps: after the handshake reply,
// between pages, before a test page and before an API preview closes. Tests
// shorten it; 0 or less restores the real 1000 ms.
constexpr int JOB_PAUSE_MS = 1000;
int jobPauseMs();
void setJobPauseMs(int ms);

// How long a print job that sends nothing more (cancelled, stopped, cut off
// from the printer or without its window) still waits for the notice of the
// page it sent last. Tests shorten it; 0 or less restores the real 10000 ms.
constexpr int NOTICE_WAIT_MS = 10000;
int noticeWaitMs();
void setNoticeWaitMs(int ms);

// How long a print job awaits the printer's answer to its handshake or to a
// test page, which a printer gives at once; past it the job ends. Tests
// shorten it; 0 or less restores the real 10000 ms.
constexpr int REPLY_WAIT_MS = 10000;
int replyWaitMs();
void setReplyWaitMs(int ms);

// How long a firmware image awaits the printer's answer once its last byte
// has left the terminal; past it the printer counts as free again, its
// update's outcome unknown. Tests shorten it; 0 or less restores the real
// 120000 ms.
constexpr int FIRMWARE_WAIT_MS = 120000;
int firmwareWaitMs();
void setFirmwareWaitMs(int ms);

// The bytes of API clients' lines a day's log takes before the rest of that
// day's are dropped (LogFile). Tests make it small, so spending it writes
// no 64 MiB; 0 or less restores the real 64 MiB.
constexpr qint64 CLIENT_LOG_BYTES_PER_DAY = 64 * 1024 * 1024;
qint64 clientLogBytesPerDay();
void setClientLogBytesPerDay(qint64 bytes);

// How long a closed API client's unsent replies stay queued for it before
// its connection is dropped. Tests lengthen it, so that it cannot run out
// while a slow machine does the rest; 0 or less restores the real 5000 ms.
constexpr int CLOSE_GRACE_MS = 5000;
int closeGraceMs();
void setCloseGraceMs(int ms);

// The times a file system keeps of a file's last changes (contents and
// entry), and the step they move in: nanoseconds on ext4, whole seconds on
// ext3, two seconds on FAT. A change within one step of the last leaves
// them as they were, so the template store trusts a file's unchanged times
// only when they lie more than two steps before it looked (and reads the
// bytes otherwise). The real times come as the system reports them, their
// step taken as FILE_TIME_STEP_NS, the coarsest the program's folder may
// lie on. Tests set a coarser step, to which the times are then cut down,
// standing for such a file system (mounting one takes root); 0 or less
// restores the real ones.
constexpr qint64 FILE_TIME_STEP_NS = 2000000000;
qint64 fileTimeStepNs();
// A time the system reported, in nanoseconds since the epoch, as the file
// system would have kept it.
qint64 fileTimeNs(qint64 reportedNs);
void setFileTimeStepNs(qint64 ns);

// The local date and time now, for whatever goes by the calendar day: the
// log's lines and files, the print record's days, the home page's today and
// the administrator's password of the day. Tests set the clock to a moment
// of their choosing, a midnight or a year's end among them.
using ClockHandler = std::function<QDateTime()>;
QDateTime now();
void setClockHandler(ClockHandler handler);

// Opens url with the desktop's default program (the user manual in a PDF
// viewer). failed runs when nothing opened it: at once, or once the
// desktop's opener has given up. Tests record the URL instead; a handler
// returning false stands for a desktop that opened nothing.
using UrlOpenerHandler = std::function<bool(const QUrl &url)>;
void openUrl(const QUrl &url, const std::function<void()> &failed);
void setUrlOpenerHandler(UrlOpenerHandler handler);

// Whether the window system blends a translucent window with what lies
// beneath it: an X11 session does so only while a compositing manager runs,
// other platforms always. Tests pin the answer.
using CompositingHandler = std::function<bool()>;
bool windowsBlend();
void setCompositingHandler(CompositingHandler handler);

// Drops every handler and override, back to the real thing.
void resetAll();

} // namespace Seams
