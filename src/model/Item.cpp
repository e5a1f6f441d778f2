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

namespace {

// The ten classes in the order of ClassId: the name a library file gives
// each, and the factory the loader creates it with.
struct ClassRecord {
    const char* name;
    CItem* (*create)();
};

template <class T> CItem* Create()
{
    return new T;
}

constexpr ClassRecord kClasses[kClassCount] = {
    { "CItem", Create<CItem> },
    { "CCategory", Create<CCategory> },
    { "CCustomCategory", Create<CCustomCategory> },
    { "CCDRomCategory", Create<CCDRomCategory> },
    { "CDriverCategory", Create<CDriverCategory> },
    { "CRootFolderCategory", Create<CRootFolderCategory> },
    { "CFolderCategory", Create<CFolderCategory> },
    { "CDatum", Create<CDatum> },
    { "CFileDatum", Create<CFileDatum> },
    { "CCustomDatum", Create<CCustomDatum> },
};

const ClassRecord* RecordOf(ClassId id) noexcept
{
    const auto i = static_cast<std::size_t>(id);
    return i < kClassCount ? &kClasses[i] : nullptr;
}

} // namespace

const char* ClassName(ClassId id) noexcept
{
    const ClassRecord* r = RecordOf(id);
    return r ? r->name : "";
}

std::optional<ClassId> ClassFromName(std::string_view name) noexcept
{
    for (int i = 0; i < kClassCount; ++i)
        if (name == ClassName(static_cast<ClassId>(i)))
            return static_cast<ClassId>(i);
    return std::nullopt;
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
    const ClassRecord* r = RecordOf(id);
    return r ? r->create() : nullptr;
}

} // namespace tessary
