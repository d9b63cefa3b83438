#pragma once

#include "model/graphicsmodel.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <algorithm>

// One label template: a header and one list per kind of element. Lengths are
// millimetres; times are local "yyyy-MM-dd hh:mm:ss" texts.
class TemplateModel
{
public:
    QString name;
    QString type;
    QString background; // "", "out:<picture copy>" or a built-in background file name
    float printWidth = 0.0f;
    float printHeight = 0.0f;
    float backLength = 0.0f;
    float foldLength = 0.0f;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    int angle = 0;
    bool full = false;
    bool lockstate = false;
    QString createTime;
    QString modifyTime;
    QList<RectangleModel> rectangleModels;
    QList<LineModel> lineModels;
    QList<CircleModel> circleModels;
    QList<TextModel> textModels;
    QList<PictureModel> pictureModels;
    QList<QrcodeModel> qrcodeModels;
    QList<BarcodeModel> barcodeModels;
    QList<RectangleBgModel> rectBgModels;

    // The box face's stacking value in every scene of the label: below every
    // element, those stored lower than FACE_Z included. Elements stack by
    // their own value, then in the order of their lists.
    static constexpr int FACE_Z = -999;
    qreal faceZ() const
    {
        qreal z = FACE_Z;
        forEachElementList([&z](const auto &list) {
            for (const auto &m : list)
                z = std::min(z, qreal(m.viewZ) - 1);
        });
        return z;
    }

    // Calls f with each element list, in the order the editor stacks kinds.
    template <typename F>
    void forEachElementList(F &&f)
    {
        eachList(*this, f);
    }
    template <typename F>
    void forEachElementList(F &&f) const
    {
        eachList(*this, f);
    }

private:
    template <typename Model, typename F>
    static void eachList(Model &t, F &f)
    {
        f(t.rectangleModels);
        f(t.lineModels);
        f(t.circleModels);
        f(t.textModels);
        f(t.pictureModels);
        f(t.barcodeModels);
        f(t.qrcodeModels);
        f(t.rectBgModels);
    }
};

// Prefix of a background that is a picture copy of the user's own.
inline constexpr const char BACKGROUND_OUT_PREFIX[] = "out:";
