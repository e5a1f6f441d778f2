#pragma once

#include "Item.h"

#include <string>

namespace tessary {

// A data item: one file, with its size, last-write time, extension (without
// the dot) and, optionally, the file's content copied into the library.
class CDatum : public CItem {
public:
    CDatum() = default;

    ClassId GetClassId() const noexcept override { return ClassId::Datum; }
    // Name, then "." + extension when there is one.
    std::string GetDisplayName() const override;
    // The parent's folder path (empty without a parent).
    std::string GetFolderPath() const override;
    CDatum* Match(const CSearchCriteria& criteria, std::size_t start) override;
    int GetImageIndex() const override;
    bool IsDatum() const override { return true; }
    Size32 GetSize() const override { return m_dwSize; }

    // Takes size and time from the file that GetPath names; leaves both as
    // they are when the file cannot be queried.
    void RefreshFileStatus();
    // Shows the content in the viewer that ContentViewerFor chooses.
    void ViewContent() const;

    Size32 m_dwSize = 0;
    Time32 m_timeModified = 0;
    CText m_strExtension;
    CText m_strContent;
    // The words of a document (PDF, office file) as UTF-8, read when the
    // content was extracted; kept in the library's extension block. Without
    // m_strContent the item keeps its text only.
    CText m_strText;
};

// True when the item has content to view and search: bytes, a document's
// text, or both.
inline bool HasContent(const CDatum& datum) noexcept
{
    return !datum.m_strContent.empty() || !datum.m_strText.empty();
}

// The viewer for a data item's content: text for an item with a document's
// text, HTML for the extensions "htm", "html" and "shtml" (compared after
// lower-casing A-Z), text otherwise.
ContentViewer ContentViewerFor(const CDatum& datum) noexcept;

// A file met while scanning; name and extension split at the first dot.
class CFileDatum : public CDatum {
public:
    CFileDatum() = default;
    explicit CFileDatum(std::string_view fileName);
    ClassId GetClassId() const noexcept override { return ClassId::FileDatum; }
    std::string GetTypeText() const override { return typetext::kDocument; }
    std::string GetPath() const override;
    // The path this file has inside the folder at `folderPath`: GetPath is
    // PathIn(the parent's path). For callers that make the paths of many
    // files of one folder.
    std::string PathIn(std::string_view folderPath) const;
};

// A data item the user made for any file; it keeps its own folder and splits
// the file name at the last dot.
class CCustomDatum : public CDatum {
public:
    CCustomDatum() = default;
    // SetFromPath(path); size 0 and time 0 until RefreshFileStatus.
    explicit CCustomDatum(std::string_view path) { SetFromPath(path); }
    ClassId GetClassId() const noexcept override { return ClassId::CustomDatum; }
    std::string GetTypeText() const override { return typetext::kDocument; }
    bool HasEditDialog() const override { return true; }
    int EditProperties() override;
    std::string GetFolderPath() const override { return m_strFolder.str(); }
    std::string GetPath() const override;

    // Folder = text before the last separator (empty without one); the file
    // name after it splits at its last dot into name and extension.
    void SetFromPath(std::string_view path);

    CText m_strFolder;
};

} // namespace tessary
