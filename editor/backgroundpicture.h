#pragma once

// The box face the editor lays a template out on: the template's background
// picture stretched over the label, or, without a usable picture, the plain
// face with a red line at the spine's edge.
//
// Size and spine edits redraw the face many times over one background, so
// the picture is decoded once per background and kept; large pictures are
// kept reduced to a size that still covers any label the screen shows.

#include "model/templatemodel.h"

#include <QImage>
#include <QPixmap>
#include <QString>

class BackgroundPicture
{
public:
    // The longest side a decoded background is kept at.
    static constexpr int MAX_KEPT_SIDE = 4096;

    // The face for the template at dpi, of exactly its size in pixels.
    QPixmap face(const TemplateModel &model, int dpi);
    // Whether the last face was the plain one.
    bool isPlain() const { return plain; }
    // How many times a picture was decoded.
    int decodeCount() const { return decodes; }

    static QPixmap plainFace(int width, int height, int spineX, int lineWidth);

private:
    // The decoded picture of a background text; null when there is none or
    // it cannot be read.
    const QImage &picture(const QString &background);

    QString pictureKey;
    QImage pictureImage;
    bool plain = true;
    int decodes = 0;
};
