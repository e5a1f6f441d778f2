#pragma once

#include "Archive.h"

#include "Category.h"
#include "EntryWalk.h"

#include <algorithm>
#include <cstddef>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tessary::bench {

struct SyntheticShape {
    std::size_t folders = 50000;
    std::size_t files = 950000;
    unsigned seed = 1;
};

// A deterministic library shaped like an imported drive: one root-folder
// category, `folders` folder categories nested up to eight deep and `files`
// file data items spread over them. Names of 8-30 bytes, some Chinese
// (GB18030), realistic extensions, sizes and times, a remark on one item in
// a hundred, no content.
RootList MakeSyntheticLibrary(const SyntheticShape& shape = {});
// Writes that library to `path` as a library file.
void WriteSyntheticLibraryFile(const std::string& path, const SyntheticShape& shape = {});

// The ten-million-entry library: `copies` copies of MakeSyntheticLibrary(shape)
// merged under one custom root category "all", as a user merges the
// catalogues of ten drives into one library. Every file thus has `copies`
// copies, one below each drive.
RootList MakeMergedLibrary(std::size_t copies = 10, const SyntheticShape& shape = {});
// Writes that library to `path` (once: an existing file of that name is kept)
// and returns `path`, so that benchmarks share the file between runs.
std::string MergedLibraryFile(
    const std::string& path, std::size_t copies = 10, const SyntheticShape& shape = {});

// Adds `count` folder categories below `root`, nested up to eight deep (new
// folders prefer recent ones as parents, so the tree gets depth), named by
// `name(rng)`. Returns every category with its depth, `root` first.
template <class NameFn>
std::vector<std::pair<CCategory*, int>> AddFolderTree(
    CCategory* root, std::size_t count, std::mt19937& rng, NameFn&& name)
{
    std::vector<std::pair<CCategory*, int>> folders { { root, 0 } };
    folders.reserve(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t pick = folders.size() - 1 - rng() % std::min<std::size_t>(folders.size(), 64);
        auto [parent, depth] = folders[pick];
        if (depth >= 8)
            std::tie(parent, depth) = folders[rng() % std::min<std::size_t>(folders.size(), 100)];
        auto* f = new CFolderCategory(name(rng));
        parent->AddSubCategory(f);
        folders.emplace_back(f, depth + 1);
    }
    return folders;
}

// Calls `fn(category)` for every category of the library, in pre-order.
template <class Fn> void ForEachCategory(const RootList& roots, Fn&& fn)
{
    std::vector<const CCategory*> starts;
    for (const auto& r : roots)
        starts.push_back(r.get());
    for (const CCategory& c : PreOrder(std::span<const CCategory* const>(starts)))
        fn(c);
}

// Number of entries (categories and data items) below and including `roots`.
std::size_t CountEntries(const RootList& roots);

// Bytes the loaded library occupies: every entry object and text block as
// the allocator hands it out, and every list buffer.
std::size_t LibraryBytes(const RootList& roots);

} // namespace tessary::bench
