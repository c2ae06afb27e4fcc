#include "settings/reg_file_document.h"

#include "settings/registry.h"

#include <optional>

namespace kv {

namespace {

constexpr std::string_view Header = "REGEDIT4";
constexpr std::string_view HiveName = "HKEY_CURRENT_USER";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A physical line without its line break.
std::string_view content(std::string_view raw)
{
    if (!raw.empty() && raw.back() == '\n')
        raw.remove_suffix(1);
    if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    return raw;
}

// Upper case over Windows-1252, the way the registry compares names.
char foldByte(char ch)
{
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return static_cast<char>(0x8A);
    case 0x9C:
        return static_cast<char>(0x8C);
    case 0x9E:
        return static_cast<char>(0x8E);
    case 0xFF:
        return static_cast<char>(0x9F);
    default:
        return ch;
    }
}

std::string fold(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = foldByte(c);
    return out;
}

// "Software\X\" and "Software\X" name the same key.
std::string_view withoutTrailingSeparators(std::string_view path)
{
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

std::string foldedKey(std::string_view path)
{
    return fold(withoutTrailingSeparators(path));
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && fold(s.substr(0, prefix.size())) == fold(prefix);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to `maxDigits` hexadecimal digits and nothing else.
std::optional<std::uint32_t> parseHex(std::string_view s, std::size_t maxDigits)
{
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return value;
}

// A quoted text at the start of `s`, with \\ and \" undone; `s` moves past it.
std::optional<std::string> takeQuoted(std::string_view& s)
{
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// "aa,bb,..." as bytes; the empty list is no bytes.
std::optional<std::string> parseByteList(std::string_view list)
{
    std::string bytes;
    list = trimRight(trimLeft(list));
    if (list.empty())
        return bytes;
    while (true) {
        const std::size_t comma = list.find(',');
        const auto digits = parseHex(trimRight(trimLeft(list.substr(0, comma))), 2);
        if (!digits)
            return std::nullopt;
        bytes += static_cast<char>(*digits);
        if (comma == std::string_view::npos)
            return bytes;
        list.remove_prefix(comma + 1);
    }
}

std::string byteList(std::string_view bytes)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i > 0)
            out += ',';
        out += Digits[b >> 4];
        out += Digits[b & 0xF];
    }
    return out;
}

std::string hexNumber(std::uint32_t value, int minDigits)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), Digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(out.size()) < minDigits)
        out.insert(out.begin(), '0');
    return out;
}

// The text after "=" for a value, in the form regedit itself writes.
std::string formatData(std::uint32_t type, std::string_view bytes)
{
    if (type == RegTypeString && !bytes.empty() && bytes.back() == '\0') {
        const std::string_view text = bytes.substr(0, bytes.size() - 1);
        // A quoted string cannot hold a line break or a zero; such a text keeps its
        // exact bytes in the hex(1) form instead.
        if (text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos)
            return quoted(text);
    }
    if (type == RegTypeNumber && bytes.size() == 4) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        return "dword:" + hexNumber(value, 8);
    }
    if (type == RegTypeBinary)
        return "hex:" + byteList(bytes);
    return "hex(" + hexNumber(type, 1) + "):" + byteList(bytes);
}

} // namespace

RegFileDocument RegFileDocument::parse(std::string_view text)
{
    RegFileDocument doc;
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    if (!lines.empty()) {
        const std::string_view first = lines.front();
        if (first.size() >= 2 && first.ends_with("\r\n"))
            doc.m_eol = "\r\n";
        else if (first.ends_with('\n'))
            doc.m_eol = "\n";
        doc.m_hasHeader = trimRight(content(first)) == Header;
    }

    for (std::size_t i = 0; i < lines.size(); ++i) {
        Entry entry;
        entry.raw = lines[i];
        const std::string_view line = trimLeft(content(lines[i]));
        if (i == 0 && doc.m_hasHeader) {
            // The header stays an ordinary line.
        } else if (line.starts_with('[')) {
            // Anything bracketed starts a new section, so values after a section we
            // cannot read never leak into the key before it.
            entry.kind = Kind::Section;
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                const std::string_view inner = line.substr(1, close - 1);
                const std::size_t separator = inner.find('\\');
                const std::string_view hive = inner.substr(0, separator);
                if (fold(hive) == HiveName) {
                    entry.currentUser = true;
                    entry.key = separator == std::string_view::npos ? "" : inner.substr(separator + 1);
                }
            }
        } else if (line.starts_with('"') || line.starts_with('@')) {
            std::string_view rest = line;
            std::optional<std::string> name;
            if (rest.front() == '@') {
                name = std::string();
                rest.remove_prefix(1);
            } else {
                name = takeQuoted(rest);
            }
            rest = trimLeft(rest);
            if (name && rest.starts_with('=')) {
                entry.kind = Kind::Value;
                entry.name = *name;
                std::string data(trimLeft(rest.substr(1)));
                if (startsWithNoCase(data, "hex")) {
                    // A long list goes on over lines that end with a backslash.
                    while (trimRight(data).ends_with('\\') && i + 1 < lines.size()) {
                        data = std::string(trimRight(data));
                        data.pop_back();
                        entry.raw += lines[++i];
                        data += content(lines[i]);
                    }
                }
                std::string_view value = trimRight(data);
                if (value.starts_with('"')) {
                    const auto text = takeQuoted(value);
                    if (text && value.empty()) {
                        entry.type = RegTypeString;
                        entry.bytes = *text + '\0';
                    }
                } else if (value == "-") {
                    entry.deleted = true;
                } else if (startsWithNoCase(value, "dword:")) {
                    entry.type = RegTypeNumber;
                    if (const auto number = parseHex(value.substr(6), 8)) {
                        for (int b = 0; b < 4; ++b)
                            entry.bytes += static_cast<char>((*number >> (8 * b)) & 0xFF);
                    }
                } else if (startsWithNoCase(value, "hex")) {
                    value.remove_prefix(3);
                    std::optional<std::uint32_t> type;
                    if (value.starts_with(':')) {
                        type = RegTypeBinary;
                    } else if (value.starts_with('(')) {
                        const std::size_t close = value.find(')');
                        if (close != std::string_view::npos && value.substr(close + 1).starts_with(':')) {
                            type = parseHex(value.substr(1, close - 1), 8);
                            value.remove_prefix(close + 1);
                        }
                    }
                    if (type) {
                        entry.type = *type;
                        if (auto bytes = parseByteList(value.substr(1)))
                            entry.bytes = std::move(*bytes);
                    }
                }
                // Any other form stays a value of no readable type: it still claims
                // its name, so writing that name replaces the line.
            }
        }
        doc.m_entries.push_back(std::move(entry));
    }
    if (!doc.m_entries.empty() && !doc.m_entries.back().raw.ends_with('\n'))
        doc.m_entries.back().raw += doc.m_eol;
    return doc;
}

std::string RegFileDocument::text() const
{
    std::string out;
    if (!m_hasHeader)
        out = std::string(Header) + m_eol + m_eol;
    for (const Entry& entry : m_entries)
        out += entry.raw;
    return out;
}

bool RegFileDocument::sectionIs(const Entry& entry, std::string_view foldedPath) const
{
    return entry.kind == Kind::Section && entry.currentUser && foldedKey(entry.key) == foldedPath;
}

RegFileDocument::Entry RegFileDocument::makeLine(std::string line) const
{
    Entry entry;
    entry.raw = std::move(line) + m_eol;
    return entry;
}

bool RegFileDocument::keyExists(std::string_view path) const
{
    const std::string wanted = foldedKey(path);
    if (wanted.empty())
        return true;
    const std::string parentOf = wanted + '\\';
    for (const Entry& entry : m_entries) {
        if (entry.kind != Kind::Section || !entry.currentUser)
            continue;
        const std::string key = foldedKey(entry.key);
        if (key == wanted || key.starts_with(parentOf))
            return true;
    }
    return false;
}

bool RegFileDocument::hasSection(std::string_view path) const
{
    const std::string wanted = foldedKey(path);
    for (const Entry& entry : m_entries) {
        if (sectionIs(entry, wanted))
            return true;
    }
    return false;
}

void RegFileDocument::addSection(std::string_view path)
{
    if (hasSection(path))
        return;
    if (!m_entries.empty() && !trimLeft(content(m_entries.back().raw)).empty())
        m_entries.push_back(makeLine(""));
    path = withoutTrailingSeparators(path);
    Entry section = makeLine("[" + std::string(HiveName) + (path.empty() ? "" : "\\") + std::string(path) + "]");
    section.kind = Kind::Section;
    section.currentUser = true;
    section.key = path;
    m_entries.push_back(std::move(section));
}

bool RegFileDocument::findValue(std::string_view path, std::string_view name, std::uint32_t& type,
                                std::string& bytes) const
{
    const std::string wanted = foldedKey(path);
    const std::string wantedName = fold(name);
    const Entry* found = nullptr;
    bool inKey = false;
    // Later lines win, as when the file is imported.
    for (const Entry& entry : m_entries) {
        if (entry.kind == Kind::Section)
            inKey = sectionIs(entry, wanted);
        else if (inKey && entry.kind == Kind::Value && fold(entry.name) == wantedName)
            found = &entry;
    }
    if (found == nullptr || found->deleted)
        return false;
    type = found->type;
    bytes = found->bytes;
    return true;
}

void RegFileDocument::setValue(std::string_view path, std::string_view name, std::uint32_t type, std::string_view bytes)
{
    Entry value = makeLine((name.empty() ? std::string("@") : quoted(name)) + "=" + formatData(type, bytes));
    value.kind = Kind::Value;
    value.name = name;
    value.type = type;
    value.bytes = bytes;

    const std::string wanted = foldedKey(path);
    const std::string wantedName = fold(name);
    std::optional<std::size_t> existing;
    std::optional<std::size_t> lastSection;
    bool inKey = false;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (entry.kind == Kind::Section) {
            inKey = sectionIs(entry, wanted);
            if (inKey)
                lastSection = i;
        } else if (inKey && entry.kind == Kind::Value && fold(entry.name) == wantedName) {
            existing = i;
        }
    }
    if (existing) {
        m_entries[*existing] = std::move(value);
        return;
    }
    if (!lastSection) {
        addSection(path);
        lastSection = m_entries.size() - 1;
    }
    // After the section's last non-blank line, so blank lines keep separating sections.
    std::size_t insertAt = *lastSection + 1;
    for (std::size_t i = *lastSection + 1; i < m_entries.size() && m_entries[i].kind != Kind::Section; ++i) {
        if (!trimLeft(content(m_entries[i].raw)).empty())
            insertAt = i + 1;
    }
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(value));
}

bool RegFileDocument::validKeyPath(std::string_view path)
{
    if (path.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos || path.starts_with('\\'))
        return false;
    return withoutTrailingSeparators(path).find("\\\\") == std::string_view::npos;
}

bool RegFileDocument::validValueName(std::string_view name)
{
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

} // namespace kv
