#include "editor/defaulttitle.h"

QString DefaultTitle::firstFree(const QString &prefix, const QStringList &taken, int count)
{
    for (int n = 1; n <= count; ++n) {
        const QString candidate = prefix + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
    return prefix;
}
