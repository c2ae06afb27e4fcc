#pragma once
// A file read a piece at a time wherever a search leads, never whole: a breach
// list runs to tens of gigabytes.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace kv {

class FileRange
{
public:
    virtual ~FileRange() = default;

    // A regular file opened for reading; null when it cannot be opened or is none
    // (a folder, a FIFO or a device would hang a search or never end).
    static std::unique_ptr<FileRange> open(const std::filesystem::path& file);

    std::uint64_t size() const { return m_size; }
    // Up to `count` bytes from `offset` into `buffer`: as many as the file holds
    // there, or nothing when it cannot be read.
    virtual bool read(std::uint64_t offset, char* buffer, std::size_t count, std::size_t& got) = 0;

protected:
    std::uint64_t m_size = 0;
};

} // namespace kv
