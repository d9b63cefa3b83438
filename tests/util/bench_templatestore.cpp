// Times the template store's list and load calls with 1000 user templates
// beside the 38 built-ins. Every call re-reads the user file, as the store
// does in the program.
//
//   bench_templatestore [user templates, default 1000] [rounds, default 20]

#include "support/testsupport.h"
#include "util/fileutil.h"
#include "util/jsonfile.h"
#include "util/jsonutil.h"
#include "util/templatejson.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <functional>

namespace {

// Median milliseconds of `rounds` runs.
double timeIt(int rounds, const std::function<void()> &work)
{
    return TestSupport::medianMs(work, rounds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 20;
    QTextStream out(stdout);

    TestSupport::TempProgramDir dir;
    FileUtil::checkCustomDir();

    // User templates made from the built-ins, so they carry realistic
    // element lists (15 text fields on average).
    const QList<TemplateModel> builtins = [] {
        QList<TemplateModel> list;
        for (const QString &name : JsonUtil::getSysTemplateNames())
            list.append(JsonUtil::parseTemplate(name));
        return list;
    }();
    QJsonArray users;
    for (int i = 0; i < count; ++i) {
        TemplateModel t = builtins.at(i % builtins.size());
        t.name = QStringLiteral("用户模板%1").arg(i, 4, 10, QLatin1Char('0'));
        t.createTime.clear();
        users.append(TemplateJson::writeTemplate(t));
    }
    const QString path = FileUtil::customPath(CUSTOM_TEMPLATE_PATH);
    JsonFile::write(path, users);
    out << "user templates: " << count << ", user file: " << QFileInfo(path).size() / 1024 << " KiB, rounds: "
        << rounds << "\n";

    const QString middle = QStringLiteral("用户模板%1").arg(count / 2, 4, 10, QLatin1Char('0'));
    int sink = 0;
    struct Case {
        const char *label;
        std::function<void()> work;
    };
    const QList<Case> cases{
        {"parseTemplateList(true, true)", [&] { sink += JsonUtil::parseTemplateList(true, true).size(); }},
        {"getAllTemplateNames()", [&] { sink += JsonUtil::getAllTemplateNames().size(); }},
        {"getTemplateTypes()", [&] { sink += JsonUtil::getTemplateTypes().size(); }},
        {"parseTemplate(user template)", [&] { sink += JsonUtil::parseTemplate(middle).textModels.size(); }},
        {"parseTemplate(built-in)", [&] { sink += JsonUtil::parseTemplate(QStringLiteral("档案袋")).textModels.size(); }},
        {"getTemplateJsonArray(true, true, true)",
         [&] { sink += JsonUtil::getTemplateJsonArray(true, true, true).size(); }},
        {"saveTemplate(whole)", [&] {
             TemplateModel t = builtins.first();
             t.name = middle;
             sink += JsonUtil::saveTemplate(t, false);
         }},
        {"reference: QJsonDocument of the user file",
         [&] { sink += JsonFile::readArray(path).size(); }},
    };
    for (const Case &c : cases)
        out << QStringLiteral("%1 %2 ms\n").arg(QLatin1String(c.label), -44).arg(timeIt(rounds, c.work), 8, 'f', 2);
    out << "(checksum " << sink << ")\n";
    return 0;
}
