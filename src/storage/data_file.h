#pragma once
// The data file of one database: "<base>.ksd" in the program folder, one enciphered
// record line per text line, and "<base>.bak" while a full save runs.
// None of these throws or prints; each says whether it succeeded, and why not.

#include "storage/content_digest.h"
#include "storage/file_ops.h"
#include "storage/line_seal.h"
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

// What the program knows of a data file: nothing (never read whole), or the digest
// of the bytes it last read there or left there. A missing file is no bytes.
using FileSeen = std::optional<ContentDigest>;

// A sealed file as a load found it. `header`: its header line, empty for a file
// of the fixed-key format. `unopened`: its lines that did not open under the key
// (damaged, or written under another key), as they stand; they are not listed,
// and a full save carries them over unchanged. `strayLines`: a file of the
// fixed-key format holds lines of a sealed one (its header lost, or not first):
// nothing may be appended to it in the fixed-key format.
struct SealedFile
{
    std::string header;
    std::vector<std::string> unopened;
    bool strayLines = false;

    bool sealed() const { return !header.empty(); }
};

// Appends one record per non-blank line of a data file's content to `out`. Lines
// may end in CR LF, LF or CR, and a leading UTF-8 byte-order mark is skipped. A
// line that a full save could not write back from its fields keeps its text (see
// Record::keptLine).
void ParseDatabase(std::string_view content, RecordTable& out);
// The same, with the number (from 1) of the file's line each row came from
// appended to `lineOf`, for messages that name a line without quoting it.
void ParseDatabase(std::string_view content, RecordTable& out, std::vector<int>& lineOf);
// The same for a file that may be sealed: under `key`, a sealed file's lines are
// opened, and `sealed` tells what was found. False, with no rows and the header
// in `sealed`, when the file is sealed under a header `key` was not made for (or
// there is no key). `unopenedLines` (when given) gets the numbers of the lines
// that did not open.
bool ParseDatabase(std::string_view content, RecordTable& out, std::vector<int>& lineOf, const LineSeal* key,
                   SealedFile& sealed, std::vector<int>* unopenedLines = nullptr);

// The whole content a full save writes for `rows`, appended to `out`: each
// enciphered line carries CR LF inside and is followed by CR LF; a row with a kept
// line gets that line back unchanged. False (and `out` as it was) when a row's
// line with its CR LF is longer than MaxStoredLineLength.
bool DatabaseContent(const RecordTable& rows, std::string& out);

// Appends one record per non-blank line to `out`, reading the file a piece at a
// time. A missing file means no records and succeeds, but not a link whose
// target's folder is missing (a disk not mounted, a synced folder not there yet).
// A read failure, or anything but a regular file, returns false with `out`
// untouched. `seen`, when given, receives the digest of what was read (nothing
// on failure).
FileResult LoadDatabase(const std::filesystem::path& folder, std::string_view base, RecordTable& out,
                        FileOps& ops = realFileOps(), FileSeen* seen = nullptr);
// LoadDatabase of a file that may be sealed, opened under `key` (see the sealed
// ParseDatabase). A file sealed under another header than the key's, or with no
// key, fails as FileError::ChangedOutside with no rows and nothing seen: only
// its header is read, into `sealed`.
FileResult LoadDatabase(const std::filesystem::path& folder, std::string_view base, RecordTable& out, FileOps& ops,
                        FileSeen* seen, const LineSeal* key, SealedFile& sealed);

// The header line of the data file when it is sealed, else empty; read from the
// start of the file alone. False when it cannot be read (a missing file is not
// sealed).
FileResult ReadSealHeader(const std::filesystem::path& folder, std::string_view base, std::string& header,
                          FileOps& ops = realFileOps());

// Enciphers `recordLine` (no line end) and appends it with CR LF, under the
// database's write lock, creating the file (and its folder, readable by the user
// alone) when missing; through a link, the file it points to, whose folder must be
// there. Writes CR LF first when the file does not end with a line break. Reads
// nothing of the file but its last byte. Refuses a line longer than
// MaxStoredLineLength. `seen`, when given, takes in the bytes appended: it then
// describes the file as the append left it, if it described the file before.
//
// With `key`, the line is sealed under it, and only into a file that is still
// sealed under the key's header; without, only into a file that is not sealed.
// Otherwise nothing is written and it fails as FileError::ChangedOutside: the file
// was sealed, unsealed or sealed anew since it was opened (with a key, a missing
// file counts as such).
FileResult AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine,
                        FileOps& ops = realFileOps(), FileSeen* seen = nullptr, const LineSeal* key = nullptr);

// Rewrites the whole file from `rows` in order, under the database's write lock:
// makes the backup hold the file as it is (a missing data file, or a backup that
// cannot be made, stops here), writes the new content to a temporary file, flushes
// it, renames it over the data file, deletes the backup. Through a link, the file
// it points to is replaced, and its backup stands beside it (named after it, with
// ".bak"), never beside the link; a link at the backup's name is replaced as a
// link. A data file and backup name that are one file refuse the save. Refuses
// (writes nothing) when a row cannot be stored (see DatabaseContent). On failure
// the data file holds its old content in full and the backup stays, unless it is
// a second name of that file: then it goes. A backup that is the data file itself,
// as a killed save leaves it, is removed by the next load, append or save. A backup that
// cannot be deleted afterwards does not make the save fail: the next save replaces
// it. Temporary files an interrupted save left behind are removed first. `seen`,
// when given, guards the file: the save writes nothing unless the file still holds
// the bytes it describes, and on success it describes the new content.
FileResult SaveDatabase(const std::filesystem::path& folder, std::string_view base, const RecordTable& rows,
                        FileOps& ops = realFileOps(), FileSeen* seen = nullptr, const LineSeal* key = nullptr);

// The write lock of the database (lockForWriting of its data file), for a caller
// that checks the file and saves it with no other writer in between.
FileResult LockDatabase(const std::filesystem::path& folder, std::string_view base, WriteLock& held,
                        FileOps& ops = realFileOps());

enum class FileCheck {
    Unchanged,  // the same bytes, whatever its time stamps say
    Changed,    // other bytes, or no longer a file
    Missing,    // not there at all
    Unreadable, // there, but it could not be read
};
// Whether the data file still holds the bytes `known` describes; where it could
// not be read, why.
struct FileChecked
{
    FileCheck state;
    FileResult read = {};
};
FileChecked CheckDatabase(const std::filesystem::path& folder, std::string_view base, const ContentDigest& known,
                          FileOps& ops = realFileOps());

// SaveDatabase for a caller that holds `held` (LockDatabase) and has checked the
// file under it: writes without checking again, and sets `written` (when given)
// to what it wrote. `create`: a missing data file is made instead of stopping
// the save (a database that never had a file, which the caller knows it read).
// With `key`, the file is written sealed under it: its header, each row sealed
// (a row's kept line as it stands), then the `unopened` lines of the file as
// they stand. Without, in the fixed-key format.
FileResult SaveCheckedDatabase(const WriteLock& held, const std::filesystem::path& folder, std::string_view base,
                               const RecordTable& rows, FileOps& ops, FileSeen* written, bool create = false,
                               const LineSeal* key = nullptr, std::span<const std::string> unopened = {});

// Makes the folder the database's file goes in, as the first append would (see
// AppendRecord), so that its write lock can be taken before the file exists.
FileResult PrepareDatabaseFolder(const std::filesystem::path& folder, std::string_view base);

// Removes the database's backup (beside the file its name finally stands for),
// under the write lock; done when it is gone.
FileResult RemoveDatabaseBackup(const std::filesystem::path& folder, std::string_view base,
                                FileOps& ops = realFileOps());

// Removes what an interrupted full save of this database left behind (its
// temporary files), keeping the data file and the backup; nothing while another
// instance holds the write lock, since its temporary files are then in use.
void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view base, FileOps& ops = realFileOps());

} // namespace kv
