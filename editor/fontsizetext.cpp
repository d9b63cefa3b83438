#include "editor/fontsizetext.h"

#include "util/constants.h"
#include "util/textutil.h"

#include <QStringList>

float FontSizeText::namedHeight(const QString &text)
{
    const QString name = text.trimmed();
    for (const auto &pair : fontSizePairs) {
        if (pair.first.trimmed() == name)
            return pair.second;
    }
    return -1.0f;
}

float FontSizeText::parse(const QString &text, float defaultHeight)
{
    const float named = namedHeight(text);
    return named >= 0.0f ? named : TextUtil::extractFloat(text, defaultHeight);
}

QString FontSizeText::show(float mm)
{
    for (const auto &pair : fontSizePairs) {
        if (pair.second == mm)
            return pair.first;
    }
    return millimetres(mm);
}

QString FontSizeText::millimetres(float mm)
{
    return QString::number(double(mm), 'g', 6) + QLatin1String("mm");
}

const QRegularExpression &FontSizeText::pattern()
{
    static const QRegularExpression re = [] {
        QStringList names;
        for (const auto &pair : fontSizePairs)
            names << QRegularExpression::escape(pair.first.trimmed());
        return QRegularExpression(QStringLiteral("\\s*(?:\\d{1,3}(?:\\.\\d*)?\\s*(?:mm)?|%1)?\\s*")
                                      .arg(names.join(QLatin1Char('|'))));
    }();
    return re;
}
