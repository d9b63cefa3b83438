#pragma once

// What a print job needs of the pages it prints: one page per data row,
// turned to and rendered on demand. The print preview is the page source of
// its jobs; a test can be one without a window.

#include "model/templatemodel.h"

#include <QImage>

class PageSource
{
public:
    // A page as it goes to the printer: the picture in printer dots and what
    // places it on the box.
    struct Printable {
        QImage image;
        // Placement, rotation and the name and category the print record keeps.
        TemplateModel model;
        // The user's placement in millimetres: right - left, top - bottom.
        float offsetX = 0;
        float offsetY = 0;
        int dpi = 0;
    };

    virtual ~PageSource() = default;

    // The page shown now (0-based row).
    virtual int shownPage() const = 0;
    // Shows the given page.
    virtual void showPage(int index) = 0;
    // The page shown, rendered for printing.
    virtual Printable printablePage() = 0;
};
