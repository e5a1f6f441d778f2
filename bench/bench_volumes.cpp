// Volumes: opening a library whose imported categories carry volume records
// against the same library without them, and the online check of a
// thousand volumes against a snapshot of the mount table.

#include "BenchSupport.h"
#include "Document.h"
#include "MountSource.h"
#include "MountTable.h"
#include "SyntheticLibrary.h"
#include "Volume.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace tessary;
using namespace tessary::bench;

constexpr std::size_t kImports = 1000;
const std::string kPlain = "/tmp/tessary-bench-volumes-plain.dli";
const std::string kRecorded = "/tmp/tessary-bench-volumes-recorded.dli";

VolumeRecord RecordOf(std::size_t i)
{
    VolumeRecord v;
    v.uuid = "uuid-" + std::to_string(i);
    v.label = "DISC" + std::to_string(i);
    v.fsType = "iso9660";
    v.capacity = 700'000'000 + i;
    v.freeBytes = 0;
    v.mountPoint = "/media/anna/DISC" + std::to_string(i);
    v.scanTime = 1'700'000'000;
    v.host = "desk";
    return v;
}

// A library of a million entries as a thousand discs of a thousand entries
// each, every disc a folder import below one custom root; written once
// without and once with a volume record on each disc.
struct Files {
    std::size_t bytes = 0;
    Files()
    {
        RootList shelf;
        shelf.emplace_back(new CCustomCategory("discs"));
        for (std::size_t i = 0; i < kImports; ++i) {
            RootList disc = MakeSyntheticLibrary({ 50, 950, static_cast<unsigned>(i + 1) });
            shelf[0]->AddSubCategory(disc[0].release());
        }
        std::vector<const CCategory*> roots { shelf[0].get() };
        std::string plain, recorded;
        WriteLibrary(roots, plain);
        std::size_t i = 0;
        for (CCategory* disc : shelf[0]->GetSubCategoryList())
            static_cast<CPathCategory*>(disc)->SetVolume(RecordOf(i++));
        WriteLibrary(roots, recorded);
        bytes = plain.size();
        for (auto [path, data] : { std::pair { &kPlain, &plain }, std::pair { &kRecorded, &recorded } }) {
            FILE* f = std::fopen(path->c_str(), "wb");
            std::fwrite(data->data(), 1, data->size(), f);
            std::fclose(f);
        }
    }
};

void BM_OpenWithAThousandVolumeRecords(benchmark::State& state)
{
    static Files files;
    CTessaryDoc doc;
    auto open = [&doc](const std::string& path) {
        doc.OnNewDocument(); // the previous tree goes outside the time
        auto start = Clock::now();
        doc.OnOpenDocument(path);
        return Since(start);
    };
    open(kPlain);
    open(kRecorded); // warm up
    std::vector<double> plain, recorded, ratios;
    for (auto _ : state) {
        // Back to back, so that drift of the shared machine hits both alike.
        const double p = open(kPlain);
        const double r = open(kRecorded);
        state.SetIterationTime(r);
        plain.push_back(p);
        recorded.push_back(r);
        ratios.push_back(r / p);
    }
    state.counters["MB"] = static_cast<double>(files.bytes) / 1e6;
    state.counters["plain_s"] = Median(plain);
    state.counters["recorded_s"] = Median(recorded);
    state.counters["ratio"] = Median(ratios);
    // The least of each, which load from elsewhere on the machine can only raise.
    state.counters["ratio_of_least"]
        = *std::min_element(recorded.begin(), recorded.end()) / *std::min_element(plain.begin(), plain.end());
}

// A mount table of a thousand discs, every one of them recorded; half of
// them mounted somewhere else than they were scanned.
struct Mounts : IMountSource {
    std::string text;
    int identified = 0;
    Mounts()
    {
        for (std::size_t i = 0; i < kImports; ++i)
            text += std::to_string(100 + i) + " 1 11:" + std::to_string(i) + " / /media/anna/"
                + (i % 2 ? "X" : "DISC") + std::to_string(i) + " ro - iso9660 /dev/sr" + std::to_string(i)
                + " ro\n";
    }
    std::string MountInfo() override { return text; }
    void Identify(MountedVolume& v) override
    {
        const std::string n = v.source.substr(7);
        v.uuid = "uuid-" + n;
        v.label = "DISC" + n;
        v.capacity = 700'000'000 + std::stoul(n);
        ++identified;
    }
    bool Space(const std::string&, std::uint64_t&, std::uint64_t&) override { return false; }
    std::string RealPath(const std::string& p) override { return p; }
    std::string HostName() override { return "desk"; }
    std::int64_t Now() override { return 0; }
};

void BM_OnlineCheckOfAThousandVolumes(benchmark::State& state)
{
    Mounts mounts;
    const CVolumeTable table = CVolumeTable::Read(mounts);
    const int identified = mounts.identified;
    std::vector<VolumeRecord> records;
    for (std::size_t i = 0; i < kImports; ++i)
        records.push_back(RecordOf(i));
    std::vector<double> times;
    std::size_t connected = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        connected = 0;
        for (const VolumeRecord& r : records)
            connected += table.Match(r).state == VolumeMatch::State::Connected;
        times.push_back(Since(start));
        state.SetIterationTime(times.back());
    }
    if (mounts.identified != identified || connected != kImports)
        state.SkipWithError("the check asked the system or missed a volume");
    state.counters["ms"] = Median(times) * 1e3;
}

// The same after a change of the mount table: the table read again from
// the mount table's text (identities of known mounts kept), then the check.
void BM_RereadAndCheckAThousandVolumes(benchmark::State& state)
{
    Mounts mounts;
    CVolumeTable table = CVolumeTable::Read(mounts);
    std::vector<VolumeRecord> records;
    for (std::size_t i = 0; i < kImports; ++i)
        records.push_back(RecordOf(i));
    std::vector<double> times;
    for (auto _ : state) {
        auto start = Clock::now();
        table = CVolumeTable::Read(mounts, &table);
        std::size_t connected = 0;
        for (const VolumeRecord& r : records)
            connected += table.Match(r).state == VolumeMatch::State::Connected;
        benchmark::DoNotOptimize(connected);
        times.push_back(Since(start));
        state.SetIterationTime(times.back());
    }
    state.counters["ms"] = Median(times) * 1e3;
}

BENCHMARK(BM_OpenWithAThousandVolumeRecords)->UseManualTime()->Iterations(21)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnlineCheckOfAThousandVolumes)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RereadAndCheckAThousandVolumes)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
