#include "product/product.h"
#include "storage/line_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace kv {
namespace {

// Known answers worked out by hand from the cipher (byte XOR key byte, key
// "Keystead Vault" repeating, two upper-case digits per byte), checked with an
// independent script, never with this code.
struct Vector
{
    const char* text; // UTF-8
    const char* cipher;
    const char* decoded; // what DecodeLine gives back: the text plus any filler
};

TEST(LineCipher, KnownAnswers)
{
    const Vector cases[] = {
        // Empty text: the whole filler "." + first 13 characters of the title.
        {"", "652E1C0A07110405447637141918", ".Keystead Vaul"},
        {"A", "0A4B32160D161501413241230D01", "A.Keystead Vau"},
        // 13 characters get "." alone.
        {"abcdefghijklm", "2A071A171103060C493C0A19015A", "abcdefghijklm."},
        // The key enciphered with itself: every byte 0, written with its leading 0.
        {"Keystead Vault", "0000000000000000000000000000", "Keystead Vault"},
        // Longer than the key: no filler, the key repeats every 14 characters.
        {"Hello|World|pass|c|http://x|07-04-2026 18:30:05|",
         "0300151F1B19360B523A05091C1538160510080D1510506C4E5A14087B5254434048535412604144544E785543434119",
         "Hello|World|pass|c|http://x|07-04-2026 18:30:05|"},
        // Enciphered as Windows-1252 bytes: e-acute 0xE9, euro 0x80.
        {"Caf\u00E9 \u20AC", "08041F9A54E54F2F452F12010915", "Caf\u00E9 \u20AC.Keystea"},
        // A character outside the code page is enciphered as '?'.
        {"\u4E2D", "744B32160D161501413241230D01", "?.Keystead Vau"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(EncodeLine(c.text, AppTitle), c.cipher);
        EXPECT_EQ(DecodeLine(c.cipher, AppTitle), c.decoded);
    }
}

TEST(LineCipher, DecodeAcceptsCaseAndOddLengthRejectsAnyInvalidDigit)
{
    const struct
    {
        const char* cipher;
        const char* decoded;
    } cases[] = {
        {"", ""},
        {"0a4b32160d161501413241230d01", "A.Keystead Vau"}, // lower case
        {"0a4B32160D161501413241230d01", "A.Keystead Vau"}, // mixed
        {"0A4", "Aa"},                                      // the last digit alone: 0x4 XOR 'e' (0x65) = 'a'
        {"0A4G", ""},
        {"G0", ""},
        {"0A|4", ""},
        {"0A 4B", ""},
        {"0A4B\r", ""},
        {"-1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cipher);
        EXPECT_EQ(DecodeLine(c.cipher, AppTitle), c.decoded);
    }
    // A long line is read many digits at a time: lower case still counts, and each
    // character just outside a digit range still spoils it, wherever it stands.
    const std::string line =
        "0300151F1B19360B523A05091C1538160510080D1510506C4E5A14087B5254434048535412604144544E785543434119";
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return std::tolower(c); });
    EXPECT_EQ(decodeBytes(lower, AppTitle), decodeBytes(line, AppTitle));
    for (const char bad : std::string_view("/:@G`g\x80\xFF\0", 9)) {
        for (const std::size_t at : {std::size_t{5}, std::size_t{31}, line.size() - 2}) {
            std::string spoiled = line;
            spoiled[at] = bad;
            SCOPED_TRACE(testing::Message() << "byte " << int(static_cast<unsigned char>(bad)) << " at " << at);
            EXPECT_EQ(decodeBytes(spoiled, AppTitle), "");
        }
    }
}

TEST(LineCipher, EveryByteFrom128To255ComesBack)
{
    std::string high;
    for (int b = 128; b < 256; ++b)
        high += static_cast<char>(b);
    const std::string cipher = encodeBytes(high, AppTitle);
    ASSERT_EQ(cipher.size(), 2 * high.size());
    EXPECT_EQ(cipher.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(decodeBytes(cipher, AppTitle), high);
    // One known pair among them: 0x80 0xFF 0xE9 with "Key" -> CB 9A 90, then filler.
    EXPECT_EQ(encodeBytes("\x80\xFF\xE9", AppTitle), "CB9A905D3F001817543300114C22");
}

TEST(LineCipher, EmptyKeyGivesEmptyText)
{
    EXPECT_EQ(EncodeLine("abc", ""), "");
    EXPECT_EQ(DecodeLine("4142", ""), "");
}

TEST(LineCipher, NoSixteenBitLimit)
{
    const std::string text(40000, 'x');
    const std::string cipher = EncodeLine(text, AppTitle);
    EXPECT_EQ(cipher.size(), 80000u);
    EXPECT_EQ(DecodeLine(cipher, AppTitle), text);
}

} // namespace
} // namespace kv
