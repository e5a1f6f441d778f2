#pragma once

#include "NameIndex.h"
#include "QuickQuery.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessary {

class CItem;
class CTessaryDoc;

// Find as you type over a whole library: keeps a name index of the
// document's library up to date on a worker thread and answers quick find
// queries from it, or by a plain scan in short steps while there is no
// index that matches the library as it is.
//
// Threads. The library is single-threaded and the worker never reads it:
// everything the worker reads (copies of names, sizes and places, and
// handles of the data items that it never follows) is copied out of the
// library on the library's thread, in short steps, and owned by the index.
// Whatever the library's thread does between two steps, the worker cannot
// meet a half-changed or destroyed entry.
//
// Staleness. The document's change serial grows with every change; as soon
// as a step sees it move, the index, a copy under way and the lookup are
// dropped (a worker still busy with them is told to stop) and started
// again. So renames, additions and deletions are seen by the next lookup,
// and the rows handed out are always live entries: a removal moves the
// serial before the entries go, results found before it are never handed
// out after it.
//
// Every member function but the constructor's `wake` runs on the library's
// thread. The worker calls `wake` (from its own thread) when it has
// something for the library's thread: Step should then be called there.
class CQuickFinder {
public:
    // `batchItems`: the size of the batches the library is copied in (see
    // CIndexHarvest).
    CQuickFinder(
        CTessaryDoc& doc, std::function<void()> wake, std::size_t batchItems = CIndexHarvest::kBatchItems);
    ~CQuickFinder();
    CQuickFinder(const CQuickFinder&) = delete;
    CQuickFinder& operator=(const CQuickFinder&) = delete;

    // Starts looking for `query` in the whole library, in place of the
    // lookup before (whose result will never be handed out). An empty query
    // finds nothing at once.
    void Find(const CQuickQuery& query);
    // Forgets the current lookup.
    void Cancel();

    // Does the work of the library's thread for about `budget`: notices a
    // changed library, copies the library for the index, scans while there
    // is no index, picks up what the worker finished. True when more of that
    // work waits (call again soon); false when the finder is idle or waits
    // for the worker (which calls `wake`).
    bool Step(std::chrono::microseconds budget);
    // The rows of the newest lookup once it is complete, at most once per
    // lookup: its data items (as entries, ready to be listed) in library
    // order. They are live entries of the library as it is.
    std::optional<std::vector<CItem*>> TakeResult();

    // A lookup has been started and its result not yet taken.
    bool Busy() const noexcept { return m_lookup != nullptr; }
    // The index matches the library as it is.
    bool IndexReady() const noexcept { return m_index != nullptr; }
    // The ready index (null while there is none), for figures.
    const CNameIndex* Index() const noexcept { return m_index.get(); }

    // Copied batches waiting for the worker at most; the copying pauses beyond.
    static constexpr std::size_t kMaxPendingBatches = 4;

private:
    struct Lookup;
    struct Task;
    class Worker;

    // Compares the document's change serial with the one everything here
    // belongs to; drops it all when the library changed.
    void CheckLibrary();
    void Collect();
    void StartLookup(const CQuickQuery& query);
    bool StepLookup(std::chrono::steady_clock::time_point deadline);
    bool StepHarvest(std::chrono::steady_clock::time_point deadline);

    CTessaryDoc& m_doc;
    const std::size_t m_batchItems;
    std::uint64_t m_serial = 0;
    std::shared_ptr<const CNameIndex> m_index;
    std::unique_ptr<CIndexHarvest> m_harvest;
    bool m_finishSent = false; // the harvest is complete; waiting for the index
    bool m_buildFailed = false; // no index for this state of the library (no memory): lookups scan
    std::uint64_t m_generation = 0; // of the build under way
    std::unique_ptr<Lookup> m_lookup;
    std::uint64_t m_nextLookupId = 0;
    std::unique_ptr<Worker> m_worker;
};

} // namespace tessary
