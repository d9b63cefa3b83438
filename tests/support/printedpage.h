#pragma once

// A print frame as the fake printer decodes it (from the frame tables, not
// from our encoders): every record's dots placed at (record position, place
// along the bands), and the page rebuilt from them as the printer lays it.

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QVector>

namespace TestSupport {

class FakePrinter;

struct PrintedPage {
    bool valid = false;
    QString error;
    int command = 0;
    int layout = 0; // 1 column records (type 1), 2 row records (types 2 and 3)
    int headerY = 0; // layout 2: the vertical placement carried in the header
    int records = 0;
    int dots = 0;
    bool checksumOk = false;
    bool tailOk = false;
    int minPos = 0;
    int maxPos = -1;
    int across = 0;
    QVector<QByteArray> rows; // rows[pos - minPos], byte k bit b = dot 8k + b

    bool dot(int position, int along) const;
    // The page image the frame carries, black dots on white. Layout 1: column
    // x = position - offsetX, row y = along. Layout 2: row y = offsetX +
    // pageHeight - 1 - position, column x = along. Dots outside the size are dropped.
    QImage pageImage(int offsetX, const QSize &size) const;

    static PrintedPage fromJson(const QJsonObject &reply);
};

// The fake printer's reading of its recorded request number index.
PrintedPage decodeRecordedPage(FakePrinter &printer, int index);
// Its reading of given frame bytes.
PrintedPage decodeFrame(FakePrinter &printer, const QByteArray &frame, int layout);

} // namespace TestSupport
