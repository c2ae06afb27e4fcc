#include "vault/entry_batch.h"

#include "vault/entry_rules.h"

namespace kv {

std::optional<std::string> EntryBatch::add(const Record& record)
{
    std::optional<std::string> why = entryRefusal(record);
    if (!why)
        m_table.append(record);
    return why;
}

} // namespace kv
