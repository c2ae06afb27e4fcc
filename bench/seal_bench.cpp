// A sealed database of the largest size against the least its format can cost:
// the file read and each line opened with libsodium into one buffer, on one
// core. Opening it (the key already made), listing it from the command line and
// adding to it, each beside that floor or the same work on the file unsealed.
// The key derivation is measured on its own: it is a fixed cost of its header,
// whatever the file holds.

#include "bench_data.h"
#include "ratio_reporter.h"
#include "seal/seal_key.h"
#include "seal/sealing.h"
#include "settings/reg_file_registry.h"
#include "settings/settings_store.h"
#include "storage/open_database.h"
#include "vault/vault.h"
#include "verb_runner.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sodium.h>

namespace {

constexpr std::string_view Password = "correct horse battery staple";

const std::vector<kv::Record>& records()
{
    static const std::vector<kv::Record> rows = kvbench::makeRecords(kvbench::LargestDatabase);
    return rows;
}

[[noreturn]] void stop(const char* why)
{
    std::fprintf(stderr, "seal_bench: %s\n", why);
    std::exit(1);
}

// One seal at the cheapest cost the bounds allow (the command line derives its
// key on every run), held both ways: its raw key for the floor, and the key the
// storage opens and writes with.
struct Seal
{
    kv::SealHeader header;
    kv::SecretBytes raw;
    std::shared_ptr<const kv::LineSeal> key;
};

const Seal& seal()
{
    static const Seal made = [] {
        std::optional<kv::NewSeal> fresh = kv::makeSeal(Password, kv::MinSealMemoryKiB, kv::MinSealPasses);
        if (!fresh)
            stop("no seal could be made");
        Seal s;
        s.header = fresh->header;
        kv::SecretBytes copy(fresh->key.size());
        std::memcpy(copy.data(), fresh->key.data(), copy.size());
        s.raw = std::move(fresh->key);
        s.key = std::make_shared<const kv::SealKey>(fresh->header, std::move(copy), Password);
        return s;
    }();
    return made;
}

// A folder holding db1.ksd, the largest database sealed by the program's own full save.
std::filesystem::path makeSealedFolder(const std::string& name)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("kv-bench-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(folder);
    kv::realFileOps().writeNew(folder / "db1.ksd", "");
    kv::RecordTable table;
    for (const kv::Record& record : records())
        table.append(record);
    if (!kv::SaveDatabase(folder, "db1", table, kv::realFileOps(), nullptr, seal().key.get()))
        stop("the sealed database could not be written");
    return folder;
}

const std::filesystem::path& sealedFolder()
{
    static const std::filesystem::path path = makeSealedFolder("sealed");
    return path;
}

const std::filesystem::path& plainFolder()
{
    static const std::filesystem::path path = kvbench::makeDatabaseFolder(records(), "unsealed");
    return path;
}

// The floor: the file read whole, then each sealed line's Base64 decoded and
// opened with libsodium, the plain texts one after another in one buffer.
void FloorReadOpenSealedLines(benchmark::State& state)
{
    const std::filesystem::path file = sealedFolder() / "db1.ksd";
    const Seal& s = seal();
    const auto* ad = reinterpret_cast<const unsigned char*>(s.header.line.data());
    std::vector<unsigned char> decoded;
    std::string plain;
    std::size_t lines = 0;
    for (auto _ : state) {
        std::string content;
        kv::realFileOps().readAll(file, content);
        if (plain.size() < content.size())
            plain.resize(content.size());
        if (decoded.size() < content.size())
            decoded.resize(content.size());
        auto* out = reinterpret_cast<unsigned char*>(plain.data());
        lines = 0;
        std::size_t at = content.find('\n') + 1; // past the header
        while (at < content.size()) {
            std::size_t end = content.find('\n', at);
            if (end == std::string::npos)
                end = content.size();
            std::size_t last = end;
            if (last > at && content[last - 1] == '\r')
                --last;
            std::size_t size = 0;
            unsigned long long opened = 0;
            if (last > at + 1 &&
                (sodium_base642bin(decoded.data(), decoded.size(), content.data() + at + 1, last - at - 1, nullptr,
                                   &size, nullptr, sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0 ||
                 crypto_aead_xchacha20poly1305_ietf_decrypt(
                     out, &opened, nullptr, decoded.data() + crypto_aead_xchacha20poly1305_ietf_NPUBBYTES,
                     size - crypto_aead_xchacha20poly1305_ietf_NPUBBYTES, ad, s.header.line.size(), decoded.data(),
                     s.raw.data()) != 0)) {
                state.SkipWithError("a line did not open");
                return;
            }
            out += opened;
            ++lines;
            at = end + 1;
        }
        benchmark::DoNotOptimize(plain.data());
    }
    if (lines != records().size())
        state.SkipWithError("the floor opened another number of lines");
}

// The program's own open, as the window's start or a command's load runs it,
// the key already made.
void open(benchmark::State& state, const std::filesystem::path& folder, std::shared_ptr<const kv::LineSeal> key)
{
    for (auto _ : state) {
        kv::OpenDatabase database(folder);
        database.choose("db1");
        if (key)
            database.setKey(key);
        kv::RecordTable rows;
        if (!database.load(rows) || rows.size() != kvbench::LargestDatabase) {
            state.SkipWithError("the open failed");
            return;
        }
        benchmark::DoNotOptimize(rows);
    }
}

void OpenSealedDatabase(benchmark::State& state)
{
    open(state, sealedFolder(), seal().key);
}

void OpenUnsealedDatabase(benchmark::State& state)
{
    open(state, plainFolder(), nullptr);
}

void deriveKey(benchmark::State& state, const std::string& header)
{
    for (auto _ : state) {
        std::shared_ptr<const kv::LineSeal> key;
        if (kv::openSealKey(header, Password, key) != kv::KeyOpening::Opened) {
            state.SkipWithError("the key did not open");
            return;
        }
        benchmark::DoNotOptimize(key.get());
    }
}

// What a new seal asks for: the wait before any sealed file opens.
void DeriveKeyDefaultCost(benchmark::State& state)
{
    static const std::string header = [] {
        std::optional<kv::NewSeal> fresh = kv::makeSeal(Password);
        if (!fresh)
            stop("no seal at the default cost could be made");
        return fresh->header.line;
    }();
    deriveKey(state, header);
}

// The cost the benchmark's files are sealed at: what each command-line run below pays.
void DeriveKeyLeastCost(benchmark::State& state)
{
    deriveKey(state, seal().header.line);
}

int runVerb(const std::vector<std::string>& args)
{
    // The password comes as a line on standard input.
    static kvbench::VerbRunner run(sealedFolder(), std::string(Password));
    return run(args);
}

void ListTsvSealed(benchmark::State& state)
{
    for (auto _ : state) {
        if (runVerb({"-d", "1", "ls", "--tsv"}) != 0) {
            state.SkipWithError("ls failed");
            return;
        }
    }
}

// An Add from the window's vault at the largest size, its database opened
// (key made) beforehand: the line sealed and appended, flushed to the disk.
void add(benchmark::State& state, const std::filesystem::path& folder, std::shared_ptr<const kv::LineSeal> key)
{
    kv::RegFileRegistry registry(folder / "settings.reg");
    kv::SettingsStore settings(registry);
    kv::OpenDatabase database(folder);
    database.choose("db1");
    if (key)
        database.setKey(key);
    kv::Vault vault(database, settings);
    if (!vault.load() || vault.entries().size() != kvbench::LargestDatabase) {
        state.SkipWithError("the open failed");
        return;
    }
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++n;
        kv::Record record{"service " + std::to_string(n), "someone@example.org", "Pass-word-" + std::to_string(n), "",
                          "https://example.org",          "12-08-2026 10:00:00"};
        state.ResumeTiming();
        const kv::Outcome outcome = vault.add(record, false);
        if (!outcome.done || outcome.problem != kv::Outcome::Problem::None) {
            state.SkipWithError(("the add failed: " + kv::describe(outcome, "db1.ksd")).c_str());
            return;
        }
    }
}

void AddUnsealedAtLargestDatabase(benchmark::State& state)
{
    static const std::filesystem::path folder = kvbench::makeDatabaseFolder(records(), "add-unsealed");
    add(state, folder, nullptr);
}

void AddSealedAtLargestDatabase(benchmark::State& state)
{
    static const std::filesystem::path folder = makeSealedFolder("add-sealed");
    add(state, folder, seal().key);
}

} // namespace

BENCHMARK(FloorReadOpenSealedLines)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSealedDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenUnsealedDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(DeriveKeyDefaultCost)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DeriveKeyLeastCost)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(ListTsvSealed)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(AddUnsealedAtLargestDatabase)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(AddSealedAtLargestDatabase)->Unit(benchmark::kMillisecond)->Iterations(300);

int main(int argc, char** argv)
{
    if (sodium_init() < 0)
        stop("libsodium could not start");
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter({
        {"sealed: open (key made before)", "OpenSealedDatabase", "FloorReadOpenSealedLines", 1.5},
        {"sealed: key derivation (default cost)", "DeriveKeyDefaultCost", "FloorReadOpenSealedLines", 0},
        {"sealed: the same entries unsealed, open", "OpenUnsealedDatabase", "FloorReadOpenSealedLines", 0},
        {"sealed: ls --tsv (least-cost key, derivation included)", "ListTsvSealed", "FloorReadOpenSealedLines", 0},
        {"sealed: ls --tsv (derivation taken off)", "ListTsvSealed", "FloorReadOpenSealedLines", 1.5,
         "DeriveKeyLeastCost"},
        {"sealed: add, at 32,766 rows", "AddSealedAtLargestDatabase", "AddUnsealedAtLargestDatabase", 1.3},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const char* name : {"sealed", "unsealed", "add-unsealed", "add-sealed"})
        std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                    ("kv-bench-" + std::to_string(::getpid()) + "-" + name));
    return 0;
}
