// The print frames of every built-in template, filled with its stored
// contents, must stay the same to the byte: framehashes.txt holds the SHA-256
// of each frame (types 1 to 3 with the dots they carry, at 0, 90 and 180
// degrees; type 4 its packages in order, once cut on the left by the
// printer's compensation and once pushed right), recorded before the print
// road was reworked for speed. With KELO_WRITE_FRAME_HASHES=<file> the test
// writes the table afresh instead, for a change meant to alter the frames.

#include "print/pageplacement.h"
#include "print/pagescene.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/textutil.h"

#include <QCryptographicHash>
#include <QGraphicsScene>
#include <QtTest>

namespace {

const int DPI = 300;
const char *const TABLE = KELO_TESTS_DIR "/print/framehashes.txt";

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

} // namespace

class TestFrameHashes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(TestSupport::loadPinnedFonts());
        TextUtil::PRINTER_DPI = DPI;
        const QList<QByteArray> lines = TestSupport::readFile(TABLE).split('\n');
        recorded = QSet<QByteArray>(lines.begin(), lines.end());
        recorded.remove(QByteArray());
        QCOMPARE(recorded.size(), 38 * int(std::size(ROADS)));
    }

    void framesOfBuiltInTemplates_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names = JsonUtil::getSysTemplateNames();
        QCOMPARE(names.size(), 38);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name;
    }

    // Each line: template, road, SHA-256 of the frames, dots (0 for type 4).
    void framesOfBuiltInTemplates()
    {
        QFETCH(QString, name);
        const TemplateModel model = JsonUtil::parseTemplate(name);
        QGraphicsScene scene;
        PageScene page(&scene, model, DPI);
        page.rebuild(false);
        const QImage image = page.renderPage();
        QStringList changed;
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
            const QByteArray line = name.toUtf8() + '\t' + road.name + '\t'
                                    + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '\t'
                                    + QByteArray::number(dots);
            written += line + '\n';
            if (!recorded.contains(line))
                changed << QString::fromUtf8(line);
        }
        if (qEnvironmentVariableIsEmpty("KELO_WRITE_FRAME_HASHES"))
            QVERIFY2(changed.isEmpty(), qPrintable(changed.join(QLatin1Char('\n'))));
    }

    void cleanupTestCase()
    {
        const QString out = qEnvironmentVariable("KELO_WRITE_FRAME_HASHES");
        if (!out.isEmpty())
            QVERIFY(TestSupport::writeFile(out, written));
    }

private:
    TestSupport::TempProgramDir programDir;
    QSet<QByteArray> recorded;
    QByteArray written;
};

QTEST_MAIN(TestFrameHashes)
#include "tst_framehashes.moc"
