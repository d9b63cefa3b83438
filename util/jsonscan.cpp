#include "util/jsonscan.h"

#include <QBitArray>
#include <QJsonArray>
#include <QJsonDocument>

#include <functional>

namespace JsonScan {
namespace {

// Deeper nesting is left to Qt's parser, whose own limit is higher.
constexpr int MAX_DEPTH = 256;
// Longer numbers without an exponent may overflow a double; Qt decides them.
constexpr int MAX_PLAIN_NUMBER = 300;

class Scanner
{
public:
    explicit Scanner(const QByteArray &text)
        : m_data(reinterpret_cast<const unsigned char *>(text.constData()))
        , m_pos(0)
        , m_end(text.size())
    {
    }

    int pos() const { return m_pos; }
    const unsigned char *data() const { return m_data; }
    bool atEnd() const { return m_pos >= m_end; }
    unsigned char peek() const { return m_data[m_pos]; }
    void advance() { ++m_pos; }

    void skipBlanks()
    {
        while (m_pos < m_end) {
            const unsigned char c = m_data[m_pos];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
            ++m_pos;
        }
    }

    bool skipBom()
    {
        if (m_end >= 3 && m_data[0] == 0xEF && m_data[1] == 0xBB && m_data[2] == 0xBF)
            m_pos = 3;
        return true;
    }

    bool value(int depth)
    {
        if (atEnd())
            return false;
        switch (peek()) {
        case '{': return object(depth + 1, [](int, int, bool, int, int) {});
        case '[': return array(depth + 1, [this, depth] { return value(depth + 1); });
        case '"': return string(nullptr);
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return number();
        }
    }

    // Scans a string starting at its opening quote; `escaped` tells whether it
    // held any escape.
    bool string(bool *escaped)
    {
        ++m_pos; // opening quote
        bool sawEscape = false;
        while (m_pos < m_end) {
            const unsigned char c = m_data[m_pos];
            if (c == '"') {
                ++m_pos;
                if (escaped)
                    *escaped = sawEscape;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                sawEscape = true;
                if (!escape())
                    return false;
                continue;
            }
            if (c >= 0x80) {
                if (!utf8())
                    return false;
                continue;
            }
            ++m_pos;
        }
        return false;
    }

    // An object starting at its brace; `member(keyBegin, keyEnd, keyEscaped,
    // valueBegin, valueEnd)` is told of every member.
    template<typename Member>
    bool object(int depth, Member member)
    {
        if (depth > MAX_DEPTH)
            return false;
        if (opens('}'))
            return true;
        for (bool closed = false; !closed;) {
            skipBlanks();
            if (atEnd() || peek() != '"')
                return false;
            const int keyBegin = m_pos;
            bool escaped = false;
            if (!string(&escaped))
                return false;
            const int keyEnd = m_pos;
            skipBlanks();
            if (atEnd() || peek() != ':')
                return false;
            ++m_pos;
            skipBlanks();
            const int valueBegin = m_pos;
            if (!value(depth))
                return false;
            member(keyBegin, keyEnd, escaped, valueBegin, m_pos);
            if (!follows('}', &closed))
                return false;
        }
        return true;
    }

    // An array starting at its bracket; `element()` scans each element.
    template<typename Element>
    bool array(int depth, Element element)
    {
        if (depth > MAX_DEPTH)
            return false;
        if (opens(']'))
            return true;
        for (bool closed = false; !closed;) {
            skipBlanks();
            if (atEnd() || !element())
                return false;
            if (!follows(']', &closed))
                return false;
        }
        return true;
    }

private:
    // Steps over an opening bracket; true when the closing one follows at once.
    bool opens(unsigned char close)
    {
        ++m_pos;
        skipBlanks();
        if (!atEnd() && peek() == close) {
            ++m_pos;
            return true;
        }
        return false;
    }

    // After a member or element: a comma (more follow) or the closing bracket.
    bool follows(unsigned char close, bool *closed)
    {
        skipBlanks();
        if (atEnd() || (peek() != close && peek() != ','))
            return false;
        *closed = peek() == close;
        ++m_pos;
        return true;
    }

    bool literal(const char *word)
    {
        for (const char *w = word; *w; ++w) {
            if (atEnd() || peek() != static_cast<unsigned char>(*w))
                return false;
            ++m_pos;
        }
        return true;
    }

    bool digits()
    {
        const int start = m_pos;
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            ++m_pos;
        return m_pos > start;
    }

    bool number()
    {
        const int start = m_pos;
        if (!atEnd() && peek() == '-')
            ++m_pos;
        if (atEnd())
            return false;
        if (peek() == '0') {
            ++m_pos;
        } else if (!digits()) {
            return false;
        }
        if (!atEnd() && peek() == '.') {
            ++m_pos;
            if (!digits())
                return false;
        }
        bool exponent = false;
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            exponent = true;
            ++m_pos;
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                ++m_pos;
            if (!digits())
                return false;
        }
        // Only an exponent or a very long mantissa can leave the double range,
        // which Qt refuses; check just those few.
        if (exponent || m_pos - start > MAX_PLAIN_NUMBER) {
            bool ok = false;
            const QByteArray text(reinterpret_cast<const char *>(m_data + start), m_pos - start);
            const double d = text.toDouble(&ok);
            if (!ok || d - d != 0.0)
                return false;
        }
        return true;
    }

    int hex4()
    {
        if (m_end - m_pos < 4)
            return -1;
        int v = 0;
        for (int i = 0; i < 4; ++i) {
            const unsigned char c = m_data[m_pos + i];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return -1;
            v = v * 16 + d;
        }
        m_pos += 4;
        return v;
    }

    bool escape()
    {
        ++m_pos; // backslash
        if (atEnd())
            return false;
        const unsigned char c = peek();
        ++m_pos;
        switch (c) {
        case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
            return true;
        case 'u': {
            const int unit = hex4();
            if (unit < 0)
                return false;
            if (unit >= 0xDC00 && unit <= 0xDFFF)
                return false; // a low surrogate alone
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (m_end - m_pos < 2 || m_data[m_pos] != '\\' || m_data[m_pos + 1] != 'u')
                    return false;
                m_pos += 2;
                const int low = hex4();
                return low >= 0xDC00 && low <= 0xDFFF;
            }
            return true;
        }
        default:
            return false;
        }
    }

    // One UTF-8 sequence beginning at a byte >= 0x80: shortest form, no
    // surrogates, nothing beyond U+10FFFF.
    bool utf8()
    {
        const unsigned char c = m_data[m_pos];
        int extra;
        unsigned int cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (m_end - m_pos <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            const unsigned char cc = m_data[m_pos + i];
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        m_pos += extra + 1;
        return true;
    }

    const unsigned char *m_data;
    int m_pos;
    int m_end;
};

// The text of a key as the parser sees it: escapes are decoded by Qt itself
// (keys with escapes are rare enough not to matter for speed).
QByteArray keyText(const QByteArray &text, int begin, int end, bool escaped)
{
    if (!escaped) // a view into the text, compared at once
        return QByteArray::fromRawData(text.constData() + begin + 1, end - begin - 2);
    const QByteArray raw = text.mid(begin, end - begin);
    const QJsonArray array = QJsonDocument::fromJson('[' + raw + ']').array();
    return array.isEmpty() ? QByteArray() : array.at(0).toString().toUtf8();
}

// The first member of each wanted key of the object whose text lies at
// [begin, end), as a JSON object text. Qt's parser keeps an arbitrary one of
// duplicate keys (it depends on the other keys around them), so the first is
// the only choice every reader of the text can agree on.
class Picker
{
public:
    Picker(const QByteArray &text, const QByteArrayList &wanted, QByteArray *picked)
        : m_text(text)
        , m_wanted(wanted)
        , m_picked(picked)
        , m_seen(wanted.size())
    {
        m_picked->append('{');
    }

    void operator()(int keyBegin, int keyEnd, bool escaped, int valueBegin, int valueEnd)
    {
        const int wanted = m_wanted.indexOf(keyText(m_text, keyBegin, keyEnd, escaped));
        if (wanted < 0 || m_seen.testBit(wanted))
            return;
        m_seen.setBit(wanted);
        if (m_picked->size() > 1)
            m_picked->append(',');
        m_picked->append(m_text.constData() + keyBegin, keyEnd - keyBegin);
        m_picked->append(':');
        m_picked->append(m_text.constData() + valueBegin, valueEnd - valueBegin);
    }

    void finish() { m_picked->append('}'); }

private:
    const QByteArray &m_text;
    const QByteArrayList &m_wanted;
    QByteArray *m_picked;
    QBitArray m_seen;
};

} // namespace

bool splitArray(const QByteArray &text, const QByteArrayList &wantedKeys, QVector<Element> *elements)
{
    elements->clear();
    Scanner s(text);
    s.skipBom();
    s.skipBlanks();
    if (s.atEnd() || s.peek() != '[')
        return false;
    const bool ok = s.array(0, [&] {
        Element element;
        element.begin = s.pos();
        if (s.peek() == '{') {
            element.isObject = true;
            Picker picker(text, wantedKeys, &element.picked);
            if (!s.object(1, std::ref(picker)))
                return false;
            picker.finish();
        } else {
            element.picked = QByteArrayLiteral("{}");
            if (!s.value(0))
                return false;
        }
        element.length = s.pos() - element.begin;
        elements->append(element);
        return true;
    });
    if (!ok)
        return false;
    s.skipBlanks();
    return s.atEnd();
}

} // namespace JsonScan
