#pragma once

// Where a rendered page lands on the box, and the print data that puts it
// there. Each printer type has its own fixed compensation (millimetres, from
// the default configuration), its own axis convention and its own encoder:
// types 1 to 3 take the page as one generation-1 print frame, type 4 as a
// total package and one print-data package per band of 150 dot rows.
//
// The user's placement is a pair of offsets in millimetres: dx = right - left
// and dy = top - bottom, as the preview's spin boxes give them. Arithmetic is
// single precision, as the printer's placement tables were made with it.

#include "model/templatemodel.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>

class PagePlacement
{
public:
    PagePlacement() = delete;

    // Dot rows per band of the type-4 road, and its blackness threshold.
    static constexpr int BAND_ROWS = 150;

    // Compensation of a printer type in millimetres; 0 for an unknown type
    // or a key that holds no number.
    static float adjustX(int type);
    static float adjustY(int type);

    // Nearest whole number, halves upward (2.5 gives 3, -2.5 gives -2).
    static int nearest(float value);

    // The encoder's offsets for printer types 1 to 3: type 1 both in dots;
    // types 2 and 3 the horizontal one in dots, the vertical one in whole
    // millimetres (the printer takes it so).
    static QPoint gen1Position(int type, const TemplateModel &model, float dx, float dy, int dpi);

    // The image turned clockwise by angle degrees. Quarter turns are exact;
    // any other angle is laid on white, so the corners print nothing.
    static QImage rotated(const QImage &image, int angle);

    struct Frame {
        QByteArray bytes; // empty when the encoder refused the page
        unsigned int dots = 0;
        QPoint position;
    };
    // One page for printer types 1 to 3: placed, turned by the template's
    // angle and encoded (command 0x12 for a test page, else 0x11). An empty
    // frame for any other type.
    static Frame encodeGen1(int type, const QImage &page, const TemplateModel &model, float dx, float dy,
                            bool test, int dpi);

    // The type-4 road: the page turned a quarter, placed, cut into bands and
    // packed; the total package first, then one package per band. The
    // template's angle does not apply.
    static QList<QByteArray> encodeBands(const QImage &page, const TemplateModel &model, float dx, float dy, int dpi);
};
