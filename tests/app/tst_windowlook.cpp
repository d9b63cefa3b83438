// How the windows look and where they open: every control of every style
// sheet looks disabled when it is, texts are drawn whole, and windows open
// and restore where a user expects them.

#include "app/appupdate.h"
#include "app/helpdocdlg.h"
#include "app/mainwindow.h"
#include "editor/templatedialog.h"
#include "editor/templatesave.h"
#include "print/printpreview.h"
#include "support/terminalfixture.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

using WindowMaker = std::function<QWidget *(TerminalFixture &)>;

// Shows w on whatever pages of stacked widgets hold it.
void reveal(QWidget *w)
{
    for (QWidget *page = w; page->parentWidget(); page = page->parentWidget()) {
        if (auto *stack = qobject_cast<QStackedWidget *>(page->parentWidget()))
            stack->setCurrentWidget(page);
    }
}

bool isControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w)
           || qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
           || qobject_cast<const QTextEdit *>(w);
}

// A combo box's or spin box's own line edit goes with its box.
bool partOfAnother(const QWidget *w)
{
    const QWidget *parent = w->parentWidget();
    return parent && (qobject_cast<const QComboBox *>(parent) || qobject_cast<const QAbstractSpinBox *>(parent));
}

} // namespace

Q_DECLARE_METATYPE(WindowMaker)

class TestWindowLook : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TerminalFixture> t;

private slots:
    void init() { t = std::make_unique<TerminalFixture>(); }
    void cleanup() { t.reset(); }

    void disabledControlsLookDisabled_data()
    {
        QTest::addColumn<WindowMaker>("make");
        QTest::newRow("main window") << WindowMaker([](TerminalFixture &f) -> QWidget * { return &f.open(); });
        QTest::newRow("editor") << WindowMaker([](TerminalFixture &) -> QWidget * {
            return new TemplateDialog(QString(), nullptr);
        });
        QTest::newRow("save dialog over the editor") << WindowMaker([](TerminalFixture &) -> QWidget * {
            auto *editor = new TemplateDialog(QString(), nullptr);
            static TemplateModel model;
            new TemplateSave(&model, editor);
            return editor;
        });
        QTest::newRow("firmware update") << WindowMaker([](TerminalFixture &) -> QWidget * { return new AppUpdate; });
        QTest::newRow("help") << WindowMaker([](TerminalFixture &) -> QWidget * { return new HelpDocDlg(0); });
        QTest::newRow("print preview") << WindowMaker([](TerminalFixture &) -> QWidget * {
            return new PrintPreview(QStringLiteral("通用3CM"), {}, nullptr);
        });
    }

    // Each control drawn disabled differs from the same control enabled.
    void disabledControlsLookDisabled()
    {
        QFETCH(WindowMaker, make);
        QWidget *window = make(*t);
        std::unique_ptr<QWidget> owned(window == t->window.get() ? nullptr : window);
        QList<QWidget *> windows{window};
        for (QDialog *dialog : window->findChildren<QDialog *>())
            windows << dialog;
        QStringList alike;
        for (QWidget *top : qAsConst(windows)) {
            top->show();
            QVERIFY(QTest::qWaitForWindowExposed(top));
            const QList<QWidget *> widgets = top->findChildren<QWidget *>();
            for (QWidget *w : widgets) {
                if (!isControl(w) || partOfAnother(w) || w->window() != top)
                    continue;
                reveal(w);
                for (QWidget *up = w; up; up = up->parentWidget())
                    up->setEnabled(true);
                if (!w->isVisible() || w->size().isEmpty())
                    continue;
                const QImage enabled = w->grab().toImage();
                w->setEnabled(false);
                const QImage disabled = w->grab().toImage();
                w->setEnabled(true);
                if (enabled == disabled)
                    alike << top->objectName() + QLatin1Char('/') + w->objectName();
            }
        }
        QCOMPARE(alike, QStringList());
    }
};

QTEST_MAIN(TestWindowLook)
#include "tst_windowlook.moc"
