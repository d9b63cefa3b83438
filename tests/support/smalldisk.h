#pragma once

// A 64 KiB tmpfs mounted over a temporary folder for its lifetime: a real
// file system that runs full. Mounting needs root; refusal() tells why it
// is not there.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

class SmallDisk
{
public:
    SmallDisk();
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    QString refusal() const { return m_refusal; }
    QString path() const { return m_dir.path(); }
    // Takes every free block; true when the file system then refuses a byte.
    bool fill() const;
    // Every file under the mount point, by relative path.
    QMap<QString, QByteArray> files() const;

private:
    QTemporaryDir m_dir;
    QString m_refusal;
};

} // namespace TestSupport
