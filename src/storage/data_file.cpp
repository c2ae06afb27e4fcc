#include "storage/data_file.h"

#include "storage/data_file_lines.h"

#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <algorithm>
#include <functional>

namespace kv {

namespace {

using namespace fileLines;

// The file's status, a missing file's all zeros. False when it is there but is
// not a regular file, or cannot be looked at.
bool statusOf(FileOps& ops, const std::filesystem::path& file, FileStatus& status)
{
    status = {};
    if (ops.status(file, status))
        return status.regular;
    return !ops.exists(file);
}

// Where a full save of a database writes: the file its name finally stands for
// (people link it into a synced or encrypted folder), and the backup beside that
// file, so that no copy of the data ever lands outside the folder they chose.
struct SavePaths
{
    std::filesystem::path file;
    std::filesystem::path backup;
};

// Those of `file`, the data file's name with every link followed.
SavePaths savePathsFor(const std::filesystem::path& file)
{
    SavePaths paths;
    paths.file = file;
    paths.backup = file;
    paths.backup.replace_extension(".bak");
    return paths;
}

SavePaths savePathsOf(const std::filesystem::path& folder, std::string_view base)
{
    return savePathsFor(followLinks(dataFilePath(folder, base)));
}

// Whether two names reach one path once every link on the way is followed.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    const std::filesystem::path first = std::filesystem::weakly_canonical(a, error);
    if (error)
        return a.lexically_normal() == b.lexically_normal();
    const std::filesystem::path second = std::filesystem::weakly_canonical(b, error);
    return error ? a.lexically_normal() == b.lexically_normal() : first == second;
}

// A link whose target's folder is not there: the disk it leads to is not mounted,
// or the synced folder not made yet. Its database is unknown, not empty.
bool leadsNowhere(const std::filesystem::path& file)
{
    const std::filesystem::path target = followLinks(file);
    std::error_code error;
    return target != file && !std::filesystem::is_directory(target.parent_path(), error);
}

FileChecked checkContent(FileOps& ops, const std::filesystem::path& file, const ContentDigest& known)
{
    FileStatus now;
    if (!ops.status(file, now))
        return {ops.exists(file) ? FileCheck::Unreadable : FileCheck::Missing, FileResult::failed()};
    if (!now.regular)
        return {FileCheck::Changed}; // and not to be read: a FIFO would never end
    if (now.size != known.size())
        return {FileCheck::Changed};
    // The same size: only the bytes tell. A time stamp can be set back by anyone,
    // and moves when nothing changed.
    ContentDigest digest;
    FileStatus read;
    const FileResult readWhole = ops.readChunks(file, read, [&digest](std::string_view piece) {
        digest.add(piece);
        return true;
    });
    if (!readWhole)
        return {FileCheck::Unreadable, readWhole};
    return {digest == known ? FileCheck::Unchanged : FileCheck::Changed};
}

// Whether the backup is a second name of the data file itself, as a killed or
// failed full save leaves it: it holds nothing the file does not, and every Add
// would change it along with the file. Not so for a copy, nor for a link at the
// backup's name, nor for a data file reached through the backup's name.
bool backupIsTheFile(const SavePaths& paths)
{
    std::error_code error;
    if (paths.file == paths.backup ||
        std::filesystem::symlink_status(paths.backup, error).type() != std::filesystem::file_type::regular)
        return false;
    return std::filesystem::equivalent(paths.file, paths.backup, error) && !error;
}

// Removes such a backup; the caller holds the write lock.
void removeBackupThatIsTheFile(FileOps& ops, const SavePaths& paths)
{
    if (backupIsTheFile(paths))
        ops.remove(paths.backup);
}

void removeStaleTemporariesOf(FileOps& ops, const SavePaths& paths)
{
    removeStaleTemporaries(ops, paths.file);
    removeStaleTemporaries(ops, paths.backup);
    removeBackupThatIsTheFile(ops, paths);
}

// Whether the folder where a database's file goes is there, making it (readable
// by the user alone) when the name is no link. Through a link it must be there
// already: the folders of a disk that is not mounted are never made.
FileResult folderReadyFor(const std::filesystem::path& folder, const std::filesystem::path& named,
                          const std::filesystem::path& file)
{
    if (file == named)
        return makePrivateFolders(folder);
    std::error_code error;
    return std::filesystem::is_directory(file.parent_path(), error) ? FileResult() : FileResult::failed();
}

// The full save proper, under the write lock. `create`: a missing data file is
// made (there is nothing to back up); otherwise it stops the save.
FileResult saveUnderLock(FileOps& ops, const SavePaths& paths, const RecordTable& rows, FileSeen* written,
                         bool create = false, const LineSeal* key = nullptr, std::span<const std::string> unopened = {})
{
    removeStaleTemporariesOf(ops, paths);
    // Saving the file over its own backup name would delete the only copy.
    if (sameFile(paths.file, paths.backup))
        return FileResult::failed();
    FileStatus current;
    const bool there = ops.status(paths.file, current);
    if (there && !current.regular)
        return FileResult::failed();
    if (!there && (!create || ops.exists(paths.file)))
        return FileResult::failed(); // above all a data file deleted from outside: write nothing
    // The data file is only ever replaced, never changed, by a full save: a
    // second name for it holds the old content as well as a copy would.
    if (there) {
        const FileResult backedUp = snapshotFile(ops, paths.file, paths.backup);
        if (!backedUp)
            return backedUp;
    }
    // Written a piece at a time: the new content never sits in memory whole.
    constexpr std::size_t PieceSize = 256 * 1024;
    int next = 0;
    std::size_t nextUnopened = 0;
    bool headerWritten = key == nullptr;
    std::string plain;
    ContentDigest digest;
    const auto fill = [&](std::string& piece) {
        if (!headerWritten) {
            piece += key->header();
            piece += LineEnd;
            headerWritten = true;
        }
        while (next < rows.size() && piece.size() < PieceSize)
            appendRowLine(rows, next++, plain, piece, key);
        while (key && next == rows.size() && nextUnopened < unopened.size() && piece.size() < PieceSize) {
            piece += unopened[nextUnopened++];
            piece += LineEnd;
        }
        digest.add(piece);
        return next < rows.size() || (key && nextUnopened < unopened.size());
    };
    const FileResult replaced = replaceFileAtomically(ops, paths.file, fill);
    if (!replaced) {
        // The data file is whole (old content). A backup that is a second name of
        // it goes, or the next Add would change it too; a copy stays.
        removeBackupThatIsTheFile(ops, paths);
        return replaced;
    }
    if (written)
        *written = digest;
    // The new content is in place: a backup that will not go away is only
    // clutter, which the next save replaces.
    ops.remove(paths.backup);
    return {};
}

// What the first non-blank line of a file's start (`text`, the whole file when
// `whole`) says: the header line when the file is sealed, else empty. Nothing
// when that line is not there yet, or may still turn out to begin with the
// marker. A marked line longer than what was read is returned as far as it goes:
// no key fits it, so nothing is ever written under it.
std::optional<std::string> firstLineHeader(std::string_view text, bool whole)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return whole ? std::optional<std::string>(std::string()) : std::nullopt;
    text.remove_prefix(start);
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = trimmed(text.substr(0, end));
    if (isSealMarked(line))
        return std::string(line);
    if (end == std::string_view::npos && !whole && SealMarker.starts_with(line))
        return std::nullopt;
    return std::string();
}

// How much of a file's end an Add reads: enough for the start of its last line,
// the longest a sealed one can be included.
constexpr std::size_t TailSize = 32 * 1024;
static_assert(TailSize > 1 + (24 + MaxStoredLineLength + 16) * 4 / 3 + 2);

// Whether the last non-blank line of a file's end (`tail`, the whole file when
// `whole`) is a sealed file's line. A line that begins before the tail is not.
bool lastLineLooksSealed(std::string_view tail, bool whole)
{
    const std::size_t end = tail.find_last_not_of(" \t\r\n");
    if (end == std::string_view::npos)
        return false;
    const std::size_t breakAt = tail.find_last_of("\r\n", end);
    if (breakAt == std::string_view::npos && !whole)
        return false;
    const std::size_t start = breakAt == std::string_view::npos ? 0 : breakAt + 1;
    return looksSealed(trimmed(tail.substr(start, end + 1 - start)));
}

// The header line of a sealed file, else empty, read from the start of the file
// alone (blank lines before it, as the loader skips them).
FileResult headerOf(FileOps& ops, const std::filesystem::path& file, std::string& header)
{
    constexpr std::size_t HeadSize = 4096;
    std::string head;
    const FileResult readHead = ops.readHead(file, HeadSize, head);
    if (!readHead)
        return readHead;
    std::string_view text = head;
    if (text.starts_with(ByteOrderMark))
        text.remove_prefix(ByteOrderMark.size());
    std::optional<std::string> found = firstLineHeader(text, head.size() < HeadSize);
    if (!found) {
        // Blank as far as that goes: read on to the first line that is not.
        std::string pending;
        bool first = true;
        FileStatus status;
        const FileResult read = ops.readChunks(file, status, [&](std::string_view piece) {
            if (first && piece.starts_with(ByteOrderMark))
                piece.remove_prefix(ByteOrderMark.size());
            first = false;
            pending += piece;
            pending.erase(0, std::min(pending.find_first_not_of(" \t\r\n"), pending.size()));
            found = firstLineHeader(pending, false);
            return !found;
        });
        if (!found) {
            if (!read)
                return read;
            found = firstLineHeader(pending, true);
        }
    }
    header = std::move(*found);
    return {};
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

FileResult LoadDatabase(const std::filesystem::path& folder, std::string_view base, RecordTable& out, FileOps& ops,
                        FileSeen* seen)
{
    SealedFile sealed;
    return LoadDatabase(folder, base, out, ops, seen, nullptr, sealed);
}

FileResult LoadDatabase(const std::filesystem::path& folder, std::string_view base, RecordTable& out, FileOps& ops,
                        FileSeen* seen, const LineSeal* key, SealedFile& sealed)
{
    try {
        sealed = {};
        if (seen)
            seen->reset();
        const std::filesystem::path file = dataFilePath(folder, base);
        RecordTable rows;
        FileStatus status;
        ContentDigest digest;
        bool reserved = false;
        FileLineReader reader(rows, key, sealed);
        LineSplitter splitter(std::ref(reader));
        const FileResult read = ops.readChunks(file, status, [&](std::string_view piece) {
            if (!reserved)
                reserveFor(rows, status.size);
            reserved = true;
            digest.add(piece);
            splitter.feed(piece);
            return !reader.shut(); // sealed under another key: the rest is of no use
        });
        if (reader.shut())
            return FileResult::failed(FileError::ChangedOutside);
        if (!read) {
            if (ops.exists(file) || leadsNowhere(file))
                return read;
            // No file yet: a database without records.
            if (seen)
                *seen = ContentDigest();
            return {};
        }
        splitter.finish();
        if (reader.shut())
            return FileResult::failed(FileError::ChangedOutside);
        // A backup that is the file itself goes at the first read, unless another
        // instance is saving (its backup is then rightly the file, for a moment).
        const SavePaths paths = savePathsOf(folder, base);
        if (backupIsTheFile(paths)) {
            WriteLock lock;
            if (tryLockForWriting(ops, paths.file, lock))
                removeBackupThatIsTheFile(ops, paths);
        }
        if (out.empty())
            out = std::move(rows);
        else
            out.append(rows);
        if (seen)
            *seen = digest;
        return {};
    } catch (...) {
        return FileResult::failed();
    }
}

FileResult ReadSealHeader(const std::filesystem::path& folder, std::string_view base, std::string& header, FileOps& ops)
{
    try {
        header.clear();
        const std::filesystem::path file = dataFilePath(folder, base);
        FileStatus status;
        if (!statusOf(ops, file, status))
            return FileResult::failed();
        if (!status.regular)
            return {};
        return headerOf(ops, file, header);
    } catch (...) {
        return FileResult::failed();
    }
}

FileResult AppendRecord(const std::filesystem::path& folder, std::string_view base, std::string_view recordLine,
                        FileOps& ops, FileSeen* seen, const LineSeal* key)
{
    try {
        const std::string plain = utf8ToAnsi(recordLine);
        if (plain.size() > MaxStoredLineLength)
            return FileResult::failed();
        const std::filesystem::path named = dataFilePath(folder, base);
        // A link is written through, into the file it points to: opening the link
        // itself to create a file would meet the link, not make the file.
        const std::filesystem::path file = followLinks(named);
        // The first entry of a database in a folder of its own makes the folder.
        if (!key) {
            const FileResult ready = folderReadyFor(folder, named, file);
            if (!ready)
                return ready;
        }
        WriteLock lock;
        const FileResult locked = lockForWriting(ops, file, lock);
        if (!locked)
            return locked;
        removeBackupThatIsTheFile(ops, savePathsFor(file));
        FileStatus before;
        if (!statusOf(ops, file, before))
            return FileResult::failed();
        // The file must still be kept as the caller opened it: a line under a key
        // it no longer has, or in the fixed-key format into a sealed file, would
        // be lost to every reader, or give the entry away.
        std::string header;
        if (before.regular) {
            const FileResult read = headerOf(ops, file, header);
            if (!read)
                return read;
        }
        if (header != (key ? std::string_view(key->header()) : std::string_view()))
            return FileResult::failed(FileError::ChangedOutside);
        std::string data;
        if (before.regular) {
            std::string tail;
            const FileResult read = ops.readTail(file, TailSize, tail);
            if (!read)
                return read;
            // A sealed file's lines without their header before them are no file
            // of the fixed-key format to add to either.
            if (!key && lastLineLooksSealed(tail, tail.size() < TailSize))
                return FileResult::failed(FileError::ChangedOutside);
            // A file cut short or edited by hand may lack its last line break;
            // without this the new line would be glued onto the last entry.
            if (!tail.empty() && tail.back() != '\n')
                data = LineEnd;
        }
        if (key)
            key->seal(plain, data);
        else
            encodeBytesAppend(plain, AppTitle, data);
        data += LineEnd;
        const FileResult appended = ops.append(file, data);
        if (!appended)
            return appended; // taken back whole, or never begun: the file is as it was
        // If the file held what `seen` describes, it now holds that and this line;
        // if someone else wrote it since, the next check finds other bytes anyway.
        if (seen && *seen)
            (*seen)->add(data);
        return {};
    } catch (...) {
        if (seen)
            seen->reset();
        return FileResult::failed();
    }
}

FileResult SaveDatabase(const std::filesystem::path& folder, std::string_view base, const RecordTable& rows,
                        FileOps& ops, FileSeen* seen, const LineSeal* key)
{
    try {
        // A row that cannot be stored stops the save before any file is touched.
        std::size_t size = 0;
        if (!measureContent(rows, size))
            return FileResult::failed();
        const SavePaths paths = savePathsOf(folder, base);
        WriteLock lock;
        const FileResult locked = lockForWriting(ops, paths.file, lock);
        if (!locked)
            return locked;
        // The list is not a copy of a file with other bytes: writing it would lose entries.
        if (seen) {
            const FileChecked checked = *seen ? checkContent(ops, paths.file, **seen) : FileChecked{FileCheck::Changed};
            if (checked.state != FileCheck::Unchanged)
                return checked.read ? FileResult::failed() : checked.read;
        }
        return saveUnderLock(ops, paths, rows, seen, false, key);
    } catch (...) {
        return FileResult::failed();
    }
}

FileResult LockDatabase(const std::filesystem::path& folder, std::string_view base, WriteLock& held, FileOps& ops)
{
    try {
        return lockForWriting(ops, dataFilePath(folder, base), held);
    } catch (...) {
        return FileResult::failed();
    }
}

FileChecked CheckDatabase(const std::filesystem::path& folder, std::string_view base, const ContentDigest& known,
                          FileOps& ops)
{
    try {
        return checkContent(ops, dataFilePath(folder, base), known);
    } catch (...) {
        return {FileCheck::Unreadable, FileResult::failed()};
    }
}

FileResult SaveCheckedDatabase(const WriteLock&, const std::filesystem::path& folder, std::string_view base,
                               const RecordTable& rows, FileOps& ops, FileSeen* written, bool create,
                               const LineSeal* key, std::span<const std::string> unopened)
{
    try {
        std::size_t size = 0;
        if (!measureContent(rows, size))
            return FileResult::failed();
        return saveUnderLock(ops, savePathsOf(folder, base), rows, written, create, key, unopened);
    } catch (...) {
        return FileResult::failed();
    }
}

FileResult PrepareDatabaseFolder(const std::filesystem::path& folder, std::string_view base)
{
    try {
        const std::filesystem::path named = dataFilePath(folder, base);
        return folderReadyFor(folder, named, followLinks(named));
    } catch (...) {
        return FileResult::failed();
    }
}

FileResult RemoveDatabaseBackup(const std::filesystem::path& folder, std::string_view base, FileOps& ops)
{
    try {
        const SavePaths paths = savePathsOf(folder, base);
        WriteLock lock;
        const FileResult locked = lockForWriting(ops, paths.file, lock);
        if (!locked)
            return locked;
        return ops.remove(paths.backup);
    } catch (...) {
        return FileResult::failed();
    }
}

void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view base, FileOps& ops)
{
    try {
        const SavePaths paths = savePathsOf(folder, base);
        WriteLock lock;
        if (tryLockForWriting(ops, paths.file, lock))
            removeStaleTemporariesOf(ops, paths);
    } catch (...) {
    }
}

} // namespace kv
