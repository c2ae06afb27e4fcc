#pragma once
// The open database: which data file it is, and whether the list in memory is a
// faithful copy of it. A full save writes the list over the file, so it may run
// only while that holds: after a load that read the whole file, with nobody else
// having written the file since. Otherwise the entries the list lacks would be gone.

#include "storage/data_file.h"

#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

// What came of an operation on the open database, for each front end to word as
// it speaks: the file, whether it was being read or written, the verdict, and
// the system's reason where it gave one.
enum class Verdict {
    Done,
    Failed,         // the system refused (`error` says why, where it said)
    NotReadWhole,   // the last load did not read the file whole: the list may lack entries
    ChangedOutside, // the file is not as the program read it: written, sealed or unsealed by another program
    Locked,         // another instance kept the write lock
};
enum class FileStep { Read, Write };
struct DatabaseResult
{
    FileStep step = FileStep::Read;
    Verdict verdict = Verdict::Done;
    FileError error = FileError::None;
    std::filesystem::path file = {}; // the data file, by the name the program gives it

    explicit operator bool() const { return verdict == Verdict::Done; }
};

class OpenDatabase
{
public:
    // `privateFolder`: the folder is the user's own data folder, made readable by
    // the user alone at the first write however it came to be.
    explicit OpenDatabase(std::filesystem::path folder, FileOps& ops = realFileOps(), bool privateFolder = false);
    ~OpenDatabase();

    const std::filesystem::path& folder() const { return m_folder; }
    // "db1" ... "db3".
    const std::string& base() const { return m_base; }
    // Switches to another data file; nothing is known of it until it is loaded.
    // The key of the file chosen before goes.
    void choose(std::string base);

    // A sealed database: the key its entries are opened and written under. Set
    // before the load that is to open them; it goes with choose().
    void setKey(std::shared_ptr<const LineSeal> key);
    const LineSeal* key() const { return m_key.get(); }
    // The header line of the file as the last load (or readSealHeader) found it:
    // empty when it is not sealed.
    const std::string& sealHeader() const { return m_sealed.header; }
    bool sealed() const { return m_sealed.sealed(); }
    // Sealed under a header the key was not made for, or with no key: the last
    // load read nothing but the header.
    bool shut() const { return sealed() && (!m_key || m_key->header() != m_sealed.header); }
    // How many lines of the sealed file did not open under its key.
    std::size_t unopenedLines() const { return m_sealed.unopened.size(); }
    // Learns whether the file is sealed from its first line alone, without
    // loading it (for an Add, which reads nothing else).
    DatabaseResult readSealHeader();
    // Starts loading the chosen file on a second thread, so that the reading
    // overlaps other start-up work; the next load(RecordTable&) waits for it and
    // takes its result, exactly what a load of its own would have given then.
    // Nothing else may use this object's FileOps until that load.
    void loadAhead();

    // Removes what an interrupted save left behind (of all three databases at the
    // first load), then appends the file's records to `out` (LoadDatabase). A
    // file sealed under another key than this one's is ChangedOutside.
    DatabaseResult load(RecordTable& out);
    DatabaseResult append(std::string_view recordLine);

    // A full save in the making: the write lock, held from the check that the list
    // may be written over the file until the save, so no other instance's write
    // comes between them. Let go of it as soon as the save is done or dropped.
    // Its result: Done when the save may run; NotReadWhole, ChangedOutside, Locked,
    // or a Failed read of the file to compare it, when not.
    class Rewriting
    {
    public:
        const DatabaseResult& result() const { return m_result; }
        Verdict verdict() const { return m_result.verdict; }
        bool allowed() const { return m_result.verdict == Verdict::Done; }

    private:
        friend class OpenDatabase;
        DatabaseResult m_result{FileStep::Write, Verdict::NotReadWhole};
        bool m_create = false;
        WriteLock m_lock;
    };
    // Whether a full save may make the data file when there is none: never for
    // Remove and Replace (a file deleted from outside stays deleted), but for
    // entries brought in all at once into a database that has no file yet.
    enum class Creation { Refused, Allowed };
    // Takes the write lock (waiting briefly) and checks whether the list may be
    // written over the file now. A missing file is allowed here; the save itself
    // then writes nothing unless `creation` allows it.
    Rewriting startRewrite(Creation creation = Creation::Refused);
    // Saves under the lock `rewriting` holds, once; its refusal unless it was allowed.
    DatabaseResult save(Rewriting& rewriting, const RecordTable& rows);
    // The same, writing the file sealed under `key` from now on (nothing: in the
    // fixed-key format). Only while every line of the file was opened: those
    // that were not could not be carried over.
    DatabaseResult reseal(Rewriting& rewriting, const RecordTable& rows, std::shared_ptr<const LineSeal> key);
    // Whether the database's backup is gone (a full save removes it, but does not
    // fail when it cannot); tries once more to remove it.
    DatabaseResult backupGone();

    // The check alone, and a save that checks for itself.
    Verdict checkRewrite();
    DatabaseResult save(const RecordTable& rows);

    // The data file, by the name the program gives it (before links).
    std::filesystem::path file() const;

private:
    struct Loaded
    {
        FileResult read = FileResult::failed();
        RecordTable rows;
        FileSeen seen;
        SealedFile sealed;
    };
    Loaded loadNow();
    void removeStaleTemporaries();
    void beforeWriting();
    DatabaseResult result(FileStep step, FileResult done) const;

    std::filesystem::path m_folder;
    FileOps& m_ops;
    bool m_privateFolder;
    bool m_folderMadePrivate = false;
    bool m_cleanedEveryDatabase = false;
    std::string m_base;
    bool m_readWhole = false;
    FileSeen m_seen;
    std::shared_ptr<const LineSeal> m_key;
    SealedFile m_sealed;
    std::future<Loaded> m_ahead;
};

} // namespace kv
