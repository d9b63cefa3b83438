#pragma once

#include <QString>

class QSaveFile;

// Puts what was written to a QSaveFile in place of the old file only once
// every byte is known to have reached the disk.
//
// QSaveFile::commit() in Qt 5.15 does not notice when its own final flush
// fails: on a full disk, content small enough to sit in Qt's write buffer
// never reaches the file, and an empty or cut file is renamed over the old
// one with success reported. Flushing and syncing first catches that; on any
// failure the write is cancelled and the old file stays as it was.
//
// Needs QtCore only, so the tools under scripts/ can use it as well.
namespace SafeSave {

// False, with the reason in *error when given, when the file could not be
// put in place; the temporary file is gone either way.
bool commit(QSaveFile &file, QString *error = nullptr);

} // namespace SafeSave
