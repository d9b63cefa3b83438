#include "editor/visiblerowfiller.h"

#include <QEvent>
#include <QScrollBar>
#include <QTableView>

VisibleRowFiller::VisibleRowFiller(QTableView *view, FillRow fill)
    : QObject(view)
    , view(view)
    , fill(std::move(fill))
{
    view->viewport()->installEventFilter(this);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &VisibleRowFiller::fillVisible);
}

void VisibleRowFiller::reset()
{
    filled = QVector<bool>(view->model() ? view->model()->rowCount() : 0, false);
    fillVisible();
}

void VisibleRowFiller::fillVisible()
{
    if (filled.isEmpty())
        return;
    const int first = view->rowAt(0);
    if (first < 0)
        return;
    // Below the last row rowAt gives -1: the rows end within the view.
    int last = view->rowAt(qMax(view->viewport()->height() - 1, 0));
    if (last < 0 || last >= filled.size())
        last = filled.size() - 1;
    for (int row = first; row <= last; ++row) {
        if (filled.at(row))
            continue;
        filled[row] = true;
        fill(row);
    }
}

bool VisibleRowFiller::eventFilter(QObject *watched, QEvent *event)
{
    // A view resized while hidden may show without a resize event.
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
        fillVisible();
    return QObject::eventFilter(watched, event);
}
