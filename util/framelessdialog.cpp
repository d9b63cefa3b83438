#include "util/framelessdialog.h"

#include <QColor>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>

namespace {

const char STYLE_SHEET[] = ":/resources/qss/helpdialog.css";
const QColor PLACEHOLDER_COLOR(0xBF, 0xBF, 0xBF);

} // namespace

FramelessDialog::FramelessDialog(QWidget *parent)
    : PlacedDialog(parent)
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
    // The style sheet's text colour colours the placeholders too, which
    // would then read as typed text; they are greyed once it is applied.
    const QList<QLineEdit *> edits = findChildren<QLineEdit *>();
    for (QLineEdit *edit : edits) {
        edit->ensurePolished();
        QPalette palette = edit->palette();
        palette.setColor(QPalette::PlaceholderText, PLACEHOLDER_COLOR);
        edit->setPalette(palette);
    }
}

void FramelessDialog::mousePressEvent(QMouseEvent *event)
{
    titleDrag.press(event, titleStrip && QRect(QPoint(0, 0), titleStrip->size()).contains(event->localPos().toPoint()));
    event->ignore();
}

void FramelessDialog::mouseReleaseEvent(QMouseEvent *event)
{
    titleDrag.release(event);
    event->ignore();
}

void FramelessDialog::mouseMoveEvent(QMouseEvent *event)
{
    titleDrag.follow(this, event);
    event->ignore();
}
