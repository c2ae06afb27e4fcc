// The line cipher: any text decodes without harm, and encoding round-trips.

#include "fuzz_check.h"
#include "product/product.h"
#include "storage/ansi_text.h"
#include "storage/line_cipher.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool allHex(std::string_view s)
{
    for (const char c : s) {
        if (!isHexDigit(c))
            return false;
    }
    return true;
}

std::string lowerCase(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// What a short text is lengthened with before it is enciphered.
std::string filler(std::size_t length)
{
    const std::size_t key = kv::AppTitle.size();
    if (length >= key)
        return {};
    return ("." + std::string(kv::AppTitle)).substr(0, key - length);
}

void checkDecodeAnything(std::string_view input)
{
    const std::string plain = kv::decodeBytes(input, kv::AppTitle);
    // It reads or it fails whole: never half a line.
    if (input.empty() || !allHex(input))
        KV_REQUIRE(plain.empty());
    else
        KV_REQUIRE(plain.size() == (input.size() + 1) / 2);

    // The loader's reused buffer must not leak an earlier line into this one.
    std::string reused = "left over from the line before";
    kv::decodeBytesInto(input, kv::AppTitle, reused);
    KV_REQUIRE(reused == plain);

    if (!allHex(input))
        return;
    // Old files hold lower-case digits.
    KV_REQUIRE(kv::decodeBytes(lowerCase(std::string(input)), kv::AppTitle) == plain);
    // A lone last digit reads as if a zero stood before it.
    if (input.size() % 2 != 0) {
        std::string padded(input);
        padded.insert(padded.size() - 1, 1, '0');
        KV_REQUIRE(kv::decodeBytes(padded, kv::AppTitle) == plain);
    }
}

void checkRoundTrip(std::string_view bytes)
{
    const std::string cipher = kv::encodeBytes(bytes, kv::AppTitle);
    KV_REQUIRE(cipher.size() == 2 * std::max(bytes.size(), kv::AppTitle.size()));
    for (const char c : cipher)
        KV_REQUIRE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));

    const std::string expected = std::string(bytes) + filler(bytes.size());
    const std::string plain = kv::decodeBytes(cipher, kv::AppTitle);
    KV_REQUIRE(plain == expected);
    KV_REQUIRE(kv::decodeBytes(lowerCase(cipher), kv::AppTitle) == plain);

    // The UTF-8 pair over the same bytes.
    const std::string text = kv::ansiToUtf8(bytes);
    const std::string line = kv::EncodeLine(text, kv::AppTitle);
    KV_REQUIRE(line == cipher);
    KV_REQUIRE(kv::DecodeLine(line, kv::AppTitle) == kv::ansiToUtf8(expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkDecodeAnything(input);
    checkRoundTrip(input);
    return 0;
}
