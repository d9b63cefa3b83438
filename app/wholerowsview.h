#pragma once

#include <QObject>

class QTableView;
class QWidget;

// Keeps a table view, whose rows are all of one height, as high as the whole
// rows that fit in the room its layout gives it, so no row shows cut at its
// bottom edge; the rest of the room stays empty below it. The room is what
// the layout gives the view with no bound of its own, so each time the panel
// holding it changes size the bound comes off and is set again. Belongs to
// the view.
class WholeRowsView : public QObject
{
    Q_OBJECT

public:
    WholeRowsView(QTableView *view, QWidget *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *view;
    QWidget *panel;
};
