#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The daily log beside the program: every message any part of the system
// emits through Qt's message functions is appended, as one timestamped line,
// to <program folder>/log/log<yyyyMMdd>.txt.
class LogFile
{
public:
    LogFile() = delete;

    // The message handler installed at start-up. It never emits a message of
    // its own: a line that cannot reach the file goes to standard error.
    static void outputMessage(QtMsgType type, const QMessageLogContext &context, const QString &msg);

    static QString folderPath();
    static QString filePath(const QDate &day);
    // "yyyy-MM-dd hh:mm:ss <msg>" ended by CR LF, in UTF-8 without a BOM.
    static QByteArray formatLine(const QDateTime &when, const QString &msg);

private:
    static bool append(const QByteArray &line);
};
