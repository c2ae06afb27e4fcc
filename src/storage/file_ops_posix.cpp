// The real file system on POSIX systems: plain open/write/fsync/rename, so that
// a file is created private (0600) and every byte is on disk before we say so.

#include "storage/file_ops.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr mode_t PrivateMode = S_IRUSR | S_IWUSR;

FileError reasonFor(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return FileError::DiskFull;
    case EACCES:
    case EPERM:
        return FileError::AccessDenied;
    case EROFS:
        return FileError::ReadOnly;
    case ETXTBSY:
        return FileError::InUse;
    default:
        return FileError::Other;
    }
}

// The failure at hand, for errno's reason.
FileResult failed()
{
    return FileResult::failed(reasonFor(errno));
}

int openRetrying(const char* path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

FileResult writeFully(int fd, std::string_view data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed();
        }
        if (n == 0)
            return FileResult::failed();
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return {};
}

FileResult syncFd(int fd)
{
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? FileResult() : failed();
}

// Asks the kernel to start writing `size` bytes from `offset` to the disk now,
// without waiting: the disk then works while the next piece is being made, and
// the flush at the end has less left to wait for. Only a hint; where the call
// is missing or fails, the flush does all the work, as it would anyway.
void startWriteback(int fd, off_t offset, std::size_t size)
{
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(fd, offset, static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)offset;
    (void)size;
#endif
}

// A close that reports failure: on some file systems the last write error only
// shows up here.
FileResult closeFd(int fd)
{
    return ::close(fd) == 0 || errno == EINTR ? FileResult() : failed();
}

// Flushes the written file and closes it, whatever came before: the first
// failure of the writing (`written`), the flush and the close is the result.
FileResult syncAndClose(int fd, FileResult written)
{
    if (written)
        written = syncFd(fd);
    const FileResult closed = closeFd(fd);
    return written ? closed : written;
}

// Makes a new or renamed entry in the folder durable. Best effort: some file
// systems refuse fsync on a directory, and the file content is already on disk.
void syncFolderOf(const std::filesystem::path& file)
{
    try {
        std::filesystem::path folder = file.parent_path();
        if (folder.empty())
            folder = ".";
        const int fd = openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return;
        syncFd(fd);
        ::close(fd);
    } catch (...) {
    }
}

void fillStatus(const struct stat& st, FileStatus& out)
{
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.regular = S_ISREG(st.st_mode);
}

// Opens a regular file for reading; -1 for anything else, with the reason in
// `why` where the system gave one. Without O_NONBLOCK, opening a FIFO waits for
// a writer that may never come.
int openRegular(const std::filesystem::path& file, struct stat& st, FileResult& why)
{
    const int fd = openRetrying(file.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        why = errno == ENOENT ? FileResult::failed() : failed();
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = FileResult::failed();
        return -1;
    }
    return fd;
}

class PosixFileOps final : public FileOps
{
    // The last (`tail`) or first `count` bytes of the file, all of it when shorter.
    static FileResult readPart(const std::filesystem::path& file, std::size_t count, bool tail, std::string& out)
    {
        try {
            struct stat st = {};
            FileResult why;
            const int fd = openRegular(file, st, why);
            if (fd < 0)
                return why;
            const auto size = static_cast<std::size_t>(st.st_size);
            const std::size_t start = tail && size > count ? size - count : 0;
            std::string data(std::min(count, size - start), '\0');
            std::size_t got = 0;
            FileResult ok;
            while (got < data.size()) {
                const ssize_t n = ::pread(fd, data.data() + got, data.size() - got, static_cast<off_t>(start + got));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    ok = failed();
                if (n <= 0)
                    break; // at 0 the file got shorter meanwhile: what is there is what there is
                got += static_cast<std::size_t>(n);
            }
            ::close(fd);
            if (!ok)
                return ok;
            data.resize(got);
            out.swap(data);
            return {};
        } catch (...) {
            return FileResult::failed();
        }
    }

public:
    bool status(const std::filesystem::path& file, FileStatus& out) override
    {
        struct stat st = {};
        if (::stat(file.c_str(), &st) != 0)
            return false;
        fillStatus(st, out);
        return true;
    }

    FileResult readChunks(const std::filesystem::path& file, FileStatus& status,
                          const std::function<bool(std::string_view chunk)>& sink) override
    {
        try {
            struct stat st = {};
            FileResult ok;
            const int fd = openRegular(file, st, ok);
            if (fd < 0)
                return ok;
            fillStatus(st, status);
            // Big enough to read quickly, small enough to stay out of the way.
            std::string buffer(256 * 1024, '\0');
            for (;;) {
                const ssize_t n = ::read(fd, buffer.data(), buffer.size());
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    ok = failed();
                    break;
                }
                if (n == 0)
                    break;
                if (!sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
                    ok = FileResult::failed();
                    break;
                }
            }
            ::close(fd);
            return ok;
        } catch (...) {
            return FileResult::failed();
        }
    }

    FileResult readTail(const std::filesystem::path& file, std::size_t count, std::string& out) override
    {
        return readPart(file, count, true, out);
    }

    FileResult readHead(const std::filesystem::path& file, std::size_t count, std::string& out) override
    {
        return readPart(file, count, false, out);
    }

    // Not flushed to disk on its own: the rename that follows flushes the folder.
    bool hardLink(const std::filesystem::path& existing, const std::filesystem::path& name) override
    {
        return ::link(existing.c_str(), name.c_str()) == 0;
    }

    bool exists(const std::filesystem::path& file) override
    {
        struct stat st = {};
        return ::stat(file.c_str(), &st) == 0;
    }

    FileResult writeNew(const std::filesystem::path& file, std::string_view data) override
    {
        const int fd = openRetrying(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, PrivateMode);
        if (fd < 0)
            return failed();
        // Marks the file as in use for removeIfUnused in another run of the program;
        // the lock goes with the descriptor, also when the process is killed.
        ::flock(fd, LOCK_EX | LOCK_NB);
        return syncAndClose(fd, writeFully(fd, data));
    }

    FileResult writeNewPieces(const std::filesystem::path& file,
                              const std::function<bool(std::string& piece)>& fill) override
    {
        const int fd = openRetrying(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, PrivateMode);
        if (fd < 0)
            return failed();
        ::flock(fd, LOCK_EX | LOCK_NB); // in use, as writeNew marks it
        FileResult ok;
        try {
            std::string piece;
            off_t written = 0;
            for (bool more = true; more && ok;) {
                piece.clear();
                more = fill(piece);
                ok = writeFully(fd, piece);
                if (ok && more)
                    startWriteback(fd, written, piece.size());
                written += static_cast<off_t>(piece.size());
            }
        } catch (...) {
            ok = FileResult::failed();
        }
        return syncAndClose(fd, ok);
    }

    FileResult append(const std::filesystem::path& file, std::string_view data) override
    {
        bool created = true;
        int fd = openRetrying(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL, PrivateMode);
        if (fd < 0 && errno == EEXIST) {
            created = false;
            fd = openRetrying(file.c_str(), O_WRONLY | O_APPEND);
        }
        if (fd < 0)
            return failed();
        struct stat st = {};
        const bool sized = ::fstat(fd, &st) == 0;
        // A file another tool left readable by others becomes the user's alone,
        // as a full save would make it.
        if (sized && !created && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
            ::fchmod(fd, PrivateMode);
        const FileResult written = writeFully(fd, data);
        if (!written && sized) {
            // Take back a partial line, so the next append does not start mid-entry.
            [[maybe_unused]] const int rc = ::ftruncate(fd, st.st_size);
        }
        const FileResult ok = syncAndClose(fd, written);
        if (ok && created)
            syncFolderOf(file);
        return ok;
    }

    FileResult renameOver(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0)
            return failed();
        syncFolderOf(to);
        return {};
    }

    FileResult remove(const std::filesystem::path& file) override
    {
        return ::unlink(file.c_str()) == 0 || errno == ENOENT ? FileResult() : failed();
    }

    bool removeIfUnused(const std::filesystem::path& file) override
    {
        const int fd = openRetrying(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return false;
        struct stat st = {};
        bool unused = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        // A file system without locks cannot tell; a file left by a crash is then
        // the likelier case, and losing a running write only fails that save.
        if (unused && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            unused = false;
        const bool removed = unused && ::unlink(file.c_str()) == 0;
        ::close(fd);
        return removed;
    }

    // The folder itself carries the lock: a file in it would be one more thing
    // for the user to wonder about, and would need removing.
    WriteLock tryLockFolder(const std::filesystem::path& folder, bool& busy) override
    {
        busy = false;
        const int fd = openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return nullptr;
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            // EWOULDBLOCK: another holder. Anything else: no locks here.
            busy = errno == EWOULDBLOCK;
            ::close(fd);
            return nullptr;
        }
        std::unique_ptr<HeldFolder> held(new (std::nothrow) HeldFolder(fd));
        if (!held)
            ::close(fd);
        return held;
    }

private:
    class HeldFolder final : public FolderLock
    {
    public:
        explicit HeldFolder(int fd) : m_fd(fd) {}
        ~HeldFolder() override { ::close(m_fd); }

    private:
        int m_fd;
    };
};

} // namespace

FileOps& realFileOps()
{
    static PosixFileOps ops;
    return ops;
}

bool isLinkName(const std::filesystem::path& name)
{
    struct stat st = {};
    return ::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

FileResult makeFolder(const std::filesystem::path& folder)
{
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return failed();
    return {};
}

void makeFolderPrivate(const std::filesystem::path& folder)
{
    struct stat st = {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        ::chmod(folder.c_str(), st.st_mode & ~(S_IRWXG | S_IRWXO));
}

} // namespace kv
