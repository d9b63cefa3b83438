#include "util/fontfamilies.h"

#include <QtTest>

class TestFontFamilies : public QObject
{
    Q_OBJECT

private slots:
    void plainNames_data()
    {
        QTest::addColumn<QStringList>("families");
        QTest::addColumn<QStringList>("plain");
        QTest::newRow("one foundry each")
            << QStringList{"DejaVu Sans", "文泉驿正黑"} << QStringList{"DejaVu Sans", "文泉驿正黑"};
        QTest::newRow("a family of two foundries")
            << QStringList{"C059 [UKWN]", "C059 [urw]", "DejaVu Sans"} << QStringList{"C059", "DejaVu Sans"};
        QTest::newRow("a foundry with a blank") << QStringList{"D050000L [URW ]"} << QStringList{"D050000L"};
        QTest::newRow("plain and suffixed alike, first place kept")
            << QStringList{"Nimbus Sans", "Z003 [urw]", "Nimbus Sans [UKWN]"} << QStringList{"Nimbus Sans", "Z003"};
        QTest::newRow("brackets only") << QStringList{"[x]"} << QStringList{"[x]"};
        QTest::newRow("none") << QStringList() << QStringList();
    }

    void plainNames()
    {
        QFETCH(QStringList, families);
        QTEST(FontFamilies::plainNames(families), "plain");
    }
};

QTEST_MAIN(TestFontFamilies)
#include "tst_fontfamilies.moc"
