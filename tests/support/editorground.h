#pragma once

// What the editor's tests stand on: a fresh program folder with its picture
// folder, a screen pinned to 96 dpi, recorded toasts and a captured log. The
// seams are reset when it goes.

#include "support/testsupport.h"
#include "util/seams.h"

#include <QString>

namespace TestSupport {

class EditorGround
{
public:
    EditorGround();
    ~EditorGround();
    EditorGround(const EditorGround &) = delete;
    EditorGround &operator=(const EditorGround &) = delete;

    // 1920 pixels over 508 mm.
    static Seams::ScreenSize screen96();

    // A file of the picture folder.
    QString picture(const QString &name) const;

    LogCapture log;
    TempProgramDir programDir;
    ToastRecorder toasts;
};

} // namespace TestSupport
