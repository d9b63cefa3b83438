#include "icongen.h"

QList<IconSpec> editorIcons()
{
    return {};
}
