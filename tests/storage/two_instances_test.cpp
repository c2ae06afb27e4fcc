// Two instances of the program on one database: two threads, each with an open
// database of its own and so its own file handles and locks, as two processes
// would have. One adds entries as fast as it can; the other rewrites the file
// (Replace) as fast as it can, reading it again whenever it finds it changed, and
// opens it afresh now and then, as a second start would. Without one writer at a
// time, a rename of the rewriter's put the file back to what it was before the
// adder's acknowledged entries, and a start-up removed the temporary file of a
// save in progress.

#include "record_rows.h"
#include "storage/open_database.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <set>
#include <thread>

namespace kv {
namespace {

constexpr int StartRecords = 1000;
constexpr int Rewrites = 150; // the adder goes on until the rewriter has done as many

Record numbered(const std::string& service, int n)
{
    const std::string number = std::to_string(n);
    return {service + number,     "user" + number, "pw" + number, "", "https://s" + number + ".example",
            "07-04-2026 18:30:05"};
}

TEST(TwoInstances, NoAcknowledgedAddIsLost)
{
    test::TestFolder folder;
    RecordTable start;
    for (int i = 0; i < StartRecords; ++i)
        start.append(numbered("start ", i));
    test::writeFile(folder / "db1.ksd", "");
    ASSERT_TRUE(SaveDatabase(folder.path(), "db1", start));

    std::atomic<bool> rewriterRunning{true};
    std::vector<int> acknowledged;
    int addsRefused = 0;
    std::thread adder([&] {
        OpenDatabase database(folder.path());
        database.choose("db1");
        RecordTable rows;
        database.load(rows);
        for (int i = 0; rewriterRunning; ++i) {
            if (database.append(BuildRecordLine(numbered("added ", i))))
                acknowledged.push_back(i);
            else
                ++addsRefused;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });

    int saves = 0;
    int savesFailed = 0;
    int foundChanged = 0;
    int refusedOtherwise = 0;
    int reopened = 0;
    {
        OpenDatabase database(folder.path());
        database.choose("db1");
        RecordTable rows;
        ASSERT_TRUE(database.load(rows));
        for (int round = 0; saves + foundChanged + refusedOtherwise < Rewrites; ++round) {
            if (round % 10 == 9) {
                database.choose("db1"); // a second start: it removes stale temporary files
                rows = RecordTable();
                ASSERT_TRUE(database.load(rows));
                ++reopened;
            }
            OpenDatabase::Rewriting rewriting = database.startRewrite();
            if (rewriting.verdict() == Verdict::ChangedOutside) {
                ++foundChanged;
                rows = RecordTable();
                database.choose("db1");
                ASSERT_TRUE(database.load(rows));
                continue;
            }
            if (!rewriting.allowed()) {
                ++refusedOtherwise;
                continue;
            }
            Record details = numbered("start ", round);
            details.service = rows.record(0).service;
            rows.replaceDetails(0, details);
            const DatabaseResult saved = database.save(rewriting, rows);
            if (saved) {
                ++saves;
            } else {
                ++savesFailed;
                std::cout << "A save failed: verdict " << static_cast<int>(saved.verdict) << ", reason "
                          << static_cast<int>(saved.error) << "\n";
            }
            // A person takes a moment between two commands (the adder too); a lock
            // taken again at once would keep the other waiting for it.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    rewriterRunning = false;
    adder.join();

    RecordTable table;
    ASSERT_TRUE(LoadDatabase(folder.path(), "db1", table));
    const std::vector<Record> loaded = test::recordsOf(table);
    std::multiset<std::string> services;
    for (const Record& row : loaded)
        services.insert(row.service);
    int found = 0;
    for (const int i : acknowledged) {
        const auto count = services.count("added " + std::to_string(i));
        EXPECT_EQ(count, 1u) << "added " << i;
        found += count == 1 ? 1 : 0;
    }
    EXPECT_EQ(loaded.size(), static_cast<std::size_t>(StartRecords) + acknowledged.size());
    EXPECT_EQ(savesFailed, 0);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"});
    std::cout << acknowledged.size() << " Adds acknowledged, " << found << " of them in the file afterwards, "
              << addsRefused << " refused; " << saves << " full saves, " << savesFailed << " failed, " << foundChanged
              << " refused as changed by the other (read again), " << refusedOtherwise << " refused otherwise, "
              << reopened << " fresh starts\n";
    RecordProperty("addsAcknowledged", static_cast<int>(acknowledged.size()));
    RecordProperty("addsFound", found);
}

} // namespace
} // namespace kv
