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
#include "util/settingutil.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolTip>
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

// The pixels of w's picture its text covers: where the picture differs from
// w's picture without the text.
template <typename W>
QRect ink(W *w)
{
    const QImage written = w->grab().toImage();
    const QString text = w->text();
    w->setText(QString());
    const QImage blank = w->grab().toImage();
    w->setText(text);
    QRect covered;
    for (int y = 0; y < written.height(); ++y)
        for (int x = 0; x < written.width(); ++x)
            if (written.pixel(x, y) != blank.pixel(x, y))
                covered |= QRect(x, y, 1, 1);
    return covered;
}

// Whether w shows the whole of text: its ink as wide as the text's in w's
// font (a text cut at an edge covers less).
template <typename W>
bool showsWhole(W *w, const QString &text)
{
    const QRect drawn = ink(w);
    const int width = QFontMetrics(w->font()).tightBoundingRect(text).width();
    return w->text() == text && drawn.width() >= width - 2;
}

// The visible top-level widget of that class, or null.
QWidget *topLevelNamed(const char *className)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->inherits(className) && w->isVisible())
            return w;
    }
    return nullptr;
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

    void textsShowWhole_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("text");
        QTest::newRow("branded title") << "label_title" << "档案盒标签打印终端";
        QTest::newRow("widest port") << "edit_network_port" << "65535";
    }

    // A branded title too long for the column at its own size is written
    // smaller, whole; the widest port shows every digit.
    void textsShowWhole()
    {
        QFETCH(QString, widget);
        QFETCH(QString, text);
        SettingUtil::s_isConfiged = true;
        SettingUtil::s_appTitle = QStringLiteral("档案盒标签打印终端");
        MainWindow &window = t->open();
        SettingUtil::s_isConfiged = false;
        window.show();
        t->click("btn_nav_setting");
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (auto *edit = qobject_cast<QLineEdit *>(t->widget(widget))) {
            edit->setText(text);
            QVERIFY(showsWhole(edit, text));
        } else {
            QVERIFY(showsWhole(t->widget<QLabel>(widget), text));
        }
    }

    // The save dialog's two boxes are as wide as each other.
    void saveDialogBoxesAlike()
    {
        TemplateDialog editor(QString(), nullptr);
        TemplateModel model;
        TemplateSave dialog(&model, &editor);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(child(dialog, "templateTypeBox")->width(), child(dialog, "templateNameEdit")->width());
    }

    // The editor opens maximised; restored, it stands centred on its screen.
    void editorRestoresCentred()
    {
        MainWindow &window = t->open();
        window.show();
        t->click("btn_create_temp");
        auto *editor = topLevel<TemplateDialog>();
        QVERIFY(editor && editor->isMaximized());
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        editor->showNormal();
        const QRect area = editor->screen()->availableGeometry();
        QTRY_VERIFY(!editor->isMaximized() && editor->geometry() != area);
        QVERIFY(area.contains(editor->geometry()));
        const QPoint offCentre = editor->geometry().center() - area.center();
        QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
    }

    // The print range's list opens below its field, rows as high as it.
    void previewListsDropBelowTheirField()
    {
        PrintPreview preview(QStringLiteral("通用3CM"), {}, nullptr);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        auto *range = child<QComboBox>(preview, "combox_page");
        range->showPopup();
        const QWidget *list = range->view()->window();
        QTRY_VERIFY(list->isVisible());
        QVERIFY(list->geometry().top() >= range->mapToGlobal(QPoint(0, range->height())).y() - 1);
        QVERIFY(range->view()->visualRect(range->model()->index(0, 0)).height() >= range->height() - 4);
        range->hidePopup();
    }

    // The main window's tool tips look as the editor's do.
    void toolTipsLookAlike()
    {
        MainWindow &window = t->open();
        window.show();
        TemplateDialog editor(QString(), nullptr);
        editor.show();
        QList<QRgb> backgrounds;
        for (QWidget *w : {t->widget("lb_title_status"), child(editor, "btn_help_bg")}) {
            QToolTip::showText(w->mapToGlobal(QPoint(2, 2)), QStringLiteral("提示"), w);
            QWidget *tip = nullptr;
            QTRY_VERIFY((tip = topLevelNamed("QTipLabel")) != nullptr);
            backgrounds << tip->grab().toImage().pixel(1, 1);
            QToolTip::hideText();
        }
        QCOMPARE(backgrounds.first(), backgrounds.last());
    }

    // However high the window, the ranking ends with a whole row.
    void rankingShowsWholeRows()
    {
        MainWindow &window = t->open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto *ranking = t->widget<QTableView>("tableView_home");
        for (int height : {1080, 1000, 937, 1200}) {
            window.resize(1920, height);
            QTRY_VERIFY(ranking->height() > 0 && ranking->viewport()->height() % ranking->rowHeight(0) == 0);
            // As many as there is room for, under the panel's heading.
            QVERIFY(t->widget("frame_6")->height() - ranking->geometry().bottom() <= ranking->rowHeight(0) + 12);
            QCOMPARE(t->widget("frame_12")->y(), 0);
        }
    }

};

QTEST_MAIN(TestWindowLook)
#include "tst_windowlook.moc"
