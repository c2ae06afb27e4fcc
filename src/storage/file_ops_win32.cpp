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

// Notes the last error as the reason of the failure at hand; returns false.
bool failed()
{
    noteFileError(reasonFor(::GetLastError()));
    return false;
}

// WriteFile takes at most a DWORD at a time.
bool writeFully(HANDLE handle, std::string_view data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, p, chunk, &written, nullptr))
            return failed();
        if (written == 0)
            return false;
        p += written;
        left -= written;
    }
    return true;
}

void fillStatus(const BY_HANDLE_FILE_INFORMATION& info, FileStatus& out)
{
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// Opens a file on disk for reading, letting others read, write and rename it
// meanwhile; an invalid handle for anything else (a console, a pipe, a device).
HANDLE openForReading(const std::filesystem::path& file)
{
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder in the file's place is refused as if access were denied: it is no file, not a matter of rights.
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && !folder)
            noteFileError(reasonFor(error));
    } else if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

class Win32FileOps final : public FileOps
{
    // The last (`tail`) or first `count` bytes of the file, all of it when shorter.
    static bool readPart(const std::filesystem::path& file, std::size_t count, bool tail, std::string& out)
    {
        try {
            Handle handle(openForReading(file));
            LARGE_INTEGER size{};
            if (!handle.valid() || !::GetFileSizeEx(handle.get(), &size))
                return false;
            const auto total = static_cast<unsigned long long>(size.QuadPart);
            const unsigned long long start = tail && total > count ? total - count : 0;
            LARGE_INTEGER position{};
            position.QuadPart = static_cast<LONGLONG>(start);
            if (!::SetFilePointerEx(handle.get(), position, nullptr, FILE_BEGIN))
                return false;
            std::string data(static_cast<std::size_t>(std::min<unsigned long long>(count, total - start)), '\0');
            DWORD got = 0;
            if (!data.empty() && !::ReadFile(handle.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr))
                return failed();
            data.resize(got);
            out.swap(data);
            return true;
        } catch (...) {
            return false;
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

    bool readChunks(const std::filesystem::path& file, FileStatus& status,
                    const std::function<bool(std::string_view chunk)>& sink) override
    {
        try {
            Handle handle(openForReading(file));
            BY_HANDLE_FILE_INFORMATION info{};
            if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &info))
                return false;
            fillStatus(info, status);
            status.regular = true;
            std::string buffer(256 * 1024, '\0');
            for (;;) {
                DWORD got = 0;
                if (!::ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
                    return failed();
                if (got == 0)
                    return true;
                if (!sink(std::string_view(buffer.data(), got)))
                    return false;
            }
        } catch (...) {
            return false;
        }
    }

    bool readTail(const std::filesystem::path& file, std::size_t count, std::string& out) override
    {
        return readPart(file, count, true, out);
    }

    bool readHead(const std::filesystem::path& file, std::size_t count, std::string& out) override
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

    bool writeNew(const std::filesystem::path& file, std::string_view data) override
    {
        try {
            Handle handle(
                ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle.valid())
                return failed();
            bool ok = writeFully(handle.get(), data) && (::FlushFileBuffers(handle.get()) != 0 || failed());
            ok = (handle.close() || failed()) && ok;
            return ok;
        } catch (...) {
            return false;
        }
    }

    bool writeNewPieces(const std::filesystem::path& file, const std::function<bool(std::string& piece)>& fill) override
    {
        try {
            Handle handle(
                ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle.valid())
                return failed();
            bool ok = true;
            std::string piece;
            for (bool more = true; more && ok;) {
                piece.clear();
                more = fill(piece);
                ok = writeFully(handle.get(), piece);
            }
            ok = ok && (::FlushFileBuffers(handle.get()) != 0 || failed());
            ok = (handle.close() || failed()) && ok;
            return ok;
        } catch (...) {
            return false;
        }
    }

    bool append(const std::filesystem::path& file, std::string_view data) override
    {
        try {
            Handle handle(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!handle.valid())
                return failed();
            LARGE_INTEGER zero{};
            LARGE_INTEGER end{};
            if (!::SetFilePointerEx(handle.get(), zero, &end, FILE_END))
                return false;
            bool ok = writeFully(handle.get(), data);
            if (!ok) {
                // Take back a partial line, so the next append does not start mid-entry.
                if (::SetFilePointerEx(handle.get(), end, nullptr, FILE_BEGIN))
                    ::SetEndOfFile(handle.get());
            }
            ok = ok && (::FlushFileBuffers(handle.get()) != 0 || failed());
            ok = (handle.close() || failed()) && ok;
            return ok;
        } catch (...) {
            return false;
        }
    }

    bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        try {
            // WRITE_THROUGH: the call returns only once the move is on disk.
            return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
                   failed();
        } catch (...) {
            return false;
        }
    }

    bool remove(const std::filesystem::path& file) override
    {
        try {
            if (::DeleteFileW(file.c_str()))
                return true;
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return true;
            noteFileError(reasonFor(error));
            return false;
        } catch (...) {
            return false;
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
    // refused access to it, which is the same "busy".
    WriteLock tryLockFolder(const std::filesystem::path& folder, bool& busy) override
    {
        busy = false;
        try {
            const std::filesystem::path file = folder / L".keystead-vault.lock";
            HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                const DWORD error = ::GetLastError();
                busy = error == ERROR_SHARING_VIOLATION ||
                       (error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES);
                return nullptr;
            }
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

bool makePrivateFolders(const std::filesystem::path& folder)
{
    // New folders take their parent's access list, as files do.
    try {
        std::error_code error;
        if (folder.empty() || std::filesystem::is_directory(folder, error))
            return true;
        const std::filesystem::path parent = folder.parent_path();
        if (parent != folder && !makePrivateFolders(parent))
            return false;
        if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return failed();
        return std::filesystem::is_directory(folder, error);
    } catch (...) {
        return false;
    }
}

void makeFolderPrivate(const std::filesystem::path&) {}

} // namespace kv
