// Refreshing an imported folder from the window: the preview changes
// nothing until it is confirmed, confirming applies the chosen options and
// brings the tree, the list and the output bar up to date, and a folder
// that cannot be read is reported.

#include "MainWindowTestSupport.h"

#include "CategoryView.h"
#include "CommandRouter.h"
#include "Datum.h"
#include "MainFrame.h"
#include "OutputBar.h"
#include "RefreshDlg.h"
#include "ResourceIds.h"
#include "SearchCriteria.h"
#include "TessaryView.h"

#include <QCheckBox>
#include <QDir>
#include <QTimer>
#include <QTreeView>

#include <functional>

using namespace tessary;
using test::App;
using test::WhenModal;

namespace {

CCategory* SubNamed(const CCategory& c, const char* name)
{
    for (CCategory* s : c.GetSubCategoryList())
        if (s->m_strName.view() == name)
            return s;
    return nullptr;
}

CDatum* FileNamed(const CCategory& c, const char* name)
{
    for (CDatum* d : c.GetDatumList())
        if (d->GetDisplayName() == name)
            return d;
    return nullptr;
}

} // namespace

class RefreshCommandTest : public test::CMainWindowTest {
    Q_OBJECT
private:
    QString Disk(const char* name) const { return Path(QStringLiteral("disk/") + QString::fromUtf8(name)); }
    void Write(const QString& path, const QByteArray& bytes) { test::WriteBytes(path, bytes); }

    // The folder "disk" (a.txt, b.txt, sub/c.txt, gone/e.txt) imported as a
    // root-folder category, annotated: a.txt has a remark, b.txt content,
    // sub a remark. Then on disk: a.txt and gone/ are deleted, b.txt
    // changes, d.txt and new/f.txt come.
    void Start()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("disk/sub")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("disk/gone")));
        Write(Disk("a.txt"), "aaa");
        Write(Disk("b.txt"), "bbb");
        Write(Disk("sub/c.txt"), "ccc");
        Write(Disk("gone/e.txt"), "eee");
        {
            CTessaryDoc doc;
            doc.OnNewDocument();
            const std::string disk = QFile::encodeName(Path(QStringLiteral("disk"))).toStdString();
            auto* root = new CRootFolderCategory("disk", DiskToGb(disk));
            root->ScanFolder(disk);
            FileNamed(*root, "a.txt")->m_strRemark = "keep me";
            FileNamed(*root, "b.txt")->m_strContent = "old b";
            SubNamed(*root, "sub")->m_strRemark = "folder note";
            doc.AddRoot(root);
            doc.OnSaveDocument(QFile::encodeName(Path(QStringLiteral("lib.dli"))).toStdString());
        }
        QVERIFY(QFile::remove(Disk("a.txt")));
        QVERIFY(QDir(Disk("gone")).removeRecursively());
        Write(Disk("b.txt"), "bbb, longer now");
        Write(Disk("d.txt"), "ddd");
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("disk/new")));
        Write(Disk("new/f.txt"), "fff");

        StartOn("lib.dli");
    }
    // Every data item of the library in the output bar.
    void SearchAll()
    {
        CSearchCriteria all;
        std::vector<CDatum*> results;
        Root()->CollectMatches(all, results);
        Bar().show();
        Bar().SetResults(std::move(results));
    }
    QStringList ResultNames() const
    {
        QStringList names;
        for (int r = 0; r < Bar().RowCount(); ++r)
            names.append(QString::fromStdString(Bar().ItemAt(r)->GetDisplayName()));
        names.sort();
        return names;
    }

private Q_SLOTS:
    void init() { SetUpCase(); }
    void cleanup() { TearDownCase(); }

    void PreviewShowsTheChangesAndCancelChangesNothing()
    {
        Start();
        SearchAll();
        Tree().RevealEntry(Root());
        const QStringList before = test::DescribeTree(*Root());
        QStringList counts, groups;
        bool somethingChanges = false;
        WhenModal<CRefreshDlg>([&](CRefreshDlg* dlg) {
            for (int g = 0; g < CRefreshDlg::GroupCount; ++g)
                counts.append(dlg->CountText(g));
            const QAbstractItemModel* details = dlg->Details()->model();
            for (int g = 0; g < details->rowCount(); ++g) {
                const QModelIndex group = details->index(g, 0);
                for (int r = 0; r < details->rowCount(group); ++r)
                    groups.append(details->index(r, 0, group).data().toString());
            }
            somethingChanges = !dlg->ShownReport().NothingChanges();
            dlg->reject();
        });
        QVERIFY(Run(ID_CATEGORY_REFRESH));
        // Added: d.txt, new/ with f.txt; removed: gone/ with e.txt; b.txt
        // changed and its content is stale; a.txt is kept for its remark.
        QCOMPARE(counts, test::Strings({ "3", "2", "1", "1", "1", "0", "0" }));
        const QString disk = Path(QStringLiteral("disk"));
        QCOMPARE(groups,
            QStringList({ disk + QStringLiteral("/d.txt"), disk + QStringLiteral("/new/（共 2 项）"),
                disk + QStringLiteral("/gone/（共 2 项）"), disk + QStringLiteral("/b.txt"),
                disk + QStringLiteral("/a.txt"), disk + QStringLiteral("/b.txt") }));
        QVERIFY(somethingChanges);
        QCOMPARE(test::DescribeTree(*Root()), before);
        QVERIFY(!Doc().IsModified());
        QCOMPARE(ResultNames(), test::Strings({ "a.txt", "b.txt", "c.txt", "e.txt" }));
    }

    void ConfirmingAppliesTheChosenOptions_data()
    {
        QTest::addColumn<bool>("prune");
        QTest::addColumn<bool>("reextract");
        QTest::newRow("keep and leave stale") << false << false;
        QTest::newRow("prune") << true << false;
        QTest::newRow("re-extract") << false << true;
    }
    void ConfirmingAppliesTheChosenOptions()
    {
        QFETCH(bool, prune);
        QFETCH(bool, reextract);
        Start();
        SearchAll();
        // A removed folder with a row, and the refreshed row expanded.
        Tree().RevealEntry(SubNamed(*Root(), "gone"));
        Tree().RevealEntry(Root());
        QVERIFY(Tree().RowOf(SubNamed(*Root(), "gone")).isValid());
        WhenModal<CRefreshDlg>([=](CRefreshDlg* dlg) {
            dlg->PruneBox()->setChecked(prune);
            dlg->ReextractBox()->setChecked(reextract);
            dlg->accept();
        });
        QVERIFY(Run(ID_CATEGORY_REFRESH));
        QVERIFY(Doc().IsModified());

        CCategory* root = Root();
        QCOMPARE(SubNamed(*root, "sub")->m_strRemark.str(), std::string("folder note"));
        QVERIFY(!SubNamed(*root, "gone"));
        QVERIFY(FileNamed(*root, "d.txt"));
        QVERIFY(FileNamed(*SubNamed(*root, "new"), "f.txt"));
        CDatum* a = FileNamed(*root, "a.txt");
        QCOMPARE(a == nullptr, prune);
        if (a)
            QCOMPARE(a->m_strRemark.str(), std::string("keep me"));
        CDatum* b = FileNamed(*root, "b.txt");
        QCOMPARE(b->m_dwSize, Size32(15));
        QCOMPARE(b->m_strContent.str(), std::string(reextract ? "bbb, longer now" : "old b"));

        // The output bar let go of the items that went.
        QCOMPARE(ResultNames(),
            prune ? test::Strings({ "b.txt", "c.txt" }) : test::Strings({ "a.txt", "b.txt", "c.txt" }));
        // The tree: the refreshed category still selected, the row of the
        // removed folder gone, a row for the new one.
        QCOMPARE(Tree().SelectedCategory(), root);
        const QModelIndex rootRow = Tree().RowOf(root);
        QCOMPARE(Tree().model()->rowCount(rootRow), 2);
        QVERIFY(Tree().RowOf(SubNamed(*root, "new")).isValid());
        // The list: the refreshed category's entries as they are now.
        CTessaryView& list = *Frame().ListView();
        QCOMPARE(list.RowCount(), int(root->GetSubCategoryList().size() + root->GetDatumList().size()));
        QVERIFY(list.RowOf(FileNamed(*root, "d.txt")) >= 0);
    }

    void RefreshingAgainWithoutChangesReportsNothing()
    {
        Start();
        Tree().RevealEntry(Root());
        WhenModal<CRefreshDlg>([](CRefreshDlg* dlg) { dlg->accept(); });
        QVERIFY(Run(ID_CATEGORY_REFRESH));
        const QStringList after = test::DescribeTree(*Root());
        Doc().SetModifiedFlag(false);
        bool nothing = false, choices = true;
        WhenModal<CRefreshDlg>([&](CRefreshDlg* dlg) {
            // a.txt is still missing and kept: pruning stays a choice.
            nothing = dlg->ShownReport().NothingChanges() && dlg->ShownReport().keptMissing == 1;
            choices = dlg->ReextractBox()->isEnabled();
            dlg->accept();
        });
        QVERIFY(Run(ID_CATEGORY_REFRESH));
        QVERIFY(nothing);
        QVERIFY(!choices);
        QCOMPARE(test::DescribeTree(*Root()), after);
        QVERIFY(!Doc().IsModified());
    }

    void AFolderThatCannotBeReadIsReportedAndAnotherMayBeChosen()
    {
        Start();
        Tree().RevealEntry(Root());
        const QStringList before = test::DescribeTree(*Root());
        QVERIFY(QDir(m_dir->path()).rename(QStringLiteral("disk"), QStringLiteral("moved")));
        QVERIFY(Run(ID_CATEGORY_REFRESH)); // the question is answered No
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY(m_prompts.questions.front().contains(Path(QStringLiteral("disk"))));
        QCOMPARE(test::DescribeTree(*Root()), before);
        QVERIFY(!Doc().IsModified());

        // The same disk mounted somewhere else.
        m_prompts.yesNoAnswers = { true };
        m_prompts.folders = { Path(QStringLiteral("moved")) };
        QString shownFolder;
        WhenModal<CRefreshDlg>([&](CRefreshDlg* dlg) {
            const QAbstractItemModel* details = dlg->Details()->model();
            shownFolder = details->index(0, 0, details->index(0, 0)).data().toString();
            dlg->accept();
        });
        QVERIFY(Run(ID_CATEGORY_REFRESH));
        QCOMPARE(m_prompts.questions.size(), 2);
        QVERIFY(FileNamed(*Root(), "d.txt"));
        QVERIFY(Doc().IsModified());
        // The category keeps its own path.
        QCOMPARE(Root()->GetPath(), DiskToGb(QFile::encodeName(Path(QStringLiteral("disk"))).toStdString()));
        QVERIFY(!shownFolder.isEmpty());
    }
};

TESSARY_GUI_TEST_MAIN(RefreshCommandTest)
#include "RefreshCommandTest.moc"
