#include "vault/entry_list.h"

#include "storage/ansi_text.h"

namespace kv {

std::optional<int> EntryList::findService(std::string_view service) const
{
    // A stored service holds only characters of the code page: one the code page
    // cannot hold matches none.
    if (!fitsAnsi(service))
        return std::nullopt;
    const std::string wanted = utf8ToAnsi(service);
    for (int row = 0; row < size(); ++row) {
        if (m_table.bytes(row, RecordField::Service) == wanted)
            return row;
    }
    return std::nullopt;
}

void EntryList::append(const Record& record)
{
    if (m_listener)
        m_listener->entriesAboutToBeInserted(size(), size());
    m_table.append(record);
    if (m_listener)
        m_listener->entriesInserted();
}

void EntryList::appendAll(RecordTable records)
{
    if (records.empty())
        return;
    if (m_listener)
        m_listener->entriesAboutToBeInserted(size(), size() + records.size() - 1);
    if (m_table.empty())
        m_table = std::move(records);
    else
        m_table.append(records);
    if (m_listener)
        m_listener->entriesInserted();
}

void EntryList::assign(RecordTable records)
{
    if (m_listener)
        m_listener->entriesAboutToBeReset();
    m_table = std::move(records);
    if (m_listener)
        m_listener->entriesReset();
}

void EntryList::removeAt(int row)
{
    if (row < 0 || row >= size())
        return;
    if (m_listener)
        m_listener->entryAboutToBeRemoved(row);
    m_table.remove(row);
    if (m_listener)
        m_listener->entryRemoved();
}

void EntryList::replaceDetails(int row, const Record& details)
{
    if (row < 0 || row >= size())
        return;
    m_table.replaceDetails(row, details);
    if (m_listener)
        m_listener->entryChanged(row);
}

void EntryList::clear()
{
    if (m_table.empty())
        return;
    if (m_listener)
        m_listener->entriesAboutToBeReset();
    m_table.clear();
    if (m_listener)
        m_listener->entriesReset();
}

} // namespace kv
