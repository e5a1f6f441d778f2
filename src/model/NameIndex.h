#pragma once

#include "Category.h"
#include "QuickQuery.h"
#include "TextSet.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tessary {

class CDatum;

// What the name index is built from: the texts, sizes and places of a
// library's entries, copied out of the library so that the index can be
// built and asked on another thread while the library goes on changing on
// its own. Entries come in library order: each category (with its depth)
// before its data items, then its sub-categories.
struct CIndexBatch {
    struct Category {
        std::uint32_t depth;
        std::uint32_t name; // offset in `texts`
        std::uint32_t nameLength;
        std::uint32_t firstItem; // the number of data items that came before it
    };
    struct Item {
        const CDatum* item; // a handle: never followed off the library's thread
        std::uint32_t size;
        std::uint32_t text; // offset in `texts`: the name, the extension, the remark
        std::uint32_t nameLength;
        std::uint32_t extensionLength;
        std::uint32_t remarkLength;
    };
    std::string texts;
    std::vector<Category> categories;
    std::vector<Item> items;
};

// Copies a library into index batches in steps, on the library's thread,
// so that a big library is read in many short slices. A first pass counts
// the data items (so that the index can be sized once), a second one copies.
// Between two steps the library must not change (a caller whose library
// changed starts over).
class CIndexHarvest {
public:
    // `batchItems`: a batch is handed on when it holds this many items (or
    // kBatchBytes of text).
    explicit CIndexHarvest(std::span<CCategory* const> roots, std::size_t batchItems = kBatchItems);
    CIndexHarvest(const CIndexHarvest&) = delete;
    CIndexHarvest& operator=(const CIndexHarvest&) = delete;

    // Reads up to about `budget` entries; true when everything was read.
    bool Step(std::size_t budget);
    bool Done() const noexcept { return m_done; }
    // The number of data items, once counted (before that 0).
    std::size_t ItemCount() const noexcept { return m_counted ? m_itemCount : 0; }
    // The batches completed since the last call (the last one once Done).
    std::vector<CIndexBatch> TakeBatches();
    // False when remarks were left out for their size (see kRemarkBudget).
    bool RemarksComplete() const noexcept { return !m_remarksDropped; }

    // Remarks are copied up to this many bytes in all; an index built from
    // more says that it cannot answer remark questions.
    static constexpr std::size_t kRemarkBudget = std::size_t(64) << 20;
    static constexpr std::size_t kBatchItems = 1 << 16;
    static constexpr std::size_t kBatchBytes = std::size_t(4) << 20;

private:
    void StartWalk();
    void CloseBatch();

    std::vector<CCategory*> m_roots;
    std::size_t m_batchItems;
    std::unique_ptr<CategoryWalk> m_walk;
    bool m_counted = false;
    bool m_done = false;
    std::size_t m_itemCount = 0;
    std::size_t m_copied = 0;
    std::size_t m_remarkBytes = 0;
    bool m_remarksDropped = false;
    const CCategory* m_current = nullptr; // the category whose data items are being copied
    std::size_t m_next = 0;
    CIndexBatch m_batch;
    std::vector<CIndexBatch> m_ready;
};

// An index of a library's data items for quick find queries: built once
// (CNameIndexBuilder), read-only afterwards, so any number of threads may
// ask it at once. It holds copies of what it needs and handles of the data
// items, which it never follows: whether a handle is still a live entry is
// for the library's thread to know.
//
// Layout. Data items are numbered in library order. Their display names
// (name with extension, folded) are kept once per distinct name together
// with the extension, in one block of text where a zero byte ends each; a
// posting list per distinct name gives the items that carry it. A word is
// looked for in the distinct names, narrowed first by a filter of byte
// trigrams per group of 64 names, then the names' postings give the items.
// Categories keep their folded name and the range of item numbers of their
// subtree; remarks are kept for the few items that have one; sizes for all.
class CNameIndex {
public:
    enum class Outcome {
        Found,
        Cancelled, // `cancel` was set
        Unanswerable, // the query asks about remarks the index could not keep
    };

    // The item numbers the query matches, in library order. Polls `cancel`
    // (may be null) often and gives up once it is set.
    Outcome Find(
        const CQuickQuery& query, std::vector<std::uint32_t>& found, const std::atomic<bool>* cancel) const;

    std::size_t ItemCount() const noexcept { return m_items.size(); }
    const CDatum* Item(std::uint32_t number) const noexcept { return m_items[number]; }
    std::size_t DistinctNames() const noexcept { return m_names.size(); }
    // Bytes the index holds.
    std::size_t MemoryBytes() const noexcept;

private:
    friend class CNameIndexBuilder;

    bool Cancelled(const std::atomic<bool>* cancel) const noexcept
    {
        return cancel && cancel->load(std::memory_order_relaxed);
    }
    // The distinct names (by number, ascending) that hold every word and
    // whose extension is allowed (`extensions` empty: any).
    bool MatchingNames(const CQuickQuery& query, const std::vector<bool>& extensions,
        std::vector<std::uint32_t>& names, const std::atomic<bool>* cancel) const;
    bool RemarkMatches(std::size_t remark, const std::vector<CKeywordPattern>& words) const;

    // Data items.
    std::vector<const CDatum*> m_items;
    std::vector<std::uint32_t> m_sizes;
    // Distinct display names, tagged with their extension's number.
    CTextSet m_names { true };
    std::vector<std::uint32_t> m_postingStart; // per name, and one past the last
    std::vector<std::uint32_t> m_postings; // item numbers, ascending per name
    CTextSet m_extensions;
    // Trigram filter: for each of kFilterBuckets buckets, a bit per group of
    // kGroupNames names, set when a name of the group holds a trigram of the bucket.
    static constexpr std::size_t kGroupNames = 64;
    static constexpr std::size_t kFilterBuckets = 4096;
    std::size_t m_groupWords = 0; // 64-bit words per bucket
    std::vector<std::uint64_t> m_filter;
    // Categories, in library order.
    CTextSet m_categoryNames;
    std::vector<std::uint32_t> m_categoryName;
    std::vector<std::uint32_t> m_categoryBegin, m_categoryEnd; // item numbers of the subtree
    // Remarks of the items that have one, in item order.
    std::vector<std::uint32_t> m_remarkItems;
    std::vector<std::uint32_t> m_remarkStart; // one past the last too
    std::string m_remarks;
    bool m_remarksComplete = true;
};

// Builds a CNameIndex from the batches of a CIndexHarvest, on any thread.
class CNameIndexBuilder {
public:
    // `itemCount`: the harvest's count, to size the index once (more items
    // are taken all the same).
    explicit CNameIndexBuilder(std::size_t itemCount);
    CNameIndexBuilder(const CNameIndexBuilder&) = delete;
    CNameIndexBuilder& operator=(const CNameIndexBuilder&) = delete;

    void Add(const CIndexBatch& batch);
    // Completes the index; the builder is spent. `remarksComplete`: the
    // harvest copied every remark.
    std::unique_ptr<CNameIndex> Finish(bool remarksComplete);

private:
    std::uint32_t ExtensionNumber(std::string_view ext);

    std::unique_ptr<CNameIndex> m_index;
    std::vector<std::uint32_t> m_itemName;
    std::array<std::pair<std::uint64_t, std::uint32_t>, 256>
        m_extensionCache {}; // key 0: empty // distinct name of each item
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_open; // categories still open: number, depth
    // Reused buffers: one batch's keys and their hashes.
    std::string m_folded, m_keys;
    std::vector<std::size_t> m_keyEnds;
    std::vector<std::uint32_t> m_keyTags;
    std::vector<std::uint64_t> m_keyHashes;
};

// Reads the whole library at once and builds its index (for tests and
// tools; the window spreads the reading over many steps).
std::unique_ptr<CNameIndex> BuildNameIndex(std::span<CCategory* const> roots);

} // namespace tessary
