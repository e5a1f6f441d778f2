// Resident memory of the process around a library of a million entries:
// before it, with it loaded, and after New. What New leaves above the fresh
// start is what closing a big library costs the rest of the session.
//
// And the peak while opening the ten-million-entry library, against the
// memory the library itself then holds (the file is kept in
// /work/bench-data, or the folder TESSARY_BENCH_DATA names).
//
//   bench_memory [--benchmark_filter=...]
// The scan variant reads the tree at TESSARY_BENCH_TREE (default
// /tmp/bench-tree) with two threads; it is skipped when there is none.

#include "BenchSupport.h"
#include "Document.h"
#include "Scan.h"
#include "SmallPool.h"
#include "SyntheticLibrary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace tessary::bench;

using namespace tessary;

const std::string kBig = "/tmp/tessary-bench-memory-big.dli";
const std::string kSmall = "/tmp/tessary-bench-memory-small.dli";

double ResidentMB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The two library files, written once; made without growing this process
// for good (the pool gives the memory back when the document is emptied).
void MakeFiles()
{
    static bool made = false;
    if (made)
        return;
    made = true;
    CTessaryDoc doc;
    RootList roots = bench::MakeSyntheticLibrary();
    for (auto& r : roots)
        doc.AddRoot(r.release());
    doc.OnSaveDocument(kBig);
    doc.OnNewDocument();
    doc.AddRoot(new CCustomCategory("small"));
    doc.OnSaveDocument(kSmall);
    doc.OnNewDocument();
}

void Report(benchmark::State& state, double fresh, double loaded, double after)
{
    state.counters["fresh_MB"] = fresh;
    state.counters["loaded_MB"] = loaded;
    state.counters["after_MB"] = after;
    state.counters["kept_MB"] = after - fresh; // the figure to watch: at most 20
}

// Open the big library, then New (or Open of a small one).
void BM_ResidentAfterClosingABigLibrary(benchmark::State& state)
{
    MakeFiles();
    const bool openSmall = state.range(0) != 0;
    double fresh = 0, loaded = 0, after = 0, closing = 0;
    for (auto _ : state) {
        CTessaryDoc doc;
        doc.OnNewDocument();
        fresh = ResidentMB();
        doc.OnOpenDocument(kBig);
        loaded = ResidentMB();
        const auto start = Clock::now();
        if (openSmall)
            doc.OnOpenDocument(kSmall);
        else
            doc.OnNewDocument();
        closing = Since(start);
        after = ResidentMB();
    }
    Report(state, fresh, loaded, after);
    state.counters["close_s"] = closing; // destroying the library and giving the memory back
}
BENCHMARK(BM_ResidentAfterClosingABigLibrary)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

// The same for a library scanned on two threads, whose entries were made on
// threads that have ended by the time the library is closed.
void BM_ResidentAfterClosingAScannedTree(benchmark::State& state)
{
    const std::string tree = BenchTreeRoot();
    if (!IsFolder(tree)) {
        state.SkipWithError("no benchmark tree: run make_tree.py --root /tmp/bench-tree");
        return;
    }
    double fresh = 0, loaded = 0, after = 0;
    for (auto _ : state) {
        CTessaryDoc doc;
        doc.OnNewDocument();
        fresh = ResidentMB();
        auto* root = new CRootFolderCategory("tree", tree);
        ScanOptions options;
        options.threads = 2;
        ScanFolderInto(*root, tree, options);
        doc.AddRoot(root);
        loaded = ResidentMB();
        doc.OnNewDocument();
        after = ResidentMB();
    }
    Report(state, fresh, loaded, after);
}
BENCHMARK(BM_ResidentAfterClosingAScannedTree)->Iterations(2)->Unit(benchmark::kMillisecond);

// The process's peak resident memory since the last ResetPeak, in MB.
double PeakMB()
{
    double kb = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %lf kB", &kb) == 1)
                break;
        std::fclose(f);
    }
    return kb / 1024.0;
}

void ResetPeak()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// Opening the ten-million-entry library: the peak above the fresh start
// against what the loaded library holds (peak_ratio, at most 1.1), and the
// same for reading the whole file into memory first and parsing it there
// (whole_file_ratio, for comparison).
void BM_PeakWhileOpeningTenMillionEntries(benchmark::State& state)
{
    const char* dir = std::getenv("TESSARY_BENCH_DATA");
    const std::string folder = dir ? dir : "/work/bench-data";
    ::mkdir(folder.c_str(), 0777);
    const std::string path = MergedLibraryFile(folder + "/merged-10x1M.dli");
    double fresh = 0, peak = 0, loaded = 0, wholePeak = 0, wholeLoaded = 0, wholeFresh = 0, seconds = 0;
    for (auto _ : state) {
        {
            CTessaryDoc doc;
            doc.OnNewDocument();
            fresh = ResidentMB();
            ResetPeak();
            const auto start = Clock::now();
            doc.OnOpenDocument(path);
            seconds = Since(start);
            peak = PeakMB();
            loaded = ResidentMB();
            doc.OnNewDocument();
        }
        {
            wholeFresh = ResidentMB();
            ResetPeak();
            FileBytes bytes = ReadAllAndClose(OpenLibraryForReading(path), path);
            RootList roots = ReadLibrary(bytes.view());
            bytes.Release();
            wholePeak = PeakMB();
            wholeLoaded = ResidentMB();
            roots.clear();
            ReleaseFreeMemory();
        }
    }
    state.counters["open_s"] = seconds;
    state.counters["library_MB"] = loaded - fresh;
    state.counters["peak_MB"] = peak - fresh;
    state.counters["peak_ratio"] = (peak - fresh) / (loaded - fresh);
    state.counters["whole_file_ratio"] = (wholePeak - wholeFresh) / (wholeLoaded - wholeFresh);
}
BENCHMARK(BM_PeakWhileOpeningTenMillionEntries)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
