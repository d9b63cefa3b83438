#include "support/testfonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace TestSupport {

namespace {

struct Pinned {
    bool loaded = false;
    bool ok = false;
    QString zenHei;
    QString microHei;
    QString dejaVu;
};

Pinned &pinned()
{
    static Pinned p;
    return p;
}

QString load(const QString &file, const QString &wanted, bool &ok)
{
    const int id = QFontDatabase::addApplicationFont(file);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.contains(wanted))
        return wanted;
    ok = false;
    qWarning("pinned font %s not loaded from %s", qPrintable(wanted), qPrintable(file));
    return QString();
}

} // namespace

bool loadPinnedFonts()
{
    Pinned &p = pinned();
    if (p.loaded)
        return p.ok;
    p.loaded = true;
    p.ok = true;
    p.zenHei = load(QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"), QStringLiteral("WenQuanYi Zen Hei"), p.ok);
    p.microHei = load(QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"), QStringLiteral("WenQuanYi Micro Hei"), p.ok);
    p.dejaVu = load(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"), QStringLiteral("DejaVu Sans"), p.ok);
    return p.ok;
}

QString zenHeiFamily() { return pinned().zenHei; }
QString microHeiFamily() { return pinned().microHei; }
QString dejaVuFamily() { return pinned().dejaVu; }

QFont pinnedFont(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    // No fallback to another installed font for a missing glyph.
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

} // namespace TestSupport
