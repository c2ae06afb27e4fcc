#include "storage/data_file.h"

#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::FaultyFileOps;
using test::TestFolder;

// Two records and their lines, enciphered by hand with the line cipher under
// "Keystead Vault" (checked with an independent script). A full save enciphers
// the record line with CR LF; an append enciphers it alone (12 characters, so
// the filler ".K" follows).
const Record RowA{"a", "b", "c", "d", "e", "f"};
const std::string SavedA = "2A191B0F17190518452A0709617E";    // "a|b|c|d|e|f|\r\n"
const std::string AppendedA = "2A191B0F17190518452A0709423F"; // "a|b|c|d|e|f|" + ".K"
const Record RowB{"svc", "user", "pw", "note", "addr", "07-04-2026 18:30:05"};
const std::string SavedB = "38131A0F011604165C261609021B3F0005121001131810614C45585979554B455454595E13665B455908466F";
const std::string AppendedB = "38131A0F011604165C261609021B3F0005121001131810614C45585979554B455454595E13665B455908";

std::vector<Record> load(const TestFolder& folder)
{
    std::vector<Record> rows;
    EXPECT_TRUE(LoadDatabase(folder.path(), "db1", rows));
    return rows;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(DataFile, FileNames)
{
    EXPECT_EQ(dataFilePath("/p", "db2"), std::filesystem::path("/p") / "db2.ksd");
    EXPECT_EQ(backupFilePath("/p", "db3"), std::filesystem::path("/p") / "db3.bak");
}

TEST(DataFile, SaveWritesThePartsFormatByteForByte)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", AppendedA + "\r\n");
    const std::vector<Record> rows{RowA, RowB};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", rows));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedA + "\r\n" + SavedB + "\r\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"}); // no .bak, no temporary file
    EXPECT_EQ(load(folder), rows);
}

TEST(DataFile, SavingNoRowsLeavesAnEmptyFile)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", {}));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), "");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
}

// Mended fault: appending never glues two entries together.
TEST(DataFile, AppendWritesOneLineWithoutLineEndInside)
{
    const struct
    {
        const char* what;
        bool exists;
        std::string before;
        std::string after;
    } cases[] = {
        {"no file", false, "", AppendedB + "\r\n"},
        {"empty file", true, "", AppendedB + "\r\n"},
        {"CR LF at end", true, SavedA + "\r\n", SavedA + "\r\n" + AppendedB + "\r\n"},
        {"LF at end", true, SavedA + "\n", SavedA + "\n" + AppendedB + "\r\n"},
        {"no line break at end", true, SavedA, SavedA + "\r\n" + AppendedB + "\r\n"},
        {"cut after CR", true, SavedA + "\r", SavedA + "\r\r\n" + AppendedB + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        if (c.exists)
            test::writeFile(folder / "db1.ksd", c.before);
        ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowB)));
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), c.after);
        std::vector<Record> expected{RowB};
        if (!c.before.empty())
            expected.insert(expected.begin(), RowA);
        EXPECT_EQ(load(folder), expected);
    }
}

TEST(DataFile, LoadReadsEveryWayALineMayBeStored)
{
    const struct
    {
        const char* what;
        std::string content;
        std::vector<Record> rows;
    } cases[] = {
        {"empty file", "", {}},
        {"saved and appended lines", SavedA + "\r\n" + AppendedB + "\r\n", {RowA, RowB}},
        {"LF only", SavedA + "\n" + AppendedB + "\n", {RowA, RowB}},
        {"lower-case digits", lower(SavedA) + "\r\n" + lower(AppendedB) + "\r\n", {RowA, RowB}},
        {"blank lines, no final break", "\r\n\r\n" + SavedA + "\r\n  \r\n\n" + AppendedB, {RowA, RowB}},
        {"undecodable line gives an empty row", "ZZ\r\n" + AppendedA + "\r\n", {Record{}, RowA}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", c.content);
        EXPECT_EQ(load(folder), c.rows);
    }
}

TEST(DataFile, LoadOfMissingFileSucceedsWithNoRecordsAndKeepsRows)
{
    TestFolder folder;
    std::vector<Record> rows{RowB};
    EXPECT_TRUE(LoadDatabase(folder.path(), "db1", rows));
    EXPECT_EQ(rows, std::vector<Record>{RowB});
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    EXPECT_TRUE(LoadDatabase(folder.path(), "db1", rows)); // adds at the end
    EXPECT_EQ(rows, (std::vector<Record>{RowB, RowA}));
}

TEST(DataFile, TextOutsideAsciiRoundTripsThroughSaveAndAppend)
{
    TestFolder folder;
    const Record accented{"Caf\u00E9",  "Jos\u00E9",         "\u20ACuro\u00FF",
                          "na\u00EFve", "https://x.example", "01-02-2026 03:04:05"};
    const Record outside{"\u4E2D", "u", "p", "", "", "01-02-2026 03:04:05"};
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(accented)));
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(outside)));
    Record outsideAsStored = outside;
    outsideAsStored.service = "?";
    EXPECT_EQ(load(folder), (std::vector<Record>{accented, outsideAsStored}));
    const std::vector<Record> rows{accented};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", rows));
    EXPECT_EQ(load(folder), rows);
}

// Mended fault: a full save never leaves a half-written data file. The rename
// over the data file, or the write of the new content, fails part-way: the old
// file survives byte for byte, failure is reported, the backup stays, and no
// temporary file is left behind.
TEST(DataFile, FailedSaveKeepsOldDataFileWhole)
{
    const std::string old = SavedA + "\r\n" + AppendedB + "\r\n";
    for (const auto op : {FaultyFileOps::Op::WriteNew, FaultyFileOps::Op::RenameOver}) {
        SCOPED_TRACE(op == FaultyFileOps::Op::WriteNew ? "write fails" : "rename fails");
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", old);
        FaultyFileOps ops(op, "db1.ksd"); // the data file and its temporary file, not the backup
        const std::vector<Record> rows{RowB, RowB, RowB};
        EXPECT_FALSE(SaveDatabase(folder.path(), "db1", rows, ops));
        EXPECT_EQ(ops.failures(), 1);
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), old);
        EXPECT_EQ(test::readFile(folder / "db1.bak"), old);
        EXPECT_EQ(folder.names(), (std::vector<std::string>{"db1.bak", "db1.ksd"}));
    }
}

TEST(DataFile, SaveThatCannotMakeTheBackupWritesNothing)
{
    const std::string old = SavedA + "\r\n";
    for (const auto op : {FaultyFileOps::Op::ReadAll, FaultyFileOps::Op::WriteNew, FaultyFileOps::Op::RenameOver}) {
        SCOPED_TRACE(static_cast<int>(op));
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", old);
        FaultyFileOps ops(op, op == FaultyFileOps::Op::ReadAll ? "db1.ksd" : "db1.bak");
        const std::vector<Record> rows{RowB};
        EXPECT_FALSE(SaveDatabase(folder.path(), "db1", rows, ops));
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), old);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
    }
}

TEST(DataFile, SaveWithoutDataFileWritesNothing)
{
    TestFolder folder;
    const std::vector<Record> rows{RowA};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", rows));
    EXPECT_TRUE(folder.names().empty());
}

// Mended fault: nothing fails silently.
TEST(DataFile, EveryFailureIsReported)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    const std::vector<Record> rows{RowB};

    FaultyFileOps unreadable(FaultyFileOps::Op::ReadAll, "db1.ksd");
    std::vector<Record> loaded{RowB};
    EXPECT_FALSE(LoadDatabase(folder.path(), "db1", loaded, unreadable));
    EXPECT_EQ(loaded, std::vector<Record>{RowB});
    EXPECT_FALSE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowB), unreadable));

    FaultyFileOps appendFails(FaultyFileOps::Op::Append, "db1.ksd");
    EXPECT_FALSE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowB), appendFails));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedA + "\r\n");

    // The new content is in place, but the backup could not be deleted.
    FaultyFileOps backupStays(FaultyFileOps::Op::Remove, "db1.bak");
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", rows, backupStays));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedB + "\r\n");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"db1.bak", "db1.ksd"}));
}

// Lines longer than 16383 characters would be unreadable by a reader that keeps
// a 16-bit line limit: both writers refuse them and touch no file.
TEST(DataFile, WritersRefuseOverlongLines)
{
    TestFolder folder;
    Record longest; // 6 bars + comments = 16383 characters
    longest.comments.assign(MaxStoredLineLength - 6, 'x');
    Record tooLong = longest;
    tooLong.comments += "\u20AC"; // one more character, three bytes of UTF-8

    EXPECT_FALSE(AppendRecord(folder.path(), "db1", BuildRecordLine(tooLong)));
    EXPECT_TRUE(folder.names().empty());
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(longest)));
    EXPECT_EQ(load(folder), std::vector<Record>{longest});

    // A full save enciphers CR LF too, so its limit is two characters shorter.
    const std::string before = test::readFile(folder / "db1.ksd");
    Record savable = longest;
    savable.comments.resize(savable.comments.size() - 2);
    const std::vector<Record> tooLongToSave{savable, longest};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tooLongToSave));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), before);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
    const std::vector<Record> fits{savable};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", fits));
    EXPECT_EQ(load(folder), fits);
}

#ifndef _WIN32
// Mended fault: data files and backups are private.
TEST(DataFile, FilesAreOwnerReadWriteOnly)
{
    test::ScopedUmask umask(022);
    TestFolder folder;
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowA)));
    EXPECT_EQ(test::modeOf(folder / "db1.ksd"), 0600u);

    FaultyFileOps renameFails(FaultyFileOps::Op::RenameOver, "db1.ksd");
    const std::vector<Record> rows{RowB};
    ASSERT_FALSE(SaveDatabase(folder.path(), "db1", rows, renameFails));
    EXPECT_EQ(test::modeOf(folder / "db1.bak"), 0600u);

    test::writeFile(folder / "db2.ksd", SavedA + "\r\n"); // made by someone else, 0644
    ASSERT_EQ(test::modeOf(folder / "db2.ksd"), 0644u);
    ASSERT_TRUE(SaveDatabase(folder.path(), "db2", rows));
    EXPECT_EQ(test::modeOf(folder / "db2.ksd"), 0600u);
}
#endif

TEST(DataFile, LargestDatabaseRoundTrips)
{
    TestFolder folder;
    std::vector<Record> rows;
    rows.reserve(32766);
    for (int i = 0; i < 32766; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back(
            {"service " + n, "user" + n, "pw\u00E9" + n, "", "https://s" + n + ".example", "07-04-2026 18:30:05"});
    }
    test::writeFile(folder / "db1.ksd", "");
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", rows));
    EXPECT_EQ(load(folder), rows);
}

} // namespace
} // namespace kv
