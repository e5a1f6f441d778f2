#include "GuiBenchSupport.h"

#include "BenchSupport.h"
#include "Document.h"
#include "TessaryApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace tessary::bench {

WindowRun RunInWindow(const std::function<void()>& work)
{
    WindowRun run;
    QEventLoop loop;
    QElapsedTimer sinceTick;
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] { worst = std::max(worst, sinceTick.restart()); });
    QTimer::singleShot(0, [&] {
        tick.start();
        sinceTick.start();
        const auto start = Clock::now();
        work();
        run.seconds = Since(start);
        worst = std::max(worst, sinceTick.elapsed());
        tick.stop();
        loop.quit();
    });
    loop.exec();
    run.worstStallMs = static_cast<double>(worst);
    return run;
}

int RunGuiBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

int RunMainWindowBenchmarks(int argc, char** argv, const std::function<void()>& ready)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CTessaryApp app(argc, argv);
    CBenchPrompts prompts;
    SetPrompts(&prompts);
    QTemporaryDir settings;
    StartOptions options;
    options.profilePath = settings.filePath(QStringLiteral("Oakbrim.ini"));
    options.registerFileType = false;
    if (!app.InitInstance({}, options))
        return 1;
    if (ready)
        ready();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    app.Document()->SetModifiedFlag(false);
    app.ExitInstance();
    SetPrompts(nullptr);
    return 0;
}

} // namespace tessary::bench
