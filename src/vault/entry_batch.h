#pragma once
// Entries to be added in one full save (an import, a merge): each is checked as
// it comes in against what a data file can hold, and kept as the list keeps them,
// so that the save and the list take them as they are.

#include "storage/record_table.h"

#include <optional>
#include <string>

namespace kv {

class Vault;

class EntryBatch
{
public:
    // Takes `record` (UTF-8) in, or says why it cannot be stored and takes nothing.
    std::optional<std::string> add(const Record& record);
    // Gives the last entry taken in back.
    void dropLast() { m_table.remove(m_table.size() - 1); }

    const RecordTable& table() const { return m_table; }
    int size() const { return m_table.size(); }
    bool empty() const { return m_table.empty(); }

private:
    friend class Vault; // takes the table over
    RecordTable m_table;
};

} // namespace kv
