#include "Category.h"

#include "Datum.h"
#include "EntryWalk.h"
#include "SearchCriteria.h"
#include "Volume.h"

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
    // The categories below go in post-order, each one after its own
    // sub-categories and with its sub-category list emptied first, so that
    // its destructor finds nothing more to walk: no recursion at any depth.
    if (!m_subCategories.empty()) {
        CategoryWalk walk(*this);
        while (walk.Next()) {
            CCategory& c = walk.Current();
            if (walk.Entering() || &c == this)
                continue;
            c.m_subCategories.Clear();
            delete &c;
        }
        m_subCategories.Clear();
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
    // Unsigned addition wraps modulo 2^32 in any order.
    Size32 sum = 0;
    for (const CCategory& c : PreOrder(*this))
        for (const CDatum* d : c.m_data)
            sum += d->GetSize();
    return sum;
}

CDatum* CCategory::Match(const CSearchCriteria& criteria, std::size_t start)
{
    // Sub-categories first (each from its first data item), then this
    // category's own data items from `start`. One matcher serves the whole
    // walk: preparing the keywords per item would cost a conversion each.
    const CSearchMatcher matcher(criteria);
    for (CCategory& c : PostOrder(*this)) {
        const DatumList& data = c.m_data;
        for (std::size_t i = &c == this ? start : 0; i < data.size(); ++i)
            if (matcher.Matches(*data[i]))
                return data[i];
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

CPathCategory::~CPathCategory() = default;

void CPathCategory::SetVolume(const std::optional<VolumeRecord>& record)
{
    m_pVolume = record ? std::make_unique<VolumeRecord>(*record) : nullptr;
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
