#pragma once

#include <QRegularExpression>
#include <QString>

// The text of the editor's font-size box: one of the traditional size names
// or a height in millimetres ("12", "3.5", "4.5mm").
class FontSizeText
{
public:
    FontSizeText() = delete;

    // The height of a size name, blanks around it optional; a negative value
    // when text names no size.
    static float namedHeight(const QString &text);
    // The height the text asks for: a named size, else its first number
    // rounded to hundredths, else the default.
    static float parse(const QString &text, float defaultHeight);
    // The box's text for a height: the name whose height it is exactly, else
    // the millimetres.
    static QString show(float mm);
    // "3.46mm": the shortest form with up to six significant digits.
    static QString millimetres(float mm);
    // What can be typed: a size name, or up to three whole digits with any
    // decimals and an optional "mm"; also nothing at all.
    static const QRegularExpression &pattern();
};
