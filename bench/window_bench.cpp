// The editing commands and sorting in the real window (offscreen) at the largest
// database, each against what it could at best cost.

#include "app/frm_scrn.h"
#include "bench_data.h"
#include "ratio_reporter.h"
#include "settings/reg_file_registry.h"
#include "storage/data_file.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <strings.h>

namespace {

std::filesystem::path g_large; // 32,766 records
std::filesystem::path g_small; // 10 records

kv::Environment environment(kv::Registry& registry, const std::filesystem::path& folder)
{
    kv::Environment env;
    env.programFolder = folder;
    env.registry = &registry;
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.openWithDefaultHandler = [](const QString&, QWidget*) {};
    return env;
}

// A window over `folder`, shown and loaded, as the program starts.
struct Window
{
    kv::RegFileRegistry registry;
    kv::FrmScrn window;

    explicit Window(const std::filesystem::path& folder)
        : registry(folder / "settings.reg"), window(environment(registry, folder))
    {
        window.show();
        window.loadDatabase();
        QApplication::processEvents();
    }
    void press(int button) { window.findChild<QAbstractButton*>(QStringLiteral("Toolbar1_%1").arg(button))->click(); }
    void type(int field, const QString& text)
    {
        window.findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(field))->setText(text);
    }
};

void add(benchmark::State& state, const std::filesystem::path& folder)
{
    Window w(folder);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.type(1, QStringLiteral("service %1").arg(++n));
        w.type(2, QStringLiteral("someone@example.org"));
        w.type(4, QStringLiteral("Pass-word-%1").arg(n));
        state.ResumeTiming();
        w.press(1);
        QApplication::processEvents();
    }
}

void AddAtTenRows(benchmark::State& state)
{
    add(state, g_small);
}

void AddAtLargestDatabase(benchmark::State& state)
{
    add(state, g_large);
}

// What a full save can at best cost: the file read once (only its bytes tell
// whether another program changed it since it was loaded), then the same bytes
// written, flushed and renamed.
void BaselineReadWriteSyncRename(benchmark::State& state)
{
    std::string content;
    kv::DatabaseContent(kvbench::tableOf(kvbench::makeRecords(kvbench::LargestDatabase)), content);
    kv::replaceFileAtomically(kv::realFileOps(), g_large / "plain.txt", content);
    for (auto _ : state) {
        std::string old;
        kv::realFileOps().readAll(g_large / "plain.txt", old);
        benchmark::DoNotOptimize(old.data());
        kv::replaceFileAtomically(kv::realFileOps(), g_large / "plain.txt", content);
    }
}

void RemoveAtLargestDatabase(benchmark::State& state)
{
    Window w(g_large);
    auto* list = w.window.findChild<QTableView*>(QStringLiteral("ListView1"));
    for (auto _ : state) {
        state.PauseTiming();
        list->selectRow(0);
        state.ResumeTiming();
        w.press(2);
        QApplication::processEvents();
    }
}

// What sorting can at best cost: the service texts copied and sorted ignoring case.
void BaselineSortServiceTexts(benchmark::State& state)
{
    const std::vector<kv::Record> rows = kvbench::makeRecords(kvbench::LargestDatabase);
    for (auto _ : state) {
        std::vector<std::string> services;
        services.reserve(rows.size());
        for (const kv::Record& row : rows)
            services.push_back(row.service);
        std::stable_sort(services.begin(), services.end(), [](const std::string& a, const std::string& b) {
            return ::strcasecmp(a.c_str(), b.c_str()) < 0;
        });
        benchmark::DoNotOptimize(services.data());
    }
}

void SortLargestDatabase(benchmark::State& state)
{
    Window w(g_large);
    for (auto _ : state) {
        w.window.model().sortOnHeaderClick(kv::ColService);
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(AddAtTenRows)->Unit(benchmark::kMillisecond);
BENCHMARK(AddAtLargestDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineReadWriteSyncRename)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(RemoveAtLargestDatabase)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BaselineSortServiceTexts)->Unit(benchmark::kMillisecond);
BENCHMARK(SortLargestDatabase)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<kv::Record> largest = kvbench::makeRecords(kvbench::LargestDatabase);
    g_large = kvbench::makeDatabaseFolder(largest, "large");
    g_small = kvbench::makeDatabaseFolder(std::vector<kv::Record>(largest.begin(), largest.begin() + 10), "small");
    benchmark::Initialize(&argc, argv);
    kvbench::RatioReporter reporter({
        {"add", "AddAtLargestDatabase", "AddAtTenRows", 1.2},
        {"full save (Remove)", "RemoveAtLargestDatabase", "BaselineReadWriteSyncRename", 1.5},
        {"sort", "SortLargestDatabase", "BaselineSortServiceTexts", 2.0},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(g_large);
    std::filesystem::remove_all(g_small);
    return 0;
}
