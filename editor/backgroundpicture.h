#pragma once

// The box face the editor lays a template out on: the template's background
// picture stretched over the label, or, without a usable picture, the plain
// face with a red line at the spine's edge.
//
// Size and spine edits make the face many times over one background, so the
// picture is decoded once per background and kept; large pictures are kept
// reduced to a size that still covers any label the screen shows. A face
// holds the picture no larger than the label nor than the picture itself:
// what it costs is bounded by the picture, whatever the label's size.

#include "model/templatemodel.h"

#include <QImage>
#include <QSize>
#include <QString>

class BackgroundPicture
{
public:
    // The longest side a decoded background is kept at.
    static constexpr int MAX_KEPT_SIDE = 4096;

    struct Face {
        // The label in pixels.
        QSize size;
        // Drawn stretched over the whole face; null for the plain face.
        QImage picture;
        // The plain face's spine line: where, and how wide.
        int spineX = 0;
        int lineWidth = 0;
    };

    // The face for the template at dpi.
    Face face(const TemplateModel &model, int dpi);
    // Whether the last face was the plain one.
    bool isPlain() const { return plain; }
    // How many times a picture was decoded.
    int decodeCount() const { return decodes; }

private:
    // The decoded picture of a background text; null when there is none or
    // it cannot be read.
    const QImage &picture(const QString &background);

    QString pictureKey;
    QImage pictureImage;
    bool plain = true;
    int decodes = 0;
};
