#include "summary.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <vector>

namespace bench {

namespace {

std::vector<Comparison>& comparisons() {
    static std::vector<Comparison> lines;
    return lines;
}

struct Figures {
    double wallMs = 0;
    double cpuMs = 0;
    benchmark::UserCounters counters;
};

double toMs(double value, benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kNanosecond:
        return value / 1e6;
    case benchmark::kMicrosecond:
        return value / 1e3;
    case benchmark::kMillisecond:
        return value;
    case benchmark::kSecond:
        return value * 1e3;
    }
    return value;
}

// The console table as usual, keeping each run's figures for the summary.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal (this reporter replaces the library's, which reads
    // --benchmark_color; --benchmark_out still writes JSON beside it).
    RecordingReporter() : benchmark::ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            Figures f;
            f.wallMs = toMs(run.GetAdjustedRealTime(), run.time_unit);
            f.cpuMs = toMs(run.GetAdjustedCPUTime(), run.time_unit);
            // Work done in a child process: its own CPU time, not this process's waiting.
            if (auto child = run.counters.find("child_cpu_ms"); child != run.counters.end())
                f.cpuMs = child->second.value;
            f.counters = run.counters;
            figures[name] = f;
        }
    }

    std::map<std::string, Figures> figures;
};

} // namespace

bool Compare(const Comparison& line) {
    comparisons().push_back(line);
    return true;
}

int RunWithSummary(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    bool header = false;
    for (const Comparison& c : comparisons()) {
        const auto o = reporter.figures.find(c.oldRun);
        const auto n = reporter.figures.find(c.newRun);
        if (o == reporter.figures.end() || n == reporter.figures.end())
            continue;
        if (!header) {
            std::printf("\nNew against old, same run (new / old):\n");
            header = true;
        }
        if (c.counter.empty()) {
            std::printf("  %-70s %10.1f / %8.1f ms  against %10.1f / %8.1f ms  wall %6.3fx  cpu %6.3fx\n",
                        c.label.c_str(), n->second.wallMs, n->second.cpuMs, o->second.wallMs, o->second.cpuMs,
                        n->second.wallMs / o->second.wallMs, n->second.cpuMs / o->second.cpuMs);
            continue;
        }
        const auto oc = o->second.counters.find(c.counter);
        const auto nc = n->second.counters.find(c.counter);
        if (oc == o->second.counters.end() || nc == n->second.counters.end())
            continue;
        std::printf("  %-70s %10.1f %s  against %10.1f %s  %6.3fx\n", c.label.c_str(), nc->second.value,
                    c.counter.c_str(), oc->second.value, c.counter.c_str(), nc->second.value / oc->second.value);
    }
    std::fflush(stdout);
    return 0;
}

} // namespace bench
