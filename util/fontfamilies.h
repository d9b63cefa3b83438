#pragma once

#include <QStringList>

// Font families as a person names them. The font database lists a family
// that several foundries provide once per foundry ("C059 [urw]",
// "C059 [UKWN]"); Qt finds the family by its plain name from any foundry.
class FontFamilies
{
public:
    // Each family once, by its plain name, in the order first met.
    static QStringList plainNames(const QStringList &families);
};
