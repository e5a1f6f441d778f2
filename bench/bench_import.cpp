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

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace tessary;
using namespace tessary::bench;

// On a thread of its own, like the window's scan: entries come from
// per-thread pools, and a thread that has freed a tree before would build
// the next one in memory already touched, which a new process such as
// tessary-cli never does.
double DirectSeconds(const std::string& root)
{
    double seconds = 0;
    std::unique_ptr<CRootFolderCategory> category;
    std::thread([&] {
        auto start = Clock::now();
        category.reset(CreateRootFolderCategory("bench", DiskToGb(root)));
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }).join();
    return seconds;
}

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
    DirectSeconds(root); // warm the cache
    std::vector<double> ratios, stalls, direct, windowed;
    std::uint64_t entries = 0;
    for (auto _ : state) {
        const double d = DirectSeconds(root);
        const WindowImport w = ImportFromWindow(window, root);
        state.SetIterationTime(w.seconds);
        entries = w.entries;
        direct.push_back(d);
        windowed.push_back(w.seconds);
        ratios.push_back(w.seconds / d);
        stalls.push_back(w.worstStallMs);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["direct_s"] = median(direct);
    state.counters["window_s"] = median(windowed);
    state.counters["ratio"] = median(ratios);
    state.counters["stall_ms"] = median(stalls);
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
