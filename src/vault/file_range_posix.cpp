#include "vault/file_range.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kv {

namespace {

class PosixFileRange : public FileRange
{
public:
    PosixFileRange(int fd, std::uint64_t size) : m_fd(fd) { m_size = size; }
    ~PosixFileRange() override { ::close(m_fd); }
    PosixFileRange(const PosixFileRange&) = delete;
    PosixFileRange& operator=(const PosixFileRange&) = delete;

    bool read(std::uint64_t offset, char* buffer, std::size_t count, std::size_t& got) override
    {
        got = 0;
        while (got < count) {
            const ssize_t n = ::pread(m_fd, buffer + got, count - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

} // namespace

std::unique_ptr<FileRange> FileRange::open(const std::filesystem::path& file)
{
    // Not blocking: opening a FIFO would otherwise wait for a writer.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFileRange>(fd, static_cast<std::uint64_t>(status.st_size));
}

} // namespace kv
