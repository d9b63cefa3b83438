#include "util/settingutil.h"

#include "util/seams.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextCodec>
#include <QTextStream>

const QString SettingUtil::DEFAULT_SPECIAL_SYMBOLS = QStringLiteral("（）【】《》—-…");

bool SettingUtil::s_isConfiged = false;
QString SettingUtil::s_appTitle;
QString SettingUtil::s_logoPath;
QString SettingUtil::s_welcomeImgPath;
QString SettingUtil::s_appFullName;
QStringList SettingUtil::s_companyInfo;
QVector<QChar> SettingUtil::s_tempSpecialSymbol;

namespace {

void openIni(QSettings &settings)
{
    settings.setIniCodec(QTextCodec::codecForName("UTF-8"));
}

// The value of group/key exactly as written in the file, for the values
// QSettings would split at their commas.
QString rawIniValue(const QString &fileName, const QString &group, const QString &key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QString currentGroup;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            currentGroup = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || currentGroup.compare(group, Qt::CaseInsensitive) != 0)
            continue;
        if (line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}

// QSettings splits an unquoted INI value at ASCII commas and trims the parts;
// a company name "A, B" or a symbol set holding a comma must still read as
// the text the user wrote.
QString readText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.type() != QVariant::StringList)
        return value.toString();
    return rawIniValue(settings.fileName(), settings.group(), key);
}

// Paths in config.ini are relative to the program's folder unless absolute.
QString underProgramDir(const QString &path)
{
    if (QDir::isAbsolutePath(path))
        return path;
    return Seams::programDir() + QLatin1Char('/') + path;
}

QStringList readContacts(QSettings &settings)
{
    QStringList contacts;
    settings.beginGroup(QStringLiteral("Company"));
    for (int i = 1; i <= 4; ++i)
        contacts.append(readText(settings, QStringLiteral("contact%1").arg(i)));
    settings.endGroup();
    return contacts;
}

} // namespace

void SettingUtil::initSettings()
{
    QSettings settings(QLatin1String(INI_FILE), QSettings::IniFormat);
    openIni(settings);

    settings.beginGroup(QStringLiteral("Application"));
    s_isConfiged = settings.value(QStringLiteral("config"), false).toBool();
    s_appTitle = readText(settings, QStringLiteral("title"));
    const QString logo = readText(settings, QStringLiteral("logo"));
    s_logoPath = logo.isEmpty() ? QString() : underProgramDir(logo);
    const QString welcome = readText(settings, QStringLiteral("welcome"));
    s_welcomeImgPath = welcome.isEmpty() ? QString() : underProgramDir(welcome);
    s_appFullName = readText(settings, QStringLiteral("name"));
    if (s_appFullName.isEmpty())
        s_appFullName = QLatin1String(DEFAULT_APP_NAME);
    settings.endGroup();

    s_companyInfo = readContacts(settings);

    settings.beginGroup(QStringLiteral("Template"));
    QString symbols = readText(settings, QStringLiteral("specialsymbol"));
    if (symbols.isEmpty()) {
        symbols = DEFAULT_SPECIAL_SYMBOLS;
        settings.setValue(QStringLiteral("specialsymbol"), symbols);
    }
    settings.endGroup();
    s_tempSpecialSymbol.clear();
    for (const QChar c : symbols)
        s_tempSpecialSymbol.append(c);

    settings.sync();
}

QStringList SettingUtil::getCompanyInfo()
{
    QSettings settings(QLatin1String(INI_FILE), QSettings::IniFormat);
    openIni(settings);
    return readContacts(settings);
}

QPair<QString, QString> SettingUtil::getApplicationInfo()
{
    QSettings settings(QLatin1String(INI_FILE), QSettings::IniFormat);
    openIni(settings);
    settings.beginGroup(QStringLiteral("Application"));
    const QString title = readText(settings, QStringLiteral("title"));
    const QString logo = readText(settings, QStringLiteral("logo"));
    settings.endGroup();
    s_appTitle = title;
    s_logoPath = underProgramDir(logo);
    return qMakePair(title, logo);
}
