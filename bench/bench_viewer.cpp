// Opening the text viewer on a large extracted content: from the content's
// bytes to the first painted screen.

#include "BenchSupport.h"
#include "DisplayText.h"
#include "GuiBenchSupport.h"
#include "TextCodec.h"
#include "ViewerDialogs.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace tessary;
using namespace tessary::bench;

namespace {

// About 50 MB of text in lines of 20 to 120 bytes, with Chinese words, as
// UTF-8 or as GB18030.
const std::string& Content(bool utf8)
{
    static const auto make = [] {
        static const char* const words[] = { "the ", "quarterly ", "report ", "中文 ", "数据 ", "value=42 ",
            "\t", "文件夹 ", "total ", "Result " };
        std::mt19937 rng(5);
        std::string text;
        text.reserve(52 << 20);
        while (text.size() < (50u << 20)) {
            const std::size_t lineEnd = text.size() + 20 + rng() % 100;
            while (text.size() < lineEnd)
                text += words[rng() % 10];
            text += '\n';
        }
        return text;
    };
    static const std::string asUtf8 = make();
    if (utf8)
        return asUtf8;
    static const std::string asGb = Utf8ToGb(asUtf8);
    return asGb;
}

void ShowViewer(benchmark::State& state, bool utf8)
{
    const std::string& content = Content(utf8);
    for (auto _ : state) {
        CViewTextRemarkDlg dlg(nullptr, nullptr);
        dlg.SetText(ContentToText(content));
        dlg.show();
        QApplication::processEvents();
        dlg.hide();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * content.size()));
}

void BM_TextViewer50MBUtf8(benchmark::State& state)
{
    ShowViewer(state, true);
}
BENCHMARK(BM_TextViewer50MBUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextViewer50MBGb18030(benchmark::State& state)
{
    ShowViewer(state, false);
}
BENCHMARK(BM_TextViewer50MBGb18030)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return tessary::bench::RunGuiBenchmarks(argc, argv);
}
