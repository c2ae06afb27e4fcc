// Loading and saving the largest database, against reading and writing the same
// bytes plainly: the ratio is what the cipher and the parsing cost.

#include "bench_data.h"
#include "ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <unistd.h>

namespace {

const std::vector<kv::Record>& records()
{
    static const std::vector<kv::Record> rows = kvbench::makeRecords(kvbench::LargestDatabase);
    return rows;
}

const std::filesystem::path& folder()
{
    static const std::filesystem::path path = kvbench::makeDatabaseFolder(records());
    return path;
}

void BaselineReadBytes(benchmark::State& state)
{
    for (auto _ : state) {
        std::string content;
        kv::realFileOps().readAll(folder() / "db1.ksd", content);
        benchmark::DoNotOptimize(content);
    }
}

void LoadDatabase(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<kv::Record> rows;
        kv::LoadDatabase(folder(), "db1", rows);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["records"] = kvbench::LargestDatabase;
}

void BaselineWriteBytes(benchmark::State& state)
{
    std::string content;
    kv::realFileOps().readAll(folder() / "db1.ksd", content);
    for (auto _ : state)
        kv::replaceFileAtomically(kv::realFileOps(), folder() / "plain.txt", content);
}

void SaveDatabase(benchmark::State& state)
{
    for (auto _ : state)
        kv::SaveDatabase(folder(), "db1", records());
}

void AppendRecord(benchmark::State& state)
{
    const std::string line = kv::BuildRecordLine(records().front());
    kv::realFileOps().writeNew(folder() / "db2.ksd", "");
    for (auto _ : state)
        kv::AppendRecord(folder(), "db2", line);
}

} // namespace

BENCHMARK(BaselineReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineWriteBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(AppendRecord)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter({{"LoadDatabase", "BaselineReadBytes"}, {"SaveDatabase", "BaselineWriteBytes"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
