// The category commands run through the command manager: what each does to
// the library, the tree's rows, the current category and the modified flag.

#include "CommandTestSupport.h"

#include "FileSystem.h"
#include "ImportDialogs.h"
#include "ResourceIds.h"
#include "Volumes.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tessary;
using namespace tessary::test;

namespace {

const std::string kNewName = Utf8ToGb("新建分类");

std::string DiskPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// A folder holding a.txt, b.txt and sub/c.txt.
void MakeFolder(const QString& root)
{
    QDir dir(root);
    QVERIFY(dir.mkpath(QStringLiteral("sub")));
    WriteBytes(dir.filePath(QStringLiteral("a.txt")), "aaa");
    WriteBytes(dir.filePath(QStringLiteral("b.txt")), "bb");
    WriteBytes(dir.filePath(QStringLiteral("sub/c.txt")), "c");
}

// What the import dialog showed when the command ran it.
struct Asked {
    int runs = 0;
    CCategory* candidate = nullptr;
    bool rootChecked = false;
    bool rootEnabled = false;
};

// Answers an import dialog with OK, a name, a folder and the root box.
DialogRunner AnswerImport(Asked& asked, const char* name, const QString& folder, bool asRoot)
{
    return [&asked, name, folder, asRoot](QDialog& d) {
        auto& dlg = dynamic_cast<CImportDlgBase&>(d);
        dlg.InitDialog();
        auto* box = dlg.findChild<QCheckBox*>(QStringLiteral("1024"));
        ++asked.runs;
        asked.candidate = dlg.m_pParentCandidate;
        asked.rootChecked = box->isChecked();
        asked.rootEnabled = box->isEnabled();
        dlg.m_strName = Utf8ToGb(name);
        dlg.m_strSource = DiskToGb(DiskPath(folder));
        dlg.m_bMakeRoot = asRoot || !box->isEnabled();
        return 1;
    };
}

// The in-place editor the tree shows (an editor being closed may linger).
QLineEdit* OpenEditor(const CCategoryView& tree)
{
    for (QLineEdit* editor : tree.findChildren<QLineEdit*>())
        if (editor->isVisible())
            return editor;
    return nullptr;
}

class CFakeVolumes : public IVolumeSource {
public:
    QList<VolumeInfo> Volumes() override { return volumes; }
    QString HomePath() override { return home; }
    QList<VolumeInfo> volumes;
    QString home;
};

// Refuses to open the folders named `locked`.
class CLockedFs : public PosixFileSystem {
public:
    int OpenAt(int dirFd, const char* name, int flags, mode_t mode) override
    {
        if (std::string_view(name) == "locked") {
            errno = EACCES;
            return -1;
        }
        return PosixFileSystem::OpenAt(dirFd, name, flags, mode);
    }
};

} // namespace

class CategoryCommandsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newRootInAnEmptyLibraryIsCurrentSelectedAndOpenForRenaming()
    {
        Commands c;
        c.Start();
        QVERIFY(c.Run(ID_CATEGORY_NEW_ROOT));
        QCOMPARE(c.Doc().GetRootCount(), std::size_t(1));
        CCategory* root = c.Doc().GetRootList().back();
        QCOMPARE(root->GetClassId(), ClassId::CustomCategory);
        QCOMPARE(root->m_strName.str(), kNewName);
        QVERIFY(c.Doc().GetCurrentCategory() == root);
        QVERIFY(c.panes.tree->SelectedCategory() == root);
        QVERIFY(c.panes.list->ShownCategory() == root);
        QVERIFY(c.Doc().IsModified());

        // Its name is open for editing: what the user types names it.
        QLineEdit* editor = OpenEditor(*c.panes.tree);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString::fromUtf8("新建分类"));
        editor->setText(QStringLiteral("Docs"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(root->m_strName.str(), std::string("Docs"));
    }

    void newSubCategoriesAppendInOrderBelowRowsMadeLater()
    {
        Commands c;
        CCustomCategory* root = Custom("root");
        Custom("old", root);
        c.Doc().AddRoot(root);
        c.Doc().AddRoot(new CCDRomCategory("cd", "/media/cd"));
        c.Start();
        c.panes.Select(root);
        QVERIFY(c.Run(ID_CATEGORY_NEW_SUB));
        // The new category is selected now; the user goes back to its parent.
        c.panes.Select(root);
        QVERIFY(c.Run(ID_CATEGORY_NEW_SUB));

        const CategoryList& subs = root->GetSubCategoryList();
        QCOMPARE(subs.size(), std::size_t(3));
        QCOMPARE(Name(subs[0]), QStringLiteral("old"));
        QCOMPARE(subs[1]->m_strName.str(), kNewName);
        QCOMPARE(subs[2]->m_strName.str(), kNewName);
        QVERIFY(subs[2]->GetParent() == root);
        QVERIFY(c.Doc().GetCurrentCategory() == subs[2]);
        QVERIFY(c.panes.tree->SelectedCategory() == subs[2]);
        QVERIFY(OpenEditor(*c.panes.tree));
        QVERIFY(c.Doc().IsModified());
        // The rows follow the list, the one made before them included.
        const QModelIndex rootRow = c.panes.tree->RowOf(root);
        QCOMPARE(ColumnTexts(c.panes.TreeModel(), 0, rootRow), Strings({ "old", "新建分类", "新建分类" }));
        QVERIFY(RowMapIsExact(*c.panes.tree));

        // A CD takes no sub-category.
        c.panes.Select(c.Doc().GetRootList()[1]);
        QVERIFY(!c.Run(ID_CATEGORY_NEW_SUB));
        QVERIFY(c.Doc().GetRootList()[1]->GetSubCategoryList().empty());
    }

    void deleteTakesTheSubOrTheRootCommandByTheRowsParent()
    {
        Commands c;
        CCustomCategory* root = Custom("root");
        CCustomCategory* sub = Custom("sub", root);
        c.Doc().AddRoot(root);
        c.Start();

        c.panes.Select(sub);
        QVERIFY(c.Run(ID_CATEGORY_DELETE)); // answered No
        QCOMPARE(root->GetSubCategoryList().size(), std::size_t(1));
        QVERIFY(!c.Doc().IsModified());

        c.panes.prompts.yesNoAnswers = { true, true };
        QVERIFY(c.Run(ID_CATEGORY_DELETE));
        QVERIFY(root->GetSubCategoryList().empty());
        QCOMPARE(c.Doc().GetRootCount(), std::size_t(1));
        QVERIFY(c.Doc().GetCurrentCategory() == root);

        QVERIFY(c.Run(ID_CATEGORY_DELETE));
        QCOMPARE(c.Doc().GetRootCount(), std::size_t(0));
        QVERIFY(c.Doc().GetCurrentCategory() == nullptr);
        QCOMPARE(c.panes.list->RowCount(), 0);
        QCOMPARE(c.panes.prompts.questions.size(), 3);
        QVERIFY(c.Doc().IsModified());
    }

    void importWithoutACustomCategorySelectedMakesARoot()
    {
        QTemporaryDir dir;
        MakeFolder(dir.path());
        // Nothing selected, a CD selected, a root folder selected.
        for (int selection = 0; selection < 3; ++selection) {
            Commands c;
            c.Doc().AddRoot(new CCDRomCategory("cd", "/media/cd"));
            c.Doc().AddRoot(new CRootFolderCategory("rf", "/srv"));
            c.Start();
            if (selection > 0)
                c.panes.Select(c.Doc().GetRootList()[static_cast<std::size_t>(selection - 1)]);
            Asked asked;
            ScopedDialogRunner answer(AnswerImport(asked, "导入", dir.path(), false));
            QVERIFY(c.Run(ID_IMPORT_FOLDER));

            QCOMPARE(asked.runs, 1);
            QVERIFY(asked.candidate == nullptr);
            QVERIFY(asked.rootChecked && !asked.rootEnabled);
            QCOMPARE(c.Doc().GetRootCount(), std::size_t(3));
            CCategory* made = c.Doc().GetRootList().back();
            QCOMPARE(made->GetClassId(), ClassId::RootFolderCategory);
            QCOMPARE(Name(made), QString::fromUtf8("导入"));
            QCOMPARE(made->GetPath(), DiskToGb(DiskPath(dir.path())));
            QCOMPARE(made->GetSubCategoryList().size(), std::size_t(1));
            QCOMPARE(made->GetDatumList().size(), std::size_t(2));
            QVERIFY(c.Doc().GetCurrentCategory() == made);
            QVERIFY(c.panes.tree->SelectedCategory() == made);
            QVERIFY(c.panes.tree->IsRowExpanded(made));
            // The list shows what was imported.
            QVERIFY(c.panes.list->ShownCategory() == made);
            QCOMPARE(c.panes.list->RowCount(), 3);
            QVERIFY(c.Doc().IsModified());
            QVERIFY(c.panes.prompts.messages.isEmpty());
        }
    }

    void importIntoASelectedCustomCategoryAppendsAndExpands()
    {
        QTemporaryDir dir;
        MakeFolder(dir.path());
        Commands c;
        CCustomCategory* target = Custom("target");
        Custom("old", target);
        c.Doc().AddRoot(target);
        c.Start();
        c.panes.Select(target);
        c.panes.tree->collapse(c.panes.tree->RowOf(target));

        Asked asked;
        ScopedDialogRunner answer(AnswerImport(asked, "below", dir.path(), false));
        QVERIFY(c.Run(ID_IMPORT_FOLDER));
        QVERIFY(asked.candidate == target);
        QVERIFY(!asked.rootChecked && asked.rootEnabled);

        QCOMPARE(c.Doc().GetRootCount(), std::size_t(1));
        const CategoryList& subs = target->GetSubCategoryList();
        QCOMPARE(subs.size(), std::size_t(2));
        CCategory* made = subs.back();
        QCOMPARE(Name(made), QStringLiteral("below"));
        QVERIFY(made->GetParent() == target);
        QVERIFY(c.panes.tree->IsRowExpanded(target));
        QCOMPARE(
            ColumnTexts(c.panes.TreeModel(), 0, c.panes.tree->RowOf(target)), Strings({ "old", "below" }));
        QVERIFY(c.Doc().GetCurrentCategory() == made);
        QVERIFY(c.panes.list->ShownCategory() == made);
        QVERIFY(c.Doc().IsModified());
        QVERIFY(RowMapIsExact(*c.panes.tree));

        // Checking the box puts the next one at the top level instead.
        ScopedDialogRunner asRoot(AnswerImport(asked, "top", dir.path(), true));
        c.panes.Select(target);
        QVERIFY(c.Run(ID_IMPORT_FOLDER));
        QCOMPARE(c.Doc().GetRootCount(), std::size_t(2));
        QCOMPARE(Name(c.Doc().GetRootList().back()), QStringLiteral("top"));
        QCOMPARE(target->GetSubCategoryList().size(), std::size_t(2));

        // A target that goes while the import runs (the document deletes it
        // during the dialog) is let go of: the new category becomes a root.
        c.panes.Select(target);
        const DialogRunner answerBelow = AnswerImport(asked, "orphan", dir.path(), false);
        ScopedDialogRunner deleting([&](QDialog& d) {
            const int answer = answerBelow(d);
            c.panes.tree->RemoveEntryRow(target);
            c.Doc().DeleteRoot(target);
            return answer;
        });
        QVERIFY(c.Run(ID_IMPORT_FOLDER));
        QCOMPARE(c.Doc().GetRootCount(), std::size_t(2));
        QCOMPARE(Name(c.Doc().GetRootList().back()), QStringLiteral("orphan"));
        QVERIFY(c.Doc().GetRootList().back()->GetParent() == nullptr);
        QVERIFY(RowMapIsExact(*c.panes.tree));
    }

    void cancelledImportLeavesTheSavedLibraryAsItWas()
    {
        QTemporaryDir dir;
        QDir root(dir.path());
        for (int i = 0; i < 20; ++i)
            QVERIFY(root.mkpath(QStringLiteral("tree/d%1/e").arg(i)));
        Commands c;
        CCustomCategory* target = Custom("target");
        c.Doc().AddRoot(target);
        const QString before = root.filePath(QStringLiteral("before.dli"));
        c.Doc().OnSaveDocument(DiskPath(before));
        c.Start();
        c.panes.Select(target);

        // Cancelled in the dialog.
        ScopedDialogRunner cancel([](QDialog&) { return 2; });
        QVERIFY(c.Run(ID_IMPORT_FOLDER));
        QVERIFY(!c.Doc().IsModified());

        // Cancelled while the scan is held half-way.
        Asked asked;
        ScopedDialogRunner answer(AnswerImport(asked, "x", root.filePath(QStringLiteral("tree")), false));
        CGateFs gate;
        ScopedFileSystem installed(gate);
        bool cancelled = false;
        WhenModal([&](QWidget* modal) {
            if (auto* button = modal->findChild<QPushButton*>(QStringLiteral("2"))) {
                button->click();
                cancelled = true;
            }
            gate.Open();
        });
        QVERIFY(c.Run(ID_IMPORT_FOLDER));
        QVERIFY(cancelled);
        QVERIFY(!c.Doc().IsModified());
        QVERIFY(target->GetSubCategoryList().empty());
        QVERIFY(c.Doc().GetCurrentCategory() == target);
        QVERIFY(c.panes.prompts.messages.isEmpty());
        const QString after = root.filePath(QStringLiteral("after.dli"));
        c.Doc().OnSaveDocument(DiskPath(after));
        QCOMPARE(ContentsOf(after), ContentsOf(before));
    }

    void cdAndDriveImportsScanTheChosenVolume()
    {
        QTemporaryDir dir;
        MakeFolder(dir.path());
        CFakeVolumes volumes;
        volumes.volumes = { { dir.path(), QStringLiteral("DISC"), QStringLiteral("iso9660"), false },
            { QStringLiteral("/"), QString(), QStringLiteral("ext4"), false } };
        volumes.home = dir.path() + QStringLiteral("/sub");
        IVolumeSource* previous = SetVolumeSource(&volumes);
        // The dialog as the user confirms it: the picker's choice and a name.
        ScopedDialogRunner answer([](QDialog& d) {
            auto& dlg = dynamic_cast<CImportDlgBase&>(d);
            dlg.InitDialog();
            for (QLineEdit* name : dlg.findChildren<QLineEdit*>())
                name->setText(QStringLiteral("vol"));
            dlg.accept();
            return dlg.result() == QDialog::Accepted ? 1 : 2;
        });

        Commands c;
        c.Start();
        QVERIFY(c.Run(ID_IMPORT_CD));
        QVERIFY(c.Run(ID_IMPORT_DRIVE));
        SetVolumeSource(previous);

        QCOMPARE(c.Doc().GetRootCount(), std::size_t(2));
        CCategory* cd = c.Doc().GetRootList()[0];
        CCategory* drive = c.Doc().GetRootList()[1];
        QCOMPARE(cd->GetClassId(), ClassId::CDRomCategory);
        QCOMPARE(drive->GetClassId(), ClassId::DriverCategory);
        for (CCategory* made : { cd, drive }) {
            QCOMPARE(Name(made), QStringLiteral("vol"));
            QCOMPARE(made->GetPath(), DiskToGb(DiskPath(dir.path())));
            QCOMPARE(made->GetDatumList().size(), std::size_t(2));
        }
        QVERIFY(c.Doc().GetCurrentCategory() == drive);
    }

    void foldersThatCouldNotBeReadAreNamedOnce()
    {
        QTemporaryDir dir;
        MakeFolder(dir.path());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("locked/inner")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub/locked")));
        CLockedFs locked;
        ScopedFileSystem installed(locked);
        Commands c;
        c.Start();
        Asked asked;
        ScopedDialogRunner answer(AnswerImport(asked, "x", dir.path(), true));
        QVERIFY(c.Run(ID_IMPORT_FOLDER));

        QCOMPARE(c.Doc().GetRootCount(), std::size_t(1));
        QCOMPARE(c.panes.prompts.messages.size(), 1);
        const QString message = c.panes.prompts.messages.front();
        QVERIFY2(message.startsWith(QString::fromUtf8("有 2 个")), qPrintable(message));
        QVERIFY(message.contains(dir.path() + QStringLiteral("/locked")));
        QVERIFY(message.contains(dir.path() + QStringLiteral("/sub/locked")));
        QVERIFY(c.Doc().IsModified());
    }
};

TESSARY_GUI_TEST_MAIN(CategoryCommandsTest)
#include "CategoryCommandsTest.moc"
