#pragma once

// Small helpers to build and compare libraries in tests.

#include "Archive.h"
#include "Category.h"
#include "Datum.h"

#include <memory>
#include <string>
#include <vector>

namespace tessary::testing {

inline CCustomDatum* MakeCustomDatum(
    std::string_view name, std::string_view ext, std::string_view folder, Size32 size = 0, Time32 time = 0)
{
    auto* d = new CCustomDatum;
    d->m_strName = name;
    d->m_strExtension = ext;
    d->m_strFolder = folder;
    d->m_dwSize = size;
    d->m_timeModified = time;
    return d;
}

inline std::vector<const CCategory*> View(const RootList& roots)
{
    std::vector<const CCategory*> v;
    for (const auto& r : roots)
        v.push_back(r.get());
    return v;
}

inline std::string Write(const std::vector<const CCategory*>& roots)
{
    std::string out;
    WriteLibrary(roots, out);
    return out;
}

inline std::string Write(const RootList& roots)
{
    return Write(View(roots));
}

// The bytes of the root list of a library file, without the extension
// block that may follow (volume records hold the free space and time of a
// scan, which differ between two scans).
inline std::string RootBytes(const std::string& file)
{
    std::size_t end = 0;
    ReadLibraryRoots(file, end);
    return file.substr(0, end);
}

// Every entry with its kind, fields and position, one line each, in list
// order; parent links that do not match the list an entry is in are marked.
std::string Describe(const std::vector<const CCategory*>& roots);
inline std::string Describe(const RootList& roots)
{
    return Describe(View(roots));
}

} // namespace tessary::testing
