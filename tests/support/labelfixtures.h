#pragma once

// Label templates for the print tests, built in code: element models placed
// and sized in millimetres with fresh element ids.

#include "model/templatemodel.h"
#include "util/textutil.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

namespace TestSupport {

// An element of the given model type at (x, y), w by h millimetres, with a
// 0.5 mm border and stacking value z.
template <typename Model>
Model placedElement(float x, float y, float w, float h, int z = 0)
{
    Model m;
    m.id = TextUtil::generateId();
    m.startX = x;
    m.startY = y;
    m.width = w;
    m.height = h;
    m.border = 0.5f;
    m.viewZ = z;
    return m;
}

// A 40 x 30 mm half-width label (20 mm spine, 10 mm fold) of the category
// type, without elements.
TemplateModel blankLabel(const QString &name, const QString &type = QStringLiteral("文书档案"));

QrcodeModel qrField(const QString &title, const QString &content, float x, float y, float side, int z = 0);
// Text in the pinned WenQuanYi Zen Hei (loadPinnedFonts() first).
TextModel textField(const QString &title, const QString &content, float x, float y, float w, float h,
                    float fontSize);

// The print jobs' label: blankLabel() with one QR code, 20 mm square at
// (5, 5), titled "编号" and showing "N-0" of its own.
TemplateModel numberedLabel(const QString &name);
// blankLabel() of the category type with 40 text fields: stored, it takes
// more than BULKY_LABEL_MIN_BYTES, where a blank label takes well under 2 KB.
constexpr qint64 BULKY_LABEL_MIN_BYTES = 16 * 1024;
TemplateModel bulkyLabel(const QString &name, const QString &type);

// Its data rows: row i (from 1) fills "编号" with "N-i".
QList<QMap<QString, QVariant>> numberedRows(int count);

} // namespace TestSupport
