#include "editor/templatelistfilter.h"

QList<TemplateModel> TemplateListFilter::apply(const QList<TemplateModel> &list, const QString &type,
                                               const QString &name)
{
    const bool anyType = type.isEmpty() || type == QString::fromUtf8(ALL_TYPES);
    QList<TemplateModel> shown;
    shown.reserve(list.size());
    for (const TemplateModel &model : list) {
        if ((anyType || model.type == type) && model.name.contains(name, Qt::CaseSensitive))
            shown.append(model);
    }
    return shown;
}
