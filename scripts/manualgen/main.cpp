// kelo-manual-gen: writes the user manual, an A4 PDF, from its text source.
//
//   kelo-manual-gen manual.md "Tarnwick用户手册.pdf"
//
// The source is Markdown: its first line "# " names the manual, the lines up
// to the first blank line are the cover's subtitle, and every "## " heading
// starts a chapter listed in the contents on the cover. The build runs this,
// so the manual lies beside the program; the PDF is never committed.

#include "util/safesave.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextStream>
#include <QTextTable>

namespace {

const char BODY_FONT[] = "WenQuanYi Micro Hei";
const char CODE_FONT[] = "WenQuanYi Micro Hei Mono";
const QColor ACCENT(18, 60, 128);
const QColor MUTED(125, 125, 125);
const QColor RULE(223, 225, 229);
constexpr int DPI = 300;
// Page geometry in millimetres.
constexpr qreal MARGIN_SIDE = 20;
constexpr qreal MARGIN_TOP = 26;
constexpr qreal MARGIN_BOTTOM = 24;
constexpr qreal HEADER_LINE = 18;
constexpr qreal FOOTER_LINE = 14;

qreal mm(qreal millimetres)
{
    return millimetres / 25.4 * DPI;
}

struct Source {
    QString title;
    QStringList subtitle;
    QString body;
};

bool readSource(const QString &path, Source *source, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (lines.isEmpty() || !lines.first().startsWith(QLatin1String("# "))) {
        *error = path + QStringLiteral(": the first line must be \"# \" and the manual's title");
        return false;
    }
    source->title = lines.takeFirst().mid(2).trimmed();
    while (!lines.isEmpty() && !lines.first().trimmed().isEmpty())
        source->subtitle.append(lines.takeFirst().trimmed());
    source->body = lines.join(QLatin1Char('\n'));
    return true;
}

QTextCharFormat fontFormat(const char *family, qreal points, bool bold, const QColor &color)
{
    QTextCharFormat format;
    format.setFontFamily(QString::fromLatin1(family));
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setForeground(color);
    return format;
}

void mergeInto(const QTextBlock &block, const QTextCharFormat &format)
{
    QTextCursor cursor(block);
    cursor.select(QTextCursor::BlockUnderCursor);
    cursor.mergeCharFormat(format);
}

// Inline code (the only text the Markdown reader gives a font family of its
// own) takes a fixed-pitch face that also has Chinese glyphs.
void styleInlineCode(const QTextBlock &block)
{
    QList<QPair<int, int>> spans;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (!it.fragment().charFormat().fontFamily().isEmpty())
            spans.append({it.fragment().position(), it.fragment().length()});
    }
    QTextCharFormat code;
    code.setFontFamily(QString::fromLatin1(CODE_FONT));
    code.setBackground(QColor(238, 241, 245));
    for (const auto &span : spans) {
        QTextCursor range(block);
        range.setPosition(span.first);
        range.setPosition(span.first + span.second, QTextCursor::KeepAnchor);
        range.mergeCharFormat(code);
    }
}

void styleBlock(const QTextBlock &block)
{
    QTextBlockFormat format = block.blockFormat();
    const int level = format.headingLevel();
    if (level > 0) {
        const qreal points[] = {20, 15, 12, 11, 11, 11};
        mergeInto(block, fontFormat(BODY_FONT, points[qMin(level, 6) - 1], true,
                                    level <= 2 ? ACCENT : QColor(Qt::black)));
        format.setTopMargin(mm(level <= 2 ? 7 : 4));
        format.setBottomMargin(mm(2.5));
    } else if (format.hasProperty(QTextFormat::BlockCodeFence)) {
        mergeInto(block, fontFormat(CODE_FONT, 9, false, QColor(40, 40, 40)));
        format.setBackground(QColor(243, 245, 248));
        format.setLeftMargin(mm(4));
        format.setRightMargin(mm(4));
        format.setLineHeight(125, QTextBlockFormat::ProportionalHeight);
    } else {
        styleInlineCode(block);
        const bool inTable = QTextCursor(block).currentTable() != nullptr;
        format.setLineHeight(inTable ? 125 : 150, QTextBlockFormat::ProportionalHeight);
        if (!inTable)
            format.setBottomMargin(mm(block.textList() ? 0.5 : 1.5));
    }
    QTextCursor(block).setBlockFormat(format);
}

void styleTables(QTextFrame *frame)
{
    const QList<QTextFrame *> children = frame->childFrames();
    for (QTextFrame *child : children) {
        if (auto *table = qobject_cast<QTextTable *>(child)) {
            QTextTableFormat format = table->format();
            format.setBorder(mm(0.25));
            format.setBorderBrush(RULE);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setCellPadding(mm(1.1));
            format.setCellSpacing(0);
            format.setBorderCollapse(true);
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            format.setHeaderRowCount(1);
            table->setFormat(format);
            for (int column = 0; column < table->columns(); ++column) {
                QTextTableCell cell = table->cellAt(0, column);
                QTextCharFormat head = cell.format();
                head.setBackground(QColor(234, 240, 250));
                head.setFontWeight(QFont::Bold);
                cell.setFormat(head);
            }
        }
        styleTables(child);
    }
}

// A chapter and the page (counted from 1, the cover) on which it starts.
struct Chapter {
    QString title;
    int page = 0;
};

class ManualWriter
{
public:
    ManualWriter(const Source &source, QPdfWriter &writer)
        : source(source)
        , writer(writer)
    {
        doc.documentLayout()->setPaintDevice(&writer);
        QFont font(QString::fromLatin1(BODY_FONT));
        font.setPointSizeF(10.5);
        doc.setDefaultFont(font);
        // Compact JSON has no blanks to break at.
        QTextOption option = doc.defaultTextOption();
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        doc.setDefaultTextOption(option);
        doc.setMarkdown(source.body, QTextDocument::MarkdownDialectGitHub);
        dropFenceEnds();
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
            styleBlock(block);
        styleTables(doc.rootFrame());
        pageWidth = writer.width() - 2 * mm(MARGIN_SIDE);
        pageHeight = writer.height() - mm(MARGIN_TOP) - mm(MARGIN_BOTTOM);
        doc.setPageSize(QSizeF(pageWidth, pageHeight));
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            if (block.blockFormat().headingLevel() != 2)
                continue;
            const qreal top = doc.documentLayout()->blockBoundingRect(block).top();
            chapters.append({block.text(), 2 + int(top / pageHeight)});
        }
    }

    bool write()
    {
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        const int pages = 1 + doc.pageCount();
        drawCover(painter, pages);
        for (int page = 0; page < doc.pageCount(); ++page) {
            writer.newPage();
            drawFrame(painter, page + 2, pages);
            painter.save();
            painter.translate(mm(MARGIN_SIDE), mm(MARGIN_TOP) - page * pageHeight);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = QRectF(0, page * pageHeight, pageWidth, pageHeight);
            context.palette.setColor(QPalette::Text, Qt::black);
            painter.setClipRect(context.clip);
            doc.documentLayout()->draw(&painter, context);
            painter.restore();
        }
        return painter.end();
    }

private:
    // The Markdown reader ends every code block with an empty line.
    void dropFenceEnds()
    {
        QTextBlock block = doc.begin();
        while (block.isValid()) {
            const QTextBlock next = block.next();
            if (block.text().isEmpty() && block.blockFormat().hasProperty(QTextFormat::BlockCodeFence)) {
                QTextCursor cursor(block);
                cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            }
            block = next;
        }
    }

    QFont font(qreal points, bool bold = false) const
    {
        QFont f(QString::fromLatin1(BODY_FONT));
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }

    void drawCover(QPainter &painter, int pages)
    {
        const qreal left = mm(MARGIN_SIDE + 8);
        const qreal width = writer.width() - 2 * left;
        painter.fillRect(QRectF(0, 0, writer.width(), mm(9)), ACCENT);
        painter.setPen(ACCENT);
        painter.setFont(font(30, true));
        painter.drawText(QRectF(left, mm(60), width, mm(20)), Qt::AlignLeft | Qt::AlignVCenter, source.title);
        painter.setPen(MUTED);
        painter.setFont(font(13));
        qreal y = mm(84);
        for (const QString &line : source.subtitle) {
            painter.drawText(QRectF(left, y, width, mm(8)), Qt::AlignLeft | Qt::AlignVCenter, line);
            y += mm(8);
        }
        painter.setPen(QPen(RULE, mm(0.4)));
        y += mm(10);
        painter.drawLine(QPointF(left, y), QPointF(left + width, y));

        y += mm(12);
        painter.setPen(Qt::black);
        painter.setFont(font(15, true));
        painter.drawText(QRectF(left, y, width, mm(10)), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("目录"));
        y += mm(14);
        painter.setFont(font(11.5));
        for (const Chapter &chapter : chapters) {
            const QRectF row(left, y, width, mm(9));
            painter.setPen(Qt::black);
            painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, chapter.title);
            painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, QString::number(chapter.page));
            painter.setPen(QPen(RULE, mm(0.2), Qt::DotLine));
            painter.drawLine(QPointF(left, row.bottom()), QPointF(left + width, row.bottom()));
            y += mm(11);
        }
        painter.setPen(MUTED);
        painter.setFont(font(9));
        painter.drawText(QRectF(left, writer.height() - mm(30), width, mm(8)), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("共 %1 页").arg(pages));
    }

    // Header with the manual's and the chapter's name, footer with the page number.
    void drawFrame(QPainter &painter, int page, int pages)
    {
        const qreal left = mm(MARGIN_SIDE);
        const qreal width = pageWidth;
        QString chapter;
        for (const Chapter &c : chapters) {
            if (c.page <= page)
                chapter = c.title;
        }
        painter.setFont(font(8.5));
        painter.setPen(MUTED);
        const QRectF header(left, mm(HEADER_LINE) - mm(6), width, mm(5.5));
        painter.drawText(header, Qt::AlignLeft | Qt::AlignBottom, source.title);
        painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, chapter);
        painter.setPen(QPen(RULE, mm(0.3)));
        painter.drawLine(QPointF(left, mm(HEADER_LINE)), QPointF(left + width, mm(HEADER_LINE)));
        painter.setPen(MUTED);
        painter.drawText(QRectF(left, writer.height() - mm(FOOTER_LINE), width, mm(6)), Qt::AlignCenter,
                         QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages));
    }

    const Source &source;
    QPdfWriter &writer;
    QTextDocument doc;
    qreal pageWidth = 0;
    qreal pageHeight = 0;
    QList<Chapter> chapters;
};

} // namespace

int main(int argc, char **argv)
{
    // Fonts are all it needs of a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: kelo-manual-gen <manual.md> <output.pdf>\n";
        return 2;
    }
    Source source;
    QString error;
    if (!readSource(args.at(1), &source, &error)) {
        QTextStream(stderr) << error << '\n';
        return 1;
    }
    // Through SafeSave, so a failed run never leaves half a manual where the
    // program looks for it.
    QSaveFile file(args.at(2));
    QString why;
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        QPdfWriter writer(&file);
        writer.setResolution(DPI);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(source.title);
        writer.setCreator(QStringLiteral("kelo-manual-gen"));
        written = ManualWriter(source, writer).write();
    }
    if (!written || !SafeSave::commit(file, &why)) {
        file.cancelWriting();
        QTextStream(stderr) << "cannot write " << args.at(2) << ": " << (why.isEmpty() ? file.errorString() : why)
                            << '\n';
        return 1;
    }
    return 0;
}
