#include "storage/data_file.h"

#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <algorithm>
#include <functional>
#include <iterator>

namespace kv {

namespace {

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t FieldCount = 6;

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

// The next line of `content` without its line end (CR LF, LF or a lone CR, as
// other editors leave them); `content` moves past it.
std::string_view takeLine(std::string_view& content)
{
    std::size_t end = 0;
    while (end < content.size() && content[end] != '\n' && content[end] != '\r')
        ++end;
    const std::string_view line = content.substr(0, end);
    if (end < content.size())
        end += content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n' ? 2 : 1;
    content.remove_prefix(end);
    return line;
}

// Whether a full save can write the record back from its fields and lose nothing
// of the deciphered line but what every reader ignores (what follows its last
// "|": the line end and the cipher's filler). Not so for a line that did not
// decipher (empty), one without any "|", one with more fields than a record has,
// and one whose rebuilt line would be too long for the cipher.
bool rewritable(std::string_view plain)
{
    const std::size_t last = plain.rfind('|');
    if (last == std::string_view::npos)
        return false;
    const auto bars = static_cast<std::size_t>(std::count(plain.begin(), plain.begin() + last + 1, '|'));
    if (bars > FieldCount)
        return false;
    const std::size_t rebuilt = last + 1 - bars + FieldCount;
    return rebuilt + LineEnd.size() <= MaxStoredLineLength;
}

// The file's content, with a missing file read as empty. False when it exists
// but cannot be read.
bool readContent(FileOps& ops, const std::filesystem::path& file, std::string& content)
{
    content.clear();
    return ops.readAll(file, content) || !ops.exists(file);
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

FileFingerprint fingerprintOf(std::string_view content)
{
    return {content.size(), std::hash<std::string_view>{}(content)};
}

bool DatabaseContent(std::span<const Record> rows, std::string& out)
{
    std::string content;
    std::string plain;
    for (const Record& row : rows) {
        if (!row.keptLine.empty()) {
            content += row.keptLine;
            content += LineEnd;
            continue;
        }
        plain = utf8ToAnsi(BuildRecordLine(row));
        plain += LineEnd; // enciphered with the line, as stored files always had it
        if (plain.size() > MaxStoredLineLength)
            return false;
        if (content.empty())
            content.reserve(rows.size() * (2 * plain.size() + LineEnd.size()) * 5 / 4);
        content += encodeBytes(plain, AppTitle);
        content += LineEnd;
    }
    out += content;
    return true;
}

void ParseDatabase(std::string_view content, std::vector<Record>& out)
{
    if (content.starts_with(ByteOrderMark))
        content.remove_prefix(ByteOrderMark.size());
    out.reserve(out.size() + static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
    std::string plain; // reused for every line
    while (!content.empty()) {
        const std::string_view raw = takeLine(content);
        const std::string_view line = trimmed(raw);
        if (line.empty())
            continue;
        // A line DecodeLine cannot read still gives a row, all of it empty, as the
        // old loader did; the user sees that something was there.
        decodeBytesInto(line, AppTitle, plain);
        Record& record = out.emplace_back(ParseRecordLine(ansiToUtf8(plain)));
        if (!rewritable(plain))
            record.keptLine = raw;
    }
}

bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, std::vector<Record>& out, FileOps& ops,
                  FileSeen* seen)
{
    try {
        if (seen)
            seen->reset();
        std::string content;
        if (!readContent(ops, dataFilePath(folder, base), content))
            return false;
        std::vector<Record> rows;
        ParseDatabase(content, rows);
        out.reserve(out.size() + rows.size());
        std::move(rows.begin(), rows.end(), std::back_inserter(out));
        if (seen)
            *seen = fingerprintOf(content);
        return true;
    } catch (...) {
        return false;
    }
}

bool AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine, FileOps& ops,
                  FileSeen* seen)
{
    try {
        const std::string plain = utf8ToAnsi(recordLine);
        if (plain.size() > MaxStoredLineLength)
            return false;
        const std::filesystem::path file = dataFilePath(folder, base);
        std::string existing;
        if (!readContent(ops, file, existing))
            return false;
        std::string data;
        // A file cut short or edited by hand may lack its last line break;
        // without this the new line would be glued onto the last entry.
        if (!existing.empty() && existing.back() != '\n')
            data = LineEnd;
        data += encodeBytes(plain, AppTitle);
        data += LineEnd;
        if (!ops.append(file, data))
            return false;
        if (seen) {
            if (*seen == fingerprintOf(existing))
                *seen = fingerprintOf(existing + data);
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

bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, std::span<const Record> rows,
                  FileOps& ops, FileSeen* seen)
{
    try {
        RemoveStaleTemporaries(folder, base, ops);
        // Build everything first: a row that cannot be stored stops the save
        // before any file is touched.
        std::string content;
        if (!DatabaseContent(rows, content))
            return false;

        const std::filesystem::path file = dataFilePath(folder, base);
        const std::filesystem::path backup = backupFilePath(folder, base);
        std::string old;
        if (!ops.readAll(file, old))
            return false; // above all a data file deleted from outside: write nothing
        if (seen && *seen != fingerprintOf(old))
            return false; // the list is not a copy of this file: writing it would lose entries
        // The copy goes through a temporary file too, so a failed copy leaves no
        // half-written backup either.
        if (!replaceFileAtomically(ops, backup, old))
            return false;
        if (!replaceFileAtomically(ops, file, content))
            return false; // the data file is whole (old content), the backup stays
        if (seen)
            *seen = fingerprintOf(content);
        // The new content is in place: a backup that will not go away is only
        // clutter, which the next save replaces.
        ops.remove(backup);
        return true;
    } catch (...) {
        return false;
    }
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
