#pragma once

// Which templates a template list shows (the template page and the recycle
// bin): the templates of one archive category whose names contain a given
// text, letter case included.

#include "model/templatemodel.h"

#include <QList>
#include <QString>

class TemplateListFilter
{
public:
    TemplateListFilter() = delete;

    // The category entry of the lists' combo boxes that shows every category.
    static constexpr const char *ALL_TYPES = "全部";

    // The templates of list whose type equals type (every type when type is
    // empty or ALL_TYPES) and whose name contains name (every name when name
    // is empty), in list order.
    static QList<TemplateModel> apply(const QList<TemplateModel> &list, const QString &type, const QString &name);
};
