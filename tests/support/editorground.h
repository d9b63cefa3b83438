#pragma once

// What the editor's tests stand on: a fresh program folder with its picture
// folder, a screen pinned to 96 dpi, recorded toasts and a captured log, and
// the editor under test with the gestures that drive it. The editor closes
// and the seams are reset when it goes.

#include "editor/templatedialog.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/seams.h"

#include <QString>
#include <QStringList>

#include <memory>

class BaseItem;

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

    // A file of the picture folder, and the names the folder holds.
    QString picture(const QString &name) const;
    QStringList pictureFolder() const;

    // An editor on the stored template of that name (a new one when empty),
    // or on t once stored; shown and exposed if asked.
    TemplateDialog &open(const QString &name, bool shown = false);
    TemplateDialog &open(const TemplateModel &t, bool shown = false);

    template <typename T = QWidget>
    T *child(const char *name) const { return TestSupport::child<T>(*editor, QLatin1String(name)); }
    void click(const char *button) const;
    // Gives a spin box a value and leaves it, as a user does.
    void edit(const char *box, double value) const;
    // The element item with that id, or null.
    BaseItem *item(const QString &id) const;
    void select(const QStringList &ids) const;

    // Real mouse events on the canvas at a scene point (the view unzoomed):
    // one carrying the button state, or a whole click.
    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) const;
    void clickCanvas(QPointF at, Qt::KeyboardModifiers keys = Qt::NoModifier) const;
    // Arms an add tool and clicks the canvas with it.
    void addWith(const char *tool, QPointF at) const;

    // Closes the editor; the failed connections logged until then.
    QStringList finish();

    LogCapture log;
    TempProgramDir programDir;
    ToastRecorder toasts;
    std::unique_ptr<TemplateDialog> editor;
};

} // namespace TestSupport
