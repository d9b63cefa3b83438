// The firmware update dialog wired to a printer link as the main window
// wires it, against the stand-in printer on loopback: what reaches the
// printer is read back from its own record of the requests.

#include "app/appupdate.h"
#include "printer/comanager.h"
#include "support/fakeprinter.h"
#include "support/testsupport.h"
#include "support/widgetlookup.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

constexpr int CMD_MAIN = 0x80;
constexpr int CMD_MOTION = 0x81;
constexpr int CMD_HANDSHAKE = 0x10;

// An image holding the frame's own head and tail bytes here and there.
QByteArray firmwareImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = "\xA9\x20\x3C\x23\x10\x80"[i % 6] ^ char(i / 6);
    return image;
}

} // namespace

class TestAppUpdate : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempProgramDir> m_dir;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<ComManager> m_link;
    std::unique_ptr<AppUpdate> m_dialog;

    QAbstractButton *button(const char *name) { return child<QAbstractButton>(*m_dialog, name); }
    QLineEdit *pathEdit() { return child<QLineEdit>(*m_dialog, "edit_filepath"); }

    // Chooses path through the file dialog, as the user does.
    void choose(const QString &path)
    {
        Seams::setOpenFileHandler([path](QWidget *, const QString &, const QString &, const QString &) {
            return path;
        });
        button("btn_choose")->click();
    }

    QString writeImage(const QByteArray &image)
    {
        const QString path = m_dir->file(QStringLiteral("/firmware.bin"));
        writeFile(path, image);
        return path;
    }

    // Every request the printer saw before a handshake sent now has
    // arrived: what was (not) sent before is then known.
    QList<int> commandsSent()
    {
        const int before = m_printer->requestCount();
        m_link->handshake();
        m_printer->waitForRequests(before + 1);
        QList<int> commands;
        for (const FakePrinter::Request &r : m_printer->requests())
            commands.append(r.command);
        commands.removeLast();
        return commands;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<TempProgramDir>();
        m_printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp);
        QVERIFY(m_printer->isRunning() && m_printer->linkTerminal());
        m_link = std::make_unique<ComManager>();
        QVERIFY(m_link->initSocketTcp());
        LogCapture log;
        m_dialog = std::make_unique<AppUpdate>();
        QCOMPARE(log.connectionWarnings(), QStringList());
        connect(m_dialog.get(), &AppUpdate::sigUpdateHardWare, m_link.get(), &ComManager::sendOriginalMsg);
        connect(m_link.get(), &ComManager::onReceiveUpdateStatus, m_dialog.get(), &AppUpdate::updateAnswered);
        m_dialog->show();
    }

    void cleanup()
    {
        m_dialog.reset();
        m_link.reset();
        m_printer.reset();
        Seams::resetAll();
        m_dir.reset();
    }

    // "请选择" must not read as a chosen path under the dialog's style sheet.
    void placeholderIsGreyed()
    {
        const QPalette palette = pathEdit()->palette();
        QVERIFY(palette.color(QPalette::PlaceholderText) != palette.color(QPalette::Text));
    }

    void sendsTheWholeImageToTheChosenProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("command");
        QTest::newRow("main controller, the default") << QString() << CMD_MAIN;
        QTest::newRow("motion controller") << QStringLiteral("checkBox_motion") << CMD_MOTION;
    }

    void sendsTheWholeImageToTheChosenProgram()
    {
        QFETCH(QString, program);
        QFETCH(int, command);
        LogCapture log;
        const QByteArray image = firmwareImage(70001);
        const QString path = writeImage(image);
        choose(path);
        if (!program.isEmpty())
            button(program.toLatin1())->click();
        QSignalSpy sent(m_dialog.get(), &AppUpdate::sigUpdateHardWare);
        button("btn_update")->click();
        QCOMPARE(sent.count(), 1);
        QVERIFY(m_printer->waitForRequests(1, 20000));

        const FakePrinter::Request request = m_printer->request(0);
        QCOMPARE(request.command, command);
        QVERIFY(request.checksumOk && request.tailOk);
        QCOMPARE(request.length, 11 + image.size());
        QCOMPARE(qFromBigEndian<quint32>(request.bytes.constData() + 4), quint32(image.size()));
        QVERIFY(request.bytes.mid(8, image.size()) == image);
        QVERIFY(log.contains(QStringLiteral("开始升级：") + path));
        // The printer's status reply makes the button usable again.
        QTRY_VERIFY(button("btn_update")->isEnabled());
    }

    void refusedFilesSendNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("size");
        QTest::newRow("empty file") << QStringLiteral("/empty.bin") << qint64(0);
        QTest::newRow("one byte over 32 MiB") << QStringLiteral("/huge.bin") << AppUpdate::MAX_FIRMWARE_BYTES + 1;
        QTest::newRow("missing file") << QStringLiteral("/missing.bin") << qint64(-1);
        QTest::newRow("a folder") << QString() << qint64(-1);
        QTest::newRow("file dialog cancelled") << QStringLiteral("cancelled") << qint64(-1);
    }

    void refusedFilesSendNothing()
    {
        QFETCH(QString, file);
        QFETCH(qint64, size);
        ToastRecorder toasts;
        LogCapture log;
        const QString path = file == QLatin1String("cancelled") ? QString() : m_dir->file(file);
        QFile out(path);
        if (size >= 0)
            QVERIFY(out.open(QIODevice::WriteOnly) && out.resize(size));
        pathEdit()->setText(QStringLiteral("left from before"));
        choose(path);
        QCOMPARE(pathEdit()->text(), path);
        button("btn_update")->click();

        QCOMPARE(toasts.texts(), QStringList{QStringLiteral("升级文件读取失败")});
        QCOMPARE(toasts.toasts().first().color, QStringLiteral("#FF0000"));
        QVERIFY(log.warnings().join('\n').contains(QStringLiteral("升级文件读取失败")));
        QVERIFY(commandsSent().isEmpty());
        QVERIFY(button("btn_update")->isEnabled());
    }

    void readsAnImageOfExactly32MiB()
    {
        QFile out(m_dir->file(QStringLiteral("/image.bin")));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.resize(AppUpdate::MAX_FIRMWARE_BYTES));
        out.close();
        QCOMPARE(AppUpdate::readFirmware(out.fileName()).size(), AppUpdate::MAX_FIRMWARE_BYTES);
    }

    // Until the printer answers, a second press sends nothing.
    void aDoubleClickSendsOnce()
    {
        QVERIFY(m_printer->fault({{"match", CMD_MAIN}, {"noReply", true}}));
        choose(writeImage(firmwareImage(4096)));
        QTest::mouseClick(button("btn_update"), Qt::LeftButton);
        QTest::mouseClick(button("btn_update"), Qt::LeftButton);
        QVERIFY(!button("btn_update")->isEnabled());
        QCOMPARE(commandsSent(), QList<int>{CMD_MAIN});

        QVERIFY(m_printer->reply(CMD_MAIN, 0));
        QTRY_VERIFY(button("btn_update")->isEnabled());
        QTest::mouseClick(button("btn_update"), Qt::LeftButton);
        QCOMPARE(commandsSent(), QList<int>({CMD_MAIN, CMD_HANDSHAKE, CMD_MAIN}));
    }

    void everyWayOfClosingSaysSo_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("close button") << QStringLiteral("btn_close");
        QTest::newRow("cancel button") << QStringLiteral("btn_cancel");
        QTest::newRow("Escape") << QString();
    }

    void everyWayOfClosingSaysSo()
    {
        QFETCH(QString, way);
        QSignalSpy closed(m_dialog.get(), &AppUpdate::sigClosed);
        if (way.isEmpty())
            QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        else
            button(way.toLatin1())->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(m_dialog->isHidden());
    }

    void dragsOnlyByTheTitleStrip()
    {
        const auto drag = [this](QPoint from) {
            const QPoint start = m_dialog->pos();
            const QPoint to = from + QPoint(40, 25);
            QTest::mousePress(m_dialog.get(), Qt::LeftButton, Qt::NoModifier, from);
            QMouseEvent move(QEvent::MouseMove, to, m_dialog->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(m_dialog.get(), &move);
            QTest::mouseRelease(m_dialog.get(), Qt::LeftButton, Qt::NoModifier, to);
            return m_dialog->pos() - start;
        };
        QCOMPARE(drag(QPoint(200, 30)), QPoint(40, 25));
        QCOMPARE(drag(QPoint(200, 120)), QPoint(0, 0));
    }
};

QTEST_MAIN(TestAppUpdate)
#include "tst_appupdate.moc"
