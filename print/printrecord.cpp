#include "print/printrecord.h"

#include "util/seams.h"
#include "util/sqlitetool.h"

#include <QDateTime>
#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const QString TABLE_PRINT_RECORD = QStringLiteral("t_printrecord");

// Spacing kept exactly as the table has always been created: the schema text
// SQLite stores is this statement.
const QString CREATE_TABLE_PRINT_RECORD = QStringLiteral("CREATE TABLE ") + TABLE_PRINT_RECORD
    + QStringLiteral(" (") + QString(53, QLatin1Char(' '))
    + QStringLiteral("'id' INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,") + QString(31, QLatin1Char(' '))
    + QStringLiteral("'template_name'") + QString(4, QLatin1Char(' ')) + QStringLiteral("varchar(63) NOT NULL,")
    + QString(47, QLatin1Char(' ')) + QStringLiteral("'template_type' varchar(63)") + QString(2, QLatin1Char(' '))
    + QStringLiteral("NOT NULL,") + QString(54, QLatin1Char(' ')) + QStringLiteral("'print_time' INTEGER,")
    + QString(31, QLatin1Char(' ')) + QStringLiteral("'print_date' varchar(8)") + QString(29, QLatin1Char(' '))
    + QStringLiteral(");");

const QString INSERT_PRINT_RECORD = QStringLiteral("INSERT INTO ") + TABLE_PRINT_RECORD
    + QStringLiteral("(template_name, template_type, print_time,print_date) values (?,?,?,?)");

// What the home page's counts, ranking and chart look up. The statements
// leave the rows alone, so a file made before an index gets it at the next
// start.
const QStringList CREATE_INDEXES_PRINT_RECORD{
    QStringLiteral("CREATE INDEX IF NOT EXISTS idx_printrecord_time ON t_printrecord(print_time)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS idx_printrecord_name ON t_printrecord(template_name)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS idx_printrecord_type_time ON t_printrecord(template_type, print_time)")};

const QString PrintRecord::DATABASE_NAME = QStringLiteral("printer_record.db");
const QString PrintRecord::CONNECTION_NAME = QStringLiteral("sqlite_tool");

namespace {

// Runs a statement whose text values are bound, never spliced into the SQL.
QSqlQuery run(const QString &sql, const QVariantList &values)
{
    QSqlQuery query = SqliteTool::getQuery(PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME);
    if (!query.prepare(sql))
        return query;
    for (const QVariant &v : values)
        query.addBindValue(v);
    query.exec();
    return query;
}

qint64 count(const QString &format, const QVariantList &values = QVariantList())
{
    QSqlQuery query = run(format, values);
    return query.next() ? query.value(0).toLongLong() : 0;
}

// Records of one day whose text column holds value.
qint64 countOnDay(const QString &column, const QString &value, qint64 day)
{
    return count(QStringLiteral("SELECT COUNT(0) FROM %1 WHERE print_time=%2 AND %3=?")
                     .arg(TABLE_PRINT_RECORD)
                     .arg(day)
                     .arg(column),
                 {value});
}

// Records from day `from` to day `to`, both included, whose text column holds value.
qint64 countInRange(const QString &column, const QString &value, qint64 from, qint64 to)
{
    return count(QStringLiteral("SELECT COUNT(0) FROM %1 WHERE print_time>=%2 AND print_time<=%3 AND %4=?")
                     .arg(TABLE_PRINT_RECORD)
                     .arg(from)
                     .arg(to)
                     .arg(column),
                 {value});
}

QList<QPair<QString, qint64>> countsBy(const QString &column)
{
    QList<QPair<QString, qint64>> result;
    QSqlQuery query = run(QStringLiteral("SELECT %2,COUNT(1) as print_cnt FROM %1 GROUP BY %2 ORDER BY print_cnt DESC")
                              .arg(TABLE_PRINT_RECORD, column),
                          QVariantList());
    while (query.next())
        result.append(qMakePair(query.value(0).toString(), query.value(1).toLongLong()));
    return result;
}

} // namespace

qint64 PrintRecord::dayKey(const QDate &date)
{
    return date.startOfDay().toSecsSinceEpoch();
}

bool PrintRecord::initTable()
{
    if (!tableHasExist() && !createTable())
        return false;
    // Without them the statistics still come out right, only slower.
    for (const QString &statement : CREATE_INDEXES_PRINT_RECORD) {
        QSqlQuery query = SqliteTool::getQuery(CONNECTION_NAME, DATABASE_NAME);
        if (!query.exec(statement))
            qWarning().noquote() << "print record index not created:" << query.lastError().text();
    }
    return true;
}

bool PrintRecord::tableHasExist()
{
    QSqlQuery query = SqliteTool::select(QStringLiteral("SELECT count(0) FROM %1 ").arg(TABLE_PRINT_RECORD),
                                         CONNECTION_NAME, DATABASE_NAME);
    const bool exists = query.next();
    qInfo().noquote() << QStringLiteral("%1 %2").arg(TABLE_PRINT_RECORD,
                                                       exists ? QStringLiteral(" has exist")
                                                              : QStringLiteral(" not exist"));
    return exists;
}

bool PrintRecord::createTable()
{
    QSqlQuery query = SqliteTool::getQuery(CONNECTION_NAME, DATABASE_NAME);
    return query.exec(CREATE_TABLE_PRINT_RECORD);
}

bool PrintRecord::insertTable(const QString &templateName, const QString &templateType)
{
    // One reading of the clock: the day key and the day's text always agree,
    // also for a page recorded across midnight.
    const QDateTime now = Seams::now();
    const QDate today = now.date();
    QSqlQuery query = SqliteTool::getQuery(CONNECTION_NAME, DATABASE_NAME);
    bool stored = query.prepare(INSERT_PRINT_RECORD);
    if (stored) {
        query.bindValue(0, templateName);
        query.bindValue(1, templateType);
        query.bindValue(2, dayKey(today));
        query.bindValue(3, today.toString(QStringLiteral("yyyyMMdd")));
        stored = query.exec();
    }
    if (!stored) {
        const QString error = query.lastError().text().trimmed();
        qWarning().noquote() << "write print record failed:"
                             << (error.isEmpty() ? QStringLiteral("the database is not open") : error);
    }
    qInfo().noquote() << QStringLiteral("%1 write print record : templateName=%2 templateType=%3 %4")
                             .arg(now.toString(), templateName, templateType,
                                  stored ? QStringLiteral("true") : QStringLiteral("false"));
    return stored;
}

qint64 PrintRecord::getTableDataCount()
{
    return count(QStringLiteral("SELECT COUNT(0) FROM %1").arg(TABLE_PRINT_RECORD));
}

qint64 PrintRecord::getTableDataCount(qint64 day)
{
    return count(QStringLiteral("SELECT COUNT(0) FROM %1 WHERE print_time=%2").arg(TABLE_PRINT_RECORD).arg(day));
}

qint64 PrintRecord::getTableDataCount(qint64 from, qint64 to)
{
    return count(QStringLiteral("SELECT COUNT(0) FROM %1 WHERE print_time>=%2 AND print_time<=%3")
                     .arg(TABLE_PRINT_RECORD)
                     .arg(from)
                     .arg(to));
}

qint64 PrintRecord::getDatacountByTemplateName(const QString &name, qint64 day)
{
    return countOnDay(QStringLiteral("template_name"), name, day);
}

qint64 PrintRecord::getDatacountByTemplateName(const QString &name, qint64 from, qint64 to)
{
    return countInRange(QStringLiteral("template_name"), name, from, to);
}

qint64 PrintRecord::getDatacountByTemplateType(const QString &type, qint64 day)
{
    return countOnDay(QStringLiteral("template_type"), type, day);
}

qint64 PrintRecord::getDatacountByTemplateType(const QString &type, qint64 from, qint64 to)
{
    return countInRange(QStringLiteral("template_type"), type, from, to);
}

QList<QPair<QString, qint64>> PrintRecord::getDatacountGroupByTemplateName()
{
    return countsBy(QStringLiteral("template_name"));
}

QList<QPair<QString, qint64>> PrintRecord::getDatacountGroupByTemplateType()
{
    return countsBy(QStringLiteral("template_type"));
}

QList<QPair<qint64, qint64>> PrintRecord::getDataGroupByTemplateType(const QString &type, qint64 from, qint64 to,
                                                                    unsigned char unused)
{
    Q_UNUSED(unused)
    QList<QPair<qint64, qint64>> result;
    QSqlQuery query = run(QStringLiteral("SELECT print_time,COUNT(1) as print_cnt FROM %1 WHERE print_time>=%2 AND "
                                         "print_time<=%3 AND template_type=? GROUP BY print_time ORDER BY "
                                         "print_time ASC")
                              .arg(TABLE_PRINT_RECORD)
                              .arg(from)
                              .arg(to),
                          {type});
    while (query.next())
        result.append(qMakePair(query.value(0).toLongLong(), query.value(1).toLongLong()));
    return result;
}
