#pragma once
// Reads CSV one record at a time: RFC 4180 with the leniency real exports need
// (CR LF, LF or a lone CR as line ends; a quote inside an unquoted field kept as
// text; text after a closing quote kept up to the next delimiter). In the
// backslash dialect (1Password 7 for Mac writes it) a quoted field's \" is a
// quote and \\ a backslash, and a doubled quote still counts as one.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

class CsvReader
{
public:
    enum class Dialect { Rfc4180, Backslash };
    explicit CsvReader(std::string_view text, Dialect dialect = Dialect::Rfc4180) : m_text(text), m_dialect(dialect) {}

    // The next record's fields; false at the end of the text or on an error. Fields
    // past MostFields are read past but not kept: no export we know comes near, and
    // a line of nothing but commas would otherwise cost far more memory than text.
    // A field is a view into the text, or into the reader when its quotes had to
    // be undone; either stays valid until the next call.
    bool next(std::vector<std::string_view>& fields);
    static constexpr std::size_t MostFields = 1024;
    // The 1-based line on which the record last read starts.
    int line() const { return m_recordLine; }
    // How many fields the record last read has, those past MostFields included,
    // and how many up to its last that is not empty.
    std::size_t fieldCount() const { return m_fieldCount; }
    std::size_t filledCount() const { return m_filledCount; }
    // Whether some quoted field so far had text after its closing quote: the
    // leniency a file in another dialect needs.
    bool textAfterQuote() const { return m_textAfterQuote; }
    // Why reading stopped early ("line 3: unterminated quoted field"), or empty.
    const std::string& error() const { return m_error; }

private:
    bool readQuoted(std::string_view& field, std::size_t index);
    bool readBackslashQuoted(std::string_view& field, std::size_t index);
    // After a closing quote: what stands before the next delimiter, kept with the
    // field's text (from `begin` in m_unquoted) when `keep`.
    void takeTextAfterQuote(std::size_t index, std::size_t begin, bool keep);

    std::string_view m_text;
    Dialect m_dialect;
    std::size_t m_fieldCount = 0;
    std::size_t m_filledCount = 0;
    bool m_textAfterQuote = false;
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
