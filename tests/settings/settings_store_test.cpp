#include "settings/reg_file_registry.h"
#include "settings/settings_store.h"

#include "../storage/storage_test_support.h"

#include <gtest/gtest.h>

#include <iostream>
#include <optional>
#include <thread>
#include <vector>

namespace kv {
namespace {

using test::readFile;
using test::TestFolder;
using test::writeFile;
using namespace std::string_literals;

const std::string Section = "[HKEY_CURRENT_USER\\Software\\Orvendale\\Keystead Vault]";

std::string get(Registry& reg, std::string_view name)
{
    return GetSettingString(reg, HiveCurrentUser, SettingsKeyPath(), name);
}

bool save(Registry& reg, std::string_view name, std::string_view text)
{
    return SaveSettingString(reg, HiveCurrentUser, SettingsKeyPath(), name, text);
}

TEST(SettingsStore, FirstWriteCreatesKeyAndPrivateFile)
{
#ifndef _WIN32
    // Mended fault: a loose umask made the new folder writable by everybody.
    test::ScopedUmask umask(0);
#endif
    TestFolder folder;
    const auto file = folder / "Orvendale" / "Keystead Vault.reg";
    RegFileRegistry reg(file);

    EXPECT_EQ(SettingsKeyPath(), "Software\\Orvendale\\Keystead Vault");
    EXPECT_EQ(get(reg, "103"), "");
    EXPECT_FALSE(std::filesystem::exists(file)); // reading never creates anything
    ASSERT_TRUE(save(reg, "103", "2"));

    EXPECT_EQ(readFile(file), "REGEDIT4\r\n\r\n" + Section + "\r\n\"103\"=\"2\"\r\n");
    EXPECT_EQ(get(reg, "103"), "2");
#ifndef _WIN32
    // Windows has no mode bits: a new file takes its folder's access list.
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(std::filesystem::status(file.parent_path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
#endif
}

TEST(SettingsStore, ReadsHandWrittenValues)
{
    struct Case
    {
        std::string lines;
        std::string expected;
    };
    const Case cases[] = {
        {"\"v\"=\"True\"", "True"},
        {"\"v\"=dword:00000002", "2"},
        {"\"v\"=DWORD:0000000A", "10"},
        {"\"v\"=dword:ffffffff", "-1"},
        {"\"v\"=hex:01,02", ""},
        {"\"v\"=hex(7):41,00,\\\r\n  00,00", ""},
        {"\"v\"=\"\"", ""},
        {"\"v\"=\"a\\\"b\\\\c\"", "a\"b\\c"},
        {"\"V\" = \"names ignore case\"", "names ignore case"},
        {"\"v\"=\"caf\xE9\"", "caf\xC3\xA9"},
        {"\"v\"=hex(1):41,42,00", "AB"},
        // Stored without its terminating zero by another program: the last letter stays.
        {"\"v\"=hex(1):41,42", "AB"},
        {"\"v\"=\"unterminated", ""},
        {"\"v\"=dword:xyz", ""},
        {"\"v\"=-", ""},
        {"\"w\"=\"another value\"", ""},
        {"\"v\"=\"first\"\r\n\"v\"=\"second\"", "second"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        TestFolder folder;
        writeFile(folder / "s.reg", "REGEDIT4\r\n\r\n" + Section + "\r\n" + c.lines + "\r\n");
        RegFileRegistry reg(folder / "s.reg");
        EXPECT_EQ(get(reg, "v"), c.expected);
    }
}

TEST(SettingsStore, TextsRoundTrip)
{
    struct Case
    {
        std::string text;
        std::string readBack;
        std::optional<std::string> line; // as it must appear in the file
    };
    const Case cases[] = {
        {"", "", "\"v\"=\"\""},
        {"True", "True", "\"v\"=\"True\""},
        {"say \"hi\"", "say \"hi\"", "\"v\"=\"say \\\"hi\\\"\""},
        {"C:\\dir\\", "C:\\dir\\", "\"v\"=\"C:\\\\dir\\\\\""},
        {"caf\xC3\xA9", "caf\xC3\xA9", "\"v\"=\"caf\xE9\""},
        {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5", "\"v\"=\"\x80 5\""},
        {"check \xE2\x9C\x93", "check ?", std::nullopt}, // outside Windows-1252
        {"two\nlines", "two\nlines", "\"v\"=hex(1):74,77,6f,0a,6c,69,6e,65,73,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TestFolder folder;
        RegFileRegistry reg(folder / "s.reg");
        ASSERT_TRUE(save(reg, "v", c.text));
        ASSERT_TRUE(save(reg, "after", "x")); // the file still parses after the value
        EXPECT_EQ(get(reg, "v"), c.readBack);
        EXPECT_EQ(get(reg, "after"), "x");
        if (c.line) {
            EXPECT_NE(readFile(folder / "s.reg").find(Section + "\r\n" + *c.line + "\r\n"), std::string::npos);
        }
    }
}

TEST(SettingsStore, RewriteKeepsEverythingElseAsWritten)
{
    const std::string head = "REGEDIT4\n"
                             "\n"
                             "; kept as written\n"
                             "[HKEY_CURRENT_USER\\Software\\Other]\n"
                             "\"blob\"=hex(7):41,00,42,00,\\\n"
                             "  00,00\n"
                             "\"x\"=\"y\"\n"
                             "\n"
                             "[hkey_current_user\\SOFTWARE\\orvendale\\keystead vault]\n"; // any case
    const std::string tail = "\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Orvendale\\Keystead Vault]\n"
                             "\"102\"=\"machine\"\n";
    TestFolder folder;
    writeFile(folder / "s.reg", head + "\"103\"=dword:00000002\nwhat is this\n\"101\"=hex:01,02\n" + tail);
    RegFileRegistry reg(folder / "s.reg");

    EXPECT_EQ(get(reg, "102"), ""); // another hive's key is not ours
    EXPECT_EQ(get(reg, "x"), "");
    EXPECT_EQ(get(reg, "103"), "2");
    ASSERT_TRUE(save(reg, "103", "1"));
    ASSERT_TRUE(save(reg, "102", "True"));
    ASSERT_TRUE(save(reg, "x", "z"));

    EXPECT_EQ(readFile(folder / "s.reg"),
              head + "\"103\"=\"1\"\nwhat is this\n\"101\"=hex:01,02\n\"102\"=\"True\"\n\"x\"=\"z\"\n" + tail);
}

// Mended fault: a last line ending in a continuation backslash swallowed the next
// value written (and the write said it succeeded); one ending in a bare CR got CR
// LF added and stopped reading, the lock record with it.
TEST(SettingsStore, HandEditedLastLinesKeepEveryValue)
{
    const std::string head = "REGEDIT4\r\n\r\n" + Section + "\r\n\"103\"=\"1\"\r\n";
    const std::string cases[] = {
        "\"blob\"=hex:01,02,\\",
        "\"blob\"=hex:01,02,\\\r\n",
        "\"blob\"=hex:01,\\\r\n  02,\\",
        "\"101\"=\"ABC\"\r",
        "\"101\"=\"ABC\"\r\r\n",
        // Continuations running into the last line, which ends in a backslash too.
        "\"blob\"=hex:01,\\\r\n\"x\"=\"y\" \\\\",
    };
    for (const std::string& tail : cases) {
        SCOPED_TRACE(tail);
        TestFolder folder;
        writeFile(folder / "s.reg", head + tail);
        RegFileRegistry reg(folder / "s.reg");
        const std::string lock = get(reg, "101");
        ASSERT_TRUE(save(reg, "102", "True"));
        ASSERT_TRUE(save(reg, "101", lock));
        EXPECT_EQ(get(reg, "102"), "True");
        EXPECT_EQ(get(reg, "103"), "1");
        EXPECT_EQ(get(reg, "101"), lock);
        // And the file stops changing: a rewrite with the same values gives the same bytes.
        const std::string settled = readFile(folder / "s.reg");
        ASSERT_TRUE(save(reg, "102", "True"));
        EXPECT_EQ(readFile(folder / "s.reg"), settled);
    }
}

TEST(SettingsStore, MissingOrDamagedFileReadsEmpty)
{
    const std::optional<std::string> contents[] = {
        std::nullopt,
        "",
        "\0\xFF\xFE garbage [[[ \"103\"=\"1\""s,
        "\"103\"=\"1\"\r\n", // a value outside any section
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Orvendale\\Keystead Vault\r\n\"103\"=\"1\"\r\n",
        "REGEDIT4\r\n" + Section + "\r\n\"103\"=hex:zz,\\",
        "REGEDIT4\r\n" + Section + "\r\n\"103\"=hex(:01\r\n@@@=\r\n\"\r\n[\r\n",
    };
    for (const auto& content : contents) {
        SCOPED_TRACE(content.value_or("(no file)"));
        TestFolder folder;
        if (content)
            writeFile(folder / "s.reg", *content);
        RegFileRegistry reg(folder / "s.reg");
        EXPECT_EQ(get(reg, "103"), "");
        ASSERT_TRUE(save(reg, "103", "2"));
        EXPECT_EQ(get(reg, "103"), "2");
        EXPECT_TRUE(readFile(folder / "s.reg").starts_with("REGEDIT4"));
    }
}

TEST(SettingsStore, UnreadableFileIsNeitherReadNorReplaced)
{
    TestFolder folder;
    std::filesystem::create_directory(folder / "s.reg");
    RegFileRegistry reg(folder / "s.reg");
    EXPECT_EQ(get(reg, "103"), "");
    EXPECT_FALSE(save(reg, "103", "2"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "s.reg"));
}

TEST(SettingsStore, FailedReplaceKeepsOldFileAndReportsFailure)
{
    for (const bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists);
        TestFolder folder;
        const std::string old = "REGEDIT4\r\n\r\n" + Section + "\r\n\"103\"=\"1\"\r\n";
        if (fileExists)
            writeFile(folder / "s.reg", old);
        test::FaultyFileOps ops(test::FaultyFileOps::Op::RenameOver, "s.reg");
        RegFileRegistry reg(folder / "s.reg", ops);

        EXPECT_FALSE(save(reg, "103", "2"));
        EXPECT_FALSE(save(reg, "102", "True"));
        EXPECT_GT(ops.failures(), 0);
        // No temporary file left behind.
        EXPECT_EQ(folder.names(), fileExists ? std::vector<std::string>{"s.reg"} : std::vector<std::string>{});
        if (fileExists) {
            EXPECT_EQ(readFile(folder / "s.reg"), old);
            EXPECT_EQ(get(reg, "103"), "1");
        }
    }
}

// Mended fault: two instances writing their settings at once each read the file,
// changed their value and wrote the whole file back, so one put back what the
// other had just changed (a log-in armed by one undone by the other's write of
// the grid). Two threads with a registry each stand for the two instances; every
// write that was acknowledged must be in the file afterwards.
TEST(SettingsStore, TwoInstancesLoseNoValue)
{
    TestFolder folder;
    constexpr int Writes = 150;
    struct Writer
    {
        std::string prefix;
        std::vector<int> acknowledged;
        int refused = 0;
    };
    Writer writers[2] = {{"101-", {}, 0}, {"102-", {}, 0}};
    std::vector<std::thread> threads;
    for (Writer& writer : writers) {
        threads.emplace_back([&folder, &writer] {
            RegFileRegistry reg(folder / "settings.reg");
            for (int i = 0; i < Writes; ++i) {
                if (save(reg, writer.prefix + std::to_string(i), "True"))
                    writer.acknowledged.push_back(i);
                else
                    ++writer.refused;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    RegFileRegistry reg(folder / "settings.reg");
    for (const Writer& writer : writers) {
        int found = 0;
        for (const int i : writer.acknowledged)
            found += get(reg, writer.prefix + std::to_string(i)) == "True" ? 1 : 0;
        EXPECT_EQ(found, static_cast<int>(writer.acknowledged.size()));
        std::cout << writer.prefix << ": " << writer.acknowledged.size() << " writes acknowledged, " << found
                  << " of them in the file afterwards, " << writer.refused << " refused\n";
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.reg"});
}

#ifndef _WIN32
// Mended faults: a settings file linked into a synced folder stays a link, and a
// write killed half-way leaves no copy of the settings (the log-in among them).
TEST(SettingsStore, WritesKeepLinksAndLeaveNoStrayCopies)
{
    TestFolder folder;
    std::filesystem::create_directories(folder / "config");
    std::filesystem::create_directories(folder / "synced");
    writeFile(folder / "synced" / "settings", "REGEDIT4\r\n\r\n" + Section + "\r\n\"103\"=\"1\"\r\n");
    std::filesystem::create_symlink(folder / "synced" / "settings", folder / "config" / "s.reg");
    writeFile(folder / "synced" / "settings.tmp0123456789abcdef-00000001", "a killed write");
    RegFileRegistry reg(folder / "config" / "s.reg");

    ASSERT_TRUE(save(reg, "102", "True"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "config" / "s.reg"));
    EXPECT_EQ(get(reg, "103"), "1");
    EXPECT_EQ(get(reg, "102"), "True");
    EXPECT_NE(readFile(folder / "synced" / "settings").find("\"102\"=\"True\""), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "synced"), {}), 1);
}

TEST(SettingsStore, DefaultFileFollowsTheConfigurationFolder)
{
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", "/home/u", 1);
    const std::pair<const char*, const char*> cases[] = {
        {"/cfg", "/cfg/Orvendale/Keystead Vault.reg"},
        {"relative", "/home/u/.config/Orvendale/Keystead Vault.reg"}, // not absolute: ignored
        {"", "/home/u/.config/Orvendale/Keystead Vault.reg"},
    };
    for (const auto& [xdg, expected] : cases) {
        ::setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(defaultSettingsFile(), std::filesystem::path(expected));
    }
    oldXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}
#endif

} // namespace
} // namespace kv
