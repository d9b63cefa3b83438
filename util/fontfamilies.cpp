#include "util/fontfamilies.h"

#include <QRegularExpression>

QStringList FontFamilies::plainNames(const QStringList &families)
{
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]\\s*$"));
    QStringList plain;
    plain.reserve(families.size());
    for (const QString &family : families) {
        const QString name = QString(family).remove(foundry);
        plain.append(name.isEmpty() ? family : name);
    }
    plain.removeDuplicates();
    return plain;
}
