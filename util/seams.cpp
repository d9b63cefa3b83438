#include "util/seams.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSerialPortInfo>

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
    int jobPauseMs = 0;
    int noticeWaitMs = 0;
};

Handlers &handlers()
{
    static Handlers h;
    return h;
}

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
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    if (handlers().saveFile)
        return handlers().saveFile(parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
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

bool openUrl(const QUrl &url)
{
    if (handlers().urlOpener)
        return handlers().urlOpener(url);
    return QDesktopServices::openUrl(url);
}

void setUrlOpenerHandler(UrlOpenerHandler handler) { handlers().urlOpener = std::move(handler); }

void resetAll() { handlers() = Handlers(); }

} // namespace Seams
