// The words inside documents: reading the text of many PDFs and office
// files, a content search over the texts of 100,000 items, and the bombs
// (a zip that unpacks past 100 MB, a PDF of 100,000 pages) that must stop
// at the readers' limits.

#include "Category.h"
#include "Datum.h"
#include "DocumentText.h"
#include "SampleDocuments.h"
#include "SearchCriteria.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tessary;
using namespace tessary::samples;

namespace {

constexpr const char* kLatin[] = { "budget", "quarter", "report", "meeting", "archive", "total", "value",
    "the", "and", "Café", "Zürich" };
constexpr const char* kChinese[] = { "报告", "档案", "季度", "预算", "会议", "数据", "总计", "中文" };

// A line of about 70 bytes of Latin and Chinese words.
std::string Line(std::mt19937& rng, bool chinese)
{
    std::string s;
    while (s.size() < 70) {
        s += chinese ? kChinese[rng() % 8] : kLatin[rng() % 11];
        s += ' ';
    }
    return s;
}

struct Corpus {
    std::vector<std::pair<std::string, std::string>> files; // extension, bytes
    std::size_t bytes = 0;
};

// 1,000 documents of ten pages of 40 lines each (about 28 KB of text): PDFs
// (half of them), and the six office kinds in turn.
const Corpus& MixedDocuments()
{
    static const Corpus corpus = [] {
        Corpus c;
        std::mt19937 rng(24);
        const std::pair<DocumentKind, const char*> office[]
            = { { DocumentKind::WordDocument, "docx" }, { DocumentKind::Workbook, "xlsx" },
                  { DocumentKind::Slides, "pptx" }, { DocumentKind::OdfText, "odt" },
                  { DocumentKind::OdfSpreadsheet, "ods" }, { DocumentKind::OdfPresentation, "odp" } };
        for (int i = 0; i < 1000; ++i) {
            if (i % 2 == 0) {
                std::vector<PdfPage> pages(10);
                for (PdfPage& page : pages)
                    for (int l = 0; l < 40; ++l)
                        page.push_back({ l % 3 == 0 ? PdfLine::Font::Cid : PdfLine::Font::Helvetica,
                            Line(rng, l % 3 == 0) });
                c.files.emplace_back("pdf", MakePdf(pages));
            } else {
                std::vector<std::string> paragraphs;
                for (int l = 0; l < 400; ++l)
                    paragraphs.push_back(Line(rng, l % 3 == 0));
                const auto& [kind, ext] = office[(i / 2) % 6];
                c.files.emplace_back(ext, MakeOffice(kind, paragraphs));
            }
            c.bytes += c.files.back().second.size();
        }
        return c;
    }();
    return corpus;
}

void BM_TextOfMixedDocuments(benchmark::State& state)
{
    const Corpus& corpus = MixedDocuments();
    std::size_t text = 0;
    for (auto _ : state) {
        text = 0;
        for (const auto& [extension, bytes] : corpus.files) {
            const auto r = ReadDocumentText(extension, bytes);
            if (!r || r->problem != TextProblem::None)
                state.SkipWithError("a document gave no text");
            else
                text += r->text.size();
        }
    }
    state.counters["files/s"] = benchmark::Counter(
        static_cast<double>(corpus.files.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["text MB"] = static_cast<double>(text) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.bytes));
}
BENCHMARK(BM_TextOfMixedDocuments)->Unit(benchmark::kMillisecond)->Iterations(1);

// 100,000 items with 2 KB of document text each and no bytes (kept as text
// only); the keyword is in none of them.
struct TextLibrary {
    CCustomCategory root { "documents" };
    std::size_t bytes = 0;
    TextLibrary()
    {
        std::mt19937 rng(7);
        for (int i = 0; i < 100000; ++i) {
            std::string text;
            while (text.size() < 2000)
                text += Line(rng, rng() % 3 == 0) + '\n';
            auto* d = new CFileDatum("doc.pdf");
            d->m_strText = text;
            bytes += text.size();
            root.AddDatum(d);
        }
    }
};

void TextSearch(benchmark::State& state, const char* gbKeyword, bool caseSensitive)
{
    static const TextLibrary lib;
    CSearchCriteria c;
    c.m_strContent = gbKeyword;
    c.m_bContentCase = caseSensitive;
    CSearchMatcher matcher(c);
    for (auto _ : state) {
        std::size_t found = 0;
        for (const CDatum* d : lib.root.GetDatumList())
            found += matcher.Matches(*d);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lib.bytes));
}

void BM_TextSearchLatinKeyword(benchmark::State& state)
{
    TextSearch(state, "Needles", false);
}
BENCHMARK(BM_TextSearchLatinKeyword)->Unit(benchmark::kMillisecond);

void BM_TextSearchChineseKeyword(benchmark::State& state)
{
    TextSearch(state, "\xB2\xBB\xD4\xDA", true); // "不在" in GB18030
}
BENCHMARK(BM_TextSearchChineseKeyword)->Unit(benchmark::kMillisecond);

// A field of /proc/self/status in kB ("VmHWM", "VmRSS").
long StatusKb(const char* field)
{
    long kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, field, n) == 0 && line[n] == ':')
                kb = std::atol(line + n + 1);
        std::fclose(f);
    }
    return kb;
}

// The memory one reading adds at its peak, in MB: read once in a child
// process whose high-water mark is first reset to what it holds.
double ReaderPeakMb(const std::string& extension, const std::string& bytes)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f); // resets the high-water mark
            std::fclose(f);
        }
        const long before = StatusKb("VmRSS");
        benchmark::DoNotOptimize(ReadDocumentText(extension, bytes));
        const long grown = StatusKb("VmHWM") - before;
        if (write(fds[1], &grown, sizeof grown) != sizeof grown)
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    long grown = -1024;
    if (read(fds[0], &grown, sizeof grown) != sizeof grown)
        grown = -1024;
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return static_cast<double>(grown) / 1024.0;
}

// A docx whose document part unpacks to 200 MB (about 200 KB packed): the
// reader stops at its limit of unpacked bytes.
void BM_ZipBomb(benchmark::State& state)
{
    static const std::string bomb = [] {
        std::string part = "<w:document><w:body><w:p><w:t>";
        part.append(200u << 20, 'a');
        part += "</w:t></w:p></w:body></w:document>";
        return MakeZip({ { "[Content_Types].xml", "<Types/>" }, { "word/document.xml", part } });
    }();
    for (auto _ : state) {
        const auto r = ReadDocumentText("docx", bomb);
        if (!r || r->problem != TextProblem::TooLarge)
            state.SkipWithError("the bomb was not stopped");
    }
    state.counters["packed KB"] = static_cast<double>(bomb.size()) / 1e3;
    state.counters["reader peak MB"] = ReaderPeakMb("docx", bomb);
}
BENCHMARK(BM_ZipBomb)->Unit(benchmark::kMillisecond);

// A PDF of 100,000 pages (one shared content stream): refused at the page
// limit without reading a page.
void BM_PdfOfManyPages(benchmark::State& state)
{
    static const std::string pdf
        = MakePdf({ { { PdfLine::Font::Helvetica, "again and again" } } }, { false, true, 100000 });
    for (auto _ : state) {
        const auto r = ReadDocumentText("pdf", pdf);
        if (!r || r->problem != TextProblem::TooLarge)
            state.SkipWithError("the PDF was not stopped");
    }
    state.counters["file MB"] = static_cast<double>(pdf.size()) / 1e6;
    state.counters["reader peak MB"] = ReaderPeakMb("pdf", pdf);
}
BENCHMARK(BM_PdfOfManyPages)->Unit(benchmark::kMillisecond);

// The most pages read: 10,000 pages of one line each, read to the end.
void BM_PdfAtThePageLimit(benchmark::State& state)
{
    static const std::string pdf
        = MakePdf({ { { PdfLine::Font::Helvetica, "again and again" } } }, { false, true, 10000 });
    for (auto _ : state) {
        const auto r = ReadDocumentText("pdf", pdf);
        if (!r || r->problem != TextProblem::None)
            state.SkipWithError("the PDF gave no text");
    }
}
BENCHMARK(BM_PdfAtThePageLimit)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
