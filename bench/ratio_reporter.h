#pragma once
// Prints the usual table, then each figure as a ratio to the baseline measured in
// the same run, so the numbers mean something on any machine. Lines that start
// with "TABLE|" are what scripts/bench gathers into its summary.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kvbench {

struct Target
{
    std::string figure;   // what the row is about, as the summary names it
    std::string measured; // benchmark names
    std::string baseline;
    double most; // the largest ratio that meets the target; 0 for none
    // A benchmark whose time is taken off the measured one first: a fixed cost
    // the measured run cannot leave out (a key derivation), measured on its own.
    std::string less = {};
    // A fixed time in milliseconds that the measured one must keep within, in place
    // of a baseline benchmark (then named by `baseline` alone).
    double budgetMs = 0;
};

// One summary row: figure, the two times in milliseconds, their ratio, the target.
inline void printTableRow(const std::string& figure, const std::string& measured, const std::string& baseline,
                          double ratio, double most)
{
    const char* verdict = most <= 0 ? "-" : ratio <= most ? "meets" : "falls short";
    std::printf("TABLE|%s|%s|%s|%.2fx|%s|%s\n", figure.c_str(), measured.c_str(), baseline.c_str(), ratio,
                most > 0 ? ("<= " + std::to_string(most).substr(0, 4) + "x").c_str() : "-", verdict);
}

inline std::string milliseconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, ms < 1 ? "%.3f ms" : "%.1f ms", ms);
    return text;
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    explicit RatioReporter(std::vector<Target> targets) : m_targets(std::move(targets)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Times in milliseconds whatever unit the benchmark prints in.
            // Named without a fixed iteration count ("Name/iterations:30").
            std::string name = run.benchmark_name();
            name = name.substr(0, name.find('/'));
            m_times[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nRatios to the baseline of the same run (real time):\n");
        for (const Target& t : m_targets) {
            const bool budget = t.budgetMs > 0;
            if (!m_times.count(t.measured) || (!budget && (!m_times.count(t.baseline) || m_times[t.baseline] <= 0)) ||
                (!t.less.empty() && !m_times.count(t.less)))
                continue;
            const double measured = m_times[t.measured] - (t.less.empty() ? 0 : m_times[t.less]);
            const double base = budget ? t.budgetMs : m_times[t.baseline];
            const double ratio = measured / base;
            const std::string name = t.less.empty() ? t.measured : "(" + t.measured + " - " + t.less + ")";
            std::printf("  %-28s / %-28s = %6.2fx\n", name.c_str(), t.baseline.c_str(), ratio);
            printTableRow(t.figure, milliseconds(measured),
                          budget ? milliseconds(base) + " (" + t.baseline + ")" : milliseconds(base), ratio, t.most);
        }
    }

private:
    std::vector<Target> m_targets;
    std::map<std::string, double> m_times;
};

} // namespace kvbench
