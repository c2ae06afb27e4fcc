#pragma once
// Entries brought in from another file, one at a time, for one full save: each
// that the database holds already, or that came in before, is left out and
// counted. An entry the file gave no time takes the time of the import, which
// says nothing of the entry: it is then here already if all else is.

#include "vault/entry_batch.h"
#include "vault/entry_set.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kv {

class IncomingEntries
{
public:
    // `held`: the database's entries, which must stay as they are meanwhile.
    // `expected`: about how many entries there will be in all. `now`: the time
    // an entry without one takes.
    IncomingEntries(const RecordTable& held, std::size_t expected, std::string now);

    // Takes `record` in, unless it is there already; says why it cannot be
    // stored, taking nothing, when it cannot. `ownEmptyTime`: an empty time is
    // the entry's own (in our own export), and stays.
    std::optional<std::string> take(Record& record, bool ownEmptyTime);

    EntryBatch& batch() { return m_batch; }
    // How many were left out as there already.
    std::size_t already() const { return m_already; }

private:
    void makeUntimedSet();

    const RecordTable& m_held;
    std::size_t m_expected;
    std::string m_now;
    EntryBatch m_batch;
    EntrySet m_present;
    // Made at the first entry without a time (few files have any), of the
    // entries held and those taken in before it.
    std::optional<EntrySet> m_presentUntimed;
    std::size_t m_already = 0;
};

} // namespace kv
