#include "util/jsonscan.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QByteArrayList WANTED{"name", "modifyTime"};

QJsonValue valueOf(const QByteArray &raw)
{
    return QJsonDocument::fromJson('[' + raw + ']').array().at(0);
}

// What Qt makes of the text: the array, or nothing.
bool qtArray(const QByteArray &text, QJsonArray *array)
{
    QByteArray body = text;
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.mid(3);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return false;
    *array = doc.array();
    return true;
}

// Whatever the scanner accepts, Qt accepts too, element for element.
void checkAgainstQt(const QByteArray &text)
{
    QVector<JsonScan::Element> elements;
    if (!JsonScan::splitArray(text, WANTED, &elements))
        return;
    QJsonArray array;
    QVERIFY2(qtArray(text, &array), text.left(200).constData());
    QCOMPARE(elements.size(), array.size());
    for (int i = 0; i < elements.size(); ++i) {
        const JsonScan::Element &e = elements.at(i);
        QCOMPARE(valueOf(text.mid(e.begin, e.length)), array.at(i));
        QCOMPARE(e.isObject, array.at(i).isObject());
        const QJsonObject picked = QJsonDocument::fromJson(e.picked).object();
        QJsonObject expected;
        for (const QByteArray &key : WANTED) {
            const QString k = QString::fromUtf8(key);
            if (array.at(i).toObject().contains(k))
                expected.insert(k, array.at(i).toObject().value(k));
        }
        QCOMPARE(picked, expected);
    }
}

QByteArray builtinText()
{
    QFile file(QStringLiteral(":/resources/config/defaultTemplate.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

class TestJsonScan : public QObject
{
    Q_OBJECT

private slots:
    void acceptsWellFormedArrays_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << QByteArray("[]") << 0;
        QTest::newRow("blanks") << QByteArray(" \r\n\t[ \n ] \n") << 0;
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF[{\"name\":\"a\"}]") << 1;
        QTest::newRow("mixed") << QByteArray("[1, -0.5e-3, \"s\", true, false, null, [], {}, {\"name\":\"x\",\"k\":[{}]}]") << 9;
        QTest::newRow("escapes") << QByteArray("[{\"name\":\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\"}]") << 1;
        QTest::newRow("utf8") << QByteArray("[{\"name\":\"档案袋 é 😀\"}]") << 1;
        QTest::newRow("escaped key") << QByteArray("[{\"n\\u0061me\":\"键\"}]") << 1;
        QTest::newRow("builtin") << builtinText() << 38;
    }

    void acceptsWellFormedArrays()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QVector<JsonScan::Element> elements;
        QVERIFY(JsonScan::splitArray(text, WANTED, &elements));
        QCOMPARE(elements.size(), count);
        checkAgainstQt(text);
    }

    void theFirstOfDuplicateKeysIsPicked()
    {
        // Qt keeps whichever duplicate its key sort leaves in place, so it
        // is no oracle here; members of nested objects never count.
        const QByteArray text = "[{\"x\":[1,{\"name\":\"inner\"}],\"name\":\"a\",\"modifyTime\":1,"
                                "\"name\":\"b\",\"n\\u0061me\":\"c\",\"modifyTime\":2}]";
        QVector<JsonScan::Element> elements;
        QVERIFY(JsonScan::splitArray(text, WANTED, &elements));
        QCOMPARE(elements.first().picked, QByteArray("{\"name\":\"a\",\"modifyTime\":1}"));
    }

    void refusesMalformedText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("nothing") << QByteArray("");
        QTest::newRow("object") << QByteArray("{\"name\":\"a\"}");
        QTest::newRow("truncated") << QByteArray("[{\"name\":\"a\"}");
        QTest::newRow("garbage after") << QByteArray("[] x");
        QTest::newRow("trailing comma") << QByteArray("[1,]");
        QTest::newRow("missing colon") << QByteArray("[{\"a\" 1}]");
        QTest::newRow("bare word") << QByteArray("[tru]");
        QTest::newRow("leading zero") << QByteArray("[01]");
        QTest::newRow("bare dot") << QByteArray("[1.]");
        QTest::newRow("overflow") << QByteArray("[1e400]");
        QTest::newRow("control char") << QByteArray("[\"a\x01\"]");
        QTest::newRow("bad escape") << QByteArray("[\"\\x\"]");
        QTest::newRow("short unicode") << QByteArray("[\"\\u12\"]");
        QTest::newRow("lone low surrogate") << QByteArray("[\"\\udc00\"]");
        QTest::newRow("lone high surrogate") << QByteArray("[\"\\ud800x\"]");
        QTest::newRow("overlong utf8") << QByteArray("[\"\xC0\xAF\"]");
        QTest::newRow("encoded surrogate") << QByteArray("[\"\xED\xA0\x80\"]");
        QTest::newRow("cut utf8") << QByteArray("[\"\xE6\xA1\"]");
        QTest::newRow("unterminated string") << QByteArray("[\"abc");
        QTest::newRow("deep") << QByteArray(300, '[') + QByteArray(300, ']');
    }

    void refusesMalformedText()
    {
        QFETCH(QByteArray, text);
        QVector<JsonScan::Element> elements;
        QVERIFY(!JsonScan::splitArray(text, WANTED, &elements));
    }

    // Damaged copies of a real file: never accepted where Qt refuses, and
    // never split differently from Qt.
    void agreesWithQtOnDamagedFiles()
    {
        const QByteArray source = builtinText().left(6000) + "]";
        QVERIFY(source.size() > 1000);
        QRandomGenerator random(20240607);
        for (int round = 0; round < 1500; ++round) {
            QByteArray text = source;
            const int edits = 1 + int(random.bounded(3));
            for (int e = 0; e < edits; ++e) {
                const int at = int(random.bounded(text.size()));
                switch (random.bounded(4)) {
                case 0: text.remove(at, 1 + int(random.bounded(8))); break;
                case 1: text.insert(at, "{}[]\",:\\0e-"[random.bounded(12)]); break;
                case 2: text[at] = char(random.bounded(256)); break;
                default: text.truncate(at); break;
                }
            }
            checkAgainstQt(text);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestJsonScan)
#include "tst_jsonscan.moc"
