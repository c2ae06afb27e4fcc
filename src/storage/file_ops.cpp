#include "storage/file_ops.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

namespace kv {

namespace {

// A name no other writer picks: the target's own name (so a stray one is easy to
// recognise), ".tmp", then a per-process random part and a running count.
std::filesystem::path temporaryPathFor(const std::filesystem::path& target)
{
    static const std::uint64_t processPart = [] {
        std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        try {
            std::random_device device;
            seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
        } catch (...) {
            // No entropy source: the clock alone still differs between processes.
        }
        return seed;
    }();
    static std::atomic<std::uint64_t> counter{0};

    static constexpr char Digits[] = "0123456789abcdef";
    std::string suffix = ".tmp";
    const auto appendHex = [&](std::uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            suffix += Digits[(value >> shift) & 0xF];
    };
    appendHex(processPart, 16);
    suffix += '-';
    appendHex(counter.fetch_add(1), 8);

    std::filesystem::path temp = target;
    temp += suffix;
    return temp;
}

} // namespace

bool replaceFileAtomically(FileOps& ops, const std::filesystem::path& target, std::string_view data)
{
    std::filesystem::path temp;
    try {
        temp = temporaryPathFor(target);
    } catch (...) {
        return false;
    }
    bool ok = false;
    try {
        ok = ops.writeNew(temp, data) && ops.renameOver(temp, target);
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        try {
            ops.remove(temp);
        } catch (...) {
        }
    }
    return ok;
}

} // namespace kv
