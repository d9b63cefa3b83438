// Requests of the local API as clients write them, and the replies checked
// byte for byte and against Python's json module.

#include "support/labelfixtures.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

using namespace TestSupport;

namespace {

// Text fields, a QR code and a barcode titled as given.
TemplateModel templateWith(const QStringList &textTitles, const QString &qrTitle, const QString &barcodeTitle)
{
    TemplateModel model;
    for (const QString &title : textTitles)
        model.textModels << textField(title, QStringLiteral("content"), 0, 0, 10, 5, 3);
    model.qrcodeModels << qrField(qrTitle, QString(), 0, 0, 10);
    model.barcodeModels << placedElement<BarcodeModel>(0, 0, 10, 5);
    model.barcodeModels.last().title = barcodeTitle;
    return model;
}

} // namespace

class TestApiMessages : public QObject
{
    Q_OBJECT

private slots:
    void parsesRequests_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("requestId");
        QTest::addColumn<int>("seq");
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<int>("rows");

        QTest::newRow("print") << R"( {"requestId":12,"seq":7,"templateName":"文书档案","data":[{"a":"1"},5,{}]} )" << 12 << 7 << "文书档案" << 3;
        QTest::newRow("name not text") << R"({"requestId":11,"seq":4,"templateName":12})" << 11 << 4 << "" << 0;
        QTest::newRow("status reads no name") << R"({"requestId":13,"seq":1,"templateName":"T","data":[{}]})" << 13 << 1 << "" << 0;
        QTest::newRow("data not array") << R"({"requestId":12,"templateName":"T","data":{"a":"1"}})" << 12 << 0 << "T" << 0;
        QTest::newRow("id as text") << R"({"requestId":"10","seq":3})" << 0 << 3 << "" << 0;
        QTest::newRow("id fraction") << R"({"requestId":10.5,"seq":3})" << 0 << 3 << "" << 0;
        QTest::newRow("id past int") << R"({"requestId":4294967306,"seq":2})" << 0 << 2 << "" << 0;
        QTest::newRow("id huge") << R"({"requestId":1e400})" << 0 << 0 << "" << 0;
        QTest::newRow("seq wraps") << R"({"requestId":10,"seq":65537})" << 10 << 1 << "" << 0;
        QTest::newRow("seq -1") << R"({"requestId":10,"seq":-1})" << 10 << 65535 << "" << 0;
        QTest::newRow("seq fraction") << R"({"requestId":10,"seq":2.5})" << 10 << 0 << "" << 0;
        QTest::newRow("seq int max") << R"({"seq":2147483647})" << 0 << 65535 << "" << 0;
        QTest::newRow("seq past int") << R"({"seq":2147483649})" << 0 << 0 << "" << 0;
        QTest::newRow("keys by case") << R"({"RequestId":10,"Seq":3})" << 0 << 0 << "" << 0;
        QTest::newRow("not json") << "hello" << 0 << 0 << "" << 0;
        QTest::newRow("array") << R"([{"requestId":10}])" << 0 << 0 << "" << 0;
        QTest::newRow("cut short") << R"({"requestId":12,"seq":1,"data":[{"a":)" << 0 << 0 << "" << 0;
        QTest::newRow("nul inside") << QString::fromUtf8("{\"requestId\":10,\0\"seq\":1}", 25) << 0 << 0 << "" << 0;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + R"({"requestId":10})" << 0 << 0 << "" << 0;
        QTest::newRow("deep nesting") << QString(100000, QLatin1Char('[')) << 0 << 0 << "" << 0;
        QTest::newRow("deep row") << R"({"requestId":12,"seq":9,"data":[{"a":)" + QString(500, QLatin1Char('['))
                                         + QString(500, QLatin1Char(']')) + "}]}"
                                  << 12 << 9 << "" << 1;
    }

    void parsesRequests()
    {
        QFETCH(QString, text);
        const APIModel request = JsonUtil::parseAPIRequest(text);
        QTEST(request.requestId, "requestId");
        QTEST(int(request.seq), "seq");
        QTEST(request.templateName, "templateName");
        QTEST(request.data.size(), "rows");
    }

    void rowsKeepTheirValues()
    {
        const QByteArray row = R"({"题名":"会议纪要","页数":3,"ok":true,"n":null,"l":[1,"x"],"o":{"k":"v"}})";
        const APIModel request
            = JsonUtil::parseAPIRequest(QString::fromUtf8(R"({"requestId":12,"data":[)" + row + R"(,"row",{}]})"));
        QCOMPARE(request.data.size(), 3);
        QCOMPARE(QJsonObject::fromVariantMap(request.data.at(0)), QJsonDocument::fromJson(row).object());
        QVERIFY(request.data.at(1).isEmpty() && request.data.at(2).isEmpty());
    }

    void mangledRequestsNeverMisbehave()
    {
        // Cut and flipped copies of a real request, under the sanitizers.
        const QByteArray seed = R"({"requestId":12,"seq":300,"templateName":"文书","data":[{"题名":"x","n":[1,{"k":null}]}]})";
        QRandomGenerator random(20260419);
        for (int i = 0; i < 3000; ++i) {
            QByteArray bytes = seed.left(random.bounded(seed.size() + 1));
            for (int flips = random.bounded(4); flips > 0 && !bytes.isEmpty(); --flips)
                bytes[random.bounded(bytes.size())] = char(random.bounded(256));
            const APIModel request = JsonUtil::parseAPIRequest(QString::fromUtf8(bytes));
            if (request.requestId != 12)
                QVERIFY(request.data.isEmpty());
            if (request.requestId != 11 && request.requestId != 12)
                QVERIFY(request.templateName.isEmpty());
        }
    }

    void buildsReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");

        QTest::newRow("welcome") << JsonUtil::buildJsonstrByStatus(1, 1, QStringLiteral("10000"))
                                 << R"({"code":"10000","resquestId":1,"seq":1})";
        QTest::newRow("status") << JsonUtil::buildJsonstrByStatus(12, 65535, QStringLiteral("11000"))
                                << R"({"code":"11000","resquestId":12,"seq":65535})";

        TemplateModel a;
        a.name = QStringLiteral("档案 \"A\"");
        a.type = QStringLiteral("文书档案");
        TemplateModel b;
        b.name = QStringLiteral("B");
        QTest::newRow("list") << JsonUtil::buildJsonstrByTemplateModel({a, b}, 2)
                              << "{\"code\":\"00000\",\"data\":[{\"templateName\":\"档案 \\\"A\\\"\",\"templateType\":\"文书档案\"},"
                                 "{\"templateName\":\"B\",\"templateType\":\"\"}],\"resquestId\":10,\"seq\":2}";
        QTest::newRow("empty list") << JsonUtil::buildJsonstrByTemplateModel({}, 0)
                                    << R"({"code":"00000","data":[],"resquestId":10,"seq":0})";

        const TemplateModel fields = templateWith({"题名", "页数", "题名", "", "Zeta", "alpha"},
                                                  QStringLiteral("二维码"), QStringLiteral("条码"));
        QTest::newRow("fields") << JsonUtil::buildJsonstrByTemplateFailds(fields, 3)
                                << R"({"code":"00000","data":{"":"","Zeta":"","alpha":"","页数":"","题名":""},"resquestId":11,"seq":3})";
        QTest::newRow("no fields") << JsonUtil::buildJsonstrByTemplateFailds(templateWith({}, "二维码", ""), 4)
                                   << R"({"code":"00000","data":{},"resquestId":11,"seq":4})";
    }

    void buildsReplies()
    {
        QFETCH(QString, reply);
        QFETCH(QString, expected);
        QCOMPARE(reply, expected);
    }

    void repliesAreCanonicalForPython()
    {
        // Python's compact dump with sorted keys is the outside oracle for
        // order and compactness; titles with escapes must parse back unchanged.
        const QString awkward = QStringLiteral("tab\t\"quote\" \\ \x01 ü 𝄞");
        const QStringList replies{
            JsonUtil::buildJsonstrByStatus(13, 40000, QStringLiteral("11003")),
            JsonUtil::buildJsonstrByTemplateFailds(templateWith({"b", "A", "a", "中", "_"}, "q", "c"), 9),
            JsonUtil::buildJsonstrByTemplateFailds(templateWith({awkward}, "", ""), 5),
        };
        const QString script = QStringLiteral(
            "import json,sys\n"
            "out=[]\n"
            "for t in json.loads(sys.stdin.buffer.read()):\n"
            "    o=json.loads(t)\n"
            "    out.append([json.dumps(o,separators=(',',':'),ensure_ascii=False,sort_keys=True)==t,"
            "list(o['data']) if 'data' in o else None])\n"
            "print(json.dumps(out))\n");
        QByteArray out;
        QCOMPARE(runProgram(systemPython(), {QStringLiteral("-c"), script}, &out, nullptr,
                            QJsonDocument(QJsonArray::fromStringList(replies)).toJson()),
                 0);
        const QJsonArray results = QJsonDocument::fromJson(out).array();
        QCOMPARE(results.size(), 3);
        QVERIFY(results.at(0).toArray().at(0).toBool());
        QVERIFY(results.at(1).toArray().at(0).toBool());
        QCOMPARE(results.at(1).toArray().at(1).toArray(), QJsonArray({"A", "_", "a", "b", "中"}));
        QCOMPARE(results.at(2).toArray().at(1).toArray(), QJsonArray({awkward}));
    }
};

QTEST_GUILESS_MAIN(TestApiMessages)
#include "tst_apimessages.moc"
