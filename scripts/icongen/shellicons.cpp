#include "icongen.h"

QList<IconSpec> shellIcons()
{
    return {};
}
