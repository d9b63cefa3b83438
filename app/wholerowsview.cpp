#include "app/wholerowsview.h"

#include <QEvent>
#include <QHeaderView>
#include <QLayout>
#include <QTableView>

WholeRowsView::WholeRowsView(QTableView *view, QWidget *panel)
    : QObject(view)
    , view(view)
    , panel(panel)
    , panelMargins(panel->layout()->contentsMargins())
{
    view->installEventFilter(this);
    panel->installEventFilter(this);
}

bool WholeRowsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Resize)
        return false;
    if (watched == panel) {
        panel->layout()->setContentsMargins(panelMargins);
    } else if (watched == view) {
        // The view's own handler lays its viewport out after this: its
        // contents rectangle is what the viewport will be.
        const int rowHeight = view->verticalHeader()->defaultSectionSize();
        const int shown = view->contentsRect().height();
        if (rowHeight > 0 && shown > rowHeight && shown % rowHeight != 0) {
            QMargins margins = panel->layout()->contentsMargins();
            margins.setBottom(margins.bottom() + shown % rowHeight);
            panel->layout()->setContentsMargins(margins);
        }
    }
    return false;
}
