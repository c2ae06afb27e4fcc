#include "exchange/csv_reader.h"

#include <algorithm>

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

} // namespace

bool CsvReader::next(std::vector<std::string>& fields)
{
    fields.clear();
    if (!m_error.empty() || m_pos >= m_text.size())
        return false;
    m_recordLine = m_line;
    std::string dropped;
    for (;;) {
        std::string& field = fields.size() < MostFields ? fields.emplace_back() : dropped;
        dropped.clear();
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            const int openedOn = m_line;
            ++m_pos;
            for (;;) {
                const std::size_t quote = m_text.find('"', m_pos);
                if (quote == std::string_view::npos) {
                    m_error = "line " + std::to_string(openedOn) + ": unterminated quoted field";
                    fields.clear();
                    return false;
                }
                const std::string_view piece = m_text.substr(m_pos, quote - m_pos);
                field += piece;
                m_line += lineEndsIn(piece);
                m_pos = quote + 1;
                if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                    field += '"';
                    ++m_pos;
                    continue;
                }
                break;
            }
        }
        // The unquoted field, or whatever follows a closing quote before the delimiter.
        const std::size_t end = std::min(m_text.find_first_of(",\r\n", m_pos), m_text.size());
        field += m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos >= m_text.size())
            return true;
        const char delimiter = m_text[m_pos++];
        if (delimiter == ',')
            continue;
        if (delimiter == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
            ++m_pos;
        ++m_line;
        return true;
    }
}

} // namespace kv
