#include "editor/canvas.h"
#include "ui_mainwindow.h"

#include <QApplication>
