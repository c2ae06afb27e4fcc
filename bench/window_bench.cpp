// Opening the largest database in the real window (offscreen) and sorting it,
// against building the same window over an empty database.

#include "app/frm_scrn.h"
#include "bench_data.h"
#include "ratio_reporter.h"
#include "settings/reg_file_registry.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

std::filesystem::path g_folder;

kv::Environment environment(kv::Registry& registry, const std::filesystem::path& folder)
{
    kv::Environment env;
    env.programFolder = folder;
    env.registry = &registry;
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.openWithDefaultHandler = [](const QString&, QWidget*) {};
    return env;
}

void BaselineEmptyWindow(benchmark::State& state)
{
    kv::RegFileRegistry registry(g_folder / "settings.reg");
    const auto empty = g_folder / "empty";
    std::filesystem::create_directories(empty);
    for (auto _ : state) {
        kv::FrmScrn window(environment(registry, empty));
        window.show();
        window.loadDatabase();
        QApplication::processEvents();
    }
}

void OpenLargestDatabase(benchmark::State& state)
{
    kv::RegFileRegistry registry(g_folder / "settings.reg");
    for (auto _ : state) {
        kv::FrmScrn window(environment(registry, g_folder));
        window.show();
        window.loadDatabase();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.model().rowCount());
    }
    state.counters["records"] = kvbench::LargestDatabase;
}

void SortLargestDatabase(benchmark::State& state)
{
    kv::RegFileRegistry registry(g_folder / "settings.reg");
    kv::FrmScrn window(environment(registry, g_folder));
    window.show();
    window.loadDatabase();
    for (auto _ : state) {
        window.model().sortOnHeaderClick(kv::ColComments);
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BaselineEmptyWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenLargestDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(SortLargestDatabase)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_folder = kvbench::makeDatabaseFolder(kvbench::makeRecords(kvbench::LargestDatabase));
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter(
        {{"OpenLargestDatabase", "BaselineEmptyWindow"}, {"SortLargestDatabase", "BaselineEmptyWindow"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(g_folder);
    return 0;
}
