#include "support/testsupport.h"
#include "util/constants.h"
#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

using namespace TestSupport;

namespace {

struct Family {
    const char *prefix;
    const char *type;
    const char *background; // with %1 for the spine width in cm
    float fold;
    QStringList titles;
};

QStringList numbered(const QString &stem, int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list.append(stem + QString::number(i));
    return list;
}

const QList<Family> &families()
{
    static const QList<Family> list{
        {"新文书", "文书档案", "xinwenshu%1CM.png", 30,
         {"全宗号", "年度", "保管期限", "机构问题", "起件", "止件", "盒号", "案卷题名"}},
        {"科技", "科技档案", "keji%1CM.jpg", 30,
         {"档号", "脊背档号", "脊背案卷题名", "立卷单位", "起止日期", "保管期限", "密级"}},
        {"老文书", "文书档案", "laowenshu%1CM.jpg", 30,
         {"脊背全宗号", "脊背目录号", "年度", "脊背案卷号", "脊背归档号", "归档号", "案卷号", "目录号", "全宗号",
          "自年", "自月", "至年", "至月", "保管期限", "共件", "共页", "抬头", "案卷题名"}},
        {"城建", "城建档案", "chengjian%1CM.png", 38,
         {"脊背总登记号", "脊背档号", "文本标题3", "总登记号", "档号", "项目代号", "缩微号", "档案馆代号", "案卷题名",
          "编制单位", "编制日期", "移交单位", "密级", "保管期限", "共卷", "第卷"}},
        {"会计", "会计档案", "kuaiji%1CM.png", 38,
         {"脊背年度", "脊背全宗号", "脊背目录号", "脊背分类号", "脊背案卷号", "脊背保管期限", "全宗号", "目录号",
          "分类号", "案卷号", "保管期限", "共张", "共卷", "自年", "自月", "自日", "至年", "至月", "至日"}},
        {"企退", "其他", "qitui%1CM.png", 38, {"脊背姓名", "脊背档案号", "姓名", "社会保障号", "档案号"}},
        {"通用", "其他", "tongyong%1CM.png", 38,
         {"脊背档号", "档号", "馆室号", "缩微号", "脊背案卷题名", "案卷题名", "编制单位", "编制日期", "保管期限", "密级"}},
    };
    return list;
}

struct Single {
    const char *name;
    const char *type;
    const char *background;
    float width, height;
    QStringList titles;
};

const QList<Single> &singles()
{
    static const QList<Single> list{
        {"大会计凭证", "会计档案", "kuaiji_da.jpg", 375, 257,
         {"脊背全宗号", "脊背目录号", "脊背案卷号", "脊背年度", "脊背月", "脊背共册", "脊背第册", "脊背保管期限",
          "全宗号", "目录号", "案卷号", "年度", "X月", "共册", "第册", "保管期限", "全宗", "目录", "案卷", "单位名称",
          "文本标题20", "X年", "封面X月", "封面共册", "封面第册", "自号", "至号", "附件", "共X张", "自年", "自月", "自日",
          "至年", "至月", "至日", "归档日期", "立卷人", "封面保管期限"}},
        {"小会计凭证", "会计档案", "kuaiji_xiao.jpg", 305, 182,
         {"脊背全宗号", "脊背目录号", "脊背案卷号", "脊背年度", "脊背月", "脊背共册", "脊背第册", "保管期限", "全宗",
          "目录", "案卷", "单位名称", "凭证名称", "X年", "X月", "共册", "第册", "自号", "至号", "附件", "共张", "自年",
          "自月", "自日", "至年", "至月", "至日", "归档时间", "立卷人", "封面保管期限"}},
        {"档案袋", "其他", "dangandai.jpg", 240, 340,
         QStringList{"姓名", "性别", "民族", "籍贯", "省份", "市县"} + numbered(QStringLiteral("名称"), 20)
             + numbered(QStringLiteral("件数"), 20) + numbered(QStringLiteral("页数"), 20)
             + QStringList{"备注", "档案号", "X年", "X月", "X日"}},
    };
    return list;
}

QJsonArray builtinArray()
{
    QFile file{QLatin1String(DEFAULT_TEMPLATE_PATH)};
    if (!file.open(QIODevice::ReadOnly))
        return QJsonArray();
    return JsonFile::parse(file.readAll()).array();
}

QStringList titlesOf(const TemplateModel &t)
{
    QStringList titles;
    for (const TextModel &m : t.textModels)
        titles.append(m.textTitle);
    return titles;
}

QString backgroundPath(const TemplateModel &t)
{
    return QStringLiteral(":/resources/background/") + t.background;
}

// True when the pixel is ink (caption text or a ruled line), not a face fill.
bool isInk(QRgb rgb)
{
    return qGray(rgb) < 150;
}

} // namespace

class TestBuiltinTemplates : public QObject
{
    Q_OBJECT

private:
    QList<TemplateModel> m_templates;

private slots:
    void initTestCase()
    {
        for (const QJsonValue &v : builtinArray())
            m_templates.append(TemplateJson::readTemplate(v.toObject()));
    }

    void resourceFormat()
    {
        QFile file{QLatin1String(DEFAULT_TEMPLATE_PATH)};
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF["));
        QCOMPARE(m_templates.size(), 38);

        // Keys the built-ins store, and those they leave to the reader defaults.
        const QJsonArray array = builtinArray();
        for (int i = 0; i < array.size(); ++i) {
            const QJsonObject o = array.at(i).toObject();
            QVERIFY(!o.contains(QStringLiteral("angle")));
            QVERIFY(!o.contains(QStringLiteral("lockstate")));
            QCOMPARE(o.contains(QStringLiteral("offsetX")), i >= 35);
            QCOMPARE(o.contains(QStringLiteral("offsetY")), i >= 35);
            for (const QJsonValue &tv : o.value(QStringLiteral("textModels")).toArray()) {
                const QJsonObject text = tv.toObject();
                for (const char *absent : {"viewZ", "lockstate", "adapted", "adaptedMode", "mutiled", "noVerRule"})
                    QVERIFY2(!text.contains(QLatin1String(absent)), absent);
            }
        }

        // The system Python agrees on the count and the names.
        QByteArray out;
        QCOMPARE(runProgram(systemPython(),
                            {QStringLiteral("-c"),
                             QStringLiteral("import json,sys\n"
                                            "d=json.loads(sys.stdin.buffer.read().decode('utf-8-sig'))\n"
                                            "print(len(d), sum(len(t['textModels']) for t in d))")},
                            &out, nullptr, bytes),
                 0);
        QCOMPARE(out.trimmed(), QByteArray("38 554"));
    }

    void headersMatchTheTables()
    {
        QCOMPARE(m_templates.size(), 38);
        int index = 0;
        for (const Family &f : families()) {
            for (int cm = 2; cm <= 6; ++cm, ++index) {
                const TemplateModel &t = m_templates.at(index);
                QCOMPARE(t.name, QString::fromUtf8(f.prefix) + QString::number(cm) + QStringLiteral("CM"));
                QCOMPARE(t.type, QString::fromUtf8(f.type));
                QCOMPARE(t.background, QString::fromUtf8(f.background).arg(cm));
                QCOMPARE(t.printWidth, float(240 + (cm - 2) * 10));
                QCOMPARE(t.printHeight, 310.0f);
                QCOMPARE(t.backLength, float(cm * 10));
                QCOMPARE(t.foldLength, f.fold);
                QVERIFY(!t.full);
                QCOMPARE(titlesOf(t), f.titles);
            }
        }
        for (const Single &s : singles()) {
            const TemplateModel &t = m_templates.at(index++);
            QCOMPARE(t.name, QString::fromUtf8(s.name));
            QCOMPARE(t.type, QString::fromUtf8(s.type));
            QCOMPARE(t.background, QString::fromUtf8(s.background));
            QCOMPARE(t.printWidth, s.width);
            QCOMPARE(t.printHeight, s.height);
            QCOMPARE(t.backLength, 20.0f);
            QCOMPARE(t.foldLength, 38.0f);
            QVERIFY(t.full);
            QCOMPARE(t.offsetX, 0.0f);
            QCOMPARE(t.offsetY, 0.0f);
            QCOMPARE(titlesOf(t), s.titles);
        }
    }

    void timesLeadWithTheFullFaceTemplates()
    {
        for (const TemplateModel &t : m_templates) {
            QVERIFY2(t.createTime.startsWith(QLatin1String("2022-")), qPrintable(t.name));
            QVERIFY2(t.modifyTime.startsWith(QLatin1String("2024-")), qPrintable(t.name));
            QVERIFY(QDateTime::fromString(t.modifyTime, QLatin1String(TemplateJson::TIME_FORMAT)).isValid());
        }
        TestSupport::TempProgramDir dir;
        const QList<TemplateModel> list = JsonUtil::parseTemplateList(true, true);
        QCOMPARE(list.at(0).name, QStringLiteral("档案袋"));
        QCOMPARE(list.at(1).name, QStringLiteral("小会计凭证"));
        QCOMPARE(list.at(2).name, QStringLiteral("大会计凭证"));
    }

    void textElements()
    {
        for (const TemplateModel &t : m_templates) {
            QVERIFY(t.rectangleModels.isEmpty() && t.lineModels.isEmpty() && t.circleModels.isEmpty()
                    && t.pictureModels.isEmpty() && t.qrcodeModels.isEmpty() && t.barcodeModels.isEmpty()
                    && t.rectBgModels.isEmpty());
            QSet<QString> ids;
            for (const TextModel &m : t.textModels) {
                const QString where = t.name + QLatin1Char('/') + m.textTitle;
                QVERIFY2(!ids.contains(m.id), qPrintable(where));
                ids.insert(m.id);
                QVERIFY2(QRegularExpression(QStringLiteral("^\\d{13}$")).match(m.id).hasMatch(), qPrintable(where));
                QCOMPARE(m.font, QStringLiteral("宋体"));
                QCOMPARE(m.border, 0.3f);
                // Archive numbers on a narrow spine take a smaller font.
                QVERIFY(m.fontSize >= 2.0f && m.fontSize <= 6.0f);
                QVERIFY(!m.fixed && !m.bold && !m.italic);
                QCOMPARE(m.indentation, 0.0f);
                QCOMPARE(m.wordSpacing, 0.0f);
                QCOMPARE(m.scaleX, 1.0f);
                QCOMPARE(m.viewZ, 0);
                QVERIFY(!m.lockstate && !m.adapted && m.mutiled && m.noVerRule);
                QCOMPARE(m.adaptedMode, 1);
                const bool dated = t.name == QStringLiteral("老文书2CM")
                    && QStringList{"自年", "自月", "至年", "至月"}.contains(m.textTitle);
                const QString content = !dated ? QStringLiteral("文本")
                    : m.textTitle.endsWith(QStringLiteral("年")) ? QStringLiteral("2020")
                                                                 : QStringLiteral("09");
                QCOMPARE(m.textContent, content);
            }
        }
        // A family shares its ids.
        QCOMPARE(m_templates.at(0).textModels.at(3).id, m_templates.at(4).textModels.at(3).id);

        int count = 0;
        for (const TemplateModel &t : m_templates)
            count += t.textModels.size();
        QCOMPARE(count, 554);
    }

    void exampleGeometry()
    {
        const TemplateModel &t = m_templates.first();
        QCOMPARE(t.name, QStringLiteral("新文书2CM"));
        const struct {
            float x, y, w, h;
        } expected[] = {{0, 42.84f, 20.04f, 14.38f},    {0, 69.93f, 20.04f, 14.38f},   {0, 100.07f, 20.04f, 14.38f},
                        {0, 130.52f, 20.04f, 14.38f},   {7.5f, 151.33f, 12.55f, 27.08f}, {7.34f, 180.55f, 12.55f, 27.08f},
                        {0, 221.87f, 20.04f, 14.38f},   {64.11f, 93.64f, 130.37f, 12.55f}};
        for (int i = 0; i < 8; ++i) {
            const TextModel &m = t.textModels.at(i);
            QCOMPARE(m.startX, expected[i].x);
            QCOMPARE(m.startY, expected[i].y);
            QCOMPARE(m.width, expected[i].w);
            QCOMPARE(m.height, expected[i].h);
            QCOMPARE(m.fontSize, 6.0f);
            QCOMPARE(m.direction, 0);
            QCOMPARE(m.horizontalAlign, 0);
        }
    }

    // Vertical text is for the spine titles: right to left, centred both ways.
    void spineTitlesStandRightToLeft()
    {
        const QSet<QString> spineTitles{"脊背案卷题名", "文本标题3", "脊背姓名", "脊背档案号"};
        int vertical = 0;
        for (const TemplateModel &t : m_templates) {
            for (const TextModel &m : t.textModels) {
                const QString where = t.name + QLatin1Char('/') + m.textTitle;
                QCOMPARE(m.direction != 0, spineTitles.contains(m.textTitle));
                if (m.direction == 0)
                    continue;
                ++vertical;
                QVERIFY2(m.direction == 2 && m.horizontalAlign == 0 && m.verticalAlign == 0, qPrintable(where));
                QVERIFY2(m.startX + m.width <= t.backLength + 0.05f, qPrintable(where));
            }
        }
        QCOMPARE(vertical, 25);
    }

    // Every field lies inside its page, is large enough for one line of its
    // font, overlaps no other field, and sits on the spine when its title
    // says it belongs there.
    void fieldsFitTheirPages()
    {
        for (const TemplateModel &t : m_templates) {
            for (int i = 0; i < t.textModels.size(); ++i) {
                const TextModel &m = t.textModels.at(i);
                const QString where = t.name + QLatin1Char('/') + m.textTitle;
                const QRectF r(m.startX, m.startY, m.width, m.height);
                QVERIFY2(r.left() >= 0 && r.top() >= 0 && r.right() <= t.printWidth + 0.05
                             && r.bottom() <= t.printHeight,
                         qPrintable(where));
                QVERIFY2(m.width >= m.fontSize * 1.5f && m.height >= m.fontSize * 1.5f, qPrintable(where));
                if (m.textTitle.startsWith(QStringLiteral("脊背")))
                    QVERIFY2(r.right() <= t.backLength + 0.05, qPrintable(where));
                for (int j = i + 1; j < t.textModels.size(); ++j) {
                    const TextModel &o = t.textModels.at(j);
                    const QRectF other(o.startX, o.startY, o.width, o.height);
                    const QRectF overlap = r.intersected(other);
                    QVERIFY2(overlap.width() < 0.1 || overlap.height() < 0.1,
                             qPrintable(where + QStringLiteral(" overlaps ") + o.textTitle));
                }
            }
        }
    }

    // Each background is embedded, decodes in the format its name says,
    // has the page's proportions, and shows a ruled box around every field
    // with nothing printed inside it.
    void backgroundsAgreeWithTheFields()
    {
        qint64 total = 0;
        for (const TemplateModel &t : m_templates) {
            const QString path = backgroundPath(t);
            QVERIFY2(QFile::exists(path), qPrintable(path));
            total += QFileInfo(path).size();
            QImageReader reader(path);
            const QByteArray expectedFormat = t.background.endsWith(QLatin1String(".png")) ? "png" : "jpeg";
            QCOMPARE(reader.format(), expectedFormat);
            const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(!image.isNull(), qPrintable(path));

            const double pxPerMm = image.width() / double(t.printWidth);
            QVERIFY2(pxPerMm >= 150 / 25.4, qPrintable(path)); // sharp when the editor zooms in
            QVERIFY2(std::abs(image.height() - t.printHeight * pxPerMm) <= 2, qPrintable(path));

            for (const TextModel &m : t.textModels) {
                const QString where = t.name + QLatin1Char('/') + m.textTitle;
                const QRect box(int(std::lround(m.startX * pxPerMm)), int(std::lround(m.startY * pxPerMm)),
                                int(std::lround(m.width * pxPerMm)), int(std::lround(m.height * pxPerMm)));
                // Nothing printed inside (a margin of 1 mm keeps clear of the lines).
                const int margin = int(std::ceil(pxPerMm));
                const QRect inside = box.adjusted(margin, margin, -margin, -margin);
                int ink = 0;
                for (int y = inside.top(); y <= inside.bottom(); y += 2) {
                    for (int x = inside.left(); x <= inside.right(); x += 2)
                        ink += isInk(image.pixel(x, y));
                }
                QVERIFY2(ink == 0, qPrintable(where + QStringLiteral(" has print inside")));

                // A ruled line near the middle of every side.
                auto lineNear = [&](QPoint from, QPoint step) {
                    for (int k = 0; k <= margin; ++k) {
                        const QPoint p = from + step * k;
                        if (image.rect().contains(p) && isInk(image.pixel(p)))
                            return true;
                    }
                    return false;
                };
                const QPoint c = box.center();
                QVERIFY2(lineNear(QPoint(box.left(), c.y()), QPoint(1, 0)), qPrintable(where + QStringLiteral(" left")));
                QVERIFY2(lineNear(QPoint(box.right(), c.y()), QPoint(-1, 0)), qPrintable(where + QStringLiteral(" right")));
                QVERIFY2(lineNear(QPoint(c.x(), box.top()), QPoint(0, 1)), qPrintable(where + QStringLiteral(" top")));
                QVERIFY2(lineNear(QPoint(c.x(), box.bottom()), QPoint(0, -1)), qPrintable(where + QStringLiteral(" bottom")));
            }
        }
        QVERIFY2(total < 10 * 1024 * 1024, qPrintable(QString::number(total)));
    }

    void resourceListMatchesTheFolder()
    {
        QFile qrc(QStringLiteral(KELO_SOURCE_DIR "/resources/resources.qrc"));
        QVERIFY(qrc.open(QIODevice::ReadOnly));
        QSet<QString> listed;
        QXmlStreamReader xml(&qrc);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("file"))
                listed.insert(xml.readElementText());
        }
        QVERIFY(!xml.hasError());
        QSet<QString> backgrounds;
        for (const TemplateModel &t : m_templates)
            backgrounds.insert(QStringLiteral("background/") + t.background);
        QCOMPARE(backgrounds.size(), 38);
        for (const QString &name : QDir(QStringLiteral(KELO_SOURCE_DIR "/resources/background")).entryList(QDir::Files))
            QVERIFY2(backgrounds.contains(QStringLiteral("background/") + name), qPrintable(name));
        QVERIFY(listed.contains(backgrounds));
        QVERIFY(listed.contains(QStringLiteral("config/defaultTemplate.json")));
    }

    void statusIconsAndStyleSheets()
    {
        const QRegularExpression url(QStringLiteral("^#lb_title_status\\{border-image: url\\((:/resources/icon/status_\\w+\\.png)\\);\\}$"));
        QStringList paths;
        for (const char *style : {TITLE_STYLE_UNCONNECTED, TITLE_STYLE_CONNECTED, TITLE_STYLE_INK_ERR}) {
            const QRegularExpressionMatch match = url.match(QLatin1String(style));
            QVERIFY2(match.hasMatch(), style);
            paths.append(match.captured(1));
        }
        QCOMPARE(paths, (QStringList{QStringLiteral(":/resources/icon/status_unconnected.png"),
                                     QStringLiteral(":/resources/icon/status_connected.png"),
                                     QStringLiteral(":/resources/icon/status_ink_err.png")}));
        QList<QImage> icons;
        for (const QString &p : paths) {
            const QImage icon(p);
            QVERIFY2(!icon.isNull(), qPrintable(p));
            QVERIFY(icon.hasAlphaChannel());
            icons.append(icon);
        }
        // Three different states look different.
        QVERIFY(icons.at(0) != icons.at(1) && icons.at(1) != icons.at(2) && icons.at(0) != icons.at(2));
    }

    void fontSizeTables()
    {
        const QStringList names{" 初号 ", " 小初 ", " 一号 ", " 小一 ", " 二号 ", " 小二 ", " 三号 ", " 小三 ",
                                " 四号 ", " 小四 ", " 五号 ", " 小五 ", " 六号 ", " 小六 ", " 七号 ", " 八号 "};
        const QList<float> heights{14.81f, 12.70f, 9.17f, 8.46f, 7.76f, 6.35f, 5.64f, 5.29f,
                                   4.94f,  4.23f,  3.70f, 3.17f, 2.65f, 2.29f, 1.94f, 1.76f};
        QCOMPARE(fontSizePairs.size(), 16);
        QCOMPARE(fontSizeMap.size(), 16);
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(fontSizePairs.at(i).first, names.at(i));
            QCOMPARE(fontSizePairs.at(i).second, heights.at(i));
            QCOMPARE(fontSizeMap.value(names.at(i)), heights.at(i));
            QCOMPARE(fontSizePairs.at(i).first.size(), 4);
        }
        // The blanks belong to the names.
        QVERIFY(!fontSizeMap.contains(QStringLiteral("初号")));
        // Heights are distinct, so a height names one size; a height read
        // back from a template matches only when it came from the table.
        QCOMPARE(QSet<float>(heights.begin(), heights.end()).size(), 16);
        QCOMPARE(fontSizeMap.key(14.81f), QStringLiteral(" 初号 "));
        QVERIFY(fontSizeMap.key(14.8f).isEmpty());
        const QJsonObject written = TemplateJson::writeTemplate([] {
            TemplateModel t;
            TextModel m;
            m.fontSize = fontSizeMap.value(QStringLiteral(" 小三 "));
            t.textModels.append(m);
            return t;
        }());
        QCOMPARE(TemplateJson::readTemplate(written).textModels.first().fontSize, fontSizeMap.value(QStringLiteral(" 小三 ")));
    }
};

QTEST_GUILESS_MAIN(TestBuiltinTemplates)
#include "tst_builtintemplates.moc"
