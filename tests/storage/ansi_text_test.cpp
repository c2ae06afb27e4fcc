#include "storage/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

struct BothWays
{
    const char* utf8;
    std::string ansi;
};

// Characters the code page holds: each converts to its byte and back. The table
// values come from the Windows-1252 code chart, not from the converter.
TEST(AnsiText, CodePageCharactersConvertBothWays)
{
    const BothWays cases[] = {
        {"", ""},
        {"plain ASCII 0-9 |~", "plain ASCII 0-9 |~"},
        {"\u20AC", "\x80"}, // euro sign
        {"\u0081", "\x81"}, // the five undefined bytes stand for C1 code points
        {"\u008D", "\x8D"},
        {"\u008F", "\x8F"},
        {"\u0090", "\x90"},
        {"\u009D", "\x9D"},
        {"\u201A", "\x82"}, // single low quotation mark
        {"\u0153", "\x9C"}, // oe
        {"\u0178", "\x9F"}, // Y with diaeresis
        {"\u00A0", "\xA0"}, // no-break space
        {"\u00E9t\u00E9", "\xE9t\xE9"},
        {"\u00FF", "\xFF"},
        {"Caf\u00E9 \u20AC5", "Caf\xE9 \x80\x35"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(utf8ToAnsi(c.utf8), c.ansi);
        EXPECT_EQ(ansiToUtf8(c.ansi), c.utf8);
        EXPECT_TRUE(fitsAnsi(c.utf8));
        EXPECT_EQ(utf8Length(c.utf8), c.ansi.size());
    }
}

// Characters outside the code page and broken UTF-8 become one '?' each.
TEST(AnsiText, OutsideCharactersAndMalformedUtf8BecomeQuestionMarks)
{
    const BothWays cases[] = {
        {"\u4E2D", "?"}, // a CJK character
        {"a\u4E2D\u6587b", "a??b"},
        {"\U0001F600", "?"},          // outside the Basic Multilingual Plane
        {"\u0080", "?"},              // a C1 code point the code page does not map
        {"\u0100", "?"},              // A with macron
        {"x\xC3", "x?"},              // sequence cut short at the end
        {"\xE4\xB8y", "?y"},          // cut short before an ASCII byte
        {"\xC0\xAF", "??"},           // overlong form of '/'
        {"\xED\xA0\x80", "???"},      // an encoded surrogate
        {"\xF4\x90\x80\x80", "????"}, // beyond U+10FFFF
        {"\x80z", "?z"},              // stray continuation byte
        {"\xFF", "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ansi);
        EXPECT_EQ(utf8ToAnsi(c.utf8), c.ansi);
        EXPECT_FALSE(fitsAnsi(c.utf8));
        EXPECT_EQ(utf8Length(c.utf8), c.ansi.size());
    }
}

TEST(AnsiText, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = ansiToUtf8(all);
    EXPECT_TRUE(fitsAnsi(utf8));
    EXPECT_EQ(utf8Length(utf8), 256u);
    EXPECT_EQ(utf8ToAnsi(utf8), all);
}

} // namespace
} // namespace kv
