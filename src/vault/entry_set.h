#pragma once
// Entries found by their fields: an import or a merge adds only those a database
// does not hold yet. The set keeps rows of tables, not copies of them.

#include "storage/record_table.h"

#include <cstdint>
#include <vector>

namespace kv {

class EntrySet
{
public:
    // Rows are equal when every field is, the kept line too; `withTime` false
    // leaves the recorded time out. `expected`: about how many rows will go in.
    EntrySet(bool withTime, std::size_t expected);

    // Puts `row` of `table` in, unless an equal row is there already; false then.
    // The table must stay, and keep its rows as they are, while the set is used.
    bool insert(const RecordTable& table, int row);
    bool contains(const RecordTable& table, int row) const;

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        const RecordTable* table = nullptr; // none: the slot is free
        int row = 0;
    };
    std::uint64_t hashOf(const RecordTable& table, int row) const;
    bool equal(const Slot& slot, const RecordTable& table, int row) const;
    // The slot holding a row equal to this one, or the free slot where it would go.
    std::size_t find(std::uint64_t hash, const RecordTable& table, int row) const;
    void grow();

    bool m_withTime;
    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

} // namespace kv
