#include "exchange/csv_reader.h"

#include "exchange/byte_scan.h"

namespace kv {

namespace {

// Line ends within a piece of a quoted field: LF, CR LF and a lone CR count once.
int lineEndsIn(std::string_view piece)
{
    int count = 0;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\n' || (piece[i] == '\r' && (i + 1 == piece.size() || piece[i + 1] != '\n')))
            ++count;
    }
    return count;
}

// What ends an unquoted field.
struct Delimiter
{
    static std::uint64_t marks(std::uint64_t word)
    {
        // All three lie below 0x2D: most words hold no such byte and skip the exact test.
        if (!scan::bytesBelow(word, 0x2D))
            return 0;
        return scan::bytesEqual(word, ',') | scan::bytesEqual(word, '\r') | scan::bytesEqual(word, '\n');
    }
    static bool byte(unsigned char b) { return Table[b]; }
    static constexpr std::array<bool, 256> Table = scan::tableOf({',', '\r', '\n'}, false);
};

} // namespace

// A quoted field, from its opening quote at m_pos to the delimiter after it.
// Most hold no doubled quote and nothing after the closing one: those are views
// into the text. The others are put together in m_unquoted (when kept).
bool CsvReader::readQuoted(std::string_view& field, std::size_t index)
{
    const int openedOn = m_line;
    const auto piece = [&](std::string_view& text) {
        const std::size_t quote = m_text.find('"', m_pos);
        if (quote == std::string_view::npos) {
            m_error = "line " + std::to_string(openedOn) + ": unterminated quoted field";
            return false;
        }
        text = m_text.substr(m_pos, quote - m_pos);
        m_line += lineEndsIn(text);
        m_pos = quote + 1;
        return true;
    };
    const auto doubled = [&] { return m_pos < m_text.size() && m_text[m_pos] == '"'; };

    ++m_pos;
    std::string_view text;
    if (!piece(text))
        return false;
    if (!doubled() && (m_pos == m_text.size() || Delimiter::byte(static_cast<unsigned char>(m_text[m_pos])))) {
        field = text;
        return true;
    }
    const bool keep = index < MostFields;
    const std::size_t begin = m_unquoted.size();
    if (keep)
        m_unquoted += text;
    while (doubled()) {
        ++m_pos;
        if (!piece(text))
            return false;
        if (keep) {
            m_unquoted += '"';
            m_unquoted += text;
        }
    }
    takeTextAfterQuote(index, begin, keep);
    return true;
}

void CsvReader::takeTextAfterQuote(std::size_t index, std::size_t begin, bool keep)
{
    // Whatever follows the closing quote before the delimiter is kept too.
    const char* const after = m_text.data() + m_pos;
    const auto afterSize =
        static_cast<std::size_t>(scan::findCare<Delimiter>(after, m_text.data() + m_text.size()) - after);
    m_pos += afterSize;
    m_textAfterQuote = m_textAfterQuote || afterSize > 0;
    if (keep) {
        m_unquoted.append(after, afterSize);
        m_unquotedFields.push_back({index, begin, m_unquoted.size() - begin});
    }
}

// The same in the backslash dialect; always put together in m_unquoted (when kept).
bool CsvReader::readBackslashQuoted(std::string_view& field, std::size_t index)
{
    const int openedOn = m_line;
    const bool keep = index < MostFields;
    const std::size_t begin = m_unquoted.size();
    ++m_pos;
    for (;;) {
        const std::size_t special = m_text.find_first_of("\\\"", m_pos);
        if (special == std::string_view::npos) {
            m_error = "line " + std::to_string(openedOn) + ": unterminated quoted field";
            return false;
        }
        const std::string_view text = m_text.substr(m_pos, special - m_pos);
        m_line += lineEndsIn(text);
        if (keep)
            m_unquoted += text;
        m_pos = special + 1;
        const bool escaped =
            m_text[special] == '\\' && m_pos < m_text.size() && (m_text[m_pos] == '"' || m_text[m_pos] == '\\');
        const bool doubled = m_text[special] == '"' && m_pos < m_text.size() && m_text[m_pos] == '"';
        if (escaped || doubled) {
            if (keep)
                m_unquoted += m_text[m_pos];
            ++m_pos;
        } else if (m_text[special] == '\\') {
            if (keep)
                m_unquoted += '\\';
        } else {
            break; // the closing quote
        }
    }
    takeTextAfterQuote(index, begin, keep);
    if (keep)
        field = {};
    return true;
}

bool CsvReader::next(std::vector<std::string_view>& fields)
{
    fields.clear();
    if (!m_error.empty() || m_pos >= m_text.size())
        return false;
    m_recordLine = m_line;
    m_unquoted.clear();
    m_unquotedFields.clear();
    m_fieldCount = 0;
    m_filledCount = 0;
    const char* const end = m_text.data() + m_text.size();
    for (;;) {
        const bool keep = m_fieldCount < MostFields;
        const std::size_t index = m_fieldCount++;
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            std::string_view field;
            const std::size_t start = m_pos;
            if (!(m_dialect == Dialect::Backslash ? readBackslashQuoted(field, index) : readQuoted(field, index))) {
                fields.clear();
                return false;
            }
            if (m_pos - start > 2)
                m_filledCount = m_fieldCount;
            if (keep)
                fields.push_back(field);
        } else {
            const char* const begin = m_text.data() + m_pos;
            const std::size_t size = static_cast<std::size_t>(scan::findCare<Delimiter>(begin, end) - begin);
            if (keep)
                fields.emplace_back(begin, size);
            if (size > 0)
                m_filledCount = m_fieldCount;
            m_pos += size;
        }
        if (m_pos >= m_text.size())
            break;
        const char delimiter = m_text[m_pos++];
        if (delimiter == ',')
            continue;
        if (delimiter == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
            ++m_pos;
        ++m_line;
        break;
    }
    // Now that m_unquoted no longer grows, the fields put together in it.
    for (const Unquoted& u : m_unquotedFields)
        fields[u.field] = std::string_view(m_unquoted).substr(u.begin, u.size);
    return true;
}

} // namespace kv
