#include "print/pageplacement.h"

#include "printer/printerprotocol.h"
#include "printer/printerprotocol3.h"
#include "util/jsonutil.h"
#include "util/pictureutils.h"
#include "util/textutil.h"

#include <QDebug>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

// Default-configuration keys of each type's compensation, types 1 to 4.
const char *const ADJUST_X_KEYS[] = {"deviceI.adjustX", "deviceII.adjustX", "deviceIIIB.adjustX", "deviceIV.adjustX"};
const char *const ADJUST_Y_KEYS[] = {"deviceI.adjustY", "deviceII.adjustY", "deviceIIIB.adjustY", "deviceIV.adjustY"};
constexpr int TYPE_COUNT = 4;

float adjust(const char *const keys[], int type)
{
    if (type < 1 || type > TYPE_COUNT)
        return 0.0f;
    return JsonUtil::getDefaultConfigFloat(QLatin1String(keys[type - 1]));
}

// How far down the box the label's top edge sits, in millimetres: a
// full-width label starts at the compensation, a half-width one past the
// spine's print width and the fold.
float verticalMm(const TemplateModel &model, float adjust, float offset)
{
    return model.full ? adjust + offset : adjust + model.printWidth + model.foldLength + offset;
}

} // namespace

float PagePlacement::adjustX(int type)
{
    return adjust(ADJUST_X_KEYS, type);
}

float PagePlacement::adjustY(int type)
{
    return adjust(ADJUST_Y_KEYS, type);
}

int PagePlacement::nearest(float value)
{
    return int(std::floor(value + 0.5f));
}

QPoint PagePlacement::gen1Position(int type, const TemplateModel &model, float dx, float dy, int dpi)
{
    const float adjX = adjustX(type);
    const float adjY = adjustY(type);
    qDebug().noquote() << "adjustXMM:" << adjX << "adjustYMM:" << adjY;
    int x = 0;
    int y = 0;
    switch (type) {
    case 1:
        x = TextUtil::mm2px(adjX - model.printWidth + dy, dpi);
        y = TextUtil::mm2px(adjY + dx, dpi);
        break;
    case 2:
        x = TextUtil::mm2px(adjX - model.printHeight * 0.5f + dy, dpi);
        y = nearest(verticalMm(model, adjY, dx));
        break;
    case 3:
        x = TextUtil::mm2px(adjX + dy, dpi);
        y = nearest(verticalMm(model, adjY, dx));
        // The same text for half-width labels: it marks the type-3 placement line.
        qDebug().noquote() << "全幅打印" << x << y;
        break;
    default:
        return QPoint();
    }
    qDebug().noquote() << "printSignal" << " offsetX is " << x << "offsetY is " << y;
    return QPoint(x, y);
}

QImage PagePlacement::rotated(const QImage &image, int angle)
{
    const int turn = ((angle % 360) + 360) % 360;
    if (turn == 0 || image.isNull())
        return image;
    const QTransform rotation = QTransform().rotate(turn);
    if (turn % 90 == 0)
        return image.transformed(rotation, Qt::SmoothTransformation);
    // The turned page's corners lie outside the page: white, not transparent
    // (a transparent pixel reads as black to the encoders).
    const QRect bounds = rotation.mapRect(QRectF(image.rect())).toAlignedRect();
    QImage out(bounds.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(-bounds.topLeft());
    painter.setTransform(rotation, true);
    painter.drawImage(0, 0, image);
    return out;
}

PagePlacement::Frame PagePlacement::encodeGen1(int type, const QImage &page, const TemplateModel &model, float dx,
                                               float dy, bool test, int dpi)
{
    Frame frame;
    if (type < 1 || type > 3)
        return frame;
    frame.position = gen1Position(type, model, dx, dy, dpi);
    const QPoint at = frame.position;
    // A quarter turn only moves pixels, so the page's dots are found once
    // and turned. Other angles blend neighbouring pixels: the dots are those
    // of the turned picture.
    const int turn = ((model.angle % 360) + 360) % 360;
    const bool quarter = turn % 90 == 0;
    const QImage image = quarter ? page : rotated(page, model.angle);
    const DotMask::Rule rule = type == 1 ? PrinterProtocol::V10_DOTS : PrinterProtocol::DOTS;
    const DotMask dots = DotMask::fromImage(image, rule).turned(quarter ? turn / 90 : 0);
    if (type == 1)
        frame.bytes = PrinterProtocol::packPrintV10(test, dots, at.x(), at.y(), frame.dots);
    else
        frame.bytes = PrinterProtocol::packPrint(test, dots, at.x(), at.y(), frame.dots);
    return frame;
}

QList<QByteArray> PagePlacement::encodeBands(const QImage &page, const TemplateModel &model, float dx, float dy,
                                             int dpi)
{
    const float xMm = adjustX(4) + dx;
    const int yMm = nearest(verticalMm(model, adjustY(4), dy));
    qDebug().noquote() << "offsetX(mm):" << xMm << ", offsetY(mm):" << yMm;
    int xPx = TextUtil::mm2px(xMm, dpi);
    const int yPx = TextUtil::mm2px(float(yMm), dpi);
    qDebug().noquote() << "offsetX(px):" << xPx << ", offsetY(px):" << yPx;

    // The page is printed turned a quarter clockwise: the turned page's
    // columns are the page's rows, the bottom row first.
    const DotMask columns =
        DotMask::fromImage(page, PictureUtils::matrixRule(BAND_ROWS, false)).mirrored(false, true);
    // What lies left of the printer's first column is not printed.
    const int cut = xPx < 0 ? -xPx : 0;
    xPx = std::max(0, xPx);
    QList<PrintRowBlock> bands = PictureUtils::splitColumns(columns, cut, false, BAND_ROWS);
    if (!bands.isEmpty())
        bands.first().offsetY += yPx;
    if (xPx > 0) {
        for (PrintRowBlock &band : bands) {
            for (RowDataBlock &run : band.blocks) {
                run.start += xPx;
                run.end += xPx;
            }
        }
    }

    const int total = PictureUtils::calcBytes(&bands);
    qInfo().noquote() << QStringLiteral("发送打包。共计:%1个包，%2字节").arg(bands.size()).arg(total);
    QList<QByteArray> frames;
    frames.append(PrinterProtocol3::totalBagPackage(bands.size(), total));
    qInfo().noquote() << QStringLiteral("开始发送数据包");
    for (int i = 1; i <= bands.size(); ++i) {
        const PrintRowBlock &band = bands.at(i - 1);
        qInfo().noquote() << QStringLiteral("正在发送[%1/%2]包，%3数据块。").arg(i).arg(bands.size()).arg(band.blocks.size());
        frames.append(PrinterProtocol3::printDataPackage(band, i));
    }
    return frames;
}
