#include "Datum.h"
#include "Document.h"
#include "FakeMounts.h"
#include "LibraryBuilders.h"
#include "MountTable.h"
#include "Refresh.h"
#include "Scan.h"
#include "TempTree.h"

#include <gtest/gtest.h>

using namespace tessary;
using namespace tessary::testing;

namespace {

MountedVolume Mounted(const std::string& at, const std::string& source, const std::string& uuid,
    const std::string& label = "BACKUP", std::uint64_t capacity = 100, const std::string& root = "/")
{
    MountedVolume v;
    v.mountPoint = at;
    v.source = source;
    v.device = static_cast<dev_t>(std::hash<std::string> {}(source));
    v.fsType = "vfat";
    v.uuid = uuid;
    v.label = label;
    v.capacity = capacity;
    v.root = root;
    return v;
}

VolumeRecord Record(const std::string& uuid, const std::string& inside = "/",
    const std::string& label = "BACKUP", std::uint64_t capacity = 100)
{
    VolumeRecord r;
    r.uuid = uuid;
    r.label = label;
    r.fsType = "vfat";
    r.capacity = capacity;
    r.mountPoint = "/media/anna/BACKUP";
    r.pathInVolume = inside;
    return r;
}

// A drive import of /media/anna/BACKUP holding docs/a.txt, its volume
// recorded as 1234-ABCD.
struct DriveImport {
    std::unique_ptr<CDriverCategory> drive = std::make_unique<CDriverCategory>("usb", "/media/anna/BACKUP");
    CFileDatum* file = new CFileDatum;
    DriveImport()
    {
        auto* docs = new CFolderCategory("docs");
        file->m_strName = "a";
        file->m_strExtension = "txt";
        docs->AddDatum(file);
        drive->AddSubCategory(docs);
        drive->SetVolume(Record("1234-ABCD"));
    }
};

} // namespace

TEST(Volumes, TheMountTableIsReadWithItsEscapes)
{
    std::vector<MountedVolume> m
        = ParseMountTable("36 25 8:17 / /media/anna/MY\\040DISK rw,nosuid - vfat /dev/sdb1 rw\n"
                          "37 25 8:2 /photos /srv/pics rw shared:5 master:1 - ext4 /dev/sda2 rw\n"
                          "garbage line\n");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].mountPoint, "/media/anna/MY DISK");
    EXPECT_EQ(m[0].source, "/dev/sdb1");
    EXPECT_EQ(m[0].mountId, 36);
    EXPECT_EQ(m[1].root, "/photos");
    EXPECT_EQ(m[1].fsType, "ext4");
}

TEST(Volumes, ARecordMatchesItsVolumeWhereverItIsMounted)
{
    using S = VolumeMatch::State;
    struct Case {
        const char* what;
        std::vector<MountedVolume> mounted;
        VolumeRecord record;
        S state;
        std::vector<std::string> at; // the mount points of the match
    };
    const std::vector<Case> cases = {
        { "mounted elsewhere", { Mounted("/media/anna/BACKUP1", "/dev/sdb1", "1234-ABCD") },
            Record("1234-abcd"), S::Connected, { "/media/anna/BACKUP1" } },
        { "not connected", { Mounted("/", "/dev/sda1", "ffff") }, Record("1234-ABCD"), S::Offline, {} },
        { "clones told by label",
            { Mounted("/a", "/dev/sdb1", "1234-ABCD", "OLD"), Mounted("/b", "/dev/sdc1", "1234-ABCD") },
            Record("1234-ABCD"), S::Connected, { "/b" } },
        { "clones told by capacity",
            { Mounted("/a", "/dev/sdb1", "1234-ABCD", "BACKUP", 100),
                Mounted("/b", "/dev/sdc1", "1234-ABCD", "BACKUP", 200) },
            Record("1234-ABCD", "/", "BACKUP", 200), S::Connected, { "/b" } },
        { "clones alike",
            { Mounted("/a", "/dev/sdb1", "1234-ABCD"), Mounted("/b", "/dev/sdc1", "1234-ABCD") },
            Record("1234-ABCD"), S::Ambiguous, { "/a", "/b" } },
        { "one device mounted twice",
            { Mounted("/bind", "/dev/sdb1", "1234-ABCD", "BACKUP", 100, "/docs"),
                Mounted("/a", "/dev/sdb1", "1234-ABCD") },
            Record("1234-ABCD", "/docs"), S::Connected, { "/a" } },
        { "a bind mount that does not reach the folder",
            { Mounted("/bind", "/dev/sdb1", "1234-ABCD", "BACKUP", 100, "/other") },
            Record("1234-ABCD", "/docs"), S::Offline, {} },
        { "a bind mount of the folder",
            { Mounted("/bind", "/dev/sdb1", "1234-ABCD", "BACKUP", 100, "/docs") },
            Record("1234-ABCD", "/docs/2020"), S::Connected, { "/bind" } },
        { "no UUID: at its mount point", { Mounted("/media/anna/BACKUP", "tmpfs", "") }, Record(""),
            S::Connected, { "/media/anna/BACKUP" } },
        { "no UUID: elsewhere, another label", { Mounted("/media/x", "tmpfs", "", "OTHER") }, Record(""),
            S::Offline, {} },
    };
    for (const Case& c : cases) {
        CVolumeTable table(c.mounted);
        VolumeMatch match = table.Match(c.record);
        EXPECT_EQ(match.state, c.state) << c.what;
        std::vector<std::string> at;
        for (const MountedVolume* v : match.volumes)
            at.push_back(v->mountPoint);
        EXPECT_EQ(at, c.at) << c.what;
    }
}

TEST(Volumes, EntriesAreFoundWhereTheirVolumeIsMountedNow)
{
    DriveImport lib;
    CVolumeTable elsewhere({ Mounted("/media/anna/BACKUP1", "/dev/sdb1", "1234-ABCD") });
    EntryLocation where = LocateEntry(*lib.file, elsewhere);
    EXPECT_EQ(where.state, EntryLocation::State::Connected);
    EXPECT_EQ(where.diskPath, "/media/anna/BACKUP1/docs/a.txt");
    EXPECT_EQ(where.top, lib.drive.get());
    EXPECT_EQ(
        LocateEntry(*lib.drive->GetSubCategoryList()[0], elsewhere).diskPath, "/media/anna/BACKUP1/docs");
    EXPECT_EQ(lib.drive->m_strPath.str(), "/media/anna/BACKUP"); // the stored path stays

    // Away: the error names the volume to connect.
    CVolumeTable away({ Mounted("/", "/dev/sda1", "ffff") });
    where = LocateEntry(*lib.file, away);
    EXPECT_EQ(where.state, EntryLocation::State::Offline);
    try {
        DiskPathOrThrow(where);
        ADD_FAILURE() << "no error for a volume that is away";
    } catch (const VolumeOfflineError& e) {
        EXPECT_EQ(e.Record().label, "BACKUP");
        EXPECT_FALSE(e.Ambiguous());
        EXPECT_NE(std::string(e.what()).find("1234-ABCD"), std::string::npos);
    }

    // Clones: the user's choice settles it.
    CVolumeTable clones({ Mounted("/a", "/dev/sdb1", "1234-ABCD"), Mounted("/b", "/dev/sdc1", "1234-ABCD") });
    where = LocateEntry(*lib.file, clones);
    ASSERT_EQ(where.state, EntryLocation::State::Ambiguous);
    EXPECT_EQ(LocateEntry(*lib.file, clones, where.candidates[1]).diskPath, "/b/docs/a.txt");

    // Without a record the stored path is used.
    lib.drive->SetVolume(std::nullopt);
    where = LocateEntry(*lib.file, away);
    EXPECT_EQ(where.state, EntryLocation::State::AsStored);
    EXPECT_EQ(where.diskPath, "/media/anna/BACKUP/docs/a.txt");
}

TEST(Volumes, LinkingAnOldCategoryGuessesItsFolderOnTheVolume)
{
    FakeMountSource source;
    const MountedVolume usb = Mounted("/media/anna/USB", "/dev/sdb1", "1234-ABCD", "USB");
    const std::pair<const char*, const char*> cases[] = {
        { "D:", "/" },
        { "D:\\docs\\2020\\", "/docs/2020" },
        { "/media/anna/USB/docs", "/docs" },
        { "/somewhere/else", "/" },
    };
    for (auto [stored, inside] : cases) {
        CRootFolderCategory old("old", stored);
        VolumeRecord r = LinkRecord(old, usb, source);
        EXPECT_EQ(r.pathInVolume, inside) << stored;
        EXPECT_EQ(r.uuid, "1234-ABCD");
        EXPECT_EQ(r.scanTime, 0);
    }
    // Once linked, the files of a drive-letter library are found.
    CDriverCategory drive("d", "D:");
    auto* file = new CFileDatum;
    file->m_strName = "x";
    drive.AddDatum(file);
    drive.SetVolume(LinkRecord(drive, usb, source));
    EXPECT_EQ(LocateEntry(*file, CVolumeTable({ usb })).diskPath, "/media/anna/USB/x");
}

TEST(Volumes, ScansAndRefreshesRecordTheVolumeAndRefreshReadsWhereItIsNow)
{
    TempTree t;
    t.Folder("vol/docs/sub");
    t.File("vol/docs/a.txt", "hello");
    FakeMountSource source;
    source.devices["/dev/sdz1"] = { "5555-AAAA", "STICK", 1000, 400 };
    source.Mount("/", "/dev/sda1");
    source.Mount(t.Path("vol"), "/dev/sdz1", "vfat");
    ScopedMountSource scoped(source);

    ScanReport report;
    std::unique_ptr<CRootFolderCategory> folder(
        CreateRootFolderCategory("docs", t.Path("vol/docs"), {}, report));
    ASSERT_NE(folder->GetVolume(), nullptr);
    const VolumeRecord& v = *folder->GetVolume();
    EXPECT_EQ(v.uuid, "5555-AAAA");
    EXPECT_EQ(v.label, "STICK");
    EXPECT_EQ(v.fsType, "vfat");
    EXPECT_EQ(v.capacity, 1000u);
    EXPECT_EQ(v.freeBytes, 400u);
    EXPECT_EQ(v.mountPoint, t.Path("vol"));
    EXPECT_EQ(v.pathInVolume, "/docs");
    EXPECT_EQ(v.scanTime, 1'700'000'000);
    EXPECT_EQ(v.host, "desk");

    // The library moves to another computer, where the stick is mounted at
    // t/vol; the category was stored with a path that no longer exists.
    CTessaryDoc doc;
    auto* moved = new CRootFolderCategory("docs", "/media/old/STICK/docs");
    VolumeRecord recorded = v;
    recorded.mountPoint = "/media/old/STICK";
    moved->SetVolume(recorded);
    doc.AddRoot(moved);
    doc.SetModifiedFlag(false);
    RefreshSource src = RefreshSourceFor(doc, *moved);
    EXPECT_EQ(src.diskPath, t.Path("vol/docs"));
    RefreshPlan plan = PlanRefresh(*moved, ScanForRefresh(src));
    ApplyRefresh(doc, plan, {});
    EXPECT_EQ(moved->m_strPath.str(), "/media/old/STICK/docs");
    EXPECT_EQ(moved->GetVolume()->mountPoint, t.Path("vol")); // what the scan saw
    EXPECT_TRUE(doc.IsModified());

    // A sub-folder refreshed records the imported folder's place.
    moved->SetVolume(std::nullopt);
    CCategory* sub = moved->GetSubCategoryList()[0];
    plan = PlanRefresh(*sub, ScanForRefresh(RefreshSourceFor(*sub, t.Path("vol/docs/sub"))));
    ApplyRefresh(doc, plan, {});
    ASSERT_NE(moved->GetVolume(), nullptr);
    EXPECT_EQ(moved->GetVolume()->pathInVolume, "/docs");

    // Unplugged: refresh and extraction name the volume.
    source.mountInfo.clear();
    source.Mount("/", "/dev/sda1");
    doc.ReadVolumes();
    EXPECT_THROW(RefreshSourceFor(doc, *moved), VolumeOfflineError);
    EXPECT_THROW(doc.ExtractContent(*moved->GetDatumList()[0]), VolumeOfflineError);
}

TEST(Volumes, SaveAsExportAndMergeKeepTheRecords)
{
    TempTree t;
    CTessaryDoc doc;
    auto* shelf = new CCustomCategory("shelf");
    DriveImport drive;
    shelf->AddSubCategory(drive.drive.release());
    doc.AddRoot(shelf);
    const std::string described = Describe(doc.GetRoots());

    doc.OnSaveDocument(t.Path("a.dli"));
    doc.OnSaveDocument(t.Path("b.dli")); // save as
    ASSERT_TRUE(CTessaryDoc::ExportCategory(*shelf, t.Path("shelf.dli")));
    for (const char* file : { "a.dli", "b.dli", "shelf.dli" }) {
        CTessaryDoc other;
        other.OnOpenDocument(t.Path(file));
        EXPECT_TRUE(other.GetReadWarnings().empty()) << file;
        EXPECT_EQ(Describe(other.GetRoots()), described) << file;
    }

    CTessaryDoc merged;
    merged.AddRoot(new CCustomCategory("all"));
    ASSERT_TRUE(merged.ImportLibrary(t.Path("shelf.dli")));
    const auto* imported = static_cast<const CPathCategory*>(
        merged.GetRootList()[0]->GetSubCategoryList()[0]->GetSubCategoryList()[0]);
    ASSERT_NE(imported->GetVolume(), nullptr);
    EXPECT_EQ(imported->GetVolume()->uuid, "1234-ABCD");
    merged.OnSaveDocument(t.Path("merged.dli"));
    CTessaryDoc reopened;
    reopened.OnOpenDocument(t.Path("merged.dli"));
    EXPECT_EQ(Describe(reopened.GetRoots()), Describe(merged.GetRoots()));
}
