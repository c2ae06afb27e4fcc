#pragma once
// Prints the usual table, then each measured figure as a ratio to the baseline
// measured in the same run, so the numbers mean something on any machine.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kvbench {

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // Pairs of (measured, baseline) benchmark names.
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs) : m_pairs(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nRatios to the baseline of the same run (real time):\n");
        for (const auto& [measured, baseline] : m_pairs) {
            if (m_times.count(measured) && m_times.count(baseline) && m_times[baseline] > 0)
                std::printf("  %-22s / %-20s = %6.1fx\n", measured.c_str(), baseline.c_str(),
                            m_times[measured] / m_times[baseline]);
        }
    }

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
    std::map<std::string, double> m_times;
};

} // namespace kvbench
