// Figures of the template page with 1,000 user templates besides the
// built-in ones (six cell widgets a row):
//  - a rebuild of the whole table (goal under 200 ms), then with the paint
//    and the deletion of the old rows' widgets;
//  - a search by a part of the name that leaves ten rows;
//  - a jump to the end of the full table, whose rows get their widgets then.
// Build in Release for meaningful figures.

#include "app/mainwindow.h"
#include "support/labelfixtures.h"
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

using TestSupport::medianMs;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSupport::TempProgramDir dir;
    TestSupport::ToastRecorder toasts;
    Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(1920, 1080), QSizeF(508, 285.75)}; });
    JsonUtil::checkTemplateFile(true);
    QJsonArray stored;
    for (int i = 0; i < 1000; ++i) {
        TemplateModel model = TestSupport::blankLabel(QStringLiteral("用户模板%1").arg(i, 4, 10, QLatin1Char('0')));
        model.modifyTime = QStringLiteral("2024-01-01 00:00:00");
        model.textModels.append(TestSupport::textField(QStringLiteral("题名"), QString(), 2, 2, 30, 8, 4));
        stored.append(TemplateJson::writeTemplate(model));
    }
    JsonFile::write(dir.file(QStringLiteral("/attachment/customTemplate.json")), stored);

    MainWindow window;
    window.resize(1600, 1000);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.findChild<QAbstractButton *>(QStringLiteral("btn_nav_template"))->click();
    auto *table = window.findChild<QTableView *>(QStringLiteral("tableView_temp_list"));
    auto *search = window.findChild<QAbstractButton *>(QStringLiteral("btn_temp_search"));
    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("edt_template_name"));
    // The paint and the events it leaves (the old rows' widgets going).
    const auto shown = [&] {
        table->repaint();
        QApplication::processEvents();
    };
    QApplication::processEvents();

    QTextStream out(stdout);
    const int rows = table->model()->rowCount();
    out << "rebuild of " << rows << " rows: median " << medianMs([&] { window.refreshTemplateView(); }, 7)
        << " ms, painted and the old rows gone " << medianMs([&] {
               window.refreshTemplateView();
               shown();
           }, 7)
        << " ms\n";

    edit->setText(QStringLiteral("用户模板012"));
    const double filtered = medianMs([&] {
        search->click();
        shown();
    }, 7);
    out << "search leaving " << table->model()->rowCount() << " rows, painted: median " << filtered << " ms\n";

    edit->clear();
    search->click();
    // Each jump starts from a fresh rebuild, which is not timed.
    QVector<double> jumps;
    for (int i = 0; i < 7; ++i) {
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
        << jumps.at(3) << " ms\n";
    return 0;
}
