#include "print/printaddfile.h"
#include "support/testsupport.h"
#include "support/xlsxfixtures.h"
#include "util/seams.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using Data = QMap<QString, QStringList>;

namespace {

struct DialogCall {
    QWidget *parent;
    QString caption;
    QString dir;
    QString filter;
};

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

// A mouse event at a place on the screen, as the window system delivers it.
void sendMouse(QWidget *w, QEvent::Type type, const QPoint &global, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    const QPoint local = w->mapFromGlobal(global);
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestPrintAddFile : public QObject
{
    Q_OBJECT

private:
    TestSupport::WorkbookFixtures m_fixtures;
    QString fixture(const QString &name) const { return m_fixtures.path(name); }

    QList<DialogCall> m_calls;
    QString m_answer;

    static QComboBox *sheets(PrintAddFile &d) { return d.findChild<QComboBox *>(QStringLiteral("combox_sheetName")); }
    static void click(PrintAddFile &d, const char *name)
    {
        QPushButton *button = d.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY(button);
        button->click();
    }

    // Drops URLs on the dialog; whether the drag was accepted as it entered.
    static bool drop(PrintAddFile &d, const QList<QUrl> &urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(d.width() / 2, d.height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&d, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&d, &dropped);
        return enter.isAccepted();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.make());
        qRegisterMetaType<Data>("QMap<QString,QStringList>");
    }

    void init()
    {
        m_calls.clear();
        m_answer.clear();
        Seams::setOpenFileHandler([this](QWidget *parent, const QString &caption, const QString &dir,
                                         const QString &filter) {
            m_calls.append({parent, caption, dir, filter});
            return m_answer;
        });
    }

    void cleanup() { Seams::resetAll(); }

    void formAndWindow()
    {
        PrintAddFile d;
        QCOMPARE(d.objectName(), QStringLiteral("PrintAddFile"));
        QCOMPARE(d.windowTitle(), QStringLiteral("导入"));
        QCOMPARE(d.size(), QSize(634, 529));
        QCOMPARE(d.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
        QVERIFY(d.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(d.acceptDrops());
        QVERIFY(d.styleSheet().contains(QStringLiteral("rgb(24, 144, 255)")));
        auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(d.findChild<QFrame *>("frame_3")->graphicsEffect());
        QVERIFY(shadow);
        QCOMPARE(shadow->blurRadius(), 4.0);
        QCOMPARE(shadow->color(), QColor(150, 150, 150));
        QCOMPARE(shadow->offset(), QPointF(0, 0));

        QCOMPARE(d.findChild<QLabel *>("label")->text(), QStringLiteral("添加材料"));
        QCOMPARE(d.findChild<QLabel *>("label_1")->text(), QStringLiteral("点击\"+\"按钮上传"));
        QCOMPARE(d.findChild<QLabel *>("label_2")->text(), QStringLiteral("支持扩展名: .xlsx（xls格式请先转换为xlsx格式）"));
        QCOMPARE(d.findChild<QLabel *>("label_3")->text(), QStringLiteral("选择sheet页:"));
        QCOMPARE(d.findChild<QPushButton *>("btn_cancel")->text(), QStringLiteral("取消"));
        QCOMPARE(d.findChild<QPushButton *>("btn_confirm")->text(), QStringLiteral("确定"));
        QVERIFY(!d.findChild<QPushButton *>("btn_close")->icon().isNull());
        QVERIFY(!d.findChild<QPushButton *>("btn_addfile")->icon().isNull());
        QCOMPARE(sheets(d)->count(), 0);
    }

    void confirmingWithoutAWorkbook()
    {
        TestSupport::ToastRecorder toasts;
        PrintAddFile d;
        QSignalSpy spy(&d, &PrintAddFile::sigImportExcelFinished);
        d.show();
        click(d, "btn_confirm");
        QCOMPARE(toasts.texts(), QStringList{QStringLiteral("输入的sheet页不存在")});
        QCOMPARE(toasts.toasts().at(0).color, QStringLiteral("#FF0000"));
        QCOMPARE(toasts.toasts().at(0).background, QStringLiteral("#FFFFFF"));
        QCOMPARE(spy.count(), 0);
        QVERIFY(d.isVisible());
    }

    void choosingWorkbooksListsTheirSheets()
    {
        TestSupport::ToastRecorder toasts;
        PrintAddFile d;
        m_answer = fixture("sheets.xlsx");
        click(d, "btn_addfile");
        QCOMPARE(m_calls.size(), 1);
        QCOMPARE(m_calls.at(0).parent, &d);
        QCOMPARE(m_calls.at(0).caption, QStringLiteral("导入文件"));
        QCOMPARE(m_calls.at(0).dir, QDir::homePath());
        QCOMPARE(m_calls.at(0).filter, QStringLiteral("(*.xlsx)"));
        QCOMPARE(items(sheets(d)), (QStringList{"第一页", "空白", "Data 2"}));
        QCOMPARE(sheets(d)->currentIndex(), 0);

        m_answer = fixture("handmade.xlsx");
        click(d, "btn_addfile");
        QCOMPARE(items(sheets(d)), (QStringList{"汇总", "明细", "公式"}));

        // A cancelled dialog forgets the workbook.
        m_answer.clear();
        click(d, "btn_addfile");
        QCOMPARE(sheets(d)->count(), 0);
        QCOMPARE(sheets(d)->currentIndex(), -1);
        click(d, "btn_confirm");
        QCOMPARE(toasts.texts(), QStringList{QStringLiteral("输入的sheet页不存在")});

        // So does a file that is no workbook.
        m_answer = fixture("text.xlsx");
        click(d, "btn_addfile");
        QCOMPARE(sheets(d)->count(), 0);
    }

    void highlightedSheetIsLegible_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::addColumn<int>("entry");
        QTest::newRow("the only sheet, current") << "merged.xlsx" << 0;
        QTest::newRow("the last sheet, under the mouse") << "sheets.xlsx" << 2;
    }

    // The open list's highlighted entry shows its name: text pixels that
    // stand out from the entry's background.
    void highlightedSheetIsLegible()
    {
        QFETCH(QString, workbook);
        QFETCH(int, entry);
        PrintAddFile d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        m_answer = fixture(workbook);
        click(d, "btn_addfile");
        sheets(d)->showPopup();
        QAbstractItemView *list = sheets(d)->view();
        QVERIFY(QTest::qWaitForWindowExposed(list->window()));
        const QRect rect = list->visualRect(list->model()->index(entry, 0));
        QTest::mouseMove(list->viewport(), rect.center());
        QTRY_COMPARE(list->currentIndex().row(), entry);

        const QImage shot = list->viewport()->grab(rect).toImage();
        const int background = qGray(shot.pixel(1, 1));
        int text = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                text += qAbs(qGray(shot.pixel(x, y)) - background) > 96;
        QVERIFY2(text >= 20, qPrintable(QString::number(text)));
        sheets(d)->hidePopup();
    }

    void confirmEmitsOnceThenCloses()
    {
        TestSupport::ToastRecorder toasts;
        PrintAddFile d;
        d.show();
        m_answer = fixture("sheets.xlsx");
        click(d, "btn_addfile");
        sheets(d)->setCurrentIndex(2);

        QList<Data> received;
        QList<bool> visibleWhenEmitted;
        connect(&d, &PrintAddFile::sigImportExcelFinished, this, [&](const Data &data) {
            received.append(data);
            visibleWhenEmitted.append(d.isVisible());
        });
        click(d, "btn_confirm");
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).value("乙"), (QStringList{"二", "四"}));
        QCOMPARE(received.at(0).value("丙"), (QStringList{"三", "五"}));
        QCOMPARE(visibleWhenEmitted, QList<bool>{true});
        QVERIFY(!d.isVisible());
        QVERIFY(toasts.texts().isEmpty());
    }

    void closeAndCancelEmitNothing()
    {
        for (const char *button : {"btn_close", "btn_cancel"}) {
            PrintAddFile d;
            QSignalSpy spy(&d, &PrintAddFile::sigImportExcelFinished);
            d.show();
            m_answer = fixture("sheets.xlsx");
            click(d, "btn_addfile");
            click(d, button);
            QVERIFY2(!d.isVisible(), button);
            QCOMPARE(spy.count(), 0);
        }
    }

    void draggingByTheTopStrip()
    {
        PrintAddFile d;
        d.move(100, 100);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QPoint start = d.pos();
        const QPoint grip = d.mapToGlobal(QPoint(30, 20));

        sendMouse(&d, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&d, QEvent::MouseMove, grip + QPoint(30, 25), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(d.pos(), start + QPoint(30, 25));
        sendMouse(&d, QEvent::MouseMove, grip + QPoint(20, 50), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(d.pos(), start + QPoint(20, 50));
        sendMouse(&d, QEvent::MouseButtonRelease, grip + QPoint(20, 50), Qt::LeftButton, Qt::NoButton);
        const QPoint dropped = d.pos();
        sendMouse(&d, QEvent::MouseMove, grip + QPoint(90, 90), Qt::NoButton, Qt::NoButton);
        QCOMPARE(d.pos(), dropped);

        // A press below the strip, or with another button, moves nothing.
        const QPoint below = d.mapToGlobal(QPoint(30, d.findChild<QFrame *>("top_frame")->height() + 5));
        sendMouse(&d, QEvent::MouseButtonPress, below, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&d, QEvent::MouseMove, below + QPoint(50, 40), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(d.pos(), dropped);
        sendMouse(&d, QEvent::MouseButtonRelease, below + QPoint(50, 40), Qt::LeftButton, Qt::NoButton);
        const QPoint strip = d.mapToGlobal(QPoint(30, 20));
        sendMouse(&d, QEvent::MouseButtonPress, strip, Qt::RightButton, Qt::RightButton);
        sendMouse(&d, QEvent::MouseMove, strip + QPoint(50, 40), Qt::NoButton, Qt::RightButton);
        QCOMPARE(d.pos(), dropped);
    }

    void droppedWorkbookActsLikeAChosenOne()
    {
        TestSupport::LogCapture log;
        PrintAddFile d;
        d.show();

        // Files that are no .xlsx are accepted by the cursor, logged and left alone.
        const QUrl text = QUrl::fromLocalFile(fixture("notes.txt"));
        const QUrl old = QUrl::fromLocalFile(fixture("old.xls"));
        QVERIFY(drop(d, {text, old}));
        QCOMPARE(log.messages(QtDebugMsg).filter(QStringLiteral("Dragged file:")).size(), 2);
        QVERIFY(log.contains(fixture("notes.txt")));
        QCOMPARE(sheets(d)->count(), 0);

        // A dropped workbook is taken like one chosen with the add button;
        // every URL is still logged.
        log.clear();
        QVERIFY(drop(d, {text, QUrl::fromLocalFile(fixture("sheets.xlsx")), QUrl::fromLocalFile(fixture("merged.xlsx"))}));
        QCOMPARE(log.messages(QtDebugMsg).filter(QStringLiteral("Dragged file:")).size(), 3);
        QCOMPARE(items(sheets(d)), (QStringList{"第一页", "空白", "Data 2"}));
        QVERIFY(m_calls.isEmpty());

        QList<Data> received;
        connect(&d, &PrintAddFile::sigImportExcelFinished, this, [&](const Data &data) { received.append(data); });
        click(d, "btn_confirm");
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.at(0).value("甲"), QStringList{"一"});

        // The suffix in capitals counts too; a remote URL does not.
        PrintAddFile again;
        QVERIFY(QFile::copy(fixture("merged.xlsx"), fixture("MERGED.XLSX")));
        QVERIFY(drop(again, {QUrl(QStringLiteral("https://127.0.0.1/a.xlsx"))}));
        QCOMPARE(sheets(again)->count(), 0);
        QVERIFY(drop(again, {QUrl::fromLocalFile(fixture("MERGED.XLSX"))}));
        QCOMPARE(items(sheets(again)), QStringList{"Sheet"});

        // A drag without URLs is refused.
        QMimeData plain;
        plain.setText(QStringLiteral("文本"));
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&again, &enter);
        QVERIFY(!enter.isAccepted());
    }
};

QTEST_MAIN(TestPrintAddFile)
#include "tst_printaddfile.moc"
