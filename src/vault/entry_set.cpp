#include "vault/entry_set.h"

#include <bit>
#include <functional>
#include <string_view>

namespace kv {

namespace {

bool compared(RecordField field, bool withTime)
{
    return withTime || field != RecordField::Recorded;
}

} // namespace

EntrySet::EntrySet(bool withTime, std::size_t expected)
    : m_withTime(withTime), m_slots(std::bit_ceil(expected * 2 + 16))
{
}

std::uint64_t EntrySet::hashOf(const RecordTable& table, int row) const
{
    const auto fields = table.fields(row);
    std::uint64_t hash = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!compared(static_cast<RecordField>(i), m_withTime))
            continue;
        // Mixed in with its place, so that "ab","" and "a","b" differ.
        hash = (hash ^ std::hash<std::string_view>{}(fields[i])) * 0x9E3779B97F4A7C15ULL + i;
    }
    return hash ^ (hash >> 29); // the slot is chosen by the low bits
}

bool EntrySet::equal(const Slot& slot, const RecordTable& table, int row) const
{
    const auto ours = slot.table->fields(slot.row);
    const auto theirs = table.fields(row);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        if (compared(static_cast<RecordField>(i), m_withTime) && ours[i] != theirs[i])
            return false;
    }
    return true;
}

std::size_t EntrySet::find(std::uint64_t hash, const RecordTable& table, int row) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (!slot.table || (slot.hash == hash && equal(slot, table, row)))
            return i;
    }
}

bool EntrySet::insert(const RecordTable& table, int row)
{
    if ((m_used + 1) * 2 > m_slots.size())
        grow();
    const std::uint64_t hash = hashOf(table, row);
    Slot& slot = m_slots[find(hash, table, row)];
    if (slot.table)
        return false;
    slot = {hash, &table, row};
    ++m_used;
    return true;
}

bool EntrySet::contains(const RecordTable& table, int row) const
{
    return m_slots[find(hashOf(table, row), table, row)].table != nullptr;
}

void EntrySet::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.table)
            continue;
        std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
        while (m_slots[i].table)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

} // namespace kv
