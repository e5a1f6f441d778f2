#pragma once

// The machinery behind ScanFolderInto: the work shared by the scan's threads
// and the depth-first walker each thread runs. Internal to the model.

#include "MountTable.h"
#include "Scan.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessary {

class CCategory;
class IFileSystem;

namespace scan {

// A folder handed from one thread to another. Its category is already linked
// into the scanned tree and still empty; the folder is open.
struct FolderTask {
    CCategory* category = nullptr;
    int fd = -1; // owned by the task until a walker takes it
    dev_t device = 0;
    ino_t inode = 0;
    std::string path; // disk bytes
};

// What the threads of one scan share: the folders waiting for a thread, the
// stop flag, the mount table and the first failure.
class ScanShared {
public:
    ScanShared(IFileSystem& fs, const ScanOptions& options, unsigned threads);
    // Closes the folders of tasks that no thread took (after a stop).
    ~ScanShared();
    ScanShared(const ScanShared&) = delete;
    ScanShared& operator=(const ScanShared&) = delete;

    IFileSystem& Fs() const noexcept { return m_fs; }
    const ScanOptions& Options() const noexcept { return m_options; }
    CMountTable& Mounts() noexcept { return m_mounts; }
    // Descriptors a walker may keep open for the folders it is inside of.
    std::size_t FdWindow() const noexcept { return m_fdWindow; }

    // Queues a folder for any thread. Throws only std::bad_alloc, with the
    // task's folder still open and owned by the caller.
    void Push(FolderTask&& task);
    // Takes the next folder, waiting while other threads may still hand one
    // out. `wasBusy` tells that the caller finished a folder it had taken.
    // Returns false when the scan is over: every folder done, or stopped.
    bool Pop(FolderTask& task, bool wasBusy);
    // Some thread waits for work that nobody has queued yet.
    bool Hungry() const noexcept { return m_hungry.load(std::memory_order_relaxed) > 0; }

    // Ends the scan early on every thread.
    void Stop(bool cancelled) noexcept;
    bool Stopped() const noexcept { return m_stop.load(std::memory_order_relaxed); }
    bool Cancelled() const noexcept { return m_cancelled.load(std::memory_order_relaxed); }
    // Records the first failure of a thread (out of memory) and stops.
    void Fail(std::exception_ptr error) noexcept;
    std::exception_ptr Error() const;

private:
    void UpdateHunger() noexcept
    {
        m_hungry.store(
            static_cast<int>(m_waiting) - static_cast<int>(m_queue.size()), std::memory_order_relaxed);
    }

    IFileSystem& m_fs;
    const ScanOptions& m_options;
    CMountTable m_mounts;
    std::size_t m_fdWindow;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<FolderTask> m_queue;
    unsigned m_busy = 0;
    unsigned m_waiting = 0;
    bool m_done = false;
    std::exception_ptr m_error;
    std::atomic<int> m_hungry { 0 };
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_cancelled { false };
};

// One thread's walk: takes folders from the shared queue and scans each one
// depth first. Every folder is listed completely before the walker enters
// its sub-folders, so a walker needs a descriptor only for the folders it
// is inside of, and keeps at most FdWindow() of those open: above that, the
// outermost is closed and opened again through ".." on the way back up, so
// any depth scans with a bounded number of descriptors.
//
// The sub-folders of a folder are created and linked to its category while
// it is listed, in listing order; files go to the head of its data items.
// Each category is filled by exactly one thread, so no two threads ever
// touch the same entry. When another thread waits for work, the walker
// hands it an unvisited sub-folder from the outermost folder it is in.
class FolderWalker {
public:
    explicit FolderWalker(ScanShared& shared);
    ~FolderWalker();
    FolderWalker(const FolderWalker&) = delete;
    FolderWalker& operator=(const FolderWalker&) = delete;

    // Scans folders until the scan is over. Never throws: a failure is
    // recorded in the shared state, which stops the other threads.
    void Run() noexcept;

    std::uint64_t Entries() const noexcept { return m_entries; }
    std::vector<ScanSkip>& Skipped() noexcept { return m_skipped; }

private:
    struct Child {
        CCategory* category;
        std::size_t nameOffset; // in m_names, zero-terminated
        dev_t device;
        ino_t inode;
    };
    struct Frame {
        CCategory* category;
        int fd; // -1 while closed to save descriptors
        dev_t device;
        ino_t inode;
        std::size_t pathLength; // of the folder's path in m_path
        std::size_t next, end; // sub-folders still to enter: m_children[next, end)
        std::size_t childBase, nameBase; // where this folder's records start
    };

    void Walk(FolderTask& task);
    void List(std::size_t index);
    void Record(std::size_t index, const char* name, std::size_t length, unsigned char type);
    void Descend();
    void Ascend();
    int OpenChild(std::size_t parent, const char* name);
    void Reopen(Frame& frame, int childFd);
    void CloseOutermost();
    void Donate();
    void CloseAll() noexcept;

    bool Stopping();
    void Count() noexcept;
    void Flush() noexcept;
    void ShowFolder();
    void Skip(std::string path, ScanSkip::Reason reason, int err);
    std::string ChildPath(std::size_t frame, const char* name) const;

    ScanShared& m_shared;
    IFileSystem& m_fs;
    ScanProgress* m_progress;
    std::vector<Frame> m_frames;
    std::vector<Child> m_children;
    std::string m_names;
    std::string m_path; // the innermost folder's path
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_openFrames = 0;
    std::size_t m_outermostOpen = 0; // the open frames are m_frames[m_outermostOpen..]
    std::uint64_t m_entries = 0;
    std::uint64_t m_unreported = 0;
    std::vector<ScanSkip> m_skipped;
    std::chrono::steady_clock::time_point m_lastShown {};
};

} // namespace scan
} // namespace tessary
