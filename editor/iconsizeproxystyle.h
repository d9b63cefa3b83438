#pragma once

#include <QProxyStyle>

// A style that draws small icons (menu entries) at a size of its own and
// asks its base for everything else. Editors share one instance over the
// application's own style: a style sheet's style would die with the window
// that owns the sheet and leave the next editor's menu on a deleted style.
class IconSizeProxyStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Without a base, the proxy makes its own of the desktop's style.
    explicit IconSizeProxyStyle(int iconSize, QStyle *base = nullptr);
    ~IconSizeProxyStyle() override = default;

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;

    // The editors' instance, 22 pixels, made on first use and owned by the
    // application.
    static IconSizeProxyStyle *shared();

private:
    int m_iconSize;
};
