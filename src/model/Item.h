#pragma once

#include "Text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

class CCategory;
class CDatum;
class CSearchCriteria;

// Separator of every path the entries build.
#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

// The ten classes a library file can name, in the order of the class table.
enum class ClassId : std::uint8_t {
    Item,
    Category,
    CustomCategory,
    CDRomCategory,
    DriverCategory,
    RootFolderCategory,
    FolderCategory,
    Datum,
    FileDatum,
    CustomDatum,
};
inline constexpr int kClassCount = 10;
// The class name as it appears in a library file ("CCustomCategory", ...).
const char* ClassName(ClassId id) noexcept;
// The class that `name` names (exact, case-sensitive comparison), or nothing.
std::optional<ClassId> ClassFromName(std::string_view name) noexcept;

// Which classes are categories and which are data items (CItem is neither),
// and which categories carry a path of their own.
inline bool IsCategoryClass(ClassId id) noexcept
{
    return id >= ClassId::Category && id <= ClassId::FolderCategory;
}
inline bool IsDatumClass(ClassId id) noexcept
{
    return id >= ClassId::Datum && id <= ClassId::CustomDatum;
}
inline bool HasPath(ClassId id) noexcept
{
    return id == ClassId::CDRomCategory || id == ClassId::DriverCategory || id == ClassId::RootFolderCategory;
}

using Time32 = std::int32_t; // seconds since 1970-01-01 00:00:00 UTC
using Size32 = std::uint32_t; // byte count, low 32 bits of the real size

// Type-column texts, GB18030 bytes.
namespace typetext {
inline constexpr const char* kItem = "Item";
inline constexpr const char* kCDRom = "\xB9\xE2\xC5\xCC"; // 光盘
inline constexpr const char* kCustomCategory = "\xB7\xD6\xC0\xE0"; // 分类
inline constexpr const char* kDocument = "\xCE\xC4\xB5\xB5"; // 文档
inline constexpr const char* kDriver = "\xB4\xC5\xC5\xCC"; // 磁盘
inline constexpr const char* kFolder = "\xCE\xC4\xBC\xFE\xBC\xD0"; // 文件夹
inline constexpr const char* kRootFolder = "\xCE\xC4\xBC\xFE\xBC\xD0\xB7\xD6\xC0\xE0"; // 文件夹分类
} // namespace typetext

// The base of every entry of a library: a name, a remark and the link to the
// category that holds it. Entries are owned by the list they are in (the
// document's root list or a category's two lists); the parent link is not
// owning. Entries cannot be copied.
class CItem {
public:
    CItem() = default;
    CItem(const CItem&) = delete;
    CItem& operator=(const CItem&) = delete;
    virtual ~CItem() = default;

    // Entries come from the small-block pool (a library holds millions).
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    virtual ClassId GetClassId() const noexcept { return ClassId::Item; }

    // The name as shown in lists.
    virtual std::string GetDisplayName() const { return {}; }
    // Runs the kind's edit dialog (through the installed entry services);
    // 1 = confirmed, 2 = cancelled, -1 for kinds without a dialog.
    virtual int EditProperties() { return -1; }
    // True when the kind is edited through EditProperties, false when its
    // name is edited in place.
    virtual bool HasEditDialog() const { return false; }
    // The folder to open in a file manager for this entry.
    virtual std::string GetFolderPath() const { return {}; }
    virtual std::string GetTypeText() const { return typetext::kItem; }
    // Whether dragged categories may be dropped into it.
    virtual bool CanAcceptDrop() const { return false; }
    // Whether it may be dragged in the category tree.
    virtual bool CanDrag() const { return true; }
    // Search test: a data item answers itself when it meets the criteria; a
    // category the first matching data item of its subtree (its own data items
    // from position `start` on, after all of its sub-categories).
    virtual CDatum* Match(const CSearchCriteria& criteria, std::size_t start);
    virtual int GetImageIndex() const { return 0; }
    virtual bool IsDatum() const { return false; }
    virtual Size32 GetSize() const { return 0; }
    // Full path of the file or folder the entry stands for (empty for kinds
    // that stand for nothing on disk).
    virtual std::string GetPath() const { return {}; }

    CCategory* GetParent() const noexcept { return m_pParent; }
    void SetParent(CCategory* parent) noexcept { m_pParent = parent; }

    CText m_strName;
    CText m_strRemark;

protected:
    CCategory* m_pParent = nullptr;
};

// Services the entries need from the window system, installed by the shell at
// start-up. Without an installed object every icon is 0, no edit dialog shows
// (EditProperties answers -1) and ViewContent does nothing.
enum class ContentViewer { Text, Html };

class IEntryServices {
public:
    virtual ~IEntryServices() = default;
    // Icon index of a pseudo file name (GB18030), without touching the disk:
    // a directory path, ".dli", ".cdcate" or "." + extension.
    virtual int IconIndex(std::string_view pseudoName, bool directory, bool openIcon) = 0;
    // Runs the edit dialog of `item` (a CD-ROM, drive or root-folder category,
    // or a custom data item); returns the dialog result.
    virtual int EditProperties(CItem& item) = 0;
    // Shows a data item's content modally in the given viewer.
    virtual void ViewContent(const CDatum& datum, ContentViewer viewer) = 0;
};

// Installs `services` (not owned; null restores the defaults).
void SetEntryServices(IEntryServices* services) noexcept;
IEntryServices* GetEntryServices() noexcept;

} // namespace tessary
