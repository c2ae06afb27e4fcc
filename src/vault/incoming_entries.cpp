#include "vault/incoming_entries.h"

namespace kv {

IncomingEntries::IncomingEntries(const RecordTable& held, std::size_t expected, std::string now)
    : m_held(held), m_expected(expected), m_now(std::move(now)), m_present(true, expected)
{
    for (int row = 0; row < held.size(); ++row)
        m_present.insert(held, row);
}

void IncomingEntries::makeUntimedSet()
{
    m_presentUntimed.emplace(false, m_expected);
    for (int row = 0; row < m_held.size(); ++row)
        m_presentUntimed->insert(m_held, row);
    for (int row = 0; row < m_batch.size(); ++row)
        m_presentUntimed->insert(m_batch.table(), row);
}

std::optional<std::string> IncomingEntries::take(Record& record, bool ownEmptyTime)
{
    const bool timed = !record.recorded.empty() || ownEmptyTime;
    if (!timed) {
        record.recorded = m_now;
        if (!m_presentUntimed)
            makeUntimedSet();
    }
    if (auto why = m_batch.add(record))
        return why;
    const RecordTable& added = m_batch.table();
    const int last = added.size() - 1;
    const bool fresh = timed ? m_present.insert(added, last) : !m_presentUntimed->contains(added, last);
    if (!fresh) {
        m_batch.dropLast();
        ++m_already;
        return std::nullopt;
    }
    if (m_presentUntimed)
        m_presentUntimed->insert(added, last);
    if (!timed)
        m_present.insert(added, last);
    return std::nullopt;
}

} // namespace kv
