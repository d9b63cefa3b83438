#include "app/framelessdialog.h"

#include <QFile>
#include <QMouseEvent>

namespace {

const char STYLE_SHEET[] = ":/resources/qss/helpdialog.css";

} // namespace

FramelessDialog::FramelessDialog(QWidget *parent)
    : QDialog(parent)
{
}

void FramelessDialog::WidgetInit(QWidget *strip)
{
    titleStrip = strip;
    setAutoFillBackground(true);
    QFile file{QLatin1String(STYLE_SHEET)};
    if (file.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromLatin1(file.readAll().constData()));
    // The dialog keeps its window type: with the frameless hint alone a
    // dialog that has a parent would become a child widget painted into the
    // parent's corner, and a modal one would not block the parent.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void FramelessDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && titleStrip
        && QRect(QPoint(0, 0), titleStrip->size()).contains(event->localPos().toPoint())) {
        dragging = true;
        lastMousePos = event->screenPos().toPoint();
    }
    event->ignore();
}

void FramelessDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
    event->ignore();
}

void FramelessDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging) {
        currentMousePos = event->screenPos().toPoint();
        move(pos() + (currentMousePos - lastMousePos));
        lastMousePos = currentMousePos;
    }
    event->ignore();
}
