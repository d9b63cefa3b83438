#include "app/loading.h"
#include "app/logfile.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "app/terminationsignal.h"
#include "print/printrecord.h"
#include "util/seams.h"
#include "util/settingutil.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationVersion(QStringLiteral("1.0"));
    // The interface is Chinese whatever the system's language: calendars,
    // month and day names included.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    // Before the log handler, so a missing translation shows on standard error.
    QTranslator translator;
    if (translator.load(Seams::programDir() + QStringLiteral("/translations/qt_zh_CN.qm")))
        app.installTranslator(&translator);
    else
        qWarning("translator err");

    LogFile::install();

    SingleInstance guard;
    if (!guard.acquireOrTell())
        return 0;

    SettingUtil::initSettings();
    Loading::showWelcome(SettingUtil::s_welcomeImgPath);
    if (!PrintRecord::initTable())
        qWarning("数据库初始化失败");

    MainWindow window;
    const QRect desktop = QApplication::desktop()->geometry();
    window.move(desktop.x() + (desktop.width() - window.width()) / 2,
                desktop.y() + (desktop.height() - window.height()) / 2);
    window.showMaximized();
    // Asked by the system to end, the program ends as closing its window does.
    TerminationSignal termination;
    QObject::connect(&termination, &TerminationSignal::sigTerminate, &window, &QWidget::close);
    return app.exec();
}
