#include "Document.h"

#include "Content.h"
#include "Datum.h"
#include "SmallPool.h"

#include <algorithm>
#include <fcntl.h>

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
    m_pCurrentCategory = nullptr;
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
    DeleteContents();
    // Held from before the read, so that a change made while reading shows
    // up as a change on disk.
    m_hold.Adopt(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    try {
        FileBytes bytes = ReadAllAndClose(fd, path);
        // A zero-byte file is an empty library, not a damaged one.
        if (!bytes.empty()) {
            RootList roots;
            try {
                roots = ReadLibrary(bytes.view());
            } catch (const ArchiveError& e) {
                throw LibraryReadError(path, e);
            }
            bytes.Release(); // the tree and the bytes need not coexist any longer
            m_rootList.ReserveBack(roots.size());
            for (auto& root : roots) {
                root->SetParent(nullptr);
                m_rootList.PushBack(root.release());
            }
        }
    } catch (...) {
        DeleteContents();
        m_hold.Release();
        m_modified = false;
        m_pathName.clear();
        m_title = DefaultTitle();
        throw;
    }
    m_modified = false;
    m_pathName = path;
    m_title = TitleFromPath(path);
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
    RootList roots = ReadLibraryFile(path);
    // Room first, so that linking cannot fail half-way.
    target->GetSubCategoryList().ReserveBack(roots.size());
    for (auto& root : roots)
        target->AddSubCategory(root.release());
    SetModifiedFlag(true);
    return true;
}

void CTessaryDoc::ExtractContent(CDatum& datum)
{
    tessary::ExtractContent(datum);
    SetModifiedFlag(true);
}

void CTessaryDoc::ClearContent(CDatum& datum)
{
    tessary::ClearContent(datum);
    SetModifiedFlag(true);
}

std::vector<const CCategory*> CTessaryDoc::GetRoots() const
{
    return std::vector<const CCategory*>(m_rootList.begin(), m_rootList.end());
}

} // namespace tessary

namespace tessary {

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
    // A copy: a listener may unregister itself while it is told.
    for (IEntryRemovalListener* listener : std::vector<IEntryRemovalListener*>(m_removalListeners))
        listener->OnEntriesRemoving(entries);
}

} // namespace tessary
