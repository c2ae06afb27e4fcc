// A writer killed with SIGKILL at a random moment, again and again: whatever it
// was doing, the data file must hold the list from just before or just after the
// operation in flight, and the next save must clean up what the kill left behind.
// Besides editing, the writer seals the file, seals it anew under another key
// and unseals it: the file must then read whole under the key from before or
// the one from after, never some lines under one and some under the other.

#ifndef _WIN32

#include "seal/seal_key.h"
#include "seal/sealing.h"
#include "storage/data_file.h"
#include "storage/open_database.h"
#include "storage/record_line.h"
#include "storage/record_table.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t StartRecords = 1000;
constexpr int WantedKills = 200;
constexpr auto TimeLimit = std::chrono::seconds(60);
// Where a kill lands: after the child begins one of its first LastCall file calls
// (an append makes four, a full save nine), plus up to the time of a write with
// its fsync.
constexpr std::size_t LastCall = 12;
constexpr std::size_t LongestExtraMicroseconds = 800;

// splitmix64: the child and the parent's replay must draw the same numbers, and a
// seed must mean the same operations whatever the standard library.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& items) { return items[below(N)]; }

private:
    std::uint64_t m_state;
};

std::string twoDigits(std::size_t n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// Windows-1252 letters beyond ASCII included: they must come back unchanged.
Record makeRecord(Random& random)
{
    static constexpr std::array<const char*, 12> Services = {"Mail",   "Bank",      "Online shop", "Forum",
                                                             "Router", "Cloud",     "Café",        "Bücherei",
                                                             "Wi-Fi",  "Insurance", "Gaming",      "Phone"};
    static constexpr std::array<const char*, 8> Names = {"anna", "bob",      "chloé", "dieter",
                                                         "eve",  "françois", "greta", "hiro"};
    static constexpr std::array<const char*, 6> Domains = {"example.org",      "mail.example",      "bank.example",
                                                           "shop.example.com", "forum.example.net", "192.168.1.1"};
    static constexpr std::array<const char*, 6> Notes = {"",
                                                         "PIN on the card",
                                                         "security question: first pet",
                                                         "shared with the family",
                                                         "renew in März",
                                                         "costs 5 € a month"};
    static constexpr std::array<const char*, 72> PasswordCharacters = {
        "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r",
        "s", "t", "u", "v", "w", "x", "y", "z", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J",
        "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "0", "1",
        "2", "3", "4", "5", "6", "7", "8", "9", "!", "#", "$", "%", "&", "*", "@", "é", "€", " "};

    Record record;
    record.service = std::string(random.pick(Services)) + " " + std::to_string(random.below(100000));
    record.username = std::string(random.pick(Names)) + "." + random.pick(Names) + "@" + random.pick(Domains);
    const std::size_t length = 10 + random.below(11);
    for (std::size_t i = 0; i < length; ++i)
        record.password += random.pick(PasswordCharacters);
    record.comments = random.pick(Notes);
    record.address = std::string("https://") + random.pick(Domains) + "/login";
    record.recorded = twoDigits(1 + random.below(12)) + "-" + twoDigits(1 + random.below(28)) + "-" +
                      std::to_string(2000 + random.below(27)) + " " + twoDigits(random.below(24)) + ":" +
                      twoDigits(random.below(60)) + ":" + twoDigits(random.below(60));
    return record;
}

// Reseal: a full save under the next key of the round Unsealed -> KeyA -> KeyB
// -> Unsealed, that is sealing, sealing anew (a new password) and unsealing.
enum class Kind { Add, Remove, Replace, Reseal };

// How the file is kept: in the fixed-key format, or sealed under one of two keys.
enum Keeping : int { Unsealed, KeyA, KeyB, KeepingCount };
constexpr std::array<const char*, KeepingCount> KeepingNames = {"unsealed", "sealed under key A", "sealed under key B"};

Keeping nextKeeping(Keeping keeping)
{
    return static_cast<Keeping>((keeping + 1) % KeepingCount);
}

// The two keys, made once at the least cost before any child is forked: a child
// derives nothing, and the parent reads with the keys the child wrote with.
std::array<std::shared_ptr<const LineSeal>, KeepingCount> g_keys;

// One of the window's editing commands, or a change of key, drawn the same way
// by the child and by the parent's replay.
struct Operation
{
    Kind kind;
    std::size_t row;
    Record record; // the new entry, or the new details of the row
};

Operation nextOperation(std::size_t rows, Random& random)
{
    const Kind kind = rows == 0 ? Kind::Add : static_cast<Kind>(random.below(4));
    const std::size_t row = random.below(rows);
    return {kind, row, kind == Kind::Remove || kind == Kind::Reseal ? Record{} : makeRecord(random)};
}

// The parent's model of the file: its list as a plain vector, so that the
// child's table is checked against something other than itself, and its key.
struct FileState
{
    std::vector<Record> rows;
    Keeping keeping = Unsealed;
};

void applyTo(const Operation& operation, FileState& state)
{
    std::vector<Record>& rows = state.rows;
    switch (operation.kind) {
    case Kind::Add:
        rows.push_back(operation.record);
        break;
    case Kind::Remove:
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(operation.row));
        break;
    case Kind::Replace: {
        Record details = operation.record;
        details.service = rows[operation.row].service;
        rows[operation.row] = std::move(details);
        break;
    }
    case Kind::Reseal:
        state.keeping = nextKeeping(state.keeping);
        break;
    }
}

// The file call the child is in, so the report shows where kills landed. Writes
// and links include their fsync, renames the folder's.
enum Step : int {
    Computing,
    LookingAtFile,
    Reading,
    ReadingTail,
    Appending,
    LinkingBackup,
    WritingBackup,
    RenamingBackup,
    WritingTemporary,
    RenamingTemporary,
    DeletingBackup,
    RemovingTemporary,
    RemovingStale,
    Locking,
    StepCount
};
constexpr std::array<const char*, StepCount> StepNames = {"between file calls",
                                                          "looking at the file",
                                                          "reading the file",
                                                          "reading the last byte",
                                                          "appending",
                                                          "linking the backup",
                                                          "writing the backup copy",
                                                          "renaming the backup into place",
                                                          "writing the new file",
                                                          "renaming over the data file",
                                                          "deleting the backup",
                                                          "removing a temporary name",
                                                          "removing stale files",
                                                          "taking the write lock"};

// Shared with the child through an anonymous shared mapping: plain stores, no
// system call, and what was stored survives the kill.
struct Progress
{
    std::atomic<int> ready{0};
    std::atomic<long> calls{0};    // file calls begun since the load
    std::atomic<long> started{-1}; // the operation the child began last
    std::atomic<int> step{Computing};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<long>::is_always_lock_free);

class SteppingFileOps final : public FileOps
{
public:
    explicit SteppingFileOps(Progress& progress) : m_progress(progress) {}

    bool status(const std::filesystem::path& file, FileStatus& out) override
    {
        return in(LookingAtFile, [&] { return m_real.status(file, out); });
    }
    FileResult readChunks(const std::filesystem::path& file, FileStatus& status,
                          const std::function<bool(std::string_view chunk)>& sink) override
    {
        return in(Reading, [&] { return m_real.readChunks(file, status, sink); });
    }
    FileResult readTail(const std::filesystem::path& file, std::size_t count, std::string& out) override
    {
        return in(ReadingTail, [&] { return m_real.readTail(file, count, out); });
    }
    bool hardLink(const std::filesystem::path& existing, const std::filesystem::path& name) override
    {
        return in(LinkingBackup, [&] { return m_real.hardLink(existing, name); });
    }
    FileResult readAll(const std::filesystem::path& file, std::string& out) override
    {
        return in(Reading, [&] { return m_real.readAll(file, out); });
    }
    bool exists(const std::filesystem::path& file) override
    {
        return in(LookingAtFile, [&] { return m_real.exists(file); });
    }
    FileResult writeNew(const std::filesystem::path& file, std::string_view data) override
    {
        return in(isBackupSide(file) ? WritingBackup : WritingTemporary, [&] { return m_real.writeNew(file, data); });
    }
    FileResult writeNewPieces(const std::filesystem::path& file,
                              const std::function<bool(std::string& piece)>& fill) override
    {
        return in(isBackupSide(file) ? WritingBackup : WritingTemporary,
                  [&] { return m_real.writeNewPieces(file, fill); });
    }
    FileResult append(const std::filesystem::path& file, std::string_view data) override
    {
        return in(Appending, [&] { return m_real.append(file, data); });
    }
    FileResult renameOver(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        return in(isBackupSide(to) ? RenamingBackup : RenamingTemporary, [&] { return m_real.renameOver(from, to); });
    }
    FileResult remove(const std::filesystem::path& file) override
    {
        return in(file.filename() == "db1.bak" ? DeletingBackup : RemovingTemporary,
                  [&] { return m_real.remove(file); });
    }
    bool removeIfUnused(const std::filesystem::path& file) override
    {
        return in(RemovingStale, [&] { return m_real.removeIfUnused(file); });
    }
    WriteLock tryLockFolder(const std::filesystem::path& folder, bool& busy) override
    {
        WriteLock held;
        in(Locking, [&] { return (held = m_real.tryLockFolder(folder, busy)) != nullptr; });
        return held;
    }

private:
    static bool isBackupSide(const std::filesystem::path& file)
    {
        return file.filename().string().starts_with("db1.bak");
    }
    template <typename Call> auto in(Step step, Call call) -> decltype(call())
    {
        m_progress.step.store(step);
        m_progress.calls.fetch_add(1);
        const auto result = call();
        m_progress.step.store(Computing);
        return result;
    }

    Progress& m_progress;
    FileOps& m_real = realFileOps();
};

// Exit codes of a child that stopped on its own.
enum ChildExit : int {
    LoadFailed = 10,
    RewriteRefused,
    AppendFailed,
    SaveFailed,
    Threw,
    Orphaned,
    RanOut,
};

// Runs after fork: no gtest, and _exit is the only way out. Edits as the window
// does (its list is a RecordTable) until killed; the file starts kept as `keeping`.
[[noreturn]] void runChild(const std::filesystem::path& folder, Keeping keeping, std::uint64_t seed, Progress& progress,
                           pid_t parent)
{
    try {
        SteppingFileOps ops(progress);
        OpenDatabase database(folder, ops);
        database.choose("db1");
        database.setKey(g_keys[keeping]);
        RecordTable table;
        if (!database.load(table))
            _exit(LoadFailed);
        progress.calls.store(0);
        progress.ready.store(1);
        Random random(seed);
        for (long k = 0; k < 1000000; ++k) {
            if (::getppid() != parent)
                _exit(Orphaned);
            progress.started.store(k);
            const Operation operation = nextOperation(static_cast<std::size_t>(table.size()), random);
            const int row = static_cast<int>(operation.row);
            if (operation.kind == Kind::Add) {
                table.append(operation.record);
                if (!database.append(BuildRecordLine(operation.record)))
                    _exit(AppendFailed);
                continue;
            }
            if (operation.kind == Kind::Reseal) {
                keeping = nextKeeping(keeping);
                OpenDatabase::Rewriting rewriting = database.startRewrite();
                if (!rewriting.allowed())
                    _exit(RewriteRefused);
                if (!database.reseal(rewriting, table, g_keys[keeping]))
                    _exit(SaveFailed);
                continue;
            }
            if (database.checkRewrite() != Verdict::Done)
                _exit(RewriteRefused);
            if (operation.kind == Kind::Remove)
                table.remove(row);
            else
                table.replaceDetails(row, operation.record);
            if (!database.save(table))
                _exit(SaveFailed);
        }
    } catch (...) {
        _exit(Threw);
    }
    _exit(RanOut);
}

std::string describeStatus(int status)
{
    if (WIFEXITED(status))
        return "exited on its own with code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "died of signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// Waits for the child's load, then for its `call`-th file call, then `extra`, and
// kills it. A call count rather than a clock alone, so that the short calls (the
// renames, the deletes) get their share of kills next to the long writes. Returns
// the wait status, or that of a child that stopped on its own.
int killDuringCall(pid_t child, const Progress& progress, long call, std::chrono::microseconds extra)
{
    // Sleeps rather than spins: the child needs the processor more than we do.
    constexpr std::chrono::microseconds Poll(20);
    int status = 0;
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    while ((progress.ready.load() == 0 || progress.calls.load() < call) && Clock::now() < giveUp) {
        if (::waitpid(child, &status, WNOHANG) == child)
            return status;
        std::this_thread::sleep_for(Poll);
    }
    std::this_thread::sleep_for(extra);
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return status;
}

// Reads the file back whole under whichever of the keys its header names. False
// (with `why`) for a header of neither key, or lines that did not open under it.
bool loadFile(const std::filesystem::path& folder, FileState& out, std::string& why)
{
    std::string header;
    if (!ReadSealHeader(folder, "db1", header)) {
        why = "its header could not be read";
        return false;
    }
    out.keeping = Unsealed;
    for (const Keeping keeping : {KeyA, KeyB}) {
        if (header == g_keys[keeping]->header())
            out.keeping = keeping;
    }
    if (!header.empty() && out.keeping == Unsealed) {
        why = "it is sealed under neither key";
        return false;
    }
    RecordTable table;
    SealedFile sealed;
    if (!LoadDatabase(folder, "db1", table, realFileOps(), nullptr, g_keys[out.keeping].get(), sealed)) {
        why = "it did not load";
        return false;
    }
    if (!sealed.unopened.empty()) {
        why = std::to_string(sealed.unopened.size()) + " of its lines did not open under " + KeepingNames[out.keeping] +
              "'s key";
        return false;
    }
    out.rows.clear();
    for (int row = 0; row < table.size(); ++row)
        out.rows.push_back(table.record(row));
    return true;
}

bool saveFile(const std::filesystem::path& folder, const FileState& state)
{
    RecordTable table;
    for (const Record& row : state.rows)
        table.append(row);
    return static_cast<bool>(SaveDatabase(folder, "db1", table, realFileOps(), nullptr, g_keys[state.keeping].get()));
}

std::string describeRecord(const Record& r)
{
    return "{" + r.service + "|" + r.username + "|" + r.password + "|" + r.comments + "|" + r.address + "|" +
           r.recorded + "| kept:" + r.keptLine + "}";
}

// Where `loaded` first parts from `expected`.
std::string firstDifference(const std::vector<Record>& loaded, const std::vector<Record>& expected)
{
    std::size_t i = 0;
    while (i < loaded.size() && i < expected.size() && loaded[i] == expected[i])
        ++i;
    std::ostringstream out;
    out << loaded.size() << " rows against " << expected.size() << ", first difference at row " << i;
    if (i < loaded.size())
        out << ": file has " << describeRecord(loaded[i]);
    if (i < expected.size())
        out << ", expected " << describeRecord(expected[i]);
    return out.str();
}

std::string firstDifference(const FileState& loaded, const FileState& expected)
{
    return std::string(KeepingNames[loaded.keeping]) + " against " + KeepingNames[expected.keeping] + ", " +
           firstDifference(loaded.rows, expected.rows);
}

bool operator==(const FileState& a, const FileState& b)
{
    return a.keeping == b.keeping && a.rows == b.rows;
}

std::uint64_t baseSeed()
{
    if (const char* text = std::getenv("KV_CRASH_SEED"))
        return std::strtoull(text, nullptr, 0);
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

TEST(CrashConsistency, KilledWritesLoseNothing)
{
    test::TestFolder folder;
    const std::uint64_t seed = baseSeed();
    std::cout << "seed " << seed << " (KV_CRASH_SEED repeats the operations; the kill times still vary)\n";

    for (const Keeping keeping : {KeyA, KeyB}) {
        g_keys[keeping] = newSealKey(keeping == KeyA ? "password A" : "password B", MinSealMemoryKiB, MinSealPasses);
        ASSERT_NE(g_keys[keeping], nullptr);
    }

    Random random(seed);
    FileState start;
    for (std::size_t i = 0; i < StartRecords; ++i)
        start.rows.push_back(makeRecord(random));
    test::writeFile(folder / "db1.ksd", "");
    ASSERT_TRUE(saveFile(folder.path(), start));

    void* shared = ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    struct Unmap
    {
        void* memory;
        ~Unmap() { ::munmap(memory, sizeof(Progress)); }
    } unmap{shared};

    int kills = 0;
    int duringAppend = 0;
    int duringSave = 0;
    int foundBefore = 0;
    int foundAfter = 0;
    // Kills during a reseal, by the keeping it was moving to, and how many of
    // them found the file still kept as before.
    std::array<int, KeepingCount> duringReseal = {};
    std::array<int, KeepingCount> resealFoundBefore = {};
    std::array<int, StepCount> bySteps = {};
    const auto began = Clock::now();

    for (int round = 0; kills < WantedKills && Clock::now() - began < TimeLimit; ++round) {
        const std::uint64_t roundSeed = random.next();
        const long call = 1 + static_cast<long>(random.below(LastCall));
        const std::chrono::microseconds extra(random.below(LongestExtraMicroseconds + 1));
        std::ostringstream where;
        where << "seed " << seed << ", round " << round << " (round seed " << roundSeed << ")";

        Progress* progress = new (shared) Progress{};
        std::cout.flush();
        std::fflush(nullptr);
        const pid_t parent = ::getpid();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0) << where.str();
        if (child == 0)
            runChild(folder.path(), start.keeping, roundSeed, *progress, parent);

        const int status = killDuringCall(child, *progress, call, extra);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << where.str() << ": the child " << describeStatus(status);
        ASSERT_EQ(progress->ready.load(), 1) << where.str() << ": the child never finished loading";
        ++kills;

        // Replay the child's operations up to the one the kill interrupted.
        const long inFlight = progress->started.load();
        const int step = progress->step.load();
        ASSERT_TRUE(step >= 0 && step < StepCount) << where.str();
        ++bySteps[static_cast<std::size_t>(step)];
        FileState before = start;
        Random replay(roundSeed);
        for (long k = 0; k < inFlight; ++k)
            applyTo(nextOperation(before.rows.size(), replay), before);
        FileState after = before;
        bool resealing = false;
        if (inFlight >= 0) {
            const Operation operation = nextOperation(after.rows.size(), replay);
            applyTo(operation, after);
            resealing = operation.kind == Kind::Reseal;
            if (resealing)
                ++duringReseal[after.keeping];
            else
                ++(operation.kind == Kind::Add ? duringAppend : duringSave);
        }
        where << ", killed in operation " << inFlight << " while " << StepNames[static_cast<std::size_t>(step)]
              << ", the file " << KeepingNames[before.keeping];
        const auto keepFolder = [&] {
            const auto kept = std::filesystem::temp_directory_path() /
                              ("kv-crash-" + std::to_string(seed) + "-" + std::to_string(round));
            std::error_code error;
            std::filesystem::copy(folder.path(), kept, error);
            return kept.string();
        };

        FileState loaded;
        std::string why;
        if (!loadFile(folder.path(), loaded, why))
            FAIL() << where.str() << ": the file does not read back whole: " << why << " (its folder is copied to "
                   << keepFolder() << ")";
        if (loaded == before) {
            ++foundBefore;
            if (resealing)
                ++resealFoundBefore[after.keeping];
        } else if (loaded == after) {
            ++foundAfter;
        } else {
            FAIL() << where.str() << ": the file holds neither list (its folder is copied to " << keepFolder()
                   << ")\n  against the list before: " << firstDifference(loaded, before)
                   << "\n  against the list after: " << firstDifference(loaded, after);
        }

        // The next round starts from what this save wrote, kept as it was found,
        // so a save that lost something fails there.
        ASSERT_TRUE(saveFile(folder.path(), loaded)) << where.str() << ": the save after the kill failed";
        ASSERT_EQ(folder.names(), std::vector<std::string>{"db1.ksd"}) << where.str();
        start = std::move(loaded);
    }
    FileState last;
    std::string why;
    ASSERT_TRUE(loadFile(folder.path(), last, why)) << why;
    EXPECT_TRUE(last == start) << firstDifference(last, start);

    const auto seconds = std::chrono::duration<double>(Clock::now() - began).count();
    std::cout << kills << " kills in " << seconds << " s: " << duringAppend << " during an append, " << duringSave
              << " during a full save (Remove, Replace); the file held the list from before the operation "
              << foundBefore << " times, from after it " << foundAfter << " times\n";
    constexpr std::array<const char*, KeepingCount> Resealing = {"unsealing", "sealing", "sealing anew"};
    for (const Keeping to : {KeyA, KeyB, Unsealed})
        std::cout << "  " << duringReseal[to] << " during " << Resealing[to] << " (" << resealFoundBefore[to]
                  << " found before, " << duringReseal[to] - resealFoundBefore[to] << " after)\n";
    for (std::size_t i = 0; i < StepCount; ++i)
        std::cout << "  " << bySteps[i] << " " << StepNames[i] << "\n";
    RecordProperty("kills", kills);
    RecordProperty("killsDuringAppend", duringAppend);
    RecordProperty("killsDuringSave", duringSave);
    RecordProperty("killsDuringSeal", duringReseal[KeyA]);
    RecordProperty("killsDuringRekey", duringReseal[KeyB]);
    RecordProperty("killsDuringUnseal", duringReseal[Unsealed]);
    EXPECT_GE(kills, WantedKills) << "too slow: the time ran out";
}

} // namespace
} // namespace kv

#endif // _WIN32
