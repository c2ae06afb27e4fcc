#include "storage/database_choice.h"

#include "storage/data_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

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

#ifndef _WIN32
// An installed program keeps the databases in the user's data folder, the same one
// a portable install from source uses, so the entries carry over.
TEST(DatabaseChoice, UserDataFolderFollowsTheDataHome)
{
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", "/home/u", 1);
    const std::pair<const char*, const char*> cases[] = {
        {"/data", "/data/keystead-vault"},
        {"relative", "/home/u/.local/share/keystead-vault"}, // not absolute: ignored
        {"", "/home/u/.local/share/keystead-vault"},
    };
    for (const auto& [xdg, expected] : cases) {
        ::setenv("XDG_DATA_HOME", xdg, 1);
        EXPECT_EQ(userDataFolder(), std::filesystem::path(expected));
    }
    oldXdg ? ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}
#endif

} // namespace
} // namespace kv
