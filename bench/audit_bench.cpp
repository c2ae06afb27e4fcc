// The password audit over the largest database. Its rules against listing the
// same entries (ls --tsv), with the strength estimate (zxcvbn, microseconds an
// entry) left out of that comparison and timed on its own beside it. Then
// --breached against a list of 50 million lines in the Pwned Passwords form
// (about 2.4 GB, made in a temporary folder and removed afterwards), searched
// where it lies: its time against a budget of two seconds. The list is fresh
// from being written, so it is in the page cache, as a list read often would be.

#include "bench_data.h"
#include "ratio_reporter.h"
#include "vault/breach_list.h"
#include "verb_runner.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

constexpr std::uint64_t BreachListLines = 50'000'000;
// What the list takes on disk, and some room to spare.
constexpr std::uintmax_t BreachListRoom = 4ull << 30;

const std::vector<kv::Record>& records()
{
    static const std::vector<kv::Record> rows = kvbench::makeRecords(kvbench::LargestDatabase);
    return rows;
}

const std::filesystem::path& folder()
{
    static const std::filesystem::path path = kvbench::makeDatabaseFolder(records(), "audit");
    return path;
}

int runVerb(const std::vector<std::string>& args)
{
    static kvbench::VerbRunner run(folder());
    return run(args);
}

void appendLine(std::string& out, const kv::PasswordDigest& digest, std::uint64_t count)
{
    static const char* const Hex = "0123456789ABCDEF";
    for (const std::uint8_t byte : digest) {
        out += Hex[byte >> 4];
        out += Hex[byte & 15];
    }
    out += ':';
    out += std::to_string(count);
    out += "\r\n";
}

// The list, sorted by hash, holding the password of every other entry; its
// other hashes are spread evenly, as SHA-1 hashes are. Empty when there is no
// room for it.
std::filesystem::path makeBreachList()
{
    const std::filesystem::path file = folder() / "pwned-passwords-sha1.txt";
    std::error_code error;
    if (std::filesystem::space(folder(), error).available < BreachListRoom || error) {
        std::fprintf(stderr, "No room for the breach list in %s\n", folder().c_str());
        return {};
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<kv::PasswordDigest> listed;
    for (std::size_t row = 0; row < records().size(); row += 2)
        listed.push_back(kv::passwordDigest(records()[row].password));
    std::sort(listed.begin(), listed.end());
    std::ofstream out(file, std::ios::binary);
    std::mt19937_64 random(7);
    const std::uint64_t others = BreachListLines - listed.size();
    const std::uint64_t step = ~std::uint64_t{0} / others;
    std::string piece;
    std::size_t next = 0;
    for (std::uint64_t i = 0; i < others; ++i) {
        kv::PasswordDigest digest;
        const std::uint64_t head = i * step + random() % step;
        for (std::size_t b = 0; b < 8; ++b)
            digest[b] = static_cast<std::uint8_t>(head >> (56 - 8 * b));
        for (std::size_t b = 8; b < digest.size(); ++b)
            digest[b] = static_cast<std::uint8_t>(random());
        for (; next < listed.size() && listed[next] < digest; ++next)
            appendLine(piece, listed[next], 1 + next % 5000);
        appendLine(piece, digest, 1 + random() % 100000);
        if (piece.size() > (1 << 20)) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            piece.clear();
        }
    }
    for (; next < listed.size(); ++next)
        appendLine(piece, listed[next], 1 + next % 5000);
    out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    out.close();
    if (!out)
        return {};
    // Every password looked up once, outside the timing: how many the list holds.
    std::vector<kv::PasswordDigest> all;
    for (const kv::Record& record : records())
        all.push_back(kv::passwordDigest(record.password));
    const kv::BreachLookup lookup = kv::lookUpBreaches(file, all);
    const auto found = std::count_if(lookup.counts.begin(), lookup.counts.end(), [](std::uint64_t n) { return n > 0; });
    std::printf("Breach list: %llu lines, %.2f GB, made in %.1f s; it holds %lld of the %zu passwords\n",
                static_cast<unsigned long long>(BreachListLines),
                static_cast<double>(std::filesystem::file_size(file)) / 1e9,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
                static_cast<long long>(found), all.size());
    return lookup.result == kv::BreachLookup::Result::Done ? file : std::filesystem::path();
}

const std::filesystem::path& breachList()
{
    static const std::filesystem::path file = makeBreachList();
    return file;
}

void ListTsv(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runVerb({"-d", "1", "ls", "--tsv"}));
}

// Every rule but strength, each entry listed (all are older than 30 days), as
// ls lists them all.
void AuditWithoutStrength(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runVerb({"-d", "1", "audit", "--tsv", "--older-than", "30", "--only",
                                          "empty,reused,insecure-address,old,no-date"}));
}

void AuditStrengthAlone(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runVerb({"-d", "1", "audit", "--tsv", "--only", "weak"}));
}

void AuditBreached(benchmark::State& state)
{
    if (breachList().empty()) {
        state.SkipWithError("no breach list");
        return;
    }
    for (auto _ : state) {
        if (runVerb({"-d", "1", "audit", "--tsv", "--only", "breached", "--breached", breachList().string()}) != 0)
            state.SkipWithError("audit failed");
    }
    state.counters["lines"] = static_cast<double>(BreachListLines);
}

} // namespace

BENCHMARK(ListTsv)->Unit(benchmark::kMillisecond);
BENCHMARK(AuditWithoutStrength)->Unit(benchmark::kMillisecond);
BENCHMARK(AuditStrengthAlone)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(AuditBreached)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter({
        {"command line: audit, strength left out (in process)", "AuditWithoutStrength", "ListTsv", 2.0},
        {"command line: audit --only weak, the strength estimate (in process)", "AuditStrengthAlone", "ListTsv", 0},
        {"command line: audit --breached, 50 million lines (in process)", "AuditBreached", "budget", 1.0, {}, 2000},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
