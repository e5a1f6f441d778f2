#pragma once

#include "Archive.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QSocketNotifier;
class QWidget;

namespace tessary {

class CDocumentController;
class CRecoveryFile;
class CTessaryDoc;
struct RecoveryCopy;

// Keeps a recovery copy of the library while it has unsaved changes (see
// Recovery.h), and offers the copies that an ended program left behind.
//
// A copy is taken at most once per interval (30 s) after a change, and only
// between the window's events outside any dialog, so never while a change is
// half made. The UI thread serialises the library in slices of a few
// milliseconds (CSlicedLibraryWriter) into buffers; a change between two
// slices drops the half-made copy, and the next poll starts over. A worker
// thread adds the extension block and writes the file. Saving, or the
// library's end without saving, removes the copy.
//
// SIGTERM and SIGHUP are turned into an event (a pipe written by the handler
// and a socket notifier): with unsaved changes the copy is written at once,
// then the program ends without questions.
class CRecoveryKeeper : public QObject {
    Q_OBJECT
public:
    // `folder`: where copies go (DefaultRecoveryFolder()).
    CRecoveryKeeper(
        CTessaryDoc& doc, CDocumentController& controller, std::string folder, QObject* parent = nullptr);
    // Removes the copy unless the program ends by a signal (KeepCopyAtEnd).
    ~CRecoveryKeeper() override;

    // Parent window of the offer.
    void SetWindow(QWidget* window) { m_window = window; }
    // Shortest time between two copies; 30 s unless the environment variable
    // TESSARY_RECOVERY_INTERVAL_MS says otherwise.
    void SetInterval(int milliseconds);

    // Offers each copy left behind that holds more than its library, newest
    // first, until one is recovered. Returns true when one was.
    bool OfferAtStart();
    // Offers the copies of the library at `path`, just opened, unless offers
    // are held (at start-up, until the window shows).
    void OfferFor(const QString& path);
    void HoldOffers(bool hold) { m_offersHeld = hold; }

    // Writes the copy now, on this thread, when the library has unsaved
    // changes (also inside a dialog): for the end by a signal. Returns true
    // when a copy holds the library as it is.
    bool WriteNow();
    // The copy stays when the keeper goes (the program ends by a signal).
    void KeepCopyAtEnd() { m_keepAtEnd = true; }
    // The change serial of the library that the last written copy holds (0:
    // none); `Path` of the copy kept now (empty: none).
    std::uint64_t WrittenSerial() const noexcept { return m_writtenSerial.load(); }
    std::string CopyPath() const;
    // The longest time one slice of a copy has taken the UI thread so far,
    // on the clock and in CPU time of the thread.
    double LongestSliceMs() const noexcept { return m_longestSliceMs; }
    double LongestSliceCpuMs() const noexcept { return m_longestSliceCpuMs; }

    // Turns SIGTERM and SIGHUP into TerminationRequested (once per process).
    void InstallSignalHandlers();

Q_SIGNALS:
    // SIGTERM or SIGHUP arrived; the copy is written already.
    void TerminationRequested();
    // A copy could not be written (disk full, folder not writable).
    void CopyFailed(const QString& message);

private:
    void Poll();
    void Slice();
    void StartWorker();
    void JoinWorker();
    void AbandonSnapshot();
    void DropCopy();
    bool EnsureFile();
    void OnSignal();
    bool AtIdlePoint() const;
    // Asks about `copy`; on Recover, reads it into the library and keeps it
    // as this program's copy. Returns true when recovered.
    bool Offer(const RecoveryCopy& copy, bool openLibrary);

    CTessaryDoc& m_doc;
    CDocumentController& m_controller;
    std::string m_folder;
    QPointer<QWidget> m_window;
    QTimer m_poll;
    QTimer m_sliceTimer;
    int m_interval = 30000;
    QElapsedTimer m_sinceCopy; // since the last copy was started
    bool m_keepAtEnd = false;
    bool m_offering = false;
    bool m_offersHeld = false;
    double m_longestSliceMs = 0;
    double m_longestSliceCpuMs = 0;

    std::unique_ptr<CRecoveryFile> m_file;
    std::uint64_t m_startedSerial = 0; // serial of the copy started last
    std::atomic<std::uint64_t> m_writtenSerial { 0 };

    // The copy being serialised in slices.
    struct Snapshot;
    std::unique_ptr<Snapshot> m_snapshot;
    std::thread m_worker;
    std::atomic<bool> m_workerBusy { false };

    QSocketNotifier* m_signals = nullptr;
};

} // namespace tessary
