#pragma once

#include <QGraphicsView>
#include <QPoint>

class QKeyEvent;

// The graphics view of the editor's canvas and the print preview's page. On
// top of the standard view it zooms with Ctrl and the wheel about its centre,
// reports Alt and the wheel (page turning), reports presses, moves, releases
// and keys with their viewport positions, and draws dotted guides from the
// viewport's top and left edges to the corners of every selected item.
class QWGraphicsView : public QGraphicsView
{
    Q_OBJECT
public:
    explicit QWGraphicsView(QWidget *parent = nullptr);

    // Ctrl and the wheel zoom; when false that combination is swallowed.
    bool zoomEnabled = true;

signals:
    void wheelModified(int delta);
    void mouseMovePoint(QPoint point);
    void mouseClicked(QPoint point);
    void mouseRightClicked(QPoint point);
    void mouseDoubleClick(QPoint point);
    void keyPress(QKeyEvent *event);
    void mouseReleasePoint(QPoint point);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool leftPressed = false;
};
