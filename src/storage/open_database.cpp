#include "storage/open_database.h"

#include "storage/database_choice.h"

namespace kv {

OpenDatabase::OpenDatabase(std::filesystem::path folder, FileOps& ops, bool privateFolder)
    : m_folder(std::move(folder)), m_ops(ops), m_privateFolder(privateFolder)
{
}

OpenDatabase::~OpenDatabase()
{
    if (m_ahead.valid())
        m_ahead.wait();
}

void OpenDatabase::choose(std::string base)
{
    if (m_ahead.valid())
        m_ahead.wait(); // a load of the file chosen before is of no use now
    m_ahead = {};
    m_base = std::move(base);
    m_readWhole = false;
    m_seen.reset();
    m_key.reset();
    m_sealed = {};
}

void OpenDatabase::setKey(std::shared_ptr<const LineSeal> key)
{
    if (m_ahead.valid())
        m_ahead.wait(); // read without it: the next load reads again
    m_ahead = {};
    m_key = std::move(key);
}

bool OpenDatabase::readSealHeader()
{
    std::string header;
    if (!ReadSealHeader(m_folder, m_base, header, m_ops))
        return done(false);
    if (header != m_sealed.header) {
        // Kept otherwise than the last load found: what it read no longer holds.
        m_sealed = {};
        m_sealed.header = std::move(header);
        m_readWhole = false;
        m_seen.reset();
    }
    return done(true);
}

void OpenDatabase::removeStaleTemporaries()
{
    // A copy of the passwords left by a killed save is one too many, whichever
    // database it belongs to.
    if (!m_cleanedEveryDatabase) {
        m_cleanedEveryDatabase = true;
        for (int index = 0; index < DatabaseCount; ++index) {
            if (DataFileBaseFor(index) != m_base)
                RemoveStaleTemporaries(m_folder, DataFileBaseFor(index), m_ops);
        }
    }
    RemoveStaleTemporaries(m_folder, m_base, m_ops);
}

OpenDatabase::Loaded OpenDatabase::loadNow()
{
    Loaded loaded;
    removeStaleTemporaries();
    loaded.readWhole = LoadDatabase(m_folder, m_base, loaded.rows, m_ops, &loaded.seen, m_key.get(), loaded.sealed);
    if (!loaded.readWhole)
        loaded.error = firstFileError();
    return loaded;
}

void OpenDatabase::loadAhead()
{
    if (m_ahead.valid())
        return;
    try {
        m_ahead = std::async(std::launch::async, [this] { return loadNow(); });
    } catch (...) {
        // No thread to be had: load() reads the file itself.
    }
}

bool OpenDatabase::load(RecordTable& out)
{
    Loaded loaded;
    if (m_ahead.valid()) {
        try {
            loaded = m_ahead.get();
        } catch (...) {
            loaded = loadNow();
        }
        m_ahead = {};
    } else {
        loaded = loadNow();
    }
    if (out.empty())
        out = std::move(loaded.rows);
    else
        out.append(loaded.rows);
    m_readWhole = loaded.readWhole;
    m_seen = loaded.seen;
    m_sealed = std::move(loaded.sealed);
    if (m_readWhole && !m_sealed.sealed())
        m_key.reset(); // unsealed meanwhile: it is written in the fixed-key format now
    m_lastError = loaded.error;
    return m_readWhole;
}

void OpenDatabase::beforeWriting()
{
    if (m_privateFolder && !m_folderMadePrivate) {
        m_folderMadePrivate = true;
        makeFolderPrivate(m_folder);
    }
}

bool OpenDatabase::done(bool ok)
{
    m_lastError = ok ? FileError::None : firstFileError();
    return ok;
}

bool OpenDatabase::append(std::string_view recordLine)
{
    beforeWriting();
    return done(AppendRecord(m_folder, m_base, recordLine, m_ops, &m_seen, m_key.get()));
}

OpenDatabase::Rewriting OpenDatabase::startRewrite(Creation creation)
{
    Rewriting rewriting;
    m_lastError = FileError::None;
    if (!m_readWhole || !m_seen)
        return rewriting; // NotRead
    rewriting.m_create = creation == Creation::Allowed;
    if (rewriting.m_create) {
        // The lock lives in the folder: a database of a folder not yet made needs it first.
        if (!PrepareDatabaseFolder(m_folder, m_base)) {
            done(false);
            rewriting.m_verdict = Rewrite::Busy;
            return rewriting;
        }
        beforeWriting();
    }
    if (!LockDatabase(m_folder, m_base, rewriting.m_lock, m_ops)) {
        done(false);
        rewriting.m_verdict = Rewrite::Busy;
        return rewriting;
    }
    switch (CheckDatabase(m_folder, m_base, *m_seen, m_ops)) {
    case FileCheck::Unchanged:
    case FileCheck::Missing: // the save fails on its own and says so
        rewriting.m_verdict = Rewrite::Allowed;
        break;
    case FileCheck::Changed:
        rewriting.m_verdict = Rewrite::Changed;
        break;
    case FileCheck::Unreadable:
        done(false);
        rewriting.m_verdict = Rewrite::Unreadable;
        break;
    }
    if (!rewriting.allowed())
        rewriting.m_lock.reset();
    return rewriting;
}

bool OpenDatabase::save(Rewriting& rewriting, const RecordTable& rows)
{
    if (!rewriting.allowed())
        return false;
    beforeWriting();
    const bool ok = SaveCheckedDatabase(rewriting.m_lock, m_folder, m_base, rows, m_ops, &m_seen, rewriting.m_create,
                                        m_key.get(), m_sealed.unopened);
    rewriting = Rewriting(); // one save per check, and the lock let go at once
    return done(ok);
}

bool OpenDatabase::reseal(Rewriting& rewriting, const RecordTable& rows, std::shared_ptr<const LineSeal> key)
{
    if (!rewriting.allowed() || !m_sealed.unopened.empty())
        return false;
    beforeWriting();
    const bool ok = SaveCheckedDatabase(rewriting.m_lock, m_folder, m_base, rows, m_ops, &m_seen, rewriting.m_create,
                                        key.get(), {});
    rewriting = Rewriting();
    if (ok) {
        m_sealed = {};
        if (key)
            m_sealed.header = key->header();
        m_key = std::move(key);
    }
    return done(ok);
}

bool OpenDatabase::backupGone()
{
    return RemoveDatabaseBackup(m_folder, m_base, m_ops);
}

OpenDatabase::Rewrite OpenDatabase::checkRewrite()
{
    return startRewrite().verdict();
}

bool OpenDatabase::save(const RecordTable& rows)
{
    Rewriting rewriting = startRewrite();
    return save(rewriting, rows);
}

} // namespace kv
