// The built program, run as its users run it and driven only from outside: a
// websocket client written from the message tables lists the templates, reads
// a template's fields, prints three rows to the fake printer and asks the
// state; then the printer's decoded pages, the print record (through the
// sqlite3 program) and the day's log file are read, and the program, asked
// by the system to end, ends cleanly.

#include "app/singleinstance.h"
#include "support/apiclient.h"
#include "support/fakeprinter.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <memory>

using TestSupport::FakePrinter;

namespace {

const QString LABEL = QStringLiteral("案卷脊背");
const QString CATEGORY = QStringLiteral("科技档案");
const QString CODE_TITLE = QStringLiteral("档号");
const QString TEXT_TITLE = QStringLiteral("题名");
const QStringList CODES{"K-2024-001", "K-2024-002", "K-2024-003"};

using TestSupport::WAIT_MS;

QJsonObject json(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QJsonObject status(int id, int seq, const char *code)
{
    return {{"resquestId", id}, {"seq", seq}, {"code", QLatin1String(code)}};
}

QString request(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool copyInto(const QString &file, const QString &dir)
{
    return QFile::copy(file, dir + QLatin1Char('/') + QFileInfo(file).fileName());
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempProgramDir> m_dir;
    std::unique_ptr<FakePrinter> m_printer;
    QProcess m_program;
    QStringList m_days; // yyyyMMdd of every day the run touched

    // The program's own temporary folder: the single-instance guard's key is
    // made from it, so this run neither waits for nor blocks another one.
    QString privateTemp() const { return m_dir->file(QStringLiteral("/tmp")); }

    // Started in its program folder, laid out as the build leaves it; returns
    // once its API accepts connections.
    void startProgram(quint16 apiPort)
    {
        const QString built = QStringLiteral(KELO_PRINTER);
        const QString translations = m_dir->file(QStringLiteral("/translations"));
        QVERIFY(copyInto(built, m_dir->path()) && copyInto(QStringLiteral(KELO_MANUAL_PDF), m_dir->path()));
        QVERIFY(QDir().mkpath(translations) && QDir().mkpath(privateTemp()));
        const QDir builtTranslations(QFileInfo(built).absolutePath() + QStringLiteral("/translations"));
        for (const QString &name : builtTranslations.entryList(QDir::Files))
            QVERIFY(copyInto(builtTranslations.filePath(name), translations));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), privateTemp());
        m_program.setProcessEnvironment(env);
        m_program.setWorkingDirectory(m_dir->path());
        m_program.start(m_dir->file(QStringLiteral("/kelo-printer")), QStringList());
        QVERIFY2(m_program.waitForStarted(WAIT_MS), qPrintable(m_program.errorString()));
        QDeadlineTimer deadline(WAIT_MS);
        QTcpSocket probe;
        while (!deadline.hasExpired() && m_program.state() == QProcess::Running) {
            probe.connectToHost(QHostAddress::LocalHost, apiPort);
            if (probe.waitForConnected(500))
                return;
            probe.abort();
            m_program.waitForFinished(200);
        }
        QFAIL(qPrintable(QStringLiteral("the API never listened; the program's errors: ")
                         + QString::fromLocal8Bit(m_program.readAllStandardError())));
    }

    void noteToday()
    {
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        if (!m_days.contains(today))
            m_days << today;
    }

private slots:
    void initTestCase() { QVERIFY(TestSupport::loadPinnedFonts()); }

    void init()
    {
        m_dir = std::make_unique<TestSupport::TempProgramDir>();
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp, QStringList{"--sn", "KELO2020260001"});
        QVERIFY(m_printer->isRunning() && m_printer->linkTerminal());
        TemplateModel label = TestSupport::blankLabel(LABEL, CATEGORY);
        label.qrcodeModels << TestSupport::qrField(CODE_TITLE, QStringLiteral("K-0"), 5, 5, 20);
        label.textModels << TestSupport::textField(TEXT_TITLE, QStringLiteral("题名"), 27, 5, 10, 20, 8);
        QVERIFY(JsonUtil::saveTemplate(label, false));
    }

    void cleanup()
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(10000);
            // A killed program leaves its guard behind; taking it under the
            // program's temporary folder and letting it go releases it.
            const QByteArray temp = qgetenv("TMPDIR");
            qputenv("TMPDIR", privateTemp().toLocal8Bit());
            SingleInstance(QLatin1String(SingleInstance::KEY)).acquire();
            if (temp.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", temp);
        }
        m_printer.reset();
        m_dir.reset();
    }

    void printsRowsThroughTheApi()
    {
        noteToday();
        startProgram(JsonUtil::getApiPort());
        TestSupport::ApiClient client(JsonUtil::getApiPort());
        QVERIFY2(client.isConnected(), qPrintable(client.error()));
        QCOMPARE(client.expectTexts(2),
                 QStringList({"welcome to the printer api", R"({"code":"10000","resquestId":1,"seq":1})"}));

        QVERIFY(client.sendText(request({{"requestId", 10}, {"seq", 1}})));
        const QJsonObject list = json(client.expectText());
        QCOMPARE(list.value("code").toString(), QStringLiteral("00000"));
        QCOMPARE(list.value("seq").toInt(), 1);
        const QJsonArray templates = list.value("data").toArray();
        QCOMPARE(templates.size(), 38 + 1); // the built-in ones and ours
        QVERIFY(templates.contains(QJsonObject{{"templateName", LABEL}, {"templateType", CATEGORY}}));

        QVERIFY(client.sendText(request({{"requestId", 11}, {"seq", 2}, {"templateName", LABEL}})));
        QJsonObject fields = status(11, 2, "00000");
        fields.insert("data", QJsonObject{{TEXT_TITLE, ""}});
        QCOMPARE(json(client.expectText()), fields);

        QJsonArray rows;
        for (const QString &code : CODES)
            rows.append(QJsonObject{{CODE_TITLE, code}, {TEXT_TITLE, QStringLiteral("案卷") + code.right(1)}});
        QVERIFY(client.sendText(request({{"requestId", 12}, {"seq", 3}, {"templateName", LABEL}, {"data", rows}})));
        QCOMPARE(json(client.expectText()), status(12, 3, "00000"));
        // Once the job's preview has closed itself after the last page.
        QCOMPARE(json(client.expectText(WAIT_MS)), status(12, 3, "11000"));
        QVERIFY(client.sendText(request({{"requestId", 13}, {"seq", 4}})));
        QCOMPARE(json(client.expectText()), status(13, 4, "11000"));

        // Each page, every dot its frame carries, upright, carries its row's code.
        QStringList printed;
        const QList<FakePrinter::Request> requests = m_printer->requests();
        for (int i = 0; i < requests.size(); ++i) {
            if (requests.at(i).command != 0x11)
                continue;
            const TestSupport::PrintedPage page = TestSupport::decodeRecordedPage(*m_printer, i);
            QVERIFY2(page.valid && page.checksumOk && page.tailOk, qPrintable(page.error));
            const int extent = page.maxPos - page.minPos + 1;
            const QSize size = page.layout == 1 ? QSize(extent, page.across) : QSize(page.across, extent);
            printed << TestSupport::zbarDecode(page.pageImage(page.minPos, size), 20).join(QLatin1Char('|'));
        }
        QCOMPARE(printed, CODES);

        // One record per page, of today, its day key that day's local midnight.
        noteToday();
        QByteArray records;
        const QString query = QStringLiteral(
            "SELECT template_name, template_type, print_date, print_time = CAST(strftime('%s', "
            "substr(print_date, 1, 4) || '-' || substr(print_date, 5, 2) || '-' || substr(print_date, 7, 2), "
            "'utc') AS INTEGER) FROM t_printrecord ORDER BY id");
        QCOMPARE(TestSupport::runProgram("sqlite3", {"-separator", "|", m_dir->file("/printer_record.db"), query},
                                         &records),
                 0);
        const QStringList lines = QString::fromUtf8(records).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), CODES.size());
        for (const QString &line : lines) {
            const QStringList cells = line.split(QLatin1Char('|'));
            QCOMPARE(cells.size(), 4);
            QVERIFY2(m_days.contains(cells.at(2)), qPrintable(line));
            QCOMPARE(cells.mid(0, 2) << cells.at(3), (QStringList{LABEL, CATEGORY, "1"}));
        }

        QVERIFY(client.close());
        QCOMPARE(::kill(pid_t(m_program.processId()), SIGTERM), 0);
        QVERIFY(m_program.waitForFinished(WAIT_MS));
        const QString errors = QString::fromLocal8Bit(m_program.readAllStandardError());
        QVERIFY2(m_program.exitStatus() == QProcess::NormalExit && m_program.exitCode() == 0, qPrintable(errors));
        // Sanitizer reports; the list of suppressions used is none.
        QVERIFY2(!errors.contains(QRegularExpression(QStringLiteral("ERROR: \\w+Sanitizer|runtime error:"))),
                 qPrintable(errors));

        noteToday();
        QString log;
        for (const QString &day : m_days)
            log += QString::fromUtf8(TestSupport::readFile(m_dir->file(QStringLiteral("/log/log%1.txt").arg(day))));
        QCOMPARE(log.count(QStringLiteral("打印任务结束!\r\n")), 1);
        QVERIFY(log.contains(QStringLiteral("WebApiServer init successed: ")));
        QVERIFY(log.contains(QRegularExpression(QStringLiteral(R"(receive msg \{.*"requestId":12,"seq":3,)"))));
        QVERIFY(log.contains(QStringLiteral("signal 15 received: the program ends\r\n")));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
