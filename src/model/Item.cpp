#include "Item.h"

#include "Category.h"
#include "Datum.h"
#include "SmallPool.h"

namespace tessary {

namespace {
IEntryServices* g_services = nullptr;
} // namespace

void SetEntryServices(IEntryServices* services) noexcept
{
    g_services = services;
}
IEntryServices* GetEntryServices() noexcept
{
    return g_services;
}

const char* ClassName(ClassId id) noexcept
{
    switch (id) {
    case ClassId::Item:
        return "CItem";
    case ClassId::Category:
        return "CCategory";
    case ClassId::CustomCategory:
        return "CCustomCategory";
    case ClassId::CDRomCategory:
        return "CCDRomCategory";
    case ClassId::DriverCategory:
        return "CDriverCategory";
    case ClassId::RootFolderCategory:
        return "CRootFolderCategory";
    case ClassId::FolderCategory:
        return "CFolderCategory";
    case ClassId::Datum:
        return "CDatum";
    case ClassId::FileDatum:
        return "CFileDatum";
    case ClassId::CustomDatum:
        return "CCustomDatum";
    }
    return "";
}

void* CItem::operator new(std::size_t size)
{
    return PoolAlloc(size);
}
void CItem::operator delete(void* p, std::size_t size) noexcept
{
    PoolFree(p, size);
}

CDatum* CItem::Match(const CSearchCriteria&, std::size_t)
{
    return nullptr;
}

CItem* CreateEntry(ClassId id)
{
    switch (id) {
    case ClassId::Item:
        return new CItem;
    case ClassId::Category:
        return new CCategory;
    case ClassId::CustomCategory:
        return new CCustomCategory;
    case ClassId::CDRomCategory:
        return new CCDRomCategory;
    case ClassId::DriverCategory:
        return new CDriverCategory;
    case ClassId::RootFolderCategory:
        return new CRootFolderCategory;
    case ClassId::FolderCategory:
        return new CFolderCategory;
    case ClassId::Datum:
        return new CDatum;
    case ClassId::FileDatum:
        return new CFileDatum;
    case ClassId::CustomDatum:
        return new CCustomDatum;
    }
    return nullptr;
}

} // namespace tessary
