#include "util/sqlitetool.h"

#include <QDebug>
#include <QSqlError>
#include <QThread>
#include <QVariant>

QString SqliteTool::connectionName(const QString &databaseName)
{
    // The whole id: a part of it could name two threads alike.
    return databaseName + QLatin1Char('#')
        + QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

QSqlDatabase SqliteTool::getSqlDataBase(const QString &connectionName, const QString &databaseName)
{
    Q_UNUSED(connectionName)
    const QString name = SqliteTool::connectionName(databaseName);
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name, false);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(databaseName);
    return db;
}

QSqlQuery SqliteTool::getQuery(const QString &connectionName, const QString &databaseName)
{
    QSqlDatabase db = getSqlDataBase(connectionName, databaseName);
    if (!db.isOpen() && !db.open())
        qWarning() << "cannot open database" << databaseName << ":" << db.lastError().text();
    return QSqlQuery(db);
}

QSqlQuery SqliteTool::select(const QString &sql, const QString &connectionName, const QString &databaseName)
{
    QSqlQuery query = getQuery(connectionName, databaseName);
    query.exec(sql);
    return query;
}

bool SqliteTool::exectue(const QString &sql, const QString &connectionName, const QString &databaseName)
{
    QSqlQuery query = getQuery(connectionName, databaseName);
    return query.exec(sql);
}

bool SqliteTool::checkColumnExist(const QString &table, const QString &column, const QString &connectionName,
                                  const QString &databaseName)
{
    if (table.isEmpty() || column.isEmpty())
        return false;
    QSqlQuery query = select(QStringLiteral("PRAGMA table_info(%1)").arg(table), connectionName, databaseName);
    while (query.next()) {
        if (query.value(1).toString().compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool SqliteTool::batchInsert(const QList<QString> &sqls, const QString &connectionName, const QString &databaseName)
{
    if (sqls.isEmpty())
        return false;
    QSqlQuery query = getQuery(connectionName, databaseName);
    QSqlDatabase db = getSqlDataBase(connectionName, databaseName);
    db.transaction();
    for (const QString &sql : sqls)
        query.exec(sql);
    query.finish();
    const bool committed = db.commit();
    if (committed)
        qDebug() << "batch insert data size:" << sqls.size();
    else
        qWarning() << "commit failed:" << db.lastError().text();
    return committed;
}

QString SqliteTool::batchExec(const QList<QString> &sqls, bool *ok, const QString &connectionName,
                              const QString &databaseName)
{
    if (sqls.isEmpty()) {
        *ok = false;
        return QStringLiteral("执行SQL为空");
    }
    QSqlQuery query = getQuery(connectionName, databaseName);
    QSqlDatabase db = getSqlDataBase(connectionName, databaseName);
    db.transaction();
    for (const QString &sql : sqls) {
        if (!query.exec(sql)) {
            const QString error = query.lastError().text();
            query.finish();
            db.rollback();
            *ok = false;
            return error;
        }
    }
    query.finish();
    *ok = db.commit();
    return *ok ? QString() : db.lastError().text();
}

void SqliteTool::destoryConn(const QString &connectionName, const QString &databaseName)
{
    Q_UNUSED(connectionName)
    const QString name = SqliteTool::connectionName(databaseName);
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
