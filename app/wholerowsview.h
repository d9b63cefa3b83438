#pragma once

#include <QMargins>
#include <QObject>

class QTableView;
class QWidget;

// Keeps a table view, whose rows are all of one height, as high as the whole
// rows that fit in the room its panel's layout gives it, so no row shows cut
// at its bottom edge: the panel's layout leaves what is over empty below the
// view. Each time the panel changes size the view first gets the whole room
// again. Belongs to the view.
class WholeRowsView : public QObject
{
    Q_OBJECT

public:
    // panel holds view in its layout.
    WholeRowsView(QTableView *view, QWidget *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *view;
    QWidget *panel;
    QMargins panelMargins;
};
