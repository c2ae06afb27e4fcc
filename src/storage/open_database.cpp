#include "storage/open_database.h"

namespace kv {

OpenDatabase::OpenDatabase(std::filesystem::path folder, FileOps& ops) : m_folder(std::move(folder)), m_ops(ops) {}

void OpenDatabase::choose(std::string base)
{
    m_base = std::move(base);
    m_readWhole = false;
    m_seen.reset();
}

bool OpenDatabase::load(RecordTable& out)
{
    RemoveStaleTemporaries(m_folder, m_base, m_ops);
    m_readWhole = LoadDatabase(m_folder, m_base, out, m_ops, &m_seen);
    return m_readWhole;
}

bool OpenDatabase::load(std::vector<Record>& out)
{
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
