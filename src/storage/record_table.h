#pragma once
// The open database's records in display order, kept compactly: the deciphered
// lines in one buffer of Windows-1252 bytes, as the file holds them, and for each
// row where its fields lie in it. A record costs little more than its text, and
// nothing is converted until someone asks for a field.

#include "storage/record_line.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class RecordField { Service, Username, Password, Comments, Address, Recorded, KeptLine };
inline constexpr std::size_t RecordFieldCount = 7;
// Where a field stands in RecordTable::fields.
constexpr std::size_t indexOf(RecordField field)
{
    return static_cast<std::size_t>(field);
}

class RecordTable
{
public:
    int size() const { return static_cast<int>(m_rows.size()); }
    bool empty() const { return m_rows.empty(); }

    // A field's Windows-1252 bytes; valid until the table changes.
    std::string_view bytes(int row, RecordField field) const;
    // All of a row's fields at once, in RecordField order (a full save asks for
    // every field of every row).
    std::array<std::string_view, RecordFieldCount> fields(int row) const;
    // A field as UTF-8 text.
    std::string text(int row, RecordField field) const;
    Record record(int row) const;

    // Adds a record at the end (UTF-8; a character the code page cannot hold
    // becomes "?", as it would in the file).
    void append(const Record& record);
    // Adds every row of `other` at the end.
    void append(const RecordTable& other);
    // Adds the record a deciphered line holds: up to six "|"-terminated fields,
    // the rest of the line ignored, and `keptLine` when the line is to be written
    // back as it was.
    void appendLine(std::string_view plain, std::string_view keptLine = {});
    // The loader deciphers straight into the table: lineBuffer(n) gives room for n
    // bytes at the end of the text, addLine(n) makes the first n of them a row as
    // appendLine does (0 for a line that did not decipher) and says what it found,
    // and keepLine(raw) gives that row its kept line when it needs one.
    struct LineShape
    {
        std::size_t fields = 0;     // "|"-terminated fields taken, at most six
        bool moreFields = false;    // a "|" follows the sixth
        std::size_t fieldBytes = 0; // the taken fields' length, without their "|"
    };
    char* lineBuffer(std::size_t size);
    LineShape addLine(std::size_t size);
    void keepLine(std::string_view raw);
    // Gives back the room lineBuffer gave, for a line that makes no row.
    void dropLine();
    // Everything but the service, from `record`; the kept line goes.
    void replaceDetails(int row, const Record& record);
    void remove(int row);
    void clear();
    // Room for about this many rows and bytes of text, so loading never copies
    // what it has already read.
    void reserve(std::size_t rows, std::size_t textBytes);
    // Row i becomes what was row order[i].
    void reorder(std::span<const int> order);

private:
    struct Row
    {
        std::array<std::uint32_t, RecordFieldCount> begin{};
        std::array<std::uint32_t, RecordFieldCount> end{};
    };
    Row store(const std::array<std::string_view, RecordFieldCount>& fields);
    void compactIfWasteful();

    std::string m_text;
    std::vector<Row> m_rows;
    std::size_t m_unused = 0;    // bytes of removed and replaced rows still in m_text
    std::size_t m_lineStart = 0; // where the line lineBuffer gave room for begins
};

} // namespace kv
