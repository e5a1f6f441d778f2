// The category and item commands in the real main window, on the offscreen
// platform.
//
//   BM_ToolbarEnableRefresh   one refresh of every toolbar button's enable
//                             state with 200,000 item-list rows selected
//   BM_ClearContent           clearing the content of 100,000 selected items
//   BM_ExtractSmallFiles      extracting 10,000 files of 4 KiB selected in one
//                             category (40007), against `cat` of the same
//                             files to /dev/null in the same iteration
//                             (counter ratio)
//   BM_ImportFolderCommand    the folder import command (40001) on the tree of
//                             TESSARY_BENCH_TREE (default /work/bench-tree,
//                             then /tmp/bench-tree), from the menu until the
//                             list shows it, against the same scan called
//                             directly as tessary-cli scan does (counter
//                             ratio; cli_ratio against the scan phase that
//                             tessary-cli scan --timing reports, when the
//                             program is found beside this one), and the
//                             longest time the window's thread went without
//                             handling events (stall_ms)

#include "BenchSupport.h"
#include "CategoryView.h"
#include "CommandDialogs.h"
#include "CommandRouter.h"
#include "ContentCommands.h"
#include "Datum.h"
#include "Document.h"
#include "GuiBenchSupport.h"
#include "ImportDialogs.h"
#include "MainFrame.h"
#include "ResourceIds.h"
#include "TessaryApp.h"
#include "TessaryView.h"
#include "TextCodec.h"
#include "UserPrompts.h"

#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

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
CTessaryDoc& Doc()
{
    return *App().Document();
}

// Starts every benchmark from a new, empty library.
void NewLibrary()
{
    Frame().Router().Execute(ID_FILE_NEW);
}

// Adds `category` as a root and selects it, so the list shows it.
void ShowRoot(CCategory* category)
{
    Doc().AddRoot(category);
    Doc().InitialUpdateAllViews();
    Frame().TreeView()->RevealEntry(category);
}

CCustomCategory* ManyItems(std::size_t count, const char* content)
{
    auto* category = new CCustomCategory("items");
    category->GetDatumList().ReserveBack(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto* d = new CCustomDatum;
        d->m_strName = "item" + std::to_string(i);
        d->m_strExtension = "txt";
        d->m_strFolder = "/data";
        d->m_strContent = content;
        category->AddDatum(d);
    }
    return category;
}

void BM_ToolbarEnableRefresh(benchmark::State& state)
{
    NewLibrary();
    ShowRoot(ManyItems(200000, ""));
    CTessaryView& list = *Frame().ListView();
    list.setFocus();
    list.selectAll();
    const QList<QAction*> buttons = Frame().ToolBar()->actions();
    for (auto _ : state) {
        const auto start = Clock::now();
        Frame().Router().UpdateActions(buttons);
        state.SetIterationTime(Since(start));
    }
    state.counters["selected"] = list.SelectedCount();
}
BENCHMARK(BM_ToolbarEnableRefresh)->UseManualTime()->Iterations(50)->Unit(benchmark::kMicrosecond);

void BM_ClearContent(benchmark::State& state)
{
    NewLibrary();
    CCustomCategory* items = ManyItems(100000, "some words of content");
    ShowRoot(items);
    CTessaryView& list = *Frame().ListView();
    list.selectAll();
    for (auto _ : state) {
        state.PauseTiming();
        for (CDatum* d : items->GetDatumList())
            d->m_strContent = "some words of content";
        state.ResumeTiming();
        const auto start = Clock::now();
        CClearContentCmd(list.SelectedEntries(), Doc()).Execute();
        list.viewport()->update();
        state.SetIterationTime(Since(start));
    }
}
BENCHMARK(BM_ClearContent)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// `cat` of every file to /dev/null, in one process as a shell would run it.
double CatSeconds(const std::vector<std::string>& files)
{
    std::vector<char*> argv { const_cast<char*>("cat") };
    for (const std::string& f : files)
        argv.push_back(const_cast<char*>(f.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cat", &actions, nullptr, argv.data(), environ) != 0)
        return 0;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Since(start);
    posix_spawn_file_actions_destroy(&actions);
    return seconds;
}

void BM_ExtractSmallFiles(benchmark::State& state)
{
    constexpr int kFiles = 10000;
    QTemporaryDir dir;
    std::vector<std::string> paths;
    const std::string block(4096, 'x');
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(QFile::encodeName(dir.filePath(QStringLiteral("f%1.txt").arg(i))).toStdString());
        const int fd = ::open(paths.back().c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
            state.SkipWithError("cannot write the files");
            return;
        }
        ::close(fd);
    }
    NewLibrary();
    auto* category = new CCustomCategory("files");
    for (const std::string& p : paths)
        category->AddDatum(new CCustomDatum(DiskToGb(p)));
    ShowRoot(category);
    CTessaryView& list = *Frame().ListView();
    list.setFocus();
    list.selectAll();
    CatSeconds(paths); // warm the cache

    std::vector<double> ratios;
    for (auto _ : state) {
        for (CDatum* d : category->GetDatumList())
            d->m_strContent.Clear();
        const double cat = CatSeconds(paths);
        const auto start = Clock::now();
        Frame().Router().Execute(ID_EXTRACT_CONTENT);
        const double extract = Since(start);
        state.SetIterationTime(extract);
        ratios.push_back(extract / cat);
    }
    state.counters["ratio"] = Median(ratios);
    state.counters["filled"] = static_cast<double>(std::count_if(category->GetDatumList().begin(),
        category->GetDatumList().end(), [](const CDatum* d) { return d->m_strContent.size() == 4096; }));
}
BENCHMARK(BM_ExtractSmallFiles)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The scan phase of `tessary-cli scan ROOT -o LIB --timing`, in seconds; 0
// when the program is not at `cli`.
double CliScanSeconds(const QString& cli, const std::string& root)
{
    if (!QFile::exists(cli))
        return 0;
    QTemporaryDir dir;
    const QString command
        = QStringLiteral("'%1' scan '%2' -o '%3' --timing 2>&1")
              .arg(cli, QString::fromStdString(root), dir.filePath(QStringLiteral("b.dli")));
    FILE* out = ::popen(QFile::encodeName(command).constData(), "r");
    if (!out)
        return 0;
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof buf, out))
        text += buf;
    ::pclose(out);
    const std::size_t at = text.find("scan: ");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 6) / 1000.0;
}

// The command as the menu runs it.
WindowRun ImportFromMenu()
{
    return RunInWindow([] { Frame().Router().Execute(ID_IMPORT_FOLDER); });
}

void BM_ImportFolderCommand(benchmark::State& state)
{
    const std::string root = BenchTreeRoot();
    if (!IsFolder(root)) {
        state.SkipWithError("no benchmark tree: run make_tree.py");
        return;
    }
    SetDialogRunner([&root](QDialog& d) {
        auto& dlg = dynamic_cast<CImportDlgBase&>(d);
        dlg.m_strName = "bench";
        dlg.m_strSource = DiskToGb(root);
        dlg.m_bMakeRoot = true;
        return 1;
    });
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/cli/tessary-cli");
    DirectScanSeconds(root); // warm the cache
    std::vector<double> ratios, cliRatios, stalls, direct, windowed;
    for (auto _ : state) {
        NewLibrary();
        const double d = DirectScanSeconds(root);
        const double c = CliScanSeconds(cli, root);
        const WindowRun w = ImportFromMenu();
        state.SetIterationTime(w.seconds);
        direct.push_back(d);
        windowed.push_back(w.seconds);
        ratios.push_back(w.seconds / d);
        if (c > 0)
            cliRatios.push_back(w.seconds / c);
        stalls.push_back(w.worstStallMs);
    }
    SetDialogRunner({});
    state.counters["direct_s"] = Median(direct);
    state.counters["window_s"] = Median(windowed);
    state.counters["ratio"] = Median(ratios);
    if (!cliRatios.empty())
        state.counters["cli_ratio"] = Median(cliRatios);
    state.counters["stall_ms"] = Median(stalls);
    state.counters["worst_stall_ms"] = *std::max_element(stalls.begin(), stalls.end());
    state.counters["roots"] = static_cast<double>(Doc().GetRootCount());
}
BENCHMARK(BM_ImportFolderCommand)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tessary::bench::RunMainWindowBenchmarks(argc, argv);
}
