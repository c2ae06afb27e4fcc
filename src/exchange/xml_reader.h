#pragma once
// A small non-validating XML reader that hands out one piece at a time: start
// and end tags, and text (the five predefined entities, character references
// and CDATA decoded, line ends made LF). Comments, processing instructions and a
// DOCTYPE are skipped; nothing in a DOCTYPE is ever expanded or fetched. It keeps
// only the names of the open elements, so memory stays bounded by the nesting,
// which is capped.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class XmlReader
{
public:
    enum class Token { StartElement, EndElement, Text, End, Error };

    XmlReader(std::string_view text, std::size_t maxDepth) : m_text(text), m_maxDepth(maxDepth)
    {
        // XML holds no NUL, raw or as a reference: a text with one is no XML.
        if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
            fail(nul, "a NUL byte, which XML cannot hold");
    }

    // The next piece of the document. After the root element closes, End.
    Token next();
    // The element a StartElement or EndElement token is about.
    std::string_view name() const { return m_name; }
    // The decoded characters of a Text token; one element's text may come in several.
    const std::string& text() const { return m_textOut; }
    // Why the document was refused, "line N: ...".
    const std::string& error() const { return m_error; }

private:
    Token fail(std::size_t at, std::string_view why);
    Token readTag();
    Token readEndTag();
    bool skipDoctype();
    bool decode(std::string_view raw, std::size_t rawAt, std::string& out);
    std::string_view readName();
    void skipSpace();

    std::string_view m_text;
    std::size_t m_maxDepth;
    std::size_t m_pos = 0;
    std::vector<std::string_view> m_open;
    bool m_rootSeen = false;
    bool m_closeEmpty = false; // the last start tag ended in "/>"
    std::string_view m_name;
    std::string m_textOut;
    std::string m_attribute; // scratch for attribute values, checked and dropped
    std::string m_error;
};

} // namespace kv
