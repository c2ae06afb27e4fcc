#include "storage/database_choice.h"

#include <gtest/gtest.h>

#include <limits>

namespace kv {
namespace {

TEST(DatabaseChoice, BaseNames)
{
    EXPECT_EQ(DataFileBaseFor(0), "db1");
    EXPECT_EQ(DataFileBaseFor(1), "db2");
    EXPECT_EQ(DataFileBaseFor(2), "db3");
}

TEST(DatabaseChoice, SettingNumberReadsLeadingDigits)
{
    constexpr long Max = std::numeric_limits<long>::max();
    constexpr long Min = std::numeric_limits<long>::min();
    const struct
    {
        const char* text;
        long number;
    } cases[] = {
        {"", 0},
        {"2", 2},
        {"  2", 2},
        {"\t1", 1},
        {"+1", 1},
        {"-1", -1},
        {"2abc", 2},
        {"1.9", 1},
        {"2 ", 2},
        {"abc", 0},
        {"-", 0},
        {" - 3", 0},
        {"007", 7},
        {"99999999999999999999999", Max},
        {"-99999999999999999999999", Min},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(settingNumber(c.text), c.number);
    }
}

TEST(DatabaseChoice, IndexOutsideRangeReadsAsFirst)
{
    const struct
    {
        const char* text;
        int index;
    } cases[] = {
        {"0", 0},  {"1", 1}, {"2", 2}, {" 2", 2},         {"3", 0},
        {"-1", 0}, {"", 0},  {"x", 0}, {"4294967297", 0}, // would be 1 if it wrapped at 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(databaseIndexFromSetting(c.text), c.index);
    }
}

} // namespace
} // namespace kv
