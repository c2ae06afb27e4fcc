#pragma once
// The data file of one database: "<base>.ksd" in the program folder, one enciphered
// record line per text line, and "<base>.bak" while a full save runs.
// None of these throws or prints; each says whether it succeeded.

#include "storage/file_ops.h"
#include "storage/record_line.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

std::filesystem::path dataFilePath(const std::filesystem::path& folder, std::string_view base);
std::filesystem::path backupFilePath(const std::filesystem::path& folder, std::string_view base);

// What a data file held when the program last read or wrote it. A missing file
// counts as an empty one: both are a database without records.
struct FileFingerprint
{
    std::size_t size = 0;
    std::size_t hash = 0;

    bool operator==(const FileFingerprint&) const = default;
};
FileFingerprint fingerprintOf(std::string_view content);

// What the program knows of the file's content: nothing (never read whole, or
// changed by someone else since), or its fingerprint.
using FileSeen = std::optional<FileFingerprint>;

// Appends one record per non-blank line of a data file's content to `out`. Lines
// may end in CR LF, LF or CR, and a leading UTF-8 byte-order mark is skipped. A
// line that a full save could not write back from its fields keeps its text in
// Record::keptLine.
void ParseDatabase(std::string_view content, std::vector<Record>& out);

// The whole content a full save writes for `rows`, appended to `out`: each
// enciphered line carries CR LF inside and is followed by CR LF; a row with a kept
// line gets that line back unchanged. False (and `out` as it was) when a row's
// line with its CR LF is longer than MaxStoredLineLength.
bool DatabaseContent(std::span<const Record> rows, std::string& out);

// Appends one record per non-blank line to `out`. A missing file means no records
// and succeeds. A read failure, or anything but a regular file, returns false with
// `out` untouched. `seen`, when given, receives what the file held (nothing on
// failure).
bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, std::vector<Record>& out,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);

// Enciphers `recordLine` (no line end) and appends it with CR LF, creating the file
// when missing. Writes CR LF first when the file does not end with a line break.
// Refuses a line longer than MaxStoredLineLength. `seen`, when given, follows the
// append: it describes the new content if it described the old, else nothing.
bool AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);

// Rewrites the whole file from `rows` in order: copies the file to the backup
// (a missing data file or a failed copy stops here), writes the new content to a
// temporary file, flushes it, renames it over the data file, deletes the backup.
// Each enciphered line carries CR LF inside, and is followed by CR LF; a row with
// a kept line gets that line back unchanged. Refuses (writes nothing) when a
// row's line with its CR LF is longer than MaxStoredLineLength. On failure the
// data file holds its old content in full and the backup stays. A backup that
// cannot be deleted afterwards does not make the save fail: the next save
// replaces it. Temporary files an interrupted save left behind are removed first.
// `seen`, when given, guards the file: the save writes nothing unless the file
// still holds what it describes, and on success it describes the new content.
bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, std::span<const Record> rows,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);

// Removes what an interrupted full save of this database left behind (its
// temporary files), keeping the data file and the backup.
void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view base, FileOps& ops = realFileOps());

} // namespace kv
