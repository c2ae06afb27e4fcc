#pragma once
// The largest database the program is meant for: 32,766 entries of ordinary size.

#include "storage/data_file.h"

#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace kvbench {

inline constexpr int LargestDatabase = 32766;

inline std::vector<kv::Record> makeRecords(int count)
{
    std::mt19937 random(42);
    auto word = [&](int length) {
        std::string text;
        for (int i = 0; i < length; ++i)
            text.push_back(static_cast<char>('a' + random() % 26));
        return text;
    };
    std::vector<kv::Record> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rows.push_back({word(12), word(10) + "@example.org", word(16), word(40), "https://" + word(14) + ".example",
                        "07-04-2026 18:30:05"});
    return rows;
}

// The table the program keeps `rows` in, in their order.
inline kv::RecordTable tableOf(const std::vector<kv::Record>& rows)
{
    kv::RecordTable table;
    for (const kv::Record& row : rows)
        table.append(row);
    return table;
}

// A folder holding db1.ksd written by the program's own full save.
inline std::filesystem::path makeDatabaseFolder(const std::vector<kv::Record>& rows, const std::string& name = "db")
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("kv-bench-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(folder);
    kv::realFileOps().writeNew(folder / "db1.ksd", "");
    kv::SaveDatabase(folder, "db1", tableOf(rows));
    return folder;
}

} // namespace kvbench
