#pragma once

// Fonts pinned from the installed font files, so that text measurements in
// the tests do not depend on the machine's font configuration.

#include <QFont>
#include <QString>

namespace TestSupport {

// Loads WenQuanYi Zen Hei, WenQuanYi Micro Hei and DejaVu Sans from their
// files (once per process). False when a file is missing or unreadable.
bool loadPinnedFonts();

// Family names as the loaded files report them; empty before loading.
QString zenHeiFamily();
QString microHeiFamily();
QString dejaVuFamily();

// A font of the family sized in pixels, hinting off so that metrics scale
// smoothly with the size.
QFont pinnedFont(const QString &family, int pixelSize);

} // namespace TestSupport
