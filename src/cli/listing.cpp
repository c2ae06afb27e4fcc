#include "cli/listing.h"

#include "storage/ansi_text.h"
#include "storage/record_line.h"

#include <algorithm>
#include <array>
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

// Every Windows-1252 character is one character on the screen.
std::size_t widthOf(std::string_view ansi)
{
    return ansi.size();
}

void writeCell(std::ostream& out, std::string_view ansi, std::size_t width, bool last)
{
    if (ansi.size() > width) {
        out << ansiToUtf8(ansi.substr(0, width > 0 ? width - 1 : 0)) << (width > 0 ? "\xE2\x80\xA6" : "");
        return;
    }
    out << ansiToUtf8(ansi);
    if (!last)
        out << std::string(width - ansi.size(), ' ');
}

void writeTable(std::ostream& out, const RecordTable& table, const std::vector<int>& rows, int columns)
{
    std::array<std::size_t, Columns.size()> width{};
    for (std::size_t c = 0; c < Columns.size(); ++c) {
        width[c] = std::string_view(Columns[c].header).size();
        for (const int row : rows)
            width[c] = std::max(width[c], widthOf(table.bytes(row, Columns[c].field)));
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
    for (std::size_t c = 0; c < Columns.size(); ++c) {
        writeCell(out, Columns[c].header, width[c], c + 1 == Columns.size());
        out << (c + 1 == Columns.size() ? "\n" : "  ");
    }
    for (const int row : rows) {
        for (std::size_t c = 0; c < Columns.size(); ++c) {
            writeCell(out, table.bytes(row, Columns[c].field), width[c], c + 1 == Columns.size());
            out << (c + 1 == Columns.size() ? "\n" : "  ");
        }
    }
}

// Tabs and backslashes escaped, so that every line has its five fields.
void writeTsvField(std::string& line, std::string_view ansi)
{
    const std::string text = ansiToUtf8(ansi);
    for (const char c : text) {
        if (c == '\t')
            line += "\\t";
        else if (c == '\\')
            line += "\\\\";
        else
            line += c;
    }
}

void writeJsonString(std::string& out, std::string_view utf8)
{
    static const char* const Hex = "0123456789abcdef";
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += Hex[byte >> 4];
            out += Hex[byte & 15];
        } else {
            out += c;
        }
    }
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
    std::string text;
    if (style == ListStyle::Tsv) {
        for (const int row : rows) {
            for (std::size_t c = 0; c < Columns.size(); ++c) {
                if (c > 0)
                    text += '\t';
                writeTsvField(text, table.bytes(row, Columns[c].field));
            }
            text += '\n';
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
                writeJsonString(text, ansiToUtf8(table.bytes(row, Columns[c].field)));
            }
            text += '}';
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

void writeEntry(std::ostream& out, const RecordTable& table, int row, bool clear)
{
    const std::string password = table.text(row, RecordField::Password);
    out << "Service:  " << table.text(row, RecordField::Service) << '\n'
        << "Username: " << table.text(row, RecordField::Username) << '\n'
        << "Password: " << (clear ? password : PasswordMask(password)) << '\n'
        << "Comments: " << table.text(row, RecordField::Comments) << '\n'
        << "Address:  " << table.text(row, RecordField::Address) << '\n'
        << "Recorded: " << table.text(row, RecordField::Recorded) << '\n';
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
