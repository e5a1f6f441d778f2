#include "GuiBenchSupport.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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

} // namespace tessary::bench
