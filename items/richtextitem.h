#pragma once

#include "items/baseitem.h"
#include "items/textlayout.h"
#include "model/graphicsmodel.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

// The scene item of a text field (element type 4). What it draws in the
// print preview is exactly what prints: the text laid out in its rectangle,
// horizontally in lines or vertically in columns, by TextLayout. The setters
// take whole pixels of the device the scene is drawn for; the item keeps
// them, and the text's layout, at the layout's own resolution and draws the
// layout scaled to its device. So a field makes the same decisions in the
// editor at the screen's resolution as on the printed page.
//
// The setters only store their value; the caller repaints the view.
class RichTextItem : public BaseItem
{
    Q_OBJECT
public:
    RichTextItem();

    enum { Type = UserType + 1 };
    int type() const override { return Type; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    void setText(QString text);
    void setFont(const QFont &font);
    void setFontFamily(QString family);
    // Pixel size.
    void setFontSize(int size);
    // Toggles bold: a weight of 57 or less becomes 75, any other 50.
    void setBold();
    // Toggles italic: normal becomes italic, italic or oblique normal.
    void setItalic();
    // Extra pixels after each character, also set on the font as absolute spacing.
    void setLetterSpacing(int spacing);
    void setRowSpacing(int spacing);
    // First-line indentation in em (the width of a fullwidth "Ｍ").
    void setIndentation(int indentation);
    // 0 lines; 1 columns left to right; 2 columns right to left.
    void setTextDirection(int direction);
    int getTextDirection() const;
    // -1 left, 0 centre, 1 right.
    void setHorizontalAlign(int align);
    // -1 top, 0 centre, 1 bottom.
    void setVerticalAlign(int align);
    void setWidth(int width);
    void setHeight(int height);
    void setAdapted(bool adapted);
    // 1 shrinks the font's pixel size, 2 the horizontal scale. A new item
    // starts in mode 1, as a new text model does, so a field shrinks in the
    // editor the way it will when printed.
    void setAdaptedMode(int mode);
    void setMutilWarp(bool wrap);
    // Vertical text: ASCII stands upright like full-width characters.
    void setVerRuler(bool upright);
    // Pen width of the white frame drawn in editing mode.
    void setBoundingBorder(int width);
    // Kept with the element; text is always drawn in black.
    void setColor(const QColor &color);

    // The font, the layout properties, the lock state and the rotation of a
    // text element, drawn at dpi: from then on the setters take pixels at
    // dpi. The rectangle must be set first: the element turns about its
    // centre.
    void applyTextModel(const TextModel &model, int dpi);

    // The vertical layout's character classes and splitters, with this
    // item's properties and the special symbols of the INI settings.
    bool isFullWidth(QString run) const;
    QStringList splitTextBySymbol(QString text) const;
    QList<stRowDataBlock> splitRowDataBlockByLength(const QFont &font, QString paragraph, bool indent) const;
    QStringList splitTextByLength(QString paragraph, bool indent) const;

    // Everything the layout depends on, as the item holds it now.
    TextLayoutInput layoutInput() const;
    // The layout of the current properties; laid out again only after one changed.
    const TextLayoutResult &currentLayout();
    int layoutCount() const { return m_cache.layoutCount(); }

private:
    // Device pixels in layout dots.
    int toLayout(int pixels) const;

    // In layout dots. Rectangle, scales and special symbols are filled in by
    // layoutInput().
    TextLayoutInput m_props;
    // Device pixels per layout dot.
    qreal m_deviceScale = 1.0;
    // The rectangle the element's own size gave, at the device and in
    // layout dots: a rectangle made from millimetres is not scaled back from
    // rounded pixels, so every resolution lays out the same rectangle.
    QRectF m_modelRect;
    QRectF m_modelLayoutRect;
    int m_boundingBorder = 0;
    QColor m_color = Qt::black;
    TextLayoutCache m_cache;
};
