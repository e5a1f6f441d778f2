// The main window on the ten-million-entry library (ten catalogues of one
// million entries merged under one root), on the offscreen platform:
//
//   BM_OpenUntilTheTreeShows  opening the library through the document
//                             controller until the tree has painted, against
//                             `tessary-cli stats` of the same file in the same
//                             iteration (counter ratio, at most 1.2;
//                             first_ratio for the process's first open)
//   BM_TypeTenKeys            typing a word of ten letters into the quick
//                             find field, key by key, with the index ready
//                             (and, _unindexed, right after opening, before
//                             it is): the longest time the window went
//                             without handling events (stall_ms, at most 50),
//                             and per key the time until the rows are in the
//                             bar (key_ms: the slowest key; rare_ms: the last
//                             key, whose word is rare)
//   BM_CommonWordKey          one key whose word matches about a million
//                             items, until the rows are in the bar
//   BM_ModalSearch            what the search dialog's "开始" does over the
//                             whole library for a rare name: the match and
//                             the rows in the bar
//
// The library file is kept in /work/bench-data (TESSARY_BENCH_DATA names
// another folder) and made there once when missing.

#include "BenchSupport.h"
#include "CategoryView.h"
#include "Datum.h"
#include "Document.h"
#include "DocumentController.h"
#include "GuiBenchSupport.h"
#include "MainFrame.h"
#include "OutputBar.h"
#include "QuickFindField.h"
#include "QuickFinder.h"
#include "SearchCriteria.h"
#include "SyntheticLibrary.h"
#include "TessaryApp.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

using namespace tessary;
using namespace tessary::bench;

CTessaryApp& App()
{
    return *CTessaryApp::Instance();
}
CMainFrame& Frame()
{
    return *App().MainFrame();
}
CQuickFindField& Field()
{
    return *Frame().GetOutputBar()->FindField();
}

std::string LibraryPath()
{
    const char* dir = std::getenv("TESSARY_BENCH_DATA");
    const std::string folder = dir ? dir : "/work/bench-data";
    ::mkdir(folder.c_str(), 0777);
    return MergedLibraryFile(folder + "/merged-10x1M.dli");
}

// Seconds `tessary-cli stats` takes on `path`; 0 without the program.
double CliStatsSeconds(const std::string& path)
{
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/cli/tessary-cli");
    if (!QFile::exists(cli))
        return 0;
    const QString command
        = QStringLiteral("'%1' stats '%2' >/dev/null").arg(cli, QString::fromStdString(path));
    const auto start = Clock::now();
    if (std::system(QFile::encodeName(command).constData()) != 0)
        return 0;
    return Since(start);
}

// Opens the library until the tree has painted it; seconds.
double OpenUntilTreeShows(const std::string& path)
{
    App().Controller()->NewDocument();
    QApplication::processEvents();
    const auto start = Clock::now();
    App().Controller()->OpenDocument(QString::fromStdString(path), false);
    QApplication::processEvents();
    Frame().TreeView()->Widget()->repaint();
    return Since(start);
}

void OpenIfNeeded()
{
    const std::string path = LibraryPath();
    if (App().Document()->GetPathName() != path)
        OpenUntilTreeShows(path);
}

void WaitForIndex()
{
    while (!Field().Finder()->IndexReady())
        QTest::qWait(20);
}

// A word of ten letters whose last letters make it rare: the start of one
// file's name with enough letters.
std::string RareWord()
{
    for (const CCategory& c : PreOrder(*App().Document()->GetRootList().front()))
        for (const CDatum* d : c.GetDatumList()) {
            const std::string name = FoldCase(d->m_strName.view());
            if (name.size() >= 10 && name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") == 10)
                return name.substr(0, 10);
        }
    return "abcdefghij";
}

struct Typing {
    double stallMs = 0;
    double slowestKeyMs = 0;
    double lastKeyMs = 0;
    int rows = 0;
};

// Types `word` key by key, waiting after each key until its rows are in
// the bar, as a person typing at a normal pace would see them.
Typing TypeWord(const std::string& word)
{
    Typing t;
    Field().Reset();
    Field().setFocus();
    const WindowRun run = RunInWindow([&] {
        for (char c : word) {
            QElapsedTimer key;
            key.start();
            QTest::keyClick(&Field(), c);
            while (Field().Finder()->Busy())
                QTest::qWait(1);
            const double ms = static_cast<double>(key.nsecsElapsed()) / 1e6;
            t.slowestKeyMs = std::max(t.slowestKeyMs, ms);
            t.lastKeyMs = ms;
            QTest::qWait(30);
        }
    });
    t.stallMs = run.worstStallMs;
    t.rows = Frame().GetOutputBar()->RowCount();
    return t;
}

void BM_OpenUntilTheTreeShows(benchmark::State& state)
{
    const std::string path = LibraryPath();
    std::vector<double> ratios, opens, stats;
    for (auto _ : state) {
        const double cli = CliStatsSeconds(path);
        const double open = OpenUntilTreeShows(path);
        state.SetIterationTime(open);
        opens.push_back(open);
        stats.push_back(cli);
        if (cli > 0)
            ratios.push_back(open / cli);
    }
    state.counters["open_s"] = Median(opens);
    state.counters["cli_stats_s"] = Median(stats);
    if (!ratios.empty()) {
        state.counters["ratio"] = Median(ratios);
        // The first open of the process, on fresh memory as the tool's.
        state.counters["first_ratio"] = ratios.front();
    }
}
BENCHMARK(BM_OpenUntilTheTreeShows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void TypeTenKeys(benchmark::State& state, bool indexed)
{
    std::vector<double> stalls, keys, rare;
    int rows = 0;
    for (auto _ : state) {
        if (indexed) {
            OpenIfNeeded();
            WaitForIndex();
        } else {
            OpenUntilTreeShows(LibraryPath());
        }
        const Typing t = TypeWord(RareWord());
        state.SetIterationTime(t.slowestKeyMs / 1000);
        stalls.push_back(t.stallMs);
        keys.push_back(t.slowestKeyMs);
        rare.push_back(t.lastKeyMs);
        rows = t.rows;
    }
    state.counters["stall_ms"] = Median(stalls);
    state.counters["worst_stall_ms"] = *std::max_element(stalls.begin(), stalls.end());
    state.counters["key_ms"] = Median(keys);
    state.counters["rare_ms"] = Median(rare);
    state.counters["rows"] = rows;
    if (indexed && Field().Finder()->Index()) {
        const CNameIndex& index = *Field().Finder()->Index();
        state.counters["index_MB"] = static_cast<double>(index.MemoryBytes()) / 1e6;
    }
}

void BM_TypeTenKeys(benchmark::State& state)
{
    TypeTenKeys(state, true);
}
BENCHMARK(BM_TypeTenKeys)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_TypeTenKeys_unindexed(benchmark::State& state)
{
    TypeTenKeys(state, false);
}
BENCHMARK(BM_TypeTenKeys_unindexed)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CommonWordKey(benchmark::State& state)
{
    OpenIfNeeded();
    WaitForIndex();
    std::vector<double> keys, stalls;
    for (auto _ : state) {
        // 文 (in GB18030 \xCE\xC4): in the names of about 870,000 items.
        Field().Reset();
        const WindowRun run = RunInWindow([&] {
            QElapsedTimer key;
            key.start();
            Field().setText(QString::fromUtf8("\xE6\x96\x87"));
            while (Field().Finder()->Busy())
                QTest::qWait(1);
            keys.push_back(static_cast<double>(key.nsecsElapsed()) / 1e6);
        });
        stalls.push_back(run.worstStallMs);
        state.SetIterationTime(keys.back() / 1000);
    }
    state.counters["key_ms"] = Median(keys);
    state.counters["stall_ms"] = Median(stalls);
    state.counters["rows"] = Frame().GetOutputBar()->RowCount();
}
BENCHMARK(BM_CommonWordKey)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_ModalSearch(benchmark::State& state)
{
    OpenIfNeeded();
    CSearchCriteria criteria;
    criteria.m_strName = RareWord();
    CCategory& all = *App().Document()->GetRootList().front();
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = Clock::now();
        std::vector<CDatum*> results;
        all.CollectMatches(criteria, results);
        Frame().GetOutputBar()->SetResults(std::move(results));
        times.push_back(Since(start));
        state.SetIterationTime(times.back());
    }
    state.counters["search_ms"] = Median(times) * 1000;
    state.counters["rows"] = Frame().GetOutputBar()->RowCount();
}
BENCHMARK(BM_ModalSearch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tessary::bench::RunMainWindowBenchmarks(argc, argv, [] { Frame().GetOutputBar()->show(); });
}
