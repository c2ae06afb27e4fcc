#include "storage/line_cipher.h"

#include "product/product.h"
#include "storage/ansi_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

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
    std::size_t k = 0;
    const auto put = [&](char c) {
        const auto v =
            static_cast<unsigned char>(static_cast<unsigned char>(c) ^ static_cast<unsigned char>(keyBytes[k]));
        std::memcpy(dest, DigitPairs[v].data(), 2);
        dest += 2;
        if (++k == m)
            k = 0;
    };
    for (const char c : bytes)
        put(c);
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
    // Whole turns of the key at a time, and one check of the digits at the end:
    // the loader spends its time here, and a valid line is the rule.
    const std::size_t pairs = cipher.size() / 2;
    const char* digits = cipher.data();
    const auto* key = reinterpret_cast<const unsigned char*>(keyBytes.data());
    const auto& values = pairValues();
    unsigned invalid = 0;
    const auto decodePair = [&](std::size_t i, std::size_t k) {
        std::uint16_t pair;
        std::memcpy(&pair, digits + 2 * i, 2);
        const unsigned value = values[pair];
        invalid |= value;
        out[i] = static_cast<char>(value ^ key[k]);
    };
    std::size_t i = 0;
    for (; i + m <= pairs; i += m) {
        for (std::size_t j = 0; j < m; ++j)
            decodePair(i + j, j);
    }
    std::size_t k = 0;
    for (; i < pairs; ++i, ++k)
        decodePair(i, k);
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
