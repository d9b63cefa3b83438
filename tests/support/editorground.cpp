#include "support/editorground.h"

#include "items/baseitem.h"
#include "items/qwgraphicsview.h"
#include "util/fileutil.h"
#include "util/jsonutil.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QTest>

namespace TestSupport {

EditorGround::EditorGround()
{
    Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508.0, 285.75)}; });
    FileUtil::checkCustomDir();
}

EditorGround::~EditorGround()
{
    editor.reset();
    Seams::resetAll();
}

TemplateDialog &EditorGround::open(const QString &name, bool shown)
{
    editor.reset();
    editor = std::make_unique<TemplateDialog>(name);
    if (shown) {
        editor->show();
        if (!QTest::qWaitForWindowExposed(editor.get()))
            qFatal("the editor was never exposed");
    }
    return *editor;
}

TemplateDialog &EditorGround::open(const TemplateModel &t, bool shown)
{
    if (!JsonUtil::saveTemplate(t, false))
        qFatal("could not store the template %s", qPrintable(t.name));
    return open(t.name, shown);
}

void EditorGround::click(const char *button) const
{
    QTest::mouseClick(child(button), Qt::LeftButton);
}

void EditorGround::edit(const char *box, double value) const
{
    auto *spin = child<QAbstractSpinBox>(box);
    spin->setProperty("value", value);
    emit spin->editingFinished();
}

BaseItem *EditorGround::item(const QString &id) const
{
    const QList<QGraphicsItem *> items = editor->scene()->items();
    for (QGraphicsItem *i : items) {
        if (i->data(0).toString() == id)
            return dynamic_cast<BaseItem *>(i);
    }
    return nullptr;
}

void EditorGround::select(const QStringList &ids) const
{
    editor->scene()->clearSelection();
    for (const QString &id : ids)
        item(id)->setSelected(true);
}

void EditorGround::mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) const
{
    QWidget *viewport = editor->view()->viewport();
    const QPoint point = editor->view()->mapFromScene(at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, point, viewport->mapToGlobal(point), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

void EditorGround::drag(const QList<QPointF> &path) const
{
    mouse(QEvent::MouseButtonPress, path.first(), Qt::LeftButton);
    for (const QPointF &at : path.mid(1))
        mouse(QEvent::MouseMove, at, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, path.last());
}

void EditorGround::clickCanvas(QPointF at, Qt::KeyboardModifiers keys) const
{
    QTest::mouseClick(editor->view()->viewport(), Qt::LeftButton, keys, editor->view()->mapFromScene(at));
}

QStringList EditorGround::end(std::unique_ptr<EditorGround> &ground)
{
    ground->editor.reset();
    const QStringList failed = ground->log.connectionWarnings();
    ground.reset();
    return failed;
}

} // namespace TestSupport
