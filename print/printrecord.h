#pragma once

// The print record: one row per label page the printer reported printed, in
// the SQLite file "printer_record.db" of the working directory. It feeds the
// home page's counts, ranking and charts.
//
// A day key is the seconds since the epoch of local midnight at the start of
// a day; all pages of one local day share it.

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

extern const QString TABLE_PRINT_RECORD;
extern const QString CREATE_TABLE_PRINT_RECORD;
extern const QString INSERT_PRINT_RECORD;

class PrintRecord
{
public:
    PrintRecord() = delete;

    static const QString DATABASE_NAME;
    static const QString CONNECTION_NAME;

    // The day key of a local date; when a clock change skips midnight, the
    // day starts at its first existing moment.
    static qint64 dayKey(const QDate &date);

    // True when the table exists or was just created.
    static bool initTable();
    static bool tableHasExist();
    static bool createTable();
    // Stores one printed page of a template today; whether it was stored.
    static bool insertTable(const QString &templateName, const QString &templateType);

    // Counts; 0 when nothing matches or the statement fails. Ranges include
    // both ends.
    static qint64 getTableDataCount();
    static qint64 getTableDataCount(qint64 day);
    static qint64 getTableDataCount(qint64 from, qint64 to);
    static qint64 getDatacountByTemplateName(const QString &name, qint64 day);
    static qint64 getDatacountByTemplateName(const QString &name, qint64 from, qint64 to);
    static qint64 getDatacountByTemplateType(const QString &type, qint64 day);
    static qint64 getDatacountByTemplateType(const QString &type, qint64 from, qint64 to);

    // (template name, records), most records first.
    static QList<QPair<QString, qint64>> getDatacountGroupByTemplateName();
    // (archive category, records), most records first.
    static QList<QPair<QString, qint64>> getDatacountGroupByTemplateType();
    // (day key, records) of one category from `from` to `to`, by day; days
    // without records are absent. The last argument has no effect.
    static QList<QPair<qint64, qint64>> getDataGroupByTemplateType(const QString &type, qint64 from, qint64 to,
                                                                   unsigned char unused);
};
