#pragma once
// The open database's entries in display order: the only copy of them in memory,
// which a full save writes back in this order. Whoever shows them (the window's
// list) listens to every change.

#include "storage/record_table.h"

#include <optional>
#include <span>
#include <string_view>

namespace kv {

// Told before and after each change, in the order a view's model must say it.
class EntryListener
{
public:
    virtual void entriesAboutToBeInserted(int first, int last) = 0;
    virtual void entriesInserted() = 0;
    virtual void entryAboutToBeRemoved(int row) = 0;
    virtual void entryRemoved() = 0;
    virtual void entryChanged(int row) = 0;
    virtual void entriesAboutToBeReset() = 0;
    virtual void entriesReset() = 0;

protected:
    ~EntryListener() = default;
};

class EntryList
{
public:
    void setListener(EntryListener* listener) { m_listener = listener; }

    const RecordTable& table() const { return m_table; }
    int size() const { return m_table.size(); }
    Record at(int row) const { return m_table.record(row); }
    // The first row, in display order, whose service is exactly `service` (UTF-8).
    std::optional<int> findService(std::string_view service) const;

    void append(const Record& record);
    // Entries brought in at once, after those held, taken over without copying.
    void appendAll(RecordTable records);
    // A whole database (the load) in place of what the list held, taken over
    // without copying. The listener is told of a reset.
    void assign(RecordTable records);
    void removeAt(int row);
    // Overwrites everything but the service name.
    void replaceDetails(int row, const Record& details);
    void clear();
    // Row i becomes what was row order[i]. The listener is not told: whoever
    // reorders (a sort) knows what moved and says so itself.
    void reorder(std::span<const int> order) { m_table.reorder(order); }

private:
    RecordTable m_table;
    EntryListener* m_listener = nullptr;
};

} // namespace kv
