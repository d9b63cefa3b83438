#include "app/templatefavourites.h"

#include "util/jsonutil.h"

namespace {

const char *const CONFIG_KEY = "template.default";
const QChar SEPARATOR = QLatin1Char('|');

} // namespace

QStringList TemplateFavourites::load()
{
    const QString stored = JsonUtil::getCustomConfig(QLatin1String(CONFIG_KEY), QString());
    return stored.isEmpty() ? QStringList() : stored.split(SEPARATOR);
}

bool TemplateFavourites::store(const QStringList &names)
{
    return JsonUtil::setCustomConfig(QLatin1String(CONFIG_KEY), names.join(SEPARATOR));
}

TemplateFavourites::SwitchOn TemplateFavourites::switchOn(QStringList &names, const QString &name)
{
    if (names.size() >= MAX_COUNT && !names.contains(QString()))
        return SwitchOn::Full;
    if (names.contains(name))
        return SwitchOn::AlreadyThere;
    names.append(name);
    return SwitchOn::Added;
}

void TemplateFavourites::switchOff(QStringList &names, const QString &name)
{
    names.removeOne(name);
}

bool TemplateFavourites::follow(QStringList &names, const QString &from, const QString &to)
{
    const int index = names.indexOf(from);
    if (index < 0)
        return false;
    if (to.isEmpty() || names.contains(to))
        names.removeAt(index);
    else
        names[index] = to;
    return true;
}
