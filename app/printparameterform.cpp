#include "app/printparameterform.h"

#include <QtGlobal>

#include <limits>

namespace {

constexpr double VOLTAGE_SCALE = 10;
constexpr double PULSE_WIDTH_SCALE = 10;
constexpr double OFFSET_SCALE = 100;
const char FACTORY_PULSE_WIDTH[] = "1.6";
constexpr double FACTORY_VOLTAGE = 12.0;

quint8 toByte(double value, double scale)
{
    return quint8(qBound(0, qRound(value * scale), int(std::numeric_limits<quint8>::max())));
}

qint16 toOffset(double millimetres)
{
    return qint16(qBound(int(std::numeric_limits<qint16>::min()), qRound(millimetres * OFFSET_SCALE),
                         int(std::numeric_limits<qint16>::max())));
}

} // namespace

PrintParameterChoices PrintParameterForm::factoryChoices()
{
    PrintParameterChoices choices;
    choices.speed = SPEED_MEDIUM;
    choices.colorDepth = COLOR_MEDIUM;
    choices.washLevel = WASH_NONE;
    choices.printMode = MODE_DOUBLE;
    choices.paperExit = PAPER_BACK;
    choices.voltage = FACTORY_VOLTAGE;
    choices.pulseWidth = QLatin1String(FACTORY_PULSE_WIDTH);
    return choices;
}

PrintParameterSettings PrintParameterForm::toSettings(const PrintParameterChoices &choices)
{
    PrintParameterSettings settings;
    settings.speed = quint8(choices.speed);
    settings.colorDepth = quint8(choices.colorDepth);
    settings.voltage = toByte(choices.voltage, VOLTAGE_SCALE);
    settings.pulseWidth = toByte(choices.pulseWidth.toDouble(), PULSE_WIDTH_SCALE);
    settings.printMode = quint8(choices.printMode);
    settings.paperExit = quint8(choices.paperExit);
    settings.washLevel = quint8(choices.washLevel);
    settings.compensationX = toOffset(choices.offsetX);
    settings.compensationY = toOffset(choices.offsetY);
    settings.powerOnReset = quint8(choices.powerOnReset);
    return settings;
}

PrintParameterChoices PrintParameterForm::fromSettings(const PrinterSettingInfo &settings)
{
    PrintParameterChoices choices;
    choices.speed = settings.speed;
    choices.colorDepth = settings.colorDepth;
    choices.printMode = settings.printMode;
    choices.paperExit = settings.paperExit;
    choices.washLevel = settings.washLevel;
    choices.powerOnReset = settings.powerOnReset;
    choices.voltage = settings.voltage / VOLTAGE_SCALE;
    choices.pulseWidth = pulseWidthText(settings.pulseWidth);
    choices.offsetX = settings.compensationX / OFFSET_SCALE;
    choices.offsetY = settings.compensationY / OFFSET_SCALE;
    return choices;
}

QString PrintParameterForm::pulseWidthText(int field)
{
    return QString::number(field / PULSE_WIDTH_SCALE, 'f', 1);
}

int PrintParameterForm::cappedSpeed(int speed, int colorDepth, int printMode)
{
    if (printMode != MODE_DOUBLE)
        return speed;
    if (colorDepth == COLOR_DEEP && speed > SPEED_LOW)
        return SPEED_LOW;
    if (colorDepth == COLOR_MEDIUM && speed > SPEED_MEDIUM)
        return SPEED_MEDIUM;
    return speed;
}
