// The real file system on Windows: the wide Win32 file calls. The program folder
// is wherever the user put the program, often under a profile folder named in a
// script the ANSI code page cannot spell, so paths never pass through it.
//
// Files are created with the folder's inherited access control list: on Windows
// the program folder under the user's profile already keeps other users out, and
// there is no mode bit to narrow.

#include <windows.h>

#include "storage/file_ops.h"

#include <algorithm>
#include <new>

namespace kv {

namespace {

// Closes the handle on every path out of a function.
class Handle
{
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (valid())
            ::CloseHandle(m_handle);
    }

    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

    // Closes now and says whether the close succeeded.
    bool close()
    {
        const bool ok = ::CloseHandle(m_handle) != 0;
        m_handle = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_handle;
};

FileError reasonFor(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileError::DiskFull;
    case ERROR_ACCESS_DENIED:
        return FileError::AccessDenied;
    case ERROR_WRITE_PROTECT:
        return FileError::ReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileError::InUse;
    default:
        return FileError::Other;
    }
}

// The failure at hand, for the last error's reason.
FileResult failed()
{
    return FileResult::failed(reasonFor(::GetLastError()));
}

// WriteFile takes at most a DWORD at a time.
FileResult writeFully(HANDLE handle, std::string_view data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, p, chunk, &written, nullptr))
            return failed();
        if (written == 0)
            return FileResult::failed();
        p += written;
        left -= written;
    }
    return {};
}

// Flushes the written file and closes it, whatever came before: the first
// failure of the writing (`written`), the flush and the close is the result.
FileResult flushAndClose(Handle& handle, FileResult written)
{
    if (written && ::FlushFileBuffers(handle.get()) == 0)
        written = failed();
    const FileResult closed = handle.close() ? FileResult() : failed();
    return written ? closed : written;
}

void fillStatus(const BY_HANDLE_FILE_INFORMATION& info, FileStatus& out)
{
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// Opens a file on disk for reading, letting others read, write and rename it
// meanwhile; an invalid handle for anything else (a console, a pipe, a device),
// with the reason in `why` where the system gave one.
HANDLE openForReading(const std::filesystem::path& file, FileResult& why)
{
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder in the file's place is refused as if access were denied: it is no file, not a matter of rights.
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool plain = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && !folder;
        why = FileResult::failed(plain ? reasonFor(error) : FileError::Other);
    } else if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        why = FileResult::failed();
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

class Win32FileOps final : public FileOps
{
    // The last (`tail`) or first `count` bytes of the file, all of it when shorter.
    static FileResult readPart(const std::filesystem::path& file, std::size_t count, bool tail, std::string& out)
    {
        try {
            FileResult why;
            Handle handle(openForReading(file, why));
            if (!handle.valid())
                return why;
            LARGE_INTEGER size{};
            if (!::GetFileSizeEx(handle.get(), &size))
                return failed();
            const auto total = static_cast<unsigned long long>(size.QuadPart);
            const unsigned long long start = tail && total > count ? total - count : 0;
            LARGE_INTEGER position{};
            position.QuadPart = static_cast<LONGLONG>(start);
            if (!::SetFilePointerEx(handle.get(), position, nullptr, FILE_BEGIN))
                return failed();
            std::string data(static_cast<std::size_t>(std::min<unsigned long long>(count, total - start)), '\0');
            DWORD got = 0;
            if (!data.empty() && !::ReadFile(handle.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr))
                return failed();
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
        try {
            Handle handle(::CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            BY_HANDLE_FILE_INFORMATION info{};
            if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &info))
                return false;
            fillStatus(info, out);
            out.regular = ::GetFileType(handle.get()) == FILE_TYPE_DISK &&
                          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
            return true;
        } catch (...) {
            return false;
        }
    }

    FileResult readChunks(const std::filesystem::path& file, FileStatus& status,
                          const std::function<bool(std::string_view chunk)>& sink) override
    {
        try {
            FileResult why;
            Handle handle(openForReading(file, why));
            if (!handle.valid())
                return why;
            BY_HANDLE_FILE_INFORMATION info{};
            if (!::GetFileInformationByHandle(handle.get(), &info))
                return failed();
            fillStatus(info, status);
            status.regular = true;
            std::string buffer(256 * 1024, '\0');
            for (;;) {
                DWORD got = 0;
                if (!::ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
                    return failed();
                if (got == 0)
                    return {};
                if (!sink(std::string_view(buffer.data(), got)))
                    return FileResult::failed();
            }
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

    // Always a copy here: on Windows a second name shares the file's sharing rules,
    // so a reader that holds the data file open without delete sharing (a viewer,
    // a sync client) would pin the backup's temporary name where it stands.
    bool hardLink(const std::filesystem::path&, const std::filesystem::path&) override { return false; }

    bool exists(const std::filesystem::path& file) override
    {
        try {
            return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
        } catch (...) {
            return false;
        }
    }

    FileResult writeNew(const std::filesystem::path& file, std::string_view data) override
    {
        try {
            Handle handle(
                ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle.valid())
                return failed();
            return flushAndClose(handle, writeFully(handle.get(), data));
        } catch (...) {
            return FileResult::failed();
        }
    }

    FileResult writeNewPieces(const std::filesystem::path& file,
                              const std::function<bool(std::string& piece)>& fill) override
    {
        try {
            Handle handle(
                ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle.valid())
                return failed();
            FileResult ok;
            std::string piece;
            for (bool more = true; more && ok;) {
                piece.clear();
                more = fill(piece);
                ok = writeFully(handle.get(), piece);
            }
            return flushAndClose(handle, ok);
        } catch (...) {
            return FileResult::failed();
        }
    }

    FileResult append(const std::filesystem::path& file, std::string_view data) override
    {
        try {
            Handle handle(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle.valid())
                return failed();
            LARGE_INTEGER zero{};
            LARGE_INTEGER end{};
            if (!::SetFilePointerEx(handle.get(), zero, &end, FILE_END))
                return failed();
            const FileResult written = writeFully(handle.get(), data);
            if (!written) {
                // Take back a partial line, so the next append does not start mid-entry.
                if (::SetFilePointerEx(handle.get(), end, nullptr, FILE_BEGIN))
                    ::SetEndOfFile(handle.get());
            }
            return flushAndClose(handle, written);
        } catch (...) {
            return FileResult::failed();
        }
    }

    // A file that another program holds open for a moment (a virus scanner, the
    // search indexer, a sync client reading it) cannot be replaced meanwhile:
    // the move is tried again for up to about half a second before it counts as
    // refused.
    FileResult renameOver(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        try {
            constexpr int Attempts = 12;
            for (int attempt = 1;; ++attempt) {
                // WRITE_THROUGH: the call returns only once the move is on disk.
                if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
                    return {};
                const DWORD error = ::GetLastError();
                const bool held =
                    error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
                if (!held || attempt == Attempts)
                    return FileResult::failed(reasonFor(error));
                ::Sleep(static_cast<DWORD>(std::min(attempt * 10, 50)));
            }
        } catch (...) {
            return FileResult::failed();
        }
    }

    FileResult remove(const std::filesystem::path& file) override
    {
        try {
            if (::DeleteFileW(file.c_str()))
                return {};
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return {};
            return FileResult::failed(reasonFor(error));
        } catch (...) {
            return FileResult::failed();
        }
    }

    bool removeIfUnused(const std::filesystem::path& file) override
    {
        try {
            const DWORD attributes = ::GetFileAttributesW(file.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES ||
                (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
                return false;
            // A writer holds its file open without delete sharing: the delete fails.
            return ::DeleteFileW(file.c_str()) != 0;
        } catch (...) {
            return false;
        }
    }

    // A lock file that nobody may open while we hold it, gone again when closed
    // (also when the process dies). Another instance's open fails with a sharing
    // violation; one that comes while the system is still deleting the file is
    // refused access to it, which is the same "busy". Refused access to a file
    // that is gone by the time we look, it was being deleted just then: the open
    // is tried again, or the caller would go ahead without the lock while the
    // instance that takes it next writes too.
    WriteLock tryLockFolder(const std::filesystem::path& folder, bool& busy) override
    {
        busy = false;
        try {
            const std::filesystem::path file = folder / L".keystead-vault.lock";
            constexpr int Attempts = 8;
            HANDLE handle = INVALID_HANDLE_VALUE;
            for (int attempt = 0; attempt < Attempts && handle == INVALID_HANDLE_VALUE; ++attempt) {
                handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
                if (handle != INVALID_HANDLE_VALUE)
                    break;
                const DWORD error = ::GetLastError();
                busy = error == ERROR_SHARING_VIOLATION ||
                       (error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES);
                if (busy || error != ERROR_ACCESS_DENIED)
                    return nullptr;
            }
            if (handle == INVALID_HANDLE_VALUE)
                return nullptr;
            std::unique_ptr<HeldFolder> held(new (std::nothrow) HeldFolder(handle));
            if (!held)
                ::CloseHandle(handle);
            return held;
        } catch (...) {
            return nullptr;
        }
    }

private:
    class HeldFolder final : public FolderLock
    {
    public:
        explicit HeldFolder(HANDLE handle) : m_handle(handle) {}

    private:
        Handle m_handle;
    };
};

} // namespace

FileOps& realFileOps()
{
    static Win32FileOps ops;
    return ops;
}

bool isLinkName(const std::filesystem::path& name)
{
    try {
        // The name's own attributes: a link is not followed here.
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    } catch (...) {
        return false;
    }
}

// New folders take their parent's access list, as files do.
FileResult makeFolder(const std::filesystem::path& folder)
{
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return failed();
    return {};
}

void makeFolderPrivate(const std::filesystem::path&) {}

} // namespace kv
