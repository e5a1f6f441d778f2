#include "GuiTestSupport.h"

#include "DriveComboBox.h"
#include "EntryDialogs.h"
#include "FolderBrowser.h"
#include "ImportDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

using namespace tessary;
using namespace tessary::test;

namespace {

class CFakeVolumes : public IVolumeSource {
public:
    QList<VolumeInfo> Volumes() override { return volumes; }
    QString HomePath() override { return home; }

    QList<VolumeInfo> volumes;
    QString home = QStringLiteral("/home/bob");
};

VolumeInfo Volume(const char* root, const char* label = "", const char* fs = "ext4")
{
    return { QString::fromUtf8(root), QString::fromUtf8(label), QString::fromUtf8(fs), false };
}

VolumeInfo EmptyOpticalDrive(const char* device)
{
    return { QString::fromUtf8(device), QString(), QString(), true };
}

QStringList Texts(const QComboBox& box)
{
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts.append(box.itemText(i));
    return texts;
}

template <class T> T* Child(QWidget* dialog, const char* id)
{
    T* w = dialog->findChild<T*>(QLatin1String(id));
    if (!w)
        qFatal("no control %s in dialog %s", id, qPrintable(dialog->objectName()));
    return w;
}

// Runs `step` on the modal dialog as soon as it is up; a dialog the step
// leaves open (it failed half-way) is cancelled, so the test ends.
void WhenDialog(std::function<void(QWidget*)> step)
{
    test::WhenModal(std::move(step), true);
}

std::string Gb(const char* utf8)
{
    return Utf8ToGb(utf8);
}

QStringList U8(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts)
        list.append(QString::fromUtf8(t));
    return list;
}

} // namespace

class ImportDialogsTest : public QObject {
    Q_OBJECT
private:
    CFakeVolumes m_volumes;
    IVolumeSource* m_previous = nullptr;

private Q_SLOTS:
    void init()
    {
        m_volumes = CFakeVolumes();
        m_volumes.volumes = {
            Volume("/media/bob/Zip"),
            Volume("/", "root"),
            Volume("/media/bob/DISC", "MYDISC", "iso9660"),
            EmptyOpticalDrive("/dev/sr1"),
            Volume("/home"),
            Volume("/media/bob/apple", "APPLE", "vfat"),
            Volume("/media/bob/DVD", "", "udf"),
        };
        m_previous = SetVolumeSource(&m_volumes);
    }
    void cleanup()
    {
        SetVolumeSource(m_previous);
        CFolderBrowser::SetHook({});
    }

    void drivePickerListsEveryVolumeSortedAndPreselectsTheHomeVolume()
    {
        CDriveComboBox box;
        box.AttachAllDrives();
        QCOMPARE(Texts(box),
            QStringList({ QStringLiteral("/{root}"), QStringLiteral("/dev/sr1"), QStringLiteral("/home{}"),
                QStringLiteral("/media/bob/apple{APPLE}"), QStringLiteral("/media/bob/DISC{MYDISC}"),
                QStringLiteral("/media/bob/DVD{}"), QStringLiteral("/media/bob/Zip{}") }));
        // A volume whose label cannot be read shows its root path alone.
        VolumeInfo unready = Volume("/media/bob/stuck", "");
        unready.readable = false;
        QCOMPARE(VolumeText(unready), QStringLiteral("/media/bob/stuck"));
        // The longest root leading to the home folder wins over "/".
        QCOMPARE(box.GetSelectedDrive(), QStringLiteral("/home"));
        QVERIFY(!box.itemIcon(0).isNull());
        QCOMPARE(box.itemData(3, Qt::DisplayRole).toString(), QStringLiteral("/media/bob/apple{APPLE}"));

        m_volumes.home = QStringLiteral("/srv/homes/bob");
        box.AttachAllDrives();
        QCOMPARE(box.count(), 7);
        QCOMPARE(box.GetSelectedDrive(), QStringLiteral("/"));

        // "/home2" is not on the volume mounted at "/home".
        m_volumes.volumes = { Volume("/home"), Volume("/data") };
        m_volumes.home = QStringLiteral("/home2/bob");
        box.AttachAllDrives();
        QCOMPARE(box.GetSelectedDrive(), QStringLiteral("/data"));
    }

    void cdPickerListsOpticalVolumesAndDrivesWithoutDiscFirstSelected()
    {
        CDriveComboBox box;
        box.AttachCDDrives();
        QCOMPARE(Texts(box),
            QStringList({ QStringLiteral("/dev/sr1"), QStringLiteral("/media/bob/DISC{MYDISC}"),
                QStringLiteral("/media/bob/DVD{}") }));
        QCOMPARE(box.currentIndex(), 0);
        QCOMPARE(box.GetSelectedDrive(), QStringLiteral("/dev/sr1"));

        m_volumes.volumes = { Volume("/") };
        box.AttachCDDrives();
        QCOMPARE(box.count(), 0);
        QCOMPARE(box.currentIndex(), -1);
        QVERIFY(box.GetSelectedDrive().isEmpty());
    }

    void selectDriveMatchesTheWholeRootPathWithCase()
    {
        CDriveComboBox box;
        box.AttachAllDrives();
        QVERIFY(box.SelectDrive(QStringLiteral("/media/bob/DISC")));
        QCOMPARE(box.currentText(), QStringLiteral("/media/bob/DISC{MYDISC}"));
        QVERIFY(!box.SelectDrive(QStringLiteral("/media/bob/disc")));
        QVERIFY(!box.SelectDrive(QStringLiteral("/media/bob")));
        QCOMPARE(box.GetSelectedDrive(), QStringLiteral("/media/bob/DISC"));

        // Adding an entry before the selected one keeps the same selection.
        box.AddDrive(Volume("/a"));
        QCOMPARE(box.itemText(1), QStringLiteral("/a{}"));
        QCOMPARE(box.GetSelectedDrive(), QStringLiteral("/media/bob/DISC"));
    }

    void pseudoMountsAreNoVolumes()
    {
        QVERIFY(IsPseudoMount(QStringLiteral("proc"), QStringLiteral("/proc")));
        QVERIFY(IsPseudoMount(QStringLiteral("cgroup2"), QStringLiteral("/sys/fs/cgroup")));
        QVERIFY(IsPseudoMount(QStringLiteral("tmpfs"), QStringLiteral("/run/lock")));
        QVERIFY(IsPseudoMount(QStringLiteral("tmpfs"), QStringLiteral("/dev/shm")));
        QVERIFY(!IsPseudoMount(QStringLiteral("ext4"), QStringLiteral("/")));
        QVERIFY(!IsPseudoMount(QStringLiteral("vfat"), QStringLiteral("/run/media/bob/STICK")));
        QVERIFY(!IsPseudoMount(QStringLiteral("ext4"), QStringLiteral("/devices")));
        QVERIFY(!IsPseudoMount(QStringLiteral("tmpfs"), QStringLiteral("/tmp")));
    }

    void rootBoxIsForcedWithoutTargetAndFreeWithOne()
    {
        CCustomCategory target("t");
        CImportFolderDlg forced;
        forced.InitDialog();
        QVERIFY(Child<QCheckBox>(&forced, "1024")->isChecked());
        QVERIFY(!Child<QCheckBox>(&forced, "1024")->isEnabled());

        CImportDriveDlg optional;
        optional.m_pParentCandidate = &target;
        optional.InitDialog();
        QVERIFY(!Child<QCheckBox>(&optional, "1024")->isChecked());
        QVERIFY(Child<QCheckBox>(&optional, "1024")->isEnabled());
        Child<QCheckBox>(&optional, "1024")->setChecked(true);
        Child<QLineEdit>(&optional, "1005")->setText(QString::fromUtf8("备份盘"));
        optional.accept();
        QCOMPARE(optional.result(), int(QDialog::Accepted));
        QVERIFY(optional.m_bMakeRoot);
        QCOMPARE(optional.m_strName, Gb("备份盘"));
        QCOMPARE(optional.m_strSource, std::string("/home"));
    }

    void folderDialogHandsBackTypedValuesAsLibraryText()
    {
        CCustomCategory target("t");
        CImportFolderDlg dlg;
        dlg.m_pParentCandidate = &target;
        WhenDialog([](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("106"));
            QCOMPARE(modal->windowTitle(), QString::fromUtf8("导入文件夹"));
            Child<QLineEdit>(modal, "1001")->setText(QString::fromUtf8("/数据/照片"));
            Child<QLineEdit>(modal, "1005")->setText(QString::fromUtf8("照片"));
            Child<QPushButton>(modal, "1")->click();
        });
        QCOMPARE(dlg.DoModal(), 1);
        QCOMPARE(dlg.m_strSource, Gb("/数据/照片"));
        QCOMPARE(dlg.m_strName, Gb("照片"));
        QVERIFY(!dlg.m_bMakeRoot);

        CImportFolderDlg cancelled;
        WhenDialog([](QWidget* modal) {
            Child<QLineEdit>(modal, "1005")->setText(QStringLiteral("x"));
            Child<QPushButton>(modal, "2")->click();
        });
        QCOMPARE(cancelled.DoModal(), 2);
        QVERIFY(cancelled.m_strName.empty());
    }

    void browseKeepsTheTypedNameAndCheckBox()
    {
        QStringList titles;
        CFolderBrowser::SetHook([&titles](QWidget*, const QString& title, const QString&) {
            titles.append(title);
            return QStringLiteral("/srv/chosen");
        });
        CCustomCategory target("t");
        CImportFolderDlg dlg;
        dlg.m_pParentCandidate = &target;
        dlg.InitDialog();
        Child<QLineEdit>(&dlg, "1001")->setText(QStringLiteral("/typed"));
        Child<QLineEdit>(&dlg, "1005")->setText(QString::fromUtf8("我的名字"));
        Child<QCheckBox>(&dlg, "1024")->setChecked(true);
        Child<QPushButton>(&dlg, "1002")->click();
        QCOMPARE(titles, QStringList { QString::fromUtf8("选择导入目录") });
        QCOMPARE(Child<QLineEdit>(&dlg, "1001")->text(), QStringLiteral("/srv/chosen"));
        QCOMPARE(Child<QLineEdit>(&dlg, "1005")->text(), QString::fromUtf8("我的名字"));
        QVERIFY(Child<QCheckBox>(&dlg, "1024")->isChecked());

        // A cancelled browse leaves the typed folder alone.
        CFolderBrowser::SetHook([](QWidget*, const QString&, const QString&) { return QString(); });
        Child<QLineEdit>(&dlg, "1001")->setText(QStringLiteral("/typed"));
        Child<QPushButton>(&dlg, "1002")->click();
        QCOMPARE(Child<QLineEdit>(&dlg, "1001")->text(), QStringLiteral("/typed"));
    }

    void volumeDialogsKeepOkDisabledWithoutADrive()
    {
        m_volumes.volumes = { Volume("/") };
        CImportCDDlg dlg;
        dlg.InitDialog();
        QPushButton* ok = Child<QPushButton>(&dlg, "1");
        QVERIFY(!ok->isEnabled());
        dlg.accept(); // Return on the default button
        QCOMPARE(dlg.result(), 0);
        QVERIFY(dlg.m_strSource.empty());

        m_volumes.volumes = {};
        CImportDriveDlg none;
        none.InitDialog();
        QVERIFY(!Child<QPushButton>(&none, "1")->isEnabled());

        m_volumes.volumes = { EmptyOpticalDrive("/dev/sr0") };
        CImportCDDlg one;
        one.InitDialog();
        QVERIFY(Child<QPushButton>(&one, "1")->isEnabled());
        one.accept();
        QCOMPARE(one.m_strSource, std::string("/dev/sr0"));
    }

    void editingACategoryShowsItsValuesAndTakesTheNewOnesWithoutRescan()
    {
        CRootFolderCategory folder(Gb("旧名"), "/old/place");
        auto* sub = new CFolderCategory("sub");
        folder.AddSubCategory(sub);
        WhenDialog([](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("106"));
            QCOMPARE(Child<QLineEdit>(modal, "1005")->text(), QString::fromUtf8("旧名"));
            QCOMPARE(Child<QLineEdit>(modal, "1001")->text(), QStringLiteral("/old/place"));
            QVERIFY(!Child<QCheckBox>(modal, "1024")->isEnabled());
            Child<QLineEdit>(modal, "1005")->setText(QString::fromUtf8("新名"));
            Child<QLineEdit>(modal, "1001")->setText(QStringLiteral("/new/place"));
            Child<QPushButton>(modal, "1")->click();
        });
        QCOMPARE(RunEditDialog(folder, DialogHost {}), 1);
        QCOMPARE(folder.m_strName.str(), Gb("新名"));
        QCOMPARE(folder.m_strPath.str(), std::string("/new/place"));
        QCOMPARE(folder.GetSubCategoryList().size(), std::size_t(1));
        QCOMPARE(sub->GetPath(), std::string("/new/place/sub"));

        CDriverCategory drive("d", "/media/bob/apple");
        WhenDialog([](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("134"));
            QCOMPARE(
                Child<CDriveComboBox>(modal, "1001")->GetSelectedDrive(), QStringLiteral("/media/bob/apple"));
            Child<QLineEdit>(modal, "1005")->setText(QStringLiteral("changed"));
            Child<QPushButton>(modal, "2")->click();
        });
        QCOMPARE(RunEditDialog(drive, DialogHost {}), 2);
        QCOMPARE(drive.m_strName.str(), std::string("d"));
        QCOMPARE(drive.m_strPath.str(), std::string("/media/bob/apple"));

        CCustomCategory custom("c");
        QCOMPARE(RunEditDialog(custom, DialogHost {}), -1);
    }

    void editingACdWhoseDiscIsAbsentKeepsItsDrive()
    {
        CCDRomCategory cd("cd", "/media/bob/OLDDISC");
        WhenDialog([](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("133"));
            auto* picker = Child<CDriveComboBox>(modal, "1006");
            QCOMPARE(picker->GetSelectedDrive(), QStringLiteral("/media/bob/OLDDISC"));
            QCOMPARE(picker->count(), 4);
            Child<QLineEdit>(modal, "1004")->setText(QStringLiteral("renamed"));
            Child<QPushButton>(modal, "1")->click();
        });
        QCOMPARE(RunEditDialog(cd, DialogHost {}), 1);
        QCOMPARE(cd.m_strName.str(), std::string("renamed"));
        QCOMPARE(cd.m_strPath.str(), std::string("/media/bob/OLDDISC"));

        // A mounted one is simply selected, and another can be chosen.
        CCDRomCategory mounted("cd", "/media/bob/DVD");
        WhenDialog([](QWidget* modal) {
            auto* picker = Child<CDriveComboBox>(modal, "1006");
            QCOMPARE(picker->count(), 3);
            QCOMPARE(picker->GetSelectedDrive(), QStringLiteral("/media/bob/DVD"));
            picker->SelectDrive(QStringLiteral("/dev/sr1"));
            Child<QPushButton>(modal, "1")->click();
        });
        QCOMPARE(RunEditDialog(mounted, DialogHost {}), 1);
        QCOMPARE(mounted.m_strPath.str(), std::string("/dev/sr1"));
    }

    void controlsHaveNamesAndTabOrder_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("106") << 0 << U8({ "1001", "1002", "1005", "1024", "1", "2" })
                             << U8({ "文件夹：", "...", "名称：", "做为根类别", "确 定", "取 消" });
        QTest::newRow("133") << 1 << U8({ "1006", "1004", "1024", "1", "2" })
                             << U8({ "光盘选择：", "光盘名称：", "做为根类别", "确定", "取消" });
        QTest::newRow("134") << 2 << U8({ "1001", "1005", "1024", "1", "2" })
                             << U8({ "选择驱动器：", "名称：", "做为根类别", "确 定", "取 消" });
    }
    void controlsHaveNamesAndTabOrder()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, order);
        QFETCH(QStringList, names);
        std::unique_ptr<CImportDlgBase> dlg;
        if (kind == 0)
            dlg = std::make_unique<CImportFolderDlg>();
        else if (kind == 1)
            dlg = std::make_unique<CImportCDDlg>();
        else
            dlg = std::make_unique<CImportDriveDlg>();
        dlg->InitDialog();
        QWidget* w = dlg->findChild<QWidget*>(order.first());
        for (int i = 0; i < order.size(); ++i) {
            QVERIFY(w);
            QCOMPARE(w->objectName(), order[i]);
            QCOMPARE(w->accessibleName(), names[i]);
            // Labels and the controls' inner widgets are in the chain too.
            do
                w = w->nextInFocusChain();
            while (w && w != dlg.get() && !order.contains(w->objectName()));
        }
    }
};

TESSARY_GUI_TEST_MAIN(ImportDialogsTest)
#include "ImportDialogsTest.moc"
