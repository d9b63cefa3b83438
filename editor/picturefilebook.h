#pragma once

// The books an editing session keeps on the picture copies in the picture
// folder ("/attachment/picture/"): the files it copied in and the files it
// dropped from the template since it opened or last stored the template.
//
// Picture files are shared by name: pasted elements use their source's
// file, and a template saved under a new name shares every file with the
// template it was made from. So settling the books never deletes by the
// lists alone: a file is deleted only when no stored template, no template
// in the recycle bin and (after a store) not the stored model references it.
// When a store cannot be read, nothing is deleted.

#include "model/templatemodel.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class PictureFileBook
{
public:
    // Full paths, as the editor records them.
    void recordAdded(const QString &path);
    void recordRemoved(const QString &path);

    // Files copied in and not dropped again, and files dropped, since the
    // last settling.
    const QStringList &addedFiles() const { return deleteOnClose; }
    const QStringList &removedFiles() const { return deleteOnSave; }

    // Ends a span of editing. After a store (stored given) the stored model
    // counts as a reference; after a close without storing it does not.
    // Every file the span touched that nothing references is deleted.
    void settle(const TemplateModel *stored);

    // The picture files a template uses: its picture elements' files and
    // its custom background.
    static QSet<QString> filesOf(const TemplateModel &model);
    // The file name of a custom background ("out:<file>"); "" for any other.
    static QString customBackground(const QString &background);
    // Every file name the user templates, the recycle bin and the extra
    // model (when given) reference; no value when a store cannot be read.
    static std::optional<QSet<QString>> referencedFiles(const TemplateModel *extra);
    // Deletes the files (full paths) that nothing referencedFiles(extra)
    // lists still uses, and none when a store cannot be read. Returns the
    // files that should have gone but could not be deleted.
    static QStringList deleteUnreferenced(const QStringList &paths, const TemplateModel *extra);
    // Removes the file when it exists; false when it exists and stays.
    static bool deleteFile(const QString &path);

private:
    QStringList deleteOnClose;
    QStringList deleteOnSave;
};
