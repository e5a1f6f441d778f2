#include "SyntheticLibrary.h"

#include "Datum.h"
#include "DocumentFile.h"

#include "SmallPool.h"

#include <malloc.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace tessary::bench {

namespace {

const char* const kExtensions[] = { "txt", "doc", "pdf", "jpg", "png", "html", "cpp", "h", "mp3", "xlsx",
    "zip", "tar.gz", "", "docx", "py", "json" };
// A few common characters in GB18030 (two bytes each).
const char* const kChinese[] = { "\xCE\xC4", "\xBC\xFE", "\xB7\xD6", "\xC0\xE0", "\xD0\xC2", "\xBD\xA8",
    "\xB9\xE2", "\xC5\xCC", "\xCA\xFD", "\xBE\xDD" };

std::string Name(std::mt19937& rng)
{
    std::size_t len = 8 + rng() % 23;
    std::string s;
    bool chinese = rng() % 5 == 0;
    while (s.size() < len) {
        if (chinese && s.size() + 2 <= len && rng() % 2)
            s += kChinese[rng() % 10];
        else
            s += static_cast<char>("abcdefghijklmnopqrstuvwxyz0123456789_-"[rng() % 38]);
    }
    return s;
}

} // namespace

void WriteSyntheticLibraryFile(const std::string& path, const SyntheticShape& shape)
{
    const RootList roots = MakeSyntheticLibrary(shape);
    std::vector<const CCategory*> view;
    for (const auto& r : roots)
        view.push_back(r.get());
    WriteLibraryFile(view, path);
}

RootList MakeSyntheticLibrary(const SyntheticShape& shape)
{
    std::mt19937 rng(shape.seed);
    RootList roots;
    auto* root = new CRootFolderCategory("drive", "/media/data");
    roots.emplace_back(root);
    auto folders = AddFolderTree(root, shape.folders, rng, Name);
    for (std::size_t i = 0; i < shape.files; ++i) {
        CCategory* parent = folders[rng() % folders.size()].first;
        auto* d = new CFileDatum;
        d->m_strName = Name(rng);
        d->m_strExtension = kExtensions[rng() % 16];
        d->m_dwSize = rng() % 4 == 0 ? rng() : rng() % 100000;
        d->m_timeModified = static_cast<Time32>(946684800 + rng() % 850000000);
        if (rng() % 100 == 0)
            d->m_strRemark = "remark " + Name(rng);
        parent->AddDatum(d);
    }
    return roots;
}

RootList MakeMergedLibrary(std::size_t copies, const SyntheticShape& shape)
{
    RootList roots;
    auto* all = new CCustomCategory("all");
    roots.emplace_back(all);
    for (std::size_t i = 0; i < copies; ++i) {
        RootList drive = MakeSyntheticLibrary(shape);
        drive.front()->m_strName = "drive" + std::to_string(i + 1);
        all->AddSubCategory(drive.front().release());
    }
    return roots;
}

std::string MergedLibraryFile(const std::string& path, std::size_t copies, const SyntheticShape& shape)
{
    if (::access(path.c_str(), F_OK) == 0)
        return path;
    const RootList roots = MakeMergedLibrary(copies, shape);
    WriteLibraryFile({ roots.front().get() }, path);
    return path;
}

std::size_t CountEntries(const RootList& roots)
{
    std::size_t n = 0;
    ForEachCategory(roots, [&](const CCategory& c) { n += 1 + c.GetDatumList().size(); });
    return n;
}

namespace {

std::size_t ObjectBytes(const CItem& item)
{
    switch (item.GetClassId()) {
    case ClassId::Item:
        return sizeof(CItem);
    case ClassId::Category:
        return sizeof(CCategory);
    case ClassId::CustomCategory:
        return sizeof(CCustomCategory);
    case ClassId::CDRomCategory:
        return sizeof(CCDRomCategory);
    case ClassId::DriverCategory:
        return sizeof(CDriverCategory);
    case ClassId::RootFolderCategory:
        return sizeof(CRootFolderCategory);
    case ClassId::FolderCategory:
        return sizeof(CFolderCategory);
    case ClassId::Datum:
        return sizeof(CDatum);
    case ClassId::FileDatum:
        return sizeof(CFileDatum);
    case ClassId::CustomDatum:
        return sizeof(CCustomDatum);
    }
    return 0;
}

// malloc's cost of a buffer: an 8-byte header, rounded up to 16.
std::size_t MallocBytes(std::size_t n)
{
    return n ? (n + 8 + 15) / 16 * 16 : 0;
}

} // namespace

std::size_t LibraryBytes(const RootList& roots)
{
    std::size_t bytes = 0;
    ForEachCategory(roots, [&](const CCategory& c) {
        bytes += PoolBlockBytes(ObjectBytes(c)) + c.m_strName.HeapBytes() + c.m_strRemark.HeapBytes();
        if (auto* p = dynamic_cast<const CPathCategory*>(&c))
            bytes += p->m_strPath.HeapBytes();
        bytes += MallocBytes(c.GetDatumList().capacity() * sizeof(void*));
        bytes += MallocBytes(c.GetSubCategoryList().capacity() * sizeof(void*));
        for (const CDatum* d : c.GetDatumList()) {
            bytes += PoolBlockBytes(ObjectBytes(*d)) + d->m_strName.HeapBytes() + d->m_strRemark.HeapBytes()
                + d->m_strExtension.HeapBytes() + d->m_strContent.HeapBytes();
            if (auto* cd = dynamic_cast<const CCustomDatum*>(d))
                bytes += cd->m_strFolder.HeapBytes();
        }
    });
    return bytes;
}

} // namespace tessary::bench
