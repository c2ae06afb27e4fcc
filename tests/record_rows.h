#pragma once
// Records as tests spell them (a list of Record values) and the RecordTable the
// program keeps them in, each made from the other, so that a test can write a
// database from a list and compare what it reads back with one.

#include "storage/record_table.h"

#include <vector>

namespace kv::test {

// A table holding `records`, in their order.
inline RecordTable tableOf(const std::vector<Record>& records)
{
    RecordTable table;
    for (const Record& record : records)
        table.append(record);
    return table;
}

// The records of `table`, in its order.
inline std::vector<Record> recordsOf(const RecordTable& table)
{
    std::vector<Record> records;
    records.reserve(static_cast<std::size_t>(table.size()));
    for (int row = 0; row < table.size(); ++row)
        records.push_back(table.record(row));
    return records;
}

} // namespace kv::test
