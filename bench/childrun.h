#pragma once

// Runs programs as child processes and reads each one's wall time, CPU time and peak memory.
//
// A child's peak resident memory as the kernel reports it (ru_maxrss) starts from the memory of the
// process it was forked from, as it was at the exec. Forked from a benchmark that holds open fleets
// it would read as that benchmark's memory, so the children are started by a small helper process
// forked at the very start of main, before anything large is loaded.

#include <string>
#include <vector>

namespace bench {

// Forks the helper; call first thing in main, before any thread is started.
void StartChildRunner();

struct ChildRun {
    bool ok = false; // started and exited with status 0
    double wallMs = 0;
    double cpuMs = 0; // user and system time of the child
    long peakRssKb = 0;
};

// Runs argv[0] (a path) with standard input from inputPath, standard output discarded and standard
// error written to errorPath, and waits for it.
ChildRun RunChild(const std::vector<std::string>& argv, const std::string& inputPath, const std::string& errorPath);

} // namespace bench
