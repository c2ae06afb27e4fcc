#pragma once
// A 64-bit digest of a file's bytes, fed a piece at a time, that can be carried
// on: the digest of what the program last read or wrote, extended by a line it
// appends, is the digest of the file as the program left it. It tells "the bytes
// are not what we left" from "only the time stamps moved". Not a cryptographic
// hash: nobody gains by forging it, since whoever can write the file can write
// anything into it.

#include <cstdint>
#include <string_view>

namespace kv {

class ContentDigest
{
public:
    void add(std::string_view bytes);
    std::uint64_t size() const { return m_size; }
    std::uint64_t value() const;

    // Same bytes: same size and same digest.
    bool operator==(const ContentDigest& other) const { return m_size == other.m_size && value() == other.value(); }

private:
    static constexpr std::size_t Lanes = 4; // independent chains, so the multiplies overlap
    static constexpr std::size_t StripeSize = 16 * Lanes;
    void addStripe(const unsigned char* stripe);

    std::uint64_t m_state[Lanes] = {};
    std::uint64_t m_size = 0;
    unsigned char m_pending[StripeSize] = {};
    std::size_t m_pendingSize = 0;
};

} // namespace kv
