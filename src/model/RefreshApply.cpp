// Reporting and carrying out a refresh plan.

#include "Datum.h"
#include "Document.h"
#include "EntryWalk.h"
#include "RefreshPlanData.h"
#include "SmallPool.h"
#include "TextCodec.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <unordered_set>

namespace tessary {

namespace {

using Data = RefreshPlan::Data;

// Library paths of entries, with the path of the last parent remembered:
// the records of one folder come together.
class PathMaker {
public:
    std::string Of(const CItem& entry, const CCategory* parent)
    {
        if (!parent || entry.GetClassId() == ClassId::CustomDatum)
            return entry.GetPath();
        if (parent != m_parent) {
            m_parent = parent;
            m_parentPath = parent->GetPath();
        }
        std::string path = m_parentPath;
        path += kPathSep;
        path += entry.GetDisplayName();
        return path;
    }
    std::string Of(const CItem& entry) { return Of(entry, entry.GetParent()); }

private:
    const CCategory* m_parent = nullptr;
    std::string m_parentPath;
};

// The entries that applying with `options` removes: each stands for its
// whole subtree, and none lies inside another.
std::vector<const Data::Missing*> Removals(const Data& d, const RefreshOptions& options)
{
    std::vector<const Data::Missing*> out;
    for (const Data::Missing& m : d.missing)
        if (options.prune ? m.enclosing == kNoRecord : !m.kept)
            out.push_back(&m);
    return out;
}

} // namespace

RefreshPlan::RefreshPlan()
    : m_data(std::make_unique<Data>())
{
}
RefreshPlan::RefreshPlan(RefreshPlan&&) noexcept = default;
RefreshPlan& RefreshPlan::operator=(RefreshPlan&&) noexcept = default;
RefreshPlan::~RefreshPlan() = default;

CCategory* RefreshPlan::Target() const noexcept
{
    return m_data ? m_data->target : nullptr;
}

const RefreshSource& RefreshPlan::Source() const noexcept
{
    static const RefreshSource none;
    return m_data ? m_data->source : none;
}

bool RefreshPlan::Applied() const noexcept
{
    return !m_data || m_data->applied;
}

namespace {

std::size_t TextBytes(const CText& t) noexcept
{
    return t.HeapBytes();
}

std::size_t EntryBytes(const CItem& e)
{
    std::size_t n = TextBytes(e.m_strName) + TextBytes(e.m_strRemark);
    if (e.IsDatum()) {
        const auto& d = static_cast<const CDatum&>(e);
        return n + PoolBlockBytes(sizeof(CFileDatum)) + TextBytes(d.m_strExtension)
            + TextBytes(d.m_strContent);
    }
    const auto& c = static_cast<const CCategory&>(e);
    return n + PoolBlockBytes(sizeof(CFolderCategory)) + c.GetDatumList().capacity() * sizeof(void*)
        + c.GetSubCategoryList().capacity() * sizeof(void*);
}

template <class T> std::size_t VectorBytes(const std::vector<T>& v) noexcept
{
    return v.capacity() * sizeof(T);
}

} // namespace

std::size_t RefreshPlan::HeldBytes() const
{
    if (!m_data)
        return 0;
    const Data& d = *m_data;
    std::size_t n = sizeof(Data) + VectorBytes(d.added) + VectorBytes(d.changed) + VectorBytes(d.missing)
        + VectorBytes(d.stale) + VectorBytes(d.skipped);
    for (const Data::Stale& s : d.stale)
        n += s.gbPath.capacity() + TextBytes(s.content);
    if (d.applied)
        return n;
    for (const Data::Added& a : d.added) {
        if (a.entry->IsDatum()) {
            n += EntryBytes(*a.entry);
            continue;
        }
        for (const CCategory& c : PreOrder(*static_cast<const CCategory*>(a.entry))) {
            n += EntryBytes(c);
            for (const CDatum* f : c.GetDatumList())
                n += EntryBytes(*f);
        }
    }
    return n;
}

RefreshReport RefreshPlan::Report(const RefreshOptions& options) const
{
    RefreshReport r;
    if (!m_data || m_data->applied)
        return r;
    const Data& d = *m_data;
    PathMaker paths;

    r.addedEntries.reserve(d.added.size());
    for (const Data::Added& a : d.added) {
        r.addedEntries.push_back({ paths.Of(*a.entry, a.parent), !a.entry->IsDatum(), a.entries });
        r.added += a.entries;
    }

    r.changedEntries.reserve(d.changed.size());
    for (const Data::Changed& c : d.changed) {
        RefreshReportEntry e { paths.Of(*c.datum), false, 1 };
        ++r.changed;
        if (c.stale != kNoRecord) {
            const Data::Stale& s = d.stale[c.stale];
            if (options.reextract && s.state != Data::Stale::State::Failed) {
                r.reextractedEntries.push_back(e);
                ++r.reextracted;
            } else {
                r.staleEntries.push_back(e);
                ++r.stale;
                if (options.reextract && s.error)
                    r.extractFailures.push_back(*s.error);
            }
        }
        r.changedEntries.push_back(std::move(e));
    }

    for (const Data::Missing* m : Removals(d, options)) {
        r.removedEntries.push_back({ paths.Of(*m->entry), !m->entry->IsDatum(), m->entries });
        r.removed += m->entries;
    }
    if (!options.prune) {
        for (const Data::Missing& m : d.missing) {
            if (!m.kept)
                continue;
            r.keptMissingEntries.push_back({ paths.Of(*m.entry), !m.entry->IsDatum(), 1 });
            ++r.keptMissing;
        }
    }
    r.skippedFolders = d.skipped;
    return r;
}

bool RefreshPlan::HasUnreadContent() const noexcept
{
    return m_data && !m_data->applied
        && std::any_of(m_data->stale.begin(), m_data->stale.end(),
            [](const Data::Stale& s) { return s.state == Data::Stale::State::Pending; });
}

bool RefreshPlan::ReadStaleContents(ScanProgress* progress)
{
    if (!m_data || m_data->applied)
        return true;
    for (Data::Stale& s : m_data->stale) {
        if (s.state != Data::Stale::State::Pending)
            continue;
        if (progress && progress->Cancelled())
            return false;
        // The core's extraction rules (regular files only, below 4 GiB)
        // apply to the file where it is now.
        const std::string disk = GbToDisk(s.gbPath);
        if (progress)
            progress->SetCurrentFolder(disk);
        try {
            s.content = *ReadContentFile(disk);
            s.state = Data::Stale::State::Read;
        } catch (const ContentError& e) {
            s.error = e;
            s.state = Data::Stale::State::Failed;
        }
        if (progress)
            progress->AddEntries(1);
    }
    return true;
}

namespace {

// The record for the imported category above `target` from the record of
// the scanned folder: a sub-folder's place on the volume, less its own path
// below the imported category, is the imported folder's place. Nothing when
// the two do not fit (a sub-folder scanned from somewhere else).
std::optional<VolumeRecord> TopVolume(const CCategory& target, VolumeRecord scanned)
{
    std::string below;
    for (const CItem* c = &target; c->GetClassId() == ClassId::FolderCategory; c = c->GetParent()) {
        below.insert(0, c->m_strName.view());
        below.insert(0, 1, '/');
    }
    if (below.empty())
        return scanned;
    std::string& inside = scanned.pathInVolume;
    if (!std::string_view(inside).ends_with(below))
        return std::nullopt;
    inside.resize(inside.size() - below.size());
    if (inside.empty())
        inside = "/";
    return scanned;
}

// Whether `next` names another volume, or another place on it, than `old`.
bool OtherVolume(const VolumeRecord& old, const VolumeRecord& next)
{
    return old.uuid != next.uuid || old.label != next.label || old.fsType != next.fsType
        || old.mountPoint != next.mountPoint || old.pathInVolume != next.pathInVolume;
}

} // namespace

RefreshReport ApplyRefresh(CTessaryDoc& doc, RefreshPlan& plan, const RefreshOptions& options)
{
    if (plan.Applied())
        throw std::logic_error("a refresh plan is applied once");
    Data& d = *plan.m_data;

    // Preparation: everything that may fail, before the library changes.
    if (options.reextract)
        plan.ReadStaleContents();
    RefreshReport report = plan.Report(options);

    const std::vector<const Data::Missing*> removals = Removals(d, options);
    std::vector<const CItem*> removed;
    removed.reserve(removals.size());
    std::unordered_set<const CItem*> removedSet;
    removedSet.reserve(removals.size());
    for (const Data::Missing* m : removals) {
        removed.push_back(m->entry);
        removedSet.insert(m->entry);
    }

    // Each category whose lists change gets new lists, built here in full:
    // new files at the head of the data items (in the order recorded), new
    // folders after the sub-categories, removed entries left out.
    struct NewLists {
        CCategory* category = nullptr;
        bool data = false, subs = false;
        std::vector<CDatum*> files; // added, in front of the kept data items
        std::vector<CCategory*> folders; // added, after the kept sub-categories
        DatumList newData;
        CategoryList newSubs;
    };
    std::vector<NewLists> jobs;
    std::unordered_map<CCategory*, std::size_t> jobOf;
    auto job = [&](CCategory* c) -> NewLists& {
        auto [it, fresh] = jobOf.emplace(c, jobs.size());
        if (fresh) {
            jobs.emplace_back();
            jobs.back().category = c;
        }
        return jobs[it->second];
    };
    for (const Data::Missing* m : removals)
        (m->entry->IsDatum() ? job(m->entry->GetParent()).data : job(m->entry->GetParent()).subs) = true;
    for (const Data::Added& a : d.added) {
        NewLists& j = job(a.parent);
        if (a.entry->IsDatum()) {
            j.data = true;
            j.files.push_back(static_cast<CDatum*>(a.entry));
        } else {
            j.subs = true;
            j.folders.push_back(static_cast<CCategory*>(a.entry));
        }
    }
    for (NewLists& j : jobs) {
        if (j.data) {
            const std::vector<CDatum*>& front = j.files;
            const DatumList& old = j.category->GetDatumList();
            j.newData.ReserveBack(front.size() + old.size());
            for (CDatum* f : front)
                j.newData.PushBack(f);
            for (CDatum* e : old)
                if (!removedSet.count(e))
                    j.newData.PushBack(e);
        }
        if (j.subs) {
            const std::vector<CCategory*>& back = j.folders;
            const CategoryList& old = j.category->GetSubCategoryList();
            j.newSubs.ReserveBack(old.size() + back.size());
            for (CCategory* e : old)
                if (!removedSet.count(e))
                    j.newSubs.PushBack(e);
            for (CCategory* f : back)
                j.newSubs.PushBack(f);
        }
    }
    // The current category must not end up pointing at a destroyed folder:
    // it moves to the nearest ancestor that stays.
    CCategory* current = doc.GetCurrentCategory();
    for (CCategory* c = current; c; c = c->GetParent())
        if (removedSet.count(c))
            current = c->GetParent();

    // From here on nothing fails. Whoever keeps pointers to the entries
    // that go lets go of them first.
    doc.NotifyRemoving(removed);
    for (NewLists& j : jobs) {
        if (j.data)
            j.category->GetDatumList() = std::move(j.newData);
        if (j.subs)
            j.category->GetSubCategoryList() = std::move(j.newSubs);
    }
    for (const Data::Added& a : d.added)
        a.entry->SetParent(a.parent);
    d.applied = true; // the added entries belong to the library now
    for (const Data::Changed& c : d.changed) {
        c.datum->m_dwSize = c.size;
        c.datum->m_timeModified = c.time;
        if (c.stale != kNoRecord && options.reextract) {
            Data::Stale& s = d.stale[c.stale];
            if (s.state == Data::Stale::State::Read) {
                // A document's text is read anew with its bytes; an item
                // that kept its text alone keeps its text alone.
                CDatum& datum = *c.datum;
                const ContentMode mode = datum.m_strContent.empty() && !datum.m_strText.empty()
                    ? ContentMode::TextOnly
                    : ContentMode::BytesAndText;
                const auto text = ReadDocumentText(datum.m_strExtension.view(), s.content.view());
                StoreContent(datum, std::move(s.content), text, mode);
            }
        }
    }
    for (const CItem* e : removed)
        delete e;
    doc.SetCurrentCategory(current);
    bool modified = !report.NothingChanges();
    CCategory* top = d.target;
    while (top && top->GetClassId() == ClassId::FolderCategory)
        top = top->GetParent();
    if (d.volume && top && HasPath(top->GetClassId())) {
        auto* imported = static_cast<CPathCategory*>(top);
        std::optional<VolumeRecord> volume = TopVolume(*d.target, *d.volume);
        const VolumeRecord* old = imported->GetVolume();
        if (volume && (modified || !old || OtherVolume(*old, *volume))) {
            imported->SetVolume(volume);
            modified = true;
        }
    }
    if (modified)
        doc.SetModifiedFlag(true);
    return report;
}

} // namespace tessary
