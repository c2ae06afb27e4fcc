#include "vault/vault.h"

#include "lock/lock_record.h"
#include "product/product.h"
#include "vault/entry_rules.h"

namespace kv {

using Problem = Outcome::Problem;

Vault::Vault(OpenDatabase& database, const SettingsStore& settings) : m_database(database), m_settings(settings) {}

DatabaseResult Vault::load()
{
    RecordTable rows;
    DatabaseResult loaded = m_database.load(rows);
    m_entries.assign(std::move(rows));
    return loaded;
}

void Vault::unload()
{
    m_entries.clear();
}

Outcome Vault::outcome(bool done, Problem problem) const
{
    Outcome result;
    result.done = done;
    result.problem = problem;
    result.file.file = m_database.file();
    return result;
}

Outcome Vault::fileOutcome(bool done, DatabaseResult file) const
{
    Outcome result = outcome(done, file ? Problem::None : Problem::File);
    result.file = std::move(file);
    return result;
}

// The log-in is stored under the fixed key: with a sealed database's own
// password it would give the database away.
bool Vault::givesTheSealAway(const Record& record) const
{
    const LineSeal* key = m_database.key();
    return record.service == AppTitle && key && key->madeFrom(record.password);
}

Outcome Vault::refused(std::string why) const
{
    Outcome result = outcome(false, Problem::EntryRefused);
    result.detail = std::move(why);
    return result;
}

OpenDatabase::Rewriting Vault::startRewrite(bool locked, Outcome& refusal, OpenDatabase::Creation creation)
{
    // The lock covers the entries too: rows the user cannot see are not theirs to change.
    if (locked) {
        refusal = outcome(false, Problem::Locked);
        return {};
    }
    if (m_database.shut()) {
        refusal = outcome(false, Problem::Shut);
        return {};
    }
    OpenDatabase::Rewriting rewriting = m_database.startRewrite(creation);
    if (!rewriting.allowed())
        refusal = fileOutcome(false, rewriting.result());
    return rewriting;
}

Outcome Vault::add(const Record& record, bool locked)
{
    // Whoever sits at a locked window must not put a log-in of their own in place.
    if (record.service == AppTitle && locked)
        return outcome(false, Problem::LogInLocked);
    if (auto why = entryRefusal(record))
        return refused(std::move(*why));
    if (m_database.shut())
        return outcome(false, Problem::Shut);
    if (givesTheSealAway(record))
        return outcome(false, Problem::SealGivenAway);
    const bool logIn = record.service == AppTitle;
    const Credentials logInBefore = logIn ? ReadLockRecord(m_settings).value_or(Credentials{}) : Credentials{};
    const bool lockStored = !logIn || WriteLockRecord(m_settings, {record.username, record.password});
    m_entries.append(record);
    // A lost entry weighs more than a log-in that can be added again.
    DatabaseResult appended = m_database.append(BuildRecordLine(record));
    if (!appended) {
        if (appended.verdict != Verdict::ChangedOutside)
            return fileOutcome(true, std::move(appended));
        // Sealed, unsealed or sealed anew by another program: the line was not
        // written, and neither the list nor the log-in may act as if it were.
        m_entries.removeAt(m_entries.size() - 1);
        if (logIn && lockStored)
            WriteLockRecord(m_settings, logInBefore);
        return fileOutcome(false, std::move(appended));
    }
    if (!lockStored)
        return outcome(true, Problem::LogInNotStored);
    return outcome(true);
}

Outcome Vault::remove(std::optional<int> selected, std::string_view service, const Credentials& loaded, bool locked)
{
    Outcome refusal;
    OpenDatabase::Rewriting rewriting = startRewrite(locked, refusal);
    if (!rewriting.allowed())
        return refusal;
    std::optional<int> row = selected;
    if (!row)
        return outcome(false);
    if (service == AppTitle) {
        // No record reads as empty credentials, as the fields may be.
        const Credentials lock = ReadLockRecord(m_settings).value_or(Credentials{});
        if (loaded == lock) {
            // Still armed: the entry stays in the list as the reminder of its credentials.
            if (!WriteLockRecord(m_settings, {}))
                return outcome(false, Problem::LogInNotStored);
            // The log-in was just disarmed: its own entry goes, wherever the selection is.
            row = m_entries.findService(service);
            if (!row)
                return outcome(true);
        }
    }
    m_entries.removeAt(*row);
    return fileOutcome(true, m_database.save(rewriting, m_entries.table()));
}

Outcome Vault::replace(std::optional<int> selected, const Record& details, bool locked)
{
    Outcome refusal;
    OpenDatabase::Rewriting rewriting = startRewrite(locked, refusal);
    if (!rewriting.allowed())
        return refusal;
    if (!m_entries.findService(details.service)) {
        Outcome missing = outcome(false, Problem::ItemNotFound);
        missing.detail = details.service;
        return missing;
    }
    if (!selected)
        return outcome(false);
    // The selected row is overwritten, which need not be the one found; its service stays.
    const Record before = m_entries.at(*selected);
    Record stored = details;
    stored.service = before.service;
    if (auto why = entryRefusal(stored))
        return refused(std::move(*why));
    if (givesTheSealAway(stored))
        return outcome(false, Problem::SealGivenAway);
    // The log-in rides on its entry: changing the entry that holds its credentials
    // changes the log-in as Add would set it, or the user would be left with a
    // log-in they can no longer see, and a Remove that no longer disarms it.
    // It follows once the file holds the change, so the two never disagree.
    const bool moveLogIn = stored.service == AppTitle && IsArmedWith(m_settings, {before.username, before.password});
    m_entries.replaceDetails(*selected, stored);
    DatabaseResult saved = m_database.save(rewriting, m_entries.table());
    if (!saved)
        return fileOutcome(true, std::move(saved));
    if (moveLogIn && !WriteLockRecord(m_settings, {stored.username, stored.password}))
        return outcome(true, Problem::LogInNotStored);
    return outcome(true);
}

Outcome Vault::addAll(EntryBatch batch)
{
    Outcome refusal;
    OpenDatabase::Rewriting rewriting = startRewrite(false, refusal, OpenDatabase::Creation::Allowed);
    if (!rewriting.allowed())
        return refusal;
    if (batch.empty())
        return outcome(true);
    // The list changes only once the file has: a failed save leaves both as they were.
    DatabaseResult saved;
    if (m_entries.size() == 0) {
        saved = m_database.save(rewriting, batch.m_table);
    } else {
        RecordTable rows = m_entries.table();
        rows.append(batch.m_table);
        saved = m_database.save(rewriting, rows);
    }
    if (!saved)
        return fileOutcome(false, std::move(saved));
    m_entries.appendAll(std::move(batch.m_table));
    return outcome(true);
}

bool Vault::holdsUnreadLines() const
{
    if (m_database.unopenedLines() > 0)
        return true;
    const RecordTable& rows = m_entries.table();
    for (int row = 0; row < rows.size(); ++row) {
        if (!rows.bytes(row, RecordField::KeptLine).empty())
            return true;
    }
    return false;
}

Outcome Vault::reseal(std::shared_ptr<const LineSeal> key)
{
    Outcome refusal;
    // A database with no entry (and maybe no file yet) may be sealed before its
    // first entry; a file that had entries and went meanwhile stays gone.
    OpenDatabase::Rewriting rewriting = startRewrite(
        false, refusal, m_entries.size() == 0 ? OpenDatabase::Creation::Allowed : OpenDatabase::Creation::Refused);
    if (!rewriting.allowed())
        return refusal;
    if (holdsUnreadLines())
        return outcome(false, Problem::UnreadableLines);
    DatabaseResult saved = m_database.reseal(rewriting, m_entries.table(), std::move(key));
    if (!saved)
        return fileOutcome(false, std::move(saved));
    // The backup holds the entries as they were kept before: it must not stay.
    DatabaseResult removed = m_database.backupGone();
    if (!removed) {
        Outcome kept = outcome(true, Problem::BackupKept);
        kept.file = std::move(removed);
        return kept;
    }
    return outcome(true);
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
            return refused(std::move(*why));
    }
    return addAll(std::move(batch));
}

} // namespace kv
