#pragma once
// The copies a sync tool leaves beside a data file when it finds it changed on
// two machines at once, and the folder they go to once merged.

#include "storage/file_ops.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Where merged copies are kept, in the folder of the data file.
inline constexpr std::string_view MergedFolderName = "merged";

// Whether `name` (UTF-8) is a conflict copy of the file `stem` + `extension`
// ("db1", ".ksd") as these tools name them:
//   Syncthing:           db1.sync-conflict-20261209-101500-ABCDEF7.ksd
//   Nextcloud, ownCloud: db1 (conflicted copy 2026-12-09 101500).ksd, maybe with a user
//                        name before the date: db1 (conflicted copy Ann 2026-12-09 101500).ksd
//   older ownCloud:      db1_conflict-20261209-101500.ksd
//   Dropbox:             db1 (Ann's conflicted copy 2026-12-09).ksd, and with " (1)" after it
// Only of that file: db1's copies are never db10's or db2's.
bool isConflictCopyName(std::string_view name, std::string_view stem, std::string_view extension);

// The conflict copies beside `dataFile` (beside the file it leads to, when it is
// a link, and named after that file), in the order of their names. Regular
// files only: a tool never leaves a folder or a link as a copy. Empty when there
// are none or the folder cannot be read.
std::vector<std::filesystem::path> findConflictCopies(const std::filesystem::path& dataFile);

// Moves `copy` into the merged folder beside it, made readable by the user
// alone, under its own name or, when that is taken, with " (2)", " (3)", ...
// before its extension; never over another file. `movedTo` is where it went.
// When it could not, the copy stays where it was, and the result says why.
struct MergedMove
{
    enum class Refusal {
        None,
        FolderIsLink,     // merged/ is a link: the copy goes only into a folder of its own
        FolderIsNoFolder, // something else stands at that name
        FolderNotMade,
        NotTaken,    // it could not be taken from its place
        NotMoved,    // no second name to be had, and the rename failed
        NamesUsedUp, // merged/ holds too many copies of that name
    };
    Refusal refusal = Refusal::None;
    FileError error = FileError::None; // the system's reason, where it gave one
    std::filesystem::path movedTo = {};

    explicit operator bool() const { return refusal == Refusal::None; }
};
MergedMove moveToMergedFolder(FileOps& ops, const std::filesystem::path& copy);

} // namespace kv
