#pragma once

// Small helpers every benchmark program shares.

#include <chrono>
#include <string>

namespace tessary::bench {

using Clock = std::chrono::steady_clock;

// Seconds from `start` until now.
inline double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Whether `path` names a folder.
bool IsFolder(const std::string& path);

// The big folder tree the scan, import and refresh benchmarks read: the
// folder TESSARY_BENCH_TREE names, else /work/bench-tree or /tmp/bench-tree,
// whichever exists (made with make_tree.py of the shared benchmark tools).
std::string BenchTreeRoot();

} // namespace tessary::bench
