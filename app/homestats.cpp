#include "app/homestats.h"

#include "print/printrecord.h"
#include "util/jsonutil.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// The configuration keys that carry the template count from day to day.
const QString KEY_TIMESTAMP = QStringLiteral("template.timestamp");
const QString KEY_COUNT_PRE = QStringLiteral("template.count.pre");
const QString KEY_COUNT = QStringLiteral("template.count");

const QString ARROW_UP = QStringLiteral("background-image: url(:/resources/icon/arrow-narrow-up.png);");
const QString ARROW_DOWN = QStringLiteral("background-image: url(:/resources/icon/arrow-narrow-down.png);");
const QString LABEL_UP = QStringLiteral("font-size: 14px;color: #0B9F57;");
const QString LABEL_FLAT = QStringLiteral("font-size: 14px;color: #000000;");
const QString LABEL_DOWN = QStringLiteral("font-size: 14px;color: #DE0007;");

const QStringList MEDAL_STYLES{
    QStringLiteral("background-image: url(:/resources/icon/No1.png);border: none;"),
    QStringLiteral("background-image: url(:/resources/icon/No2.png);border: none;"),
    QStringLiteral("background-image: url(:/resources/icon/No3.png);border: none;")};
const QString PLAIN_BADGE_STYLE = QStringLiteral("QLabel {color:#000000;font-size:13px;font-weight:400;"
                                                 "background-image: url(:/resources/icon/No.png);border: none;}");

constexpr int MAX_DATE_TICKS = 7;
constexpr int MAX_VALUE_STEPS = 5;

// Distinct on white. The first ones belong to the archive categories.
const QList<QColor> SERIES_COLORS{QColor(0x18, 0x90, 0xFF), QColor(0x13, 0xA8, 0xA8), QColor(0xFA, 0x8C, 0x16),
                                  QColor(0x72, 0x2E, 0xD1), QColor(0x52, 0xC4, 0x1A), QColor(0xF5, 0x22, 0x2D),
                                  QColor(0xEB, 0x2F, 0x96), QColor(0x2F, 0x54, 0xEB), QColor(0xD4, 0xB1, 0x06),
                                  QColor(0x8C, 0x8C, 0x8C)};
const QStringList ARCHIVE_CATEGORIES{QStringLiteral("文书档案"), QStringLiteral("科技档案"),
                                     QStringLiteral("城建档案"), QStringLiteral("业务档案"),
                                     QStringLiteral("会计档案"), QStringLiteral("其他")};

QString config(const QString &key)
{
    return JsonUtil::getCustomConfig(key, QString());
}

// The number of templates at the day's first count, stored when the day
// (or the configuration) is new. Text that is no number counts as 0.
qint64 templateBaseline(const QDate &today, qint64 templates)
{
    const QString todayKey = QString::number(PrintRecord::dayKey(today));
    const QString count = QString::number(templates);
    QString stamp = config(KEY_TIMESTAMP);
    if (stamp.isEmpty()) {
        JsonUtil::setCustomConfig(KEY_TIMESTAMP, todayKey);
        stamp = todayKey;
    }
    if (config(KEY_COUNT_PRE).isEmpty())
        JsonUtil::setCustomConfig(KEY_COUNT_PRE, count);
    // Kept up to date by the template store; only a missing value is set here.
    if (config(KEY_COUNT).isEmpty())
        JsonUtil::setCustomConfig(KEY_COUNT, count);
    if (stamp != todayKey) {
        JsonUtil::setCustomConfig(KEY_TIMESTAMP, todayKey);
        JsonUtil::setCustomConfig(KEY_COUNT_PRE, count);
    }
    return config(KEY_COUNT_PRE).toLongLong();
}

// Appends (name, 0) for every name not yet in the list, in the names' order.
void appendUnlisted(QList<QPair<QString, qint64>> &list, const QStringList &names)
{
    QSet<QString> listed;
    for (const auto &entry : list)
        listed.insert(entry.first);
    for (const QString &name : names) {
        if (!listed.contains(name)) {
            listed.insert(name);
            list.append(qMakePair(name, qint64(0)));
        }
    }
}

} // namespace

QString HomeStats::Comparison::text() const
{
    return QString::number(qAbs(m_difference));
}

QString HomeStats::Comparison::labelStyle() const
{
    if (m_difference > 0)
        return LABEL_UP;
    return m_difference < 0 ? LABEL_DOWN : LABEL_FLAT;
}

QString HomeStats::Comparison::arrowStyle() const
{
    if (m_difference > 0)
        return ARROW_UP;
    return m_difference < 0 ? ARROW_DOWN : QString();
}

HomeStats::Counters HomeStats::counters(const QDate &today)
{
    Counters counters;
    counters.templates = JsonUtil::getAllTemplateNames().size();
    counters.templateChange = Comparison(counters.templates - templateBaseline(today, counters.templates));
    counters.printedToday = PrintRecord::getTableDataCount(PrintRecord::dayKey(today));
    const qint64 yesterday = PrintRecord::getTableDataCount(PrintRecord::dayKey(today.addDays(-1)));
    counters.dayChange = Comparison(counters.printedToday - yesterday);
    counters.printedTotal = PrintRecord::getTableDataCount();
    return counters;
}

QList<QPair<QString, qint64>> HomeStats::ranking()
{
    QList<QPair<QString, qint64>> list = PrintRecord::getDatacountGroupByTemplateName();
    appendUnlisted(list, JsonUtil::getAllTemplateNames());
    return list;
}

HomeStats::Badge HomeStats::rankBadge(int row)
{
    if (row >= 0 && row < MEDAL_STYLES.size())
        return {QString(), MEDAL_STYLES.at(row)};
    return {QString::number(row + 1), PLAIN_BADGE_STYLE};
}

QPair<QDate, QDate> HomeStats::periodRange(Period period, const QDate &today)
{
    switch (period) {
    case Period::Year:
        return {QDate(today.year(), 1, 1), today};
    case Period::Month:
        return {QDate(today.year(), today.month(), 1), today};
    case Period::Week:
        break;
    }
    return {today.addDays(1 - today.dayOfWeek()), today.addDays(7 - today.dayOfWeek())};
}

QPair<QDate, QDate> HomeStats::orderedRange(const QDate &a, const QDate &b)
{
    return b < a ? qMakePair(b, a) : qMakePair(a, b);
}

QStringList HomeStats::chartCategories()
{
    QList<QPair<QString, qint64>> categories = PrintRecord::getDatacountGroupByTemplateType();
    QStringList stored = JsonUtil::getTemplateTypes();
    std::sort(stored.begin(), stored.end());
    appendUnlisted(categories, stored);
    QStringList names;
    for (const auto &entry : categories)
        names.append(entry.first);
    return names;
}

QList<HomeStats::Series> HomeStats::chartSeries(const QDate &from, const QDate &to)
{
    const QPair<QDate, QDate> range = orderedRange(from, to);
    const qint64 firstKey = PrintRecord::dayKey(range.first);
    const qint64 lastKey = PrintRecord::dayKey(range.second);
    QList<Series> series;
    int otherColors = ARCHIVE_CATEGORIES.size();
    for (const QString &category : chartCategories()) {
        const int archive = ARCHIVE_CATEGORIES.indexOf(category);
        const int color = archive >= 0 ? archive : otherColors++;
        Series line{category, SERIES_COLORS.at(color % SERIES_COLORS.size()), {}};
        for (const auto &day : PrintRecord::getDataGroupByTemplateType(category, firstKey, lastKey, 0))
            line.points.append(QPointF(qreal(day.first) * 1000, qreal(day.second)));
        series.append(line);
    }
    return series;
}

HomeStats::DateScale HomeStats::dateScale(const QDate &from, const QDate &to)
{
    const QPair<QDate, QDate> range = orderedRange(from, to);
    const qint64 days = range.first.daysTo(range.second);
    if (days == 0)
        return {range.first.startOfDay(), range.first.addDays(1).startOfDay(), 2};
    return {range.first.startOfDay(), range.second.startOfDay(), int(qMin<qint64>(days + 1, MAX_DATE_TICKS))};
}

HomeStats::ValueScale HomeStats::valueScale(const QList<Series> &series)
{
    qint64 highest = 0;
    for (const Series &line : series) {
        for (const QPointF &point : line.points)
            highest = qMax(highest, qint64(std::ceil(point.y())));
    }
    // An empty chart still shows a scale of a few pages.
    if (highest == 0)
        return {MAX_VALUE_STEPS, MAX_VALUE_STEPS + 1};
    // The first of 1, 2, 5, 10, 20, 50, ... that passes the highest point
    // within the steps; the top is the first step above it, so the highest
    // point never sits on the chart's edge.
    qint64 step = 1;
    for (int i = 0; step * MAX_VALUE_STEPS <= highest; ++i)
        step = i % 3 == 1 ? step * 5 / 2 : step * 2;
    const qint64 steps = highest / step + 1;
    return {steps * step, int(steps) + 1};
}
