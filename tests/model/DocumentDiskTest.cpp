// The document on a real disk: saving where only the file may be written,
// leftovers of killed saves, and two programs with one library.

#include "Document.h"
#include "FileSystem.h"
#include "LibraryBuilders.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessary {
namespace {

using testing::Fail;
using testing::MakeCustomDatum;
using testing::TempTree;

void Fill(CTessaryDoc& doc, int items)
{
    doc.OnNewDocument();
    auto* shelf = new CCustomCategory("shelf");
    for (int i = 0; i < items; ++i)
        shelf->AddDatum(MakeCustomDatum("item" + std::to_string(i), "txt", "/docs", 10, 20));
    doc.AddRoot(shelf);
}

std::string Bytes(const CTessaryDoc& doc)
{
    return testing::Write(doc.GetRoots());
}

struct stat StatOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st;
}

// A folder the saving user may not write: nothing can be created in it nor
// renamed over a file of it. Optionally the rewrite in place fails too.
class ReadOnlyFolderFs : public PosixFileSystem {
public:
    std::size_t writeBudget = SIZE_MAX; // bytes the file takes before writes fail
    int writeErr = ENOSPC;
    int fallocateErr = 0;
    int createAttempts = 0;

    int Open(const char* path, int flags, mode_t mode) override
    {
        if (flags & O_CREAT) {
            ++createAttempts;
            return Fail(EACCES);
        }
        return PosixFileSystem::Open(path, flags, mode);
    }
    int Rename(const char*, const char*) override { return Fail(EACCES); }
    int Unlink(const char*) override { return Fail(EACCES); }
    int Fallocate(int fd, off_t offset, off_t length) override
    {
        return fallocateErr ? Fail(fallocateErr) : PosixFileSystem::Fallocate(fd, offset, length);
    }
    ssize_t Write(int fd, const void* buf, std::size_t size) override
    {
        if (writeBudget == 0)
            return Fail(writeErr);
        size = std::min(size, writeBudget);
        writeBudget -= size;
        return PosixFileSystem::Write(fd, buf, size);
    }
};

TEST(DocumentDiskTest, SaveInAFolderThatCannotBeWrittenRewritesTheFileInPlace)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc, 40);
    const std::string lib = t.Path("lib.dli");
    doc.OnSaveDocument(lib);
    ASSERT_EQ(::chmod(lib.c_str(), 0604), 0);
    ASSERT_EQ(::link(lib.c_str(), t.Path("second-name.dli").c_str()), 0);
    const struct stat before = StatOf(lib);

    ReadOnlyFolderFs fs;
    ScopedFileSystem use(fs);
    // Bigger, then smaller than the file on disk: the file ends where the library does.
    for (int items : { 200, 3 }) {
        Fill(doc, items);
        doc.OnSaveDocument(lib);
        EXPECT_EQ(t.Read("lib.dli"), Bytes(doc)) << items;
        EXPECT_FALSE(doc.IsModified());
        const struct stat after = StatOf(lib);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(t.Read("second-name.dli"), Bytes(doc)); // the hard link sees the new library
    }
    EXPECT_GE(fs.createAttempts, 2);
    EXPECT_FALSE(doc.IsChangedOnDisk(lib));

    // A new file cannot be made there at all.
    EXPECT_THROW(doc.OnSaveDocument(t.Path("new.dli")), FileError);
}

TEST(DocumentDiskTest, UserWhoMayWriteTheFileButNotItsFolderCanSave)
{
    TempTree t;
    t.Folder("shared");
    const std::string lib = t.Path("shared/lib.dli");
    CTessaryDoc doc;
    Fill(doc, 10);
    doc.OnSaveDocument(lib);
    doc.OnNewDocument();
    ::chmod(t.Root().c_str(), 0755);
    ::chmod(t.Path("shared").c_str(), 0755);
    ::chmod(lib.c_str(), 0666);
    const struct stat before = StatOf(lib);
    const bool saved = testing::AsUnprivilegedUser([&] {
        CTessaryDoc mine;
        mine.OnOpenDocument(lib);
        mine.GetRootList()[0]->AddDatum(MakeCustomDatum("added", "doc", "/docs"));
        mine.SetModifiedFlag(true);
        mine.OnSaveDocument(lib);
        return !mine.IsModified() && t.Read("shared/lib.dli") == Bytes(mine);
    });
    EXPECT_TRUE(saved);
    CTessaryDoc reread;
    reread.OnOpenDocument(lib);
    EXPECT_EQ(reread.GetRootList()[0]->GetDatumList().size(), 11u);
    const struct stat after = StatOf(lib);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, before.st_uid);
}

TEST(DocumentDiskTest, FailureWhileRewritingInPlaceIsReported)
{
    TempTree t;
    CTessaryDoc doc;
    Fill(doc, 5);
    const std::string lib = t.Path("lib.dli");
    doc.OnSaveDocument(lib);
    const std::string old = t.Read("lib.dli");
    Fill(doc, 500);

    {
        // No room for the bigger file: found before a byte of the old one changes.
        ReadOnlyFolderFs fs;
        fs.fallocateErr = ENOSPC;
        ScopedFileSystem use(fs);
        try {
            doc.OnSaveDocument(lib);
            ADD_FAILURE() << "saved without room";
        } catch (const PartialWriteError&) {
            ADD_FAILURE() << "the old file was touched";
        } catch (const FileError& e) {
            EXPECT_EQ(e.Cause(), FileErrorCause::DiskFull);
            EXPECT_EQ(e.Path(), lib);
        }
        EXPECT_EQ(t.Read("lib.dli"), old);
        EXPECT_TRUE(doc.IsModified());
    }
    {
        // The device fails half-way: the error says the file may be damaged.
        ReadOnlyFolderFs fs;
        fs.writeBudget = 100;
        fs.writeErr = EIO;
        ScopedFileSystem use(fs);
        try {
            doc.OnSaveDocument(lib);
            ADD_FAILURE() << "saved through an I/O error";
        } catch (const PartialWriteError& e) {
            EXPECT_EQ(e.Cause(), FileErrorCause::HardIO);
            EXPECT_NE(std::string(e.what()).find("incomplete"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(doc.IsModified());
    }
    // The library in memory is whole and saves once the disk works again.
    doc.OnSaveDocument(lib);
    EXPECT_EQ(t.Read("lib.dli"), Bytes(doc));
}

pid_t FinishedProcess()
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(DocumentDiskTest, TemporaryFilesOfKilledSavesAreRemovedByTheNextSave)
{
    TempTree t;
    const std::string gone = std::to_string(FinishedProcess());
    const std::string self = std::to_string(::getpid());
    const std::vector<std::string> kept { ".lib.dli.tmp-" + self + "-3", // this process may be writing it
        ".lib.dli.tmp-1-0", // its process runs
        ".other.dli.tmp-" + gone + "-0", // another library's
        ".lib.dli.tmp-" + gone, ".lib.dli.tmp-" + gone + "-x", "lib.dli.tmp-" + gone + "-0" };
    for (const std::string& name : kept)
        t.File(name, "x");
    t.File(".lib.dli.tmp-" + gone + "-0", "half a library");
    t.File(".lib.dli.tmp-" + gone + "-17", "another half");

    CTessaryDoc doc;
    Fill(doc, 2);
    doc.OnSaveDocument(t.Path("lib.dli"));
    for (const std::string& name : kept)
        EXPECT_TRUE(::access(t.Path(name).c_str(), F_OK) == 0) << name;
    EXPECT_NE(::access(t.Path(".lib.dli.tmp-" + gone + "-0").c_str(), F_OK), 0);
    EXPECT_NE(::access(t.Path(".lib.dli.tmp-" + gone + "-17").c_str(), F_OK), 0);
}

TEST(DocumentDiskTest, ALibraryHeldByAnotherProgramIsToldAndReleasedWithIt)
{
    TempTree t;
    const std::string lib = t.Path("lib.dli");
    CTessaryDoc first, second;
    Fill(first, 3);
    EXPECT_FALSE(second.IsHeldElsewhere(lib)); // no file yet
    first.OnSaveDocument(lib);
    EXPECT_TRUE(second.IsHeldElsewhere(lib));
    EXPECT_FALSE(first.IsHeldElsewhere(lib)); // its own file

    // Opening it anyway is possible; then each sees the other.
    second.OnOpenDocument(lib);
    EXPECT_TRUE(CTessaryDoc().IsHeldElsewhere(lib));
    second.OnNewDocument();
    first.OnNewDocument();
    EXPECT_FALSE(second.IsHeldElsewhere(lib));

    // A program that dies holding the library leaves no lock behind.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CTessaryDoc holder;
        holder.OnOpenDocument(lib);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_TRUE(second.IsHeldElsewhere(lib));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(second.IsHeldElsewhere(lib));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(DocumentDiskTest, AFileChangedOnDiskSinceOpenOrSaveIsNoticed)
{
    TempTree t;
    const std::string lib = t.Path("lib.dli");
    CTessaryDoc first, second;
    Fill(first, 3);
    EXPECT_FALSE(first.IsChangedOnDisk(lib)); // no file
    first.OnSaveDocument(lib);
    first.SetPathName(lib);
    second.OnOpenDocument(lib);
    EXPECT_FALSE(first.IsChangedOnDisk(lib));
    EXPECT_FALSE(second.IsChangedOnDisk(lib));

    // The other program saves (a new file takes the name).
    second.GetRootList()[0]->m_strName = "theirs";
    second.OnSaveDocument(lib);
    EXPECT_TRUE(first.IsChangedOnDisk(lib));
    EXPECT_FALSE(second.IsChangedOnDisk(lib));
    EXPECT_FALSE(first.IsChangedOnDisk(t.Path("elsewhere.dli"))); // not its file

    // Saving anyway makes the first current and the second stale.
    first.OnSaveDocument(lib);
    EXPECT_FALSE(first.IsChangedOnDisk(lib));
    EXPECT_TRUE(second.IsChangedOnDisk(lib));

    // A change in place (same file, new contents) counts as well.
    CTessaryDoc third;
    third.OnOpenDocument(lib);
    {
        int fd = ::open(lib.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "tail", 4), 4);
        ::close(fd);
    }
    EXPECT_TRUE(third.IsChangedOnDisk(lib));
    // A file that is gone has nothing to lose.
    ::unlink(lib.c_str());
    EXPECT_FALSE(third.IsChangedOnDisk(lib));
}

} // namespace
} // namespace tessary
