// The category tree and the item list on big libraries, on the offscreen
// platform: each figure is the time until the views can paint, painting
// the visible rows once included.
//
//   BM_SelectCategory        a tree selection that fills the list with a
//                            category of 200,000 data items
//   BM_Sort/<column>         the first click on a column title (ascending)
//   BM_SortReverse/<column>  the second click (descending)
//   BM_Filter                filtering those rows by a text
//   BM_ExpandWideCategory    expanding a category of 50,000 sub-categories
//   BM_OpenLibraryViews      the views after opening a 1,000,000-entry library
//                            (the load itself is the counter load_ms)
//   BM_DeleteSelected/<how>  deleting 100,000 selected items of the 200,000,
//                            in one block (0) or every other row (1)
//   BM_EnableRules           the list's and the toolbar's selection queries
//                            with all 200,000 rows selected
//   BM_ListMemory            heap per list row of the item list showing
//                            200,000 data items, all selected: the rows
//                            themselves (own_B) and everything the views
//                            and Qt allocated for them (total_B)
//   BM_BareListMemory/<view> the same for a list model alone in the flat
//                            list view (0), as the output bar uses it, and
//                            in a QTreeView (1) for comparison

#include "BenchSupport.h"
#include "CategoryTreeModel.h"
#include "CategoryView.h"
#include "Datum.h"
#include "EntryListModel.h"
#include "EntryListView.h"
#include "GuiBenchSupport.h"
#include "ItemRowPainter.h"
#include "PaneCommandRunner.h"
#include "ResourceIds.h"
#include "SyntheticLibrary.h"
#include "TessaryView.h"
#include "UserPrompts.h"

#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <memory>
#include <random>

namespace {

using namespace tessary;
using namespace tessary::bench;

constexpr std::size_t kItems = 200000;
constexpr std::size_t kWide = 50000;

std::string RandomName(std::mt19937& rng)
{
    static const char* const kChinese[] = { "\xCE\xC4", "\xBC\xFE", "\xB7\xD6", "\xC0\xE0", "\xD0\xC2" };
    const std::size_t len = 8 + rng() % 20;
    const bool chinese = rng() % 5 == 0;
    std::string s;
    while (s.size() < len) {
        if (chinese && rng() % 2)
            s += kChinese[rng() % 5];
        else
            s += "abcdefghijklmnopqrstuvwxyz0123456789_-"[rng() % 38];
    }
    return s;
}

// `count` scanned files in a folder of a root-folder category, with random
// names, extensions, sizes (a quarter beyond 2 GiB) and times; one in fifty
// holds content.
CRootFolderCategory* MakeFiles(std::size_t count, unsigned seed)
{
    static const char* const kExt[] = { "txt", "doc", "pdf", "jpg", "png", "html", "cpp", "", "mp3", "zip" };
    std::mt19937 rng(seed);
    auto* root = new CRootFolderCategory("files", "/media/data/files");
    root->GetDatumList().ReserveBack(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto* d = new CFileDatum;
        d->m_strName = RandomName(rng);
        d->m_strExtension = kExt[rng() % 10];
        d->m_dwSize = rng() % 4 == 0 ? rng() : rng() % 100000;
        d->m_timeModified = static_cast<Time32>(946684800 + rng() % 850000000);
        if (rng() % 50 == 0)
            d->m_strContent = "some words";
        root->AddDatum(d);
    }
    return root;
}

CRootFolderCategory* MakeWide(std::size_t count)
{
    std::mt19937 rng(7);
    auto* root = new CRootFolderCategory("wide", "/media/data/wide");
    for (std::size_t i = 0; i < count; ++i)
        root->AddSubCategory(new CFolderCategory(RandomName(rng)));
    return root;
}

// One library with both panes in a shown window.
struct Panes {
    CTessaryDoc doc;
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    CCategoryView* tree = new CCategoryView(doc, window.get());
    CTessaryView* list = new CTessaryView(doc, window.get());
    CCategory* files = nullptr;
    CCategory* wide = nullptr;
    CCategory* small = nullptr;
    CPaneCommandRunner commands { *tree, *list, doc };

    Panes()
    {
        doc.OnNewDocument();
        list->SetTreeView(tree);
        list->SetPaneCommands(&commands);
        tree->setGeometry(0, 0, 250, 700);
        list->setGeometry(250, 0, 900, 700);
        window->resize(1150, 700);
        window->show();
        QApplication::processEvents();
    }
    ~Panes() { window.reset(); }

    void Library()
    {
        files = MakeFiles(kItems, 1);
        wide = MakeWide(kWide);
        small = new CCustomCategory("small");
        doc.AddRoot(files);
        doc.AddRoot(wide);
        doc.AddRoot(small);
        doc.SetCurrentCategory(nullptr);
        doc.InitialUpdateAllViews();
        Paint();
    }
    // Lays out and paints what is visible, as the next paint event would.
    void Paint()
    {
        tree->viewport()->grab();
        list->viewport()->grab();
    }
    void SelectInTree(CCategory* c) { tree->setCurrentIndex(tree->RowOf(c)); }
};

Panes& Shared()
{
    static Panes* panes = [] {
        auto* p = new Panes;
        p->Library();
        return p;
    }();
    return *panes;
}

void BM_SelectCategory(benchmark::State& state)
{
    Panes& p = Shared();
    for (auto _ : state) {
        p.SelectInTree(p.small);
        p.Paint();
        const auto start = Clock::now();
        p.SelectInTree(p.files);
        p.Paint();
        state.SetIterationTime(Since(start));
    }
    state.counters["rows"] = p.list->RowCount();
}

void Sort(benchmark::State& state, bool reverse)
{
    Panes& p = Shared();
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        p.SelectInTree(p.small);
        p.SelectInTree(p.files); // model order again
        p.list->Sorter().SortByColumn(-1); // the next click starts ascending
        if (reverse)
            p.list->Sorter().SortByColumn(column);
        p.Paint();
        const auto start = Clock::now();
        p.list->Sorter().SortByColumn(column);
        p.Paint();
        state.SetIterationTime(Since(start));
    }
}

void BM_Sort(benchmark::State& state)
{
    Sort(state, false);
}

void BM_SortReverse(benchmark::State& state)
{
    Sort(state, true);
}

void BM_Filter(benchmark::State& state)
{
    Panes& p = Shared();
    p.SelectInTree(p.files);
    for (auto _ : state) {
        const auto start = Clock::now();
        p.list->FilterRows(QStringLiteral("AB"));
        p.Paint();
        state.SetIterationTime(Since(start));
        state.counters["matches"] = p.list->RowCount();
    }
}

void BM_ExpandWideCategory(benchmark::State& state)
{
    Panes& p = Shared();
    for (auto _ : state) {
        p.tree->RefillTree();
        p.Paint();
        const QModelIndex row = p.tree->RowOf(p.wide);
        const auto start = Clock::now();
        p.tree->expand(row);
        p.Paint();
        state.SetIterationTime(Since(start));
        state.counters["rows"] = p.tree->TreeModel()->rowCount(row);
    }
}

void BM_OpenLibraryViews(benchmark::State& state)
{
    const std::string path = "/tmp/tessary-bench-views.dli";
    bench::WriteSyntheticLibraryFile(path);
    Panes p;
    double load = 0;
    for (auto _ : state) {
        p.doc.OnNewDocument();
        p.doc.InitialUpdateAllViews();
        p.Paint();
        auto start = Clock::now();
        p.doc.OnOpenDocument(path);
        load = Since(start);
        start = Clock::now();
        p.doc.InitialUpdateAllViews();
        p.Paint();
        state.SetIterationTime(Since(start));
    }
    state.counters["load_ms"] = load * 1000;
}

void BM_DeleteSelected(benchmark::State& state)
{
    CBenchPrompts yes;
    SetPrompts(&yes);
    const bool scattered = state.range(0) != 0;
    for (auto _ : state) {
        Panes p;
        CCategory* files = MakeFiles(kItems, 2);
        p.doc.AddRoot(files);
        p.doc.SetCurrentCategory(nullptr);
        p.doc.InitialUpdateAllViews();
        p.SelectInTree(files);
        QItemSelection selection;
        if (scattered) {
            for (int row = 0; row < static_cast<int>(kItems); row += 2)
                selection.select(
                    p.list->model()->index(row, 0), p.list->model()->index(row, kEntryColumnCount - 1));
        } else {
            selection.select(p.list->model()->index(0, 0),
                p.list->model()->index(static_cast<int>(kItems / 2) - 1, kEntryColumnCount - 1));
        }
        p.list->selectionModel()->select(selection, QItemSelectionModel::Select);
        p.Paint();
        const auto start = Clock::now();
        p.list->ExecuteCommand(ID_ITEM_DELETE);
        p.Paint();
        state.SetIterationTime(Since(start));
        state.counters["left"] = p.list->RowCount();
    }
    SetPrompts(nullptr);
}

void BM_EnableRules(benchmark::State& state)
{
    Panes& p = Shared();
    p.SelectInTree(p.files);
    p.list->selectAll();
    for (auto _ : state) {
        const auto start = Clock::now();
        int enabled = 0;
        for (int id : { ID_ITEM_DELETE, ID_ITEM_EDIT, ID_MOVE_UP, ID_MOVE_DOWN }) {
            CommandState s;
            p.list->QueryCommand(id, s);
            enabled += s.enabled;
        }
        // What the command manager's rules read: count, first row's entry.
        for (int i = 0; i < 15; ++i)
            enabled += p.list->SelectedCount() == 1 && p.list->FirstSelectedEntry()->IsDatum();
        benchmark::DoNotOptimize(enabled);
        state.SetIterationTime(Since(start));
    }
    p.list->clearSelection();
}

std::size_t HeapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void BM_ListMemory(benchmark::State& state)
{
    for (auto _ : state) {
        Panes p;
        CCategory* files = MakeFiles(kItems, 3);
        p.doc.AddRoot(files);
        p.doc.SetCurrentCategory(nullptr); // the list starts with the roots
        p.doc.InitialUpdateAllViews();
        p.Paint();
        const std::size_t before = HeapInUse();
        p.SelectInTree(files);
        p.Paint();
        p.list->selectAll();
        p.Paint();
        const std::size_t after = HeapInUse();
        state.counters["total_B"] = static_cast<double>(after - before) / kItems;
        state.counters["own_B"]
            = static_cast<double>(p.list->ListModel()->Rows().capacity() * sizeof(CItem*)) / kItems;
        state.counters["selected"] = p.list->SelectedCount();
    }
}

void BM_BareListMemory(benchmark::State& state)
{
    const std::unique_ptr<CCategory> files(MakeFiles(kItems, 4));
    const std::vector<CItem*> rows(files->GetDatumList().begin(), files->GetDatumList().end());
    for (auto _ : state) {
        CEntryListModel model;
        QWidget window;
        window.resize(900, 700);
        QAbstractItemView* view = nullptr;
        if (state.range(0) == 0) {
            auto* list = new CEntryListView(&window);
            list->SetRowPainter(new CItemRowPainter(list));
            view = list;
        } else {
            auto* tree = new QTreeView(&window);
            tree->setRootIsDecorated(false);
            tree->setUniformRowHeights(true);
            view = tree;
        }
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setModel(&model);
        view->setGeometry(0, 0, 900, 700);
        window.show();
        QApplication::processEvents();
        view->viewport()->grab();

        const std::size_t before = HeapInUse();
        model.SetRows(rows);
        view->viewport()->grab();
        view->selectAll();
        view->viewport()->grab();
        const std::size_t after = HeapInUse();
        state.counters["total_B"] = static_cast<double>(after - before) / kItems;
    }
}

BENCHMARK(BM_SelectCategory)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort)->DenseRange(0, 4)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortReverse)->DenseRange(0, 4)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filter)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandWideCategory)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenLibraryViews)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteSelected)->Arg(0)->Arg(1)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnableRules)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListMemory)->Iterations(1);
BENCHMARK(BM_BareListMemory)->Arg(0)->Arg(1)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return tessary::bench::RunGuiBenchmarks(argc, argv);
}
