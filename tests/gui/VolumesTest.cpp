// Imported categories and their volumes in the window: greyed rows and
// tooltips, files found where their volume is mounted now, the volume named
// when it is away, linking an old category, and the watch on the mount table.

#include "CommandTestSupport.h"

#include "CategoryTreeModel.h"
#include "ExtensionBlock.h"
#include "FakeMounts.h"
#include "MountWatcher.h"
#include "ResourceIds.h"
#include "ScanRunner.h"
#include "Strings.h"
#include "VolumePickerDlg.h"

#include <QDir>
#include <QTreeWidget>

#include <sys/mount.h>

using namespace tessary;
using namespace tessary::test;
using tessary::testing::FakeMountSource;

namespace {

std::string DiskPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

VolumeRecord Backup()
{
    VolumeRecord v;
    v.uuid = "1234-ABCD";
    v.label = "BACKUP";
    v.fsType = "vfat";
    v.capacity = 16'000'000'000ULL;
    v.freeBytes = 2'000'000'000ULL;
    v.mountPoint = "/media/anna/BACKUP";
    v.scanTime = 1'700'000'000;
    v.host = "desk";
    return v;
}

// A drive import of /media/anna/BACKUP holding docs/a.txt and docs/b.txt.
CDriverCategory* DriveImport()
{
    auto* drive = new CDriverCategory("usb", "/media/anna/BACKUP");
    auto* docs = new CFolderCategory("docs");
    for (const char* name : { "b", "a" }) {
        auto* file = new CFileDatum;
        file->m_strName = name;
        file->m_strExtension = "txt";
        docs->AddDatum(file);
    }
    drive->AddSubCategory(docs);
    drive->SetVolume(Backup());
    return drive;
}

QString ToolTipOf(Commands& c, CCategory* category)
{
    return c.panes.TreeModel()->data(c.panes.tree->RowOf(category), Qt::ToolTipRole).toString();
}

qint64 IconKeyOf(Commands& c, CCategory* category)
{
    return qvariant_cast<QIcon>(c.panes.TreeModel()->data(c.panes.tree->RowOf(category), Qt::DecorationRole))
        .cacheKey();
}

} // namespace

class VolumesTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeMountSource m_mounts;
    std::unique_ptr<ScopedMountSource> m_scoped;

    QString Path(const char* name) const { return m_dir->filePath(QString::fromUtf8(name)); }
    // The stick with the BACKUP volume plugged in, mounted at `at`.
    void Plug(const QString& at)
    {
        m_mounts.mountInfo.clear();
        m_mounts.Mount("/", "/dev/sda1");
        if (!at.isEmpty())
            m_mounts.Mount(DiskPath(at), "/dev/sdb1", "vfat");
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_mounts = FakeMountSource();
        m_mounts.devices["/dev/sdb1"] = { "1234-ABCD", "BACKUP", 16'000'000'000ULL, 1 };
        m_scoped = std::make_unique<ScopedMountSource>(m_mounts);
    }
    void cleanup() { m_scoped.reset(); }

    void importsRecordTheirVolume()
    {
        QVERIFY(QDir().mkpath(Path("stick/docs")));
        Plug(Path("stick"));
        ScannedCategory scanned = ScanNewCategory(
            nullptr, QStringLiteral("import"), ImportKind::RootFolder, "docs", DiskPath(Path("stick/docs")));
        QVERIFY(scanned.category);
        const VolumeRecord* v = scanned.category->GetVolume();
        QVERIFY(v);
        QCOMPARE(v->uuid, std::string("1234-ABCD"));
        QCOMPARE(v->label, std::string("BACKUP"));
        QCOMPARE(v->mountPoint, DiskPath(Path("stick")));
        QCOMPARE(v->pathInVolume, std::string("/docs"));
    }

    void treeRowsGreyWhileTheirVolumeIsAwayAndTellWhereItIsNow()
    {
        Plug(QString());
        Commands c;
        CDriverCategory* drive = DriveImport();
        c.Doc().AddRoot(drive);
        c.Doc().ReadVolumes();
        c.panes.tree->SetIconSource([](int) {
            static const QIcon icon = [] {
                QPixmap p(16, 16);
                p.fill(Qt::darkBlue);
                return QIcon(p);
            }();
            return icon;
        });
        c.Start();

        const QString away = ToolTipOf(c, drive);
        for (const char* part :
            { "卷标：BACKUP", "UUID：1234-ABC\n", "容量：", "扫描时可用：", "扫描时间：", "未连接" })
            QVERIFY2(away.contains(QString::fromUtf8(part)), qPrintable(away));
        const qint64 greyed = IconKeyOf(c, drive);

        Plug(Path("BACKUP1"));
        c.Doc().ReadVolumes();
        c.panes.tree->RefreshVolumeRows();
        QVERIFY2(ToolTipOf(c, drive).endsWith(QString::fromUtf8("已连接：") + Path("BACKUP1")),
            qPrintable(ToolTipOf(c, drive)));
        QVERIFY(IconKeyOf(c, drive) != greyed);
    }

    void filesAreFoundWhereTheirVolumeIsNowAndTheVolumeIsNamedWhenAway()
    {
        QVERIFY(QDir().mkpath(Path("BACKUP1/docs")));
        WriteBytes(Path("BACKUP1/docs/a.txt"), "alpha");
        WriteBytes(Path("BACKUP1/docs/b.txt"), "beta");
        Plug(Path("BACKUP1"));
        Commands c;
        CDriverCategory* drive = DriveImport();
        CCategory* docs = drive->GetSubCategoryList()[0];
        c.Doc().AddRoot(drive);
        c.Start();
        c.panes.Select(docs);

        c.panes.SelectListRows({ 0 });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QCOMPARE(c.panes.prompts.urls.size(), 1);
        QCOMPARE(c.panes.prompts.urls[0].toLocalFile(), Path("BACKUP1/docs/a.txt"));
        QVERIFY(c.Run(ID_EXPLORE));
        QCOMPARE(c.panes.prompts.urls[1].toLocalFile(), Path("BACKUP1/docs"));
        c.panes.SelectListRows({ 0, 1 });
        QVERIFY(c.Run(ID_EXTRACT_CONTENT));
        QCOMPARE(docs->GetDatumList()[1]->m_strContent.str(), std::string("beta"));
        QCOMPARE(drive->m_strPath.str(), std::string("/media/anna/BACKUP")); // the stored path stays

        // Unplugged: each command names the volume, extraction once for both files.
        Plug(QString());
        c.Doc().ReadVolumes();
        const QString insert = QString::fromUtf8("请插入卷“BACKUP”（UUID 1234-ABCD）");
        QVERIFY(c.Run(ID_EXTRACT_CONTENT));
        QCOMPARE(c.panes.prompts.messages, QStringList { insert });
        c.panes.SelectListRows({ 0 });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QVERIFY(c.Run(ID_EXPLORE));
        QCOMPARE(c.panes.prompts.messages, QStringList({ insert, insert, insert }));
        QCOMPARE(c.panes.prompts.urls.size(), 2);
        c.panes.Select(drive);
        QVERIFY(c.Run(ID_CATEGORY_REFRESH)); // asked whether to pick another folder: no
        QCOMPARE(c.panes.prompts.questions.size(), 1);
        QVERIFY(c.panes.prompts.questions[0].startsWith(insert));
    }

    void clonedDisksAreChosenOnce()
    {
        QVERIFY(QDir().mkpath(Path("one/docs")));
        QVERIFY(QDir().mkpath(Path("two/docs")));
        Plug(Path("one"));
        m_mounts.Mount(DiskPath(Path("two")), "/dev/sdc1", "vfat");
        m_mounts.devices["/dev/sdc1"] = m_mounts.devices["/dev/sdb1"];
        Commands c;
        CDriverCategory* drive = DriveImport();
        c.Doc().AddRoot(drive);
        c.Start();
        c.panes.Select(drive->GetSubCategoryList()[0]);
        c.panes.SelectListRows({ 0 });
        int asked = 0;
        ScopedDialogRunner second([&](QDialog& d) {
            auto& picker = dynamic_cast<CVolumePickerDlg&>(d);
            ++asked;
            picker.Select(1);
            return picker.List()->topLevelItemCount() == 2 ? 1 : 2;
        });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QVERIFY(c.Run(ID_OPEN_FILE));
        QCOMPARE(asked, 1);
        QCOMPARE(c.panes.prompts.urls.size(), 0); // the file is nowhere: "没有找到"
        QCOMPARE(c.panes.prompts.messages.last(), LoadString(IDS_NOT_FOUND));
        WriteBytes(Path("two/docs/a.txt"), "a");
        QVERIFY(c.Run(ID_OPEN_FILE));
        QCOMPARE(c.panes.prompts.urls[0].toLocalFile(), Path("two/docs/a.txt"));
    }

    void linkingBindsAnOldCategoryToAConnectedVolume()
    {
        QVERIFY(QDir().mkpath(Path("stick/docs")));
        WriteBytes(Path("stick/docs/x.txt"), "x");
        Plug(Path("stick"));
        Commands c;
        auto* old = new CRootFolderCategory("docs", "E:\\docs");
        auto* file = new CFileDatum;
        file->m_strName = "x";
        file->m_strExtension = "txt";
        old->AddDatum(file);
        c.Doc().AddRoot(old);
        c.Start();
        c.panes.Select(old);
        QStringList listed;
        ScopedDialogRunner pick([&](QDialog& d) {
            auto& picker = dynamic_cast<CVolumePickerDlg&>(d);
            for (int i = 0; i < picker.List()->topLevelItemCount(); ++i)
                listed << picker.List()->topLevelItem(i)->text(2);
            picker.Select(static_cast<int>(listed.indexOf(Path("stick"))));
            return 1;
        });
        QVERIFY(c.Run(ID_CATEGORY_LINK_VOLUME));
        QCOMPARE(listed, QStringList({ Path("stick"), QStringLiteral("/") })); // a UUID first
        QVERIFY(old->GetVolume());
        QCOMPARE(old->GetVolume()->uuid, std::string("1234-ABCD"));
        QCOMPARE(old->GetVolume()->pathInVolume, std::string("/docs"));
        QVERIFY(c.Doc().IsModified());

        c.panes.SelectListRows({ 0 });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QCOMPARE(c.panes.prompts.urls.value(0).toLocalFile(), Path("stick/docs/x.txt"));

        // A custom category has no volume to link.
        auto* custom = new CCustomCategory("mine");
        c.Doc().AddRoot(custom);
        c.panes.tree->InsertEntryRow(custom, QModelIndex());
        c.panes.Select(custom);
        QVERIFY(!c.Run(ID_CATEGORY_LINK_VOLUME));
    }

    void mergingALibraryWithADamagedBlockTellsSo()
    {
        RootList roots;
        roots.emplace_back(DriveImport());
        std::string bytes;
        tessary::WriteLibrary({ roots[0].get() }, bytes);
        bytes[bytes.size() - format::kExtensionTrailerBytes] ^= 1;
        WriteBytes(Path("damaged.dli"), QByteArray::fromStdString(bytes));
        Commands c;
        auto* shelf = new CCustomCategory("shelf");
        c.Doc().AddRoot(shelf);
        c.Start();
        c.panes.Select(shelf);
        c.panes.prompts.importFiles.push_back(Path("damaged.dli"));
        QVERIFY(c.Run(ID_LIBRARY_IMPORT));
        QCOMPARE(shelf->GetSubCategoryList().size(), std::size_t(1));
        QCOMPARE(c.panes.prompts.messages,
            QStringList { LoadString(IDS_VOLUME_DATA_DAMAGED).arg(Path("damaged.dli")) });
    }

    void theWatcherSeesMountsComeAndGo()
    {
        CMountWatcher watcher;
        QVERIFY(watcher.IsWatching());
        QSignalSpy changed(&watcher, &CMountWatcher::MountsChanged);
        QVERIFY(QDir().mkpath(Path("mnt")));
        if (::mount("tmpfs", DiskPath(Path("mnt")).c_str(), "tmpfs", 0, nullptr) != 0)
            QSKIP("this test may not mount a file system");
        QVERIFY(changed.wait(3000));
        ::umount2(DiskPath(Path("mnt")).c_str(), MNT_DETACH);
        QVERIFY(changed.wait(3000));
    }
};

QTEST_MAIN(VolumesTest)
#include "VolumesTest.moc"
