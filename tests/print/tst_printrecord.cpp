#include "print/printrecord.h"
#include "support/testsupport.h"
#include "util/seams.h"
#include "util/sqlitetool.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <ctime>

namespace {

// The sqlite3 command-line tool is the oracle: it reads the same file with
// SQL written here by hand. One output line per row, columns joined by "|".
QStringList sqlite(const QString &sql, const QString &db = PrintRecord::DATABASE_NAME)
{
    QByteArray out;
    QByteArray err;
    const int code = TestSupport::runProgram(QStringLiteral("sqlite3"),
                                             {QStringLiteral("-batch"), QStringLiteral("-noheader"), db, sql}, &out,
                                             &err);
    if (code != 0)
        qWarning() << "sqlite3 failed:" << code << err;
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

qint64 sqliteCount(const QString &sql)
{
    const QStringList rows = sqlite(sql);
    return rows.isEmpty() ? -1 : rows.first().toLongLong();
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

// Sets the local time zone for its lifetime.
class TimeZone
{
public:
    explicit TimeZone(const QByteArray &zone)
        : m_previous(qgetenv("TZ"))
        , m_hadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZone()
    {
        if (m_hadPrevious)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};

const QStringList NAMES{QStringLiteral("文书档案-2cm"), QStringLiteral("O'Brien's 标签"),
                        QStringLiteral("科技\"档案\"-3cm"), QStringLiteral("会计档案-全幅")};
const QStringList TYPES{QStringLiteral("文书档案"), QStringLiteral("科技'档案"), QStringLiteral("会计档案")};

} // namespace

class TestPrintRecord : public QObject
{
    Q_OBJECT

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QList<qint64> m_days;

    // A record of known content, written straight into the file by sqlite3.
    void fillRecord()
    {
        QVERIFY(PrintRecord::initTable());
        m_days.clear();
        for (int d = 0; d < 6; ++d)
            m_days.append(PrintRecord::dayKey(QDate(2024, 2, 27).addDays(d))); // across 29 February
        QStringList statements{QStringLiteral("BEGIN;")};
        QRandomGenerator random(8);
        for (int i = 0; i < 400; ++i) {
            const int n = random.bounded(NAMES.size());
            statements.append(QStringLiteral("INSERT INTO t_printrecord(template_name,template_type,print_time,"
                                             "print_date) VALUES(%1,%2,%3,'x');")
                                  .arg(quoted(NAMES.at(n)), quoted(TYPES.at(n % TYPES.size())))
                                  .arg(m_days.at(random.bounded(m_days.size()))));
        }
        statements.append(QStringLiteral("COMMIT;"));
        sqlite(statements.join(QLatin1Char('\n')));
        QCOMPARE(sqliteCount("SELECT count(*) FROM t_printrecord"), qint64(400));
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void cleanup()
    {
        SqliteTool::destoryConn(PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME);
        QDir::setCurrent(QDir::tempPath());
        Seams::resetAll();
        m_dir.reset();
    }

    void tableIsCreatedOnceWithItsStatement()
    {
        QCOMPARE(CREATE_TABLE_PRINT_RECORD.size(), 445);
        QCOMPARE(INSERT_PRINT_RECORD, QStringLiteral("INSERT INTO t_printrecord(template_name, template_type, "
                                                     "print_time,print_date) values (?,?,?,?)"));
        TestSupport::LogCapture log;
        QVERIFY(!PrintRecord::tableHasExist());
        QVERIFY(PrintRecord::initTable());
        QVERIFY(log.messages(QtInfoMsg).contains(QStringLiteral("t_printrecord  not exist")));
        QVERIFY(QFile::exists(m_dir->filePath("printer_record.db")));
        // SQLite keeps the creating statement as written.
        QCOMPARE(sqlite("SELECT sql FROM sqlite_master WHERE name='t_printrecord'").join(QLatin1Char('\n')),
                 CREATE_TABLE_PRINT_RECORD.chopped(1));
        QCOMPARE(sqlite("SELECT name, type, \"notnull\", pk FROM pragma_table_info('t_printrecord')"),
                 (QStringList{"id|INTEGER|1|1", "template_name|varchar(63)|1|0", "template_type|varchar(63)|1|0",
                              "print_time|INTEGER|0|0", "print_date|varchar(8)|0|0"}));

        // A second start finds the table and keeps its rows.
        QVERIFY(PrintRecord::insertTable(QStringLiteral("甲"), QStringLiteral("文书档案")));
        log.clear();
        QVERIFY(PrintRecord::initTable());
        QCOMPARE(log.messages(QtInfoMsg), QStringList{QStringLiteral("t_printrecord  has exist")});
        QCOMPARE(PrintRecord::getTableDataCount(), qint64(1));
        QVERIFY(!PrintRecord::createTable());
    }

    void olderFilesGetTheLookupIndexes()
    {
        // A file as earlier versions made it: the table and its rows only.
        sqlite(CREATE_TABLE_PRINT_RECORD
               + QStringLiteral("INSERT INTO t_printrecord VALUES(7,'甲','文书档案',86400,'x');"));
        for (int start = 0; start < 2; ++start)
            QVERIFY(PrintRecord::initTable());
        QCOMPARE(sqlite("SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='t_printrecord' "
                        "AND sql IS NOT NULL ORDER BY name"),
                 (QStringList{"idx_printrecord_name", "idx_printrecord_time", "idx_printrecord_type_time"}));
        QCOMPARE(sqlite("SELECT * FROM t_printrecord"), QStringList{QStringLiteral("7|甲|文书档案|86400|x")});
    }

    void insertStoresTheDayOfPrinting()
    {
        QVERIFY(PrintRecord::initTable());
        Seams::setClockHandler([] { return QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)); });
        TestSupport::LogCapture log;
        QVERIFY(PrintRecord::insertTable(QStringLiteral("文书档案-2cm"), QStringLiteral("文书档案")));
        QVERIFY(PrintRecord::insertTable(QStringLiteral("文书档案-2cm"), QStringLiteral("文书档案")));
        QVERIFY(log.contains(QStringLiteral(" write print record : templateName=文书档案-2cm templateType=文书档案 true")));

        const QStringList rows = sqlite("SELECT id, template_name, template_type, print_time, print_date, "
                                        "strftime('%Y%m%d', print_time, 'unixepoch', 'localtime'), "
                                        "strftime('%H:%M:%S', print_time, 'unixepoch', 'localtime') "
                                        "FROM t_printrecord ORDER BY id");
        QCOMPARE(rows.size(), 2);
        const QStringList first = rows.at(0).split(QLatin1Char('|'));
        QCOMPARE(first.mid(1, 2), (QStringList{"文书档案-2cm", "文书档案"}));
        // Key and text name one day: local midnight of it.
        QCOMPARE(first.at(5), first.at(4));
        QCOMPARE(first.at(6), QStringLiteral("00:00:00"));
        QCOMPARE(first.at(4), QStringLiteral("20240229"));
        const QDate today(2024, 2, 29);
        QCOMPARE(first.at(3).toLongLong(), PrintRecord::dayKey(today));
        // Two pages of one day share both.
        QCOMPARE(rows.at(1).split(QLatin1Char('|')).mid(1), first.mid(1));
        QCOMPARE(PrintRecord::getTableDataCount(PrintRecord::dayKey(today)), qint64(2));
    }

    void dayKeysAcrossMidnightAndClockChanges()
    {
        {
            TimeZone zone("Europe/Berlin");
            // A page at 23:59 and one two minutes later: consecutive days.
            const QDate evening(2024, 3, 30);
            QCOMPARE(PrintRecord::dayKey(evening), QDateTime(evening, QTime(0, 0)).toSecsSinceEpoch());
            QCOMPARE(PrintRecord::dayKey(evening.addDays(1)) - PrintRecord::dayKey(evening), qint64(86400));
            // The day the clocks go forward has 23 hours.
            QCOMPARE(PrintRecord::dayKey(evening.addDays(2)) - PrintRecord::dayKey(evening.addDays(1)), qint64(82800));
            QCOMPARE(PrintRecord::dayKey(QDate(2024, 1, 1)), qint64(1704063600));
        }
        {
            // Here midnight itself was skipped: the day starts at 01:00.
            TimeZone zone("America/Sao_Paulo");
            QCOMPARE(PrintRecord::dayKey(QDate(2018, 11, 4)), qint64(1541300400));
            QCOMPARE(PrintRecord::dayKey(QDate(2018, 11, 3)), qint64(1541214000));
        }
    }

    void emptyTableCountsNothing()
    {
        QVERIFY(PrintRecord::initTable());
        const qint64 today = PrintRecord::dayKey(QDate::currentDate());
        QCOMPARE(PrintRecord::getTableDataCount(), qint64(0));
        QCOMPARE(PrintRecord::getTableDataCount(today), qint64(0));
        QCOMPARE(PrintRecord::getTableDataCount(0, today), qint64(0));
        QCOMPARE(PrintRecord::getDatacountByTemplateName(QStringLiteral("甲"), today), qint64(0));
        QCOMPARE(PrintRecord::getDatacountByTemplateType(QStringLiteral("文书档案"), 0, today), qint64(0));
        QVERIFY(PrintRecord::getDatacountGroupByTemplateName().isEmpty());
        QVERIFY(PrintRecord::getDatacountGroupByTemplateType().isEmpty());
        QVERIFY(PrintRecord::getDataGroupByTemplateType(QStringLiteral("文书档案"), 0, today, 0).isEmpty());
    }

    void countsAgreeWithHandWrittenSql()
    {
        fillRecord();
        const qint64 first = m_days.first();
        const qint64 last = m_days.last();
        QCOMPARE(PrintRecord::getTableDataCount(), qint64(400));
        const auto expected = [](const QString &where) {
            return sqliteCount(QStringLiteral("SELECT count(*) FROM t_printrecord WHERE ") + where);
        };
        const auto onDay = [](qint64 day) { return QStringLiteral("print_time = %1").arg(day); };
        // Ranges include both ends.
        const auto inRange = [](qint64 from, qint64 to) {
            return QStringLiteral("print_time BETWEEN %1 AND %2").arg(from).arg(to);
        };
        const auto named = [](const QString &column, const QString &value) {
            return QStringLiteral(" AND %1 = %2").arg(column, quoted(value));
        };
        for (const qint64 day : qAsConst(m_days)) {
            QCOMPARE(PrintRecord::getTableDataCount(day), expected(onDay(day)));
            QCOMPARE(PrintRecord::getTableDataCount(day, last), expected(inRange(day, last)));
            for (const QString &name : NAMES) {
                const QString is = named(QStringLiteral("template_name"), name);
                QCOMPARE(PrintRecord::getDatacountByTemplateName(name, day), expected(onDay(day) + is));
                QCOMPARE(PrintRecord::getDatacountByTemplateName(name, first, day), expected(inRange(first, day) + is));
            }
            for (const QString &type : TYPES) {
                const QString is = named(QStringLiteral("template_type"), type);
                QCOMPARE(PrintRecord::getDatacountByTemplateType(type, day), expected(onDay(day) + is));
                QCOMPARE(PrintRecord::getDatacountByTemplateType(type, day, last), expected(inRange(day, last) + is));
            }
        }
        QVERIFY(PrintRecord::getTableDataCount(first, last) == 400);
        QCOMPARE(PrintRecord::getTableDataCount(first + 1, last - 1),
                 400 - PrintRecord::getTableDataCount(first) - PrintRecord::getTableDataCount(last));
        QCOMPARE(PrintRecord::getTableDataCount(last, first), qint64(0));
        QCOMPARE(PrintRecord::getDatacountByTemplateName(QStringLiteral("O'Brien"), first, last), qint64(0));
    }

    void groupingsAgreeWithHandWrittenSql()
    {
        fillRecord();
        // Ties: two categories with equal totals.
        sqlite(QStringLiteral("INSERT INTO t_printrecord(template_name,template_type,print_time,print_date) "
                              "VALUES('并列甲','并列一',%1,'x'),('并列乙','并列二',%1,'x')")
                   .arg(m_days.first()));

        const auto checkGroups = [](const QList<QPair<QString, qint64>> &ours, const QString &column) {
            QMap<QString, qint64> expected;
            for (const QString &row : sqlite(QStringLiteral("SELECT %1, count(*) FROM t_printrecord GROUP BY %1").arg(column))) {
                const int bar = row.lastIndexOf(QLatin1Char('|'));
                expected.insert(row.left(bar), row.mid(bar + 1).toLongLong());
            }
            QMap<QString, qint64> got;
            for (int i = 0; i < ours.size(); ++i) {
                got.insert(ours.at(i).first, ours.at(i).second);
                if (i > 0)
                    QVERIFY(ours.at(i - 1).second >= ours.at(i).second); // most first
            }
            QCOMPARE(ours.size(), expected.size());
            QCOMPARE(got, expected);
        };
        checkGroups(PrintRecord::getDatacountGroupByTemplateName(), QStringLiteral("template_name"));
        checkGroups(PrintRecord::getDatacountGroupByTemplateType(), QStringLiteral("template_type"));
        QCOMPARE(PrintRecord::getDatacountGroupByTemplateType().constLast().second, qint64(1));

        for (const QString &type : TYPES) {
            const qint64 from = m_days.at(1);
            const qint64 to = m_days.at(4);
            QList<QPair<qint64, qint64>> expected;
            for (const QString &row : sqlite(QStringLiteral("SELECT print_time, count(*) FROM t_printrecord WHERE "
                                                            "template_type = %1 AND print_time BETWEEN %2 AND %3 "
                                                            "GROUP BY print_time ORDER BY print_time")
                                                 .arg(quoted(type))
                                                 .arg(from)
                                                 .arg(to))) {
                const QStringList cols = row.split(QLatin1Char('|'));
                expected.append(qMakePair(cols.at(0).toLongLong(), cols.at(1).toLongLong()));
            }
            QCOMPARE(expected.size(), 4);
            QCOMPARE(PrintRecord::getDataGroupByTemplateType(type, from, to, 0), expected);
        }
        // A category without records in the range: nothing, not zeros per day.
        QVERIFY(PrintRecord::getDataGroupByTemplateType(QStringLiteral("并列一"), m_days.at(1), m_days.last(), 0)
                    .isEmpty());
    }

    void namesWithQuotesAreStoredAndCounted()
    {
        QVERIFY(PrintRecord::initTable());
        const QString name = QStringLiteral("O'Brien's 标签'); DROP TABLE t_printrecord; --");
        const QString type = QStringLiteral("文书'档案");
        QVERIFY(PrintRecord::insertTable(name, type));
        QCOMPARE(sqlite("SELECT template_name || '|' || template_type FROM t_printrecord"),
                 QStringList{name + QLatin1Char('|') + type});
        const qint64 today = sqlite("SELECT print_time FROM t_printrecord").value(0).toLongLong();
        QCOMPARE(PrintRecord::getDatacountByTemplateName(name, today), qint64(1));
        QCOMPARE(PrintRecord::getDatacountByTemplateType(type, today), qint64(1));
        QCOMPARE(PrintRecord::getDataGroupByTemplateType(type, today, today, 0), (QList<QPair<qint64, qint64>>{{today, 1}}));
        QCOMPARE(PrintRecord::getDatacountGroupByTemplateName().value(0).first, name);
    }

    void brokenDatabaseFile()
    {
        const QByteArray garbage("这不是数据库 this is not a database\n");
        QVERIFY(TestSupport::writeFile(m_dir->filePath("printer_record.db"), garbage.repeated(200)));
        QVERIFY(!PrintRecord::initTable());
        TestSupport::LogCapture log;
        QVERIFY(!PrintRecord::insertTable(QStringLiteral("甲"), QStringLiteral("文书档案")));
        QVERIFY(log.contains(QStringLiteral("write print record failed:")));
        QVERIFY(log.contains(QStringLiteral("templateName=甲 templateType=文书档案 false")));
        QCOMPARE(PrintRecord::getTableDataCount(), qint64(0));
        QCOMPARE(PrintRecord::getTableDataCount(0), qint64(0));
        QVERIFY(PrintRecord::getDatacountGroupByTemplateName().isEmpty());
        QVERIFY(PrintRecord::getDataGroupByTemplateType(QStringLiteral("文书档案"), 0, 1LL << 40, 0).isEmpty());
        QCOMPARE(TestSupport::readFile(m_dir->filePath("printer_record.db")), garbage.repeated(200));
    }

    void databaseThatCannotBeOpened()
    {
        // A folder where the file should be: SQLite cannot open it.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("printer_record.db")));
        QVERIFY(!PrintRecord::initTable());
        // Each attempt to open says so once.
        TestSupport::LogCapture log;
        QVERIFY(!PrintRecord::insertTable(QStringLiteral("甲"), QStringLiteral("文书档案")));
        QCOMPARE(log.warnings().filter(QStringLiteral("cannot open database")).size(), 1);
        QCOMPARE(PrintRecord::getTableDataCount(), qint64(0));
        QVERIFY(PrintRecord::getDatacountGroupByTemplateType().isEmpty());
        // No transaction can begin, so none commits.
        QVERIFY(!SqliteTool::batchInsert({QStringLiteral("INSERT INTO t_printrecord VALUES(1,'a','b',1,'x')")},
                                         PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME));
        QVERIFY(log.contains(QStringLiteral("commit failed:")));
    }

    void batchStatements()
    {
        QVERIFY(PrintRecord::initTable());
        const QString c = PrintRecord::CONNECTION_NAME;
        const QString db = PrintRecord::DATABASE_NAME;
        const auto insert = [](const QString &name) {
            return QStringLiteral("INSERT INTO t_printrecord(template_name,template_type,print_time,print_date) "
                                  "VALUES('%1','文书档案',0,'19700101')")
                .arg(name);
        };
        QVERIFY(!SqliteTool::batchInsert({}, c, db));
        // A failing statement does not stop the others; the commit decides.
        TestSupport::LogCapture log;
        QVERIFY(SqliteTool::batchInsert({insert("一"), QStringLiteral("INSERT INTO nowhere VALUES(1)"), insert("二")}, c, db));
        QVERIFY(log.contains(QStringLiteral("batch insert data size: 3")));
        QCOMPARE(sqlite("SELECT template_name FROM t_printrecord ORDER BY id"), (QStringList{"一", "二"}));

        bool ok = true;
        QCOMPARE(SqliteTool::batchExec({}, &ok, c, db), QStringLiteral("执行SQL为空"));
        QVERIFY(!ok);
        // The first failure rolls every statement back.
        const QString error = SqliteTool::batchExec({insert("三"), QStringLiteral("INSERT INTO nowhere VALUES(1)"), insert("四")},
                                                    &ok, c, db);
        QVERIFY(!ok);
        QVERIFY(error.contains(QStringLiteral("nowhere")));
        QCOMPARE(sqliteCount("SELECT count(*) FROM t_printrecord"), qint64(2));
        QVERIFY(SqliteTool::batchExec({insert("三"), insert("四")}, &ok, c, db).isEmpty());
        QVERIFY(ok);
        QCOMPARE(sqliteCount("SELECT count(*) FROM t_printrecord"), qint64(4));

        QVERIFY(SqliteTool::exectue(QStringLiteral("DELETE FROM t_printrecord WHERE template_name='四'"), c, db));
        QVERIFY(!SqliteTool::exectue(QStringLiteral("DELETE FROM nowhere"), c, db));
        QCOMPARE(sqliteCount("SELECT count(*) FROM t_printrecord"), qint64(3));

        QVERIFY(SqliteTool::checkColumnExist(QStringLiteral("t_printrecord"), QStringLiteral("TEMPLATE_NAME"), c, db));
        QVERIFY(!SqliteTool::checkColumnExist(QStringLiteral("t_printrecord"), QStringLiteral("name"), c, db));
        QVERIFY(!SqliteTool::checkColumnExist(QStringLiteral("t_printrecord"), QString(), c, db));
        QVERIFY(!SqliteTool::checkColumnExist(QString(), QStringLiteral("id"), c, db));
    }

    void eachThreadHasItsOwnConnection()
    {
        QVERIFY(PrintRecord::initTable());
        const QString mine = SqliteTool::connectionName(PrintRecord::DATABASE_NAME);
        QVERIFY(mine.endsWith(QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()))));
        QVERIFY(QSqlDatabase::contains(mine));

        QString theirs;
        bool stored = false;
        QScopedPointer<QThread> worker(QThread::create([&]() {
            theirs = SqliteTool::connectionName(PrintRecord::DATABASE_NAME);
            stored = PrintRecord::insertTable(QStringLiteral("线程"), QStringLiteral("文书档案"));
            SqliteTool::destoryConn(PrintRecord::CONNECTION_NAME, PrintRecord::DATABASE_NAME);
        }));
        worker->start();
        QVERIFY(worker->wait(30000));
        QVERIFY(stored);
        QVERIFY(theirs != mine);
        QVERIFY(!QSqlDatabase::contains(theirs));
        QCOMPARE(PrintRecord::getTableDataCount(), qint64(1));
    }
};

QTEST_GUILESS_MAIN(TestPrintRecord)
#include "tst_printrecord.moc"
