#pragma once

// The print settings section as plain values: what each control shows and
// the record the printer reads and writes.
//
//     const PrintParameterSettings record = PrintParameterForm::toSettings(choices);
//     link->writePrinterParmeter(record);

#include "model/replymodels.h"

#include <QString>

// What the controls hold: the checked id of each choice (the record's own
// value, -1 when none is checked), the voltage and the compensations as
// the boxes show them and the pulse width as the chosen item's text.
struct PrintParameterChoices {
    int speed = -1;
    int colorDepth = -1;
    int printMode = -1;
    int paperExit = -1;
    int washLevel = -1;
    int powerOnReset = -1;
    double voltage = 0;   // volts
    QString pulseWidth;   // "1.6" ... "2.8"
    double offsetX = 0;   // millimetres
    double offsetY = 0;   // millimetres
};

class PrintParameterForm
{
public:
    PrintParameterForm() = delete;

    static constexpr int SPEED_LOW = 1;
    static constexpr int SPEED_MEDIUM = 2;
    static constexpr int SPEED_HIGH = 3;
    static constexpr int COLOR_LIGHT = 1;
    static constexpr int COLOR_MEDIUM = 2;
    static constexpr int COLOR_DEEP = 3;
    static constexpr int MODE_SINGLE = 1;
    static constexpr int MODE_DOUBLE = 2;
    static constexpr int PAPER_FRONT = 1;
    static constexpr int PAPER_BACK = 2;
    static constexpr int WASH_NONE = 1;
    static constexpr int WASH_LOW = 2;
    static constexpr int WASH_MEDIUM = 3;
    static constexpr int WASH_HIGH = 4;
    static constexpr int RESET_ON = 1;
    static constexpr int RESET_OFF = 2;

    // The voltage travels as tenths of a volt in one byte.
    static constexpr double MAX_VOLTAGE = 25.5;

    // What the reset button puts back; the compensations and the power-on
    // reset are left as they are.
    static PrintParameterChoices factoryChoices();

    // The record to send. Each number is rounded to its field's step, not
    // cut: 0.29 mm goes out as 29 and -1.15 mm as -115; values beyond a
    // field stop at its bounds.
    static PrintParameterSettings toSettings(const PrintParameterChoices &choices);
    // What a record read from the printer shows.
    static PrintParameterChoices fromSettings(const PrinterSettingInfo &settings);
    // The pulse-width item of a field value: 20 is "2.0".
    static QString pulseWidthText(int field);

    // Printing both rows, a deeper colour caps the speed: medium colour at
    // medium speed, deep colour at low speed. Any other speed is returned as
    // it is.
    static int cappedSpeed(int speed, int colorDepth, int printMode);
};
