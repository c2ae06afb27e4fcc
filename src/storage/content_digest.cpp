#include "storage/content_digest.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

// Odd constants whose bytes are not all hexadecimal digits, so no 8 bytes of a
// data file's text cancel one of them out.
constexpr std::uint64_t K0 = 0xa0761d6478bd642full;
constexpr std::uint64_t K1 = 0xe7037ed1a0b428dbull;
constexpr std::uint64_t K2 = 0x8ebc6af09c88c6e3ull;
constexpr std::uint64_t K3 = 0x589965cc75374cc3ull;

__extension__ typedef unsigned __int128 Wide; // g++ and clang, also for mingw-w64

// The full 128-bit product, folded: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

std::uint64_t load64(const unsigned char* p)
{
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

} // namespace

void ContentDigest::addStripe(const unsigned char* stripe)
{
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        const unsigned char* block = stripe + 16 * lane;
        m_state[lane] = mix(load64(block) ^ K0, load64(block + 8) ^ m_state[lane] ^ K1);
    }
}

void ContentDigest::add(std::string_view bytes)
{
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    m_size += left;
    if (m_pendingSize > 0) {
        const std::size_t take = std::min(left, StripeSize - m_pendingSize);
        std::memcpy(m_pending + m_pendingSize, p, take);
        m_pendingSize += take;
        p += take;
        left -= take;
        if (m_pendingSize < StripeSize)
            return;
        addStripe(m_pending);
        m_pendingSize = 0;
    }
    for (; left >= StripeSize; p += StripeSize, left -= StripeSize)
        addStripe(p);
    std::memcpy(m_pending, p, left);
    m_pendingSize = left;
}

std::uint64_t ContentDigest::value() const
{
    unsigned char tail[StripeSize] = {};
    std::memcpy(tail, m_pending, m_pendingSize);
    std::uint64_t value = m_size ^ K2;
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        const unsigned char* block = tail + 16 * lane;
        const std::uint64_t last = mix(load64(block) ^ K2, load64(block + 8) ^ m_state[lane] ^ K3);
        value = mix(value ^ last ^ K0, static_cast<std::uint64_t>(lane) ^ K1);
    }
    return value;
}

} // namespace kv
