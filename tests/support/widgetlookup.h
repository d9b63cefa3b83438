#pragma once

// Reaching a window's widgets by their object names, as its form names them,
// and the windows it opened.

#include <QApplication>
#include <QObject>
#include <QString>
#include <QWidget>

namespace TestSupport {

// The descendant of parent with that object name and class. A missing one
// ends the test program at once, naming it: a renamed widget fails loudly.
template <typename T = QWidget>
T *child(const QObject &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

// The first top-level window of class T (a preview the window opened, say), or null.
template <typename T>
T *topLevel()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (T *window = qobject_cast<T *>(w))
            return window;
    }
    return nullptr;
}

} // namespace TestSupport
