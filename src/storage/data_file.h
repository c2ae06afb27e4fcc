#pragma once
// The data file of one database: "<base>.ksd" in the program folder, one enciphered
// record line per text line, and "<base>.bak" while a full save runs.
// None of these throws or prints; each says whether it succeeded.

#include "storage/file_ops.h"
#include "storage/record_line.h"
#include "storage/record_table.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

std::filesystem::path dataFilePath(const std::filesystem::path& folder, std::string_view base);
std::filesystem::path backupFilePath(const std::filesystem::path& folder, std::string_view base);

// What the program knows of a data file: nothing (never read whole, or written by
// someone else since), or its status when the program last read or wrote it. A
// missing file has the all-zero status.
using FileSeen = std::optional<FileStatus>;

// Appends one record per non-blank line of a data file's content to `out`. Lines
// may end in CR LF, LF or CR, and a leading UTF-8 byte-order mark is skipped. A
// line that a full save could not write back from its fields keeps its text (see
// Record::keptLine).
void ParseDatabase(std::string_view content, RecordTable& out);
void ParseDatabase(std::string_view content, std::vector<Record>& out);

// The whole content a full save writes for `rows`, appended to `out`: each
// enciphered line carries CR LF inside and is followed by CR LF; a row with a kept
// line gets that line back unchanged. False (and `out` as it was) when a row's
// line with its CR LF is longer than MaxStoredLineLength.
bool DatabaseContent(const RecordTable& rows, std::string& out);
bool DatabaseContent(std::span<const Record> rows, std::string& out);

// Appends one record per non-blank line to `out`, reading the file a piece at a
// time. A missing file means no records and succeeds. A read failure, or anything
// but a regular file, returns false with `out` untouched. `seen`, when given,
// receives the file's status (nothing on failure).
bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, RecordTable& out,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);
bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, std::vector<Record>& out,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);

// Enciphers `recordLine` (no line end) and appends it with CR LF, creating the file
// (and its folder, readable by the user alone) when missing. Writes CR LF first when the file does not end with a line
// break. Reads nothing of the file but its last byte. Refuses a line longer than MaxStoredLineLength. `seen`, when
// given, follows the append: it describes the file after it if it described the file before, else nothing.
bool AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);

// Rewrites the whole file from `rows` in order: makes the backup hold the file as
// it is (a missing data file, or a backup that cannot be made, stops here), writes
// the new content to a temporary file, flushes it, renames it over the data file,
// deletes the backup. Refuses (writes nothing) when a row cannot be stored (see
// DatabaseContent). On failure the data file holds its old content in full and
// the backup stays. A backup that cannot be deleted afterwards does not make the
// save fail: the next save replaces it. Temporary files an interrupted save left
// behind are removed first. `seen`, when given, guards the file: the save writes
// nothing unless the file's status is still the one it holds, and on success it
// holds the new status.
bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, const RecordTable& rows,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);
bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, std::span<const Record> rows,
                  FileOps& ops = realFileOps(), FileSeen* seen = nullptr);

// Removes what an interrupted full save of this database left behind (its
// temporary files), keeping the data file and the backup.
void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view base, FileOps& ops = realFileOps());

} // namespace kv
