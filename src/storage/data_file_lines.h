#pragma once
// The lines of a data file: how a file's content is cut into lines and read into
// rows (the fixed-key format, or sealed), and the line a full save writes for a
// row. The data file's own functions build on these; nothing else needs them.

#include "storage/data_file.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kv::fileLines {

inline constexpr std::string_view LineEnd = "\r\n";
inline constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The line without the blanks around it.
std::string_view trimmed(std::string_view line);

// Cuts a file's content into lines, given a piece at a time: a line may span two
// pieces, and so may a CR LF. Lines end in CR LF, LF or a lone CR, as other editors
// leave them; a byte-order mark before the first line is skipped.
template <typename OnLine> class LineSplitter
{
public:
    explicit LineSplitter(OnLine onLine) : m_onLine(std::move(onLine)) {}

    void feed(std::string_view piece)
    {
        if (m_skipLineFeed && !piece.empty()) {
            if (piece.front() == '\n')
                piece.remove_prefix(1);
            m_skipLineFeed = false;
        }
        while (!piece.empty()) {
            const std::size_t end = lineEnd(piece);
            if (end == std::string_view::npos) {
                m_partial.append(piece);
                return;
            }
            if (m_partial.empty()) {
                emit(piece.substr(0, end));
            } else {
                m_partial.append(piece.substr(0, end));
                emit(m_partial);
                m_partial.clear();
            }
            std::size_t next = end + 1;
            if (piece[end] == '\r') {
                if (next == piece.size())
                    m_skipLineFeed = true; // its LF, if any, opens the next piece
                else if (piece[next] == '\n')
                    ++next;
            }
            piece.remove_prefix(next);
        }
    }

    void finish()
    {
        if (!m_partial.empty())
            emit(m_partial);
        m_partial.clear();
    }

private:
    static std::size_t lineEnd(std::string_view piece)
    {
        const void* lf = std::memchr(piece.data(), '\n', piece.size());
        const std::size_t limit = lf ? static_cast<const char*>(lf) - piece.data() : piece.size();
        const void* cr = std::memchr(piece.data(), '\r', limit);
        if (cr)
            return static_cast<const char*>(cr) - piece.data();
        return lf ? limit : std::string_view::npos;
    }

    void emit(std::string_view line)
    {
        if (m_first && line.starts_with(ByteOrderMark))
            line.remove_prefix(ByteOrderMark.size());
        m_first = false;
        m_onLine(line);
    }

    OnLine m_onLine;
    std::string m_partial;
    bool m_skipLineFeed = false;
    bool m_first = true;
};

// Reads a data file's lines, given one at a time, into a table: the fixed-key
// format, or a sealed file opened under `key`. Of a file sealed under a header
// the key was not made for (or with no key) only the header is read.
class FileLineReader
{
public:
    FileLineReader(RecordTable& rows, const LineSeal* key, SealedFile& sealed, std::vector<int>* lineOf = nullptr,
                   std::vector<int>* unopenedLines = nullptr)
        : m_rows(rows), m_key(key), m_sealed(sealed), m_lineOf(lineOf), m_unopenedLines(unopenedLines)
    {
    }

    void operator()(std::string_view raw);

    // Whether the file is sealed under a header the key was not made for: the
    // rest of it is of no use.
    bool shut() const { return m_shut; }

private:
    RecordTable& m_rows;
    const LineSeal* m_key;
    SealedFile& m_sealed;
    std::vector<int>* m_lineOf;
    std::vector<int>* m_unopenedLines;
    int m_line = 0;
    bool m_first = true;
    bool m_shut = false;
};

// Room for what a file of `bytes` bytes holds.
void reserveFor(RecordTable& table, std::uint64_t bytes);
// Whether a full save can write every row, and how many bytes it writes.
bool measureContent(const RecordTable& rows, std::size_t& size);
// The line a full save writes for a row, appended to `out`; `plain` is the
// caller's to reuse. With `key`, the row is sealed under it.
void appendRowLine(const RecordTable& rows, int row, std::string& plain, std::string& out,
                   const LineSeal* key = nullptr);

} // namespace kv::fileLines
