#pragma once

#include "Archive.h"

#include <cstddef>
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

// Calls `fn(category)` for every category of the library, without recursion.
template <class Fn>
void ForEachCategory(const RootList& roots, Fn&& fn)
{
    std::vector<const CCategory*> pending;
    for (const auto& r : roots)
        pending.push_back(r.get());
    while (!pending.empty()) {
        const CCategory* c = pending.back();
        pending.pop_back();
        fn(*c);
        pending.insert(pending.end(), c->GetSubCategoryList().begin(), c->GetSubCategoryList().end());
    }
}

// Number of entries (categories and data items) below and including `roots`.
std::size_t CountEntries(const RootList& roots);

// Bytes the loaded library occupies: every entry object and text block as
// the allocator hands it out, and every list buffer.
std::size_t LibraryBytes(const RootList& roots);

} // namespace tessary::bench
