#include "support/xlsxfixtures.h"

#include "support/testsupport.h"

#include <QDebug>
#include <QJsonDocument>

namespace TestSupport {

QString xlsxFixturesScript()
{
    return QStringLiteral(KELO_TESTS_DIR "/support/xlsxfixtures.py");
}

int runXlsxFixtures(const QStringList &args, QByteArray *out, int timeoutMs)
{
    QByteArray err;
    const int code = runProgram(systemPython(), QStringList{xlsxFixturesScript()} + args, out, &err, QByteArray(),
                                timeoutMs);
    if (code != 0)
        qWarning().noquote() << "xlsxfixtures.py" << args.join(QLatin1Char(' ')) << "failed:" << err;
    return code;
}

bool makeWorkbookFixtures(const QString &dir)
{
    return runXlsxFixtures({QStringLiteral("make"), dir}) == 0;
}

QJsonObject openpyxlDump(const QString &path)
{
    QByteArray out;
    if (runXlsxFixtures({QStringLiteral("dump"), path}, &out) != 0)
        return QJsonObject();
    return QJsonDocument::fromJson(out).object();
}

} // namespace TestSupport
