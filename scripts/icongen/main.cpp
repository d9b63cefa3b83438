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
