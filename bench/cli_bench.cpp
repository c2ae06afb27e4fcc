// The command line over the largest database: listing and exporting against
// reading and deciphering the file, bringing all of it in against a full save
// of the same entries. Each verb runs in this process, as the program runs it,
// but without the cost of starting a process.

#include "bench_data.h"
#include "ratio_reporter.h"
#include "verb_runner.h"

#include <benchmark/benchmark.h>
#include <sstream>

namespace {

const std::vector<kv::Record>& records()
{
    static const std::vector<kv::Record> rows = kvbench::makeRecords(kvbench::LargestDatabase);
    return rows;
}

const std::filesystem::path& folder()
{
    static const std::filesystem::path path = kvbench::makeDatabaseFolder(records(), "cli");
    return path;
}

int runVerb(std::vector<std::string> args)
{
    static kvbench::VerbRunner run(folder());
    return run(args);
}

void BaselineLoadDatabase(benchmark::State& state)
{
    for (auto _ : state) {
        kv::RecordTable rows;
        kv::LoadDatabase(folder(), "db1", rows);
        benchmark::DoNotOptimize(rows);
    }
}

void ListTsv(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runVerb({"-d", "1", "ls", "--tsv"}));
}

void ExportCsv(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(runVerb({"-d", "1", "export", "--format", "csv"}));
}

void BaselineFullSave(benchmark::State& state)
{
    kv::RecordTable table;
    for (const kv::Record& record : records())
        table.append(record);
    for (auto _ : state)
        benchmark::DoNotOptimize(kv::SaveDatabase(folder(), "db1", table));
}

// Into the second database, empty each time: every entry is new.
void ImportCsv(benchmark::State& state)
{
    const std::filesystem::path file = folder() / "all.csv";
    if (!std::filesystem::exists(file))
        runVerb({"-d", "1", "export", "--format", "csv", "-o", file.string()});
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(folder() / "db2.ksd");
        state.ResumeTiming();
        if (runVerb({"-d", "2", "import", file.string()}) != 0)
            state.SkipWithError("import failed");
    }
    state.counters["records"] = kvbench::LargestDatabase;
}

} // namespace

BENCHMARK(BaselineLoadDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(ListTsv)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineFullSave)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter({
        {"command line: ls --tsv", "ListTsv", "BaselineLoadDatabase", 1.5},
        {"command line: export --format csv", "ExportCsv", "BaselineLoadDatabase", 1.5},
        {"command line: import (all new)", "ImportCsv", "BaselineFullSave", 3.0},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
