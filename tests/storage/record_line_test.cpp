#include "storage/record_line.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

TEST(RecordLine, BuildsSixFieldsEachFollowedByBar)
{
    EXPECT_EQ(BuildRecordLine({"Mail", "me", "s3cret", "home", "https://m.example", "07-04-2026 18:30:05"}),
              "Mail|me|s3cret|home|https://m.example|07-04-2026 18:30:05|");
    EXPECT_EQ(BuildRecordLine({}), "||||||");
}

TEST(RecordLine, SplitsAsTheLoaderDoes)
{
    const struct
    {
        const char* decoded;
        Record expected;
    } cases[] = {
        {"a|b|c|d|e|f|", {"a", "b", "c", "d", "e", "f"}},
        {"a|b|c|d|e|f|\r\n", {"a", "b", "c", "d", "e", "f"}}, // full-save line
        {"a|b|c|d|e|f|.K", {"a", "b", "c", "d", "e", "f"}},   // filler after the last bar
        {"a|b|c|", {"a", "b", "c", "", "", ""}},              // fewer than six
        {"x|.Keystead Va", {"x", "", "", "", "", ""}},
        {"a||c|", {"a", "", "c", "", "", ""}},
        {"a|b|c|d|e|f|g|h|", {"a", "b", "c", "d", "e", "f"}},                              // more than six: first six
        {"svc|user|p|w|note|addr|07-04-2026|", {"svc", "user", "p", "w", "note", "addr"}}, // a bar in a value
        {"no bar at all", {}},
        {"", {}}, // what DecodeLine gives for a bad line
        {"|||", {}},
        {"\u00E9|\u4E2D|", {"\u00E9", "\u4E2D", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decoded);
        EXPECT_EQ(ParseRecordLine(c.decoded), c.expected);
    }
}

TEST(RecordLine, PasswordMaskHasOneStarPerCharacter)
{
    EXPECT_EQ(PasswordMask(""), "");
    EXPECT_EQ(PasswordMask("abcde"), "*****");
    EXPECT_EQ(PasswordMask("p\u00E4ss\u20AC"), "*****"); // two- and three-byte characters count once
    EXPECT_EQ(PasswordMask("\u4E2D\u6587"), "**");
}

TEST(RecordLine, FitsWhenLineAndLineEndStayWithinLimit)
{
    // Line = six bars + the comments; a full save adds CR LF: 6 + n + 2 <= 16383.
    const std::size_t most = MaxStoredLineLength - 8;
    Record record;
    record.comments.assign(most, 'c');
    EXPECT_TRUE(RecordLineFits(record));
    record.comments += 'c';
    EXPECT_FALSE(RecordLineFits(record));

    // Counted in Windows-1252 characters, not in UTF-8 bytes.
    record.comments.clear();
    for (std::size_t i = 0; i < most; ++i)
        record.comments += "\u00E9";
    EXPECT_TRUE(RecordLineFits(record));
}

} // namespace
} // namespace kv
