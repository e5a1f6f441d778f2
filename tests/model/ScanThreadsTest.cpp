// Scanning with several threads, trees deeper than the descriptor limit, and
// other volumes mounted inside the scanned folder.

#include "LibraryBuilders.h"
#include "MountTable.h"
#include "Scan.h"
#include "TempTree.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <random>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tessary {
namespace {

using testing::Fail;
using testing::TempTree;

struct Scanned {
    std::unique_ptr<CRootFolderCategory> root;
    ScanReport report;
    std::string bytes; // the category saved as a library
};

Scanned ScanWith(const std::string& folder, unsigned threads, ScanProgress* progress = nullptr)
{
    Scanned s;
    s.root = std::make_unique<CRootFolderCategory>("root", DiskToGb(folder));
    ScanOptions options;
    options.threads = threads;
    options.progress = progress;
    s.report = ScanFolderInto(*s.root, folder, options);
    s.bytes = testing::Write({ s.root.get() });
    return s;
}

// A tree of the awkward cases: names that are not UTF-8 or are Chinese,
// hidden entries, links (also to folders and in loops), a fifo, empty
// folders, one wide folder and nested ones.
void MakeEdgeCaseTree(const TempTree& t)
{
    t.Folder("empty");
    t.Folder(".hidden/inner");
    t.File(".hidden/inner/.profile", "p");
    t.Folder("caf\xE9 \xFF");
    t.File("caf\xE9 \xFF/r\xE9sum\xE9.doc", "abc");
    t.Folder("\xE4\xB8\xAD\xE6\x96\x87");
    t.File("\xE4\xB8\xAD\xE6\x96\x87/\xE6\x96\x87\xE6\xA1\xA3.tar.gz", "zz");
    t.Folder("wide");
    for (int i = 0; i < 600; ++i)
        t.File("wide/file-" + std::to_string(i) + ".txt", std::string(static_cast<std::size_t>(i % 7), 'x'));
    t.Folder("a/b/c/d/e");
    t.File("a/b/c/d/e/leaf", "1");
    t.File("a/b/top.txt", "2");
    ::symlink(".", t.Path("a/self").c_str());
    ::symlink("../..", t.Path("a/b/up").c_str());
    ::symlink("missing", t.Path("dangling").c_str());
    ::mkfifo(t.Path("pipe").c_str(), 0644);
}

// A random tree: folders with a random number of sub-folders and files.
void MakeRandomTree(const TempTree& t, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::string> folders { "" };
    for (int i = 0; i < 150; ++i) {
        const std::string parent = folders[rng() % folders.size()];
        const std::string path = (parent.empty() ? "" : parent + "/") + "d" + std::to_string(i);
        t.Folder(path);
        folders.push_back(path);
    }
    for (int i = 0; i < 850; ++i) {
        const std::string& folder = folders[rng() % folders.size()];
        const std::string name = "f" + std::to_string(i) + (rng() % 3 ? ".dat" : "");
        t.File((folder.empty() ? "" : folder + "/") + name, std::string(rng() % 50, 'y'));
    }
}

TEST(ScanThreadsTest, AnyNumberOfThreadsSavesTheSameBytesAsOne)
{
    TempTree edge;
    MakeEdgeCaseTree(edge);
    const Scanned one = ScanWith(edge.Root(), 1);
    EXPECT_EQ(one.report.entries, 600u + 20u);
    for (unsigned threads : { 2u, 3u, 8u }) {
        const Scanned many = ScanWith(edge.Root(), threads);
        EXPECT_EQ(many.bytes, one.bytes) << threads << " threads";
        EXPECT_EQ(many.report.entries, one.report.entries);
        EXPECT_TRUE(many.report.skipped.empty());
    }
    for (unsigned seed : { 1u, 2u }) {
        TempTree t;
        MakeRandomTree(t, seed);
        const Scanned single = ScanWith(t.Root(), 1);
        const Scanned parallel = ScanWith(t.Root(), 4);
        EXPECT_EQ(parallel.bytes, single.bytes) << "seed " << seed;
        EXPECT_EQ(parallel.report.entries, 1000u);
        EXPECT_EQ(testing::Describe({ parallel.root.get() }), testing::Describe({ single.root.get() }));
    }
}

// Makes `levels` nested folders named "d" below `root`, with a file "f" in
// every hundredth one, without ever holding more than two descriptors.
void MakeChain(const std::string& root, int levels)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        ::mkdirat(fd, "d", 0755);
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        if (i % 100 == 99)
            ::close(::openat(fd, "f", O_WRONLY | O_CREAT, 0644));
    }
    ::close(fd);
}

// Removes such a chain level by level: its paths are too long for the
// usual recursive removal.
void RemoveChain(const std::string& root)
{
    int top = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (;;) {
        int d = ::openat(top, "d", O_RDONLY | O_DIRECTORY);
        if (d < 0)
            break;
        ::unlinkat(d, "f", 0);
        const bool deeper = ::renameat(d, "d", top, "next") == 0;
        ::close(d);
        ::unlinkat(top, "d", AT_REMOVEDIR);
        if (!deeper || ::renameat(top, "next", top, "d") != 0)
            break;
    }
    ::close(top);
}

class LowDescriptorLimit {
public:
    explicit LowDescriptorLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit low = m_saved;
        low.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &low);
    }
    ~LowDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved {};
};

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

TEST(ScanThreadsTest, TreeDeeperThanTheDescriptorLimitScansCompletely)
{
    constexpr int kLevels = 5000;
    TempTree t;
    MakeChain(t.Root(), kLevels);
    struct Cleanup {
        const TempTree& t;
        ~Cleanup() { RemoveChain(t.Root()); }
    } cleanup { t };

    const int openBefore = OpenDescriptors();
    for (unsigned threads : { 1u, 2u }) {
        ScanReport report;
        std::unique_ptr<CRootFolderCategory> root;
        {
            LowDescriptorLimit limit(64);
            root = std::make_unique<CRootFolderCategory>("deep", DiskToGb(t.Root()));
            ScanOptions options;
            options.threads = threads;
            report = ScanFolderInto(*root, t.Root(), options);
        }
        EXPECT_TRUE(report.skipped.empty())
            << report.skipped.front().path.size() << " errno " << report.skipped.front().sysErrno;
        EXPECT_EQ(report.entries, static_cast<std::uint64_t>(kLevels + kLevels / 100));
        int depth = 0, files = 0;
        const CCategory* c = root.get();
        while (c) {
            files += static_cast<int>(c->GetDatumList().size());
            if (c->GetSubCategoryList().empty())
                break;
            ASSERT_EQ(c->GetSubCategoryList().size(), 1u);
            c = c->GetSubCategoryList()[0];
            ++depth;
        }
        EXPECT_EQ(depth, kLevels);
        EXPECT_EQ(files, kLevels / 100);
        EXPECT_EQ(OpenDescriptors(), openBefore);
    }
}

// Cancels the scan from inside, once it has examined `after` entries.
class CancellingFs : public PosixFileSystem {
public:
    ScanProgress progress;
    int after = 0;
    std::atomic<int> stats { 0 };

    int StatAt(int dirFd, const char* name, struct stat* st, int flags) override
    {
        if (++stats == after)
            progress.Cancel();
        return PosixFileSystem::StatAt(dirFd, name, st, flags);
    }
};

TEST(ScanThreadsTest, CancelStopsEveryThreadAndLeavesAWholeTree)
{
    TempTree t;
    MakeRandomTree(t, 7);
    CancellingFs fs;
    fs.after = 300;
    ScopedFileSystem use(fs);
    const int openBefore = OpenDescriptors();
    Scanned s = ScanWith(t.Root(), 4, &fs.progress);
    EXPECT_TRUE(s.report.cancelled);
    EXPECT_LT(s.report.entries, 1000u);
    // Every entry made is linked where it belongs, and nothing stays open.
    std::string description = testing::Describe({ s.root.get() });
    EXPECT_EQ(description.find("BAD-PARENT"), std::string::npos);
    EXPECT_EQ(OpenDescriptors(), openBefore);
    s.root.reset();
}

// Fails the listing of folders by name, at the first read or halfway.
class UnreadableFs : public PosixFileSystem {
public:
    std::string unopenable = "locked", brokenListing = "broken";
    std::map<int, bool> brokenFds;
    std::mutex mutex;

    int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override
    {
        if (name == unopenable)
            return Fail(EACCES);
        int fd = PosixFileSystem::OpenAt(dirFd, name, flags, mode);
        std::lock_guard<std::mutex> lock(mutex);
        brokenFds[fd] = fd >= 0 && name == brokenListing;
        return fd;
    }
    long GetDents(int dirFd, char* buf, std::size_t size) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (brokenFds[dirFd]) {
                errno = EIO;
                return -1;
            }
        }
        return PosixFileSystem::GetDents(dirFd, buf, size);
    }
};

TEST(ScanThreadsTest, FoldersNotReadAreReportedByPathWithTheirCause)
{
    TempTree t;
    MakeRandomTree(t, 11);
    for (const char* where : { "locked", "d0/locked", "d0/broken", "d5/broken" }) {
        t.Folder(where);
        t.File(std::string(where) + "/inside.txt");
    }
    UnreadableFs fs;
    ScopedFileSystem use(fs);
    const Scanned s = ScanWith(t.Root(), 3);
    std::map<std::string, int> skipped;
    for (const ScanSkip& skip : s.report.skipped) {
        EXPECT_EQ(skip.reason, ScanSkip::Reason::Unreadable);
        skipped[skip.path] = skip.sysErrno;
    }
    const std::map<std::string, int> expected { { t.Path("locked"), EACCES }, { t.Path("d0/locked"), EACCES },
        { t.Path("d0/broken"), EIO }, { t.Path("d5/broken"), EIO } };
    EXPECT_EQ(skipped, expected);
}

TEST(ScanThreadsTest, FolderTheUserMayNotReadIsReportedByAnotherUsersScan)
{
    TempTree t;
    MakeRandomTree(t, 5);
    t.Folder("d3/private");
    t.File("d3/private/diary.txt");
    ::chmod(t.Root().c_str(), 0755);
    ::chmod(t.Path("d3/private").c_str(), 0700);
    const bool ok = testing::AsUnprivilegedUser([&] {
        const Scanned s = ScanWith(t.Root(), 2);
        return s.report.skipped.size() == 1 && s.report.skipped[0].path == t.Path("d3/private")
            && s.report.skipped[0].sysErrno == EACCES;
    });
    EXPECT_TRUE(ok);
}

TEST(ScanThreadsTest, MountTableGivesTheTypeOfEveryDevice)
{
    const char* text = "22 1 0:21 / /proc rw,nosuid shared:5 - proc proc rw\n"
                       "25 1 8:1 / / rw,relatime shared:1 master:2 - ext4 /dev/sda1 rw\n"
                       "30 25 0:5 / /dev rw - devtmpfs udev rw,size=1k\n"
                       "garbage line\n"
                       "31 25 0:40 /x /mnt/bind rw - tmpfs tmpfs rw";
    auto types = ParseMountInfo(text);
    EXPECT_EQ(types.size(), 4u);
    EXPECT_EQ(types[makedev(0, 21)], "proc");
    EXPECT_EQ(types[makedev(8, 1)], "ext4");
    EXPECT_EQ(types[makedev(0, 5)], "devtmpfs");
    EXPECT_EQ(types[makedev(0, 40)], "tmpfs");
    for (const char* pseudo : { "proc", "sysfs", "devtmpfs", "devpts", "cgroup2", "autofs", "tracefs" })
        EXPECT_TRUE(IsPseudoFileSystemType(pseudo)) << pseudo;
    for (const char* real : { "ext4", "tmpfs", "vfat", "iso9660", "nfs", "fuseblk", "overlay" })
        EXPECT_FALSE(IsPseudoFileSystemType(real)) << real;
}

// A file system mounted for the test, unmounted when it ends.
class TestMount {
public:
    TestMount(const std::string& where, const char* type)
        : m_where(where)
    {
        m_mounted = ::mount(type, where.c_str(), type, 0, nullptr) == 0;
    }
    ~TestMount()
    {
        if (m_mounted)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }

private:
    std::string m_where;
    bool m_mounted = false;
};

const CCategory* FindSub(const CCategory& c, std::string_view name)
{
    for (const CCategory* s : c.GetSubCategoryList())
        if (s->m_strName == name)
            return s;
    return nullptr;
}

TEST(ScanThreadsTest, FolderImportEntersAMountedVolumeAndDriveImportDoesNot)
{
    TempTree t;
    t.Folder("media/usb");
    t.File("media/local.txt");
    TestMount mount(t.Path("media/usb"), "tmpfs");
    if (!mount.Mounted())
        GTEST_SKIP() << "this test may not mount a file system";
    t.Folder("media/usb/photos");
    t.File("media/usb/photos/p1.jpg", "jpeg");
    t.File("media/usb/readme");

    ScanReport folderReport, driveReport;
    std::unique_ptr<CRootFolderCategory> folder(
        CreateRootFolderCategory("f", DiskToGb(t.Root()), ScanOptions {}, folderReport));
    const CCategory* usb = FindSub(*FindSub(*folder, "media"), "usb");
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->GetDatumList().size(), 1u);
    ASSERT_TRUE(FindSub(*usb, "photos"));
    EXPECT_EQ(FindSub(*usb, "photos")->GetDatumList().size(), 1u);
    EXPECT_TRUE(folderReport.skipped.empty());

    std::unique_ptr<CDriverCategory> drive(
        CreateDriverCategory("d", DiskToGb(t.Root()), ScanOptions {}, driveReport));
    usb = FindSub(*FindSub(*drive, "media"), "usb");
    ASSERT_TRUE(usb);
    EXPECT_TRUE(usb->GetDatumList().empty());
    EXPECT_TRUE(usb->GetSubCategoryList().empty());
    ASSERT_EQ(driveReport.skipped.size(), 1u);
    EXPECT_EQ(driveReport.skipped[0].path, t.Path("media/usb"));
    EXPECT_EQ(driveReport.skipped[0].reason, ScanSkip::Reason::OtherVolume);

    // Scanning a category by its own path takes the scope of its kind, too.
    CCDRomCategory cd("cd", DiskToGb(t.Path("media")));
    ScanOptions follow;
    follow.followMounts = true;
    EXPECT_EQ(ScanPathCategory(cd, follow).skipped.size(), 1u);
    CRootFolderCategory again("f", DiskToGb(t.Path("media")));
    EXPECT_TRUE(ScanPathCategory(again).skipped.empty());
    EXPECT_EQ(FindSub(again, "usb")->GetDatumList().size(), 1u);
}

TEST(ScanThreadsTest, SystemFileSystemsAreNeverEntered)
{
    TempTree t;
    t.Folder("proc");
    t.File("kept.txt");
    TestMount mount(t.Path("proc"), "proc");
    if (!mount.Mounted())
        GTEST_SKIP() << "this test may not mount a file system";
    ScanReport report;
    std::unique_ptr<CRootFolderCategory> folder(
        CreateRootFolderCategory("f", DiskToGb(t.Root()), ScanOptions {}, report));
    ASSERT_TRUE(FindSub(*folder, "proc"));
    EXPECT_TRUE(FindSub(*folder, "proc")->GetSubCategoryList().empty());
    EXPECT_EQ(folder->GetDatumList().size(), 1u);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].path, t.Path("proc"));
    EXPECT_EQ(report.skipped[0].reason, ScanSkip::Reason::Pseudo);
}

} // namespace
} // namespace tessary
