#pragma once
// The data file of one database: "<base>.ksd" in the program folder, one enciphered
// record line per text line, and "<base>.bak" while a full save runs.
// None of these throws or prints; each says whether it succeeded.

#include "storage/file_ops.h"
#include "storage/record_line.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

std::filesystem::path dataFilePath(const std::filesystem::path& folder, std::string_view base);
std::filesystem::path backupFilePath(const std::filesystem::path& folder, std::string_view base);

// Appends one record per non-blank line to `out`. A missing file means no records
// and succeeds. A read failure returns false with `out` untouched.
bool LoadDatabase(const std::filesystem::path& folder, std::string_view base, std::vector<Record>& out,
                  FileOps& ops = realFileOps());

// Enciphers `recordLine` (no line end) and appends it with CR LF, creating the file
// when missing. Writes CR LF first when the file does not end with a line break.
// Refuses a line longer than MaxStoredLineLength.
bool AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine,
                  FileOps& ops = realFileOps());

// Rewrites the whole file from `rows` in order: copies the file to the backup
// (a missing data file or a failed copy stops here), writes the new content to a
// temporary file, flushes it, renames it over the data file, deletes the backup.
// Each enciphered line carries CR LF inside, and is followed by CR LF.
// Refuses (writes nothing) when a row's line with its CR LF is longer than
// MaxStoredLineLength. On failure the data file holds its old content in full and
// the backup stays; only when the final delete of the backup fails does it return
// false with the new content already in place.
bool SaveDatabase(const std::filesystem::path& folder, std::string_view base, std::span<const Record> rows,
                  FileOps& ops = realFileOps());

} // namespace kv
