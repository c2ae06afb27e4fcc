#include "cli/listing.h"

#include "exchange/byte_scan.h"

#include "storage/ansi_text.h"
#include "storage/record_line.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

namespace kv {

namespace {

struct Column
{
    const char* header;
    const char* key;
    RecordField field;
};

constexpr std::array<Column, 5> Columns = {{
    {"Service", "service", RecordField::Service},
    {"Username", "username", RecordField::Username},
    {"Address", "address", RecordField::Address},
    {"Comments", "comments", RecordField::Comments},
    {"Recorded", "recorded", RecordField::Recorded},
}};

// Lower case of every Windows-1252 byte, for a search that ignores letter case.
const std::array<unsigned char, 256>& lowerOf()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b) {
            int lower = b;
            if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
                lower = b + 32;
            else if (b == 0x8A || b == 0x8C || b == 0x8E)
                lower = b + 16; // S, OE and Z with their marks
            else if (b == 0x9F)
                lower = 0xFF; // Y with diaeresis
            t[static_cast<std::size_t>(b)] = static_cast<unsigned char>(lower);
        }
        return t;
    }();
    return table;
}

std::string lowered(std::string_view ansi)
{
    std::string text(ansi);
    for (char& c : text)
        c = static_cast<char>(lowerOf()[static_cast<unsigned char>(c)]);
    return text;
}

bool containsLowered(std::string_view haystack, std::string_view needle)
{
    const auto& lower = lowerOf();
    const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), [&](char a, char b) {
        return lower[static_cast<unsigned char>(a)] == static_cast<unsigned char>(b);
    });
    return it != haystack.end() || needle.empty();
}

// The UTF-8 of every Windows-1252 byte, so a listing converts as it writes.
const std::array<std::string, 256>& utf8Of()
{
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] = ansiToUtf8(std::string(1, static_cast<char>(b)));
        return t;
    }();
    return table;
}

// Which bytes a format writes otherwise than as themselves: every byte from 0x80
// up (it becomes UTF-8), and the few each format escapes.
struct PlainCare
{
    static std::uint64_t marks(std::uint64_t word) { return scan::highBytes(word); }
    static bool byte(unsigned char c) { return c >= 0x80; }
};
// TSV marks every control character (one test for all of them), and escapes the
// four its readers split on or unescape; the others pass as they are.
struct TsvCare
{
    static std::uint64_t marks(std::uint64_t word)
    {
        return scan::highBytes(word) | scan::bytesBelow(word, 0x20) | scan::bytesEqual(word, '\\');
    }
    static bool byte(unsigned char c) { return c >= 0x80 || c < 0x20 || c == '\\'; }
};
struct JsonCare
{
    static std::uint64_t marks(std::uint64_t word)
    {
        return scan::highBytes(word) | scan::bytesBelow(word, 0x20) | scan::bytesEqual(word, '"') |
               scan::bytesEqual(word, '\\');
    }
    static bool byte(unsigned char c) { return c >= 0x80 || c < 0x20 || c == '"' || c == '\\'; }
};

// Appends `ansi` as UTF-8, each byte the format escapes by way of `write`. Runs of
// plain ASCII (what a listing mostly is) go over in one piece.
template <typename Care, typename Write> void appendConverted(std::string& out, std::string_view ansi, Write write)
{
    const char* at = ansi.data();
    const char* const end = at + ansi.size();
    while (at != end) {
        const char* const care = scan::findCare<Care>(at, end);
        out.append(at, static_cast<std::size_t>(care - at));
        if (care == end)
            break;
        const auto byte = static_cast<unsigned char>(*care);
        if (byte >= 0x80)
            out += utf8Of()[byte]; // asked here, not per field: most fields have no such byte
        else
            write(out, byte);
        at = care + 1;
    }
}

void appendUtf8(std::string& out, std::string_view ansi)
{
    appendConverted<PlainCare>(out, ansi, [](std::string&, unsigned char) {});
}

// A byte a terminal takes as a command rather than a character: the C0 controls,
// DEL, and the five bytes the code page leaves undefined, which stand for C1
// controls (0x90 starts a device control string, 0x9D an operating system command).
bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// `ansi` as people are shown it: each control character spelt out (\t, \n, \r,
// \xNN), so that no field can move the cursor, clear the screen, retitle the
// window or split a line, and then a backslash doubled. Either `ansi` itself (no
// control character) or the spelt-out text in `buffer`.
std::string_view shownText(std::string_view ansi, std::string& buffer)
{
    if (std::none_of(ansi.begin(), ansi.end(), [](char c) { return isControl(static_cast<unsigned char>(c)); }))
        return ansi;
    static const char* const Hex = "0123456789abcdef";
    buffer.clear();
    for (const char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\')
            buffer += "\\\\"; // so that a spelt-out character is told from its spelling
        else if (!isControl(b))
            buffer += c;
        else if (b == '\t')
            buffer += "\\t";
        else if (b == '\n')
            buffer += "\\n";
        else if (b == '\r')
            buffer += "\\r";
        else {
            buffer += "\\x";
            buffer += Hex[b >> 4];
            buffer += Hex[b & 15];
        }
    }
    return buffer;
}

// Every Windows-1252 character is one character on the screen.
std::size_t widthOf(std::string_view ansi)
{
    return ansi.size();
}

void writeCell(std::string& out, std::string_view ansi, std::size_t width, bool last)
{
    if (ansi.size() > width) {
        appendUtf8(out, ansi.substr(0, width > 0 ? width - 1 : 0));
        if (width > 0)
            out += "\xE2\x80\xA6"; // an ellipsis: there is more
        return;
    }
    appendUtf8(out, ansi);
    if (!last)
        out.append(width - ansi.size(), ' ');
}

void writeTable(std::ostream& out, const RecordTable& table, const std::vector<int>& rows, int columns)
{
    std::array<std::size_t, Columns.size()> width{};
    std::string buffer;
    for (std::size_t c = 0; c < Columns.size(); ++c) {
        width[c] = std::string_view(Columns[c].header).size();
        for (const int row : rows)
            width[c] = std::max(width[c], widthOf(shownText(table.bytes(row, Columns[c].field), buffer)));
    }
    constexpr std::size_t Gap = 2;
    if (columns > 0) {
        // Narrow the widest of the first four columns (the time keeps its width)
        // until the table fits, but none below a readable few characters.
        constexpr std::size_t Narrowest = 8;
        const std::size_t room = static_cast<std::size_t>(columns) - 1;
        const auto total = [&] {
            return std::accumulate(width.begin(), width.end(), std::size_t{0}) + Gap * (width.size() - 1);
        };
        while (total() > room) {
            const auto widest = std::max_element(width.begin(), width.end() - 1);
            if (*widest <= Narrowest)
                break;
            --*widest;
        }
    }
    std::string text;
    for (std::size_t c = 0; c < Columns.size(); ++c) {
        writeCell(text, Columns[c].header, width[c], c + 1 == Columns.size());
        text += c + 1 == Columns.size() ? "\n" : "  ";
    }
    for (const int row : rows) {
        for (std::size_t c = 0; c < Columns.size(); ++c) {
            writeCell(text, shownText(table.bytes(row, Columns[c].field), buffer), width[c], c + 1 == Columns.size());
            text += c + 1 == Columns.size() ? "\n" : "  ";
        }
    }
    out << text;
}

// Tabs, line breaks and backslashes escaped, so that every line has its five fields.
void writeTsvField(std::string& line, std::string_view ansi)
{
    appendConverted<TsvCare>(line, ansi, [](std::string& out, unsigned char c) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += static_cast<char>(c);
    });
}

// A JSON string of Windows-1252 text.
void writeJsonString(std::string& out, std::string_view ansi)
{
    static const char* const Hex = "0123456789abcdef";
    out += '"';
    appendConverted<JsonCare>(out, ansi, [](std::string& text, unsigned char c) {
        if (c < 0x20) {
            text += "\\u00";
            text += Hex[c >> 4];
            text += Hex[c & 15];
        } else {
            text += '\\';
            text += static_cast<char>(c);
        }
    });
    out += '"';
}

} // namespace

void writeListing(std::ostream& out, const RecordTable& table, const std::vector<int>& rows, ListStyle style,
                  int columns)
{
    if (style == ListStyle::Table) {
        writeTable(out, table, rows, columns);
        return;
    }
    // Written a piece at a time: the listing of a large database never sits in memory whole.
    constexpr std::size_t PieceSize = 64 * 1024;
    std::string text;
    text.reserve(PieceSize + 1024);
    const auto flushFull = [&] {
        if (text.size() >= PieceSize) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    };
    if (style == ListStyle::Tsv) {
        for (const int row : rows) {
            const auto fields = table.fields(row);
            for (std::size_t c = 0; c < Columns.size(); ++c) {
                if (c > 0)
                    text += '\t';
                writeTsvField(text, fields[indexOf(Columns[c].field)]);
            }
            text += '\n';
            flushFull();
        }
    } else {
        text += '[';
        bool first = true;
        for (const int row : rows) {
            text += first ? "\n  {" : ",\n  {";
            first = false;
            for (std::size_t c = 0; c < Columns.size(); ++c) {
                if (c > 0)
                    text += ", ";
                writeJsonString(text, Columns[c].key);
                text += ": ";
                writeJsonString(text, table.bytes(row, Columns[c].field));
            }
            text += '}';
            flushFull();
        }
        text += first ? "]\n" : "\n]\n";
    }
    out << text;
}

std::vector<int> rowsContaining(const RecordTable& table, std::string_view text)
{
    std::vector<int> rows;
    // Stored text holds only characters of the code page: other text is in none.
    if (!fitsAnsi(text))
        return rows;
    const std::string needle = lowered(utf8ToAnsi(text));
    for (int row = 0; row < table.size(); ++row) {
        for (const RecordField field :
             {RecordField::Service, RecordField::Username, RecordField::Comments, RecordField::Address}) {
            if (containsLowered(table.bytes(row, field), needle)) {
                rows.push_back(row);
                break;
            }
        }
    }
    return rows;
}

std::string shownField(const RecordTable& table, int row, RecordField field)
{
    std::string buffer;
    return ansiToUtf8(shownText(table.bytes(row, field), buffer));
}

void writeEntry(std::ostream& out, const RecordTable& table, int row, bool clear)
{
    const auto shown = [&](RecordField field) { return shownField(table, row, field); };
    const std::string password =
        clear ? shown(RecordField::Password) : PasswordMask(table.text(row, RecordField::Password));
    out << "Service:  " << shown(RecordField::Service) << '\n'
        << "Username: " << shown(RecordField::Username) << '\n'
        << "Password: " << password << '\n'
        << "Comments: " << shown(RecordField::Comments) << '\n'
        << "Address:  " << shown(RecordField::Address) << '\n'
        << "Recorded: " << shown(RecordField::Recorded) << '\n';
}

void appendTsvField(std::string& out, std::string_view ansi)
{
    writeTsvField(out, ansi);
}

void appendJsonString(std::string& out, std::string_view ansi)
{
    writeJsonString(out, ansi);
}

void appendShownCell(std::string& out, std::string_view ansi, std::size_t width, bool last)
{
    std::string buffer;
    writeCell(out, shownText(ansi, buffer), width, last);
}

std::size_t shownWidth(std::string_view ansi)
{
    std::string buffer;
    return widthOf(shownText(ansi, buffer));
}

bool fieldNamed(std::string_view name, RecordField& out)
{
    if (name == "password") {
        out = RecordField::Password;
        return true;
    }
    for (const Column& column : Columns) {
        if (name == column.key) {
            out = column.field;
            return true;
        }
    }
    return false;
}

} // namespace kv
