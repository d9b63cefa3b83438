#include "support/testsupport.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSet>
#include <QtTest>

#include <limits>

using namespace TestSupport;

class TestTextUtil : public QObject
{
    Q_OBJECT

    static QWidget *findToast()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("notificationToast"))
                return w;
        }
        return nullptr;
    }

private slots:
    void cleanup() { Seams::resetAll(); }

    void millimetresToPixels_data()
    {
        QTest::addColumn<float>("mm");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("px");
        QTest::newRow("zero") << 0.0f << 300 << 0;
        QTest::newRow("one inch") << 25.4f << 300 << 300;
        QTest::newRow("1 mm rounds up") << 1.0f << 300 << 12;
        QTest::newRow("-1 mm") << -1.0f << 300 << -12;
        QTest::newRow("240 mm") << 240.0f << 300 << 2835;
        QTest::newRow("screen") << 20.0f << 96 << 76;
        QTest::newRow("dpi 0") << 10.0f << 0 << 0;
        QTest::newRow("dpi negative") << 10.0f << -300 << 0;
        QTest::newRow("huge") << 3.0e38f << 300 << std::numeric_limits<int>::max();
        QTest::newRow("huge negative") << -3.0e38f << 300 << std::numeric_limits<int>::min();
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 300 << std::numeric_limits<int>::max();
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 300 << 0;
    }

    void millimetresToPixels()
    {
        QFETCH(float, mm);
        QFETCH(int, dpi);
        QFETCH(int, px);
        QCOMPARE(TextUtil::mm2px(mm, dpi), px);
    }

    void halvesRoundTowardPositiveInfinity()
    {
        // 0.5 mm at 127 dpi is exactly 2.5 px.
        QCOMPARE(TextUtil::mm2px(0.5f, 127), 3);
        QCOMPARE(TextUtil::mm2px(-0.5f, 127), -2);
        QCOMPARE(TextUtil::px2mm(1, 254), 0.1f);
    }

    void pixelsToMillimetres()
    {
        QCOMPARE(TextUtil::px2mm(100, 300), 8.47f);
        QCOMPARE(TextUtil::px2mm(12, 300), 1.02f);
        QCOMPARE(TextUtil::px2mm(0, 96), 0.0f);
        QCOMPARE(TextUtil::px2mm(-12, 300), -1.02f);
        QCOMPARE(TextUtil::px2mm(10, 0), 0.0f);
        QCOMPARE(TextUtil::px2mm(10, -96), 0.0f);
        // a round trip does not come back to where it started
        QCOMPARE(TextUtil::px2mm(TextUtil::mm2px(1.0f, 300), 300), 1.02f);
        QCOMPARE(TextUtil::px2mm(std::numeric_limits<int>::max(), 1), float(std::floor(double(std::numeric_limits<int>::max()) * 2540.0 + 0.5) / 100.0));
    }

    void screenDpiFallsBackTo96()
    {
        QCOMPARE(TextUtil::screenDpi(1920, 508.0), 96.0f);
        QCOMPARE(TextUtil::screenDpi(1920, 0.0), 96.0f);
        QCOMPARE(TextUtil::screenDpi(1920, -1.0), 96.0f);
        QCOMPARE(TextUtil::screenDpi(1920, 10.0), 96.0f);      // 4876 dpi: outside 50..600
        QCOMPARE(TextUtil::screenDpi(100, 2540.0), 96.0f);     // 1 dpi
        QCOMPARE(TextUtil::screenDpi(0, 300.0), 96.0f);
        QCOMPARE(TextUtil::screenDpi(1920, std::numeric_limits<double>::quiet_NaN()), 96.0f);
        QCOMPARE(TextUtil::screenDpi(1366, 344.0), float(1366 / (344.0 / 25.4)));

        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(2560, 1440), QSizeF(677.3, 381.0)}; });
        QCOMPARE(TextUtil::screenDpi(), float(2560 / (677.3 / 25.4)));
        Seams::setScreenHandler([] { return Seams::ScreenSize{QSize(2560, 1440), QSizeF(0, 0)}; });
        QCOMPARE(TextUtil::screenDpi(), 96.0f);
    }

    void dpiToInt()
    {
        QCOMPARE(TextUtil::dpiToInt(95.7f), 95);
        QCOMPARE(TextUtil::dpiToInt(300.0f), 300);
        QCOMPARE(TextUtil::dpiToInt(0.0f), 96);
        QCOMPARE(TextUtil::dpiToInt(-5.0f), 96);
        QCOMPARE(TextUtil::dpiToInt(std::numeric_limits<float>::infinity()), 96);
        QCOMPARE(TextUtil::dpiToInt(std::numeric_limits<float>::quiet_NaN()), 96);
    }

    void idsAreDecimalMillisecondsAndNeverRepeat()
    {
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        QSet<QString> seen;
        qint64 previous = 0;
        for (int i = 0; i < 5000; ++i) {
            const QString id = TextUtil::generateId();
            QVERIFY(!id.startsWith(QLatin1Char('0')) && !id.startsWith(QLatin1Char('-')));
            bool ok = false;
            const qint64 value = id.toLongLong(&ok);
            QVERIFY(ok);
            QCOMPARE(QString::number(value), id);
            QVERIFY(value > previous);
            previous = value;
            seen.insert(id);
        }
        QCOMPARE(seen.size(), 5000);
        QVERIFY(previous >= before);
    }

    void extractFloat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("expected");
        QTest::newRow("rounds") << "12.345" << 12.35f;
        QTest::newRow("single precision half") << "2.675" << 2.68f;
        QTest::newRow("negative half") << "-2.345" << -2.34f;
        QTest::newRow("letters") << "abc" << 9.0f;
        QTest::newRow("unit") << "-3.5mm" << -3.5f;
        QTest::newRow("leading point") << ".5" << 5.0f;
        QTest::newRow("empty") << "" << 9.0f;
        QTest::newRow("exponent") << "1e5" << 1.0f;
        QTest::newRow("inside") << "a-7b" << -7.0f;
        QTest::newRow("size name") << " 小四 4.23" << 4.23f;
        QTest::newRow("first only") << "3 and 4" << 3.0f;
        QTest::newRow("too large") << QString(50, QLatin1Char('9')) << 9.0f;
        QTest::newRow("large but finite") << "300000000000000000000000000000000000000" << 3.0e38f;
    }

    void extractFloat()
    {
        QFETCH(QString, text);
        QFETCH(float, expected);
        QCOMPARE(TextUtil::extractFloat(text, 9.0f), expected);
    }

    void extractInteger()
    {
        QCOMPARE(TextUtil::extractInteger(QStringLiteral("abc 42 7"), 1), 42);
        QCOMPARE(TextUtil::extractInteger(QStringLiteral("x-13"), 1), -13);
        QCOMPARE(TextUtil::extractInteger(QStringLiteral("2.9"), 1), 2);
        QCOMPARE(TextUtil::extractInteger(QStringLiteral("none"), 1), 1);
        QCOMPARE(TextUtil::extractInteger(QStringLiteral("99999999999"), 1), 1);
    }

    void toastsGoToTheRecorder()
    {
        ToastRecorder recorder;
        TextUtil::showError(QStringLiteral("保存失败"));
        TextUtil::showSuccess(QStringLiteral("保存成功"));
        QCOMPARE(recorder.toasts().size(), 2);
        QCOMPARE(recorder.toasts().at(0).text, QStringLiteral("保存失败"));
        QCOMPARE(recorder.toasts().at(0).color, QStringLiteral("#FF0000"));
        QCOMPARE(recorder.toasts().at(0).background, QStringLiteral("#FFFFFF"));
        QCOMPARE(recorder.toasts().at(1).color, QStringLiteral("#02B87E"));
        QVERIFY(!findToast());
    }

    void realToastIsCentredSizedAndFades()
    {
        QElapsedTimer shown;
        shown.start();
        TextUtil::showTip(QStringLiteral("打印完成"), QStringLiteral("#02B87E"), QStringLiteral("#FFFFFF"));
        QWidget *tip = findToast();
        QVERIFY(tip);
        QVERIFY(tip->isVisible());
        QVERIFY(tip->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(tip->testAttribute(Qt::WA_TranslucentBackground));
        auto *label = tip->findChild<QLabel *>();
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("打印完成"));
        QCOMPARE(label->styleSheet(),
                 QStringLiteral("QLabel{background:#FFFFFF;color:#02B87E;border:1px solid #02B87E;border-radius:5px;}"));
        QCOMPARE(label->pos(), QPoint(0, 0));
        QCOMPARE(tip->size(), label->size());
        QCOMPARE(label->width(), label->sizeHint().width() + 160);
        QCOMPARE(label->height(), label->sizeHint().height() + 60);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(tip->x(), screen.x() + (screen.width() - tip->width()) / 2);
        QCOMPARE(tip->y(), screen.y() + (screen.height() - tip->height()) / 2);

        QPointer<QWidget> guard(tip);
        QTRY_VERIFY(guard.isNull());
        QVERIFY(shown.elapsed() >= 3000);
    }

    // The window the user types into stays active while a toast shows.
    void toastTakesNoFocus()
    {
        QLineEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        TextUtil::showError(QStringLiteral("保存失败"));
        QVERIFY(findToast() && findToast()->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), &edit);
        delete findToast();
    }

    void emptyToastIsShownToo()
    {
        TextUtil::showTip(QString(), QStringLiteral("#FF0000"), QStringLiteral("#FFFFFF"));
        QWidget *tip = findToast();
        QVERIFY(tip);
        auto *label = tip->findChild<QLabel *>();
        QCOMPARE(label->width(), label->sizeHint().width() + 160);
        QPointer<QWidget> guard(tip);
        QTRY_VERIFY(guard.isNull());
    }

    // The same tip asked for again while it shows is that window, however
    // often; another text or colour opens its own.
    void aRepeatedTipIsOneWindow()
    {
        const QString text = QStringLiteral("墨盒异常，请先检查墨盒");
        for (int i = 0; i < 300; ++i)
            TextUtil::showError(text);
        TextUtil::showSuccess(text);
        int shown = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            shown += w->objectName() == QLatin1String("notificationToast");
        QCOMPARE(shown, 2);
        QTRY_VERIFY(!findToast());
    }
};

QTEST_MAIN(TestTextUtil)
#include "tst_textutil.moc"
