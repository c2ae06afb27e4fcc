#include "vault/file_range.h"

#include <windows.h>

#include <algorithm>

namespace kv {

namespace {

class Win32FileRange : public FileRange
{
public:
    Win32FileRange(HANDLE file, std::uint64_t size) : m_file(file) { m_size = size; }
    ~Win32FileRange() override { CloseHandle(m_file); }
    Win32FileRange(const Win32FileRange&) = delete;
    Win32FileRange& operator=(const Win32FileRange&) = delete;

    bool read(std::uint64_t offset, char* buffer, std::size_t count, std::size_t& got) override
    {
        got = 0;
        while (got < count) {
            const std::uint64_t at = offset + got;
            OVERLAPPED where{};
            where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
            where.OffsetHigh = static_cast<DWORD>(at >> 32);
            const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(count - got, 1u << 30));
            DWORD n = 0;
            if (!ReadFile(m_file, buffer + got, asked, &n, &where))
                return GetLastError() == ERROR_HANDLE_EOF;
            if (n == 0)
                break;
            got += n;
        }
        return true;
    }

private:
    HANDLE m_file;
};

} // namespace

std::unique_ptr<FileRange> FileRange::open(const std::filesystem::path& file)
{
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER size{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
        CloseHandle(handle);
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        return nullptr;
    }
    return std::make_unique<Win32FileRange>(handle, static_cast<std::uint64_t>(size.QuadPart));
}

} // namespace kv
