// The editor's document without a window: holding elements on the label by
// the box they print, paste titles, stacking and what an edit announces.

#include "editor/templatedocument.h"
#include "support/labelfixtures.h"
#include "util/templatejson.h"
#include "util/textutil.h"

#include <QtTest>

using namespace TestSupport;
using Field = TemplateDocument::Field;

namespace {

const QDateTime STAMP(QDate(2024, 5, 6), QTime(7, 8, 9));

// A 100 x 60 mm label.
TemplateModel label()
{
    TemplateModel t = blankLabel(QStringLiteral("文档"));
    t.printWidth = 100;
    t.printHeight = 60;
    return t;
}

TextModel turned(float x, float y, int angle)
{
    TextModel text = placedElement<TextModel>(x, y, 40, 10);
    text.rotate = angle;
    return text;
}

QJsonObject json(const TemplateDocument &doc)
{
    return TemplateJson::writeTemplate(doc.model(), STAMP);
}

} // namespace

class TestTemplateDocument : public QObject
{
    Q_OBJECT

private slots:
    void holding_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("angle");
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<float>("value");
        QTest::addColumn<QPointF>("start");
        // A narrower label pushes a rectangle in x only, to hundredths.
        QTest::newRow("narrower label") << "width" << -1 << QRectF(80, 30, 15.33, 10) << 50.0f << QPointF(34.67, 30);
        QTest::newRow("what fits stays") << "width" << -1 << QRectF(20, 30, 15, 10) << 50.0f << QPointF(20, 30);
        QTest::newRow("wider than the label") << "w" << -1 << QRectF(30, 5, 10, 10) << 120.0f << QPointF(0, 5);
        // A text turned a quarter shows 10 x 40 about the centre of its
        // 40 x 10 rectangle.
        QTest::newRow("turned to the left") << "x" << 90 << QRectF(30, 20, 40, 10) << -100.0f << QPointF(-15, 20);
        QTest::newRow("turned to the right") << "x" << 270 << QRectF(30, 20, 40, 10) << 100.0f << QPointF(75, 20);
        QTest::newRow("turned to the top") << "y" << 90 << QRectF(30, 20, 40, 10) << -100.0f << QPointF(30, 15);
        QTest::newRow("turned to the bottom") << "y" << 90 << QRectF(30, 20, 40, 10) << 100.0f << QPointF(30, 35);
        QTest::newRow("half a turn: own box") << "x" << 180 << QRectF(30, 20, 40, 10) << -100.0f << QPointF(0, 20);
        QTest::newRow("turning at the top") << "turn" << 0 << QRectF(0, 0, 40, 10) << 90.0f << QPointF(0, 15);
        // The handles keep the text's own first corner where it shows.
        QTest::newRow("turned, handle") << "handle" << 90 << QRectF(30, 20, 40, 10) << 50.0f << QPointF(25, 25);
        QTest::newRow("kept turned, grown") << "w" << 90 << QRectF(-15, 15, 40, 10) << 50.0f << QPointF(-15, 20);
        // A handle dragged past an edge stops there; the element stays.
        QTest::newRow("handle at the edge") << "handle" << -1 << QRectF(40, 10, 10, 10) << 80.0f << QPointF(40, 10);
        QTest::newRow("turned, handle at the edge") << "handle" << 90 << QRectF(30, 20, 40, 10) << 70.0f
                                                    << QPointF(22.5, 27.5);
    }

    void holding()
    {
        QFETCH(QString, edit);
        QFETCH(int, angle);
        QFETCH(QRectF, rect);
        QFETCH(float, value);
        QFETCH(QPointF, start);
        TemplateModel t = label();
        if (angle < 0)
            t.rectangleModels << placedElement<RectangleModel>(rect.x(), rect.y(), rect.width(), rect.height());
        else
            t.textModels << turned(rect.x(), rect.y(), angle);
        const QString id = angle < 0 ? t.rectangleModels.first().id : t.textModels.first().id;
        TemplateDocument doc(t);
        if (edit == QLatin1String("width"))
            doc.setLabelSize(Qt::Horizontal, value);
        else if (edit == QLatin1String("w"))
            doc.setSize(id, Qt::Horizontal, value);
        else if (edit == QLatin1String("handle"))
            doc.resize(id, QSizeF(value, rect.height()));
        else if (edit == QLatin1String("turn"))
            doc.set({id}, Field::Rotate, int(value));
        else
            doc.setStart(id, edit == QLatin1String("x") ? Qt::Horizontal : Qt::Vertical, value);
        const GraphicsModel &m = *doc.element(id);
        QCOMPARE(m.startX, float(start.x()));
        QCOMPARE(m.startY, float(start.y()));
        const QRectF box = TemplateDocument::shownBox(m);
        const QRectF labelBox = QRectF(0, 0, doc.model().printWidth, doc.model().printHeight).adjusted(-1e-3, -1e-3, 1e-3, 1e-3);
        QVERIFY(box.width() > labelBox.width() || labelBox.contains(box));
    }

    void aLabelShrunkAndGrownGivesPlacesBack()
    {
        TemplateModel t = label();
        t.rectangleModels << placedElement<RectangleModel>(80, 40, 15, 10) << placedElement<RectangleModel>(70, 5, 10, 10);
        TemplateDocument doc(t);
        const QString pushed = t.rectangleModels.at(0).id, moved = t.rectangleModels.at(1).id;
        doc.setLabelSize(Qt::Horizontal, 50);
        doc.setLabelSize(Qt::Vertical, 45);
        QCOMPARE(QPointF(doc.element(pushed)->startX, doc.element(pushed)->startY), QPointF(35, 35));
        // Moved by hand while pushed: it stays where it was put.
        doc.setStart(moved, Qt::Vertical, 20);
        doc.setLabelSize(Qt::Horizontal, 100);
        doc.setLabelSize(Qt::Vertical, 60);
        QCOMPARE(QPointF(doc.element(pushed)->startX, doc.element(pushed)->startY), QPointF(80, 40));
        QCOMPARE(QPointF(doc.element(moved)->startX, doc.element(moved)->startY), QPointF(40, 20));
    }

    void editsAnnounceWhatChanged()
    {
        TemplateModel t = label();
        t.rectangleModels << placedElement<RectangleModel>(10, 10, 20, 20);
        t.textModels << turned(40, 20, 0);
        t.pictureModels << placedElement<PictureModel>(60, 5, 10, 10);
        t.pictureModels[0].fileName = QStringLiteral("seal.png");
        TemplateDocument doc(t);
        const QString rect = t.rectangleModels[0].id, text = t.textModels[0].id, picture = t.pictureModels[0].id;
        const QJsonObject before = json(doc);
        QSignalSpy changed(&doc, &TemplateDocument::changed);
        // What an element holds already changes nothing.
        doc.setGeometry(rect, QRectF(10, 10, 20, 20));
        doc.setStart(text, Qt::Horizontal, 40);
        doc.set({rect, text}, Field::Border, 0.5f);
        doc.set({text}, Field::Font, t.textModels[0].font);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(json(doc), before);

        doc.set({rect, text}, Field::Bold, true);
        doc.set({rect, text, picture}, Field::Title, QStringLiteral("题"));
        doc.toggle({text}, Field::Italic);
        doc.toggle({text}, Field::Italic);
        QCOMPARE(changed.takeFirst().first().toStringList(), QStringList{text});
        QCOMPARE(changed.takeFirst().first().toStringList(), QStringList{text});
        QCOMPARE(changed.count(), 2);
        QVERIFY(doc.text(text)->bold && !doc.text(text)->italic);

        QCOMPARE(doc.remove({picture, rect}), QStringList{QStringLiteral("seal.png")});
        QCOMPARE(changed.last().first().toStringList(), QStringList({rect, picture}));
        QCOMPARE(doc.elementIds(), QStringList{text});
    }

    void pastedCopies()
    {
        TemplateModel t = label();
        t.textModels << turned(10, 10, 0) << turned(10, 30, 0);
        t.textModels[0].textTitle = QStringLiteral("A");
        t.textModels[1].textTitle = QStringLiteral("A - 副本1");
        t.qrcodeModels << qrField(QStringLiteral("码"), QStringLiteral("1"), 80, 40, 20, 3);
        TemplateDocument doc(t);
        const QString text = t.textModels[0].id, qr = t.qrcodeModels[0].id;
        QCOMPARE(doc.text(doc.paste({text}, QPointF(5.5, 6)).first())->textTitle, QStringLiteral("A - 副本2"));
        // Two copies keep their layout within 4 mm, and stay on the label.
        const QStringList two = doc.paste({text, qr}, std::nullopt);
        QCOMPARE(two.size(), 2);
        const GraphicsModel &copy = *doc.element(two.last());
        QCOMPARE(QPointF(copy.startX, copy.startY), QPointF(80, 40));
        const TextModel &shifted = *doc.text(two.first());
        QVERIFY(shifted.startX >= 10 && shifted.startX <= 14 && shifted.startY >= 10 && shifted.startY <= 14);
        QCOMPARE(shifted.textTitle, QStringLiteral("A - 副本3"));
    }

    // Imported templates may share ids or have none. The first holder of an
    // id keeps it; every other element gets one the template holds nowhere,
    // ids made from the clock ahead of it included.
    void everyElementHasAnIdOfItsOwn()
    {
        TemplateModel t = label();
        t.rectangleModels << placedElement<RectangleModel>(10, 10, 20, 20) << placedElement<RectangleModel>(40, 10, 5, 5)
                          << placedElement<RectangleModel>(60, 10, 5, 5);
        t.textModels << turned(10, 40, 0) << turned(50, 40, 0);
        const qint64 next = TextUtil::generateId().toLongLong() + 1;
        const QString shared = t.rectangleModels[0].id;
        t.rectangleModels[1].id = t.textModels[0].id = shared;
        t.rectangleModels[2].id = QString::number(next);
        t.textModels[1].id.clear();
        TemplateDocument doc(t);
        const QStringList ids = doc.elementIds();
        QCOMPARE(ids.mid(0, 3), (QStringList{shared, ids.at(1), QString::number(next)}));
        QCOMPARE(QSet<QString>(ids.cbegin(), ids.cend()).size(), 5);
        QVERIFY(!ids.contains(QString()));
        doc.setSize(shared, Qt::Horizontal, 30);
        QCOMPARE(doc.element(ids.at(1))->width, 5.0f);
        doc.remove({ids.at(1)});
        QCOMPARE(doc.elementIds(), (QStringList{shared, ids.at(2), ids.at(3), ids.at(4)}));
    }

    // A size stored as 0 reads as its default, as the printed page takes it,
    // and is stored as 0 again until it is edited.
    void sizesStoredAsZero()
    {
        TemplateModel t = label();
        t.backLength = 0;
        t.foldLength = 0;
        TemplateDocument doc(t);
        QCOMPARE(QList<float>({doc.model().backLength, doc.model().foldLength}), QList<float>({20, 38}));
        QCOMPARE(TemplateJson::writeTemplate(doc.storedModel(), STAMP), TemplateJson::writeTemplate(t, STAMP));
        doc.setSpineWidth(30);
        QCOMPARE(QList<float>({doc.storedModel().printWidth, doc.storedModel().backLength, doc.storedModel().foldLength}),
                 QList<float>({110, 30, 0}));
        // Nor does a spine edit leave the label a width that reads as another.
        doc.setLabelSize(Qt::Horizontal, 25);
        doc.setSpineWidth(1);
        QCOMPARE(doc.storedModel().printWidth, 1.0f);
    }

    // Overlap is judged by the boxes elements print: a text turned upright
    // overlaps a rectangle over its top end, not one beside it that its
    // unturned rectangle would cover.
    void stacking()
    {
        TemplateModel t = label();
        t.rectangleModels << placedElement<RectangleModel>(70, 22, 5, 5, 4)
                          << placedElement<RectangleModel>(57, 6, 4, 4, 3);
        t.textModels << turned(40, 20, 90);
        TemplateDocument doc(t);
        const QString chosen = t.textModels[0].id;
        const auto z = [&doc](const GraphicsModel &m) { return doc.element(m.id)->viewZ; };
        doc.raise(chosen);
        doc.raise(chosen);
        QCOMPARE(z(t.textModels[0]), 2);
        QCOMPARE(QList<int>({z(t.rectangleModels[0]), z(t.rectangleModels[1])}), QList<int>({4, 0}));
    }
};

QTEST_GUILESS_MAIN(TestTemplateDocument)
#include "tst_templatedocument.moc"
