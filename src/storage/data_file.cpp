#include "storage/data_file.h"

#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <algorithm>
#include <iterator>

namespace kv {

namespace {

constexpr std::string_view LineEnd = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// One text line of the file without its line end and surrounding blanks. A CR LF
// file and an LF-only file give the same lines.
std::string_view trimmed(std::string_view line)
{
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    return line;
}

void parseContent(std::string_view content, std::vector<Record>& rows)
{
    rows.reserve(static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
    std::string plain; // reused for every line
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        const std::string_view line = trimmed(content.substr(0, end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.empty())
            continue;
        // A line DecodeLine cannot read still gives a row, all of it empty, as the
        // old loader did; the user sees that something was there.
        decodeBytesInto(line, AppTitle, plain);
        rows.push_back(ParseRecordLine(ansiToUtf8(plain)));
    }
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

bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, std::vector<Record>& out, FileOps& ops)
{
    try {
        const std::filesystem::path file = dataFilePath(folder, base);
        std::string content;
        if (!ops.readAll(file, content))
            return !ops.exists(file); // no file yet: a database without records
        std::vector<Record> rows;
        parseContent(content, rows);
        out.reserve(out.size() + rows.size());
        std::move(rows.begin(), rows.end(), std::back_inserter(out));
        return true;
    } catch (...) {
        return false;
    }
}

bool AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine, FileOps& ops)
{
    try {
        const std::string plain = utf8ToAnsi(recordLine);
        if (plain.size() > MaxStoredLineLength)
            return false;
        const std::filesystem::path file = dataFilePath(folder, base);
        std::string existing;
        std::string data;
        if (ops.readAll(file, existing)) {
            // A file cut short or edited by hand may lack its last line break;
            // without this the new line would be glued onto the last entry.
            if (!existing.empty() && existing.back() != '\n')
                data = LineEnd;
        } else if (ops.exists(file)) {
            return false;
        }
        data += encodeBytes(plain, AppTitle);
        data += LineEnd;
        return ops.append(file, data);
    } catch (...) {
        return false;
    }
}

bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, std::span<const Record> rows,
                  FileOps& ops)
{
    try {
        // Build everything first: a row that cannot be stored stops the save
        // before any file is touched.
        std::string content;
        std::string plain;
        for (const Record& row : rows) {
            plain = utf8ToAnsi(BuildRecordLine(row));
            plain += LineEnd; // enciphered with the line, as stored files always had it
            if (plain.size() > MaxStoredLineLength)
                return false;
            if (content.empty())
                content.reserve(rows.size() * (2 * plain.size() + LineEnd.size()) * 5 / 4);
            content += encodeBytes(plain, AppTitle);
            content += LineEnd;
        }

        const std::filesystem::path file = dataFilePath(folder, base);
        const std::filesystem::path backup = backupFilePath(folder, base);
        std::string old;
        if (!ops.readAll(file, old))
            return false; // above all a data file deleted from outside: write nothing
        // The copy goes through a temporary file too, so a failed copy leaves no
        // half-written backup either.
        if (!replaceFileAtomically(ops, backup, old))
            return false;
        if (!replaceFileAtomically(ops, file, content))
            return false; // the data file is whole (old content), the backup stays
        return ops.remove(backup);
    } catch (...) {
        return false;
    }
}

} // namespace kv
