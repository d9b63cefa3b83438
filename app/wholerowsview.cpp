#include "app/wholerowsview.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>

WholeRowsView::WholeRowsView(QTableView *view, QWidget *panel)
    : QObject(view)
    , view(view)
    , panel(panel)
{
    view->installEventFilter(this);
    panel->installEventFilter(this);
}

bool WholeRowsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Resize)
        return false;
    if (watched == panel) {
        view->setMaximumHeight(QWIDGETSIZE_MAX);
    } else if (watched == view) {
        // The view's own handler lays its viewport out after this: its
        // contents rectangle is what the viewport will be.
        const int rowHeight = view->verticalHeader()->defaultSectionSize();
        const int shown = view->contentsRect().height();
        if (rowHeight > 0 && shown % rowHeight != 0)
            view->setMaximumHeight(view->height() - shown + qMax(1, shown / rowHeight) * rowHeight);
    }
    return false;
}
