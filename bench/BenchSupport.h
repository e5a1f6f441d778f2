#pragma once

// Small helpers every benchmark program shares.

#include <chrono>
#include <string>
#include <vector>

namespace tessary::bench {

using Clock = std::chrono::steady_clock;

// Seconds from `start` until now.
inline double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The middle value of `values` (the upper one of the two middle values for
// an even count); the runs of a shared machine vary, and the median shrugs
// off the odd slow one.
double Median(std::vector<double> values);

// Seconds that a folder import of `root` takes as `tessary-cli scan` runs it:
// on a thread of its own, whose small-block pool has never been used, as in
// a fresh process. The tree is destroyed afterwards, outside the time.
double DirectScanSeconds(const std::string& root);

// Whether `path` names a folder.
bool IsFolder(const std::string& path);

// The big folder tree the scan, import and refresh benchmarks read: the
// folder TESSARY_BENCH_TREE names, else /work/bench-tree or /tmp/bench-tree,
// whichever exists (made with make_tree.py of the shared benchmark tools).
std::string BenchTreeRoot();

} // namespace tessary::bench
