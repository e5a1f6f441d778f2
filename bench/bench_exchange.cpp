// Search results in the output bar, and the library exchange commands, on
// libraries of a million entries, on the offscreen platform. Each figure of
// the bar is the time until it can paint, painting its visible rows once
// included.
//
//   BM_SearchAllToBar        a search matching every data item (950,000 of
//                            1,000,000 entries): the walk, handing the list
//                            to the bar, the status text and the paint
//   BM_SortResults/<column>  the first click on a column title of the bar
//   BM_RemoveDeletedRows     the bar dropping the rows of a category about
//                            to be deleted that holds 500,000 of the results
//   BM_ImportVsOpen          merging a 1,000,000-entry library file into a
//                            category with the import command (tree and list
//                            brought up to date), against opening the same
//                            file (counters open_ms, import_ms, ratio)
//   BM_ExportVsSave          exporting a 1,000,000-entry category with the
//                            export command against saving the library
//                            (counters save_ms, export_ms, ratio)
//   BM_DuplicatesToBar       two copies of one 500,000-entry drive: finding
//                            the duplicates of the whole library and listing
//                            the 950,000 copies in the bar, groups kept
//   BM_SortDuplicates/<col>  the first click on a column title of the bar
//                            over those grouped rows

#include "BenchSupport.h"
#include "CategoryView.h"
#include "Copies.h"
#include "Datum.h"
#include "ExchangeCommands.h"
#include "GuiBenchSupport.h"
#include "OutputBar.h"
#include "SearchCriteria.h"
#include "SyntheticLibrary.h"
#include "TessaryView.h"
#include "UserPrompts.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QSplitter>
#include <QTreeView>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using namespace tessary;
using namespace tessary::bench;

const char* const kLibraryPath = "/tmp/tessary-bench-exchange.dli";
const char* const kSavePath = "/tmp/tessary-bench-exchange-save.dli";
const char* const kExportPath = "/tmp/tessary-bench-exchange-export.dli";

// A main window with both panes and the output bar docked below.
struct Window {
    CTessaryDoc doc;
    std::unique_ptr<QMainWindow> frame = std::make_unique<QMainWindow>();
    QSplitter* splitter = new QSplitter(frame.get());
    CCategoryView* tree = new CCategoryView(doc, splitter);
    CTessaryView* list = new CTessaryView(doc, splitter);
    COutputBar* bar = new COutputBar(frame.get());

    Window()
    {
        doc.OnNewDocument();
        list->SetTreeView(tree);
        frame->setCentralWidget(splitter);
        bar->SetDocument(&doc);
        bar->SetViews(tree, list);
        frame->addDockWidget(Qt::BottomDockWidgetArea, bar);
        frame->resize(1150, 800);
        frame->show();
        bar->show();
        QApplication::processEvents();
    }
    ~Window() { frame.reset(); }

    void PaintBar() { bar->ResultList()->viewport()->grab(); }
};

// One custom root holding two imported drives: "a" with 500,000 files and
// "b" with 450,000, 50,000 folders in all: 1,000,003 entries.
struct SearchWorld {
    Window w;
    CCategory* all = new CCustomCategory("all");
    CCategory* a = nullptr;
    CCategory* b = nullptr;

    SearchWorld()
    {
        RootList first = bench::MakeSyntheticLibrary({ 25000, 500000, 1 });
        RootList second = bench::MakeSyntheticLibrary({ 25000, 450000, 2 });
        a = first.front().release();
        b = second.front().release();
        all->AddSubCategory(a);
        all->AddSubCategory(b);
        w.doc.AddRoot(all);
        w.doc.InitialUpdateAllViews();
    }
    std::vector<CDatum*> SearchAll() const
    {
        const CSearchCriteria everything; // AND, nothing set: every data item
        std::vector<CDatum*> results;
        all->CollectMatches(everything, results);
        return results;
    }
};

SearchWorld& Shared()
{
    static SearchWorld* world = new SearchWorld;
    return *world;
}

void BM_SearchAllToBar(benchmark::State& state)
{
    SearchWorld& s = Shared();
    for (auto _ : state) {
        s.w.bar->Clear();
        s.w.PaintBar();
        const auto start = Clock::now();
        std::vector<CDatum*> results = s.SearchAll();
        s.w.bar->show();
        s.w.bar->SetResults(std::move(results));
        s.w.PaintBar();
        state.SetIterationTime(Since(start));
    }
    state.counters["rows"] = s.w.bar->RowCount();
}

void BM_SortResults(benchmark::State& state)
{
    SearchWorld& s = Shared();
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        s.w.bar->SetResults(s.SearchAll());
        s.w.bar->Sorter().SortByColumn(-1); // the next click sorts ascending
        s.w.PaintBar();
        const auto start = Clock::now();
        s.w.bar->Sorter().SortByColumn(column);
        s.w.PaintBar();
        state.SetIterationTime(Since(start));
    }
}

void BM_RemoveDeletedRows(benchmark::State& state)
{
    SearchWorld& s = Shared();
    for (auto _ : state) {
        s.w.bar->SetResults(s.SearchAll());
        s.w.PaintBar();
        const CItem* going[] = { s.a };
        const auto start = Clock::now();
        s.w.bar->OnEntriesRemoving(going);
        s.w.PaintBar();
        state.SetIterationTime(Since(start));
        state.counters["rows_left"] = s.w.bar->RowCount();
    }
}

// The library both benchmarks read, written once per run.
void WriteSyntheticLibrary()
{
    static bool written = false;
    if (!written)
        bench::WriteSyntheticLibraryFile(kLibraryPath);
    written = true;
}

void BM_ImportVsOpen(benchmark::State& state)
{
    WriteSyntheticLibrary();
    CBenchPrompts prompts;
    prompts.libraryToImport = QString::fromLatin1(kLibraryPath);
    prompts.exportFile = QString::fromLatin1(kExportPath);
    SetPrompts(&prompts);
    // The best run of each: the machine's noise only adds time.
    double open = 1e9, import = 1e9;
    for (auto _ : state) {
        {
            CTessaryDoc doc;
            const auto start = Clock::now();
            doc.OnOpenDocument(kLibraryPath);
            open = std::min(open, Since(start));
        }
        Window w;
        auto* target = new CCustomCategory("target");
        w.doc.AddRoot(target);
        w.doc.InitialUpdateAllViews();
        w.tree->RevealEntry(target);
        const auto start = Clock::now();
        CImportLibraryCmd(w.doc, *w.tree).Execute();
        QApplication::processEvents();
        const double took = Since(start);
        import = std::min(import, took);
        state.SetIterationTime(took);
    }
    SetPrompts(nullptr);
    state.counters["open_ms"] = open * 1000;
    state.counters["import_ms"] = import * 1000;
    state.counters["ratio"] = import / open;
}

void BM_ExportVsSave(benchmark::State& state)
{
    WriteSyntheticLibrary();
    CBenchPrompts prompts;
    prompts.libraryToImport = QString::fromLatin1(kLibraryPath);
    prompts.exportFile = QString::fromLatin1(kExportPath);
    SetPrompts(&prompts);
    Window w;
    w.doc.OnOpenDocument(kLibraryPath);
    w.doc.InitialUpdateAllViews();
    w.tree->RevealEntry(w.doc.GetRootList()[0]);
    double save = 1e9, exported = 1e9;
    for (auto _ : state) {
        auto start = Clock::now();
        w.doc.OnSaveDocument(kSavePath);
        save = std::min(save, Since(start));
        start = Clock::now();
        CExportCmd(w.doc, w.frame.get()).Execute();
        const double took = Since(start);
        exported = std::min(exported, took);
        state.SetIterationTime(took);
    }
    SetPrompts(nullptr);
    state.counters["save_ms"] = save * 1000;
    state.counters["export_ms"] = exported * 1000;
    state.counters["ratio"] = exported / save;
    std::remove(kSavePath);
    std::remove(kExportPath);
}

// Two copies of one drive below one root: every file has one copy.
struct CopiesWorld {
    Window w;
    std::vector<const CCategory*> roots;

    CopiesWorld()
    {
        auto* all = new CCustomCategory("all");
        for (int copy = 0; copy < 2; ++copy)
            all->AddSubCategory(bench::MakeSyntheticLibrary({ 25000, 475000, 1 }).front().release());
        w.doc.AddRoot(all);
        w.doc.InitialUpdateAllViews();
        roots.push_back(all);
    }
};

CopiesWorld& SharedCopies()
{
    static CopiesWorld* world = new CopiesWorld;
    return *world;
}

void BM_DuplicatesToBar(benchmark::State& state)
{
    CopiesWorld& s = SharedCopies();
    for (auto _ : state) {
        s.w.bar->Clear();
        s.w.PaintBar();
        const auto start = Clock::now();
        const DuplicateGroups found = FindDuplicates(s.roots);
        s.w.bar->SetDuplicates(found);
        s.w.PaintBar();
        state.SetIterationTime(Since(start));
    }
    state.counters["rows"] = s.w.bar->RowCount();
}

void BM_SortDuplicates(benchmark::State& state)
{
    CopiesWorld& s = SharedCopies();
    const int column = static_cast<int>(state.range(0));
    const DuplicateGroups found = FindDuplicates(s.roots);
    for (auto _ : state) {
        s.w.bar->SetDuplicates(found);
        s.w.bar->Sorter().SortByColumn(-1);
        s.w.PaintBar();
        const auto start = Clock::now();
        s.w.bar->Sorter().SortByColumn(column);
        s.w.PaintBar();
        state.SetIterationTime(Since(start));
    }
}

BENCHMARK(BM_SearchAllToBar)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortResults)->DenseRange(0, 4)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveDeletedRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportVsOpen)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportVsSave)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DuplicatesToBar)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortDuplicates)->DenseRange(0, 4)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const int status = tessary::bench::RunGuiBenchmarks(argc, argv);
    std::remove(kLibraryPath);
    return status;
}
