#pragma once

// Gives a table's rows their cell widgets only once they come into view.
// Cell widgets cost far more than items: a table of a thousand templates
// then builds in the time of the screenful shown, and the rows scrolled to
// get theirs as they appear. A row keeps its widgets (and what the user did
// with them) until the next reset.

#include <QObject>
#include <QVector>

#include <functional>

class QTableView;

class VisibleRowFiller : public QObject
{
    Q_OBJECT

public:
    using FillRow = std::function<void(int row)>;

    // fill is called at most once per row between two resets.
    VisibleRowFiller(QTableView *view, FillRow fill);

    // After the view got a new model: no row is filled; those in view are.
    void reset();
    // Fills the rows in view that are not filled yet.
    void fillVisible();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *view;
    FillRow fill;
    QVector<bool> filled;
};
