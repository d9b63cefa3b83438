// The print frames of every built-in template, filled with its stored
// contents, must stay the same to the byte: framehashes.txt holds the SHA-256
// of each frame (types 1 to 3 with the dots they carry, at 0, 90 and 180
// degrees; type 4 its packages in order, once cut on the left by the
// printer's compensation and once pushed right), recorded before the print
// road was reworked for speed. Running the test with
// KELO_WRITE_FRAME_HASHES=<file> writes the table afresh instead, for a
// change that means to alter the frames.

#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QCryptographicHash>
#include <QFile>
#include <QGraphicsScene>
#include <QtTest>

namespace {

const int DPI = 300;

struct Road {
    const char *name;
    int type;
    int angle;
    float dx;
};

// Type 4 at dx 0 lies partly left of the printer (-33 mm) and is cut; at
// 40 mm its runs are shifted right.
const Road ROADS[] = {
    {"type1@0", 1, 0, 0},   {"type1@90", 1, 90, 0},   {"type1@180", 1, 180, 0},
    {"type2@0", 2, 0, 0},   {"type2@90", 2, 90, 0},   {"type2@180", 2, 180, 0},
    {"type3@0", 3, 0, 0},   {"type3@90", 3, 90, 0},   {"type3@180", 3, 180, 0},
    {"type4", 4, 0, 0},     {"type4+40mm", 4, 0, 40},
};

QString tablePath()
{
    return QStringLiteral(KELO_TESTS_DIR "/print/framehashes.txt");
}

// "template<TAB>road" -> "sha256<TAB>dots".
QMap<QString, QString> readTable()
{
    QMap<QString, QString> table;
    QFile file(tablePath());
    if (!file.open(QIODevice::ReadOnly))
        return table;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int cut = line.indexOf('\t', line.indexOf('\t') + 1);
        if (cut > 0)
            table.insert(QString::fromUtf8(line.left(cut)), QString::fromUtf8(line.mid(cut + 1)));
    }
    return table;
}

} // namespace

class TestFrameHashes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void framesOfBuiltInTemplates_data();
    void framesOfBuiltInTemplates();
    void cleanupTestCase();

private:
    std::unique_ptr<TestSupport::TempProgramDir> programDir;
    QMap<QString, QString> expected;
    QByteArray written;
};

void TestFrameHashes::initTestCase()
{
    QVERIFY(TestSupport::loadPinnedFonts());
    programDir.reset(new TestSupport::TempProgramDir);
    TextUtil::PRINTER_DPI = DPI;
    expected = readTable();
    if (qEnvironmentVariableIsEmpty("KELO_WRITE_FRAME_HASHES"))
        QCOMPARE(expected.size(), 38 * int(std::size(ROADS)));
}

void TestFrameHashes::framesOfBuiltInTemplates_data()
{
    QTest::addColumn<QString>("name");
    const QStringList names = JsonUtil::getSysTemplateNames();
    QCOMPARE(names.size(), 38);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void TestFrameHashes::framesOfBuiltInTemplates()
{
    QFETCH(QString, name);
    const TemplateModel model = JsonUtil::parseTemplate(name);
    QGraphicsScene scene;
    PageScene page(&scene, model, DPI);
    page.rebuild(false);
    const QImage image = page.renderPage();

    QStringList mismatches;
    for (const Road &road : ROADS) {
        TemplateModel placed = model;
        placed.angle = road.angle;
        QByteArray bytes;
        unsigned int dots = 0;
        if (road.type == 4) {
            for (const QByteArray &frame : PagePlacement::encodeBands(image, placed, road.dx, 0, DPI))
                bytes += frame;
        } else {
            const PagePlacement::Frame frame =
                PagePlacement::encodeGen1(road.type, image, placed, road.dx, 0, false, DPI);
            bytes = frame.bytes;
            dots = frame.dots;
        }
        const QString got = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
                            + QLatin1Char('\t') + QString::number(dots);
        const QString key = name + QLatin1Char('\t') + QLatin1String(road.name);
        written += (key + QLatin1Char('\t') + got + QLatin1Char('\n')).toUtf8();
        if (expected.value(key) != got)
            mismatches << QStringLiteral("%1: %2, recorded %3").arg(key, got, expected.value(key));
    }
    if (qEnvironmentVariableIsEmpty("KELO_WRITE_FRAME_HASHES"))
        QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QLatin1Char('\n'))));
}

void TestFrameHashes::cleanupTestCase()
{
    const QString out = qEnvironmentVariable("KELO_WRITE_FRAME_HASHES");
    if (!out.isEmpty())
        QVERIFY(TestSupport::writeFile(out, written));
}

QTEST_MAIN(TestFrameHashes)
#include "tst_framehashes.moc"
