#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The JSON stores: the embedded default configuration and the user
// configuration customConfig.json. Every call re-reads the file; every write
// rewrites it whole with one key changed.
class JsonUtil
{
public:
    JsonUtil() = delete;

    static constexpr int DEFAULT_PRINTER_DPI = 300;
    static constexpr int DEFAULT_API_PORT = 58111;

    // Value of a key of the embedded defaults, "" when absent or not a string.
    static QString getDefaultConfig(const QString &key);
    // The same converted with a float conversion (0 when it holds no number).
    static float getDefaultConfigFloat(const QString &key);

    // Creates the attachment folders and an empty customConfig.json when missing.
    static void checkConfigFile();

    static QString getCustomConfig(const QString &key, const QString &defaultValue);
    static QStringList getCustomConfigList(const QString &key);
    static QMap<QString, QString> getCustomConfigMap(const QString &key);
    // Each returns whether the file was written.
    static bool setCustomConfig(const QString &key, const QString &value);
    static bool setCustomConfigList(const QString &key, const QStringList &list);
    static bool setCustomConfigMap(const QString &key, const QMap<QString, QString> &map);

    // "printer.dpi": an empty value is written back as "300"; a value that is
    // not a whole number from 50 to 2400 gives 300 with a warning.
    static int getPrinterDpi();
    // "api.port": a value that is not a whole number from 1 to 65535 gives
    // 58111 with a warning.
    static quint16 getApiPort();
};
