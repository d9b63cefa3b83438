#pragma once

// What the editor's tests stand on: a fresh program folder with its picture
// folder, a screen pinned to 96 dpi (1920 pixels over 508 mm), recorded
// toasts and a captured log; and the editor under test with the gestures that
// drive it. The seams are reset when it goes.

#include "editor/templatedialog.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/seams.h"

#include <QEvent>
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

    // A file of the picture folder (the folder itself, unnamed), and the
    // names the folder holds.
    QString picture(const QString &name = QString()) const
    {
        return programDir.file(QStringLiteral("/attachment/picture/")) + name;
    }
    QStringList pictureFolder() const { return listFiles(picture()); }

    // An editor (the only one) on the stored template of that name, a new
    // one when empty, or on t once stored; shown and exposed if asked.
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
    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons = Qt::NoButton) const;
    // A left-button drag along the path; of one point, a click.
    void drag(const QList<QPointF> &path) const;
    void clickCanvas(QPointF at, Qt::KeyboardModifiers keys = Qt::NoModifier) const;
    // Arms an add tool and clicks the canvas with it.
    void addWith(const char *tool, QPointF at) const
    {
        click(tool);
        clickCanvas(at);
    }

    // Ends a test's ground (closing its editor first): the failed
    // connections logged in its life.
    static QStringList end(std::unique_ptr<EditorGround> &ground);

    LogCapture log;
    TempProgramDir programDir;
    ToastRecorder toasts;
    std::unique_ptr<TemplateDialog> editor;
};

} // namespace TestSupport
