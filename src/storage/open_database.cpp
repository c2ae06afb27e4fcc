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

std::filesystem::path OpenDatabase::file() const
{
    return dataFilePath(m_folder, m_base);
}

DatabaseResult OpenDatabase::result(FileStep step, FileResult done) const
{
    DatabaseResult result{step, Verdict::Done, done.error(), file()};
    if (done.error() == FileError::ChangedOutside)
        result.verdict = Verdict::ChangedOutside;
    else if (!done)
        result.verdict = Verdict::Failed;
    return result;
}

DatabaseResult OpenDatabase::readSealHeader()
{
    std::string header;
    const FileResult read = ReadSealHeader(m_folder, m_base, header, m_ops);
    if (!read)
        return result(FileStep::Read, read);
    if (header != m_sealed.header) {
        // Kept otherwise than the last load found: what it read no longer holds.
        m_sealed = {};
        m_sealed.header = std::move(header);
        m_readWhole = false;
        m_seen.reset();
    }
    return result(FileStep::Read, read);
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
    loaded.read = LoadDatabase(m_folder, m_base, loaded.rows, m_ops, &loaded.seen, m_key.get(), loaded.sealed);
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

DatabaseResult OpenDatabase::load(RecordTable& out)
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
    m_readWhole = static_cast<bool>(loaded.read);
    m_seen = loaded.seen;
    m_sealed = std::move(loaded.sealed);
    if (m_readWhole && !m_sealed.sealed())
        m_key.reset(); // unsealed meanwhile: it is written in the fixed-key format now
    return result(FileStep::Read, loaded.read);
}

void OpenDatabase::beforeWriting()
{
    if (m_privateFolder && !m_folderMadePrivate) {
        m_folderMadePrivate = true;
        makeFolderPrivate(m_folder);
    }
}

DatabaseResult OpenDatabase::append(std::string_view recordLine)
{
    // The file read last held a sealed file's lines without their header: a line
    // of the fixed-key format would join them, where no reader can tell one from
    // the other. Reading it again finds what it holds now.
    if (!m_key && m_sealed.strayLines)
        return result(FileStep::Write, FileResult::failed(FileError::ChangedOutside));
    beforeWriting();
    return result(FileStep::Write, AppendRecord(m_folder, m_base, recordLine, m_ops, &m_seen, m_key.get()));
}

OpenDatabase::Rewriting OpenDatabase::startRewrite(Creation creation)
{
    Rewriting rewriting;
    rewriting.m_result = {FileStep::Write, Verdict::NotReadWhole, FileError::None, file()};
    if (!m_readWhole || !m_seen)
        return rewriting;
    // Nor would a full save in the fixed-key format beside a sealed file's lines do.
    if (!m_key && m_sealed.strayLines) {
        rewriting.m_result = result(FileStep::Write, FileResult::failed(FileError::ChangedOutside));
        return rewriting;
    }
    rewriting.m_create = creation == Creation::Allowed;
    if (rewriting.m_create) {
        // The lock lives in the folder: a database of a folder not yet made needs it first.
        const FileResult prepared = PrepareDatabaseFolder(m_folder, m_base);
        if (!prepared) {
            rewriting.m_result = result(FileStep::Write, prepared);
            return rewriting;
        }
        beforeWriting();
    }
    const FileResult locked = LockDatabase(m_folder, m_base, rewriting.m_lock, m_ops);
    if (!locked) {
        rewriting.m_result = result(FileStep::Write, locked);
        if (locked.error() == FileError::InUse)
            rewriting.m_result.verdict = Verdict::Locked;
        return rewriting;
    }
    const FileChecked checked = CheckDatabase(m_folder, m_base, *m_seen, m_ops);
    switch (checked.state) {
    case FileCheck::Unchanged:
    case FileCheck::Missing: // the save fails on its own and says so
        rewriting.m_result.verdict = Verdict::Done;
        break;
    case FileCheck::Changed:
        rewriting.m_result.verdict = Verdict::ChangedOutside;
        break;
    case FileCheck::Unreadable:
        rewriting.m_result = result(FileStep::Read, checked.read);
        break;
    }
    if (!rewriting.allowed())
        rewriting.m_lock.reset();
    return rewriting;
}

DatabaseResult OpenDatabase::save(Rewriting& rewriting, const RecordTable& rows)
{
    if (!rewriting.allowed())
        return rewriting.result();
    beforeWriting();
    const FileResult saved = SaveCheckedDatabase(rewriting.m_lock, m_folder, m_base, rows, m_ops, &m_seen,
                                                 rewriting.m_create, m_key.get(), m_sealed.unopened);
    rewriting = Rewriting(); // one save per check, and the lock let go at once
    return result(FileStep::Write, saved);
}

DatabaseResult OpenDatabase::reseal(Rewriting& rewriting, const RecordTable& rows, std::shared_ptr<const LineSeal> key)
{
    if (!rewriting.allowed())
        return rewriting.result();
    if (!m_sealed.unopened.empty())
        return {FileStep::Write, Verdict::NotReadWhole, FileError::None, file()};
    beforeWriting();
    const FileResult saved = SaveCheckedDatabase(rewriting.m_lock, m_folder, m_base, rows, m_ops, &m_seen,
                                                 rewriting.m_create, key.get(), {});
    rewriting = Rewriting();
    if (saved) {
        m_sealed = {};
        if (key)
            m_sealed.header = key->header();
        m_key = std::move(key);
    }
    return result(FileStep::Write, saved);
}

DatabaseResult OpenDatabase::backupGone()
{
    DatabaseResult removed = result(FileStep::Write, RemoveDatabaseBackup(m_folder, m_base, m_ops));
    removed.file = backupFilePath(m_folder, m_base);
    return removed;
}

Verdict OpenDatabase::checkRewrite()
{
    return startRewrite().verdict();
}

DatabaseResult OpenDatabase::save(const RecordTable& rows)
{
    Rewriting rewriting = startRewrite();
    return save(rewriting, rows);
}

} // namespace kv
