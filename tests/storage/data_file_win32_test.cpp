// The data file against the real Windows file system: rename-over, sharing and
// attribute rules, and folder names outside the ANSI code page differ from POSIX.

#include "storage/data_file.h"

#include "record_rows.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kv {
namespace {

using test::FaultyFileOps;
using test::recordsOf;
using test::tableOf;
using test::TestFolder;

const Record Old{"old", "u", "p", "", "", "01-02-2026 03:04:05"};
const Record New{"new", "user", "pass", "note", "https://x.example", "07-04-2026 18:30:05"};

// Another program (a viewer, a sync client, a virus scanner) holding the file open.
class OpenElsewhere
{
public:
    OpenElsewhere(const std::filesystem::path& file, DWORD share)
        : m_handle(
              ::CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    OpenElsewhere(const OpenElsewhere&) = delete;
    OpenElsewhere& operator=(const OpenElsewhere&) = delete;
    ~OpenElsewhere() { close(); }

    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    void close()
    {
        if (valid())
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

std::vector<Record> load(const std::filesystem::path& folder)
{
    RecordTable rows;
    EXPECT_TRUE(LoadDatabase(folder, "db1", rows));
    return recordsOf(rows);
}

// File names in a folder as wide text, so names outside the code page list too.
std::vector<std::wstring> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

std::string savedContentOf(const Record& row)
{
    TestFolder scratch;
    test::writeFile(scratch / "db1.ksd", "");
    const std::vector<Record> rows{row};
    EXPECT_TRUE(SaveDatabase(scratch.path(), "db1", tableOf(rows)));
    return test::readFile(scratch / "db1.ksd");
}

// MoveFileEx must replace both the data file and a backup left by a save that
// was cut off; on success only the data file remains.
TEST(DataFileWin32, SaveReplacesTheDataFileAndAStaleBackup)
{
    const struct
    {
        const char* what;
        bool staleBackup;
    } cases[] = {{"data file only", false}, {"backup left by an interrupted save", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestFolder folder;
        ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(Old)));
        if (c.staleBackup)
            test::writeFile(folder / "db1.bak", "stale backup content, longer than the new file\r\n");
        const std::vector<Record> rows{New, Old};
        ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
        EXPECT_EQ(load(folder.path()), rows);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
    }
}

// Windows refuses to replace a file that another program holds open without
// delete sharing. The save must say it failed, keep the old file whole and the
// backup, and leave no temporary file; once the file is closed the next save
// goes through and the backup goes. A file held for a moment only is waited for.
TEST(DataFileWin32, SaveBlockedByAReaderKeepsOldFileAndBackup)
{
    TestFolder folder;
    const auto file = folder / "db1.ksd";
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(Old)));
    const std::string before = test::readFile(file);

    OpenElsewhere reader(file, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader.valid());
    const std::vector<Record> rows{New};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(test::readFile(folder / "db1.bak"), before);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"db1.bak", "db1.ksd"}));

    reader.close();
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(rows)));
    EXPECT_EQ(load(folder.path()), rows);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});

    // Held for a moment only, as a scanner or an indexer holds it: the save waits it out.
    OpenElsewhere brief(file, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(brief.valid());
    std::thread letGo([&brief] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        brief.close();
    });
    const std::vector<Record> later{Old};
    EXPECT_TRUE(SaveDatabase(folder.path(), "db1", tableOf(later)));
    letGo.join();
    EXPECT_EQ(load(folder.path()), later);
}

// The double fails the rename over the data file after the real backup and
// temporary file were written on Windows: the backup must stay, the temporary go.
TEST(DataFileWin32, InjectedFailureKeepsBackupOnWindows)
{
    TestFolder folder;
    ASSERT_TRUE(AppendRecord(folder.path(), "db1", BuildRecordLine(Old)));
    const std::string before = test::readFile(folder / "db1.ksd");
    FaultyFileOps ops(FaultyFileOps::Op::RenameOver, "db1.ksd");
    const std::vector<Record> rows{New};
    EXPECT_FALSE(SaveDatabase(folder.path(), "db1", tableOf(rows), ops));
    EXPECT_EQ(ops.failures(), 1);
    EXPECT_EQ(test::readFile(folder / "db1.ksd"), before);
    EXPECT_EQ(test::readFile(folder / "db1.bak"), before);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"db1.bak", "db1.ksd"}));
}

// The program folder is wherever the user unpacked the program, often under a
// profile folder named after the user, in any script. Every operation must find
// its file there, also when the name has characters the ANSI code page lacks.
TEST(DataFileWin32, WorksInFoldersNamedOutsideTheCodePage)
{
    for (const char8_t* name : {u8"Jos\u00E9", u8"\u4E2D\u6587 \u0141\u00F3d\u017A", u8"caf\u00E9 \U0001F600"}) {
        const std::u8string utf8(name);
        SCOPED_TRACE(std::string(utf8.begin(), utf8.end()));
        const std::filesystem::path sub(utf8);
        TestFolder folder;
        const std::filesystem::path here = folder.path() / sub;
        std::filesystem::create_directory(here);

        RecordTable rows;
        EXPECT_TRUE(LoadDatabase(here, "db1", rows)); // no file yet
        EXPECT_TRUE(rows.empty());
        ASSERT_TRUE(AppendRecord(here, "db1", BuildRecordLine(Old)));
        EXPECT_EQ(load(here), std::vector<Record>{Old});
        const std::vector<Record> saved{New, Old};
        ASSERT_TRUE(SaveDatabase(here, "db1", tableOf(saved)));
        EXPECT_EQ(load(here), saved);
        EXPECT_EQ(namesIn(here), std::vector<std::wstring>{L"db1.ksd"});
        EXPECT_EQ(test::readFile(here / "db1.ksd"), savedContentOf(New) + savedContentOf(Old));
    }
}

} // namespace
} // namespace kv
