#pragma once
// The open database: which data file it is, and whether the list in memory is a
// faithful copy of it. A full save writes the list over the file, so it may run
// only while that holds: after a load that read the whole file, with nobody else
// having written the file since. Otherwise the entries the list lacks would be gone.

#include "storage/data_file.h"

#include <filesystem>
#include <future>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class OpenDatabase
{
public:
    explicit OpenDatabase(std::filesystem::path folder, FileOps& ops = realFileOps());
    ~OpenDatabase();

    const std::filesystem::path& folder() const { return m_folder; }
    // "db1" ... "db3".
    const std::string& base() const { return m_base; }
    // Switches to another data file; nothing is known of it until it is loaded.
    void choose(std::string base);
    // Starts loading the chosen file on a second thread, so that the reading
    // overlaps other start-up work; the next load(RecordTable&) waits for it and
    // takes its result, exactly what a load of its own would have given then.
    // Nothing else may use this object's FileOps until that load.
    void loadAhead();

    // Removes what an interrupted save left behind, then appends the file's records
    // to `out` (LoadDatabase).
    bool load(RecordTable& out);
    bool load(std::vector<Record>& out);
    bool append(std::string_view recordLine);

    enum class Rewrite {
        Allowed,
        NotRead, // the last load failed: the list may lack entries
        Changed, // someone else wrote the file since the program read it
    };
    // Whether the list may be written over the file now. A missing file is allowed
    // here; the save itself then writes nothing, as it always did.
    Rewrite checkRewrite();
    bool save(const RecordTable& rows);
    bool save(std::span<const Record> rows);

private:
    struct Loaded
    {
        bool readWhole = false;
        RecordTable rows;
        FileSeen seen;
    };
    Loaded loadNow();

    std::filesystem::path m_folder;
    FileOps& m_ops;
    std::string m_base;
    bool m_readWhole = false;
    FileSeen m_seen;
    std::future<Loaded> m_ahead;
};

} // namespace kv
