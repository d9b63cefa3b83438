#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// Reading and writing the JSON stores under the attachment folder.
//
// A missing or zero-byte file reads as empty. A file that exists but cannot
// be read, or a non-empty file that does not hold the expected form, is
// renamed to "<name>.bad-<yyyyMMddhhmmss>" with a warning before it is
// treated as empty, so the next write loses nothing the user had. Writes go
// through QSaveFile and SafeSave: a crash or a full disk mid-write leaves the
// old file whole, and a failed write is logged and returned.
namespace JsonFile {

// Parses bytes that may begin with a UTF-8 byte-order mark.
QJsonDocument parse(const QByteArray &bytes, QJsonParseError *error = nullptr);

// The file's bytes: empty for a missing file, and with a warning for one that
// cannot be read (then `readable`, if given, is set to false).
QByteArray readBytes(const QString &path, bool *readable = nullptr);

QJsonObject readObject(const QString &path);
QJsonArray readArray(const QString &path);

// Indented layout, UTF-8 without a byte-order mark, final line feed.
bool write(const QString &path, const QJsonDocument &doc);
inline bool write(const QString &path, const QJsonObject &object) { return write(path, QJsonDocument(object)); }
inline bool write(const QString &path, const QJsonArray &array) { return write(path, QJsonDocument(array)); }

// Creates an empty (zero-byte) file when none exists.
bool ensureExists(const QString &path);

// How many writes this program has begun, whether or not they succeeded. A
// reader that keeps what it read from a file knows by it that the program
// itself may have changed the file, however close in time the writes came.
quint64 writeCount();

} // namespace JsonFile
