#include "ScanRunner.h"

#include "Category.h"
#include "DisplayText.h"
#include "MountSource.h"
#include "ProgressDlg.h"
#include "TextCodec.h"

#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tessary {

namespace {

// How often the dialog reads the figures: often enough to look alive, rare
// enough to cost the scan nothing.
constexpr int kRefreshMs = 100;
// A job that ends within this time ends without a dialog flashing up. The
// window is blocked meanwhile, so it stays well below a noticeable pause.
constexpr auto kQuietStart = std::chrono::milliseconds(30);

// What the worker and the user-interface thread share while a job runs.
struct JobState {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false; // guarded by mutex
    std::exception_ptr error; // written by the worker before `finished`

    bool Finished()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return finished;
    }
};

// The progress window of a running job. It only reads the job's figures,
// and closes once the job has ended.
class CJobProgressDlg : public CProgressDlg {
public:
    CJobProgressDlg(QWidget* parent, const QString& title, const WorkerJobWindow& window, JobState& state)
        : CProgressDlg(parent, title, window.objectName, window.countName, window.itemName, window.maximum,
            [this] {
                // Cancel, Escape and the close button: the job stops while
                // the dialog stays up, so the window keeps repainting.
                m_window.cancel();
                Refresh();
            })
        , m_window(window)
        , m_state(state)
    {
        m_timer.setInterval(kRefreshMs);
        connect(&m_timer, &QTimer::timeout, this, &CJobProgressDlg::Refresh);
        m_timer.start();
        Refresh();
    }

    // Shows the current figures; closes the dialog once the job has ended.
    void Refresh()
    {
        if (m_state.Finished()) {
            m_timer.stop();
            QDialog::done(QDialog::Accepted);
            return;
        }
        m_window.show(*this);
    }

private:
    const WorkerJobWindow& m_window;
    JobState& m_state;
    QTimer m_timer;
};

// Ends the worker however RunWorkerJob is left: a thread still joinable at
// destruction would end the program.
class CWorkerGuard {
public:
    CWorkerGuard(std::thread& worker, const WorkerJobWindow& window)
        : m_worker(worker)
        , m_window(window)
    {
    }
    ~CWorkerGuard()
    {
        if (m_worker.joinable()) {
            m_window.cancel();
            m_worker.join();
        }
    }
    CWorkerGuard(const CWorkerGuard&) = delete;
    CWorkerGuard& operator=(const CWorkerGuard&) = delete;

private:
    std::thread& m_worker;
    const WorkerJobWindow& m_window;
};

CPathCategory* NewCategory(ImportKind kind, std::string_view name, std::string_view path)
{
    switch (kind) {
    case ImportKind::CDRom:
        return new CCDRomCategory(name, path);
    case ImportKind::Drive:
        return new CDriverCategory(name, path);
    case ImportKind::RootFolder:
        break;
    }
    return new CRootFolderCategory(name, path);
}

} // namespace

bool RunWorkerJob(
    QWidget* parent, const QString& title, const std::function<void()>& job, const WorkerJobWindow& window)
{
    JobState state;
    CJobProgressDlg dialog(parent, title, window, state);
    std::thread worker([&state, &job, &dialog] {
        try {
            job();
        } catch (...) {
            state.error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            state.finished = true;
        }
        state.ended.notify_all();
        // Wake the dialog at once instead of at its next tick. The event is
        // dropped if the dialog is gone by then (it never is before join).
        QMetaObject::invokeMethod(
            &dialog, [&dialog] { dialog.Refresh(); }, Qt::QueuedConnection);
    });
    CWorkerGuard guard(worker, window);

    bool quick = false;
    {
        std::unique_lock<std::mutex> lock(state.mutex);
        quick = state.ended.wait_for(lock, kQuietStart, [&state] { return state.finished; });
    }
    if (!quick)
        dialog.exec();
    worker.join();
    if (state.error)
        std::rethrow_exception(state.error);
    return !window.cancelled();
}

bool RunScanJob(QWidget* parent, const QString& title, const ScanJob& job)
{
    ScanProgress progress;
    WorkerJobWindow window;
    window.objectName = QStringLiteral("scanProgress");
    window.countName = QStringLiteral("entries");
    window.itemName = QStringLiteral("folder");
    window.cancel = [&progress] { progress.Cancel(); };
    window.cancelled = [&progress] { return progress.Cancelled(); };
    window.show = [&progress](CProgressDlg& dialog) {
        dialog.SetCount(QString::fromUtf8("已找到 %1 个文件和文件夹")
                            .arg(QLocale().toString(static_cast<qulonglong>(progress.EntriesFound()))));
        if (!progress.Cancelled())
            dialog.SetItem(DiskPathToText(progress.CurrentFolder()));
    };
    return RunWorkerJob(
        parent, title, [&progress, &job] { job(progress); }, window);
}

ScannedCategory ScanNewCategory(
    QWidget* parent, const QString& title, ImportKind kind, std::string_view name, const std::string& path)
{
    ScannedCategory result;
    const std::string diskPath = GbToDisk(path);
    const bool completed = RunScanJob(parent, title, [&](ScanProgress& progress) {
        std::unique_ptr<CPathCategory> category(NewCategory(kind, name, path));
        ScanOptions options;
        options.followMounts = kind == ImportKind::RootFolder;
        options.progress = &progress;
        result.report = ScanFolderInto(*category, diskPath, options);
        // A cancelled tree is destroyed here, off the user-interface thread.
        if (!progress.Cancelled()) {
            // The volume it came from, so that it is found wherever the
            // volume is mounted later.
            if (result.report.opened)
                category->SetVolume(IdentifyVolumeAt(MountSource(), diskPath));
            result.category = std::move(category);
        }
    });
    // Cancel pressed just as the scan ended: the user still asked for nothing.
    if (!completed)
        result.category.reset();
    return result;
}

QString SkippedFoldersMessage(const ScanReport& report, int maxPaths)
{
    std::vector<const std::string*> unreadable;
    for (const ScanSkip& skip : report.skipped)
        if (skip.reason == ScanSkip::Reason::Unreadable)
            unreadable.push_back(&skip.path);
    if (unreadable.empty())
        return QString();
    const std::size_t shown = std::min(unreadable.size(), static_cast<std::size_t>(std::max(maxPaths, 0)));
    std::partial_sort(unreadable.begin(), unreadable.begin() + static_cast<std::ptrdiff_t>(shown),
        unreadable.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
    QString text = QString::fromUtf8("有 %1 个文件夹无法读取，其中的内容没有导入：")
                       .arg(QLocale().toString(static_cast<qulonglong>(unreadable.size())));
    for (std::size_t i = 0; i < shown; ++i)
        text += QLatin1Char('\n') + DiskPathToText(*unreadable[i]);
    if (unreadable.size() > shown)
        text += QString::fromUtf8("\n……");
    return text;
}

} // namespace tessary
