// Duplicates and unique files from the main window: the dialog, the enable
// rules, the rows and figures in the output bar.

#include "MainWindowTestSupport.h"

#include "CopiesDlg.h"
#include "Datum.h"
#include "EntryListModel.h"
#include "ResourceIds.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

using namespace tessary;
using test::App;
using test::WhenModal;

namespace {

CCustomDatum* AddItem(CCategory* parent, const char* name, Size32 size, Time32 time = 0)
{
    auto* d = new CCustomDatum;
    d->m_strName = name;
    d->m_strExtension = "txt";
    d->m_strFolder = "/disk";
    d->m_dwSize = size;
    d->m_timeModified = time;
    parent->AddDatum(d);
    return d;
}

// Fills the copies dialog and presses "开始" (or cancels). `scope` 0 keeps
// the scope, 1001 picks the selected category, 1002 the whole library.
void AnswerCopies(const char* minSize, bool time = false, int scope = 0, bool start = true)
{
    WhenModal<CCopiesDlg>([=](CCopiesDlg* dlg) {
        if (scope)
            dlg->findChild<QRadioButton*>(QString::number(scope))->setChecked(true);
        dlg->findChild<QLineEdit*>(QStringLiteral("1003"))->setText(QString::fromUtf8(minSize));
        dlg->findChild<QCheckBox*>(QStringLiteral("1004"))->setChecked(time);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QString::number(start ? 1 : 2)), Qt::LeftButton);
    });
}

} // namespace

class CopiesCommandsTest : public test::CMainWindowTest {
    Q_OBJECT
private:
    QString Status() const { return Frame().statusBar()->currentMessage(); }
    // The rows as "name/group", and the path's first folder for the copies.
    QStringList Rows() const
    {
        QStringList rows;
        for (int r = 0; r < Bar().RowCount(); ++r)
            rows.append(QString::fromStdString(Bar().ItemAt(r)->GetDisplayName() + " "
                + Bar().ItemAt(r)->GetParent()->m_strName.str() + " "
                + std::to_string(Bar().ResultModel()->GroupOf(r))));
        return rows;
    }
    bool Enabled(int id)
    {
        CommandState state;
        return Router().Query(id, state) && state.enabled;
    }

    // A folder imported twice: "old" as it was, "new" with one file changed
    // (size), one gone and one added; the sub-category "docs" in both.
    void Start()
    {
        {
            CTessaryDoc doc;
            doc.OnNewDocument();
            for (const char* name : { "old", "new" }) {
                auto* root = new CCustomCategory(name);
                auto* docs = new CCustomCategory("docs");
                root->AddSubCategory(docs);
                AddItem(docs, "report", 5000, 100);
                AddItem(root, "photo", 300000, name[0] == 'o' ? 200 : 201);
                AddItem(root, "empty", 0);
                AddItem(root, "notes", name[0] == 'o' ? 10 : 12);
                AddItem(root, name[0] == 'o' ? "gone" : "added", 7);
                doc.AddRoot(root);
            }
            doc.OnSaveDocument(QFile::encodeName(Path("lib.dli")).toStdString());
        }
        StartOn("lib.dli");
    }

private Q_SLOTS:
    void init() { SetUpCase(); }
    void cleanup() { TearDownCase(); }

    void DuplicatesOfTheWholeLibraryOrOfTheSelectedCategory()
    {
        Start();
        Tree().RevealEntry(Root(0));
        AnswerCopies("1", false, 1002);
        QVERIFY(Run(ID_FIND_DUPLICATES));
        QVERIFY(!Bar().isHidden());
        QCOMPARE(Rows(),
            test::Strings(
                { "photo.txt old 1", "photo.txt new 1", "report.txt docs 2", "report.txt docs 2" }));
        QCOMPARE(Status(), QString::fromUtf8("重复文件 2 组，共 4 个文件，多占 297.9 KB"));

        // With the times compared the photos are no longer copies.
        AnswerCopies("1000", true);
        QVERIFY(Run(ID_FIND_DUPLICATES));
        QCOMPARE(Rows(), test::Strings({ "report.txt docs 1", "report.txt docs 1" }));

        // Within one copy of the folder there is nothing twice.
        AnswerCopies("1", false, 1001);
        QVERIFY(Run(ID_FIND_DUPLICATES));
        QCOMPARE(Bar().RowCount(), 0);
        QCOMPARE(Status(), QString::fromUtf8("重复文件 0 组，共 0 个文件，多占 0 Byte"));
        QVERIFY(!Doc().IsModified());

        // Selecting a row reveals its item, as search results do.
        AnswerCopies("1", false, 1002);
        QVERIFY(Run(ID_FIND_DUPLICATES));
        Bar().ResultList()->selectionModel()->select(Bar().ResultModel()->index(1, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(Doc().GetCurrentCategory(), Root(1));
    }

    void UniqueFilesOfOneCopyAndTheRulesOfBothCommands()
    {
        Start();
        Tree().RevealEntry(Root(0));
        AnswerCopies("1");
        QVERIFY(Run(ID_FIND_UNIQUE));
        QCOMPARE(Rows(), test::Strings({ "gone.txt old 0", "notes.txt old 0" }));
        QCOMPARE(Status(), QString::fromUtf8("只有一份的文件共 2 个，共 17 Byte"));

        // Cancel: nothing changes. A bad least size keeps the dialog open.
        AnswerCopies("1", false, 0, false);
        QVERIFY(Run(ID_FIND_DUPLICATES));
        QCOMPARE(Bar().RowCount(), 2);
        bool refused = false;
        WhenModal<CCopiesDlg>([&refused](CCopiesDlg* dlg) {
            dlg->findChild<QLineEdit*>(QStringLiteral("1003"))->setText(QStringLiteral("-1"));
            QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
            refused = dlg->isVisible();
            dlg->reject();
        });
        QVERIFY(Run(ID_FIND_UNIQUE));
        QVERIFY(refused);
        QCOMPARE(Bar().RowCount(), 2);

        // Without a selected row only the whole library can be searched;
        // an empty library has nothing to search.
        Tree().clearSelection();
        Tree().setCurrentIndex({});
        QVERIFY(Enabled(ID_FIND_DUPLICATES));
        QVERIFY(!Enabled(ID_FIND_UNIQUE));
        bool categoryOffered = true;
        WhenModal<CCopiesDlg>([&categoryOffered](CCopiesDlg* dlg) {
            categoryOffered = dlg->findChild<QRadioButton*>(QStringLiteral("1001"))->isEnabled();
            QVERIFY(dlg->findChild<QRadioButton*>(QStringLiteral("1002"))->isChecked());
            dlg->reject();
        });
        QVERIFY(Run(ID_FIND_DUPLICATES));
        QVERIFY(!categoryOffered);
        Doc().OnNewDocument();
        Doc().UpdateAllViews(nullptr);
        QVERIFY(!Enabled(ID_FIND_DUPLICATES));
        QVERIFY(!Enabled(ID_FIND_UNIQUE));
    }
};

TESSARY_GUI_TEST_MAIN(CopiesCommandsTest)
#include "CopiesCommandsTest.moc"
