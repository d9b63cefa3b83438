#include "app/serialpermission.h"

#include "util/seams.h"

#include <QDebug>
#include <QRegularExpression>
#include <QStringList>

namespace {

const char SUDO[] = "sudo";

} // namespace

bool SerialPermission::isPortName(const QString &portName)
{
    static const QRegularExpression pattern(QStringLiteral("^tty(USB|ACM)[0-9]+$"));
    return pattern.match(portName).hasMatch();
}

bool SerialPermission::grant(const QString &portName, const QString &password)
{
    if (!isPortName(portName))
        return false;
    // An empty prompt keeps sudo's question out of the output; -S reads the
    // password from standard input.
    const QStringList arguments{QStringLiteral("-S"), QStringLiteral("-p"), QString(),
                                QStringLiteral("chmod"), QStringLiteral("666"),
                                QStringLiteral("/dev/") + portName};
    qDebug().noquote() << "cmd :" << QLatin1String(SUDO) << QStringLiteral("-S -p \"\" chmod 666 /dev/") + portName;
    const Seams::PrivilegedResult result =
        Seams::runPrivileged(QLatin1String(SUDO), arguments, password.toUtf8() + '\n', TIMEOUT_MS);
    if (result.exitCode != 0) {
        qWarning().noquote() << QStringLiteral("串口权限提升失败，退出码:") << result.exitCode
                             << QString::fromLocal8Bit(result.output).trimmed();
        return false;
    }
    return true;
}
