#include "storage/line_cipher.h"

#include "product/product.h"
#include "storage/ansi_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

namespace {

// Digit values by byte, -1 for anything that is not a hexadecimal digit. A table,
// because the loader runs this over every character of the data file.
constexpr auto HexValues = [] {
    std::array<signed char, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<signed char>(10 + i);
        table['a' + i] = static_cast<signed char>(10 + i);
    }
    return table;
}();

// The byte a pair of digits stands for, by the two characters read as one 16-bit
// number, or 0x100 when either is not a digit: one lookup per byte of the file's
// text, where loading spends its time.
const std::array<std::uint16_t, 65536>& pairValues()
{
    static const auto table = [] {
        auto t = std::make_unique<std::array<std::uint16_t, 65536>>();
        for (std::size_t first = 0; first < 256; ++first) {
            for (std::size_t second = 0; second < 256; ++second) {
                const int high = HexValues[first];
                const int low = HexValues[second];
                const std::uint16_t value = (high | low) < 0 ? 0x100 : static_cast<std::uint16_t>(high << 4 | low);
                std::uint16_t key;
                const unsigned char bytes[2] = {static_cast<unsigned char>(first), static_cast<unsigned char>(second)};
                std::memcpy(&key, bytes, 2); // as the two characters lie in memory
                (*t)[key] = value;
            }
        }
        return t;
    }();
    return *table;
}

// Two upper-case digits per byte value, as they are written.
constexpr auto DigitPairs = [] {
    constexpr char Digits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> t{};
    for (std::size_t v = 0; v < 256; ++v)
        t[v] = {Digits[v >> 4], Digits[v & 0xF]};
    return t;
}();

} // namespace

namespace {

// The key written out long enough that `length` bytes of it can be read from any
// position within its first turn.
struct KeyStream
{
    static constexpr std::size_t MaxKey = 64;
    static constexpr std::size_t Extra = 16;
    unsigned char bytes[MaxKey + Extra];
    std::size_t size;

    explicit KeyStream(const unsigned char* key, std::size_t m) : size(m)
    {
        std::memcpy(bytes, key, m);
        for (std::size_t t = m; t < m + Extra; ++t)
            bytes[t] = bytes[t - m];
    }
};

#if defined(__SSE2__)
// Sixteen bytes, already keyed, into 32 upper-case digits.
void encodeSixteen(__m128i bytes, char* dest)
{
    const __m128i low4 = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), low4);
    const __m128i low = _mm_and_si128(bytes, low4);
    // 0..9 become '0'..'9', 10..15 'A'..'F'.
    const auto digit = [](__m128i n) {
        const __m128i letter = _mm_cmpgt_epi8(n, _mm_set1_epi8(9));
        return _mm_add_epi8(_mm_add_epi8(n, _mm_set1_epi8('0')), _mm_and_si128(letter, _mm_set1_epi8('A' - '0' - 10)));
    };
    const __m128i h = digit(high);
    const __m128i l = digit(low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_unpacklo_epi8(h, l));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 16), _mm_unpackhi_epi8(h, l));
}

// Sixteen digits into their values; `valid` keeps a bit clear for each that is not
// a hexadecimal digit.
__m128i digitValues(__m128i chars, int& valid)
{
    // Signed compares: anything from 0x80 up is negative and so no digit.
    const __m128i digit =
        _mm_and_si128(_mm_cmpgt_epi8(chars, _mm_set1_epi8('0' - 1)), _mm_cmpgt_epi8(_mm_set1_epi8('9' + 1), chars));
    const __m128i lower = _mm_or_si128(chars, _mm_set1_epi8(0x20));
    const __m128i letter =
        _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)), _mm_cmpgt_epi8(_mm_set1_epi8('f' + 1), lower));
    valid &= _mm_movemask_epi8(_mm_or_si128(digit, letter));
    return _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(chars, _mm_set1_epi8('0'))),
                        _mm_and_si128(letter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
}

// Thirty-two digits into sixteen bytes, not yet keyed; false when any is not a
// hexadecimal digit.
bool decodeThirtyTwo(const char* digits, __m128i& bytes)
{
    int valid = 0xFFFF;
    const __m128i first = digitValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(digits)), valid);
    const __m128i second = digitValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(digits + 16)), valid);
    // In each 16-bit lane the first digit lies low: its value goes high in the byte.
    const auto pairs = [](__m128i v) {
        return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0x00FF)), 4), _mm_srli_epi16(v, 8));
    };
    bytes = _mm_packus_epi16(pairs(first), pairs(second));
    return valid == 0xFFFF;
}
#endif

} // namespace

void encodeBytesAppend(std::string_view bytes, std::string_view keyBytes, std::string& out)
{
    const std::size_t m = keyBytes.size();
    if (m == 0)
        return;
    // The filler comes from the application title whatever the key; with the
    // program's one key the two are the same.
    std::string_view filler;
    const std::size_t n = bytes.size();
    if (m > n)
        filler = AppTitle.substr(0, std::min(m - n - 1, AppTitle.size()));
    const bool padded = m > n;

    const std::size_t start = out.size();
    out.resize(start + 2 * (n + (padded ? 1 + filler.size() : 0)));
    char* dest = out.data() + start;
    const auto* key = reinterpret_cast<const unsigned char*>(keyBytes.data());
    std::size_t i = 0;
    std::size_t k = 0;
    // A full save spends its time here: sixteen bytes at a time where the machine
    // allows.
#if defined(__SSE2__)
    if (m <= KeyStream::MaxKey) {
        const KeyStream stream(key, m);
        for (; i + 16 <= n; i += 16) {
            const __m128i plain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
            const __m128i keyed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stream.bytes + k));
            encodeSixteen(_mm_xor_si128(plain, keyed), dest);
            dest += 32;
            for (k += 16; k >= m;) // no division: it would cost more than the sixteen bytes
                k -= m;
        }
    }
#endif
    const auto put = [&](char c) {
        const auto v = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ key[k]);
        std::memcpy(dest, DigitPairs[v].data(), 2);
        dest += 2;
        if (++k == m)
            k = 0;
    };
    for (; i < n; ++i)
        put(bytes[i]);
    if (padded) {
        put('.');
        for (const char c : filler)
            put(c);
    }
}

std::string encodeBytes(std::string_view bytes, std::string_view keyBytes)
{
    std::string out;
    encodeBytesAppend(bytes, keyBytes, out);
    return out;
}

bool decodeBytesTo(std::string_view cipher, std::string_view keyBytes, char* out)
{
    const std::size_t m = keyBytes.size();
    if (m == 0)
        return false;
    // The loader spends its time here, and a valid line is the rule.
    const std::size_t pairs = cipher.size() / 2;
    const char* digits = cipher.data();
    const auto* key = reinterpret_cast<const unsigned char*>(keyBytes.data());
    std::size_t i = 0;
    std::size_t k = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time where the machine allows.
    if (m <= KeyStream::MaxKey) {
        const KeyStream stream(key, m);
        for (; i + 16 <= pairs; i += 16) {
            __m128i bytes;
            if (!decodeThirtyTwo(digits + 2 * i, bytes))
                return false;
            const __m128i keyed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stream.bytes + k));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(bytes, keyed));
            for (k += 16; k >= m;) // no division: it would cost more than the sixteen bytes
                k -= m;
        }
    }
#endif
    const auto& values = pairValues();
    unsigned invalid = 0;
    for (; i < pairs; ++i) {
        std::uint16_t pair;
        std::memcpy(&pair, digits + 2 * i, 2);
        const unsigned value = values[pair];
        invalid |= value;
        out[i] = static_cast<char>(value ^ key[k]);
        if (++k == m)
            k = 0;
    }
    bool valid = (invalid & 0x100) == 0;
    if (cipher.size() % 2 != 0) {
        // An odd-length input reads its last digit alone.
        const int last = HexValues[static_cast<unsigned char>(digits[cipher.size() - 1])];
        valid = valid && last >= 0;
        out[pairs] = static_cast<char>(last ^ key[k]);
    }
    return valid;
}

void decodeBytesInto(std::string_view cipher, std::string_view keyBytes, std::string& out)
{
    out.clear();
    if (keyBytes.empty() || cipher.empty())
        return;
    out.resize((cipher.size() + 1) / 2);
    if (!decodeBytesTo(cipher, keyBytes, out.data()))
        out.clear();
}

std::string decodeBytes(std::string_view cipher, std::string_view keyBytes)
{
    std::string out;
    decodeBytesInto(cipher, keyBytes, out);
    return out;
}

std::string EncodeLine(std::string_view text, std::string_view key)
{
    return encodeBytes(utf8ToAnsi(text), utf8ToAnsi(key));
}

std::string DecodeLine(std::string_view cipher, std::string_view key)
{
    return ansiToUtf8(decodeBytes(cipher, utf8ToAnsi(key)));
}

} // namespace kv
