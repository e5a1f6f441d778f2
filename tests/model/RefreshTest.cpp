// Refreshing imported categories from real folders: what survives, what is
// reported, and that a refresh that does not complete changes nothing.

#include "Refresh.h"
#include "Content.h"
#include "Datum.h"
#include "Document.h"
#include "LibraryBuilders.h"
#include "SampleDocuments.h"
#include "TempTree.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

using namespace tessary;
using namespace tessary::testing;

namespace {

CCategory* Sub(const CCategory& c, std::string_view name)
{
    for (CCategory* s : c.GetSubCategoryList())
        if (s->m_strName.view() == name)
            return s;
    return nullptr;
}

CDatum* File(const CCategory& c, std::string_view displayName)
{
    for (CDatum* d : c.GetDatumList())
        if (d->GetDisplayName() == displayName)
            return d;
    return nullptr;
}

std::vector<std::string> Paths(const std::vector<RefreshReportEntry>& entries)
{
    std::vector<std::string> out;
    for (const RefreshReportEntry& e : entries)
        out.push_back(e.path);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> Names(const CCategory& c)
{
    std::vector<std::string> out;
    for (const CCategory* s : c.GetSubCategoryList())
        out.push_back(s->GetDisplayName() + "/");
    for (const CDatum* d : c.GetDatumList())
        out.push_back(d->GetDisplayName());
    return out;
}

class RecordingListener : public IEntryRemovalListener {
public:
    std::vector<const CItem*> told;
    std::size_t libraryEntriesWhenTold = 0;
    const CCategory* root = nullptr;
    void OnEntriesRemoving(std::span<const CItem* const> entries) override
    {
        told.assign(entries.begin(), entries.end());
        // Still intact: the removed folders are still linked where they were.
        for (const CItem* e : entries)
            EXPECT_NE(e->GetParent(), nullptr);
    }
    void OnLibraryClearing() override { }
};

class RefreshTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.Folder("disk/docs/old");
        t.Folder("disk/music");
        t.File("disk/top.txt", "top");
        t.File("disk/docs/plan.doc", "plan v1");
        t.File("disk/docs/old/letter.txt", "dear");
        t.File("disk/music/song.mp3", "la la");
        for (const char* f :
            { "disk/top.txt", "disk/docs/plan.doc", "disk/docs/old/letter.txt", "disk/music/song.mp3" })
            t.SetTime(f, 1000000000);
    }

    CCategory* Import(const std::string& rel = "disk")
    {
        CCategory* c = CreateRootFolderCategory("disk", DiskToGb(t.Path(rel)));
        doc.AddRoot(c);
        doc.SetModifiedFlag(false);
        return c;
    }

    RefreshPlan Plan(CCategory& c, const std::string& otherPath = {})
    {
        return PlanRefresh(c, ScanForRefresh(RefreshSourceFor(c, otherPath)));
    }

    RefreshReport Refresh(CCategory& c, RefreshOptions options = {}, const std::string& otherPath = {})
    {
        RefreshPlan plan = Plan(c, otherPath);
        return ApplyRefresh(doc, plan, options);
    }

    std::string Bytes() const { return Write(doc.GetRoots()); }
    std::string P(const std::string& rel) const { return DiskToGb(t.Path(rel)); }

    TempTree t;
    CTessaryDoc doc;
};

TEST_F(RefreshTest, RemarksContentAndPositionsSurviveAtEveryDepth)
{
    CCategory* root = Import();
    CCategory* docs = Sub(*root, "docs");
    CCategory* old = Sub(*docs, "old");
    root->m_strRemark = "the drive";
    docs->m_strRemark = "papers";
    old->m_strRemark = "archive";
    File(*root, "top.txt")->m_strRemark = "first";
    File(*old, "letter.txt")->m_strRemark = "to grandma";
    ExtractContent(*File(*docs, "plan.doc"));
    ExtractContent(*File(*old, "letter.txt"));
    std::vector<CCategory*> staying;
    for (CCategory* c : root->GetSubCategoryList())
        if (c->m_strName != "music")
            staying.push_back(c);
    std::vector<CDatum*> docsFiles(docs->GetDatumList().begin(), docs->GetDatumList().end());

    // Unrelated changes beside them at every level.
    t.File("disk/new.txt", "n");
    t.File("disk/docs/old/note.txt", "n");
    std::filesystem::remove_all(t.Path("disk/music"));
    t.Folder("disk/video");

    RefreshReport r = Refresh(*root);
    EXPECT_EQ(r.added, 3u);
    EXPECT_EQ(r.removed, 2u); // music/ and the song in it
    EXPECT_EQ(r.changed, 0u);
    ASSERT_EQ(Sub(*root, "docs"), docs);
    ASSERT_EQ(Sub(*docs, "old"), old);
    // What stays keeps its order; nothing else moved in between.
    EXPECT_TRUE(std::equal(staying.begin(), staying.end(), root->GetSubCategoryList().begin()));
    EXPECT_TRUE(std::equal(docsFiles.begin(), docsFiles.end(), docs->GetDatumList().begin()));
    EXPECT_EQ(root->m_strRemark, "the drive");
    EXPECT_EQ(docs->m_strRemark, "papers");
    EXPECT_EQ(old->m_strRemark, "archive");
    EXPECT_EQ(File(*root, "top.txt")->m_strRemark, "first");
    EXPECT_EQ(File(*old, "letter.txt")->m_strRemark, "to grandma");
    EXPECT_EQ(File(*old, "letter.txt")->m_strContent, "dear");
    EXPECT_EQ(File(*docs, "plan.doc")->m_strContent, "plan v1");
    // New files go to the head of the data items, new folders to the end.
    EXPECT_EQ(root->GetDatumList().front()->GetDisplayName(), "new.txt");
    EXPECT_EQ(old->GetDatumList().front()->GetDisplayName(), "note.txt");
    EXPECT_EQ(root->GetSubCategoryList().back()->m_strName, "video");
    EXPECT_EQ(File(*root, "new.txt")->GetParent(), root);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(RefreshTest, FolderKeepsItsRemarkWhenOnlyItsFilesChange)
{
    CCategory* root = Import();
    CCategory* docs = Sub(*root, "docs");
    docs->m_strRemark = "papers";
    std::filesystem::remove(t.Path("disk/docs/plan.doc"));
    t.File("disk/docs/plan2.doc", "v2");
    t.File("disk/docs/old/letter.txt", "dear grandma, longer now");

    RefreshReport r = Refresh(*root);
    EXPECT_EQ(Sub(*root, "docs"), docs);
    EXPECT_EQ(docs->m_strRemark, "papers");
    EXPECT_EQ(Paths(r.addedEntries), std::vector<std::string> { P("disk/docs/plan2.doc") });
    EXPECT_EQ(Paths(r.removedEntries), std::vector<std::string> { P("disk/docs/plan.doc") });
    EXPECT_EQ(Paths(r.changedEntries), std::vector<std::string> { P("disk/docs/old/letter.txt") });
    EXPECT_EQ(File(*Sub(*docs, "old"), "letter.txt")->m_dwSize, 24u);
    // A file without content is never stale.
    EXPECT_EQ(r.stale, 0u);
}

TEST_F(RefreshTest, MovesRenamesAndKindChangesAreRemovalsAndAdditions)
{
    CCategory* root = Import();
    t.File("disk/Names.txt", "x");
    Refresh(*root);

    // A move, a case-only rename, and a folder that became a file.
    std::filesystem::rename(t.Path("disk/top.txt"), t.Path("disk/music/top.txt"));
    std::filesystem::rename(t.Path("disk/Names.txt"), t.Path("disk/names.txt"));
    std::filesystem::remove_all(t.Path("disk/docs/old"));
    t.File("disk/docs/old", "now a file");
    RefreshReport r = Refresh(*root);
    EXPECT_EQ(Paths(r.removedEntries),
        (std::vector<std::string> { P("disk/Names.txt"), P("disk/docs/old"), P("disk/top.txt") }));
    EXPECT_EQ(r.removed, 4u); // the folder counts with its file
    EXPECT_EQ(Paths(r.addedEntries),
        (std::vector<std::string> { P("disk/docs/old"), P("disk/music/top.txt"), P("disk/names.txt") }));
    CCategory* docs = Sub(*root, "docs");
    EXPECT_EQ(Sub(*docs, "old"), nullptr);
    ASSERT_NE(File(*docs, "old"), nullptr);

    // ... and back into a folder.
    std::filesystem::remove(t.Path("disk/docs/old"));
    t.Folder("disk/docs/old");
    t.File("disk/docs/old/a.txt");
    r = Refresh(*root);
    EXPECT_EQ(File(*docs, "old"), nullptr);
    ASSERT_NE(Sub(*docs, "old"), nullptr);
    EXPECT_EQ(Names(*Sub(*docs, "old")), std::vector<std::string> { "a.txt" });
    EXPECT_EQ(r.added, 2u);
    EXPECT_EQ(r.removed, 1u);
}

TEST_F(RefreshTest, MissingEntriesWithWorkAreKeptUnlessPruned)
{
    CCategory* root = Import();
    t.File("disk/docs/old/plain.txt");
    Refresh(*root);
    CCategory* docs = Sub(*root, "docs");
    CCategory* old = Sub(*docs, "old");
    File(*old, "letter.txt")->m_strRemark = "keep me";
    File(*root, "top.txt")->m_strRemark = "keep me too";
    std::filesystem::remove_all(t.Path("disk/docs"));
    std::filesystem::remove(t.Path("disk/top.txt"));
    const std::string before = Bytes();

    // The preview offers both choices without changing anything.
    RefreshPlan plan = Plan(*root);
    RefreshReport keep = plan.Report({});
    RefreshReport prune = plan.Report({ true, false });
    EXPECT_EQ(Bytes(), before);
    // Kept: docs/, docs/old/ (they hold the remark), the two remarked files.
    EXPECT_EQ(keep.keptMissing, 4u);
    EXPECT_EQ(Paths(keep.keptMissingEntries),
        (std::vector<std::string> {
            P("disk/docs"), P("disk/docs/old"), P("disk/docs/old/letter.txt"), P("disk/top.txt") }));
    // Removed anyway: the files below them without remark or content.
    EXPECT_EQ(Paths(keep.removedEntries),
        (std::vector<std::string> { P("disk/docs/old/plain.txt"), P("disk/docs/plan.doc") }));
    EXPECT_EQ(prune.keptMissing, 0u);
    EXPECT_EQ(prune.removed, 6u);
    EXPECT_EQ(Paths(prune.removedEntries), (std::vector<std::string> { P("disk/docs"), P("disk/top.txt") }));

    ApplyRefresh(doc, plan, {});
    ASSERT_EQ(Sub(*root, "docs"), docs);
    EXPECT_EQ(Names(*docs), std::vector<std::string> { "old/" });
    EXPECT_EQ(Names(*old), std::vector<std::string> { "letter.txt" });
    EXPECT_EQ(File(*root, "top.txt")->m_strRemark, "keep me too");

    // Still missing the next time; pruning removes them.
    RefreshReport again = Refresh(*root);
    EXPECT_EQ(again.keptMissing, 4u);
    EXPECT_TRUE(again.NothingChanges());
    RefreshReport pruned = Refresh(*root, { true, false });
    EXPECT_EQ(pruned.removed, 4u);
    EXPECT_EQ(Sub(*root, "docs"), nullptr);
    EXPECT_EQ(File(*root, "top.txt"), nullptr);
}

TEST_F(RefreshTest, StaleContentIsKeptOrReadAnewOnRequest)
{
    CCategory* root = Import();
    CDatum* plan = File(*Sub(*root, "docs"), "plan.doc");
    CDatum* top = File(*root, "top.txt");
    ExtractContent(*plan);
    ExtractContent(*top);
    t.File("disk/docs/plan.doc", "plan v2!");
    // The same size, another time: still changed.
    t.File("disk/top.txt", "TOP");
    t.SetTime("disk/top.txt", 1200000000);

    RefreshReport kept = Refresh(*root);
    EXPECT_EQ(kept.changed, 2u);
    EXPECT_EQ(kept.stale, 2u);
    EXPECT_EQ(plan->m_strContent, "plan v1");
    EXPECT_EQ(plan->m_dwSize, 8u);
    EXPECT_EQ(top->m_timeModified, 1200000000);
    EXPECT_EQ(top->m_strContent, "top");
    // Once size and time are taken, the old content is no longer detected
    // as stale: that is what the report was for.
    EXPECT_EQ(Refresh(*root).stale, 0u);

    // A file that turned into something that cannot be read keeps its
    // content and is reported; the others are read.
    t.File("disk/docs/plan.doc", "plan v3, final");
    std::filesystem::remove(t.Path("disk/top.txt"));
    ASSERT_EQ(::mkfifo(t.Path("disk/top.txt").c_str(), 0644), 0);
    RefreshReport read = Refresh(*root, { false, true });
    EXPECT_EQ(plan->m_strContent, "plan v3, final");
    EXPECT_EQ(top->m_strContent, "top");
    EXPECT_EQ(Paths(read.reextractedEntries), std::vector<std::string> { P("disk/docs/plan.doc") });
    EXPECT_EQ(Paths(read.staleEntries), std::vector<std::string> { P("disk/top.txt") });
    ASSERT_EQ(read.extractFailures.size(), 1u);
    EXPECT_EQ(read.extractFailures[0].Cause(), FileErrorCause::NotRegularFile);
}

TEST_F(RefreshTest, ItemsKeptAsTextAloneAreReadAnewAndKeptWhenMissing)
{
    using samples::MakeOffice;
    t.File("disk/notes.odt", MakeOffice(DocumentKind::OdfText, { "第一版" }));
    CCategory* root = Import();
    CDatum* notes = File(*root, "notes.odt");
    doc.ExtractContent(*notes, ContentMode::TextOnly);
    ASSERT_EQ(notes->m_strText, "第一版\n");

    t.File("disk/notes.odt", MakeOffice(DocumentKind::OdfText, { "第二版 revised" }));
    t.SetTime("disk/notes.odt", 1300000000);
    EXPECT_EQ(Refresh(*root, { false, true }).reextracted, 1u);
    EXPECT_EQ(notes->m_strText, "第二版 revised\n");
    EXPECT_TRUE(notes->m_strContent.empty());

    // Its text is work of the user's: a missing file keeps it.
    std::filesystem::remove(t.Path("disk/notes.odt"));
    EXPECT_EQ(Refresh(*root).keptMissing, 1u);
    EXPECT_EQ(File(*root, "notes.odt"), notes);
}

TEST_F(RefreshTest, NamesThatAreNotUtf8CompareAsStored)
{
    t.File("disk/stray\xE9.bin", "bytes");
    t.File("disk/\xE4\xB8\xAD\xE6\x96\x87.txt", "zh"); // 中文.txt
    CCategory* root = Import();
    ASSERT_EQ(root->GetDatumList().size(), 3u);
    for (CDatum* d : root->GetDatumList()) {
        d->m_strRemark = "noted";
        ExtractContent(*d);
    }
    t.File("disk/stray\xE9.bin", "bytes and more");

    RefreshReport r = Refresh(*root, { false, true });
    EXPECT_EQ(r.added + r.removed, 0u);
    EXPECT_EQ(r.reextracted, 1u);
    CDatum* stray = File(*root, DiskToGb("stray\xE9.bin"));
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(stray->m_strRemark, "noted");
    EXPECT_EQ(stray->m_strContent, "bytes and more");
    EXPECT_EQ(File(*root, DiskToGb("\xE4\xB8\xAD\xE6\x96\x87.txt"))->m_strRemark, "noted");
}

TEST_F(RefreshTest, RefreshingTwiceWithoutChangesReportsNothingAndKeepsTheBytes)
{
    CCategory* root = Import();
    File(*root, "top.txt")->m_strRemark = "r";
    t.File("disk/docs/added.txt", "a");
    t.File("disk/docs/b.txt", "b");
    t.File("disk/docs/c.txt", "c");
    Refresh(*root);
    doc.SetModifiedFlag(false);
    const std::string once = Bytes();

    RefreshReport again = Refresh(*root);
    EXPECT_TRUE(again.NothingChanges());
    EXPECT_EQ(again.added + again.removed + again.changed + again.keptMissing + again.stale, 0u);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(Bytes(), once);

    // New files sit in the order a fresh scan gives them.
    std::unique_ptr<CCategory> fresh(CreateRootFolderCategory("disk", P("disk")));
    auto added = [](const CCategory& c) {
        std::vector<std::string> names = Names(c);
        std::erase(names, "plan.doc");
        return names;
    };
    EXPECT_EQ(added(*Sub(*root, "docs")), added(*Sub(*fresh, "docs")));
    EXPECT_EQ(Names(*Sub(*root, "docs")).back(), "plan.doc");
}

TEST_F(RefreshTest, FailedCancelledOrDroppedRefreshesChangeNothing)
{
    CCategory* root = Import();
    File(*root, "top.txt")->m_strRemark = "r";
    doc.SetModifiedFlag(false);
    std::filesystem::remove_all(t.Path("disk/docs"));
    const std::string before = Bytes();

    // The folder is not there (a disc not inserted): nothing is removed.
    EXPECT_THROW(Plan(*root, t.Path("nowhere")), FileError);
    try {
        Plan(*root, t.Path("nowhere"));
    } catch (const FileError& e) {
        EXPECT_EQ(e.Cause(), FileErrorCause::NotFound);
        EXPECT_EQ(e.Path(), t.Path("nowhere"));
    }

    ScanProgress progress;
    progress.Cancel();
    RefreshScan cancelled = ScanForRefresh(RefreshSourceFor(*root), 0, &progress);
    EXPECT_THROW(PlanRefresh(*root, std::move(cancelled)), RefreshCancelled);

    {
        RefreshPlan dropped = Plan(*root);
        EXPECT_FALSE(dropped.Report({}).NothingChanges());
    }
    EXPECT_EQ(Bytes(), before);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(RefreshTest, UnreadableFoldersKeepWhatTheLibraryHoldsBelowThem)
{
    class LockedFs : public PosixFileSystem {
    public:
        int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override
        {
            if (std::string_view(name) == "docs")
                return Fail(EACCES);
            return PosixFileSystem::OpenAt(dirFd, name, flags, mode);
        }
    } fs;
    CCategory* root = Import();
    CCategory* docs = Sub(*root, "docs");
    const std::string before = Names(*docs).front();

    RefreshReport r;
    {
        ScopedFileSystem use(fs);
        r = Refresh(*root);
    }
    EXPECT_TRUE(r.NothingChanges());
    ASSERT_EQ(r.skippedFolders.size(), 1u);
    EXPECT_EQ(r.skippedFolders[0].path, P("disk/docs"));
    EXPECT_EQ(r.skippedFolders[0].reason, ScanSkip::Reason::Unreadable);
    EXPECT_EQ(r.skippedFolders[0].sysErrno, EACCES);
    EXPECT_EQ(Names(*docs).size(), 2u);
    EXPECT_EQ(Names(*docs).front(), before);
}

TEST_F(RefreshTest, ListenersHearOfRemovalsAndTheCurrentCategoryStaysInTheLibrary)
{
    CCategory* root = Import();
    CCategory* docs = Sub(*root, "docs");
    CCategory* old = Sub(*docs, "old");
    doc.SetCurrentCategory(old);
    RecordingListener listener;
    doc.AddRemovalListener(&listener);
    std::filesystem::remove_all(t.Path("disk/docs"));
    Refresh(*root);
    doc.RemoveRemovalListener(&listener);

    EXPECT_EQ(listener.told, std::vector<const CItem*> { docs });
    EXPECT_EQ(doc.GetCurrentCategory(), root);
}

TEST_F(RefreshTest, SubFolderAndOtherMountPoint)
{
    CCategory* root = Import();
    CCategory* docs = Sub(*root, "docs");
    ExtractContent(*File(*docs, "plan.doc"));
    EXPECT_TRUE(CanRefresh(*docs));
    CCustomCategory custom("mine");
    EXPECT_FALSE(CanRefresh(custom));
    EXPECT_THROW(RefreshSourceFor(custom), std::invalid_argument);

    // Only the sub-folder is compared: the rest of the tree is left alone.
    t.File("disk/docs/new.txt");
    t.File("disk/elsewhere.txt");
    RefreshReport r = Refresh(*docs);
    EXPECT_EQ(Paths(r.addedEntries), std::vector<std::string> { P("disk/docs/new.txt") });
    EXPECT_EQ(File(*root, "elsewhere.txt"), nullptr);

    // The disc mounted elsewhere: read from there, the stored path stays.
    std::filesystem::copy(t.Path("disk"), t.Path("mnt"), std::filesystem::copy_options::recursive);
    t.File("mnt/docs/plan.doc", "plan from the other mount");
    r = Refresh(*root, { false, true }, t.Path("mnt"));
    EXPECT_EQ(static_cast<CPathCategory*>(root)->m_strPath, P("disk"));
    EXPECT_EQ(File(*docs, "plan.doc")->m_strContent, "plan from the other mount");
    EXPECT_EQ(Paths(r.addedEntries), std::vector<std::string> { P("disk/elsewhere.txt") });
}

TEST_F(RefreshTest, DuplicateNamesInALibraryPairOneByOne)
{
    // A hand-made library may hold two entries of one name; the disk has one.
    CCategory* root = Import();
    CCategory* music = Sub(*root, "music");
    auto* twin = new CFileDatum("song.mp3");
    twin->m_strRemark = "the twin";
    music->AddDatum(twin);
    auto* custom = new CCustomDatum("/elsewhere/song.mp3");
    music->AddDatum(custom);

    RefreshReport r = Refresh(*root);
    // The first in list order is paired with the file (and takes its size
    // and time); the second is gone; the custom data item is no scanned
    // entry and stays as it is.
    EXPECT_EQ(r.added, 0u);
    EXPECT_EQ(r.removed, 1u);
    EXPECT_EQ(r.changed, 1u);
    EXPECT_EQ(music->GetDatumList().size(), 2u);
    EXPECT_EQ(music->GetDatumList()[0], custom);
    EXPECT_EQ(music->GetDatumList()[1], twin);
    EXPECT_EQ(twin->m_dwSize, 5u);
}

} // namespace
