#include "util/templatejson.h"

#include <QJsonArray>

#include <cmath>
#include <limits>

namespace TemplateJson {

QString toString(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString();
}

float toFloat(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0.0f;
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max()))
        return 0.0f;
    return float(d);
}

int toInt(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double d = value.toDouble();
    if (std::trunc(d) != d || d < double(std::numeric_limits<int>::min()) || d > double(std::numeric_limits<int>::max()))
        return 0;
    return int(d);
}

bool toBool(const QJsonValue &value)
{
    return value.isBool() && value.toBool();
}

namespace {

// Floats are widened exactly to double so the writer prints their shortest
// double form (0.3f is written 0.30000001192092896).
QJsonValue num(float f) { return QJsonValue(double(f)); }

void readCommon(const QJsonObject &o, GraphicsModel &m, bool hasBorder)
{
    m.id = toString(o.value(QLatin1String("id")));
    m.startX = toFloat(o.value(QLatin1String("startX")));
    m.startY = toFloat(o.value(QLatin1String("startY")));
    m.width = toFloat(o.value(QLatin1String("width")));
    m.height = toFloat(o.value(QLatin1String("height")));
    if (hasBorder)
        m.border = toFloat(o.value(QLatin1String("border")));
    if (o.contains(QLatin1String("viewZ")))
        m.viewZ = toInt(o.value(QLatin1String("viewZ")));
    if (o.contains(QLatin1String("lockstate")))
        m.lockstate = toBool(o.value(QLatin1String("lockstate")));
}

void writeCommon(QJsonObject &o, const GraphicsModel &m, bool hasBorder)
{
    o.insert(QLatin1String("id"), m.id);
    o.insert(QLatin1String("startX"), num(m.startX));
    o.insert(QLatin1String("startY"), num(m.startY));
    o.insert(QLatin1String("width"), num(m.width));
    o.insert(QLatin1String("height"), num(m.height));
    if (hasBorder)
        o.insert(QLatin1String("border"), num(m.border));
    o.insert(QLatin1String("viewZ"), m.viewZ);
    o.insert(QLatin1String("lockstate"), m.lockstate);
}

template<typename Code>
void readCode(const QJsonObject &o, Code &m)
{
    readCommon(o, m, true);
    m.content = toString(o.value(QLatin1String("content")));
    m.title = toString(o.value(QLatin1String("title")));
    m.fixed = toBool(o.value(QLatin1String("fixed")));
}

template<typename Code>
QJsonObject writeCode(const Code &m)
{
    QJsonObject o;
    writeCommon(o, m, true);
    o.insert(QLatin1String("content"), m.content);
    o.insert(QLatin1String("title"), m.title);
    o.insert(QLatin1String("fixed"), m.fixed);
    return o;
}

void readElement(const QJsonObject &o, RectangleModel &m) { readCommon(o, m, true); }
void readElement(const QJsonObject &o, CircleModel &m) { readCommon(o, m, true); }
void readElement(const QJsonObject &o, RectangleBgModel &m) { readCommon(o, m, false); }
void readElement(const QJsonObject &o, QrcodeModel &m) { readCode(o, m); }
void readElement(const QJsonObject &o, BarcodeModel &m) { readCode(o, m); }

void readElement(const QJsonObject &o, LineModel &m)
{
    readCommon(o, m, true);
    m.direction = toInt(o.value(QLatin1String("direction")));
}

void readElement(const QJsonObject &o, PictureModel &m)
{
    readCommon(o, m, true);
    m.fileName = toString(o.value(QLatin1String("fileName")));
}

void readElement(const QJsonObject &o, TextModel &m)
{
    readCommon(o, m, true);
    m.font = toString(o.value(QLatin1String("font")));
    m.fontSize = toFloat(o.value(QLatin1String("fontSize")));
    m.bold = toBool(o.value(QLatin1String("bold")));
    m.italic = toBool(o.value(QLatin1String("italic")));
    m.horizontalAlign = toInt(o.value(QLatin1String("horizontalAlign")));
    m.verticalAlign = toInt(o.value(QLatin1String("verticalAlign")));
    m.direction = toInt(o.value(QLatin1String("direction")));
    m.rotate = toInt(o.value(QLatin1String("rotate")));
    m.wordSpacing = toFloat(o.value(QLatin1String("wordSpacing")));
    m.rowSpacing = toFloat(o.value(QLatin1String("rowSpacing")));
    m.indentation = toFloat(o.value(QLatin1String("indentation")));
    m.textTitle = toString(o.value(QLatin1String("textTitle")));
    m.textContent = toString(o.value(QLatin1String("textContent")));
    m.fixed = toBool(o.value(QLatin1String("fixed")));
    m.scaleX = o.contains(QLatin1String("scaleX")) ? toFloat(o.value(QLatin1String("scaleX"))) : 1.0f;
    m.scaleY = o.contains(QLatin1String("scaleY")) ? toFloat(o.value(QLatin1String("scaleY"))) : 1.0f;
    m.adapted = o.contains(QLatin1String("adapted")) ? toBool(o.value(QLatin1String("adapted"))) : false;
    m.adaptedMode = o.contains(QLatin1String("adaptedMode")) ? toInt(o.value(QLatin1String("adaptedMode"))) : 1;
    m.mutiled = o.contains(QLatin1String("mutiled")) ? toBool(o.value(QLatin1String("mutiled"))) : true;
    m.noVerRule = o.contains(QLatin1String("noVerRule")) ? toBool(o.value(QLatin1String("noVerRule"))) : true;
}

QJsonObject writeElement(const RectangleModel &m) { QJsonObject o; writeCommon(o, m, true); return o; }
QJsonObject writeElement(const CircleModel &m) { QJsonObject o; writeCommon(o, m, true); return o; }
QJsonObject writeElement(const RectangleBgModel &m) { QJsonObject o; writeCommon(o, m, false); return o; }
QJsonObject writeElement(const QrcodeModel &m) { return writeCode(m); }
QJsonObject writeElement(const BarcodeModel &m) { return writeCode(m); }

QJsonObject writeElement(const LineModel &m)
{
    QJsonObject o;
    writeCommon(o, m, true);
    o.insert(QLatin1String("direction"), m.direction);
    return o;
}

QJsonObject writeElement(const PictureModel &m)
{
    QJsonObject o;
    writeCommon(o, m, true);
    o.insert(QLatin1String("fileName"), m.fileName);
    return o;
}

QJsonObject writeElement(const TextModel &m)
{
    QJsonObject o;
    writeCommon(o, m, true);
    o.insert(QLatin1String("font"), m.font);
    o.insert(QLatin1String("fontSize"), num(m.fontSize));
    o.insert(QLatin1String("bold"), m.bold);
    o.insert(QLatin1String("italic"), m.italic);
    o.insert(QLatin1String("horizontalAlign"), m.horizontalAlign);
    o.insert(QLatin1String("verticalAlign"), m.verticalAlign);
    o.insert(QLatin1String("direction"), m.direction);
    o.insert(QLatin1String("rotate"), m.rotate);
    o.insert(QLatin1String("wordSpacing"), num(m.wordSpacing));
    o.insert(QLatin1String("rowSpacing"), num(m.rowSpacing));
    o.insert(QLatin1String("indentation"), num(m.indentation));
    o.insert(QLatin1String("scaleX"), num(m.scaleX));
    o.insert(QLatin1String("scaleY"), num(m.scaleY));
    o.insert(QLatin1String("textTitle"), m.textTitle);
    o.insert(QLatin1String("textContent"), m.textContent);
    o.insert(QLatin1String("fixed"), m.fixed);
    o.insert(QLatin1String("adapted"), m.adapted);
    o.insert(QLatin1String("adaptedMode"), m.adaptedMode);
    o.insert(QLatin1String("mutiled"), m.mutiled);
    o.insert(QLatin1String("noVerRule"), m.noVerRule);
    return o;
}

template<typename Model>
QList<Model> readList(const QJsonObject &object, const char *key)
{
    QList<Model> list;
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isArray())
        return list;
    const QJsonArray array = value.toArray();
    list.reserve(array.size());
    for (const QJsonValue &v : array) {
        Model m;
        readElement(v.toObject(), m);
        list.append(m);
    }
    return list;
}

template<typename Model>
QJsonArray writeList(const QList<Model> &list)
{
    QJsonArray array;
    for (const Model &m : list)
        array.append(writeElement(m));
    return array;
}

} // namespace

TemplateModel readHeader(const QJsonObject &o)
{
    TemplateModel t;
    t.name = toString(o.value(QLatin1String("name")));
    t.type = toString(o.value(QLatin1String("type")));
    t.background = toString(o.value(QLatin1String("background")));
    t.printWidth = toFloat(o.value(QLatin1String("printWidth")));
    t.printHeight = toFloat(o.value(QLatin1String("printHeight")));
    t.backLength = toFloat(o.value(QLatin1String("backLength")));
    t.foldLength = toFloat(o.value(QLatin1String("foldLength")));
    t.createTime = toString(o.value(QLatin1String("createTime")));
    t.modifyTime = toString(o.value(QLatin1String("modifyTime")));
    return t;
}

TemplateModel readTemplate(const QJsonObject &o)
{
    TemplateModel t = readHeader(o);
    t.offsetX = toFloat(o.value(QLatin1String("offsetX")));
    t.offsetY = toFloat(o.value(QLatin1String("offsetY")));
    t.angle = toInt(o.value(QLatin1String("angle")));
    t.full = toBool(o.value(QLatin1String("full")));
    t.lockstate = toBool(o.value(QLatin1String("lockstate")));
    t.rectangleModels = readList<RectangleModel>(o, "rectangleModels");
    t.lineModels = readList<LineModel>(o, "lineModels");
    t.circleModels = readList<CircleModel>(o, "circleModels");
    t.textModels = readList<TextModel>(o, "textModels");
    t.pictureModels = readList<PictureModel>(o, "pictureModels");
    t.qrcodeModels = readList<QrcodeModel>(o, "qrcodeModels");
    t.barcodeModels = readList<BarcodeModel>(o, "barcodeModels");
    t.rectBgModels = readList<RectangleBgModel>(o, "rectBgModels");
    return t;
}

QJsonObject writeTemplate(const TemplateModel &t, const QDateTime &now)
{
    const QString nowText = now.toString(QLatin1String(TIME_FORMAT));
    QJsonObject o;
    o.insert(QLatin1String("name"), t.name);
    o.insert(QLatin1String("type"), t.type);
    o.insert(QLatin1String("background"), t.background);
    o.insert(QLatin1String("printWidth"), num(t.printWidth));
    o.insert(QLatin1String("printHeight"), num(t.printHeight));
    o.insert(QLatin1String("backLength"), num(t.backLength));
    o.insert(QLatin1String("foldLength"), num(t.foldLength));
    o.insert(QLatin1String("offsetX"), num(t.offsetX));
    o.insert(QLatin1String("offsetY"), num(t.offsetY));
    o.insert(QLatin1String("angle"), t.angle);
    o.insert(QLatin1String("full"), t.full);
    o.insert(QLatin1String("lockstate"), t.lockstate);
    o.insert(QLatin1String("createTime"), t.createTime.isEmpty() ? nowText : t.createTime);
    o.insert(QLatin1String("modifyTime"), nowText);
    o.insert(QLatin1String("rectangleModels"), writeList(t.rectangleModels));
    o.insert(QLatin1String("lineModels"), writeList(t.lineModels));
    o.insert(QLatin1String("circleModels"), writeList(t.circleModels));
    o.insert(QLatin1String("textModels"), writeList(t.textModels));
    o.insert(QLatin1String("pictureModels"), writeList(t.pictureModels));
    o.insert(QLatin1String("qrcodeModels"), writeList(t.qrcodeModels));
    o.insert(QLatin1String("barcodeModels"), writeList(t.barcodeModels));
    o.insert(QLatin1String("rectBgModels"), writeList(t.rectBgModels));
    return o;
}

void stampCreation(TemplateModel &model, const QDateTime &now)
{
    if (model.createTime.isEmpty())
        model.createTime = now.toString(QLatin1String(TIME_FORMAT));
}

QJsonObject writePlacement(QJsonObject stored, const TemplateModel &t)
{
    stored.insert(QLatin1String("offsetX"), num(t.offsetX));
    stored.insert(QLatin1String("offsetY"), num(t.offsetY));
    stored.insert(QLatin1String("angle"), t.angle);
    return stored;
}

} // namespace TemplateJson
