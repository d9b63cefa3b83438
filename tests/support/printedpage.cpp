#include "support/printedpage.h"

#include "support/fakeprinter.h"

#include <QJsonArray>

namespace TestSupport {

bool PrintedPage::dot(int position, int along) const
{
    if (position < minPos || position > maxPos || along < 0 || along >= across)
        return false;
    const QByteArray &row = rows.at(position - minPos);
    const int byte = along >> 3;
    return byte < row.size() && (quint8(row.at(byte)) >> (along & 7)) & 1;
}

QImage PrintedPage::pageImage(int offsetX, const QSize &size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRgb black = qRgb(0, 0, 0);
    for (int position = minPos; position <= maxPos; ++position) {
        for (int along = 0; along < across; ++along) {
            if (!dot(position, along))
                continue;
            const int x = layout == 1 ? position - offsetX : along;
            const int y = layout == 1 ? along : offsetX + size.height() - 1 - position;
            if (image.rect().contains(x, y))
                image.setPixel(x, y, black);
        }
    }
    return image;
}

PrintedPage PrintedPage::fromJson(const QJsonObject &reply)
{
    PrintedPage page;
    page.valid = reply.value(QStringLiteral("ok")).toBool();
    page.error = reply.value(QStringLiteral("error")).toString();
    if (!page.valid)
        return page;
    page.command = reply.value(QStringLiteral("command")).toInt();
    page.layout = reply.value(QStringLiteral("layout")).toInt();
    page.headerY = reply.value(QStringLiteral("headerY")).toInt();
    page.records = reply.value(QStringLiteral("records")).toInt();
    page.dots = reply.value(QStringLiteral("dots")).toInt();
    page.checksumOk = reply.value(QStringLiteral("checksumOk")).toBool();
    page.tailOk = reply.value(QStringLiteral("tailOk")).toBool();
    page.minPos = reply.value(QStringLiteral("minPos")).toInt();
    page.maxPos = reply.value(QStringLiteral("maxPos")).toInt();
    page.across = reply.value(QStringLiteral("across")).toInt();
    const QJsonArray rows = reply.value(QStringLiteral("rows")).toArray();
    page.rows.reserve(rows.size());
    for (const QJsonValue &row : rows)
        page.rows.append(QByteArray::fromHex(row.toString().toLatin1()));
    return page;
}

PrintedPage decodeRecordedPage(FakePrinter &printer, int index)
{
    return PrintedPage::fromJson(
        printer.command({{QStringLiteral("cmd"), QStringLiteral("page")}, {QStringLiteral("index"), index}}));
}

PrintedPage decodeFrame(FakePrinter &printer, const QByteArray &frame, int layout)
{
    return PrintedPage::fromJson(printer.command({{QStringLiteral("cmd"), QStringLiteral("decode")},
                                                  {QStringLiteral("hex"), QString::fromLatin1(frame.toHex())},
                                                  {QStringLiteral("layout"), layout}}));
}

} // namespace TestSupport
