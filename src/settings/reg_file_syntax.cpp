#include "settings/reg_file_syntax.h"

#include "settings/registry.h"

namespace kv::regfile {

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

namespace {

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

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
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

} // namespace

std::string fold(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = foldByte(c);
    return out;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && fold(s.substr(0, prefix.size())) == fold(prefix);
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

// The text after "=" for a value, in the form the registry editor itself writes.
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

ValueData parseData(std::string_view data)
{
    ValueData out;
    std::string_view value = trimRight(data);
    if (value.starts_with('"')) {
        const auto text = takeQuoted(value);
        if (text && value.empty()) {
            out.type = RegTypeString;
            out.bytes = *text + '\0';
        }
    } else if (value == "-") {
        out.deleted = true;
    } else if (startsWithNoCase(value, "dword:")) {
        out.type = RegTypeNumber;
        if (const auto number = parseHex(value.substr(6), 8)) {
            for (int b = 0; b < 4; ++b)
                out.bytes += static_cast<char>((*number >> (8 * b)) & 0xFF);
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
            out.type = *type;
            if (auto bytes = parseByteList(value.substr(1)))
                out.bytes = std::move(*bytes);
        }
    }
    return out;
}

} // namespace kv::regfile
