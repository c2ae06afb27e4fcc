#pragma once
// Finding the next byte that needs care in text that is mostly plain, eight bytes
// at a time. CSV and XML fields are short runs of ordinary characters between a
// few special ones; a test per byte costs more than copying them.
//
// A Care type says which bytes need care: `marks(word)` gives the high bit of
// each byte of an eight-byte word that does (the bytes in memory order, whatever
// the machine's byte order), `byte(b)` answers for one.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace kv::scan {

inline constexpr std::uint64_t Ones = 0x0101010101010101ULL;
inline constexpr std::uint64_t Highs = 0x8080808080808080ULL;

inline std::uint64_t load(const char* at)
{
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// The high bit of every byte equal to `c`. Exact: the low seven bits are added
// apart from the eighth, so no carry crosses into the next byte.
constexpr std::uint64_t bytesEqual(std::uint64_t word, unsigned char c)
{
    const std::uint64_t x = word ^ (Ones * c);
    return ~(((x & ~Highs) + ~Highs) | x) & Highs;
}

// The high bit of every byte below `limit` (at most 0x80), exact in the same way.
constexpr std::uint64_t bytesBelow(std::uint64_t word, unsigned char limit)
{
    return ~(((word & ~Highs) + Ones * (0x80 - limit)) | word) & Highs;
}

// The high bit of every byte from 0x80 up.
constexpr std::uint64_t highBytes(std::uint64_t word)
{
    return word & Highs;
}

// Where the first marked byte of a word stands in memory; `marks` is not 0.
inline std::size_t firstMarked(std::uint64_t marks)
{
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
    else
        return static_cast<std::size_t>(std::countl_zero(marks)) / 8;
}

// A byte table for the few bytes left over at a run's end.
constexpr std::array<bool, 256> tableOf(std::initializer_list<unsigned char> bytes, bool andHigh)
{
    std::array<bool, 256> table{};
    for (const unsigned char b : bytes)
        table[b] = true;
    for (std::size_t b = 0x80; andHigh && b < 0x100; ++b)
        table[b] = true;
    return table;
}

// The first byte from `at` on that needs care, or `end`.
template <typename Care> const char* findCare(const char* at, const char* end)
{
    const char* const start = at;
    for (; end - at >= 8; at += 8) {
        if (const std::uint64_t marks = Care::marks(load(at)))
            return at + firstMarked(marks);
    }
    if (at == end)
        return end;
    // Fewer than eight bytes left: when the run is long enough, the last eight
    // bytes are tested at once. Those before `at` are known to be plain.
    if (end - start >= 8) {
        const std::uint64_t marks = Care::marks(load(end - 8));
        return marks ? end - 8 + firstMarked(marks) : end;
    }
    while (at != end && !Care::byte(static_cast<unsigned char>(*at)))
        ++at;
    return at;
}

// Copies bytes from `at` to `to` up to the first that needs care (or `end`) and
// moves both past them. `to` needs room for the bytes and 8 more: whole words are
// stored before they are tested.
template <typename Care> void copyPlain(const char*& at, const char* end, char*& to)
{
    const char* const start = at;
    while (end - at >= 8) {
        const std::uint64_t word = load(at);
        std::memcpy(to, &word, sizeof word);
        if (const std::uint64_t marks = Care::marks(word)) {
            const std::size_t plain = firstMarked(marks);
            at += plain;
            to += plain;
            return;
        }
        at += 8;
        to += 8;
    }
    if (at == end)
        return;
    // As in findCare: the last eight bytes at once, stored over the copy of the
    // plain ones before `at`, which they repeat.
    if (end - start >= 8) {
        const std::size_t back = static_cast<std::size_t>(8 - (end - at));
        const std::uint64_t word = load(end - 8);
        std::memcpy(to - back, &word, sizeof word);
        const std::uint64_t marks = Care::marks(word);
        const std::size_t plain = (marks ? firstMarked(marks) : 8) - back;
        at += plain;
        to += plain;
        return;
    }
    while (at != end && !Care::byte(static_cast<unsigned char>(*at)))
        *to++ = *at++;
}

} // namespace kv::scan
