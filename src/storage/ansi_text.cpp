#include "storage/ansi_text.h"

#include <array>
#include <cstdint>

namespace kv {

namespace {

// Bytes 0x80..0x9F of Windows-1252. The five the code page leaves undefined stand
// for the C1 code point of the same number, so every byte survives a round trip.
constexpr std::array<char32_t, 32> HighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

constexpr char32_t Invalid = 0xFFFFFFFF;

// Reads one code point at `pos` and moves past it. A malformed sequence yields
// Invalid and moves past its longest well-formed prefix (at least one byte), so
// each broken sequence becomes exactly one substitute.
char32_t nextCodePoint(std::string_view s, std::size_t& pos)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (lead == 0xED)
            hi = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        ++pos;
        return Invalid;
    }
    ++pos;
    for (int i = 0; i < extra; ++i) {
        if (pos >= s.size())
            return Invalid;
        const unsigned char b = byteAt(pos);
        const unsigned char min = i == 0 ? lo : 0x80;
        const unsigned char max = i == 0 ? hi : 0xBF;
        if (b < min || b > max)
            return Invalid;
        cp = (cp << 6) | (b & 0x3F);
        ++pos;
    }
    return cp;
}

// The Windows-1252 byte for a code point, or -1 when the code page has none.
int ansiByteFor(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (std::size_t i = 0; i < HighTable.size(); ++i) {
        if (HighTable[i] == cp)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}

bool isAscii(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

std::string utf8ToAnsi(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, pos);
        const int b = cp == Invalid ? -1 : ansiByteFor(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

std::string ansiToUtf8(std::string_view ansi)
{
    if (isAscii(ansi))
        return std::string(ansi);
    // Sized first and filled through a pointer: the loader converts every line.
    std::size_t size = 0;
    for (const char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        size += b < 0x80 ? 1 : (b < 0xA0 && HighTable[b - 0x80] >= 0x800) ? 3 : 2;
    }
    std::string out(size, '\0');
    char* dest = out.data();
    for (const char c : ansi) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            *dest++ = c;
            continue;
        }
        const char32_t cp = b < 0xA0 ? HighTable[b - 0x80] : b;
        if (cp < 0x800) {
            *dest++ = static_cast<char>(0xC0 | (cp >> 6));
            *dest++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            // Every character of the code page lies in the Basic Multilingual Plane.
            *dest++ = static_cast<char>(0xE0 | (cp >> 12));
            *dest++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *dest++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

char32_t ansiCodePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? HighTable[byte - 0x80] : static_cast<char32_t>(byte);
}

bool fitsAnsi(std::string_view utf8)
{
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, pos);
        if (cp == Invalid || ansiByteFor(cp) < 0)
            return false;
    }
    return true;
}

std::size_t utf8Length(std::string_view utf8)
{
    // Counted as utf8ToAnsi counts: a malformed sequence is one character, so the
    // length always equals the size of the Windows-1252 form.
    std::size_t count = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        nextCodePoint(utf8, pos);
        ++count;
    }
    return count;
}

} // namespace kv
