#pragma once

// Moving templates into the recycle bin and out of it. A move writes two
// store files; the second is written only once the first write succeeded,
// so a failed write never loses a template: at worst it sits in both files.

#include "model/templatemodel.h"

#include <QString>
#include <QStringList>

class TemplateTrash
{
public:
    TemplateTrash() = delete;

    enum class Outcome {
        Done,
        // A built-in template, which is never deleted; nothing was written.
        BuiltIn,
        // No template (or bin entry) of that name; nothing was written.
        NotFound,
        // The recycle bin was not written.
        BinNotWritten,
        // The user templates were not written.
        StoreNotWritten,
    };

    // Puts a user template into the recycle bin, then removes it from the
    // user templates.
    static Outcome moveIn(const QString &name);
    // Stores the bin's entry as a user template (replacing one of the same
    // name), then removes it from the bin.
    static Outcome restore(const QString &name);

    struct Purge {
        // Every name was removed; false when a removal failed and the rest
        // were left.
        bool complete = true;
        // Custom backgrounds of removed entries that nothing uses any more
        // but that could not be deleted.
        QStringList undeletedFiles;
    };
    // Removes the bin's entries in order, stopping at the first that cannot
    // be removed, then deletes the custom backgrounds of the removed entries
    // that no user template, bin entry or openTemplate (when given) uses.
    static Purge purge(const QStringList &names, const TemplateModel *openTemplate);
};
