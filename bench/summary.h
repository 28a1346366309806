#pragma once

// The summary printed after the benchmark table: each figure of the new way beside the figure of
// the old way measured in the same run, with their ratio.

#include <string>

namespace bench {

// One line of the summary: the runs are named as the table names them without its suffixes
// ("BM_Refresh/1000/0"); counter empty compares the times, else that counter of both runs.
// A line whose runs were filtered out of the run is left out.
struct Comparison {
    std::string label;
    std::string oldRun;
    std::string newRun;
    std::string counter;
};

// Adds a line; benchmark files call it while their benchmarks are registered. Returns true so it
// can initialise a static.
bool Compare(const Comparison& line);

// Runs the benchmarks the command line selects and prints the summary after them.
int RunWithSummary(int argc, char** argv);

} // namespace bench
