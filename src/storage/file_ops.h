#pragma once
// The few file operations the data file and the settings file need, behind an
// interface so tests can make any one of them fail. Standard C++ plus the
// platform's flush-to-disk and rename-over calls.

#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

class FileOps
{
public:
    virtual ~FileOps() = default;

    // Whole file into `out`. False when it cannot be opened or read.
    virtual bool readAll(const std::filesystem::path& file, std::string& out) = 0;
    virtual bool exists(const std::filesystem::path& file) = 0;
    // Creates (owner read/write only) or truncates, writes, flushes to disk.
    virtual bool writeNew(const std::filesystem::path& file, std::string_view data) = 0;
    // Creates (owner read/write only) when missing, appends, flushes to disk.
    virtual bool append(const std::filesystem::path& file, std::string_view data) = 0;
    // Replaces `to` with `from` in one step (and flushes the folder entry where the
    // platform allows).
    virtual bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // True when the file is gone afterwards, also when it was never there.
    virtual bool remove(const std::filesystem::path& file) = 0;
};

// The real file system. None of its operations throws.
FileOps& realFileOps();

// Writes `data` to a temporary file beside `target`, flushes it and renames it over
// `target`. On failure the temporary file is removed and `target` is untouched.
bool replaceFileAtomically(FileOps& ops, const std::filesystem::path& target, std::string_view data);

} // namespace kv
