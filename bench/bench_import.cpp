// An import from the window: the scan on a worker thread under the progress
// dialog, against the same scan called directly (as tessary-cli scan does),
// and the longest time the window's thread went without handling events.
//
//   python3 /work/shared/bench/make_tree.py --root /tmp/bench-tree
//   bench_import [--benchmark_filter=...]
// TESSARY_BENCH_TREE overrides the tree's location. Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise.

#include "BenchSupport.h"
#include "Category.h"
#include "GuiBenchSupport.h"
#include "ScanRunner.h"
#include "TextCodec.h"

#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tessary;
using namespace tessary::bench;

struct WindowImport {
    double seconds = 0;
    double worstStallMs = 0;
    std::uint64_t entries = 0;
};

// The import as a menu command starts it, with the window's stalls.
WindowImport ImportFromWindow(QWidget& window, const std::string& root)
{
    WindowImport run;
    const WindowRun timed = RunInWindow([&] {
        ScannedCategory scanned = ScanNewCategory(
            &window, QStringLiteral("bench"), ImportKind::RootFolder, "bench", DiskToGb(root));
        run.entries = scanned.report.entries;
    });
    run.seconds = timed.seconds;
    run.worstStallMs = timed.worstStallMs;
    return run;
}

// Both imports alternate in every iteration, so drift of the shared machine
// hits both alike; ratio and stall are the medians over the iterations,
// worst_stall_ms the worst of all.
void BM_ImportFromWindowAgainstDirectScan(benchmark::State& state)
{
    const std::string root = BenchTreeRoot();
    if (!IsFolder(root)) {
        state.SkipWithError("no benchmark tree: run make_tree.py --root /tmp/bench-tree");
        return;
    }
    QWidget window;
    window.resize(800, 600);
    window.show();
    DirectScanSeconds(root); // warm the cache
    std::vector<double> ratios, stalls, direct, windowed;
    std::uint64_t entries = 0;
    for (auto _ : state) {
        const double d = DirectScanSeconds(root);
        const WindowImport w = ImportFromWindow(window, root);
        state.SetIterationTime(w.seconds);
        entries = w.entries;
        direct.push_back(d);
        windowed.push_back(w.seconds);
        ratios.push_back(w.seconds / d);
        stalls.push_back(w.worstStallMs);
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["direct_s"] = Median(direct);
    state.counters["window_s"] = Median(windowed);
    state.counters["ratio"] = Median(ratios);
    state.counters["stall_ms"] = Median(stalls);
    state.counters["worst_stall_ms"] = *std::max_element(stalls.begin(), stalls.end());
}
BENCHMARK(BM_ImportFromWindowAgainstDirectScan)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tessary::bench::RunGuiBenchmarks(argc, argv);
}
