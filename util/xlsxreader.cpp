#include "util/xlsxreader.h"

#include "util/xmlscanner.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QTime>
#include <QUrl>
#include <quazip5/quazip.h>
#include <quazip5/quazipfile.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace {

const int SECONDS_PER_DAY = 86400;
// Generous cap for the count a shared-string table announces, so a lying
// header cannot make us reserve gigabytes up front.
const int MAX_RESERVED_STRINGS = 1 << 20;

const QLatin1String REL_OFFICE_DOCUMENT("/officeDocument");
const QLatin1String REL_SHARED_STRINGS("/sharedStrings");
const QLatin1String REL_STYLES("/styles");

QString text(std::string_view utf8)
{
    return XmlScanner::toQString(utf8);
}

// A number as QString::toInt() reads it, without making a QString for the
// plain digits nearly every number is.
int toInt(std::string_view digits, bool *ok = nullptr)
{
    if (!digits.empty() && digits.size() <= 9) {
        int value = 0;
        size_t i = 0;
        for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
            value = value * 10 + (digits[i] - '0');
        if (i == digits.size()) {
            if (ok)
                *ok = true;
            return value;
        }
    }
    return text(digits).toInt(ok);
}

// The folder part of a zip entry name ("xl/workbook.xml" -> "xl").
QString partFolder(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

// A relationship target as a zip entry name: absolute targets start at the
// package root, relative ones at the folder of the part that owns them.
QString resolveTarget(const QString &sourceFolder, const QString &target)
{
    QString t = QUrl::fromPercentEncoding(target.toUtf8());
    QString path;
    if (t.startsWith(QLatin1Char('/')))
        path = t;
    else
        path = sourceFolder.isEmpty() ? t : sourceFolder + QLatin1Char('/') + t;
    path = QDir::cleanPath(path);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path;
}

struct Relationship {
    QString type;
    QString target; // resolved zip entry name
};

// Id -> relationship of a .rels part; external targets are left out. False
// when the part is malformed.
bool parseRelationships(const QByteArray &bytes, const QString &sourceFolder, QHash<QString, Relationship> *rels)
{
    XmlScanner xml(bytes);
    while (xml.next()) {
        if (!xml.isStartElement() || xml.name() != "Relationship")
            continue;
        if (text(xml.attribute("TargetMode")).compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
            continue;
        rels->insert(text(xml.attribute("Id")),
                     {text(xml.attribute("Type")), resolveTarget(sourceFolder, text(xml.attribute("Target")))});
    }
    return !xml.hasError();
}

// Strings may carry characters XML cannot hold written as "_xHHHH_".
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    int i = 0;
    while (i < text.size()) {
        if (XlsxReader::isEscapeAt(text, i)) {
            out.append(QChar(text.midRef(i + 2, 4).toUShort(nullptr, 16)));
            i += 7;
            continue;
        }
        out.append(text.at(i));
        ++i;
    }
    return out;
}

// The text of a string item (<si> or <is>) the reader stands on: plain or
// rich-text runs joined, phonetic runs left out. Leaves the reader on its end.
QString readStringItem(XmlScanner &xml)
{
    // Most items are one run, taken as the reader gives it; the reader
    // keeps it until its next text, so a second run copies it first.
    std::string_view first;
    std::string runs;
    int count = 0;
    int depth = 1;
    while (depth > 0 && xml.next()) {
        if (xml.isEndElement()) {
            --depth;
        } else if (xml.name() == "t") {
            if (count == 1)
                runs.assign(first);
            std::string_view run;
            if (!xml.readText(&run))
                break;
            if (count == 0)
                first = run;
            else
                runs.append(run);
            ++count;
        } else if (xml.name() == "rPh") {
            xml.skipCurrentElement();
        } else {
            ++depth;
        }
    }
    const std::string_view all = count > 1 ? std::string_view(runs) : first;
    const QString text = XmlScanner::toQString(all);
    return all.find("_x") == std::string_view::npos ? text : decodeEscapes(text);
}

// Removes the parts of a format code that are not date or time tokens:
// quoted literals, escaped characters, colours, conditions and locales.
// Elapsed-time brackets ("[h]", "[mm]", "[ss]") stay as their letters.
QString formatTokens(const QString &code)
{
    QString out;
    for (int i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (ch == QLatin1Char('"')) {
            const int end = code.indexOf(QLatin1Char('"'), i + 1);
            i = end < 0 ? code.size() : end;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i; // the next character is literal, padding or fill
        } else if (ch == QLatin1Char('[')) {
            const int end = code.indexOf(QLatin1Char(']'), i + 1);
            const QString inner = code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1).toLower();
            if (!inner.isEmpty() && inner.count(inner.at(0)) == inner.size()
                && QStringLiteral("hms").contains(inner.at(0)))
                out += inner;
            i = end < 0 ? code.size() : end;
        } else {
            out += ch.toLower();
        }
    }
    out.remove(QLatin1String("general"));
    out.remove(QLatin1String("am/pm"));
    out.remove(QLatin1String("a/p"));
    return out;
}

enum class CellType { Number, SharedString, InlineString, FormulaString, Boolean, Error, IsoDate };

CellType cellType(std::string_view t)
{
    if (t.empty() || t == "n")
        return CellType::Number;
    if (t == "s")
        return CellType::SharedString;
    if (t == "inlineStr")
        return CellType::InlineString;
    if (t == "str")
        return CellType::FormulaString;
    if (t == "b")
        return CellType::Boolean;
    if (t == "e")
        return CellType::Error;
    if (t == "d")
        return CellType::IsoDate;
    return CellType::Number;
}

enum class Part { Missing, Unreadable, Read };

// Inflates one zip entry whole and hands it to a parser. Unreadable when the
// entry cannot be opened, would inflate past the cap, does not match the size
// and checksum the package's directory gives, or fails the parser.
Part withPart(QuaZip *zip, const QString &part, const std::function<bool(const QByteArray &)> &parse)
{
    if (!zip || part.isEmpty() || !zip->setCurrentFile(part, QuaZip::csInsensitive))
        return Part::Missing;
    QuaZipFile file(zip);
    if (!file.open(QIODevice::ReadOnly))
        return Part::Unreadable;
    // The size comes from the package's directory; the zip library never
    // inflates more than that, whatever the data holds.
    const qint64 size = file.usize();
    if (size < 0 || size > XlsxReader::MAX_PART_SIZE) {
        qWarning() << "xlsx:" << part << "inflates to" << size << "bytes, more than is read";
        file.close();
        return Part::Unreadable;
    }
    QByteArray bytes(int(size), Qt::Uninitialized);
    qint64 read = 0;
    while (read < size) {
        const qint64 n = file.read(bytes.data() + read, size - read);
        if (n <= 0)
            break;
        read += n;
    }
    file.close();
    // The checksum is only checked once the whole size has been read.
    if (read != size || file.getZipError() != 0) {
        qWarning() << "xlsx:" << part << "is damaged: read" << read << "of" << size << "bytes, zip error"
                   << file.getZipError();
        return Part::Unreadable;
    }
    return parse(bytes) ? Part::Read : Part::Unreadable;
}

// "0", "42" or "-7": a whole number of at most 15 digits, as numberText()
// would write it.
bool isPlainInteger(std::string_view text)
{
    const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t digits = text.size() - sign;
    if (digits < 1 || digits > 15 || (text[sign] == '0' && (digits > 1 || sign)))
        return false;
    for (size_t i = sign; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// "148.688" or "-0.0025": a decimal fraction as numberText() would write it.
// Of at most 15 significant digits, it is the shortest text of the number it
// reads as; with no trailing zero and no more than three zeros after "0."
// Qt's shortest form writes it out in full, not with an exponent.
bool isShortestDecimal(std::string_view text)
{
    const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t point = text.find('.');
    if (point == std::string_view::npos || point == sign || point + 1 == text.size() || text.back() == '0')
        return false;
    const std::string_view whole = text.substr(sign, point - sign);
    const std::string_view fraction = text.substr(point + 1);
    const auto allDigits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!allDigits(whole) || !allDigits(fraction))
        return false;
    if (whole == "0") {
        const size_t zeros = fraction.find_first_not_of('0');
        return zeros <= 3 && fraction.size() - zeros <= 15;
    }
    return whole[0] != '0' && whole.size() + fraction.size() <= 15;
}

ushort charAt(const QStringRef &text, int i)
{
    return text.at(i).unicode();
}

ushort charAt(std::string_view text, int i)
{
    return uchar(text[size_t(i)]);
}

// "B12" to (12, 2); false for anything else or beyond a workbook's limits.
template <typename Text>
bool parseReference(const Text &ref, int *row, int *column)
{
    const int size = int(ref.size());
    int i = 0;
    qint64 c = 0;
    while (i < size && c <= XlsxReader::MAX_COLUMN) {
        const ushort ch = charAt(ref, i) & ~ushort(0x20); // upper case
        if (ch < 'A' || ch > 'Z' || (charAt(ref, i) & 0xFF80))
            break;
        c = c * 26 + (ch - 'A' + 1);
        ++i;
    }
    if (i == 0 || c > XlsxReader::MAX_COLUMN || i == size)
        return false;
    qint64 r = 0;
    for (; i < size; ++i) {
        const ushort ch = charAt(ref, i);
        if (ch < '0' || ch > '9' || r > XlsxReader::MAX_ROW)
            return false;
        r = r * 10 + (ch - '0');
    }
    if (r < 1 || r > XlsxReader::MAX_ROW)
        return false;
    *row = int(r);
    *column = int(c);
    return true;
}

bool cellBefore(int row, int column, int otherRow, int otherColumn)
{
    return row < otherRow || (row == otherRow && column < otherColumn);
}

// Tells, for cells visited in row order, which lie inside a merged range
// without being its top-left cell. Each range is entered at its first row and
// left after its last; a Fenwick tree over the columns counts the ranges that
// cover each column, so the cost follows the number of cells and ranges, not
// the area the ranges span.
class MergeSweep
{
public:
    explicit MergeSweep(const QVector<XlsxSheet::Range> &ranges)
    {
        if (ranges.isEmpty())
            return;
        m_tree.fill(0, XlsxReader::MAX_COLUMN + 2);
        for (const XlsxSheet::Range &r : ranges) {
            m_events.append({r.firstRow, r.firstColumn, r.lastColumn, 1});
            m_events.append({r.lastRow + 1, r.firstColumn, r.lastColumn, -1});
            m_topLefts.insert(place(r.firstRow, r.firstColumn));
        }
        std::sort(m_events.begin(), m_events.end(), [](const Event &a, const Event &b) { return a.row < b.row; });
    }

    // Rows must not decrease from one call to the next.
    bool hidesValueAt(int row, int column)
    {
        if (m_tree.isEmpty())
            return false;
        for (; m_next < m_events.size() && m_events.at(m_next).row <= row; ++m_next) {
            const Event &e = m_events.at(m_next);
            add(e.firstColumn, e.delta);
            add(e.lastColumn + 1, -e.delta);
        }
        return coveringRanges(column) > 0 && !m_topLefts.contains(place(row, column));
    }

private:
    struct Event {
        int row;
        int firstColumn;
        int lastColumn;
        int delta;
    };

    static qint64 place(int row, int column) { return qint64(row) << 16 | column; }

    void add(int column, int delta)
    {
        for (; column < m_tree.size(); column += column & -column)
            m_tree[column] += delta;
    }

    int coveringRanges(int column) const
    {
        int sum = 0;
        for (; column > 0; column -= column & -column)
            sum += m_tree.at(column);
        return sum;
    }

    QVector<Event> m_events;
    int m_next = 0;
    QVector<int> m_tree;
    QSet<qint64> m_topLefts;
};

} // namespace

// ---------------------------------------------------------------- XlsxSheet

QString XlsxSheet::text(int row, int column) const
{
    const Cell *cell = find(row, column);
    return cell ? cell->text : QString();
}

QVector<QStringList> XlsxSheet::columns(int fromRow, int toRow, const QVector<int> &columnNumbers,
                                       const QString &blank) const
{
    QVector<QStringList> result(columnNumbers.size());
    const int rows = qMax(0, toRow - fromRow + 1);
    QHash<int, int> slot;
    slot.reserve(columnNumbers.size());
    for (int i = 0; i < columnNumbers.size(); ++i) {
        slot.insert(columnNumbers.at(i), i);
        result[i].reserve(rows);
    }
    // The cells come in row order, so each list grows at its end: blanks
    // up to a cell's row, then its text.
    const auto fillTo = [&blank](QStringList &list, int size) {
        while (list.size() < size)
            list.append(blank);
    };
    for (const Cell &c : m_cells) {
        if (c.row < fromRow || c.row > toRow)
            continue;
        const auto it = slot.constFind(c.column);
        if (it == slot.constEnd())
            continue;
        QStringList &list = result[it.value()];
        fillTo(list, c.row - fromRow);
        list.append(c.text);
    }
    for (QStringList &list : result)
        fillTo(list, rows);
    return result;
}

const XlsxSheet::Cell *XlsxSheet::find(int row, int column) const
{
    const auto it = std::lower_bound(m_cells.cbegin(), m_cells.cend(), nullptr,
                                     [row, column](const Cell &c, std::nullptr_t) {
                                         return cellBefore(c.row, c.column, row, column);
                                     });
    if (it == m_cells.cend() || it->row != row || it->column != column)
        return nullptr;
    return &*it;
}

void XlsxSheet::finish(const QVector<Range> &merges)
{
    // Cells normally arrive in order; later duplicates of one reference win,
    // empty texts are not values, and of a merged range only the top-left
    // cell holds one.
    const auto before = [](const Cell &a, const Cell &b) { return cellBefore(a.row, a.column, b.row, b.column); };
    if (!std::is_sorted(m_cells.cbegin(), m_cells.cend(), before))
        std::stable_sort(m_cells.begin(), m_cells.end(), before);
    MergeSweep merged(merges);
    size_t out = 0;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        const Cell &cell = m_cells[i];
        const bool lastOfItsPlace = i + 1 == m_cells.size() || m_cells[i + 1].row != cell.row
            || m_cells[i + 1].column != cell.column;
        if (lastOfItsPlace && !cell.text.isEmpty() && !merged.hidesValueAt(cell.row, cell.column)) {
            if (out != i)
                m_cells[out] = std::move(m_cells[i]);
            ++out;
        }
    }
    m_cells.resize(out);

    m_firstRow = m_lastRow = m_firstColumn = m_lastColumn = 0;
    if (m_cells.empty())
        return;
    m_firstRow = m_cells.front().row;
    m_lastRow = m_cells.back().row;
    m_firstColumn = m_lastColumn = m_cells.front().column;
    for (const Cell &c : m_cells) {
        m_firstColumn = qMin(m_firstColumn, c.column);
        m_lastColumn = qMax(m_lastColumn, c.column);
    }
}

// ---------------------------------------------------------------- XlsxReader

XlsxReader::XlsxReader(const QString &path)
{
    if (path.isEmpty())
        return;
    m_zip.reset(new QuaZip(path));
    m_zip->setFileNameCodec("UTF-8");
    if (!m_zip->open(QuaZip::mdUnzip)) {
        qWarning() << "xlsx: cannot open workbook" << path << "zip error" << m_zip->getZipError();
        m_zip.reset();
        return;
    }
    readWorkbook();
    if (m_sheets.isEmpty())
        qWarning() << "xlsx: no sheets in" << path;
}

XlsxReader::~XlsxReader()
{
    if (m_zip)
        m_zip->close();
}

QStringList XlsxReader::sheetNames() const
{
    QStringList names;
    for (const SheetEntry &s : m_sheets)
        names.append(s.name);
    return names;
}

void XlsxReader::readWorkbook()
{
    QString workbookPart;
    withPart(m_zip.data(), QStringLiteral("_rels/.rels"), [&](const QByteArray &bytes) {
        QHash<QString, Relationship> rels;
        const bool parsed = parseRelationships(bytes, QString(), &rels);
        for (const Relationship &r : qAsConst(rels)) {
            if (r.type.endsWith(REL_OFFICE_DOCUMENT))
                workbookPart = r.target;
        }
        return parsed;
    });
    if (workbookPart.isEmpty())
        workbookPart = QStringLiteral("xl/workbook.xml");

    const QString folder = partFolder(workbookPart);
    const QString relsPart = (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/")
        + workbookPart.mid(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral(".rels");
    QHash<QString, Relationship> rels;
    const Part relsRead = withPart(m_zip.data(), relsPart, [&](const QByteArray &bytes) {
        return parseRelationships(bytes, folder, &rels);
    });
    // Without relationships a workbook has no parts to read, but damaged ones
    // could silently lose its strings or formats.
    if (relsRead == Part::Unreadable) {
        qWarning() << "xlsx: the workbook's relationships cannot be read";
        return;
    }
    for (const Relationship &r : qAsConst(rels)) {
        if (r.type.endsWith(REL_SHARED_STRINGS))
            m_sharedStringsPart = r.target;
        else if (r.type.endsWith(REL_STYLES))
            m_stylesPart = r.target;
    }

    QVector<SheetEntry> sheets;
    const Part read = withPart(m_zip.data(), workbookPart, [&](const QByteArray &bytes) {
        XmlScanner xml(bytes);
        while (xml.next()) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == "workbookPr") {
                const std::string_view v = xml.attribute("date1904");
                m_date1904 = v == "1" || v == "true";
            } else if (xml.name() == "sheet") {
                // The relationship id is the "id" of the relationships'
                // namespace, whatever its prefix.
                QString relId;
                for (int i = 0; i < xml.attributeCount(); ++i) {
                    const std::string_view n = xml.attributeName(i);
                    if (n.size() > 3 && n.substr(n.size() - 3) == ":id" && n.substr(0, 6) != "xmlns:")
                        relId = text(xml.attributeValue(i));
                }
                const auto rel = rels.constFind(relId);
                sheets.append({text(xml.attribute("name")), rel == rels.constEnd() ? QString() : rel->target});
            }
        }
        return !xml.hasError();
    });
    if (read == Part::Read)
        m_sheets = sheets;
}

void XlsxReader::loadSharedData()
{
    if (m_shared != SharedData::Unread)
        return;
    // A part the workbook names but that cannot be read would leave every
    // sheet with missing strings or dates shown as numbers.
    const Part strings = withPart(m_zip.data(), m_sharedStringsPart, [this](const QByteArray &bytes) {
        XmlScanner xml(bytes);
        while (xml.next()) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == "si") {
                m_sharedStrings.append(readStringItem(xml));
            } else if (xml.name() == "sst") {
                const int count = toInt(xml.attribute("uniqueCount"));
                m_sharedStrings.reserve(qBound(0, count, MAX_RESERVED_STRINGS));
            }
        }
        if (xml.hasError())
            qWarning() << "xlsx: shared strings:" << xml.errorString();
        return !xml.hasError();
    });
    const Part styles = withPart(m_zip.data(), m_stylesPart, [this](const QByteArray &bytes) {
        QHash<int, QString> codes;
        QVector<int> formatIds;
        bool inCellFormats = false;
        XmlScanner xml(bytes);
        while (xml.next()) {
            if (xml.isEndElement() && xml.name() == "cellXfs")
                inCellFormats = false;
            if (!xml.isStartElement())
                continue;
            if (xml.name() == "numFmt")
                codes.insert(toInt(xml.attribute("numFmtId")), text(xml.attribute("formatCode")));
            else if (xml.name() == "cellXfs")
                inCellFormats = true;
            else if (inCellFormats && xml.name() == "xf")
                formatIds.append(toInt(xml.attribute("numFmtId")));
        }
        // Thousands of cell formats may share one format code, which can be
        // long: each code is looked at once.
        QHash<int, quint8> kinds;
        m_styleKinds.reserve(formatIds.size());
        for (int id : qAsConst(formatIds)) {
            auto kind = kinds.constFind(id);
            if (kind == kinds.constEnd())
                kind = kinds.insert(id, numberFormatKind(id, codes.value(id)));
            m_styleKinds.append(kind.value());
        }
        return !xml.hasError();
    });
    const bool damaged = (!m_sharedStringsPart.isEmpty() && strings != Part::Read)
        || (!m_stylesPart.isEmpty() && styles != Part::Read);
    m_shared = damaged ? SharedData::Damaged : SharedData::Read;
    if (damaged)
        qWarning() << "xlsx: the shared strings or cell formats cannot be read";
}

XlsxSheet XlsxReader::sheet(int index)
{
    XlsxSheet sheet;
    if (index < 0 || index >= m_sheets.size())
        return sheet;
    sheet.m_name = m_sheets.at(index).name;
    loadSharedData();
    QVector<XlsxSheet::Range> merges;
    const auto read = [&](const QByteArray &bytes) { return readSheetXml(bytes, &sheet, &merges); };
    sheet.m_readable =
        m_shared == SharedData::Read && withPart(m_zip.data(), m_sheets.at(index).part, read) == Part::Read;
    if (!sheet.m_readable) {
        qWarning() << "xlsx: cannot read sheet" << sheet.m_name;
        sheet.m_cells.clear();
        merges.clear();
    }
    sheet.finish(merges);
    return sheet;
}

bool XlsxReader::readSheetXml(const QByteArray &bytes, XlsxSheet *sheet, QVector<XlsxSheet::Range> *merges) const
{
    XmlScanner xml(bytes);
    int row = 0;
    int column = 0;
    while (xml.next()) {
        if (!xml.isStartElement())
            continue;
        const std::string_view name = xml.name();
        if (name == "row") {
            bool ok = false;
            const int r = toInt(xml.attribute("r"), &ok);
            row = ok && r >= 1 && r <= MAX_ROW ? r : row + 1;
            column = 0;
        } else if (name == "c") {
            int r = qMax(row, 1);
            int c = column + 1;
            bool placed = r <= MAX_ROW && c <= MAX_COLUMN;
            CellType type = CellType::Number;
            int style = 0;
            for (int i = 0; i < xml.attributeCount(); ++i) {
                const std::string_view n = xml.attributeName(i);
                if (n == "r")
                    placed = parseReference(xml.attributeValue(i), &r, &c);
                else if (n == "t")
                    type = cellType(xml.attributeValue(i));
                else if (n == "s")
                    style = toInt(xml.attributeValue(i));
            }
            // Of several values the last counts.
            std::string_view value;
            QString inlineText;
            bool isInline = false;
            while (xml.readNextStartElement()) {
                if (xml.name() == "v") {
                    isInline = false;
                    xml.readText(&value);
                } else if (xml.name() == "is") {
                    isInline = true;
                    inlineText = readStringItem(xml);
                } else {
                    xml.skipCurrentElement(); // formula text and extensions
                }
            }
            if (xml.hasError() || !placed)
                continue; // a reference no workbook can address
            row = r;
            column = c;
            if (isInline && type == CellType::InlineString) {
                if (!inlineText.isEmpty())
                    sheet->m_cells.push_back({r, c, std::move(inlineText)});
            } else if (isInline) {
                const QByteArray utf8 = inlineText.toUtf8();
                if (!utf8.isEmpty())
                    sheet->m_cells.push_back({r, c, cellText(int(type), style, {utf8.constData(), size_t(utf8.size())})});
            } else if (!value.empty()) {
                sheet->m_cells.push_back({r, c, cellText(int(type), style, value)});
            }
            if (sheet->m_cells.size() > size_t(MAX_CELLS)) {
                qWarning() << "xlsx: sheet" << sheet->m_name << "holds more than" << MAX_CELLS << "cells";
                return false;
            }
        } else if (name == "mergeCell") {
            const std::string_view ref = xml.attribute("ref");
            const size_t colon = ref.find(':');
            XlsxSheet::Range m;
            if (colon != std::string_view::npos && colon > 0
                && parseReference(ref.substr(0, colon), &m.firstRow, &m.firstColumn)
                && parseReference(ref.substr(colon + 1), &m.lastRow, &m.lastColumn)) {
                if (m.firstRow > m.lastRow)
                    std::swap(m.firstRow, m.lastRow);
                if (m.firstColumn > m.lastColumn)
                    std::swap(m.firstColumn, m.lastColumn);
                merges->append(m);
            }
        }
    }
    if (xml.hasError()) {
        qWarning() << "xlsx: sheet" << sheet->m_name << "is malformed:" << xml.errorString();
        return false;
    }
    return true;
}

QString XlsxReader::cellText(int type, int style, std::string_view value) const
{
    switch (static_cast<CellType>(type)) {
    case CellType::SharedString: {
        bool ok = false;
        const int index = toInt(value, &ok);
        return ok && index >= 0 && index < m_sharedStrings.size() ? m_sharedStrings.at(index) : QString();
    }
    case CellType::InlineString:
    case CellType::Error:
        return text(value);
    case CellType::FormulaString:
        return decodeEscapes(text(value));
    case CellType::Boolean: {
        const QString v = text(value).trimmed();
        return v == QLatin1String("1") || v == QLatin1String("true") ? QStringLiteral("true")
                                                                      : QStringLiteral("false");
    }
    case CellType::IsoDate: {
        const QString v = text(value);
        const QDateTime dt = QDateTime::fromString(v.trimmed(), Qt::ISODate);
        if (!dt.isValid())
            return v;
        const QString day = dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return dt.time() == QTime(0, 0) ? day : day + dt.time().toString(QStringLiteral(" hh:mm:ss"));
    }
    case CellType::Number:
        break;
    }
    const quint8 kind = style >= 0 && style < m_styleKinds.size() ? m_styleKinds.at(style) : quint8(PlainNumber);
    // Most numbers are already written as they are shown.
    if (kind == PlainNumber && (isPlainInteger(value) || isShortestDecimal(value)))
        return QString::fromLatin1(value.data(), int(value.size()));
    const QString v = text(value);
    bool ok = false;
    const double number = v.toDouble(&ok);
    if (!ok)
        return v;
    if (kind != PlainNumber) {
        const QString date = serialDateText(number, m_date1904, kind == TimeFormat);
        if (!date.isEmpty())
            return date;
    }
    return numberText(number);
}

bool XlsxReader::isEscapeAt(const QString &text, int i)
{
    if (i + 6 >= text.size() || text.at(i) != QLatin1Char('_') || text.at(i + 1) != QLatin1Char('x')
        || text.at(i + 6) != QLatin1Char('_'))
        return false;
    // Four hex digits exactly: toUShort() would also take a sign, blanks or "0x".
    // Not isxdigit(), whose table ends at 255 while a cell holds any character.
    for (int k = i + 2; k < i + 6; ++k) {
        const ushort c = text.at(k).unicode();
        if (!((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')))
            return false;
    }
    return true;
}

QString XlsxReader::numberText(double number)
{
    // Whole numbers are written out in full, as a spreadsheet shows them:
    // Qt's shortest form would print 1200000 as "1.2e+06" on a label.
    if (std::isfinite(number) && std::fabs(number) < MAX_WHOLE_NUMBER && number == std::trunc(number))
        return QString::number(qint64(number));
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

bool XlsxReader::parseCellReference(const QStringRef &ref, int *row, int *column)
{
    return parseReference(ref, row, column);
}

QString XlsxReader::serialDateText(double serial, bool date1904, bool timeOnly)
{
    // Far beyond year 9999 in either system; also keeps the arithmetic finite.
    if (!std::isfinite(serial) || serial < 0 || serial > 3000000)
        return QString();
    const qint64 seconds = qRound64(serial * SECONDS_PER_DAY);
    const qint64 days = seconds / SECONDS_PER_DAY;
    const int secondOfDay = int(seconds % SECONDS_PER_DAY);
    const QTime time = QTime(0, 0).addSecs(secondOfDay);
    if (timeOnly && days == 0)
        return time.toString(QStringLiteral("hh:mm:ss"));

    QDate date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days);
    } else {
        if (days == 0)
            return timeOnly ? time.toString(QStringLiteral("hh:mm:ss")) : QString();
        // The 1900 system counts a 29 February 1900 that never was: serial 60.
        date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
    }
    if (!date.isValid())
        return QString();
    const QString day = date.toString(QStringLiteral("yyyy-MM-dd"));
    return secondOfDay == 0 ? day : day + QLatin1Char(' ') + time.toString(QStringLiteral("hh:mm:ss"));
}

XlsxReader::NumberFormatKind XlsxReader::numberFormatKind(int numFmtId, const QString &formatCode)
{
    if (formatCode.isEmpty()) {
        // Built-in formats, including the ones East Asian locales define.
        switch (numFmtId) {
        case 14: case 15: case 16: case 17: case 22:
        case 27: case 28: case 29: case 30: case 31: case 36:
        case 50: case 51: case 52: case 53: case 54: case 57: case 58:
            return DateFormat;
        case 18: case 19: case 20: case 21:
        case 32: case 33: case 34: case 35:
        case 45: case 46: case 47: case 55: case 56:
            return TimeFormat;
        default:
            return PlainNumber;
        }
    }
    const QString tokens = formatTokens(formatCode);
    const bool hasTime = tokens.contains(QLatin1Char('h')) || tokens.contains(QLatin1Char('s'));
    const bool hasDate = tokens.contains(QLatin1Char('y')) || tokens.contains(QLatin1Char('d'))
        || (!hasTime && tokens.contains(QLatin1Char('m')));
    if (hasDate)
        return DateFormat;
    return hasTime ? TimeFormat : PlainNumber;
}
