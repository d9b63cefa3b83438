#include "util/xmlscanner.h"

#include <cstring>

namespace {

enum CharClass : uchar { Blank = 1, NameStart = 2, NameChar = 4, Special = 8, TextSpecial = 16, TextStop = 32 };

// Bytes from 0x80 on are taken as name characters: the document is valid
// UTF-8 by then, and names only need to match other names byte for byte.
// The colon only separates a prefix (readName()).
// Special are the bytes an attribute value cannot hold as they are,
// TextSpecial those character data cannot, TextStop those and the '<' that
// ends it.
struct CharTable {
    uchar classes[256] = {};
    constexpr CharTable()
    {
        for (int c = 0; c < 256; ++c) {
            const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
            const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            classes[c] = uchar((blank ? Blank : 0) | (start ? NameStart | NameChar : 0)
                               | ((c >= '0' && c <= '9') || c == '-' || c == '.' ? NameChar : 0)
                               | (blank || c == '&' || c == '<' ? Special : 0)
                               | (c == '&' || c == '\r' || c == '>' ? TextSpecial | TextStop : 0)
                               | (c == '<' ? TextStop : 0));
        }
        classes[' '] &= uchar(~Special);
    }
};
constexpr CharTable CHARS;

bool is(char c, CharClass what)
{
    return CHARS.classes[uchar(c)] & what;
}

bool isBlank(char c)
{
    return is(c, Blank);
}

bool isNameStart(char c)
{
    return is(c, NameStart);
}

bool isXmlChar(quint32 code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

void appendUtf8(std::string *out, quint32 code)
{
    if (code < 0x80) {
        out->push_back(char(code));
    } else if (code < 0x800) {
        out->push_back(char(0xC0 | (code >> 6)));
        out->push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(char(0xE0 | (code >> 12)));
        out->push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(char(0x80 | (code & 0x3F)));
    } else {
        out->push_back(char(0xF0 | (code >> 18)));
        out->push_back(char(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(char(0x80 | (code & 0x3F)));
    }
}

// Character data with its line ends as XML reads them: "\r\n" and a lone
// "\r" are "\n".
void appendText(std::string *out, const char *from, const char *to)
{
    while (from < to) {
        const auto *cr = static_cast<const char *>(std::memchr(from, '\r', size_t(to - from)));
        if (!cr) {
            out->append(from, size_t(to - from));
            return;
        }
        out->append(from, size_t(cr - from));
        out->push_back('\n');
        from = cr + 1 < to && cr[1] == '\n' ? cr + 2 : cr + 1;
    }
}

const char *find(const char *from, const char *to, std::string_view what)
{
    const std::string_view range(from, size_t(to - from));
    const size_t at = range.find(what);
    return at == std::string_view::npos ? nullptr : from + at;
}

// The first byte that does not start a UTF-8 sequence of a character XML
// allows; null when there is none. Runs of plain ASCII go eight at a time.
const char *firstInvalidByte(const char *from, const char *to)
{
    const auto *s = reinterpret_cast<const uchar *>(from);
    const auto *end = reinterpret_cast<const uchar *>(to);
    const auto bad = [&] { return from + (s - reinterpret_cast<const uchar *>(from)); };
    while (s < end) {
        while (end - s >= 8) {
            quint64 word;
            std::memcpy(&word, s, 8);
            const quint64 high = word & 0x8080808080808080ULL;
            // Set for some byte below 0x20 (and maybe for bytes of 0x80 on).
            const quint64 control = (word - 0x2020202020202020ULL) & ~word & 0x8080808080808080ULL;
            if (high | control)
                break;
            s += 8;
        }
        if (s == end)
            break;
        const uchar c = *s;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return bad();
            ++s;
            continue;
        }
        int continuation = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            continuation = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            continuation = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;  // overlong
            high = c == 0xED ? 0x9F : 0xBF; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            continuation = 3;
            low = c == 0xF0 ? 0x90 : 0x80;  // overlong
            high = c == 0xF4 ? 0x8F : 0xBF; // beyond U+10FFFF
        } else {
            return bad();
        }
        if (end - s <= continuation || s[1] < low || s[1] > high)
            return bad();
        for (int i = 2; i <= continuation; ++i) {
            if ((s[i] & 0xC0) != 0x80)
                return bad();
        }
        if (c == 0xEF && s[1] == 0xBF && s[2] >= 0xBE) // U+FFFE, U+FFFF
            return bad();
        s += continuation + 1;
    }
    return nullptr;
}

// A UTF-16 document (after its byte-order mark) as UTF-8; false when it
// holds a lone surrogate or an odd byte.
bool utf16ToUtf8(const QByteArray &document, QByteArray *utf8)
{
    const auto *u = reinterpret_cast<const uchar *>(document.constData());
    const int size = document.size();
    if (size % 2 != 0)
        return false;
    const bool bigEndian = u[0] == 0xFE;
    QString text(size / 2 - 1, Qt::Uninitialized);
    for (int i = 1; i < size / 2; ++i) {
        const uchar first = u[2 * i];
        const uchar second = u[2 * i + 1];
        text[i - 1] = QChar(ushort(bigEndian ? first << 8 | second : second << 8 | first));
    }
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return false;
    }
    *utf8 = text.toUtf8();
    return true;
}

std::string_view readPrefixedName(const char *&p, const char *end, const char *from)
{
    ++p; // the colon
    if (p == end || !isNameStart(*p)) {
        p = from;
        return {};
    }
    ++p;
    while (p < end && is(*p, NameChar))
        ++p;
    if (p < end && *p == ':') { // a second colon
        p = from;
        return {};
    }
    return std::string_view(from, size_t(p - from));
}

// A name with at most one prefix ("x:row"), as namespaces want names to be;
// empty, with p where it was, when there is none.
inline std::string_view readName(const char *&p, const char *end)
{
    const char *from = p;
    if (p == end || !isNameStart(*p))
        return {};
    ++p;
    while (p < end && is(*p, NameChar))
        ++p;
    if (p < end && *p == ':')
        return readPrefixedName(p, end, from);
    return std::string_view(from, size_t(p - from));
}

// The pseudo-attributes of an XML declaration, from after "<?xml" to its
// "?>": a version 1.x, then maybe an encoding (a package part is in UTF-8
// or UTF-16) and whether it stands alone.
bool checkDeclaration(const char *p, const char *close)
{
    const auto pseudoAttribute = [&](std::string_view name, std::string_view *value) {
        const char *from = p;
        while (p < close && isBlank(*p))
            ++p;
        if (p == from || std::string_view(p, size_t(close - p)).substr(0, name.size()) != name) {
            p = from;
            return false;
        }
        p += name.size();
        while (p < close && isBlank(*p))
            ++p;
        if (p == close || *p != '=') {
            p = from;
            return false;
        }
        ++p;
        while (p < close && isBlank(*p))
            ++p;
        const char quote = p < close ? *p : 0;
        const auto *end = quote == '"' || quote == '\''
            ? static_cast<const char *>(std::memchr(p + 1, quote, size_t(close - p - 1)))
            : nullptr;
        if (!end) {
            p = from;
            return false;
        }
        *value = std::string_view(p + 1, size_t(end - p - 1));
        p = end + 1;
        return true;
    };
    const auto equalsIgnoringCase = [](std::string_view a, std::string_view b) {
        return a.size() == b.size()
            && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
    };
    std::string_view version;
    if (!pseudoAttribute("version", &version) || version.size() < 3 || version.substr(0, 2) != "1."
        || version.substr(2).find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    std::string_view value;
    if (pseudoAttribute("encoding", &value) && !equalsIgnoringCase(value, "UTF-8")
        && !equalsIgnoringCase(value, "UTF-16"))
        return false;
    if (pseudoAttribute("standalone", &value) && value != "yes" && value != "no")
        return false;
    while (p < close && isBlank(*p))
        ++p;
    return p == close;
}

std::string_view localPart(std::string_view name)
{
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

} // namespace

XmlScanner::XmlScanner(const QByteArray &document)
{
    const auto *u = reinterpret_cast<const uchar *>(document.constData());
    const int size = document.size();
    const char *data = document.constData();
    const char *end = data + size;
    if (size >= 2 && ((u[0] == 0xFE && u[1] == 0xFF) || (u[0] == 0xFF && u[1] == 0xFE))) {
        if (!utf16ToUtf8(document, &m_converted)) {
            m_begin = m_pos = m_end = data;
            fail("malformed UTF-16", data);
            return;
        }
        data = m_converted.constData();
        end = data + m_converted.size();
    } else if (size >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
        data += 3;
    }
    m_begin = m_pos = data;
    m_end = end;
    if (const char *bad = firstInvalidByte(m_begin, m_end)) {
        m_pos = m_end;
        fail("a byte that is no UTF-8 of an XML character", bad);
    }
}

QString XmlScanner::toQString(std::string_view utf8)
{
    // QString::fromUtf8() drops a byte-order mark that starts its input, but
    // in a text U+FEFF is a character like any other.
    const std::string_view mark = "\xEF\xBB\xBF";
    size_t marks = 0;
    while (utf8.substr(3 * marks, 3) == mark)
        ++marks;
    const std::string_view rest = utf8.substr(3 * marks);
    const QString text = QString::fromUtf8(rest.data(), int(rest.size()));
    return marks == 0 ? text : QString(int(marks), QChar(0xFEFF)) + text;
}

QString XmlScanner::errorString() const
{
    return m_error;
}

bool XmlScanner::fail(const char *what, const char *where)
{
    if (m_token != Token::Error)
        m_error = QStringLiteral("%1 at byte %2").arg(QLatin1String(what)).arg(where - m_begin);
    m_token = Token::Error;
    return false;
}

std::string_view XmlScanner::attributeName(int index) const
{
    return index >= 0 && index < m_attributeCount ? m_attributes[size_t(index)].name : std::string_view();
}

std::string_view XmlScanner::attributeValue(int index) const
{
    if (index < 0 || index >= m_attributeCount)
        return {};
    const Attribute &a = m_attributes[size_t(index)];
    if (a.decodedFrom < 0)
        return a.raw;
    return std::string_view(m_attributeText).substr(size_t(a.decodedFrom), size_t(a.decodedLength));
}

std::string_view XmlScanner::attribute(std::string_view qualifiedName) const
{
    for (int i = 0; i < m_attributeCount; ++i) {
        if (m_attributes[size_t(i)].name == qualifiedName)
            return attributeValue(i);
    }
    return {};
}

bool XmlScanner::next()
{
    if (m_token == Token::Error || m_token == Token::Done)
        return false;
    if (m_emptyElement) {
        m_emptyElement = false;
        --m_depth;
        m_rootSeen = m_rootSeen || m_depth == 0;
        m_token = Token::End;
        return true;
    }
    // Between the tags of a sheet there is mostly nothing at all.
    if (left(m_pos) >= 2 && *m_pos == '<' && (m_pos[1] == '/' || isNameStart(m_pos[1])))
        return readTag();
    if (!scanToTag(nullptr))
        return false;
    if (m_pos == m_end) {
        if (!isOutsideRoot())
            return fail("the document ends inside an element", m_pos);
        if (!m_rootSeen)
            return fail("no root element", m_pos);
        m_token = Token::Done;
        return false;
    }
    return readTag();
}

bool XmlScanner::readText(std::string_view *text)
{
    *text = {};
    if (m_token != Token::Start)
        return false;
    if (!m_emptyElement) {
        // Most elements hold text, maybe with references, and then their end
        // tag: read in one pass, and when there was nothing to replace the
        // text is a view into the document.
        const char *p = m_pos;
        const char *run = p;
        m_text.clear();
        bool copied = false;
        for (;;) {
            while (p < m_end && !is(*p, TextStop))
                ++p;
            if (p < m_end && *p == '&') {
                m_text.append(run, size_t(p - run));
                if (!decodeReference(p, m_end, &m_text))
                    return false;
                copied = true;
                run = p;
                continue;
            }
            if (p < m_end && *p == '<' && left(p) >= 2 && p[1] == '/') {
                m_pos = p;
                if (!readEndTag())
                    return false;
                if (!copied) {
                    *text = std::string_view(run, size_t(p - run));
                } else {
                    m_text.append(run, size_t(p - run));
                    *text = m_text;
                }
                return true;
            }
            break; // markup inside, a line end or '>': read the long way
        }
    }
    m_text.clear();
    if (!readContent(&m_text))
        return false;
    *text = m_text;
    return true;
}

bool XmlScanner::skipCurrentElement()
{
    return m_token == Token::Start && readContent(nullptr);
}

bool XmlScanner::readContent(std::string *sink)
{
    if (m_emptyElement)
        return next();
    const int depth = m_depth;
    for (;;) {
        if (!scanToTag(sink))
            return false;
        if (m_pos == m_end)
            return fail("the document ends inside an element", m_pos);
        if (!readTag())
            return false;
        if (m_token == Token::Start && m_emptyElement) {
            m_emptyElement = false;
            --m_depth;
        } else if (m_token == Token::End && m_depth < depth) {
            return true;
        }
    }
}

bool XmlScanner::scanToTag(std::string *sink)
{
    for (;;) {
        const auto *lt = m_pos < m_end && *m_pos == '<'
            ? m_pos
            : static_cast<const char *>(std::memchr(m_pos, '<', size_t(left(m_pos))));
        const char *textEnd = lt ? lt : m_end;
        if (!checkText(m_pos, textEnd, sink))
            return false;
        m_pos = textEnd;
        if (!lt)
            return true;
        if (left(lt) >= 2 && (lt[1] == '/' || isNameStart(lt[1])))
            return true; // a tag
        const std::string_view markup(lt, size_t(left(lt)));
        if (markup.substr(0, 2) == "<?") {
            const char *close = find(lt + 2, m_end, "?>");
            const char *p = lt + 2;
            const std::string_view target = readName(p, m_end);
            if (!close || target.empty() || (p < close && !isBlank(*p)))
                return fail("a malformed processing instruction", lt);
            if (target == "xml" && (lt != m_begin || !checkDeclaration(p, close)))
                return fail("a malformed or misplaced XML declaration", lt);
            m_pos = close + 2;
        } else if (markup.substr(0, 4) == "<!--") {
            // "--" may only end a comment.
            const char *dashes = find(lt + 4, m_end, "--");
            if (!dashes || left(dashes) < 3 || dashes[2] != '>')
                return fail("a malformed comment", lt);
            m_pos = dashes + 3;
        } else if (markup.substr(0, 9) == "<![CDATA[") {
            const char *close = find(lt + 9, m_end, "]]>");
            if (isOutsideRoot() || !close)
                return fail("a misplaced or unterminated CDATA section", lt);
            if (sink)
                appendText(sink, lt + 9, close);
            m_pos = close + 3;
        } else if (markup.substr(0, 2) == "<!") {
            return fail("a declaration, which a package part may not hold", lt);
        } else {
            return true;
        }
    }
}

bool XmlScanner::checkText(const char *from, const char *to, std::string *sink)
{
    if (from == to)
        return true;
    if (isOutsideRoot()) {
        for (const char *p = from; p < to; ++p) {
            if (!is(*p, Blank))
                return fail("text outside the root element", p);
        }
        return true;
    }
    const char *p = from;
    while (p < to) {
        const char *run = p;
        while (p < to && !is(*p, TextSpecial))
            ++p;
        if (sink)
            sink->append(run, size_t(p - run));
        if (p == to)
            break;
        if (*p == '&') {
            if (!decodeReference(p, to, sink))
                return false;
        } else if (*p == '\r') {
            if (sink)
                sink->push_back('\n');
            p += p + 1 < to && p[1] == '\n' ? 2 : 1;
        } else {
            if (p - from >= 2 && p[-1] == ']' && p[-2] == ']')
                return fail("\"]]>\" in text", p - 2);
            if (sink)
                sink->push_back('>');
            ++p;
        }
    }
    return true;
}

bool XmlScanner::decodeReference(const char *&p, const char *to, std::string *out)
{
    const char *at = p;
    ++p;
    if (p < to && *p == '#') {
        ++p;
        const bool hex = p < to && *p == 'x';
        if (hex)
            ++p;
        quint32 code = 0;
        int digits = 0;
        for (; p < to && *p != ';'; ++p, ++digits) {
            const char c = *p;
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                digit = (c | 0x20) - 'a' + 10;
            if (digit < 0)
                return fail("a malformed character reference", at);
            code = code * (hex ? 16 : 10) + quint32(digit);
            if (code > 0x10FFFF)
                return fail("a character reference beyond Unicode", at);
        }
        if (p == to || digits == 0 || !isXmlChar(code))
            return fail("a malformed character reference", at);
        ++p;
        if (out)
            appendUtf8(out, code);
        return true;
    }
    const char *semicolon = p;
    while (semicolon < to && semicolon - p < 5 && *semicolon != ';')
        ++semicolon;
    const std::string_view entity(p, size_t(semicolon - p));
    char c = 0;
    if (entity == "lt")
        c = '<';
    else if (entity == "gt")
        c = '>';
    else if (entity == "amp")
        c = '&';
    else if (entity == "apos")
        c = '\'';
    else if (entity == "quot")
        c = '"';
    if (c == 0 || semicolon == to || *semicolon != ';')
        return fail("an unknown or unterminated entity reference", at);
    p = semicolon + 1;
    if (out)
        out->push_back(c);
    return true;
}

bool XmlScanner::readTag()
{
    return left(m_pos) >= 2 && m_pos[1] == '/' ? readEndTag() : readStartTag();
}


bool XmlScanner::readStartTag()
{
    const char *tag = m_pos;
    const char *p = tag + 1;
    const std::string_view name = readName(p, m_end);
    if (name.empty())
        return fail("a '<' that starts no tag", tag);
    if (isOutsideRoot() && m_rootSeen)
        return fail("a second root element", tag);
    if (m_depth == MAX_DEPTH)
        return fail("elements nested too deep", tag);
    m_attributeCount = 0;
    m_attributeText.clear();
    for (;;) {
        const char *blanks = p;
        while (p < m_end && isBlank(*p))
            ++p;
        if (p == m_end)
            return fail("a tag left open", tag);
        if (*p == '>') {
            ++p;
            m_emptyElement = false;
            break;
        }
        if (*p == '/') {
            if (left(p) < 2 || p[1] != '>')
                return fail("a malformed tag", tag);
            p += 2;
            m_emptyElement = true;
            break;
        }
        if (p == blanks)
            return fail("attributes not apart", p);
        if (!readAttribute(p))
            return false;
    }
    m_pos = p;
    m_open[size_t(m_depth++)] = name;
    m_name = name;
    m_localName = localPart(name);
    m_token = Token::Start;
    return true;
}

bool XmlScanner::readAttribute(const char *&p)
{
    const char *at = p;
    Attribute a;
    a.name = readName(p, m_end);
    while (p < m_end && isBlank(*p))
        ++p;
    if (a.name.empty() || p == m_end || *p != '=')
        return fail("a malformed attribute", at);
    ++p;
    while (p < m_end && isBlank(*p))
        ++p;
    if (p == m_end || (*p != '"' && *p != '\''))
        return fail("an attribute value without quotes", at);
    const char quote = *p++;
    // Values are short and mostly plain: one pass finds the closing quote
    // or the first byte that needs more than a copy.
    const char *special = p;
    while (special < m_end && *special != quote && !is(*special, Special))
        ++special;
    const char *close = special < m_end && *special == quote
        ? special
        : static_cast<const char *>(std::memchr(special, quote, size_t(left(special))));
    if (!close)
        return fail("an attribute value left open", at);
    if (special == close) {
        a.raw = std::string_view(p, size_t(close - p));
    } else {
        a.decodedFrom = int(m_attributeText.size());
        while (p < close) {
            if (*p == '<')
                return fail("'<' in an attribute value", p);
            if (*p == '&') {
                if (!decodeReference(p, close, &m_attributeText))
                    return false;
                continue;
            }
            // Line ends read as one blank, as every other blank does.
            m_attributeText.push_back(isBlank(*p) ? ' ' : *p);
            p += *p == '\r' && p + 1 < close && p[1] == '\n' ? 2 : 1;
        }
        a.decodedLength = int(m_attributeText.size()) - a.decodedFrom;
    }
    if (m_attributeCount == MAX_ATTRIBUTES)
        return fail("too many attributes", at);
    for (int i = 0; i < m_attributeCount; ++i) {
        if (m_attributes[size_t(i)].name == a.name)
            return fail("an attribute given twice", at);
    }
    m_attributes[size_t(m_attributeCount++)] = a;
    p = close + 1;
    return true;
}

bool XmlScanner::readEndTag()
{
    const char *tag = m_pos;
    const char *p = tag + 2;
    if (isOutsideRoot())
        return fail("an end tag that closes no open element", tag);
    // The only name that may follow is the open element's.
    const std::string_view name = m_open[size_t(m_depth - 1)];
    if (left(p) <= int(name.size()))
        return fail("an end tag that closes no open element", tag);
    for (const char c : name) {
        if (*p++ != c)
            return fail("an end tag that closes no open element", tag);
    }
    if (is(*p, NameChar) || *p == ':')
        return fail("an end tag that closes no open element", tag);
    while (p < m_end && isBlank(*p))
        ++p;
    if (p == m_end || *p != '>')
        return fail("a malformed end tag", tag);
    --m_depth;
    m_rootSeen = m_rootSeen || m_depth == 0;
    m_pos = p + 1;
    m_name = name;
    m_localName = localPart(name);
    m_token = Token::End;
    return true;
}
