#include "app/adminlogin.h"

#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/textutil.h"

QString AdminLogin::expectedPassword(const QDate &day)
{
    return QLatin1String(PASSWORD_PREFIX) + day.toString(QStringLiteral("yyMMdd"));
}

bool AdminLogin::login(QWidget *parent)
{
    const QString key = QLatin1String(CONFIG_KEY);
    if (JsonUtil::getCustomConfig(key, QStringLiteral("false")) != QLatin1String("true"))
        return false;
    bool accepted = false;
    const QString typed = Seams::getText(parent, QStringLiteral("管理员登录"), QStringLiteral("请输入管理员密码"),
                                         QLineEdit::Password, &accepted);
    if (accepted && typed == expectedPassword(Seams::now().date())) {
        TextUtil::showSuccess(QStringLiteral("管理员登录成功"));
        return true;
    }
    JsonUtil::setCustomConfig(key, QStringLiteral("false"));
    return false;
}
