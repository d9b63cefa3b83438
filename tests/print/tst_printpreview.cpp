// The print preview window and the jobs it runs, with the printer's replies
// delivered straight to the slots. Frames are read back by the fake printer's
// decoder. The pause between job steps is shortened through its seam.

#include "items/qwgraphicsview.h"
#include "print/printpreview.h"
#include "print/printrecord.h"
#include "support/fakeprinter.h"
#include "support/labelfixtures.h"
#include "support/printedpage.h"
#include "support/replyfixtures.h"
#include "support/testfonts.h"
#include "support/testsupport.h"
#include "util/jsonutil.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using TestSupport::FakePrinter;
using TestSupport::numberedRows;
using TestSupport::printReply;

namespace {

const int PAUSE_MS = 20;
const QString NAME = QStringLiteral("测试模板");
const HandshakeReceiveModel TYPE_2 = TestSupport::typeTwoHandshake();

using Rows = QList<QMap<QString, QVariant>>;

} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void theWindowShowsTheTemplateAndItsRows();
    void anEmptyRowListIsOnePage();
    void theTestPageButtonIsForAdministrators();
    void pagesTurnWithTheWheelAndTheEntry();
    void theWheelNeverChangesAControl();
    void theRotatedPagePictureFollowsTheAngle();
    void aStartUndoesTheZoom();
    void theTitleBarDragsAndMaximises();
    void customRanges_data();
    void customRanges();
    void thePlacementIsStoredAndRestored();
    void anUnchangedPlacementWritesNothing();
    void storedPlacementsAreShownInWholeMillimetres();
    void storedPlacementsBeyondAnyWholeNumberShowTheLimit();
    void aTemplateThatWasNotFoundIsNeverStored();
    void aBuiltInTemplateGetsAUserCopy();
    void allPagesPrintInOrderAndAreRecorded();
    void aCancelInThePauseSendsNoPage();
    void aPageTurnedAfterACancelIsNotThePagePrinted();
    void aLinkLossEndsTheJobForGood();
    void theTestPage();
    void strayRepliesAreIgnored();
    void apiJobsCloseTheirWindow();
    void anApiStopLeavesTheWindowOpen();
    void everyStartRebuildsTheBackgroundAsChecked();

private:
    std::unique_ptr<PrintPreview> open(const QString &name, const Rows &rows);
    template <typename T>
    T *child(const char *name) const
    {
        return preview->findChild<T *>(QLatin1String(name));
    }
    QStringList log() const;
    void click(const char *button);
    // Runs one page from its frame to its notice.
    QByteArray sendAndFinish(QSignalSpy &prints, int expectedCount, int notifyStatus = 0);

    QTemporaryDir workDir;
    QString previousDir;
    std::unique_ptr<TestSupport::TempProgramDir> programDir;
    std::unique_ptr<TestSupport::ToastRecorder> toasts;
    std::unique_ptr<FakePrinter> decoder;
    std::unique_ptr<PrintPreview> preview;
};

void TestPrintPreview::initTestCase()
{
    registerReplyMetaTypes();
    QVERIFY(TestSupport::loadPinnedFonts());
    // The print record lives in the working directory.
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path()));
    QVERIFY(PrintRecord::initTable());
    decoder.reset(new FakePrinter(FakePrinter::Transport::Tcp));
    QVERIFY(decoder->isRunning());
}

void TestPrintPreview::init()
{
    programDir.reset(new TestSupport::TempProgramDir);
    toasts.reset(new TestSupport::ToastRecorder);
    Seams::setJobPauseMs(PAUSE_MS);
    TextUtil::PRINTER_DPI = 300;
    PrinterUtil::s_protocolType = 0;
    PrinterUtil::s_printerSys.remainKnown = true; // pages are charged
    QVERIFY(JsonUtil::saveTemplate(TestSupport::numberedLabel(NAME), false));
}

void TestPrintPreview::cleanup()
{
    preview.reset();
    toasts.reset();
    programDir.reset();
    Seams::resetAll();
}

std::unique_ptr<PrintPreview> TestPrintPreview::open(const QString &name, const Rows &rows)
{
    return std::unique_ptr<PrintPreview>(new PrintPreview(name, rows, nullptr));
}

QStringList TestPrintPreview::log() const
{
    return child<QTextBrowser>("printerLogEdit")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestPrintPreview::click(const char *button)
{
    QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
}

QByteArray TestPrintPreview::sendAndFinish(QSignalSpy &prints, int expectedCount, int notifyStatus)
{
    if (!prints.wait(TestSupport::WAIT_MS) && prints.count() < expectedCount)
        return QByteArray();
    if (prints.count() != expectedCount)
        return QByteArray();
    const QByteArray frame = prints.last().at(0).toByteArray();
    preview->receivePrint(printReply(0));
    preview->receivePrintNotify(printReply(notifyStatus));
    return frame;
}

void TestPrintPreview::theWindowShowsTheTemplateAndItsRows()
{
    preview = open(NAME, numberedRows(3));
    QCOMPARE(preview->windowTitle(), QStringLiteral("打印预览"));
    QVERIFY(preview->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(child<QLabel>("label_pageCnt")->text(), QStringLiteral("共3页"));
    QCOMPARE(child<QLineEdit>("edit_curPage")->text(), QStringLiteral("1"));
    QCOMPARE(child<QComboBox>("combox_page")->currentText(), QStringLiteral("所有页"));
    QVERIFY(!child<QCheckBox>("box_enbackground")->isChecked());
    QCOMPARE(child<QTextBrowser>("templateInfoEdit")->toPlainText().split(QLatin1Char('\n')),
             QStringList({QStringLiteral("打印模式: 半幅"), QStringLiteral("模板宽度: 40mm"),
                          QStringLiteral("模板高度: 30mm"), QStringLiteral("脊背宽度: 20mm"),
                          QStringLiteral("折盖宽度: 10mm")}));
    QVERIFY(child<QTextBrowser>("templateInfoEdit")->isReadOnly());
    QCOMPARE(child<QPushButton>("btn_print_info")->toolTip(),
             QStringLiteral("翻页：Alt+鼠标滚轮\n缩放：Ctrl+鼠标滚轮"));
    QVERIFY(child<QPushButton>("btn_offset_info")->isHidden());
    // No branding configured: no logo.
    QVERIFY(child<QLabel>("lab_logo")->isHidden());
    // The page is drawn 1:1 at the printer's resolution.
    auto *view = preview->findChild<QWGraphicsView *>();
    QCOMPARE(view->sceneRect(), QRectF(0, 0, TextUtil::mm2px(40, 300), TextUtil::mm2px(30, 300)));
    QCOMPARE(preview->pageScene()->items().size(), 2);
    QVERIFY(!child<QLabel>("lb_graphicsview")->pixmap(Qt::ReturnByValue).isNull());

    TemplateModel full = TestSupport::numberedLabel(QStringLiteral("全幅"));
    full.full = true;
    full.printWidth = 12.5f;
    QVERIFY(JsonUtil::saveTemplate(full, false));
    preview = open(QStringLiteral("全幅"), numberedRows(1));
    QCOMPARE(child<QTextBrowser>("templateInfoEdit")->toPlainText().split(QLatin1Char('\n')),
             QStringList({QStringLiteral("打印模式: 全幅"), QStringLiteral("模板宽度: 12.5mm"),
                          QStringLiteral("模板高度: 30mm")}));
}

void TestPrintPreview::anEmptyRowListIsOnePage()
{
    preview = open(NAME, Rows());
    QCOMPARE(preview->pageCount(), 1);
    QCOMPARE(child<QLabel>("label_pageCnt")->text(), QStringLiteral("共1页"));
    // The page shows the template's own content.
    const QStringList codes = TestSupport::zbarDecode(preview->renderPage(), 20);
    QCOMPARE(codes, QStringList{QStringLiteral("N-0")});
}

void TestPrintPreview::theTestPageButtonIsForAdministrators()
{
    preview = open(NAME, numberedRows(1));
    QVERIFY(child<QPushButton>("btn_write_test_page")->isHidden());
    QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("admin.feature"), QStringLiteral("true")));
    preview = open(NAME, numberedRows(1));
    QVERIFY(!child<QPushButton>("btn_write_test_page")->isHidden());
}

void TestPrintPreview::pagesTurnWithTheWheelAndTheEntry()
{
    preview = open(NAME, numberedRows(3));
    auto *view = preview->findChild<QWGraphicsView *>();
    auto *entry = child<QLineEdit>("edit_curPage");
    const auto shownCode = [this] { return TestSupport::zbarDecode(preview->renderPage(), 20); };

    emit view->wheelModified(-120); // towards the user: the next page
    QCOMPARE(preview->currentPageIndex(), 1);
    QCOMPARE(entry->text(), QStringLiteral("2"));
    QCOMPARE(shownCode(), QStringList{QStringLiteral("N-2")});
    emit view->wheelModified(-120);
    emit view->wheelModified(-120); // stays on the last page
    QCOMPARE(preview->currentPageIndex(), 2);
    emit view->wheelModified(0); // a zoom step turns nothing
    QCOMPARE(preview->currentPageIndex(), 2);
    for (int i = 0; i < 4; ++i)
        emit view->wheelModified(120);
    QCOMPARE(preview->currentPageIndex(), 0);
    QCOMPARE(shownCode(), QStringList{QStringLiteral("N-1")});

    entry->setText(QStringLiteral("3"));
    emit entry->editingFinished();
    QCOMPARE(preview->currentPageIndex(), 2);
    QCOMPARE(shownCode(), QStringList{QStringLiteral("N-3")});
    // The entry does not accept a page outside 1 to 3.
    int position = 0;
    QString zero = QStringLiteral("0");
    QVERIFY(entry->validator()->validate(zero, position) != QValidator::Acceptable);
    QString four = QStringLiteral("4");
    QVERIFY(entry->validator()->validate(four, position) != QValidator::Acceptable);
}

void TestPrintPreview::theWheelNeverChangesAControl()
{
    preview = open(NAME, numberedRows(3));
    auto *spin = child<QSpinBox>("edit_offset_left");
    auto *angle = child<QComboBox>("combox_angle");
    spin->setValue(5);
    for (QWidget *target : {static_cast<QWidget *>(spin), static_cast<QWidget *>(angle)}) {
        QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }
    QCOMPARE(spin->value(), 5);
    QCOMPARE(angle->currentIndex(), 0);
}

void TestPrintPreview::theRotatedPagePictureFollowsTheAngle()
{
    preview = open(NAME, numberedRows(1));
    auto *picture = child<QLabel>("lb_graphicsview");
    // The 40 x 30 mm page lies on its side...
    QPixmap shown = picture->pixmap(Qt::ReturnByValue);
    QVERIFY(shown.width() > shown.height());
    QVERIFY(shown.width() <= picture->width() && shown.height() <= picture->height());
    // ...and stands up when turned a quarter; the offsets do not move it.
    child<QComboBox>("combox_angle")->setCurrentText(QStringLiteral("90°"));
    shown = picture->pixmap(Qt::ReturnByValue);
    QVERIFY(shown.height() > shown.width());
    const QImage turned = shown.toImage();
    child<QSpinBox>("edit_offset_top")->setValue(9);
    QCOMPARE(picture->pixmap(Qt::ReturnByValue).toImage(), turned);
}

void TestPrintPreview::aStartUndoesTheZoom()
{
    preview = open(NAME, numberedRows(1));
    auto *view = preview->findChild<QWGraphicsView *>();
    view->setTransform(QTransform(2.5, 0.1, 0, 0.2, 2.5, 0, 7, 9, 1));
    click("btn_print");
    const QTransform t = view->transform();
    QCOMPARE(t.m11(), 1.0);
    QCOMPARE(t.m22(), 1.0);
    QCOMPARE(t.m12(), 0.1);
    QCOMPARE(t.m21(), 0.2);
}

void TestPrintPreview::theTitleBarDragsAndMaximises()
{
    preview = open(NAME, numberedRows(1));
    preview->setGeometry(100, 100, 900, 600);
    preview->show();
    QVERIFY(QTest::qWaitForWindowExposed(preview.get()));
    auto *title = child<QWidget>("print_top_widget");
    const QPoint before = preview->pos();
    const QPoint grip = title->mapTo(preview.get(), QPoint(200, 10));
    QTest::mousePress(preview.get(), Qt::LeftButton, Qt::NoModifier, grip);
    QMouseEvent move(QEvent::MouseMove, grip + QPoint(30, 20), preview->mapToGlobal(grip + QPoint(30, 20)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview.get(), &move);
    QTest::mouseRelease(preview.get(), Qt::LeftButton, Qt::NoModifier, grip + QPoint(30, 20));
    QCOMPARE(preview->pos(), before + QPoint(30, 20));
    // Below the title bar nothing drags.
    const QPoint body(300, title->height() + 50);
    QTest::mousePress(preview.get(), Qt::LeftButton, Qt::NoModifier, body);
    QMouseEvent away(QEvent::MouseMove, body + QPoint(40, 0), preview->mapToGlobal(body + QPoint(40, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview.get(), &away);
    QTest::mouseRelease(preview.get(), Qt::LeftButton, Qt::NoModifier, body);
    QCOMPARE(preview->pos(), before + QPoint(30, 20));

    click("btn_max");
    QTRY_VERIFY(preview->isMaximized());
    click("btn_max");
    QTRY_VERIFY(!preview->isMaximized());
}

void TestPrintPreview::customRanges_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<QString>("error");

    QTest::newRow("merged and sorted") << QStringLiteral("3,1-2,2") << QList<int>{1, 2, 3} << QString();
    QTest::newRow("single") << QStringLiteral("4") << QList<int>{4} << QString();
    QTest::newRow("range to the end") << QStringLiteral("2-5") << QList<int>{2, 3, 4, 5} << QString();
    QTest::newRow("blanks inside") << QStringLiteral("2 - 3") << QList<int>()
                                   << QStringLiteral("打印范围格式不正确:2 - 3");
    QTest::newRow("trailing comma") << QStringLiteral("1,") << QList<int>() << QStringLiteral("打印范围格式不正确:1,");
    QTest::newRow("empty") << QString() << QList<int>() << QStringLiteral("打印范围格式不正确:");
    QTest::newRow("beyond the pages") << QStringLiteral("6") << QList<int>() << QStringLiteral("打印超出范围:6");
    QTest::newRow("page zero") << QStringLiteral("0-2") << QList<int>() << QStringLiteral("打印超出范围:0-2");
    QTest::newRow("descending") << QStringLiteral("2-1") << QList<int>() << QStringLiteral("打印范围格式不正确:2-1");
    QTest::newRow("descending among others") << QStringLiteral("1,5-3") << QList<int>()
                                             << QStringLiteral("打印范围格式不正确:1,5-3");
}

void TestPrintPreview::customRanges()
{
    QFETCH(QString, range);
    QFETCH(QList<int>, pages);
    QFETCH(QString, error);
    preview = open(NAME, numberedRows(5));
    QSignalSpy handshakes(preview.get(), &PrintPreview::sigHandShake);
    child<QComboBox>("combox_page")->setCurrentText(QStringLiteral("自定义范围"));
    child<QLineEdit>("edit_custom_page")->setText(range);
    click("btn_print");
    if (!error.isEmpty()) {
        QCOMPARE(toasts->texts(), QStringList{error});
        QCOMPARE(toasts->toasts().first().color, QStringLiteral("#FF0000"));
        QCOMPARE(handshakes.count(), 0);
        QVERIFY(!preview->isBusy());
        QVERIFY(child<QWidget>("frame_printpage")->isEnabled());
        return;
    }
    QVERIFY(toasts->texts().isEmpty());
    QCOMPARE(handshakes.count(), 1);
    QCOMPARE(log().last(), QStringLiteral("打印任务开始:自定义范围") + range);
    QCOMPARE(preview->currentPageIndex(), pages.first() - 1);
    QCOMPARE(preview->remainingPages(), pages.mid(1));
    QVERIFY(!child<QWidget>("frame_printpage")->isEnabled());
}

void TestPrintPreview::thePlacementIsStoredAndRestored()
{
    preview = open(NAME, numberedRows(1));
    child<QSpinBox>("edit_offset_left")->setValue(3);
    child<QSpinBox>("edit_offset_bottom")->setValue(2);
    child<QComboBox>("combox_angle")->setCurrentText(QStringLiteral("90°"));
    click("btn_print");
    const TemplateModel stored = JsonUtil::parseTemplate(NAME);
    QCOMPARE(stored.offsetX, -3.0f);
    QCOMPARE(stored.offsetY, -2.0f);
    QCOMPARE(stored.angle, 90);
    QCOMPARE(stored.qrcodeModels.size(), 1);

    preview = open(NAME, numberedRows(1));
    QCOMPARE(child<QSpinBox>("edit_offset_left")->value(), 3);
    QCOMPARE(child<QSpinBox>("edit_offset_right")->value(), 0);
    QCOMPARE(child<QSpinBox>("edit_offset_bottom")->value(), 2);
    QCOMPARE(child<QSpinBox>("edit_offset_top")->value(), 0);
    QCOMPARE(child<QComboBox>("combox_angle")->currentText(), QStringLiteral("90°"));
}

void TestPrintPreview::anUnchangedPlacementWritesNothing()
{
    const QString file = programDir->file(QStringLiteral("/attachment/customTemplate.json"));
    const QByteArray before = TestSupport::readFile(file);
    preview = open(NAME, numberedRows(1));
    click("btn_print");
    QCOMPARE(TestSupport::readFile(file), before);
}

void TestPrintPreview::storedPlacementsAreShownInWholeMillimetres()
{
    TemplateModel t = TestSupport::numberedLabel(NAME);
    t.offsetX = 2.5f;
    t.offsetY = 150.0f;
    t.angle = 45;
    QVERIFY(JsonUtil::saveTemplate(t, false));
    preview = open(NAME, numberedRows(1));
    QCOMPARE(child<QSpinBox>("edit_offset_right")->value(), 2);
    QCOMPARE(child<QSpinBox>("edit_offset_top")->value(), 99);
    QCOMPARE(child<QComboBox>("combox_angle")->currentText(), QStringLiteral("0°"));
    click("btn_print");
    const TemplateModel stored = JsonUtil::parseTemplate(NAME);
    QCOMPARE(stored.offsetX, 2.0f);
    QCOMPARE(stored.offsetY, 99.0f);
    QCOMPARE(stored.angle, 0);
}

void TestPrintPreview::storedPlacementsBeyondAnyWholeNumberShowTheLimit()
{
    // A hand-edited template file may hold any float; past the range of int
    // a cast before the clamp turns such a value into 0.
    TemplateModel t = TestSupport::numberedLabel(NAME);
    t.offsetX = -3.0e9f;
    t.offsetY = 1.0e30f;
    QVERIFY(JsonUtil::saveTemplate(t, false));
    preview = open(NAME, numberedRows(1));
    QCOMPARE(child<QSpinBox>("edit_offset_left")->value(), 99);
    QCOMPARE(child<QSpinBox>("edit_offset_right")->value(), 0);
    QCOMPARE(child<QSpinBox>("edit_offset_top")->value(), 99);
    QCOMPARE(child<QSpinBox>("edit_offset_bottom")->value(), 0);
}

void TestPrintPreview::aTemplateThatWasNotFoundIsNeverStored()
{
    const QString file = programDir->file(QStringLiteral("/attachment/customTemplate.json"));
    const QByteArray before = TestSupport::readFile(file);
    preview = open(QStringLiteral("无此模板"), numberedRows(1));
    QCOMPARE(preview->pageScene()->items().size(), 1); // the page only
    child<QSpinBox>("edit_offset_top")->setValue(4);
    click("btn_print");
    QCOMPARE(preview->currentTemplate().offsetY, 4.0f);
    QCOMPARE(TestSupport::readFile(file), before);
}

void TestPrintPreview::aBuiltInTemplateGetsAUserCopy()
{
    const QString builtIn = JsonUtil::getSysTemplateNames().value(0);
    QVERIFY(!builtIn.isEmpty());
    preview = open(builtIn, numberedRows(1));
    const int elements = preview->pageScene()->items().size();
    child<QSpinBox>("edit_offset_right")->setValue(7);
    click("btn_print");
    bool copied = false;
    for (const TemplateModel &t : JsonUtil::parseTemplateList(false, true))
        copied = copied || t.name == builtIn;
    QVERIFY(copied);
    const TemplateModel stored = JsonUtil::parseTemplate(builtIn);
    QCOMPARE(stored.offsetX, 7.0f);
    preview = open(builtIn, numberedRows(1));
    QCOMPARE(preview->pageScene()->items().size(), elements);
}

void TestPrintPreview::allPagesPrintInOrderAndAreRecorded()
{
    const qint64 recordsBefore = PrintRecord::getTableDataCount();
    preview = open(NAME, numberedRows(3));
    QSignalSpy handshakes(preview.get(), &PrintPreview::sigHandShake);
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    QSignalSpy ink(preview.get(), &PrintPreview::sigConsumInkDots);
    click("btn_print");
    QCOMPARE(handshakes.count(), 1);
    QCOMPARE(log(), QStringList{QStringLiteral("打印任务开始:所有页1-3")});
    QVERIFY(preview->isPrinting());

    preview->receiveHandShake(TYPE_2);
    QCOMPARE(PrinterUtil::s_protocolType, 2);
    QCOMPARE(log().last(), QStringLiteral("打印机检测状态正常, 版本号:V2.1.0"));
    const QSize size(TextUtil::mm2px(40, 300), TextUtil::mm2px(30, 300));
    for (int page = 1; page <= 3; ++page) {
        QVERIFY(prints.wait(TestSupport::WAIT_MS));
        QCOMPARE(prints.count(), page);
        QCOMPARE(preview->currentPageIndex(), page - 1);
        const QByteArray frame = prints.last().at(0).toByteArray();
        // The frame carries this page's row.
        const TestSupport::PrintedPage printed = TestSupport::decodeFrame(*decoder, frame, 2);
        QVERIFY2(printed.valid, qPrintable(printed.error));
        const int x = TextUtil::mm2px(221 - 15, 300);
        QCOMPARE(printed.headerY, 25 + 40 + 10);
        QCOMPARE(TestSupport::zbarDecode(printed.pageImage(x, size), 20),
                 QStringList{QStringLiteral("N-%1").arg(page)});
        preview->receivePrint(printReply(0));
        preview->receivePrintNotify(printReply(0));
        QCOMPARE(ink.count(), page);
        QCOMPARE(ink.last().at(0).toUInt(), uint(printed.dots));
        QCOMPARE(ink.last().at(1).toInt(), page - 1);
    }
    QCOMPARE(handshakes.count(), 1);
    const QStringList expected{QStringLiteral("打印任务开始:所有页1-3"), QStringLiteral("打印机检测状态正常, 版本号:V2.1.0"),
                               QStringLiteral("第1页打印开始..."),     QStringLiteral("第1页打印成功!"),
                               QStringLiteral("第2页打印开始..."),     QStringLiteral("第2页打印成功!"),
                               QStringLiteral("第3页打印开始..."),     QStringLiteral("第3页打印成功!"),
                               QStringLiteral("打印任务结束!")};
    QCOMPARE(log(), expected);
    QVERIFY(!preview->isBusy());
    QVERIFY(child<QWidget>("frame_printpage")->isEnabled());
    QCOMPARE(PrintRecord::getTableDataCount() - recordsBefore, qint64(3));
    QTest::qWait(5 * PAUSE_MS);
    QCOMPARE(prints.count(), 3);
}

void TestPrintPreview::aCancelInThePauseSendsNoPage()
{
    const qint64 recordsBefore = PrintRecord::getTableDataCount();
    Seams::setJobPauseMs(200);
    preview = open(NAME, numberedRows(3));
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    click("btn_print");
    preview->receiveHandShake(TYPE_2);
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    preview->receivePrintNotify(printReply(0)); // page 2 scheduled
    click("btn_cancel");
    QCOMPARE(log().mid(log().size() - 2), QStringList({QStringLiteral("取消打印"), QStringLiteral("打印取消!")}));
    QVERIFY(!preview->isBusy());
    QVERIFY(child<QWidget>("frame_printpage")->isEnabled());
    QTest::qWait(400); // past the pause
    QCOMPARE(prints.count(), 1);
    QCOMPARE(PrintRecord::getTableDataCount() - recordsBefore, qint64(1));

    // A job starts again at once, from the first page.
    QSignalSpy handshakes(preview.get(), &PrintPreview::sigHandShake);
    click("btn_print");
    QCOMPARE(handshakes.count(), 1);
    QCOMPARE(preview->currentPageIndex(), 0);
}

void TestPrintPreview::aPageTurnedAfterACancelIsNotThePagePrinted()
{
    // A cancel unlocks the preview while a page is still scheduled or out;
    // turning to another page then must neither print that page nor put its
    // number on the printer's replies.
    Seams::setJobPauseMs(200);
    preview = open(NAME, numberedRows(3));
    auto *entry = child<QLineEdit>("edit_curPage");
    const QSize size(TextUtil::mm2px(40, 300), TextUtil::mm2px(30, 300));
    const int x = TextUtil::mm2px(221 - 15, 300);
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    click("btn_print");
    preview->receiveHandShake(TYPE_2);
    click("btn_cancel");
    entry->setText(QStringLiteral("3"));
    emit entry->editingFinished();
    QCOMPARE(preview->currentPageIndex(), 2);
    QTest::qWait(400); // past the pause: the page turned to stays, and nothing goes
    QCOMPARE(entry->text(), QStringLiteral("3"));
    QCOMPARE(prints.count(), 0);

    // Turned while the page is out.
    click("btn_print");
    preview->receiveHandShake(TYPE_2);
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    click("btn_cancel");
    emit preview->findChild<QWGraphicsView *>()->wheelModified(-120);
    QCOMPARE(preview->currentPageIndex(), 1);
    preview->receivePrint(printReply(4));
    QCOMPARE(log().last(), QStringLiteral("第1页打印取消, 状态码4"));
    const TestSupport::PrintedPage printed = TestSupport::decodeFrame(*decoder, prints.last().at(0).toByteArray(), 2);
    QVERIFY2(printed.valid, qPrintable(printed.error));
    QCOMPARE(TestSupport::zbarDecode(printed.pageImage(x, size), 20), QStringList{QStringLiteral("N-1")});
    preview->receivePrintNotify(printReply(6));
    QCOMPARE(log().mid(log().size() - 2), QStringList({QStringLiteral("第1页打印失败, 状态码6"), QStringLiteral("打印取消!")}));
    QCOMPARE(prints.count(), 1);
}

void TestPrintPreview::aLinkLossEndsTheJobForGood()
{
    Seams::setJobPauseMs(100);
    preview = open(NAME, numberedRows(3));
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    QSignalSpy stops(preview.get(), &PrintPreview::sigStopPrint);
    // A connection report is not a loss.
    preview->tcpDisconnected(QStringLiteral("127.0.0.1"), 8111);
    click("btn_print");
    preview->receiveHandShake(TYPE_2);
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    preview->receivePrintNotify(printReply(0)); // page 2 scheduled
    preview->tcpDisconnected(QString(), 0);
    QCOMPARE(log().last(), QStringLiteral("与打印机断开连接，请检查"));
    QVERIFY(!preview->isBusy());
    QTest::qWait(400);
    QCOMPARE(prints.count(), 1);
    // Even when the link comes back, this window no longer prints.
    preview->tcpDisconnected(QStringLiteral("127.0.0.1"), 8111);
    click("btn_print");
    click("btn_stop");
    QCOMPARE(toasts->texts(), QStringList({QStringLiteral("未连接到打印机"), QStringLiteral("未连接到打印机")}));
    QCOMPARE(stops.count(), 0);

    // A serial loss does the same.
    preview = open(NAME, numberedRows(1));
    preview->serialDisconnected();
    toasts->clear();
    click("btn_print");
    QCOMPARE(toasts->texts(), QStringList{QStringLiteral("未连接到打印机")});
}

void TestPrintPreview::theTestPage()
{
    QVERIFY(JsonUtil::setCustomConfig(QStringLiteral("admin.feature"), QStringLiteral("true")));
    PrinterUtil::s_protocolType = 1;
    preview = open(NAME, numberedRows(2));
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    QSignalSpy handshakes(preview.get(), &PrintPreview::sigHandShake);
    click("btn_write_test_page");
    QVERIFY(preview->isTestPrinting());
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    QCOMPARE(handshakes.count(), 0);
    const QByteArray frame = prints.first().at(0).toByteArray();
    QCOMPARE(quint8(frame.at(3)), quint8(0x12));
    QCOMPARE(TestSupport::decodeFrame(*decoder, frame, 1).command, 0x12);
    // A print notice is no test-page reply.
    preview->receivePrintNotify(printReply(0));
    QVERIFY(preview->isTestPrinting());
    click("btn_print");
    QCOMPARE(toasts->texts(), QStringList{QStringLiteral("打印正在进行中")});
    preview->receivePrintTest(printReply(0));
    QCOMPARE(log().last(), QStringLiteral("写入测试页任务结束"));
    QVERIFY(!preview->isBusy());
    QVERIFY(child<QWidget>("frame_printpage")->isEnabled());

    // After it, a print job starts normally.
    click("btn_print");
    QCOMPARE(handshakes.count(), 1);
    click("btn_cancel");

    // A refused test page.
    QCOMPARE(preview->isBusy(), false);
    click("btn_write_test_page");
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    preview->receivePrintTest(printReply(5));
    QCOMPARE(log().last(), QStringLiteral("写入测试页任务取消，状态码5"));
    QVERIFY(!preview->isBusy());
}

void TestPrintPreview::strayRepliesAreIgnored()
{
    const qint64 recordsBefore = PrintRecord::getTableDataCount();
    preview = open(NAME, numberedRows(2));
    QSignalSpy ink(preview.get(), &PrintPreview::sigConsumInkDots);
    preview->receivePrintNotify(printReply(0));
    preview->receivePrintTest(printReply(0));
    QVERIFY(log().isEmpty());
    QCOMPARE(ink.count(), 0);
    QCOMPARE(PrintRecord::getTableDataCount(), recordsBefore);

    // A test-page reply in the middle of a job does not unlock the window.
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    click("btn_print");
    preview->receiveHandShake(TYPE_2);
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    preview->receivePrintTest(printReply(0));
    QVERIFY(preview->isPrinting());
    QVERIFY(!child<QWidget>("frame_printpage")->isEnabled());
}

void TestPrintPreview::apiJobsCloseTheirWindow()
{
    preview = open(NAME, numberedRows(2));
    QSignalSpy closed(preview.get(), &PrintPreview::sigWidgetClosed);
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    QSignalSpy handshakes(preview.get(), &PrintPreview::sigHandShake);
    preview->show();
    QString code = QStringLiteral("00000");
    QVERIFY(preview->onApiPrint(code));
    QCOMPARE(code, QStringLiteral("00000"));
    QCOMPARE(handshakes.count(), 1);
    QCOMPARE(log().first(), QStringLiteral("打印任务开始:所有页1-2"));
    QVERIFY(!preview->onApiPrint(code));
    QCOMPARE(code, QStringLiteral("11001"));
    QCOMPARE(toasts->texts(), QStringList{QStringLiteral("打印正在进行中")});

    preview->receiveHandShake(TYPE_2);
    QVERIFY(!sendAndFinish(prints, 1).isEmpty());
    QVERIFY(!sendAndFinish(prints, 2).isEmpty());
    QCOMPARE(log().last(), QStringLiteral("打印任务结束!"));
    QCOMPARE(closed.count(), 0);
    QVERIFY(closed.wait(TestSupport::WAIT_MS));
    QVERIFY(!preview->isVisible());
}

void TestPrintPreview::anApiStopLeavesTheWindowOpen()
{
    preview = open(NAME, numberedRows(3));
    QSignalSpy closed(preview.get(), &PrintPreview::sigWidgetClosed);
    QSignalSpy prints(preview.get(), &PrintPreview::sigPrint);
    QString code;
    QVERIFY(preview->onApiPrint(code));
    preview->receiveHandShake(TYPE_2);
    QVERIFY(prints.wait(TestSupport::WAIT_MS));
    preview->onApiStopPrint();
    QCOMPARE(log().last(), QStringLiteral("远程打印任务终止!"));
    preview->receivePrintNotify(printReply(0));
    QCOMPARE(log().last(), QStringLiteral("打印取消!"));
    QTest::qWait(10 * PAUSE_MS);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(prints.count(), 1);
}

void TestPrintPreview::everyStartRebuildsTheBackgroundAsChecked()
{
    TemplateModel t = TestSupport::numberedLabel(NAME);
    t.background = QStringLiteral("tongyong2CM.png");
    QVERIFY(JsonUtil::saveTemplate(t, false));
    preview = open(NAME, numberedRows(1));
    // Right of the code there is only the background, if anything.
    const auto cornerIsWhite = [this] {
        const QImage page = preview->renderPage();
        for (int y = 0; y < page.height(); ++y)
            for (int x = page.width() * 3 / 4; x < page.width(); ++x)
                if (page.pixel(x, y) != qRgb(255, 255, 255))
                    return false;
        return true;
    };
    QVERIFY(!cornerIsWhite()); // shown with its background
    auto *box = child<QCheckBox>("box_enbackground");

    click("btn_print");
    QVERIFY(cornerIsWhite());
    QCOMPARE(preview->pageScene()->items().size(), 1);
    click("btn_cancel");

    box->setChecked(true);
    click("btn_print");
    QVERIFY(!cornerIsWhite());
    QCOMPARE(preview->pageScene()->items().size(), 2);
    // The rebuilt page still shows the current row.
    QCOMPARE(TestSupport::zbarDecode(preview->renderPage().copy(0, 0, 300, 300), 20),
             QStringList{QStringLiteral("N-1")});
}

QTEST_MAIN(TestPrintPreview)
#include "tst_printpreview.moc"
