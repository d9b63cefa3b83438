#include "app/networksettings.h"

#include "util/jsonutil.h"

#include <QRegularExpression>

namespace {

constexpr int OCTETS = 4;
constexpr int MAX_OCTET = 255;
constexpr int MIN_PORT = 1;
constexpr int MAX_PORT = 65535;

// A whole number of at most maxDigits digits within [low, high], blanks
// around it allowed.
bool readNumber(const QString &text, int maxDigits, int low, int high, int *value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QString trimmed = text.trimmed();
    if (trimmed.size() > maxDigits || !digits.match(trimmed).hasMatch())
        return false;
    *value = trimmed.toInt();
    return *value >= low && *value <= high;
}

bool readAddress(const QStringList &parts, QString *dotted)
{
    if (parts.size() != OCTETS)
        return false;
    QStringList octets;
    for (const QString &part : parts) {
        int octet = 0;
        if (!readNumber(part, 3, 0, MAX_OCTET, &octet))
            return false;
        octets << QString::number(octet);
    }
    *dotted = octets.join(QLatin1Char('.'));
    return true;
}

} // namespace

bool NetworkSettings::parse(const QStringList &ipParts, const QStringList &maskParts,
                            const QStringList &gatewayParts, const QString &portText, NetworkSettings *settings,
                            QString *error)
{
    const struct {
        const QStringList &parts;
        QString *dotted;
        const char *name;
    } addresses[] = {{ipParts, &settings->ip, "IP地址"},
                     {maskParts, &settings->mask, "子网掩码"},
                     {gatewayParts, &settings->gateway, "网关"}};
    for (const auto &address : addresses) {
        if (!readAddress(address.parts, address.dotted)) {
            *error = QStringLiteral("%1输入有误，每段应为0到255之间的整数").arg(QString::fromUtf8(address.name));
            return false;
        }
    }
    if (!readNumber(portText, 5, MIN_PORT, MAX_PORT, &settings->port)) {
        *error = QStringLiteral("端口输入有误，应为1到65535之间的整数");
        return false;
    }
    return true;
}

QStringList NetworkSettings::octetTexts(const quint8 (&octets)[4])
{
    QStringList texts;
    for (const quint8 octet : octets)
        texts << QString::number(octet);
    return texts;
}

void NetworkSettings::remember() const
{
    JsonUtil::setCustomConfig(QStringLiteral("socket.ip"), ip);
    JsonUtil::setCustomConfig(QStringLiteral("socket.mask"), mask);
    JsonUtil::setCustomConfig(QStringLiteral("socket.gateway"), gateway);
    JsonUtil::setCustomConfig(QStringLiteral("socket.port"), QString::number(port));
}
