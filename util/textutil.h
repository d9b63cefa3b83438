#pragma once

#include <QObject>
#include <QString>

// Units, element ids, number extraction and the notification toast.
class TextUtil : public QObject
{
    Q_OBJECT
public:
    TextUtil() = delete;

    // Resolutions in force; callers pass them truncated to whole numbers.
    static float PRINTER_DPI;
    static float SCREEN_DPI;

    // Millimetres to pixels: floor(mm / 25.4 * dpi + 0.5). 0 for a dpi of 0 or
    // less; results beyond the int range are clamped to it.
    static int mm2px(float mm, int dpi);
    // Pixels to millimetres, rounded to two decimals. 0 for a dpi of 0 or less.
    static float px2mm(int px, int dpi);

    // The screen's dots per inch from its width in pixels and millimetres;
    // 96 when the millimetres are 0 or less or the result lies outside 50..600.
    static float screenDpi(int widthPx, double widthMm);
    // The same for the primary screen as the platform reports it.
    static float screenDpi();
    // A resolution as the conversions take it: truncated toward zero, and 96
    // for a value that is 0, negative or not finite.
    static int dpiToInt(float dpi);

    // A new element id: decimal milliseconds since the epoch, strictly
    // increasing within the process.
    static QString generateId();

    // First number in the text rounded to two decimals, else the default.
    static float extractFloat(const QString &text, float defaultValue);
    // First integer in the text, else the default.
    static int extractInteger(const QString &text, int defaultValue);

    // A toast centred on the screen that fades out over 3000 ms, above every
    // window and without taking the focus. The same
    // tip asked for again while it shows starts its fade again instead of
    // opening another window over it: a flood of refused requests must not
    // pile up windows (some hundreds at once break the program's connection
    // to the X server, which ends the program).
    static void showTip(const QString &text, const QString &color, const QString &background);

    static constexpr const char *COLOR_ERROR = "#FF0000";
    static constexpr const char *COLOR_SUCCESS = "#02B87E";
    static constexpr const char *COLOR_TIP_BACKGROUND = "#FFFFFF";
    static void showError(const QString &text) { showTip(text, QLatin1String(COLOR_ERROR), QLatin1String(COLOR_TIP_BACKGROUND)); }
    static void showSuccess(const QString &text) { showTip(text, QLatin1String(COLOR_SUCCESS), QLatin1String(COLOR_TIP_BACKGROUND)); }
};
