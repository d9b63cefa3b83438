// The home page of the main window: counter cards, template ranking and the
// chart of pages printed per category. HomeStats decides what they show.

#include "app/homestats.h"
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/wholerowsview.h"
#include "editor/visiblerowfiller.h"
#include "util/seams.h"

#include <QtCharts/QDateTimeAxis>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QtCharts/QLineSeries>
#include <QStandardItemModel>
#include <QtCharts/QValueAxis>

QT_CHARTS_USE_NAMESPACE

namespace {

const char DATE_FORMAT[] = "yyyy-MM-dd";
constexpr int CHART_FONT_PIXELS = 16;
constexpr int LINE_WIDTH = 2;
constexpr int LONE_POINT_SIZE = 4;
const QColor AXIS_LABEL_COLOR(132, 141, 154);

constexpr int RANK_COLUMN = 0;
constexpr int NAME_COLUMN = 1;
constexpr int COUNT_COLUMN = 2;
constexpr int RANK_COLUMN_WIDTH = 50;
constexpr int COUNT_COLUMN_WIDTH = 50;
constexpr int RANK_ROW_HEIGHT = 60;
constexpr QSize BADGE_SIZE(40, 44);

void showComparison(QLabel *arrow, QLabel *value, const HomeStats::Comparison &comparison)
{
    arrow->setVisible(comparison.arrowShown());
    if (comparison.arrowShown())
        arrow->setStyleSheet(comparison.arrowStyle());
    value->setStyleSheet(comparison.labelStyle());
    value->setText(comparison.text());
}

QWidget *rankBadge(int row, QWidget *parent)
{
    const HomeStats::Badge badge = HomeStats::rankBadge(row);
    auto *cell = new QWidget(parent);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto *label = new QLabel(badge.text, cell);
    label->setFixedSize(BADGE_SIZE);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(badge.styleSheet);
    layout->addWidget(label);
    return cell;
}

QFont chartFont()
{
    QFont font;
    font.setPixelSize(CHART_FONT_PIXELS);
    return font;
}

template <typename Axis>
Axis *styledAxis(const QFont &font)
{
    auto *axis = new Axis;
    axis->setLabelsFont(font);
    axis->setTitleFont(font);
    axis->setLabelsColor(AXIS_LABEL_COLOR);
    axis->setGridLineVisible(false);
    return axis;
}

} // namespace

void MainWindow::initHomeChart()
{
    // The same form as the chart's date labels, whatever the system's locale.
    ui->edit_start_date->setDisplayFormat(QLatin1String(DATE_FORMAT));
    ui->edit_end_date->setDisplayFormat(QLatin1String(DATE_FORMAT));
    ui->btn_chart_week->setChecked(true);
    on_btn_chart_week_clicked();
    ui->btn_temp_query->hide();
    // The ranking's panel ends where its last whole row does.
    new WholeRowsView(ui->tableView_home, ui->frame_6);
}

void MainWindow::on_btn_nav_home_clicked()
{
    refreshHomeView();
    showPage(ui->btn_nav_home, ui->page_home);
}

void MainWindow::on_btn_chart_year_clicked()
{
    choosePeriod(ui->btn_chart_year);
}

void MainWindow::on_btn_chart_month_clicked()
{
    choosePeriod(ui->btn_chart_month);
}

void MainWindow::on_btn_chart_week_clicked()
{
    choosePeriod(ui->btn_chart_week);
}

void MainWindow::on_edit_start_date_editingFinished()
{
    refreshChartsView();
}

void MainWindow::on_edit_end_date_editingFinished()
{
    refreshChartsView();
}

void MainWindow::choosePeriod(QPushButton *button)
{
    if (!button->isChecked())
        return;
    const QList<QPair<QPushButton *, HomeStats::Period>> periods{{ui->btn_chart_year, HomeStats::Period::Year},
                                                                 {ui->btn_chart_month, HomeStats::Period::Month},
                                                                 {ui->btn_chart_week, HomeStats::Period::Week}};
    for (const auto &period : periods) {
        if (period.first != button) {
            period.first->setChecked(false);
            continue;
        }
        const QPair<QDate, QDate> range = HomeStats::periodRange(period.second, Seams::now().date());
        ui->edit_start_date->setDate(range.first);
        ui->edit_end_date->setDate(range.second);
    }
    refreshChartsView();
}

void MainWindow::refreshHomeView()
{
    const HomeStats::Counters counters = HomeStats::counters(Seams::now().date());
    ui->lb_template_count->setText(QString::number(counters.templates));
    showComparison(ui->lab_cge_model, ui->lb_template_compare, counters.templateChange);
    ui->lb_day_print_cnt->setText(QString::number(counters.printedToday));
    showComparison(ui->lab_cge_today, ui->lb_day_print_cmp, counters.dayChange);
    ui->lb_print_cnt->setText(QString::number(counters.printedTotal));
    showComparison(ui->lab_cge_total, ui->lb_print_cnt_cmp, counters.dayChange);
    showRanking(HomeStats::ranking());
    refreshChartsView();
}

void MainWindow::showRanking(const QList<QPair<QString, qint64>> &ranking)
{
    QTableView *table = ui->tableView_home;
    auto *model = new QStandardItemModel(0, 3, table);
    for (const auto &entry : ranking) {
        auto *name = new QStandardItem(entry.first);
        name->setToolTip(entry.first);
        auto *count = new QStandardItem(QString::number(entry.second));
        count->setTextAlignment(Qt::AlignCenter);
        model->appendRow({new QStandardItem(), name, count});
    }
    // The view neither deletes the model it drops nor the selection model
    // it made for it.
    QAbstractItemModel *oldModel = table->model();
    QItemSelectionModel *oldSelection = table->selectionModel();
    table->setModel(model);
    delete oldSelection;
    delete oldModel;

    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(RANK_COLUMN, QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(NAME_COLUMN, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(COUNT_COLUMN, QHeaderView::Fixed);
    table->setColumnWidth(RANK_COLUMN, RANK_COLUMN_WIDTH);
    table->setColumnWidth(COUNT_COLUMN, COUNT_COLUMN_WIDTH);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(RANK_ROW_HEIGHT);
    table->setShowGrid(false);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setFocusPolicy(Qt::NoFocus);

    // Every template ranks, printed or not: a badge only once its row shows.
    if (!rankingRowFiller) {
        rankingRowFiller = new VisibleRowFiller(table, [table](int row) {
            table->setIndexWidget(table->model()->index(row, RANK_COLUMN), rankBadge(row, table));
        });
    }
    rankingRowFiller->reset();
}

void MainWindow::refreshChartsView()
{
    // Dates picked the wrong way round chart the range between them, and
    // the fields show it so.
    const QPair<QDate, QDate> range = HomeStats::orderedRange(ui->edit_start_date->date(), ui->edit_end_date->date());
    ui->edit_start_date->setDate(range.first);
    ui->edit_end_date->setDate(range.second);

    const QList<HomeStats::Series> lines = HomeStats::chartSeries(range.first, range.second);
    const QFont font = chartFont();
    auto *chart = new QChart;
    const HomeStats::DateScale dates = HomeStats::dateScale(range.first, range.second);
    auto *axisX = styledAxis<QDateTimeAxis>(font);
    axisX->setFormat(QLatin1String(DATE_FORMAT));
    axisX->setTickCount(dates.ticks);
    axisX->setRange(dates.min, dates.max);
    chart->addAxis(axisX, Qt::AlignBottom);
    const HomeStats::ValueScale values = HomeStats::valueScale(lines);
    auto *axisY = styledAxis<QValueAxis>(font);
    axisY->setLabelFormat(QStringLiteral("%d"));
    axisY->setRange(0, qreal(values.top));
    axisY->setTickCount(values.ticks);
    chart->addAxis(axisY, Qt::AlignLeft);
    chart->legend()->setFont(font);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);

    for (const HomeStats::Series &series : lines) {
        auto *line = new QLineSeries;
        line->setName(series.category);
        QPen pen(series.color);
        pen.setWidth(LINE_WIDTH);
        // A lone day draws no line: its point, drawn large, is all there is
        // to see.
        const bool lonePoint = series.points.size() == 1;
        if (lonePoint)
            pen.setWidth(LONE_POINT_SIZE);
        line->setPen(pen);
        line->setPointsVisible(lonePoint);
        line->append(series.points);
        chart->addSeries(line);
        line->attachAxis(axisX);
        line->attachAxis(axisY);
    }

    // The view lets go of its old chart without deleting it.
    QChart *oldChart = ui->chartView->chart();
    ui->chartView->setChart(chart);
    delete oldChart;
    ui->chartView->setRenderHint(QPainter::Antialiasing);
}
