#include "vault/vault.h"

#include "lock/lock_record.h"
#include "product/product.h"
#include "vault/entry_rules.h"

namespace kv {

Vault::Vault(OpenDatabase& database, const SettingsStore& settings) : m_database(database), m_settings(settings) {}

bool Vault::load()
{
    RecordTable rows;
    const bool ok = m_database.load(rows);
    m_entries.assign(std::move(rows));
    return ok;
}

void Vault::unload()
{
    m_entries.clear();
}

std::string Vault::writeFailure() const
{
    return fileFailure("write", m_database);
}

std::string Vault::fileName() const
{
    return m_database.base() + ".ksd";
}

OpenDatabase::Rewriting Vault::startRewrite(bool locked, std::string& refusal, OpenDatabase::Creation creation)
{
    // The lock covers the entries too: rows the user cannot see are not theirs to change.
    if (locked) {
        refusal = "Unlock before changing entries";
        return {};
    }
    const std::string file = fileName();
    if (m_database.shut()) {
        refusal = file + " is sealed: enter its password first";
        return {};
    }
    OpenDatabase::Rewriting rewriting = m_database.startRewrite(creation);
    switch (rewriting.verdict()) {
    case OpenDatabase::Rewrite::Allowed:
        break;
    case OpenDatabase::Rewrite::NotRead:
        refusal = "Not saved: " + file + " could not be read";
        break;
    case OpenDatabase::Rewrite::Changed:
        refusal = "Not saved: " + file + " was changed outside the program";
        break;
    case OpenDatabase::Rewrite::Busy:
        refusal = writeFailure();
        break;
    case OpenDatabase::Rewrite::Unreadable:
        refusal = fileFailure("read", m_database);
        break;
    }
    return rewriting;
}

Outcome Vault::add(const Record& record, bool locked)
{
    // Whoever sits at a locked window must not put a log-in of their own in place.
    if (record.service == AppTitle && locked)
        return {false, "Unlock before changing the log-in"};
    if (auto why = entryRefusal(record))
        return {false, std::move(*why)};
    if (m_database.shut())
        return {false, fileName() + " is sealed: enter its password first"};
    const bool logIn = record.service == AppTitle;
    const Credentials logInBefore = logIn ? ReadLockRecord(m_settings).value_or(Credentials{}) : Credentials{};
    const bool lockStored = !logIn || WriteLockRecord(m_settings, {record.username, record.password});
    m_entries.append(record);
    // A lost entry weighs more than a log-in that can be added again.
    if (!m_database.append(BuildRecordLine(record))) {
        if (m_database.lastError() != FileError::ChangedOutside)
            return {true, writeFailure()};
        // Sealed, unsealed or sealed anew by another program: the line was not
        // written, and neither the list nor the log-in may act as if it were.
        m_entries.removeAt(m_entries.size() - 1);
        if (logIn && lockStored)
            WriteLockRecord(m_settings, logInBefore);
        return {false, "Not saved: " + fileName() + " was changed outside the program"};
    }
    if (!lockStored)
        return {true, "Could not store the log-in"};
    return {true, {}};
}

Outcome Vault::remove(std::optional<int> selected, std::string_view service, const Credentials& loaded, bool locked)
{
    std::string refusal;
    OpenDatabase::Rewriting rewriting = startRewrite(locked, refusal);
    if (!rewriting.allowed())
        return {false, refusal};
    std::optional<int> row = selected;
    if (!row)
        return {};
    if (service == AppTitle) {
        // No record reads as empty credentials, as the fields may be.
        const Credentials lock = ReadLockRecord(m_settings).value_or(Credentials{});
        if (loaded == lock) {
            // Still armed: the entry stays in the list as the reminder of its credentials.
            if (!WriteLockRecord(m_settings, {}))
                return {false, "Could not store the log-in"};
            // The log-in was just disarmed: its own entry goes, wherever the selection is.
            row = m_entries.findService(service);
            if (!row)
                return {true, {}};
        }
    }
    m_entries.removeAt(*row);
    if (!m_database.save(rewriting, m_entries.table()))
        return {true, writeFailure()};
    return {true, {}};
}

Outcome Vault::replace(std::optional<int> selected, const Record& details, bool locked)
{
    std::string refusal;
    OpenDatabase::Rewriting rewriting = startRewrite(locked, refusal);
    if (!rewriting.allowed())
        return {false, refusal};
    if (!m_entries.findService(details.service))
        return {false, details.service + " - Item not found"};
    if (!selected)
        return {};
    // The selected row is overwritten, which need not be the one found; its service stays.
    const Record before = m_entries.at(*selected);
    Record stored = details;
    stored.service = before.service;
    if (auto why = entryRefusal(stored))
        return {false, std::move(*why)};
    // The log-in rides on its entry: changing the entry that holds its credentials
    // changes the log-in as Add would set it, or the user would be left with a
    // log-in they can no longer see, and a Remove that no longer disarms it.
    // It follows once the file holds the change, so the two never disagree.
    const bool moveLogIn = stored.service == AppTitle && IsArmedWith(m_settings, {before.username, before.password});
    m_entries.replaceDetails(*selected, stored);
    if (!m_database.save(rewriting, m_entries.table()))
        return {true, writeFailure()};
    if (moveLogIn && !WriteLockRecord(m_settings, {stored.username, stored.password}))
        return {true, "Could not store the log-in"};
    return {true, {}};
}

Outcome Vault::addAll(EntryBatch batch)
{
    std::string refusal;
    OpenDatabase::Rewriting rewriting = startRewrite(false, refusal, OpenDatabase::Creation::Allowed);
    if (!rewriting.allowed())
        return {false, refusal};
    if (batch.empty())
        return {true, {}};
    // The list changes only once the file has: a failed save leaves both as they were.
    if (m_entries.size() == 0) {
        if (!m_database.save(rewriting, batch.m_table))
            return {false, writeFailure()};
    } else {
        RecordTable rows = m_entries.table();
        rows.append(batch.m_table);
        if (!m_database.save(rewriting, rows))
            return {false, writeFailure()};
    }
    m_entries.appendAll(std::move(batch.m_table));
    return {true, {}};
}

Outcome Vault::reseal(std::shared_ptr<const LineSeal> key)
{
    std::string refusal;
    // A database with no entry (and maybe no file yet) may be sealed before its
    // first entry; a file that had entries and went meanwhile stays gone.
    OpenDatabase::Rewriting rewriting = startRewrite(
        false, refusal, m_entries.size() == 0 ? OpenDatabase::Creation::Allowed : OpenDatabase::Creation::Refused);
    if (!rewriting.allowed())
        return {false, refusal};
    bool unread = m_database.unopenedLines() > 0;
    const RecordTable& rows = m_entries.table();
    for (int row = 0; row < rows.size() && !unread; ++row)
        unread = !rows.bytes(row, RecordField::KeptLine).empty();
    if (unread)
        return {false, fileName() + " holds lines that cannot be read, which this would lose: nothing changed"};
    if (!m_database.reseal(rewriting, rows, std::move(key)))
        return {false, writeFailure()};
    // The backup holds the entries as they were kept before: it must not stay.
    if (!m_database.backupGone())
        return {true, m_database.base() + ".bak could not be removed and still holds the entries as they were "
                                          "kept before: delete it"};
    return {true, {}};
}

std::optional<std::string> Vault::sealPasswordRefusal(std::string_view password) const
{
    if (password.empty())
        return "The password is empty";
    const std::optional<Credentials> logIn = ReadLockRecord(m_settings);
    if (logIn && !logIn->password.empty() && logIn->password == password)
        return "That is the log-in's password, which is stored where anyone can read it: choose another";
    return std::nullopt;
}

Outcome Vault::addAll(std::span<const Record> records)
{
    EntryBatch batch;
    for (const Record& record : records) {
        if (auto why = batch.add(record))
            return {false, std::move(*why)};
    }
    return addAll(std::move(batch));
}

} // namespace kv
