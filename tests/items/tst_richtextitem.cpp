#include "items/richtextitem.h"
#include "support/testfonts.h"
#include "util/settingutil.h"

#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QtTest>

using namespace TestSupport;

namespace {

const QRgb BACKGROUND = qRgb(0xC0, 0xC0, 0xC0);

bool isInk(QRgb p) { return qGray(p) < 0x60; }
bool isWhite(QRgb p) { return qRed(p) > 0xF0 && qGreen(p) > 0xF0 && qBlue(p) > 0xF0; }
bool isRed(QRgb p) { return qRed(p) > 0xC0 && qGreen(p) < 0x60 && qBlue(p) < 0x60; }

// The item painted at (margin, margin) of an image that much larger on every
// side, so that ink running past the rectangle shows.
QImage paintItem(RichTextItem &item, bool selected = false, int margin = 0)
{
    const QRectF r = item.boundingRect();
    QImage image(int(r.width()) + 2 * margin, int(r.height()) + 2 * margin, QImage::Format_RGB32);
    image.fill(BACKGROUND);
    QPainter painter(&image);
    painter.translate(margin, margin);
    QStyleOptionGraphicsItem option;
    if (selected)
        option.state |= QStyle::State_Selected;
    item.paint(&painter, &option, nullptr);
    painter.end();
    return image;
}

const int MARGIN = 40;

int countPixels(const QImage &image, bool (*test)(QRgb), const QRect &area = QRect())
{
    const QRect a = area.isNull() ? image.rect() : area.intersected(image.rect());
    int n = 0;
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// The smallest rectangle that holds every ink pixel.
QRect inkBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isInk(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// Reviewers look at these; set KELO_RENDER_DIR to keep them.
void keep(const QImage &image, const QString &name)
{
    const QString dir = qEnvironmentVariable("KELO_RENDER_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QVERIFY(image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}

void makeField(RichTextItem &item, const QString &text, int w, int h, int pixelSize)
{
    item.setRect(0, 0, w, h);
    item.setFont(pinnedFont(zenHeiFamily(), pixelSize));
    item.setText(text);
    item.setHorizontalAlign(0);
    item.setVerticalAlign(0);
    item.setBoundingBorder(2);
    item.setProperty("edit", false);
}

// Where the painter puts the local rectangle of an op.
QRectF placed(const TextDrawOp &op, const QRectF &local)
{
    QTransform t;
    t.translate(op.origin.x(), op.origin.y());
    if (op.kind == TextDrawOp::TurnedRun)
        t.rotate(90);
    t.scale(op.scaleX, op.scaleY);
    return t.mapRect(local);
}

// Every op of the layout leaves ink where it was placed.
void verifyOpsInked(const QImage &image, const TextLayoutResult &r, int margin = MARGIN)
{
    const QFontMetrics fm(r.font);
    QVERIFY(!r.ops.isEmpty());
    for (const TextDrawOp &op : r.ops) {
        QRectF local;
        if (op.kind == TextDrawOp::Cell)
            local = QRectF(op.cell);
        else
            local = QRectF(fm.tightBoundingRect(op.text));
        const QRect area = placed(op, local).toAlignedRect().translated(margin, margin) & image.rect();
        QVERIFY2(!area.isEmpty(), qPrintable(op.text));
        QVERIFY2(countPixels(image, isInk, area) > 0, qPrintable(op.text));
    }
}

// The ink of one op drawn alone, where the item draws it on an image like
// the one paintItem makes.
QRect opInk(const TextLayoutResult &r, const TextDrawOp &op, const QSize &size, int margin = MARGIN)
{
    TextLayoutResult alone = r;
    alone.ops = {op};
    QImage image(size, QImage::Format_RGB32);
    image.fill(BACKGROUND);
    QPainter painter(&image);
    painter.translate(margin, margin);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    TextLayout::draw(&painter, alone);
    painter.end();
    return inkBox(image);
}

} // namespace

class TestRichTextItem : public QObject
{
    Q_OBJECT

    QVector<QChar> m_savedSymbols;

private slots:
    void initTestCase()
    {
        QVERIFY(loadPinnedFonts());
        m_savedSymbols = SettingUtil::s_tempSpecialSymbol;
    }

    void init() { SettingUtil::s_tempSpecialSymbol = QVector<QChar>(SettingUtil::DEFAULT_SPECIAL_SYMBOLS.begin(), SettingUtil::DEFAULT_SPECIAL_SYMBOLS.end()); }
    void cleanupTestCase() { SettingUtil::s_tempSpecialSymbol = m_savedSymbols; }

    void initialValues()
    {
        RichTextItem item;
        QCOMPARE(item.type(), 65537);
        QCOMPARE(int(item.flags()), 0x10007);
        QVERIFY(item.acceptHoverEvents());
        QCOMPARE(item.property("edit").toBool(), true);
        QCOMPARE(item.getTextDirection(), 0);
        const TextLayoutInput in = item.layoutInput();
        QVERIFY(in.text.isEmpty());
        QCOMPARE(in.font.family(), QStringLiteral("Arial"));
        QCOMPARE(in.font.pointSize(), 22);
        QCOMPARE(in.letterSpacing, 0);
        QCOMPARE(in.rowSpacing, 0);
        QCOMPARE(in.indentation, 0);
        QCOMPARE(in.adapted, false);
        // Auto-fit starts in mode 1, as the text model does, so that a new
        // field shrinks in the editor the way it will when printed.
        QCOMPARE(in.adaptedMode, 1);
        QCOMPARE(in.wrap, true);
        QCOMPARE(in.uprightAscii, false);
        QCOMPARE(in.scaleX, 1.0f);
        QCOMPARE(in.scaleY, 1.0f);
        QCOMPARE(in.rect, QRectF());
        QCOMPARE(in.specialSymbols, SettingUtil::s_tempSpecialSymbol);
    }

    void settersStoreTheirValues()
    {
        RichTextItem item;
        item.setFont(pinnedFont(zenHeiFamily(), 20));
        item.setBold();
        QCOMPARE(item.layoutInput().font.weight(), 75);
        item.setBold();
        QCOMPARE(item.layoutInput().font.weight(), 50);
        QFont f = item.layoutInput().font;
        f.setWeight(57);
        item.setFont(f);
        item.setBold();
        QCOMPARE(item.layoutInput().font.weight(), 75);
        f.setWeight(58);
        item.setFont(f);
        item.setBold();
        QCOMPARE(item.layoutInput().font.weight(), 50);

        item.setItalic();
        QCOMPARE(item.layoutInput().font.style(), QFont::StyleItalic);
        item.setItalic();
        QCOMPARE(item.layoutInput().font.style(), QFont::StyleNormal);
        f.setStyle(QFont::StyleOblique);
        item.setFont(f);
        item.setItalic();
        QCOMPARE(item.layoutInput().font.style(), QFont::StyleNormal);

        item.setFontSize(31);
        QCOMPARE(item.layoutInput().font.pixelSize(), 31);
        item.setFontFamily(microHeiFamily());
        QCOMPARE(item.layoutInput().font.family(), microHeiFamily());
        item.setLetterSpacing(4);
        QCOMPARE(item.layoutInput().letterSpacing, 4);
        QCOMPARE(item.layoutInput().font.letterSpacingType(), QFont::AbsoluteSpacing);
        QCOMPARE(item.layoutInput().font.letterSpacing(), 4.0);

        item.setRowSpacing(3);
        item.setIndentation(2);
        item.setTextDirection(2);
        item.setHorizontalAlign(1);
        item.setVerticalAlign(-1);
        item.setAdapted(true);
        item.setAdaptedMode(2);
        item.setMutilWarp(false);
        item.setVerRuler(true);
        item.setText(QStringLiteral("档案"));
        item.setElementScaleX(0.5f);
        item.setElementScaleY(2.0f);
        const TextLayoutInput in = item.layoutInput();
        QCOMPARE(in.rowSpacing, 3);
        QCOMPARE(in.indentation, 2);
        QCOMPARE(in.direction, 2);
        QCOMPARE(item.getTextDirection(), 2);
        QCOMPARE(in.horizontalAlign, 1);
        QCOMPARE(in.verticalAlign, -1);
        QVERIFY(in.adapted);
        QCOMPARE(in.adaptedMode, 2);
        QVERIFY(!in.wrap);
        QVERIFY(in.uprightAscii);
        QCOMPARE(in.text, QStringLiteral("档案"));
        QCOMPARE(in.scaleX, 0.5f);
        QCOMPARE(in.scaleY, 2.0f);
    }

    void widthAndHeightChangeOnlyTheSize()
    {
        QGraphicsScene scene(0, 0, 100, 100);
        auto *item = new RichTextItem;
        scene.addItem(item);
        item->setRect(0, 0, 30, 20);
        item->setPos(60, 70);
        item->setWidth(80);
        item->setHeight(50);
        QCOMPARE(item->boundingRect(), QRectF(0, 0, 80, 50));
        // No clamping nudge: the element stays where it was.
        QCOMPARE(item->pos(), QPointF(60, 70));
    }

    void framesFollowSelectionAndEditingMode()
    {
        RichTextItem item;
        makeField(item, QStringLiteral("档案盒"), 200, 80, 24);
        item.setBoundingBorder(4);

        item.setProperty("edit", true);
        QImage image = paintItem(item);
        QVERIFY(countPixels(image, isWhite, QRect(0, 0, 200, 2)) > 150);
        QCOMPARE(countPixels(image, isRed), 0);
        QVERIFY(countPixels(image, isInk) > 50);

        // Selected: the red selection frame, not the white one.
        image = paintItem(item, true);
        QVERIFY(countPixels(image, isRed, QRect(0, 0, 200, 2)) > 150);
        QCOMPARE(countPixels(image, isWhite), 0);
        QVERIFY(countPixels(image, isInk) > 50);

        // The print preview: no frame at all.
        item.setProperty("edit", false);
        image = paintItem(item);
        QCOMPARE(countPixels(image, isWhite), 0);
        QCOMPARE(countPixels(image, isRed), 0);
        QVERIFY(countPixels(image, isInk) > 50);

        // Empty text draws the frame only.
        item.setText(QString());
        item.setProperty("edit", true);
        image = paintItem(item);
        QCOMPARE(countPixels(image, isInk), 0);
        QVERIFY(countPixels(image, isWhite) > 0);
    }

    void paintDrawsTheLayoutInBlack()
    {
        RichTextItem item;
        makeField(item, QStringLiteral("档案ABC\n（第一卷）"), 220, 200, 26);
        item.setColor(Qt::red);
        // Then italic at half its width, drawn from glyph outlines the item
        // keeps: painted again, and at another size, as the layout draws it.
        for (int pass : {0, 1, 2, 3}) {
            if (pass == 1) {
                item.setItalic();
                item.setElementScaleX(0.5f);
            }
            item.setFontSize(pass == 3 ? 30 : 26);
            for (int direction : {0, 1, 2}) {
                item.setTextDirection(direction);
                const QImage painted = paintItem(item);

                QImage expected(painted.size(), QImage::Format_RGB32);
                expected.fill(BACKGROUND);
                QPainter p(&expected);
                p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
                QPen pen(Qt::black);
                pen.setWidthF(2.0);
                p.setPen(pen);
                TextLayout::draw(&p, TextLayout::layout(item.layoutInput()));
                p.end();
                QCOMPARE(painted, expected);
                QCOMPARE(countPixels(painted, isRed), 0);
            }
        }
    }

    void aRepaintWithNothingChangedDoesNotLayOutAgain()
    {
        QGraphicsScene scene(0, 0, 400, 400);
        auto *item = new RichTextItem;
        scene.addItem(item);
        makeField(*item, QStringLiteral("档案盒档案盒档案盒"), 120, 60, 24);
        item->setAdapted(true);

        QImage target(400, 400, QImage::Format_RGB32);
        auto repaint = [&] {
            QPainter p(&target);
            scene.render(&p);
        };
        repaint();
        repaint();
        repaint();
        QCOMPARE(item->layoutCount(), 1);

        // What is not a layout input leaves the layout alone.
        item->setColor(Qt::blue);
        item->setBoundingBorder(5);
        item->setProperty("edit", true);
        item->setSelected(true);
        item->setPos(30, 40);
        repaint();
        QCOMPARE(item->layoutCount(), 1);

        int expected = 1;
        const QList<std::function<void()>> changes{
            [&] { item->setText(QStringLiteral("卷宗")); },
            [&] { item->setFontSize(20); },
            [&] { item->setBold(); },
            [&] { item->setLetterSpacing(2); },
            [&] { item->setRowSpacing(2); },
            [&] { item->setIndentation(1); },
            [&] { item->setTextDirection(1); },
            [&] { item->setHorizontalAlign(1); },
            [&] { item->setVerticalAlign(1); },
            [&] { item->setAdapted(false); },
            [&] { item->setAdaptedMode(2); },
            [&] { item->setMutilWarp(false); },
            [&] { item->setVerRuler(true); },
            [&] { item->setWidth(150); },
            [&] { item->setRect(QRectF(0, 0, 150, 90)); },
            [&] { item->setElementScaleX(0.8f); },
            [&] { item->setElementScaleY(1.2f); },
            [&] { SettingUtil::s_tempSpecialSymbol.removeFirst(); },
        };
        for (const auto &change : changes) {
            change();
            repaint();
            repaint();
            QCOMPARE(item->layoutCount(), ++expected);
        }
    }

    void specialSymbolsComeFromTheSettings()
    {
        RichTextItem item;
        makeField(item, QStringLiteral("档（案）号"), 100, 300, 24);
        item.setTextDirection(1);
        QCOMPARE(item.currentLayout().ops.size(), 5);
        QCOMPARE(item.currentLayout().ops.at(1).kind, TextDrawOp::TurnedRun);
        QVERIFY(!item.isFullWidth(QStringLiteral("（")));
        QCOMPARE(item.splitTextBySymbol(QStringLiteral("档（案")), QStringList({"", "档", "（", "案"}));

        SettingUtil::s_tempSpecialSymbol = {QChar(0x300A)};
        QVERIFY(item.isFullWidth(QStringLiteral("（")));
        for (const TextDrawOp &op : item.currentLayout().ops)
            QCOMPARE(op.kind, TextDrawOp::Cell);

        item.setVerRuler(true);
        QVERIFY(item.isFullWidth(QStringLiteral("AB")));
        QVERIFY(!item.isFullWidth(QStringLiteral("《")));
    }

    void splittersUseTheItemsProperties()
    {
        RichTextItem item;
        makeField(item, QString(), 100, 112, 24);
        item.setIndentation(1);
        const QString paragraph = QStringLiteral("中华人民共和国档案法规定");
        const QList<stRowDataBlock> columns = item.splitRowDataBlockByLength(item.layoutInput().font, paragraph, true);
        QCOMPARE(columns, TextLayout::splitRowDataBlockByLength(item.layoutInput(), item.layoutInput().font, paragraph, true));
        QVERIFY(columns.first().indent > 0);
        const QStringList texts = item.splitTextByLength(paragraph, false);
        QVERIFY(texts.size() > 1);
        QCOMPARE(texts.join(QString()), paragraph);
    }

    // Fields drawn as a label would print them, checked for where the ink
    // falls; with KELO_RENDER_DIR set they are kept for a reviewer.
    void renderedFields()
    {
        RichTextItem horizontal;
        makeField(horizontal, QStringLiteral("案卷题名：2024年度城市建设档案整理（第3卷）共12件，保管期限永久"), 420, 160, 26);
        horizontal.setHorizontalAlign(-1);
        horizontal.setIndentation(2);
        horizontal.setRowSpacing(4);
        QImage image = paintItem(horizontal, false, MARGIN);
        keep(image, QStringLiteral("horizontal"));
        verifyOpsInked(image, horizontal.currentLayout());
        QVERIFY(horizontal.currentLayout().lines.size() >= 2);
        QVERIFY(QRect(MARGIN, MARGIN, 420, 160).contains(inkBox(image)));

        RichTextItem leftToRight;
        makeField(leftToRight, QStringLiteral("城建档案ABC-12\n第（3）卷\n共12件"), 200, 320, 28);
        leftToRight.setTextDirection(1);
        leftToRight.setHorizontalAlign(-1);
        leftToRight.setVerticalAlign(-1);
        leftToRight.setIndentation(1);
        leftToRight.setRowSpacing(6);
        image = paintItem(leftToRight, false, MARGIN);
        keep(image, QStringLiteral("vertical-left-to-right"));
        verifyOpsInked(image, leftToRight.currentLayout());
        // The text's first column is leftmost and starts lower.
        const TextDrawOp &first = leftToRight.currentLayout().ops.first();
        QCOMPARE(first.text, QStringLiteral("城"));
        for (const TextDrawOp &op : leftToRight.currentLayout().ops)
            QVERIFY(op.origin.x() >= first.origin.x());

        // A spine title as the built-in spine templates set it.
        RichTextItem rightToLeft;
        makeField(rightToLeft, QStringLiteral("二〇二四年度城建档案（第一卷）\n编制单位：市档案馆"), 200, 420, 30);
        rightToLeft.setTextDirection(2);
        image = paintItem(rightToLeft, false, MARGIN);
        keep(image, QStringLiteral("vertical-right-to-left"));
        verifyOpsInked(image, rightToLeft.currentLayout());
        const QVector<TextDrawOp> &ops = rightToLeft.currentLayout().ops;
        double firstParagraphX = 0;
        double secondParagraphX = 1e9;
        for (const TextDrawOp &op : ops) {
            if (op.text == QStringLiteral("二"))
                firstParagraphX = op.origin.x();
            if (op.text == QStringLiteral("编"))
                secondParagraphX = op.origin.x();
        }
        QVERIFY(firstParagraphX > secondParagraphX);

        // Auto-fit shrinks the font until the text fits the rectangle.
        RichTextItem fitted;
        makeField(fitted, QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用必须遵守国家规定"), 300, 100, 40);
        fitted.setAdapted(true);
        fitted.setAdaptedMode(1);
        image = paintItem(fitted, false, MARGIN);
        keep(image, QStringLiteral("autofit-horizontal"));
        QVERIFY(fitted.currentLayout().font.pixelSize() < 40);
        QVERIFY(QRect(MARGIN, MARGIN, 300, 100).contains(inkBox(image)));
        verifyOpsInked(image, fitted.currentLayout());

        RichTextItem fittedVertical;
        makeField(fittedVertical, QStringLiteral("中华人民共和国档案法规定档案的收集整理保管和利用"), 110, 240, 40);
        fittedVertical.setTextDirection(2);
        fittedVertical.setAdapted(true);
        image = paintItem(fittedVertical, false, MARGIN);
        keep(image, QStringLiteral("autofit-vertical"));
        QVERIFY(fittedVertical.currentLayout().font.pixelSize() < 40);
        // Vertical auto-fit fits the columns into the width only.
        const QRect columnsInk = inkBox(image);
        QVERIFY(columnsInk.left() >= MARGIN && columnsInk.right() < MARGIN + 110);
        verifyOpsInked(image, fittedVertical.currentLayout());

        RichTextItem scaled;
        makeField(scaled, QStringLiteral("档案号：WS-2024-Y-0012"), 260, 60, 30);
        scaled.setMutilWarp(false);
        scaled.setAdapted(true);
        scaled.setAdaptedMode(2);
        image = paintItem(scaled, false, MARGIN);
        keep(image, QStringLiteral("autofit-scale"));
        QVERIFY(scaled.currentLayout().scaleX < 1.0f);
        QVERIFY(QRect(MARGIN, MARGIN, 260, 60).contains(inkBox(image)));
    }

    // Vertical columns as they print, read from the image: every character's
    // ink lies inside its own cell, no two cells' ink meet, and they follow
    // in reading order down each column and from column to column.
    void verticalCellsKeepTheirInkApart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("upright");
        QTest::addColumn<int>("indentation");
        QTest::addColumn<int>("letterSpacing");
        QTest::addColumn<QString>("family");
        const QString numbers = QStringLiteral("第一卷二三四百五十");
        const QString archiveNumber = QStringLiteral("A12-2024-0035");
        const QString punctuation = QStringLiteral("档案，卷宗。编号：“甲”、乙");
        const QString zen = zenHeiFamily();
        QTest::newRow("numbers") << numbers << 2 << false << 0 << 0 << zen;
        QTest::newRow("numbers indented") << numbers << 1 << false << 2 << 0 << zen;
        QTest::newRow("archive number turned") << archiveNumber << 2 << false << 0 << 0 << zen;
        QTest::newRow("archive number upright") << archiveNumber << 2 << true << 0 << 0 << zen;
        QTest::newRow("archive number upright indented") << archiveNumber << 1 << true << 1 << 0 << zen;
        QTest::newRow("punctuation indented") << punctuation << 1 << false << 2 << 0 << zen;
        QTest::newRow("punctuation right to left") << punctuation << 2 << false << 2 << 0 << zen;
        QTest::newRow("spaced paragraphs") << (QStringLiteral("第（一）卷A-1\n") + punctuation) << 2 << true << 1 << 9
                                           << microHeiFamily();
    }

    void verticalCellsKeepTheirInkApart()
    {
        QFETCH(QString, text);
        QFETCH(int, direction);
        QFETCH(bool, upright);
        QFETCH(int, indentation);
        QFETCH(int, letterSpacing);
        QFETCH(QString, family);
        RichTextItem item;
        makeField(item, text, 200, 330, 40);
        item.setFont(pinnedFont(family, 40));
        item.setTextDirection(direction);
        item.setVerRuler(upright);
        item.setIndentation(indentation);
        item.setLetterSpacing(letterSpacing);
        item.setVerticalAlign(-1);
        const QImage image = paintItem(item, false, MARGIN);
        keep(image, QStringLiteral("vertical-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        const TextLayoutResult &r = item.currentLayout();

        // Columns by their left edge, in reading order.
        QMap<int, QList<int>> byLeft;
        for (int i = 0; i < r.ops.size(); ++i)
            byLeft[qRound(placed(r.ops.at(i), r.ops.at(i).cell).left())].append(i);
        QList<QList<int>> columns = byLeft.values();
        if (direction == 2)
            std::reverse(columns.begin(), columns.end());
        QVERIFY(columns.size() >= 2 || !indentation);

        QVector<QRect> ink(r.ops.size());
        QString read;
        QRect previousColumn;
        const QRectF content = TextLayout::contentRect(item.boundingRect()).translated(MARGIN, MARGIN);
        for (int c = 0; c < columns.size(); ++c) {
            QRect column;
            for (int i : columns.at(c)) {
                const TextDrawOp &op = r.ops.at(i);
                read += op.text;
                ink[i] = opInk(r, op, image.size());
                const QRectF cell = placed(op, op.cell).translated(MARGIN, MARGIN);
                QVERIFY2(!ink[i].isEmpty() && cell.contains(QRectF(ink[i])), qPrintable(op.text));
                QVERIFY2(cell.top() >= content.top() && cell.bottom() <= content.bottom(), qPrintable(op.text));
                // Down the column, each piece's ink lies below the ink above it.
                QVERIFY2(column.isNull() || ink[i].top() > column.bottom(), qPrintable(op.text));
                column |= ink[i];
            }
            // Columns follow each other without their ink meeting.
            if (c > 0)
                QVERIFY(direction == 2 ? column.right() < previousColumn.left() : column.left() > previousColumn.right());
            previousColumn = column;
        }
        QCOMPARE(read, QString(text).remove(QLatin1Char('\n')));
        // Nothing is drawn outside the characters' own ink.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (isInk(image.pixel(x, y)))
                    QVERIFY(std::any_of(ink.begin(), ink.end(), [&](const QRect &box) { return box.contains(x, y); }));
            }
        }
    }

    // The print preview renders its scene with the items' flags cleared and
    // editing mode off: only the text reaches the page.
    void printedPageCarriesOnlyTheText()
    {
        QGraphicsScene scene(0, 0, 600, 400);
        auto *item = new RichTextItem;
        makeField(*item, QStringLiteral("档案盒"), 200, 100, 40);
        item->setFlags({});
        item->setPos(100, 150);
        scene.addItem(item);
        QImage page(600, 400, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        scene.render(&p, QRectF(0, 0, 600, 400), QRectF(0, 0, 600, 400));
        p.end();
        const QRect ink = inkBox(page);
        QVERIFY(!ink.isEmpty());
        QVERIFY(QRect(100, 150, 200, 100).contains(ink));
        QCOMPARE(countPixels(page, isRed), 0);
    }
};

QTEST_MAIN(TestRichTextItem)
#include "tst_richtextitem.moc"
