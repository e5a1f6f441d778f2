#include "ContentExtraction.h"

#include "Content.h"
#include "Datum.h"
#include "DisplayText.h"
#include "Document.h"
#include "ErrorReport.h"
#include "ProgressDlg.h"
#include "TextCodec.h"
#include "UserPrompts.h"
#include "Volume.h"
#include "VolumeCommands.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace tessary {
namespace {

// Bytes the reader may hold ahead of the assignments: enough to keep it
// busy, little next to the library itself.
constexpr std::size_t kReadAhead = 64u << 20;
// How often the user-interface thread takes what was read: rarely enough
// that thousands of small files cost no more than a few wake-ups.
constexpr int kTakeMs = 10;
constexpr int kRefreshMs = 100;

// One file read by the worker: its content, or the failure.
struct FileRead {
    std::size_t index = 0;
    std::optional<CText> content;
    std::optional<DocumentTextResult> text; // for documents
    std::exception_ptr error;
};

// What the reader thread and the user-interface thread share.
class CReadQueue {
public:
    std::atomic<bool> stop { false };
    std::atomic<std::size_t> reading { 0 }; // index of the file being read

    // Reader: hands over one read, after waiting while too much is waiting.
    void Put(FileRead read, std::size_t bytes)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_room.wait(lock, [&] { return m_bytes < kReadAhead || stop.load(); });
        m_reads.push_back(std::move(read));
        m_bytes += bytes;
    }
    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    // User interface: everything read so far; `finished` tells whether the
    // reader had ended before (so that nothing more will come).
    std::deque<FileRead> Take(bool& finished)
    {
        std::deque<FileRead> reads;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            reads.swap(m_reads);
            m_bytes = 0;
            finished = m_finished;
        }
        m_room.notify_all();
        return reads;
    }
    void Stop()
    {
        stop.store(true);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_room.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<FileRead> m_reads;
    std::size_t m_bytes = 0;
    bool m_finished = false;
};

// The extraction's progress window: files done of all, the file being read.
class CExtractProgressDlg : public CProgressDlg {
public:
    CExtractProgressDlg(QWidget* parent, std::size_t total, std::function<void()> cancel)
        : CProgressDlg(parent, QString::fromUtf8("提取内容"), QStringLiteral("extractProgress"),
            QStringLiteral("files"), QStringLiteral("file"),
            static_cast<int>(std::min<std::size_t>(total, std::numeric_limits<int>::max())),
            std::move(cancel))
        , m_total(total)
    {
        Show(0, QString());
    }

    void Show(std::size_t done, const QString& file)
    {
        SetCount(QString::fromUtf8("已提取 %1 / %2 个文件")
                     .arg(QLocale().toString(static_cast<qulonglong>(done)),
                         QLocale().toString(static_cast<qulonglong>(m_total))));
        SetValue(static_cast<int>(std::min<std::size_t>(done, std::numeric_limits<int>::max())));
        SetItem(file);
    }

private:
    std::size_t m_total;
};

// One run: the reader thread, the assignments and the progress dialog.
class CExtraction : public QObject, public IEntryRemovalListener {
public:
    CExtraction(std::span<CDatum* const> items, CTessaryDoc& doc, QWidget* parent, ContentMode mode)
        : m_items(items.begin(), items.end())
        , m_mode(mode)
        , m_doc(doc)
        , m_parent(parent)
        , m_window(parent ? parent->window() : nullptr)
    {
        // Paths are found here, where each file is now (at its volume's
        // current mount point); the worker only reads them. A file whose
        // volume is away fails with the volume to connect.
        m_paths.reserve(m_items.size());
        m_extensions.reserve(m_items.size());
        m_away.resize(m_items.size());
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            m_extensions.emplace_back(m_items[i]->m_strExtension.view());
            EntryLocation where = m_doc.Locate(*m_items[i]);
            if ((where.state == EntryLocation::State::Offline
                    || where.state == EntryLocation::State::Ambiguous)
                && where.volume)
                m_away[i] = std::make_exception_ptr(VolumeOfflineError(
                    where.diskPath, *where.volume, where.state == EntryLocation::State::Ambiguous));
            m_paths.push_back(std::move(where.diskPath));
        }
        m_doc.AddRemovalListener(this);
    }

    ~CExtraction() override
    {
        m_queue.Stop();
        if (m_reader.joinable())
            m_reader.join();
        m_doc.RemoveRemovalListener(this);
        if (m_filtering)
            qApp->removeEventFilter(this);
    }

    ExtractionOutcome Run(int quietMs)
    {
        m_reader = std::thread([this] { ReadAll(); });
        // The windows go on repainting, but no other command may start and
        // no window may close while the run holds pointers into the library.
        qApp->installEventFilter(this);
        m_filtering = true;

        QTimer take;
        take.setInterval(kTakeMs);
        connect(&take, &QTimer::timeout, this, &CExtraction::Take);
        take.start();
        QTimer quiet;
        quiet.setSingleShot(true);
        connect(&quiet, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        quiet.start(quietMs);
        {
            // Until the progress window shows, the cursor says that the
            // program is busy.
            CWaitCursor wait;
            m_loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        quiet.stop();

        // A quit that came before the loop ran would be lost: look first.
        if (!m_finished) {
            CExtractProgressDlg dialog(DialogParent(), m_items.size(), [this] { Cancel(); });
            m_dialog = &dialog;
            QTimer refresh;
            refresh.setInterval(kRefreshMs);
            connect(&refresh, &QTimer::timeout, this, &CExtraction::Refresh);
            refresh.start();
            Refresh();
            dialog.show();
            m_loop.exec();
            m_dialog = nullptr;
        }
        take.stop();
        // The loop also ends when the program quits: the reader must not
        // wait for room that will never be made.
        if (!m_finished)
            Stop();
        m_reader.join();
        if (m_error)
            std::rethrow_exception(m_error);
        if (!m_noText.empty())
            Prompts().ShowMessage(m_parent, NoTextMessage(m_noText), IUserPrompts::Icon::Information);
        return m_outcome;
    }

    void OnEntriesRemoving(std::span<const CItem* const> entries) override
    {
        // Never the case while the dialogs keep other commands out, but the
        // run must not write into an item that is gone.
        const std::unordered_set<const CItem*> going(entries.begin(), entries.end());
        for (CDatum*& item : m_items) {
            for (const CItem* e = item; e && item; e = e->GetParent())
                if (going.count(e))
                    item = nullptr;
        }
    }
    void OnLibraryClearing() override
    {
        std::fill(m_items.begin(), m_items.end(), nullptr);
        Cancel();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Close:
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove:
            // The main window neither closes nor opens a dropped library now.
            if (m_window && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == m_window) {
                event->ignore();
                return true;
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Worker thread: reads the files in order and hands each over.
    void ReadAll()
    {
        const auto wake
            = [this] { QMetaObject::invokeMethod(this, &CExtraction::Take, Qt::QueuedConnection); };
        for (std::size_t i = 0; i < m_paths.size() && !m_queue.stop.load(); ++i) {
            m_queue.reading.store(i);
            FileRead read;
            read.index = i;
            std::size_t bytes = 0;
            bool last = false;
            try {
                if (m_away[i])
                    std::rethrow_exception(m_away[i]);
                read.content = ReadContentFile(m_paths[i], &m_queue.stop);
                if (!read.content)
                    break; // stopped half-way
                read.text = ReadDocumentText(m_extensions[i], read.content->view());
                bytes = read.content->size() + (read.text ? read.text->text.size() : 0);
            } catch (const ContentError& e) {
                read.error = std::current_exception();
                last = e.WhileReading();
            } catch (const VolumeOfflineError&) {
                read.error = std::current_exception();
            } catch (...) {
                read.error = std::current_exception();
                last = true;
            }
            const bool failed = read.error != nullptr;
            m_queue.Put(std::move(read), bytes);
            if (last)
                break;
            // A failure is reported at once rather than at the next take.
            if (failed)
                wake();
        }
        m_queue.Finish();
        wake();
    }

    // User-interface thread: assigns what was read, reports failures, and
    // ends the loop once the reader has ended.
    void Take()
    {
        // A message box below runs its own event loop, which calls in here.
        if (m_taking)
            return;
        m_taking = true;
        try {
            for (;;) {
                bool finished = false;
                std::deque<FileRead> reads = m_queue.Take(finished);
                for (FileRead& read : reads)
                    if (!m_over)
                        Apply(read);
                if (finished) {
                    m_finished = true;
                    m_loop.quit();
                    break;
                }
                if (reads.empty())
                    break;
            }
        } catch (...) {
            m_error = std::current_exception();
            Stop();
        }
        m_taking = false;
    }

    void Apply(FileRead& read)
    {
        ++m_done;
        CDatum* item = m_items[read.index];
        if (!item)
            return;
        if (read.content) {
            StoreContent(*item, std::move(*read.content), read.text, m_mode);
            ++m_outcome.extracted;
            m_doc.SetModifiedFlag(true);
            if (read.text && read.text->problem != TextProblem::None) {
                ++m_outcome.withoutText;
                m_noText.emplace_back(DiskPathToText(m_paths[read.index]), read.text->problem);
            }
            return;
        }
        try {
            std::rethrow_exception(read.error);
        } catch (const VolumeOfflineError& e) {
            // Once per volume: its other files are away for the same reason.
            ++m_outcome.failed;
            const VolumeRecord& v = e.Record();
            if (m_toldAway.insert(v.uuid + '\n' + v.label).second)
                Prompts().ShowMessage(DialogParent(), FileErrorMessage(e), IUserPrompts::Icon::Warning);
        } catch (const ContentError& e) {
            ++m_outcome.failed;
            if (e.WhileReading())
                Stop();
            Prompts().ShowMessage(DialogParent(), FileErrorMessage(e), IUserPrompts::Icon::Warning);
        } catch (...) {
            m_error = std::current_exception();
            Stop();
        }
    }

    void Cancel()
    {
        if (!m_over)
            m_outcome.cancelled = true;
        Stop();
    }
    void Stop()
    {
        m_over = true;
        m_queue.Stop();
    }

    void Refresh()
    {
        if (!m_dialog)
            return;
        const std::size_t reading = std::min(m_queue.reading.load(), m_paths.size() - 1);
        m_dialog->Show(m_done, DiskPathToText(m_paths[reading]));
    }

    QWidget* DialogParent() const
    {
        if (m_dialog && m_dialog->isVisible())
            return m_dialog;
        return m_parent;
    }

    std::vector<CDatum*> m_items; // null once an item has left the library
    ContentMode m_mode;
    std::vector<std::string> m_paths; // disk bytes
    std::vector<std::string> m_extensions; // of the items, for the worker
    std::vector<std::pair<QString, TextProblem>> m_noText; // documents that gave no text
    std::vector<std::exception_ptr> m_away; // set for the files of volumes that are away
    std::unordered_set<std::string> m_toldAway; // volumes already named to the user
    CTessaryDoc& m_doc;
    QPointer<QWidget> m_parent;
    QPointer<QWidget> m_window; // the main window, kept still during the run
    CReadQueue m_queue;
    std::thread m_reader;
    QEventLoop m_loop;
    CExtractProgressDlg* m_dialog = nullptr;
    ExtractionOutcome m_outcome;
    std::exception_ptr m_error;
    std::size_t m_done = 0;
    bool m_taking = false;
    bool m_over = false; // cancelled or stopped: nothing more is assigned
    bool m_finished = false; // the reader has ended and all it read is taken
    bool m_filtering = false;
};

} // namespace

QString NoTextMessage(const std::vector<std::pair<QString, TextProblem>>& files, std::size_t shown)
{
    QString text = QString::fromUtf8("以下 %1 个文档没有得到文本，只保存了内容：").arg(files.size());
    for (std::size_t i = 0; i < files.size() && i < shown; ++i) {
        const std::string_view why = TextProblemWords(files[i].second);
        text += QLatin1Char('\n') + files[i].first + QString::fromUtf8("（")
            + QString::fromUtf8(why.data(), static_cast<qsizetype>(why.size())) + QString::fromUtf8("）");
    }
    if (files.size() > shown)
        text += QLatin1Char('\n') + QString::fromUtf8("……另有 %1 个").arg(files.size() - shown);
    return text;
}

ExtractionOutcome ExtractContents(
    std::span<CDatum* const> items, CTessaryDoc& doc, QWidget* parent, int quietMs, ContentMode mode)
{
    if (items.empty())
        return {};
    // Cloned disks: the user says which one holds the files, before reading.
    if (!SettleClonedVolumes(doc, items, parent)) {
        ExtractionOutcome cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    CExtraction run(items, doc, parent, mode);
    return run.Run(quietMs);
}

} // namespace tessary
