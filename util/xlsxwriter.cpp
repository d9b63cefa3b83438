#include "util/xlsxwriter.h"

#include "util/safesave.h"
#include "util/xlsxreader.h"

#include <QSaveFile>
#include <QXmlStreamWriter>
#include <quazip5/quazip.h>
#include <quazip5/quazipfile.h>
#include <quazip5/quazipnewinfo.h>

#include <algorithm>
#include <functional>

namespace {

const QString MAIN_NS = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");

const char CONTENT_TYPES[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "<Override PartName=\"/xl/sharedStrings.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
    "</Types>";

const char ROOT_RELS[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "</Relationships>";

const char WORKBOOK[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
    "</workbook>";

const char WORKBOOK_RELS[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "<Relationship Id=\"rId3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>"
    "</Relationships>";

// The default cell format only.
const char STYLES[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "</styleSheet>";

// Whether XML cannot carry the code unit at i: control characters but tab
// and line feed (carriage returns would be read back as line feeds),
// U+FFFE, U+FFFF and a surrogate that is not half of a pair.
bool needsEscape(const QString &text, int i)
{
    const QChar ch = text.at(i);
    const ushort c = ch.unicode();
    if (ch.isHighSurrogate())
        return i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate();
    if (ch.isLowSurrogate())
        return i == 0 || !text.at(i - 1).isHighSurrogate();
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF;
}

// Adds one entry to the open zip.
bool addPart(QuaZip *zip, const QString &name, const std::function<bool(QIODevice *)> &write)
{
    QuaZipFile file(zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)))
        return false;
    const bool written = write(&file);
    file.close();
    return written && file.getZipError() == 0;
}

bool addText(QuaZip *zip, const QString &name, const char *text)
{
    return addPart(zip, name, [text](QIODevice *device) {
        const qint64 size = qint64(qstrlen(text));
        return device->write(text, size) == size;
    });
}

} // namespace

XlsxWriter::XlsxWriter(const QString &path)
    : m_path(path)
{
}

bool XlsxWriter::writeString(int row, int column, const QString &text)
{
    if (row < 0 || row >= MAX_ROWS || column < 0 || column >= MAX_COLUMNS) {
        m_error = QStringLiteral("row %1, column %2: outside the sheet").arg(row + 1).arg(column + 1);
        return false;
    }
    if (text.size() > MAX_CELL_TEXT) {
        m_error = QStringLiteral("row %1, column %2: %3 characters, more than a cell can hold (%4)")
                      .arg(row + 1)
                      .arg(column + 1)
                      .arg(text.size())
                      .arg(MAX_CELL_TEXT);
        return false;
    }
    if (text.isEmpty())
        return true;
    auto it = m_stringIndex.constFind(text);
    if (it == m_stringIndex.constEnd()) {
        it = m_stringIndex.insert(text, m_strings.size());
        m_strings.append(text);
    }
    m_cells.append({row, column, it.value()});
    return true;
}

QString XlsxWriter::escapeText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (needsEscape(text, i))
            out += QString::asprintf("_x%04X_", unsigned(ch.unicode()));
        else if (ch == QLatin1Char('_') && XlsxReader::isEscapeAt(text, i))
            out += QLatin1String("_x005F_");
        else
            out += ch;
    }
    return out;
}

QString XlsxWriter::cellReference(int row, int column)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar('A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}

bool XlsxWriter::writeSheet(QIODevice *device)
{
    // Later writes to one cell replace earlier ones.
    std::stable_sort(m_cells.begin(), m_cells.end(), [](const Cell &a, const Cell &b) {
        return a.row < b.row || (a.row == b.row && a.column < b.column);
    });
    QXmlStreamWriter xml(device);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeDefaultNamespace(MAIN_NS);
    xml.writeStartElement(MAIN_NS, QStringLiteral("worksheet"));
    if (!m_cells.isEmpty()) {
        int lastColumn = 0;
        for (const Cell &c : qAsConst(m_cells))
            lastColumn = qMax(lastColumn, c.column);
        int firstColumn = lastColumn;
        for (const Cell &c : qAsConst(m_cells))
            firstColumn = qMin(firstColumn, c.column);
        xml.writeEmptyElement(MAIN_NS, QStringLiteral("dimension"));
        xml.writeAttribute(QStringLiteral("ref"), cellReference(m_cells.constFirst().row, firstColumn)
                                                      + QLatin1Char(':')
                                                      + cellReference(m_cells.constLast().row, lastColumn));
    }
    xml.writeStartElement(MAIN_NS, QStringLiteral("sheetData"));
    int openRow = -1;
    for (int i = 0; i < m_cells.size(); ++i) {
        const Cell &c = m_cells.at(i);
        if (i + 1 < m_cells.size() && m_cells.at(i + 1).row == c.row && m_cells.at(i + 1).column == c.column)
            continue;
        if (c.row != openRow) {
            if (openRow >= 0)
                xml.writeEndElement();
            xml.writeStartElement(MAIN_NS, QStringLiteral("row"));
            xml.writeAttribute(QStringLiteral("r"), QString::number(c.row + 1));
            openRow = c.row;
        }
        xml.writeStartElement(MAIN_NS, QStringLiteral("c"));
        xml.writeAttribute(QStringLiteral("r"), cellReference(c.row, c.column));
        xml.writeAttribute(QStringLiteral("t"), QStringLiteral("s"));
        xml.writeTextElement(MAIN_NS, QStringLiteral("v"), QString::number(c.string));
        xml.writeEndElement();
    }
    xml.writeEndDocument(); // closes the row, sheetData and worksheet still open
    return !xml.hasError();
}

bool XlsxWriter::writeSharedStrings(QIODevice *device) const
{
    QXmlStreamWriter xml(device);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeDefaultNamespace(MAIN_NS);
    xml.writeStartElement(MAIN_NS, QStringLiteral("sst"));
    xml.writeAttribute(QStringLiteral("uniqueCount"), QString::number(m_strings.size()));
    for (const QString &s : m_strings) {
        xml.writeStartElement(MAIN_NS, QStringLiteral("si"));
        xml.writeStartElement(MAIN_NS, QStringLiteral("t"));
        // Keeps leading and trailing blanks and line breaks as they are.
        xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        xml.writeCharacters(escapeText(s));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return !xml.hasError();
}

bool XlsxWriter::save()
{
    if (!m_error.isEmpty())
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    QuaZip zip(&file);
    zip.setAutoClose(false); // the save file is committed below, never closed
    zip.setFileNameCodec("UTF-8");
    if (!zip.open(QuaZip::mdCreate)) {
        m_error = QStringLiteral("cannot start the zip package (error %1)").arg(zip.getZipError());
        file.cancelWriting();
        return false;
    }
    bool written = addText(&zip, QStringLiteral("[Content_Types].xml"), CONTENT_TYPES)
        && addText(&zip, QStringLiteral("_rels/.rels"), ROOT_RELS)
        && addText(&zip, QStringLiteral("xl/workbook.xml"), WORKBOOK)
        && addText(&zip, QStringLiteral("xl/_rels/workbook.xml.rels"), WORKBOOK_RELS)
        && addText(&zip, QStringLiteral("xl/styles.xml"), STYLES)
        && addPart(&zip, QStringLiteral("xl/sharedStrings.xml"),
                   [this](QIODevice *device) { return writeSharedStrings(device); })
        && addPart(&zip, QStringLiteral("xl/worksheets/sheet1.xml"),
                   [this](QIODevice *device) { return writeSheet(device); });
    zip.close();
    written = written && zip.getZipError() == 0;
    if (!written) {
        m_error = QStringLiteral("cannot write the workbook %1 (zip error %2)").arg(m_path).arg(zip.getZipError());
        if (file.error() != QFileDevice::NoError)
            m_error += QStringLiteral(": ") + file.errorString();
        file.cancelWriting();
        return false;
    }
    QString error;
    if (!SafeSave::commit(file, &error)) {
        m_error = QStringLiteral("cannot put the workbook in place at %1: %2").arg(m_path, error);
        return false;
    }
    return true;
}
