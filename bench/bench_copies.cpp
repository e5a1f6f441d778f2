// Duplicates and unique files over the ten-million-entry library (ten
// catalogues of one million entries merged under one root, so every file has
// ten copies), with the memory the search needs per data item.
//
//   bench_copies [--benchmark_filter=...]
// The library file is kept in /work/bench-data (TESSARY_BENCH_DATA names
// another folder) and made there once when missing.

#include "BenchSupport.h"
#include "Copies.h"
#include "Datum.h"
#include "DocumentFile.h"
#include "SyntheticLibrary.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/stat.h>

// Heap bytes the program's own allocations hold, now and at most since the
// last reset. Entries come from the small-block pool, so what is counted
// here during a search is the search's own memory.
namespace {
std::atomic<std::size_t> g_inUse { 0 };
std::atomic<std::size_t> g_peak { 0 };

void* Counted(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const std::size_t now = g_inUse += malloc_usable_size(p);
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) { }
    return p;
}

void Uncounted(void* p) noexcept
{
    if (p) {
        g_inUse -= malloc_usable_size(p);
        std::free(p);
    }
}
} // namespace

void* operator new(std::size_t size)
{
    return Counted(size);
}
void* operator new[](std::size_t size)
{
    return Counted(size);
}
void operator delete(void* p) noexcept
{
    Uncounted(p);
}
void operator delete[](void* p) noexcept
{
    Uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    Uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    Uncounted(p);
}

namespace {

using namespace tessary;

struct Library {
    RootList roots;
    std::size_t data = 0; // data items
};

const Library& TheLibrary()
{
    static const Library library = [] {
        const char* dir = std::getenv("TESSARY_BENCH_DATA");
        const std::string folder = dir ? dir : "/work/bench-data";
        ::mkdir(folder.c_str(), 0777);
        Library lib;
        lib.roots = ReadLibraryFile(bench::MergedLibraryFile(folder + "/merged-10x1M.dli"));
        bench::ForEachCategory(lib.roots, [&](const CCategory& c) { lib.data += c.GetDatumList().size(); });
        return lib;
    }();
    return library;
}

// Extra heap bytes per data item at the peak of `work`.
template <class Work> double PeakBytesPerItem(Work&& work, std::size_t items)
{
    const std::size_t base = g_inUse.load();
    g_peak = base;
    work();
    return static_cast<double>(g_peak.load() - base) / static_cast<double>(items);
}

void BM_DuplicatesTenMillion(benchmark::State& state)
{
    const Library& lib = TheLibrary();
    const std::vector<const CCategory*> roots { lib.roots.front().get() };
    std::size_t groups = 0, files = 0;
    double perItem = 0;
    for (auto _ : state) {
        perItem = PeakBytesPerItem(
            [&] {
                const DuplicateGroups found = FindDuplicates(roots);
                groups = found.GroupCount();
                files = found.items.size();
            },
            lib.data);
    }
    state.counters["data_items"] = static_cast<double>(lib.data);
    state.counters["groups"] = static_cast<double>(groups);
    state.counters["files"] = static_cast<double>(files);
    state.counters["peak_B_per_item"] = perItem;
}
BENCHMARK(BM_DuplicatesTenMillion)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Unique files of the first one-million-entry catalogue against the other
// nine. Argument 0: the catalogues as made, where every file has copies;
// argument 1: every other file of the first catalogue renamed, so that half
// of them have no copy and the search reads the whole library.
void BM_UniqueOfOneCatalogue(benchmark::State& state)
{
    const Library& lib = TheLibrary();
    const CCategory& all = *lib.roots.front();
    CCategory& first = *all.GetSubCategoryList()[0];
    auto rename = [&](bool on) {
        std::size_t k = 0;
        for (CCategory& c : PreOrder(first))
            for (CDatum* d : c.GetDatumList())
                if (k++ % 2 == 0)
                    d->m_strName = on ? d->m_strName.str() + "~"
                                      : d->m_strName.str().substr(0, d->m_strName.size() - 1);
    };
    if (state.range(0))
        rename(true);
    const std::vector<const CCategory*> roots { &all };
    std::size_t unique = 0;
    double perItem = 0;
    for (auto _ : state) {
        perItem
            = PeakBytesPerItem([&] { unique = FindUniqueFiles(roots, first).items.size(); }, lib.data / 10);
    }
    if (state.range(0))
        rename(false);
    state.counters["unique"] = static_cast<double>(unique);
    state.counters["peak_B_per_item"] = perItem;
}
BENCHMARK(BM_UniqueOfOneCatalogue)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

} // namespace
