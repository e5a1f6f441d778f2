// The recovery copy of a library of a million entries, taken while the
// window runs: how long the window stands still at worst (the UI thread's
// slices), and how long until the copy is on disk (the worker's write
// included).
//
//   worst_stall_ms  the longest gap between two ticks of a 5 ms timer (the
//                   tick's own 5 ms and the system's scheduling included)
//   slice_ms        the longest slice of the copy on the UI thread, on the
//                   clock and (slice_cpu_ms) in the thread's CPU time, which
//                   leaves out the time other programs had the processor
//   copy_ms         from the change until the copy is written

#include "BenchSupport.h"
#include "Document.h"
#include "DocumentController.h"
#include "GuiBenchSupport.h"
#include "RecoveryKeeper.h"
#include "SyntheticLibrary.h"
#include "TessaryApp.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace tessary;
using namespace tessary::bench;

void BM_RecoveryCopyOfAMillionEntries(benchmark::State& state)
{
    CTessaryApp& app = *CTessaryApp::Instance();
    CTessaryDoc& doc = *app.Document();
    app.Controller()->AdoptRecoveredRoots(MakeSyntheticLibrary());
    std::vector<double> stalls;
    std::vector<double> copies;
    for (auto _ : state) {
        doc.SetModifiedFlag(true); // a change: the next poll takes a copy
        const std::uint64_t serial = doc.GetChangeSerial();
        const WindowRun run = RunInWindow([&] {
            while (app.Recovery()->WrittenSerial() != serial)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
        state.SetIterationTime(run.seconds);
        stalls.push_back(run.worstStallMs);
        copies.push_back(run.seconds * 1000);
    }
    state.counters["worst_stall_ms"] = *std::max_element(stalls.begin(), stalls.end());
    state.counters["slice_ms"] = app.Recovery()->LongestSliceMs();
    state.counters["slice_cpu_ms"] = app.Recovery()->LongestSliceCpuMs();
    state.counters["copy_ms"] = Median(copies);
    state.counters["entries"] = 1'000'000;
}
BENCHMARK(BM_RecoveryCopyOfAMillionEntries)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Copies as soon as the library changes, into a folder of the run's own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    qputenv("TESSARY_RECOVERY_INTERVAL_MS", "0");
    return RunMainWindowBenchmarks(argc, argv);
}
