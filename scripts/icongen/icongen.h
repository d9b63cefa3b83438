#pragma once

// The pictures the windows show (icons, cursors, state images), each drawn
// here from code. Every group of windows keeps its drawings in a file of its
// own and lists them in one function; main.cpp writes them all.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct IconDrawing {
    // Path under the resources folder, e.g. "icon/close.png"; the suffix
    // picks the file format.
    QString path;
    std::function<QImage()> draw;
};

// The main window, its pages and the shell's dialogs.
QList<IconDrawing> shellIcons();
// The template editor, its save dialog and the recycle bin.
QList<IconDrawing> editorIcons();

// A transparent ARGB picture of the given size, for drawings to start from.
QImage blankIcon(int width, int height);

// The picture as a disabled control shows it: grey and faded. Style sheets
// draw their pictures as they are, whatever the control's state, so each
// picture of a control that can be disabled has such a twin.
QImage disabledLook(const QImage &picture);

// Adds the disabled twin "<name>_disabled" of each named picture of icons.
void addDisabledLooks(QList<IconDrawing> &icons, const QStringList &names);
