#pragma once
// The few file operations the data file and the settings file need, behind an
// interface so tests can make any one of them fail. Standard C++ plus the
// platform's flush-to-disk and rename-over calls.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

// What the loader and the writers need to know of a file before they open it.
// A missing file is all zeros.
struct FileStatus
{
    std::uint64_t size = 0;
    bool regular = false; // a file on disk, not a folder, a FIFO or a device
};

// Why a file operation failed, as far as it can be said in plain words.
// ChangedOutside: the file is no longer kept as the program knew it (sealed,
// unsealed or sealed anew by another program), so nothing was written.
enum class FileError { None, Other, DiskFull, AccessDenied, ReadOnly, InUse, ChangedOutside };

// What came of a file operation: done, or failed for a reason (Other where the
// system gave none in plain words). Tested as a bool; a failure keeps the reason
// of the step that failed first, whatever the clean-up after it ran into.
class FileResult
{
public:
    constexpr FileResult() = default;
    static constexpr FileResult failed(FileError why = FileError::Other)
    {
        FileResult result;
        result.m_error = why == FileError::None ? FileError::Other : why;
        return result;
    }
    explicit constexpr operator bool() const { return m_error == FileError::None; }
    constexpr FileError error() const { return m_error; }

private:
    FileError m_error = FileError::None;
};

// The reason as the window puts it after "Could not write db1.ksd": ": the disk
// is full", ...; empty for a reason the system did not give or that has no
// plain words.
std::string_view reasonText(FileError error);

// Held while this program changes the files of one folder: every instance, and
// every thread with a lock of its own, waits for it. The system releases it when
// it is destroyed, and when the process dies.
class FolderLock
{
public:
    virtual ~FolderLock() = default;
};
using WriteLock = std::unique_ptr<FolderLock>;

class FileOps
{
public:
    virtual ~FileOps() = default;

    // The file's status, following links. False when it is missing or cannot be
    // looked at.
    virtual bool status(const std::filesystem::path& file, FileStatus& out) = 0;
    // Hands the file to `sink` a piece at a time, so a large file never sits in
    // memory whole; `status` is filled once the file is open, before the first
    // piece. False when it cannot be opened or read, when it is not a regular
    // file, or when the sink says stop.
    virtual FileResult readChunks(const std::filesystem::path& file, FileStatus& status,
                                  const std::function<bool(std::string_view chunk)>& sink) = 0;
    // The last `count` bytes of the file (all of it when shorter). False when it
    // cannot be read.
    virtual FileResult readTail(const std::filesystem::path& file, std::size_t count, std::string& out) = 0;
    // The first `count` bytes of the file (all of it when shorter). False when it
    // cannot be read or is not a regular file.
    virtual FileResult readHead(const std::filesystem::path& file, std::size_t count, std::string& out);
    // A second name for an existing file (a hard link). False where the file
    // system has none, or across file systems; `name` must not exist yet.
    virtual bool hardLink(const std::filesystem::path& existing, const std::filesystem::path& name) = 0;

    // Whole file into `out`, through readChunks. False when it cannot be opened or
    // read, and for anything but a regular file (a FIFO or a device would hang or
    // never end).
    virtual FileResult readAll(const std::filesystem::path& file, std::string& out);
    virtual bool exists(const std::filesystem::path& file) = 0;
    // Creates (owner read/write only) or truncates, writes, flushes to disk. The
    // file counts as in use (see removeIfUnused) while this runs.
    virtual FileResult writeNew(const std::filesystem::path& file, std::string_view data) = 0;
    // As writeNew, with the data made a piece at a time: fill(piece) puts the next
    // piece in `piece` (emptied first) and returns false once it gave the last. A
    // large file is written without ever being in memory whole.
    virtual FileResult writeNewPieces(const std::filesystem::path& file,
                                      const std::function<bool(std::string& piece)>& fill) = 0;
    // Creates (owner read/write only) when missing, appends, flushes to disk.
    virtual FileResult append(const std::filesystem::path& file, std::string_view data) = 0;
    // Replaces `to` with `from` in one step (and flushes the folder entry where the
    // platform allows).
    virtual FileResult renameOver(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // True when the file is gone afterwards, also when it was never there.
    virtual FileResult remove(const std::filesystem::path& file) = 0;
    // Removes a regular file unless a writer still has it open; leaves anything
    // else alone. True when it removed the file.
    virtual bool removeIfUnused(const std::filesystem::path& file) = 0;
    // The lock on changing files in `folder`, without waiting. Null when another
    // holder has it (`busy` set), or when the folder cannot be locked at all: it
    // is missing, or its file system has no locks (`busy` clear).
    virtual WriteLock tryLockFolder(const std::filesystem::path& folder, bool& busy) = 0;
};

// The real file system. None of its operations throws.
FileOps& realFileOps();

// The file a path finally names once symbolic links are followed (the path
// itself when it is no link). People link their data into a synced or
// encrypted folder: a rewrite goes to the linked file, and the link stays.
std::filesystem::path followLinks(const std::filesystem::path& file);

// The lock an instance takes before it changes `file`: the one of the folder the
// file finally lives in, where its temporary files and its backup go too. Waits
// up to two seconds for another holder, then fails with FileError::InUse. Where
// the folder cannot be locked it goes ahead with nothing held: the write then
// fails, or not, on its own.
FileResult lockForWriting(FileOps& ops, const std::filesystem::path& file, WriteLock& held);
// The same without waiting: false at once while another holder has it.
bool tryLockForWriting(FileOps& ops, const std::filesystem::path& file, WriteLock& held);

// Writes `data` to a temporary file beside the file `target` names (following
// links), flushes it and renames it over that file. On failure the temporary file
// is removed and the file is untouched.
FileResult replaceFileAtomically(FileOps& ops, const std::filesystem::path& target, std::string_view data);
// The same, with the data made a piece at a time (see FileOps::writeNewPieces).
FileResult replaceFileAtomically(FileOps& ops, const std::filesystem::path& target,
                                 const std::function<bool(std::string& piece)>& fill);

// Writes `data` to a temporary file beside the name `name` and renames it over
// that name: whatever stands there is replaced, a link included, and nothing it
// may point to is written. The new file is the user's alone.
FileResult replaceFileAtName(FileOps& ops, const std::filesystem::path& name, std::string_view data);
// The same for a name where nothing stands: the file gets the name in one step
// that fails if something stands there by then (a second name for the temporary
// file, where the file system has them; else a look and a rename). False, and
// nothing left behind, when it could not be written or the name was taken.
FileResult writeFileAtFreeName(FileOps& ops, const std::filesystem::path& name, std::string_view data);

// Whether the name itself is a symbolic link (on Windows any reparse point: a
// link or a junction), whether or not it leads anywhere.
bool isLinkName(const std::filesystem::path& name);

// Makes the name `to` hold what `from` holds now, replacing whatever stands at
// that name in one step: a link there is replaced as a link, never followed, so
// no file elsewhere is written. `to` must be in the folder of the file `from`
// names. Where the file system allows, `to` becomes a second name for the file
// rather than a copy: instant, whatever its size, and just as good as a copy for
// a file that is only ever replaced whole, never changed in place.
FileResult snapshotFile(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& to);

// Removes the temporary files replaceFileAtomically leaves behind when the
// program is killed mid-write: only names it makes itself for the name `target`
// (no link followed), and none that a writer still has open. The caller holds the folder's write lock,
// so no other instance is between writing a temporary file and renaming it.
void removeStaleTemporaries(FileOps& ops, const std::filesystem::path& target);

// Creates the folder and any missing parents, each readable by the user alone
// (a settings folder must not be opened to everybody by a loose umask).
FileResult makePrivateFolders(const std::filesystem::path& folder);
// One folder whose parent is there, readable by the user alone; done when it
// was there already.
FileResult makeFolder(const std::filesystem::path& folder);
// Makes an existing folder of the user's readable by the user alone. Nothing on
// Windows, where a folder takes the access rights of the one it is in.
void makeFolderPrivate(const std::filesystem::path& folder);

} // namespace kv
