#include "Content.h"
#include "Category.h"
#include "Datum.h"
#include "Document.h"
#include "FileSystem.h"
#include "TempTree.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace tessary {
namespace {

using testing::Fail;
using testing::TempTree;

std::string Bytes(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 % 256); // zero bytes included
    return s;
}

CCustomDatum ItemFor(const std::string& diskPath)
{
    return CCustomDatum(DiskToGb(diskPath));
}

// Records the sizes reads return; can fail the n-th read.
class ReadSpyFs : public PosixFileSystem {
public:
    std::vector<ssize_t> reads;
    int failReadNumber = 0;
    ssize_t Read(int fd, void* buf, std::size_t size) override
    {
        if (static_cast<int>(reads.size()) + 1 == failReadNumber) {
            reads.push_back(-1);
            return Fail(EIO);
        }
        ssize_t n = PosixFileSystem::Read(fd, buf, size);
        reads.push_back(n);
        return n;
    }
};

TEST(ContentTest, ExtractionCopiesExactBytesInBlocksAndReplaces)
{
    TempTree t;
    t.File("data.bin", Bytes(10000));
    CCustomDatum item = ItemFor(t.Path("data.bin"));
    item.m_strContent = "old content";
    {
        ReadSpyFs fs;
        ScopedFileSystem use(fs);
        ExtractContent(item);
        EXPECT_EQ(fs.reads, (std::vector<ssize_t> { 4096, 4096, 1808, 0 }));
    }
    EXPECT_EQ(item.m_strContent.view(), Bytes(10000));

    t.File("data.bin", "short");
    ExtractContent(item);
    EXPECT_EQ(item.m_strContent, "short");

    t.File("data.bin");
    ExtractContent(item);
    EXPECT_TRUE(item.m_strContent.empty());

    item.m_strContent = "x";
    ClearContent(item);
    EXPECT_TRUE(item.m_strContent.empty());
}

TEST(ContentTest, ScannedItemWithOddNameExtractsFromItsFile)
{
    TempTree t;
    t.Folder("dir \xFF");
    t.File("dir \xFF/\xE6\x96\x87 \xFE.txt", "payload");
    std::unique_ptr<CRootFolderCategory> root(CreateRootFolderCategory("r", DiskToGb(t.Path("dir \xFF"))));
    ASSERT_EQ(root->GetDatumList().size(), 1u);
    ExtractContent(*root->GetDatumList()[0]);
    EXPECT_EQ(root->GetDatumList()[0]->m_strContent, "payload");
}

TEST(ContentTest, FilesThatCannotBeReadLeaveTheContentAndSayWhy)
{
    TempTree t;
    t.Folder("folder");
    ASSERT_EQ(::mkfifo(t.Path("pipe").c_str(), 0644), 0);
    t.File("huge");
    ASSERT_EQ(::truncate(t.Path("huge").c_str(), 4294967296LL), 0); // sparse, exactly 4 GiB

    struct Case {
        std::string path;
        FileErrorCause cause;
    };
    const Case cases[] = {
        { t.Path("missing.txt"), FileErrorCause::NotFound },
        { t.Path("folder"), FileErrorCause::NotRegularFile },
        { t.Path("pipe"), FileErrorCause::NotRegularFile }, // must not wait for a writer
        { "/dev/zero", FileErrorCause::NotRegularFile }, // must not read forever
        { t.Path("huge"), FileErrorCause::TooLarge },
        { t.Path("missing/x.txt"), FileErrorCause::NotFound },
    };
    for (const Case& c : cases) {
        CCustomDatum item = ItemFor(c.path);
        item.m_strContent = "kept";
        try {
            ExtractContent(item);
            ADD_FAILURE() << c.path << " was extracted";
        } catch (const ContentError& e) {
            EXPECT_EQ(e.Cause(), c.cause) << c.path;
            EXPECT_EQ(e.Path(), c.path);
            EXPECT_FALSE(e.WhileReading());
        }
        EXPECT_EQ(item.m_strContent, "kept");
    }
}

TEST(ContentTest, ReadErrorInTheMiddleIsReportedAsSuchAndChangesNothing)
{
    TempTree t;
    t.File("data.bin", Bytes(9000));
    CCustomDatum item = ItemFor(t.Path("data.bin"));
    item.m_strContent = "kept";
    ReadSpyFs fs;
    fs.failReadNumber = 2;
    ScopedFileSystem use(fs);
    try {
        ExtractContent(item);
        FAIL() << "no error";
    } catch (const ContentError& e) {
        EXPECT_TRUE(e.WhileReading());
        EXPECT_EQ(e.Cause(), FileErrorCause::HardIO);
    }
    EXPECT_EQ(item.m_strContent, "kept");
}

// Reports sizes that differ from what the file holds, as for a file that
// changes while it is read; can ask the reader to stop at the n-th read.
class ChangingFileFs : public PosixFileSystem {
public:
    off_t sizeChange = 0;
    int stopAtRead = 0;
    std::atomic<bool> stop { false };
    int reads = 0;
    int Fstat(int fd, struct stat* st) override
    {
        const int r = PosixFileSystem::Fstat(fd, st);
        st->st_size += sizeChange;
        return r;
    }
    ssize_t Read(int fd, void* buf, std::size_t size) override
    {
        if (++reads == stopAtRead)
            stop = true;
        return PosixFileSystem::Read(fd, buf, size);
    }
};

TEST(ContentTest, ReadingTakesTheBytesThereAreWhateverTheSizeSaid)
{
    TempTree t;
    t.File("data.bin", Bytes(9000));
    for (off_t change : { off_t(-5000), off_t(-9000), off_t(3000) }) {
        ChangingFileFs fs;
        fs.sizeChange = change;
        ScopedFileSystem use(fs);
        const std::optional<CText> read = ReadContentFile(t.Path("data.bin"));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->view(), Bytes(9000)) << change;
    }
    // System files that show a size of 0 still have their text.
    const std::optional<CText> status = ReadContentFile("/proc/self/status");
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(status->view().find("Name:"), std::string_view::npos);
}

TEST(ContentTest, ReadingStopsHalfWayWhenAsked)
{
    TempTree t;
    t.File("data.bin", Bytes(20000));
    ChangingFileFs fs;
    fs.stopAtRead = 2;
    ScopedFileSystem use(fs);
    EXPECT_FALSE(ReadContentFile(t.Path("data.bin"), &fs.stop).has_value());
    EXPECT_EQ(fs.reads, 2);
    fs.stopAtRead = 0;
    fs.stop = false;
    EXPECT_TRUE(ReadContentFile(t.Path("data.bin"), &fs.stop).has_value());
}

TEST(ContentTest, DocumentIsMarkedAsSoonAsAnyContentChanged)
{
    TempTree t;
    t.File("a.txt", "aaa");
    CTessaryDoc doc;
    auto* cat = new CCustomCategory("c");
    doc.AddRoot(cat);
    doc.SetModifiedFlag(false);
    auto* good = new CCustomDatum(DiskToGb(t.Path("a.txt")));
    auto* bad = new CCustomDatum(DiskToGb(t.Path("gone.txt")));
    cat->AddDatum(good);
    cat->AddDatum(bad);

    EXPECT_THROW(doc.ExtractContent(*bad), ContentError);
    EXPECT_FALSE(doc.IsModified());
    // The first item changes, the next one fails: the change must not go unmarked.
    doc.ExtractContent(*good);
    EXPECT_THROW(doc.ExtractContent(*bad), ContentError);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(good->m_strContent, "aaa");

    doc.SetModifiedFlag(false);
    doc.ClearContent(*bad); // nothing to clear still counts as a change
    EXPECT_TRUE(doc.IsModified());
}

TEST(ContentTest, HtmlViewerOnlyForWholeHtmlExtensionsInAnyCase)
{
    const std::pair<const char*, ContentViewer> cases[] = {
        { "htm", ContentViewer::Html },
        { "HTML", ContentViewer::Html },
        { "sHtMl", ContentViewer::Html },
        { "htmlx", ContentViewer::Text },
        { "en.html", ContentViewer::Text },
        { "", ContentViewer::Text },
        { "txt", ContentViewer::Text },
    };
    for (const auto& [ext, viewer] : cases) {
        CFileDatum d;
        d.m_strExtension = ext;
        EXPECT_EQ(ContentViewerFor(d), viewer) << ext;
    }
    // The same file name splits differently for the two kinds.
    CFileDatum scanned("page.en.html");
    CCustomDatum custom("page.en.html");
    EXPECT_EQ(ContentViewerFor(scanned), ContentViewer::Text);
    EXPECT_EQ(ContentViewerFor(custom), ContentViewer::Html);
    EXPECT_EQ(custom.GetPath(), "/page.en.html"); // no folder: separator first
}

} // namespace
} // namespace tessary
