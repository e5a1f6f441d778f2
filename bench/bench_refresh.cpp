// Refreshing an imported tree of a million entries, against a fresh import
// of the same tree, both as tessary-cli runs them:
//
//   scan:    scan the folder into a new category, save the library;
//   refresh: open the library, scan the folder, compare, merge, and save
//            when anything changed.
//
// BM_RefreshUnchanged refreshes a library of the tree from the tree itself;
// BM_RefreshChanged from a copy in which 10 % of the files changed (size or
// time), 1 % are removed and 1 % added. The two runs alternate in every
// iteration, so that drift of the shared machine hits both alike; the
// reported ratio is the median over the iterations.
//
// Memory: `scan_tree_MB` is the new scan's own tree (entries, texts and
// lists as the allocators hand them out), `plan_MB` what the plan holds once
// the comparison is done (the scanned tree is consumed as it is compared),
// `report_MB` the report's paths; `memory_ratio` is the largest of those
// against the scan's tree.
//
//   TESSARY_BENCH_TREE           the tree (default /work/bench-tree, else /tmp/bench-tree),
//                                made by make_tree.py with its defaults
//   TESSARY_BENCH_CHANGED_TREE   the changed copy (default /tmp/refresh-bench-changed),
//                                made on first use with TESSARY_MAKE_TREE
//                                (default /work/shared/bench/make_tree.py)

#include "BenchSupport.h"
#include "Document.h"
#include "Refresh.h"
#include "SyntheticLibrary.h"
#include "TextCodec.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace tessary;
using namespace tessary::bench;
namespace fs = std::filesystem;

std::string Env(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

// Changes a fresh copy of the tree: of every hundred files (chosen by a hash
// of the path, so the same ones every time) ten change, one goes, and one
// gets a new sibling.
void ChangeTree(const std::string& root)
{
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file() && !it->is_symlink())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::size_t added = 0;
    for (const fs::path& f : files) {
        std::size_t h = std::hash<std::string>()(f.string()) % 100;
        if (h < 5) {
            fs::resize_file(f, fs::file_size(f) + 1); // sparse: costs no blocks
        } else if (h < 10) {
            fs::last_write_time(f, fs::last_write_time(f) + std::chrono::seconds(1));
        } else if (h == 10) {
            fs::remove(f);
        } else if (h == 11) {
            std::ofstream(f.parent_path() / ("refresh-added-" + std::to_string(added++) + ".dat")) << "new";
        }
    }
}

std::string ChangedTree()
{
    const std::string root = Env("TESSARY_BENCH_CHANGED_TREE", "/tmp/refresh-bench-changed");
    if (IsFolder(root))
        return root;
    const std::string part = root + ".part";
    fs::remove_all(part);
    const std::string script = Env("TESSARY_MAKE_TREE", "/work/shared/bench/make_tree.py");
    const std::string cmd = "python3 '" + script + "' --root '" + part + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0)
        return {};
    ChangeTree(part);
    fs::rename(part, root);
    return root;
}

// A library of the tree at `tree`, saved once per process; its root category
// names `refreshFrom`, so that the same library serves the changed copy.
std::string LibraryOf(const std::string& tree, const std::string& refreshFrom, const std::string& file)
{
    CTessaryDoc doc;
    doc.AddRoot(CreateRootFolderCategory("bench", DiskToGb(tree)));
    static_cast<CPathCategory*>(doc.GetRootList()[0])->m_strPath = DiskToGb(refreshFrom);
    doc.OnSaveDocument(file);
    return file;
}

double CliScan(const std::string& tree)
{
    auto start = Clock::now();
    auto doc = std::make_unique<CTessaryDoc>();
    doc->AddRoot(CreateRootFolderCategory("bench", DiskToGb(tree)));
    doc->OnSaveDocument("/tmp/refresh-bench-scan.dli");
    double s = Since(start);
    doc.reset(); // outside the measured time, as in the refresh
    return s;
}

struct RefreshRun {
    double total = 0, load = 0, scan = 0, compare = 0, save = 0;
    RefreshReport report;
    std::size_t treeBytes = 0, planBytes = 0, reportBytes = 0;
};

std::size_t ReportBytes(const RefreshReport& r)
{
    std::size_t n = 0;
    for (const auto* list : { &r.addedEntries, &r.removedEntries, &r.changedEntries, &r.keptMissingEntries,
             &r.staleEntries, &r.reextractedEntries }) {
        n += list->capacity() * sizeof(RefreshReportEntry);
        for (const RefreshReportEntry& e : *list)
            n += e.path.capacity() + 1;
    }
    return n;
}

RefreshRun CliRefresh(const std::string& library, bool measureMemory)
{
    RefreshRun run;
    auto doc = std::make_unique<CTessaryDoc>();
    auto t = Clock::now();
    doc->OnOpenDocument(library);
    run.load = Since(t);
    CCategory* root = doc->GetRootList()[0];
    t = Clock::now();
    RefreshScan scan = ScanForRefresh(RefreshSourceFor(*root));
    run.scan = Since(t);
    if (measureMemory) {
        RootList tree;
        tree.push_back(std::move(scan.tree));
        run.treeBytes = bench::LibraryBytes(tree);
        scan.tree = std::move(tree[0]);
    }
    t = Clock::now();
    RefreshPlan plan = PlanRefresh(*root, std::move(scan));
    double planned = Since(t);
    if (measureMemory)
        run.planBytes = plan.HeldBytes();
    t = Clock::now();
    run.report = ApplyRefresh(*doc, plan, {});
    run.compare = planned + Since(t);
    if (measureMemory)
        run.reportBytes = ReportBytes(run.report);
    t = Clock::now();
    if (doc->IsModified())
        doc->OnSaveDocument("/tmp/refresh-bench-refreshed.dli");
    run.save = Since(t);
    run.total = run.load + run.scan + run.compare + run.save;
    doc.reset();
    return run;
}

void RunAgainstScan(benchmark::State& state, const std::string& tree, const std::string& library)
{
    CliScan(tree); // warm the cache
    RefreshRun first = CliRefresh(library, true);
    std::vector<double> ratios, scans, refreshes, loads, compares, saves;
    for (auto _ : state) {
        double s = CliScan(tree);
        RefreshRun r = CliRefresh(library, false);
        state.SetIterationTime(r.total);
        scans.push_back(s);
        refreshes.push_back(r.total);
        loads.push_back(r.load);
        compares.push_back(r.compare);
        saves.push_back(r.save);
        ratios.push_back(r.total / s);
    }
    const double MB = 1024.0 * 1024.0;
    state.counters["scan_s"] = Median(scans);
    state.counters["refresh_s"] = Median(refreshes);
    state.counters["ratio"] = Median(ratios);
    state.counters["load_s"] = Median(loads);
    state.counters["compare_s"] = Median(compares);
    state.counters["save_s"] = Median(saves);
    state.counters["added"] = static_cast<double>(first.report.added);
    state.counters["removed"] = static_cast<double>(first.report.removed);
    state.counters["changed"] = static_cast<double>(first.report.changed);
    state.counters["scan_tree_MB"] = static_cast<double>(first.treeBytes) / MB;
    state.counters["plan_MB"] = static_cast<double>(first.planBytes) / MB;
    state.counters["report_MB"] = static_cast<double>(first.reportBytes) / MB;
    state.counters["memory_ratio"] = static_cast<double>(std::max(first.planBytes, first.reportBytes))
        / static_cast<double>(std::max<std::size_t>(first.treeBytes, 1));
}

void BM_RefreshUnchanged(benchmark::State& state)
{
    const std::string tree = BenchTreeRoot();
    if (!IsFolder(tree)) {
        state.SkipWithError("no benchmark tree: run make_tree.py --root /tmp/bench-tree");
        return;
    }
    static const std::string library = LibraryOf(tree, tree, "/tmp/refresh-bench-unchanged.dli");
    RunAgainstScan(state, tree, library);
}
BENCHMARK(BM_RefreshUnchanged)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_RefreshChanged(benchmark::State& state)
{
    const std::string tree = BenchTreeRoot();
    const std::string changed = IsFolder(tree) ? ChangedTree() : std::string();
    if (changed.empty()) {
        state.SkipWithError("no benchmark tree, or make_tree.py could not make the changed copy");
        return;
    }
    static const std::string library = LibraryOf(tree, changed, "/tmp/refresh-bench-changed.dli");
    RunAgainstScan(state, changed, library);
}
BENCHMARK(BM_RefreshChanged)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
