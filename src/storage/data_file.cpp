#include "storage/data_file.h"

#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t FieldCount = 6;
constexpr RecordField LineFields[FieldCount] = {RecordField::Service,  RecordField::Username, RecordField::Password,
                                                RecordField::Comments, RecordField::Address,  RecordField::Recorded};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view line)
{
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    return line;
}

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

// Whether a full save can write the record back from its fields and lose nothing
// of the deciphered line but what every reader ignores (what follows its last
// "|": the line end and the cipher's filler). Not so for a line that did not
// decipher or holds no "|" at all, one with more fields than a record has, and one
// whose rebuilt line would be too long for the cipher.
bool rewritable(const RecordTable::LineShape& shape)
{
    return shape.fields > 0 && !shape.moreFields &&
           shape.fieldBytes + FieldCount + LineEnd.size() <= MaxStoredLineLength;
}

// One line of the file into a row of the table, deciphered straight into it. A
// line DecodeLine cannot read still gives a row, all of it empty, as the old loader
// did: the user sees that something was there, and the line is kept.
void addFileLine(RecordTable& table, std::string_view raw)
{
    const std::string_view line = trimmed(raw);
    if (line.empty())
        return;
    const std::size_t size = (line.size() + 1) / 2;
    char* plain = table.lineBuffer(size);
    const bool deciphered = decodeBytesTo(line, AppTitle, plain);
    if (!rewritable(table.addLine(deciphered ? size : 0)))
        table.keepLine(raw);
}

// Room for what a file of `bytes` bytes holds: its text is half its size, and a
// line is seldom shorter than 60 digits. Memory reserved but never filled costs
// address space, not memory.
void reserveFor(RecordTable& table, std::uint64_t bytes)
{
    table.reserve(static_cast<std::size_t>(bytes / 60 + 16), static_cast<std::size_t>(bytes / 2 + 64));
}

// Whether a full save can write every row, and how many bytes it writes. A kept
// line that starts with the bytes of a byte-order mark, written first, would lose
// them to the next load: the file then gets a mark of its own before it.
bool measureContent(const RecordTable& rows, std::size_t& size)
{
    size = 0;
    for (int row = 0; row < rows.size(); ++row) {
        const auto fields = rows.fields(row);
        const std::string_view kept = fields[indexOf(RecordField::KeptLine)];
        if (!kept.empty()) {
            size += kept.size() + LineEnd.size();
            if (row == 0 && kept.starts_with(ByteOrderMark))
                size += ByteOrderMark.size();
            continue;
        }
        std::size_t plain = FieldCount + LineEnd.size();
        for (const RecordField field : LineFields)
            plain += fields[indexOf(field)].size();
        if (plain > MaxStoredLineLength)
            return false;
        size += 2 * std::max(plain, AppTitle.size()) + LineEnd.size();
    }
    return true;
}

// The line a full save writes for a row, appended to `out`; `plain` is the
// caller's to reuse.
void appendRowLine(const RecordTable& rows, int row, std::string& plain, std::string& out)
{
    const auto fields = rows.fields(row);
    const std::string_view kept = fields[indexOf(RecordField::KeptLine)];
    if (!kept.empty()) {
        if (row == 0 && kept.starts_with(ByteOrderMark))
            out += ByteOrderMark;
        out += kept;
        out += LineEnd;
        return;
    }
    plain.clear();
    for (const RecordField field : LineFields) {
        plain += fields[indexOf(field)];
        plain += '|';
    }
    plain += LineEnd; // enciphered with the line, as stored files always had it
    encodeBytesAppend(plain, AppTitle, out);
    out += LineEnd;
}

RecordTable tableOf(std::span<const Record> rows)
{
    RecordTable table;
    for (const Record& row : rows)
        table.append(row);
    return table;
}

std::vector<Record> recordsOf(const RecordTable& table)
{
    std::vector<Record> rows;
    rows.reserve(static_cast<std::size_t>(table.size()));
    for (int i = 0; i < table.size(); ++i)
        rows.push_back(table.record(i));
    return rows;
}

// The file's status, a missing file's all zeros. False when it is there but is
// not a regular file, or cannot be looked at.
bool statusOf(FileOps& ops, const std::filesystem::path& file, FileStatus& status)
{
    status = {};
    if (ops.status(file, status))
        return status.regular;
    return !ops.exists(file);
}

} // namespace

std::filesystem::path dataFilePath(const std::filesystem::path& folder, std::string_view base)
{
    return folder / (std::string(base) + ".ksd");
}

std::filesystem::path backupFilePath(const std::filesystem::path& folder, std::string_view base)
{
    return folder / (std::string(base) + ".bak");
}

void ParseDatabase(std::string_view content, RecordTable& out)
{
    reserveFor(out, content.size());
    LineSplitter splitter([&out](std::string_view line) { addFileLine(out, line); });
    splitter.feed(content);
    splitter.finish();
}

void ParseDatabase(std::string_view content, std::vector<Record>& out)
{
    RecordTable table;
    ParseDatabase(content, table);
    std::vector<Record> rows = recordsOf(table);
    out.insert(out.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

bool DatabaseContent(const RecordTable& rows, std::string& out)
{
    std::size_t size = 0;
    if (!measureContent(rows, size))
        return false;
    std::string content;
    content.reserve(size);
    std::string plain;
    for (int row = 0; row < rows.size(); ++row)
        appendRowLine(rows, row, plain, content);
    out += content;
    return true;
}

bool DatabaseContent(std::span<const Record> rows, std::string& out)
{
    return DatabaseContent(tableOf(rows), out);
}

bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, RecordTable& out, FileOps& ops,
                  FileSeen* seen)
{
    try {
        if (seen)
            seen->reset();
        const std::filesystem::path file = dataFilePath(folder, base);
        RecordTable rows;
        FileStatus status;
        bool reserved = false;
        LineSplitter splitter([&rows](std::string_view line) { addFileLine(rows, line); });
        const bool read = ops.readChunks(file, status, [&](std::string_view piece) {
            if (!reserved)
                reserveFor(rows, status.size);
            reserved = true;
            splitter.feed(piece);
            return true;
        });
        if (!read) {
            if (ops.exists(file))
                return false;
            status = {}; // no file yet: a database without records
        }
        splitter.finish();
        if (out.empty())
            out = std::move(rows);
        else
            out.append(rows);
        if (seen)
            *seen = status;
        return true;
    } catch (...) {
        return false;
    }
}

bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, std::vector<Record>& out, FileOps& ops,
                  FileSeen* seen)
{
    RecordTable table;
    if (!LoadDatabase(folder, base, table, ops, seen))
        return false;
    std::vector<Record> rows = recordsOf(table);
    out.insert(out.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    return true;
}

bool AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine, FileOps& ops,
                  FileSeen* seen)
{
    try {
        const std::string plain = utf8ToAnsi(recordLine);
        if (plain.size() > MaxStoredLineLength)
            return false;
        const std::filesystem::path file = dataFilePath(folder, base);
        FileStatus before;
        if (!statusOf(ops, file, before))
            return false;
        std::string data;
        if (before.regular) {
            // A file cut short or edited by hand may lack its last line break;
            // without this the new line would be glued onto the last entry.
            std::string last;
            if (!ops.readTail(file, 1, last))
                return false;
            if (!last.empty() && last.back() != '\n')
                data = LineEnd;
        }
        encodeBytesAppend(plain, AppTitle, data);
        data += LineEnd;
        // The first entry of a database in a folder of its own makes the folder.
        if (!before.regular && !makePrivateFolders(folder))
            return false;
        if (!ops.append(file, data))
            return false;
        if (seen) {
            FileStatus after;
            if (*seen == before && ops.status(file, after))
                *seen = after;
            else
                seen->reset(); // someone else wrote the file since we read it
        }
        return true;
    } catch (...) {
        if (seen)
            seen->reset();
        return false;
    }
}

bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, const RecordTable& rows, FileOps& ops,
                  FileSeen* seen)
{
    try {
        RemoveStaleTemporaries(folder, base, ops);
        // A row that cannot be stored stops the save before any file is touched.
        std::size_t size = 0;
        if (!measureContent(rows, size))
            return false;

        const std::filesystem::path file = dataFilePath(folder, base);
        const std::filesystem::path backup = backupFilePath(folder, base);
        FileStatus current;
        if (!ops.status(file, current) || !current.regular)
            return false; // above all a data file deleted from outside: write nothing
        if (seen && *seen != current)
            return false; // the list is not a copy of this file: writing it would lose entries
        // The data file is only ever replaced, never changed, by a full save: a
        // second name for it holds the old content as well as a copy would.
        if (!snapshotFile(ops, file, backup))
            return false;
        // Written a piece at a time: the new content never sits in memory whole.
        constexpr std::size_t PieceSize = 256 * 1024;
        int next = 0;
        std::string plain;
        const auto fill = [&](std::string& piece) {
            while (next < rows.size() && piece.size() < PieceSize)
                appendRowLine(rows, next++, plain, piece);
            return next < rows.size();
        };
        if (!replaceFileAtomically(ops, file, fill))
            return false; // the data file is whole (old content), the backup stays
        if (seen) {
            FileStatus after;
            if (ops.status(file, after))
                *seen = after;
            else
                seen->reset();
        }
        // The new content is in place: a backup that will not go away is only
        // clutter, which the next save replaces.
        ops.remove(backup);
        return true;
    } catch (...) {
        return false;
    }
}

bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, std::span<const Record> rows,
                  FileOps& ops, FileSeen* seen)
{
    return SaveDatabase(folder, base, tableOf(rows), ops, seen);
}

void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view base, FileOps& ops)
{
    try {
        removeStaleTemporaries(ops, dataFilePath(folder, base));
        removeStaleTemporaries(ops, backupFilePath(folder, base));
    } catch (...) {
    }
}

} // namespace kv
