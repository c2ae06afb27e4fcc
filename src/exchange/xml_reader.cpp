#include "exchange/xml_reader.h"

#include <algorithm>

namespace kv {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool startsWith(std::string_view text, std::size_t pos, std::string_view prefix)
{
    return text.size() - pos >= prefix.size() && text.compare(pos, prefix.size(), prefix) == 0;
}

// A name as a message shows it: only the names of the KeePass 2 XML format. A
// stray '<' in a field's text (a file edited by hand) makes what follows it read
// as a name, and that may be part of a password: such a name is never quoted.
std::string shown(std::string_view name)
{
    // clang-format off
    static constexpr std::string_view Known[] = {
        "KeePassFile", "Meta", "Generator", "DatabaseName", "Root", "Group", "Name", "UUID", "Entry", "String",
        "Key", "Value", "Times", "CreationTime", "LastModificationTime", "LastAccessTime", "LocationChanged",
        "ExpiryTime", "Expires", "UsageCount", "History", "AutoType", "Binary", "Binaries", "Notes", "IconID",
        "CustomData", "Item", "DeletedObjects", "DeletedObject", "DeletionTime", "RecycleBinUUID",
        "RecycleBinEnabled", "MemoryProtection", "Tags", "Protected", "ProtectInMemory", "Ref", "ID", "Compressed"};
    // clang-format on
    return std::find(std::begin(Known), std::end(Known), name) != std::end(Known) ? std::string(name) : "...";
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Appends `raw` with CR LF and lone CR made LF, as every XML reader must.
void appendNormalized(std::string& out, std::string_view raw)
{
    for (;;) {
        const std::size_t cr = raw.find('\r');
        if (cr == std::string_view::npos) {
            out += raw;
            return;
        }
        out += raw.substr(0, cr);
        out += '\n';
        raw.remove_prefix(cr + 1);
        if (!raw.empty() && raw.front() == '\n')
            raw.remove_prefix(1);
    }
}

// The character a reference such as "#233" or "#xE9" stands for, or 0.
char32_t characterReference(std::string_view reference)
{
    reference.remove_prefix(1); // '#'
    int base = 10;
    if (!reference.empty() && reference.front() == 'x') {
        base = 16;
        reference.remove_prefix(1);
    }
    if (reference.empty())
        return 0;
    char32_t value = 0;
    for (const char c : reference) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return 0;
        value = value * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
        if (value > 0x10FFFF)
            return 0;
    }
    return isXmlChar(value) ? value : 0;
}

} // namespace

XmlReader::Token XmlReader::fail(std::size_t at, std::string_view why)
{
    int line = 1;
    const std::string_view before = m_text.substr(0, std::min(at, m_text.size()));
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == '\n' || (before[i] == '\r' && (i + 1 >= m_text.size() || m_text[i + 1] != '\n')))
            ++line;
    }
    m_error = "line " + std::to_string(line) + ": ";
    m_error += why;
    m_pos = m_text.size();
    return Token::Error;
}

XmlReader::Token XmlReader::next()
{
    if (!m_error.empty())
        return Token::Error;
    if (m_closeEmpty) {
        m_closeEmpty = false;
        m_name = m_open.back();
        m_open.pop_back();
        return Token::EndElement;
    }
    for (;;) {
        if (m_rootSeen && m_open.empty())
            return Token::End; // whatever follows the root element is not read
        if (m_pos >= m_text.size()) {
            if (!m_open.empty())
                return fail(m_pos, "the file ends inside <" + shown(m_open.back()) + ">");
            return fail(m_pos, "no root element");
        }
        if (m_text[m_pos] != '<') {
            const std::size_t lt = std::min(m_text.find('<', m_pos), m_text.size());
            const std::string_view raw = m_text.substr(m_pos, lt - m_pos);
            if (m_open.empty()) {
                if (!std::all_of(raw.begin(), raw.end(), isSpace))
                    return fail(m_pos, "text outside the root element");
                m_pos = lt;
                continue;
            }
            m_textOut.clear();
            if (!decode(raw, m_pos, m_textOut))
                return Token::Error;
            m_pos = lt;
            return Token::Text;
        }
        if (startsWith(m_text, m_pos, "<!--")) {
            const std::size_t end = m_text.find("-->", m_pos + 4);
            if (end == std::string_view::npos)
                return fail(m_pos, "unterminated comment");
            m_pos = end + 3;
            continue;
        }
        if (startsWith(m_text, m_pos, "<?")) {
            const std::size_t end = m_text.find("?>", m_pos + 2);
            if (end == std::string_view::npos)
                return fail(m_pos, "unterminated processing instruction");
            m_pos = end + 2;
            continue;
        }
        if (startsWith(m_text, m_pos, "<![CDATA[")) {
            if (m_open.empty())
                return fail(m_pos, "CDATA outside the root element");
            const std::size_t start = m_pos + 9;
            const std::size_t end = m_text.find("]]>", start);
            if (end == std::string_view::npos)
                return fail(m_pos, "unterminated CDATA section");
            m_textOut.clear();
            appendNormalized(m_textOut, m_text.substr(start, end - start));
            m_pos = end + 3;
            return Token::Text;
        }
        if (startsWith(m_text, m_pos, "<!DOCTYPE")) {
            if (m_rootSeen)
                return fail(m_pos, "DOCTYPE inside the root element");
            if (!skipDoctype())
                return Token::Error;
            continue;
        }
        if (startsWith(m_text, m_pos, "<!"))
            return fail(m_pos, "unexpected declaration");
        if (startsWith(m_text, m_pos, "</"))
            return readEndTag();
        return readTag();
    }
}

bool XmlReader::skipDoctype()
{
    // Skipped as it stands: the internal subset's declarations are never read, so
    // no entity it declares can be used (one that is, is an unknown entity).
    const std::size_t start = m_pos;
    char quote = 0;
    bool inSubset = false;
    for (std::size_t i = m_pos + 9; i < m_text.size(); ++i) {
        const char c = m_text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (inSubset) {
            if (c == ']') {
                inSubset = false;
            } else if (startsWith(m_text, i, "<!--") || startsWith(m_text, i, "<?")) {
                const bool comment = m_text[i + 1] == '!';
                const std::size_t end = m_text.find(comment ? "-->" : "?>", i + 2);
                if (end == std::string_view::npos)
                    break;
                i = end + (comment ? 2 : 1);
            }
        } else if (c == '[') {
            inSubset = true;
        } else if (c == '>') {
            m_pos = i + 1;
            return true;
        }
    }
    fail(start, "unterminated DOCTYPE");
    return false;
}

std::string_view XmlReader::readName()
{
    const std::size_t start = m_pos;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (isSpace(c) || c == '/' || c == '>' || c == '<' || c == '=' || c == '"' || c == '\'')
            break;
        ++m_pos;
    }
    return m_text.substr(start, m_pos - start);
}

void XmlReader::skipSpace()
{
    while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
        ++m_pos;
}

XmlReader::Token XmlReader::readTag()
{
    const std::size_t start = m_pos++;
    const std::string_view name = readName();
    if (name.empty())
        return fail(start, "a '<' that starts no tag");
    for (;;) {
        skipSpace();
        if (m_pos >= m_text.size())
            return fail(start, "unterminated tag <" + shown(name) + ">");
        const char c = m_text[m_pos];
        if (c == '>') {
            ++m_pos;
            break;
        }
        if (c == '/') {
            if (!startsWith(m_text, m_pos, "/>"))
                return fail(m_pos, "unexpected '/' in <" + shown(name) + ">");
            m_pos += 2;
            m_closeEmpty = true;
            break;
        }
        const std::size_t attributeAt = m_pos;
        const std::string_view attribute = readName();
        skipSpace();
        if (attribute.empty() || m_pos >= m_text.size() || m_text[m_pos] != '=')
            return fail(attributeAt, "bad attribute in <" + shown(name) + ">");
        ++m_pos;
        skipSpace();
        if (m_pos >= m_text.size() || (m_text[m_pos] != '"' && m_text[m_pos] != '\''))
            return fail(attributeAt, "attribute " + shown(attribute) + " has no quoted value");
        const char quote = m_text[m_pos++];
        const std::size_t end = m_text.find(quote, m_pos);
        if (end == std::string_view::npos)
            return fail(attributeAt, "unterminated attribute value");
        const std::string_view raw = m_text.substr(m_pos, end - m_pos);
        if (raw.find('<') != std::string_view::npos)
            return fail(attributeAt, "'<' in an attribute value");
        // No attribute matters to what we read, but a broken one still means a broken file.
        m_attribute.clear();
        if (!decode(raw, m_pos, m_attribute))
            return Token::Error;
        m_pos = end + 1;
    }
    if (m_open.size() >= m_maxDepth) {
        m_closeEmpty = false;
        return fail(start, "elements nested deeper than " + std::to_string(m_maxDepth));
    }
    m_open.push_back(name);
    m_rootSeen = true;
    m_name = name;
    return Token::StartElement;
}

XmlReader::Token XmlReader::readEndTag()
{
    const std::size_t start = m_pos;
    m_pos += 2;
    const std::string_view name = readName();
    skipSpace();
    if (m_pos >= m_text.size() || m_text[m_pos] != '>')
        return fail(start, "unterminated end tag </" + shown(name) + ">");
    ++m_pos;
    if (m_open.empty())
        return fail(start, "</" + shown(name) + "> closes no element");
    if (name != m_open.back())
        return fail(start, "</" + shown(name) + "> does not close <" + shown(m_open.back()) + ">");
    m_open.pop_back();
    m_name = name;
    return Token::EndElement;
}

bool XmlReader::decode(std::string_view raw, std::size_t rawAt, std::string& out)
{
    // The longest reference worth reading ("&#x0010FFFF;" and a few leading zeros); a
    // bounded look for the ';' keeps a text of many bare '&' linear.
    constexpr std::size_t longestReference = 32;
    std::size_t i = 0;
    for (;;) {
        const std::size_t amp = raw.find('&', i);
        appendNormalized(out, raw.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
        if (amp == std::string_view::npos)
            return true;
        const std::size_t semicolon = raw.substr(amp, longestReference).find(';');
        if (semicolon == std::string_view::npos) {
            fail(rawAt + amp, "a '&' that starts no entity");
            return false;
        }
        const std::string_view entity = raw.substr(amp + 1, semicolon - 1);
        if (entity == "lt") {
            out += '<';
        } else if (entity == "gt") {
            out += '>';
        } else if (entity == "amp") {
            out += '&';
        } else if (entity == "quot") {
            out += '"';
        } else if (entity == "apos") {
            out += '\'';
        } else if (!entity.empty() && entity.front() == '#') {
            const char32_t c = characterReference(entity);
            if (c == 0) {
                fail(rawAt + amp, "a bad character reference");
                return false;
            }
            appendUtf8(out, c);
        } else {
            fail(rawAt + amp, "an unknown entity");
            return false;
        }
        i = amp + semicolon + 1;
    }
}

} // namespace kv
