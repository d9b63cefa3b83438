#pragma once

// Per-thread SQLite connections and the statements run over them. Every
// thread gets its own connection to a database file, named by the file and
// the thread's id; it is opened on first use, reopened whenever found
// closed, and kept for the rest of the program's life.

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class SqliteTool : public QObject
{
    Q_OBJECT
public:
    SqliteTool() = delete;

    // The calling thread's connection name for a database file.
    static QString connectionName(const QString &databaseName);

    // The calling thread's connection, added when missing (not opened here).
    // connectionName is not used to find it: see connectionName(databaseName).
    static QSqlDatabase getSqlDataBase(const QString &connectionName, const QString &databaseName);
    // A query on the connection, opening it first when it is closed; a failed
    // open logs a warning and the query's statements then fail.
    static QSqlQuery getQuery(const QString &connectionName, const QString &databaseName);
    // As getQuery, then executes sql; the caller reads the rows.
    static QSqlQuery select(const QString &sql, const QString &connectionName, const QString &databaseName);
    static bool exectue(const QString &sql, const QString &connectionName, const QString &databaseName);
    // Whether table has a column of that name (compared regardless of case).
    static bool checkColumnExist(const QString &table, const QString &column, const QString &connectionName,
                                 const QString &databaseName);
    // Runs every statement in one transaction whatever their single results;
    // returns whether the commit succeeded (false for an empty list).
    static bool batchInsert(const QList<QString> &sqls, const QString &connectionName, const QString &databaseName);
    // Runs the statements in one transaction up to the first failure. All
    // succeeded: commit, *ok = true, empty result. Else rollback, *ok = false
    // and the failing statement's error text ("执行SQL为空" for no statements).
    static QString batchExec(const QList<QString> &sqls, bool *ok, const QString &connectionName,
                             const QString &databaseName);
    // Closes and forgets the calling thread's connection to the database.
    // Only this one connection can be dropped: every other stays open until
    // the program ends, as the print record expects of its connection.
    static void destoryConn(const QString &connectionName, const QString &databaseName);
};
