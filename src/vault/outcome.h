#pragma once
// What came of a command on the vault, as a value each front end words for
// itself, naming the data file as it names it (the window by its name alone,
// the command line by its whole path).

#include "storage/open_database.h"

#include <string>
#include <string_view>

namespace kv {

struct Outcome
{
    enum class Problem {
        None,
        Locked,          // the log-in is armed and was not passed
        LogInLocked,     // the same, for the log-in's own entry
        EntryRefused,    // `detail`: why the entry cannot be stored
        Shut,            // sealed, and its password not given yet
        SealGivenAway,   // the log-in's entry with the sealed database's own password
        File,            // the file refused: `file` says how
        LogInNotStored,  // the entry is kept, the log-in could not follow it
        ItemNotFound,    // `detail`: the service no entry has
        UnreadableLines, // lines that cannot be read would be lost
        BackupKept,      // the backup still holds the entries as they were kept
    };

    // It ran to its end (the window then empties its fields).
    bool done = false;
    Problem problem = Problem::None;
    // Names the data file; for Problem::File, what came of reading or writing it.
    DatabaseResult file;
    std::string detail;
};

// The words for a failure, naming the data file `name`: "Could not write
// db1.ksd: the disk is full", "Not saved: db1.ksd was changed outside the
// program", ...
std::string describe(const DatabaseResult& result, std::string_view name);
// The words for an outcome, empty when all went well.
std::string describe(const Outcome& outcome, std::string_view name);

} // namespace kv
