#include "editor/iconsizeproxystyle.h"

#include <QApplication>
#include <QPointer>

namespace {

constexpr int MENU_ICON_SIZE = 22;

} // namespace

IconSizeProxyStyle::IconSizeProxyStyle(int iconSize, QStyle *base)
    : QProxyStyle(base)
    , m_iconSize(iconSize)
{
}

int IconSizeProxyStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (metric == PM_SmallIconSize)
        return m_iconSize;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

IconSizeProxyStyle *IconSizeProxyStyle::shared()
{
    static QPointer<IconSizeProxyStyle> instance;
    if (!instance) {
        instance = new IconSizeProxyStyle(MENU_ICON_SIZE);
        instance->setParent(qApp);
    }
    return instance;
}
