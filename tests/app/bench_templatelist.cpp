// Figures of the template page with 1,000 user templates besides the
// built-in ones (six cell widgets a row):
//  - a rebuild of the whole table (goal under 200 ms), then with the paint
//    and the deletion of the old rows' widgets;
//  - a search by a part of the name that leaves ten rows;
//  - a jump to the end of the full table, whose rows get their widgets then.
// Build in Release for meaningful figures.

#include "app/mainwindow.h"
#include "support/testsupport.h"
#include "util/jsonfile.h"
#include "util/jsonutil.h"
#include "util/seams.h"
#include "util/templatejson.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTextStream>
#include <QVector>

#include <algorithm>

namespace {

constexpr int USER_TEMPLATES = 1000;
constexpr int RUNS = 7;

void writeUserTemplates(const TestSupport::TempProgramDir &dir)
{
    QJsonArray array;
    for (int i = 0; i < USER_TEMPLATES; ++i) {
        TemplateModel model;
        model.name = QStringLiteral("用户模板%1").arg(i, 4, 10, QLatin1Char('0'));
        model.type = QStringLiteral("文书档案");
        model.printWidth = 300;
        model.printHeight = 100;
        model.backLength = 40;
        model.foldLength = 30;
        model.modifyTime = QStringLiteral("2024-01-01 00:00:00");
        TextModel text;
        text.textTitle = QStringLiteral("题名");
        model.textModels.append(text);
        array.append(TemplateJson::writeTemplate(model));
    }
    JsonFile::write(dir.file(QStringLiteral("/attachment/customTemplate.json")), array);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSupport::TempProgramDir dir;
    TestSupport::ToastRecorder toasts;
    Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
    JsonUtil::checkTemplateFile(true);
    writeUserTemplates(dir);

    MainWindow window;
    window.resize(1600, 1000);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.findChild<QAbstractButton *>(QStringLiteral("btn_nav_template"))->click();
    auto *table = window.findChild<QTableView *>(QStringLiteral("tableView_temp_list"));
    auto *search = window.findChild<QAbstractButton *>(QStringLiteral("btn_temp_search"));
    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("edt_template_name"));

    QTextStream out(stdout);
    const int rows = table->model()->rowCount();
    // The paint and the events it leaves (the old rows' widgets going).
    const auto shown = [&] {
        table->repaint();
        QApplication::processEvents();
    };
    QApplication::processEvents();
    const double rebuild = TestSupport::medianMs([&] { window.refreshTemplateView(); }, RUNS);
    const double rebuildShown = TestSupport::medianMs([&] {
        window.refreshTemplateView();
        shown();
    }, RUNS);
    out << "rebuild of " << rows << " rows: median " << rebuild << " ms, painted and the old rows gone "
        << rebuildShown << " ms\n";

    edit->setText(QStringLiteral("用户模板012"));
    const double filtered = TestSupport::medianMs([&] {
        search->click();
        shown();
    }, RUNS);
    out << "search leaving " << table->model()->rowCount() << " rows, painted: median " << filtered << " ms\n";

    edit->clear();
    search->click();
    QVector<double> jumps;
    for (int i = 0; i < RUNS; ++i) {
        window.refreshTemplateView();
        shown();
        QElapsedTimer timer;
        timer.start();
        table->scrollToBottom();
        shown();
        jumps.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(jumps.begin(), jumps.end());
    out << "jump to the end of " << table->model()->rowCount() << " rows, new rows placed and painted: median "
        << jumps.at(RUNS / 2) << " ms\n";
    return 0;
}
