#pragma once
// Reads CSV one record at a time: RFC 4180 with the leniency real exports need
// (CR LF, LF or a lone CR as line ends; a quote inside an unquoted field kept as
// text; text after a closing quote kept up to the next delimiter).

#include <string>
#include <string_view>
#include <vector>

namespace kv {

class CsvReader
{
public:
    explicit CsvReader(std::string_view text) : m_text(text) {}

    // The next record's fields; false at the end of the text or on an error. Fields
    // past MostFields are read past but not kept: no export we know comes near, and
    // a line of nothing but commas would otherwise cost far more memory than text.
    // A field is a view into the text, or into the reader when its quotes had to
    // be undone; either stays valid until the next call.
    bool next(std::vector<std::string_view>& fields);
    static constexpr std::size_t MostFields = 1024;
    // The 1-based line on which the record last read starts.
    int line() const { return m_recordLine; }
    // Why reading stopped early ("line 3: unterminated quoted field"), or empty.
    const std::string& error() const { return m_error; }

private:
    bool readQuoted(std::string_view& field, std::size_t index);

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
    int m_recordLine = 0;
    std::string m_error;
    // The record's fields that needed unquoting, one after another, and where
    // each stands in it and among the fields.
    std::string m_unquoted;
    struct Unquoted
    {
        std::size_t field, begin, size;
    };
    std::vector<Unquoted> m_unquotedFields;
};

} // namespace kv
