// Scanning for a refresh and comparing the scanned tree with the library.

#include "Datum.h"
#include "Document.h"
#include "EntryWalk.h"
#include "MountSource.h"
#include "RefreshPlanData.h"
#include "TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <span>
#include <unordered_set>

namespace tessary {

namespace {

// The first ancestor (or `category` itself) that is not a folder category:
// the one whose kind says where the tree came from.
const CCategory* ImportTop(const CCategory& category) noexcept
{
    const CCategory* c = &category;
    while (c && c->GetClassId() == ClassId::FolderCategory)
        c = c->GetParent();
    return c;
}

bool IsScannedKind(const CItem& item) noexcept
{
    ClassId id = item.GetClassId();
    return id == ClassId::FolderCategory || id == ClassId::FileDatum;
}

int CompareDatums(const CDatum* a, const CDatum* b) noexcept
{
    int c = a->m_strName.view().compare(b->m_strName.view());
    return c ? c : a->m_strExtension.view().compare(b->m_strExtension.view());
}

int CompareCategories(const CCategory* a, const CCategory* b) noexcept
{
    return a->m_strName.view().compare(b->m_strName.view());
}

std::vector<std::string_view> Components(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

// Pairs the entries of a library list with those of the scanned list that
// have the same key, as many of each key as both sides hold.
//
// A folder lists its entries in the same order from one scan to the next,
// apart from the entries added and removed in between, so the two lists are
// walked side by side: equal keys pair at once, and at a difference a short
// look ahead on either side steps over an entry that only one side has.
// Whatever is left (entries that moved in the listing, or duplicate names in
// a damaged or hand-made library) is paired by sorting the rest only.
template <class T, class Compare> class Pairing {
public:
    // libPartner[i] is the scanned index paired with lib[i], or -1;
    // scanTaken[j] tells whether scan[j] was paired.
    std::vector<std::int32_t> libPartner;
    std::vector<char> scanTaken;

    void Run(std::span<T* const> lib, std::span<T* const> scan, Compare compare)
    {
        const std::size_t n = lib.size(), m = scan.size();
        libPartner.assign(n, -1);
        scanTaken.assign(m, 0);
        m_libRest.clear();
        m_scanRest.clear();
        auto pair = [&](std::size_t i, std::size_t j) {
            libPartner[i] = static_cast<std::int32_t>(j);
            scanTaken[j] = 1;
        };
        std::size_t i = 0, j = 0;
        while (i < n && j < m) {
            if (compare(lib[i], scan[j]) == 0) {
                pair(i++, j++);
                continue;
            }
            std::size_t skip = 0;
            for (std::size_t k = 1; k <= kLookAhead && i + k < n && !skip; ++k)
                if (compare(lib[i + k], scan[j]) == 0)
                    skip = k;
            if (skip) {
                for (; skip; --skip)
                    m_libRest.push_back(static_cast<std::uint32_t>(i++));
                continue;
            }
            for (std::size_t k = 1; k <= kLookAhead && j + k < m && !skip; ++k)
                if (compare(lib[i], scan[j + k]) == 0)
                    skip = k;
            if (skip) {
                for (; skip; --skip)
                    m_scanRest.push_back(static_cast<std::uint32_t>(j++));
                continue;
            }
            m_libRest.push_back(static_cast<std::uint32_t>(i++));
            m_scanRest.push_back(static_cast<std::uint32_t>(j++));
        }
        if ((i == n && m_libRest.empty()) || (j == m && m_scanRest.empty()))
            return;
        for (; i < n; ++i)
            m_libRest.push_back(static_cast<std::uint32_t>(i));
        for (; j < m; ++j)
            m_scanRest.push_back(static_cast<std::uint32_t>(j));
        SortByKey(m_libRest, lib, compare);
        SortByKey(m_scanRest, scan, compare);
        std::size_t a = 0, b = 0;
        while (a < m_libRest.size() && b < m_scanRest.size()) {
            int c = compare(lib[m_libRest[a]], scan[m_scanRest[b]]);
            if (c < 0)
                ++a;
            else if (c > 0)
                ++b;
            else
                pair(m_libRest[a++], m_scanRest[b++]);
        }
    }

private:
    // Sorts positions by key (position breaking ties). The first eight bytes
    // of each name, kept beside the position, decide most comparisons
    // without reaching the entries.
    void SortByKey(std::vector<std::uint32_t>& positions, std::span<T* const> list, Compare compare)
    {
        m_keyed.clear();
        for (std::uint32_t p : positions)
            m_keyed.push_back({ NamePrefix(list[p]->m_strName.view()), p });
        std::sort(m_keyed.begin(), m_keyed.end(), [&](const Keyed& a, const Keyed& b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            int c = compare(list[a.position], list[b.position]);
            return c < 0 || (c == 0 && a.position < b.position);
        });
        for (std::size_t i = 0; i < m_keyed.size(); ++i)
            positions[i] = m_keyed[i].position;
    }

    // The first eight bytes, big-endian and padded with zeros: ordered as
    // the bytes are, and equal only when the full comparison must decide.
    static std::uint64_t NamePrefix(std::string_view name) noexcept
    {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < 8; ++i)
            v = (v << 8) | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0u);
        return v;
    }

    struct Keyed {
        std::uint64_t prefix;
        std::uint32_t position;
    };
    static constexpr std::size_t kLookAhead = 4;
    std::vector<std::uint32_t> m_libRest, m_scanRest;
    std::vector<Keyed> m_keyed;
};

using DatumCompare = int (*)(const CDatum*, const CDatum*) noexcept;
using CategoryCompare = int (*)(const CCategory*, const CCategory*) noexcept;

class Planner {
public:
    Planner(RefreshPlan::Data& plan, const ScanReport& report)
        : m_plan(plan)
        , m_report(report)
    {
    }

    ~Planner()
    {
        // Left only when an exception interrupts the walk.
        for (const Pair& p : m_stack)
            delete p.scan;
    }

    void Run(CCategory& target, std::unique_ptr<CCategory> tree)
    {
        m_scanRootGb = DiskToGb(m_plan.source.diskPath);
        MapSkippedFolders(target, *tree);
        m_stack.push_back({ &target, tree.release() });
        while (!m_stack.empty()) {
            Pair p = m_stack.back();
            m_stack.pop_back();
            Compare(p.lib, std::unique_ptr<CCategory>(p.scan));
        }
    }

private:
    struct Pair {
        CCategory* lib;
        CCategory* scan; // owned by the stack
    };

    // Finds the scanned folder of every skipped path, so that the library's
    // folder there is left as it is: an unreadable folder is not an empty one.
    void MapSkippedFolders(const CCategory& target, CCategory& tree)
    {
        const std::vector<std::string_view> root = Components(m_plan.source.diskPath);
        const std::string targetPath = target.GetPath();
        for (const ScanSkip& skip : m_report.skipped) {
            std::vector<std::string_view> parts = Components(skip.path);
            RefreshSkippedFolder out { {}, skip.reason, skip.sysErrno };
            CCategory* folder = nullptr;
            if (parts.size() >= root.size() && std::equal(root.begin(), root.end(), parts.begin())) {
                folder = &tree;
                out.path = targetPath;
                for (std::size_t i = root.size(); i < parts.size() && folder; ++i) {
                    const std::string name = DiskToGb(parts[i]);
                    CCategory* next = nullptr;
                    for (CCategory* sub : folder->GetSubCategoryList())
                        if (sub->m_strName.view() == name)
                            next = sub;
                    folder = next;
                    out.path += kPathSep;
                    out.path += name;
                }
            } else {
                out.path = DiskToGb(skip.path);
            }
            if (folder)
                m_unreadable.insert(folder);
            m_plan.skipped.push_back(std::move(out));
        }
    }

    // Compares one library folder with its scanned counterpart and records
    // the differences. The scanned folder is consumed: files found again are
    // freed at once, so that the scanned tree shrinks while the plan grows.
    void Compare(CCategory* lib, std::unique_ptr<CCategory> scan)
    {
        if (m_unreadable.erase(scan.get()))
            return;

        // Everything that may throw comes first, while `scan` still owns its
        // whole subtree.
        Participants(lib->GetSubCategoryList(), m_libSubs);
        Participants(lib->GetDatumList(), m_libData);
        const CategoryList& scanSubs = scan->GetSubCategoryList();
        const DatumList& scanData = scan->GetDatumList();
        m_subPairs.Run(m_libSubs, std::span<CCategory* const>(scanSubs.begin(), scanSubs.size()),
            static_cast<CategoryCompare>(CompareCategories));
        m_dataPairs.Run(m_libData, std::span<CDatum* const>(scanData.begin(), scanData.size()),
            static_cast<DatumCompare>(CompareDatums));

        std::size_t newEntries = 0, pairedSubs = 0;
        for (char taken : m_subPairs.scanTaken)
            taken ? ++pairedSubs : ++newEntries;
        for (char taken : m_dataPairs.scanTaken)
            newEntries += !taken;

        for (std::size_t i = 0; i < m_libSubs.size(); ++i)
            if (m_subPairs.libPartner[i] < 0)
                AddMissingFolder(m_libSubs[i]);
        for (std::size_t i = 0; i < m_libData.size(); ++i) {
            std::int32_t j = m_dataPairs.libPartner[i];
            if (j < 0)
                m_plan.missing.push_back({ m_libData[i], kNoRecord, CarriesWork(*m_libData[i]), 1 });
            else
                CompareFiles(m_libData[i], *scanData[static_cast<std::size_t>(j)]);
        }
        for (std::size_t j = 0; j < scanSubs.size(); ++j)
            if (!m_subPairs.scanTaken[j])
                m_subtreeSizes.push_back(SubtreeEntries(*scanSubs[j]));
        m_plan.added.reserve(m_plan.added.size() + newEntries);
        m_stack.reserve(m_stack.size() + pairedSubs);

        // From here on nothing throws: ownership of the scanned entries moves
        // to the plan (new ones), the stack (folders to compare) or is
        // released (files found again).
        for (std::size_t j = 0; j < scanData.size(); ++j) {
            if (m_dataPairs.scanTaken[j])
                delete scanData[j];
            else
                m_plan.added.push_back({ lib, scanData[j], 1 });
        }
        std::size_t sized = 0;
        for (std::size_t j = 0; j < scanSubs.size(); ++j)
            if (!m_subPairs.scanTaken[j])
                m_plan.added.push_back({ lib, scanSubs[j], m_subtreeSizes[sized++] });
        m_subtreeSizes.clear();
        // Pushed last first, so that folders are compared in list order.
        for (std::size_t i = m_libSubs.size(); i-- > 0;) {
            std::int32_t j = m_subPairs.libPartner[i];
            if (j >= 0)
                m_stack.push_back({ m_libSubs[i], scanSubs[static_cast<std::size_t>(j)] });
        }
        scan->GetSubCategoryList().Clear();
        scan->GetDatumList().Clear();
    }

    // The entries of a library list that a scan could have made.
    template <class T> static void Participants(const EntryList<T>& list, std::vector<T*>& out)
    {
        out.clear();
        for (T* e : list)
            if (IsScannedKind(*e))
                out.push_back(e);
    }

    void CompareFiles(CDatum* lib, const CDatum& scanned)
    {
        if (lib->m_dwSize == scanned.m_dwSize && lib->m_timeModified == scanned.m_timeModified)
            return;
        std::uint32_t stale = kNoRecord;
        if (HasContent(*lib)) {
            stale = static_cast<std::uint32_t>(m_plan.stale.size());
            RefreshPlan::Data::Stale s;
            s.changed = static_cast<std::uint32_t>(m_plan.changed.size());
            s.gbPath = PathUnderScanRoot(*lib);
            m_plan.stale.push_back(std::move(s));
        }
        m_plan.changed.push_back({ lib, scanned.m_dwSize, scanned.m_timeModified, stale });
    }

    // Where the file behind a library entry is in the folder being scanned
    // (which may be mounted somewhere other than the stored path).
    std::string PathUnderScanRoot(const CItem& entry) const
    {
        std::vector<const CItem*> chain;
        for (const CItem* e = &entry; e && e != m_plan.target; e = e->GetParent())
            chain.push_back(e);
        std::string path = m_scanRootGb;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            path += kPathSep;
            path += (*it)->GetDisplayName();
        }
        return path;
    }

    // Records a library folder that is gone from the disk. Unless it carries
    // work somewhere below, it goes whole; otherwise it is kept, and inside
    // it the same rule applies to every entry, level by level.
    void AddMissingFolder(CCategory* top)
    {
        // One walk in pre-order computes, bottom-up, the size of every
        // subtree and whether it carries work.
        struct Node {
            CCategory* category;
            std::uint32_t parent;
            std::uint64_t entries;
            bool work;
        };
        std::vector<Node> nodes { { top, kNoRecord, 0, false } };
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const CCategory* c = nodes[i].category;
            for (CCategory* sub : c->GetSubCategoryList())
                nodes.push_back({ sub, static_cast<std::uint32_t>(i), 0, false });
        }
        for (std::size_t i = nodes.size(); i-- > 0;) {
            Node& n = nodes[i];
            n.entries += 1 + n.category->GetDatumList().size();
            n.work = n.work || CarriesWork(*n.category);
            for (const CDatum* d : n.category->GetDatumList())
                n.work = n.work || CarriesWork(*d);
            if (n.parent != kNoRecord) {
                nodes[n.parent].entries += n.entries;
                nodes[n.parent].work = nodes[n.parent].work || n.work;
            }
        }
        // Breadth-first, a node's record is made when its parent's is: a
        // kept folder lists its data items, then its sub-folders. `record`
        // maps a kept node to its record.
        std::vector<std::uint32_t> record(nodes.size(), kNoRecord);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const Node& n = nodes[i];
            std::uint32_t enclosing = kNoRecord;
            if (n.parent != kNoRecord) {
                enclosing = record[n.parent];
                if (enclosing == kNoRecord)
                    continue; // inside a folder that goes whole
            }
            if (!n.work) {
                m_plan.missing.push_back({ n.category, enclosing, false, n.entries });
                continue;
            }
            record[i] = static_cast<std::uint32_t>(m_plan.missing.size());
            m_plan.missing.push_back({ n.category, enclosing, true, n.entries });
            for (CDatum* d : n.category->GetDatumList())
                m_plan.missing.push_back({ d, record[i], CarriesWork(*d), 1 });
        }
    }

    RefreshPlan::Data& m_plan;
    const ScanReport& m_report;
    std::string m_scanRootGb;
    std::unordered_set<const CCategory*> m_unreadable;
    std::vector<Pair> m_stack;
    // Scratch, reused from folder to folder.
    std::vector<CCategory*> m_libSubs;
    std::vector<CDatum*> m_libData;
    std::vector<std::uint64_t> m_subtreeSizes;
    Pairing<CCategory, CategoryCompare> m_subPairs;
    Pairing<CDatum, DatumCompare> m_dataPairs;
};

} // namespace

bool CarriesWork(const CItem& item) noexcept
{
    if (!IsScannedKind(item) || !item.m_strRemark.empty())
        return true;
    return item.IsDatum() && HasContent(static_cast<const CDatum&>(item));
}

std::uint64_t SubtreeEntries(const CCategory& category)
{
    std::uint64_t n = 0;
    for (const CCategory& c : PreOrder(category))
        n += 1 + c.GetDatumList().size();
    return n;
}

bool CanRefresh(const CCategory& category) noexcept
{
    const CCategory* top = ImportTop(category);
    if (!top)
        return false;
    ClassId id = top->GetClassId();
    return id == ClassId::CDRomCategory || id == ClassId::DriverCategory || id == ClassId::RootFolderCategory;
}

RefreshSource RefreshSourceFor(const CCategory& category, const std::string& otherDiskPath)
{
    if (!CanRefresh(category))
        throw std::invalid_argument("only imported categories can be refreshed");
    RefreshSource source;
    source.diskPath = otherDiskPath.empty() ? GbToDisk(category.GetPath()) : otherDiskPath;
    source.followMounts = FollowsMounts(ImportTop(category)->GetClassId());
    return source;
}

RefreshSource RefreshSourceFor(CTessaryDoc& doc, const CCategory& category)
{
    if (!CanRefresh(category))
        throw std::invalid_argument("only imported categories can be refreshed");
    return RefreshSourceFor(category, DiskPathOrThrow(doc.Locate(category)));
}

RefreshScan ScanForRefresh(const RefreshSource& source, unsigned threads, ScanProgress* progress)
{
    RefreshScan scan;
    scan.source = source;
    scan.tree = std::make_unique<CCategory>();
    scan.report
        = ScanFolderInto(*scan.tree, source.diskPath, ScanOptions { threads, source.followMounts, progress });
    if (scan.report.opened && !scan.report.cancelled)
        scan.volume = IdentifyVolumeAt(MountSource(), source.diskPath);
    return scan;
}

RefreshPlan PlanRefresh(CCategory& target, RefreshScan&& scan)
{
    if (scan.report.cancelled)
        throw RefreshCancelled();
    if (!scan.report.opened || !scan.tree)
        FileError::ThrowErrno(scan.report.openErrno ? scan.report.openErrno : ENOENT, scan.source.diskPath);
    RefreshPlan plan;
    plan.m_data->target = &target;
    plan.m_data->source = scan.source;
    plan.m_data->volume = std::move(scan.volume);
    Planner(*plan.m_data, scan.report).Run(target, std::move(scan.tree));
    return plan;
}

} // namespace tessary
