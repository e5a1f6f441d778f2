#include "Document.h"
#include "Content.h"
#include "Datum.h"
#include "FileSystem.h"
#include "LibraryBuilders.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessary {
namespace {

using testing::Describe;
using testing::Fail;
using testing::MakeCustomDatum;
using testing::TempTree;

const std::string kUntitled = "\xE6\x9C\xAA\xE5\x91\xBD\xE5\x90\x8D"; // 未命名

// A small library: two roots, one with a sub-category and data items.
void Fill(CTessaryDoc& doc)
{
    auto* books = new CCustomCategory("books");
    auto* novels = new CCustomCategory("novels");
    novels->AddDatum(MakeCustomDatum("dune", "txt", "/lib", 300, 123456));
    books->AddSubCategory(novels);
    books->AddDatum(MakeCustomDatum("atlas", "pdf", "/maps", 3000000000u, -5));
    auto* cd = new CCDRomCategory("disc", "/media/cd");
    cd->AddSubCategory(new CFolderCategory("sub"));
    doc.AddRoot(books);
    doc.AddRoot(cd);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CountingView : public IDocumentView {
public:
    int updates = 0;
    IDocumentView* lastSender = nullptr;
    CDocumentBase* removeFrom = nullptr;
    void OnUpdate(IDocumentView* sender) override
    {
        ++updates;
        lastSender = sender;
        if (removeFrom)
            removeFrom->RemoveView(this);
    }
};

TEST(DocumentTest, ModifiedMarkFollowsTheFlag)
{
    CTessaryDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.GetRootCount(), 0u);
    EXPECT_EQ(doc.GetCurrentCategory(), nullptr);
    EXPECT_EQ(doc.GetTitle(), kUntitled);
    EXPECT_FALSE(doc.IsModified());

    doc.SetModifiedFlag(true);
    doc.SetModifiedFlag(true);
    EXPECT_EQ(doc.GetTitle(), kUntitled + " *");
    EXPECT_EQ(doc.GetPlainTitle(), kUntitled);
    doc.SetModifiedFlag(false);
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.GetTitle(), kUntitled);
    EXPECT_EQ(doc.GetPlainTitle(), kUntitled);

    // A title that ends in the mark by itself is left alone while unmodified.
    doc.SetTitle("odd *");
    EXPECT_EQ(doc.GetPlainTitle(), "odd *");
}

TEST(DocumentTest, RootsAndCurrentCategory)
{
    CTessaryDoc doc;
    auto* a = new CCustomCategory("a");
    auto* b = new CCustomCategory("b");
    doc.AddRoot(a);
    EXPECT_EQ(doc.GetCurrentCategory(), a);
    EXPECT_TRUE(doc.IsModified());
    doc.AddRoot(b);
    EXPECT_EQ(doc.GetCurrentCategory(), b);
    ASSERT_EQ(doc.GetRootCount(), 2u);
    EXPECT_EQ(doc.GetRootList()[0], a);

    auto* inner = new CCustomCategory("inner");
    a->AddSubCategory(inner);
    doc.SetCurrentCategory(inner);
    doc.SetModifiedFlag(false);
    doc.RemoveRoot(a); // not destroyed: the caller disposes of it
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetRootCount(), 1u);
    EXPECT_EQ(doc.GetCurrentCategory(), nullptr); // it would dangle once `a` is gone
    EXPECT_EQ(inner->GetParent(), a);
    delete a;

    doc.SetCurrentCategory(b);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.GetRootCount(), 0u);
    EXPECT_EQ(doc.GetCurrentCategory(), nullptr);
    EXPECT_FALSE(doc.IsModified());
}

TEST(DocumentTest, UpdatesReachEveryViewButTheSender)
{
    CTessaryDoc doc;
    CountingView tree, list, leaving;
    doc.AddView(&tree);
    doc.AddView(&list);
    doc.AddView(&leaving);
    doc.AddView(&tree); // once only
    leaving.removeFrom = &doc;
    doc.UpdateAllViews(&tree);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(tree.updates, 1);
    EXPECT_EQ(list.updates, 2);
    EXPECT_EQ(list.lastSender, nullptr);
    EXPECT_EQ(leaving.updates, 1);
    EXPECT_EQ(doc.GetViews().size(), 2u);
}

TEST(DocumentTest, SaveThenOpenRestoresTheLibrary)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc);
    const std::string before = Describe(doc.GetRoots());
    doc.OnSaveDocument(t.Path("lib.dli"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "lib.dli");
    EXPECT_EQ(doc.GetPathName(), t.Path("lib.dli"));
    EXPECT_EQ(FilesIn(t.Root()), std::vector<std::string> { "lib.dli" }); // no temporary file left

    CTessaryDoc other;
    other.SetModifiedFlag(true);
    other.OnOpenDocument(t.Path("lib.dli"));
    EXPECT_EQ(Describe(other.GetRoots()), before);
    EXPECT_FALSE(other.IsModified());
    EXPECT_EQ(other.GetTitle(), "lib.dli");
    EXPECT_EQ(other.GetCurrentCategory(), nullptr);
    for (const CCategory* root : other.GetRootList())
        EXPECT_EQ(root->GetParent(), nullptr);
}

TEST(DocumentTest, ZeroByteFileOpensAsEmptyLibrary)
{
    TempTree t;
    t.File("empty.dli");
    CTessaryDoc doc;
    Fill(doc);
    doc.OnOpenDocument(t.Path("empty.dli"));
    EXPECT_EQ(doc.GetRootCount(), 0u);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "empty.dli");
}

TEST(DocumentTest, FailedOpenLeavesTheRightState)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc);
    doc.OnSaveDocument(t.Path("good.dli"));
    doc.SetModifiedFlag(true);

    // Cannot be opened at all: nothing changes.
    try {
        doc.OnOpenDocument(t.Path("absent.dli"));
        FAIL() << "opened";
    } catch (const FileError& e) {
        EXPECT_EQ(e.Cause(), FileErrorCause::NotFound);
        EXPECT_EQ(e.Path(), t.Path("absent.dli"));
    }
    EXPECT_EQ(doc.GetRootCount(), 2u);
    EXPECT_EQ(doc.GetTitle(), "good.dli *");
    EXPECT_THROW(doc.OnOpenDocument(t.Root()), FileError); // a folder

    // Opened but not a library: left empty, unmodified, untitled.
    std::string bytes = t.Read("good.dli");
    t.File("cut.dli", bytes.substr(0, bytes.size() / 2));
    try {
        doc.OnOpenDocument(t.Path("cut.dli"));
        FAIL() << "opened";
    } catch (const LibraryReadError& e) {
        EXPECT_EQ(e.Path(), t.Path("cut.dli"));
        EXPECT_EQ(e.Fault(), ArchiveFault::EndOfFile);
        EXPECT_LE(e.Offset(), bytes.size() / 2);
    }
    EXPECT_EQ(doc.GetRootCount(), 0u);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), kUntitled);
    EXPECT_TRUE(doc.GetPathName().empty());
}

TEST(DocumentTest, ExportThenImportReproducesTheCategory)
{
    TempTree t;
    CTessaryDoc source;
    Fill(source);
    source.SetModifiedFlag(false);
    const CCategory* books = source.GetRootList()[0];
    const std::string sourceBefore = Describe(source.GetRoots());
    ASSERT_TRUE(CTessaryDoc::ExportCategory(*books, t.Path("books.dli")));
    EXPECT_FALSE(source.IsModified());
    EXPECT_EQ(Describe(source.GetRoots()), sourceBefore);
    // A folder category takes its path from its parent: it cannot stand alone.
    const CCategory* folder = source.GetRootList()[1]->GetSubCategoryList()[0];
    EXPECT_FALSE(CTessaryDoc::ExportCategory(*folder, t.Path("folder.dli")));
    EXPECT_FALSE(std::filesystem::exists(t.Path("folder.dli")));

    CTessaryDoc target;
    auto* shelf = new CCustomCategory("shelf");
    shelf->AddSubCategory(new CCustomCategory("first"));
    target.AddRoot(shelf);
    target.SetModifiedFlag(false);
    ASSERT_TRUE(target.ImportLibrary(t.Path("books.dli")));
    EXPECT_TRUE(target.IsModified());
    ASSERT_EQ(shelf->GetSubCategoryList().size(), 2u);
    CCategory* imported = shelf->GetSubCategoryList()[1];
    EXPECT_EQ(imported->GetParent(), shelf);
    shelf->DetachSubCategory(imported); // compared as a root, like the exported one
    EXPECT_EQ(Describe({ imported }), Describe({ books }));
    shelf->AddSubCategory(imported);

    // A library with several roots appends them in file order.
    source.OnSaveDocument(t.Path("two.dli"));
    ASSERT_TRUE(target.ImportLibrary(t.Path("two.dli")));
    ASSERT_EQ(shelf->GetSubCategoryList().size(), 4u);
    EXPECT_EQ(shelf->GetSubCategoryList()[2]->m_strName, "books");
    EXPECT_EQ(shelf->GetSubCategoryList()[3]->m_strName, "disc");
    EXPECT_EQ(shelf->GetSubCategoryList()[3]->GetPath(), "/media/cd");
}

TEST(DocumentTest, FailedOrRefusedImportAddsNothing)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc);
    doc.OnSaveDocument(t.Path("lib.dli"));
    std::string bytes = t.Read("lib.dli");
    t.File("cut.dli", bytes.substr(0, bytes.size() - 3));
    t.File("empty.dli");

    CCategory* books = doc.GetRootList()[0];
    doc.SetCurrentCategory(books);
    const std::string before = Describe(doc.GetRoots());
    EXPECT_THROW(doc.ImportLibrary(t.Path("cut.dli")), LibraryReadError);
    EXPECT_THROW(doc.ImportLibrary(t.Path("empty.dli")), LibraryReadError);
    EXPECT_THROW(doc.ImportLibrary(t.Path("none.dli")), FileError);
    EXPECT_EQ(Describe(doc.GetRoots()), before);
    EXPECT_FALSE(doc.IsModified());

    doc.SetCurrentCategory(doc.GetRootList()[1]); // a CD-ROM category takes no imports
    EXPECT_FALSE(doc.ImportLibrary(t.Path("lib.dli")));
    doc.SetCurrentCategory(nullptr);
    EXPECT_FALSE(doc.ImportLibrary(t.Path("lib.dli")));
    EXPECT_EQ(Describe(doc.GetRoots()), before);
}

// Fails the save at a chosen step.
class FailingSaveFs : public PosixFileSystem {
public:
    enum class Step { None, Create, WriteAfter, Fsync, Close, Rename, KillAfter };
    Step step = Step::None;
    std::size_t budget = 0; // bytes accepted before WriteAfter / KillAfter strike
    int err = ENOSPC;
    int writeFd = -1;

    int Open(const char* path, int flags, mode_t mode) override
    {
        if ((flags & O_CREAT) && step == Step::Create)
            return Fail(EROFS); // a read-only file system
        int fd = PosixFileSystem::Open(path, flags, mode);
        if (flags & O_CREAT)
            writeFd = fd;
        return fd;
    }
    ssize_t Write(int fd, const void* buf, std::size_t size) override
    {
        if (step == Step::WriteAfter || step == Step::KillAfter) {
            if (budget == 0) {
                if (step == Step::KillAfter)
                    ::_exit(9);
                return Fail(err);
            }
            size = std::min(size, budget); // a short write first
            budget -= size;
        }
        return PosixFileSystem::Write(fd, buf, size);
    }
    int Fsync(int fd) override
    {
        return step == Step::Fsync && fd == writeFd ? Fail(EIO) : PosixFileSystem::Fsync(fd);
    }
    int Close(int fd) override
    {
        int r = PosixFileSystem::Close(fd);
        return step == Step::Close && fd == writeFd && r == 0 ? Fail(EDQUOT) : r;
    }
    int Rename(const char* from, const char* to) override
    {
        return step == Step::Rename ? Fail(EXDEV) : PosixFileSystem::Rename(from, to);
    }
};

TEST(DocumentTest, FailedSaveKeepsTheOldFileAndTheMark)
{
    using Step = FailingSaveFs::Step;
    struct Case {
        Step step;
        FileErrorCause cause;
    };
    const Case cases[] = {
        { Step::Create, FileErrorCause::AccessDenied },
        { Step::WriteAfter, FileErrorCause::DiskFull },
        { Step::Fsync, FileErrorCause::HardIO },
        { Step::Close, FileErrorCause::DiskFull },
        { Step::Rename, FileErrorCause::Generic },
    };
    for (const Case& c : cases) {
        TempTree t;
        CTessaryDoc doc;
        Fill(doc);
        doc.OnSaveDocument(t.Path("lib.dli"));
        const std::string old = t.Read("lib.dli");
        doc.GetRootList()[0]->AddDatum(MakeCustomDatum("more", "txt", "/x"));
        doc.SetModifiedFlag(true);

        FailingSaveFs fs;
        fs.step = c.step;
        fs.budget = 10;
        ScopedFileSystem use(fs);
        try {
            doc.OnSaveDocument(t.Path("lib.dli"));
            ADD_FAILURE() << "saved at step " << int(c.step);
        } catch (const FileError& e) {
            EXPECT_EQ(e.Cause(), c.cause) << int(c.step);
            EXPECT_EQ(e.Path(), t.Path("lib.dli"));
        }
        EXPECT_EQ(t.Read("lib.dli"), old) << int(c.step);
        EXPECT_EQ(FilesIn(t.Root()), std::vector<std::string> { "lib.dli" }) << int(c.step);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetTitle(), "lib.dli *");
    }
}

TEST(DocumentTest, KilledSaveLeavesTheOldFileWhole)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc);
    doc.OnSaveDocument(t.Path("lib.dli"));
    const std::string old = t.Read("lib.dli");
    for (int i = 0; i < 50; ++i)
        doc.GetRootList()[0]->AddDatum(MakeCustomDatum("more" + std::to_string(i), "txt", "/x"));

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FailingSaveFs fs;
        fs.step = FailingSaveFs::Step::KillAfter;
        fs.budget = 100; // the process dies in the middle of writing
        SetFileSystem(&fs);
        try {
            doc.OnSaveDocument(t.Path("lib.dli"));
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 9);
    EXPECT_EQ(t.Read("lib.dli"), old);
    CTessaryDoc reopened;
    reopened.OnOpenDocument(t.Path("lib.dli"));
    EXPECT_EQ(reopened.GetRootCount(), 2u);
}

TEST(DocumentTest, SaveKeepsPermissionsAndLinks)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc);
    doc.OnSaveDocument(t.Path("lib.dli"));
    ASSERT_EQ(::chmod(t.Path("lib.dli").c_str(), 0640), 0);
    ASSERT_EQ(::symlink("lib.dli", t.Path("link.dli").c_str()), 0);

    doc.GetRootList()[0]->m_strName = "renamed";
    doc.OnSaveDocument(t.Path("link.dli"));
    struct stat st;
    ASSERT_EQ(::lstat(t.Path("link.dli").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(t.Path("lib.dli").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    CTessaryDoc reopened;
    reopened.OnOpenDocument(t.Path("lib.dli"));
    EXPECT_EQ(reopened.GetRootList()[0]->m_strName, "renamed");

    t.Folder("dir.dli");
    EXPECT_THROW(doc.OnSaveDocument(t.Path("dir.dli")), FileError);

    // A file the user may not write is not replaced behind its back.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(t.Path("lib.dli").c_str(), 0444), 0);
        const std::string old = t.Read("lib.dli");
        doc.GetRootList()[0]->m_strName = "again";
        EXPECT_THROW(doc.OnSaveDocument(t.Path("lib.dli")), FileError);
        EXPECT_EQ(t.Read("lib.dli"), old);
    }
}

TEST(DocumentTest, FileErrorsNameTheFileAndTheCause)
{
    FileError e(FileErrorCause::DiskFull, "/data/lib.dli", ENOSPC);
    std::string text = DescribeFileError(e);
    EXPECT_NE(text.find("/data/lib.dli"), std::string::npos);
    EXPECT_NE(text.find("disk is full"), std::string::npos);
    EXPECT_EQ(FileError::CauseFromErrno(EROFS), FileErrorCause::AccessDenied);
    EXPECT_EQ(FileError::CauseFromErrno(ETXTBSY), FileErrorCause::SharingViolation);
    EXPECT_EQ(FileError::CauseFromErrno(EDQUOT), FileErrorCause::DiskFull);
}

} // namespace
} // namespace tessary

namespace tessary {
namespace {

class CRecordingListener : public IEntryRemovalListener {
public:
    void OnEntriesRemoving(std::span<const CItem* const> entries) override
    {
        removing.insert(removing.end(), entries.begin(), entries.end());
    }
    void OnLibraryClearing() override { ++clearings; }

    std::vector<const CItem*> removing;
    int clearings = 0;
};

TEST(DocumentRemovalTest, ListenersHearOfRemovalsAndOfTheLibraryGoing)
{
    CTessaryDoc doc;
    doc.OnNewDocument();
    CRecordingListener listener;
    doc.AddRemovalListener(&listener);
    doc.AddRemovalListener(&listener); // once only

    auto* root = new CCustomCategory("r");
    doc.AddRoot(root);
    const CItem* gone[] = { root };
    doc.NotifyRemoving(gone);
    EXPECT_EQ(listener.removing, std::vector<const CItem*>({ root }));
    doc.NotifyRemoving({}); // nothing to tell
    EXPECT_EQ(listener.removing.size(), 1u);

    doc.OnNewDocument();
    EXPECT_EQ(listener.clearings, 1);
    doc.OnNewDocument(); // an empty library has nothing to clear
    EXPECT_EQ(listener.clearings, 1);

    doc.RemoveRemovalListener(&listener);
    doc.AddRoot(new CCustomCategory("s"));
    doc.OnNewDocument();
    EXPECT_EQ(listener.clearings, 1);
}

} // namespace
} // namespace tessary
