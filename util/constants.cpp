#include "util/constants.h"

const QList<QPair<QString, float>> fontSizePairs{
    {QStringLiteral(" 初号 "), 14.81f}, {QStringLiteral(" 小初 "), 12.70f},
    {QStringLiteral(" 一号 "), 9.17f},  {QStringLiteral(" 小一 "), 8.46f},
    {QStringLiteral(" 二号 "), 7.76f},  {QStringLiteral(" 小二 "), 6.35f},
    {QStringLiteral(" 三号 "), 5.64f},  {QStringLiteral(" 小三 "), 5.29f},
    {QStringLiteral(" 四号 "), 4.94f},  {QStringLiteral(" 小四 "), 4.23f},
    {QStringLiteral(" 五号 "), 3.70f},  {QStringLiteral(" 小五 "), 3.17f},
    {QStringLiteral(" 六号 "), 2.65f},  {QStringLiteral(" 小六 "), 2.29f},
    {QStringLiteral(" 七号 "), 1.94f},  {QStringLiteral(" 八号 "), 1.76f},
};

// Built from the list above, which is defined first in this file and so is
// constructed first.
const QMap<QString, float> fontSizeMap = [] {
    QMap<QString, float> map;
    for (const auto &pair : fontSizePairs)
        map.insert(pair.first, pair.second);
    return map;
}();
