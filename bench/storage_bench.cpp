// The line cipher's throughput against copying the same bytes, and loading and
// saving the largest database against reading and writing its bytes plainly.

#include "bench_data.h"
#include "product/product.h"
#include "ratio_reporter.h"
#include "storage/line_cipher.h"

#include <benchmark/benchmark.h>
#include <cstring>

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

// The record lines of the database, plain and enciphered, as a full save makes them.
struct Lines
{
    std::vector<std::string> plain;
    std::vector<std::string> cipher;
    std::size_t plainBytes = 0;
    std::size_t cipherBytes = 0;
};

const Lines& lines()
{
    static const Lines all = [] {
        Lines l;
        for (const kv::Record& record : records()) {
            l.plain.push_back(kv::BuildRecordLine(record) + "\r\n");
            l.cipher.push_back(kv::EncodeLine(l.plain.back(), kv::AppTitle));
            l.plainBytes += l.plain.back().size();
            l.cipherBytes += l.cipher.back().size();
        }
        return l;
    }();
    return all;
}

// Copies `bytes` in pieces of the lines' sizes: what a cipher could at best cost.
void copyInPieces(const std::vector<std::string>& pieces, std::string& out)
{
    out.clear();
    for (const std::string& piece : pieces) {
        const std::size_t at = out.size();
        out.resize(at + piece.size());
        std::memcpy(out.data() + at, piece.data(), piece.size());
    }
}

void BaselineCopyCipherBytes(benchmark::State& state)
{
    std::string out;
    out.reserve(lines().cipherBytes);
    for (auto _ : state) {
        copyInPieces(lines().cipher, out);
        benchmark::DoNotOptimize(out.data());
    }
}

void EncodeLines(benchmark::State& state)
{
    std::string out;
    out.reserve(lines().cipherBytes);
    for (auto _ : state) {
        out.clear();
        for (const std::string& line : lines().plain)
            kv::encodeBytesAppend(line, kv::AppTitle, out);
        benchmark::DoNotOptimize(out.data());
    }
}

void BaselineCopyPlainBytes(benchmark::State& state)
{
    std::string out;
    out.reserve(lines().plainBytes);
    for (auto _ : state) {
        copyInPieces(lines().plain, out);
        benchmark::DoNotOptimize(out.data());
    }
}

void DecodeLines(benchmark::State& state)
{
    std::string out(lines().plainBytes + lines().plain.size(), '\0');
    for (auto _ : state) {
        char* at = out.data();
        for (const std::string& line : lines().cipher) {
            kv::decodeBytesTo(line, kv::AppTitle, at);
            at += (line.size() + 1) / 2;
        }
        benchmark::DoNotOptimize(out.data());
    }
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
        kv::RecordTable rows;
        kv::LoadDatabase(folder(), "db1", rows);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["records"] = kvbench::LargestDatabase;
}

} // namespace

BENCHMARK(BaselineCopyCipherBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineCopyPlainBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadDatabase)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter({
        {"cipher: EncodeLine", "EncodeLines", "BaselineCopyCipherBytes", 8.0},
        {"cipher: DecodeLine", "DecodeLines", "BaselineCopyPlainBytes", 8.0},
        {"open, warm (in process)", "LoadDatabase", "BaselineReadBytes", 0},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
