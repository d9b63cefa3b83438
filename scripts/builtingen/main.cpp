// kelo-builtin-gen: writes the built-in templates and the pictures they name.
//
//   kelo-builtin-gen scripts/builtingen/layout.json resources
//
// Reads the layout table and writes, under the resources folder,
// config/defaultTemplate.json (the 38 templates) and background/<name> (one
// box-face picture per template, PNG or JPEG by the name's suffix). Fields
// and the boxes drawn for them come from the same table, so they always
// agree. The output is committed; run this again after changing the table.

#include "util/safesave.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

struct Settings {
    double dpi = 150;
    QString captionFont;
    QString fieldFont;
    double fieldFontSize = 6;
    double fieldBorder = 0.3;
    double captionSize = 4;
    double spineReference = 20;
    QJsonObject palettes;
};

struct Palette {
    QColor spine, fold, cover, line, caption, field;
};

// One template being built: its page and the strips of the box face.
struct Page {
    double width = 0;
    double height = 0;
    double spine = 0; // width of the spine strip, 0 when there is none
    double fold = 0;
    struct Strip {
        QString kind;
        double x;
        double w;
    };
    QList<Strip> strips;
};

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

QColor color(const QJsonObject &palette, const char *key)
{
    return QColor(palette.value(QLatin1String(key)).toString());
}

class Painter
{
public:
    Painter(const Settings &settings, const Page &page, const Palette &palette)
        : m_settings(settings)
        , m_page(page)
        , m_palette(palette)
        , m_scale(settings.dpi / 25.4)
        , m_image(px(page.width), px(page.height), QImage::Format_RGB32)
    {
        m_image.fill(palette.cover);
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    }

    int px(double mm) const { return int(std::lround(mm * m_scale)); }
    QRectF rect(const QRectF &mm) const
    {
        return QRectF(mm.x() * m_scale, mm.y() * m_scale, mm.width() * m_scale, mm.height() * m_scale);
    }

    void drawStrips()
    {
        for (const Page::Strip &strip : m_page.strips) {
            const QRectF area(strip.x, 0, strip.w, m_page.height);
            const QColor fill = strip.kind == QLatin1String("spine") ? m_palette.spine
                : strip.kind == QLatin1String("fold")                ? m_palette.fold
                                                                      : m_palette.cover;
            m_painter.fillRect(rect(area), fill);
            if (strip.kind == QLatin1String("cover")) {
                // A double rule a little inside the cover's edges.
                QPen pen(m_palette.line, 0.5 * m_scale);
                m_painter.setPen(pen);
                m_painter.setBrush(Qt::NoBrush);
                m_painter.drawRect(rect(area.adjusted(4, 4, -4, -4)));
                pen.setWidthF(0.25 * m_scale);
                m_painter.setPen(pen);
                m_painter.drawRect(rect(area.adjusted(5.2, 5.2, -5.2, -5.2)));
            }
        }
        // Fold lines between strips.
        QPen dashed(m_palette.line, 0.3 * m_scale, Qt::DashLine);
        m_painter.setPen(dashed);
        for (int i = 1; i < m_page.strips.size(); ++i) {
            const double x = m_page.strips.at(i).x * m_scale;
            m_painter.drawLine(QPointF(x, 0), QPointF(x, m_page.height * m_scale));
        }
    }

    // A ruled box whose lines lie just inside the given rectangle, so that a
    // field sitting exactly on the rectangle covers them.
    void drawBox(const QRectF &mm, const QColor &fill)
    {
        const double pen = m_settings.fieldBorder;
        const QRectF inner = mm.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
        m_painter.setPen(QPen(m_palette.line, pen * m_scale));
        m_painter.setBrush(fill);
        m_painter.drawRect(rect(inner));
    }

    void drawText(const QRectF &mm, const QString &text, double sizeMm, bool vertical, bool bold)
    {
        const QRectF area = rect(mm);
        QFont font(m_settings.captionFont);
        font.setBold(bold);
        const double pad = 0.6 * m_scale;
        double size = sizeMm * m_scale;
        m_painter.setPen(m_palette.caption);
        if (!vertical) {
            for (;;) {
                font.setPixelSize(qMax(1, int(size)));
                const QFontMetricsF fm(font);
                if ((fm.horizontalAdvance(text) <= area.width() - 2 * pad && fm.height() <= area.height())
                    || size <= 8)
                    break;
                size *= 0.93;
            }
            m_painter.setFont(font);
            m_painter.drawText(area, Qt::AlignCenter, text);
            return;
        }
        const QString chars = QString(text).remove(QLatin1Char(' '));
        const double step = 1.15;
        while (size > 8 && (size * step * chars.size() > area.height() - 2 * pad || size > area.width() - 2 * pad))
            size *= 0.93;
        font.setPixelSize(qMax(1, int(size)));
        m_painter.setFont(font);
        const double total = size * step * chars.size();
        double y = area.center().y() - total / 2;
        for (const QChar c : chars) {
            m_painter.drawText(QRectF(area.x(), y, area.width(), size * step), Qt::AlignCenter, QString(c));
            y += size * step;
        }
    }

    QImage finish()
    {
        m_painter.end();
        return m_image;
    }

    const Palette &palette() const { return m_palette; }

private:
    const Settings &m_settings;
    const Page &m_page;
    const Palette &m_palette;
    double m_scale;
    QImage m_image;
    QPainter m_painter;
};

// Turns a region rectangle of the table into page millimetres.
QRectF place(const Page &page, const Settings &settings, const QString &region, double x, double y, double w, double h)
{
    if (region == QLatin1String("spine")) {
        const double f = page.spine / settings.spineReference;
        return QRectF(x * f, y, w * f, h);
    }
    if (region == QLatin1String("fold"))
        return QRectF(page.spine + x, y, w, h);
    if (region == QLatin1String("cover"))
        return QRectF(page.spine + page.fold + x, y, w, h);
    return QRectF(x, y, w, h);
}

QString expand(QString text, int n)
{
    return text.replace(QLatin1String("{n}"), QString::number(n));
}

class TemplateBuilder
{
public:
    TemplateBuilder(const Settings &settings, const Page &page, Painter &painter, qint64 idBase, int spineCm)
        : m_settings(settings)
        , m_page(page)
        , m_painter(painter)
        , m_idBase(idBase)
        , m_spineCm(spineCm)
    {
    }

    void addLabel(const QJsonObject &l, double dy, int n)
    {
        const QRectF r = place(m_page, m_settings, l.value(QLatin1String("r")).toString(),
                               l.value(QLatin1String("x")).toDouble(), l.value(QLatin1String("y")).toDouble() + dy,
                               l.value(QLatin1String("w")).toDouble(), l.value(QLatin1String("h")).toDouble());
        if (l.value(QLatin1String("box")).toBool())
            m_painter.drawBox(r, m_painter.palette().cover);
        m_painter.drawText(r, expand(l.value(QLatin1String("text")).toString(), n),
                           l.value(QLatin1String("size")).toDouble(m_settings.captionSize),
                           l.value(QLatin1String("v")).toBool(), l.value(QLatin1String("bold")).toBool());
    }

    void addField(const QJsonObject &f, double dy, int n)
    {
        const QString region = f.value(QLatin1String("r")).toString();
        const double x = f.value(QLatin1String("x")).toDouble();
        const double y = f.value(QLatin1String("y")).toDouble() + dy;
        const double w = f.value(QLatin1String("w")).toDouble();
        const double h = f.value(QLatin1String("h")).toDouble();
        const QRectF r = place(m_page, m_settings, region, x, y, w, h);

        for (const QJsonValue &cv : f.value(QLatin1String("cap")).toArray()) {
            const QJsonObject c = cv.toObject();
            const QString side = c.value(QLatin1String("s")).toString();
            const double size = c.value(QLatin1String("size")).toDouble(m_settings.captionSize);
            const bool vertical = c.value(QLatin1String("v")).toBool();
            QRectF cr;
            bool boxed = false;
            if (side == QLatin1String("top")) {
                const double ch = c.value(QLatin1String("h")).toDouble(5);
                cr = place(m_page, m_settings, region, x, y - ch - 0.8, w, ch);
            } else if (side == QLatin1String("topbox")) {
                const double ch = c.value(QLatin1String("h")).toDouble(7);
                cr = place(m_page, m_settings, region, x, y - ch, w, ch);
                boxed = true;
            } else if (side == QLatin1String("left")) {
                const double cw = c.value(QLatin1String("w")).toDouble(8);
                cr = place(m_page, m_settings, region, x - cw, y, cw, h);
            } else if (side == QLatin1String("leftbox")) {
                const double cw = c.value(QLatin1String("w")).toDouble(25);
                cr = place(m_page, m_settings, region, x - cw, y, cw, h);
                boxed = true;
            } else if (side == QLatin1String("right")) {
                const double cw = c.value(QLatin1String("w")).toDouble(8);
                cr = place(m_page, m_settings, region, x + w, y, cw, h);
            } else {
                qFatal("unknown caption side %s", qPrintable(side));
            }
            if (boxed)
                m_painter.drawBox(cr, m_painter.palette().cover);
            m_painter.drawText(cr, c.value(QLatin1String("text")).toString(), size, vertical, false);
        }
        m_painter.drawBox(r, m_painter.palette().field);

        QString content = QStringLiteral("文本");
        if (m_spineCm == 2 && f.contains(QLatin1String("c2")))
            content = f.value(QLatin1String("c2")).toString();

        QJsonObject o;
        o.insert(QStringLiteral("id"), QString::number(m_idBase + 37 * m_texts.size()));
        o.insert(QStringLiteral("startX"), round2(r.x()));
        o.insert(QStringLiteral("startY"), round2(r.y()));
        o.insert(QStringLiteral("width"), round2(r.width()));
        o.insert(QStringLiteral("height"), round2(r.height()));
        o.insert(QStringLiteral("border"), m_settings.fieldBorder);
        o.insert(QStringLiteral("font"), m_settings.fieldFont);
        o.insert(QStringLiteral("fontSize"), fontSize(f));
        o.insert(QStringLiteral("bold"), false);
        o.insert(QStringLiteral("italic"), false);
        o.insert(QStringLiteral("horizontalAlign"), 0);
        o.insert(QStringLiteral("verticalAlign"), 0);
        o.insert(QStringLiteral("direction"), f.value(QLatin1String("dir")).toInt(0));
        o.insert(QStringLiteral("rotate"), 0);
        o.insert(QStringLiteral("wordSpacing"), 0);
        o.insert(QStringLiteral("rowSpacing"), 0);
        o.insert(QStringLiteral("indentation"), 0);
        o.insert(QStringLiteral("scaleX"), 1);
        o.insert(QStringLiteral("scaleY"), 1);
        o.insert(QStringLiteral("textTitle"), expand(f.value(QLatin1String("t")).toString(), n));
        o.insert(QStringLiteral("textContent"), content);
        o.insert(QStringLiteral("fixed"), false);
        m_texts.append(o);
    }

    void addFields(const QJsonArray &fields)
    {
        for (const QJsonValue &v : fields) {
            const QJsonObject f = v.toObject();
            if (!f.contains(QLatin1String("repeat"))) {
                addField(f, 0, 0);
                continue;
            }
            const int count = f.value(QLatin1String("repeat")).toInt();
            const double dy = f.value(QLatin1String("dy")).toDouble();
            for (const QJsonValue &lv : f.value(QLatin1String("labels")).toArray()) {
                for (int n = 1; n <= count; ++n)
                    addLabel(lv.toObject(), dy * (n - 1), n);
            }
            // One field of every row, then the next column: the list order
            // of the titles.
            for (const QJsonValue &fv : f.value(QLatin1String("fields")).toArray()) {
                for (int n = 1; n <= count; ++n)
                    addField(fv.toObject(), dy * (n - 1), n);
            }
        }
    }

    QJsonArray texts() const { return m_texts; }

private:
    // A field whose font grows with the spine is sized for the 20 mm spine;
    // a wider spine has room for a larger font, up to the usual one.
    double fontSize(const QJsonObject &f) const
    {
        const double size = f.value(QLatin1String("fs")).toDouble(m_settings.fieldFontSize);
        if (!f.value(QLatin1String("fsGrows")).toBool())
            return size;
        return std::min(m_settings.fieldFontSize, round2(size * m_page.spine / m_settings.spineReference));
    }

    const Settings &m_settings;
    const Page &m_page;
    Painter &m_painter;
    qint64 m_idBase;
    int m_spineCm;
    QJsonArray m_texts;
};

// The 256 most frequent colours: the flat fills and lines always among them,
// the rarer antialiasing shades mapped to their nearest.
QVector<QRgb> commonColors(const QImage &image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            ++counts[line[x] | 0xFF000000u];
    }
    QVector<QPair<int, QRgb>> byCount;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        byCount.append(qMakePair(it.value(), it.key()));
    std::sort(byCount.begin(), byCount.end(), [](const QPair<int, QRgb> &a, const QPair<int, QRgb> &b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QVector<QRgb> table;
    for (int i = 0; i < byCount.size() && i < 256; ++i)
        table.append(byCount.at(i).second);
    return table;
}

// Replaces the file only once everything reached the disk. Qt 5.15's
// Written through SafeSave, so a full disk leaves the old file in place.
bool saveFile(const QString &path, const std::function<bool(QIODevice *)> &write)
{
    QSaveFile file(path);
    QString why;
    if (file.open(QIODevice::WriteOnly) && write(&file) && SafeSave::commit(file, &why))
        return true;
    if (file.isOpen())
        file.cancelWriting();
    QTextStream(stderr) << "cannot write " << path << ": " << (why.isEmpty() ? file.errorString() : why) << '\n';
    return false;
}

bool writeImage(const QImage &image, QIODevice *device, const QString &path)
{
    QImageWriter writer(device, path.endsWith(QLatin1String(".png")) ? "png" : "jpeg");
    if (path.endsWith(QLatin1String(".png"))) {
        // Flat colours with antialiased edges: a palette image keeps them
        // exact enough and small.
        const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, commonColors(image),
                                                     Qt::ThresholdDither | Qt::AvoidDither);
        return writer.write(indexed);
    }
    writer.setQuality(88);
    writer.setOptimizedWrite(true);
    writer.setProgressiveScanWrite(true);
    return writer.write(image);
}

bool saveImage(const QImage &image, const QString &path)
{
    return saveFile(path, [&](QIODevice *device) { return writeImage(image, device, path); });
}

// Draws the template's box face into the background folder and appends the
// template; false when the picture cannot be written.
bool buildTemplate(const Settings &settings, const QJsonObject &table, const Page &page, const QString &name,
                   const QString &background, int spineCm, bool full, const QString &outDir, QJsonArray &templates)
{
    const QJsonObject pal = settings.palettes.value(table.value(QLatin1String("palette")).toString()).toObject();
    const Palette palette{color(pal, "spine"), color(pal, "fold"), color(pal, "cover"),
                          color(pal, "line"), color(pal, "caption"), color(pal, "field")};
    Painter painter(settings, page, palette);
    painter.drawStrips();
    TemplateBuilder builder(settings, page, painter,
                            qint64(table.value(QLatin1String("idBase")).toDouble()), spineCm);
    for (const QJsonValue &l : table.value(QLatin1String("labels")).toArray())
        builder.addLabel(l.toObject(), 0, 0);
    builder.addFields(table.value(QLatin1String("fields")).toArray());

    if (!saveImage(painter.finish(), outDir + QStringLiteral("/background/") + background))
        return false;

    QJsonObject t;
    t.insert(QStringLiteral("name"), name);
    t.insert(QStringLiteral("type"), table.value(QLatin1String("type")).toString());
    t.insert(QStringLiteral("background"), background);
    t.insert(QStringLiteral("printWidth"), page.width);
    t.insert(QStringLiteral("printHeight"), page.height);
    t.insert(QStringLiteral("backLength"), full ? table.value(QLatin1String("back")).toDouble() : page.spine);
    t.insert(QStringLiteral("foldLength"), page.fold);
    t.insert(QStringLiteral("full"), full);
    if (full) {
        t.insert(QStringLiteral("offsetX"), 0);
        t.insert(QStringLiteral("offsetY"), 0);
    }
    t.insert(QStringLiteral("createTime"), table.value(QLatin1String("createTime")).toString());
    t.insert(QStringLiteral("modifyTime"), table.value(QLatin1String("modifyTime")).toString());
    t.insert(QStringLiteral("textModels"), builder.texts());
    for (const char *list : {"rectangleModels", "lineModels", "circleModels", "pictureModels", "qrcodeModels",
                             "barcodeModels", "rectBgModels"})
        t.insert(QLatin1String(list), QJsonArray());
    templates.append(t);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: kelo-builtin-gen <layout.json> <resources folder>\n";
        return 2;
    }
    QFile layoutFile(args.at(1));
    if (!layoutFile.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << args.at(1) << '\n';
        return 1;
    }
    QJsonParseError error;
    const QJsonObject layout = QJsonDocument::fromJson(layoutFile.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError) {
        QTextStream(stderr) << "layout: " << error.errorString() << '\n';
        return 1;
    }
    const QString outDir = args.at(2);
    QDir().mkpath(outDir + QStringLiteral("/background"));
    QDir().mkpath(outDir + QStringLiteral("/config"));
    QDir().mkpath(outDir + QStringLiteral("/icon"));

    Settings settings;
    settings.dpi = layout.value(QLatin1String("dpi")).toDouble();
    settings.captionFont = layout.value(QLatin1String("captionFont")).toString();
    settings.fieldFont = layout.value(QLatin1String("fieldFont")).toString();
    settings.fieldFontSize = layout.value(QLatin1String("fieldFontSize")).toDouble();
    settings.fieldBorder = layout.value(QLatin1String("fieldBorder")).toDouble();
    settings.captionSize = layout.value(QLatin1String("captionSize")).toDouble();
    settings.spineReference = layout.value(QLatin1String("spineReference")).toDouble();
    settings.palettes = layout.value(QLatin1String("palettes")).toObject();
    // Asked by name, not looked up in the list: under a Chinese locale the
    // list names the font "文泉驿正黑", and its English name is an alias.
    if (!QFontDatabase().hasFamily(settings.captionFont)) {
        QTextStream(stderr) << "font " << settings.captionFont << " is not installed\n";
        return 1;
    }

    QJsonArray templates;
    for (const QJsonValue &fv : layout.value(QLatin1String("families")).toArray()) {
        const QJsonObject family = fv.toObject();
        for (int cm = 2; cm <= 6; ++cm) {
            Page page;
            page.spine = cm * 10;
            page.fold = family.value(QLatin1String("fold")).toDouble();
            page.width = 240 + (page.spine - 20);
            page.height = family.value(QLatin1String("height")).toDouble();
            page.strips = {{QStringLiteral("spine"), 0, page.spine},
                           {QStringLiteral("fold"), page.spine, page.fold},
                           {QStringLiteral("cover"), page.spine + page.fold, page.width - page.spine - page.fold}};
            const QString name = family.value(QLatin1String("name")).toString().arg(cm);
            const QString background = family.value(QLatin1String("background")).toString().arg(cm);
            if (!buildTemplate(settings, family, page, name, background, cm, false, outDir, templates))
                return 1;
        }
    }
    for (const QJsonValue &sv : layout.value(QLatin1String("singles")).toArray()) {
        const QJsonObject single = sv.toObject();
        Page page;
        page.width = single.value(QLatin1String("width")).toDouble();
        page.height = single.value(QLatin1String("height")).toDouble();
        page.fold = single.value(QLatin1String("fold")).toDouble();
        for (const QJsonValue &s : single.value(QLatin1String("strips")).toArray()) {
            const QJsonObject o = s.toObject();
            page.strips.append({o.value(QLatin1String("kind")).toString(), o.value(QLatin1String("x")).toDouble(),
                                o.value(QLatin1String("w")).toDouble()});
        }
        if (!buildTemplate(settings, single, page, single.value(QLatin1String("name")).toString(),
                           single.value(QLatin1String("background")).toString(), 0, true, outDir, templates))
            return 1;
    }

    const QByteArray json = QByteArray("\xEF\xBB\xBF") + QJsonDocument(templates).toJson(QJsonDocument::Indented);
    const bool written =
        saveFile(outDir + QStringLiteral("/config/defaultTemplate.json"),
                 [&](QIODevice *device) { return device->write(json) == json.size(); });
    if (!written)
        return 1;

    QTextStream(stdout) << templates.size() << " templates written\n";
    return 0;
}
