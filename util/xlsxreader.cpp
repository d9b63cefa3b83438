#include "util/xlsxreader.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QTime>
#include <QUrl>
#include <QXmlStreamReader>
#include <quazip5/quazip.h>
#include <quazip5/quazipfile.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const int SECONDS_PER_DAY = 86400;
// Generous cap for the count a shared-string table announces, so a lying
// header cannot make us reserve gigabytes up front.
const int MAX_RESERVED_STRINGS = 1 << 20;

const QLatin1String REL_OFFICE_DOCUMENT("/officeDocument");
const QLatin1String REL_SHARED_STRINGS("/sharedStrings");
const QLatin1String REL_STYLES("/styles");

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

// A reader stops at an error too: when its device fails mid-way it reports
// one without ever reaching the end.
bool more(const QXmlStreamReader &xml)
{
    return !xml.atEnd() && !xml.hasError();
}

// Id -> relationship of a .rels part; external targets are left out. False
// when the part is malformed.
bool parseRelationships(QIODevice *device, const QString &sourceFolder, QHash<QString, Relationship> *rels)
{
    QXmlStreamReader xml(device);
    while (more(xml)) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes attrs = xml.attributes();
        if (attrs.value(QLatin1String("TargetMode")).compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
            continue;
        rels->insert(attrs.value(QLatin1String("Id")).toString(),
                     {attrs.value(QLatin1String("Type")).toString(),
                      resolveTarget(sourceFolder, attrs.value(QLatin1String("Target")).toString())});
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
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() && text.at(i + 1) == QLatin1Char('x')
            && text.at(i + 6) == QLatin1Char('_')) {
            bool ok = false;
            const ushort code = text.midRef(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out.append(QChar(code));
                i += 7;
                continue;
            }
        }
        out.append(text.at(i));
        ++i;
    }
    return out;
}

// The text of a string item (<si> or <is>) the reader stands on: plain or
// rich-text runs joined, phonetic runs left out. Leaves the reader on its end.
QString readStringItem(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && more(xml)) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("t"))
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.name() == QLatin1String("rPh"))
                xml.skipCurrentElement();
            else
                ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return decodeEscapes(text);
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

CellType cellType(const QStringRef &t)
{
    if (t.isEmpty() || t == QLatin1String("n"))
        return CellType::Number;
    if (t == QLatin1String("s"))
        return CellType::SharedString;
    if (t == QLatin1String("inlineStr"))
        return CellType::InlineString;
    if (t == QLatin1String("str"))
        return CellType::FormulaString;
    if (t == QLatin1String("b"))
        return CellType::Boolean;
    if (t == QLatin1String("e"))
        return CellType::Error;
    if (t == QLatin1String("d"))
        return CellType::IsoDate;
    return CellType::Number;
}

enum class Part { Missing, Unreadable, Read };

// Opens one zip entry and hands it to a parser. Unreadable when the entry
// cannot be opened, would inflate past the cap, fails the parser, or does not
// match its checksum.
Part withPart(QuaZip *zip, const QString &part, const std::function<bool(QIODevice *)> &parse)
{
    if (!zip || part.isEmpty() || !zip->setCurrentFile(part, QuaZip::csInsensitive))
        return Part::Missing;
    QuaZipFile file(zip);
    if (!file.open(QIODevice::ReadOnly))
        return Part::Unreadable;
    // The size comes from the package's directory; the zip library never
    // inflates more than that, whatever the data holds.
    if (file.usize() < 0 || file.usize() > XlsxReader::MAX_PART_SIZE) {
        qWarning() << "xlsx:" << part << "inflates to" << file.usize() << "bytes, more than is read";
        file.close();
        return Part::Unreadable;
    }
    const bool parsed = parse(&file);
    file.close();
    if (parsed && file.getZipError() != 0)
        qWarning() << "xlsx:" << part << "is damaged, zip error" << file.getZipError();
    return parsed && file.getZipError() == 0 ? Part::Read : Part::Unreadable;
}

// "0", "42" or "-7": a whole number of at most 15 digits, as numberText()
// would write it.
bool isPlainInteger(const QString &text)
{
    const int sign = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const int digits = text.size() - sign;
    if (digits < 1 || digits > 15 || (text.at(sign) == QLatin1Char('0') && (digits > 1 || sign)))
        return false;
    for (int i = sign; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return false;
    }
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
        QStringList &list = result[i];
        list.reserve(rows);
        for (int r = 0; r < rows; ++r)
            list.append(blank);
    }
    for (const Cell &c : m_cells) {
        if (c.row < fromRow || c.row > toRow)
            continue;
        const auto it = slot.constFind(c.column);
        if (it != slot.constEnd())
            result[it.value()][c.row - fromRow] = c.text;
    }
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
    int out = 0;
    for (int i = 0; i < m_cells.size(); ++i) {
        const Cell &cell = m_cells.at(i);
        const bool lastOfItsPlace = i + 1 == m_cells.size() || m_cells.at(i + 1).row != cell.row
            || m_cells.at(i + 1).column != cell.column;
        if (lastOfItsPlace && !cell.text.isEmpty() && !merged.hidesValueAt(cell.row, cell.column)) {
            if (out != i)
                m_cells[out] = std::move(m_cells[i]);
            ++out;
        }
    }
    m_cells.resize(out);

    m_firstRow = m_lastRow = m_firstColumn = m_lastColumn = 0;
    if (m_cells.isEmpty())
        return;
    m_firstRow = m_cells.constFirst().row;
    m_lastRow = m_cells.constLast().row;
    m_firstColumn = m_lastColumn = m_cells.constFirst().column;
    for (const Cell &c : qAsConst(m_cells)) {
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
    withPart(m_zip.data(), QStringLiteral("_rels/.rels"), [&](QIODevice *device) {
        QHash<QString, Relationship> rels;
        const bool parsed = parseRelationships(device, QString(), &rels);
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
    const Part relsRead = withPart(m_zip.data(), relsPart, [&](QIODevice *device) {
        return parseRelationships(device, folder, &rels);
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
    const Part read = withPart(m_zip.data(), workbookPart, [&](QIODevice *device) {
        QXmlStreamReader xml(device);
        while (more(xml)) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attrs = xml.attributes();
            if (xml.name() == QLatin1String("workbookPr")) {
                const QStringRef v = attrs.value(QLatin1String("date1904"));
                m_date1904 = v == QLatin1String("1") || v == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                QString relId;
                for (const QXmlStreamAttribute &a : attrs) {
                    if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                        relId = a.value().toString();
                }
                const auto rel = rels.constFind(relId);
                sheets.append({attrs.value(QLatin1String("name")).toString(),
                               rel == rels.constEnd() ? QString() : rel->target});
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
    const Part strings = withPart(m_zip.data(), m_sharedStringsPart, [this](QIODevice *device) {
        QXmlStreamReader xml(device);
        while (more(xml)) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("si")) {
                m_sharedStrings.append(readStringItem(xml));
            } else if (xml.name() == QLatin1String("sst")) {
                const int count = xml.attributes().value(QLatin1String("uniqueCount")).toInt();
                m_sharedStrings.reserve(qBound(0, count, MAX_RESERVED_STRINGS));
            }
        }
        if (xml.hasError())
            qWarning() << "xlsx: shared strings:" << xml.errorString();
        return !xml.hasError();
    });
    const Part styles = withPart(m_zip.data(), m_stylesPart, [this](QIODevice *device) {
        QHash<int, QString> codes;
        QVector<int> formatIds;
        bool inCellFormats = false;
        QXmlStreamReader xml(device);
        while (more(xml)) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs"))
                inCellFormats = false;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes attrs = xml.attributes();
            if (xml.name() == QLatin1String("numFmt"))
                codes.insert(attrs.value(QLatin1String("numFmtId")).toInt(),
                             attrs.value(QLatin1String("formatCode")).toString());
            else if (xml.name() == QLatin1String("cellXfs"))
                inCellFormats = true;
            else if (inCellFormats && xml.name() == QLatin1String("xf"))
                formatIds.append(attrs.value(QLatin1String("numFmtId")).toInt());
        }
        m_styleKinds.reserve(formatIds.size());
        for (int id : qAsConst(formatIds))
            m_styleKinds.append(numberFormatKind(id, codes.value(id)));
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
    const auto read = [&](QIODevice *device) { return readSheetXml(device, &sheet, &merges); };
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

bool XlsxReader::readSheetXml(QIODevice *device, XlsxSheet *sheet, QVector<XlsxSheet::Range> *merges) const
{
    QXmlStreamReader xml(device);
    int row = 0;
    int column = 0;
    while (more(xml)) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("row")) {
            bool ok = false;
            const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            row = ok && r >= 1 && r <= MAX_ROW ? r : row + 1;
            column = 0;
        } else if (name == QLatin1String("c")) {
            int r = qMax(row, 1);
            int c = column + 1;
            bool placed = c <= MAX_COLUMN;
            CellType type = CellType::Number;
            int style = 0;
            {
                // Dropped before the children are read: holding on to the
                // reader's attributes would make it copy them at each child.
                const QXmlStreamAttributes attrs = xml.attributes();
                for (const QXmlStreamAttribute &a : attrs) {
                    const QStringRef n = a.name();
                    if (n == QLatin1String("r"))
                        placed = parseCellReference(a.value(), &r, &c);
                    else if (n == QLatin1String("t"))
                        type = cellType(a.value());
                    else if (n == QLatin1String("s"))
                        style = a.value().toInt();
                }
            }
            QString value;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("v"))
                    value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                else if (xml.name() == QLatin1String("is"))
                    value = readStringItem(xml);
                else
                    xml.skipCurrentElement(); // formula text and extensions
            }
            if (!placed)
                continue; // a reference no workbook can address
            row = r;
            column = c;
            if (!value.isEmpty())
                sheet->m_cells.append({r, c, cellText(int(type), style, value)});
        } else if (name == QLatin1String("mergeCell")) {
            const QStringRef ref = xml.attributes().value(QLatin1String("ref"));
            const int colon = ref.indexOf(QLatin1Char(':'));
            XlsxSheet::Range m;
            if (colon > 0 && parseCellReference(ref.left(colon), &m.firstRow, &m.firstColumn)
                && parseCellReference(ref.mid(colon + 1), &m.lastRow, &m.lastColumn)) {
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

QString XlsxReader::cellText(int type, int style, const QString &value) const
{
    switch (static_cast<CellType>(type)) {
    case CellType::SharedString: {
        bool ok = false;
        const int index = value.toInt(&ok);
        return ok && index >= 0 && index < m_sharedStrings.size() ? m_sharedStrings.at(index) : QString();
    }
    case CellType::InlineString:
    case CellType::Error:
        return value;
    case CellType::FormulaString:
        return decodeEscapes(value);
    case CellType::Boolean:
        return value.trimmed() == QLatin1String("1") || value.trimmed() == QLatin1String("true")
            ? QStringLiteral("true")
            : QStringLiteral("false");
    case CellType::IsoDate: {
        const QDateTime dt = QDateTime::fromString(value.trimmed(), Qt::ISODate);
        if (!dt.isValid())
            return value;
        const QString day = dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return dt.time() == QTime(0, 0) ? day : day + dt.time().toString(QStringLiteral(" hh:mm:ss"));
    }
    case CellType::Number:
        break;
    }
    const quint8 kind = style >= 0 && style < m_styleKinds.size() ? m_styleKinds.at(style) : quint8(PlainNumber);
    if (kind == PlainNumber && isPlainInteger(value))
        return value; // already the text a whole number is shown as
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return value;
    if (kind != PlainNumber) {
        const QString date = serialDateText(number, m_date1904, kind == TimeFormat);
        if (!date.isEmpty())
            return date;
    }
    return numberText(number);
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
    int i = 0;
    qint64 c = 0;
    while (i < ref.size() && c <= MAX_COLUMN) {
        const ushort ch = ref.at(i).toUpper().unicode();
        if (ch < 'A' || ch > 'Z')
            break;
        c = c * 26 + (ch - 'A' + 1);
        ++i;
    }
    if (i == 0 || c > MAX_COLUMN || i == ref.size())
        return false;
    qint64 r = 0;
    for (; i < ref.size(); ++i) {
        const ushort ch = ref.at(i).unicode();
        if (ch < '0' || ch > '9' || r > MAX_ROW)
            return false;
        r = r * 10 + (ch - '0');
    }
    if (r < 1 || r > MAX_ROW)
        return false;
    *row = int(r);
    *column = int(c);
    return true;
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
