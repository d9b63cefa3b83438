#include "editor/templatetrash.h"

#include "editor/picturefilebook.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"

TemplateTrash::Outcome TemplateTrash::moveIn(const QString &name)
{
    // The store would refuse the deletion too, but only after the bin had
    // taken a copy.
    if (JsonUtil::getSysTemplateNames().contains(name))
        return Outcome::BuiltIn;
    // Moved as stored: a size stored as 0 still reads as the default.
    const TemplateModel model = JsonUtil::parseStoredTemplate(name);
    if (model.name.isEmpty())
        return Outcome::NotFound;
    if (!JsonUtil::saveTemplateToTrash(model))
        return Outcome::BinNotWritten;
    if (!JsonUtil::deleteTemplate(name))
        return Outcome::StoreNotWritten;
    return Outcome::Done;
}

TemplateTrash::Outcome TemplateTrash::restore(const QString &name)
{
    const TemplateModel model = JsonUtil::parseStoredTemplateFromTrash(name);
    if (model.name.isEmpty())
        return Outcome::NotFound;
    if (!JsonUtil::saveTemplate(model, false))
        return Outcome::StoreNotWritten;
    if (!JsonUtil::deleteTemplateFromTrash(name))
        return Outcome::BinNotWritten;
    return Outcome::Done;
}

TemplateTrash::Purge TemplateTrash::purge(const QStringList &names, const TemplateModel *openTemplate)
{
    Purge result;
    QStringList backgrounds;
    for (const QString &name : names) {
        const QString background = PictureFileBook::customBackground(JsonUtil::parseTemplateFromTrash(name).background);
        if (!JsonUtil::deleteTemplateFromTrash(name)) {
            result.complete = false;
            break;
        }
        if (!background.isEmpty())
            backgrounds.append(FileUtil::getFilePathFromCustomPixmap(background));
    }
    // Checked once all are gone: a file two removed entries shared goes too.
    result.undeletedFiles = PictureFileBook::deleteUnreferenced(backgrounds, openTemplate);
    return result;
}
