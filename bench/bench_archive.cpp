// Writing and reading a 1,000,000-entry library, in memory and through a
// file, with the memory a loaded entry costs.

#include "DocumentFile.h"
#include "SyntheticLibrary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace tessary;
using namespace tessary::bench;

namespace {

struct Fixture {
    RootList library = MakeSyntheticLibrary();
    std::size_t entries = CountEntries(library);
    std::string bytes;
    Fixture()
    {
        // Benchmark the library as it is after opening a file, the way users
        // save it: entries allocated in file order.
        WriteLibrary(Roots(), bytes);
        library = ReadLibrary(bytes);
    }
    std::vector<const CCategory*> Roots() const
    {
        std::vector<const CCategory*> v;
        for (const auto& r : library)
            v.push_back(r.get());
        return v;
    }
};

Fixture& Shared()
{
    static Fixture f;
    return f;
}

void Report(benchmark::State& state, std::size_t entries, std::size_t bytes)
{
    state.counters["entries/s"]
        = benchmark::Counter(double(entries) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["MB/s"]
        = benchmark::Counter(double(bytes) * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    state.counters["entries"] = double(entries);
    state.counters["file MB"] = double(bytes) / 1e6;
}

void BM_WriteMemory(benchmark::State& state)
{
    Fixture& f = Shared();
    auto roots = f.Roots();
    std::string out;
    out.reserve(f.bytes.size());
    for (auto _ : state) {
        WriteLibrary(roots, out);
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, f.entries, f.bytes.size());
}

void BM_ReadMemory(benchmark::State& state)
{
    Fixture& f = Shared();
    double perEntry = 0;
    for (auto _ : state) {
        RootList lib = ReadLibrary(f.bytes);
        state.PauseTiming();
        perEntry = double(LibraryBytes(lib)) / double(f.entries);
        lib.clear();
        state.ResumeTiming();
    }
    Report(state, f.entries, f.bytes.size());
    state.counters["bytes/entry"] = perEntry;
}

void BM_Destroy(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        state.PauseTiming();
        RootList lib = ReadLibrary(f.bytes);
        state.ResumeTiming();
        lib.clear();
    }
    state.counters["entries/s"]
        = benchmark::Counter(double(f.entries) * state.iterations(), benchmark::Counter::kIsRate);
}

class FdSink : public IByteSink {
public:
    explicit FdSink(int fd)
        : m_fd(fd)
    {
    }
    void Write(const char* data, std::size_t size) override
    {
        while (size) {
            ssize_t n = ::write(m_fd, data, size);
            if (n <= 0)
                std::abort();
            data += n;
            size -= std::size_t(n);
        }
    }

private:
    int m_fd;
};

std::string TempPath()
{
    return "/tmp/tessary-bench-archive.dli";
}

void BM_WriteFile(benchmark::State& state)
{
    Fixture& f = Shared();
    auto roots = f.Roots();
    for (auto _ : state) {
        int fd = ::open(TempPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        FdSink sink(fd);
        WriteLibrary(roots, sink);
        ::close(fd);
    }
    Report(state, f.entries, f.bytes.size());
}

void BM_ReadFile(benchmark::State& state)
{
    Fixture& f = Shared();
    {
        int fd = ::open(TempPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        FdSink(fd).Write(f.bytes.data(), f.bytes.size());
        ::close(fd);
    }
    for (auto _ : state) {
        RootList lib = ReadLibraryFile(TempPath());
        state.PauseTiming();
        lib.clear();
        state.ResumeTiming();
    }
    Report(state, f.entries, f.bytes.size());
    std::remove(TempPath().c_str());
}

} // namespace

BENCHMARK(BM_WriteMemory)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadMemory)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Destroy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->MinTime(2);
