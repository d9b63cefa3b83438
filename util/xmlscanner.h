#pragma once

// A pull reader for the XML parts of a spreadsheet package, working on the
// inflated UTF-8 bytes as they are. Qt's stream reader decodes every name,
// attribute and text to UTF-16 and builds namespace tables, which cost many
// times the inflating of the part; a sheet needs a few element kinds and the
// texts of some of them, so this reader hands out views into the bytes and
// decodes only what a caller turns into text.
//
// It is the one gate through which the package's XML is read: every read
// of the document's bytes is checked against its end, and whatever it
// accepts is well-formed XML (UTF-8 or UTF-16 by byte-order mark, tags
// balanced, attributes and references complete, one root element). A
// package part holds no document type declaration, so none is accepted,
// and with it no entity beyond the five predefined ones. Prefixes are kept
// in qualified names but not resolved to namespaces. Nesting deeper than
// MAX_DEPTH and tags with more than MAX_ATTRIBUTES attributes are refused,
// which bounds the memory and time any part can cost.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <string>
#include <array>
#include <string_view>

class XmlScanner
{
public:
    static constexpr int MAX_DEPTH = 256;
    static constexpr int MAX_ATTRIBUTES = 64;

    // Reads document, which must stay unchanged while the scanner lives.
    explicit XmlScanner(const QByteArray &document);

    // Moves to the next start or end tag, passing over text, comments,
    // processing instructions and CDATA sections (all checked). False at the
    // end of the document and on the first error; an empty-element tag gives
    // a start and then an end.
    bool next();
    bool isStartElement() const { return m_token == Token::Start; }
    bool isEndElement() const { return m_token == Token::End; }
    bool hasError() const { return m_token == Token::Error; }
    // What was wrong and where, for the log; empty without an error.
    QString errorString() const;

    // The current tag's name without its prefix, and with it.
    std::string_view name() const { return m_localName; }
    std::string_view qualifiedName() const { return m_name; }

    // Attributes of the current start tag, values with their references
    // replaced and blanks normalised as XML asks.
    int attributeCount() const { return m_attributeCount; }
    // Empty for an index out of range.
    std::string_view attributeName(int index) const;
    std::string_view attributeValue(int index) const;
    // The value of the attribute of that qualified name; empty when absent.
    std::string_view attribute(std::string_view qualifiedName) const;

    // On a start tag: the next child's start tag. False, standing on the
    // element's end tag, when it has no more children (or on an error).
    // Children the caller does not read must be skipped.
    bool readNextStartElement() { return next() && isStartElement(); }
    // On a start tag: the character data of the element and everything in
    // it, and leaves the reader on the element's end tag. The view is valid
    // until the next call of readText(). False on an error or when not on a
    // start tag.
    bool readText(std::string_view *text);
    // On a start tag: passes over the element; leaves the reader on its end.
    bool skipCurrentElement();

    static QString toQString(std::string_view utf8);

private:
    enum class Token { None, Start, End, Done, Error };
    struct Attribute {
        std::string_view name;
        std::string_view raw; // as written, when nothing needed replacing
        int decodedFrom = -1; // else its place in m_attributeText
        int decodedLength = 0;
    };

    bool fail(const char *what, const char *where);
    // Passes over character data and the markup that is not a tag, stopping
    // at the '<' of a tag or the end of the input; text and CDATA go to sink
    // when one is given.
    bool scanToTag(std::string *sink);
    // Reads the tag at m_pos; false on an error or at the end of the input.
    bool readTag();
    bool readStartTag();
    bool readEndTag();
    bool readAttribute(const char *&p);
    // Reads the element the reader stands on up to its end, its character
    // data to sink when one is given.
    bool readContent(std::string *sink);
    bool checkText(const char *from, const char *to, std::string *sink);
    bool decodeReference(const char *&p, const char *to, std::string *out);
    bool isOutsideRoot() const { return m_depth == 0; }
    int left(const char *p) const { return int(m_end - p); }

    QByteArray m_converted; // the document as UTF-8, when it came as UTF-16
    const char *m_begin = nullptr;
    const char *m_pos = nullptr;
    const char *m_end = nullptr;
    Token m_token = Token::None;
    bool m_emptyElement = false; // the start tag just read ended with "/>"
    bool m_rootSeen = false;
    std::array<std::string_view, MAX_DEPTH> m_open; // names of the open elements
    int m_depth = 0;
    std::string_view m_name;
    std::string_view m_localName;
    std::array<Attribute, MAX_ATTRIBUTES> m_attributes;
    int m_attributeCount = 0;
    std::string m_attributeText;
    std::string m_text;
    QString m_error;
};
