#include "Scan.h"
#include "Category.h"
#include "Datum.h"
#include "FileSystem.h"
#include "TempTree.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <dirent.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace tessary {
namespace {

using testing::Fail;
using testing::TempTree;

// The names of a folder in the order the file system lists them.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    while (dirent* e = d ? ::readdir(d) : nullptr) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    if (d)
        ::closedir(d);
    return names;
}

const CDatum* FindDatum(const CCategory& c, std::string_view displayName)
{
    for (const CDatum* d : c.GetDatumList())
        if (d->GetDisplayName() == displayName)
            return d;
    return nullptr;
}

const CCategory* FindSub(const CCategory& c, std::string_view name)
{
    for (const CCategory* s : c.GetSubCategoryList())
        if (s->m_strName == name)
            return s;
    return nullptr;
}

std::unique_ptr<CRootFolderCategory> Scan(const std::string& diskPath)
{
    return std::unique_ptr<CRootFolderCategory>(CreateRootFolderCategory("root", DiskToGb(diskPath)));
}

TEST(ScanTest, SubFoldersKeepListingOrderAndFilesComeInReverse)
{
    TempTree t;
    for (const char* f : { "a.txt", "b.txt", "c.txt", "d.txt" })
        t.File(f, "x");
    for (const char* s : { "s1", "s2", "s3" })
        t.Folder(s);
    t.File("s2/inner.txt", "12345");

    auto root = Scan(t.Root());
    std::vector<std::string> files, folders;
    for (const std::string& n : Listing(t.Root()))
        (n[0] == 's' ? folders : files).push_back(n);

    ASSERT_EQ(root->GetSubCategoryList().size(), folders.size());
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const CCategory* sub = root->GetSubCategoryList()[i];
        EXPECT_EQ(sub->m_strName, folders[i]);
        EXPECT_EQ(sub->GetClassId(), ClassId::FolderCategory);
        EXPECT_EQ(sub->GetParent(), root.get());
    }
    ASSERT_EQ(root->GetDatumList().size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(root->GetDatumList()[files.size() - 1 - i]->GetDisplayName(), files[i]);

    const CCategory* s2 = FindSub(*root, "s2");
    ASSERT_TRUE(s2);
    ASSERT_EQ(s2->GetDatumList().size(), 1u);
    const CDatum* inner = s2->GetDatumList()[0];
    EXPECT_EQ(inner->GetClassId(), ClassId::FileDatum);
    EXPECT_EQ(inner->m_dwSize, 5u);
    EXPECT_EQ(inner->GetPath(), t.Path("s2/inner.txt"));
    EXPECT_EQ(inner->GetFolderPath(), t.Path("s2"));
    EXPECT_TRUE(inner->m_strContent.empty());
    EXPECT_TRUE(inner->m_strRemark.empty());
}

TEST(ScanTest, NamesSplitAtTheFirstDotAndHiddenEntriesAreIncluded)
{
    TempTree t;
    t.File("archive.tar.gz");
    t.File("README");
    t.File(".profile");
    t.Folder(".hidden");
    t.File(".hidden/x.y.z");
    t.File("\xE4\xB8\xAD\xE6\x96\x87.\xE6\x96\x87\xE6\xA1\xA3.txt"); // 中文.文档.txt

    auto root = Scan(t.Root());
    const CDatum* archive = FindDatum(*root, "archive.tar.gz");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->m_strName, "archive");
    EXPECT_EQ(archive->m_strExtension, "tar.gz");
    const CDatum* readme = FindDatum(*root, "README");
    ASSERT_TRUE(readme);
    EXPECT_TRUE(readme->m_strExtension.empty());
    const CDatum* profile = FindDatum(*root, ".profile");
    ASSERT_TRUE(profile);
    EXPECT_TRUE(profile->m_strName.empty());
    EXPECT_EQ(profile->m_strExtension, "profile");

    const CCategory* hidden = FindSub(*root, ".hidden");
    ASSERT_TRUE(hidden);
    ASSERT_EQ(hidden->GetDatumList().size(), 1u);
    EXPECT_EQ(hidden->GetDatumList()[0]->m_strName, "x");
    EXPECT_EQ(hidden->GetDatumList()[0]->m_strExtension, "y.z");

    // Chinese names are stored in the library's code page and lead back to the file.
    const std::string gbName = Utf8ToGb("\xE4\xB8\xAD\xE6\x96\x87");
    const CDatum* chinese = FindDatum(*root, gbName + "." + Utf8ToGb("\xE6\x96\x87\xE6\xA1\xA3.txt"));
    ASSERT_TRUE(chinese);
    EXPECT_EQ(chinese->m_strName, gbName);
    struct stat st;
    EXPECT_EQ(::stat(GbToDisk(chinese->GetPath()).c_str(), &st), 0);
}

TEST(ScanTest, NameThatIsNotUtf8LeadsBackToTheSameFile)
{
    TempTree t;
    const std::string odd = "caf\xE9 \xFF\xFE";
    t.Folder(odd);
    t.File(odd + "/r\xE9sum\xE9.doc", "bytes");

    // The scanned folder itself has a stray byte in its name, too.
    auto root = Scan(t.Path(odd));
    ASSERT_EQ(root->GetDatumList().size(), 1u);
    const CDatum* d = root->GetDatumList()[0];
    EXPECT_EQ(d->m_strExtension, "doc");
    EXPECT_EQ(GbToDisk(d->GetPath()), t.Path(odd + "/r\xE9sum\xE9.doc"));
    EXPECT_EQ(d->m_dwSize, 5u);
}

TEST(ScanTest, SizesKeepTheirLow32BitsAndTimesAreTaken)
{
    TempTree t;
    t.File("big.iso");
    ASSERT_EQ(::truncate(t.Path("big.iso").c_str(), 5368709120LL), 0); // sparse, 5 GiB
    t.SetTime("big.iso", 1000000000);
    t.File("future.txt");
    t.SetTime("future.txt", 1LL << 33); // past 2038

    auto root = Scan(t.Root());
    const CDatum* big = FindDatum(*root, "big.iso");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->m_dwSize, 1073741824u);
    EXPECT_EQ(big->m_timeModified, 1000000000);
    // A time the format cannot hold saturates instead of wrapping into the past.
    EXPECT_EQ(FindDatum(*root, "future.txt")->m_timeModified, 0x7FFFFFFF);
}

TEST(ScanTest, LinksAndSpecialFilesAreRecordedNeverFollowedOrOpened)
{
    TempTree t;
    t.Folder("sub");
    t.File("sub/file.txt", "abc");
    ASSERT_EQ(::symlink(".", t.Path("sub/self").c_str()), 0);
    ASSERT_EQ(::symlink("..", t.Path("sub/up").c_str()), 0);
    ASSERT_EQ(::symlink("sub", t.Path("tosub").c_str()), 0);
    ASSERT_EQ(::symlink("missing", t.Path("dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(t.Path("pipe").c_str(), 0644), 0);

    auto root = Scan(t.Root()); // would hang on the fifo or loop forever on the links
    ASSERT_EQ(root->GetSubCategoryList().size(), 1u);
    const CCategory* sub = root->GetSubCategoryList()[0];
    EXPECT_EQ(sub->GetSubCategoryList().size(), 0u);
    EXPECT_EQ(sub->GetDatumList().size(), 3u);
    const CDatum* self = FindDatum(*sub, "self");
    ASSERT_TRUE(self);
    EXPECT_EQ(self->m_dwSize, 1u); // the link's own size: its target text
    ASSERT_TRUE(FindDatum(*root, "tosub"));
    EXPECT_EQ(FindDatum(*root, "tosub")->m_dwSize, 3u);
    EXPECT_TRUE(FindDatum(*root, "dangling"));
    ASSERT_TRUE(FindDatum(*root, "pipe"));
    EXPECT_EQ(FindDatum(*root, "pipe")->m_dwSize, 0u);
}

TEST(ScanTest, MissingOrEmptyOrNonFolderPathsGiveEmptyCategories)
{
    TempTree t;
    t.Folder("empty");
    t.File("plain.txt", "x");
    for (const std::string& p : { t.Path("empty"), t.Path("nowhere"), t.Path("plain.txt"), std::string() }) {
        std::unique_ptr<CCDRomCategory> c(CreateCDRomCategory("cd", p));
        EXPECT_EQ(c->GetSubCategoryList().size(), 0u) << p;
        EXPECT_EQ(c->GetDatumList().size(), 0u) << p;
        EXPECT_EQ(c->GetPath(), p);
        EXPECT_EQ(c->m_strName, "cd");
    }
    std::unique_ptr<CDriverCategory> drive(CreateDriverCategory("d", t.Root()));
    EXPECT_EQ(drive->GetClassId(), ClassId::DriverCategory);
    EXPECT_EQ(drive->GetSubCategoryList().size(), 1u);
}

// Fails listing for folders whose name is given, or stat for entries; or
// reports another device for a name, as a mount point would.
class FaultyTreeFs : public PosixFileSystem {
public:
    std::string unlistable, unstatable, mountPoint;
    std::atomic<int> openedMountPoint { 0 };

    int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override
    {
        if (name == unlistable)
            return Fail(EACCES);
        if (name == mountPoint)
            ++openedMountPoint;
        return PosixFileSystem::OpenAt(dirFd, name, flags, mode);
    }
    int StatAt(int dirFd, const char* name, struct stat* st, int flags) override
    {
        if (name == unstatable)
            return Fail(EACCES);
        int r = PosixFileSystem::StatAt(dirFd, name, st, flags);
        if (r == 0 && name == mountPoint)
            st->st_dev += 1;
        return r;
    }
};

TEST(ScanTest, UnreadableFoldersAndOtherFileSystemsStayEmpty)
{
    TempTree t;
    for (const char* f : { "locked", "mnt", "open" }) {
        t.Folder(f);
        t.File(std::string(f) + "/inside.txt");
    }
    t.File("secret.txt", "123");

    FaultyTreeFs fs;
    fs.unlistable = "locked";
    fs.mountPoint = "mnt";
    fs.unstatable = "secret.txt";
    ScopedFileSystem use(fs);
    // A drive import stays on its volume.
    std::unique_ptr<CDriverCategory> root(CreateDriverCategory("drive", DiskToGb(t.Root())));

    ASSERT_TRUE(FindSub(*root, "locked"));
    EXPECT_TRUE(FindSub(*root, "locked")->GetDatumList().empty());
    ASSERT_TRUE(FindSub(*root, "mnt"));
    EXPECT_TRUE(FindSub(*root, "mnt")->GetDatumList().empty());
    EXPECT_EQ(fs.openedMountPoint, 0);
    EXPECT_EQ(FindSub(*root, "open")->GetDatumList().size(), 1u);
    // An entry that is listed but cannot be examined keeps its name.
    const CDatum* secret = FindDatum(*root, "secret.txt");
    ASSERT_TRUE(secret);
    EXPECT_EQ(secret->m_dwSize, 0u);

    // A folder import goes on into the other file system.
    auto folder = Scan(t.Root());
    ASSERT_TRUE(FindSub(*folder, "mnt"));
    EXPECT_EQ(FindSub(*folder, "mnt")->GetDatumList().size(), 1u);
}

TEST(ScanTest, ReportNamesTheFoldersNotReadOrNotEntered)
{
    TempTree t;
    for (const char* f : { "locked", "mnt", "open" }) {
        t.Folder(f);
        t.File(std::string(f) + "/inside.txt");
    }
    FaultyTreeFs fs;
    fs.unlistable = "locked";
    fs.mountPoint = "mnt";
    ScopedFileSystem use(fs);

    CRootFolderCategory root("root", DiskToGb(t.Root()));
    ScanProgress progress;
    ScanOptions options;
    options.threads = 1;
    options.followMounts = false;
    options.progress = &progress;
    const ScanReport report = ScanFolderInto(root, t.Root() + "/", options);

    EXPECT_TRUE(report.opened);
    EXPECT_FALSE(report.cancelled);
    // Three folders and the one file that could be read.
    EXPECT_EQ(report.entries, 4u);
    EXPECT_EQ(progress.EntriesFound(), 4u);
    ASSERT_EQ(report.skipped.size(), 2u);
    std::map<std::string, ScanSkip::Reason> skipped;
    for (const ScanSkip& s : report.skipped)
        skipped[s.path] = s.reason;
    EXPECT_EQ(skipped[t.Root() + "/locked"], ScanSkip::Reason::Unreadable);
    EXPECT_EQ(skipped[t.Root() + "/mnt"], ScanSkip::Reason::OtherVolume);
}

TEST(ScanTest, MissingTopFolderIsReportedAsNotOpened)
{
    TempTree t;
    CRootFolderCategory root("root", "");
    const ScanReport report = ScanFolderInto(root, t.Path("missing"));
    EXPECT_FALSE(report.opened);
    EXPECT_EQ(report.entries, 0u);
}

TEST(ScanTest, CancelledScanStopsAndSaysSo)
{
    TempTree t;
    for (int i = 0; i < 20; ++i)
        t.File("f" + std::to_string(i));
    CRootFolderCategory root("root", "");
    ScanProgress progress;
    progress.Cancel();
    ScanOptions options;
    options.progress = &progress;
    const ScanReport report = ScanFolderInto(root, t.Root(), options);
    EXPECT_TRUE(report.cancelled);
    EXPECT_LT(root.GetDatumList().size(), 20u);
}

TEST(ScanTest, FolderWithoutPermissionGivesEmptyCategory)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop the superuser";
    TempTree t;
    t.Folder("closed");
    t.File("closed/x.txt");
    ::chmod(t.Path("closed").c_str(), 0);
    auto root = Scan(t.Root());
    ASSERT_EQ(root->GetSubCategoryList().size(), 1u);
    EXPECT_TRUE(root->GetSubCategoryList()[0]->GetDatumList().empty());
}

TEST(ScanTest, DeepTreesAndBigFoldersScanCompletely)
{
    TempTree t;
    std::string rel = "d";
    for (int i = 0; i < 200; ++i)
        rel += "/d";
    t.Folder(rel);
    t.File(rel + "/leaf.txt", "x");
    t.Folder("wide");
    for (int i = 0; i < 3000; ++i)
        t.File("wide/f" + std::to_string(i));

    auto root = Scan(t.Root());
    const CCategory* c = FindSub(*root, "d");
    int depth = 0;
    while (c && !c->GetSubCategoryList().empty()) {
        c = c->GetSubCategoryList()[0];
        ++depth;
    }
    EXPECT_EQ(depth, 200);
    ASSERT_TRUE(c);
    ASSERT_EQ(c->GetDatumList().size(), 1u);
    EXPECT_EQ(GbToDisk(c->GetDatumList()[0]->GetPath()), t.Path(rel + "/leaf.txt"));
    EXPECT_EQ(FindSub(*root, "wide")->GetDatumList().size(), 3000u);
}

TEST(ScanTest, EditingTheTopPathRepointsTheSubtreeWithoutRescanning)
{
    TempTree t;
    t.Folder("sub");
    t.File("sub/report.doc");
    std::unique_ptr<CCDRomCategory> cd(CreateCDRomCategory("disc", t.Root()));
    const CDatum* report = FindSub(*cd, "sub")->GetDatumList()[0];
    EXPECT_EQ(report->GetPath(), t.Path("sub/report.doc"));

    t.File("sub/new.txt");
    cd->m_strPath = "/media/other";
    EXPECT_EQ(report->GetPath(), "/media/other/sub/report.doc");
    EXPECT_EQ(report->GetFolderPath(), "/media/other/sub");
    EXPECT_EQ(FindSub(*cd, "sub")->GetDatumList().size(), 1u);
}

TEST(ScanTest, RefreshFileStatusReadsTheFileOrKeepsTheOldValues)
{
    TempTree t;
    t.File("a.b.txt", std::string(1234, 'x'));
    t.SetTime("a.b.txt", 1500000000);
    CCustomDatum d(DiskToGb(t.Path("a.b.txt")));
    EXPECT_EQ(d.m_strName, "a.b");
    EXPECT_EQ(d.m_dwSize, 0u);
    d.RefreshFileStatus();
    EXPECT_EQ(d.m_dwSize, 1234u);
    EXPECT_EQ(d.m_timeModified, 1500000000);

    d.SetFromPath(DiskToGb(t.Path("README")));
    d.RefreshFileStatus(); // no such file: nothing changes
    EXPECT_EQ(d.m_dwSize, 1234u);
    EXPECT_EQ(d.m_timeModified, 1500000000);
    EXPECT_TRUE(d.m_strExtension.empty());

    CCustomDatum folder(DiskToGb(t.Root())); // a folder has a status, too
    folder.RefreshFileStatus();
    EXPECT_NE(folder.m_timeModified, 0);
}

} // namespace
} // namespace tessary
