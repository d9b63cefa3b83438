// kelo-icon-gen: draws every icon, cursor and state picture the windows use.
//
//   kelo-icon-gen resources
//
// Writes each picture under the resources folder at the path its group
// lists. The output is committed; run this again after changing a drawing.
// A path listed twice is refused, so two groups can never overwrite each
// other's picture without notice.

#include "icongen.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSet>
#include <QTextStream>

QImage blankIcon(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage disabledLook(const QImage &picture)
{
    // Light and see-through enough to read as off on the editor's white
    // panels and on its dark title bar alike.
    constexpr int LIGHTEN = 60;
    constexpr int OPACITY = 45;
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            const int light = grey + (255 - grey) * LIGHTEN / 100;
            line[x] = qRgba(light, light, light, qAlpha(line[x]) * OPACITY / 100);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void addDisabledLooks(QList<IconDrawing> &icons, const QStringList &names)
{
    const int count = icons.size();
    for (const QString &name : names) {
        const QString path = QStringLiteral("icon/") + name + QStringLiteral(".png");
        for (int i = 0; i < count; ++i) {
            if (icons.at(i).path != path)
                continue;
            const std::function<QImage()> draw = icons.at(i).draw;
            icons.append({QStringLiteral("icon/") + name + QStringLiteral("_disabled.png"),
                          [draw] { return disabledLook(draw()); }});
        }
    }
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: kelo-icon-gen <resources folder>\n";
        return 2;
    }
    const QDir outDir(args.at(1));

    QList<IconDrawing> all = shellIcons();
    all += editorIcons();

    QSet<QString> seen;
    for (const IconDrawing &drawing : all) {
        if (seen.contains(drawing.path)) {
            QTextStream(stderr) << "listed twice: " << drawing.path << '\n';
            return 1;
        }
        seen.insert(drawing.path);
    }

    for (const IconDrawing &drawing : all) {
        const QString path = outDir.filePath(drawing.path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QImageWriter writer(path);
        // PNG output with no time stamp or gamma chunk, so drawing again gives
        // the same bytes.
        if (!writer.write(drawing.draw())) {
            QTextStream(stderr) << "cannot write " << path << ": " << writer.errorString() << '\n';
            return 1;
        }
    }
    QTextStream(stdout) << all.size() << " pictures written\n";
    return 0;
}
