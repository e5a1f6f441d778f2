#pragma once

#include "Category.h"
#include "EntryWalk.h"
#include "SearchCriteria.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

class CDatum;

// What the quick find field asks for, parsed from what the user typed
// (library text, GB18030). Blank-separated tokens:
//
//   word        the display name (name with extension) contains it
//   "a b"       a word holding blanks
//   ext:pdf     the extension equals one of a comma list (ext:jpg,png)
//   in:NAME     below a root or category named NAME (in:"My Docs")
//   rem:WORD    the remark contains WORD
//   >10M  <1K   the size is greater / smaller (units K, M, G of 1024, an
//               optional B, decimals allowed: >1.5M)
//
// Every part must hold. Names, extensions, words and units compare without
// regard to the case of the ASCII letters, with the rules of keyword
// matching (a match starts on a character boundary; a text ends at its first
// zero byte). A prefix without a value ("ext:" while still typing) is left
// out; a size that does not parse is an ordinary word. Blanks are the ASCII
// blank, the tab and the ideographic space.
//
// All texts are kept folded (FoldCase), ready for comparison.
class CQuickQuery {
public:
    static CQuickQuery Parse(std::string_view text);

    // Nothing to look for: the field is empty (or holds only blanks and
    // prefixes without values). Such a query finds nothing.
    bool IsEmpty() const noexcept
    {
        return words.empty() && extensions.empty() && folders.empty() && remarks.empty() && !sizeAbove
            && !sizeBelow;
    }

    std::vector<std::string> words;
    std::vector<std::string> extensions; // any of them; none: no restriction
    std::vector<std::string> folders; // each names an ancestor category
    std::vector<std::string> remarks;
    std::optional<std::uint64_t> sizeAbove; // size > value
    std::optional<std::uint64_t> sizeBelow; // size < value

    // At most this many in: names count (more are ignored).
    static constexpr std::size_t kMaxFolders = 64;
};

// Length of the GB18030 character that starts `text` (1, 2 or 4 bytes; a
// character cut off by the end counts as far as the text goes).
std::size_t GbCharLength(std::string_view text) noexcept;

// `text` up to its first zero byte with the single-byte letters A-Z made
// lower case (bytes of multi-byte characters stay as they are).
std::string FoldCase(std::string_view text);
// Appends FoldCase(text) to `out`.
void AppendFolded(std::string& out, std::string_view text);
// FoldCase(text) == folded, without building the folded copy.
bool EqualsFolded(std::string_view text, std::string_view folded) noexcept;

// A query's tests on one data item, prepared for many items. Refers to
// `query`, which must outlive it unchanged.
class CQuickMatcher {
public:
    explicit CQuickMatcher(const CQuickQuery& query);
    CQuickMatcher(const CQuickMatcher&) = delete;
    CQuickMatcher& operator=(const CQuickMatcher&) = delete;

    // Everything but the in: names: words, extension, remark and size.
    bool MatchesItem(const CDatum& datum) const;
    // Bit i set when `category`'s name is the query's i-th in: name.
    std::uint64_t FolderBits(const CCategory& category) const noexcept;
    // The bits of all in: names (0 when there are none).
    std::uint64_t AllFolderBits() const noexcept { return m_allFolders; }

private:
    const CQuickQuery& m_query;
    std::vector<CKeywordPattern> m_words, m_remarks;
    std::uint64_t m_allFolders = 0;
    mutable std::string m_display; // reused buffer for the display name
};

// The plain scan of a library for a quick find query: every data item of
// `roots` (and their subtrees) that the query matches, in library order
// (categories in pre-order, each one's data items in list order before its
// sub-categories).
//
// It runs in steps so that a caller on the library's thread can spread a
// big library over many short slices. Between two steps the library must
// not change (a caller whose library changed starts a new scan).
class CQuickScan {
public:
    CQuickScan(const CQuickQuery& query, std::span<CCategory* const> roots);
    CQuickScan(const CQuickScan&) = delete;
    CQuickScan& operator=(const CQuickScan&) = delete;

    // Looks at up to about `budget` data items (at least one category);
    // true when the scan is over.
    bool Step(std::size_t budget);
    bool Done() const noexcept { return m_done; }
    // The matches so far (all of them once Done).
    std::vector<CDatum*>& Results() noexcept { return m_results; }

private:
    CQuickQuery m_query;
    CQuickMatcher m_matcher;
    std::vector<CCategory*> m_roots;
    CategoryWalk m_walk;
    std::vector<std::uint64_t> m_bits; // in: names met, per depth of the walk
    CCategory* m_current = nullptr; // the category whose data items are being looked at
    std::size_t m_next = 0; // its next data item
    std::vector<CDatum*> m_results;
    bool m_done = false;
};

// Runs a CQuickScan to its end.
std::vector<CDatum*> QuickScan(const CQuickQuery& query, std::span<CCategory* const> roots);

} // namespace tessary
