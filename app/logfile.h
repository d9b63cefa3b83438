#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

// Messages of this category, and every message emitted while a
// ClientCause is open, are an API client's doing: its connections, the text
// it sent, what the server notes of each request, and the lines of what it
// started (a print job, the printer's answers to it). Each is written as
// one line, with every character that could break or reorder it escaped,
// and once a day's log has taken Seams::clientLogBytesPerDay() of them, the rest of
// that day's are dropped (one line says so), also across restarts of the
// program that day. The program's own messages are always written, as they
// are.
Q_DECLARE_LOGGING_CATEGORY(clientText)

// The daily log beside the program: every message any part of the system
// emits through Qt's message functions is appended, as one timestamped line,
// to <program folder>/log/log<yyyyMMdd>.txt of the day its stamp names.
// Beside them, log/clientshare keeps how much of the day's log client lines
// have taken, for a restart the same day.
class LogFile
{
public:
    LogFile() = delete;

    // The message handler. It never emits a message of its own: a line that
    // cannot reach the file goes to standard error.
    static void outputMessage(QtMsgType type, const QMessageLogContext &context, const QString &msg);
    // Installs outputMessage, as at start-up: what the day's log holds of
    // client lines is read afresh at the next line. Returns the handler it
    // replaces.
    static QtMessageHandler install();

    static QString folderPath();
    static QString filePath(const QDate &day);
    // "yyyy-MM-dd hh:mm:ss <msg>" ended by CR LF, in UTF-8 without a BOM.
    static QByteArray formatLine(const QDateTime &when, const QString &msg);
    // CR and LF as "\r" and "\n"; every other control character, line or
    // paragraph separator and format character (Unicode categories Cc, Zl,
    // Zp, Cf) as "\xNN", "\uNNNN" or "\UNNNNNNNN" by its code point, so the
    // text can neither break a line, pose as one, nor show it reordered.
    static QString escapeControls(const QString &text);

private:
    static bool append(const QByteArray &line, const QString &path);
    // Appends to the day's file, or falls back to standard error.
    static void write(const QByteArray &line, const QString &path);
};
