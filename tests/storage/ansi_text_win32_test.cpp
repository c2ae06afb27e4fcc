// Our own Windows-1252 table against the system's: text stored on Linux must read
// the same on Windows, and the narrow registry calls convert with the system's.

#include "storage/ansi_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace kv {
namespace {

constexpr UINT Western = 1252;

std::wstring wideFromCodePage(UINT codePage, const std::string& bytes)
{
    if (bytes.empty())
        return {};
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return wide;
}

// No best fit: the system would otherwise turn an A with macron into a plain A
// where we (and the stored files) have '?'.
std::string wideToCodePage(UINT codePage, const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = codePage == CP_UTF8 ? nullptr : "?";
    const int n = ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        defaultChar, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, defaultChar,
                          nullptr);
    return bytes;
}

std::string hex(const std::string& bytes)
{
    std::string out;
    char buffer[4];
    for (const char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", static_cast<unsigned char>(c));
        out += buffer;
    }
    return out;
}

TEST(AnsiTextWin32, EveryByteMeansWhatWindowsSaysItMeans)
{
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        SCOPED_TRACE(hex(byte));
        const std::string systemUtf8 = wideToCodePage(CP_UTF8, wideFromCodePage(Western, byte));
        EXPECT_EQ(hex(ansiToUtf8(byte)), hex(systemUtf8));
        EXPECT_EQ(hex(utf8ToAnsi(systemUtf8)), hex(byte));
        EXPECT_EQ(hex(wideToCodePage(Western, wideFromCodePage(CP_UTF8, ansiToUtf8(byte)))), hex(byte));
    }
}

TEST(AnsiTextWin32, CharactersOutsideTheCodePageBecomeWhatWindowsMakesOfThem)
{
    const char* const samples[] = {
        "\u0100",               // A with macron: best fit would give 'A'
        "\u0141\u00F3d\u017A",  // Polish: one outside, three inside
        "\u0080",               // the C1 control the code page does not map
        "\u2212 \u2264 \u221E", // mathematical signs
        "\u0391\u03A9",         // Greek
        "\u041F\u0440\u0438",   // Cyrillic
        "\u4E2D\u6587",         // CJK
        "\uFB01",               // a ligature best fit would spell "fi"
        "\uFFFD",               // the replacement character
        "\u20AC \u0152 \u2122", // inside, from the 0x80..0x9F block
        "caf\u00E9 na\u00EFve", // inside, Latin-1 part
    };
    for (const char* utf8 : samples) {
        SCOPED_TRACE(utf8);
        const std::wstring wide = wideFromCodePage(CP_UTF8, utf8);
        EXPECT_EQ(hex(utf8ToAnsi(utf8)), hex(wideToCodePage(Western, wide)));
    }
}

// Beyond the Basic Multilingual Plane the system substitutes each half of the
// UTF-16 pair; we substitute the character once, as the field lengths count it.
TEST(AnsiTextWin32, CharactersBeyondTheBasicPlaneBecomeOneQuestionMark)
{
    const struct
    {
        const char* utf8;
        std::string ansi;
    } cases[] = {{"\U0001F600", "?"}, {"x\U00010348y", "x?y"}, {"\U0001F600\u00E9", "?\xE9"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(hex(utf8ToAnsi(c.utf8)), hex(c.ansi));
        std::string system = wideToCodePage(Western, wideFromCodePage(CP_UTF8, c.utf8));
        std::erase(system, '?');
        std::string ours = c.ansi;
        std::erase(ours, '?');
        EXPECT_EQ(hex(system), hex(ours)); // no best-fit letter on either side
    }
}

} // namespace
} // namespace kv
