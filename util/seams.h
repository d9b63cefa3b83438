#pragma once

// The few places where the program meets its surroundings: the program's
// folder, modal dialogs, the screen and the notification toast. Production code
// calls these functions, which do the real thing; tests install handlers to
// answer dialogs, pin the screen or record toasts. Nothing else in the code base
// is replaceable from outside.

#include <QLineEdit>
#include <QSize>
#include <QSizeF>
#include <QString>
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
void showInformation(QWidget *parent, const QString &title, const QString &text);
void setQuestionHandler(QuestionHandler handler);
void setInformationHandler(InformationHandler handler);

// Text prompt; ok is false when the user cancels.
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

// Drops every handler and override, back to the real thing.
void resetAll();

} // namespace Seams
