#include "util/safesave.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace SafeSave {

bool commit(QSaveFile &file, QString *error)
{
    QString why;
    if (!file.flush())
        why = file.errorString();
    else if (::fsync(file.handle()) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno)); // delayed allocation reports a full disk only here
    if (why.isEmpty() && file.commit())
        return true;
    if (why.isEmpty()) {
        why = file.errorString();
    } else {
        file.cancelWriting();
        file.commit(); // removes the temporary file now rather than when the object goes
    }
    if (error)
        *error = why;
    return false;
}

} // namespace SafeSave
