#include "support/labelfixtures.h"

#include "support/testfonts.h"

namespace TestSupport {

TemplateModel blankLabel(const QString &name)
{
    TemplateModel t;
    t.name = name;
    t.type = QStringLiteral("文书档案");
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

} // namespace TestSupport
