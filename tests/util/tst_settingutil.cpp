#include "support/testsupport.h"
#include "util/settingutil.h"

#include <QDir>
#include <QtTest>

using namespace TestSupport;

// config.ini is opened by bare name, so every case runs in its own working directory.
class TestSettingUtil : public QObject
{
    Q_OBJECT

    QString m_oldCwd;
    QTemporaryDir *m_cwd = nullptr;

    QString ini() const { return m_cwd->path() + QStringLiteral("/config.ini"); }

private slots:
    void init()
    {
        m_oldCwd = QDir::currentPath();
        m_cwd = new QTemporaryDir;
        QVERIFY(QDir::setCurrent(m_cwd->path()));
    }

    void cleanup()
    {
        QDir::setCurrent(m_oldCwd);
        delete m_cwd;
        m_cwd = nullptr;
    }

    void missingFileGivesDefaultsAndWritesTheSymbols()
    {
        TempProgramDir program;
        SettingUtil::initSettings();
        QVERIFY(!SettingUtil::s_isConfiged);
        QVERIFY(SettingUtil::s_appTitle.isEmpty());
        QVERIFY(SettingUtil::s_logoPath.isEmpty());
        QVERIFY(SettingUtil::s_welcomeImgPath.isEmpty());
        QCOMPARE(SettingUtil::s_appFullName, QStringLiteral("Tarnwick"));
        QCOMPARE(SettingUtil::s_companyInfo, QStringList({"", "", "", ""}));
        const QVector<QChar> expected{QChar(0xFF08), QChar(0xFF09), QChar(0x3010), QChar(0x3011), QChar(0x300A),
                                      QChar(0x300B), QChar(0x2014), QChar(0x002D), QChar(0x2026)};
        QCOMPARE(SettingUtil::s_tempSpecialSymbol, expected);

        const QByteArray written = readFile(ini());
        QVERIFY(written.contains("[Template]"));
        QVERIFY2(written.contains(QStringLiteral("specialsymbol=（）【】《》—-…").toUtf8()), written.constData());
        QVERIFY(!written.contains("name"));
    }

    void valuesAreReadAndPathsPrefixed()
    {
        TempProgramDir program;
        QVERIFY(writeFile(ini(), QStringLiteral("[Application]\nconfig=true\ntitle=档案标签打印\nlogo=img/logo.png\n"
                                                "welcome=img/welcome.png\nname=档案盒打印终端\n"
                                                "[Company]\ncontact3=电话：123\n"
                                                "[Template]\nspecialsymbol=《\n").toUtf8()));
        SettingUtil::initSettings();
        QVERIFY(SettingUtil::s_isConfiged);
        QCOMPARE(SettingUtil::s_appTitle, QStringLiteral("档案标签打印"));
        QCOMPARE(SettingUtil::s_logoPath, program.path() + QStringLiteral("/img/logo.png"));
        QCOMPARE(SettingUtil::s_welcomeImgPath, program.path() + QStringLiteral("/img/welcome.png"));
        QCOMPARE(SettingUtil::s_appFullName, QStringLiteral("档案盒打印终端"));
        QCOMPARE(SettingUtil::s_companyInfo, QStringList({"", "", QStringLiteral("电话：123"), ""}));
        QCOMPARE(SettingUtil::s_tempSpecialSymbol, QVector<QChar>{QChar(0x300A)});
        QCOMPARE(SettingUtil::getCompanyInfo(), SettingUtil::s_companyInfo);
    }

    void emptySymbolsAreReplacedAndWrittenBack()
    {
        TempProgramDir program;
        QVERIFY(writeFile(ini(), "[Application]\nconfig=true\nlogo=\n[Template]\nspecialsymbol=\n"));
        SettingUtil::initSettings();
        QVERIFY(SettingUtil::s_logoPath.isEmpty());
        QCOMPARE(SettingUtil::s_tempSpecialSymbol.size(), 9);
        QVERIFY(readFile(ini()).contains(QStringLiteral("（）【】《》—-…").toUtf8()));
    }

    void aCommaInAValueIsKept()
    {
        TempProgramDir program;
        QVERIFY(writeFile(ini(), "[Application]\ntitle=Labels, boxes\nname = A,  B \n[Company]\ncontact1=A, B\n"
                                 "[Template]\nspecialsymbol=(,)\n"));
        SettingUtil::initSettings();
        QCOMPARE(SettingUtil::s_appTitle, QStringLiteral("Labels, boxes"));
        QCOMPARE(SettingUtil::s_appFullName, QStringLiteral("A,  B"));
        QCOMPARE(SettingUtil::s_companyInfo.at(0), QStringLiteral("A, B"));
        QCOMPARE(SettingUtil::getCompanyInfo().at(0), QStringLiteral("A, B"));
        QCOMPARE(SettingUtil::s_tempSpecialSymbol, (QVector<QChar>{'(', ',', ')'}));
    }

    void absolutePathsAreUsedAsTheyAre()
    {
        TempProgramDir program;
        QVERIFY(writeFile(ini(), "[Application]\nlogo=/opt/brand/logo.png\nwelcome=splash.png\n"));
        SettingUtil::initSettings();
        QCOMPARE(SettingUtil::s_logoPath, QStringLiteral("/opt/brand/logo.png"));
        QCOMPARE(SettingUtil::s_welcomeImgPath, program.path() + QStringLiteral("/splash.png"));
    }

    void callingTwiceDoesNotDuplicate()
    {
        TempProgramDir program;
        SettingUtil::initSettings();
        SettingUtil::initSettings();
        QCOMPARE(SettingUtil::s_companyInfo.size(), 4);
        QCOMPARE(SettingUtil::s_tempSpecialSymbol.size(), 9);
    }

    void applicationInfoIsReadAfresh()
    {
        TempProgramDir program;
        QVERIFY(writeFile(ini(), "[Application]\ntitle=T\n"));
        const auto info = SettingUtil::getApplicationInfo();
        QCOMPARE(info.first, QStringLiteral("T"));
        QVERIFY(info.second.isEmpty());
        QCOMPARE(SettingUtil::s_appTitle, QStringLiteral("T"));
        QCOMPARE(SettingUtil::s_logoPath, program.path() + QStringLiteral("/"));
    }
};

QTEST_GUILESS_MAIN(TestSettingUtil)
#include "tst_settingutil.moc"
