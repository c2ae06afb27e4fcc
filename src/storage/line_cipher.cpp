#include "storage/line_cipher.h"

#include "product/product.h"
#include "storage/ansi_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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
    const auto* digits = reinterpret_cast<const unsigned char*>(cipher.data());
    const auto* key = reinterpret_cast<const unsigned char*>(keyBytes.data());
    int invalid = 0;
    std::size_t i = 0;
    for (; i + m <= pairs; i += m) {
        for (std::size_t j = 0; j < m; ++j) {
            const int high = HexValues[digits[2 * (i + j)]];
            const int low = HexValues[digits[2 * (i + j) + 1]];
            invalid |= high | low;
            out[i + j] = static_cast<char>(((high << 4) | low) ^ key[j]);
        }
    }
    std::size_t k = 0;
    for (; i < pairs; ++i, ++k) {
        const int high = HexValues[digits[2 * i]];
        const int low = HexValues[digits[2 * i + 1]];
        invalid |= high | low;
        out[i] = static_cast<char>(((high << 4) | low) ^ key[k]);
    }
    if (cipher.size() % 2 != 0) {
        // An odd-length input reads its last digit alone.
        const int last = HexValues[digits[cipher.size() - 1]];
        invalid |= last;
        out[pairs] = static_cast<char>(last ^ key[k]);
    }
    return invalid >= 0;
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
