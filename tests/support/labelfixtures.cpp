#include "support/labelfixtures.h"

#include "support/testfonts.h"

namespace TestSupport {

namespace {

const char *const NUMBER_TITLE = "编号";

} // namespace

TemplateModel blankLabel(const QString &name, const QString &type)
{
    TemplateModel t;
    t.name = name;
    t.type = type;
    t.printWidth = 40;
    t.printHeight = 30;
    t.backLength = 20;
    t.foldLength = 10;
    return t;
}

QrcodeModel qrField(const QString &title, const QString &content, float x, float y, float side, int z)
{
    QrcodeModel qr = placedElement<QrcodeModel>(x, y, side, side, z);
    qr.title = title;
    qr.content = content;
    return qr;
}

TextModel textField(const QString &title, const QString &content, float x, float y, float w, float h,
                    float fontSize)
{
    TextModel text = placedElement<TextModel>(x, y, w, h);
    text.textTitle = title;
    text.textContent = content;
    text.font = zenHeiFamily();
    text.fontSize = fontSize;
    return text;
}

TemplateModel numberedLabel(const QString &name)
{
    TemplateModel t = blankLabel(name);
    t.qrcodeModels << qrField(QString::fromUtf8(NUMBER_TITLE), QStringLiteral("N-0"), 5, 5, 20);
    return t;
}

TemplateModel bulkyLabel(const QString &name, const QString &type)
{
    TemplateModel t = blankLabel(name, type);
    for (int i = 0; i < 40; ++i)
        t.textModels << placedElement<TextModel>(1, 1, 10, 5, i);
    return t;
}

QList<QMap<QString, QVariant>> numberedRows(int count)
{
    QList<QMap<QString, QVariant>> rows;
    for (int i = 1; i <= count; ++i)
        rows.append({{QString::fromUtf8(NUMBER_TITLE), QStringLiteral("N-%1").arg(i)}});
    return rows;
}

} // namespace TestSupport
