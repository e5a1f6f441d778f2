// Search matching over a library of a million entries, and keyword scanning
// of extracted content.

#include "Category.h"
#include "Datum.h"
#include "SearchCriteria.h"
#include "SyntheticLibrary.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tessary;

namespace {

const char* const kExtensions[]
    = { "txt", "doc", "pdf", "jpg", "png", "html", "cpp", "h", "mp3", "xlsx", "zip", "", "py" };
// Common characters in GB18030 (two bytes each), and one four-byte character.
const char* const kChinese[] = { "\xCE\xC4", "\xBC\xFE", "\xB7\xD6", "\xC0\xE0", "\xD0\xC2", "\xBD\xA8",
    "\xB9\xE2", "\xC5\xCC", "\xCA\xFD", "\xBE\xDD", "\x81\x30\x89\x37" };
const char kRare[] = "QZX9W";
constexpr int kPlantedRare = 12;

// A name of 8-30 bytes: a random head, one of "doc"/"Doc"/"DOC" (so that a
// case-insensitive "doc" matches every entry), and a random tail, with
// Chinese in about a fifth of the names.
std::string Name(std::mt19937& rng)
{
    static const char alnum[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_- ";
    std::size_t len = 8 + rng() % 23;
    bool chinese = rng() % 5 == 0;
    std::string s;
    auto fill = [&](std::size_t upTo) {
        while (s.size() < upTo) {
            const char* c = kChinese[rng() % 11];
            if (chinese && rng() % 2 && s.size() + std::char_traits<char>::length(c) <= upTo)
                s += c;
            else
                s += alnum[rng() % (sizeof alnum - 1)];
        }
    };
    fill(rng() % (len - 3 + 1));
    static const char* const tags[] = { "doc", "Doc", "DOC" };
    s += tags[rng() % 3];
    fill(len);
    return s;
}

// About 50,000 folder categories nested up to eight deep and 950,000 file
// data items, made folder by folder as a scan makes them.
struct Library {
    std::unique_ptr<CCategory> root;
    std::size_t entries = 0;

    Library()
    {
        std::mt19937 rng(7);
        root = std::make_unique<CRootFolderCategory>("drive", "/media/data");
        auto folders = bench::AddFolderTree(root.get(), 50000, rng, Name);
        const std::size_t files = 950000;
        std::size_t made = 0;
        for (std::size_t i = 0; i < folders.size(); ++i) {
            std::size_t count = (files - made) / (folders.size() - i);
            for (std::size_t k = 0; k < count; ++k, ++made) {
                auto* d = new CFileDatum;
                std::string name = Name(rng);
                if (made % (files / kPlantedRare) == 0)
                    name.insert(0, "qzx9w"); // lower case: found only without case
                d->m_strName = name;
                d->m_strExtension = kExtensions[rng() % 13];
                d->m_dwSize = rng() % 4 == 0 ? rng() : rng() % 100000;
                d->m_timeModified = static_cast<Time32>(946684800 + rng() % 850000000);
                if (rng() % 100 == 0)
                    d->m_strRemark = "remark " + Name(rng);
                folders[i].first->AddDatum(d);
            }
        }
        entries = folders.size() + made;
    }
};

const Library& TheLibrary()
{
    static const Library library;
    return library;
}

void RunSearch(benchmark::State& state, const CCategory& root, const CSearchCriteria& criteria)
{
    std::size_t found = 0;
    for (auto _ : state) {
        std::vector<CDatum*> results;
        root.CollectMatches(criteria, results);
        found = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    state.counters["results"] = static_cast<double>(found);
}

void BM_NameRareKeyword(benchmark::State& state)
{
    const Library& lib = TheLibrary();
    CSearchCriteria c;
    c.m_strName = kRare;
    RunSearch(state, *lib.root, c);
    state.counters["entries"] = static_cast<double>(lib.entries);
}
BENCHMARK(BM_NameRareKeyword)->Unit(benchmark::kMillisecond);

void BM_NameEveryEntryMatches(benchmark::State& state)
{
    CSearchCriteria c;
    c.m_strName = "dOc";
    RunSearch(state, *TheLibrary().root, c);
}
BENCHMARK(BM_NameEveryEntryMatches)->Unit(benchmark::kMillisecond);

void BM_NameRareCaseSensitive(benchmark::State& state)
{
    CSearchCriteria c;
    c.m_strName = "qzx9w";
    c.m_bNameCase = true;
    RunSearch(state, *TheLibrary().root, c);
}
BENCHMARK(BM_NameRareCaseSensitive)->Unit(benchmark::kMillisecond);

void BM_ChineseKeyword(benchmark::State& state)
{
    CSearchCriteria c;
    c.m_strName = "\xCE\xC4\xBC\xFE"; // 文件
    RunSearch(state, *TheLibrary().root, c);
}
BENCHMARK(BM_ChineseKeyword)->Unit(benchmark::kMillisecond);

// The shared synthetic library places files in random folders, so the walk
// meets them in no particular memory order: the cache's worst case.
void BM_NameRareScatteredLibrary(benchmark::State& state)
{
    static const RootList roots = bench::MakeSyntheticLibrary();
    CSearchCriteria c;
    c.m_strName = kRare;
    RunSearch(state, *roots[0], c);
}
BENCHMARK(BM_NameRareScatteredLibrary)->Unit(benchmark::kMillisecond);

// 64 data items with 1 MiB of content each: text with Chinese and a few
// zero-free binary-looking runs; the keyword does not occur. The Chinese
// words are GB18030 or, as most files extracted on Linux, UTF-8.
struct ContentLibrary {
    CCustomCategory root { "content" };
    std::size_t bytes = 0;
    explicit ContentLibrary(bool utf8)
    {
        std::mt19937 rng(11);
        static const char gbWords[][12] = { "the ", "report ", "quarter ", "and ", "Needle", "value ",
            "total ", "\xD6\xD0\xCE\xC4 ", "\xCA\xFD\xBE\xDD ", "\n", "x=1; ", "Result " };
        static const char utf8Words[][12] = { "the ", "report ", "quarter ", "and ", "Needle", "value ",
            "total ", "\xE4\xB8\xAD\xE6\x96\x87 ", "\xE6\x95\xB0\xE6\x8D\xAE ", "\n", "x=1; ", "Result " };
        const auto& words = utf8 ? utf8Words : gbWords;
        for (int i = 0; i < 64; ++i) {
            std::string text;
            text.reserve(1 << 20);
            while (text.size() < (1u << 20)) {
                const char* w = words[rng() % 12];
                text += w;
            }
            text.resize(1 << 20);
            auto* d = new CFileDatum("big.txt");
            d->m_strContent = text;
            bytes += text.size();
            root.AddDatum(d);
        }
    }
};

void ContentSearch(benchmark::State& state, const char* keyword, bool caseSensitive, bool utf8Text = false)
{
    static const ContentLibrary gbLib(false), utf8Lib(true);
    const ContentLibrary& lib = utf8Text ? utf8Lib : gbLib;
    CSearchCriteria c;
    c.m_strContent = keyword;
    c.m_bContentCase = caseSensitive;
    RunSearch(state, lib.root, c);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lib.bytes));
}

// First and last bytes rarely fit: nearly pure scanning.
void BM_ContentRareKeyword(benchmark::State& state)
{
    ContentSearch(state, "Needles", false);
}
BENCHMARK(BM_ContentRareKeyword)->Unit(benchmark::kMillisecond);

// First and last bytes fit often ("the ... " words): many candidates to verify.
void BM_ContentFrequentCandidates(benchmark::State& state)
{
    ContentSearch(state, "the totals", false);
}
BENCHMARK(BM_ContentFrequentCandidates)->Unit(benchmark::kMillisecond);

void BM_ContentChineseKeyword(benchmark::State& state)
{
    ContentSearch(state, "\xCE\xC4\xCA\xFD", true);
}
BENCHMARK(BM_ContentChineseKeyword)->Unit(benchmark::kMillisecond);

// A Chinese keyword is looked for as GB18030 and as UTF-8: two scans of
// text in which it does not occur.
void BM_ContentChineseKeywordUtf8Text(benchmark::State& state)
{
    ContentSearch(state, "\xCE\xC4\xCA\xFD", false, true);
}
BENCHMARK(BM_ContentChineseKeywordUtf8Text)->Unit(benchmark::kMillisecond);

} // namespace
