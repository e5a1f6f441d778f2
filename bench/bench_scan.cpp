// Scanning speed: a big generated tree against a bare one-thread walk of the
// same tree, with one and with two scan threads; one wide folder at several
// sizes; and chains of folders nested thousands deep.
//
//   python3 /work/shared/bench/make_tree.py --root /tmp/bench-tree
//   bench_scan [--benchmark_filter=...]
// TESSARY_BENCH_TREE overrides the tree's location.

#include "BenchSupport.h"
#include "Category.h"
#include "EntryWalk.h"
#include "Scan.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tessary;
using namespace tessary::bench;

// The bare walk to compare with: openat + getdents64 + fstatat of every entry,
// no links followed, one file system, sizes summed; it keeps nothing.
struct BareWalk {
    struct Record {
        unsigned long long ino;
        long long off;
        unsigned short reclen;
        unsigned char type;
        char name[1];
    };
    dev_t device = 0;
    unsigned long long entries = 0, bytes = 0;

    void Walk(int dfd)
    {
        std::unique_ptr<char[]> buf(new char[64 * 1024]);
        for (;;) {
            long n = ::syscall(SYS_getdents64, dfd, buf.get(), 64 * 1024);
            if (n <= 0)
                break;
            for (long off = 0; off < n;) {
                auto* d = reinterpret_cast<Record*>(buf.get() + off);
                off += d->reclen;
                const char* nm = reinterpret_cast<const char*>(d) + offsetof(Record, name);
                if (nm[0] == '.' && (nm[1] == 0 || (nm[1] == '.' && nm[2] == 0)))
                    continue;
                struct stat st;
                if (::fstatat(dfd, nm, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                ++entries;
                bytes += static_cast<unsigned long long>(st.st_size);
                if (S_ISDIR(st.st_mode) && st.st_dev == device) {
                    int cfd = ::openat(dfd, nm, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (cfd >= 0) {
                        Walk(cfd);
                        ::close(cfd);
                    }
                }
            }
        }
    }
    void Run(const std::string& root)
    {
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        ::fstat(fd, &st);
        device = st.st_dev;
        Walk(fd);
        ::close(fd);
    }
};

// Entries below `top` (deep chains too: no recursion).
std::size_t CountEntries(const CCategory& top)
{
    std::size_t n = 0;
    for (const CCategory& c : PreOrder(top))
        n += c.GetDatumList().size() + c.GetSubCategoryList().size();
    return n;
}

double ScanSeconds(const std::string& root, std::size_t* entries = nullptr, unsigned threads = 1)
{
    auto start = Clock::now();
    auto category = std::make_unique<CRootFolderCategory>("bench", root);
    ScanOptions options;
    options.threads = threads;
    ScanFolderInto(*category, root, options);
    const double s = Since(start);
    if (entries)
        *entries = CountEntries(*category);
    return s; // the tree is destroyed outside the measured time
}

double BareSeconds(const std::string& root, unsigned long long* entries = nullptr)
{
    auto start = Clock::now();
    BareWalk w;
    w.Run(root);
    const double s = Since(start);
    if (entries)
        *entries = w.entries;
    return s;
}

// The two scans alternate in every iteration, so drift of the shared machine
// hits both alike; the reported ratio is the median over the iterations.
// The argument is the number of scan threads; the bare walk has one.
void BM_TreeScanAgainstBareWalk(benchmark::State& state)
{
    const auto threads = static_cast<unsigned>(state.range(0));
    const std::string root = BenchTreeRoot();
    if (!IsFolder(root)) {
        state.SkipWithError("no benchmark tree: run make_tree.py --root /tmp/bench-tree");
        return;
    }
    ScanSeconds(root, nullptr, threads); // warm the cache
    std::vector<double> ratios, ours, bare;
    std::size_t entries = 0;
    unsigned long long bareEntries = 0;
    for (auto _ : state) {
        double b = BareSeconds(root, &bareEntries);
        double o = ScanSeconds(root, &entries, threads);
        state.SetIterationTime(o);
        ours.push_back(o);
        bare.push_back(b);
        ratios.push_back(o / b);
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["bare_entries"] = static_cast<double>(bareEntries);
    state.counters["scan_s"] = Median(ours);
    state.counters["bare_s"] = Median(bare);
    state.counters["ratio"] = Median(ratios);
}
BENCHMARK(BM_TreeScanAgainstBareWalk)
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Iterations(7)
    ->Unit(benchmark::kMillisecond);

// A single folder of n files, made once under /tmp.
std::string WideFolder(long n)
{
    std::string path = "/tmp/tessary-bench-wide-" + std::to_string(n);
    if (IsFolder(path))
        return path;
    std::string tmp = path + ".part";
    ::mkdir(tmp.c_str(), 0755);
    for (long i = 0; i < n; ++i) {
        std::string f = tmp + "/document-" + std::to_string(i) + ".txt";
        int fd = ::open(f.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    ::rename(tmp.c_str(), path.c_str());
    return path;
}

void BM_WideFolderScan(benchmark::State& state)
{
    const std::string root = WideFolder(state.range(0));
    ScanSeconds(root);
    for (auto _ : state)
        state.SetIterationTime(ScanSeconds(root));
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WideFolderScan)
    ->UseManualTime()
    ->RangeMultiplier(2)
    ->Range(25000, 200000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// A chain of `levels` nested folders with a file in each, made once under
// /tmp through descriptors (its paths are far longer than PATH_MAX).
std::string DeepChain(long levels)
{
    std::string path = "/tmp/tessary-bench-deep-" + std::to_string(levels);
    if (IsFolder(path))
        return path;
    std::string tmp = path + ".part";
    ::mkdir(tmp.c_str(), 0755);
    int fd = ::open(tmp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (long i = 0; i < levels && fd >= 0; ++i) {
        ::close(::openat(fd, "file.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ::mkdirat(fd, "d", 0755);
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    ::close(fd);
    ::rename(tmp.c_str(), path.c_str());
    return path;
}

// Linear in the depth: deeper than the descriptor window, folders are
// reopened once on the way back up.
void BM_DeepTreeScan(benchmark::State& state)
{
    const std::string root = DeepChain(state.range(0));
    std::size_t entries = 0;
    ScanSeconds(root, &entries, 2);
    for (auto _ : state)
        state.SetIterationTime(ScanSeconds(root, &entries, 2));
    state.counters["entries"] = static_cast<double>(entries);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeepTreeScan)
    ->UseManualTime()
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

} // namespace
