#pragma once

#include <QDate>
#include <QString>

class QWidget;

// Administrator mode: the user configuration key "admin.feature" is "true"
// and the password typed when the main window is built is right. A wrong or
// cancelled entry turns the key to "false", so later starts do not ask.
class AdminLogin
{
public:
    AdminLogin() = delete;

    static constexpr const char *CONFIG_KEY = "admin.feature";
    // The password is this prefix followed by the day as yyMMdd.
    static constexpr const char *PASSWORD_PREFIX = "kelo";

    static QString expectedPassword(const QDate &day);

    // Asks for the password when administrator mode is configured; whether
    // administrator mode is on for this run. The typed text is never logged.
    static bool login(QWidget *parent);
};
