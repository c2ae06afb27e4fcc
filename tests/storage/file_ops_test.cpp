#include "storage/file_ops.h"

#include "storage_test_support.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using test::FaultyFileOps;
using test::TestFolder;

TEST(FileOps, RealOperations)
{
    TestFolder folder;
    FileOps& ops = realFileOps();
    const auto file = folder / "f.txt";
    std::string data = "untouched";

    EXPECT_FALSE(ops.exists(file));
    EXPECT_FALSE(ops.readAll(file, data));
    EXPECT_EQ(data, "untouched");
    EXPECT_TRUE(ops.remove(file)); // already gone counts as removed

    EXPECT_TRUE(ops.append(file, "one\r\n"));
    EXPECT_TRUE(ops.append(file, "two\r\n"));
    EXPECT_TRUE(ops.readAll(file, data));
    EXPECT_EQ(data, "one\r\ntwo\r\n");

    EXPECT_TRUE(ops.writeNew(file, std::string("a\0b", 3)));
    EXPECT_EQ(test::readFile(file), std::string("a\0b", 3));

    const auto other = folder / "g.txt";
    EXPECT_TRUE(ops.renameOver(file, other));
    EXPECT_FALSE(ops.exists(file));
    EXPECT_EQ(test::readFile(other), std::string("a\0b", 3));
    EXPECT_TRUE(ops.remove(other));
    EXPECT_TRUE(folder.names().empty());
}

TEST(FileOps, ReplaceFileAtomicallyLeavesOnlyTheTarget)
{
    TestFolder folder;
    const auto target = folder / "target.txt";
    test::writeFile(target, "old");
    ASSERT_TRUE(replaceFileAtomically(realFileOps(), target, "new content"));
    EXPECT_EQ(test::readFile(target), "new content");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"target.txt"});
}

// Mended fault: a failed write or rename never touches the target and never
// leaves the temporary file behind.
TEST(FileOps, ReplaceFileAtomicallyFailureKeepsTargetWhole)
{
    for (const auto op : {FaultyFileOps::Op::WriteNew, FaultyFileOps::Op::RenameOver}) {
        SCOPED_TRACE(static_cast<int>(op));
        TestFolder folder;
        const auto target = folder / "target.txt";
        test::writeFile(target, "old content");
        FaultyFileOps ops(op, "target.txt");
        EXPECT_FALSE(replaceFileAtomically(ops, target, "new content that is longer"));
        EXPECT_EQ(ops.failures(), 1);
        EXPECT_EQ(test::readFile(target), "old content");
        EXPECT_EQ(folder.names(), std::vector<std::string>{"target.txt"});
    }
}

#ifndef _WIN32
// Mended fault: files are private, whatever the umask lets through.
TEST(FileOps, CreatedFilesAreOwnerReadWriteOnly)
{
    test::ScopedUmask umask(022);
    TestFolder folder;
    FileOps& ops = realFileOps();
    ASSERT_TRUE(ops.writeNew(folder / "new.txt", "x"));
    ASSERT_TRUE(ops.append(folder / "appended.txt", "x"));
    ASSERT_TRUE(replaceFileAtomically(ops, folder / "replaced.txt", "x"));
    for (const char* name : {"new.txt", "appended.txt", "replaced.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(test::modeOf(folder / name), 0600u);
    }
}
#endif

} // namespace
} // namespace kv
