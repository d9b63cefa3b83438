#include "util/textutil.h"

#include "util/seams.h"
#include "util/translucentwindow.h"

#include <QDateTime>
#include <QDebug>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

#include <atomic>
#include <cmath>
#include <limits>

float TextUtil::PRINTER_DPI = 300.0f;
float TextUtil::SCREEN_DPI = 0.0f;

namespace {

constexpr float FALLBACK_SCREEN_DPI = 96.0f;

int roundHalfUpToInt(double x)
{
    const double r = std::floor(x + 0.5);
    if (!(r > double(std::numeric_limits<int>::min())))
        return std::isnan(r) ? 0 : std::numeric_limits<int>::min();
    if (r >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(r);
}

} // namespace

int TextUtil::mm2px(float mm, int dpi)
{
    if (dpi <= 0)
        return 0;
    const double x = double(mm) / 25.4 * dpi;
    return roundHalfUpToInt(x);
}

float TextUtil::px2mm(int px, int dpi)
{
    if (dpi <= 0)
        return 0.0f;
    const double x = double(px) * 25.4 / dpi * 100.0;
    return float(std::floor(x + 0.5) / 100.0);
}

float TextUtil::screenDpi(int widthPx, double widthMm)
{
    const double dpi = widthMm > 0.0 && widthPx > 0 ? double(widthPx) / (widthMm / 25.4) : 0.0;
    if (!std::isfinite(dpi) || dpi < 50.0 || dpi > 600.0) {
        qInfo().noquote() << "screen width" << widthPx << "px over" << widthMm << "mm gives no usable dpi; using"
                          << FALLBACK_SCREEN_DPI;
        return FALLBACK_SCREEN_DPI;
    }
    return float(dpi);
}

float TextUtil::screenDpi()
{
    const Seams::ScreenSize s = Seams::screenSize();
    return screenDpi(s.pixels.width(), s.millimetres.width());
}

int TextUtil::dpiToInt(float dpi)
{
    if (!std::isfinite(dpi) || dpi < 1.0f || dpi > 1.0e6f)
        return int(FALLBACK_SCREEN_DPI);
    return int(dpi);
}

QString TextUtil::generateId()
{
    // Two elements made within one millisecond must still differ, so an id
    // never repeats or goes backwards, even when the clock does.
    static std::atomic<qint64> last{0};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 prev = last.load();
    qint64 next;
    do {
        next = now > prev ? now : prev + 1;
    } while (!last.compare_exchange_weak(prev, next));
    return QString::number(next);
}

float TextUtil::extractFloat(const QString &text, float defaultValue)
{
    static const QRegularExpression re(QStringLiteral("-?\\d+(\\.\\d+)?"));
    const QRegularExpressionMatch m = re.match(text);
    bool ok = false;
    const float value = m.hasMatch() ? m.captured(0).toFloat(&ok) : 0.0f;
    if (!ok)
        return defaultValue;
    // The rounding is done in single precision on purpose: 2.675 becomes 268
    // hundredths because its float product is exactly 267.5.
    const float product = value * 100.0f;
    if (!std::isfinite(product))
        return value;
    const float hundredths = std::floor(product + 0.5f);
    return float(double(hundredths) / 100.0);
}

int TextUtil::extractInteger(const QString &text, int defaultValue)
{
    static const QRegularExpression re(QStringLiteral("-?\\d+"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return defaultValue;
    bool ok = false;
    const int value = m.captured(0).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

void TextUtil::showTip(const QString &text, const QString &color, const QString &background)
{
    if (const Seams::ToastHandler &handler = Seams::toastHandler()) {
        handler(text, color, background);
        return;
    }

    // The fade of each tip showing, by what it shows.
    static QHash<QString, QPointer<QPropertyAnimation>> showing;
    const QString key = color + QLatin1Char(' ') + background + QLatin1Char(' ') + text;
    if (QPropertyAnimation *shown = showing.value(key)) {
        shown->stop();
        shown->start();
        return;
    }

    // A tip window: the window manager neither frames nor stacks it, so it
    // shows above every window of the program, a modal dialog's included,
    // whichever is active, and it takes the focus from none of them.
    auto *tip = new QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    tip->setObjectName(QStringLiteral("notificationToast"));
    TranslucentWindow::apply(tip, QColor(background));
    auto *label = new QLabel(tip);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel{background:%1;color:%2;border:1px solid %2;border-radius:5px;}")
                             .arg(background, color));
    label->setText(text);
    const QSize hint = label->sizeHint();
    label->resize(hint.width() + 160, hint.height() + 60);
    tip->resize(label->size());

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->geometry();
        tip->move(g.x() + (g.width() - tip->width()) / 2, g.y() + (g.height() - tip->height()) / 2);
    }
    tip->show();

    // The fade goes with the toast, also when something closes it first.
    auto *fade = new QPropertyAnimation(tip, "windowOpacity", tip);
    fade->setDuration(3000);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->setEasingCurve(QEasingCurve::InCirc);
    QObject::connect(fade, &QPropertyAnimation::finished, tip, [tip, key]() {
        showing.remove(key);
        tip->deleteLater();
    });
    showing.insert(key, fade);
    fade->start();
}
