#pragma once

#include <QChar>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// The INI settings config.ini, read once at start-up from the working
// directory: branding, contact lines and the special symbols of text layout.
class SettingUtil
{
public:
    SettingUtil() = delete;

    static constexpr const char *INI_FILE = "config.ini";
    static constexpr const char *DEFAULT_APP_NAME = "Tarnwick";
    // The nine symbols text layout treats apart unless config.ini names others.
    static const QString DEFAULT_SPECIAL_SYMBOLS;

    static bool s_isConfiged;
    static QString s_appTitle;
    static QString s_logoPath;
    static QString s_welcomeImgPath;
    static QString s_appFullName;
    static QStringList s_companyInfo;
    static QVector<QChar> s_tempSpecialSymbol;

    static void initSettings();
    // contact1..contact4 of group Company, read afresh.
    static QStringList getCompanyInfo();
    // Reads title and logo afresh, sets s_appTitle and s_logoPath, returns (title, logo as read).
    static QPair<QString, QString> getApplicationInfo();
};
