#pragma once

#include "EntryList.h"
#include "Item.h"
#include "Volume.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

class CDatum;

using DatumList = EntryList<CDatum>;
using CategoryList = EntryList<CCategory>;

// A category: an inner node holding data items and sub-categories. It owns
// both lists and every entry in them; destroying a category destroys its
// whole subtree (without recursion, so any depth is safe).
class CCategory : public CItem {
public:
    CCategory() = default;
    ~CCategory() override;

    ClassId GetClassId() const noexcept override { return ClassId::Category; }
    std::string GetDisplayName() const override { return m_strName.str(); }
    std::string GetFolderPath() const override { return GetPath(); }
    CDatum* Match(const CSearchCriteria& criteria, std::size_t start) override;
    int GetImageIndex() const override;
    // Sum of every data item's size below, modulo 2^32.
    Size32 GetSize() const override;

    virtual bool CanAddDatum() const { return false; }
    virtual bool CanAddSubCategory() const { return false; }
    virtual bool CanImportInto() const { return false; }
    virtual bool CanExport() const { return true; }
    virtual int GetSelectedImageIndex() const { return GetImageIndex(); }

    // Takes ownership of `category`, sets its parent and appends it.
    void AddSubCategory(CCategory* category);
    // Takes ownership of `datum`, sets its parent and puts it at the head.
    void AddDatum(CDatum* datum);
    // Removes `category` (which must be in the sub-category list) and
    // destroys it with its subtree.
    void RemoveSubCategory(CCategory* category);
    // Removes `datum` (which must be in the data-item list) and destroys it.
    void RemoveDatum(CDatum* datum);
    // Unlinks without destroying; the caller becomes the owner. Returns false
    // when the entry is not in the list.
    bool DetachSubCategory(CCategory* category) noexcept;
    bool DetachDatum(CDatum* datum) noexcept;

    CategoryList& GetSubCategoryList() noexcept { return m_subCategories; }
    const CategoryList& GetSubCategoryList() const noexcept { return m_subCategories; }
    DatumList& GetDatumList() noexcept { return m_data; }
    const DatumList& GetDatumList() const noexcept { return m_data; }

    // Adds the contents of the folder at `path` (disk bytes, as the platform
    // names it): sub-folders become folder categories in listing order, files
    // become file data items at the head of the data-item list. A folder that
    // cannot be listed adds nothing.
    void ScanFolder(const std::string& path);
    // Puts every data item of the subtree that meets `criteria` in front of
    // what `results` already holds, in this order: this category's own matches
    // (last one first), then the matches of its last sub-category's subtree,
    // ..., then those of its first sub-category's subtree.
    void CollectMatches(const CSearchCriteria& criteria, std::vector<CDatum*>& results) const;

protected:
    DatumList m_data;
    CategoryList m_subCategories;
};

// The user's own category: the only kind that takes new entries, drops and imports.
class CCustomCategory : public CCategory {
public:
    CCustomCategory() = default;
    explicit CCustomCategory(std::string_view name) { m_strName = name; }
    ClassId GetClassId() const noexcept override { return ClassId::CustomCategory; }
    std::string GetTypeText() const override { return typetext::kCustomCategory; }
    bool CanAcceptDrop() const override { return true; }
    int GetImageIndex() const override;
    bool CanAddDatum() const override { return true; }
    bool CanAddSubCategory() const override { return true; }
    bool CanImportInto() const override { return true; }
};

// Base of the three kinds that stand for something on disk and carry a path.
class CPathCategory : public CCategory {
public:
    ~CPathCategory() override;

    std::string GetPath() const override { return m_strPath.str(); }
    bool HasEditDialog() const override { return true; }
    int EditProperties() override;

    // The volume the category was scanned from (or linked to), kept in the
    // library's extension block; null when unknown (an old library, a scan
    // whose volume could not be identified). See Volume.h.
    const VolumeRecord* GetVolume() const noexcept { return m_pVolume.get(); }
    // Replaces the record, or removes it (nothing).
    void SetVolume(const std::optional<VolumeRecord>& record);

    // The drive or folder (disk bytes converted to the library code page).
    CText m_strPath;

protected:
    CPathCategory() = default;
    CPathCategory(std::string_view name, std::string_view path)
    {
        m_strName = name;
        m_strPath = path;
    }

private:
    std::unique_ptr<VolumeRecord> m_pVolume;
};

class CCDRomCategory : public CPathCategory {
public:
    CCDRomCategory() = default;
    CCDRomCategory(std::string_view name, std::string_view path)
        : CPathCategory(name, path)
    {
    }
    ClassId GetClassId() const noexcept override { return ClassId::CDRomCategory; }
    std::string GetTypeText() const override { return typetext::kCDRom; }
    int GetImageIndex() const override;
};

class CDriverCategory : public CPathCategory {
public:
    CDriverCategory() = default;
    CDriverCategory(std::string_view name, std::string_view path)
        : CPathCategory(name, path)
    {
    }
    ClassId GetClassId() const noexcept override { return ClassId::DriverCategory; }
    std::string GetTypeText() const override { return typetext::kDriver; }
    int GetImageIndex() const override;
};

class CRootFolderCategory : public CPathCategory {
public:
    CRootFolderCategory() = default;
    CRootFolderCategory(std::string_view name, std::string_view path)
        : CPathCategory(name, path)
    {
    }
    ClassId GetClassId() const noexcept override { return ClassId::RootFolderCategory; }
    std::string GetTypeText() const override { return typetext::kRootFolder; }
    int GetSelectedImageIndex() const override;
};

// A sub-folder met while scanning; its path is its parent's path + separator
// + its name, so it can be neither dragged away nor exported.
class CFolderCategory : public CCategory {
public:
    CFolderCategory() = default;
    explicit CFolderCategory(std::string_view name) { m_strName = name; }
    ClassId GetClassId() const noexcept override { return ClassId::FolderCategory; }
    std::string GetTypeText() const override { return typetext::kFolder; }
    bool CanDrag() const override { return false; }
    bool CanExport() const override { return false; }
    std::string GetPath() const override;
    int GetSelectedImageIndex() const override;
};

// Factories of the import commands: construct the category with `name` and
// `path` (both library text, GB18030) and scan the folder that `path` names
// into it. A CD or drive scan stays on its volume; a folder scan follows the
// volumes mounted below it. The result is unlinked; the caller owns it.
// Scan.h has the forms that take options and give a report.
CCDRomCategory* CreateCDRomCategory(std::string_view name, const std::string& path);
CDriverCategory* CreateDriverCategory(std::string_view name, const std::string& path);
CRootFolderCategory* CreateRootFolderCategory(std::string_view name, const std::string& path);

// Creates a default-constructed entry of the given class (the loader's factory).
CItem* CreateEntry(ClassId id);

} // namespace tessary
