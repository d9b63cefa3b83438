#pragma once

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// Tables fixed at build time and shared by name.

// The traditional Chinese font-size names (one blank, two characters, one
// blank) with their character heights in millimetres, in the order the
// editor offers them. Heights are compared exactly with a text element's
// fontSize, so they are the floats nearest to the decimals of the table.
extern const QList<QPair<QString, float>> fontSizePairs;
// The same names and heights, looked up by name. It is the only map of the
// size names: no other table gives them a size of their own.
extern const QMap<QString, float> fontSizeMap;

// Style sheets of the title-bar printer status label, one per printer state.
inline constexpr const char TITLE_STYLE_UNCONNECTED[] =
    "#lb_title_status{border-image: url(:/resources/icon/status_unconnected.png);}";
inline constexpr const char TITLE_STYLE_CONNECTED[] =
    "#lb_title_status{border-image: url(:/resources/icon/status_connected.png);}";
inline constexpr const char TITLE_STYLE_INK_ERR[] =
    "#lb_title_status{border-image: url(:/resources/icon/status_ink_err.png);}";

// The refusal shown while a print preview or template editor opened from the
// main window is open (and an action needs it closed first).
inline constexpr const char DIALOG_BUSY_TIP[] = "当前已打开弹窗, 不能再打开了";
// The refusal of anything more for the printer while a print job holds it.
inline constexpr const char PRINT_BUSY_TIP[] = "打印正在进行中";
