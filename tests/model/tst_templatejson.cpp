#include "model/templatemodel.h"
#include "util/templatejson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject parseObject(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

// The text Qt writes for one value, as it appears in an indented file.
QByteArray writtenNumber(float f)
{
    QJsonObject o;
    o.insert(QStringLiteral("v"), QJsonValue(double(f)));
    const QByteArray text = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return text.mid(5, text.size() - 6); // {"v": ... }
}

} // namespace

class TestTemplateJson : public QObject
{
    Q_OBJECT

private slots:
    void defaultConstructedModels()
    {
        const TextModel text;
        QCOMPARE(text.type, 4);
        QCOMPARE(text.adaptedMode, 1);
        QVERIFY(text.mutiled);
        QVERIFY(!text.noVerRule);
        QVERIFY(!text.lockstate);
        QCOMPARE(text.viewZ, 0);
        QVERIFY(text.id.isEmpty());

        QCOMPARE(RectangleModel().type, 1);
        QCOMPARE(LineModel().type, 2);
        QCOMPARE(CircleModel().type, 3);
        QCOMPARE(PictureModel().type, 5);
        QCOMPARE(QrcodeModel().type, 6);
        QCOMPARE(RectangleBgModel().type, 7);
        QCOMPARE(BarcodeModel().type, 8);

        const TemplateModel t;
        QVERIFY(t.name.isEmpty());
        QCOMPARE(t.printWidth, 0.0f);
        QCOMPARE(t.angle, 0);
        QVERIFY(!t.full);
        QVERIFY(t.textModels.isEmpty());
    }

    void copiesAreIndependent()
    {
        TemplateModel source;
        source.name = QStringLiteral("源");
        TextModel text;
        text.textContent = QStringLiteral("原文");
        source.textModels.append(text);
        BarcodeModel code;
        code.content = QStringLiteral("123");
        source.barcodeModels.append(code);

        TemplateModel copy = source;
        copy.textModels[0].textContent = QStringLiteral("改");
        copy.barcodeModels[0].content = QStringLiteral("456");
        copy.name = QStringLiteral("副本");

        QCOMPARE(source.textModels[0].textContent, QStringLiteral("原文"));
        QCOMPARE(source.barcodeModels[0].content, QStringLiteral("123"));
        QCOMPARE(source.name, QStringLiteral("源"));
        QCOMPARE(copy.barcodeModels[0].type, 8);

        TemplateModel assigned;
        assigned = source;
        QCOMPARE(assigned.textModels.size(), 1);
        QCOMPARE(assigned.textModels[0].type, 4);
    }

    void floatsAreWrittenInTheirShortestDoubleForm_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("0.3") << 0.3f << QByteArray("0.30000001192092896");
        QTest::newRow("14.38") << 14.38f << QByteArray("14.380000114440918");
        QTest::newRow("240") << 240.0f << QByteArray("240");
        QTest::newRow("5.29") << 5.29f << QByteArray("5.289999961853027");
        QTest::newRow("0") << 0.0f << QByteArray("0");
        QTest::newRow("-21") << -21.0f << QByteArray("-21");
        QTest::newRow("0.5") << 0.5f << QByteArray("0.5");
    }

    void floatsAreWrittenInTheirShortestDoubleForm()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, text);
        TextModel element;
        element.fontSize = value;
        element.width = value;
        TemplateModel t;
        t.printWidth = value;
        t.textModels.append(element);
        const QJsonObject o = TemplateJson::writeTemplate(t);
        const QByteArray file = QJsonDocument(QJsonArray{o}).toJson(QJsonDocument::Indented);
        QVERIFY2(file.contains("\"printWidth\": " + text + ",\n"), file.constData());
        QVERIFY(file.contains("\"fontSize\": " + text + ",\n"));
        QCOMPARE(writtenNumber(value), text);

        // and the text reads back as the very same float
        const TemplateModel back = TemplateJson::readTemplate(QJsonDocument::fromJson(file).array().at(0).toObject());
        QCOMPARE(back.printWidth, value);
        QCOMPARE(back.textModels.at(0).fontSize, value);
    }

    void builtInStyleTextReadsWithItsDefaults()
    {
        // Built-in text elements store none of the optional keys.
        const QJsonObject o = parseObject(R"({"textModels":[{"id":"1","startX":1.5,"startY":2,"width":30,
            "height":10,"border":0,"font":"宋体","fontSize":5.29,"bold":true,"italic":false,
            "horizontalAlign":-1,"verticalAlign":0,"direction":1,"rotate":90,"wordSpacing":0.5,
            "rowSpacing":1,"indentation":2,"textTitle":"题名","textContent":"内容","fixed":true}]})");
        const TemplateModel t = TemplateJson::readTemplate(o);
        QCOMPARE(t.textModels.size(), 1);
        const TextModel &m = t.textModels.at(0);
        QCOMPARE(m.type, 4);
        QCOMPARE(m.viewZ, 0);
        QVERIFY(!m.lockstate);
        QVERIFY(!m.adapted);
        QCOMPARE(m.adaptedMode, 1);
        QVERIFY(m.mutiled);
        QVERIFY(m.noVerRule); // the reader's default differs from the constructor's
        QCOMPARE(m.scaleX, 1.0f);
        QCOMPARE(m.scaleY, 1.0f);
        QCOMPARE(m.font, QStringLiteral("宋体"));
        QCOMPARE(m.fontSize, 5.29f);
        QVERIFY(m.bold);
        QCOMPARE(m.horizontalAlign, -1);
        QCOMPARE(m.direction, 1);
        QCOMPARE(m.rotate, 90);
        QCOMPARE(m.wordSpacing, 0.5f);
        QCOMPARE(m.indentation, 2.0f);
        QCOMPARE(m.textTitle, QStringLiteral("题名"));
        QVERIFY(m.fixed);
        QCOMPARE(m.startX, 1.5f);
    }

    void optionalTextKeysAreIndependent()
    {
        TemplateModel t = TemplateJson::readTemplate(parseObject(R"({"textModels":[{"adapted":true}]})"));
        QVERIFY(t.textModels.at(0).adapted);
        QCOMPARE(t.textModels.at(0).adaptedMode, 1);

        t = TemplateJson::readTemplate(parseObject(R"({"textModels":[{"adaptedMode":2}]})"));
        QVERIFY(!t.textModels.at(0).adapted);
        QCOMPARE(t.textModels.at(0).adaptedMode, 2);

        t = TemplateJson::readTemplate(parseObject(R"({"textModels":[{"mutiled":false,"noVerRule":false,"scaleX":0.5}]})"));
        QVERIFY(!t.textModels.at(0).mutiled);
        QVERIFY(!t.textModels.at(0).noVerRule);
        QCOMPARE(t.textModels.at(0).scaleX, 0.5f);
        QCOMPARE(t.textModels.at(0).scaleY, 1.0f);
    }

    void wrongTypesReadAsZero()
    {
        const TemplateModel t = TemplateJson::readTemplate(parseObject(R"({"name":5,"printWidth":"240",
            "angle":90.5,"full":"true","lockstate":1,"textModels":{"a":1},"lineModels":[{"direction":1.5,
            "viewZ":"3","lockstate":"yes","width":null}]})"));
        QVERIFY(t.name.isEmpty());
        QCOMPARE(t.printWidth, 0.0f);
        QCOMPARE(t.angle, 0);
        QVERIFY(!t.full);
        QVERIFY(!t.lockstate);
        QVERIFY(t.textModels.isEmpty());
        QCOMPARE(t.lineModels.size(), 1);
        QCOMPARE(t.lineModels.at(0).direction, 0);
        QCOMPARE(t.lineModels.at(0).viewZ, 0);
        QVERIFY(!t.lineModels.at(0).lockstate);
        QCOMPARE(t.lineModels.at(0).width, 0.0f);

        QCOMPARE(TemplateJson::readTemplate(parseObject(R"({"angle":90})")).angle, 90);
        // numbers that do not fit the field read as 0, never as garbage
        QCOMPARE(TemplateJson::readTemplate(parseObject(R"({"angle":1e12})")).angle, 0);
        QCOMPARE(TemplateJson::readTemplate(parseObject(R"({"printWidth":1e300})")).printWidth, 0.0f);
    }

    void fullWriterWritesEveryKeyAndNoOther()
    {
        TemplateModel t;
        t.name = QStringLiteral("样板");
        t.rectangleModels.append(RectangleModel());
        t.lineModels.append(LineModel());
        t.circleModels.append(CircleModel());
        t.textModels.append(TextModel());
        t.pictureModels.append(PictureModel());
        t.qrcodeModels.append(QrcodeModel());
        t.barcodeModels.append(BarcodeModel());
        RectangleBgModel bg;
        bg.border = 0.3f;
        t.rectBgModels.append(bg);

        const QJsonObject o = TemplateJson::writeTemplate(t);
        const QStringList header{"angle", "background", "backLength", "barcodeModels", "circleModels",
                                 "createTime", "foldLength", "full", "lineModels", "lockstate",
                                 "modifyTime", "name", "offsetX", "offsetY", "pictureModels",
                                 "printHeight", "printWidth", "qrcodeModels", "rectBgModels",
                                 "rectangleModels", "textModels", "type"};
        QStringList keys = o.keys();
        QStringList expected = header;
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);

        const QStringList common{"border", "height", "id", "lockstate", "startX", "startY", "viewZ", "width"};
        auto keysOf = [&](const char *list) {
            QStringList k = o.value(QLatin1String(list)).toArray().at(0).toObject().keys();
            k.sort();
            return k;
        };
        auto sorted = [](QStringList l) { l.sort(); return l; };
        QCOMPARE(keysOf("rectangleModels"), sorted(common));
        QCOMPARE(keysOf("circleModels"), sorted(common));
        QCOMPARE(keysOf("lineModels"), sorted(common + QStringList{"direction"}));
        QCOMPARE(keysOf("pictureModels"), sorted(common + QStringList{"fileName"}));
        QCOMPARE(keysOf("qrcodeModels"), sorted(common + QStringList{"content", "title", "fixed"}));
        QCOMPARE(keysOf("barcodeModels"), sorted(common + QStringList{"content", "title", "fixed"}));
        QStringList bgKeys = common;
        bgKeys.removeOne(QStringLiteral("border"));
        QCOMPARE(keysOf("rectBgModels"), sorted(bgKeys));
        QCOMPARE(keysOf("textModels"),
                 sorted(common + QStringList{"font", "fontSize", "bold", "italic", "horizontalAlign",
                                             "verticalAlign", "direction", "rotate", "wordSpacing",
                                             "rowSpacing", "indentation", "scaleX", "scaleY", "textTitle",
                                             "textContent", "fixed", "adapted", "adaptedMode", "mutiled",
                                             "noVerRule"}));
    }

    void timesOfTheFullWriter()
    {
        const QDateTime now(QDate(2024, 3, 5), QTime(7, 8, 9));
        TemplateModel t;
        QJsonObject o = TemplateJson::writeTemplate(t, now);
        QCOMPARE(o.value(QStringLiteral("createTime")).toString(), QStringLiteral("2024-03-05 07:08:09"));
        QCOMPARE(o.value(QStringLiteral("modifyTime")).toString(), QStringLiteral("2024-03-05 07:08:09"));

        t.createTime = QStringLiteral("2022-01-01 00:00:00");
        t.modifyTime = QStringLiteral("2022-01-02 00:00:00");
        o = TemplateJson::writeTemplate(t, now);
        QCOMPARE(o.value(QStringLiteral("createTime")).toString(), QStringLiteral("2022-01-01 00:00:00"));
        QCOMPARE(o.value(QStringLiteral("modifyTime")).toString(), QStringLiteral("2024-03-05 07:08:09"));
    }

    void roundTripKeepsEveryField()
    {
        TemplateModel t;
        t.name = QStringLiteral("新文书2CM");
        t.type = QStringLiteral("文书档案");
        t.background = QStringLiteral("out:abc.png");
        t.printWidth = 240;
        t.printHeight = 310;
        t.backLength = 20;
        t.foldLength = 38;
        t.offsetX = -1.25f;
        t.offsetY = 3.3f;
        t.angle = 270;
        t.full = true;
        t.lockstate = true;
        t.createTime = QStringLiteral("2022-05-01 10:00:00");
        TextModel text;
        text.id = QStringLiteral("1650000000000");
        text.startX = 1.1f;
        text.startY = 2.2f;
        text.width = 3.3f;
        text.height = 4.4f;
        text.border = 0.3f;
        text.viewZ = 7;
        text.lockstate = true;
        text.font = QStringLiteral("黑体");
        text.fontSize = 4.94f;
        text.bold = true;
        text.italic = true;
        text.horizontalAlign = 1;
        text.verticalAlign = -1;
        text.direction = 2;
        text.rotate = 180;
        text.wordSpacing = 0.7f;
        text.rowSpacing = 0.9f;
        text.indentation = 2;
        text.scaleX = 0.85f;
        text.scaleY = 1.2f;
        text.textTitle = QStringLiteral("案卷题名");
        text.textContent = QStringLiteral("第一行\n第二行");
        text.fixed = true;
        text.adapted = true;
        text.adaptedMode = 2;
        text.mutiled = false;
        text.noVerRule = false;
        t.textModels.append(text);
        LineModel line;
        line.direction = 1;
        line.border = 0.5f;
        t.lineModels.append(line);
        PictureModel picture;
        picture.fileName = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e.png");
        t.pictureModels.append(picture);
        QrcodeModel qr;
        qr.title = QStringLiteral("档号");
        qr.content = QStringLiteral("A-1");
        qr.fixed = true;
        t.qrcodeModels.append(qr);

        const QByteArray file = QJsonDocument(TemplateJson::writeTemplate(t)).toJson();
        const TemplateModel back = TemplateJson::readTemplate(QJsonDocument::fromJson(file).object());
        QCOMPARE(back.name, t.name);
        QCOMPARE(back.type, t.type);
        QCOMPARE(back.background, t.background);
        QCOMPARE(back.offsetX, t.offsetX);
        QCOMPARE(back.offsetY, t.offsetY);
        QCOMPARE(back.angle, 270);
        QVERIFY(back.full && back.lockstate);
        QCOMPARE(back.createTime, t.createTime);
        const TextModel &b = back.textModels.at(0);
        QCOMPARE(b.id, text.id);
        QCOMPARE(b.startX, text.startX);
        QCOMPARE(b.height, text.height);
        QCOMPARE(b.border, text.border);
        QCOMPARE(b.viewZ, 7);
        QVERIFY(b.lockstate);
        QCOMPARE(b.fontSize, text.fontSize);
        QVERIFY(b.bold && b.italic);
        QCOMPARE(b.horizontalAlign, 1);
        QCOMPARE(b.verticalAlign, -1);
        QCOMPARE(b.direction, 2);
        QCOMPARE(b.rotate, 180);
        QCOMPARE(b.wordSpacing, text.wordSpacing);
        QCOMPARE(b.rowSpacing, text.rowSpacing);
        QCOMPARE(b.scaleX, text.scaleX);
        QCOMPARE(b.scaleY, text.scaleY);
        QCOMPARE(b.textContent, text.textContent);
        QVERIFY(b.fixed && b.adapted);
        QCOMPARE(b.adaptedMode, 2);
        QVERIFY(!b.mutiled && !b.noVerRule);
        QCOMPARE(back.lineModels.at(0).direction, 1);
        QCOMPARE(back.lineModels.at(0).border, 0.5f);
        QCOMPARE(back.pictureModels.at(0).fileName, picture.fileName);
        QCOMPARE(back.qrcodeModels.at(0).title, qr.title);
        QCOMPARE(back.qrcodeModels.at(0).content, qr.content);
        QVERIFY(back.qrcodeModels.at(0).fixed);
    }

    void headerReaderSkipsEverythingElse()
    {
        const TemplateModel h = TemplateJson::readHeader(parseObject(R"({"name":"a","type":"其他",
            "background":"x.png","printWidth":240,"printHeight":310,"backLength":20,"foldLength":38,
            "offsetX":5,"angle":90,"full":true,"createTime":"c","modifyTime":"m","textModels":[{}]})"));
        QCOMPARE(h.name, QStringLiteral("a"));
        QCOMPARE(h.type, QStringLiteral("其他"));
        QCOMPARE(h.background, QStringLiteral("x.png"));
        QCOMPARE(h.printHeight, 310.0f);
        QCOMPARE(h.foldLength, 38.0f);
        QCOMPARE(h.createTime, QStringLiteral("c"));
        QCOMPARE(h.modifyTime, QStringLiteral("m"));
        QCOMPARE(h.offsetX, 0.0f);
        QCOMPARE(h.angle, 0);
        QVERIFY(!h.full);
        QVERIFY(h.textModels.isEmpty());
    }

    void placementWriterChangesOnlyThePlacement()
    {
        const QJsonObject stored = parseObject(R"({"name":"a","angle":0,"custom":"kept","textModels":[{"id":"1"}]})");
        TemplateModel t;
        t.name = QStringLiteral("ignored");
        t.offsetX = 0.3f;
        t.offsetY = -2;
        t.angle = 90;
        const QJsonObject o = TemplateJson::writePlacement(stored, t);
        QCOMPARE(o.value(QStringLiteral("name")).toString(), QStringLiteral("a"));
        QCOMPARE(o.value(QStringLiteral("custom")).toString(), QStringLiteral("kept"));
        QCOMPARE(o.value(QStringLiteral("textModels")).toArray().size(), 1);
        QCOMPARE(o.value(QStringLiteral("offsetX")).toDouble(), double(0.3f));
        QCOMPARE(o.value(QStringLiteral("offsetY")).toDouble(), -2.0);
        QCOMPARE(o.value(QStringLiteral("angle")).toInt(), 90);
        QCOMPARE(o.size(), stored.size() + 2);

        const QJsonObject fresh = TemplateJson::writePlacement(QJsonObject(), t);
        QCOMPARE(fresh.keys(), (QStringList{"angle", "offsetX", "offsetY"}));
    }
};

QTEST_GUILESS_MAIN(TestTemplateJson)
#include "tst_templatejson.moc"
