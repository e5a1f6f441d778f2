#include "RecoveryKeeper.h"

#include "Checksum.h"
#include "Document.h"
#include "DocumentController.h"
#include "ErrorReport.h"
#include "ExtensionBlock.h"
#include "FileError.h"
#include "Recovery.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace tessary {

namespace {

// Time the UI thread gives one slice of a copy, and how many entries it
// writes between two looks at the clock.
constexpr auto kSliceBudget = std::chrono::milliseconds(5);
constexpr std::size_t kEntriesPerLook = 2048;
constexpr int kPollMs = 1000;

int g_signalPipe[2] = { -1, -1 };

extern "C" void OnTerminationSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // Nothing else is safe here; a full pipe already carries a wake-up.
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

// Keeps the writer's pieces as they come, each a buffer of about a mebibyte.
class ChunkSink : public IByteSink {
public:
    void Write(const char* data, std::size_t size) override
    {
        chunks.emplace_back(data, size);
        length += size;
    }
    std::vector<std::string> chunks;
    std::uint64_t length = 0;
};

// The archive's pieces followed by the extension block for `records`.
void AddBlock(
    std::vector<std::string>& chunks, std::uint64_t length, const std::vector<ExtensionRecord>& records)
{
    if (records.empty())
        return;
    Checksum64 sum;
    for (const std::string& chunk : chunks)
        sum.Update(chunk);
    std::string block;
    AppendExtensionBlock(block, length, sum.Digest(), records);
    chunks.push_back(std::move(block));
}

// The CPU time this thread has used: a slice's cost without the time other
// programs had the processor.
double ThreadCpuMs()
{
    timespec t {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::vector<std::string_view> Views(const std::vector<std::string>& chunks)
{
    return { chunks.begin(), chunks.end() };
}

} // namespace

struct CRecoveryKeeper::Snapshot {
    explicit Snapshot(std::vector<const CCategory*> roots)
        : writer(std::move(roots), sink)
    {
    }
    ChunkSink sink;
    CSlicedLibraryWriter writer;
    std::uint64_t serial = 0;
};

CRecoveryKeeper::CRecoveryKeeper(
    CTessaryDoc& doc, CDocumentController& controller, std::string folder, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_controller(controller)
    , m_folder(std::move(folder))
{
    bool ok = false;
    const int interval = qEnvironmentVariableIntValue("TESSARY_RECOVERY_INTERVAL_MS", &ok);
    SetInterval(ok ? interval : 30000);
    connect(&m_poll, &QTimer::timeout, this, &CRecoveryKeeper::Poll);
    m_sliceTimer.setSingleShot(true);
    connect(&m_sliceTimer, &QTimer::timeout, this, &CRecoveryKeeper::Slice);
    m_poll.start();
    // Saving, a new library or another one opened: a copy that is no longer
    // needed goes at once. (A new copy is only ever started by the timer.)
    connect(&m_controller, &CDocumentController::DocumentStateChanged, this, [this] {
        if (!m_offering && !m_doc.IsModified())
            DropCopy();
    });
    connect(&m_controller, &CDocumentController::DocumentOpened, this, &CRecoveryKeeper::OfferFor);
}

CRecoveryKeeper::~CRecoveryKeeper()
{
    AbandonSnapshot();
    JoinWorker();
    if (m_file && !m_keepAtEnd)
        m_file->Remove();
    delete m_signals;
}

void CRecoveryKeeper::SetInterval(int milliseconds)
{
    m_interval = std::max(0, milliseconds);
    m_poll.setInterval(std::clamp(m_interval / 2, 10, kPollMs));
}

std::string CRecoveryKeeper::CopyPath() const
{
    return m_file ? m_file->Path() : std::string();
}

bool CRecoveryKeeper::AtIdlePoint() const
{
    // Inside a dialog's or a drag's own event loop a command is still under
    // way, and the library may be half changed.
    return !QApplication::activeModalWidget() && !QApplication::activePopupWidget()
        && QThread::currentThread()->loopLevel() <= 1 && QApplication::mouseButtons() == Qt::NoButton
        && !m_offering;
}

void CRecoveryKeeper::Poll()
{
    if (m_offering)
        return;
    if (m_worker.joinable() && !m_workerBusy.load())
        m_worker.join();
    if (!m_doc.IsModified()) {
        DropCopy();
        return;
    }
    // A copy kept for another library (opened since) is no use any more.
    if (m_file && !SameLibrary(m_file->Library(), m_doc.GetPathName()))
        DropCopy();
    const std::uint64_t serial = m_doc.GetChangeSerial();
    if (m_snapshot || m_workerBusy.load() || serial == m_startedSerial)
        return;
    if (m_sinceCopy.isValid() && m_sinceCopy.elapsed() < m_interval)
        return;
    if (!AtIdlePoint())
        return;
    m_snapshot = std::make_unique<Snapshot>(m_doc.GetRoots());
    m_snapshot->serial = serial;
    m_startedSerial = serial;
    m_sinceCopy.start();
    Slice();
}

void CRecoveryKeeper::Slice()
{
    if (!m_snapshot)
        return;
    // Pointers into the library hold only while it has not changed.
    if (m_doc.GetChangeSerial() != m_snapshot->serial || !m_doc.IsModified()) {
        AbandonSnapshot();
        m_startedSerial = 0;
        m_sinceCopy.invalidate();
        return;
    }
    if (!AtIdlePoint()) {
        m_sliceTimer.start(10);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuMs();
    const auto end = start + kSliceBudget;
    bool done = false;
    try {
        do
            done = m_snapshot->writer.Step(kEntriesPerLook);
        while (!done && std::chrono::steady_clock::now() < end);
        m_longestSliceMs = std::max(m_longestSliceMs,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        m_longestSliceCpuMs = std::max(m_longestSliceCpuMs, ThreadCpuMs() - cpuStart);
    } catch (const ArchiveError& e) {
        AbandonSnapshot();
        Q_EMIT CopyFailed(ArchiveFaultMessage(e.Fault()));
        return;
    }
    if (!done) {
        // A timer, not a posted call: posted calls run back to back in one
        // pass, and the window's own events would wait for all the slices.
        m_sliceTimer.start(0);
        return;
    }
    StartWorker();
}

bool CRecoveryKeeper::EnsureFile()
{
    if (m_file)
        return true;
    try {
        m_file = std::make_unique<CRecoveryFile>(m_folder, m_doc.GetPathName());
        return true;
    } catch (const FileError& e) {
        Q_EMIT CopyFailed(FileErrorMessage(e));
        return false;
    }
}

void CRecoveryKeeper::StartWorker()
{
    JoinWorker();
    std::unique_ptr<Snapshot> snapshot = std::move(m_snapshot);
    if (!EnsureFile())
        return;
    m_workerBusy.store(true);
    m_worker = std::thread(
        [this, file = m_file.get(), chunks = std::move(snapshot->sink.chunks), length = snapshot->sink.length,
            records = std::move(snapshot->writer.Records()), serial = snapshot->serial]() mutable {
            QString failure;
            try {
                AddBlock(chunks, length, records);
                file->Write(Views(chunks));
                m_writtenSerial.store(serial);
            } catch (const FileError& e) {
                failure = FileErrorMessage(e);
            } catch (...) {
                failure = ExceptionMessage(std::current_exception());
            }
            if (!failure.isEmpty())
                QMetaObject::invokeMethod(
                    this, [this, failure] { Q_EMIT CopyFailed(failure); }, Qt::QueuedConnection);
            m_workerBusy.store(false);
        });
}

void CRecoveryKeeper::JoinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CRecoveryKeeper::AbandonSnapshot()
{
    m_snapshot.reset();
}

void CRecoveryKeeper::DropCopy()
{
    AbandonSnapshot();
    JoinWorker();
    if (m_file)
        m_file->Remove();
    m_file.reset();
    m_startedSerial = 0;
    m_writtenSerial.store(0);
    m_sinceCopy.invalidate();
}

bool CRecoveryKeeper::WriteNow()
{
    AbandonSnapshot();
    JoinWorker();
    if (!m_doc.IsModified())
        return false;
    const std::uint64_t serial = m_doc.GetChangeSerial();
    if (m_writtenSerial.load() == serial && m_file)
        return true;
    if (m_file && !SameLibrary(m_file->Library(), m_doc.GetPathName()))
        DropCopy();
    if (!EnsureFile())
        return false;
    try {
        std::string bytes;
        WriteLibrary(m_doc.GetRoots(), bytes);
        const std::string_view piece = bytes;
        m_file->Write(std::span(&piece, 1));
        m_writtenSerial.store(serial);
        m_startedSerial = serial;
        return true;
    } catch (const FileError& e) {
        Q_EMIT CopyFailed(FileErrorMessage(e));
    } catch (const ArchiveError& e) {
        Q_EMIT CopyFailed(ArchiveFaultMessage(e.Fault()));
    }
    return false;
}

void CRecoveryKeeper::InstallSignalHandlers()
{
    if (m_signals)
        return;
    if (g_signalPipe[0] < 0) {
        if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGHUP, &action, nullptr);
    }
    m_signals = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read);
    connect(m_signals, &QSocketNotifier::activated, this, &CRecoveryKeeper::OnSignal);
}

void CRecoveryKeeper::OnSignal()
{
    char bytes[64];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
    if (WriteNow())
        KeepCopyAtEnd();
    Q_EMIT TerminationRequested();
}

} // namespace tessary
