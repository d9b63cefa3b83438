#include "util/fontfamilies.h"

#include <QRegularExpression>
#include <QSet>

QStringList FontFamilies::plainNames(const QStringList &families)
{
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]\\s*$"));
    QStringList plain;
    QSet<QString> seen;
    for (const QString &family : families) {
        QString name = family;
        name.remove(foundry);
        if (name.isEmpty())
            name = family;
        if (seen.contains(name))
            continue;
        seen.insert(name);
        plain.append(name);
    }
    return plain;
}
