#include "Document.h"

#include "Content.h"
#include "Datum.h"
#include "FileSystem.h"
#include "MountSource.h"
#include "SmallPool.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_set>

namespace tessary {

namespace {

constexpr std::string_view kModifiedMark = " *";
// Below this, giving memory back is not worth walking the free blocks.
constexpr std::size_t kReleaseAfterFreeing = 16u << 20;

bool EndsWithMark(const std::string& title) noexcept
{
    return title.size() >= kModifiedMark.size()
        && std::string_view(title).substr(title.size() - kModifiedMark.size()) == kModifiedMark;
}

bool IsWithin(const CCategory* entry, const CCategory* top) noexcept
{
    for (const CItem* p = entry; p; p = p->GetParent())
        if (p == top)
            return true;
    return false;
}

} // namespace

CTessaryDoc::~CTessaryDoc()
{
    DestroyRoots();
}

bool CTessaryDoc::OnNewDocument()
{
    ++m_changeSerial;
    DeleteContents();
    m_hold.Release();
    SetModifiedFlag(false);
    m_pathName.clear();
    m_title = DefaultTitle();
    m_pCurrentCategory = nullptr;
    return true;
}

void CTessaryDoc::DeleteContents()
{
    // A closed library of a whole drive leaves a hundred megabytes of free
    // blocks that the next, maybe small, library would never reuse.
    if (DestroyRoots())
        ReleaseFreeMemory(kReleaseAfterFreeing);
}

bool CTessaryDoc::DestroyRoots()
{
    ++m_changeSerial;
    m_pCurrentCategory = nullptr;
    m_chosenVolumes.clear();
    if (m_rootList.empty())
        return false;
    for (IEntryRemovalListener* listener : std::vector<IEntryRemovalListener*>(m_removalListeners))
        listener->OnLibraryClearing();
    for (CCategory* root : m_rootList)
        delete root;
    m_rootList.Clear();
    return true;
}

void CTessaryDoc::OnOpenDocument(const std::string& path)
{
    // A file that cannot be opened leaves the document as it was.
    int fd = OpenLibraryForReading(path);
    // The new library is built in the old one's free blocks first; only what
    // stays free after the read goes back to the system, so that opening
    // again does not pay for fresh pages.
    DestroyRoots();
    m_readWarnings.clear();
    // Held from before the read, so that a change made while reading shows
    // up as a change on disk.
    m_hold.Adopt(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    try {
        FdGuard file(fd);
        // Read piece by piece: the file's bytes and the tree they make are
        // never in memory together. A zero-byte file is an empty library,
        // not a damaged one.
        RootList roots = ReadLibraryFrom(file.Get(), path, true, &m_readWarnings);
        m_rootList.ReserveBack(roots.size());
        for (auto& root : roots) {
            root->SetParent(nullptr);
            m_rootList.PushBack(root.release());
        }
    } catch (...) {
        DestroyRoots();
        m_readWarnings.clear();
        ReleaseFreeMemory(kReleaseAfterFreeing);
        m_hold.Release();
        m_modified = false;
        m_pathName.clear();
        m_title = DefaultTitle();
        throw;
    }
    ReleaseFreeMemory(kReleaseAfterFreeing);
    ++m_changeSerial;
    m_modified = false;
    m_pathName = path;
    m_title = TitleFromPath(path);
}

bool CTessaryDoc::IsOwnFile(const std::string& path) const
{
    if (m_pathName.empty())
        return false;
    if (path == m_pathName)
        return true;
    struct stat st { };
    if (!m_hold.Holds() || ::stat(path.c_str(), &st) != 0)
        return false;
    const FileIdentity& held = m_hold.Identity();
    return st.st_dev == held.device && st.st_ino == held.inode;
}

void CTessaryDoc::OnSaveDocument(const std::string& path)
{
    WriteLibraryFile(GetRoots(), path, &m_hold);
    SetModifiedFlag(false);
    m_pathName = path;
    m_title = TitleFromPath(path);
}

void CTessaryDoc::SetModifiedFlag(bool modified)
{
    if (modified)
        ++m_changeSerial;
    if (!m_modified && modified)
        m_title += kModifiedMark;
    else if (m_modified && !modified && EndsWithMark(m_title))
        m_title.resize(m_title.size() - kModifiedMark.size());
    m_modified = modified;
}

std::string CTessaryDoc::GetPlainTitle() const
{
    if (m_modified && EndsWithMark(m_title))
        return m_title.substr(0, m_title.size() - kModifiedMark.size());
    return m_title;
}

void CTessaryDoc::AddRoot(CCategory* category)
{
    m_rootList.PushBack(category);
    category->SetParent(nullptr);
    m_pCurrentCategory = category;
    SetModifiedFlag(true);
}

void CTessaryDoc::RemoveRoot(CCategory* category)
{
    if (!m_rootList.Remove(category))
        return;
    if (IsWithin(m_pCurrentCategory, category))
        m_pCurrentCategory = nullptr;
    SetModifiedFlag(true);
}

bool CTessaryDoc::DeleteRoot(CCategory* root)
{
    if (!root || m_rootList.IndexOf(root) == m_rootList.size())
        return false;
    const CItem* going[] = { root };
    NotifyRemoving(going);
    RemoveRoot(root);
    delete root;
    return true;
}

bool CTessaryDoc::DeleteSubCategory(CCategory* parent, CCategory* child)
{
    if (!parent || !child || child->GetParent() != parent)
        return false;
    CategoryList& subs = parent->GetSubCategoryList();
    if (subs.IndexOf(child) == subs.size())
        return false;
    const CItem* going[] = { child };
    NotifyRemoving(going);
    if (IsWithin(m_pCurrentCategory, child))
        m_pCurrentCategory = nullptr;
    parent->RemoveSubCategory(child);
    SetModifiedFlag(true);
    return true;
}

std::size_t CTessaryDoc::DeleteEntries(CCategory* category, std::span<CItem* const> entries)
{
    if (!category || entries.empty())
        return 0;
    std::unordered_set<const CItem*> wanted;
    wanted.reserve(entries.size());
    wanted.insert(entries.begin(), entries.end());
    const auto isWanted = [&wanted](const CItem* e) { return wanted.count(e) != 0; };

    // What really goes, in list order: the members of the two lists.
    std::vector<const CItem*> going;
    going.reserve(
        std::min(entries.size(), category->GetSubCategoryList().size() + category->GetDatumList().size()));
    for (const CCategory* sub : category->GetSubCategoryList())
        if (isWanted(sub))
            going.push_back(sub);
    for (const CDatum* datum : category->GetDatumList())
        if (isWanted(datum))
            going.push_back(datum);
    if (going.empty())
        return 0;

    NotifyRemoving(going);
    // The current category goes when it is one of the sub-categories that go
    // or lies below one of them.
    for (const CItem* p = m_pCurrentCategory; p; p = p->GetParent()) {
        if (p->GetParent() == category && isWanted(p)) {
            m_pCurrentCategory = nullptr;
            break;
        }
    }
    category->GetSubCategoryList().RemoveIf(isWanted);
    category->GetDatumList().RemoveIf(isWanted);
    for (const CItem* entry : going)
        delete entry;
    SetModifiedFlag(true);
    return going.size();
}

bool CTessaryDoc::MoveCategory(CCategory* category, CCategory* newParent)
{
    if (!category)
        return false;
    CCategory* oldParent = category->GetParent();
    if (newParent == oldParent || IsWithin(newParent, category))
        return false;
    CategoryList& oldList = oldParent ? oldParent->GetSubCategoryList() : m_rootList;
    if (oldList.IndexOf(category) == oldList.size())
        return false;
    // Linked into the new place first: if that fails for want of memory the
    // category is still where it was.
    if (newParent) {
        newParent->AddSubCategory(category);
    } else {
        m_rootList.PushBack(category);
        category->SetParent(nullptr);
    }
    oldList.Remove(category);
    SetModifiedFlag(true);
    return true;
}

bool CTessaryDoc::SwapEntries(CItem* a, CItem* b)
{
    if (!a || !b || a == b || a->IsDatum() != b->IsDatum() || a->GetParent() != b->GetParent())
        return false;
    CCategory* parent = a->GetParent();
    auto swapIn = [this](auto& list, const auto* x, const auto* y) {
        const std::size_t i = list.IndexOf(x), j = list.IndexOf(y);
        if (i == list.size() || j == list.size())
            return false;
        list.Swap(i, j);
        SetModifiedFlag(true);
        return true;
    };
    if (a->IsDatum())
        return parent
            && swapIn(parent->GetDatumList(), static_cast<const CDatum*>(a), static_cast<const CDatum*>(b));
    CategoryList& list = parent ? parent->GetSubCategoryList() : m_rootList;
    return swapIn(list, static_cast<const CCategory*>(a), static_cast<const CCategory*>(b));
}

bool CTessaryDoc::ExportCategory(const CCategory& category, const std::string& path)
{
    if (!category.CanExport())
        return false;
    WriteLibraryFile({ &category }, path);
    return true;
}

bool CTessaryDoc::ImportLibrary(const std::string& path)
{
    CCategory* target = m_pCurrentCategory;
    if (!target || !target->CanImportInto())
        return false;
    m_readWarnings.clear();
    RootList roots = ReadLibraryFile(path, &m_readWarnings);
    // Room first, so that linking cannot fail half-way.
    target->GetSubCategoryList().ReserveBack(roots.size());
    for (auto& root : roots)
        target->AddSubCategory(root.release());
    SetModifiedFlag(true);
    return true;
}

std::optional<DocumentTextResult> CTessaryDoc::ExtractContent(CDatum& datum, ContentMode mode)
{
    CText bytes = std::move(*ReadContentFile(DiskPathOrThrow(Locate(datum))));
    std::optional<DocumentTextResult> text = ReadDocumentText(datum.m_strExtension.view(), bytes.view());
    StoreContent(datum, std::move(bytes), text, mode);
    SetModifiedFlag(true);
    return text;
}

void CTessaryDoc::ClearContent(CDatum& datum)
{
    tessary::ClearContent(datum);
    SetModifiedFlag(true);
}

const CVolumeTable& CTessaryDoc::GetVolumes()
{
    if (!m_volumesRead)
        ReadVolumes();
    return m_volumes;
}

void CTessaryDoc::ReadVolumes()
{
    m_volumes = CVolumeTable::Read(MountSource(), m_volumesRead ? &m_volumes : nullptr);
    m_volumesRead = true;
    m_chosenVolumes.clear();
}

EntryLocation CTessaryDoc::Locate(const CItem& entry)
{
    const CVolumeTable& table = GetVolumes();
    EntryLocation where = LocateEntry(entry, table);
    if (where.state == EntryLocation::State::Ambiguous) {
        auto chosen = m_chosenVolumes.find(where.top);
        if (chosen != m_chosenVolumes.end())
            for (const MountedVolume* v : where.candidates)
                if (v->mountId == chosen->second)
                    return LocateEntry(entry, table, v);
    }
    return where;
}

void CTessaryDoc::ChooseVolume(const CPathCategory& top, const MountedVolume& volume)
{
    m_chosenVolumes[&top] = volume.mountId;
}

std::vector<const CCategory*> CTessaryDoc::GetRoots() const
{
    return std::vector<const CCategory*>(m_rootList.begin(), m_rootList.end());
}

void CTessaryDoc::AddRemovalListener(IEntryRemovalListener* listener)
{
    if (std::find(m_removalListeners.begin(), m_removalListeners.end(), listener) == m_removalListeners.end())
        m_removalListeners.push_back(listener);
}

void CTessaryDoc::RemoveRemovalListener(IEntryRemovalListener* listener)
{
    std::erase(m_removalListeners, listener);
}

void CTessaryDoc::NotifyRemoving(std::span<const CItem* const> entries)
{
    if (entries.empty())
        return;
    // Choices among cloned disks are kept by category: none may outlive it.
    m_chosenVolumes.clear();
    ++m_changeSerial;
    // A copy: a listener may unregister itself while it is told.
    for (IEntryRemovalListener* listener : std::vector<IEntryRemovalListener*>(m_removalListeners))
        listener->OnEntriesRemoving(entries);
}

} // namespace tessary
