#pragma once

// Copies of one file across the library: the groups of data items that stand
// for the same file (duplicates), and the data items of a category that have
// no copy anywhere else (what would be lost with that drive or disc).
//
// Two data items are copies when
//   - their file names (name, then "." and the extension when there is one)
//     are the same bytes, letter case included, as stored;
//   - their sizes are equal, and at least the rule's least size (empty files
//     never count);
//   - with CopyRule::compareTime, their last-write times are equal too;
//   - and, when both hold extracted content, their contents are equal.
//
// The content clause makes "is a copy of" intransitive: an item without
// content is a copy of two items whose contents differ. Groups therefore
// follow this rule: among the items of one name, size (and time), when at
// most one distinct content occurs they all form one group; otherwise the
// items of each content form a group, and those without content one more.
// Every two items of a group are copies of each other; groups of one item
// are not listed.
//
// Library order, used within groups and for unique files: depth first, a
// category's own data items (in list order) before its sub-categories (in
// list order, each with everything below it).
//
// Both searches read the library and change nothing; they may run on a
// worker thread as long as nothing changes the library meanwhile. They work
// by hashing each item's name, size (and time) into buckets, never by
// comparing pairs. Duplicates need about 26 bytes per data item while they
// run (the result included); unique files about 60 per data item of the
// category.

#include "Category.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessary {

class CCategory;
class CDatum;

// What makes two data items copies, beyond the name (see above).
struct CopyRule {
    // Items smaller than this are left out; 0 counts as 1.
    Size32 minSize = 1;
    // The last-write times must be equal too.
    bool compareTime = false;
};

// Live figures of a search for copies, read by another thread while it runs,
// and the way to stop it. Thread-safe.
class CopyProgress {
public:
    void Cancel() noexcept { m_cancel.store(true, std::memory_order_relaxed); }
    bool Cancelled() const noexcept { return m_cancel.load(std::memory_order_relaxed); }
    // Steps done and steps in all (0 until known); each data item looked at
    // is a step, and so is each one grouped.
    std::uint64_t Done() const noexcept { return m_done.load(std::memory_order_relaxed); }
    std::uint64_t Total() const noexcept { return m_total.load(std::memory_order_relaxed); }

    // For the search.
    void SetTotal(std::uint64_t total) noexcept { m_total.store(total, std::memory_order_relaxed); }
    void Add(std::uint64_t steps) noexcept { m_done.fetch_add(steps, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancel { false };
    std::atomic<std::uint64_t> m_done { 0 };
    std::atomic<std::uint64_t> m_total { 0 };
};

// The duplicates found: the copies of every group, group after group, and
// where each group starts. Groups come by the space their extra copies take
// (size x (copies - 1)), largest first, ties in library order of their first
// copy; the copies of a group in library order.
struct DuplicateGroups {
    std::vector<CDatum*> items;
    // Group g is items[starts[g]] up to items[starts[g + 1]] (or the end).
    std::vector<std::uint32_t> starts;
    // The search was cancelled: nothing was found.
    bool cancelled = false;

    std::size_t GroupCount() const noexcept { return starts.size(); }
    std::span<CDatum* const> Group(std::size_t g) const noexcept;
    // The size of each copy of group g.
    Size32 GroupSize(std::size_t g) const noexcept;
    // Bytes the extra copies of group g take.
    std::uint64_t Wasted(std::size_t g) const noexcept;
    std::uint64_t TotalWasted() const noexcept;
};

// The groups of copies among the data items below `scopes` (each with its
// subtree, all together; a whole library is its root list). The rows point
// at the library's items and are valid while those live.
DuplicateGroups FindDuplicates(
    std::span<const CCategory* const> scopes, const CopyRule& rule = {}, CopyProgress* progress = nullptr);
DuplicateGroups FindDuplicates(
    const CCategory& scope, const CopyRule& rule = {}, CopyProgress* progress = nullptr);

// The data items of a category that have no copy elsewhere.
struct UniqueFiles {
    std::vector<CDatum*> items; // in library order
    std::uint64_t bytes = 0; // their sizes added up
    bool cancelled = false; // the search was cancelled: nothing was found
};

// The data items below `category` (at least the rule's least size) that
// have no copy among the data items of `roots` outside `category`'s subtree.
// Copies within the subtree do not count: they go with it. `category` lies
// below one of `roots` (or is one).
UniqueFiles FindUniqueFiles(std::span<const CCategory* const> roots, const CCategory& category,
    const CopyRule& rule = {}, CopyProgress* progress = nullptr);
inline UniqueFiles FindUniqueFiles(const CategoryList& roots, const CCategory& category,
    const CopyRule& rule = {}, CopyProgress* progress = nullptr)
{
    return FindUniqueFiles(
        std::span<const CCategory* const>(roots.begin(), roots.size()), category, rule, progress);
}

// A byte count for people: "0 Byte" to "1023 Byte", then KB, MB, GB and TB
// (of 1024) with one decimal, such as "1.5 GB".
std::string FormatByteAmount(std::uint64_t bytes);

} // namespace tessary
