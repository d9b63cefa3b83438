#include "support/terminalfixture.h"

#include "app/mainwindow.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "support/testfonts.h"
#include "util/printerutil.h"
#include "util/seams.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QTest>

namespace TestSupport {

TerminalFixture::TerminalFixture()
{
    if (!useOwnWorkingFolder())
        qFatal("no working folder of its own");
    PrinterUtil::reset();
}

TerminalFixture::~TerminalFixture()
{
    window.reset();
    printer.reset();
    Seams::resetAll();
}

bool TerminalFixture::preparePrinting()
{
    return loadPinnedFonts() && useOwnWorkingFolder() && PrintRecord::initTable();
}

MainWindow &TerminalFixture::open()
{
    window = std::make_unique<MainWindow>();
    return *window;
}

MainWindow &TerminalFixture::link(const QStringList &printerArgs)
{
    printer = std::make_unique<FakePrinter>(FakePrinter::Transport::Tcp, printerArgs);
    if (!printer->isRunning() || !printer->linkTerminal())
        qFatal("the fake printer did not start");
    return open();
}

bool TerminalFixture::waitUntilRead(quint32 remainDots)
{
    return printer->waitForRequests(5)
           && QTest::qWaitFor([remainDots] { return PrinterUtil::s_printerSys.remainDots == remainDots; }, WAIT_MS);
}

void TerminalFixture::click(const QString &button) const
{
    widget<QAbstractButton>(button)->click();
}

void TerminalFixture::set(const QVariantMap &values) const
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        QWidget *w = widget(it.key());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            button->setChecked(it.value().toBool());
        else if (auto *spinBox = qobject_cast<QDoubleSpinBox *>(w))
            spinBox->setValue(it.value().toDouble());
        else if (auto *comboBox = qobject_cast<QComboBox *>(w))
            comboBox->setCurrentText(it.value().toString());
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            edit->setText(it.value().toString());
        else
            qFatal("cannot set %s", qPrintable(it.key()));
    }
}

QString TerminalFixture::indicator() const
{
    return widget(QStringLiteral("lb_title_status"))->toolTip();
}

void TerminalFixture::pressIndicator()
{
    printer->clear();
    QTest::mousePress(widget(QStringLiteral("lb_title_status")), Qt::LeftButton);
}

QList<int> TerminalFixture::received()
{
    QList<int> list;
    for (const FakePrinter::Request &r : printer->requests(true))
        list << (r.command == 0xA0 ? 0xA000 + quint8(r.bytes.at(4)) : r.command);
    return list;
}

PrintPreview *TerminalFixture::preview()
{
    return topLevel<PrintPreview>();
}

QStringList TerminalFixture::connectionWarnings() const
{
    QStringList ours;
    for (const QString &warning : log.connectionWarnings()) {
        if (!warning.contains(QLatin1String("systemTrayWindowChanged")))
            ours << warning;
    }
    return ours;
}

} // namespace TestSupport
