#pragma once

#include "Category.h"
#include "Content.h"
#include "DocumentBase.h"
#include "DocumentFile.h"
#include "LibraryHold.h"

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessary {

class CDatum;

// Told before entries leave the library for good, so that whoever keeps
// pointers to them outside the tree (the output bar's result rows) lets go
// before they dangle.
class IEntryRemovalListener {
public:
    virtual ~IEntryRemovalListener() = default;
    // `entries` are about to be destroyed, categories with their whole
    // subtree. They are still intact during the call and may be walked.
    virtual void OnEntriesRemoving(std::span<const CItem* const> entries) = 0;
    // Every entry of the library is about to be destroyed (new, open, close).
    virtual void OnLibraryClearing() = 0;
};

// The application's single document: the ordered list of root categories
// (owned) and the current category (not owned).
//
// Open, save, export and import throw tessary::FileError (with the path and
// the cause) or tessary::LibraryReadError (the file is not a valid library)
// on failure; the document is then in the state the comments below give.
class CTessaryDoc : public CDocumentBase {
public:
    CTessaryDoc() = default;
    ~CTessaryDoc() override;

    // Empties the library, clears path and modified flag, title "未命名".
    bool OnNewDocument();
    // Sets the current category to none and destroys every root (telling
    // the removal listeners first).
    void DeleteContents();
    // Opens `path`: on success the library holds the file's roots, the
    // title is the file's name and the document is unmodified. A zero-byte
    // file gives an empty library. On failure to open the file the document
    // is unchanged; on a failure while reading it is left empty, unmodified,
    // titled "未命名", without a path.
    void OnOpenDocument(const std::string& path);
    // What the last open or import left out of the file it read (a damaged
    // extension block, records that fit no entry), to be shown to the user;
    // emptied by every open and import.
    const std::vector<LibraryWarning>& GetReadWarnings() const noexcept { return m_readWarnings; }
    // Saves to `path` atomically (a temporary file beside it, synced, then
    // renamed over it; in place where only the file may be written, see
    // WriteLibraryFile); on success the path and title follow the file and
    // the modified mark is cleared. On failure the document stays modified.
    void OnSaveDocument(const std::string& path);

    // Two running programs on one library. While the document has a file
    // (from a successful open or save until new, another open or its end) it
    // keeps the file open with a shared advisory lock on it.
    //
    // True when another program (or another document) holds the library at
    // `path`: to be asked before opening it.
    bool IsHeldElsewhere(const std::string& path) const { return m_hold.IsHeldElsewhere(path); }
    // True when `path` is this document's file and the file on disk is no
    // longer what the document last read or wrote (replaced, or modified):
    // to be asked before saving over it.
    bool IsChangedOnDisk(const std::string& path) const
    {
        return path == m_pathName && m_hold.ChangedOnDisk(path);
    }
    // True when `path` names this document's own file: its path, or the file
    // the document holds under another name (a link, another spelling).
    // Writing anything else there would replace the open library behind the
    // document's back.
    bool IsOwnFile(const std::string& path) const;

    // Keeps the " *" mark of the title in step with the flag.
    void SetModifiedFlag(bool modified = true) override;
    // A number that grows with every change of the library the document
    // hears of: every SetModifiedFlag(true) (which every change ends with),
    // every announced removal (before the entries go), new and open. Those
    // who keep copies of the library's contents compare it to know that
    // their copies are stale.
    std::uint64_t GetChangeSerial() const noexcept { return m_changeSerial; }
    // The title without the modified mark.
    std::string GetPlainTitle() const;

    CategoryList& GetRootList() noexcept { return m_rootList; }
    const CategoryList& GetRootList() const noexcept { return m_rootList; }
    std::size_t GetRootCount() const noexcept { return m_rootList.size(); }
    // Appends `category` (takes ownership), makes it current, marks modified.
    void AddRoot(CCategory* category);
    // Unlinks `category` from the root list (ownership goes to the caller)
    // and marks modified. When the current category is `category` or lies
    // below it, the current category becomes none, so that it never points
    // outside the library once the caller disposes of the category.
    void RemoveRoot(CCategory* category);

    // Operations that destroy entries. Each tells the removal listeners
    // first, with exactly the entries that go; when the current category is
    // among them or lies below one of them it becomes none, so that it never
    // dangles; the document is marked modified when anything went.
    //
    // Destroys the root category `root` with its subtree. Returns false and
    // does nothing when `root` is not a root of this library.
    bool DeleteRoot(CCategory* root);
    // Destroys `child`, a sub-category of `parent`, with its subtree. Returns
    // false and does nothing when it is not one.
    bool DeleteSubCategory(CCategory* parent, CCategory* child);
    // Destroys those of `entries` that are data items or sub-categories of
    // `category` (others and repeats are ignored), in one pass over its two
    // lists, whatever their number. Returns how many went.
    std::size_t DeleteEntries(CCategory* category, std::span<CItem* const> entries);

    // Moves `category` with its subtree to the end of `newParent`'s
    // sub-categories, or to the end of the root list when `newParent` is
    // null. Refused (false, nothing changes) when it would not move (already
    // there), when `newParent` is the category itself or lies below it (the
    // tree would become a cycle), or when `category` is not where its parent
    // link says. Whether `newParent` takes drops is the caller's rule.
    bool MoveCategory(CCategory* category, CCategory* newParent);
    // Exchanges the places of two entries in the list that holds both: two
    // data items of one category, two sub-categories of one category, or two
    // roots. Returns false (nothing changes) for any other pair.
    bool SwapEntries(CItem* a, CItem* b);

    CCategory* GetCurrentCategory() const noexcept { return m_pCurrentCategory; }
    void SetCurrentCategory(CCategory* category) noexcept { m_pCurrentCategory = category; }

    // Writes `category` with its subtree as a library of its own (atomic, as
    // saving). Refused (returns false) when !category.CanExport(). The
    // document is not changed.
    static bool ExportCategory(const CCategory& category, const std::string& path);
    // Reads the whole library at `path`, then appends each of its roots in
    // file order to the current category and marks modified. Refused
    // (returns false, nothing read) without a current category or when it
    // cannot take imports. On any failure nothing is added.
    bool ImportLibrary(const std::string& path);

    // Copies the file's bytes into `datum`'s content with a document's text
    // (see ExtractContent and StoreContent in Content.h), read where Locate
    // finds the file, and marks the document modified as soon as the content
    // has changed. Answers what reading the text gave (nothing for a file
    // that is no document). Throws ContentError, or VolumeOfflineError when
    // the file's volume is not connected; the item and the flag are then
    // unchanged.
    std::optional<DocumentTextResult> ExtractContent(
        CDatum& datum, ContentMode mode = ContentMode::BytesAndText);
    // Empties `datum`'s content and text and marks the document modified
    // (also when there was no content).
    void ClearContent(CDatum& datum);

    // The volumes mounted now: read from the system on first use, and again
    // by ReadVolumes (when volumes were mounted or unmounted).
    const CVolumeTable& GetVolumes();
    void ReadVolumes();
    // Where the file or folder of `entry` is now (see LocateEntry), with the
    // volume chosen by ChooseVolume for an ambiguous record.
    EntryLocation Locate(const CItem& entry);
    // Settles which of several fitting volumes (cloned disks) stands for the
    // record of `top`, until the volumes are read again.
    void ChooseVolume(const CPathCategory& top, const MountedVolume& volume);

    // The roots in order, as the writer takes them.
    std::vector<const CCategory*> GetRoots() const;

    // Listeners are not owned; a listener removes itself before it goes.
    void AddRemovalListener(IEntryRemovalListener* listener);
    void RemoveRemovalListener(IEntryRemovalListener* listener);
    // Every operation that destroys entries of the library calls this first,
    // with the entries (categories stand for their subtrees).
    void NotifyRemoving(std::span<const CItem* const> entries);

private:
    // Destroys every root (telling the listeners first); true if there were any.
    bool DestroyRoots();

    std::vector<IEntryRemovalListener*> m_removalListeners;
    std::vector<LibraryWarning> m_readWarnings;
    CVolumeTable m_volumes;
    bool m_volumesRead = false;
    std::unordered_map<const CPathCategory*, int> m_chosenVolumes; // mount id by category
    std::uint64_t m_changeSerial = 0;
    CLibraryHold m_hold;
    CategoryList m_rootList;
    CCategory* m_pCurrentCategory = nullptr;
};

} // namespace tessary
