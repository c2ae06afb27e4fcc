#include "storage/file_ops.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

namespace kv {

namespace {

// A temporary file is named after the file it replaces (so a stray one is easy to
// recognise and to clean up), then ".tmp", a per-process random part of
// ProcessDigits and a running count of CountDigits, both lower-case hexadecimal.
constexpr std::string_view TemporaryMark = ".tmp";
constexpr std::size_t ProcessDigits = 16;
constexpr std::size_t CountDigits = 8;

std::filesystem::path temporaryPathFor(const std::filesystem::path& target)
{
    static const std::uint64_t processPart = [] {
        std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        try {
            std::random_device device;
            seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
        } catch (...) {
            // No entropy source: the clock alone still differs between processes.
        }
        return seed;
    }();
    static std::atomic<std::uint64_t> counter{0};

    static constexpr char Digits[] = "0123456789abcdef";
    std::string suffix(TemporaryMark);
    const auto appendHex = [&](std::uint64_t value, std::size_t digits) {
        for (int shift = static_cast<int>(digits - 1) * 4; shift >= 0; shift -= 4)
            suffix += Digits[(value >> shift) & 0xF];
    };
    appendHex(processPart, ProcessDigits);
    suffix += '-';
    appendHex(counter.fetch_add(1), CountDigits);

    std::filesystem::path temp = target;
    temp += suffix;
    return temp;
}

// Whether `name` is one temporaryPathFor makes for a file called `target`. In the
// platform's own characters, so names the ANSI code page cannot spell match too.
template <typename Char> bool isTemporaryName(std::basic_string_view<Char> name, std::basic_string_view<Char> target)
{
    if (name.size() != target.size() + TemporaryMark.size() + ProcessDigits + 1 + CountDigits ||
        name.substr(0, target.size()) != target)
        return false;
    name.remove_prefix(target.size());
    const auto isHex = [](Char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const Char c = name[i];
        if (i < TemporaryMark.size()) {
            if (c != static_cast<Char>(TemporaryMark[i]))
                return false;
        } else if (i == TemporaryMark.size() + ProcessDigits) {
            if (c != '-')
                return false;
        } else if (!isHex(c)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string_view reasonText(FileError error)
{
    switch (error) {
    case FileError::DiskFull:
        return ": the disk is full";
    case FileError::AccessDenied:
        return ": permission denied";
    case FileError::ReadOnly:
        return ": the disk is read-only";
    case FileError::InUse:
        return ": the file is in use by another program";
    case FileError::None:
    case FileError::Other:
    case FileError::ChangedOutside:
        break;
    }
    return {};
}

FileResult FileOps::readAll(const std::filesystem::path& file, std::string& out)
{
    try {
        std::string data;
        FileStatus status;
        const FileResult read = readChunks(file, status, [&](std::string_view chunk) {
            if (data.empty() && status.size > chunk.size() && status.size < data.max_size())
                data.reserve(static_cast<std::size_t>(status.size));
            data += chunk;
            return true;
        });
        if (!read)
            return read;
        out.swap(data);
        return {};
    } catch (...) {
        return FileResult::failed();
    }
}

FileResult FileOps::readHead(const std::filesystem::path& file, std::size_t count, std::string& out)
{
    try {
        std::string data;
        bool enough = count == 0;
        FileStatus status;
        const FileResult read = readChunks(file, status, [&](std::string_view chunk) {
            data.append(chunk.substr(0, count - data.size()));
            enough = data.size() == count;
            return !enough;
        });
        if (!read && !enough)
            return read;
        out.swap(data);
        return {};
    } catch (...) {
        return FileResult::failed();
    }
}

std::filesystem::path followLinks(const std::filesystem::path& file)
{
    // Enough for any chain people make; a loop gives the path back as it came,
    // and reading or writing through it then fails.
    constexpr int MaxLinks = 40;
    std::filesystem::path current = file;
    for (int i = 0; i < MaxLinks; ++i) {
        std::error_code error;
        if (!std::filesystem::is_symlink(current, error))
            return current;
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error)
            return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return file;
}

namespace {

// Writes a temporary file beside `file` and renames it over that name.
template <typename Write> FileResult replaceName(FileOps& ops, const std::filesystem::path& file, Write write)
{
    std::filesystem::path temp;
    try {
        temp = temporaryPathFor(file);
    } catch (...) {
        return FileResult::failed();
    }
    FileResult ok = FileResult::failed();
    try {
        ok = write(temp);
        if (ok)
            ok = ops.renameOver(temp, file);
    } catch (...) {
        ok = FileResult::failed();
    }
    if (!ok) {
        try {
            ops.remove(temp);
        } catch (...) {
        }
    }
    return ok;
}

std::filesystem::path followed(const std::filesystem::path& target)
{
    try {
        return followLinks(target);
    } catch (...) {
        return {};
    }
}

// The folder a file finally lives in: where its lock is taken.
std::filesystem::path lockFolderOf(const std::filesystem::path& file)
{
    std::filesystem::path folder = followLinks(file).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    return error ? folder.lexically_normal() : canonical;
}

// The folders whose lock each thread holds. A change that runs inside another of
// the same folder (the log-in stored while the database is being rewritten, with
// the settings file beside the databases) takes nothing more: a second lock of
// its own would wait for the first. Not a thread_local: MinGW's runs destructors
// of those at thread exit unreliably.
class HeldFolders
{
public:
    static HeldFolders& instance()
    {
        static HeldFolders folders;
        return folders;
    }
    void add(const std::filesystem::path& folder)
    {
        const std::lock_guard guard(m_mutex);
        m_held.emplace_back(std::this_thread::get_id(), folder);
    }
    void drop(const std::filesystem::path& folder)
    {
        const std::lock_guard guard(m_mutex);
        const auto it = std::find(m_held.begin(), m_held.end(), Entry(std::this_thread::get_id(), folder));
        if (it != m_held.end())
            m_held.erase(it);
    }
    bool heldHere(const std::filesystem::path& folder)
    {
        const std::lock_guard guard(m_mutex);
        return std::find(m_held.begin(), m_held.end(), Entry(std::this_thread::get_id(), folder)) != m_held.end();
    }

private:
    using Entry = std::pair<std::thread::id, std::filesystem::path>;
    std::mutex m_mutex;
    std::vector<Entry> m_held;
};

class HeldByThisThread final : public FolderLock
{
public:
    HeldByThisThread(WriteLock lock, std::filesystem::path folder)
        : m_lock(std::move(lock)), m_folder(std::move(folder))
    {
        HeldFolders::instance().add(m_folder);
    }
    ~HeldByThisThread() override { HeldFolders::instance().drop(m_folder); }

private:
    WriteLock m_lock;
    std::filesystem::path m_folder;
};

class AlreadyHeld final : public FolderLock
{
};

// One attempt: true when the lock is held now, or cannot be had at all.
bool tryLock(FileOps& ops, const std::filesystem::path& folder, WriteLock& held, bool& busy)
{
    busy = false;
    if (HeldFolders::instance().heldHere(folder)) {
        held = std::make_unique<AlreadyHeld>();
        return true;
    }
    WriteLock lock = ops.tryLockFolder(folder, busy);
    if (!lock)
        return !busy;
    held = std::make_unique<HeldByThisThread>(std::move(lock), folder);
    return true;
}

} // namespace

FileResult lockForWriting(FileOps& ops, const std::filesystem::path& file, WriteLock& held)
{
    using namespace std::chrono_literals;
    constexpr auto Patience = 2s;
    try {
        const std::filesystem::path folder = lockFolderOf(file);
        const auto giveUp = std::chrono::steady_clock::now() + Patience;
        auto pause = 1ms;
        for (;;) {
            bool busy = false;
            if (tryLock(ops, folder, held, busy))
                return {};
            if (std::chrono::steady_clock::now() >= giveUp)
                break;
            std::this_thread::sleep_for(pause);
            pause = std::min<std::chrono::milliseconds>(pause * 2, 5ms);
        }
    } catch (...) {
        held.reset();
        return FileResult::failed();
    }
    return FileResult::failed(FileError::InUse);
}

bool tryLockForWriting(FileOps& ops, const std::filesystem::path& file, WriteLock& held)
{
    try {
        bool busy = false;
        return tryLock(ops, lockFolderOf(file), held, busy);
    } catch (...) {
        held.reset();
        return false;
    }
}

FileResult replaceFileAtomically(FileOps& ops, const std::filesystem::path& target, std::string_view data)
{
    const std::filesystem::path file = followed(target);
    if (file.empty())
        return FileResult::failed();
    return replaceName(ops, file, [&](const std::filesystem::path& temp) { return ops.writeNew(temp, data); });
}

FileResult replaceFileAtomically(FileOps& ops, const std::filesystem::path& target,
                                 const std::function<bool(std::string& piece)>& fill)
{
    const std::filesystem::path file = followed(target);
    if (file.empty())
        return FileResult::failed();
    return replaceName(ops, file, [&](const std::filesystem::path& temp) { return ops.writeNewPieces(temp, fill); });
}

FileResult replaceFileAtName(FileOps& ops, const std::filesystem::path& name, std::string_view data)
{
    return replaceName(ops, name, [&](const std::filesystem::path& temp) { return ops.writeNew(temp, data); });
}

FileResult writeFileAtFreeName(FileOps& ops, const std::filesystem::path& name, std::string_view data)
{
    std::filesystem::path temp;
    try {
        temp = temporaryPathFor(name);
    } catch (...) {
        return FileResult::failed();
    }
    FileResult ok = FileResult::failed();
    try {
        ok = ops.writeNew(temp, data);
        if (ok && !ops.hardLink(temp, name))
            ok = ops.exists(name) || isLinkName(name) ? FileResult::failed() : ops.renameOver(temp, name);
    } catch (...) {
        ok = FileResult::failed();
    }
    try {
        ops.remove(temp); // gone after a rename; the file's second name after a link
    } catch (...) {
    }
    return ok;
}

FileResult snapshotFile(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::filesystem::path file;
    std::filesystem::path temp;
    try {
        file = followLinks(from);
        temp = temporaryPathFor(to);
    } catch (...) {
        return FileResult::failed();
    }
    try {
        if (ops.hardLink(file, temp) && ops.renameOver(temp, to)) {
            // A rename between two names of one file does nothing, and leaves the
            // temporary name standing.
            ops.remove(temp);
            return {};
        }
        ops.remove(temp);
        std::string content;
        const FileResult read = ops.readAll(file, content);
        if (!read)
            return read;
        return replaceName(ops, to, [&](const std::filesystem::path& copy) { return ops.writeNew(copy, content); });
    } catch (...) {
        try {
            ops.remove(temp);
        } catch (...) {
        }
        return FileResult::failed();
    }
}

FileResult makePrivateFolders(const std::filesystem::path& folder)
{
    try {
        std::error_code error;
        if (folder.empty() || std::filesystem::is_directory(folder, error))
            return {};
        const std::filesystem::path parent = folder.parent_path();
        if (parent != folder) {
            const FileResult made = makePrivateFolders(parent);
            if (!made)
                return made;
        }
        const FileResult made = makeFolder(folder);
        if (!made)
            return made;
        return std::filesystem::is_directory(folder, error) ? FileResult() : FileResult::failed();
    } catch (...) {
        return FileResult::failed();
    }
}

void removeStaleTemporaries(FileOps& ops, const std::filesystem::path& target)
{
    try {
        const std::filesystem::path& file = target;
        std::filesystem::path folder = file.parent_path();
        if (folder.empty())
            folder = ".";
        using View = std::basic_string_view<std::filesystem::path::value_type>;
        const std::filesystem::path::string_type targetName = file.filename().native();
        std::error_code error;
        std::filesystem::directory_iterator entry(folder, error);
        for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
            const std::filesystem::path name = entry->path().filename();
            if (isTemporaryName(View(name.native()), View(targetName)))
                ops.removeIfUnused(entry->path());
        }
    } catch (...) {
        // Cleaning up is a courtesy: nothing the user asked for depends on it.
    }
}

} // namespace kv
