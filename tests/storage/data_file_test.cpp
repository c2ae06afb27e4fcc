#include "storage/data_file.h"

#include "product/product.h"
#include "record_rows.h"
#include "seal/seal_key.h"
#include "storage/line_cipher.h"
#include "storage/open_database.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {
namespace {

using test::FaultyFileOps;
using test::recordsOf;
using test::tableOf;
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
    RecordTable rows;
    EXPECT_TRUE(LoadDatabase(folder.path(), "db1", rows));
    return recordsOf(rows);
}

// The row a line a full save cannot write back from fields gives: `fields`, and the line itself.
Record kept(Record fields, std::string line)
{
    fields.keptLine = std::move(line);
    return fields;
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

TEST(DataFile, SaveWritesTheFileFormatByteForByte)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", AppendedA + "\r\n");
    const std::vector<Record> rows{RowA, RowB};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedA + "\r\n" + SavedB + "\r\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"}); // no .bak, no temporary file
    EXPECT_EQ(load(folder), rows);
}

TEST(DataFile, SavingNoRowsLeavesAnEmptyFile)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", RecordTable{}));
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
        {"undecodable line gives an empty row", "ZZ\r\n" + AppendedA + "\r\n", {kept({}, "ZZ"), RowA}},
        // Files another editor touched.
        {"byte-order mark", "\xEF\xBB\xBF" + SavedA + "\r\n", {RowA}},
        {"lone CR line ends", SavedA + "\r" + AppendedB + "\r", {RowA, RowB}},
        {"odd length: the last digit falls after the last field", SavedA + "7\r\n", {RowA}},
        {"mixed line ends", SavedA + "\n" + AppendedB + "\r" + SavedA + "\r\n", {RowA, RowB, RowA}},
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
    RecordTable rows = tableOf({RowB});
    EXPECT_TRUE(LoadDatabase(folder.path(), "db1", rows));
    EXPECT_EQ(recordsOf(rows), std::vector<Record>{RowB});
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    EXPECT_TRUE(LoadDatabase(folder.path(), "db1", rows)); // adds at the end
    EXPECT_EQ(recordsOf(rows), (std::vector<Record>{RowB, RowA}));
}

// The window starts reading its database while it builds its controls; what it
// then gets, and what it may write, must be what a plain load would give.
TEST(DataFile, ALoadAheadGivesWhatALoadOfItsOwnGives)
{
    struct Case
    {
        const char* name;
        std::string chosenAfter; // empty: the one loaded ahead
        bool unreadable;         // db1.ksd is a folder
        bool readWhole;
        std::vector<Record> rows;
    };
    const Case cases[] = {
        {"loaded ahead", "", false, true, {RowA}},
        {"another chosen since", "db2", false, true, {RowB}},
        {"not readable", "", true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        if (c.unreadable)
            std::filesystem::create_directory(folder / "db1.ksd");
        else
            test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
        test::writeFile(folder / "db2.ksd", SavedB + "\r\n");
        OpenDatabase database(folder.path());
        database.choose("db1");
        database.loadAhead();
        if (!c.chosenAfter.empty())
            database.choose(c.chosenAfter);
        RecordTable rows;
        EXPECT_EQ(static_cast<bool>(database.load(rows)), c.readWhole);
        std::vector<Record> got;
        for (int row = 0; row < rows.size(); ++row)
            got.push_back(rows.record(row));
        EXPECT_EQ(got, c.rows);
        EXPECT_EQ(database.checkRewrite(), c.readWhole ? Verdict::Done : Verdict::NotReadWhole);
    }
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
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    EXPECT_EQ(load(folder), rows);
}

// Mended fault: a full save never leaves a half-written data file. The rename
// over the data file, or the write of the new content, fails part-way: the old
// file survives byte for byte, failure is reported, and neither a temporary file
// nor a backup that is a second name of the intact file is left behind.
TEST(DataFile, FailedSaveKeepsOldDataFileWhole)
{
    const std::string old = SavedA + "\r\n" + AppendedB + "\r\n";
    for (const auto op : {FaultyFileOps::Op::WriteNew, FaultyFileOps::Op::RenameOver}) {
        SCOPED_TRACE(op == FaultyFileOps::Op::WriteNew ? "write fails" : "rename fails");
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", old);
        FaultyFileOps ops(op, "db1.ksd"); // the data file and its temporary file, not the backup
        const std::vector<Record> rows{RowB, RowB, RowB};
        EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(rows), ops));
        EXPECT_EQ(ops.failures(), 1);
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), old);
#ifdef _WIN32
        // There the backup is always a copy, which no later Add changes: it stays
        // until the next save.
        EXPECT_EQ(folder.names(), (std::vector<std::string>{"db1.bak", "db1.ksd"}));
#else
        EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
#endif
    }
}

TEST(DataFile, SaveThatCannotMakeTheBackupWritesNothing)
{
    // The backup is a second name for the file where the file system allows, else
    // a copy: each row stops both ways of making it.
    using Op = FaultyFileOps::Op;
    const std::string old = SavedA + "\r\n";
    const struct
    {
        const char* what;
        std::initializer_list<Op> failing;
    } cases[] = {
        {"no link, and the copy cannot read the file", {Op::HardLink, Op::ReadAll}},
        {"no link, and the copy cannot be written", {Op::HardLink, Op::WriteNew}},
        {"nothing can be put in the backup's place", {Op::RenameOver}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", old);
        FaultyFileOps ops(c.failing, "db1.");
        const std::vector<Record> rows{RowB};
        EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(rows), ops));
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), old);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
    }
}

TEST(DataFile, SaveWithoutDataFileWritesNothing)
{
    TestFolder folder;
    const std::vector<Record> rows{RowA};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    EXPECT_TRUE(folder.names().empty());
}

// Mended fault: nothing fails silently.
TEST(DataFile, EveryFailureIsReported)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    const std::vector<Record> rows{RowB};

    FaultyFileOps unreadable(FaultyFileOps::Op::ReadAll, "db1.ksd");
    RecordTable loaded = tableOf({RowB});
    EXPECT_FALSE(LoadDatabase(folder.path(), "db1", loaded, unreadable));
    EXPECT_EQ(recordsOf(loaded), std::vector<Record>{RowB});
    EXPECT_FALSE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowB), unreadable));

    FaultyFileOps appendFails(FaultyFileOps::Op::Append, "db1.ksd");
    EXPECT_FALSE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowB), appendFails));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedA + "\r\n");

    // Mended fault: the new content is in place, so a backup that cannot be deleted
    // is no failure of the save (the next one replaces it).
    FaultyFileOps backupStays(FaultyFileOps::Op::Remove, "db1.bak");
    EXPECT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows), backupStays));
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
    const std::string appended = test::readFile(folder / "db1.ksd");
    // Too long for a full save to write back from its fields: the row keeps its line.
    EXPECT_EQ(load(folder), std::vector<Record>{kept(longest, appended.substr(0, appended.size() - 2))});

    // A full save enciphers CR LF too, so its limit is two characters shorter.
    const std::string before = test::readFile(folder / "db1.ksd");
    Record savable = longest;
    savable.comments.resize(savable.comments.size() - 2);
    const std::vector<Record> tooLongToSave{savable, longest};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(tooLongToSave)));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), before);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
    const std::vector<Record> fits{savable};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(fits)));
    EXPECT_EQ(load(folder), fits);
}

// Mended fault: a line a full save cannot write back from the row's fields (it does
// not decipher, or holds more than a record can) is written back as it was, in
// its place, until the user removes or replaces its row. Before, the save wrote an
// empty record over it, or failed on it, though the user never touched it.
TEST(DataFile, DamagedLinesSurviveAFullSave)
{
    const std::string overLimit = encodeBytes(std::string(MaxStoredLineLength, 'x') + "|||||||", AppTitle);
    const struct
    {
        const char* what;
        std::string line;
    } cases[] = {
        {"not hexadecimal", "2A191B0F17190518452A0709617G"},
        {"odd digit out", SavedA.substr(1) + "|"},
        {"deciphers beyond the cipher's limit", overLimit},
        {"more fields than a record has", encodeBytes("a|b|c|d|e|f|g|\r\n", AppTitle)},
        {"no field at all", encodeBytes("a line without any bar", AppTitle)},
        {"blanks around", "  ZZ\t"},
        {"a NUL byte", std::string("2A191B0F\0"
                                   "17190518452A0709617E",
                                   29)},
        {"a line of a megabyte", encodeBytes(std::string(512 * 1024, 'x') + "||||||", AppTitle)},
        {"the bytes of a byte-order mark", "\xEF\xBB\xBF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        const std::string original = SavedA + "\r\n" + c.line + "\r\n" + SavedB + "\r\n";
        test::writeFile(folder / "db1.ksd", original);
        std::vector<Record> rows = load(folder);
        ASSERT_EQ(rows.size(), 3u);
        ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), original);

        rows.erase(rows.begin());
        ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
        // First in the file now: a line that starts like a byte-order mark gets one of the file's own.
        const std::string mark = c.line.starts_with("\xEF\xBB\xBF") ? "\xEF\xBB\xBF" : "";
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), mark + c.line + "\r\n" + SavedB + "\r\n");
        EXPECT_EQ(load(folder), rows);

        rows[0] = RowA; // replaced by the user
        ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedA + "\r\n" + SavedB + "\r\n");
    }
}

// A sealed file: its entries under its key alone; a line that does not open under
// it is not listed and rides along unchanged; nothing is appended but under the
// header the file still has.
TEST(DataFile, ASealedFileOpensOnlyUnderItsKeyAndKeepsWhatDoesNot)
{
    const std::shared_ptr<const LineSeal> key = newSealKey("pw", MinSealMemoryKiB, MinSealPasses);
    const std::shared_ptr<const LineSeal> other = newSealKey("pw", MinSealMemoryKiB, MinSealPasses);
    ASSERT_TRUE(key && other);
    RecordTable rows;
    rows.append(RowA);
    rows.append(RowB);
    const auto sealedBy = [&](const LineSeal& by, std::string_view plain) {
        std::string line;
        by.seal(plain, line);
        return line;
    };
    const std::string lineA = sealedBy(*key, "a|b|c|d|e|f|");
    std::string flipped = lineA;
    flipped[30] = flipped[30] == 'A' ? 'B' : 'A';
    const struct
    {
        const char* what;
        std::string line;
    } damaged[] = {
        {"one character changed", flipped},  {"sealed under another header", sealedBy(*other, "a|b|c|d|e|f|")},
        {"in the fixed-key format", SavedA}, {"a second header", key->header()},
        {"cut short", lineA.substr(0, 50)},  {"not Base64", "~" + std::string(80, '*')},
    };
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", "");
        ASSERT_TRUE(SaveDatabase(folder.path(), "db1", rows, realFileOps(), nullptr, key.get()));
        const std::string whole = test::readFile(folder / "db1.ksd");
        EXPECT_TRUE(whole.starts_with(key->header() + "\r\n"));
        EXPECT_EQ(whole.find("svc"), std::string::npos);
        test::writeFile(folder / "db1.ksd", whole + c.line + "\r\n");
        // No key, or another file's: nothing but the header is read.
        for (const LineSeal* wrong : {static_cast<const LineSeal*>(nullptr), other.get()}) {
            RecordTable none;
            SealedFile sealed;
            FileSeen seen;
            const FileResult loaded = LoadDatabase(folder.path(), "db1", none, realFileOps(), &seen, wrong, sealed);
            EXPECT_FALSE(loaded);
            EXPECT_EQ(none.size(), 0);
            EXPECT_FALSE(seen);
            EXPECT_EQ(sealed.header, key->header());
            EXPECT_EQ(loaded.error(), FileError::ChangedOutside); // no reason of the system's
        }
        RecordTable read;
        SealedFile sealed;
        ASSERT_TRUE(LoadDatabase(folder.path(), "db1", read, realFileOps(), nullptr, key.get(), sealed));
        ASSERT_EQ(read.size(), 2);
        EXPECT_EQ(read.record(1), RowB);
        ASSERT_EQ(sealed.unopened, std::vector<std::string>{c.line});
        // A full save seals each row anew and carries the damaged line over as it stands.
        read.remove(0);
        WriteLock held;
        ASSERT_TRUE(LockDatabase(folder.path(), "db1", held));
        ASSERT_TRUE(SaveCheckedDatabase(held, folder.path(), "db1", read, realFileOps(), nullptr, false, key.get(),
                                        sealed.unopened));
        held.reset();
        const std::string saved = test::readFile(folder / "db1.ksd");
        EXPECT_TRUE(saved.ends_with("\r\n" + c.line + "\r\n"));
        EXPECT_EQ(saved.find(lineA), std::string::npos);
        // Appends: under the file's own header alone.
        EXPECT_EQ(AppendRecord(folder.path(), "db1", "x|||||||", realFileOps(), nullptr).error(),
                  FileError::ChangedOutside);
        EXPECT_FALSE(AppendRecord(folder.path(), "db1", "x|||||||", realFileOps(), nullptr, other.get()));
        EXPECT_EQ(test::readFile(folder / "db1.ksd"), saved);
        ASSERT_TRUE(AppendRecord(folder.path(), "db1", "x|||||||", realFileOps(), nullptr, key.get()));
        RecordTable after;
        ASSERT_TRUE(LoadDatabase(folder.path(), "db1", after, realFileOps(), nullptr, key.get(), sealed));
        EXPECT_EQ(after.size(), 2);
        EXPECT_EQ(after.text(1, RecordField::Service), "x");
    }
    // Nor is a sealed line appended to a file of the fixed-key format; nor a line
    // of that format to a sealed file whose header follows more blank lines than
    // an Add reads at first.
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", "");
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", rows, realFileOps(), nullptr, key.get()));
    const std::string late = std::string(5000, '\n') + " \t\r\n" + test::readFile(folder / "db1.ksd");
    test::writeFile(folder / "db1.ksd", late);
    std::string header;
    ASSERT_TRUE(ReadSealHeader(folder.path(), "db1", header));
    EXPECT_EQ(header, key->header());
    EXPECT_FALSE(AppendRecord(folder.path(), "db1", "x|||||||", realFileOps(), nullptr));
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), late);
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    EXPECT_EQ(AppendRecord(folder.path(), "db1", "x|||||||", realFileOps(), nullptr, key.get()).error(),
              FileError::ChangedOutside);
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), SavedA + "\r\n");

    // A sealed file's lines without their header first read as the fixed-key
    // format, but no line of that format joins them: not by an Add that sees them
    // at the file's end, nor by an Add or a full save whose database read them
    // anywhere. A damaged line that merely begins like one stops nothing.
    RecordTable withLongNote = rows;
    withLongNote.append({"long", "b", "c", std::string(9000, 'n'), "e", "f"});
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", withLongNote, realFileOps(), nullptr, key.get()));
    const std::string sealedFile = test::readFile(folder / "db1.ksd");
    const std::string entries = sealedFile.substr(sealedFile.find("\r\n") + 2);
    const struct
    {
        const char* what;
        std::string content;
        bool lastLineSealed;
        bool refused;
    } stray[] = {
        {"its header gone, its last line 12 KB long", entries, true, true},
        {"a fixed-key line before its header", SavedA + "\r\n" + sealedFile, true, true},
        {"a fixed-key line after its lines", entries + SavedA + "\r\n", false, true},
        {"a damaged line beginning with the mark", SavedA + "\r\n~/notes\r\n", false, false},
    };
    for (const auto& c : stray) {
        SCOPED_TRACE(c.what);
        test::writeFile(folder / "db1.ksd", c.content);
        const FileResult appended = AppendRecord(folder.path(), "db1", "x|||||||", realFileOps(), nullptr);
        EXPECT_EQ(appended.error(), c.lastLineSealed ? FileError::ChangedOutside : FileError::None);
        if (c.lastLineSealed) {
            EXPECT_EQ(test::readFile(folder / "db1.ksd"), c.content);
        }
        test::writeFile(folder / "db1.ksd", c.content);
        OpenDatabase database(folder.path());
        database.choose("db1");
        RecordTable read;
        ASSERT_TRUE(database.load(read));
        EXPECT_EQ(database.startRewrite().allowed(), !c.refused);
        EXPECT_EQ(database.append("y|||||||").verdict, c.refused ? Verdict::ChangedOutside : Verdict::Done);
        if (c.refused) {
            EXPECT_EQ(test::readFile(folder / "db1.ksd"), c.content);
        }
    }
}

// Mended fault: a save killed half-way leaves a temporary file, a full copy of the
// database; the next save removes those of its own database, and nothing else.
TEST(DataFile, NextSaveRemovesStaleTemporaries)
{
    TestFolder folder;
    test::writeFile(folder / "db1.ksd", SavedA + "\r\n");
    const std::vector<std::string> stale = {"db1.ksd.tmp0123456789abcdef-00000001",
                                            "db1.bak.tmpfedcba9876543210-0000002a"};
    const std::vector<std::string> others = {
        "db2.ksd.tmp0123456789abcdef-00000001", // another database
        "db1.ksd.tmp0123456789ABCDEF-00000009", // not a name the program makes
        "db1.ksd.tmp0123456789abcdef-0000001",  "db1.ksd.tmp-notes", "db1.ksd.tmp0123456789abcdef-00000001.txt",
    };
    for (const auto& name : stale)
        test::writeFile(folder / name, "copy");
    test::writeFile(folder / "db1.bak", "the backup of a save that was killed");
    for (const auto& name : others)
        test::writeFile(folder / name, "keep");
#ifndef _WIN32
    // One a save of another run is still writing, its lock held.
    const std::string busy = "db1.ksd.tmp00000000000000ff-00000003";
    const int fd = ::open((folder / busy).c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
#endif

    const std::vector<Record> rows{RowB};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    std::vector<std::string> expected = others;
    expected.push_back("db1.ksd");
#ifndef _WIN32
    expected.push_back(busy);
    ::close(fd);
#endif
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.names(), expected);

    // Opening the program removes those of every database, not only the open one's.
    OpenDatabase database(folder.path());
    database.choose("db1");
    RecordTable loaded;
    ASSERT_TRUE(database.load(loaded));
    expected.erase(std::find(expected.begin(), expected.end(), others[0]));
#ifndef _WIN32
    expected.erase(std::find(expected.begin(), expected.end(), busy)); // its writer is gone now
#endif
    EXPECT_EQ(folder.names(), expected);
}

#ifndef _WIN32
// Mended fault: a FIFO or a device where the data file goes made the load hang (or
// never end); now it is a failed load, and neither writer touches it.
TEST(DataFile, SomethingOtherThanAFileIsNeitherReadNorWritten)
{
    TestFolder folder;
    ASSERT_EQ(::mkfifo((folder / "db1.ksd").c_str(), 0600), 0);
    RecordTable rows;
    EXPECT_FALSE(LoadDatabase(folder.path(), "db1", rows));
    EXPECT_FALSE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowA)));
    const std::vector<Record> one{RowA};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(one)));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
}

// Every entry under `root`, sorted: "name/" for a folder, "name->target" for a
// link, "name=content" for a file (makeTree also takes "name=>file" for a second
// name of a file made before it).
std::vector<std::string> tree(const std::filesystem::path& root)
{
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).generic_string();
        if (entry.is_symlink())
            entries.push_back(name + "->" + std::filesystem::read_symlink(entry.path()).string());
        else if (entry.is_directory())
            entries.push_back(name + "/");
        else
            entries.push_back(name + "=" + test::readFile(entry.path()));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void makeTree(const std::filesystem::path& root, const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        if (const auto arrow = entry.find("->"); arrow != std::string::npos)
            std::filesystem::create_symlink(entry.substr(arrow + 2), root / entry.substr(0, arrow));
        else if (const auto second = entry.find("=>"); second != std::string::npos)
            std::filesystem::create_hard_link(root / entry.substr(second + 2), root / entry.substr(0, second));
        else if (entry.ends_with("/"))
            std::filesystem::create_directories(root / entry);
        else
            test::writeFile(root / entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
    }
}

// Mended faults: people link their data file into a synced or encrypted folder.
// The link stays; the save replaces the file it points to, and its backup stands
// beside that file, never beside the link (where a failed save left a full copy
// of every password). A link at the backup's name is never written through; a
// data file that is its own backup is never saved over it; a link into a folder
// that is not there (a disk not mounted) is no empty database.
TEST(DataFile, SaveThroughALinkKeepsTheLink)
{
    enum Operation { Load, Append, Save };
    using Op = FaultyFileOps::Op;
    const std::string a = SavedA + "\r\n";
    const std::string b = SavedB + "\r\n";
    const struct
    {
        const char* what;
        std::vector<std::string> before;
        Operation operation;
        Op failing;
        const char* prefix;
        bool succeeds;
        std::vector<std::string> after; // empty: as before
    } cases[] = {
        {"into a synced folder",
         {"program/", "synced/", "synced/vault=" + a, "program/db1.ksd->../synced/vault"},
         Save,
         Op::None,
         "",
         true,
         {"program/", "program/db1.ksd->../synced/vault", "synced/", "synced/vault=" + b}},
        {"a failed save leaves no backup, beside the link or the file",
         {"program/", "synced/", "synced/vault=" + a, "program/db1.ksd->../synced/vault"},
         Save,
         Op::WriteNew,
         "vault.tmp",
         false,
         {}},

        {"a link at the backup's name",
         {"program/", "elsewhere/", "elsewhere/notes=mine", "program/db1.ksd=" + a,
          "program/db1.bak->../elsewhere/notes"},
         Save,
         Op::None,
         "",
         true,
         {"elsewhere/", "elsewhere/notes=mine", "program/", "program/db1.ksd=" + b}},
        {"a link at the backup's name, the save failing",
         {"program/", "elsewhere/", "elsewhere/notes=mine", "program/db1.ksd=" + a,
          "program/db1.bak->../elsewhere/notes"},
         Save,
         Op::RenameOver,
         "db1.ksd",
         false,
         {"elsewhere/", "elsewhere/notes=mine", "program/", "program/db1.ksd=" + a}},
        // A killed save's backup that is a second name of the data file: gone at
        // the next read or Add, before an Add could change it along with the file.
        {"a backup that is the file, at a load",
         {"program/", "program/db1.ksd=" + a, "program/db1.bak=>program/db1.ksd"},
         Load,
         Op::None,
         "",
         true,
         {"program/", "program/db1.ksd=" + a}},
        {"a backup that is the file, at an Add",
         {"program/", "program/db1.ksd=" + a, "program/db1.bak=>program/db1.ksd"},
         Append,
         Op::None,
         "",
         true,
         {"program/", "program/db1.ksd=" + a + AppendedB + "\r\n"}},
        {"the data file a link to its backup name",
         {"program/", "program/db1.bak=" + a, "program/db1.ksd->db1.bak"},
         Save,
         Op::None,
         "",
         false,
         {}},
        {"the backup name a link to the data file",
         {"program/", "program/db1.ksd=" + a, "program/db1.bak->db1.ksd"},
         Save,
         Op::None,
         "",
         false,
         {}},
        {"into a folder that is not there: no load",
         {"program/", "program/db1.ksd->../unmounted/vault"},
         Load,
         Op::None,
         "",
         false,
         {}},
        {"into a folder that is not there: no Add",
         {"program/", "program/db1.ksd->../unmounted/vault"},
         Append,
         Op::None,
         "",
         false,
         {}},
        {"to a file not made yet: an empty database",
         {"program/", "synced/", "program/db1.ksd->../synced/vault"},
         Load,
         Op::None,
         "",
         true,
         {}},
        {"to a file not made yet: the first Add makes it",
         {"program/", "synced/", "program/db1.ksd->../synced/vault"},
         Append,
         Op::None,
         "",
         true,
         {"program/", "program/db1.ksd->../synced/vault", "synced/", "synced/vault=" + AppendedB + "\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        makeTree(folder.path(), c.before);
        const std::vector<std::string> before = tree(folder.path());
        FaultyFileOps ops(c.failing, c.prefix);
        const std::filesystem::path program = folder / "program";
        RecordTable rows;
        const std::vector<Record> one{RowB};
        switch (c.operation) {
        case Load:
            EXPECT_EQ(static_cast<bool>(LoadDatabase(program, "db1", rows, ops)), c.succeeds);
            EXPECT_EQ(recordsOf(rows).size(),
                      static_cast<std::size_t>(std::count(c.before.begin(), c.before.end(), "program/db1.ksd=" + a)));
            break;
        case Append:
            EXPECT_EQ(static_cast<bool>(AppendRecord(program, "db1", BuildRecordLine(RowB), ops)), c.succeeds);
            break;
        case Save:
            EXPECT_EQ(static_cast<bool>(SaveDatabase(program, "db1", tableOf(one), ops)), c.succeeds);
            break;
        }
        std::vector<std::string> after = c.after.empty() ? before : c.after;
        std::sort(after.begin(), after.end());
        EXPECT_EQ(tree(folder.path()), after);
    }
}

// Mended fault: data files and backups are private.
TEST(DataFile, FilesAreOwnerReadWriteOnly)
{
    test::ScopedUmask umask(022);
    TestFolder folder;
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(RowA)));
    EXPECT_EQ(test::modeOf(folder / "db1.ksd"), 0600u);
    // The first entry of a database in a folder not made yet makes it, private too.
    ASSERT_TRUE(AppendRecord(folder / "data" / "vault", "db1", BuildRecordLine(RowA)));
    EXPECT_EQ(test::modeOf(folder / "data"), 0700u);
    EXPECT_EQ(test::modeOf(folder / "data" / "vault"), 0700u);

    FaultyFileOps backupStays(FaultyFileOps::Op::Remove, "db1.bak");
    const std::vector<Record> rows{RowB};
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows), backupStays));
    EXPECT_EQ(test::modeOf(folder / "db1.bak"), 0600u);

    // Made by someone else, 0644: a full save and an Add both make it the user's alone.
    for (const bool add : {false, true}) {
        std::filesystem::remove(folder / "db2.ksd");
        test::writeFile(folder / "db2.ksd", SavedA + "\r\n");
        ASSERT_EQ(test::modeOf(folder / "db2.ksd"), 0644u);
        ASSERT_TRUE(add ? AppendRecord(folder.path(), "db2", BuildRecordLine(RowA))
                        : SaveDatabase(folder.path(), "db2", tableOf(rows)));
        EXPECT_EQ(test::modeOf(folder / "db2.ksd"), 0600u);
    }

    // The user's own data folder, made readable by all before (by an install
    // step, say), becomes private at the first write.
    std::filesystem::create_directory(folder / "own");
    std::filesystem::permissions(folder / "own", std::filesystem::perms(0755));
    OpenDatabase own(folder / "own", realFileOps(), true);
    own.choose("db1");
    ASSERT_TRUE(own.append(BuildRecordLine(RowA)));
    EXPECT_EQ(test::modeOf(folder / "own"), 0700u);
}
#endif

// Mended faults: "changed by another program" was told from the file's time
// stamps and size, so a same-size change with its time put back went unseen (and
// the next Remove undid it), while a mere touch made Remove refuse; after an Add
// the disk refused and the program took back, Remove blamed another program.
TEST(DataFile, OnlyOtherBytesAreAChange)
{
    const std::string content = SavedA + "\r\n" + SavedB + "\r\n";
    const auto samePasswordLength = [&](const std::filesystem::path& file) {
        const auto stamp = std::filesystem::last_write_time(file);
        std::string changed = content;
        changed[changed.size() - 5] = changed[changed.size() - 5] == '0' ? '1' : '0';
        test::writeFile(file, changed);
        std::filesystem::last_write_time(file, stamp);
    };
    const struct
    {
        const char* what;
        std::function<void(const std::filesystem::path& file, OpenDatabase& database)> happen;
        FaultyFileOps::Op failing;
        Verdict verdict;
    } cases[] = {
        {"nothing", [](auto&, auto&) {}, FaultyFileOps::Op::None, Verdict::Done},
        {"only touched",
         [](const std::filesystem::path& file, auto&) {
             std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + std::chrono::hours(1));
         },
         FaultyFileOps::Op::None, Verdict::Done},
        {"the same size, its time put back", [&](const auto& file, auto&) { samePasswordLength(file); },
         FaultyFileOps::Op::None, Verdict::ChangedOutside},
        {"an entry added by another program",
         [](const std::filesystem::path& file, auto&) {
             EXPECT_TRUE(AppendRecord(file.parent_path(), "db1", BuildRecordLine(RowA)));
         },
         FaultyFileOps::Op::None, Verdict::ChangedOutside},
        {"our own Add", [](auto&, OpenDatabase& database) { EXPECT_TRUE(database.append(BuildRecordLine(RowA))); },
         FaultyFileOps::Op::None, Verdict::Done},
        {"our own Add, refused and taken back",
         [](auto&, OpenDatabase& database) { EXPECT_FALSE(database.append(BuildRecordLine(RowA))); },
         FaultyFileOps::Op::Append, Verdict::Done},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        test::writeFile(folder / "db1.ksd", content);
        FaultyFileOps ops(c.failing, "db1.ksd");
        OpenDatabase database(folder.path(), ops);
        database.choose("db1");
        RecordTable rows;
        ASSERT_TRUE(database.load(rows));
        c.happen(folder / "db1.ksd", database);
        EXPECT_EQ(database.checkRewrite(), c.verdict);
    }
}

// The old full save stopped at 32,766 rows; this one has no such limit.
TEST(DataFile, LargestDatabaseRoundTrips)
{
    TestFolder folder;
    std::vector<Record> rows;
    rows.reserve(40000);
    for (int i = 0; i < 40000; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back(
            {"service " + n, "user" + n, "pw\u00E9" + n, "", "https://s" + n + ".example", "07-04-2026 18:30:05"});
    }
    test::writeFile(folder / "db1.ksd", "");
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    EXPECT_EQ(load(folder), rows);
}

} // namespace
} // namespace kv
