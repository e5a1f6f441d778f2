#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

class CCategory;
class CCDRomCategory;
class CDriverCategory;
class CPathCategory;
class CRootFolderCategory;
enum class ClassId : std::uint8_t;

// Live figures of a scan, read by another thread (a progress dialog) while
// the scan runs, and the way to stop it. Everything here is thread-safe.
class ScanProgress {
public:
    // Asks the scan to stop as soon as it can; it then returns with
    // ScanReport::cancelled set and the caller discards the half-built tree.
    void Cancel() noexcept { m_cancel.store(true, std::memory_order_relaxed); }
    bool Cancelled() const noexcept { return m_cancel.load(std::memory_order_relaxed); }

    // Entries (folders and files) recorded so far.
    std::uint64_t EntriesFound() const noexcept { return m_entries.load(std::memory_order_relaxed); }
    // The folder being read most recently (disk bytes); empty before the first.
    std::string CurrentFolder() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_folder;
    }

    // For the scanner.
    void AddEntries(std::uint64_t n) noexcept { m_entries.fetch_add(n, std::memory_order_relaxed); }
    void SetCurrentFolder(const std::string& folder)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_folder = folder;
    }

private:
    std::atomic<bool> m_cancel { false };
    std::atomic<std::uint64_t> m_entries { 0 };
    mutable std::mutex m_mutex;
    std::string m_folder;
};

// How far a scan goes.
struct ScanOptions {
    // Threads that read folders; 0 means one per core, 1 scans on the calling
    // thread only. Any count builds the same tree: entries in the same order.
    unsigned threads = 0;
    // True for folder imports: other file systems mounted below the folder
    // are entered (pseudo file systems such as proc or sysfs never are).
    // False for drive and CD imports, which stay on the volume they start on.
    bool followMounts = true;
    // Progress and cancellation; may be null.
    ScanProgress* progress = nullptr;
};

// A folder the scan could not read or did not enter. Its category is still
// in the tree (empty), so the user sees where something is missing.
struct ScanSkip {
    enum class Reason {
        Unreadable, // could not be opened or listed (permission, I/O error)
        OtherVolume, // another file system, not entered by a drive or CD scan
        Pseudo, // a pseudo file system (proc, sysfs, ...), never entered
    };
    std::string path; // disk bytes
    Reason reason;
    int sysErrno = 0; // for Unreadable
};

// What a scan did besides filling the tree.
struct ScanReport {
    // The top folder could be opened and listed (otherwise nothing was added).
    bool opened = false;
    // Why the top folder could not be opened (an errno value), when !opened.
    int openErrno = 0;
    // The scan was stopped through ScanProgress::Cancel; the tree is partial.
    bool cancelled = false;
    // Entries added (folders and files).
    std::uint64_t entries = 0;
    // Folders below the top that were not read or not entered, in no
    // particular order.
    std::vector<ScanSkip> skipped;
};

// Adds the contents of the folder at `diskPath` (the platform's bytes) to
// `into`, as CCategory::ScanFolder describes: sub-folders become folder
// categories in listing order, files become file data items at the head of
// the data-item list. `into` must not be reachable from any other thread
// while the scan runs (scan into an unlinked category and attach it after).
//
// With several threads, each folder is still filled by one thread only and
// the threads have ended when the call returns, so the caller owns a tree
// that no other thread touches. The tree is whole at any moment: after a
// cancel, or when out of memory is thrown here, the entries made so far are
// linked below `into` and are destroyed with it. Any depth is scanned with
// a bounded number of open descriptors.
ScanReport ScanFolderInto(CCategory& into, const std::string& diskPath, const ScanOptions& options = {});

// The scope a kind of category is scanned with: a CD or drive import stays
// on its volume, a folder import follows other volumes mounted below it.
bool FollowsMounts(ClassId kind) noexcept;

// Scans the folder that the category's path names into it, with the scope
// of its kind (options.followMounts is ignored).
ScanReport ScanPathCategory(CPathCategory& category, ScanOptions options = {});

// The factories of Category.h with options and a report; the scope comes
// from the kind, as above. The result is unlinked and owned by the caller.
CCDRomCategory* CreateCDRomCategory(
    std::string_view name, const std::string& path, const ScanOptions& options, ScanReport& report);
CDriverCategory* CreateDriverCategory(
    std::string_view name, const std::string& path, const ScanOptions& options, ScanReport& report);
CRootFolderCategory* CreateRootFolderCategory(
    std::string_view name, const std::string& path, const ScanOptions& options, ScanReport& report);

} // namespace tessary
