#include "Category.h"

#include "Datum.h"
#include "SearchCriteria.h"

#include <utility>
#include <vector>

namespace tessary {

namespace {

int Icon(std::string_view pseudoName, bool directory, bool openIcon)
{
    IEntryServices* services = GetEntryServices();
    return services ? services->IconIndex(pseudoName, directory, openIcon) : 0;
}

} // namespace

CCategory::~CCategory()
{
    // Flatten the subtree instead of recursing: a library may nest categories
    // arbitrarily deep. Each category is detached from its sub-categories
    // before it is deleted, so no destructor below this one walks further.
    std::vector<CCategory*> pending(m_subCategories.begin(), m_subCategories.end());
    m_subCategories.Clear();
    while (!pending.empty()) {
        CCategory* c = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), c->m_subCategories.begin(), c->m_subCategories.end());
        c->m_subCategories.Clear();
        delete c;
    }
    for (CDatum* d : m_data)
        delete d;
    m_data.Clear();
}

void CCategory::AddSubCategory(CCategory* category)
{
    m_subCategories.PushBack(category);
    category->SetParent(this);
}

void CCategory::AddDatum(CDatum* datum)
{
    m_data.PushFront(datum);
    datum->SetParent(this);
}

void CCategory::RemoveSubCategory(CCategory* category)
{
    if (DetachSubCategory(category))
        delete category;
}

void CCategory::RemoveDatum(CDatum* datum)
{
    if (DetachDatum(datum))
        delete datum;
}

bool CCategory::DetachSubCategory(CCategory* category) noexcept
{
    if (!m_subCategories.Remove(category))
        return false;
    category->SetParent(nullptr);
    return true;
}

bool CCategory::DetachDatum(CDatum* datum) noexcept
{
    if (!m_data.Remove(datum))
        return false;
    datum->SetParent(nullptr);
    return true;
}

Size32 CCategory::GetSize() const
{
    // Unsigned addition wraps modulo 2^32 in any order, so an iterative walk
    // gives the same sum as the recursive definition.
    Size32 sum = 0;
    std::vector<const CCategory*> pending { this };
    while (!pending.empty()) {
        const CCategory* c = pending.back();
        pending.pop_back();
        for (const CDatum* d : c->m_data)
            sum += d->GetSize();
        pending.insert(pending.end(), c->m_subCategories.begin(), c->m_subCategories.end());
    }
    return sum;
}

CDatum* CCategory::Match(const CSearchCriteria& criteria, std::size_t start)
{
    // Sub-categories first (each with start 0, depth first), then this
    // category's own data items from `start`. An explicit stack of
    // (category, next sub-category) keeps deep trees off the call stack.
    // One matcher serves the whole walk: preparing the keywords per item
    // would cost a conversion each.
    const CSearchMatcher matcher(criteria);
    struct Frame {
        CCategory* category;
        std::size_t next;
        std::size_t start;
    };
    std::vector<Frame> stack { { this, 0, start } };
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.category->m_subCategories.size()) {
            CCategory* sub = f.category->m_subCategories[f.next++];
            stack.push_back({ sub, 0, 0 });
            continue;
        }
        const DatumList& data = f.category->m_data;
        for (std::size_t i = f.start; i < data.size(); ++i)
            if (matcher.Matches(*data[i]))
                return data[i];
        stack.pop_back();
    }
    return nullptr;
}

int CCategory::GetImageIndex() const
{
    return Icon(GetPath(), true, false);
}

int CCustomCategory::GetImageIndex() const
{
    return Icon(".dli", false, false);
}

int CCDRomCategory::GetImageIndex() const
{
    return Icon(".cdcate", false, false);
}

int CDriverCategory::GetImageIndex() const
{
    std::string root = GetPath();
    root += kPathSep;
    return Icon(root, true, false);
}

int CRootFolderCategory::GetSelectedImageIndex() const
{
    return Icon(GetPath(), true, true);
}

int CFolderCategory::GetSelectedImageIndex() const
{
    return Icon(GetPath(), true, true);
}

int CPathCategory::EditProperties()
{
    IEntryServices* services = GetEntryServices();
    return services ? services->EditProperties(*this) : -1;
}

std::string CFolderCategory::GetPath() const
{
    // parent's path + separator + name, for every folder category up to the
    // first ancestor of another kind. Walked iteratively for deep trees.
    std::vector<const CItem*> chain;
    const CItem* top = this;
    while (top && top->GetClassId() == ClassId::FolderCategory) {
        chain.push_back(top);
        top = top->GetParent();
    }
    std::string path;
    if (top)
        path = top->GetPath();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += kPathSep;
        path += (*it)->m_strName.view();
    }
    return path;
}

} // namespace tessary
