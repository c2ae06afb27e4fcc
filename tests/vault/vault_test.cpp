// The vault's rules where no window is needed: entries brought in at once, and a
// second program changing the file under an open database.

#include "record_rows.h"
#include "settings/reg_file_registry.h"
#include "storage/storage_test_support.h"
#include "vault/vault.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

// What the window says of an outcome, naming the file as it does.
std::string words(const Outcome& outcome)
{
    const std::filesystem::path name = outcome.file.file.filename();
    return describe(outcome, name.string());
}

Record entry(const std::string& service)
{
    return {service, "user", "pw-" + service, "", "", "12-08-2026 10:00:00"};
}

TEST(Vault, AnotherProgramsChangeStopsRemoveAndReplaceUntilReadAgain)
{
    test::TestFolder folder;
    RegFileRegistry registry(folder / "settings.reg");
    const SettingsStore settings(registry);
    OpenDatabase windowFile(folder.path());
    windowFile.choose("db1");
    Vault window(windowFile, settings);
    ASSERT_TRUE(window.load());
    ASSERT_TRUE(words(window.add(entry("a"), false)).empty());

    // The command line, meanwhile, on the same file.
    OpenDatabase cliFile(folder.path());
    cliFile.choose("db1");
    Vault cli(cliFile, settings);
    ASSERT_TRUE(cli.load());
    ASSERT_TRUE(words(cli.add(entry("b"), false)).empty());

    const std::string written = test::readFile(folder / "db1.ksd");
    EXPECT_EQ(words(window.remove(0, "a", {}, false)), "Not saved: db1.ksd was changed outside the program");
    EXPECT_EQ(words(window.replace(0, entry("a"), false)), "Not saved: db1.ksd was changed outside the program");
    EXPECT_EQ(words(window.addAll(std::vector<Record>{entry("c")})),
              "Not saved: db1.ksd was changed outside the program");
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), written);

    OpenDatabase again(folder.path());
    again.choose("db1");
    Vault reread(again, settings);
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.entries().size(), 2);
    EXPECT_TRUE(words(reread.remove(0, "a", {}, false)).empty());
}

TEST(Vault, EntriesBroughtInAtOnceComeAllOrNone)
{
    test::TestFolder folder;
    RegFileRegistry registry(folder / "settings.reg");
    const SettingsStore settings(registry);
    const std::vector<Record> two{entry("a"), entry("b")};

    // A database that has no file yet gets one, in a folder not made yet.
    OpenDatabase fresh(folder / "new");
    fresh.choose("db2");
    Vault vault(fresh, settings);
    ASSERT_TRUE(vault.load());
    EXPECT_TRUE(words(vault.addAll(two)).empty());
    RecordTable stored;
    ASSERT_TRUE(LoadDatabase(folder / "new", "db2", stored));
    EXPECT_EQ(test::recordsOf(stored), two);

    // One entry the file cannot hold, or a save that fails: nothing changes.
    const std::string before = test::readFile(folder / "new" / "db2.ksd");
    Record bad = entry("c");
    bad.comments = "two\nlines";
    EXPECT_EQ(words(vault.addAll(std::vector<Record>{entry("d"), bad})), "Fields cannot contain | or line breaks");
    test::FaultyFileOps failing(test::FaultyFileOps::Op::RenameOver, "db2");
    OpenDatabase broken(folder / "new", failing);
    broken.choose("db2");
    Vault brokenVault(broken, settings);
    ASSERT_TRUE(brokenVault.load());
    EXPECT_EQ(words(brokenVault.addAll(std::vector<Record>{entry("d")})), "Could not write db2.ksd");
    EXPECT_EQ(brokenVault.entries().size(), 2);
    EXPECT_EQ(test::readFile(folder / "new" / "db2.ksd"), before);
    EXPECT_EQ(vault.entries().size(), 2);
}

} // namespace
} // namespace kv
