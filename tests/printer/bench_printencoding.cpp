// Encoding time of one full 300-dpi page (240 × 310 mm, 2835 × 3661 dots)
// for each print road, beside one plain pass over the same image
// (QImage::convertToFormat to Mono) as the floor. Prints the median of
// several runs in milliseconds. Build without sanitizers for real figures.

#include "printer/printerprotocol.h"
#include "printer/printerprotocol3.h"
#include "support/testsupport.h"
#include "util/pictureutils.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextStream>

#include <functional>

namespace {

constexpr int PAGE_WIDTH = 2835;
constexpr int PAGE_HEIGHT = 3661;
constexpr int RUNS = 5;

// A spine label as the preview renders it: frames, lines, large and small
// text, a barcode and a QR-like block on white.
QImage realisticPage()
{
    QImage page(PAGE_WIDTH, PAGE_HEIGHT, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::white);
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 8));
    p.drawRect(120, 120, PAGE_WIDTH - 240, PAGE_HEIGHT - 240);
    p.drawRect(160, 160, PAGE_WIDTH - 320, PAGE_HEIGHT - 320);
    for (int y = 700; y < PAGE_HEIGHT - 400; y += 420)
        p.drawLine(160, y, PAGE_WIDTH - 160, y);
    QFont big(QStringLiteral("WenQuanYi Micro Hei"));
    big.setPixelSize(260);
    p.setFont(big);
    p.drawText(QRect(200, 250, PAGE_WIDTH - 400, 400), Qt::AlignCenter, QStringLiteral("城建档案 2026"));
    QFont small = big;
    small.setPixelSize(110);
    p.setFont(small);
    for (int i = 0, y = 760; y < PAGE_HEIGHT - 600; ++i, y += 420)
        p.drawText(QRect(240, y, PAGE_WIDTH - 480, 360), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("案卷题名：第%1卷 市政工程竣工资料").arg(i + 1));
    QRandomGenerator random(1);
    for (int x = 400; x < PAGE_WIDTH - 400; x += 12) {
        if (random.bounded(2))
            p.fillRect(x, PAGE_HEIGHT - 560, 6 + int(random.bounded(6)), 260, Qt::black);
    }
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 25; ++x)
            if (random.bounded(2))
                p.fillRect(PAGE_WIDTH - 700 + x * 16, 220 + y * 16, 16, 16, Qt::black);
    return page;
}

// The worst case: a dense photograph-like picture over the whole page.
QImage densePage()
{
    QImage page(PAGE_WIDTH, PAGE_HEIGHT, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(2);
    for (int y = 0; y < PAGE_HEIGHT; ++y) {
        auto *line = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < PAGE_WIDTH; ++x) {
            const int g = int((x * 7 + y * 3) % 256 + random.bounded(64)) % 256;
            line[x] = qRgb(g, g, g);
        }
    }
    return page;
}

double medianMs(const std::function<void()> &work)
{
    return TestSupport::medianMs(work, RUNS);
}

void benchPage(QTextStream &out, const QString &name, const QImage &page)
{
    QByteArray sink;
    const double floor = medianMs([&] { sink = QByteArray::number(page.convertToFormat(QImage::Format_Mono).width()); });
    unsigned int dots = 0;
    int frameSize = 0;
    const double v10 = medianMs([&] { frameSize = PrinterProtocol::packPrintV10(false, page, 0, 0, dots).size(); });
    const unsigned int v10Dots = dots;
    const int v10Size = frameSize;
    const double type23 = medianMs([&] { frameSize = PrinterProtocol::packPrint(false, page, 0, 0, dots).size(); });
    int dotRows = 0;
    const double reduce = medianMs([&] { dotRows = DotMask::fromImage(page, PrinterProtocol::DOTS).height(); });
    const double turn = medianMs([&] { dotRows = DotMask::fromImage(page, PrinterProtocol::DOTS).turned(1).height(); });
    int bandBytes = 0;
    int bandCount = 0;
    const double bands = medianMs([&] {
        // The band road: the page turned a quarter, held column by column.
        const DotMask columns = DotMask::fromImage(page, PictureUtils::matrixRule(150, false)).mirrored(false, true);
        const QList<PrintRowBlock> rows = PictureUtils::splitColumns(columns, 0, false, 150);
        bandCount = rows.size();
        bandBytes = PrinterProtocol3::totalBagPackage(rows.size(), PictureUtils::calcBytes(&rows)).size();
        for (int i = 0; i < rows.size(); ++i)
            bandBytes += PrinterProtocol3::printDataPackage(rows.at(i), i + 1).size();
    });

    out << name << " page " << page.width() << " x " << page.height() << "\n";
    out << QString("  floor  convertToFormat(Mono)      %1 ms\n").arg(floor, 8, 'f', 1);
    // A frame of 0 bytes: the page needs more than 65535 records, which a
    // generation-1 frame cannot count, and was refused.
    const auto frameText = [](int size) {
        return size > 0 ? QString("frame %1 bytes").arg(size) : QString("refused: over 65535 records");
    };
    out << QString("  reduced to dots               %1 ms  (%2x floor)\n")
               .arg(reduce, 8, 'f', 1).arg(reduce / floor, 0, 'f', 2);
    out << QString("  reduced and turned 90°        %1 ms  (%2x floor)  %3 rows\n")
               .arg(turn, 8, 'f', 1).arg(turn / floor, 0, 'f', 2).arg(dotRows);
    out << QString("  type 1 packPrintV10           %1 ms  (%2x floor)  %3 dots, %4\n")
               .arg(v10, 8, 'f', 1).arg(v10 / floor, 0, 'f', 2).arg(v10Dots).arg(frameText(v10Size));
    out << QString("  type 2/3 packPrint            %1 ms  (%2x floor)  %3 dots, %4\n")
               .arg(type23, 8, 'f', 1).arg(type23 / floor, 0, 'f', 2).arg(dots).arg(frameText(frameSize));
    out << QString("  type 4 dots..packages         %1 ms  (%2x floor)  %3 bands, %4 bytes\n")
               .arg(bands, 8, 'f', 1).arg(bands / floor, 0, 'f', 2).arg(bandCount).arg(bandBytes);
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTextStream out(stdout);
    out << "median of " << RUNS << " runs\n";
    benchPage(out, QStringLiteral("realistic label"), realisticPage());
    benchPage(out, QStringLiteral("dense picture"), densePage());
    return 0;
}
