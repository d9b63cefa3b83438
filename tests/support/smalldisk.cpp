#include "support/smalldisk.h"

#include "support/testsupport.h"

#include <QDirIterator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace TestSupport {

SmallDisk::SmallDisk()
{
    if (geteuid() != 0)
        m_refusal = QStringLiteral("mounting a tmpfs needs root");
    else if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k") != 0)
        m_refusal = QStringLiteral("mount refused: ") + QString::fromLocal8Bit(std::strerror(errno));
}

SmallDisk::~SmallDisk()
{
    if (m_refusal.isEmpty())
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool SmallDisk::fill() const
{
    const int fd = ::open(QFile::encodeName(m_dir.filePath(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    const bool full = ::write(fd, "x", 1) < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

QMap<QString, QByteArray> SmallDisk::files() const
{
    QMap<QString, QByteArray> result;
    QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        result.insert(QDir(m_dir.path()).relativeFilePath(path), readFile(path));
    }
    return result;
}

} // namespace TestSupport
