#include "util/jsonutil.h"

#include "util/fileutil.h"
#include "util/jsonfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QtDebug>

namespace {

QString configPath()
{
    return FileUtil::customPath(CUSTOM_CONFIG_PATH);
}

QJsonObject readConfig()
{
    JsonUtil::checkConfigFile();
    return JsonFile::readObject(configPath());
}

bool writeConfigValue(const QString &key, const QJsonValue &value)
{
    QJsonObject config = readConfig();
    config.insert(key, value);
    return JsonFile::write(configPath(), config);
}

const QJsonObject &defaultConfig()
{
    // The embedded defaults never change while the program runs.
    static const QJsonObject object = [] {
        QFile file{QLatin1String(DEFAULT_CONFIG_PATH)};
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning() << "cannot open the embedded default configuration";
            return QJsonObject();
        }
        return JsonFile::parse(file.readAll()).object();
    }();
    return object;
}

} // namespace

QString JsonUtil::getDefaultConfig(const QString &key)
{
    const QJsonValue value = defaultConfig().value(key);
    return value.isString() ? value.toString() : QString();
}

float JsonUtil::getDefaultConfigFloat(const QString &key)
{
    return getDefaultConfig(key).toFloat();
}

void JsonUtil::checkConfigFile()
{
    FileUtil::checkCustomDir();
    JsonFile::ensureExists(configPath());
}

QString JsonUtil::getCustomConfig(const QString &key, const QString &defaultValue)
{
    const QJsonValue value = readConfig().value(key);
    if (!value.isString() || value.toString().isEmpty())
        return defaultValue;
    return value.toString();
}

QStringList JsonUtil::getCustomConfigList(const QString &key)
{
    QStringList list;
    const QJsonValue value = readConfig().value(key);
    if (!value.isArray())
        return list;
    for (const QJsonValue &item : value.toArray())
        list.append(item.isString() ? item.toString() : QString());
    return list;
}

QMap<QString, QString> JsonUtil::getCustomConfigMap(const QString &key)
{
    QMap<QString, QString> map;
    const QJsonValue value = readConfig().value(key);
    if (!value.isObject())
        return map;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), it.value().isString() ? it.value().toString() : QString());
    return map;
}

bool JsonUtil::setCustomConfig(const QString &key, const QString &value)
{
    return writeConfigValue(key, value);
}

bool JsonUtil::setCustomConfigList(const QString &key, const QStringList &list)
{
    return writeConfigValue(key, QJsonArray::fromStringList(list));
}

bool JsonUtil::setCustomConfigMap(const QString &key, const QMap<QString, QString> &map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), it.value());
    return writeConfigValue(key, object);
}

int JsonUtil::getPrinterDpi()
{
    const QString text = getCustomConfig(QStringLiteral("printer.dpi"), QString());
    if (text.isEmpty()) {
        setCustomConfig(QStringLiteral("printer.dpi"), QString::number(DEFAULT_PRINTER_DPI));
        return DEFAULT_PRINTER_DPI;
    }
    bool ok = false;
    const uint dpi = text.toUInt(&ok, 10);
    if (!ok || dpi < 50 || dpi > 2400) {
        qWarning().noquote() << "printer.dpi" << text << "is not a resolution from 50 to 2400; using"
                             << DEFAULT_PRINTER_DPI;
        return DEFAULT_PRINTER_DPI;
    }
    return int(dpi);
}

quint16 JsonUtil::getApiPort()
{
    const QString text = getCustomConfig(QStringLiteral("api.port"), QString::number(DEFAULT_API_PORT));
    bool ok = false;
    const uint port = text.toUInt(&ok, 10);
    if (!ok || port < 1 || port > 65535) {
        qWarning().noquote() << "api.port" << text << "is not a port from 1 to 65535; using" << DEFAULT_API_PORT;
        return DEFAULT_API_PORT;
    }
    return quint16(port);
}
