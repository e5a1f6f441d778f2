// Opening and saving a library of a million entries through the document,
// against the bare archive reading and writing of the same bytes.
//
// The bare figures are the archive alone: ReadLibrary of bytes already in
// memory, and WriteLibrary to memory followed by one plain write of the file
// (no sync). The document figures add what a real open and save do: reading
// the file, and writing a temporary file, syncing it and renaming it.

#include "BenchSupport.h"
#include "Document.h"
#include "SyntheticLibrary.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tessary;
using namespace tessary::bench;

const std::string kPath = "/tmp/tessary-bench-document.dli";

struct Fixture {
    RootList roots = bench::MakeSyntheticLibrary();
    std::vector<const CCategory*> view;
    std::string bytes;
    Fixture()
    {
        for (const auto& r : roots)
            view.push_back(r.get());
        WriteLibrary(view, bytes);
        FILE* f = std::fopen(kPath.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

// Each iteration runs the bare step and the document step back to back, so
// drift of the shared machine hits both alike; the ratio is the median.
template <class Bare, class Doc> void Alternate(benchmark::State& state, Bare bare, Doc doc)
{
    std::vector<double> bareTimes, docTimes, ratios;
    bare();
    doc(); // warm up
    for (auto _ : state) {
        double b = bare();
        double d = doc();
        state.SetIterationTime(d);
        bareTimes.push_back(b);
        docTimes.push_back(d);
        ratios.push_back(d / b);
    }
    state.counters["entries"] = static_cast<double>(bench::CountEntries(Shared().roots));
    state.counters["MB"] = static_cast<double>(Shared().bytes.size()) / 1e6;
    state.counters["bare_s"] = Median(bareTimes);
    state.counters["doc_s"] = Median(docTimes);
    state.counters["ratio"] = Median(ratios);
}

void BM_OpenAgainstBareRead(benchmark::State& state)
{
    Fixture& f = Shared();
    CTessaryDoc doc;
    Alternate(
        state,
        [&] {
            auto start = Clock::now();
            RootList roots = ReadLibrary(f.bytes);
            double s = Since(start);
            benchmark::DoNotOptimize(roots.data());
            return s; // destroyed outside the measured time
        },
        [&] {
            doc.OnNewDocument(); // likewise the previous tree
            auto start = Clock::now();
            doc.OnOpenDocument(kPath);
            return Since(start);
        });
}

void BM_SaveAgainstBareWrite(benchmark::State& state)
{
    Fixture& f = Shared();
    CTessaryDoc doc;
    for (auto& r : f.roots)
        doc.GetRootList().PushBack(r.get()); // borrowed: handed back below
    Alternate(
        state,
        [&] {
            auto start = Clock::now();
            std::string out;
            WriteLibrary(f.view, out);
            int fd = ::open("/tmp/tessary-bench-bare.dli", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            for (std::size_t done = 0; done < out.size();) {
                ssize_t n = ::write(fd, out.data() + done, out.size() - done);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            ::close(fd);
            return Since(start);
        },
        [&] {
            doc.SetModifiedFlag(true);
            auto start = Clock::now();
            doc.OnSaveDocument(kPath);
            return Since(start);
        });
    doc.GetRootList().Clear();
}

BENCHMARK(BM_OpenAgainstBareRead)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAgainstBareWrite)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

} // namespace
