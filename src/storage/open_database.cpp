#include "storage/open_database.h"

namespace kv {

OpenDatabase::OpenDatabase(std::filesystem::path folder, FileOps& ops) : m_folder(std::move(folder)), m_ops(ops) {}

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
}

OpenDatabase::Loaded OpenDatabase::loadNow()
{
    Loaded loaded;
    RemoveStaleTemporaries(m_folder, m_base, m_ops);
    loaded.readWhole = LoadDatabase(m_folder, m_base, loaded.rows, m_ops, &loaded.seen);
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
    return m_readWhole;
}

bool OpenDatabase::load(std::vector<Record>& out)
{
    if (m_ahead.valid())
        m_ahead.wait(); // the file is read again below, into records
    m_ahead = {};
    RemoveStaleTemporaries(m_folder, m_base, m_ops);
    m_readWhole = LoadDatabase(m_folder, m_base, out, m_ops, &m_seen);
    return m_readWhole;
}

bool OpenDatabase::append(std::string_view recordLine)
{
    return AppendRecord(m_folder, m_base, recordLine, m_ops, &m_seen);
}

OpenDatabase::Rewrite OpenDatabase::checkRewrite()
{
    if (!m_readWhole)
        return Rewrite::NotRead;
    if (!m_seen)
        return Rewrite::Changed;
    try {
        FileStatus now;
        if (!m_ops.status(dataFilePath(m_folder, m_base), now))
            return Rewrite::Allowed; // gone: the save fails on its own and says so
        return now == *m_seen ? Rewrite::Allowed : Rewrite::Changed;
    } catch (...) {
        return Rewrite::Allowed;
    }
}

bool OpenDatabase::save(const RecordTable& rows)
{
    return m_readWhole && SaveDatabase(m_folder, m_base, rows, m_ops, &m_seen);
}

bool OpenDatabase::save(std::span<const Record> rows)
{
    return m_readWhole && SaveDatabase(m_folder, m_base, rows, m_ops, &m_seen);
}

} // namespace kv
