#include "app/helppage.h"

#include "util/jsonutil.h"
#include "util/settingutil.h"

#include <QNetworkInterface>

namespace {

// One paragraph holding a line break: the pages' spacing.
const QString GAP = QStringLiteral("\n");

} // namespace

HelpPage HelpPage::forNumber(int number)
{
    switch (number) {
    case API:
        return api(QNetworkInterface::allAddresses(),
                   JsonUtil::getCustomConfig(QStringLiteral("api.address"), QStringLiteral("Any")),
                   JsonUtil::getApiPort());
    case ABOUT:
        return about(SettingUtil::s_companyInfo);
    case VERSIONS:
        return versions(PrinterUtil::s_printerHardVersion);
    default:
        return empty();
    }
}

QString HelpPage::apiHost(const QList<QHostAddress> &hostAddresses, const QString &configuredAddress)
{
    const QHostAddress configured(configuredAddress);
    const bool any = configuredAddress == QLatin1String("Any") || configured == QHostAddress(QHostAddress::AnyIPv4)
                     || configured == QHostAddress(QHostAddress::AnyIPv6);
    if (!any) {
        if (configured.protocol() == QAbstractSocket::IPv6Protocol)
            return QLatin1Char('[') + configured.toString() + QLatin1Char(']');
        // Text that is no address is shown as configured: it is what the server was told.
        return configured.isNull() ? configuredAddress : configured.toString();
    }
    for (const QHostAddress &address : hostAddresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toIPv4Address() != 0
            && !address.isLoopback())
            return address.toString();
    }
    return QString();
}

HelpPage HelpPage::api(const QList<QHostAddress> &hostAddresses, const QString &configuredAddress, quint16 port)
{
    HelpPage page;
    page.title = QStringLiteral("API接口");
    page.textStyle = QStringLiteral("font-size:18px;");
    page.paragraphs = QStringList{GAP, GAP, QStringLiteral("接口类型：websocket"),
                       QStringLiteral("URL：ws://%1:%2").arg(apiHost(hostAddresses, configuredAddress), QString::number(port))};
    return page;
}

HelpPage HelpPage::about(const QStringList &companyLines)
{
    HelpPage page;
    page.title = QStringLiteral("关于我们");
    page.paragraphs.append(GAP);
    for (const QString &line : companyLines)
        page.paragraphs.append(line + GAP);
    return page;
}

HelpPage HelpPage::versions(const PrinterHardVerInfo &versions)
{
    HelpPage page;
    page.title = QStringLiteral("硬件版本");
    page.paragraphs = QStringList{GAP, QStringLiteral("主控版本号：%1 \n").arg(versions.masterVersion),
                       QStringLiteral("电控版本号：%1 \n").arg(versions.motionVersion)};
    return page;
}

HelpPage HelpPage::empty()
{
    HelpPage page;
    page.title = QStringLiteral("帮助文档");
    return page;
}
