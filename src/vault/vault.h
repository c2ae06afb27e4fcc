#pragma once
// The entries of the open database and the rules for changing them, whoever asks:
// Add appends one line, Remove and Replace write the whole list over the file, and
// only while that loses nothing (the file was read whole and nobody else wrote it
// since). The log-in to the program rides on the entry named after the program:
// adding it arms the log-in, removing it with the stored credentials disarms it.

#include "lock/lock_record.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"
#include "vault/entry_batch.h"
#include "vault/entry_list.h"
#include "vault/outcome.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kv {

class Vault
{
public:
    Vault(OpenDatabase& database, const SettingsStore& settings);

    // The list, for whoever shows it: a view listens to it, and may put it in its
    // own order. Every change of its entries goes through the functions below.
    EntryList& entries() { return m_entries; }
    const EntryList& entries() const { return m_entries; }
    OpenDatabase& database() { return m_database; }

    // Reads the open database into the list, in place of what it held (a reload
    // too). False when it could not be read whole; the list then holds what could
    // be read, and no full save runs.
    DatabaseResult load();
    // Empties the list, leaving the file as it is.
    void unload();

    // `locked`: the program's log-in is armed and has not been passed; nothing of
    // the list may change then, and the log-in's own entry may not be added.
    // Appends `record` (with its recorded time) to the list and the file. The
    // log-in's own entry may not carry a sealed database's password: the log-in
    // is stored where anyone can read it.
    Outcome add(const Record& record, bool locked);
    // Removes the `selected` row. When `service` is the program's and `loaded`
    // are the stored log-in's credentials, the log-in is disarmed first and the
    // first entry of that service goes, wherever the selection is.
    Outcome remove(std::optional<int> selected, std::string_view service, const Credentials& loaded, bool locked);
    // Overwrites everything but the service of the `selected` row with `details`,
    // once some entry has the service `details` names. When that row is the
    // program's entry holding the armed log-in's credentials, the log-in follows.
    Outcome replace(std::optional<int> selected, const Record& details, bool locked);
    // Appends every entry of `batch` in one full save, creating the file when the
    // database has none yet: all of them, or (list and file as they were) none.
    Outcome addAll(EntryBatch batch);
    // The same for records not checked yet: one that cannot be stored stops all.
    Outcome addAll(std::span<const Record> records);

    // Rewrites the whole database sealed under `key` (nothing: in the fixed-key
    // format), in one full save, and keeps it so from then on. Refused, with
    // nothing changed, while a line of the file could not be read: it could not
    // be carried over.
    Outcome reseal(std::shared_ptr<const LineSeal> key);
    // Whether the last load left a line of the file unread (damaged, or under
    // another key), which a rewrite in another format could not carry over.
    bool holdsUnreadLines() const;
    // Why `password` cannot seal a database, or nothing when it can: it is empty,
    // or it is the armed log-in's, which is stored under the fixed key.
    std::optional<std::string> sealPasswordRefusal(std::string_view password) const;

private:
    OpenDatabase::Rewriting startRewrite(bool locked, Outcome& refusal,
                                         OpenDatabase::Creation creation = OpenDatabase::Creation::Refused);
    // An outcome of this database: `problem`, and `file` for Problem::File.
    Outcome outcome(bool done, Outcome::Problem problem = Outcome::Problem::None) const;
    Outcome fileOutcome(bool done, DatabaseResult file) const;
    Outcome refused(std::string why) const;
    bool givesTheSealAway(const Record& record) const;

    OpenDatabase& m_database;
    const SettingsStore& m_settings;
    EntryList m_entries;
};

} // namespace kv
