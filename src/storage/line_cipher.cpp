#include "storage/line_cipher.h"

#include "product/product.h"
#include "storage/ansi_text.h"

#include <algorithm>
#include <array>

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

int hexValue(char c)
{
    return HexValues[static_cast<unsigned char>(c)];
}

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

    static constexpr char Digits[] = "0123456789ABCDEF";
    const std::size_t start = out.size();
    out.resize(start + 2 * (n + (padded ? 1 + filler.size() : 0)));
    char* dest = out.data() + start;
    std::size_t k = 0;
    const auto put = [&](char c) {
        const auto v =
            static_cast<unsigned char>(static_cast<unsigned char>(c) ^ static_cast<unsigned char>(keyBytes[k]));
        *dest++ = Digits[v >> 4];
        *dest++ = Digits[v & 0xF];
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
    const std::size_t pairs = cipher.size() / 2;
    std::size_t k = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const int high = hexValue(cipher[2 * i]);
        const int low = hexValue(cipher[2 * i + 1]);
        if ((high | low) < 0)
            return false;
        out[i] = static_cast<char>((high << 4 | low) ^ static_cast<unsigned char>(keyBytes[k]));
        if (++k == m)
            k = 0;
    }
    if (cipher.size() % 2 != 0) {
        // An odd-length input reads its last digit alone.
        const int last = hexValue(cipher.back());
        if (last < 0)
            return false;
        out[pairs] = static_cast<char>(last ^ static_cast<unsigned char>(keyBytes[k]));
    }
    return true;
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
