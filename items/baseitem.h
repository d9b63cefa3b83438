#pragma once

#include <QGraphicsItem>
#include <QHash>
#include <QObject>
#include <QPen>
#include <QRectF>

class GraphicsModel;

// Common base of every element item on a template scene: the element's
// rectangle (origin (0, 0), placed by the item position), its border pen,
// the text layout's scale factors and the lock state, together with the
// canvas interaction: three resize handles (right, bottom, bottom-right),
// dragging, and keeping the element inside the scene rectangle while it
// moves. Subclasses add type() and paint().
class BaseItem : public QObject, public QGraphicsItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)

public:
    enum E_MouseHandle {
        HandleNone = 0,
        HandleTopLeft = 1,
        HandleTopRight = 2,
        HandleBottomLeft = 3,
        HandleBottomRight = 4,
        HandleTop = 5,
        HandleBottom = 6,
        HandleLeft = 7,
        HandleRight = 8,
    };

    // The flags of an unlocked element; a locked one loses the first and last.
    static constexpr GraphicsItemFlags UNLOCKED_FLAGS =
        GraphicsItemFlags(ItemIsMovable | ItemIsSelectable | ItemIsFocusable | ItemSendsScenePositionChanges);
    static constexpr GraphicsItemFlags LOCKED_FLAGS = GraphicsItemFlags(ItemIsSelectable | ItemIsFocusable);

    explicit BaseItem(QGraphicsItem *parent = nullptr);
    ~BaseItem() override = default;

    QRectF boundingRect() const override;

    // Gives the item its element's id and type (item data 0 and 1), its
    // stacking value, its place and its rectangle at dpi, as every scene of
    // elements does.
    void place(const GraphicsModel &m, int dpi);

    // Stores the rectangle and, for an item that reports its position
    // changes, clamps the current position into the scene with the new size.
    void setRect(const QRectF &r);
    // Stores the rectangle; the position is left alone.
    void setRect(int x, int y, int w, int h);

    void setPen(QPen p);
    int getPenWidth() const;

    void setLockState(bool lock);
    bool getLockState() const;

    void setElementScaleX(float factor);
    void setElementScaleY(float factor);
    float getElementScaleX() const;
    float getElementScaleY() const;
    void setElementScale(float x, float y);

    void updateHandlesArea();
    E_MouseHandle GetMouseHandle(const QPointF &point) const;
    void resizeRect(const QPointF &point);

    // The red selection frame and, unless locked, the three handle markers.
    void drawSelectRect(QPainter *painter);

    // The position that clamping makes of a proposed one (scene rectangle
    // shrunk by the element's size, rotated by quarter turns).
    QPointF clampedPosition(const QPointF &proposed) const;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

    // Switches on the render hints every element paints with.
    static void setPaintHints(QPainter *painter);
    // The whole-pixel rectangle of r: edges rounded half upward.
    static QRect integerRect(const QRectF &r);
    // Half the pen's whole width, remainder dropped: the inset that keeps a
    // border inside the element.
    int halfPenWidth() const { return pen.width() / 2; }

    QRectF rect;
    double handleMargin = 5.0;
    E_MouseHandle currentHandle = HandleNone;
    QRectF pressRect;
    double handleSize = 15.0;
    QHash<E_MouseHandle, QRectF> handles;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    bool hovered = false;
    bool locked = false;
    QPen pen;
};
