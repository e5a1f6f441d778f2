#pragma once

// Bringing an imported category up to date with its folder on disk, without
// losing the remarks and contents the user added since the import.
//
// A refresh runs in three steps, so that a window can scan on a worker
// thread, show what would change and let the user choose before anything
// happens:
//
//   1. ScanForRefresh: scans the folder into a new, unlinked tree. Touches
//      nothing of the library; any thread; cancellable through ScanProgress.
//   2. PlanRefresh: compares the library's category with the scanned tree
//      and records what a merge would do. Reads the library, changes
//      nothing. RefreshPlan::Report lists the changes, including the
//      candidates the user decides on (entries kept although missing on
//      disk, files whose content is stale).
//   3. ApplyRefresh: carries the plan out in one step on the library's
//      thread, with the chosen RefreshOptions.
//
// Entries match when they sit at the same place, are of the same kind
// (folder or file) and have the same name and extension, compared as the
// stored bytes. Only the kinds a scan makes (folder categories and file data
// items) take part; anything else below an imported category is left alone.

#include "Content.h"
#include "Scan.h"
#include "Volume.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessary {

class CCategory;
class CDatum;
class CItem;
class CTessaryDoc;

// Whether `category` can be refreshed: a CD-ROM, drive or root-folder
// category, or a folder category below one of them.
bool CanRefresh(const CCategory& category) noexcept;

// Where a refresh reads, fixed on the library's thread before the scan starts.
struct RefreshSource {
    std::string diskPath; // the folder, as the platform's bytes
    bool followMounts = true; // false below CD-ROM and drive categories
};

// The folder behind `category` (its GetPath converted to disk bytes), or
// `otherDiskPath` when that is not empty (a disc mounted somewhere else).
// Throws std::invalid_argument when !CanRefresh(category).
RefreshSource RefreshSourceFor(const CCategory& category, const std::string& otherDiskPath = {});

// The folder behind `category` where it is now: where its volume is
// mounted today when that differs from the stored path (see
// CTessaryDoc::Locate). Throws VolumeOfflineError when its volume is not
// connected, and std::invalid_argument when !CanRefresh(category).
RefreshSource RefreshSourceFor(CTessaryDoc& doc, const CCategory& category);

// A scanned tree waiting to be compared.
struct RefreshScan {
    RefreshSource source;
    std::unique_ptr<CCategory> tree; // unlinked; holds the folder's entries
    ScanReport report;
    // The volume the folder is on, as of the scan (when it could be told).
    std::optional<VolumeRecord> volume;
};

// Scans `source` into a new tree. Uses nothing of the library, so it may run
// on any thread while the library stays on its own.
RefreshScan ScanForRefresh(
    const RefreshSource& source, unsigned threads = 0, ScanProgress* progress = nullptr);

// The scan was cancelled: there is nothing to plan, and nothing changed.
class RefreshCancelled : public std::runtime_error {
public:
    RefreshCancelled()
        : std::runtime_error("the refresh was cancelled")
    {
    }
};

// What the user chooses for the candidates of a plan.
struct RefreshOptions {
    // Remove entries gone from the disk even when they (or entries below
    // them) carry a remark or content.
    bool prune = false;
    // Read the new content of files whose size or time changed and that have
    // content, instead of keeping the old content.
    bool reextract = false;
};

// One line of a report: the entry's path in the library (GB18030, built from
// the stored path of the refreshed category), whether it is a folder, and how
// many entries it stands for (itself and, for a folder, everything below).
struct RefreshReportEntry {
    std::string path;
    bool folder = false;
    std::uint64_t entries = 1;
};

// A folder that the scan could not read or did not enter. What the library
// holds below it is left as it was.
struct RefreshSkippedFolder {
    std::string path; // library path, GB18030
    ScanSkip::Reason reason;
    int sysErrno = 0;
};

// What a refresh changes (or, before ApplyRefresh, would change) under the
// given options. Counts are numbers of entries; a folder added or removed
// with its content is one line of the list and counts every entry in it.
struct RefreshReport {
    std::uint64_t added = 0;
    std::uint64_t removed = 0;
    std::uint64_t changed = 0; // files whose size or time changed
    std::uint64_t keptMissing = 0; // gone from disk, kept for their remark or content
    std::uint64_t stale = 0; // changed files that keep their old content
    std::uint64_t reextracted = 0; // changed files whose content was read anew

    std::vector<RefreshReportEntry> addedEntries;
    std::vector<RefreshReportEntry> removedEntries;
    std::vector<RefreshReportEntry> changedEntries;
    std::vector<RefreshReportEntry> keptMissingEntries;
    std::vector<RefreshReportEntry> staleEntries;
    std::vector<RefreshReportEntry> reextractedEntries;
    // Files whose new content could not be read; they keep the old content
    // and are listed as stale too.
    std::vector<ContentError> extractFailures;
    std::vector<RefreshSkippedFolder> skippedFolders;

    // True when applying changes nothing in the library.
    bool NothingChanges() const noexcept { return added == 0 && removed == 0 && changed == 0; }
};

// The merge computed by PlanRefresh. It holds pointers into the library and
// owns the scanned entries that would be added: it stays valid only as long
// as nothing else changes the refreshed category's subtree (the window shows
// the preview modally). Destroying a plan that was not applied changes
// nothing. Move-only.
class RefreshPlan {
public:
    RefreshPlan();
    RefreshPlan(RefreshPlan&&) noexcept;
    RefreshPlan& operator=(RefreshPlan&&) noexcept;
    ~RefreshPlan();

    // The category the plan refreshes.
    CCategory* Target() const noexcept;
    const RefreshSource& Source() const noexcept;

    // What ApplyRefresh would do with `options`. With options.reextract the
    // outcome of reading is known only after ReadStaleContents; until then
    // every stale file counts as re-extracted.
    RefreshReport Report(const RefreshOptions& options) const;

    // Reads the current content of every stale candidate from the scanned
    // folder (with the core's extraction rules), keeping the bytes in the
    // plan for ApplyRefresh. Touches no library entry, so it may run on a
    // worker thread. A file that cannot be read is recorded, not thrown.
    // Returns false when `progress` asked to stop (what was read stays).
    bool ReadStaleContents(ScanProgress* progress = nullptr);
    // True while some stale file's content has not been read yet (what
    // ReadStaleContents would read).
    bool HasUnreadContent() const noexcept;

    // True after ApplyRefresh: the plan is spent.
    bool Applied() const noexcept;

    // Bytes the plan holds beyond the library (its records and the scanned
    // entries waiting to be added), for memory figures.
    std::size_t HeldBytes() const;

    struct Data;

private:
    friend RefreshPlan PlanRefresh(CCategory& target, RefreshScan&& scan);
    friend RefreshReport ApplyRefresh(CTessaryDoc& doc, RefreshPlan& plan, const RefreshOptions& options);
    std::unique_ptr<Data> m_data;
};

// Compares `target` (for which CanRefresh holds) with the scanned tree, which
// it consumes. Changes nothing in the library. Throws FileError naming the
// folder when the scan could not open it, and RefreshCancelled when the scan
// was cancelled.
RefreshPlan PlanRefresh(CCategory& target, RefreshScan&& scan);

// Carries out `plan` in the document that holds its target, in one step:
// files found again take their new size and time (and, with reextract,
// their new content), new entries are linked, entries gone from disk are
// removed (the document's removal listeners are told first), and the
// document is marked modified when anything changed. The imported category
// above the target takes the volume record of the scan when anything
// changed, when it had none, or when the scan found another volume or
// another place on it; the stored path stays as it is. Returns the report of
// what was done. With reextract, contents not read yet are read first; that
// is the only part that may fail (out of memory), and it fails before
// anything changes.
RefreshReport ApplyRefresh(CTessaryDoc& doc, RefreshPlan& plan, const RefreshOptions& options);

} // namespace tessary
