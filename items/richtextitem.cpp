#include "items/richtextitem.h"

#include "util/settingutil.h"
#include "util/textutil.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <cmath>
#include <limits>

namespace {

const int BOLD_THRESHOLD = 57;

} // namespace

RichTextItem::RichTextItem()
{
    setProperty("edit", true);
}

void RichTextItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    setPaintHints(painter);
    const QRectF r = boundingRect();
    QPen framePen;
    framePen.setWidthF(2.0);
    if (option && (option->state & QStyle::State_Selected)) {
        drawSelectRect(painter);
    } else if (property("edit").toBool()) {
        // The white frame shows the field's extent in the editor only.
        framePen.setColor(Qt::white);
        framePen.setWidth(m_boundingBorder);
        painter->setPen(framePen);
        painter->drawRect(r);
    }
    framePen.setColor(Qt::black);
    framePen.setCapStyle(Qt::FlatCap);
    framePen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(framePen);
    painter->setFont(m_props.font);
    const TextLayoutResult &layout = currentLayout();
    if (m_deviceScale == 1.0) {
        TextLayout::draw(painter, layout, &m_cache.outlines());
        return;
    }
    painter->save();
    painter->scale(m_deviceScale, m_deviceScale);
    TextLayout::draw(painter, layout, &m_cache.outlines());
    painter->restore();
}

void RichTextItem::applyTextModel(const TextModel &m, int dpi)
{
    const auto dots = [](float mm) { return TextUtil::mm2px(mm, TextLayout::LAYOUT_DPI); };
    m_deviceScale = qreal(dpi) / TextLayout::LAYOUT_DPI;
    QFont font(m.font);
    font.setPixelSize(qMax(1, dots(m.fontSize)));
    font.setWeight(m.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(m.italic);
    font.setLetterSpacing(QFont::AbsoluteSpacing, dots(m.wordSpacing));
    setHorizontalAlign(m.horizontalAlign);
    setVerticalAlign(m.verticalAlign);
    setTextDirection(m.direction);
    m_props.letterSpacing = dots(m.wordSpacing);
    m_props.rowSpacing = dots(m.rowSpacing);
    setIndentation(int(m.indentation));
    m_props.font = font;
    setBoundingBorder(TextUtil::mm2px(m.border, dpi));
    setElementScaleX(m.scaleX);
    setElementScaleY(m.scaleY);
    setTransformOriginPoint(boundingRect().center());
    setRotation(m.rotate);
    setAdapted(m.adapted);
    setAdaptedMode(m.adaptedMode);
    setLockState(m.lockstate);
    setVerRuler(m.noVerRule);
    setMutilWarp(m.mutiled);

    const QRectF fromModel(0, 0, TextUtil::mm2px(m.width, dpi), TextUtil::mm2px(m.height, dpi));
    m_modelRect = boundingRect() == fromModel ? fromModel : QRectF();
    m_modelLayoutRect = QRectF(0, 0, dots(m.width), dots(m.height));
}

int RichTextItem::toLayout(int pixels) const
{
    if (m_deviceScale == 1.0)
        return pixels;
    const double dots = std::round(pixels / m_deviceScale);
    return int(qBound(double(std::numeric_limits<int>::min()), dots, double(std::numeric_limits<int>::max())));
}

void RichTextItem::setText(QString text) { m_props.text = text; }
void RichTextItem::setFont(const QFont &font)
{
    m_props.font = font;
    if (m_deviceScale == 1.0)
        return;
    if (font.pixelSize() > 0)
        m_props.font.setPixelSize(qMax(1, toLayout(font.pixelSize())));
    if (font.letterSpacingType() == QFont::AbsoluteSpacing)
        m_props.font.setLetterSpacing(QFont::AbsoluteSpacing, font.letterSpacing() / m_deviceScale);
}
void RichTextItem::setFontFamily(QString family) { m_props.font.setFamily(family); }
void RichTextItem::setFontSize(int size) { m_props.font.setPixelSize(toLayout(size)); }

void RichTextItem::setBold()
{
    m_props.font.setWeight(m_props.font.weight() <= BOLD_THRESHOLD ? QFont::Bold : QFont::Normal);
}

void RichTextItem::setItalic()
{
    m_props.font.setStyle(m_props.font.style() == QFont::StyleNormal ? QFont::StyleItalic : QFont::StyleNormal);
}

void RichTextItem::setLetterSpacing(int spacing)
{
    m_props.letterSpacing = toLayout(spacing);
    m_props.font.setLetterSpacing(QFont::AbsoluteSpacing, m_props.letterSpacing);
}

void RichTextItem::setRowSpacing(int spacing) { m_props.rowSpacing = toLayout(spacing); }
void RichTextItem::setIndentation(int indentation) { m_props.indentation = indentation; }
void RichTextItem::setTextDirection(int direction) { m_props.direction = direction; }
int RichTextItem::getTextDirection() const { return m_props.direction; }
void RichTextItem::setHorizontalAlign(int align) { m_props.horizontalAlign = align; }
void RichTextItem::setVerticalAlign(int align) { m_props.verticalAlign = align; }

// The scene indexes items by their bounding rectangle, so a size change is
// announced to it even though nothing is repainted here.
void RichTextItem::setWidth(int width)
{
    prepareGeometryChange();
    rect.setWidth(width);
}

void RichTextItem::setHeight(int height)
{
    prepareGeometryChange();
    rect.setHeight(height);
}

void RichTextItem::setAdapted(bool adapted) { m_props.adapted = adapted; }
void RichTextItem::setAdaptedMode(int mode) { m_props.adaptedMode = mode; }
void RichTextItem::setMutilWarp(bool wrap) { m_props.wrap = wrap; }
void RichTextItem::setVerRuler(bool upright) { m_props.uprightAscii = upright; }
void RichTextItem::setBoundingBorder(int width) { m_boundingBorder = width; }
void RichTextItem::setColor(const QColor &color) { m_color = color; }

bool RichTextItem::isFullWidth(QString run) const
{
    return TextLayout::isFullWidth(run, m_props.uprightAscii, SettingUtil::s_tempSpecialSymbol);
}

QStringList RichTextItem::splitTextBySymbol(QString text) const
{
    return TextLayout::splitTextBySymbol(text, m_props.uprightAscii, SettingUtil::s_tempSpecialSymbol);
}

QList<stRowDataBlock> RichTextItem::splitRowDataBlockByLength(const QFont &font, QString paragraph, bool indent) const
{
    return TextLayout::splitRowDataBlockByLength(layoutInput(), font, paragraph, indent);
}

QStringList RichTextItem::splitTextByLength(QString paragraph, bool indent) const
{
    return TextLayout::splitTextByLength(layoutInput(), paragraph, indent);
}

TextLayoutInput RichTextItem::layoutInput() const
{
    TextLayoutInput in = m_props;
    const QRectF r = boundingRect();
    if (!m_modelRect.isNull() && r == m_modelRect)
        in.rect = m_modelLayoutRect;
    else if (m_deviceScale == 1.0)
        in.rect = r;
    else
        in.rect = QRectF(r.topLeft() / m_deviceScale, r.size() / m_deviceScale);
    in.scaleX = scaleX;
    in.scaleY = scaleY;
    in.specialSymbols = SettingUtil::s_tempSpecialSymbol;
    return in;
}

const TextLayoutResult &RichTextItem::currentLayout()
{
    return m_cache.get(layoutInput());
}
