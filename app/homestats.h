#pragma once

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QString>
#include <QStringList>

// What the home page shows, read afresh from the print record and the
// template store on every call: the three counter cards, the template
// ranking and the chart's lines. No widgets: the main window puts the
// results on its labels, table and chart.
class HomeStats
{
public:
    HomeStats() = delete;

    // A card's change against its baseline and how the card shows it.
    class Comparison
    {
    public:
        explicit Comparison(qint64 difference = 0)
            : m_difference(difference)
        {
        }
        qint64 difference() const { return m_difference; }
        // The size of the change, without sign.
        QString text() const;
        QString labelStyle() const;
        // No arrow for no change; the arrow keeps whatever style it had.
        bool arrowShown() const { return m_difference != 0; }
        QString arrowStyle() const;

    private:
        qint64 m_difference;
    };

    struct Counters {
        qint64 templates = 0;
        // Against the number of templates at the day's first count.
        Comparison templateChange;
        qint64 printedToday = 0;
        qint64 printedTotal = 0;
        // Today's pages against yesterday's; both print cards show it.
        Comparison dayChange;
    };

    // The cards on the given day. The first call of a day stores that day's
    // number of templates as its baseline in the user configuration.
    static Counters counters(const QDate &today);

    // (template name, pages printed with it): the print record's names, most
    // pages first (also those no longer stored), then every stored template
    // never printed, with 0, in the store's order.
    static QList<QPair<QString, qint64>> ranking();

    // The badge in the first column of a ranking row (0-based).
    struct Badge {
        QString text;
        QString styleSheet;
    };
    static Badge rankBadge(int row);

    enum class Period { Year, Month, Week };
    // First and last day of the period, as the period buttons set the dates:
    // the year and the month end today, the week runs Monday to Sunday.
    static QPair<QDate, QDate> periodRange(Period period, const QDate &today);
    // The two dates, earlier first.
    static QPair<QDate, QDate> orderedRange(const QDate &a, const QDate &b);

    // One chart line per category: the categories printed, most pages
    // first, then the stored templates' other categories sorted, so the
    // chart comes out the same on every refresh.
    static QStringList chartCategories();

    struct Series {
        QString category;
        // The archive categories keep their colours from one chart to the
        // next; other categories take the colours left, in order.
        QColor color;
        // x: the day's local midnight in milliseconds since the epoch;
        // y: the pages of the category printed that day. Days without pages
        // have no point.
        QList<QPointF> points;
    };
    // Every category's pages per day from one date to the other, both
    // included, whichever of the two comes first.
    static QList<Series> chartSeries(const QDate &from, const QDate &to);

    // The date axis from the first day's midnight to the last's, with no
    // more ticks than days so no date is labelled twice; a single day spans
    // to the next midnight.
    struct DateScale {
        QDateTime min;
        QDateTime max;
        int ticks = 0;
    };
    static DateScale dateScale(const QDate &from, const QDate &to);

    // The value axis from 0 to the first round value above every point, in
    // whole steps of 1, 2 or 5 times a power of ten, so every label is a
    // whole number and no point sits on the chart's top edge.
    struct ValueScale {
        qint64 top = 0;
        int ticks = 0;
    };
    static ValueScale valueScale(const QList<Series> &series);
};
