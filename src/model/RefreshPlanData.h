#pragma once

// The records of a refresh plan, shared by the code that computes a plan
// and the code that reports and applies it. Not part of the public API.

#include "Category.h"
#include "Content.h"
#include "Refresh.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

inline constexpr std::uint32_t kNoRecord = std::numeric_limits<std::uint32_t>::max();

struct RefreshPlan::Data {
    // A scanned entry that is not in the library. The plan owns `entry` (a
    // file data item, or a folder category with its subtree) until it is
    // linked to `parent`. For each parent the files are recorded in the order
    // they take at the head of its data items, the folders in the order they
    // are appended.
    struct Added {
        CCategory* parent;
        CItem* entry;
        std::uint64_t entries;
    };
    // A file found again whose size or time differs.
    struct Changed {
        CDatum* datum;
        Size32 size;
        Time32 time;
        std::uint32_t stale; // index into `stale` when the file has content, else kNoRecord
    };
    // A library entry gone from the disk. `kept` entries carry a remark or
    // content (or something below does) and stay unless pruning; the others
    // go in any case. `enclosing` is the kept folder record this one lies in
    // (kNoRecord at the top), which pruning removes as a whole.
    struct Missing {
        CItem* entry;
        std::uint32_t enclosing;
        bool kept;
        std::uint64_t entries; // the entry and everything below it
    };
    // A changed file with content, and what reading it anew gave.
    struct Stale {
        std::uint32_t changed; // index into `changed`
        std::string gbPath; // where the file is now (under the scanned folder)
        enum class State : std::uint8_t { Pending, Read, Failed } state = State::Pending;
        CText content;
        std::optional<ContentError> error;
    };

    CCategory* target = nullptr;
    RefreshSource source;
    bool applied = false;
    std::vector<Added> added;
    std::vector<Changed> changed;
    std::vector<Missing> missing;
    std::vector<Stale> stale;
    std::vector<RefreshSkippedFolder> skipped;
    std::optional<VolumeRecord> volume; // of the scanned folder

    Data() = default;
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;
    ~Data()
    {
        if (!applied)
            for (const Added& a : added)
                delete a.entry;
    }
};

// Whether an entry holds work of the user's that a refresh must not drop
// silently: a remark, content, or a kind that scanning never makes.
bool CarriesWork(const CItem& item) noexcept;

// The number of entries in `category`'s subtree, itself included.
std::uint64_t SubtreeEntries(const CCategory& category);

} // namespace tessary
