#include "generator/password_generator.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <system_error>
#include <vector>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on
#else
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#endif

namespace kv {
namespace {

#ifdef _WIN32

void fillRandom(std::uint8_t* buffer, std::size_t size)
{
    // BCryptGenRandom takes a ULONG count; our requests are far below that, but stay honest about it.
    while (size > 0) {
        const ULONG chunk = size > 0x10000000 ? 0x10000000 : static_cast<ULONG>(size);
        const NTSTATUS status = BCryptGenRandom(nullptr, buffer, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (!BCRYPT_SUCCESS(status))
            throw std::system_error(static_cast<int>(status), std::system_category(), "BCryptGenRandom");
        buffer += chunk;
        size -= chunk;
    }
}

#else

// Kernels or sandboxes without the getrandom call still have the device.
void fillFromUrandom(std::uint8_t* buffer, std::size_t size)
{
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "/dev/urandom");
    while (size > 0) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = got < 0 ? errno : EIO;
            ::close(fd);
            throw std::system_error(error, std::generic_category(), "/dev/urandom");
        }
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
    ::close(fd);
}

void fillRandom(std::uint8_t* buffer, std::size_t size)
{
    while (size > 0) {
        // Reads above 256 bytes may come back short, and a signal may interrupt us: keep asking.
        const ssize_t got = ::getrandom(buffer, size, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOSYS || errno == EPERM) {
                fillFromUrandom(buffer, size);
                return;
            }
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
}

#endif

// The largest multiple of the alphabet size that fits in a byte: bytes at or above it are thrown away,
// otherwise the first 256 % 34 characters would come up more often than the rest.
constexpr unsigned AcceptBelow = 256 / PasswordAlphabet.size() * PasswordAlphabet.size();
static_assert(AcceptBelow == 238);

} // namespace

std::string GeneratePassword(int length)
{
    std::string password;
    if (length < 1)
        return password;
    const auto wanted = static_cast<std::size_t>(length);
    password.reserve(wanted);

    std::vector<std::uint8_t> bytes;
    while (password.size() < wanted) {
        const std::size_t missing = wanted - password.size();
        // About 7% of the bytes are rejected; ask for a little more so one round nearly always does.
        bytes.resize(missing + missing / 8 + 8);
        fillRandom(bytes.data(), bytes.size());
        for (const std::uint8_t byte : bytes) {
            if (byte >= AcceptBelow)
                continue;
            password.push_back(PasswordAlphabet[byte % PasswordAlphabet.size()]);
            if (password.size() == wanted)
                break;
        }
    }
    // The raw bytes decided the password: do not leave them lying in freed memory.
    volatile std::uint8_t* wipe = bytes.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        wipe[i] = 0;
    return password;
}

} // namespace kv
