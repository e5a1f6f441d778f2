// Quick find over the ten-million-entry library (ten catalogues of one
// million entries merged under one root): building the name index (the
// copying out of the library, which the window does on its own thread in
// slices, and the building proper, on a worker), its memory per entry, and
// queries with the index, with the plain scan and with the search dialog's
// matching.
//
//   bench_quickfind [--benchmark_filter=...]
// The library file is kept in /work/bench-data (TESSARY_BENCH_DATA names
// another folder) and made there once when missing.

#include "BenchSupport.h"
#include "Datum.h"
#include "DocumentFile.h"
#include "NameIndex.h"
#include "SearchCriteria.h"
#include "SyntheticLibrary.h"
#include "TextCodec.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <sys/stat.h>

namespace {

using namespace tessary;
using namespace tessary::bench;

// Seconds of processor time the calling thread has used: on a shared
// machine the wall-clock figures also count the other programs.
double ThreadSeconds()
{
    timespec t {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Library {
    RootList roots;
    std::vector<CCategory*> view;
    std::size_t entries = 0, items = 0;
    std::unique_ptr<CNameIndex> index;
    std::string rareWord, commonWord;
};

std::size_t Count(const CNameIndex& index, const std::string& text)
{
    std::vector<std::uint32_t> found;
    index.Find(CQuickQuery::Parse(text), found, nullptr);
    return found.size();
}

Library& TheLibrary()
{
    static Library library = [] {
        const char* dir = std::getenv("TESSARY_BENCH_DATA");
        const std::string folder = dir ? dir : "/work/bench-data";
        ::mkdir(folder.c_str(), 0777);
        Library lib;
        lib.roots = ReadLibraryFile(MergedLibraryFile(folder + "/merged-10x1M.dli"));
        for (const auto& r : lib.roots)
            lib.view.push_back(r.get());
        ForEachCategory(lib.roots, [&](const CCategory& c) {
            ++lib.entries;
            lib.items += c.GetDatumList().size();
        });
        lib.entries += lib.items;
        lib.index = BuildNameIndex(lib.view);
        // A rare word: six letters from the middle of one file's name (it
        // has ten copies); a common one: the candidate nearest a million.
        for (const CCategory& c : PreOrder(*lib.view.front())) {
            for (const CDatum* d : c.GetDatumList()) {
                std::string name = FoldCase(d->m_strName.view());
                if (lib.rareWord.empty() && name.size() >= 16 && IsAscii(name))
                    lib.rareWord = name.substr(5, 6);
            }
            if (!lib.rareWord.empty())
                break;
        }
        auto distance = [](std::size_t n) { return n > 1000000 ? n - 1000000 : 1000000 - n; };
        std::size_t best = 0;
        for (const char* w : { "a", "ab", "\xCE\xC4", "\xBC\xFE", "ext:pdf", "ext:doc,pdf", "1", "x_" }) {
            const std::size_t n = Count(*lib.index, w);
            if (lib.commonWord.empty() || distance(n) < distance(best)) {
                lib.commonWord = w;
                best = n;
            }
        }
        return lib;
    }();
    return library;
}

void BM_BuildIndex(benchmark::State& state)
{
    Library& lib = TheLibrary();
    std::vector<double> copying, building, processor, copyProcessor;
    std::size_t bytes = 0;
    for (auto _ : state) {
        // Batch by batch as the window does, each part timed on its own.
        double copy = 0, build = 0, copyCpu = 0;
        const double cpu = ThreadSeconds();
        CIndexHarvest harvest(lib.view);
        std::unique_ptr<CNameIndexBuilder> builder;
        for (bool done = false; !done;) {
            auto start = Clock::now();
            const double startCpu = ThreadSeconds();
            done = harvest.Step(CIndexHarvest::kBatchItems);
            std::vector<CIndexBatch> batches = harvest.TakeBatches();
            copy += Since(start);
            copyCpu += ThreadSeconds() - startCpu;
            start = Clock::now();
            for (const CIndexBatch& b : batches) {
                if (!builder)
                    builder = std::make_unique<CNameIndexBuilder>(harvest.ItemCount());
                builder->Add(b);
            }
            build += Since(start);
        }
        const auto start = Clock::now();
        auto index = builder->Finish(harvest.RemarksComplete());
        build += Since(start);
        copying.push_back(copy);
        building.push_back(build);
        processor.push_back(ThreadSeconds() - cpu);
        copyProcessor.push_back(copyCpu);
        bytes = index->MemoryBytes();
        state.SetIterationTime(copy + build);
    }
    state.counters["entries"] = static_cast<double>(lib.entries);
    state.counters["items"] = static_cast<double>(lib.items);
    state.counters["names"] = static_cast<double>(lib.index->DistinctNames());
    state.counters["copy_s"] = Median(copying);
    state.counters["build_s"] = Median(building);
    state.counters["cpu_s"] = Median(processor);
    state.counters["copy_cpu_s"] = Median(copyProcessor);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["B_per_entry"] = static_cast<double>(bytes) / static_cast<double>(lib.entries);
    state.counters["B_per_item"] = static_cast<double>(bytes) / static_cast<double>(lib.items);
}
BENCHMARK(BM_BuildIndex)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The one-million-entry library alone, whose names are all distinct: the
// index then keeps a name per item (the ten-million one has ten items per
// name).
void BM_BuildIndexDistinctNames(benchmark::State& state)
{
    RootList roots = MakeSyntheticLibrary();
    std::vector<CCategory*> view;
    for (const auto& r : roots)
        view.push_back(r.get());
    std::size_t bytes = 0, names = 0;
    for (auto _ : state) {
        auto index = BuildNameIndex(view);
        bytes = index->MemoryBytes();
        names = index->DistinctNames();
    }
    const auto entries = static_cast<double>(CountEntries(roots));
    state.counters["names"] = static_cast<double>(names);
    state.counters["B_per_entry"] = static_cast<double>(bytes) / entries;
}
BENCHMARK(BM_BuildIndexDistinctNames)->Iterations(1)->Unit(benchmark::kMillisecond);

void IndexQuery(benchmark::State& state, const std::string& text)
{
    const Library& lib = TheLibrary();
    const CQuickQuery query = CQuickQuery::Parse(text);
    std::vector<std::uint32_t> found;
    std::vector<const CDatum*> rows;
    for (auto _ : state) {
        lib.index->Find(query, found, nullptr);
        // What the window gets: the items themselves.
        rows.resize(found.size());
        for (std::size_t i = 0; i < found.size(); ++i)
            rows[i] = lib.index->Item(found[i]);
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["results"] = static_cast<double>(found.size());
    state.SetLabel(text);
}

void BM_IndexRareWord(benchmark::State& state)
{
    IndexQuery(state, TheLibrary().rareWord);
}
BENCHMARK(BM_IndexRareWord)->Unit(benchmark::kMillisecond);

void BM_IndexCommonWord(benchmark::State& state)
{
    IndexQuery(state, TheLibrary().commonWord);
}
BENCHMARK(BM_IndexCommonWord)->Unit(benchmark::kMillisecond);

// Two letters: no trigram to narrow by, every distinct name is read.
void BM_IndexTwoLetters(benchmark::State& state)
{
    IndexQuery(state, TheLibrary().rareWord.substr(0, 2) + " " + TheLibrary().rareWord);
}
BENCHMARK(BM_IndexTwoLetters)->Unit(benchmark::kMillisecond);

void BM_IndexPrefixesOnly(benchmark::State& state)
{
    IndexQuery(state, "in:drive3 >10M ext:pdf");
}
BENCHMARK(BM_IndexPrefixesOnly)->Unit(benchmark::kMillisecond);

// The plain scan the field uses until the index is ready.
void BM_PlainScanRareWord(benchmark::State& state)
{
    const Library& lib = TheLibrary();
    const CQuickQuery query = CQuickQuery::Parse(lib.rareWord);
    std::size_t found = 0;
    for (auto _ : state)
        found = QuickScan(query, lib.view).size();
    state.counters["results"] = static_cast<double>(found);
}
BENCHMARK(BM_PlainScanRareWord)->Unit(benchmark::kMillisecond)->Iterations(3);

// The search dialog's matching over the whole library, for comparison.
void BM_ModalSearchRareName(benchmark::State& state)
{
    const Library& lib = TheLibrary();
    CSearchCriteria criteria;
    criteria.m_strName = lib.rareWord;
    std::size_t found = 0;
    for (auto _ : state) {
        std::vector<CDatum*> results;
        lib.view.front()->CollectMatches(criteria, results);
        found = results.size();
    }
    state.counters["results"] = static_cast<double>(found);
}
BENCHMARK(BM_ModalSearchRareName)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
