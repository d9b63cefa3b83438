#include "util/xmlscanner.h"

#include <QXmlStreamReader>
#include <QtTest>

// Qt's stream reader is the oracle: for every document the scanner's verdict
// and what it reads (tags, attributes, the root's text) must be Qt's, but for
// the document type declarations a package part may not hold.
namespace {

struct Reading {
    bool wellFormed = false;
    QString error;
    QStringList events; // "<name", "@name=value", "/name"
    QString rootText;
};

Reading readWithQt(const QByteArray &document)
{
    Reading r;
    QXmlStreamReader xml(document);
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            r.events << QLatin1Char('<') + xml.qualifiedName();
            for (const QXmlStreamAttribute &a : xml.attributes())
                r.events << QLatin1Char('@') + a.qualifiedName() + QLatin1Char('=') + a.value();
        } else if (token == QXmlStreamReader::EndElement) {
            r.events << QLatin1Char('/') + xml.qualifiedName();
        }
    }
    r.wellFormed = !xml.hasError();
    QXmlStreamReader root(document);
    root.setNamespaceProcessing(false);
    if (r.wellFormed && root.readNextStartElement())
        r.rootText = root.readElementText(QXmlStreamReader::IncludeChildElements);
    return r;
}

Reading readWithScanner(const QByteArray &document)
{
    Reading r;
    XmlScanner xml(document);
    while (xml.next()) {
        const QString name = XmlScanner::toQString(xml.qualifiedName());
        if (xml.isEndElement()) {
            r.events << QLatin1Char('/') + name;
            continue;
        }
        r.events << QLatin1Char('<') + name;
        for (int i = 0; i < xml.attributeCount(); ++i)
            r.events << QLatin1Char('@') + XmlScanner::toQString(xml.attributeName(i)) + QLatin1Char('=')
                    + XmlScanner::toQString(xml.attributeValue(i));
    }
    r.wellFormed = !xml.hasError();
    r.error = xml.errorString();
    XmlScanner root(document);
    std::string_view text;
    if (r.wellFormed && root.next() && root.readText(&text))
        r.rootText = XmlScanner::toQString(text);
    return r;
}

// Qt lets some malformed names pass ("<a b`c='1'/>"), so damaged documents
// are held to one direction only: what the scanner accepts, Qt reads alike.
enum class Verdict { Same, QtMayAcceptMore };

void compareWithQt(const QByteArray &document, Verdict verdict = Verdict::Same)
{
    const Reading ours = readWithScanner(document);
    const Reading qt = readWithQt(document);
    if (verdict == Verdict::Same || ours.wellFormed)
        QVERIFY2(ours.wellFormed == qt.wellFormed, document.toPercentEncoding().constData());
    if (ours.wellFormed) {
        QCOMPARE(ours.events, qt.events);
        QCOMPARE(ours.rootText, qt.rootText);
    }
}

// A sheet with every construct the scanner knows.
const QByteArray SHEET = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                         "<x:worksheet xmlns:x=\"urn:s\" xmlns:r=\"urn:r\"><!-- 注释 --><x:sheetData>\n"
                         "<x:row r=\"1\"><x:c r=\"A1\" t='inlineStr'><x:is><x:t xml:space=\"preserve\"> "
                         "&#26723;案&amp;&lt;b&gt;</x:t></x:is></x:c><x:c r=\"B1\" s=\"2\"><x:v>0.5</x:v></x:c>"
                         "<x:c r=\"C1\" t=\"str\"><x:f>\"a\"&amp;\"b\"</x:f><x:v><![CDATA[a<b]]></x:v></x:c></x:row>"
                         "<x:row r=\"2\" spans=\"1:3\"><?pi data?><x:c r=\"A2\" t=\"e\"/></x:row></x:sheetData>"
                         "<x:mergeCells count=\"1\"><x:mergeCell ref=\"A1:B1\"/></x:mergeCells></x:worksheet>\n";

} // namespace

class TestXmlScanner : public QObject
{
    Q_OBJECT

private slots:
    // Rows Qt reads otherwise are what a package part may not hold.
    void readsAsQtDoes_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("wellFormed");
        QTest::addColumn<bool>("asQt");
        const auto row = [](const char *name, const QByteArray &document, bool wellFormed, bool asQt = true) {
            QTest::newRow(name) << document << wellFormed << asQt;
        };
        const auto nested = [](int depth) {
            return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
        };
        const auto attributes = [](int count) {
            QByteArray tag = "<a";
            for (int i = 0; i < count; ++i)
                tag += " x" + QByteArray::number(i) + "=''";
            return tag + "/>";
        };
        row("sheet", SHEET, true);
        row("references", "<a x='&lt;&#x41;&#66;'>&amp;&apos;&quot;&gt;&#26723;</a>", true);
        row("line ends", "<a x=\"1\r\n2\t3\n\">l1\r\nl2\rl3<b>\r</b></a>", true);
        row("blanks in tags", "<a  x = 'v'\n></a >", true);
        row("byte-order marks in texts", "<a x='\xEF\xBB\xBF" "1'>\xEF\xBB\xBF\xEF\xBB\xBF</a>", true);
        row("utf-16", QByteArray("\xFF\xFE<\0a\0>\0\x63\x68<\0/\0a\0>\0", 18), true);
        row("deepest nesting", nested(XmlScanner::MAX_DEPTH), true);
        row("most attributes", attributes(XmlScanner::MAX_ATTRIBUTES), true);
        row("unclosed", "<a><b></a>", false);
        row("stray end tag", "<a></a></b>", false);
        row("two roots", "<a/><b/>", false);
        row("unknown entity", "<a>&nbsp;</a>", false);
        row("reference to NUL", "<a>&#0;</a>", false);
        row("beyond Unicode", "<a>&#x110000;</a>", false);
        row("long reference", "<a>&#99999999999999999999;</a>", false);
        row("< in a value", "<a x='<'/>", false);
        row("attribute twice", "<a x='1' x='2'/>", false);
        row("no quotes", "<a x=1/>", false);
        row("attributes not apart", "<a x='1'y='2'/>", false);
        row("value left open", "<a x='1/>", false);
        row("bad UTF-8", "<a>\xC3\x28</a>", false);
        row("overlong UTF-8", "<a>\xC0\xAF</a>", false);
        row("surrogate in UTF-8", "<a>\xED\xA0\x80</a>", false);
        row("control character", "<a>\x01</a>", false);
        row("]]> in text", "<a>]]></a>", false);
        row("-- in a comment", "<a><!-- a -- b --></a>", false);
        row("CDATA outside", "<![CDATA[x]]><a/>", false);
        row("document type", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>", false, false);
        row("lone surrogate in UTF-16", QByteArray("\xFF\xFE<\0a\0>\0\x00\xD8<\0/\0a\0>\0", 18), false, false);
        row("legacy encoding", "<?xml version='1.0' encoding='GBK'?><a/>", false, false);
        row("nested deeper", nested(XmlScanner::MAX_DEPTH + 1), false, false);
        row("more attributes", attributes(XmlScanner::MAX_ATTRIBUTES + 1), false, false);
    }

    void readsAsQtDoes()
    {
        QFETCH(QByteArray, document);
        QFETCH(bool, wellFormed);
        QFETCH(bool, asQt);
        const Reading ours = readWithScanner(document);
        QCOMPARE(ours.wellFormed, wellFormed);
        QCOMPARE(ours.error.isEmpty(), wellFormed);
        if (asQt)
            compareWithQt(document);
    }

    // Every damaged or cut-off copy of a sheet (empty, the declaration only,
    // cut in a tag, a value, a comment or a CDATA section): never a read past
    // the end (the sanitizers watch), and the same reading as Qt's.
    void damagedSheetsReadAsQtDoes()
    {
        for (int offset = 0; offset < SHEET.size(); ++offset) {
            QByteArray damaged = SHEET;
            damaged[offset] = char(damaged.at(offset) ^ 0x5A);
            compareWithQt(damaged, Verdict::QtMayAcceptMore);
            compareWithQt(SHEET.left(offset));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("at byte %1").arg(offset)));
        }
    }
};

QTEST_GUILESS_MAIN(TestXmlScanner)
#include "tst_xmlscanner.moc"
