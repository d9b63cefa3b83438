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
        QTest::newRow("a family of two foundries, one of one")
            << QStringList{"C059 [UKWN]", "文泉驿正黑", "C059 [urw]"} << QStringList{"C059", "文泉驿正黑"};
        QTest::newRow("a foundry with a blank") << QStringList{"D050000L [URW ]"} << QStringList{"D050000L"};
        QTest::newRow("plain first, suffixed later")
            << QStringList{"Nimbus Sans", "Z003 [urw]", "Nimbus Sans [UKWN]"} << QStringList{"Nimbus Sans", "Z003"};
        QTest::newRow("brackets only") << QStringList{"[x]"} << QStringList{"[x]"};
    }

    void plainNames()
    {
        QFETCH(QStringList, families);
        QTEST(FontFamilies::plainNames(families), "plain");
    }
};

QTEST_MAIN(TestFontFamilies)
#include "tst_fontfamilies.moc"
